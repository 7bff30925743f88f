// layout_test.cpp: a C translation unit and C++ agree on every record layout.
#include <gtest/gtest.h>

#include "KorvantaSDK.h"

extern "C" size_t KvCLayoutOf(int which);

namespace {

TEST(RecordLayout, CAndCppAgree) {
  EXPECT_EQ(sizeof(KVTestRecord), KvCLayoutOf(0));
  EXPECT_EQ(offsetof(KVTestRecord, spectrum), KvCLayoutOf(1));
  EXPECT_EQ(sizeof(KVStoredTests), KvCLayoutOf(2));
  EXPECT_EQ(sizeof(CXStoredTests), KvCLayoutOf(3));
  EXPECT_EQ(offsetof(KVNormals, waistHipRatioMax), KvCLayoutOf(4));
  EXPECT_EQ(2u, KvCLayoutOf(5));
}

}  // namespace
