// export_guard.h: the one way an export shim keeps an exception from crossing the C interface.
// Every shim runs its body through Guarded; the library throws nothing of its own, so what can
// arrive here is std::bad_alloc (the port backend, a device path, the Bluetooth stack's lists).
#pragma once

#include <cstdint>

#include "KorvantaSDK.h"

namespace kv {

// The body's result, or `onFailure` when the body threw.
template <typename Result, typename Body>
Result Guarded(Result onFailure, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return onFailure;
  }
}

// For the exports that answer a result code. The table has no code for a lack of memory; the
// only allocations behind these exports set up the port (its backend and its device path), so
// the closest code is KV_ERR_PORT_OPEN.
inline constexpr int32_t kThrownResult = KV_ERR_PORT_OPEN;

template <typename Body>
int32_t Guarded(Body&& body) noexcept {
  return Guarded(kThrownResult, static_cast<Body&&>(body));
}

// For an export without a result (KVCloseComport).
template <typename Body>
void GuardedVoid(Body&& body) noexcept {
  try {
    body();
  } catch (...) {
  }
}

}  // namespace kv
