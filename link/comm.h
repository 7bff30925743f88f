// comm.h: CKVComm, the serial link object: the opening sequence, the exact-count receive and
// the paced send, written once over the SerialPort boundary. It knows no command; the frame
// and the handshake are in exchange.h.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

#include "link/serial_port.h"

namespace kv::link {

// Queue sizes asked of the driver at open.
inline constexpr uint32_t kQueueBytes = 32000;
// Bytes the opening flushes from the input queue (and the least size of the payload buffer).
inline constexpr size_t kOpenFlushBytes = 49;
inline constexpr size_t kPayloadBufferBytes = 49;
// Every transmitted byte waits at least this long after the previous one.
inline constexpr Duration kBytePacing = std::chrono::milliseconds{200};
// The pause is slept in steps of at most this, the clock read between steps, so neither an
// early wake-up nor a coarse sleep can end it short.
inline constexpr Duration kPacingStep = std::chrono::milliseconds{25};
// A receive inside an exchange gives up after this much silence; the analyser answers within
// milliseconds, so a silent line means it is off, out of range or confused.
inline constexpr Duration kReplySilenceLimit = std::chrono::seconds{3};
// A send whose write keeps failing gives up after this many attempts of one unit.
inline constexpr int kWriteAttempts = 3;
// A byte waits at most this long for the driver's output queue to empty, then goes anyway.
inline constexpr Duration kOutputDrainLimit = std::chrono::seconds{2};

class CKVComm {
 public:
  CKVComm(SerialPort& port, Clock& clock);
  // Closes a port that is still open: the host may unload the library without closing.
  virtual ~CKVComm();
  CKVComm(const CKVComm&) = delete;
  CKVComm& operator=(const CKVComm&) = delete;

  // KVOpenComport: closes any open port first, then opens the named one (port_name.h rules)
  // and applies the analyser's line settings. 0, -50 (open, line settings, name too long)
  // or -51 (queue sizes); after a failure no port is open.
  int Open(std::u16string_view portName);
  // KVCloseComport: closes the port if one is open; harmless when none is.
  void Close();
  bool IsOpen() const { return open_; }

  // Fills exactly into.size() bytes: 0, or -55 when the port reports an error, a status query
  // or read fails, no port is open, or nothing arrives for `silenceLimit`. Bytes not yet
  // arrived stay in the driver's queue. An empty span returns 0 with no call on the port.
  int CommReceive(std::span<uint8_t> into, Duration silenceLimit = kReplySilenceLimit);
  // Sends the low 8 bits of each unit, each byte at least kBytePacing after the previous and
  // only once the output queue is empty. 0, or -56 when no port is open or a unit's write
  // fails kWriteAttempts times. An empty span returns 0 with no call on the port.
  int CommSend(std::span<const char16_t> units);
  int CommSend(std::initializer_list<char16_t> units) { return CommSend(std::span(units.begin(), units.size())); }

  // Discards everything in the driver's input queue (nothing when no port is open).
  void PurgeInput();

  // The process-wide buffers every command shares: the echo and acknowledgement, and the
  // payload of a reply (the stored-test block has a buffer of its own).
  std::span<uint8_t, 2> ReplyBuffer() { return reply_; }
  std::span<uint8_t, kPayloadBufferBytes> PayloadBuffer() { return payload_; }

  Clock& GetClock() { return clock_; }

  // The analyser's line settings applied over what the driver reports.
  static LineSettings AnalyserLineSettings(LineSettings driver);

 private:
  int OpenPath(std::u16string_view devicePath);
  void ClosePort();
  void WaitOutputEmpty();
  void PauseBeforeByte();

  SerialPort& port_;
  Clock& clock_;
  bool open_ = false;  // the port handle: none while false
  std::array<uint8_t, 2> reply_{};
  std::array<uint8_t, kPayloadBufferBytes> payload_{};
};

// The one process-wide link, alive from load to unload. Defined by the export layer
// (sdk/exports_link.cpp); only the export shims call it.
CKVComm& ProcessComm();

}  // namespace kv::link
