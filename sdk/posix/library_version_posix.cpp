// library_version_posix.cpp: without version resources the build's own version is the answer.
#include "library_version.h"

#include "version.h"

namespace kv {

int32_t ReadLibraryVersion(uint32_t& major, uint32_t& minor) {
  major = KV_VERSION_MAJOR;
  minor = KV_VERSION_MINOR;
  return 0;
}

}  // namespace kv
