// result_codes_test.cpp: every code of the header's table has a unique value, a name and a meaning.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "KorvantaSDK.h"
#include "result_codes.h"

namespace {

TEST(ResultCodes, EveryEnumValueHasANameAndMeaning) {
#define KV_RESULT_CODE(codeName, codeValue, codeMeaning)          \
  {                                                               \
    const kv::ResultCodeInfo* info = kv::FindResultCode(codeName); \
    ASSERT_NE(nullptr, info) << #codeName;                         \
    EXPECT_EQ(codeValue, info->value);                             \
    EXPECT_STREQ(#codeName, info->name);                           \
    EXPECT_GT(std::string(info->meaning).size(), 5u);              \
  }
#include "result_codes.inc"
#undef KV_RESULT_CODE
}

TEST(ResultCodes, ValuesAreUniqueAndNonPositive) {
  std::set<int32_t> seen;
  for (const kv::ResultCodeInfo& info : kv::AllResultCodes()) {
    EXPECT_TRUE(seen.insert(info.value).second) << info.name;
    EXPECT_LE(info.value, 0) << info.name;
  }
  EXPECT_EQ(nullptr, kv::FindResultCode(-2));   // unused by design
  EXPECT_EQ(nullptr, kv::FindResultCode(-11));
}

}  // namespace
