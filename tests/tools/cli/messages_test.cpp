// messages_test.cpp: every result code of the library has a line to act on and an exit status.
#include "cli_messages.h"

#include <gtest/gtest.h>

#include "KorvantaSDK.h"
#include "result_codes.h"

namespace kv::cli {
namespace {

TEST(Messages, EveryFailingCodeHasItsNameAdviceAndStatus) {
  const std::string_view fallback = CodeAdvice(-99);
  for (const ResultCodeInfo& info : AllResultCodes()) {
    EXPECT_EQ(info.name, CodeName(info.value));
    if (info.value == KV_OK) continue;
    EXPECT_NE(fallback, CodeAdvice(info.value)) << info.name;
    EXPECT_FALSE(CodeAdvice(info.value).empty()) << info.name;
    EXPECT_NE(ExitStatus::kOk, ExitStatusFor(info.value)) << info.name;
    EXPECT_NE(ExitStatus::kFailure, ExitStatusFor(info.value)) << info.name;
  }
  for (const auto& [code, status] :
       std::initializer_list<std::pair<int32_t, ExitStatus>>{{KV_OK, ExitStatus::kOk},
                                                             {KV_ERR_PORT_OPEN, ExitStatus::kPort},
                                                             {KV_ERR_PORT_QUEUES, ExitStatus::kPort},
                                                             {KV_ERR_NO_HANDSHAKE, ExitStatus::kNoAnswer},
                                                             {KV_ERR_RECEIVE, ExitStatus::kNoAnswer},
                                                             {KV_ERR_ECHO, ExitStatus::kProtocol},
                                                             {KV_ERR_ACK, ExitStatus::kProtocol},
                                                             {KV_ERR_WRONG_KIND, ExitStatus::kWrongFamily},
                                                             {KV_ERR_AGE, ExitStatus::kInvalidTest},
                                                             {KV_ERR_WATER_EQUATION, ExitStatus::kUsage},
                                                             {-2, ExitStatus::kFailure},
                                                             {-99, ExitStatus::kFailure}})
    EXPECT_EQ(status, ExitStatusFor(code)) << code;
}

// "<what> failed: <meaning> (<name>, <code>); <advice>", on one line.
TEST(Messages, FailureLineJoinsMeaningNameCodeAndAdvice) {
  EXPECT_EQ("opening the port failed: " + CodeMeaning(KV_ERR_PORT_OPEN) + " (KV_ERR_PORT_OPEN, -50); " +
                std::string(CodeAdvice(KV_ERR_PORT_OPEN)),
            FailureLine("opening the port", KV_ERR_PORT_OPEN));
  EXPECT_EQ(std::string::npos, FailureLine("opening the port", KV_ERR_PORT_OPEN).find('\n'));
  EXPECT_NE(std::string::npos, FailureLine("reading", -99).find(CodeMeaning(-99) + " (code -99, -99)"));
}

}  // namespace
}  // namespace kv::cli
