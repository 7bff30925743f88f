// cli_platform.h: the little the tool asks of the operating system beyond standard C++: local
// calendar time and whether a stream is a terminal. Interface only; posix/ and win32/ implement it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <optional>

namespace kv::cli {

// The computer's local calendar time of `seconds` since 1970 UTC, and the zone's offset from UTC
// at that moment; false when the platform cannot break the value down.
bool LocalBreakDown(int64_t seconds, std::tm& local, int32_t& utcOffsetSeconds);
// The seconds since 1970 UTC of a local calendar time, summer time found from the zone's rules.
std::optional<int64_t> LocalMake(const std::tm& local);
// True when `stream` writes to a terminal that moves its cursor on ANSI escapes (on Windows the
// console is asked to here), so the download's progress can be redrawn in place there.
bool IsTerminal(std::FILE* stream);

}  // namespace kv::cli
