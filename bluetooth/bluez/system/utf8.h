// utf8.h: UTF-8 (D-Bus strings, command lines) to and from UTF-16 (the kit's wide text). Ill-formed
// input never stops a conversion: each bad sequence or lone surrogate becomes U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace kv::bt::bluez {

std::u16string Utf16FromUtf8(std::string_view text);
std::string Utf8FromUtf16(std::u16string_view text);

}  // namespace kv::bt::bluez
