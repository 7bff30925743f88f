// messages.h: the one table that turns a result code into a line a user can act on and into the
// tool's exit status. Names and meanings come from the library's table (result_codes.inc).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kv::cli {

// The tool's exit statuses; each failing code maps to one (see --help).
enum class ExitStatus : int {
  kOk = 0,
  kFailure = 1,       // some tests could not be calculated, or another failure
  kUsage = 2,         // bad arguments or unreadable input
  kPort = 3,          // the port cannot be opened or set up
  kNoAnswer = 4,      // the analyser does not answer
  kProtocol = 5,      // the analyser answers wrongly
  kWrongFamily = 6,   // the analyser or model is of the other kind
  kInvalidTest = 7,   // the calculation refused the test
  kNoBluetooth = 8,   // no Bluetooth radio, or a Bluetooth step failed
  kOutput = 9,        // the output file cannot be written
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

// The line of the table of exit statuses for --help.
std::string ExitStatusHelp();

}  // namespace kv::cli
