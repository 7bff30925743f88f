// setup_win32_test.cpp: the setup logic over the real Win32 backend under Wine, for the paths that need no
// user and no radio: the stack description, the port lookup against Wine's "ports" device list, the wait
// for installations, and radio detection. The program carries the string table, as the DLL does.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "bluetooth/setup.h"
#include "bluetooth/stack.h"
#include "bluetooth/win32/platform_win32.h"

namespace kv::bt {
namespace {

bool UnderWine() {
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

class SetupOverWin32 : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!UnderWine()) GTEST_SKIP() << "expects Wine's answers (no radio, no present port devices)";
    port.fill(u'#');
  }
  bool PortUntouched() const {
    for (KVWChar c : port) {
      if (c != u'#') return false;
    }
    return true;
  }
  win32::Win32BtPlatform platform;
  std::array<KVWChar, 32> port{};
};

TEST_F(SetupOverWin32, NoRadioMeansNoStackObject) {
  CBluetoothStack* held = nullptr;
  EXPECT_EQ(0, IsBTAvailable(platform, held));
  EXPECT_EQ(nullptr, held);
}

// Message 71 filled with "Microsoft" and the two empty texts of a radio that cannot be described.
TEST_F(SetupOverWin32, StackDescriptionWithoutARadio) {
  CBluetoothStackMicrosoft stack(platform);
  EXPECT_EQ(0, stack.GetRadioCount());
  std::array<KVWChar, 128> text{};
  ASSERT_TRUE(stack.GetStackInfo(text.data(), static_cast<int32_t>(text.size())));
  EXPECT_EQ(std::u16string(u"Bluetooth API: Microsoft\nHardware Info: \nSoftware Info: "),
            std::u16string(reinterpret_cast<const char16_t*>(text.data())));
}

// The lookup runs the whole SetupAPI sequence over Wine's present "ports" devices and finds none.
TEST_F(SetupOverWin32, PortLookupFindsNoPortAndLeavesTheBuffer) {
  CBluetoothStackMicrosoft stack(platform);
  const uint64_t address = 0x0011223344AAull;
  EXPECT_FALSE(stack.FindComPort(&address, port.data(), static_cast<int32_t>(port.size())));
  EXPECT_TRUE(PortUntouched());
}

// Nothing is installing, so the wait polls quickly, skips the second phase and gives up after three lookups.
TEST_F(SetupOverWin32, WaitForPortEndsWithoutAPort) {
  CBluetoothStackMicrosoft stack(platform);
  const uint64_t address = 0x0011223344AAull;
  EXPECT_FALSE(WaitForComPort(stack, &address));
  EXPECT_EQ(0, IsDeviceInstallInProgress(platform, 0));
}

// A non-interactive search cannot start: Wine gives no device enumeration, and no prompt is shown.
TEST_F(SetupOverWin32, SilentSearchFailsWithoutAPrompt) {
  CBluetoothStackMicrosoft stack(platform);
  EXPECT_FALSE(stack.SearchDevices(1, false, nullptr));
  EXPECT_FALSE(stack.IsSearchDone());
  EXPECT_EQ(-1, stack.GetNewDeviceCount());
}

}  // namespace
}  // namespace kv::bt
