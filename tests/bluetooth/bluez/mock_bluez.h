// mock_bluez.h: a private dbus-daemon with the mock bluetoothd of bluez_template.py for the tests of
// the BlueZ backend. While a MockBluez lives, DBUS_SYSTEM_BUS_ADDRESS names its bus, so the code
// under test reaches the mock; both children die with the test process, even on a ctest time-out.
#pragma once

#include <sys/types.h>

#include <string>

namespace kv::bt::testing {

class MockBluez {
 public:
  // scenario: the template's JSON parameters; nullptr starts the bus without org.bluez. Throws
  // std::runtime_error when the bus or the mock does not come up.
  explicit MockBluez(const char* scenario);
  ~MockBluez();
  MockBluez(const MockBluez&) = delete;
  MockBluez& operator=(const MockBluez&) = delete;

  // How many of the bluetoothd calls made so far ("StartDiscovery hci0", ...) start with prefix.
  size_t Count(const std::string& prefix) const;

 private:
  std::string dir_;
  pid_t daemon_ = -1;
  pid_t bluez_ = -1;
};

}  // namespace kv::bt::testing
