// null_context_test.cpp: the Win32 backend hands the platform a null context with both of its callbacks (the
// selection dialog's device filter, the newer pairing registration), and the platform's calls still reach
// the setup's own callbacks while the platform call lasts, and are refused once it has ended.
#include <windows.h>
// windows.h first: the Bluetooth header relies on its types.
#include <bluetoothapis.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bluetooth/stack.h"
#include "bluetooth/win32/entry_points_win32.h"
#include "bluetooth/win32/platform_win32.h"

namespace kv::bt::win32 {
namespace {

// The platform calls both callbacks __stdcall on i686; the mingw-w64 typedefs leave that out.
using DeviceCallback = BOOL(CALLBACK*)(LPVOID param, PBLUETOOTH_DEVICE_INFO device);
using AuthCallback = BOOL(CALLBACK*)(LPVOID param, PBLUETOOTH_AUTHENTICATION_CALLBACK_PARAMS request);

template <typename To, typename From>
To FunctionCast(From function) {
  return reinterpret_cast<To>(reinterpret_cast<void (*)()>(function));
}

constexpr uint64_t kAnalyserAddress = 0x0011223344AAull;
const auto kFakeRegistration = reinterpret_cast<HBLUETOOTH_AUTHENTICATION_REGISTRATION>(0x5150);
void* const kNotSeen = reinterpret_cast<void*>(0x1);

// What the fake platform calls were given, and what the callbacks answered during them.
struct Seen {
  void* selectParam = kNotSeen;
  DeviceCallback deviceCallback = nullptr;
  std::vector<BOOL> filterAnswers;

  HRESULT registerResult = S_OK;
  void* registerParam = kNotSeen;
  AuthCallback authCallback = nullptr;
  BOOL callbackAnswer = FALSE;
  bool callbackOnOtherThread = false;
  int responsesSent = 0;
  BLUETOOTH_AUTHENTICATE_RESPONSE response{};
  HBLUETOOTH_AUTHENTICATION_REGISTRATION unregistered = nullptr;
};
Seen seen;

BLUETOOTH_DEVICE_INFO DeviceInfo(const wchar_t* name, ULONG classOfDevice) {
  BLUETOOTH_DEVICE_INFO info;
  std::memset(&info, 0, sizeof info);
  info.dwSize = sizeof info;
  info.Address.ullLong = kAnalyserAddress;
  info.ulClassofDevice = classOfDevice;
  wcsncpy(info.szName, name, BLUETOOTH_MAX_NAME_SIZE - 1);
  return info;
}

struct OfferedDevice {
  const wchar_t* name;
  ULONG classOfDevice;
  BOOL offered;
};
// Through the setup's own filter: analyser names pass, an unnamed device only with no major class.
const OfferedDevice kOffered[] = {
    {L"Korvanta 8124", 0x0000, TRUE},
    {L"Headset", 0x1F00, FALSE},
    {L"", 0x1F00, TRUE},
    {L"", 0x0400, FALSE},
};

// The dialog asks its filter about each device, then the user cancels.
BOOL WINAPI FakeSelectDevices(BLUETOOTH_SELECT_DEVICE_PARAMS* params) {
  seen.selectParam = params->pvParam;
  seen.deviceCallback = FunctionCast<DeviceCallback>(params->pfnDeviceCallback);
  if (seen.deviceCallback != nullptr) {
    for (const OfferedDevice& device : kOffered) {
      BLUETOOTH_DEVICE_INFO info = DeviceInfo(device.name, device.classOfDevice);
      seen.filterAnswers.push_back(seen.deviceCallback(params->pvParam, &info));
    }
    seen.filterAnswers.push_back(seen.deviceCallback(params->pvParam, nullptr));
  }
  ::SetLastError(ERROR_CANCELLED);
  return FALSE;
}

HRESULT WINAPI FakeRegister(const BLUETOOTH_DEVICE_INFO* /*device*/,
                            HBLUETOOTH_AUTHENTICATION_REGISTRATION* registration, AuthCallback callback,
                            PVOID param) {
  seen.registerParam = param;
  seen.authCallback = callback;
  *registration = seen.registerResult == S_OK ? kFakeRegistration : nullptr;
  return seen.registerResult;
}

// The platform asks for the PIN on a thread of its own while the pairing call runs.
HRESULT WINAPI FakeAuthenticate(HWND, HANDLE, BLUETOOTH_DEVICE_INFO* device, PBLUETOOTH_OOB_DATA_INFO,
                                BLUETOOTH_AUTHENTICATION_REQUIREMENTS) {
  BLUETOOTH_AUTHENTICATION_CALLBACK_PARAMS request;
  std::memset(&request, 0, sizeof request);
  request.deviceInfo = *device;
  request.authenticationMethod = BLUETOOTH_AUTHENTICATION_METHOD_LEGACY;
  const DWORD caller = ::GetCurrentThreadId();
  std::thread platformThread([&] {
    seen.callbackOnOtherThread = ::GetCurrentThreadId() != caller;
    seen.callbackAnswer = seen.authCallback(seen.registerParam, &request);
  });
  platformThread.join();
  return S_OK;
}

HRESULT WINAPI FakeSendResponse(HANDLE, PBLUETOOTH_AUTHENTICATE_RESPONSE response) {
  ++seen.responsesSent;
  seen.response = *response;
  return S_OK;
}

BOOL WINAPI FakeUnregister(HBLUETOOTH_AUTHENTICATION_REGISTRATION registration) {
  seen.unregistered = registration;
  return TRUE;
}

FARPROC WINAPI FakeGetProcAddress(HMODULE module, LPCSTR name) {
  const std::string wanted = name;
  if (wanted == "BluetoothRegisterForAuthenticationEx") return FunctionCast<FARPROC>(&FakeRegister);
  if (wanted == "BluetoothAuthenticateDeviceEx") return FunctionCast<FARPROC>(&FakeAuthenticate);
  if (wanted == "BluetoothSendAuthenticationResponseEx") return FunctionCast<FARPROC>(&FakeSendResponse);
  return ::GetProcAddress(module, name);
}

class NullContext : public ::testing::Test {
 protected:
  void SetUp() override {
    seen = Seen{};
    saved_ = BackendEntryPoints();
    BackendEntryPoints() = EntryPoints{FakeSelectDevices, FakeUnregister, FakeGetProcAddress};
    module_ = platform_.LoadModule(u"kernel32.dll");
    ASSERT_NE(BtModule::kNone, module_);
  }
  void TearDown() override {
    platform_.FreeLoadedModule(module_);
    BackendEntryPoints() = saved_;
  }

  BOOL FilterAfterTheDialog() {
    BLUETOOTH_DEVICE_INFO analyser = DeviceInfo(L"Korvanta 8124", 0);
    return seen.deviceCallback(nullptr, &analyser);
  }
  BOOL PinRequestAfterTheRegistration() {
    BLUETOOTH_AUTHENTICATION_CALLBACK_PARAMS request;
    std::memset(&request, 0, sizeof request);
    request.deviceInfo = DeviceInfo(L"Korvanta 8124", 0);
    return seen.authCallback(nullptr, &request);
  }

  Win32BtPlatform platform_;
  BtModule module_ = BtModule::kNone;
  BtDeviceRecord analyser_{kAnalyserAddress, 0, false, false, false, {}, {}, u"Korvanta 8124"};

 private:
  EntryPoints saved_{};
};

TEST_F(NullContext, FilteredDialogReachesTheSetupFilterOnlyWhileItIsOpen) {
  BtSelectDialog dialog;
  dialog.filter = &DeviceSelectionFilter;
  std::vector<BtDeviceRecord> chosen{analyser_};
  EXPECT_FALSE(platform_.SelectDevices(dialog, chosen));
  EXPECT_EQ(static_cast<uint32_t>(ERROR_CANCELLED), platform_.LastError());
  EXPECT_TRUE(chosen.empty());

  EXPECT_EQ(nullptr, seen.selectParam);
  ASSERT_NE(nullptr, seen.deviceCallback);
  ASSERT_EQ(std::size(kOffered) + 1, seen.filterAnswers.size());
  for (size_t i = 0; i < std::size(kOffered); ++i) {
    EXPECT_EQ(kOffered[i].offered, seen.filterAnswers[i]) << "device " << i;
  }
  EXPECT_FALSE(seen.filterAnswers.back()) << "a null record is refused";
  EXPECT_FALSE(FilterAfterTheDialog());
}

TEST_F(NullContext, UnfilteredDialogGetsNeitherCallbackNorContext) {
  int unrelated = 0;
  BtSelectDialog dialog;
  dialog.filterContext = &unrelated;
  std::vector<BtDeviceRecord> chosen;
  EXPECT_FALSE(platform_.SelectDevices(dialog, chosen));
  EXPECT_EQ(nullptr, seen.selectParam);
  EXPECT_EQ(nullptr, seen.deviceCallback);
}

// The whole exchange: registration, the platform's PIN request on its own thread answered with the PIN of
// the string table, and no answer any more once the registration has ended.
TEST_F(NullContext, PairingCallbackAnswersThePinWhileRegistered) {
  BtRegistration registration = BtRegistration::kNone;
  const std::optional<uint32_t> registered =
      platform_.RegisterForAuthenticationEx(module_, analyser_, &AuthenticationCallback, nullptr, registration);
  ASSERT_EQ(std::optional<uint32_t>(0), registered);
  EXPECT_NE(BtRegistration::kNone, registration);
  EXPECT_EQ(nullptr, seen.registerParam);
  ASSERT_NE(nullptr, seen.authCallback);

  BtDeviceRecord device = analyser_;
  EXPECT_EQ(std::optional<uint32_t>(0), platform_.AuthenticateDeviceEx(module_, nullptr, BtRadio::kNone, device, 0));
  EXPECT_TRUE(seen.callbackOnOtherThread);
  EXPECT_TRUE(seen.callbackAnswer);
  ASSERT_EQ(1, seen.responsesSent);
  EXPECT_EQ(kAnalyserAddress, seen.response.bthAddressRemote.ullLong);
  EXPECT_EQ(BLUETOOTH_AUTHENTICATION_METHOD_LEGACY, seen.response.authMethod);
  EXPECT_EQ("73914", std::string(reinterpret_cast<const char*>(seen.response.pinInfo.pin),
                                 seen.response.pinInfo.pinLength));
  EXPECT_EQ(0, seen.response.negativeResponse);

  EXPECT_TRUE(platform_.UnregisterAuthentication(registration));
  EXPECT_EQ(kFakeRegistration, seen.unregistered);
  EXPECT_FALSE(PinRequestAfterTheRegistration());
  EXPECT_EQ(1, seen.responsesSent);
}

TEST_F(NullContext, FailedRegistrationLeavesNothingToAnswerFor) {
  seen.registerResult = E_FAIL;
  BtRegistration registration = static_cast<BtRegistration>(0x99);
  EXPECT_EQ(std::optional<uint32_t>(static_cast<uint32_t>(E_FAIL)),
            platform_.RegisterForAuthenticationEx(module_, analyser_, &AuthenticationCallback, nullptr, registration));
  EXPECT_EQ(BtRegistration::kNone, registration);
  EXPECT_EQ(nullptr, seen.registerParam);
  ASSERT_NE(nullptr, seen.authCallback);
  EXPECT_FALSE(PinRequestAfterTheRegistration());
  EXPECT_EQ(0, seen.responsesSent);
}

}  // namespace
}  // namespace kv::bt::win32
