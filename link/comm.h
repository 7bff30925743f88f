// comm.h: CKVComm, the serial link object: the opening sequence, the exact-count receive and
// the paced send, written once over the SerialPort boundary. It knows no command; the frame
// and the handshake are in exchange.h.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
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
// A reporting receive reads at most this many bytes between two reports.
inline constexpr size_t kProgressStepBytes = 64;
// A send whose write keeps failing gives up after this many attempts of one unit.
inline constexpr int kWriteAttempts = 3;
// A byte waits at most this long for the driver's output queue to empty, then goes anyway.
inline constexpr Duration kOutputDrainLimit = std::chrono::seconds{2};

// How long Connect waits for the handshake, unless the link is told otherwise.
inline constexpr Duration kConnectTimeLimit = std::chrono::seconds{60};

// What a link reports while it works: the bytes it moves and how far a long receive has come.
// Called on the link's own thread, inside the call that moves the bytes.
class LinkObserver {
 public:
  virtual ~LinkObserver() = default;
  enum class Direction { kReceived = 0, kSent = 1 };
  virtual void OnBytes(Direction direction, std::span<const uint8_t> bytes) = 0;
  // A reporting receive: done of total bytes are in.
  virtual void OnProgress(size_t done, size_t total) = 0;
};

class CKVComm {
 public:
  // With a wake, raising it cancels: every wait ends early and the call returns -57 (and so does
  // every later one, as a raised wake stays raised). Without one nothing can cancel.
  CKVComm(SerialPort& port, Clock& clock, Wake* wake = nullptr);
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
  // or read fails, no port is open, or nothing arrives for `silenceLimit` (by default the
  // reply silence limit), or -57 once cancelled. Bytes not yet arrived stay in the driver's
  // queue. An empty span returns 0 with no call on the port.
  int CommReceive(std::span<uint8_t> into) { return Receive(into, replySilence_, false); }
  int CommReceive(std::span<uint8_t> into, Duration silenceLimit) { return Receive(into, silenceLimit, false); }
  // The same, reporting progress to the observer at least every kProgressStepBytes and at the end.
  int CommReceiveReporting(std::span<uint8_t> into) { return Receive(into, replySilence_, true); }
  // Sends the low 8 bits of each unit, each byte at least kBytePacing after the previous and
  // only once the output queue is empty. 0, or -56 when no port is open or a unit's write
  // fails kWriteAttempts times, or -57 once cancelled (in a pause nothing more is written).
  // An empty span returns 0 with no call on the port.
  int CommSend(std::span<const char16_t> units);
  int CommSend(std::initializer_list<char16_t> units) { return CommSend(std::span(units.begin(), units.size())); }

  // Discards everything in the driver's input queue (nothing when no port is open).
  void PurgeInput();

  // The process-wide buffers every command shares: the echo and acknowledgement, and the
  // payload of a reply (the stored-test block has a buffer of its own).
  std::span<uint8_t, 2> ReplyBuffer() { return reply_; }
  std::span<uint8_t, kPayloadBufferBytes> PayloadBuffer() { return payload_; }

  Clock& GetClock() { return clock_; }

  // Sleeps on the clock, or less once cancelled.
  void Sleep(Duration duration);
  bool Cancelled() const { return wake_ != nullptr && wake_->Raised(); }

  // The time limits: the handshake wait of Connect and the silence that ends a receive.
  Duration HandshakeLimit() const { return handshakeLimit_; }
  Duration ReplySilenceLimit() const { return replySilence_; }
  void SetLimits(Duration handshake, Duration replySilence) { handshakeLimit_ = handshake, replySilence_ = replySilence; }

  // The observer of bytes and progress; null for none.
  void SetObserver(LinkObserver* observer) { observer_ = observer; }

  // The last failure in words (what the port, the system or the analyser did), for hosts that
  // want more than the code. Fail records it and returns the code.
  const std::string& LastFailure() const { return lastFailure_; }
  int Fail(int code, std::string text);

  // The analyser's line settings applied over what the driver reports.
  static LineSettings AnalyserLineSettings(LineSettings driver);

 private:
  int OpenPath(std::u16string_view devicePath);
  void ClosePort();
  int Receive(std::span<uint8_t> into, Duration silenceLimit, bool report);
  void WaitOutputEmpty();
  bool PauseBeforeByte();
  std::string SystemError() const;

  SerialPort& port_;
  Clock& clock_;
  Wake* wake_;
  LinkObserver* observer_ = nullptr;
  Duration handshakeLimit_ = kConnectTimeLimit;
  Duration replySilence_ = kReplySilenceLimit;
  std::string lastFailure_;
  bool open_ = false;  // the port handle: none while false
  std::array<uint8_t, 2> reply_{};
  std::array<uint8_t, kPayloadBufferBytes> payload_{};
};

}  // namespace kv::link
