// port_name.h: from the port name a host passes to KVOpenComport to the device path a backend
// opens. Plain functions of text, the same on every platform; nothing here opens anything.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "link/serial_port.h"

namespace kv::link {

// The device path is built in 512 wide characters: 511 and the terminator.
inline constexpr size_t kDevicePathMaxChars = 511;

// A name holding "\\.\" anywhere is the device path itself; any other name is put behind
// "\\.\COM" (so "12" names COM12 and "COM7" names the port "COMCOM7", which does not exist).
// With PathStyle::kPosix, a name holding '/' is a device path used unchanged as well.
// nullopt when the path would not fit in kDevicePathMaxChars.
std::optional<std::u16string> DevicePathFor(std::u16string_view portName, PathStyle style);

// The file a POSIX backend opens for a device path, mapped as Wine and Cygwin map Windows
// names: "\\.\COM<n>" (n from 1) to /dev/ttyS<n-1>, any other "\\.\NAME" to /dev/NAME, and
// any other path (a '/' path) unchanged. UTF-8. nullopt for text that is not valid UTF-16.
std::optional<std::string> PosixFileFor(std::u16string_view devicePath);

}  // namespace kv::link
