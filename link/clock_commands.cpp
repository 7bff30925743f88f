// clock_commands.cpp: reading the analyser's clock and calibration date, setting its clock.
// A time is converted before anything is sent, so a refused value never leaves the
// analyser waiting for clock data that does not come.
#include <array>

#include "link/commands.h"
#include "link/exchange.h"
#include "link/packed_time.h"

namespace kv::link {
namespace {

int ReadPackedTime(CKVComm& comm, uint8_t command, int64_t& time, int32_t daylightSavingFlag) {
  return ReadExchange(comm, command, comm.PayloadBuffer().first(kPackedTimeSize), [&](std::span<const uint8_t> p) {
    time = DecodePackedTime(p.first<kPackedTimeSize>(), daylightSavingFlag);
  });
}

}  // namespace

int ReadCurrentTime(CKVComm& comm, int64_t& time, int32_t daylightSavingFlag) {
  return ReadPackedTime(comm, kCmdReadCurrentTime, time, daylightSavingFlag);
}

int ReadCalibrationTime(CKVComm& comm, int64_t& time) { return ReadPackedTime(comm, kCmdReadCalibrationTime, time, -1); }

int WriteCurrentTimeAs(CKVComm& comm, int64_t time) {
  const std::optional<PackedTime> packed = EncodeDeviceTime(time);
  if (!packed) return KV_ERR_ACK;
  std::array<char16_t, kPackedTimeSize> units{};
  for (size_t i = 0; i < units.size(); ++i) units[i] = (*packed)[i];
  return WriteExchange(comm, kCmdWriteCurrentTime, units);
}

int WriteCurrentTime(CKVComm& comm) { return WriteCurrentTimeAs(comm, PresentTime()); }

}  // namespace kv::link
