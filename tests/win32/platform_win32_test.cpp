// platform_win32_test.cpp: the Win32 backend's real calls, and the setup logic over them, under Wine: no
// radio, a "ports" setup class without present devices, the newer pairing functions as unimplemented entries.
// Calls Wine leaves unimplemented abort the process when made, and a message box needs a user: none is made.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bluetooth/win32/platform_win32.h"
#include "messages.h"

namespace kv::bt::win32 {
namespace {

bool UnderWine() {
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

class Win32 : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!UnderWine()) GTEST_SKIP() << "expects Wine's answers (no radio, no present port devices)";
  }
  Win32BtPlatform platform;
};

TEST_F(Win32, NoRadioNoDevices) {
  EXPECT_NE(nullptr, dynamic_cast<Win32BtPlatform*>(&DefaultBtPlatform()));
  BtRadio radio = static_cast<BtRadio>(0x77);
  EXPECT_EQ(BtRadioFind::kNone, platform.FindFirstRadio(radio));
  EXPECT_EQ(BtRadio::kNone, radio);
  EXPECT_NE(0u, platform.LastError());
  BtRadioInfo info;
  info.name = u"unchanged";
  EXPECT_NE(0u, platform.GetRadioInfo(BtRadio::kNone, info));
  EXPECT_EQ(u"unchanged", info.name);

  BtDeviceRecord device;
  device.name = u"working record";
  EXPECT_EQ(BtDeviceFind::kNone, platform.FindFirstDevice(BtDeviceSearch{}, device));
  const uint32_t reason = platform.LastError();  // kept at the call, not read again later
  EXPECT_NE(0u, reason);
  ::SetLastError(12345);
  EXPECT_EQ(reason, platform.LastError());
  EXPECT_EQ(u"working record", device.name);
  EXPECT_FALSE(platform.FindNextDevice(BtDeviceFind::kNone, device));
  EXPECT_TRUE(platform.WaitNoPendingInstallEvents(0).has_value());  // nothing pending: bt_test's exports
}

// The whole lookup over the present devices of the "ports" class, which Wine leaves empty.
TEST_F(Win32, PortDevices) {
  std::vector<BtGuid> classes;
  ASSERT_TRUE(platform.ClassGuidsFromName(u"ports", classes));
  ASSERT_FALSE(classes.empty());
  EXPECT_EQ((BtGuid{0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}}), classes.front());
  for (const BtGuid& classId : classes) {
    const BtPortList list = platform.GetPresentDevices(classId);
    ASSERT_NE(BtPortList::kNone, list);
    ASSERT_TRUE(platform.GetListDetail(list));
    BtPortDevice device;
    EXPECT_FALSE(platform.EnumDevice(list, 0, device));
    EXPECT_EQ(static_cast<uint32_t>(ERROR_NO_MORE_ITEMS), platform.LastError());
    platform.DestroyDeviceList(list);
  }
  std::vector<BtGuid> none{BtGuid{}};
  platform.ClassGuidsFromName(u"nosuchsetupclass", none);
  EXPECT_TRUE(none.empty());
}

// A module without the newer pairing functions answers "not available" for each; calls through found ones
// are null_context_test's.
TEST_F(Win32, Modules) {
  EXPECT_EQ(BtModule::kNone, platform.LoadModule(u"no-such-module.cpl"));
  EXPECT_NE(0u, platform.LastError());
  const BtModule kernel = platform.LoadModule(u"kernel32.dll");
  ASSERT_NE(BtModule::kNone, kernel);
  BtRegistration registration = static_cast<BtRegistration>(0x99);
  BtDeviceRecord device;
  auto callback = [](BtPlatform&, void*, const BtAuthRequest*) { return true; };
  EXPECT_FALSE(platform.RegisterForAuthenticationEx(kernel, device, callback, nullptr, registration).has_value());
  EXPECT_EQ(BtRegistration::kNone, registration);
  EXPECT_FALSE(platform.AuthenticateDeviceEx(kernel, nullptr, BtRadio::kNone, device, 0).has_value());
  EXPECT_FALSE(platform.SendAuthenticationResponseEx(kernel, BtRadio::kNone, BtAuthResponse{}).has_value());
  platform.FreeLoadedModule(kernel);
  EXPECT_FALSE(platform.UnregisterAuthentication(BtRegistration::kNone));
}

// The backend's own-module texts are the message table; system texts come whole, inserts left as written.
TEST_F(Win32, Texts) {
  EXPECT_EQ(::GetModuleHandleW(nullptr), Win32BtPlatform::OwnModule());
  std::u16string text;
  for (const MessageEntry& entry : kMessageTable) {
    EXPECT_TRUE(platform.LoadText(entry.number, text)) << entry.number;
    EXPECT_TRUE(text == entry.text) << entry.number;
  }
  EXPECT_FALSE(platform.LoadText(56, text));
  EXPECT_TRUE(text.empty());
  for (uint32_t code : {kErrorBadUnit, kResultInvalidHandle}) {  // a system code and an HRESULT
    ASSERT_TRUE(platform.ErrorText(code, text)) << code;
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(std::u16string::npos, text.find(u'\0'));
  }
  ASSERT_TRUE(platform.ErrorText(107, text));  // ERROR_CHANGE_DISK: "... drive %1."
  EXPECT_NE(std::u16string::npos, text.find(u"%1"));
  EXPECT_FALSE(platform.ErrorText(0xDEADBEEF, text));
  EXPECT_TRUE(text.empty());
  LARGE_INTEGER frequency{}, start{}, end{};
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&start);
  platform.Sleep(50);
  ::QueryPerformanceCounter(&end);
  EXPECT_GE((end.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart, 40);  // a lower bound only
}

}  // namespace
}  // namespace kv::bt::win32
