// rfcomm_tty.h: the kernel's RFCOMM TTY layer (/dev/rfcommN), behind an interface so that everything
// above it runs on machines without Bluetooth in their kernel. The kernel implementation declares the
// few structures and ioctl numbers it needs itself.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kv::bt::bluez {

// One bound RFCOMM TTY: /dev/rfcomm<id>, tied to a remote device address and channel.
struct RfcommDevice {
  int32_t id = -1;
  uint64_t address = 0;  // remote address, byte 0 = the last octet of "00:11:22:33:44:55"
  uint8_t channel = 0;
  bool connected = false;
  std::string Path() const { return "/dev/rfcomm" + std::to_string(id); }
  friend bool operator==(const RfcommDevice&, const RfcommDevice&) = default;
};

// The outcome of turning a connected RFCOMM socket into a TTY.
struct RfcommCreated {
  int32_t id = -1;          // device number, -1 on failure
  bool persistent = false;  // the bind form (reconnects on open) rather than the one tied to this link
  int error = 0;            // errno of the last form tried, when id is -1
};

class RfcommTty {
 public:
  virtual ~RfcommTty() = default;
  // socketFd: a connected RFCOMM socket; the caller keeps it and closes it afterwards. Tries the
  // persistent bind form first (needs CAP_NET_ADMIN), then the form that reuses the live link.
  virtual RfcommCreated CreateFromSocket(int socketFd) = 0;
  // The bound devices; std::nullopt when the kernel cannot be asked (no Bluetooth support).
  virtual std::optional<std::vector<RfcommDevice>> List() = 0;
  // Releases /dev/rfcomm<id>; false when the kernel refuses.
  virtual bool Release(int32_t id) = 0;
};

// The kernel's RFCOMM layer through its ioctls; List falls back to /sys/class/tty/rfcomm*/address.
std::unique_ptr<RfcommTty> MakeKernelRfcommTty();
// As above with another sysfs root (for tests): sysClassTty replaces "/sys/class/tty".
std::unique_ptr<RfcommTty> MakeKernelRfcommTty(std::string sysClassTty);

}  // namespace kv::bt::bluez
