// platform_win32.cpp: local time, terminal detection, the command line and file names in UTF-8 over the Windows C runtime and
// API. No tool logic here.
#include <io.h>
#include <time.h>
#include <windows.h>
#include <shellapi.h>

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

std::vector<std::string> CommandLineUtf8(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr || count != argc) {  // not expected; the C runtime's arguments then
    if (wide != nullptr) LocalFree(wide);
    return {argv, argv + argc};
  }
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes > 0 ? bytes : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, utf8.data(), bytes, nullptr, nullptr);
    utf8.resize(utf8.size() - 1);  // the terminator
    arguments.push_back(std::move(utf8));
  }
  LocalFree(wide);
  return arguments;
}

std::filesystem::path FilePath(const std::string& name) {
  return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

}  // namespace kv::cli
