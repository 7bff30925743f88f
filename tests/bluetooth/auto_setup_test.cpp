// auto_setup_test.cpp: KVAutoSetupBT's refusals and its wait on the platform's clock, with the analyser it
// leaves for KVGetBTKorvantaDevice. Its prompt flows are rows of data/flows.txt (flows_test.cpp).
#include "bt_test_support.h"

namespace kv::bt::testing {
namespace {

TEST(AutoSetup, RefusesABufferWithoutRoomAndLeavesTheAnalyserForKorvantaDevice) {
  Scene s;
  KVWChar one = u'#';
  EXPECT_EQ(AutoSetupBT(s.p, s.held, nullptr, 8, true, Parent()), 0);
  EXPECT_EQ(AutoSetupBT(s.p, s.held, &one, 0, true, Parent()), 0);
  EXPECT_TRUE(s.p.calls.empty());
  // Pending for 2 s after the pairing, the port listed only then: the flow waits on the platform's clock.
  Devices(s.p, "K1:9").SimulatePendingInstall(2000).AnswerPrompts({kButtonYes});
  s.p.portClasses[0].ports[0].fromLookup = 2;
  Buffer port(8), name(32), address(32), again(8);
  ASSERT_EQ(AutoSetupBT(s.p, s.held, port.get(), 8, true, Parent()), 1);
  EXPECT_EQ(port.units.substr(0, 3), std::u16string(u"9\0#", 3));
  EXPECT_EQ(s.p.now, 2000u);
  EXPECT_EQ(s.p.Count("Sleep"), 0u);
  EXPECT_EQ(GetBTKorvantaDevice(s.p, s.held, name.get(), 32, address.get(), 32, again.get(), 8, 7), 1);
  EXPECT_EQ(name.Text() + again.Text(), u"Korvanta 19");
  EXPECT_EQ(s.p.Count("FindFirstDevice"), 1u);
}

}  // namespace
}  // namespace kv::bt::testing
