// export_guard_test.cpp: an export's body that throws answers its failure value instead of
// ending the host; one that returns passes its result through.
#include "export_guard.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace kv {
namespace {

TEST(Guarded, PassesResultsAndMapsEveryExceptionToTheFailureValue) {
  EXPECT_EQ(KV_ERR_ECHO, Guarded([]() -> int32_t { return KV_ERR_ECHO; }));
  EXPECT_EQ(kThrownResult, Guarded([]() -> int32_t { throw std::bad_alloc(); }));
  EXPECT_EQ(7, Guarded(7, []() -> int32_t { throw std::runtime_error("x"); }));
  bool ran = false;
  GuardedVoid([&] {
    ran = true;
    throw 1;
  });
  EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace kv
