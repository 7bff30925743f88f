// cli_platform.h: the little the tool asks of the operating system beyond standard C++: local
// calendar time, whether a stream is a terminal, and the command line and file names in UTF-8. Interface only; posix/ and
// win32/ implement it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kv::cli {

// The computer's local calendar time of `seconds` since 1970 UTC, and the zone's offset from UTC
// at that moment; false when the platform cannot break the value down.
bool LocalBreakDown(int64_t seconds, std::tm& local, int32_t& utcOffsetSeconds);
// The seconds since 1970 UTC of a local calendar time, summer time found from the zone's rules.
std::optional<int64_t> LocalMake(const std::tm& local);
// True when `stream` writes to a terminal that moves its cursor on ANSI escapes (on Windows the
// console is asked to here), so the download's progress can be redrawn in place there.
bool IsTerminal(std::FILE* stream);
// The command line's arguments in UTF-8, the program's name first. On Windows they come from the wide
// command line (the C runtime's argv holds only what the ANSI code page can spell); elsewhere they are
// argv as given.
std::vector<std::string> CommandLineUtf8(int argc, char** argv);
// The path that names the file a UTF-8 argument names, for the standard library's file operations
// (on Windows a wide path; elsewhere the bytes as given, which need not be UTF-8).
std::filesystem::path FilePath(const std::string& name);

}  // namespace kv::cli
