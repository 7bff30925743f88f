// platform_win32.cpp: local time, terminal detection and file-name encoding over the Windows C runtime and
// API. No tool logic here.
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

std::string FileNameAsUtf8(const std::string& name) {
  if (name.empty()) return name;
  const int length = static_cast<int>(name.size());
  const int units = MultiByteToWideChar(CP_ACP, 0, name.data(), length, nullptr, 0);
  std::wstring wide(static_cast<size_t>(units), L'\0');
  MultiByteToWideChar(CP_ACP, 0, name.data(), length, wide.data(), units);
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, utf8.data(), bytes, nullptr, nullptr);
  return utf8;
}

}  // namespace kv::cli
