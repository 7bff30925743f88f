// serial_port_posix.cpp: the SerialPort and Clock of POSIX systems, over termios.
// It converts and calls (through the table of system_calls.h), nothing more: the opening sequence,
// pacing and time limits are CKVComm's. With a pseudo-terminal (the simulator's) it is a real
// end-to-end path.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#if defined(__linux__)
#include <linux/serial.h>
#endif

#include <chrono>
#include <cstring>

#include "link/port_name.h"
#include "link/posix/system_calls.h"
#include "link/serial_port.h"

namespace kv::link {

namespace {

using posix::Calls;

// Owns one file descriptor.
class FileHandle {
 public:
  FileHandle() = default;
  explicit FileHandle(int fd) : fd_(fd) {}
  ~FileHandle() { Reset(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset(int fd = -1) {
    if (fd_ >= 0) Calls().close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

// Modem-line and counter ioctls are missing on pseudo-terminals and some adapters; a port
// without them is still a port.
bool Unsupported(int error) { return error == ENOTTY || error == EINVAL || error == ENOSYS || error == EIO; }

speed_t SpeedOf(uint32_t baud) {
  switch (baud) {
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    default: return B0;
  }
}

uint32_t BaudOf(speed_t speed) {
  switch (speed) {
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    default: return 0;
  }
}

class PosixSerialPort final : public SerialPort {
 public:
  explicit PosixSerialPort(const Wake* wake) : wake_(wake) {}

  PathStyle Style() const override { return PathStyle::kPosix; }

  bool Open(std::u16string_view devicePath) override {
    Close();
    const std::optional<std::string> file = PosixFileFor(devicePath);
    if (!file) return Failed(EINVAL);
    // O_NONBLOCK so that the open does not wait for a carrier; cleared once CLOCAL is set.
    FileHandle fd(Calls().open(file->c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) return Failed(errno);
    if (!Calls().isatty(fd.get())) return Failed(ENOTTY);
    // Exclusive: TIOCEXCL keeps out other openers (root excepted); the lock keeps out every
    // cooperating program, root included.
    if (Calls().flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return Failed(errno == EWOULDBLOCK ? EBUSY : errno);
    if (Calls().ioctl(fd.get(), TIOCEXCL, nullptr) != 0 && !Unsupported(errno)) return Failed(errno);
    fd_.Reset(fd.Release());
    SnapshotCounters(counters_);
    return true;
  }

  bool SetQueueSizes(uint32_t, uint32_t) override {
    // The kernel's tty buffers are fixed (4 KiB and up, more than any reply); nothing to set.
    return fd_.valid();
  }

  bool SetReadsReturnAtOnce() override {
    termios t{};
    if (!fd_.valid() || Calls().tcgetattr(fd_.get(), &t) != 0) return false;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    return Calls().tcsetattr(fd_.get(), TCSANOW, &t) == 0;
  }

  bool ReadLineSettings(LineSettings& s) override {
    termios t{};
    if (!fd_.valid() || Calls().tcgetattr(fd_.get(), &t) != 0) return false;
    s.baudRate = BaudOf(::cfgetospeed(&t));
    switch (t.c_cflag & CSIZE) {
      case CS5: s.dataBits = 5; break;
      case CS6: s.dataBits = 6; break;
      case CS7: s.dataBits = 7; break;
      default: s.dataBits = 8; break;
    }
    s.parity = (t.c_cflag & PARENB) == 0 ? Parity::kNone : (t.c_cflag & PARODD) != 0 ? Parity::kOdd : Parity::kEven;
    s.parityCheck = (t.c_iflag & INPCK) != 0;
    s.stopBits = (t.c_cflag & CSTOPB) != 0 ? StopBits::kTwo : StopBits::kOne;
    s.binary = (t.c_lflag & ICANON) == 0 && (t.c_oflag & OPOST) == 0;
    s.ctsOutputFlow = (t.c_cflag & CRTSCTS) != 0;
    s.dsrOutputFlow = false;
    s.dsrSensitivity = false;
    s.txContinueOnXoff = (t.c_iflag & IXON) == 0 || (t.c_iflag & IXANY) != 0;
    s.xonXoffOutput = (t.c_iflag & IXON) != 0;
    s.xonXoffInput = (t.c_iflag & IXOFF) != 0;
    s.replaceParityErrors = (t.c_iflag & PARMRK) != 0;
    s.discardNulls = false;
    int lines = 0;
    const bool haveLines = Calls().ioctl(fd_.get(), TIOCMGET, &lines) == 0;
    s.dtr = haveLines && (lines & TIOCM_DTR) != 0 ? LineControl::kEnabled : LineControl::kDisabled;
    s.rts = (t.c_cflag & CRTSCTS) != 0                    ? LineControl::kHandshake
            : haveLines && (lines & TIOCM_RTS) != 0       ? LineControl::kEnabled
                                                          : LineControl::kDisabled;
    s.abortOnError = abortOnError_;
    return true;
  }

  bool WriteLineSettings(const LineSettings& s) override {
    termios t{};
    if (!fd_.valid() || Calls().tcgetattr(fd_.get(), &t) != 0) return false;
    const speed_t speed = SpeedOf(s.baudRate);
    if (speed == B0 || ::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0) return false;
    if (s.binary) {
      // Raw bytes both ways: no line editing, signals, echo or translation.
      t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | ISTRIP | INLCR | IGNCR | ICRNL | IXANY);
      t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
      t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
      // Reads return at once here too: should the earlier SetReadsReturnAtOnce have failed, a
      // read of an empty queue would otherwise wait for a byte that may never come.
      t.c_cc[VMIN] = 0;
      t.c_cc[VTIME] = 0;
    }
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    switch (s.dataBits) {
      case 5: t.c_cflag |= CS5; break;
      case 6: t.c_cflag |= CS6; break;
      case 7: t.c_cflag |= CS7; break;
      default: t.c_cflag |= CS8; break;
    }
    if (s.parity == Parity::kOdd) t.c_cflag |= PARENB | PARODD;
    if (s.parity == Parity::kEven) t.c_cflag |= PARENB;
    if (s.stopBits != StopBits::kOne) t.c_cflag |= CSTOPB;
    if (s.ctsOutputFlow || s.rts == LineControl::kHandshake) t.c_cflag |= CRTSCTS;
    t.c_cflag |= CLOCAL | CREAD;
    t.c_iflag &= ~static_cast<tcflag_t>(INPCK | PARMRK | IGNPAR | IXON | IXOFF);
    if (s.parityCheck) t.c_iflag |= INPCK;
    if (s.replaceParityErrors) t.c_iflag |= PARMRK;
    if (s.xonXoffOutput) t.c_iflag |= IXON;
    if (s.xonXoffInput) t.c_iflag |= IXOFF;
    if (Calls().tcsetattr(fd_.get(), TCSANOW, &t) != 0) return false;
    if (!SetLine(TIOCM_DTR, s.dtr == LineControl::kEnabled)) return false;
    if (s.rts != LineControl::kHandshake && !SetLine(TIOCM_RTS, s.rts == LineControl::kEnabled)) return false;
    abortOnError_ = s.abortOnError;
    // CLOCAL is set: from here reads and writes are synchronous, and VMIN/VTIME 0 make
    // every read return at once with what is queued.
    const int flags = Calls().fcntl(fd_.get(), F_GETFL, 0);
    return flags >= 0 && Calls().fcntl(fd_.get(), F_SETFL, flags & ~O_NONBLOCK) == 0;
  }

  bool QueryStatus(PortStatus& status) override {
    if (!fd_.valid()) return false;
    int in = 0;
    int out = 0;
    if (Calls().ioctl(fd_.get(), FIONREAD, &in) != 0) return Failed(errno);
    if (Calls().ioctl(fd_.get(), TIOCOUTQ, &out) != 0) out = 0;
    status.inputQueued = static_cast<uint32_t>(in < 0 ? 0 : in);
    status.outputQueued = static_cast<uint32_t>(out < 0 ? 0 : out);
    status.errors = 0;
    Counters now;
    if (SnapshotCounters(now)) {
      // Errors the driver counted since the last query; reading them is what clears them.
      if (now.frame != counters_.frame) status.errors |= kPortErrorFraming;
      if (now.parity != counters_.parity) status.errors |= kPortErrorParity;
      if (now.overrun != counters_.overrun) status.errors |= kPortErrorOverrun;
      if (now.brk != counters_.brk) status.errors |= kPortErrorBreak;
      if (now.bufferOverrun != counters_.bufferOverrun) status.errors |= kPortErrorOther;
      counters_ = now;
    }
    // A hung-up line (the other end of a pseudo-terminal closed, an adapter unplugged) would
    // otherwise look like a silent one.
    pollfd p{fd_.get(), POLLIN, 0};
    if (Calls().poll(&p, 1, 0) > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0 && in == 0)
      status.errors |= kPortErrorOther;
    return true;
  }

  void ClearBreak() override {
    if (fd_.valid()) Calls().ioctl(fd_.get(), TIOCCBRK, nullptr);
  }

  int ReadQueued(std::span<uint8_t> into) override {
    if (!fd_.valid()) return -1;
    if (into.empty()) return 0;
    for (;;) {
      const ssize_t n = Calls().read(fd_.get(), into.data(), into.size());
      if (n >= 0) return static_cast<int>(n);
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
      lastError_ = errno;
      return -1;
    }
  }

  int WriteByte(uint8_t byte) override {
    if (!fd_.valid()) return -1;
    for (;;) {
      const ssize_t n = Calls().write(fd_.get(), &byte, 1);
      if (n >= 0) return static_cast<int>(n);
      if (errno == EINTR) continue;
      lastError_ = errno;
      return -1;
    }
  }

  bool WaitForInput(Duration limit) override {
    if (!fd_.valid()) return false;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(limit).count();
    // The wake's descriptor beside the port's: a cancel ends the wait at once.
    pollfd p[2] = {{fd_.get(), POLLIN, 0}, {wake_ ? static_cast<int>(wake_->PollHandle()) : -1, POLLIN, 0}};
    const nfds_t count = p[1].fd >= 0 ? 2 : 1;
    const int rc = Calls().poll(p, count, static_cast<int>(ms < 0 ? 0 : ms));
    if (rc > 0 && (p[0].revents & (POLLHUP | POLLERR)) != 0 && (p[0].revents & POLLIN) == 0) {
      // A hung-up pseudo-terminal reports POLLHUP at once, every time: do not let the
      // receive loop spin on it while it waits for its time limit.
      struct timespec pause {0, 10'000'000};
      Calls().nanosleep(&pause, nullptr);
    }
    return rc > 0;
  }

  void PurgeInput() override {
    if (fd_.valid()) Calls().tcflush(fd_.get(), TCIFLUSH);
  }

  void Close() override {
    // A pseudo-terminal keeps TIOCEXCL while its other side is open: cleared, so that a user other
    // than root can open it again (a real port drops it with its last close anyway).
    if (fd_.valid()) Calls().ioctl(fd_.get(), TIOCNXCL, nullptr);
    fd_.Reset();
    abortOnError_ = false;
  }

  std::string LastSystemError() const override { return lastError_ != 0 ? std::strerror(lastError_) : std::string(); }

 private:
  bool Failed(int error) {
    lastError_ = error;
    return false;
  }

  struct Counters {
    int frame = 0, parity = 0, overrun = 0, brk = 0, bufferOverrun = 0;
  };

  bool SnapshotCounters(Counters& c) {
#if defined(__linux__) && defined(TIOCGICOUNT)
    serial_icounter_struct ic{};
    if (Calls().ioctl(fd_.get(), TIOCGICOUNT, &ic) != 0) return false;
    c = Counters{ic.frame, ic.parity, ic.overrun, ic.brk, ic.buf_overrun};
    return true;
#else
    (void)c;
    return false;
#endif
  }

  bool SetLine(int line, bool raised) {
    if (Calls().ioctl(fd_.get(), raised ? TIOCMBIS : TIOCMBIC, &line) == 0) return true;
    return Unsupported(errno);
  }

  const Wake* wake_;
  FileHandle fd_;
  Counters counters_;
  bool abortOnError_ = false;
  int lastError_ = 0;
};

class PosixClock final : public Clock {
 public:
  Duration Now() override {
    return std::chrono::duration_cast<Duration>(std::chrono::steady_clock::now().time_since_epoch());
  }
  void Sleep(Duration duration) override {
    if (duration <= Duration::zero()) return;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(duration).count();
    struct timespec left {static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
    while (Calls().nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
  }
};

// An eventfd: Signal makes it readable for good, so every poll on it, now or later, returns at once.
class PosixWake final : public Wake {
 public:
  PosixWake() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
  ~PosixWake() override {
    if (fd_ >= 0) ::close(fd_);
  }
  PosixWake(const PosixWake&) = delete;
  PosixWake& operator=(const PosixWake&) = delete;

  void Sleep(Duration duration) override {
    if (duration <= Duration::zero() || Raised()) return;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(duration).count();
    struct timespec limit {static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
    if (fd_ < 0) {
      NativeClock().Sleep(duration);
      return;
    }
    pollfd p{fd_, POLLIN, 0};
    // An interrupted wait ends early; the caller reads its clock and sleeps the rest.
    ::ppoll(&p, 1, &limit, nullptr);
  }
  intptr_t PollHandle() const override { return fd_; }

 protected:
  void Signal() override {
    if (fd_ < 0) return;
    const uint64_t one = 1;
    // The counter cannot overflow from one write; nothing to do if it fails.
    [[maybe_unused]] const ssize_t n = ::write(fd_, &one, sizeof one);
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<SerialPort> MakeNativeSerialPort(const Wake* wake) { return std::make_unique<PosixSerialPort>(wake); }

std::unique_ptr<Wake> MakeNativeWake() { return std::make_unique<PosixWake>(); }

Clock& NativeClock() {
  static PosixClock clock;
  return clock;
}

}  // namespace kv::link
