// com_port_test.cpp: the port lookup by address key and friendly name, the wait for pending installations
// in its three phases on the fake clock, and KVIsDeviceInstallInProgress. No real time passes.
#include "bt_test_support.h"

namespace kv::bt::testing {
namespace {

const uint64_t kAddress = AddressOf(1);
const std::u16string kId = u"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\\7&1&0&0011223344A1_C0";
fake::FakePort Ours(std::u16string_view port) { return fake::BluetoothPort(kAddress, port); }
fake::FakePortClass Class(std::vector<fake::FakePort> ports, bool listFails = false, bool detailFails = false) {
  return {listFails, detailFails, std::move(ports)};
}

TEST(ComPort, IsTheFirstDeviceWithTheKeyAndAPortInItsName) {
  const struct { const char* name; std::vector<fake::FakePortClass> classes; const char16_t* port; Script extra = nullptr; } rows[] = {
      {"two digits", {Class({{kId, u"Link (COM12)"}})}, u"12"},  // port null: not found
      {"empty number", {Class({{kId, u"Link (COM)"}})}, u""},
      {"no bracket", {Class({{kId, u"Link (COM7"}, {kId + u"&2", u"Link (COM8)"}})}, u"8"},
      {"lower-case key", {Class({{u"BT\\0011223344a1_C0", u"(COM4)"}})}, nullptr},
      {"other address", {Class({fake::BluetoothPort(kAddress + 1, u"4")})}, nullptr},
      {"cable port first", {Class({{u"ACPI\\PNP0501\\1", u"Communications Port (COM1)"}, Ours(u"9")})}, u"9"},
      {"unreadable id", {Class({{kId, u"(COM3)", 13}, Ours(u"6")})}, u"6"},
      {"no friendly name", {Class({{kId, u"(COM3)", 0, false}})}, nullptr},
      {"class query fails", {Class({Ours(u"5")})}, nullptr, [](FakeBtPlatform& p) { p.classQueryFails = true; }},
      {"no ports class", {}, nullptr},
      {"list fails", {Class({Ours(u"1")}, true), Class({Ours(u"2")})}, u"2"},
      {"detail fails", {Class({Ours(u"1")}, false, true), Class({Ours(u"2")})}, u"2"},
      {"first of two", {Class({Ours(u"5"), Ours(u"6")})}, u"5"},
      {"a first match too long decides", {Class({Ours(u"1234567"), Ours(u"6")})}, nullptr},
      {"sixteen classes asked at most", std::vector<fake::FakePortClass>(16), nullptr,
       [](FakeBtPlatform& p) { p.portClasses.push_back(Class({Ours(u"7")})); }}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    FakeBtPlatform p;
    p.portClasses = row.classes;
    if (row.extra != nullptr) row.extra(p);
    CBluetoothStackMicrosoft stack(p);
    Buffer port(8);
    EXPECT_EQ(stack.FindComPort(&kAddress, port.get(), 7), row.port != nullptr);
    EXPECT_EQ(row.port != nullptr ? port.Text() : port.units, row.port != nullptr ? row.port : Buffer(8).units);
    EXPECT_EQ(p.OpenHandles(), 0);
    EXPECT_EQ(p.Count("ClassGuidsFromName"), 1u);
    EXPECT_LE(p.Count("GetFriendlyName"), 2u);  // the lookup ends at the first device that decides
  }
  FakeBtPlatform p;
  CBluetoothStackMicrosoft stack(p.SimulatePortDevice(Ours(u"5")));
  Buffer port(4);
  EXPECT_FALSE(stack.FindComPort(nullptr, port.get(), 4) || stack.FindComPort(&kAddress, nullptr, 4) ||
               stack.FindComPort(&kAddress, port.get(), 0));
  EXPECT_TRUE(port.Untouched() && p.calls.empty());
}

TEST(WaitForComPort, PollsWaitsWhilePendingThenLooksThreeTimes) {
  const struct { const char* name; Script setup; bool found; size_t waits, lookups; uint64_t elapsed; } rows[] = {
      // 20 polls answer at once, the probe of phase 2 finds nothing pending, 3 lookups with 500 ms after each.
      {"nothing pending, no port", [](FakeBtPlatform&) {}, false, 21, 3, 1500},
      {"port on the third lookup", [](FakeBtPlatform& p) { p.SimulatePortDevice(Ours(u"5")).portClasses[0].ports[0].fromLookup = 3; },
       true, 21, 3, 1000},
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
    EXPECT_EQ(waits[row.waits - 1 == 20 ? 20 : 1], "WaitNoPendingInstallEvents(0)");  // the probe of phase 2
    EXPECT_EQ(p.Count("ClassGuidsFromName"), row.lookups);
    EXPECT_EQ(p.now, row.elapsed);
  }
}

TEST(InstallInProgress, IsOneOnlyWhenStillPendingAtTheEnd) {
  const struct { uint64_t pending; uint32_t timeout; bool facility; int32_t result; uint64_t elapsed; } rows[] = {
      {500, 0, true, 1, 0}, {0, 0, true, 0, 0}, {500, 1000, true, 0, 500}, {5000, 1000, true, 1, 1000},
      {500, 0, false, 0, 0}};
  for (const auto& row : rows) {
    FakeBtPlatform p;
    p.SimulatePendingInstall(row.pending).waitFacility = row.facility;
    EXPECT_EQ(IsDeviceInstallInProgress(p, row.timeout), row.result) << row.pending << " ms pending, " << row.timeout;
    EXPECT_EQ(p.now, row.elapsed);
  }
}

}  // namespace
}  // namespace kv::bt::testing
