// The BlueZ platform against a private D-Bus daemon with the mock BlueZ service: radios, searches,
// the device fields, pairing with the PIN, the serial service, removal, ports and error codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "bluetooth/bluez/errors.h"
#include "bluetooth/stack.h"
#include "fake_parts.h"
#include "mock_bluez.h"

namespace kv::bt {
namespace {

using bluez::BluezPlatform;
using testing::FakedPlatform;
using testing::MockBluez;

constexpr const char* kAnalyser = "00:11:22:33:44:AA";
constexpr uint64_t kAnalyserAddress = 0x0011223344AAull;
constexpr const char* kPin = "73914";
constexpr uint32_t kUncategorised = 0x1F00;

bool Logged(MockBluez& mock, const std::string& prefix) {
  const std::vector<std::string> log = mock.CallLog();
  return std::any_of(log.begin(), log.end(), [&](const std::string& entry) { return entry.rfind(prefix, 0) == 0; });
}

size_t Count(MockBluez& mock, const std::string& prefix) {
  const std::vector<std::string> log = mock.CallLog();
  return static_cast<size_t>(
      std::count_if(log.begin(), log.end(), [&](const std::string& entry) { return entry.rfind(prefix, 0) == 0; }));
}

std::vector<BtDeviceRecord> Search(BtPlatform& platform, uint8_t multiplier, uint32_t& lastError) {
  BtDeviceSearch search;
  search.returnAuthenticated = search.returnRemembered = search.returnUnknown = search.returnConnected = true;
  search.issueInquiry = true;
  search.timeoutMultiplier = multiplier;
  std::vector<BtDeviceRecord> found;
  BtDeviceRecord device;
  const BtDeviceFind find = platform.FindFirstDevice(search, device);
  lastError = platform.LastError();
  if (find == BtDeviceFind::kNone) return found;
  do {
    found.push_back(device);
  } while (platform.FindNextDevice(find, device));
  platform.FindDeviceClose(find);
  return found;
}

class ScopedBusAddress {
 public:
  explicit ScopedBusAddress(const std::string& address) {
    if (const char* old = std::getenv("DBUS_SYSTEM_BUS_ADDRESS")) m_old = old;
    setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
  }
  ~ScopedBusAddress() {
    if (m_old) {
      setenv("DBUS_SYSTEM_BUS_ADDRESS", m_old->c_str(), 1);
    } else {
      unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    }
  }

 private:
  std::optional<std::string> m_old;
};

// ---- No service ----

TEST(BluezPlatform, NoBusAndNoBluezAreRpcServerUnavailable) {
  for (const bool withDaemon : {false, true}) {
    SCOPED_TRACE(withDaemon ? "daemon without org.bluez" : "no bus at all");
    std::unique_ptr<MockBluez> mock;
    std::optional<ScopedBusAddress> noBus;
    if (withDaemon) {
      mock = MockBluez::Start(false);
    } else {
      noBus.emplace(MockBluez::NoBusAddress());
    }
    FakedPlatform faked;
    BtRadio radio{};
    EXPECT_EQ(faked.platform->FindFirstRadio(radio), BtRadioFind::kNone);
    EXPECT_EQ(radio, BtRadio::kNone);
    uint32_t lastError = 0;
    EXPECT_TRUE(Search(*faked.platform, 0, lastError).empty());
    EXPECT_EQ(lastError, kRpcServerUnavailable);
    std::u16string text;
    EXPECT_TRUE(faked.platform->ErrorText(kRpcServerUnavailable, text));
    EXPECT_FALSE(text.empty());
    BtDeviceRecord device;
    device.address = kAnalyserAddress;
    EXPECT_EQ(faked.platform->AuthenticateDevice(nullptr, BtRadio::kNone, device, u"73914"), kRpcServerUnavailable);
    EXPECT_EQ(faked.platform->RemoveDevice(kAnalyserAddress), kRpcServerUnavailable);
  }
}

// ---- Radios ----

TEST(BluezPlatform, RadiosAreTheAdaptersInPathOrder) {
  struct Case {
    std::vector<std::pair<std::string, std::string>> adapters;  // name, address
  };
  const Case cases[] = {{{}}, {{{"hci0", "AA:BB:CC:DD:EE:01"}}},
                        {{{"hci1", "AA:BB:CC:DD:EE:02"}, {"hci0", "AA:BB:CC:DD:EE:01"}}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.adapters.size());
    const std::unique_ptr<MockBluez> mock = MockBluez::Start();
    for (const auto& [name, address] : c.adapters) mock->AddAdapter(name, "Desk " + name, address);
    FakedPlatform faked;
    std::vector<BtRadioInfo> infos;
    BtRadio radio{};
    const BtRadioFind find = faked.platform->FindFirstRadio(radio);
    if (c.adapters.empty()) {
      EXPECT_EQ(find, BtRadioFind::kNone);
      continue;
    }
    ASSERT_NE(find, BtRadioFind::kNone);
    do {
      BtRadioInfo info;
      EXPECT_EQ(faked.platform->GetRadioInfo(radio, info), kErrorSuccess);
      infos.push_back(info);
      faked.platform->CloseRadio(radio);
    } while (faked.platform->FindNextRadio(find, radio));
    faked.platform->FindRadioClose(find);
    ASSERT_EQ(infos.size(), c.adapters.size());
    EXPECT_EQ(infos[0].address, 0xAABBCCDDEE01ull);
    EXPECT_EQ(infos[0].name, u"Desk hci0");
    if (infos.size() > 1) {
      EXPECT_EQ(infos[1].address, 0xAABBCCDDEE02ull);
    }
  }
}

// ---- Searches ----

TEST(BluezPlatform, SearchFindsAnalysersThatAppearDuringDiscovery) {
  struct Case {
    uint8_t multiplier;
    uint32_t delayMs;
    bool found;
  };
  // Units are 100 ms in these tests.
  const Case cases[] = {{0, 0, true}, {1, 0, true}, {1, 40, true}, {1, 400, false}, {3, 150, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "multiplier " << int{c.multiplier} << ", delay " << c.delayMs);
    const std::unique_ptr<MockBluez> mock = MockBluez::Start();
    mock->AddAdapter("hci0", "Desk", "AA:BB:CC:DD:EE:01");
    mock->AddKnownDevice("hci0", "00:11:22:33:44:01", "Printer", 0x0680, true, true, "");
    mock->AddDiscoverableDevice("hci0", kAnalyser, "KORVANTA QPN 0042", kUncategorised, kPin, c.delayMs);
    FakedPlatform faked;
    uint32_t lastError = 0;
    const std::vector<BtDeviceRecord> found = Search(*faked.platform, c.multiplier, lastError);
    const bool analyserFound = std::any_of(found.begin(), found.end(), [](const BtDeviceRecord& device) {
      return device.address == kAnalyserAddress;
    });
    EXPECT_EQ(analyserFound, c.found);
    EXPECT_EQ(found.size(), c.found ? 2u : 1u);
    EXPECT_TRUE(Logged(*mock, "SetDiscoveryFilter hci0 Transport=bredr"));
    EXPECT_EQ(Count(*mock, "StartDiscovery hci0"), 1u);
    EXPECT_EQ(Count(*mock, "StopDiscovery hci0"), 1u);
    EXPECT_FALSE(mock->Discovering("hci0"));
  }
}

TEST(BluezPlatform, DeviceFieldsMapAsTheSetupReadsThem) {
  const std::unique_ptr<MockBluez> mock = MockBluez::Start();
  mock->AddAdapter("hci0", "Desk", "AA:BB:CC:DD:EE:01");
  const std::string longName(300, 'k');
  mock->AddKnownDevice("hci0", "00:11:22:33:44:01", "Korvanta paired", 0x1F00, true, false, "");
  mock->AddKnownDevice("hci0", "00:11:22:33:44:02", "Korvanta trusted", 0x1F04, false, true, "");
  mock->AddKnownDevice("hci0", "00:11:22:33:44:03", "", 0x1F00, false, false, "");
  mock->AddKnownDevice("hci0", "0a:1b:2c:3d:4e:5f", longName, 0x0200, false, false, "");
  mock->AddKnownDevice("hci0", "00:11:22:33:44:05", "Caballix \xc3\xa9quin\xc3\xa9", 0x1F00, false, false, "");
  FakedPlatform faked;
  uint32_t lastError = 0;
  const std::vector<BtDeviceRecord> found = Search(*faked.platform, 0, lastError);
  ASSERT_EQ(found.size(), 5u);
  // Sorted by object path: dev_00_11_22_33_44_01 ... dev_0A_1B_2C_3D_4E_5F.
  EXPECT_EQ(found[0].address, 0x001122334401ull);
  EXPECT_EQ(found[0].classOfDevice, 0x1F00u);
  EXPECT_TRUE(found[0].authenticated);
  EXPECT_TRUE(found[0].remembered);
  EXPECT_EQ(found[0].name, u"Korvanta paired");
  EXPECT_FALSE(found[1].authenticated);
  EXPECT_TRUE(found[1].remembered);
  EXPECT_EQ(found[1].classOfDevice, 0x1F04u);
  EXPECT_EQ(found[2].name, u"");  // no Name property: the alias (the address) is not used
  EXPECT_FALSE(found[2].remembered);
  EXPECT_EQ(found[3].name, u"Caballix \u00e9quin\u00e9");
  EXPECT_EQ(found[4].address, 0x0A1B2C3D4E5Full);
  EXPECT_EQ(found[4].name.size(), kMaxDeviceNameUnits);
  EXPECT_EQ(found[4].lastSeen, BtSystemTime{});
  EXPECT_EQ(found[4].lastUsed, BtSystemTime{});

  BtDeviceRecord refreshed;
  refreshed.address = 0x001122334402ull;
  EXPECT_EQ(faked.platform->GetDeviceInfo(BtRadio::kNone, refreshed), kErrorSuccess);
  EXPECT_EQ(refreshed.name, u"Korvanta trusted");
  BtDeviceRecord unknown;
  unknown.address = 0x665544332211ull;
  EXPECT_EQ(faked.platform->GetDeviceInfo(BtRadio::kNone, unknown), bluez::kErrorNotFound);
}

TEST(BluezPlatform, UnpoweredAdapterIsNotReadyUnlessAnotherOneSearches) {
  for (const bool secondPowered : {false, true}) {
    SCOPED_TRACE(secondPowered ? "second adapter powered" : "only an unpowered adapter");
    const std::unique_ptr<MockBluez> mock = MockBluez::Start();
    mock->AddAdapter("hci0", "Off", "AA:BB:CC:DD:EE:01");
    mock->SetPowered("hci0", false);
    if (secondPowered) {
      mock->AddAdapter("hci1", "On", "AA:BB:CC:DD:EE:02");
      mock->AddDiscoverableDevice("hci1", kAnalyser, "Korvanta", kUncategorised, kPin, 0);
    }
    FakedPlatform faked;
    uint32_t lastError = 0;
    const std::vector<BtDeviceRecord> found = Search(*faked.platform, 1, lastError);
    if (secondPowered) {
      ASSERT_EQ(found.size(), 1u);
      EXPECT_EQ(found[0].address, kAnalyserAddress);
      EXPECT_EQ(Count(*mock, "StopDiscovery hci1"), 1u);
    } else {
      EXPECT_TRUE(found.empty());
      EXPECT_EQ(lastError, kResultInvalidHandle);
      std::u16string text;
      EXPECT_TRUE(faked.platform->ErrorText(kResultInvalidHandle, text));
      EXPECT_NE(text.find(u"org.bluez.Error.NotReady"), std::u16string::npos);
    }
    EXPECT_EQ(Count(*mock, "StopDiscovery hci0"), 0u);  // never started there
  }
}

TEST(BluezPlatform, SearchWithoutDevicesEndsWithNoMoreItems) {
  const std::unique_ptr<MockBluez> mock = MockBluez::Start();
  mock->AddAdapter("hci0", "Desk", "AA:BB:CC:DD:EE:01");
  FakedPlatform faked;
  uint32_t lastError = 0;
  EXPECT_TRUE(Search(*faked.platform, 0, lastError).empty());
  EXPECT_EQ(lastError, kErrorNoMoreItems);
}

// ---- Pairing ----

struct PairingCase {
  const char* label;
  std::u16string pin;
  bool alreadyPaired;
  uint32_t passkey;  // non-zero: the device asks for a passkey
  uint32_t expected;
  bool pairedAfter;
};

TEST(BluezPlatform, PairingAnswersThePinAndAlwaysUnregistersTheAgent) {
  const PairingCase cases[] = {
      {"right PIN", u"73914", false, 0, kErrorSuccess, true},
      {"wrong PIN", u"11111", false, 0, kErrorNotAuthenticated, false},
      {"already paired", u"73914", true, 0, kErrorSuccess, true},
      {"passkey", u"73914", false, 73914, kErrorSuccess, true},
      {"passkey refused", u"PIN", false, 73914, kErrorNotAuthenticated, false},
  };
  for (const PairingCase& c : cases) {
    SCOPED_TRACE(c.label);
    const std::unique_ptr<MockBluez> mock = MockBluez::Start();
    mock->AddAdapter("hci0", "Desk", "AA:BB:CC:DD:EE:01");
    mock->AddKnownDevice("hci0", kAnalyser, "Korvanta", kUncategorised, c.alreadyPaired, false, kPin);
    if (c.passkey != 0) mock->SetPasskeyMode(kAnalyser, c.passkey);
    FakedPlatform faked;
    BtDeviceRecord device;
    device.address = kAnalyserAddress;
    EXPECT_EQ(faked.platform->AuthenticateDevice(nullptr, BtRadio::kNone, device, c.pin), c.expected);
    EXPECT_EQ(mock->DeviceState(kAnalyser).paired, c.pairedAfter);
    EXPECT_EQ(device.authenticated, c.expected == kErrorSuccess);
    EXPECT_TRUE(Logged(*mock, "RegisterAgent /org/korvanta/sdk/agent KeyboardDisplay"));
    EXPECT_TRUE(Logged(*mock, "UnregisterAgent /org/korvanta/sdk/agent"));
    EXPECT_TRUE(mock->RegisteredAgents().empty());
    if (c.expected != kErrorSuccess) {
      std::u16string text;
      EXPECT_TRUE(faked.platform->ErrorText(c.expected, text));
      EXPECT_NE(text.find(u"org.bluez.Error.Authentication"), std::u16string::npos);
    }
  }
}

TEST(BluezPlatform, PairingFindsADroppedDeviceAgain) {
  const std::unique_ptr<MockBluez> mock = MockBluez::Start();
  mock->AddAdapter("hci0", "Desk", "AA:BB:CC:DD:EE:01");
  mock->AddDiscoverableDevice("hci0", kAnalyser, "Korvanta", kUncategorised, kPin, 50);
  FakedPlatform faked;
  uint32_t lastError = 0;
  ASSERT_EQ(Search(*faked.platform, 2, lastError).size(), 1u);
  mock->DropUnpairedDevices("hci0");
  ASSERT_FALSE(mock->DeviceState(kAnalyser).exists);
  BtDeviceRecord device;
  device.address = kAnalyserAddress;
  EXPECT_EQ(faked.platform->AuthenticateDevice(nullptr, BtRadio::kNone, device, u"73914"), kErrorSuccess);
  EXPECT_TRUE(mock->DeviceState(kAnalyser).paired);
  EXPECT_EQ(Count(*mock, "StartDiscovery hci0"), 2u);
  EXPECT_EQ(Count(*mock, "StopDiscovery hci0"), 2u);

  // A device that never comes back is "not found", with nothing left registered.
  BtDeviceRecord gone;
  gone.address = 0x665544332211ull;
  EXPECT_EQ(faked.platform->AuthenticateDevice(nullptr, BtRadio::kNone, gone, u"73914"), bluez::kErrorNotFound);
  EXPECT_TRUE(mock->RegisteredAgents().empty());
  EXPECT_FALSE(mock->Discovering("hci0"));
}

TEST(BluezPlatform, NewerPairingCallsAreAbsent) {
  FakedPlatform faked;
  EXPECT_EQ(faked.platform->LoadModule(u"bthprops.cpl"), BtModule::kNone);
}

// ---- Serial port service ----

TEST(BluezPlatform, SerialServiceHandsTheLinkToTheRfcommLayer) {
  const std::unique_ptr<MockBluez> mock = MockBluez::Start();
  mock->AddAdapter("hci0", "Desk", "AA:BB:CC:DD:EE:01");
  mock->AddKnownDevice("hci0", kAnalyser, "Korvanta", kUncategorised, true, false, kPin);
  FakedPlatform faked;
  BtDeviceRecord device;
  device.address = kAnalyserAddress;
  EXPECT_EQ(faked.platform->SetServiceState(BtRadio::kNone, device, kSerialPortServiceClass, true), kErrorSuccess);
  EXPECT_TRUE(mock->DeviceState(kAnalyser).trusted);
  ASSERT_EQ(faked.rfcomm->firstLines.size(), 1u);
  EXPECT_EQ(faked.rfcomm->firstLines[0], std::string("KVMOCK ") + kAnalyser);
  ASSERT_EQ(faked.rfcomm->bound.size(), 1u);
  EXPECT_EQ(faked.rfcomm->bound[0].address, kAnalyserAddress);
  EXPECT_TRUE(Logged(*mock, "RegisterProfile /org/korvanta/sdk/serial_port 00001101-0000-1000-8000-00805f9b34fb"));
  EXPECT_TRUE(Logged(*mock, "ConnectProfile 00:11:22:33:44:AA 00001101-0000-1000-8000-00805f9b34fb"));
  EXPECT_TRUE(Logged(*mock, "UnregisterProfile /org/korvanta/sdk/serial_port"));
  EXPECT_TRUE(mock->RegisteredProfiles().empty());

  // Enabled already: the platform's "already in that state" answer, with nothing connected again.
  EXPECT_EQ(faked.platform->SetServiceState(BtRadio::kNone, device, kSerialPortServiceClass, true),
            kResultInvalidArg);
  EXPECT_EQ(Count(*mock, "ConnectProfile"), 1u);
  EXPECT_EQ(faked.platform->SetServiceState(BtRadio::kNone, device, kSerialPortServiceClass, false), kErrorSuccess);
  EXPECT_EQ(faked.rfcomm->released, std::vector<int32_t>{0});
}

TEST(BluezPlatform, SerialServiceFailuresUnregisterTheProfile) {
  for (const bool kernelFails : {false, true}) {
    SCOPED_TRACE(kernelFails ? "the kernel refuses the TTY" : "BlueZ refuses the connection");
    const std::unique_ptr<MockBluez> mock = MockBluez::Start();
    mock->AddAdapter("hci0", "Desk", "AA:BB:CC:DD:EE:01");
    mock->AddKnownDevice("hci0", kAnalyser, "Korvanta", kUncategorised, true, false, kPin);
    FakedPlatform faked;
    if (kernelFails) {
      faked.rfcomm->failWithErrno = EPERM;
    } else {
      mock->SetConnectProfileError(kAnalyser, "org.bluez.Error.Failed", "Host is down");
    }
    BtDeviceRecord device;
    device.address = kAnalyserAddress;
    const uint32_t code = faked.platform->SetServiceState(BtRadio::kNone, device, kSerialPortServiceClass, true);
    EXPECT_EQ(code, bluez::kErrorGenFailure);
    EXPECT_TRUE(faked.rfcomm->bound.empty());
    EXPECT_TRUE(mock->RegisteredProfiles().empty());
    EXPECT_TRUE(Logged(*mock, "UnregisterProfile /org/korvanta/sdk/serial_port"));
    std::u16string text;
    ASSERT_TRUE(faked.platform->ErrorText(code, text));
    EXPECT_NE(text.find(kernelFails ? u"could not be created" : u"Host is down"), std::u16string::npos);
  }
}

// ---- Removal ----

TEST(BluezPlatform, RemovalOfPresentAndAbsentDevices) {
  const std::unique_ptr<MockBluez> mock = MockBluez::Start();
  mock->AddAdapter("hci0", "Desk", "AA:BB:CC:DD:EE:01");
  mock->AddKnownDevice("hci0", kAnalyser, "Korvanta", kUncategorised, true, true, kPin);
  FakedPlatform faked;
  faked.rfcomm->bound.push_back({3, kAnalyserAddress, 1, false});
  EXPECT_EQ(faked.platform->RemoveDevice(kAnalyserAddress), kErrorSuccess);
  EXPECT_FALSE(mock->DeviceState(kAnalyser).exists);
  EXPECT_EQ(faked.rfcomm->released, std::vector<int32_t>{3});
  EXPECT_EQ(faked.platform->RemoveDevice(kAnalyserAddress), bluez::kErrorNotFound);
}

// ---- Ports and installations ----

TEST(BluezPlatform, PortsListTheBoundRfcommDevices) {
  FakedPlatform faked;
  faked.rfcomm->bound = {{0, 0x0A0B0C0D0E0Full, 1, true}, {4, kAnalyserAddress, 1, false}};
  std::vector<BtGuid> classes;
  EXPECT_FALSE(faked.platform->ClassGuidsFromName(u"net", classes));
  ASSERT_TRUE(faked.platform->ClassGuidsFromName(u"Ports", classes));
  ASSERT_EQ(classes.size(), 1u);
  const BtPortList list = faked.platform->GetPresentDevices(classes[0]);
  ASSERT_NE(list, BtPortList::kNone);
  EXPECT_TRUE(faked.platform->GetListDetail(list));
  BtPortDevice port;
  ASSERT_TRUE(faked.platform->EnumDevice(list, 1, port));
  std::u16string id;
  std::u16string name;
  EXPECT_EQ(faked.platform->GetDeviceId(list, port, id), kErrorSuccess);
  EXPECT_NE(id.find(u"0011223344AA"), std::u16string::npos);
  ASSERT_TRUE(faked.platform->GetFriendlyName(list, port, name));
  EXPECT_EQ(ComPortFromFriendlyName(name).value_or(u""), std::u16string_view(u"/dev/rfcomm4"));
  EXPECT_FALSE(faked.platform->EnumDevice(list, 2, port));
  faked.platform->DestroyDeviceList(list);
  EXPECT_FALSE(faked.platform->GetListDetail(list));

  faked.rfcomm->listUnavailable = true;
  EXPECT_EQ(faked.platform->GetPresentDevices(classes[0]), BtPortList::kNone);
}

TEST(BluezPlatform, InstallationStateFollowsTheUdevQueue) {
  FakedPlatform faked;
  *faked.installs = {std::nullopt};
  EXPECT_EQ(faked.platform->WaitNoPendingInstallEvents(0), std::nullopt);
  *faked.installs = {false};
  EXPECT_EQ(faked.platform->WaitNoPendingInstallEvents(500), std::optional<uint32_t>(kErrorSuccess));
  *faked.installs = {true, true, false};
  EXPECT_EQ(faked.platform->WaitNoPendingInstallEvents(5000), std::optional<uint32_t>(kErrorSuccess));
  EXPECT_TRUE(faked.installs->empty());
  *faked.installs = {true, true, true, true, true, true, true, true, true, true, true, true};
  EXPECT_EQ(faked.platform->WaitNoPendingInstallEvents(30), std::optional<uint32_t>(kWaitTimeout));
}

// ---- Error codes ----

TEST(BluezErrors, NamesMapToTheCodesTheSetupBranchesOn) {
  using bluez::Step;
  struct Case {
    const char* name;
    Step step;
    uint32_t code;
  };
  const Case cases[] = {
      {"org.freedesktop.DBus.Error.ServiceUnknown", Step::kGeneral, kRpcServerUnavailable},
      {"org.freedesktop.DBus.Error.NoReply", Step::kPairing, kRpcServerUnavailable},
      {"org.freedesktop.DBus.Error.Disconnected", Step::kDiscovery, kRpcServerUnavailable},
      {"org.bluez.Error.NotReady", Step::kDiscovery, kResultInvalidHandle},
      {"org.bluez.Error.AlreadyExists", Step::kPairing, kErrorSuccess},
      {"org.bluez.Error.AlreadyExists", Step::kGeneral, bluez::kErrorGenFailure},
      {"org.bluez.Error.AuthenticationCanceled", Step::kPairing, kErrorCancelled},
      {"org.bluez.Error.AuthenticationFailed", Step::kPairing, kErrorNotAuthenticated},
      {"org.bluez.Error.AuthenticationRejected", Step::kPairing, kErrorNotAuthenticated},
      {"org.bluez.Error.AuthenticationTimeout", Step::kPairing, kErrorNotAuthenticated},
      {"org.bluez.Error.DoesNotExist", Step::kRemoval, bluez::kErrorNotFound},
      {"org.bluez.Error.DoesNotExist", Step::kGeneral, bluez::kErrorGenFailure},
      {"org.bluez.Error.Failed", Step::kGeneral, bluez::kErrorGenFailure},
      {"", Step::kGeneral, kErrorSuccess},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(bluez::CodeOf({c.name, "x"}, c.step), c.code);
  }
  EXPECT_EQ(bluez::TextOf({"org.bluez.Error.Failed", "Host is down"}), u"Host is down (org.bluez.Error.Failed)");
}

}  // namespace
}  // namespace kv::bt
