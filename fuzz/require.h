// require.h: the harnesses' check: a broken invariant prints what broke and aborts, which libFuzzer
// reports as a crash with the input that caused it.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace kv::fuzz {

inline void Require(bool condition, const char* what) {
  if (!condition) {
    std::printf("invariant broken: %s\n", what);
    std::abort();
  }
}

}  // namespace kv::fuzz
