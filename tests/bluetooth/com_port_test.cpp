// com_port_test.cpp: the port lookup by address key and friendly name, the wait for pending installations
// in its three phases on the fake clock, and KVIsDeviceInstallInProgress. No real time passes.
#include "bt_test_support.h"

namespace kv::bt::testing {
namespace {

constexpr uint64_t kAddress = 0x0011223344AA;

fake::FakePort Port(std::u16string id, std::u16string friendly) { return {std::move(id), std::move(friendly)}; }
fake::FakePort Ours(std::u16string_view port) { return fake::BluetoothPort(kAddress, port); }
const std::u16string kId = u"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\\7&1&0&0011223344AA_C0";

TEST(ComPort, IsTheFirstDeviceWithTheKeyAndAPortInItsName) {
  const struct { const char* name; Script setup; const char16_t* port; } rows[] = {  // port null: not found
      {"two digits", [](FakeBtPlatform& p) { p.SimulatePortDevice(Port(kId, u"Link (COM12)")); }, u"12"},
      {"empty number", [](FakeBtPlatform& p) { p.SimulatePortDevice(Port(kId, u"Link (COM)")); }, u""},
      {"no bracket", [](FakeBtPlatform& p) {
         p.SimulatePortDevice(Port(kId, u"Link (COM7")).SimulatePortDevice(Port(kId + u"&2", u"Link (COM8)"));
       }, u"8"},
      {"lower-case key", [](FakeBtPlatform& p) { p.SimulatePortDevice(Port(u"BT\\0011223344aa_C0", u"(COM4)")); }, nullptr},
      {"other address", [](FakeBtPlatform& p) { p.SimulatePortDevice(fake::BluetoothPort(kAddress + 1, u"4")); }, nullptr},
      {"cable port first", [](FakeBtPlatform& p) {
         p.SimulatePortDevice(Port(u"ACPI\\PNP0501\\1", u"Communications Port (COM1)")).SimulatePortDevice(Ours(u"9"));
       }, u"9"},
      {"unreadable id", [](FakeBtPlatform& p) {
         p.SimulatePortDevice(Ours(u"3")).SimulatePortDevice(Ours(u"6")).portClasses[0].ports[0].idResult = 13;
       }, u"6"},
      {"no friendly name", [](FakeBtPlatform& p) { p.SimulatePortDevice(Ours(u"3")).portClasses[0].ports[0].hasFriendlyName = false; },
       nullptr},
      {"class query fails", [](FakeBtPlatform& p) { p.SimulatePortDevice(Ours(u"5")).classQueryFails = true; }, nullptr},
      {"no ports class", [](FakeBtPlatform& p) { p.portClasses.clear(); }, nullptr},
      {"list fails", [](FakeBtPlatform& p) {
         p.portClasses = {{true, false, {Ours(u"1")}}, {false, false, {Ours(u"2")}}};
       }, u"2"},
      {"detail fails", [](FakeBtPlatform& p) {
         p.portClasses = {{false, true, {Ours(u"1")}}, {false, false, {Ours(u"2")}}};
       }, u"2"},
      {"first of two", [](FakeBtPlatform& p) { p.SimulatePortDevice(Ours(u"5")).SimulatePortDevice(Ours(u"6")); }, u"5"},
      {"a first match too long decides", [](FakeBtPlatform& p) {
         p.SimulatePortDevice(Ours(u"1234567")).SimulatePortDevice(Ours(u"6"));
       }, nullptr},
      {"sixteen classes asked at most", [](FakeBtPlatform& p) {
         p.portClasses.resize(17);
         p.SimulatePortDevice(Ours(u"7"), 16);
       }, nullptr}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    FakeBtPlatform p;
    row.setup(p);
    CBluetoothStackMicrosoft stack(p);
    Buffer port(8);
    EXPECT_EQ(stack.FindComPort(&kAddress, port.get(), 7), row.port != nullptr);
    EXPECT_EQ(row.port != nullptr ? port.Text() : port.units, row.port != nullptr ? row.port : Buffer(port.units.size()).units);
    EXPECT_EQ(p.OpenHandles(), 0);
    EXPECT_EQ(p.Named({"ClassGuidsFromName"}), std::vector<std::string>{"ClassGuidsFromName(ports)"});
    EXPECT_LE(p.Count("GetFriendlyName"), 2u);  // the lookup ends at the first device that decides
  }
}

TEST(ComPort, IsRefusedWithoutAddressOrBuffer) {
  FakeBtPlatform p;
  p.SimulatePortDevice(Ours(u"5"));
  CBluetoothStackMicrosoft stack(p);
  Buffer port(4);
  EXPECT_FALSE(stack.FindComPort(nullptr, port.get(), 4));
  EXPECT_FALSE(stack.FindComPort(&kAddress, nullptr, 4));
  EXPECT_FALSE(stack.FindComPort(&kAddress, port.get(), 0));
  EXPECT_TRUE(port.Untouched());
  EXPECT_TRUE(p.calls.empty());
}

TEST(WaitForComPort, PollsWaitsWhilePendingThenLooksThreeTimes) {
  const struct { const char* name; Script setup; bool found; size_t waits, lookups; uint64_t elapsed; } rows[] = {
      // 20 polls answer at once, the probe of phase 2 finds nothing pending, 3 lookups with 500 ms after each.
      {"nothing pending, no port", [](FakeBtPlatform&) {}, false, 21, 3, 1500},
      {"port on the second lookup", [](FakeBtPlatform& p) {
         p.SimulatePortDevice(Ours(u"5")).portClasses[0].ports[0].fromLookup = 2;
       }, true, 21, 2, 500},
      // Pending 3 s: one poll of 500 ms sees it, the probe too, then waits of 500 ms until it ends at 3000 ms.
      {"pending three seconds", [](FakeBtPlatform& p) { p.SimulatePendingInstall(3000).SimulatePortDevice(Ours(u"5")); },
       true, 1 + 1 + 5, 1, 3000},
      // Never ending: 500 ms in phase 1, 240 waits of 500 ms, 3 lookups and sleeps: 122000 ms in all.
      {"pending for ever", [](FakeBtPlatform& p) { p.SimulatePendingInstall(1u << 30); }, false, 1 + 1 + 240, 3, 122000},
      {"no wait facility", [](FakeBtPlatform& p) { p.waitFacility = false; }, false, 21, 3, 1500}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    FakeBtPlatform p;
    row.setup(p);
    CBluetoothStackMicrosoft stack(p);
    EXPECT_EQ(WaitForComPort(stack, &kAddress), row.found);
    const std::vector<std::string> waits = p.Named({"WaitNoPendingInstallEvents"});
    ASSERT_EQ(waits.size(), row.waits);
    EXPECT_EQ(std::count(waits.begin(), waits.end(), "WaitNoPendingInstallEvents(0)"), 1);
    EXPECT_EQ(waits[row.waits - 1 == 20 ? 20 : 1], "WaitNoPendingInstallEvents(0)");
    EXPECT_EQ(p.Count("ClassGuidsFromName"), row.lookups);
    EXPECT_EQ(p.Count("Sleep"), row.found ? row.lookups - 1 : 3);
    EXPECT_EQ(p.now, row.elapsed);
  }
}

TEST(InstallInProgress, IsOneOnlyWhenStillPendingAtTheEnd) {
  const struct { uint64_t pending; uint32_t timeout; bool facility; int32_t result; uint64_t elapsed; } rows[] = {
      {500, 0, true, 1, 0}, {0, 0, true, 0, 0}, {500, 1000, true, 0, 500}, {5000, 1000, true, 1, 1000},
      {500, 0, false, 0, 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.pending << " ms pending, " << row.timeout << " ms");
    FakeBtPlatform p;
    p.SimulatePendingInstall(row.pending).waitFacility = row.facility;
    EXPECT_EQ(IsDeviceInstallInProgress(p, row.timeout), row.result);
    EXPECT_EQ(p.now, row.elapsed);
  }
}

}  // namespace
}  // namespace kv::bt::testing
