// stack_test.cpp: radio detection, the three ways of obtaining the stack object, the stack description,
// the error box, and the two exports built on them, over the fake platform.
#include <gmock/gmock.h>

#include "bt_test_support.h"

namespace kv::bt::testing {
namespace {

using ::testing::ElementsAre;

class StackTest : public BtTest {};

struct RadioCase {
  const char* name;
  int radios;
  int nullHandles;
  int32_t expected;
};

class RadioCount : public BtTest, public ::testing::WithParamInterface<RadioCase> {};

TEST_P(RadioCount, CountsRadiosWithAHandleAndClosesEveryOne) {
  for (int i = 0; i < GetParam().radios; ++i) platform.SimulateRadio();
  for (int i = 0; i < GetParam().nullHandles; ++i) platform.SimulateRadioWithNullHandle();
  CBluetoothStackMicrosoft stack(platform);
  EXPECT_EQ(stack.GetRadioCount(), GetParam().expected);
  EXPECT_EQ(platform.OpenHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(Radios, RadioCount,
                         ::testing::Values(RadioCase{"None", 0, 0, 0}, RadioCase{"One", 1, 0, 1},
                                           RadioCase{"TwoOneWithNullHandle", 1, 1, 1},
                                           RadioCase{"Three", 3, 0, 3}, RadioCase{"OnlyNullHandles", 0, 2, 0}),
                         ByName());

TEST_F(StackTest, NewObjectReportsNoSearch) {
  platform.SimulateRadio();
  CBluetoothStackMicrosoft stack(platform);
  EXPECT_EQ(stack.GetNewDeviceCount(), -1);
  EXPECT_EQ(stack.GetPairedDeviceCount(), -1);
  EXPECT_EQ(stack.GetSelectedDevice(), nullptr);
  EXPECT_FALSE(stack.IsSearchDone());
  EXPECT_TRUE(stack.FoundDevices().empty());
  EXPECT_FALSE(stack.HasVendorExtensions());
}

TEST_F(StackTest, CreateStackWithoutRadioHoldsNull) {
  EXPECT_EQ(CreateStack(platform, held), nullptr);
  EXPECT_EQ(held, nullptr);
  EXPECT_TRUE(platform.Prompts().empty());
}

TEST_F(StackTest, CreateStackReplacesTheObjectAndLosesItsSearch) {
  platform.SimulateRadio().SimulateDeviceInRange(u"Korvanta 1", AddressOf(1));
  SearchedStack();
  ASSERT_EQ(held->GetNewDeviceCount(), 1);
  CBluetoothStack* replaced = CreateStack(platform, held);
  ASSERT_NE(replaced, nullptr);
  EXPECT_EQ(replaced->GetNewDeviceCount(), -1);
  EXPECT_TRUE(replaced->FoundDevices().empty());
}

TEST_F(StackTest, GetStackKeepsTheObjectWithItsSearch) {
  platform.SimulateRadio().SimulateDeviceInRange(u"Korvanta 1", AddressOf(1));
  CBluetoothStack& searched = SearchedStack();
  const size_t radioLookups = platform.CountCalls("FindFirstRadio");
  EXPECT_EQ(GetStack(platform, held), &searched);
  EXPECT_EQ(held->GetNewDeviceCount(), 1);
  EXPECT_EQ(platform.CountCalls("FindFirstRadio"), radioLookups);  // no new radio check
}

TEST_F(StackTest, GetStackBuildsOneWhenNoneIsHeld) {
  EXPECT_EQ(GetStack(platform, held), nullptr);
  platform.SimulateRadio();
  CBluetoothStack* built = GetStack(platform, held);
  EXPECT_NE(built, nullptr);
  EXPECT_EQ(held, built);
}

TEST_F(StackTest, RetryWithoutRadioShowsTheNoRadioBoxUntilCancel) {
  platform.AnswerPrompts({kButtonRetry, kButtonCancel});
  EXPECT_EQ(CreateStackWithRetry(platform, held, true, Parent()), nullptr);
  const SeenPrompt noRadio = ErrorPrompt(platform, 20, kMsgNoRadio, 0x35);
  EXPECT_THAT(PromptsOf(platform), ElementsAre(noRadio, noRadio));
  EXPECT_EQ(platform.Prompts()[0].owner, Parent());
  EXPECT_EQ(platform.CountCalls("FindFirstRadio"), 2u);
}

TEST_F(StackTest, RetryFindsARadioThatAppearsLater) {
  platform.SimulateRadio().SimulateRadiosAppearAtLookup(2).AnswerPrompts({kButtonRetry});
  EXPECT_NE(CreateStackWithRetry(platform, held, true, Parent()), nullptr);
  EXPECT_EQ(platform.Prompts().size(), 1u);
}

TEST_F(StackTest, RetryNonInteractiveGivesUpWithoutPrompt) {
  EXPECT_EQ(CreateStackWithRetry(platform, held, false, Parent()), nullptr);
  EXPECT_TRUE(platform.Prompts().empty());
}

TEST_F(StackTest, NoRadioBoxThatCannotBeShownCountsAsCancel) {
  platform.AnswerPrompts({kButtonNone});
  EXPECT_EQ(CreateStackWithRetry(platform, held, true, Parent()), nullptr);
  EXPECT_EQ(platform.Prompts().size(), 1u);
}

TEST_F(StackTest, ErrorBoxCaptionShowsAnHresultSigned) {
  platform.AnswerPrompts({kButtonOk});
  EXPECT_EQ(ShowBluetoothErrorBox(platform, 0x80070006u, Parent(), 0x30, std::nullopt), kButtonOk);
  ASSERT_EQ(platform.Prompts().size(), 1u);
  EXPECT_EQ(platform.Prompts()[0].caption, u"Bluetooth Device Error (Code: -2147024890)");
  EXPECT_EQ(platform.Prompts()[0].text, platform.ErrorTextFor(0x80070006u));  // no extra: platform text alone
}

TEST_F(StackTest, ErrorBoxWithExtraTextAddsOneLineBreak) {
  platform.SetErrorText(5, u"Access is denied.");
  ShowBluetoothErrorBox(platform, 5, Parent(), 0x35, u"Extra line");
  ASSERT_EQ(platform.Prompts().size(), 1u);
  EXPECT_EQ(platform.Prompts()[0].text, u"Access is denied.\nExtra line");
  EXPECT_EQ(platform.Prompts()[0].style, 0x35u);
}

TEST_F(StackTest, ErrorBoxWithoutPlatformTextShowsNothingAndAnswersCancel) {
  platform.SimulateNoErrorText(1722).AnswerPrompts({kButtonRetry});
  EXPECT_EQ(ShowBluetoothErrorBox(platform, 1722, Parent(), 0x35, u"x"), kButtonCancel);
  EXPECT_TRUE(platform.Prompts().empty());
}

TEST_F(StackTest, ErrorBoxBodyHoldsAtMost2047Characters) {
  platform.SetErrorText(5, std::u16string(2000, u'e'));
  ShowBluetoothErrorBox(platform, 5, Parent(), 0x35, std::u16string(100, u'x'));
  ASSERT_EQ(platform.Prompts().size(), 1u);
  // 2000 + 1 + 100 = 2101 units, cut to the 2047 that fit with a terminator.
  EXPECT_EQ(platform.Prompts()[0].text, std::u16string(2000, u'e') + u"\n" + std::u16string(46, u'x'));
}

TEST_F(StackTest, StackInfoDescribesTheFirstRadio) {
  platform.SimulateRadio(u"LAB-PC", 15, 4096).SimulateRadio(u"SECOND", 2, 1);
  CBluetoothStackMicrosoft stack(platform);
  std::u16string buffer(200, u'#');
  EXPECT_TRUE(stack.GetStackInfo(reinterpret_cast<KVWChar*>(buffer.data()), 200));
  EXPECT_EQ(TextOf(reinterpret_cast<KVWChar*>(buffer.data())),
            u"Bluetooth API: Microsoft\nHardware Info: LAB-PC (15)\nSoftware Info: (4096)");
  EXPECT_EQ(platform.CountCalls("GetRadioInfo"), 1u);
  EXPECT_EQ(platform.OpenHandles(), 0);
}

TEST_F(StackTest, StackInfoWithUnreadableRadioLeavesBothTextsEmpty) {
  platform.SimulateRadio().SimulateRadioInfoFails(31);
  CBluetoothStackMicrosoft stack(platform);
  std::u16string buffer(200, u'#');
  EXPECT_TRUE(stack.GetStackInfo(reinterpret_cast<KVWChar*>(buffer.data()), 200));
  EXPECT_EQ(TextOf(reinterpret_cast<KVWChar*>(buffer.data())),
            u"Bluetooth API: Microsoft\nHardware Info: \nSoftware Info: ");
}

TEST_F(StackTest, StackInfoIsCutToTheCapacityAndTerminated) {
  platform.SimulateRadio();
  CBluetoothStackMicrosoft stack(platform);
  std::u16string buffer(20, u'#');
  EXPECT_TRUE(stack.GetStackInfo(reinterpret_cast<KVWChar*>(buffer.data()), 10));
  EXPECT_EQ(buffer.substr(0, 10), std::u16string(u"Bluetooth\0", 10));
  EXPECT_EQ(buffer.substr(10), std::u16string(10, u'#'));
}

TEST_F(StackTest, IsBTAvailableWithoutRadioLeavesNoObject) {
  EXPECT_EQ(IsBTAvailable(platform, held), 0);
  EXPECT_EQ(held, nullptr);
}

TEST_F(StackTest, IsBTAvailableReplacesASearchedObject) {
  platform.SimulateRadio().SimulateDeviceInRange(u"Korvanta 1", AddressOf(1));
  SearchedStack();
  EXPECT_EQ(IsBTAvailable(platform, held), 1);
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(held->GetNewDeviceCount(), -1);
  EXPECT_TRUE(held->FoundDevices().empty());
}

TEST_F(StackTest, GetBTStackInfoWithoutRadioLeavesTheBufferUntouched) {
  std::u16string buffer(50, u'#');
  EXPECT_EQ(GetBTStackInfo(platform, held, reinterpret_cast<KVWChar*>(buffer.data()), 50), 0);
  EXPECT_EQ(buffer, std::u16string(50, u'#'));
}

TEST_F(StackTest, GetBTStackInfoWritesTheDescription) {
  platform.SimulateRadio(u"LAB-PC", 15, 4096);
  std::u16string buffer(100, u'#');
  EXPECT_EQ(GetBTStackInfo(platform, held, reinterpret_cast<KVWChar*>(buffer.data()), 100), 1);
  EXPECT_EQ(TextOf(reinterpret_cast<KVWChar*>(buffer.data())),
            u"Bluetooth API: Microsoft\nHardware Info: LAB-PC (15)\nSoftware Info: (4096)");
}

TEST_F(StackTest, GetBTStackInfoRefusesABufferWithoutRoom) {
  platform.SimulateRadio();
  KVWChar one = u'#';
  EXPECT_EQ(GetBTStackInfo(platform, held, nullptr, 100), 0);
  EXPECT_EQ(GetBTStackInfo(platform, held, &one, 0), 0);
  EXPECT_EQ(one, u'#');
  EXPECT_EQ(platform.CountCalls("FindFirstRadio"), 0u);
}

}  // namespace
}  // namespace kv::bt::testing
