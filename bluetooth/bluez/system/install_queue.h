// install_queue.h: whether device installations are still pending, as the device manager shows it.
// On Linux that is the udev event queue: "/run/udev/queue" exists while events are pending, and
// without the udev control socket "/run/udev/control" there is no such facility.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace kv::bt::bluez {

class InstallQueue {
 public:
  virtual ~InstallQueue() = default;
  // true while events are pending, false when none are, std::nullopt when the facility is missing.
  virtual std::optional<bool> Pending() = 0;
};

// udev's queue under runDir ("/run/udev" on a real system; tests pass a directory of their own).
std::unique_ptr<InstallQueue> MakeUdevInstallQueue(std::string runDir = "/run/udev");

}  // namespace kv::bt::bluez
