// pairing_bluez.cpp: pairing with the PIN through an agent of our own, the serial port service
// (trust, a client profile, ConnectProfile, the handed-over socket made a TTY) and removal.
// Whatever is registered with BlueZ during an operation is unregistered before it returns.
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "bluetooth/bluez/discovery.h"
#include "bluetooth/bluez/exported_objects.h"
#include "bluetooth/bluez/objects.h"
#include "bluetooth/bluez/platform_bluez.h"
#include "utf_convert.h"

namespace kv::bt::bluez {
namespace {

constexpr const char* kManagerPath = "/org/bluez";
constexpr const char* kAgentPath = "/org/korvanta/sdk/agent";
constexpr const char* kProfilePath = "/org/korvanta/sdk/serial_port";
constexpr const char* kAgentCapability = "KeyboardDisplay";
constexpr const char* kProfileName = "Korvanta serial port";
constexpr std::chrono::seconds kLateConnection{2};

// "00001101-0000-1000-8000-00805f9b34fb": a service class as BlueZ writes UUIDs.
std::string UuidText(const BtGuid& guid) {
  char text[37];
  std::snprintf(text, sizeof text, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", guid.data1, guid.data2,
                guid.data3, guid.data4[0], guid.data4[1], guid.data4[2], guid.data4[3], guid.data4[4],
                guid.data4[5], guid.data4[6], guid.data4[7]);
  return text;
}

// Registers an object path with one of BlueZ's managers and unregisters it when leaving scope.
class Registration {
 public:
  Registration(Bus& bus, const char* interface, const char* unregister, std::string path)
      : m_bus(bus), m_interface(interface), m_unregister(unregister), m_path(std::move(path)) {}
  ~Registration() {
    if (!m_active) return;
    DbusError ignored;
    const std::string path = m_path;
    m_bus.Call(kManagerPath, m_interface, m_unregister,
               [&path](sd_bus_message* message) { return sd_bus_message_append(message, "o", path.c_str()); },
               kCallTimeout, ignored);
  }
  Registration(const Registration&) = delete;
  Registration& operator=(const Registration&) = delete;
  bool Register(const char* member, const AppendArguments& append, DbusError& error) {
    m_bus.Call(kManagerPath, m_interface, member, append, kCallTimeout, error);
    m_active = !error.Failed();
    return m_active;
  }

 private:
  Bus& m_bus;
  const char* m_interface;
  const char* m_unregister;
  std::string m_path;
  bool m_active = false;
};

std::vector<RfcommDevice> PortsOf(RfcommTty& rfcomm, uint64_t address) {
  std::vector<RfcommDevice> ports;
  if (const std::optional<std::vector<RfcommDevice>> all = rfcomm.List()) {
    for (const RfcommDevice& device : *all) {
      if (device.address == address) ports.push_back(device);
    }
  }
  return ports;
}

}  // namespace

uint32_t BluezPlatform::AuthenticateDevice(KVWindowHandle /*owner*/, BtRadio /*radio*/, BtDeviceRecord& device,
                                           std::u16string_view pin) {
  const std::unique_ptr<Bus> bus = OpenBus();
  if (!bus) return kRpcServerUnavailable;
  DbusError error;
  // BlueZ forgets an unpaired device about half a minute after a discovery: look for it again.
  const std::optional<DeviceObject> found = FindOrRediscover(*bus, device.address, m_timings.rediscoveryLimit,
                                                             m_timings.rediscoveryStep, error);
  if (!found) return error.Failed() ? Fail(error, Step::kGeneral) : Fail(kErrorNotFound, {});

  // BlueZ asks the agent of the connection that called Pair, so it is exported and registered here.
  const PinAgent agent(*bus, kAgentPath, Utf8FromUtf16(pin));
  if (!agent.Exported()) return Fail(kErrorGenFailure, u"The pairing agent could not be exported.");
  {
    Registration registration(*bus, "org.bluez.AgentManager1", "UnregisterAgent", kAgentPath);
    const bool registered = registration.Register(
        "RegisterAgent",
        [](sd_bus_message* message) { return sd_bus_message_append(message, "os", kAgentPath, kAgentCapability); },
        error);
    if (!registered) return Fail(error, Step::kGeneral);
    bus->Call(found->path, "org.bluez.Device1", "Pair", {}, m_timings.pairTimeout, error);
  }
  const uint32_t code = Fail(error, Step::kPairing);
  if (code != kErrorSuccess) return code;
  device.authenticated = true;
  device.remembered = true;
  return kErrorSuccess;
}

uint32_t BluezPlatform::SetServiceState(BtRadio /*radio*/, const BtDeviceRecord& device, const BtGuid& service,
                                        bool enable) {
  RfcommTty& rfcomm = *m_parts.rfcomm;
  const std::vector<RfcommDevice> bound = PortsOf(rfcomm, device.address);
  if (!enable) {
    if (bound.empty()) return kResultInvalidArg;  // already in that state
    for (const RfcommDevice& port : bound) rfcomm.Release(port.id);
    return kErrorSuccess;
  }
  // A port already bound to the analyser is the service in its enabled state.
  if (!bound.empty()) return kResultInvalidArg;

  std::unique_ptr<Bus> bus;
  DeviceObject found;
  if (const uint32_t code = OpenDevice(device.address, bus, found); code != kErrorSuccess) return code;
  const std::string& path = found.path;
  DbusError error;

  // Trusted: BlueZ then lets the analyser reconnect without asking anyone.
  bus->Call(path, "org.freedesktop.DBus.Properties", "Set",
            [](sd_bus_message* message) {
              return sd_bus_message_append(message, "ssv", "org.bluez.Device1", "Trusted", "b", 1);
            },
            kCallTimeout, error);
  if (error.Failed()) return Fail(error, Step::kGeneral);

  const std::string uuid = UuidText(service);
  SerialProfile profile(*bus, kProfilePath);
  if (!profile.Exported()) return Fail(kErrorGenFailure, u"The serial port profile could not be exported.");
  {
    Registration registration(*bus, "org.bluez.ProfileManager1", "UnregisterProfile", kProfilePath);
    const bool registered = registration.Register(
        "RegisterProfile",
        [&uuid](sd_bus_message* message) {
          int result = sd_bus_message_append(message, "os", kProfilePath, uuid.c_str());
          if (result >= 0) {
            result = sd_bus_message_append(message, "a{sv}", 3, "Role", "s", "client", "Name", "s", kProfileName,
                                           "AutoConnect", "b", 0);
          }
          return result;
        },
        error);
    if (!registered) return Fail(error, Step::kGeneral);
    bus->Call(path, "org.bluez.Device1", "ConnectProfile",
              [&uuid](sd_bus_message* message) { return sd_bus_message_append(message, "s", uuid.c_str()); },
              m_timings.connectTimeout, error);
    if (!error.Failed() && !profile.HasSocket()) {
      bus->Serve(kLateConnection, [&profile] { return profile.HasSocket(); });
    }
  }
  if (error.Failed()) return Fail(error, Step::kGeneral);
  const int socket = profile.TakeSocket();
  if (socket < 0) return Fail(kErrorGenFailure, u"The analyser's serial port link was not handed over.");

  const RfcommCreated created = rfcomm.CreateFromSocket(socket);
  close(socket);
  if (created.id < 0) {
    const std::string reason = std::strerror(created.error);
    return Fail(kErrorGenFailure, u"The serial device of the Bluetooth link could not be created: " +
                                      Utf16FromUtf8(reason) + u".");
  }
  return kErrorSuccess;
}

uint32_t BluezPlatform::RemoveDevice(uint64_t address) {
  std::unique_ptr<Bus> bus;
  DeviceObject found;
  if (const uint32_t code = OpenDevice(address, bus, found); code != kErrorSuccess) return code;
  const std::string& path = found.path;
  DbusError error;
  bus->Call(found.adapterPath, "org.bluez.Adapter1", "RemoveDevice",
            [&path](sd_bus_message* message) { return sd_bus_message_append(message, "o", path.c_str()); },
            kCallTimeout, error);
  if (error.Failed()) return Fail(error, Step::kRemoval);
  // The device's serial port goes with its pairing, as on a system whose ports are device drivers.
  for (const RfcommDevice& port : PortsOf(*m_parts.rfcomm, address)) m_parts.rfcomm->Release(port.id);
  return kErrorSuccess;
}

}  // namespace kv::bt::bluez
