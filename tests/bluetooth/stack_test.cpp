// stack_test.cpp: the error box over the fake platform. Radio detection, the stack description with
// KVGetBTStackInfo and how the stack object is obtained and replaced are step blocks of data/steps.txt.
#include "bt_test_support.h"

namespace kv::bt::testing {
namespace {

TEST(ErrorBox, CutsTheBodyAndShowsNothingWithoutThePlatformsText) {
  FakeBtPlatform p;
  ShowBluetoothErrorBox(p, 5, nullptr, 0x35, std::u16string(2100, u'x'));  // the button it gives is the flows'
  p.noErrorText.insert(1722);
  EXPECT_EQ(ShowBluetoothErrorBox(p, 1722, Parent(), 0x35, u"x"), kButtonCancel);
  // The body holds at most 2047 units: the platform's text, a line break, then the extra text cut short.
  const std::u16string head = fake::ErrorTextFor(5) + u"\n";
  EXPECT_EQ(p.prompts, (std::vector<Prompt>{{false, head + std::u16string(2047 - head.size(), u'x'),
                                             Fill(kMsgErrorCaption, {u"5"}), 0x35}}));
}

}  // namespace
}  // namespace kv::bt::testing
