// exports_test.cpp: the eight Bluetooth exports of the built library over the backend linked into it.
// Without a radio (the null backend, Wine, a build machine without BlueZ) every export answers 0 at once,
// writes nothing and shows nothing. A backend that finds a radio skips the test.
#include <gtest/gtest.h>

#include <string>

#include "KorvantaSDK.h"

namespace {

TEST(BluetoothExports, WithoutRadioAnswerZeroAndWriteNothing) {
  const bool null = std::string(KV_BT_BACKEND_NAME) == "null";
  if (!null && KVIsBTAvailable() != 0) GTEST_SKIP() << "this computer has a Bluetooth radio";
  KVWChar name[4] = {'#'}, address[20] = {'#'}, port[4] = {'#'};
  int32_t fresh = 7, paired = 7;
  EXPECT_EQ(KVIsBTAvailable(), 0);
  EXPECT_EQ(KVGetBTStackInfo(name, 4), 0);
  EXPECT_EQ(KVSearchBTDevices(&fresh, &paired, 1, nullptr, 7), 0);
  EXPECT_EQ(fresh + paired, -2);
  EXPECT_EQ(KVGetBTKorvantaDevice(name, 4, address, 20, port, 4, 1), 0);
  EXPECT_EQ(KVAuthenticateBTDevice(nullptr, 1), 0);
  EXPECT_EQ(KVUnAuthenticateBTDevices(1, nullptr, 1), 0);
  EXPECT_EQ(KVAutoSetupBT(port, 4, 1, nullptr), 0);  // a box that cannot be shown counts as Cancel
  EXPECT_EQ(name[0] + address[0] + port[0], 3 * '#');
  // The BlueZ backend asks the build machine's udev queue, which no test controls.
  EXPECT_EQ(std::string(KV_BT_BACKEND_NAME) != "bluez" ? KVIsDeviceInstallInProgress(0) : 0, 0);
}

}  // namespace
