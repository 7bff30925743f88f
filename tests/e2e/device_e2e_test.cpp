// device_e2e_test.cpp: the library's exports against the simulated analyser over a real serial
// line (a pseudo-terminal, or a COM port under Wine): a host's whole road, once. Each behaviour on
// the way is tested in depth against the fake port (tests/link) and the POSIX port on a pty
// (tests/link/posix_pty_test.cpp); the identity and clock exports reach the simulator through the
// command-line tool's end-to-end test.
#include <fstream>
#include <future>
#include <memory>
#include <optional>
#include <thread>
#include <utility>

#include "KorvantaSession.h"
#include "expected.h"
#include "simulator_options.h"
#ifndef _WIN32
#include "pty_runner.h"
#endif

namespace kv::e2e {
namespace {

using namespace std::chrono_literals;

const KVWChar* W(const char16_t* text) { return reinterpret_cast<const KVWChar*>(text); }

// The simulated analyser of one test case, as its kv_simulator arguments describe it. Linux: in-process
// on a pseudo-terminal of its own, so cases run in parallel. Windows: run_wine_e2e.sh started native
// simulators from wine_simulators.txt, each behind a COM port; the line with these arguments gives its port.
struct Analyser {
  std::u16string port;
  sim::Scenario scenario;
#ifndef _WIN32
  std::unique_ptr<sim::PtySimulator> simulator;
#endif
};

std::optional<Analyser> StartAnalyser(const std::vector<std::string>& args, std::string* whyNot) {
  auto options = sim::ParseSimulatorArgs(args, whyNot);
  if (!options) return std::nullopt;
  Analyser analyser;
  analyser.scenario = options->scenario;
#ifdef _WIN32
  const char* table = std::getenv("KV_E2E_SIMULATORS");
  std::ifstream in(table ? table : "");
  std::string wanted;
  for (const std::string& arg : args) wanted += (wanted.empty() ? "" : " ") + arg;
  for (std::string com, rest; in >> com && std::getline(in >> std::ws, rest);) {
    if (rest == wanted) return analyser.port.assign(com.begin(), com.end()), std::move(analyser);
  }
  *whyNot = "no simulator for \"" + wanted + "\": run this program through the run_wine_e2e.sh CTest script";
  return std::nullopt;
#else
  analyser.simulator = std::make_unique<sim::PtySimulator>(options->scenario);
  if (!analyser.simulator->Start(whyNot)) return std::nullopt;
  analyser.port.assign(analyser.simulator->PortPath().begin(), analyser.simulator->PortPath().end());
  return analyser;
#endif
}

using records::Filled;

// The equine exports download through the same steps (the command-line tool's end-to-end test downloads
// an equine analyser); the single test is read the equine way here, which the link does for any analyser.
TEST(DeviceE2E, PrinterAddressDownloadSingleTestAndClose) {
  std::string whyNot;
  const auto sim = StartAnalyser({"--model", "7"}, &whyNot);
  if (!sim) GTEST_SKIP() << whyNot;
  ASSERT_EQ(KV_OK, KVOpenComport(W(sim->port.c_str()))) << std::string(sim->port.begin(), sim->port.end());
  ASSERT_EQ(KV_OK, KVConnect());
  const sim::AnalyserModel& m = sim->scenario.model;
  // Twenty characters; U+0143 goes out as its low byte, 0x43, and only the first twelve go.
  ASSERT_EQ(KV_OK, KVWritePrinterAddress(W(u"AB\u0143CDEFGHIJKLMNOPQ"), 20));
  KVWChar address[12] = {};
  ASSERT_EQ(KV_OK, KVReadPrinterAddress(address, 12));
  EXPECT_EQ(u"ABCCDEFGHIJK", std::u16string(address, address + 12));
  auto stored = Filled<KVStoredTests>(0);
  ASSERT_EQ(KV_OK, KVReadStoredTestData(stored.get()));
  ExpectStored(m, *stored);
  int32_t r[7] = {};
  float decimal = -1;
  ASSERT_EQ(KV_OK, CXReadTestCaballix(&r[0], &r[1], &r[2], &r[3], &r[4], &r[5], &r[6], &decimal));
  for (int i = 0; i < 7; ++i) EXPECT_EQ(WordAt(m.singleTest, 2 * i), r[i]) << "reading " << i + 1;
  EXPECT_EQ(static_cast<float>(WordAt(m.singleTest, 14)) / 10.0f, decimal);

#ifndef _WIN32
  // The simulator stamps a byte when its thread reads it, which a loaded machine (sanitizers,
  // parallel tests) can delay by tens of milliseconds for one byte and not the next. The exact
  // pause is pinned on the fake clock; here a real pause of most of it must be there.
  const auto times = sim->simulator->RecordingSnapshot().HostByteTimes();
  for (size_t i = 1; i < times.size(); ++i) EXPECT_GE(times[i] - times[i - 1], 150ms) << "before byte " << i;
#endif
  KVCloseComport();
  uint32_t serial = 0;
  EXPECT_EQ(KV_ERR_SEND, KVReadSerialNumber(&serial));
}

// Sessions: each analyser on a session of its own, from a thread of its own, all at once.
int32_t SessionDownload(const Analyser& analyser, KVStoredTests* stored) {
  KVSession* session = nullptr;
  int32_t rc = KVSessionOpen(W(analyser.port.c_str()), &session);
  if (rc == KV_OK) rc = KVSessionConnect(session);
  if (rc == KV_OK) rc = KVSessionReadStoredTestData(session, stored);
  KVSessionClose(session);
  return rc;
}

// Runs under ThreadSanitizer and AddressSanitizer too (tsan and asan presets). The default session of
// the 32 exports downloads from the first analyser meanwhile, beside the sessions.
TEST(SessionE2E, FourAnalysersDownloadAtOnceBesideTheDefaultPort) {
  std::string whyNot;
  std::vector<Analyser> analysers;
  for (const char* model : {"7", "4", "2", "5", "10"}) {
    auto analyser = StartAnalyser({"--model", model}, &whyNot);
    if (!analyser) GTEST_SKIP() << whyNot;
    analysers.push_back(std::move(*analyser));
  }
  std::vector<std::unique_ptr<KVStoredTests>> stored;
  for (size_t i = 0; i < analysers.size(); ++i) stored.push_back(records::Filled<KVStoredTests>(0));
  std::vector<std::future<int32_t>> downloads;
  for (size_t i = 0; i < analysers.size(); ++i) {
    downloads.push_back(std::async(std::launch::async, [&, i] {
      if (i > 0) return SessionDownload(analysers[i], stored[i].get());
      int32_t rc = KVOpenComport(W(analysers[i].port.c_str()));
      if (rc == KV_OK) rc = KVConnect();
      if (rc == KV_OK) rc = KVReadStoredTestData(stored[i].get());
      KVCloseComport();
      return rc;
    }));
  }
  // All are in before any is checked: the check's own local-time conversions would race the downloads'.
  std::vector<int32_t> codes;
  for (auto& download : downloads) codes.push_back(download.get());
  for (size_t i = 0; i < analysers.size(); ++i) {
    SCOPED_TRACE("analyser " + std::to_string(i));
    ASSERT_EQ(KV_OK, codes[i]);
    ExpectStored(analysers[i].scenario.model, *stored[i]);
  }
}

// On the first progress report: tells the test thread, then holds the download until the cancel has
// landed (a call into the session meanwhile answers -58 while it is busy, -57 once it is cancelled),
// so the cancel falls inside the block however fast the line delivers it.
struct CancelOnFirstBytes {
  KVSession* session = nullptr;
  std::promise<void> started;
  bool once = false;
};
int32_t KV_CALL HoldUntilCancelled(void* user, int32_t, int32_t) {
  auto* c = static_cast<CancelOnFirstBytes*>(user);
  if (std::exchange(c->once, true)) return 0;
  c->started.set_value();
  uint32_t serial = 0;
  for (int i = 0; i < 5000 && KVSessionReadSerialNumber(c->session, &serial) == KV_ERR_BUSY; ++i)
    std::this_thread::sleep_for(1ms);
  return 0;
}

// A cancel, and a close, from another thread in the middle of the block: the download ends with -57,
// the container is untouched, later calls answer -57, and the analyser sees the port closed.
TEST(SessionE2E, CancelOrCloseFromAnotherThreadEndsTheDownloadAndLeavesTheContainer) {
  for (const bool closeIt : {false, true}) {
    SCOPED_TRACE(closeIt ? "close" : "cancel");
    std::string whyNot;
    const auto sim = StartAnalyser({"--model", "7"}, &whyNot);
    if (!sim) GTEST_SKIP() << whyNot;
    KVSession* session = nullptr;
    ASSERT_EQ(KV_OK, KVSessionOpen(W(sim->port.c_str()), &session));
    ASSERT_EQ(KV_OK, KVSessionConnect(session));
    CancelOnFirstBytes signal;
    signal.session = session;
    ASSERT_EQ(KV_OK, KVSessionSetProgress(session, HoldUntilCancelled, &signal));
    auto stored = records::Filled<KVStoredTests>(0xA7);
    const auto before = records::Filled<KVStoredTests>(0xA7);
    std::thread download([&] { EXPECT_EQ(KV_ERR_CANCELLED, KVSessionReadStoredTestData(session, stored.get())); });
    signal.started.get_future().wait();
    if (closeIt)
      KVSessionClose(session);
    else
      EXPECT_EQ(KV_OK, KVSessionCancel(session));
    download.join();
    EXPECT_EQ(0, std::memcmp(before.get(), stored.get(), sizeof(KVStoredTests)));
    if (!closeIt) {
      uint32_t serial = 0;
      EXPECT_EQ(KV_ERR_CANCELLED, KVSessionReadSerialNumber(session, &serial));
      KVWChar text[200] = {};
      ASSERT_EQ(KV_OK, KVSessionGetLastError(session, text, 200));
      EXPECT_EQ(u"reading the serial number: the session is cancelled [KV_ERR_CANCELLED, -57]",
                std::u16string(reinterpret_cast<const char16_t*>(text)));
      KVSessionClose(session);
    }
#ifndef _WIN32
    for (int i = 0; i < 200 && sim->simulator->PhaseSnapshot() != sim::Engine::Phase::kDetached; ++i)
      std::this_thread::sleep_for(10ms);
    EXPECT_EQ(sim::Engine::Phase::kDetached, sim->simulator->PhaseSnapshot());
#endif
  }
}

}  // namespace
}  // namespace kv::e2e
