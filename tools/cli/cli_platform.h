// cli_platform.h: the little the tool asks of the operating system beyond standard C++: local
// calendar time, whether a stream is a terminal, and file names as UTF-8. Interface only; posix/ and
// win32/ implement it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>

namespace kv::cli {

// The computer's local calendar time of `seconds` since 1970 UTC, and the zone's offset from UTC
// at that moment; false when the platform cannot break the value down.
bool LocalBreakDown(int64_t seconds, std::tm& local, int32_t& utcOffsetSeconds);
// The seconds since 1970 UTC of a local calendar time, summer time found from the zone's rules.
std::optional<int64_t> LocalMake(const std::tm& local);
// True when `stream` writes to a terminal that moves its cursor on ANSI escapes (on Windows the
// console is asked to here), so the download's progress can be redrawn in place there.
bool IsTerminal(std::FILE* stream);
// A file name from the command line in UTF-8, as SQLite takes it. On Windows the C runtime gives the
// arguments, and opens files by them, in the ANSI code page, so "é" must be re-encoded to name the file
// the other options would; elsewhere the name passes unchanged.
std::string FileNameAsUtf8(const std::string& name);

}  // namespace kv::cli
