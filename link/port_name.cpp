// port_name.cpp: the port-name rules of KVOpenComport and the POSIX spelling of Windows device
// paths. Pure text work; which rule applies is the backend's PathStyle, never an #ifdef.
#include "link/port_name.h"

namespace kv::link {

namespace {

constexpr std::u16string_view kDevicePrefix = u"\\\\.\\";  // \\.\ (the four characters)
constexpr std::u16string_view kComPrefix = u"\\\\.\\COM";

// UTF-16 to UTF-8; nullopt for an unpaired surrogate.
std::optional<std::string> Utf8Of(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF) {
      if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return std::nullopt;
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00u);
    } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
      return std::nullopt;
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

// The n of "COM<n>" when the whole text is COM and decimal digits of a number from 1; else 0.
uint32_t ComNumberOf(std::u16string_view name) {
  constexpr std::u16string_view kCom = u"COM";
  if (name.size() <= kCom.size() || name.substr(0, kCom.size()) != kCom) return 0;
  uint64_t n = 0;
  for (char16_t c : name.substr(kCom.size())) {
    if (c < u'0' || c > u'9') return 0;
    n = n * 10 + static_cast<uint32_t>(c - u'0');
    if (n > 0xFFFFFFFFu) return 0;
  }
  return static_cast<uint32_t>(n);
}

}  // namespace

std::optional<std::u16string> DevicePathFor(std::u16string_view portName, PathStyle style) {
  std::u16string path;
  if (portName.find(kDevicePrefix) != std::u16string_view::npos ||
      (style == PathStyle::kPosix && portName.find(u'/') != std::u16string_view::npos)) {
    path = portName;
  } else {
    path.reserve(kComPrefix.size() + portName.size());
    path.append(kComPrefix).append(portName);
  }
  if (path.size() > kDevicePathMaxChars) return std::nullopt;
  return path;
}

std::optional<std::string> PosixFileFor(std::u16string_view devicePath) {
  if (devicePath.substr(0, kDevicePrefix.size()) != kDevicePrefix) return Utf8Of(devicePath);
  const std::u16string_view name = devicePath.substr(kDevicePrefix.size());
  if (const uint32_t n = ComNumberOf(name); n != 0) return "/dev/ttyS" + std::to_string(n - 1);
  std::optional<std::string> rest = Utf8Of(name);
  if (!rest) return std::nullopt;
  return "/dev/" + *rest;
}

}  // namespace kv::link
