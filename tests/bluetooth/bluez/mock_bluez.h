// mock_bluez.h: a private D-Bus daemon with a mock bluetoothd (python3-dbusmock and bluez_template.py) for the
// tests of the BlueZ backend. While a MockBluez lives, DBUS_SYSTEM_BUS_ADDRESS of this process names its bus, so
// sd_bus_open_system() in the code under test reaches the mock. Every control call opens its own short bus
// connection, so it never shares a connection (or its queue) with the code under test.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kv::bt::testing {

// What the mock says of one device (DeviceState).
struct MockDeviceState {
  bool exists = false;
  bool paired = false;
  bool trusted = false;
  bool connected = false;
  bool operator==(const MockDeviceState&) const = default;
};

class MockBluez {
 public:
  // Starts the bus and, if withBluez, the mock bluetoothd, and waits until org.bluez has an owner.
  // Throws std::runtime_error when either does not come up within about 10 s.
  static std::unique_ptr<MockBluez> Start(bool withBluez = true);
  // A bus address where nothing listens, for tests of a missing system bus.
  static std::string NoBusAddress();

  ~MockBluez();
  MockBluez(const MockBluez&) = delete;
  MockBluez& operator=(const MockBluez&) = delete;

  const std::string& Address() const { return address_; }

  // Control; each throws std::runtime_error with the D-Bus error when the mock refuses.
  void AddAdapter(const std::string& name, const std::string& alias, const std::string& address);
  void SetPowered(const std::string& adapter, bool powered);
  // A device bluetoothd already knows: present at once.
  void AddKnownDevice(const std::string& adapter, const std::string& address, const std::string& name,
                      uint32_t deviceClass, bool paired, bool trusted, const std::string& pin);
  // A device that appears delayMs after discovery starts on the adapter (0: before StartDiscovery returns),
  // unless discovery stops first; again on a later discovery once DropUnpairedDevices forgot it.
  void AddDiscoverableDevice(const std::string& adapter, const std::string& address, const std::string& name,
                             uint32_t deviceClass, const std::string& pin, uint32_t delayMs);
  // Pairing by RequestPasskey with this passkey instead of RequestPinCode.
  void SetPasskeyMode(const std::string& address, uint32_t passkey);
  // ConnectProfile of the device fails with this D-Bus error; an empty name clears it.
  void SetConnectProfileError(const std::string& address, const std::string& errorName, const std::string& message);
  // How long Pair waits for the agent before AuthenticationTimeout (25 s unless set).
  void SetAgentTimeout(uint32_t timeoutMs);
  // Forgets devices neither paired, trusted nor connected, as bluetoothd does a while after discovery.
  void DropUnpairedDevices(const std::string& adapter);

  // Inspection.
  std::vector<std::string> RegisteredAgents();    // agent object paths
  std::vector<std::string> RegisteredProfiles();  // profile object paths
  // Every call the clients made, in order: "RegisterAgent /path KeyboardDisplay", "UnregisterAgent /path",
  // "StartDiscovery hci0", "StopDiscovery hci0", "SetDiscoveryFilter hci0 Transport=bredr", "Pair <address>",
  // "CancelPairing <address>", "ConnectProfile <address> <uuid>", "RegisterProfile /path <uuid> Role=client"
  // (options sorted by key), "UnregisterProfile /path", "RemoveDevice <path>", "SetTrusted <address> true".
  std::vector<std::string> CallLog();
  bool Discovering(const std::string& adapter);
  MockDeviceState DeviceState(const std::string& address);

 private:
  MockBluez() = default;
  void StartDaemon();
  void StartBluez();
  void WaitForBluez();
  void Stop();

  std::string tempDir_;
  std::string address_;
  pid_t daemon_ = -1;
  pid_t bluez_ = -1;
  bool addressSet_ = false;
  std::optional<std::string> savedAddress_;
};

}  // namespace kv::bt::testing
