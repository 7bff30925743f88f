// text_format.cpp: FormatText and LimitText. A missing argument prints as nothing and an unknown
// conversion is copied as it stands, so a string table text can never make the formatting read past its arguments.
#include "bluetooth/text_format.h"

#include <algorithm>

namespace kv::bt {

std::u16string_view LimitText(std::u16string_view text, size_t capacity) {
  if (capacity == 0) return {};
  return text.substr(0, std::min(text.size(), capacity - 1));
}

std::u16string FormatText(std::u16string_view pattern, std::initializer_list<TextArg> args) {
  std::u16string out;
  out.reserve(pattern.size() + 64);
  const TextArg* next = args.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char16_t unit = pattern[i];
    if (unit != u'%' || i + 1 == pattern.size()) {
      out.push_back(unit);
      continue;
    }
    const char16_t kind = pattern[i + 1];
    if (kind == u'%') {
      out.push_back(u'%');
      ++i;
    } else if (kind == u's' || kind == u'd') {
      ++i;
      if (next == args.end()) continue;  // a missing argument prints as nothing
      const TextArg& arg = *next++;
      if (arg.isNumber) {
        const std::string digits = std::to_string(arg.number);
        out.append(digits.begin(), digits.end());
      } else {
        out.append(arg.text);
      }
    } else {
      out.push_back(unit);
    }
  }
  return out;
}

}  // namespace kv::bt
