// bluetooth_prompt_regression_test.cpp: found by fuzzing the guided setup. When the port of a paired
// analyser cannot be found, the Retry/Cancel box of message 69 looked again on every answer but Cancel,
// so a platform or hook answering anything else (OK, Abort, an out-of-range value) kept the host's
// thread in the loop for ever. Only Retry looks again now, as at every other Retry/Cancel box.
#include <gtest/gtest.h>

#include <string>

#include "bluetooth/setup.h"
#include "bluetooth/stack.h"
#include "fake_bt_platform.h"
#include "messages.h"

namespace kv::bt {
namespace {

struct AnswerCase {
  std::string name;
  int32_t button;
};

class PortPromptAnswer : public ::testing::TestWithParam<AnswerCase> {
 protected:
  // One radio, one paired analyser in range and no serial port for it: every lookup fails.
  void SetUp() override { platform.SimulateRadio().SimulateDeviceInRange(u"Korvanta 7", 0x0011223344AAull, true); }
  size_t PortPrompts() const {
    size_t count = 0;
    const std::u16string text(FindMessageText(kMsgPortNotFound));
    for (const fake::Prompt& prompt : platform.Prompts()) count += prompt.text == text;
    return count;
  }
  fake::FakeBtPlatform platform;
  CBluetoothStack* held = nullptr;
  void TearDown() override { delete held; }
};

TEST_P(PortPromptAnswer, AnythingButRetryGivesUpAfterOneBox) {
  // Later boxes, should the flow loop, get Retry: a flow that ignores the first answer shows a second box.
  platform.AnswerPrompts({GetParam().button, kButtonRetry, kButtonRetry, kButtonCancel});
  KVWChar port[8] = {u'x', 0};
  EXPECT_EQ(AutoSetupBT(platform, held, port, 8, true, nullptr), 0);
  EXPECT_EQ(PortPrompts(), 1u);
  EXPECT_EQ(port[0], u'x') << "no port was found, so the buffer keeps what the caller had";
}

INSTANTIATE_TEST_SUITE_P(Buttons, PortPromptAnswer,
                         ::testing::Values(AnswerCase{"Cancel", kButtonCancel}, AnswerCase{"Ok", kButtonOk},
                                           AnswerCase{"Abort", 3}, AnswerCase{"Ignore", 5},
                                           AnswerCase{"Yes", kButtonYes}, AnswerCase{"No", kButtonNo},
                                           AnswerCase{"Negative", -1}, AnswerCase{"Huge", 123456}),
                         [](const ::testing::TestParamInfo<AnswerCase>& c) { return c.param.name; });

TEST_F(PortPromptAnswer, RetryLooksForThePortAgain) {
  platform.AnswerPrompts({kButtonRetry, kButtonRetry, kButtonCancel});
  KVWChar port[8] = {};
  EXPECT_EQ(AutoSetupBT(platform, held, port, 8, true, nullptr), 0);
  EXPECT_EQ(PortPrompts(), 3u);
}

}  // namespace
}  // namespace kv::bt
