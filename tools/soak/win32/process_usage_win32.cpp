// process_usage_win32.cpp: the process's handle count and working set, as Task Manager shows them.
// Wine answers GetProcessHandleCount with 0, so there the handles are counted in the system's list.
#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <vector>

#include "process_usage.h"

namespace kv::soak {
namespace {

// One row of the system handle list (information class 16), as ntdll lays it out.
struct HandleEntry {
  ULONG ownerPid;
  BYTE objectType;
  BYTE flags;
  USHORT value;
  PVOID object;
  ACCESS_MASK access;
};
constexpr ULONG kSystemHandleInformation = 16;
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);

int64_t CountListedHandles() {
  std::vector<unsigned char> buffer(1 << 16);
  for (;;) {
    const NTSTATUS status = ::NtQuerySystemInformation(static_cast<SYSTEM_INFORMATION_CLASS>(kSystemHandleInformation),
                                                       buffer.data(), static_cast<ULONG>(buffer.size()), nullptr);
    if (status == kInfoLengthMismatch && buffer.size() < (1u << 28)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (status < 0) return -1;
    break;
  }
  const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
  const auto* entries = reinterpret_cast<const HandleEntry*>(buffer.data() + sizeof(void*));
  const ULONG self = ::GetCurrentProcessId();
  int64_t mine = 0;
  for (ULONG i = 0; i < count; ++i) mine += entries[i].ownerPid == self;
  return mine;
}

}  // namespace

ProcessUsage MeasureProcess() {
  ProcessUsage usage;
  DWORD handles = 0;
  if (::GetProcessHandleCount(::GetCurrentProcess(), &handles) && handles > 0) {
    usage.descriptors = handles;
  } else {
    usage.descriptors = CountListedHandles();
  }
  PROCESS_MEMORY_COUNTERS counters{};
  if (::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)) {
    usage.residentKib = static_cast<int64_t>(counters.WorkingSetSize / 1024);
  }
  return usage;
}

}  // namespace kv::soak
