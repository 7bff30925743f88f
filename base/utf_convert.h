// utf_convert.h: the one UTF-8 <-> UTF-16 converter of the library and the tool. Ill-formed input
// becomes U+FFFD, one per maximal ill-formed subpart (the Unicode best practice), so a broken byte
// never swallows the characters after it; the checked variant refuses ill-formed text instead.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kv {

std::u16string Utf16FromUtf8(std::string_view text);
// A lone high or low surrogate becomes U+FFFD.
std::string Utf8FromUtf16(std::u16string_view text);
// nullopt for text holding a lone surrogate: for callers that must not act on a substitute
// (a file name to open is one).
std::optional<std::string> CheckedUtf8FromUtf16(std::u16string_view text);

}  // namespace kv
