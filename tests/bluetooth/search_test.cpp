// search_test.cpp: the inquiry, the found list and the analyser counts, the selection dialogs, and KVSearchBTDevices / KVGetBTKorvantaDevice.
#include "bt_test_support.h"

namespace kv::bt::testing {
namespace {

std::string Inquiry(int timeout) { return "FindFirstDevice(1," + std::to_string(timeout) + ",1111,0)"; }

TEST(Search, ListsDistinctDevicesAndCountsAnalysersByTheirRefreshedName) {
  const Script nameless = [](FakeBtPlatform& p) { p.devices[0].nameless = true; };
  const Script twice = [](FakeBtPlatform& p) { p.devices.push_back(p.devices.front()); };
  // 0 to 63 are phones but 10 (a paired analyser); 64 to 69 are new analysers, counted beyond the list.
  const Script seventy = [](FakeBtPlatform& p) {
    for (int n = 0; n < 70; ++n) p.SimulateDeviceInRange(n == 10 || n >= 64 ? u"Korvanta" : u"Phone", AddressOf(n), n == 10);
  };
  const struct { const char* name; const char* devices; Script extra; int fresh, paired, selected; size_t found; } rows[] = {
      {"named only on refresh", "K1", nameless, 1, 0, 1, 1},  // selected -1: none
      {"paired then new", "K1+ K2", nullptr, 1, 1, 2, 2},
      {"new then paired", "K1 K2+", nullptr, 1, 1, 1, 2},
      {"two paired: the last", "K1+ P2 K3+", nullptr, 0, 2, 3, 3},
      {"given twice: listed once, counted twice", "K1 P2", twice, 2, 0, 1, 2},
      {"no analyser", "P1", nullptr, 0, 0, -1, 1},
      {"seventy devices", "", seventy, 6, 1, 64, 64}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Scene s;
    Devices(s.p, row.devices);
    if (row.extra != nullptr) row.extra(s.p);
    ASSERT_TRUE(CreateStack(s.p, s.held)->SearchDevices(7, true, Parent()));
    EXPECT_EQ(s.held->GetNewDeviceCount(), row.fresh);
    EXPECT_EQ(s.held->GetPairedDeviceCount(), row.paired);
    EXPECT_EQ(s.held->GetSelectedDevice()->address, row.selected < 0 ? 0 : AddressOf(row.selected));
    ASSERT_EQ(s.held->FoundDevices().size(), row.found);
    EXPECT_EQ(s.held->FoundDevices().back().address, s.p.devices[row.found - 1].record.address);
    EXPECT_EQ(s.p.Count("GetDeviceInfo"), s.p.devices.size());
    EXPECT_TRUE(s.p.prompts.empty());
    EXPECT_EQ(s.p.OpenHandles(), 0);
  }
}

TEST(Search, CapsTheInquiryAndStartsFromEmptyLists) {
  Scene s;
  CBluetoothStack& stack = (Devices(s.p, "P1 K2"), s.Searched());
  for (int multiplier : {0, 46}) ASSERT_TRUE(stack.SearchDevices(static_cast<uint16_t>(multiplier), false, nullptr));
  EXPECT_THAT(s.p.Named({"FindFirstDevice"}), ElementsAre(Inquiry(7), Inquiry(0), Inquiry(45)));
  EXPECT_EQ(stack.FoundDevices().size(), 2u);
  s.p.findFailures = {5};
  EXPECT_FALSE(stack.SearchDevices(7, false, nullptr));  // a failure keeps the earlier completion, not its lists
  EXPECT_TRUE(stack.IsSearchDone());
  EXPECT_EQ(stack.GetNewDeviceCount(), 0);
  EXPECT_TRUE(stack.FoundDevices().empty());
  EXPECT_EQ(stack.GetSelectedDevice()->address, 0u);
}

TEST(Search, SearchBTDevicesReportsBothCountsOrMinusOne) {
  int32_t fresh = 9, paired = 9;
  Scene s;
  EXPECT_EQ(SearchBTDevices(s.p, s.held, nullptr, &paired, false, nullptr, 7), 0);
  EXPECT_EQ(SearchBTDevices(s.p, s.held, &fresh, nullptr, false, nullptr, 7), 0);
  EXPECT_EQ(fresh + paired, 18);
  EXPECT_EQ(SearchBTDevices(s.p, s.held, &fresh, &paired, true, nullptr, 7), 0);  // no radio
  EXPECT_EQ(fresh + paired, -2);
  Devices(s.p, "K1+ K2");
  EXPECT_EQ(SearchBTDevices(s.p, s.held, &fresh, &paired, false, nullptr, 1000), 1);
  EXPECT_EQ(fresh * 10 + paired, 11);
  const CBluetoothStack* first = s.held;
  s.p.findFailures = {5};
  EXPECT_EQ(SearchBTDevices(s.p, s.held, &fresh, &paired, false, nullptr, 7), 0);
  EXPECT_EQ(fresh + paired, -2);
  EXPECT_EQ(s.held, first);
  EXPECT_THAT(s.p.Named({"FindFirstDevice"}), ElementsAre(Inquiry(45), Inquiry(7)));
}

TEST(Search, KorvantaDeviceGivesTheSelectedAnalyserAfterASilentSearchIfNeeded) {
  Scene s;
  Buffer name(64), address(32), port(8);
  auto call = [&](int32_t nameCapacity, int32_t addressCapacity = 32) {
    return GetBTKorvantaDevice(s.p, s.held, name.get(), nameCapacity, address.get(), addressCapacity, port.get(), 8,
                               1000);
  };
  EXPECT_EQ(call(64), 0);  // no radio
  Devices(s.p, "P1");
  EXPECT_EQ(call(64), 0);  // no analyser
  s.p.SimulateDeviceInRange(u"Korvanta 8124", 0x0011223344AA).SimulatePortDevice(fake::BluetoothPort(0x0011223344AA, u"5"));
  ASSERT_EQ(IsBTAvailable(s.p, s.held), 1);
  EXPECT_EQ(call(13), 0);  // the name needs 14 units with its terminator: refused before anything is written
  EXPECT_TRUE(name.Untouched() && address.Untouched() && port.Untouched());
  EXPECT_EQ(call(14), 1);
  EXPECT_EQ(name.Text() + u" " + address.Text() + u" " + port.Text(), u"Korvanta 8124 00:11:22:33:44:AA 5");
  s.p.portClasses.clear();
  port = Buffer(8);
  EXPECT_EQ(call(64, 17), 1);  // a port not found and an address that does not fit do not fail the call
  EXPECT_TRUE(port.Untouched());
  EXPECT_EQ(address.units[0], u'\0');
  EXPECT_THAT(s.p.Named({"FindFirstDevice"}), ElementsAre(Inquiry(45), Inquiry(45)));  // once per object
}

TEST(Search, SelectionDialogsAskAsTheirCallerSaysAndKeepTheChoice) {
  Scene s;
  CBluetoothStack& stack = (Devices(s.p, "K1+ K2+ P3+ K4"), s.Searched());
  s.p.selections = {AddressOf(2), std::nullopt, 0, AddressOf(1), std::nullopt};
  EXPECT_TRUE(stack.SelectDevice(true, true, false, Parent(), true));
  EXPECT_EQ(stack.GetSelectedDevice()->address, AddressOf(2));
  EXPECT_FALSE(stack.SelectDevice(true, true, true, Parent(), false));  // cancelled: the selection stays
  EXPECT_TRUE(stack.SelectDevice(false, false, true, nullptr, true));   // nothing chosen: the selection stays
  EXPECT_TRUE(stack.RunAddDeviceWizard(Parent()));                      // the wizard keeps no choice
  EXPECT_FALSE(stack.RunAddDeviceWizard(Parent()));
  EXPECT_EQ(stack.GetSelectedDevice()->address, AddressOf(2));
  EXPECT_THAT(s.p.Named({"SelectDevices"}),
              ElementsAre("SelectDevices(owner,0110011,0)", "SelectDevices(owner,0111010,0)",
                          "SelectDevices(null,0001011,0)", "SelectDevices(owner,1111101,0)",
                          "SelectDevices(owner,1111101,0)"));
  EXPECT_THAT(s.p.offered[0], ElementsAre(AddressOf(1), AddressOf(2)));
  EXPECT_THAT(s.p.offered[1], ElementsAre(AddressOf(1), AddressOf(2), AddressOf(3), AddressOf(4)));
  EXPECT_THAT(s.p.offered[2], ElementsAre(AddressOf(4)));
}

}  // namespace
}  // namespace kv::bt::testing
