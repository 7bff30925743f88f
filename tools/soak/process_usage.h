// process_usage.h: what the soak watches of its own process for leaks: open descriptors (handles on
// Windows) and resident memory. Interface only; posix/ and win32/ implement it.
#pragma once

#include <cstdint>

namespace kv::soak {

struct ProcessUsage {
  int64_t descriptors = -1;  // -1: the platform would not say
  int64_t residentKib = -1;
};

ProcessUsage MeasureProcess();

}  // namespace kv::soak
