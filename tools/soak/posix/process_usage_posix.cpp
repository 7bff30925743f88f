// process_usage_posix.cpp: descriptors from /proc/self/fd, resident memory from /proc/self/statm.
// Linux only, as the soak's figures are meant for the Linux library and its simulator.
#include <dirent.h>
#include <unistd.h>

#include <cstdio>

#include "process_usage.h"

namespace kv::soak {

ProcessUsage MeasureProcess() {
  ProcessUsage usage;
  if (DIR* dir = ::opendir("/proc/self/fd")) {
    int64_t entries = 0;
    while (const dirent* e = ::readdir(dir)) {
      if (e->d_name[0] != '.') ++entries;
    }
    ::closedir(dir);
    usage.descriptors = entries - 1;  // the listing's own descriptor
  }
  if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
    long long pages = 0, resident = 0;
    if (std::fscanf(statm, "%lld %lld", &pages, &resident) == 2) {
      usage.residentKib = resident * (::sysconf(_SC_PAGESIZE) / 1024);
    }
    std::fclose(statm);
  }
  return usage;
}

}  // namespace kv::soak
