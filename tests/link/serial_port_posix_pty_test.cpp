// serial_port_posix_pty_test.cpp: the POSIX backend on a real pseudo-terminal, for what the
// end-to-end test cannot see: the line settings the driver holds, exclusive open and a hang-up. Skipped where no
// pseudo-terminal exists.
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "link/comm.h"

namespace kv::link {
namespace {

class PtyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) GTEST_SKIP() << "no pseudo-terminal: openpty failed";
    path = std::u16string(name, name + std::char_traits<char>::length(name));
    ASSERT_TRUE(port->Open(path));
  }
  void TearDown() override {
    port->Close();
    if (slave >= 0) ::close(slave);
    if (master >= 0) ::close(master);
  }
  int master = -1;
  int slave = -1;  // kept open so the test can read the line settings through it
  std::u16string path;
  std::unique_ptr<SerialPort> port = MakeNativeSerialPort();
};

TEST_F(PtyTest, AnalyserLineSettingsReachTheDriverAndReadBack) {
  LineSettings driver;
  ASSERT_TRUE(port->ReadLineSettings(driver));
  ASSERT_TRUE(port->SetReadsReturnAtOnce());
  ASSERT_TRUE(port->WriteLineSettings(CKVComm::AnalyserLineSettings(driver)));
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

// Missing files and files that are no terminal: syscall_posix_pty_test fails open and isatty in turn.
TEST_F(PtyTest, OpenIsExclusive) {
  std::unique_ptr<SerialPort> second = MakeNativeSerialPort();
  EXPECT_FALSE(second->Open(path));
  port->Close();
  EXPECT_TRUE(second->Open(path));
  second->Close();
}

TEST_F(PtyTest, HangUpIsReportedAsALineErrorNotASilentLine) {
  ::close(master);
  master = -1;
  PortStatus status;
  EXPECT_TRUE(!port->QueryStatus(status) || status.errors != 0);
}

// What the analyser sent before a purge is gone; what it sends after is read.
TEST_F(PtyTest, PurgeDropsOnlyWhatCameBeforeIt) {
  LineSettings driver;
  ASSERT_TRUE(port->ReadLineSettings(driver) && port->WriteLineSettings(CKVComm::AnalyserLineSettings(driver)));
  ASSERT_EQ(3, ::write(master, "ABC", 3));
  ASSERT_TRUE(port->WaitForInput(std::chrono::milliseconds{500}));
  port->PurgeInput();
  ASSERT_EQ(1, ::write(master, "Z", 1));
  ASSERT_TRUE(port->WaitForInput(std::chrono::milliseconds{500}));
  uint8_t got[4] = {};
  EXPECT_EQ(1, port->ReadQueued(got));
  EXPECT_EQ('Z', got[0]);
}

}  // namespace
}  // namespace kv::link
