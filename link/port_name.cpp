// port_name.cpp: the port-name rules of KVOpenComport and the POSIX spelling of Windows device
// paths. Pure text work; which rule applies is the backend's PathStyle, never an #ifdef.
#include "link/port_name.h"

#include "utf_convert.h"

namespace kv::link {

namespace {

constexpr std::u16string_view kDevicePrefix = u"\\\\.\\";  // \\.\ (the four characters)
constexpr std::u16string_view kComPrefix = u"\\\\.\\COM";

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
  if (devicePath.substr(0, kDevicePrefix.size()) != kDevicePrefix) return CheckedUtf8FromUtf16(devicePath);
  const std::u16string_view name = devicePath.substr(kDevicePrefix.size());
  if (const uint32_t n = ComNumberOf(name); n != 0) return "/dev/ttyS" + std::to_string(n - 1);
  std::optional<std::string> rest = CheckedUtf8FromUtf16(name);
  if (!rest) return std::nullopt;
  return "/dev/" + *rest;
}

}  // namespace kv::link
