// messages_test.cpp: every result code of the library has a line to act on and an exit status.
#include "messages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "KorvantaSDK.h"
#include "result_codes.h"

namespace kv::cli {
namespace {

using ::testing::HasSubstr;

TEST(Messages, EveryFailingCodeHasAdviceAndItsOwnStatus) {
  for (const ResultCodeInfo& info : AllResultCodes()) {
    if (info.value == KV_OK) continue;
    EXPECT_NE("report this code to the analyser's supplier", CodeAdvice(info.value)) << info.name;
    EXPECT_FALSE(CodeAdvice(info.value).empty()) << info.name;
    EXPECT_NE(ExitStatus::kOk, ExitStatusFor(info.value)) << info.name;
    EXPECT_NE(ExitStatus::kFailure, ExitStatusFor(info.value)) << info.name;
    EXPECT_EQ(info.name, CodeName(info.value));
  }
  EXPECT_EQ(ExitStatus::kOk, ExitStatusFor(KV_OK));
}

struct StatusCase {
  int32_t code;
  ExitStatus status;
};

class ExitStatuses : public ::testing::TestWithParam<StatusCase> {};

TEST_P(ExitStatuses, ByKindOfFailure) { EXPECT_EQ(GetParam().status, ExitStatusFor(GetParam().code)); }

INSTANTIATE_TEST_SUITE_P(Codes, ExitStatuses,
                         ::testing::Values(StatusCase{KV_ERR_PORT_OPEN, ExitStatus::kPort},
                                           StatusCase{KV_ERR_PORT_QUEUES, ExitStatus::kPort},
                                           StatusCase{KV_ERR_NO_HANDSHAKE, ExitStatus::kNoAnswer},
                                           StatusCase{KV_ERR_RECEIVE, ExitStatus::kNoAnswer},
                                           StatusCase{KV_ERR_ECHO, ExitStatus::kProtocol},
                                           StatusCase{KV_ERR_ACK, ExitStatus::kProtocol},
                                           StatusCase{KV_ERR_WRONG_KIND, ExitStatus::kWrongFamily},
                                           StatusCase{KV_ERR_AGE, ExitStatus::kInvalidTest},
                                           StatusCase{KV_ERR_WATER_EQUATION, ExitStatus::kUsage},
                                           StatusCase{-2, ExitStatus::kFailure},
                                           StatusCase{-99, ExitStatus::kFailure}));

TEST(FailureLine, OneLineWithMeaningNameCodeAndAdvice) {
  const std::string line = FailureLine("opening the port", KV_ERR_PORT_OPEN);
  EXPECT_EQ(0u, line.find("opening the port failed: the COM port cannot be opened"));
  EXPECT_THAT(line, HasSubstr("(KV_ERR_PORT_OPEN, -50); check the port name"));
  EXPECT_EQ(std::string::npos, line.find('\n'));
  const std::string unknown = FailureLine("reading", -99);
  EXPECT_THAT(unknown, HasSubstr("not a result code of the library (code -99, -99)"));
}

}  // namespace
}  // namespace kv::cli
