// objects.cpp: reading GetManagedObjects' a{oa{sa{sv}}} into adapters and devices. Properties of
// other types than expected are skipped, not trusted: the tree is another process's data.
#include "bluetooth/bluez/objects.h"

#include <cctype>

#include "utf_convert.h"

namespace kv::bt::bluez {
namespace {

constexpr const char* kAdapterInterface = "org.bluez.Adapter1";
constexpr const char* kDeviceInterface = "org.bluez.Device1";

// The properties of one interface, as far as the backend needs them.
struct Properties {
  std::string address;
  std::string name;
  std::string alias;
  std::string adapter;
  uint32_t classOfDevice = 0;
  bool powered = false;
  bool connected = false;
  bool paired = false;
  bool trusted = false;
  bool bonded = false;
};

int ReadString(sd_bus_message* message, const char* contents, std::string& out) {
  const char* value = nullptr;
  const int result = sd_bus_message_read(message, "v", contents, &value);
  if (result >= 0 && value != nullptr) out = value;
  return result;
}

int ReadBool(sd_bus_message* message, bool& out) {
  int value = 0;
  const int result = sd_bus_message_read(message, "v", "b", &value);
  if (result >= 0) out = value != 0;
  return result;
}

// One "{sv}" entry inside a{sv}.
int ReadProperty(sd_bus_message* message, Properties& properties) {
  const char* key = nullptr;
  int result = sd_bus_message_read(message, "s", &key);
  if (result < 0) return result;
  const std::string_view name = key != nullptr ? key : "";
  char type = 0;
  const char* contents = nullptr;
  result = sd_bus_message_peek_type(message, &type, &contents);
  if (result < 0) return result;
  const std::string_view inner = contents != nullptr ? contents : "";
  if (inner == "s" && name == "Address") return ReadString(message, "s", properties.address);
  if (inner == "s" && name == "Name") return ReadString(message, "s", properties.name);
  if (inner == "s" && name == "Alias") return ReadString(message, "s", properties.alias);
  if (inner == "o" && name == "Adapter") return ReadString(message, "o", properties.adapter);
  if (inner == "u" && name == "Class") return sd_bus_message_read(message, "v", "u", &properties.classOfDevice);
  if (inner == "b" && name == "Powered") return ReadBool(message, properties.powered);
  if (inner == "b" && name == "Connected") return ReadBool(message, properties.connected);
  if (inner == "b" && name == "Paired") return ReadBool(message, properties.paired);
  if (inner == "b" && name == "Trusted") return ReadBool(message, properties.trusted);
  if (inner == "b" && name == "Bonded") return ReadBool(message, properties.bonded);
  return sd_bus_message_skip(message, "v");
}

int ReadProperties(sd_bus_message* message, Properties& properties) {
  int result = sd_bus_message_enter_container(message, 'a', "{sv}");
  if (result < 0) return result;
  while ((result = sd_bus_message_enter_container(message, 'e', "sv")) > 0) {
    result = ReadProperty(message, properties);
    if (result < 0) return result;
    result = sd_bus_message_exit_container(message);
    if (result < 0) return result;
  }
  if (result < 0) return result;
  return sd_bus_message_exit_container(message);
}

// One "{oa{sa{sv}}}" entry: an object path and its interfaces.
int ReadObject(sd_bus_message* message, ObjectTree& tree) {
  const char* path = nullptr;
  int result = sd_bus_message_read(message, "o", &path);
  if (result < 0) return result;
  result = sd_bus_message_enter_container(message, 'a', "{sa{sv}}");
  if (result < 0) return result;
  while ((result = sd_bus_message_enter_container(message, 'e', "sa{sv}")) > 0) {
    const char* interface = nullptr;
    result = sd_bus_message_read(message, "s", &interface);
    if (result < 0) return result;
    const std::string_view name = interface != nullptr ? interface : "";
    if (name == kAdapterInterface || name == kDeviceInterface) {
      Properties properties;
      result = ReadProperties(message, properties);
      if (result < 0) return result;
      const std::optional<uint64_t> address = ParseAddress(properties.address);
      if (name == kAdapterInterface) {
        tree.adapters.push_back({path, address.value_or(0), properties.name, properties.alias,
                                 properties.classOfDevice, properties.powered});
      } else if (address) {  // a device without a readable address cannot be asked for again
        DeviceObject device;
        device.path = path;
        device.adapterPath = properties.adapter;
        device.trusted = properties.trusted;
        device.record = RecordOf(*address, properties.classOfDevice, properties.connected, properties.paired,
                                 properties.trusted, properties.bonded, properties.name);
        tree.devices.push_back(std::move(device));
      }
    } else {
      result = sd_bus_message_skip(message, "a{sv}");
      if (result < 0) return result;
    }
    result = sd_bus_message_exit_container(message);
    if (result < 0) return result;
  }
  if (result < 0) return result;
  return sd_bus_message_exit_container(message);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

const DeviceObject* ObjectTree::FindDevice(uint64_t address) const {
  for (const DeviceObject& device : devices) {
    if (device.record.address == address) return &device;
  }
  return nullptr;
}

const AdapterObject* ObjectTree::FindAdapter(std::string_view path) const {
  for (const AdapterObject& adapter : adapters) {
    if (adapter.path == path) return &adapter;
  }
  return nullptr;
}

std::optional<ObjectTree> ReadObjectTree(Bus& bus, DbusError& error) {
  const Message reply =
      bus.Call("/", "org.freedesktop.DBus.ObjectManager", "GetManagedObjects", {}, kCallTimeout, error);
  if (!reply) return std::nullopt;
  ObjectTree tree;
  sd_bus_message* message = reply.get();
  int result = sd_bus_message_enter_container(message, 'a', "{oa{sa{sv}}}");
  while (result >= 0 && (result = sd_bus_message_enter_container(message, 'e', "oa{sa{sv}}")) > 0) {
    result = ReadObject(message, tree);
    if (result >= 0) result = sd_bus_message_exit_container(message);
  }
  if (result < 0) {
    error = ErrnoError(result, "GetManagedObjects reply");
    return std::nullopt;
  }
  return tree;
}

std::optional<uint64_t> ParseAddress(std::string_view text) {
  // Six two-digit groups separated by ':'; the first printed octet is the most significant.
  if (text.size() != 17) return std::nullopt;
  uint64_t address = 0;
  for (size_t group = 0; group < 6; ++group) {
    const size_t at = group * 3;
    if (group > 0 && text[at - 1] != ':') return std::nullopt;
    const int high = HexDigit(text[at]);
    const int low = HexDigit(text[at + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    address = (address << 8) | static_cast<uint64_t>(high * 16 + low);
  }
  return address;
}

BtDeviceRecord RecordOf(uint64_t address, uint32_t classOfDevice, bool connected, bool paired, bool trusted,
                        bool bonded, std::string_view utf8Name) {
  BtDeviceRecord record;
  record.address = address;
  record.classOfDevice = classOfDevice;
  record.connected = connected;
  record.authenticated = paired;
  record.remembered = paired || trusted || bonded;
  record.name = Utf16FromUtf8(utf8Name);
  if (record.name.size() > kMaxDeviceNameUnits) {
    size_t cut = kMaxDeviceNameUnits;
    // Never leave half of a surrogate pair at the end.
    if (record.name[cut - 1] >= 0xD800 && record.name[cut - 1] <= 0xDBFF) --cut;
    record.name.resize(cut);
  }
  return record;
}

}  // namespace kv::bt::bluez
