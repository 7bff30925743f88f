// slot_geometry.h: the shape of the stored-test block on the wire (a 3-byte header, then 100
// slots of 32 bytes). The frame table and the slot decoder both size their buffers from here.
#pragma once

#include <cstddef>

#include "KorvantaSDK.h"

namespace kv::link {

inline constexpr size_t kSlotSize = 32;
inline constexpr size_t kSlotCount = KV_STORED_TEST_CAPACITY;
inline constexpr size_t kBlockSize = kSlotSize * kSlotCount;  // 3200
inline constexpr size_t kBlockHeaderSize = 3;

}  // namespace kv::link
