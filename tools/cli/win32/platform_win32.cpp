// platform_win32.cpp: local time and terminal detection over the Windows C runtime. No tool logic here.
#include <io.h>
#include <time.h>
#include <windows.h>

#include "cli_platform.h"

namespace kv::cli {

bool LocalBreakDown(int64_t seconds, std::tm& local, int32_t& utcOffsetSeconds) {
  const __time64_t value = seconds;
  if (_localtime64_s(&local, &value) != 0) return false;
  std::tm asUtc = local;
  const __time64_t wallClock = _mkgmtime64(&asUtc);
  if (wallClock == -1) return false;
  utcOffsetSeconds = static_cast<int32_t>(wallClock - value);
  return true;
}

std::optional<int64_t> LocalMake(const std::tm& local) {
  std::tm copy = local;
  copy.tm_isdst = -1;
  const __time64_t value = _mktime64(&copy);
  if (value == -1) return std::nullopt;
  return static_cast<int64_t>(value);
}

bool IsTerminal(std::FILE* stream) {
  if (_isatty(_fileno(stream)) == 0) return false;
  // Consoles before Windows 10 do not know the escapes; one that refuses them counts as no terminal.
  const auto console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  return GetConsoleMode(console, &mode) != 0 &&
         SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

}  // namespace kv::cli
