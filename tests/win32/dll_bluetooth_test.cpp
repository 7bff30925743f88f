// dll_bluetooth_test.cpp: the Bluetooth exports through the DLL on a computer without a radio, as Wine is:
// each answers 0, leaves the caller's buffers as they were and shows no prompt (no call here is interactive,
// so nothing can wait for a user).
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "KorvantaSDK.h"

namespace {

bool UnderWine() {
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

class BluetoothWithoutRadio : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!UnderWine()) GTEST_SKIP() << "these answers are those of a computer without a radio (Wine)";
    sentinel_.fill(u'#');
  }
  template <size_t N>
  static bool Untouched(const std::array<KVWChar, N>& buffer) {
    for (KVWChar c : buffer) {
      if (c != u'#') return false;
    }
    return true;
  }
  std::array<KVWChar, 64> sentinel_{};
};

TEST_F(BluetoothWithoutRadio, IsBTAvailableAnswers0) {
  EXPECT_EQ(0, KVIsBTAvailable());
  EXPECT_EQ(0, KVIsBTAvailable());
}

TEST_F(BluetoothWithoutRadio, GetBTStackInfoAnswers0AndLeavesTheBuffer) {
  std::array<KVWChar, 64> text = sentinel_;
  EXPECT_EQ(0, KVGetBTStackInfo(text.data(), static_cast<int32_t>(text.size())));
  EXPECT_TRUE(Untouched(text));
}

TEST_F(BluetoothWithoutRadio, SearchAnswers0WithBothCountsMinus1) {
  int32_t newCount = 5;
  int32_t pairedCount = 5;
  EXPECT_EQ(0, KVSearchBTDevices(&newCount, &pairedCount, 0, nullptr, 1));
  EXPECT_EQ(-1, newCount);
  EXPECT_EQ(-1, pairedCount);
}

TEST_F(BluetoothWithoutRadio, GetBTKorvantaDeviceAnswers0AndWritesNothing) {
  std::array<KVWChar, 64> name = sentinel_;
  std::array<KVWChar, 64> address = sentinel_;
  std::array<KVWChar, 64> port = sentinel_;
  EXPECT_EQ(0, KVGetBTKorvantaDevice(name.data(), 64, address.data(), 64, port.data(), 64, 1));
  EXPECT_TRUE(Untouched(name));
  EXPECT_TRUE(Untouched(address));
  EXPECT_TRUE(Untouched(port));
}

TEST_F(BluetoothWithoutRadio, AuthenticateAndUnauthenticateAnswer0) {
  EXPECT_EQ(0, KVAuthenticateBTDevice(nullptr, 1));
  EXPECT_EQ(0, KVUnAuthenticateBTDevices(0, nullptr, 1));
}

TEST_F(BluetoothWithoutRadio, NonInteractiveAutoSetupAnswers0AndLeavesThePortBuffer) {
  std::array<KVWChar, 64> port = sentinel_;
  EXPECT_EQ(0, KVAutoSetupBT(port.data(), static_cast<int32_t>(port.size()), 0, nullptr));
  EXPECT_TRUE(Untouched(port));
}

// Wine provides CMP_WaitNoPendingInstallEvents and installs nothing, so nothing is pending.
TEST_F(BluetoothWithoutRadio, NoInstallationInProgress) { EXPECT_EQ(0, KVIsDeviceInstallInProgress(0)); }

}  // namespace
