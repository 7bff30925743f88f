// The BlueZ platform against a private D-Bus daemon with the mock bluetoothd: radios, searches, the
// device fields, pairing with the PIN, the serial service, removal, ports and error codes.
#include <gtest/gtest.h>

#include "bluetooth/bluez/errors.h"
#include "bluetooth/stack.h"
#include "fake_parts.h"
#include "mock_bluez.h"

namespace kv::bt {
namespace {

using testing::FakedPlatform;
using testing::MockBluez;

constexpr uint64_t kAnalyser = 0x0011223344AAull;
constexpr const char* kAgent = "/org/korvanta/sdk/agent";

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

std::u16string ErrorText(BtPlatform& platform, uint32_t code) {
  std::u16string text;
  EXPECT_TRUE(platform.ErrorText(code, text));
  return text;
}

TEST(BluezPlatform, NoBusAndNoBluezAreRpcServerUnavailable) {
  for (const bool withDaemon : {false, true}) {
    SCOPED_TRACE(withDaemon ? "daemon without org.bluez" : "no bus at all");
    const MockBluez mock(nullptr);
    if (!withDaemon) setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/kv/bus", 1);
    FakedPlatform faked;
    BtRadio radio{};
    EXPECT_EQ(faked.platform->FindFirstRadio(radio), BtRadioFind::kNone);
    EXPECT_EQ(faked.platform->LastError(), kRpcServerUnavailable);
    EXPECT_TRUE(Search(*faked.platform, 0).empty());
    EXPECT_EQ(faked.platform->LastError(), kRpcServerUnavailable);
    EXPECT_FALSE(ErrorText(*faked.platform, kRpcServerUnavailable).empty());
    EXPECT_EQ(Pair(*faked.platform, kAnalyser, u"73914"), kRpcServerUnavailable);
    EXPECT_EQ(faked.platform->RemoveDevice(kAnalyser), kRpcServerUnavailable);
  }
}

TEST(BluezPlatform, RadiosAreTheAdaptersInPathOrder) {
  {
    const MockBluez none(R"({"adapters": []})");
    FakedPlatform faked;
    BtRadio radio{};
    EXPECT_EQ(faked.platform->FindFirstRadio(radio), BtRadioFind::kNone);
    EXPECT_EQ(faked.platform->LastError(), kErrorNoMoreItems);
  }
  const MockBluez mock(R"({"adapters": [{"name": "hci1"}, {"name": "hci0"}]})");
  FakedPlatform faked;
  std::vector<BtRadioInfo> infos;
  BtRadio radio{};
  const BtRadioFind find = faked.platform->FindFirstRadio(radio);
  ASSERT_NE(find, BtRadioFind::kNone);
  do {
    ASSERT_EQ(faked.platform->GetRadioInfo(radio, infos.emplace_back()), kErrorSuccess);
    faked.platform->CloseRadio(radio);
    EXPECT_EQ(faked.platform->GetRadioInfo(radio, infos.back()), kResultInvalidHandle);
  } while (faked.platform->FindNextRadio(find, radio));
  EXPECT_EQ(faked.platform->LastError(), kErrorNoMoreItems);
  faked.platform->FindRadioClose(find);
  ASSERT_EQ(infos.size(), 2u);
  EXPECT_EQ(infos[0].address, 0xAABBCCDDEE01ull);
  EXPECT_EQ(infos[0].name, u"Desk hci0");
  EXPECT_EQ(infos[0].classOfDevice, 0x10010Cu);
  EXPECT_EQ(infos[1].address, 0xAABBCCDDEE02ull);
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
    const MockBluez mock(scenario.c_str());
    FakedPlatform faked;
    const std::vector<BtDeviceRecord> found = Search(*faked.platform, c.multiplier);
    ASSERT_EQ(found.size(), c.found ? 2u : 1u);
    EXPECT_EQ(found.back().address, c.found ? kAnalyser : 0x001122334401ull);
    EXPECT_EQ(mock.Count("SetDiscoveryFilter hci0 bredr"), 1u);
    EXPECT_EQ(mock.Count("StartDiscovery hci0"), 1u);
    EXPECT_EQ(mock.Count("StopDiscovery hci0"), 1u);
  }
}

TEST(BluezPlatform, DeviceFieldsMapAsTheSetupReadsThem) {
  const std::string longName(300, 'k');
  const std::string scenario = R"({"devices": [
      {"address": "00:11:22:33:44:01", "name": "Korvanta paired", "paired": true},
      {"address": "00:11:22:33:44:02", "class": 7940, "trusted": true},
      {"address": "00:11:22:33:44:03", "name": "", "class": 0},
      {"address": "00:11:22:33:44:04", "name": "Caballix \u00e9quin\u00e9"},
      {"address": "0A:1B:2C:3D:4E:5F", "name": ")" + longName + R"("}]})";
  const MockBluez mock(scenario.c_str());
  FakedPlatform faked;
  const std::vector<BtDeviceRecord> found = Search(*faked.platform, 0);
  ASSERT_EQ(found.size(), 5u);  // in object path order
  EXPECT_EQ(found[0].address, 0x001122334401ull);
  EXPECT_EQ(found[0].classOfDevice, 0x1F00u);
  EXPECT_TRUE(found[0].authenticated && found[0].remembered);
  EXPECT_EQ(found[0].name, u"Korvanta paired");
  EXPECT_FALSE(found[1].authenticated);
  EXPECT_TRUE(found[1].remembered);
  EXPECT_EQ(found[1].classOfDevice, 7940u);
  EXPECT_EQ(found[2].name, u"");  // no Name: the alias (the address) is not used
  EXPECT_EQ(found[2].classOfDevice, 0u);
  EXPECT_FALSE(found[2].remembered);
  EXPECT_EQ(found[3].name, u"Caballix \u00e9quin\u00e9");
  EXPECT_EQ(found[4].address, 0x0A1B2C3D4E5Full);
  EXPECT_EQ(found[4].name, std::u16string(kMaxDeviceNameUnits, u'k'));

  BtDeviceRecord refreshed;
  refreshed.address = 0x001122334402ull;
  EXPECT_EQ(faked.platform->GetDeviceInfo(BtRadio::kNone, refreshed), kErrorSuccess);
  EXPECT_EQ(refreshed.name, u"Korvanta");
  refreshed.address = 0x665544332211ull;
  EXPECT_EQ(faked.platform->GetDeviceInfo(BtRadio::kNone, refreshed), bluez::kErrorNotFound);
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
    const MockBluez mock(c.scenario);
    FakedPlatform faked;
    uint32_t lastError = 0;
    EXPECT_EQ(Search(*faked.platform, 1, &lastError).size(), c.found);
    EXPECT_EQ(lastError, c.lastError);
    EXPECT_EQ(mock.Count("StopDiscovery hci0"), 0u + (c.lastError == kErrorNoMoreItems));
  }
  const MockBluez off(cases[0].scenario);
  FakedPlatform faked;
  Search(*faked.platform, 1);
  EXPECT_NE(ErrorText(*faked.platform, kResultInvalidHandle).find(u"org.bluez.Error.NotReady"), std::u16string::npos);
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
    const MockBluez mock(scenario.c_str());
    FakedPlatform faked;
    EXPECT_EQ(Pair(*faked.platform, kAnalyser, c.pin), c.expected);
    EXPECT_EQ(mock.Count(std::string("RegisterAgent ") + kAgent + " KeyboardDisplay"), 1u);
    EXPECT_EQ(mock.Count(std::string("UnregisterAgent ") + kAgent), 1u);
    EXPECT_EQ(mock.Count("Pair 00:11:22:33:44:AA"), 1u);
    if (!c.error.empty()) {
      EXPECT_NE(ErrorText(*faked.platform, c.expected).find(c.error), std::u16string::npos);
    }
  }
}

TEST(BluezPlatform, PairingFindsADroppedDeviceAgain) {
  const MockBluez mock(R"({"devices": [{"address": "00:11:22:33:44:AA", "found_ms": 50}]})");
  FakedPlatform faked;
  EXPECT_EQ(Pair(*faked.platform, kAnalyser, u"73914"), kErrorSuccess);
  EXPECT_EQ(mock.Count("StopDiscovery hci0"), 1u);
  // One that never comes back is "not found", with discovery stopped and no agent registered.
  EXPECT_EQ(Pair(*faked.platform, 0x665544332211ull, u"73914"), bluez::kErrorNotFound);
  EXPECT_EQ(mock.Count("StartDiscovery hci0"), 2u);
  EXPECT_EQ(mock.Count("StopDiscovery hci0"), 2u);
  EXPECT_EQ(mock.Count("RegisterAgent"), 1u);
  EXPECT_EQ(faked.platform->LoadModule(u"bthprops.cpl"), BtModule::kNone);  // no newer pairing calls here
}

TEST(BluezPlatform, SerialServiceHandsTheLinkToTheRfcommLayer) {
  const MockBluez mock(R"({"devices": [{"address": "00:11:22:33:44:AA", "paired": true}]})");
  FakedPlatform faked;
  BtDeviceRecord device;
  device.address = kAnalyser;
  EXPECT_EQ(faked.platform->SetServiceState(BtRadio::kNone, device, kSerialPortServiceClass, true), kErrorSuccess);
  EXPECT_EQ(mock.Count("Set Trusted 00:11:22:33:44:AA True"), 1u);
  EXPECT_EQ(faked.parts->firstLines, std::vector<std::string>{"KVMOCK 00:11:22:33:44:AA"});
  ASSERT_EQ(faked.parts->bound.size(), 1u);
  EXPECT_EQ(faked.parts->bound[0].address, kAnalyser);
  const std::string uuid = " 00001101-0000-1000-8000-00805f9b34fb";
  EXPECT_EQ(mock.Count("RegisterProfile /org/korvanta/sdk/serial_port" + uuid + " Role=client"), 1u);
  EXPECT_EQ(mock.Count("ConnectProfile 00:11:22:33:44:AA" + uuid), 1u);
  EXPECT_EQ(mock.Count("UnregisterProfile /org/korvanta/sdk/serial_port"), 1u);

  // Enabled already: "already in that state", with nothing connected again; then disabled twice.
  EXPECT_EQ(faked.platform->SetServiceState(BtRadio::kNone, device, kSerialPortServiceClass, true), kResultInvalidArg);
  EXPECT_EQ(mock.Count("ConnectProfile"), 1u);
  EXPECT_EQ(faked.platform->SetServiceState(BtRadio::kNone, device, kSerialPortServiceClass, false), kErrorSuccess);
  EXPECT_EQ(faked.parts->released, std::vector<int32_t>{0});
  EXPECT_EQ(faked.platform->SetServiceState(BtRadio::kNone, device, kSerialPortServiceClass, false), kResultInvalidArg);
  device.address = 0x665544332211ull;
  EXPECT_EQ(faked.platform->SetServiceState(BtRadio::kNone, device, kSerialPortServiceClass, true),
            bluez::kErrorNotFound);
}

TEST(BluezPlatform, SerialServiceFailuresUnregisterTheProfile) {
  for (const bool kernelFails : {false, true}) {
    SCOPED_TRACE(kernelFails ? "the kernel refuses the TTY" : "BlueZ refuses the connection");
    const MockBluez mock(kernelFails ? R"({"devices": [{"address": "00:11:22:33:44:AA"}]})"
                                     : R"({"devices": [{"address": "00:11:22:33:44:AA", "connect_error": "Host is down"}]})");
    FakedPlatform faked;
    faked.parts->failWithErrno = kernelFails ? EPERM : 0;
    BtDeviceRecord device;
    device.address = kAnalyser;
    const uint32_t code = faked.platform->SetServiceState(BtRadio::kNone, device, kSerialPortServiceClass, true);
    EXPECT_EQ(code, bluez::kErrorGenFailure);
    EXPECT_TRUE(faked.parts->bound.empty());
    EXPECT_EQ(mock.Count("UnregisterProfile /org/korvanta/sdk/serial_port"), 1u);
    EXPECT_NE(ErrorText(*faked.platform, code).find(kernelFails ? u"not permitted" : u"Host is down"),
              std::u16string::npos);
  }
}

TEST(BluezPlatform, RemovalOfPresentAndAbsentDevices) {
  const MockBluez mock(R"({"devices": [{"address": "00:11:22:33:44:AA", "paired": true}]})");
  FakedPlatform faked;
  faked.parts->bound = {{3, kAnalyser, 1, false}, {4, 0x665544332211ull, 1, false}};
  EXPECT_EQ(faked.platform->RemoveDevice(kAnalyser), kErrorSuccess);
  EXPECT_EQ(mock.Count("RemoveDevice /org/bluez/hci0/dev_00_11_22_33_44_AA"), 1u);
  EXPECT_EQ(faked.parts->released, std::vector<int32_t>{3});
  EXPECT_EQ(faked.platform->RemoveDevice(kAnalyser), bluez::kErrorNotFound);
}

TEST(BluezPlatform, PortsListTheBoundRfcommDevices) {
  FakedPlatform faked;
  faked.parts->bound = {{0, 0x0A0B0C0D0E0Full, 1, true}, {4, kAnalyser, 1, false}};
  std::vector<BtGuid> classes;
  EXPECT_FALSE(faked.platform->ClassGuidsFromName(u"portz", classes));
  EXPECT_EQ(faked.platform->GetPresentDevices(kSerialPortServiceClass), BtPortList::kNone);
  ASSERT_TRUE(faked.platform->ClassGuidsFromName(u"Ports", classes));
  ASSERT_EQ(classes.size(), 1u);
  const BtPortList list = faked.platform->GetPresentDevices(classes[0]);
  EXPECT_TRUE(faked.platform->GetListDetail(list));
  BtPortDevice port;
  ASSERT_TRUE(faked.platform->EnumDevice(list, 1, port));
  EXPECT_EQ(port.instance, 4u);
  std::u16string id;
  std::u16string name;
  EXPECT_EQ(faked.platform->GetDeviceId(list, port, id), kErrorSuccess);
  EXPECT_EQ(id, u"RFCOMM\\" + AddressKey(kAnalyser) + u"\\4");
  ASSERT_TRUE(faked.platform->GetFriendlyName(list, port, name));
  EXPECT_EQ(ComPortFromFriendlyName(name).value_or(u""), std::u16string_view(u"/dev/rfcomm4"));
  EXPECT_FALSE(faked.platform->EnumDevice(list, 2, port));
  port.index = 2;
  EXPECT_EQ(faked.platform->GetDeviceId(list, port, id), bluez::kErrorNotFound);
  EXPECT_FALSE(faked.platform->GetFriendlyName(list, port, name));
  faked.platform->DestroyDeviceList(list);
  EXPECT_FALSE(faked.platform->GetListDetail(list));
  faked.parts->listUnavailable = true;
  EXPECT_EQ(faked.platform->GetPresentDevices(classes[0]), BtPortList::kNone);
}

TEST(BluezPlatform, InstallationStateFollowsTheUdevQueue) {
  FakedPlatform faked;
  faked.parts->installs = {std::nullopt};
  EXPECT_EQ(faked.platform->WaitNoPendingInstallEvents(0), std::nullopt);
  faked.parts->installs = {true, true, false};
  EXPECT_EQ(faked.platform->WaitNoPendingInstallEvents(5000), std::optional<uint32_t>(kErrorSuccess));
  EXPECT_TRUE(faked.parts->installs.empty());
  faked.parts->installs = std::deque<std::optional<bool>>(20, true);
  EXPECT_EQ(faked.platform->WaitNoPendingInstallEvents(30), std::optional<uint32_t>(kWaitTimeout));
}

TEST(BluezErrors, NamesMapToTheCodesTheSetupBranchesOn) {
  using bluez::Step;
  struct Case {
    const char* name;
    Step step;
    uint32_t code;
  };
  const Case cases[] = {
      {"org.freedesktop.DBus.Error.ServiceUnknown", Step::kGeneral, kRpcServerUnavailable},
      {"org.freedesktop.DBus.Error.NameHasNoOwner", Step::kGeneral, kRpcServerUnavailable},
      {"org.freedesktop.DBus.Error.NoServer", Step::kGeneral, kRpcServerUnavailable},
      {"org.freedesktop.DBus.Error.FileNotFound", Step::kGeneral, kRpcServerUnavailable},
      {"org.freedesktop.DBus.Error.Disconnected", Step::kDiscovery, kRpcServerUnavailable},
      {"org.bluez.Error.NotReady", Step::kDiscovery, kResultInvalidHandle},
      {"org.bluez.Error.AlreadyExists", Step::kGeneral, bluez::kErrorGenFailure},
      {"org.bluez.Error.AuthenticationCanceled", Step::kPairing, kErrorCancelled},
      {"org.bluez.Error.AuthenticationTimeout", Step::kPairing, kErrorNotAuthenticated},
      {"org.bluez.Error.AuthenticationFailed", Step::kRemoval, bluez::kErrorGenFailure},
      {"org.bluez.Error.DoesNotExist", Step::kGeneral, bluez::kErrorGenFailure},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(bluez::CodeOf({c.name, "x"}, c.step), c.code);
  }
  EXPECT_EQ(bluez::TextOf({"org.bluez.Error.Failed", "Host is down"}), u"Host is down (org.bluez.Error.Failed)");
  EXPECT_EQ(bluez::TextOf({"", ""}), u"Bluetooth error");
  for (const uint32_t code : {kErrorNoMoreItems, kErrorCancelled, kErrorNotAuthenticated, bluez::kErrorTimeout}) {
    EXPECT_FALSE(bluez::DefaultText(code).empty()) << code;
  }
  EXPECT_TRUE(bluez::DefaultText(kErrorSuccess).empty());
}

}  // namespace
}  // namespace kv::bt
