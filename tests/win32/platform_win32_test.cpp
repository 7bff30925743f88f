// platform_win32_test.cpp: the Win32 backend's real calls under Wine, which has no Bluetooth radio, a "ports"
// setup class without present devices, and the newer pairing functions as unimplemented entries. Calls that
// Wine leaves unimplemented (device information, legacy pairing, service state, removal, the selection
// dialog, unregistration) abort the process when made, and the message box needs a user: neither is made.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "bluetooth/platform.h"
#include "bluetooth/win32/platform_win32.h"
#include "messages.h"

namespace kv::bt::win32 {
namespace {

bool UnderWine() {
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

class Win32Platform : public ::testing::Test {
 protected:
  Win32BtPlatform platform;
};

class Win32PlatformUnderWine : public Win32Platform {
 protected:
  void SetUp() override {
    if (!UnderWine()) GTEST_SKIP() << "expects Wine's answers (no radio, no present port devices)";
  }
};

TEST(DefaultPlatform, IsTheWin32Backend) {
  EXPECT_NE(nullptr, dynamic_cast<Win32BtPlatform*>(&DefaultBtPlatform()));
}

// ---- Radios and devices ----

TEST_F(Win32PlatformUnderWine, RadioEnumerationGivesNoneWithAReason) {
  BtRadio radio = static_cast<BtRadio>(0x77);
  EXPECT_EQ(BtRadioFind::kNone, platform.FindFirstRadio(radio));
  EXPECT_EQ(BtRadio::kNone, radio);
  EXPECT_NE(0u, platform.LastError());
  platform.FindRadioClose(BtRadioFind::kNone);  // closing "none" makes no call
}

TEST_F(Win32PlatformUnderWine, RadioInformationOfNoRadioFailsAndLeavesTheRecord) {
  BtRadioInfo info;
  info.name = u"unchanged";
  EXPECT_NE(0u, platform.GetRadioInfo(BtRadio::kNone, info));
  EXPECT_EQ(u"unchanged", info.name);
}

TEST_F(Win32PlatformUnderWine, DeviceEnumerationDoesNotStartAndKeepsTheRecord) {
  BtDeviceSearch search;
  search.returnAuthenticated = search.returnRemembered = search.returnUnknown = search.returnConnected = true;
  search.issueInquiry = true;
  search.timeoutMultiplier = 1;
  BtDeviceRecord device;
  device.name = u"working record";
  ::SetLastError(0);
  EXPECT_EQ(BtDeviceFind::kNone, platform.FindFirstDevice(search, device));
  // The reason is kept at the call: later calls of the program do not overwrite it.
  const uint32_t reason = platform.LastError();
  EXPECT_NE(0u, reason);
  ::SetLastError(12345);
  EXPECT_EQ(reason, platform.LastError());
  EXPECT_EQ(u"working record", device.name);
  EXPECT_FALSE(platform.FindNextDevice(BtDeviceFind::kNone, device));
}

// ---- Serial port devices ----

// The first class named "ports" is the platform's setup class of serial and parallel ports.
TEST_F(Win32Platform, PortsClassIsFound) {
  std::vector<BtGuid> classes;
  ASSERT_TRUE(platform.ClassGuidsFromName(u"ports", classes));
  ASSERT_FALSE(classes.empty());
  const BtGuid ports{0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
  EXPECT_EQ(ports, classes.front());
}

TEST_F(Win32Platform, UnknownClassNameGivesNoClass) {
  std::vector<BtGuid> classes{BtGuid{}};
  platform.ClassGuidsFromName(u"nosuchsetupclass", classes);
  EXPECT_TRUE(classes.empty());
}

// The whole lookup sequence over the present devices of each "ports" class: every device the list gives
// has an instance identifier; under Wine the list is empty and the enumeration ends with no more items.
TEST_F(Win32Platform, PresentPortDevicesCanBeListed) {
  std::vector<BtGuid> classes;
  ASSERT_TRUE(platform.ClassGuidsFromName(u"ports", classes));
  size_t devices = 0;
  for (const BtGuid& classId : classes) {
    const BtPortList list = platform.GetPresentDevices(classId);
    ASSERT_NE(BtPortList::kNone, list);
    ASSERT_TRUE(platform.GetListDetail(list));
    BtPortDevice device;
    for (uint32_t index = 0; platform.EnumDevice(list, index, device); ++index, ++devices) {
      EXPECT_EQ(index, device.index);
      std::u16string id;
      EXPECT_EQ(0u, platform.GetDeviceId(list, device, id));
      EXPECT_FALSE(id.empty());
      std::u16string name;
      platform.GetFriendlyName(list, device, name);
    }
    EXPECT_EQ(static_cast<uint32_t>(ERROR_NO_MORE_ITEMS), platform.LastError());
    platform.DestroyDeviceList(list);
  }
  if (UnderWine()) {
    EXPECT_EQ(0u, devices);
  }
  std::printf("present \"ports\" devices: %zu\n", devices);
}

TEST_F(Win32Platform, NoListGivesNoDevices) {
  platform.DestroyDeviceList(BtPortList::kNone);  // no list: no call
  BtPortDevice device;
  EXPECT_FALSE(platform.EnumDevice(BtPortList::kNone, 0, device));
}

// ---- Installation state and optional functions ----

TEST_F(Win32PlatformUnderWine, InstallationWaitIsThereAndNothingIsPending) {
  const std::optional<uint32_t> answer = platform.WaitNoPendingInstallEvents(0);
  ASSERT_TRUE(answer.has_value());
  EXPECT_NE(kWaitTimeout, *answer);
}

// A module without the newer pairing functions: each answers "not available" and nothing is registered.
TEST_F(Win32Platform, NewerPairingFunctionsAbsentFromAModuleAnswerNotAvailable) {
  const BtModule module = platform.LoadModule(u"kernel32.dll");
  ASSERT_NE(BtModule::kNone, module);
  BtRegistration registration = static_cast<BtRegistration>(0x99);
  BtDeviceRecord device;
  auto callback = [](BtPlatform&, void*, const BtAuthRequest*) { return true; };
  EXPECT_FALSE(platform.RegisterForAuthenticationEx(module, device, callback, nullptr, registration).has_value());
  EXPECT_EQ(BtRegistration::kNone, registration);
  EXPECT_FALSE(platform.AuthenticateDeviceEx(module, nullptr, BtRadio::kNone, device, 0).has_value());
  EXPECT_FALSE(platform.SendAuthenticationResponseEx(module, BtRadio::kNone, BtAuthResponse{}).has_value());
  platform.FreeLoadedModule(module);
  EXPECT_FALSE(platform.UnregisterAuthentication(BtRegistration::kNone));
}

TEST_F(Win32Platform, ModuleThatCannotLoadIsNone) {
  EXPECT_EQ(BtModule::kNone, platform.LoadModule(u"no-such-module.cpl"));
  EXPECT_NE(0u, platform.LastError());
}

// Wine's "bthprops.cpl" exports the three newer functions (as entries that are not implemented, so they
// are resolved here and never called).
TEST_F(Win32PlatformUnderWine, BthpropsLoadsWithTheNewerPairingFunctions) {
  const BtModule module = platform.LoadModule(u"bthprops.cpl");
  ASSERT_NE(BtModule::kNone, module);
  const auto handle = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(module));
  for (const char* name : {"BluetoothRegisterForAuthenticationEx", "BluetoothAuthenticateDeviceEx",
                           "BluetoothSendAuthenticationResponseEx"}) {
    EXPECT_NE(nullptr, reinterpret_cast<void*>(::GetProcAddress(handle, name))) << name;
  }
  platform.FreeLoadedModule(module);
}

// ---- Texts ----

class OwnStringTable : public ::testing::TestWithParam<MessageEntry> {
 protected:
  Win32BtPlatform platform;
};

TEST_P(OwnStringTable, LoadTextGivesTheTableText) {
  std::u16string text;
  ASSERT_TRUE(platform.LoadText(GetParam().number, text));
  EXPECT_TRUE(text == GetParam().text) << "message " << GetParam().number;
}

INSTANTIATE_TEST_SUITE_P(Messages, OwnStringTable, ::testing::ValuesIn(kMessageTable),
                         [](const auto& p) { return "Message" + std::to_string(p.param.number); });

TEST_F(Win32Platform, NumberWithoutTextAnswersFalseAndEmpty) {
  std::u16string text = u"old";
  EXPECT_FALSE(platform.LoadText(56, text));
  EXPECT_TRUE(text.empty());
}

TEST_F(Win32Platform, OwnModuleIsTheModuleHoldingTheBackend) {
  EXPECT_EQ(::GetModuleHandleW(nullptr), Win32BtPlatform::OwnModule());  // linked into this program
}

struct ErrorCase {
  const char* label;
  uint32_t code;
};
class SystemErrorText : public Win32Platform, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(SystemErrorText, CodesOfTheSetupHaveATextInOneBuffer) {
  std::u16string text;
  ASSERT_TRUE(platform.ErrorText(GetParam().code, text));
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(std::u16string::npos, text.find(u'\0'));
}

INSTANTIATE_TEST_SUITE_P(Codes, SystemErrorText,
                         ::testing::Values(ErrorCase{"BadUnit", kErrorBadUnit}, ErrorCase{"Cancelled", kErrorCancelled},
                                           ErrorCase{"NotAuthenticated", kErrorNotAuthenticated},
                                           ErrorCase{"RpcServerUnavailable", kRpcServerUnavailable},
                                           ErrorCase{"InvalidHandleResult", kResultInvalidHandle},
                                           ErrorCase{"InvalidArgResult", kResultInvalidArg}),
                         [](const auto& p) { return p.param.label; });

TEST_F(Win32Platform, CodeWithoutTextAnswersFalseAndEmpty) {
  std::u16string text = u"old";
  EXPECT_FALSE(platform.ErrorText(0xDEADBEEF, text));
  EXPECT_TRUE(text.empty());
}

// A system text with an insert keeps it as written: the call passes no arguments to fill it from.
TEST_F(Win32Platform, InsertsAreLeftInTheText) {
  std::u16string text;
  ASSERT_TRUE(platform.ErrorText(107, text));  // ERROR_CHANGE_DISK: "... drive %1."
  EXPECT_NE(std::u16string::npos, text.find(u"%1"));
}

// ---- Timing ----

// Only a lower bound: the pause lasts at least about as long as asked (a busy machine only lengthens it).
TEST_F(Win32Platform, SleepPausesTheCaller) {
  LARGE_INTEGER frequency{};
  LARGE_INTEGER start{};
  LARGE_INTEGER end{};
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&start);
  platform.Sleep(50);
  ::QueryPerformanceCounter(&end);
  const double elapsedMs = static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 /
                           static_cast<double>(frequency.QuadPart);
  EXPECT_GE(elapsedMs, 40.0);
}

}  // namespace
}  // namespace kv::bt::win32
