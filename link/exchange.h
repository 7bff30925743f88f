// exchange.h: the analyser's frame (request, echo, payload or data, acknowledgement), the
// table of command bytes, and the connect handshake. Built on CKVComm alone; the commands
// decode payloads on top of it and never touch the port themselves.
#pragma once

#include <cstdint>
#include <span>

#include "link/comm.h"
#include "link/slot_geometry.h"

namespace kv::link {

inline constexpr uint8_t kFrameStart = 0x5A;   // 'Z': first byte of request, echo and acknowledgement
inline constexpr uint8_t kAckSecond = 0x00;    // the acknowledgement is "Z" with its terminating zero
inline constexpr uint8_t kHandshakeByte = 0xA5;

// The command bytes, with the data the library sends and the payload the analyser answers.
inline constexpr uint8_t kCmdModelVersion = 0x21;
inline constexpr uint8_t kCmdFurtherVersion = 0x24;
inline constexpr uint8_t kCmdProtocolInfo = 0x22;
inline constexpr uint8_t kCmdSerialNumber = 0x23;
inline constexpr uint8_t kCmdReadPrinterAddress = 0x32;
inline constexpr uint8_t kCmdWritePrinterAddress = 0x92;
inline constexpr uint8_t kCmdReadCurrentTime = 0x31;
inline constexpr uint8_t kCmdReadCalibrationTime = 0x33;
inline constexpr uint8_t kCmdWriteCurrentTime = 0x91;
inline constexpr uint8_t kCmdStoredTests = 0x30;
inline constexpr uint8_t kCmdSingleTest = 0x40;

struct CommandInfo {
  uint8_t command;
  uint16_t dataBytes;     // sent by the library after the echo (write commands)
  uint16_t payloadBytes;  // sent by the analyser after the echo (read commands)
};

inline constexpr CommandInfo kCommandTable[] = {
    {kCmdModelVersion, 0, 3},
    {kCmdFurtherVersion, 0, 3},
    {kCmdProtocolInfo, 0, 3},
    {kCmdSerialNumber, 0, 3},
    {kCmdReadPrinterAddress, 0, 12},
    {kCmdWritePrinterAddress, 12, 0},
    {kCmdReadCurrentTime, 0, 6},
    {kCmdReadCalibrationTime, 0, 6},
    {kCmdWriteCurrentTime, 6, 0},
    {kCmdStoredTests, 0, kBlockHeaderSize + kBlockSize},
    {kCmdSingleTest, 0, 32},
};

// Payload length of a command of the table; 0 for a byte that is not one.
inline constexpr uint16_t PayloadBytes(uint8_t command) {
  for (const CommandInfo& info : kCommandTable)
    if (info.command == command) return info.payloadBytes;
  return 0;
}

// KVConnect: waits for the analyser's 0xA5 (skipping any other byte), answers it, pauses
// 150 ms and empties the input queue. 0, or -52 when the receive fails or no 0xA5 comes
// within the link's handshake limit (no port open: -52 at once), or -57 once cancelled. The
// answer's send result is ignored.
inline constexpr Duration kConnectSettle = std::chrono::milliseconds{150};
int Connect(CKVComm& comm);

// The steps of one exchange, for commands that need them one by one. Each returns 0 or the
// first failing code, and is meant to be called only after the previous step gave 0.
// Request "Z"+command, then its two-byte echo into the reply buffer: 0, -53 wrong echo
// (nothing more read), -55 receive failed, -56 send failed.
int SendRequest(CKVComm& comm, uint8_t command);
// The fixed-length payload: 0 or -55.
int ReceivePayload(CKVComm& comm, std::span<uint8_t> payload);
// The data of a write command, one unit per byte: 0 or -56.
int SendData(CKVComm& comm, std::span<const char16_t> units);
// The two-byte acknowledgement into the reply buffer: 0, -54 not "Z\0", -55 receive failed.
int ReceiveAcknowledgement(CKVComm& comm);

// A read command: request, echo, payload into `payload`, acknowledgement. `onPayload` runs as
// soon as the payload is in, before the acknowledgement is read, so outputs decoded there keep
// their values when the result is -54.
template <typename OnPayload>
int ReadExchange(CKVComm& comm, uint8_t command, std::span<uint8_t> payload, OnPayload&& onPayload) {
  if (int rc = SendRequest(comm, command); rc != 0) return rc;
  if (int rc = ReceivePayload(comm, payload); rc != 0) return rc;
  onPayload(std::span<const uint8_t>(payload.data(), payload.size()));
  return ReceiveAcknowledgement(comm);
}
// The same without a decoder: the caller reads `payload` afterwards (filled when the
// result is 0 or -54).
int ReadExchange(CKVComm& comm, uint8_t command, std::span<uint8_t> payload);

// A write command: request, echo, data, acknowledgement.
int WriteExchange(CKVComm& comm, uint8_t command, std::span<const char16_t> data);

}  // namespace kv::link
