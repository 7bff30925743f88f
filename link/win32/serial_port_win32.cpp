// serial_port_win32.cpp: the SerialPort and Clock of Windows, over the serial communications
// calls. It converts and calls, nothing more: the opening sequence, pacing and time limits are
// CKVComm's. Time is QueryPerformanceCounter, fine enough to end a 200 ms pause on time.
#include <windows.h>

#include <mmsystem.h>

#include <string>

#include "link/serial_port.h"

namespace kv::link {

namespace {

// Owns the port handle; every path that gives up the port goes through Reset.
class PortHandle {
 public:
  PortHandle() = default;
  ~PortHandle() { Reset(); }
  PortHandle(const PortHandle&) = delete;
  PortHandle& operator=(const PortHandle&) = delete;
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  void Reset(HANDLE handle = INVALID_HANDLE_VALUE) {
    if (valid()) CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Keeps the system timer at 1 ms while a port is open: Sleep and the receive's short waits
// then end within a millisecond instead of a 15.6 ms tick.
class TimerResolution {
 public:
  void Acquire() {
    if (!held_) held_ = timeBeginPeriod(1) == TIMERR_NOERROR;
  }
  void Release() {
    if (held_) timeEndPeriod(1);
    held_ = false;
  }
  ~TimerResolution() { Release(); }

 private:
  bool held_ = false;
};

BYTE ParityOf(Parity p) {
  switch (p) {
    case Parity::kOdd: return ODDPARITY;
    case Parity::kEven: return EVENPARITY;
    case Parity::kMark: return MARKPARITY;
    case Parity::kSpace: return SPACEPARITY;
    case Parity::kNone: break;
  }
  return NOPARITY;
}

Parity ParityFrom(BYTE p) {
  switch (p) {
    case ODDPARITY: return Parity::kOdd;
    case EVENPARITY: return Parity::kEven;
    case MARKPARITY: return Parity::kMark;
    case SPACEPARITY: return Parity::kSpace;
    default: return Parity::kNone;
  }
}

BYTE StopBitsOf(StopBits s) {
  switch (s) {
    case StopBits::kOneAndHalf: return ONE5STOPBITS;
    case StopBits::kTwo: return TWOSTOPBITS;
    case StopBits::kOne: break;
  }
  return ONESTOPBIT;
}

StopBits StopBitsFrom(BYTE s) {
  switch (s) {
    case ONE5STOPBITS: return StopBits::kOneAndHalf;
    case TWOSTOPBITS: return StopBits::kTwo;
    default: return StopBits::kOne;
  }
}

DWORD DtrOf(LineControl c) {
  switch (c) {
    case LineControl::kEnabled: return DTR_CONTROL_ENABLE;
    case LineControl::kHandshake: return DTR_CONTROL_HANDSHAKE;
    default: return DTR_CONTROL_DISABLE;
  }
}

LineControl DtrFrom(DWORD c) {
  switch (c) {
    case DTR_CONTROL_ENABLE: return LineControl::kEnabled;
    case DTR_CONTROL_HANDSHAKE: return LineControl::kHandshake;
    default: return LineControl::kDisabled;
  }
}

DWORD RtsOf(LineControl c) {
  switch (c) {
    case LineControl::kEnabled: return RTS_CONTROL_ENABLE;
    case LineControl::kHandshake: return RTS_CONTROL_HANDSHAKE;
    case LineControl::kToggle: return RTS_CONTROL_TOGGLE;
    case LineControl::kDisabled: break;
  }
  return RTS_CONTROL_DISABLE;
}

LineControl RtsFrom(DWORD c) {
  switch (c) {
    case RTS_CONTROL_ENABLE: return LineControl::kEnabled;
    case RTS_CONTROL_HANDSHAKE: return LineControl::kHandshake;
    case RTS_CONTROL_TOGGLE: return LineControl::kToggle;
    default: return LineControl::kDisabled;
  }
}

// The system's message for an error code, in English where the system has it, without its line end.
std::string SystemMessage(DWORD error) {
  char text[256] = {};
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                 MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), text, sizeof text, nullptr);
  std::string message(text, n);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
    message.pop_back();
  return message.empty() ? "system error " + std::to_string(error) : message;
}

class Win32SerialPort final : public SerialPort {
 public:
  explicit Win32SerialPort(const Wake* wake) : wake_(wake) {}

  PathStyle Style() const override { return PathStyle::kWindows; }

  bool Open(std::u16string_view devicePath) override {
    Close();
    const std::wstring path(devicePath.begin(), devicePath.end());
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Failed();
    handle_.Reset(h);
    timer_.Acquire();
    return true;
  }

  bool SetQueueSizes(uint32_t inputBytes, uint32_t outputBytes) override {
    return handle_.valid() && SetupComm(handle_.get(), inputBytes, outputBytes) != 0;
  }

  bool SetReadsReturnAtOnce() override {
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD;  // with the four others 0: return at once with what is queued
    return handle_.valid() && SetCommTimeouts(handle_.get(), &t) != 0;
  }

  bool ReadLineSettings(LineSettings& s) override {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!handle_.valid() || GetCommState(handle_.get(), &dcb) == 0) return false;
    // Kept so that a later write changes only the fields the link names.
    read_ = dcb;
    s.baudRate = dcb.BaudRate;
    s.dataBits = dcb.ByteSize;
    s.parity = ParityFrom(dcb.Parity);
    s.parityCheck = dcb.fParity != 0;
    s.stopBits = StopBitsFrom(dcb.StopBits);
    s.binary = dcb.fBinary != 0;
    s.ctsOutputFlow = dcb.fOutxCtsFlow != 0;
    s.dsrOutputFlow = dcb.fOutxDsrFlow != 0;
    s.dtr = DtrFrom(dcb.fDtrControl);
    s.dsrSensitivity = dcb.fDsrSensitivity != 0;
    s.txContinueOnXoff = dcb.fTXContinueOnXoff != 0;
    s.xonXoffOutput = dcb.fOutX != 0;
    s.xonXoffInput = dcb.fInX != 0;
    s.replaceParityErrors = dcb.fErrorChar != 0;
    s.discardNulls = dcb.fNull != 0;
    s.rts = RtsFrom(dcb.fRtsControl);
    s.abortOnError = dcb.fAbortOnError != 0;
    return true;
  }

  bool WriteLineSettings(const LineSettings& s) override {
    if (!handle_.valid()) return false;
    DCB dcb = read_;
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = s.baudRate;
    dcb.ByteSize = s.dataBits;
    dcb.Parity = ParityOf(s.parity);
    dcb.fParity = s.parityCheck;
    dcb.StopBits = StopBitsOf(s.stopBits);
    dcb.fBinary = s.binary;
    dcb.fOutxCtsFlow = s.ctsOutputFlow;
    dcb.fOutxDsrFlow = s.dsrOutputFlow;
    dcb.fDtrControl = DtrOf(s.dtr) & 0x3u;
    dcb.fDsrSensitivity = s.dsrSensitivity;
    dcb.fTXContinueOnXoff = s.txContinueOnXoff;
    dcb.fOutX = s.xonXoffOutput;
    dcb.fInX = s.xonXoffInput;
    dcb.fErrorChar = s.replaceParityErrors;
    dcb.fNull = s.discardNulls;
    dcb.fRtsControl = RtsOf(s.rts) & 0x3u;
    dcb.fAbortOnError = s.abortOnError;
    return SetCommState(handle_.get(), &dcb) != 0;
  }

  bool QueryStatus(PortStatus& status) override {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!handle_.valid()) return false;
    if (ClearCommError(handle_.get(), &errors, &stat) == 0) return Failed();
    status.errors = 0;
    if (errors & CE_FRAME) status.errors |= kPortErrorFraming;
    if (errors & CE_RXPARITY) status.errors |= kPortErrorParity;
    if (errors & CE_OVERRUN) status.errors |= kPortErrorOverrun;
    if (errors & CE_BREAK) status.errors |= kPortErrorBreak;
    if (errors & ~static_cast<DWORD>(CE_FRAME | CE_RXPARITY | CE_OVERRUN | CE_BREAK)) status.errors |= kPortErrorOther;
    status.inputQueued = stat.cbInQue;
    status.outputQueued = stat.cbOutQue;
    return true;
  }

  void ClearBreak() override {
    if (handle_.valid()) ClearCommBreak(handle_.get());
  }

  int ReadQueued(std::span<uint8_t> into) override {
    DWORD got = 0;
    if (!handle_.valid()) return -1;
    if (ReadFile(handle_.get(), into.data(), static_cast<DWORD>(into.size()), &got, nullptr) == 0) return Failed(), -1;
    return static_cast<int>(got);
  }

  int WriteByte(uint8_t byte) override {
    DWORD written = 0;
    if (!handle_.valid()) return -1;
    if (WriteFile(handle_.get(), &byte, 1, &written, nullptr) == 0) return Failed(), -1;
    return static_cast<int>(written);
  }

  bool WaitForInput(Duration limit) override {
    // The handle is synchronous, so there is nothing to wait on: a short sleep between
    // empty polls is what keeps the receive off the processor. With a wake it is a wait on the
    // wake's event instead, which a cancel ends at once.
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(limit).count();
    const DWORD pause = static_cast<DWORD>(ms <= 0 ? 0 : ms < 2 ? ms : 2);
    const HANDLE event = wake_ ? reinterpret_cast<HANDLE>(wake_->PollHandle()) : nullptr;
    if (event != nullptr && event != INVALID_HANDLE_VALUE)
      WaitForSingleObject(event, pause);
    else
      Sleep(pause);
    return false;
  }

  void PurgeInput() override {
    if (handle_.valid()) PurgeComm(handle_.get(), PURGE_RXCLEAR);
  }

  void Close() override {
    handle_.Reset();
    timer_.Release();
  }

  std::string LastSystemError() const override { return lastError_ != 0 ? SystemMessage(lastError_) : std::string(); }

 private:
  bool Failed() {
    lastError_ = GetLastError();
    return false;
  }

  const Wake* wake_;
  DWORD lastError_ = 0;
  PortHandle handle_;
  TimerResolution timer_;
  DCB read_{};
};

class Win32Clock final : public Clock {
 public:
  Win32Clock() { QueryPerformanceFrequency(&frequency_); }
  Duration Now() override {
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    const long long f = frequency_.QuadPart;
    const long long c = count.QuadPart;
    // Split so that the multiplication cannot overflow after months of uptime.
    return Duration{(c / f) * 1'000'000 + (c % f) * 1'000'000 / f};
  }
  void Sleep(Duration duration) override {
    if (duration <= Duration::zero()) return;
    // Sleep takes whole milliseconds and may end up to a timer tick late; the caller reads
    // Now() after it, so rounding up never shortens a pause.
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(duration).count();
    ::Sleep(static_cast<DWORD>(ms));
  }

 private:
  LARGE_INTEGER frequency_{};
};

// A manual-reset event: once set it stays set, so every wait on it, now or later, returns at once.
class Win32Wake final : public Wake {
 public:
  Win32Wake() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~Win32Wake() override {
    if (event_ != nullptr) CloseHandle(event_);
  }
  Win32Wake(const Win32Wake&) = delete;
  Win32Wake& operator=(const Win32Wake&) = delete;

  void Sleep(Duration duration) override {
    if (duration <= Duration::zero() || Raised()) return;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(duration).count();
    if (event_ == nullptr)
      ::Sleep(static_cast<DWORD>(ms));
    else
      WaitForSingleObject(event_, static_cast<DWORD>(ms));
  }
  intptr_t PollHandle() const override { return event_ != nullptr ? reinterpret_cast<intptr_t>(event_) : -1; }

 protected:
  void Signal() override {
    if (event_ != nullptr) SetEvent(event_);
  }

 private:
  HANDLE event_;
};

}  // namespace

std::unique_ptr<SerialPort> MakeNativeSerialPort(const Wake* wake) { return std::make_unique<Win32SerialPort>(wake); }

std::unique_ptr<Wake> MakeNativeWake() { return std::make_unique<Win32Wake>(); }

Clock& NativeClock() {
  static Win32Clock clock;
  return clock;
}

}  // namespace kv::link
