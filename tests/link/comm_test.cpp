// comm_test.cpp: CKVComm over the fake port: opening sequence, exact receive, paced send, closing.
#include "link/comm.h"

#include <gtest/gtest.h>

#include "KorvantaSDK.h"
#include "fake_serial_port.h"

namespace kv::link {
namespace {

using testing::FakeClock;
using testing::FakeSerialPort;
using Call = FakeSerialPort::Call;
using std::chrono::milliseconds;

class CommTest : public ::testing::Test {
 protected:
  FakeClock clock;
  FakeSerialPort port{clock};
  CKVComm comm{port, clock};
};

TEST_F(CommTest, OpenRunsTheSequenceInOrder) {
  ASSERT_EQ(0, comm.Open(u"12"));
  EXPECT_EQ(u"\\\\.\\COM12", port.OpenedPath());
  const std::vector<Call> expected = {Call::kOpen,        Call::kSetQueueSizes, Call::kSetReadsReturnAtOnce,
                                      Call::kReadLineSettings, Call::kWriteLineSettings, Call::kQueryStatus,
                                      Call::kClearBreak,  Call::kReadQueued,    Call::kQueryStatus};
  EXPECT_EQ(expected, port.Calls());
  EXPECT_EQ((std::array<uint32_t, 2>{32000, 32000}), port.QueueSizes());
  EXPECT_TRUE(comm.IsOpen());
}

}  // namespace
}  // namespace kv::link
