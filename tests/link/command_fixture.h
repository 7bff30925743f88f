// command_fixture.h: an open link on the scripted fake port, and the analyser's side of an
// exchange written out byte by byte, for the command tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "fake_serial_port.h"
#include "link/comm.h"

namespace kv::link::testing {

inline constexpr uint8_t kZ = 0x5A;

// Echo of `command`, then the payload, then the acknowledgement "Z\0".
inline std::vector<uint8_t> Answer(uint8_t command, std::vector<uint8_t> payload = {},
                                   std::vector<uint8_t> ack = {kZ, 0x00}) {
  std::vector<uint8_t> bytes = {kZ, command};
  bytes.insert(bytes.end(), payload.begin(), payload.end());
  bytes.insert(bytes.end(), ack.begin(), ack.end());
  return bytes;
}

inline std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> pieces) {
  std::vector<uint8_t> bytes;
  for (const std::vector<uint8_t>& piece : pieces) bytes.insert(bytes.end(), piece.begin(), piece.end());
  return bytes;
}

class CommandTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(0, comm.Open(u"5")); }

  // The request "Z" + command, answered with `reply`.
  void Exchange(uint8_t command, std::vector<uint8_t> reply) {
    port.ExpectSent({kZ, command}).Reply(std::move(reply));
  }

  FakeClock clock;
  FakeSerialPort port{clock};
  CKVComm comm{port, clock};
};

}  // namespace kv::link::testing
