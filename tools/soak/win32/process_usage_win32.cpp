// process_usage_win32.cpp: the process's handle count and working set, as Task Manager shows them.
#include <windows.h>
#include <psapi.h>

#include "process_usage.h"

namespace kv::soak {

ProcessUsage MeasureProcess() {
  ProcessUsage usage;
  DWORD handles = 0;
  if (::GetProcessHandleCount(::GetCurrentProcess(), &handles)) usage.descriptors = handles;
  PROCESS_MEMORY_COUNTERS counters{};
  if (::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)) {
    usage.residentKib = static_cast<int64_t>(counters.WorkingSetSize / 1024);
  }
  return usage;
}

}  // namespace kv::soak
