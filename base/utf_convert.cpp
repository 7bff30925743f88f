// utf_convert.cpp: UTF-8 <-> UTF-16. The decoder checks the second byte against the lead byte
// (Unicode table 3-7), which rules out overlongs, surrogates and values above U+10FFFF in one place.
#include "utf_convert.h"

#include <cstdint>

namespace kv {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }
bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

bool SecondByteAllowed(unsigned char lead, unsigned char second) {
  if (lead == 0xE0) return second >= 0xA0 && second <= 0xBF;
  if (lead == 0xED) return second >= 0x80 && second <= 0x9F;
  if (lead == 0xF0) return second >= 0x90 && second <= 0xBF;
  if (lead == 0xF4) return second >= 0x80 && second <= 0x8F;
  return IsContinuation(second);
}

void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
    return;
  }
  const char32_t v = cp - 0x10000;
  out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
  out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// UTF-16 to UTF-8; a lone surrogate is replaced, or ends the conversion with false when
// `refuse` is set.
bool ToUtf8(std::u16string_view text, std::string& out, bool refuse) {
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      AppendUtf8(
          out, 0x10000 + ((static_cast<char32_t>(unit - 0xD800) << 10) | static_cast<char32_t>(text[i + 1] - 0xDC00)));
      ++i;
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      if (refuse) return false;
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return true;
}

}  // namespace

std::u16string Utf16FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = 0;
    char32_t cp = 0;
    if (lead < 0x80) {
      length = 1;
      cp = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      cp = lead & 0x07;
    } else {  // a stray continuation, C0/C1 (always overlong) or F5..FF
      length = 0;
    }
    // Take the well-formed prefix; the first byte that cannot continue this sequence is left to
    // start the next one.
    size_t taken = 1;
    while (taken < length && i + taken < text.size()) {
      const auto next = static_cast<unsigned char>(text[i + taken]);
      if (!(taken == 1 ? SecondByteAllowed(lead, next) : IsContinuation(next))) break;
      cp = (cp << 6) | (next & 0x3F);
      ++taken;
    }
    AppendUtf16(out, taken == length ? cp : kReplacement);
    i += taken;
  }
  return out;
}

std::string Utf8FromUtf16(std::u16string_view text) {
  std::string out;
  ToUtf8(text, out, false);
  return out;
}

std::optional<std::string> CheckedUtf8FromUtf16(std::u16string_view text) {
  std::string out;
  if (!ToUtf8(text, out, true)) return std::nullopt;
  return out;
}

}  // namespace kv
