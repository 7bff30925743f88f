// link_fuzz.cpp: every command of the device link against an analyser played from fuzz input
// (fuzz_port.h). Checks codes from the documented set, buffers kept to their capacities, the
// download's counts in range, and that no call outlasts the time limits. Fuzzing only.
#include <algorithm>
#include <memory>

#include "fuzz_port.h"
#include "link/comm.h"
#include "link/commands.h"
#include "link/exchange.h"
#include "stored_records.h"

namespace {

using kv::fuzz::Require;
using kv::link::Duration;

constexpr int kLinkCodes[] = {0, -1, -18, -50, -51, -52, -53, -54, -55, -56};

// A container of the capacity a caller would pass (now and then a wrong one, or none at all);
// after a download that delivered its records their count is in range.
template <typename T, typename Read>
int Download(FuzzedDataProvider& in, Read read) {
  const int32_t capacity = in.ConsumeIntegralInRange<int>(0, 15) == 0 ? in.ConsumeIntegral<int32_t>() : 100;
  auto stored = kv::records::Filled<T>(0, capacity);
  const int rc = read(in.ConsumeBool() ? stored.get() : nullptr);
  if (rc == 0 || rc == -54) Require(stored->testCount >= 0 && stored->testCount <= 100, "testCount out of range");
  return rc;
}

int RunOne(kv::link::CKVComm& comm, kv::fuzz::FuzzPort& port, FuzzedDataProvider& in) {
  using namespace kv::link;
  int32_t r[7] = {};
  uint8_t v[5] = {};
  float d[2] = {};
  int64_t time = 0;
  uint32_t serial = 0;
  switch (const int kind = in.ConsumeIntegralInRange<int>(0, 15); kind) {
    case 0: return comm.Open(in.ConsumeBool() ? u"3" : u"\\\\.\\COM1");
    case 1: return comm.Close(), 0;
    case 2: return port.ArmHandshake(), Connect(comm);
    case 3: return ReadModelVersion(comm, r[0], v[0], v[1], v[2], v[3], v[4]);
    case 4: return ReadProtocolInfo(comm, v[0], v[1], v[2]);
    case 5: return ReadSerialNumber(comm, serial);  // its 24 bits are the command table's rows
    case 6:
    case 7: {  // exactly the length the caller states, on the heap so a unit past it is caught
      const int32_t length = in.ConsumeIntegralInRange<int32_t>(0, 40);
      auto buffer = std::make_unique<KVWChar[]>(length > 0 ? size_t(length) : 1);
      KVWChar* units = length > 0 ? buffer.get() : nullptr;
      if (kind == 6) return ReadPrinterAddress(comm, units, length);
      for (int32_t i = 0; i < length; ++i) buffer[size_t(i)] = static_cast<KVWChar>(in.ConsumeIntegral<uint16_t>());
      return WritePrinterAddress(comm, units, length);
    }
    case 8: {
      const int rc = ReadCurrentTime(comm, time, in.ConsumeIntegralInRange<int32_t>(-2, 2));
      if (rc == 0) Require(time >= -1, "clock reading before 1970 handed out");
      return rc;
    }
    case 9: return ReadCalibrationTime(comm, time);
    case 10: return WriteCurrentTimeAs(comm, in.ConsumeIntegral<int64_t>());
    case 11: return Download<KVStoredTests>(in, [&](KVStoredTests* s) { return ReadStoredTestData(comm, s); });
    case 12: return Download<CXStoredTests>(in, [&](CXStoredTests* s) { return ReadEquineStoredTestData(comm, s); });
    case 13: return ReadTestKorvanta(comm, r[0], r[1], r[2], r[3], r[4], d[0], d[1]);
    case 14: return ReadTestCaballix(comm, r[0], r[1], r[2], r[3], r[4], r[5], r[6], d[0]);
    default: {
      uint8_t junk[kBlockSize];
      return comm.CommReceive(std::span(junk).first(in.ConsumeIntegralInRange<size_t>(0, sizeof junk)));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  kv::fuzz::FuzzClock clock;
  kv::fuzz::FuzzPort port(in, clock);
  kv::link::CKVComm comm(port, clock);
  comm.Open(u"1");
  for (int step = 0; step < 24 && in.remaining_bytes() > 0; ++step) {
    const Duration start = clock.Now();
    const size_t deliveries = port.Deliveries();
    const size_t written = port.Written();
    const int rc = RunOne(comm, port, in);
    Require(std::count(std::begin(kLinkCodes), std::end(kLinkCodes), rc) == 1,
            "a link call returned a code outside its set");
    // Silence ends a receive after its limit, each byte costs its pacing and at most the
    // drain limit, a handshake waits its own limit: anything longer is a hang.
    const Duration budget = kv::link::kConnectTimeLimit + kv::link::kConnectSettle +
                            Duration{std::chrono::seconds{1}} +
                            kv::link::kReplySilenceLimit * static_cast<int64_t>(port.Deliveries() - deliveries + 4) +
                            (kv::link::kBytePacing + kv::link::kOutputDrainLimit + std::chrono::milliseconds{5}) *
                                static_cast<int64_t>((port.Written() - written + 1) * kv::link::kWriteAttempts);
    Require(clock.Now() - start <= budget, "a link call outlasted its time limits");
  }
  return 0;
}
