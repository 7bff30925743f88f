// serial_port.h: all the link asks of an operating system's serial port, and of its clock.
// Interface only: no protocol knowledge here and no platform header. The backends live in
// posix/ and win32/; tests use the fakes of tests/fakes/serial.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace kv::link {

using Duration = std::chrono::microseconds;

// Monotonic time and sleeping, fine enough to end a 200 ms pause on time.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual Duration Now() = 0;  // monotonic; only differences mean anything
  virtual void Sleep(Duration duration) = 0;
};

// The cancel of one link: raised from any thread, it stays raised, and it ends every wait of the
// link early (its own sleeps, and the port's input wait where the port polls its handle).
class Wake {
 public:
  virtual ~Wake() = default;
  // Any thread; idempotent.
  void Raise() {
    if (!raised_.exchange(true)) Signal();
  }
  virtual bool Raised() const { return raised_.load(); }
  // Sleeps `duration`, or less once raised.
  virtual void Sleep(Duration duration) = 0;
  // What the native port waits on beside its own handle (a file descriptor, a HANDLE as an
  // integer); -1 where there is none.
  virtual intptr_t PollHandle() const { return -1; }

 protected:
  virtual void Signal() = 0;

 private:
  std::atomic<bool> raised_{false};
};

// The line settings the link asks for, one field per setting it names. A backend keeps
// every setting of its driver that is not named here as the driver had it.
enum class Parity : uint8_t { kNone, kOdd, kEven, kMark, kSpace };
enum class StopBits : uint8_t { kOne, kOneAndHalf, kTwo };
enum class LineControl : uint8_t { kDisabled, kEnabled, kHandshake, kToggle };  // DTR and RTS lines

struct LineSettings {
  uint32_t baudRate = 0;
  uint8_t dataBits = 0;
  Parity parity = Parity::kNone;
  bool parityCheck = false;
  StopBits stopBits = StopBits::kOne;
  bool binary = false;
  bool ctsOutputFlow = false;
  bool dsrOutputFlow = false;
  LineControl dtr = LineControl::kDisabled;
  bool dsrSensitivity = false;
  bool txContinueOnXoff = false;
  bool xonXoffOutput = false;
  bool xonXoffInput = false;
  bool replaceParityErrors = false;
  bool discardNulls = false;
  LineControl rts = LineControl::kDisabled;
  bool abortOnError = false;
  friend bool operator==(const LineSettings&, const LineSettings&) = default;
};

// Error flags of a status query; any of them fails a receive.
enum PortError : uint32_t {
  kPortErrorFraming = 1u << 0,
  kPortErrorParity = 1u << 1,
  kPortErrorOverrun = 1u << 2,
  kPortErrorBreak = 1u << 3,
  kPortErrorOther = 1u << 4,  // buffer overflow, hang-up, a driver that stopped transfers
};

struct PortStatus {
  uint32_t errors = 0;       // PortError flags; the query that reports them clears them
  uint32_t inputQueued = 0;  // bytes received and not yet read
  uint32_t outputQueued = 0; // bytes written and not yet sent
};

// How a backend spells device paths, for the port-name rules of port_name.h.
enum class PathStyle : uint8_t { kWindows, kPosix };

// One serial port. Calls on a port that is not open fail (or do nothing where they return nothing).
class SerialPort {
 public:
  virtual ~SerialPort() = default;
  virtual PathStyle Style() const = 0;
  // Opens exclusively, for reading and writing, synchronous. false: nothing is open.
  virtual bool Open(std::u16string_view devicePath) = 0;
  virtual bool SetQueueSizes(uint32_t inputBytes, uint32_t outputBytes) = 0;
  // Reads return at once with what is queued; writes have no time-out.
  virtual bool SetReadsReturnAtOnce() = 0;
  virtual bool ReadLineSettings(LineSettings& settings) = 0;
  virtual bool WriteLineSettings(const LineSettings& settings) = 0;
  // Error flags (cleared by this call) and the bytes queued each way.
  virtual bool QueryStatus(PortStatus& status) = 0;
  virtual void ClearBreak() = 0;
  // Never blocks: the number of bytes read (0 to into.size()), or < 0 on failure.
  virtual int ReadQueued(std::span<uint8_t> into) = 0;
  // 1 when the byte was written, 0 or < 0 when it was not.
  virtual int WriteByte(uint8_t byte) = 0;
  // Returns when input may be queued, an error may be pending, the port's wake is raised, or
  // after about `limit`; waits without spinning. A false return only means nothing arrived in time.
  virtual bool WaitForInput(Duration limit) = 0;
  virtual void PurgeInput() = 0;
  virtual void Close() = 0;
  // The system's words for the last call that failed ("No such file or directory"); empty when
  // there is none to tell.
  virtual std::string LastSystemError() const { return {}; }
};

// The backend of this build (posix/ or win32/), its clock and its wake. A port made with a wake
// ends its input wait as soon as the wake is raised.
std::unique_ptr<SerialPort> MakeNativeSerialPort(const Wake* wake = nullptr);
Clock& NativeClock();
std::unique_ptr<Wake> MakeNativeWake();

}  // namespace kv::link
