// ansi_text_win32.cpp: bytes through the system's ANSI code page (MultiByteToWideChar).
// The conversion's failure is not reported: what it wrote is what the caller gets.
#include <windows.h>

#include "link/ansi_text.h"

namespace kv::link {

int32_t DecodeAnsiText(std::span<const uint8_t> bytes, KVWChar* out, int32_t capacity) {
  if (bytes.empty() || capacity <= 0) return 0;
  const int written = MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(bytes.data()),
                                          static_cast<int>(bytes.size()), out, capacity);
  return written > 0 ? written : 0;
}

}  // namespace kv::link
