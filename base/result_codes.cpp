// result_codes.cpp: the lookup table of result codes, expanded from result_codes.inc.
#include "result_codes.h"

#include <array>

namespace kv {
namespace {

#define KV_RESULT_CODE(name, value, meaning) ResultCodeInfo{value, #name, meaning},
constexpr std::array kResultCodes{
#include "result_codes.inc"
};
#undef KV_RESULT_CODE

}  // namespace

std::span<const ResultCodeInfo> AllResultCodes() { return kResultCodes; }

const ResultCodeInfo* FindResultCode(int32_t value) {
  for (const ResultCodeInfo& info : kResultCodes) {
    if (info.value == value) return &info;
  }
  return nullptr;
}

}  // namespace kv
