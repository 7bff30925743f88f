// library_version.h: the platform's way of telling the library's own file version.
#pragma once

#include <cstdint>

namespace kv {

// Fills major and minor (both valid) from the library's version; 0, or -54 when it cannot be read.
int32_t ReadLibraryVersion(uint32_t& major, uint32_t& minor);

}  // namespace kv
