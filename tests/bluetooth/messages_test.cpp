// messages_test.cpp: the messages the setup shows are all in the table, and their formatting, the text
// limits and the PIN, over UTF-16 arguments.
#include "bt_test_support.h"

namespace kv::bt::testing {
namespace {

TEST(Messages, TheTableHoldsATextForEveryNumberTheSetupShows) {
  for (uint32_t number : {kMsgSeveralNewDevices, kMsgFoundNewDevice, kMsgExistingPairings, kMsgNoDeviceFound,
                          kMsgPairingPin, kMsgErrorCaption, kMsgNoRadio, kMsgPairingFailed, kMsgServiceFailed,
                          kMsgPortNotFound, kMsgStackInfo, kMsgCaptionFoundNew, kMsgCaptionAuthentication,
                          kMsgCaptionAuthError, kMsgCaptionSearch}) {
    EXPECT_FALSE(FindMessageText(number).empty()) << number;
  }
  EXPECT_EQ(std::size(kMessageTable), 15u);
}

TEST(Messages, FormatTextInsertsArgumentsWithoutReadingThemAsPatterns) {
  EXPECT_EQ(FormatText(Msg(kMsgFoundNewDevice), {u"Korvanta 8124", u"00:11:22:33:44:AA"}),
            Fill(kMsgFoundNewDevice, {u"Korvanta 8124", u"00:11:22:33:44:AA"}));
  EXPECT_EQ(FormatText(Msg(kMsgExistingPairings), {int64_t{2}}), Fill(kMsgExistingPairings, {u"2"}));
  EXPECT_EQ(FormatText(u"(%d)(%d)", {int64_t{-2147024890}, int64_t{1223}}), u"(-2147024890)(1223)");
  EXPECT_EQ(FormatText(u"[%s] [%s]", {u"%s%d", u"\u00e9\u4e2d"}), u"[%s%d] [\u00e9\u4e2d]");
  EXPECT_EQ(FormatText(u"100%% %d%", {int64_t{5}}), u"100% 5%");
  EXPECT_EQ(FormatText(u"%s and %s", {u"one"}), u"one and ");  // a missing argument prints as nothing
  EXPECT_EQ(FormatText(u"%x %s", {u"a"}), u"%x a");
}

TEST(Messages, TextsAreLimitedAndThePinReadAsFifteenUnitsAtMost) {
  EXPECT_EQ(LimitText(u"abcdef", 4), u"abc");
  EXPECT_EQ(LimitText(u"abc", 4), u"abc");
  EXPECT_EQ(LimitText(u"abc", 1), u"");
  EXPECT_EQ(LimitText(u"abc", 0), u"");
  FakeBtPlatform p;
  EXPECT_EQ(ReadPin(p), Msg(kMsgPairingPin));
  EXPECT_EQ(LoadMessage(p, kMsgPairingFailed), Msg(kMsgPairingFailed));
  p.texts = {{kMsgPairingPin, u"12345678901234567890"}, {kMsgNoRadio, u""}};
  EXPECT_EQ(ReadPin(p), u"123456789012345");
  EXPECT_EQ(LoadMessage(p, kMsgNoRadio), u"");
}

}  // namespace
}  // namespace kv::bt::testing
