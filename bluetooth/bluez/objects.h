// objects.h: BlueZ's object tree as the backend reads it (ObjectManager.GetManagedObjects on "/"):
// adapters (org.bluez.Adapter1) and devices (org.bluez.Device1) with the properties the setup uses.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bluetooth/bluez/bus.h"
#include "bluetooth/platform.h"

namespace kv::bt::bluez {

struct AdapterObject {
  std::string path;
  uint64_t address = 0;
  std::string name;
  std::string alias;
  uint32_t classOfDevice = 0;
  bool powered = false;
};

struct DeviceObject {
  std::string path;
  std::string adapterPath;
  BtDeviceRecord record;  // address, class, connected, remembered, authenticated, name
  bool trusted = false;
};

struct ObjectTree {
  std::vector<AdapterObject> adapters;
  std::vector<DeviceObject> devices;
  const DeviceObject* FindDevice(uint64_t address) const;
  const AdapterObject* FindAdapter(std::string_view path) const;
};

// The tree now; std::nullopt with the error when BlueZ could not be asked.
std::optional<ObjectTree> ReadObjectTree(Bus& bus, DbusError& error);

// "00:11:22:33:44:AA" (either case) to the 48-bit layout whose byte 0 is the last octet.
std::optional<uint64_t> ParseAddress(std::string_view text);
// The device's record as a platform record: Paired is authenticated; paired, trusted or bonded is
// remembered; Name (never Alias, which falls back to the address) cut to kMaxDeviceNameUnits units.
BtDeviceRecord RecordOf(uint64_t address, uint32_t classOfDevice, bool connected, bool paired, bool trusted,
                        bool bonded, std::string_view utf8Name);

}  // namespace kv::bt::bluez
