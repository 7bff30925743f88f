// com_port_test.cpp: the port lookup by address key and friendly name, the wait for pending installations
// and its three phases on the fake clock, and KVIsDeviceInstallInProgress. No real time passes.
#include <gmock/gmock.h>

#include "bt_test_support.h"

namespace kv::bt::testing {
namespace {

using ::testing::ElementsAre;

constexpr uint64_t kAddress = 0x0011223344AAull;

class ComPortTest : public BtTest {
 protected:
  ComPortTest() { platform.SimulateRadio(); }
  bool Lookup(int32_t capacity = 16) {
    return stack.FindComPort(&kAddress, reinterpret_cast<KVWChar*>(buffer.data()), capacity);
  }
  std::u16string Port() const { return TextOf(reinterpret_cast<const KVWChar*>(buffer.data())); }
  bool Untouched() const { return buffer == std::u16string(16, u'#'); }

  CBluetoothStackMicrosoft stack{platform};
  std::u16string buffer = std::u16string(16, u'#');
};

fake::FakePortDevice Port(std::u16string id, std::u16string friendly) {
  fake::FakePortDevice port;
  port.instanceId = std::move(id);
  port.friendlyName = std::move(friendly);
  return port;
}

const std::u16string kIdWithKey = u"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\\7&1&0&0011223344AA_C0";

struct LookupCase {
  const char* name;
  std::function<void(FakeBtPlatform&)> setup;
  std::optional<std::u16string> port;  // nothing: not found, buffer untouched
};

class PortLookup : public ComPortTest, public ::testing::WithParamInterface<LookupCase> {};

TEST_P(PortLookup, FindsTheFirstMatchingDeviceWithAPortInItsName) {
  GetParam().setup(platform);
  EXPECT_EQ(Lookup(), GetParam().port.has_value());
  if (GetParam().port) {
    EXPECT_EQ(Port(), *GetParam().port);
  } else {
    EXPECT_TRUE(Untouched());
  }
  EXPECT_EQ(platform.OpenHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, PortLookup,
    ::testing::Values(
        LookupCase{"TwoDigitPort", [](FakeBtPlatform& p) { p.SimulatePortDevice(Port(kIdWithKey, u"Link (COM12)")); },
                   u"12"},
        LookupCase{"EmptyPortNumberCountsAsFound",
                   [](FakeBtPlatform& p) { p.SimulatePortDevice(Port(kIdWithKey, u"Link (COM)")); }, u""},
        LookupCase{"MissingBracketIsPassedOver",
                   [](FakeBtPlatform& p) {
                     p.SimulatePortDevice(Port(kIdWithKey, u"Link (COM7"));
                     p.SimulatePortDevice(Port(kIdWithKey + u"&2", u"Link (COM8)"));
                   },
                   u"8"},
        LookupCase{"LowerCaseKeyDoesNotMatch",
                   [](FakeBtPlatform& p) {
                     p.SimulatePortDevice(Port(u"BTHENUM\\{x}_LOCALMFG&0002\\7&1&0&0011223344aa_C0", u"Link (COM4)"));
                   },
                   std::nullopt},
        LookupCase{"OtherAddressDoesNotMatch",
                   [](FakeBtPlatform& p) { p.SimulatePortDevice(fake::BluetoothPort(0x0011223344ABull, u"4")); },
                   std::nullopt},
        LookupCase{"CablePortWithoutKeyIsSkipped",
                   [](FakeBtPlatform& p) {
                     p.SimulatePortDevice(Port(u"ACPI\\PNP0501\\1", u"Communications Port (COM1)"));
                     p.SimulatePortDevice(fake::BluetoothPort(kAddress, u"9"));
                   },
                   u"9"},
        LookupCase{"UnreadableIdentifierIsSkipped",
                   [](FakeBtPlatform& p) {
                     fake::FakePortDevice bad = fake::BluetoothPort(kAddress, u"3");
                     bad.idResult = 13;
                     p.SimulatePortDevice(bad);
                     p.SimulatePortDevice(fake::BluetoothPort(kAddress, u"6"));
                   },
                   u"6"},
        LookupCase{"NoFriendlyNameIsSkipped",
                   [](FakeBtPlatform& p) {
                     fake::FakePortDevice bad = fake::BluetoothPort(kAddress, u"3");
                     bad.hasFriendlyName = false;
                     p.SimulatePortDevice(bad);
                   },
                   std::nullopt},
        LookupCase{"ClassQueryFails", [](FakeBtPlatform& p) {
                     p.SimulatePortDevice(fake::BluetoothPort(kAddress, u"5")).SimulateClassQueryFails();
                   }, std::nullopt},
        LookupCase{"NoPortsClass", [](FakeBtPlatform& p) { p.SimulateNoPortsClass(); }, std::nullopt},
        LookupCase{"FailingListOfOneClassSkipsToTheNext",
                   [](FakeBtPlatform& p) {
                     p.SimulateNoPortsClass();
                     p.SimulatePortClass({BtGuid{1, 0, 0, {}}, true, false, {fake::BluetoothPort(kAddress, u"1")}});
                     p.SimulatePortClass({BtGuid{2, 0, 0, {}}, false, false, {fake::BluetoothPort(kAddress, u"2")}});
                   },
                   u"2"},
        LookupCase{"FailingDetailSkipsToTheNextClass",
                   [](FakeBtPlatform& p) {
                     p.SimulateNoPortsClass();
                     p.SimulatePortClass({BtGuid{1, 0, 0, {}}, false, true, {fake::BluetoothPort(kAddress, u"1")}});
                     p.SimulatePortClass({BtGuid{2, 0, 0, {}}, false, false, {fake::BluetoothPort(kAddress, u"2")}});
                   },
                   u"2"}),
    ByName());

TEST_F(ComPortTest, ASecondMatchingDeviceIsNotLookedAt) {
  platform.SimulatePortDevice(fake::BluetoothPort(kAddress, u"5")).SimulatePortDevice(fake::BluetoothPort(kAddress, u"6"));
  EXPECT_TRUE(Lookup());
  EXPECT_EQ(Port(), u"5");
  EXPECT_THAT(platform.CallsNamed({"EnumDevice", "GetDeviceId", "GetFriendlyName", "DestroyDeviceList"}),
              ElementsAre("EnumDevice(0)", "GetDeviceId(0)", "GetFriendlyName(0)", "DestroyDeviceList()"));
}

TEST_F(ComPortTest, AskForThePortsClassByName) {
  Lookup();
  EXPECT_THAT(platform.CallsNamed({"ClassGuidsFromName"}), ElementsAre("ClassGuidsFromName(ports)"));
}

TEST_F(ComPortTest, AFirstMatchThatDoesNotFitIsRefusedAndDecides) {
  platform.SimulatePortDevice(fake::BluetoothPort(kAddress, u"1234")).SimulatePortDevice(fake::BluetoothPort(kAddress, u"5"));
  EXPECT_FALSE(Lookup(4));  // "1234" needs 5 with its terminator
  EXPECT_TRUE(Untouched());
  EXPECT_TRUE(Lookup(5));
  EXPECT_EQ(Port(), u"1234");
}

TEST_F(ComPortTest, MissingAddressOrBufferIsRefusedWithoutLookup) {
  platform.SimulatePortDevice(fake::BluetoothPort(kAddress, u"5"));
  EXPECT_FALSE(stack.FindComPort(nullptr, reinterpret_cast<KVWChar*>(buffer.data()), 16));
  EXPECT_FALSE(stack.FindComPort(&kAddress, nullptr, 16));
  EXPECT_FALSE(stack.FindComPort(&kAddress, reinterpret_cast<KVWChar*>(buffer.data()), 0));
  EXPECT_TRUE(Untouched());
  EXPECT_EQ(platform.CountCalls("ClassGuidsFromName"), 0u);
}

// ---- WaitForComPort ----

struct WaitCase {
  const char* name;
  std::function<void(FakeBtPlatform&)> setup;
  bool found;
  size_t waitCalls;     // calls of the installation wait in phases 1 and 2
  size_t lookups;       // port lookups in phase 3
  uint64_t elapsed;     // fake milliseconds
};

class WaitForPort : public ComPortTest, public ::testing::WithParamInterface<WaitCase> {};

TEST_P(WaitForPort, RunsItsThreePhasesOnThePlatformsClock) {
  GetParam().setup(platform);
  EXPECT_EQ(WaitForComPort(stack, &kAddress), GetParam().found);
  EXPECT_EQ(platform.CountCalls("WaitNoPendingInstallEvents"), GetParam().waitCalls);
  EXPECT_EQ(platform.CountCalls("ClassGuidsFromName"), GetParam().lookups);
  EXPECT_EQ(platform.NowMilliseconds(), GetParam().elapsed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WaitForPort,
    ::testing::Values(
        // 20 polls answer at once, the probe of phase 2 finds nothing pending, 3 lookups with 500 ms after each.
        WaitCase{"NothingPendingNoPort", [](FakeBtPlatform&) {}, false, 21, 3, 1500},
        WaitCase{"NothingPendingPortOnSecondLookup",
                 [](FakeBtPlatform& p) { p.SimulatePortAppearsAfter(1, kAddress, u"5"); }, true, 21, 2, 500},
        // Pending for 3 s: phase 1 waits 500 ms and sees 258; the probe sees 258; phase 2 waits 500 ms
        // four times (1000 to 2500 ms, 258 each) and a fifth call returns when it ends at 3000 ms.
        WaitCase{"PendingThreeSeconds",
                 [](FakeBtPlatform& p) {
                   p.SimulatePendingInstall(3000).SimulatePortDevice(fake::BluetoothPort(kAddress, u"5"));
                 },
                 true, 1 + 1 + 5, 1, 3000},
        // Never finishing: 500 ms in phase 1, then 240 waits of 500 ms, then 3 lookups and sleeps:
        // 500 + 120000 + 1500 = 122000 ms, a little over two minutes.
        WaitCase{"PendingForever", [](FakeBtPlatform& p) { p.SimulatePendingInstall(1000000000); }, false,
                 1 + 1 + 240, 3, 122000},
        // No wait facility: 20 polls without waiting and no phase 2.
        WaitCase{"NoWaitFacility", [](FakeBtPlatform& p) { p.SimulateNoInstallWaitFacility(); }, false, 21, 3, 1500}),
    ByName());

TEST_F(ComPortTest, PhaseTwoIsEnteredOnlyWhenSomethingIsPendingNow) {
  WaitForComPort(stack, &kAddress);
  const std::vector<std::string> waits = platform.CallsNamed({"WaitNoPendingInstallEvents"});
  ASSERT_EQ(waits.size(), 21u);
  EXPECT_EQ(waits[0], "WaitNoPendingInstallEvents(500)");
  EXPECT_EQ(waits[19], "WaitNoPendingInstallEvents(500)");
  EXPECT_EQ(waits[20], "WaitNoPendingInstallEvents(0)");
  EXPECT_THAT(platform.CallsNamed({"Sleep"}), ElementsAre("Sleep(500)", "Sleep(500)", "Sleep(500)"));
}

struct InstallCase {
  const char* name;
  std::function<void(FakeBtPlatform&)> setup;
  uint32_t timeout;
  int32_t expected;
  uint64_t elapsed;
};

class InstallInProgress : public ComPortTest, public ::testing::WithParamInterface<InstallCase> {};

TEST_P(InstallInProgress, IsOneOnlyWhenStillPendingAtTheEnd) {
  GetParam().setup(platform);
  EXPECT_EQ(IsDeviceInstallInProgress(platform, GetParam().timeout), GetParam().expected);
  EXPECT_EQ(platform.NowMilliseconds(), GetParam().elapsed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InstallInProgress,
    ::testing::Values(InstallCase{"PendingNowAtZero", [](FakeBtPlatform& p) { p.SimulatePendingInstall(500); }, 0, 1, 0},
                      InstallCase{"NothingPending", [](FakeBtPlatform&) {}, 0, 0, 0},
                      InstallCase{"EndsWithinTheTimeOut", [](FakeBtPlatform& p) { p.SimulatePendingInstall(500); },
                                  1000, 0, 500},
                      InstallCase{"OutlastsTheTimeOut", [](FakeBtPlatform& p) { p.SimulatePendingInstall(5000); },
                                  1000, 1, 1000},
                      InstallCase{"NoFacility", [](FakeBtPlatform& p) { p.SimulateNoInstallWaitFacility(); }, 0, 0, 0}),
    ByName());

}  // namespace
}  // namespace kv::bt::testing
