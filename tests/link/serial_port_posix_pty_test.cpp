// serial_port_posix_pty_test.cpp: the POSIX backend on a real pseudo-terminal: line settings,
// exclusive open, queue counts, reads that return at once, hang-up; and CKVComm over it with
// the test playing the analyser on the master side. Skipped where no pseudo-terminal exists.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "KorvantaSDK.h"
#include "link/comm.h"
#include "link/exchange.h"
#include "link/serial_port.h"

namespace kv::link {
namespace {

using std::chrono::milliseconds;

std::u16string Utf16(const std::string& text) { return {text.begin(), text.end()}; }

class PtyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) GTEST_SKIP() << "no pseudo-terminal: openpty failed";
    path = name;
    // The master side plays the analyser: keep it raw so nothing echoes back.
    termios t{};
    ::tcgetattr(master, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(master, TCSANOW, &t);
  }
  void TearDown() override {
    if (port) port->Close();
    if (slave >= 0) ::close(slave);
    if (master >= 0) ::close(master);
  }
  void OpenBackend() {
    port = MakeNativeSerialPort();
    ASSERT_TRUE(port->Open(Utf16(path))) << path;
  }
  void MasterWrite(std::vector<uint8_t> bytes) {
    ASSERT_EQ(static_cast<ssize_t>(bytes.size()), ::write(master, bytes.data(), bytes.size()));
  }
  std::vector<uint8_t> MasterRead(size_t count, milliseconds limit = milliseconds{3000}) {
    std::vector<uint8_t> got;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (got.size() < count && std::chrono::steady_clock::now() < end) {
      pollfd p{master, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      uint8_t buffer[64];
      const ssize_t n = ::read(master, buffer, std::min(sizeof buffer, count - got.size()));
      if (n > 0) got.insert(got.end(), buffer, buffer + n);
    }
    return got;
  }
  // Queue counts of a pseudo-terminal settle a moment after the write on the other side.
  uint32_t QueuedInputSettled(uint32_t expected) {
    PortStatus status;
    for (int i = 0; i < 100; ++i) {
      if (!port->QueryStatus(status)) return 0xFFFFFFFF;
      if (status.inputQueued >= expected) break;
      port->WaitForInput(milliseconds{10});
    }
    return status.inputQueued;
  }

  int master = -1;
  int slave = -1;  // opened before the backend, so the test can read the line settings through it
  std::string path;
  std::unique_ptr<SerialPort> port;
};

TEST_F(PtyTest, AnalyserLineSettingsReachTheDriver) {
  OpenBackend();
  LineSettings driver;
  ASSERT_TRUE(port->ReadLineSettings(driver));
  ASSERT_TRUE(port->SetReadsReturnAtOnce());
  ASSERT_TRUE(port->WriteLineSettings(CKVComm::AnalyserLineSettings(driver)));
  termios t{};
  ASSERT_EQ(0, ::tcgetattr(slave, &t));
  EXPECT_EQ(B115200, ::cfgetospeed(&t));
  EXPECT_EQ(B115200, ::cfgetispeed(&t));
  EXPECT_EQ(static_cast<tcflag_t>(CS8), t.c_cflag & CSIZE);
  EXPECT_EQ(0u, t.c_cflag & (PARENB | CSTOPB | CRTSCTS));
  EXPECT_EQ(static_cast<tcflag_t>(CLOCAL | CREAD), t.c_cflag & (CLOCAL | CREAD));
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

TEST_F(PtyTest, OpenIsExclusiveUntilClosed) {
  OpenBackend();
  std::unique_ptr<SerialPort> second = MakeNativeSerialPort();
  EXPECT_FALSE(second->Open(Utf16(path)));
  port->Close();
  EXPECT_TRUE(second->Open(Utf16(path)));
  second->Close();
}

TEST_F(PtyTest, MissingOrNonTerminalFilesDoNotOpen) {
  port = MakeNativeSerialPort();
  EXPECT_FALSE(port->Open(u"/dev/korvanta-no-such-port"));
  EXPECT_FALSE(port->Open(u"/dev/null"));
  EXPECT_FALSE(port->Open(u"\\\\.\\COMCOM7"));
}

TEST_F(PtyTest, QueueCountsAndReadsThatReturnAtOnce) {
  OpenBackend();
  ASSERT_TRUE(port->SetReadsReturnAtOnce());
  std::array<uint8_t, 8> buffer{};
  EXPECT_EQ(0, port->ReadQueued(buffer));  // nothing queued: returns at once with nothing
  MasterWrite({1, 2, 3, 4, 5});
  EXPECT_EQ(5u, QueuedInputSettled(5));
  EXPECT_EQ(3, port->ReadQueued(std::span(buffer).first(3)));
  EXPECT_EQ(2u, QueuedInputSettled(2));
  port->PurgeInput();
  PortStatus status;
  ASSERT_TRUE(port->QueryStatus(status));
  EXPECT_EQ(0u, status.inputQueued);
  EXPECT_EQ(0u, status.errors);
  EXPECT_EQ(1, port->WriteByte(0xA5));
  EXPECT_EQ((std::vector<uint8_t>{0xA5}), MasterRead(1));
}

TEST_F(PtyTest, WaitForInputWakesWhenBytesArrive) {
  OpenBackend();
  EXPECT_FALSE(port->WaitForInput(milliseconds{20}));
  std::thread analyser([this] {
    std::this_thread::sleep_for(milliseconds{30});
    MasterWrite({0x5A});
  });
  const auto start = std::chrono::steady_clock::now();
  bool woke = false;
  while (!woke && std::chrono::steady_clock::now() - start < std::chrono::seconds{5}) woke = port->WaitForInput(milliseconds{1000});
  analyser.join();
  EXPECT_TRUE(woke);
}

TEST_F(PtyTest, HangUpIsReportedAsALineError) {
  OpenBackend();
  ::close(master);
  master = -1;
  PortStatus status;
  // A closed master either fails the query or shows as an error flag; never as a silent line.
  EXPECT_TRUE(!port->QueryStatus(status) || status.errors != 0);
}

// CKVComm over the real backend and clock, the test thread playing the analyser.
class PtyCommTest : public PtyTest {
 protected:
  void SetUp() override {
    PtyTest::SetUp();
    if (IsSkipped()) return;
    port = MakeNativeSerialPort();
    comm = std::make_unique<CKVComm>(*port, NativeClock());
    ASSERT_EQ(0, comm->Open(Utf16(path)));
  }
  void TearDown() override {
    comm.reset();
    PtyTest::TearDown();
  }
  std::unique_ptr<CKVComm> comm;
};

TEST_F(PtyCommTest, ConnectAndOneExchangeEndToEnd) {
  std::thread analyser([this] {
    MasterWrite({0x13, 0x37, 0xA5});
    if (MasterRead(1) != std::vector<uint8_t>{0xA5}) return;
    MasterWrite({0xA5});  // a repeat within the settling pause, to be dropped
    if (MasterRead(2) != std::vector<uint8_t>{0x5A, 0x23}) return;
    MasterWrite({0x5A, 0x23, 0x00, 0x30, 0x39, 0x5A, 0x00});
  });
  EXPECT_EQ(0, Connect(*comm));
  std::array<uint8_t, 3> payload{};
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(0, ReadExchange(*comm, kCmdSerialNumber, payload));
  const auto took = std::chrono::steady_clock::now() - start;
  analyser.join();
  EXPECT_EQ((std::array<uint8_t, 3>{0x00, 0x30, 0x39}), payload);
  EXPECT_GE(took, milliseconds{400});  // two bytes, each paced by 200 ms
}

TEST_F(PtyCommTest, SilenceGivesReceiveFailureWithinTheLimit) {
  MasterWrite({0x5A});
  std::array<uint8_t, 2> reply{};
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(KV_ERR_RECEIVE, comm->CommReceive(reply, milliseconds{300}));
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, milliseconds{300});
  EXPECT_LT(took, milliseconds{3000});
}

TEST_F(PtyCommTest, HangUpDuringAReceiveFailsItBeforeTheLimit) {
  std::thread analyser([this] {
    std::this_thread::sleep_for(milliseconds{50});
    ::close(master);
    master = -1;
  });
  std::array<uint8_t, 2> reply{};
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(KV_ERR_RECEIVE, comm->CommReceive(reply, std::chrono::seconds{20}));
  analyser.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds{5});
}

}  // namespace
}  // namespace kv::link
