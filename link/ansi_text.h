// ansi_text.h: 8-bit analyser text to wide characters, as the system's ANSI code page reads it.
// Windows asks the code page itself; elsewhere every byte is read as Windows-1252 reads it.
#pragma once

#include <cstdint>
#include <span>

#include "KorvantaSDK.h"

namespace kv::link {

// Writes the wide characters of bytes into out, at most capacity of them and no
// terminator; a zero byte becomes a zero character. Returns the number written.
int32_t DecodeAnsiText(std::span<const uint8_t> bytes, KVWChar* out, int32_t capacity);

// The character Windows-1252 gives a byte. The five bytes that code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control character of the
// same number, as the Windows conversion does.
constexpr char16_t Windows1252Character(uint8_t byte) {
  constexpr char16_t kHighControls[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  return (byte >= 0x80 && byte <= 0x9F) ? kHighControls[byte - 0x80] : static_cast<char16_t>(byte);
}

}  // namespace kv::link
