// null_context_test.cpp: the Win32 backend hands the platform a null context with both of its callbacks (the
// selection dialog's device filter, the newer pairing registration); the platform's calls still reach the
// setup's own callbacks while the platform call lasts, and are refused once it has ended.
#include <windows.h>
// windows.h first: the Bluetooth header relies on its types.
#include <bluetoothapis.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "bluetooth/stack.h"
#include "bluetooth/win32/entry_points_win32.h"
#include "bluetooth/win32/platform_win32.h"
#include "bluetooth/win32/records_win32.h"

namespace kv::bt::win32 {
namespace {

// The platform calls both callbacks __stdcall on i686; the mingw-w64 typedefs leave that out.
using DeviceCallback = BOOL(CALLBACK*)(LPVOID param, PBLUETOOTH_DEVICE_INFO device);
using AuthCallback = BOOL(CALLBACK*)(LPVOID param, PBLUETOOTH_AUTHENTICATION_CALLBACK_PARAMS request);

template <typename To, typename From>
To FunctionCast(From function) {
  return reinterpret_cast<To>(reinterpret_cast<void (*)()>(function));
}

constexpr uint64_t kAnalyser = 0x0011223344AAull;
const auto kRegistration = reinterpret_cast<HBLUETOOTH_AUTHENTICATION_REGISTRATION>(0x5150);
void* const kNotSeen = reinterpret_cast<void*>(0x1);

// What the fake platform calls were given, and what the callbacks answered during them.
struct Seen {
  void* selectParam = kNotSeen;
  DeviceCallback filter = nullptr;
  std::vector<BOOL> filterAnswers;
  HRESULT registerResult = S_OK;
  void* registerParam = kNotSeen;
  AuthCallback pairing = nullptr;
  BOOL pairingAnswer = FALSE;
  int responses = 0;
  BLUETOOTH_AUTHENTICATE_RESPONSE response{};
  HBLUETOOTH_AUTHENTICATION_REGISTRATION unregistered = nullptr;
} seen;

BLUETOOTH_DEVICE_INFO Device(const char16_t* name, uint32_t classOfDevice = 0) {
  return ToDeviceInfo(BtDeviceRecord{kAnalyser, classOfDevice, false, false, false, {}, {}, name});
}

// The dialog asks its filter about an analyser, a headset, two unnamed devices (one without a major
// class) and a null record, then the user cancels.
BOOL WINAPI FakeSelectDevices(BLUETOOTH_SELECT_DEVICE_PARAMS* params) {
  seen.selectParam = params->pvParam;
  seen.filter = FunctionCast<DeviceCallback>(params->pfnDeviceCallback);
  if (seen.filter != nullptr) {
    for (auto info : {Device(u"Korvanta 8124"), Device(u"Headset", 0x1F00), Device(u"", 0x1F00), Device(u"", 0x400)})
      seen.filterAnswers.push_back(seen.filter(params->pvParam, &info));
    seen.filterAnswers.push_back(seen.filter(params->pvParam, nullptr));
  }
  ::SetLastError(ERROR_CANCELLED);
  return FALSE;
}

HRESULT WINAPI FakeRegister(const BLUETOOTH_DEVICE_INFO*, HBLUETOOTH_AUTHENTICATION_REGISTRATION* registration,
                            AuthCallback callback, PVOID param) {
  seen.registerParam = param;
  seen.pairing = callback;
  *registration = seen.registerResult == S_OK ? kRegistration : nullptr;
  return seen.registerResult;
}

BLUETOOTH_AUTHENTICATION_CALLBACK_PARAMS PinRequest() {
  BLUETOOTH_AUTHENTICATION_CALLBACK_PARAMS request{};
  request.deviceInfo = Device(u"Korvanta 8124");
  request.authenticationMethod = BLUETOOTH_AUTHENTICATION_METHOD_LEGACY;
  return request;
}

// The platform asks for the PIN on a thread of its own while the pairing call runs.
HRESULT WINAPI FakeAuthenticate(HWND, HANDLE, BLUETOOTH_DEVICE_INFO*, PBLUETOOTH_OOB_DATA_INFO,
                                BLUETOOTH_AUTHENTICATION_REQUIREMENTS) {
  auto request = PinRequest();
  std::thread([&] { seen.pairingAnswer = seen.pairing(seen.registerParam, &request); }).join();
  return S_OK;
}

HRESULT WINAPI FakeSendResponse(HANDLE, PBLUETOOTH_AUTHENTICATE_RESPONSE response) {
  ++seen.responses;
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
  BOOL PinRequestNow() {
    auto request = PinRequest();
    return seen.pairing(nullptr, &request);
  }
  Win32BtPlatform platform_;
  BtModule module_ = BtModule::kNone;
  BtDeviceRecord analyser_{kAnalyser, 0, false, false, false, {}, {}, u"Korvanta 8124"};
  EntryPoints saved_{};
};

// With the setup's filter: a null context (not the caller's), analyser names and unnamed devices without a major
// class pass, and nothing once the dialog has closed. Without one: no callback.
TEST_F(NullContext, SelectionDialogFilter) {
  int unrelated = 0;
  BtSelectDialog dialog;
  dialog.filter = &DeviceSelectionFilter;
  dialog.filterContext = &unrelated;
  std::vector<BtDeviceRecord> chosen{analyser_};
  EXPECT_FALSE(platform_.SelectDevices(dialog, chosen));
  EXPECT_EQ(static_cast<uint32_t>(ERROR_CANCELLED), platform_.LastError());
  EXPECT_TRUE(chosen.empty());
  EXPECT_EQ(nullptr, seen.selectParam);
  ASSERT_NE(nullptr, seen.filter);
  EXPECT_EQ((std::vector<BOOL>{TRUE, FALSE, TRUE, FALSE, FALSE}), seen.filterAnswers);
  auto analyser = Device(u"Korvanta 8124");
  EXPECT_FALSE(seen.filter(nullptr, &analyser));

  seen = Seen{};
  EXPECT_FALSE(platform_.SelectDevices(BtSelectDialog{}, chosen));
  EXPECT_EQ(nullptr, seen.filter);
}

// Registration with a null context, the PIN request on the platform's own thread answered with the PIN and
// the address, and no answer once unregistered, nor after a failed registration.
TEST_F(NullContext, PairingCallback) {
  BtRegistration registration = BtRegistration::kNone;
  ASSERT_EQ(std::optional<uint32_t>(0),
            platform_.RegisterForAuthenticationEx(module_, analyser_, &AuthenticationCallback, nullptr, registration));
  EXPECT_EQ(nullptr, seen.registerParam);
  ASSERT_NE(nullptr, seen.pairing);
  BtDeviceRecord device = analyser_;
  EXPECT_EQ(std::optional<uint32_t>(0), platform_.AuthenticateDeviceEx(module_, nullptr, BtRadio::kNone, device, 0));
  EXPECT_TRUE(seen.pairingAnswer);
  ASSERT_EQ(1, seen.responses);
  EXPECT_EQ(kAnalyser, seen.response.bthAddressRemote.ullLong);
  EXPECT_EQ(BLUETOOTH_AUTHENTICATION_METHOD_LEGACY, seen.response.authMethod);
  EXPECT_EQ("73914",
            std::string(reinterpret_cast<const char*>(seen.response.pinInfo.pin), seen.response.pinInfo.pinLength));
  EXPECT_EQ(0, seen.response.negativeResponse);
  EXPECT_TRUE(platform_.UnregisterAuthentication(registration));
  EXPECT_EQ(kRegistration, seen.unregistered);
  EXPECT_FALSE(PinRequestNow());

  seen = Seen{};
  seen.registerResult = E_FAIL;
  registration = static_cast<BtRegistration>(0x99);
  EXPECT_EQ(std::optional<uint32_t>(static_cast<uint32_t>(E_FAIL)),
            platform_.RegisterForAuthenticationEx(module_, analyser_, &AuthenticationCallback, nullptr, registration));
  EXPECT_EQ(BtRegistration::kNone, registration);
  ASSERT_NE(nullptr, seen.pairing);
  EXPECT_FALSE(PinRequestNow());
}

}  // namespace
}  // namespace kv::bt::win32
