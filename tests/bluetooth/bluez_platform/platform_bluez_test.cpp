// The BlueZ platform against a private D-Bus daemon with the mock bluetoothd: radios, searches, the
// device fields, pairing with the PIN, the serial service, removal, ports and error codes.
#include <gtest/gtest.h>

#include "bluetooth/bluez/errors.h"
#include "bluetooth/stack.h"
#include "fake_parts.h"

namespace kv::bt {
namespace {

using testing::Rig;

constexpr uint64_t kAnalyser = 0x0011223344AAull;
constexpr uint64_t kStranger = 0x665544332211ull;
constexpr const char* kAgent = "/org/korvanta/sdk/agent";
const std::string kSerialUuid = " 00001101-0000-1000-8000-00805f9b34fb";

// The devices found; firstError: LastError right after FindFirstDevice.
std::vector<BtDeviceRecord> Search(BtPlatform& platform, uint8_t multiplier, uint32_t* firstError = nullptr) {
  BtDeviceSearch search;
  search.returnAuthenticated = search.returnRemembered = search.returnUnknown = search.returnConnected = true;
  search.issueInquiry = true;
  search.timeoutMultiplier = multiplier;
  std::vector<BtDeviceRecord> found;
  BtDeviceRecord device;
  const BtDeviceFind find = platform.FindFirstDevice(search, device);
  if (firstError != nullptr) *firstError = platform.LastError();
  if (find == BtDeviceFind::kNone) return found;
  do found.push_back(device);
  while (platform.FindNextDevice(find, device));
  platform.FindDeviceClose(find);
  return found;
}

uint32_t Pair(BtPlatform& platform, uint64_t address, std::u16string_view pin) {
  BtDeviceRecord device;
  device.address = address;
  const uint32_t code = platform.AuthenticateDevice(nullptr, BtRadio::kNone, device, pin);
  EXPECT_EQ(device.authenticated, code == kErrorSuccess);
  return code;
}

uint32_t Serial(BtPlatform& platform, uint64_t address, bool enable) {
  BtDeviceRecord device;
  device.address = address;
  return platform.SetServiceState(BtRadio::kNone, device, kSerialPortServiceClass, enable);
}

// Whether the platform's text for code holds part.
bool TextHas(BtPlatform& platform, uint32_t code, std::u16string_view part) {
  std::u16string text;
  return platform.ErrorText(code, text) && text.find(part) != std::u16string::npos;
}

TEST(BluezPlatform, NoBusAndNoBluezAreRpcServerUnavailable) {
  for (const bool withDaemon : {false, true}) {
    SCOPED_TRACE(withDaemon ? "daemon without org.bluez" : "no bus at all");
    Rig rig;
    if (!withDaemon) setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/kv/bus", 1);
    BtPlatform& p = *rig.platform;
    BtRadio radio{};
    EXPECT_EQ(p.FindFirstRadio(radio), BtRadioFind::kNone);
    EXPECT_EQ(p.LastError(), kRpcServerUnavailable);
    EXPECT_TRUE(Search(p, 0).empty());
    EXPECT_EQ(p.LastError(), kRpcServerUnavailable);
    EXPECT_TRUE(TextHas(p, kRpcServerUnavailable, u""));
    EXPECT_EQ(Pair(p, kAnalyser, u"73914"), kRpcServerUnavailable);
    EXPECT_EQ(p.RemoveDevice(kAnalyser), kRpcServerUnavailable);
  }
}

TEST(BluezPlatform, RadiosAreTheAdaptersInPathOrder) {
  for (const char* scenario : {R"({"adapters": []})", R"({"adapters": [{"name": "hci1"}, {"name": "hci0"}]})"}) {
    Rig rig(scenario);
    std::vector<BtRadioInfo> infos;
    BtRadio radio{};
    const BtRadioFind find = rig.platform->FindFirstRadio(radio);
    for (bool more = find != BtRadioFind::kNone; more; more = rig.platform->FindNextRadio(find, radio)) {
      ASSERT_EQ(rig.platform->GetRadioInfo(radio, infos.emplace_back()), kErrorSuccess);
      rig.platform->CloseRadio(radio);
      EXPECT_EQ(rig.platform->GetRadioInfo(radio, infos.back()), kResultInvalidHandle);
    }
    EXPECT_EQ(rig.platform->LastError(), kErrorNoMoreItems);
    if (find != BtRadioFind::kNone) rig.platform->FindRadioClose(find);
    if (infos.empty()) continue;
    ASSERT_EQ(infos.size(), 2u);
    EXPECT_EQ(infos[0].address, 0xAABBCCDDEE01ull);
    EXPECT_EQ(infos[0].name, u"Desk hci0");
    EXPECT_EQ(infos[0].classOfDevice, 0x10010Cu);
    EXPECT_EQ(infos[1].address, 0xAABBCCDDEE02ull);
  }
}

TEST(BluezPlatform, SearchFindsAnalysersThatAppearDuringDiscovery) {
  struct Case {
    uint8_t multiplier;  // of 100 ms
    int foundMs;
    bool found;
  };
  for (const Case c : {Case{1, 20, true}, Case{1, 400, false}, Case{4, 250, true}}) {
    SCOPED_TRACE(::testing::Message() << int{c.multiplier} << " units, found after " << c.foundMs << " ms");
    const std::string scenario = R"({"devices": [{"address": "00:11:22:33:44:01", "paired": true},
        {"address": "00:11:22:33:44:AA", "found_ms": )" + std::to_string(c.foundMs) + "}]}";
    Rig rig(scenario.c_str());
    const std::vector<BtDeviceRecord> found = Search(*rig.platform, c.multiplier);
    ASSERT_EQ(found.size(), c.found ? 2u : 1u);
    EXPECT_EQ(found.back().address, c.found ? kAnalyser : 0x001122334401ull);
    for (const char* call : {"SetDiscoveryFilter hci0 bredr", "StartDiscovery hci0", "StopDiscovery hci0"}) {
      EXPECT_EQ(rig.mock.Count(call), 1u) << call;
    }
  }
}

TEST(BluezPlatform, DeviceFieldsMapAsTheSetupReadsThem) {
  const std::string scenario = R"({"devices": [
      {"address": "00:11:22:33:44:01", "name": "Korvanta paired", "paired": true},
      {"address": "00:11:22:33:44:02", "class": 7940, "trusted": true},
      {"address": "00:11:22:33:44:03", "name": "", "class": 0},
      {"address": "00:11:22:33:44:04", "name": "Caballix \u00e9quin\u00e9"},
      {"address": "0A:1B:2C:3D:4E:5F", "name": ")" + std::string(300, 'k') + R"("}]})";
  Rig rig(scenario.c_str());
  const std::vector<BtDeviceRecord> found = Search(*rig.platform, 0);
  ASSERT_EQ(found.size(), 5u);  // in object path order
  EXPECT_EQ(found[0].address, 0x001122334401ull);
  EXPECT_EQ(found[0].classOfDevice, 0x1F00u);
  EXPECT_TRUE(found[0].authenticated && found[0].remembered);
  EXPECT_EQ(found[0].name, u"Korvanta paired");
  EXPECT_TRUE(!found[1].authenticated && found[1].remembered);
  EXPECT_EQ(found[1].classOfDevice, 7940u);
  EXPECT_EQ(found[2].name, u"");  // no Name: the alias (the address) is not used
  EXPECT_EQ(found[2].classOfDevice, 0u);
  EXPECT_FALSE(found[2].remembered);
  EXPECT_EQ(found[3].name, u"Caballix \u00e9quin\u00e9");
  EXPECT_EQ(found[4].address, 0x0A1B2C3D4E5Full);
  EXPECT_EQ(found[4].name, std::u16string(kMaxDeviceNameUnits, u'k'));
  BtDeviceRecord refreshed;
  refreshed.address = 0x001122334402ull;
  EXPECT_EQ(rig.platform->GetDeviceInfo(BtRadio::kNone, refreshed), kErrorSuccess);
  EXPECT_EQ(refreshed.name, u"Korvanta");
  refreshed.address = kStranger;
  EXPECT_EQ(rig.platform->GetDeviceInfo(BtRadio::kNone, refreshed), bluez::kErrorNotFound);
}

TEST(BluezPlatform, SearchOutcomesOfAdaptersAndDevices) {
  struct Case {
    const char* scenario;
    size_t found;
    uint32_t lastError;
  };
  const Case cases[] = {
      {R"({"adapters": [{"name": "hci0", "powered": false}]})", 0, kResultInvalidHandle},
      {R"({"adapters": [{"name": "hci0", "powered": false}, {"name": "hci1"}],
           "devices": [{"address": "00:11:22:33:44:AA", "adapter": "hci1", "found_ms": 0}]})", 1, kErrorSuccess},
      {R"({})", 0, kErrorNoMoreItems},
      {R"({"adapters": []})", 0, kResultInvalidHandle},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scenario);
    Rig rig(c.scenario);
    uint32_t lastError = 0;
    EXPECT_EQ(Search(*rig.platform, 1, &lastError).size(), c.found);
    EXPECT_EQ(lastError, c.lastError);
    EXPECT_EQ(rig.mock.Count("StopDiscovery hci0"), 0u + (c.lastError == kErrorNoMoreItems));
    EXPECT_TRUE(&c != cases || TextHas(*rig.platform, kResultInvalidHandle, u"org.bluez.Error.NotReady"));
  }
}

TEST(BluezPlatform, PairingAnswersThePinAndAlwaysUnregistersTheAgent) {
  struct Case {
    const char* device;
    std::u16string pin;
    uint32_t expected;
    std::u16string_view error;  // in the error text: how BlueZ said no
  };
  const Case cases[] = {
      {R"("pin": "73914")", u"73914", kErrorSuccess, u""},
      {R"("pin": "73914")", u"11111", kErrorNotAuthenticated, u"AuthenticationFailed"},
      {R"("paired": true)", u"11111", kErrorSuccess, u""},
      {R"("passkey": 73914)", u"73914", kErrorSuccess, u""},
      {R"("passkey": 73914)", u"PIN", kErrorNotAuthenticated, u"AuthenticationRejected"},  // our agent refused
      {R"("passkey": 1000000)", u"1000000", kErrorNotAuthenticated, u"AuthenticationRejected"},
      {R"("silent": true)", u"73914", kRpcServerUnavailable, u"NoReply"},  // no answer in time
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.device);
    const std::string scenario = R"({"devices": [{"address": "00:11:22:33:44:AA", )" + std::string(c.device) + "}]}";
    Rig rig(scenario.c_str());
    EXPECT_EQ(Pair(*rig.platform, kAnalyser, c.pin), c.expected);
    EXPECT_EQ(rig.mock.Count(std::string("RegisterAgent ") + kAgent + " KeyboardDisplay"), 1u);
    EXPECT_EQ(rig.mock.Count(std::string("UnregisterAgent ") + kAgent), 1u);
    EXPECT_EQ(rig.mock.Count("Pair 00:11:22:33:44:AA"), 1u);
    EXPECT_TRUE(c.error.empty() || TextHas(*rig.platform, c.expected, c.error));
  }
}

TEST(BluezPlatform, PairingFindsADroppedDeviceAgain) {
  Rig rig(R"({"devices": [{"address": "00:11:22:33:44:AA", "found_ms": 50}]})");
  EXPECT_EQ(Pair(*rig.platform, kAnalyser, u"73914"), kErrorSuccess);
  EXPECT_EQ(rig.mock.Count("StopDiscovery hci0"), 1u);
  // One that never comes back is "not found", with discovery stopped and no agent registered.
  EXPECT_EQ(Pair(*rig.platform, kStranger, u"73914"), bluez::kErrorNotFound);
  EXPECT_EQ(rig.mock.Count("StartDiscovery hci0"), 2u);
  EXPECT_EQ(rig.mock.Count("StopDiscovery hci0"), 2u);
  EXPECT_EQ(rig.mock.Count("RegisterAgent"), 1u);
  EXPECT_EQ(rig.platform->LoadModule(u"bthprops.cpl"), BtModule::kNone);  // no newer pairing calls here
}

// BlueZ answers ConnectProfile before it hands the link to the profile: the platform waits for it.
TEST(BluezPlatform, SerialServiceHandsTheLinkToTheRfcommLayer) {
  Rig rig(R"({"devices": [{"address": "00:11:22:33:44:AA", "paired": true, "late": true}]})");
  EXPECT_EQ(Serial(*rig.platform, kAnalyser, true), kErrorSuccess);
  EXPECT_EQ(rig.mock.Count("Set Trusted 00:11:22:33:44:AA True"), 1u);
  EXPECT_EQ(rig.parts->firstLines, std::vector<std::string>{"KVMOCK 00:11:22:33:44:AA"});
  ASSERT_EQ(rig.parts->bound.size(), 1u);
  EXPECT_EQ(rig.parts->bound[0].address, kAnalyser);
  EXPECT_EQ(rig.mock.Count("RegisterProfile /org/korvanta/sdk/serial_port" + kSerialUuid + " Role=client"), 1u);
  EXPECT_EQ(rig.mock.Count("ConnectProfile 00:11:22:33:44:AA" + kSerialUuid), 1u);
  EXPECT_EQ(rig.mock.Count("UnregisterProfile /org/korvanta/sdk/serial_port"), 1u);
  // Enabled already: "already in that state", with nothing connected again; then disabled twice.
  EXPECT_EQ(Serial(*rig.platform, kAnalyser, true), kResultInvalidArg);
  EXPECT_EQ(rig.mock.Count("ConnectProfile"), 1u);
  EXPECT_EQ(Serial(*rig.platform, kAnalyser, false), kErrorSuccess);
  EXPECT_EQ(rig.parts->released, std::vector<int32_t>{0});
  EXPECT_EQ(Serial(*rig.platform, kAnalyser, false), kResultInvalidArg);
  EXPECT_EQ(Serial(*rig.platform, kStranger, true), bluez::kErrorNotFound);
}

TEST(BluezPlatform, SerialServiceFailuresUnregisterTheProfile) {
  for (const bool kernelFails : {false, true}) {
    SCOPED_TRACE(kernelFails ? "the kernel refuses the TTY" : "BlueZ refuses the connection");
    Rig rig(kernelFails ? R"({"devices": [{"address": "00:11:22:33:44:AA"}]})"
                        : R"({"devices": [{"address": "00:11:22:33:44:AA", "connect_error": "Host is down"}]})");
    rig.parts->failWithErrno = kernelFails ? EPERM : 0;
    EXPECT_EQ(Serial(*rig.platform, kAnalyser, true), bluez::kErrorGenFailure);
    EXPECT_TRUE(rig.parts->bound.empty());
    EXPECT_EQ(rig.mock.Count("UnregisterProfile /org/korvanta/sdk/serial_port"), 1u);
    EXPECT_TRUE(TextHas(*rig.platform, bluez::kErrorGenFailure, kernelFails ? u"not permitted" : u"Host is down"));
  }
}

TEST(BluezPlatform, RemovalOfPresentAndAbsentDevices) {
  Rig rig(R"({"devices": [{"address": "00:11:22:33:44:AA", "paired": true}]})");
  rig.parts->bound = {{3, kAnalyser, 1, false}, {4, kStranger, 1, false}};
  EXPECT_EQ(rig.platform->RemoveDevice(kAnalyser), kErrorSuccess);
  EXPECT_EQ(rig.mock.Count("RemoveDevice /org/bluez/hci0/dev_00_11_22_33_44_AA"), 1u);
  EXPECT_EQ(rig.parts->released, std::vector<int32_t>{3});
  EXPECT_EQ(rig.platform->RemoveDevice(kAnalyser), bluez::kErrorNotFound);
}

TEST(BluezPlatform, PortsListTheBoundRfcommDevicesAndInstallsFollowTheQueue) {
  Rig rig;
  BtPlatform& p = *rig.platform;
  rig.parts->bound = {{0, 0x0A0B0C0D0E0Full, 1, true}, {4, kAnalyser, 1, false}};
  std::vector<BtGuid> classes;
  EXPECT_FALSE(p.ClassGuidsFromName(u"portz", classes));
  EXPECT_EQ(p.GetPresentDevices(kSerialPortServiceClass), BtPortList::kNone);
  ASSERT_TRUE(p.ClassGuidsFromName(u"Ports", classes));
  ASSERT_EQ(classes.size(), 1u);
  const BtPortList list = p.GetPresentDevices(classes[0]);
  EXPECT_TRUE(p.GetListDetail(list));
  BtPortDevice port;
  ASSERT_TRUE(p.EnumDevice(list, 1, port));
  EXPECT_EQ(port.instance, 4u);
  std::u16string id;
  std::u16string name;
  EXPECT_EQ(p.GetDeviceId(list, port, id), kErrorSuccess);
  EXPECT_EQ(id, u"RFCOMM\\" + AddressKey(kAnalyser) + u"\\4");
  ASSERT_TRUE(p.GetFriendlyName(list, port, name));
  EXPECT_EQ(ComPortFromFriendlyName(name).value_or(u""), std::u16string_view(u"/dev/rfcomm4"));
  EXPECT_FALSE(p.EnumDevice(list, 2, port));
  port.index = 2;
  EXPECT_EQ(p.GetDeviceId(list, port, id), bluez::kErrorNotFound);
  EXPECT_FALSE(p.GetFriendlyName(list, port, name));
  p.DestroyDeviceList(list);
  EXPECT_FALSE(p.GetListDetail(list));
  rig.parts->listUnavailable = true;
  EXPECT_EQ(p.GetPresentDevices(classes[0]), BtPortList::kNone);

  rig.parts->installs = {std::nullopt};
  EXPECT_EQ(p.WaitNoPendingInstallEvents(0), std::nullopt);
  rig.parts->installs = {true, true, false};
  EXPECT_EQ(p.WaitNoPendingInstallEvents(5000), std::optional<uint32_t>(kErrorSuccess));
  EXPECT_TRUE(rig.parts->installs.empty());
  rig.parts->installs = std::deque<std::optional<bool>>(20, true);
  EXPECT_EQ(p.WaitNoPendingInstallEvents(30), std::optional<uint32_t>(kWaitTimeout));
}

// The mappings the platform cases above do not reach.
TEST(BluezErrors, NamesMapToTheCodesTheSetupBranchesOn) {
  using bluez::Step;
  struct Case {
    const char* name;
    Step step;
    uint32_t code;
  };
  const Case cases[] = {
      {"org.freedesktop.DBus.Error.NameHasNoOwner", Step::kGeneral, kRpcServerUnavailable},
      {"org.freedesktop.DBus.Error.NoServer", Step::kGeneral, kRpcServerUnavailable},
      {"org.freedesktop.DBus.Error.FileNotFound", Step::kGeneral, kRpcServerUnavailable},
      {"org.freedesktop.DBus.Error.Disconnected", Step::kDiscovery, kRpcServerUnavailable},
      {"org.bluez.Error.AlreadyExists", Step::kGeneral, bluez::kErrorGenFailure},
      {"org.bluez.Error.AuthenticationCanceled", Step::kPairing, kErrorCancelled},
      {"org.bluez.Error.AuthenticationTimeout", Step::kPairing, kErrorNotAuthenticated},
      {"org.bluez.Error.AuthenticationFailed", Step::kRemoval, bluez::kErrorGenFailure},
      {"org.bluez.Error.DoesNotExist", Step::kGeneral, bluez::kErrorGenFailure},
      {"org.bluez.Error.DoesNotExist", Step::kRemoval, bluez::kErrorNotFound},
  };
  for (const Case& c : cases) EXPECT_EQ(bluez::CodeOf({c.name, "x"}, c.step), c.code) << c.name;
  EXPECT_EQ(bluez::TextOf({"org.bluez.Error.Failed", "Host is down"}), u"Host is down (org.bluez.Error.Failed)");
  EXPECT_EQ(bluez::TextOf({"", ""}), u"Bluetooth error");
  for (const uint32_t code : {kErrorNoMoreItems, kErrorCancelled, kErrorNotAuthenticated, bluez::kErrorTimeout}) {
    EXPECT_FALSE(bluez::DefaultText(code).empty()) << code;
  }
  EXPECT_TRUE(bluez::DefaultText(kErrorSuccess).empty());
}

}  // namespace
}  // namespace kv::bt
