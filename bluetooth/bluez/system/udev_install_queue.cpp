// udev_install_queue.cpp: udev's queue marker. udevd creates <runDir>/queue while it has events in
// flight and removes it when the queue drains; <runDir>/control is its control socket, absent when no
// udevd runs (containers, chroots), in which case nothing can be said about pending installs.
#include <sys/stat.h>

#include <utility>

#include "bluetooth/bluez/system/install_queue.h"
#include "bluetooth/bluez/system/system_calls.h"

namespace kv::bt::bluez {
namespace {

bool Exists(const std::string& path) {
  struct stat info {};
  return sys::Calls().lstat(path.c_str(), &info) == 0;
}

class UdevInstallQueue final : public InstallQueue {
 public:
  explicit UdevInstallQueue(std::string runDir) : runDir_(std::move(runDir)) {}

  std::optional<bool> Pending() override {
    if (!Exists(runDir_ + "/control")) return std::nullopt;
    return Exists(runDir_ + "/queue");
  }

 private:
  std::string runDir_;
};

}  // namespace

std::unique_ptr<InstallQueue> MakeUdevInstallQueue(std::string runDir) {
  return std::make_unique<UdevInstallQueue>(std::move(runDir));
}

}  // namespace kv::bt::bluez
