// wide_text.h: copying UTF-16 text into a caller's buffer, never past its capacity.
#pragma once

#include <cstdint>
#include <string_view>

#include "KorvantaSDK.h"

namespace kv {

// Copies text and a terminating zero into buffer when both fit in capacity
// characters; returns false and writes nothing otherwise.
inline bool CopyTerminated(std::u16string_view text, KVWChar* buffer, int32_t capacity) {
  if (buffer == nullptr || capacity < 1 || text.size() + 1 > static_cast<uint32_t>(capacity)) return false;
  for (char16_t unit : text) *buffer++ = static_cast<KVWChar>(unit);
  *buffer = 0;
  return true;
}

// Copies as much of text as fits with its terminator; a capacity below 1 writes nothing.
inline void CopyTruncated(std::u16string_view text, KVWChar* buffer, int32_t capacity) {
  if (buffer == nullptr || capacity < 1) return;
  const size_t room = static_cast<size_t>(capacity) - 1;
  if (text.size() > room) text = text.substr(0, room);
  for (char16_t unit : text) *buffer++ = static_cast<KVWChar>(unit);
  *buffer = 0;
}

// Length of a zero-terminated wide text, as UTF-16.
inline std::u16string_view ViewOf(const KVWChar* text) {
  if (text == nullptr) return {};
  const KVWChar* end = text;
  while (*end != 0) ++end;
  static_assert(sizeof(KVWChar) == sizeof(char16_t));
  return {reinterpret_cast<const char16_t*>(text), static_cast<size_t>(end - text)};
}

}  // namespace kv
