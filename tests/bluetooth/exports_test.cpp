// exports_test.cpp: the eight Bluetooth exports of the built library over the backend linked into it.
// With the null backend (Linux, and Windows until its backend lands) there is no radio: every export
// answers 0 at once, writes nothing and shows nothing. A backend that finds a radio skips these checks.
#include <gtest/gtest.h>

#include <string>

#include "KorvantaSDK.h"

namespace {

class BluetoothExports : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string(KV_BT_BACKEND_NAME) != "null" && KVIsBTAvailable() != 0) {
      GTEST_SKIP() << "this computer has a Bluetooth radio; the no-radio answers do not apply";
    }
  }
};

TEST_F(BluetoothExports, NoRadioMeansNotAvailable) { EXPECT_EQ(KVIsBTAvailable(), 0); }

TEST_F(BluetoothExports, StackInfoLeavesTheBufferUntouched) {
  KVWChar info[8] = {'#', '#', '#', '#', '#', '#', '#', '#'};
  EXPECT_EQ(KVGetBTStackInfo(info, 8), 0);
  for (KVWChar unit : info) EXPECT_EQ(unit, KVWChar('#'));
}

TEST_F(BluetoothExports, SearchLeavesBothCountsAtMinusOne) {
  int32_t fresh = 7;
  int32_t paired = 7;
  EXPECT_EQ(KVSearchBTDevices(&fresh, &paired, 1, nullptr, 7), 0);
  EXPECT_EQ(fresh, -1);
  EXPECT_EQ(paired, -1);
}

TEST_F(BluetoothExports, DeviceQueryWritesNothing) {
  KVWChar name[4] = {'#', '#', '#', '#'};
  KVWChar address[20] = {'#'};
  KVWChar port[4] = {'#'};
  EXPECT_EQ(KVGetBTKorvantaDevice(name, 4, address, 20, port, 4, 1), 0);
  EXPECT_EQ(name[0], KVWChar('#'));
  EXPECT_EQ(address[0], KVWChar('#'));
  EXPECT_EQ(port[0], KVWChar('#'));
}

TEST_F(BluetoothExports, PairingAndUnpairingFail) {
  EXPECT_EQ(KVAuthenticateBTDevice(nullptr, 1), 0);
  EXPECT_EQ(KVUnAuthenticateBTDevices(0, nullptr, 1), 0);
  EXPECT_EQ(KVUnAuthenticateBTDevices(1, nullptr, 1), 0);
}

TEST_F(BluetoothExports, AutoSetupFailsWithThePortBufferUntouched) {
  KVWChar port[4] = {'#', '#', '#', '#'};
  EXPECT_EQ(KVAutoSetupBT(port, 4, 0, nullptr), 0);
  EXPECT_EQ(KVAutoSetupBT(port, 4, 1, nullptr), 0);  // a box that cannot be shown counts as Cancel
  EXPECT_EQ(port[0], KVWChar('#'));
}

TEST_F(BluetoothExports, NoInstallationInProgress) {
  if (std::string(KV_BT_BACKEND_NAME) != "null") GTEST_SKIP() << "answered by the platform";
  EXPECT_EQ(KVIsDeviceInstallInProgress(0), 0);
}

}  // namespace
