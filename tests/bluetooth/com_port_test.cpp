// com_port_test.cpp: the port lookup by address key and friendly name over the port classes. The wait for
// pending installations and KVIsDeviceInstallInProgress are step blocks of data/steps.txt.
#include "bt_test_support.h"

namespace kv::bt::testing {
namespace {

const uint64_t kAddress = AddressOf(1);
const std::u16string kId = u"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\\7&1&0&0011223344A1_C0";
fake::FakePort Ours(std::u16string_view port) { return fake::BluetoothPort(kAddress, port); }
using Class = fake::FakePortClass;

TEST(ComPort, IsTheFirstDeviceWithTheKeyAndAPortInItsName) {
  const struct {
    const char* name;
    std::vector<Class> classes;
    const char16_t* port;
    void (*extra)(FakeBtPlatform&) = nullptr;  // sets the scene up further
  } rows[] = {
      {"two digits", {Class{{{kId, u"Link (COM12)"}}}}, u"12"},  // port null: not found
      {"empty number", {Class{{{kId, u"Link (COM)"}}}}, u""},
      {"no bracket", {Class{{{kId, u"Link (COM7"}, {kId + u"&2", u"Link (COM8)"}}}}, u"8"},
      {"lower-case key", {Class{{{u"BT\\0011223344a1_C0", u"(COM4)"}}}}, nullptr},
      {"other address", {Class{{fake::BluetoothPort(kAddress + 1, u"4")}}}, nullptr},
      {"cable port first", {Class{{{u"ACPI\\PNP0501\\1", u"Communications Port (COM1)"}, Ours(u"9")}}}, u"9"},
      {"unreadable id", {Class{{{kId, u"(COM3)", 13}, Ours(u"6")}}}, u"6"},
      {"no friendly name", {Class{{{kId, u"(COM3)", 0, false}}}}, nullptr},
      {"class query fails", {Class{{Ours(u"5")}}}, nullptr, [](FakeBtPlatform& p) { p.classQueryFails = true; }},
      {"no ports class", {}, nullptr},
      {"list fails", {Class{{Ours(u"1")}, true}, Class{{Ours(u"2")}}}, u"2"},
      {"detail fails", {Class{{Ours(u"1")}, false, true}, Class{{Ours(u"2")}}}, u"2"},
      {"first of two", {Class{{Ours(u"5"), Ours(u"6")}}}, u"5"},
      {"a first match too long decides", {Class{{Ours(u"1234567"), Ours(u"6")}}}, nullptr},
      {"sixteen classes asked at most", std::vector<Class>(16), nullptr,
       [](FakeBtPlatform& p) { p.portClasses.push_back(Class{{Ours(u"7")}}); }}};
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
  }
  FakeBtPlatform p;
  CBluetoothStackMicrosoft stack(p.SimulatePortDevice(Ours(u"5")));
  Buffer port(4);
  EXPECT_FALSE(stack.FindComPort(nullptr, port.get(), 4) || stack.FindComPort(&kAddress, nullptr, 4) ||
               stack.FindComPort(&kAddress, port.get(), 0));
  EXPECT_TRUE(port.Untouched() && p.calls.empty());
}

}  // namespace
}  // namespace kv::bt::testing
