// mock_bluez.h: a private D-Bus daemon with python-dbusmock playing BlueZ (bluez_template.py), for
// tests of the Linux Bluetooth backend. Starting it points DBUS_SYSTEM_BUS_ADDRESS of this process
// at the private bus; the destructor stops both processes and restores the variable. The control
// methods use a connection of their own, never the one of the code under test.
#pragma once

#include <sys/types.h>
#include <systemd/sd-bus.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kv::bt::testing {

class MockBluez {
 public:
  // withBluez false: the bus alone, with nobody owning org.bluez. Throws std::runtime_error on failure.
  static std::unique_ptr<MockBluez> Start(bool withBluez = true);
  // An address where no bus listens.
  static std::string NoBusAddress();
  ~MockBluez();
  MockBluez(const MockBluez&) = delete;
  MockBluez& operator=(const MockBluez&) = delete;

  const std::string& Address() const { return m_address; }

  // Adapters: /org/bluez/<name>, powered.
  std::string AddAdapter(const std::string& name, const std::string& alias, const std::string& address);
  void SetPowered(const std::string& name, bool powered);
  // A device BlueZ knows now; name "" means no Name property.
  std::string AddKnownDevice(const std::string& adapter, const std::string& address, const std::string& name,
                             uint32_t classOfDevice, bool paired, bool trusted, const std::string& pin);
  // A device that appears delayMs after StartDiscovery on its adapter (0: at once).
  void AddDiscoverableDevice(const std::string& adapter, const std::string& address, const std::string& name,
                             uint32_t classOfDevice, const std::string& pin, uint32_t delayMs);
  void SetPasskeyMode(const std::string& address, uint32_t passkey);
  void SetConnectProfileError(const std::string& address, const std::string& name, const std::string& message);
  void DropUnpairedDevices(const std::string& adapter);

  std::vector<std::string> RegisteredAgents();
  std::vector<std::string> RegisteredProfiles();
  std::vector<std::string> CallLog();
  bool Discovering(const std::string& adapter);
  struct DeviceState {
    bool exists = false;
    bool paired = false;
    bool trusted = false;
    bool connected = false;
  };
  DeviceState GetDeviceState(const std::string& address);

 private:
  MockBluez() = default;
  sd_bus_message* CallMock(const char* member, const char* types, ...);
  std::vector<std::string> Strings(const char* member);

  pid_t m_daemon = -1;
  pid_t m_mock = -1;
  std::string m_address;
  std::optional<std::string> m_previousAddress;
  sd_bus* m_control = nullptr;
};

}  // namespace kv::bt::testing
