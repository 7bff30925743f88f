// stack_test.cpp: the error box and the stack description with KVGetBTStackInfo, over the fake platform.
// Radio detection and how the stack object is obtained and replaced are step blocks of data/steps.txt.
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

TEST(StackInfo, DescribesTheFirstRadioWhenReadableCutToTheCapacity) {
  const std::u16string readable = Fill(kMsgStackInfo, {u"Microsoft", u"LAB-PC (15)", u"(4096)"});
  const std::u16string unreadable = Fill(kMsgStackInfo, {u"Microsoft", u"", u""});
  using Row = std::tuple<bool, uint32_t, std::u16string, int32_t>;  // a null radio first, info result, text, capacity
  for (const auto& [nullFirst, infoResult, text, capacity] :
       {Row{false, kErrorSuccess, readable, 200}, Row{false, 31, unreadable, 200},
        Row{true, kErrorSuccess, unreadable, 200}, Row{false, kErrorSuccess, readable.substr(0, 9), 10}}) {
    SCOPED_TRACE(::testing::Message() << nullFirst << " " << infoResult << " " << capacity);
    Scene s;
    if (nullFirst) s.p.radios.emplace_back();
    s.p.SimulateRadio().SimulateRadio(u"SECOND", 2, 1).radioInfoResult = infoResult;
    Buffer info(200);
    EXPECT_EQ(GetBTStackInfo(s.p, s.held, info.get(), capacity), 1);
    EXPECT_EQ(info.units.substr(0, text.size() + 2), text + u'\0' + u'#');
    EXPECT_EQ(s.p.Count("GetRadioInfo"), nullFirst ? 0u : 1u);
    EXPECT_EQ(s.p.OpenHandles(), 0);
  }
  Scene s;
  Buffer info(20);
  EXPECT_EQ(GetBTStackInfo(s.p, s.held, info.get(), 20), 0);  // no radio
  s.p.SimulateRadio();
  EXPECT_EQ(GetBTStackInfo(s.p, s.held, nullptr, 20) + GetBTStackInfo(s.p, s.held, info.get(), 0), 0);
  EXPECT_TRUE(info.Untouched());
  EXPECT_EQ(s.p.Count("FindFirstRadio"), 1u);  // refused before the object is replaced
}

}  // namespace
}  // namespace kv::bt::testing
