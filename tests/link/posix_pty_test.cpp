// posix_pty_test.cpp: the POSIX backend on a real pseudo-terminal. First what the end-to-end test cannot
// see: the line settings the driver holds, exclusive open, a hang-up and a purge; then the failure paths,
// one system call failed at a time through the call table: the link's result code, and no descriptor left
// open. Skipped where no pseudo-terminal exists.
#include <errno.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "../support/open_descriptors.h"
#include "KorvantaSDK.h"
#include "link/comm.h"
#include "link/posix/system_calls.h"

namespace kv::link {
namespace {

using posix::Calls;
using posix::RealSystemCalls;

class PtyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) GTEST_SKIP() << "no pseudo-terminal: openpty failed";
    path = std::u16string(name, name + std::strlen(name));
    baseline = OpenDescriptors();
  }
  void TearDown() override {
    comm.Close();
    if (slave >= 0) ::close(slave);
    if (master >= 0) ::close(master);
  }
  int master = -1, baseline = 0;
  int slave = -1;  // kept open so a test can read the line settings through it
  std::u16string path;
  std::unique_ptr<SerialPort> port = MakeNativeSerialPort();
  CKVComm comm{*port, NativeClock()};
};

// The open sets the analyser's line settings and reads that return at once.
TEST_F(PtyTest, AnalyserLineSettingsReachTheDriverAndReadBack) {
  ASSERT_EQ(KV_OK, comm.Open(path));
  termios t{};
  ASSERT_EQ(0, ::tcgetattr(slave, &t));
  EXPECT_EQ(B115200, ::cfgetospeed(&t));
  EXPECT_EQ(B115200, ::cfgetispeed(&t));
  EXPECT_EQ(tcflag_t{CS8 | CLOCAL | CREAD}, t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD));
  EXPECT_EQ(0u, t.c_iflag & (IXON | IXOFF | INPCK | PARMRK | ICRNL | ISTRIP));
  EXPECT_EQ(0u, t.c_lflag & (ICANON | ECHO | ISIG));
  EXPECT_EQ(0u, t.c_oflag & OPOST);
  EXPECT_EQ(0, t.c_cc[VMIN]);
  EXPECT_EQ(0, t.c_cc[VTIME]);
  LineSettings after;
  ASSERT_TRUE(port->ReadLineSettings(after));
  EXPECT_EQ(115200u, after.baudRate);
  EXPECT_EQ(8, after.dataBits);
  EXPECT_EQ(Parity::kNone, after.parity);
  EXPECT_FALSE(after.xonXoffInput || after.xonXoffOutput || after.ctsOutputFlow);
}

// Exclusive while open (missing files and files that are no terminal: the faults below fail open and isatty in
// turn); what the analyser sent before a purge is gone, what it sends after is read; a hang-up is a line error.
TEST_F(PtyTest, OpenIsExclusivePurgeDropsOnlyWhatCameBeforeItAndAHangUpIsNoSilentLine) {
  ASSERT_EQ(KV_OK, comm.Open(path));
  std::unique_ptr<SerialPort> second = MakeNativeSerialPort();
  EXPECT_FALSE(second->Open(path));
  ASSERT_EQ(3, ::write(master, "ABC", 3));
  ASSERT_TRUE(port->WaitForInput(std::chrono::milliseconds{500}));
  port->PurgeInput();
  ASSERT_EQ(1, ::write(master, "Z", 1));
  ASSERT_TRUE(port->WaitForInput(std::chrono::milliseconds{500}));
  uint8_t got[4] = {};
  EXPECT_EQ(1, port->ReadQueued(got));
  EXPECT_EQ('Z', got[0]);
  comm.Close();
  int exclusive = -1;  // left set, it would keep every user but root out of the pty for good
  EXPECT_TRUE(::ioctl(slave, TIOCGEXCL, &exclusive) != 0 || exclusive == 0);
  EXPECT_TRUE(second->Open(path));
  second->Close();
  ASSERT_EQ(KV_OK, comm.Open(path));
  ::close(master);
  master = -1;
  PortStatus status;
  EXPECT_TRUE(!port->QueryStatus(status) || status.errors != 0);
}

enum Kind { kOpen, kClose, kIsatty, kFlock, kIoctl, kTcgetattr, kTcsetattr, kFcntl, kRead, kWrite, kPoll };
// Calls of `kind` (ioctls of `request` only, when not 0) from the `nth` on, `times` of them, fail with `error`.
struct Fault { Kind kind; unsigned long request; int nth, times, error, expected; };
Fault fault;
int seen = 0;
bool Fails(Kind kind, unsigned long request = 0) {
  if (kind != fault.kind || (fault.request != 0 && request != fault.request)) return false;
  ++seen;
  return seen >= fault.nth && seen < fault.nth + fault.times && (errno = fault.error, true);
}

void Install(const Fault& f) {
  fault = f, seen = 0;
  posix::SystemCalls& c = Calls();
  c.open = [](auto... a) { return Fails(kOpen) ? -1 : RealSystemCalls().open(a...); };
  c.close = [](int fd) { return RealSystemCalls().close(fd) != 0 || Fails(kClose) ? -1 : 0; };  // Linux frees fd anyway
  c.isatty = [](auto... a) { return Fails(kIsatty) ? 0 : RealSystemCalls().isatty(a...); };
  c.flock = [](auto... a) { return Fails(kFlock) ? -1 : RealSystemCalls().flock(a...); };
  c.ioctl = [](int fd, unsigned long q, void* a) { return Fails(kIoctl, q) ? -1 : RealSystemCalls().ioctl(fd, q, a); };
  c.tcgetattr = [](auto... a) { return Fails(kTcgetattr) ? -1 : RealSystemCalls().tcgetattr(a...); };
  c.tcsetattr = [](auto... a) { return Fails(kTcsetattr) ? -1 : RealSystemCalls().tcsetattr(a...); };
  c.fcntl = [](auto... a) { return Fails(kFcntl) ? -1 : RealSystemCalls().fcntl(a...); };
  c.read = [](auto... a) { return Fails(kRead) ? ssize_t{-1} : RealSystemCalls().read(a...); };
  c.write = [](auto... a) { return Fails(kWrite) ? ssize_t{-1} : RealSystemCalls().write(a...); };
  c.poll = [](auto... a) { return Fails(kPoll) ? -1 : RealSystemCalls().poll(a...); };
}

class SyscallFaultTest : public PtyTest, public ::testing::WithParamInterface<Fault> {
 protected:
  void TearDown() override {
    Calls() = RealSystemCalls();
    comm.Close();
    EXPECT_EQ(baseline, OpenDescriptors()) << "a descriptor left open";
    PtyTest::TearDown();
  }
};

class OpenFaults : public SyscallFaultTest {};
// A failed open leaves the link closed, so the descriptor count of TearDown is taken with the port as
// the failure left it.
TEST_P(OpenFaults, OpenGivesItsCodeAndHoldsNothingOnFailure) {
  Install(GetParam());
  EXPECT_EQ(GetParam().expected, comm.Open(path));
  EXPECT_GE(seen, GetParam().nth) << "the failed call was never made";
}
INSTANTIATE_TEST_SUITE_P(Calls, OpenFaults, ::testing::Values(
    Fault{kOpen, 0, 1, 1, ENOENT, KV_ERR_PORT_OPEN}, Fault{kIsatty, 0, 1, 1, ENOTTY, KV_ERR_PORT_OPEN},
    Fault{kFlock, 0, 1, 1, EWOULDBLOCK, KV_ERR_PORT_OPEN}, Fault{kIoctl, TIOCEXCL, 1, 1, EBUSY, KV_ERR_PORT_OPEN},
    Fault{kIoctl, TIOCEXCL, 1, 1, ENOTTY, KV_OK}, Fault{kIoctl, TIOCMGET, 1, 1, EIO, KV_OK},
    Fault{kIoctl, TIOCMBIS, 1, 1, EPERM, KV_ERR_PORT_OPEN}, Fault{kIoctl, TIOCMBIS, 1, 1, ENOTTY, KV_OK},
    Fault{kIoctl, TIOCMBIS, 2, 1, EPERM, KV_ERR_PORT_OPEN}, Fault{kIoctl, FIONREAD, 1, 9, EIO, KV_OK},
    Fault{kTcgetattr, 0, 1, 1, EIO, KV_OK}, Fault{kTcgetattr, 0, 2, 1, EIO, KV_ERR_PORT_OPEN},
    Fault{kTcgetattr, 0, 3, 1, EIO, KV_ERR_PORT_OPEN}, Fault{kTcsetattr, 0, 1, 1, EIO, KV_OK},
    Fault{kTcsetattr, 0, 2, 1, EINVAL, KV_ERR_PORT_OPEN}, Fault{kFcntl, 0, 1, 1, EBADF, KV_ERR_PORT_OPEN},
    Fault{kFcntl, 0, 2, 1, EBADF, KV_ERR_PORT_OPEN}, Fault{kRead, 0, 1, 1, EIO, KV_OK},
    Fault{kPoll, 0, 1, 2, ENOMEM, KV_OK}));

// After a good open: a receive of three bytes the analyser sent, then a send of one.
class TransferFaults : public SyscallFaultTest {};
TEST_P(TransferFaults, ReceiveAndSendGiveTheirCodes) {
  ASSERT_EQ(KV_OK, comm.Open(path));
  ASSERT_EQ(3, ::write(master, "ABC", 3));
  Install(GetParam());
  uint8_t got[3] = {};
  const int received = comm.CommReceive(got, std::chrono::milliseconds{500});
  const int sent = comm.CommSend(u"Z");
  EXPECT_EQ(GetParam().expected, received != KV_OK ? received : sent);
  if (received == KV_OK) {
    EXPECT_EQ(0, std::memcmp(got, "ABC", 3));
  }
  comm.Close();
}
INSTANTIATE_TEST_SUITE_P(Calls, TransferFaults, ::testing::Values(
    Fault{kRead, 0, 1, 1, EIO, KV_ERR_RECEIVE}, Fault{kRead, 0, 1, 1, EINTR, KV_OK},
    Fault{kRead, 0, 1, 1, EAGAIN, KV_OK}, Fault{kIoctl, FIONREAD, 1, 1, EIO, KV_ERR_RECEIVE},
    Fault{kWrite, 0, 1, 1, EINTR, KV_OK}, Fault{kWrite, 0, 1, 2, EIO, KV_OK},
    Fault{kWrite, 0, 1, 3, EIO, KV_ERR_SEND}, Fault{kIoctl, TIOCOUTQ, 1, 1000, EIO, KV_OK},
    Fault{kClose, 0, 1, 1, EIO, KV_OK}));

}  // namespace
}  // namespace kv::link
