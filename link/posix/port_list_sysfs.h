// port_list_sysfs.h: the Linux port list read from a sysfs tree, for the native lister and its tests.
#pragma once

#include <string>
#include <vector>

#include "link/port_list.h"

namespace kv::link {

// The ports under sysRoot/class/tty (sysRoot is "/sys" on a running system). Ports with a device
// behind them only: USB serial adapters with their USB device's ids and strings, rfcomm ports with
// their remote address, built-in UARTs whose device has a driver and a known UART type.
std::vector<PortDescription> ListSysfsPorts(const std::string& sysRoot);

}  // namespace kv::link
