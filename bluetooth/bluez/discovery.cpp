// discovery.cpp: SetDiscoveryFilter, StartDiscovery, serving the bus, StopDiscovery.
#include "bluetooth/bluez/discovery.h"

#include <algorithm>

namespace kv::bt::bluez {
namespace {

constexpr const char* kAdapterInterface = "org.bluez.Adapter1";

// The analysers are classic (BR/EDR) serial port devices: asking for that transport keeps low-energy
// advertisers out of the list and lets BlueZ run an inquiry.
int AppendClassicFilter(sd_bus_message* message) {
  return sd_bus_message_append(message, "a{sv}", 1, "Transport", "s", "bredr");
}

}  // namespace

bool Discover(Bus& bus, const std::vector<std::string>& adapters, std::chrono::milliseconds duration,
              std::chrono::milliseconds step, const std::function<bool()>& found, DbusError& error) {
  error = {};
  std::vector<std::string> started;
  for (const std::string& adapter : adapters) {
    DbusError failure;
    // A refused filter still leaves a plain discovery, which finds classic devices too.
    bus.Call(adapter, kAdapterInterface, "SetDiscoveryFilter", AppendClassicFilter, kCallTimeout, failure);
    bus.Call(adapter, kAdapterInterface, "StartDiscovery", {}, kCallTimeout, failure);
    if (failure.Failed()) {
      if (!error.Failed()) error = failure;
      continue;
    }
    started.push_back(adapter);
  }
  if (started.empty()) return adapters.empty();
  error = {};

  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + duration;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    const bool last = !found || left <= step;
    if (!bus.Serve(last ? std::max(left, std::chrono::milliseconds(0)) : step)) break;
    if (last || (found && found())) break;
  }
  for (const std::string& adapter : started) {
    DbusError ignored;
    bus.Call(adapter, kAdapterInterface, "StopDiscovery", {}, kCallTimeout, ignored);
  }
  return true;
}

std::optional<DeviceObject> FindOrRediscover(Bus& bus, uint64_t address, std::chrono::milliseconds limit,
                                             std::chrono::milliseconds step, DbusError& error) {
  std::optional<ObjectTree> tree = ReadObjectTree(bus, error);
  if (!tree) return std::nullopt;
  if (const DeviceObject* device = tree->FindDevice(address)) return *device;

  std::vector<std::string> adapters;
  for (const AdapterObject& adapter : tree->adapters) adapters.push_back(adapter.path);
  std::optional<DeviceObject> seen;
  const auto look = [&] {
    DbusError ignored;
    if (const std::optional<ObjectTree> now = ReadObjectTree(bus, ignored)) {
      if (const DeviceObject* device = now->FindDevice(address)) seen = *device;
    }
    return seen.has_value();
  };
  if (!Discover(bus, adapters, limit, step, look, error)) return std::nullopt;
  if (!seen) look();
  return seen;
}

}  // namespace kv::bt::bluez
