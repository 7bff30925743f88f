// discovery.h: running a BlueZ discovery on a set of adapters for a while, with StopDiscovery on every
// path out, and finding a device again by address when BlueZ has dropped it since the last search.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bluetooth/bluez/bus.h"
#include "bluetooth/bluez/objects.h"

namespace kv::bt::bluez {

// Discovery (classic transport) on each adapter for duration, served in steps; between steps,
// found() may end it early. Adapters that fail to start are skipped; the error is the first
// failure, and it is only returned (as false) when no adapter started.
bool Discover(Bus& bus, const std::vector<std::string>& adapters, std::chrono::milliseconds duration,
              std::chrono::milliseconds step, const std::function<bool()>& found, DbusError& error);

// The device with this address in the tree now, else after a discovery on every adapter of at most
// limit; std::nullopt when it did not reappear (error says why when BlueZ could not be asked).
std::optional<DeviceObject> FindOrRediscover(Bus& bus, uint64_t address, std::chrono::milliseconds limit,
                                             std::chrono::milliseconds step, DbusError& error);

}  // namespace kv::bt::bluez
