// link_fuzz.cpp: every command of the device link against an analyser played from fuzz input
// (fuzz_port.h). Checks codes from the documented set, buffers kept to their capacities, the
// download's counts in range, and that no call outlasts the time limits. Fuzzing only.
#include <cstring>
#include <initializer_list>
#include <memory>

#include "fuzz_port.h"
#include "link/comm.h"
#include "link/commands.h"
#include "link/exchange.h"

namespace {

using kv::fuzz::Require;
using kv::link::Duration;

bool LinkCode(int rc) {
  for (int code : {0, -1, -18, -50, -51, -52, -53, -54, -55, -56})
    if (rc == code) return true;
  return false;
}

template <typename T>
std::unique_ptr<T> Container(FuzzedDataProvider& in) {
  auto stored = std::make_unique<T>();
  std::memset(stored.get(), 0, sizeof(T));
  stored->capacity = in.ConsumeIntegralInRange<int>(0, 15) == 0 ? in.ConsumeIntegral<int32_t>() : 100;
  return stored;
}

template <typename T>
void CheckStored(const T& stored, int rc) {
  if (rc == 0 || rc == -54) Require(stored.testCount >= 0 && stored.testCount <= 100, "testCount out of range");
}

int RunOne(kv::link::CKVComm& comm, kv::fuzz::FuzzPort& port, FuzzedDataProvider& in) {
  using namespace kv::link;
  switch (in.ConsumeIntegralInRange<int>(0, 15)) {
    case 0: return comm.Open(in.ConsumeBool() ? u"3" : u"\\\\.\\COM1");
    case 1: comm.Close(); return 0;
    case 2: port.ArmHandshake(); return Connect(comm);
    case 3: {
      int32_t model = 0;
      uint8_t v[5] = {};
      return ReadModelVersion(comm, model, v[0], v[1], v[2], v[3], v[4]);
    }
    case 4: {
      uint8_t p[3] = {};
      return ReadProtocolInfo(comm, p[0], p[1], p[2]);
    }
    case 5: {
      uint32_t serial = 0;
      const int rc = ReadSerialNumber(comm, serial);
      if (rc == 0) Require(serial <= 0xFFFFFF, "serial number wider than 24 bits");
      return rc;
    }
    case 6: {  // exactly the capacity the caller states, on the heap so a byte past it is caught
      const int32_t capacity = in.ConsumeIntegralInRange<int32_t>(0, 40);
      auto buffer = std::make_unique<KVWChar[]>(capacity > 0 ? size_t(capacity) : 1);
      return ReadPrinterAddress(comm, capacity > 0 ? buffer.get() : nullptr, capacity);
    }
    case 7: {
      const int32_t length = in.ConsumeIntegralInRange<int32_t>(0, 40);
      auto buffer = std::make_unique<KVWChar[]>(length > 0 ? size_t(length) : 1);
      for (int32_t i = 0; i < length; ++i) buffer[size_t(i)] = static_cast<KVWChar>(in.ConsumeIntegral<uint16_t>());
      return WritePrinterAddress(comm, length > 0 ? buffer.get() : nullptr, length);
    }
    case 8: {
      int64_t time = 0;
      const int rc = ReadCurrentTime(comm, time, in.ConsumeIntegralInRange<int32_t>(-2, 2));
      if (rc == 0) Require(time >= -1, "clock reading before 1970 handed out");
      return rc;
    }
    case 9: {
      int64_t time = 0;
      return ReadCalibrationTime(comm, time);
    }
    case 10: return WriteCurrentTimeAs(comm, in.ConsumeIntegral<int64_t>());
    case 11: {
      auto stored = Container<KVStoredTests>(in);
      const int rc = ReadStoredTestData(comm, in.ConsumeBool() ? stored.get() : nullptr);
      CheckStored(*stored, rc);
      return rc;
    }
    case 12: {
      auto stored = Container<CXStoredTests>(in);
      const int rc = ReadEquineStoredTestData(comm, in.ConsumeBool() ? stored.get() : nullptr);
      CheckStored(*stored, rc);
      return rc;
    }
    case 13: {
      int32_t r[5] = {};
      float d[2] = {};
      return ReadTestKorvanta(comm, r[0], r[1], r[2], r[3], r[4], d[0], d[1]);
    }
    case 14: {
      int32_t r[7] = {};
      float d = 0;
      return ReadTestCaballix(comm, r[0], r[1], r[2], r[3], r[4], r[5], r[6], d);
    }
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
    Require(LinkCode(rc), "a link call returned a code outside its set");
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
