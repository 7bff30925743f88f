// device_e2e_test.cpp: the library's exports against the simulated analyser over a real serial
// line (a pseudo-terminal, or a COM port under Wine): a host's whole road, once. Each behaviour on
// the way is tested in depth against the fake port (tests/link) and the POSIX port on a pty
// (tests/link/posix_pty_test.cpp); the identity and clock exports reach the simulator through the
// command-line tool's end-to-end test.
#include <fstream>
#include <memory>
#include <optional>

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

}  // namespace
}  // namespace kv::e2e
