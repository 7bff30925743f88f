// messages.h: the portable table of the message texts, generated from messages.inc at compile time.
// Platforms without a string table (and the tests) read the texts here; nothing else defines a text.
#pragma once

#include <cstdint>
#include <string_view>

namespace kv {

enum MessageId : uint32_t {
#define KV_MESSAGE(number, symbol, text) symbol = (number),
#include "messages.inc"
#undef KV_MESSAGE
};

struct MessageEntry {
  uint32_t number;
  std::u16string_view text;
};

inline constexpr MessageEntry kMessageTable[] = {
#define KV_MESSAGE(number, symbol, text) {(number), u"" text},
#include "messages.inc"
#undef KV_MESSAGE
};

// The text of a message, or an empty view for a number that is not in the table.
constexpr std::u16string_view FindMessageText(uint32_t number) {
  for (const MessageEntry& entry : kMessageTable) {
    if (entry.number == number) return entry.text;
  }
  return {};
}

}  // namespace kv
