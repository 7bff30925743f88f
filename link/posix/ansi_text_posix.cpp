// ansi_text_posix.cpp: no system ANSI code page here, so bytes read as Windows-1252,
// the code page of the analysers' usual hosts; no locale is consulted.
#include "link/ansi_text.h"

namespace kv::link {

int32_t DecodeAnsiText(std::span<const uint8_t> bytes, KVWChar* out, int32_t capacity) {
  int32_t written = 0;
  for (uint8_t byte : bytes) {
    if (written >= capacity) break;
    out[written++] = static_cast<KVWChar>(Windows1252Character(byte));
  }
  return written;
}

}  // namespace kv::link
