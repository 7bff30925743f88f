// text_format.h: the setup's text formatting over UTF-16: %s/%d patterns of the string table and
// text cut to a caller's capacity. Pure functions, no platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace kv::bt {

// One argument of FormatText: %s takes a text, %d a number.
struct TextArg {
  TextArg(std::u16string_view value) : text(value) {}
  TextArg(const char16_t* value) : text(value) {}
  TextArg(const std::u16string& value) : text(value) {}
  TextArg(int64_t value) : number(value), isNumber(true) {}
  std::u16string_view text;
  int64_t number = 0;
  bool isNumber = false;
};
// printf-style formatting of %s, %d and %% over UTF-16; arguments are inserted, never re-read as patterns.
std::u16string FormatText(std::u16string_view pattern, std::initializer_list<TextArg> args);
// Text limited to what a buffer of capacity characters holds with its terminator.
std::u16string_view LimitText(std::u16string_view text, size_t capacity);

}  // namespace kv::bt
