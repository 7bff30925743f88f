// result_codes.h: names and meanings of the result codes, generated from result_codes.inc.
#pragma once

#include <cstdint>
#include <span>

namespace kv {

struct ResultCodeInfo {
  int32_t value;
  const char* name;     // "KV_ERR_ECHO"
  const char* meaning;  // one line of text for messages
};

std::span<const ResultCodeInfo> AllResultCodes();
// nullptr for a value that is not in the table.
const ResultCodeInfo* FindResultCode(int32_t value);

}  // namespace kv
