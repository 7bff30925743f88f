// platform_posix.cpp: local time and terminal detection over POSIX. No tool logic here.
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "cli_platform.h"

namespace kv::cli {

bool LocalBreakDown(int64_t seconds, std::tm& local, int32_t& utcOffsetSeconds) {
  const auto value = static_cast<time_t>(seconds);
  if (static_cast<int64_t>(value) != seconds) return false;
  if (localtime_r(&value, &local) == nullptr) return false;
  utcOffsetSeconds = static_cast<int32_t>(local.tm_gmtoff);
  return true;
}

std::optional<int64_t> LocalMake(const std::tm& local) {
  std::tm copy = local;
  copy.tm_isdst = -1;
  const time_t value = mktime(&copy);
  // mktime's error value is also a valid second; a round trip tells them apart.
  if (value == static_cast<time_t>(-1) && (copy.tm_year != 69 || copy.tm_yday != 364)) return std::nullopt;
  return static_cast<int64_t>(value);
}

bool IsTerminal(std::FILE* stream) {
  // A "dumb" terminal (an editor's shell buffer) shows escapes as text.
  const char* term = std::getenv("TERM");
  return isatty(fileno(stream)) == 1 && (term == nullptr || std::strcmp(term, "dumb") != 0);
}

std::vector<std::string> CommandLineUtf8(int argc, char** argv) { return {argv, argv + argc}; }

std::filesystem::path FilePath(const std::string& name) { return name; }

}  // namespace kv::cli
