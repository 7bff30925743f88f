// version_test.cpp: KVGetSdkLibraryVersion reads the library's own version (the resource on Windows).
#include <gtest/gtest.h>

#include "KorvantaSDK.h"

namespace {

TEST(LibraryVersion, Is1Point39) {
  uint32_t major = 7;
  uint32_t minor = 7;
  ASSERT_EQ(KV_OK, KVGetSdkLibraryVersion(&major, &minor));
  EXPECT_EQ(1u, major);
  EXPECT_EQ(39u, minor);
}

TEST(LibraryVersion, OneNullPointerLeavesTheOtherOutputUntouched) {
  uint32_t value = 1234;
  EXPECT_EQ(KV_ERR_ARGUMENT, KVGetSdkLibraryVersion(&value, nullptr));
  EXPECT_EQ(1234u, value);
  EXPECT_EQ(KV_ERR_ARGUMENT, KVGetSdkLibraryVersion(nullptr, &value));
  EXPECT_EQ(1234u, value);
  EXPECT_EQ(KV_ERR_ARGUMENT, KVGetSdkLibraryVersion(nullptr, nullptr));
}

}  // namespace
