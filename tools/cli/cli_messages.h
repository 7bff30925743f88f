// cli_messages.h: the one table that turns a result code into a line a user can act on and into the
// tool's exit status. Names and meanings come from the library's table (result_codes.inc).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kv::cli {

// The tool's exit statuses; each failing code maps to one. Their meanings are the table behind
// ExitStatusHelp (messages.cpp), which --help prints.
enum class ExitStatus : int {
  kOk = 0,
  kFailure = 1,
  kUsage = 2,
  kPort = 3,
  kNoAnswer = 4,
  kProtocol = 5,
  kWrongFamily = 6,
  kInvalidTest = 7,
  kNoBluetooth = 8,
  kOutput = 9,
  kCancelled = 130,  // stopped by the user (Ctrl-C), as shells report SIGINT
};

inline int ToInt(ExitStatus status) { return static_cast<int>(status); }

// "KV_ERR_ECHO", or "code 7" for a value outside the table.
std::string CodeName(int32_t code);
// The library's one-line meaning, or "not a result code of the library".
std::string CodeMeaning(int32_t code);
// What the user can do about it.
std::string_view CodeAdvice(int32_t code);
ExitStatus ExitStatusFor(int32_t code);

// One line: "<what> failed: <meaning> (<name>, <code>); <advice>".
std::string FailureLine(std::string_view what, int32_t code);

// "Exit status: 0 success; 1 ...", written from the table of meanings, for --help.
std::string ExitStatusHelp();

}  // namespace kv::cli
