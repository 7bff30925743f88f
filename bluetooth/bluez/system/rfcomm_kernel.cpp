// rfcomm_kernel.cpp: /dev/rfcommN through the kernel's RFCOMM ioctls. Creating a TTY tries the bound
// form on a raw control socket first (it survives link loss but needs CAP_NET_ADMIN), then the form
// that adopts the caller's connected socket (allowed to anyone with exactly REUSE_DLC|RELEASE_ONHUP).
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string_view>
#include <utility>

#include "bluetooth/bluez/system/rfcomm_kernel_abi.h"
#include "bluetooth/bluez/system/rfcomm_tty.h"
#include "bluetooth/bluez/system/system_calls.h"

namespace kv::bt::bluez {
namespace {

namespace abi = rfcomm_abi;
using sys::Calls;

uint64_t AddressFrom(const abi::BdAddr& addr) {
  uint64_t value = 0;
  for (size_t i = 0; i < 6; ++i) value |= static_cast<uint64_t>(addr.b[i]) << (8 * i);
  return value;
}

// A control socket closed on scope exit; fd() < 0 when the kernel has no Bluetooth.
class ControlSocket {
 public:
  ControlSocket() : fd_(Calls().socket(abi::kAfBluetooth, SOCK_RAW | SOCK_CLOEXEC, abi::kBtProtoRfcomm)) {}
  ~ControlSocket() {
    if (fd_ >= 0) Calls().close(fd_);
  }
  ControlSocket(const ControlSocket&) = delete;
  ControlSocket& operator=(const ControlSocket&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

bool ReadRfcommSocketAddress(int fd, bool peer, abi::SockAddrRc& out, int& error) {
  out = {};
  socklen_t length = sizeof out;
  auto* raw = reinterpret_cast<sockaddr*>(&out);
  const int rc = peer ? Calls().getpeername(fd, raw, &length) : Calls().getsockname(fd, raw, &length);
  if (rc != 0) {
    error = errno;
    return false;
  }
  // Never send RFCOMM ioctls to a socket of another family.
  if (out.family != abi::kAfBluetooth || length < sizeof out) {
    error = EAFNOSUPPORT;
    return false;
  }
  return true;
}

// "00:11:22:33:44:aa" (either case) into the kit's address value; false when malformed.
bool ParseAddress(std::string text, uint64_t& address) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  if (text.size() != 17) return false;
  uint64_t value = 0;
  for (size_t octet = 0; octet < 6; ++octet) {
    if (octet > 0 && text[octet * 3 - 1] != ':') return false;
    unsigned byte = 0;
    for (size_t k = 0; k < 2; ++k) {
      const char c = text[octet * 3 + k];
      unsigned digit = 0;
      if (c >= '0' && c <= '9') {
        digit = static_cast<unsigned>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        digit = static_cast<unsigned>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        digit = static_cast<unsigned>(c - 'A' + 10);
      } else {
        return false;
      }
      byte = byte * 16 + digit;
    }
    value = (value << 8) | byte;  // the first printed octet ends up highest
  }
  address = value;
  return true;
}

bool ParseDeviceNumber(const std::string& name, int32_t& id) {
  static constexpr std::string_view kPrefix = "rfcomm";
  if (name.size() <= kPrefix.size() || name.size() > kPrefix.size() + 9 || name.rfind(kPrefix, 0) != 0) {
    return false;
  }
  int32_t value = 0;
  for (size_t i = kPrefix.size(); i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return false;
    value = value * 10 + (name[i] - '0');
  }
  id = value;
  return true;
}

class KernelRfcommTty final : public RfcommTty {
 public:
  explicit KernelRfcommTty(std::string sysClassTty) : sysClassTty_(std::move(sysClassTty)) {}

  RfcommCreated CreateFromSocket(int socketFd) override {
    RfcommCreated created;
    abi::SockAddrRc local{};
    abi::SockAddrRc remote{};
    if (!ReadRfcommSocketAddress(socketFd, false, local, created.error) ||
        !ReadRfcommSocketAddress(socketFd, true, remote, created.error)) {
      return created;
    }
    abi::DevReq request{};
    request.src = local.bdaddr;
    request.dst = remote.bdaddr;
    request.channel = remote.channel;

    request.devId = -1;
    request.flags = 0;
    {
      ControlSocket control;
      if (control.fd() >= 0) {
        const int id = Calls().ioctl(control.fd(), abi::kIoctlCreateDev, &request);
        if (id >= 0) {
          created.id = id;
          created.persistent = true;
          created.error = 0;
          return created;
        }
      }
      created.error = errno;
    }

    request.devId = -1;
    request.flags = abi::kFlagReuseDlc | abi::kFlagReleaseOnHup;
    const int id = Calls().ioctl(socketFd, abi::kIoctlCreateDev, &request);
    if (id >= 0) {
      created.id = id;
      created.error = 0;
    } else {
      created.error = errno;
    }
    return created;
  }

  std::optional<std::vector<RfcommDevice>> List() override {
    if (auto fromKernel = ListFromKernel()) return fromKernel;
    return ListFromSysfs();
  }

  bool Release(int32_t id) override {
    // The kernel's device number is 16 bits wide; a larger id would wrap onto another device.
    if (id < 0 || id > INT16_MAX) return false;
    ControlSocket control;
    if (control.fd() < 0) return false;
    abi::DevReq request{};
    request.devId = static_cast<int16_t>(id);
    request.flags = abi::kFlagHangupNow;
    return Calls().ioctl(control.fd(), abi::kIoctlReleaseDev, &request) == 0;
  }

 private:
  static std::optional<std::vector<RfcommDevice>> ListFromKernel() {
    ControlSocket control;
    if (control.fd() < 0) return std::nullopt;
    auto request = std::make_unique<abi::DevListReq>();
    std::memset(request.get(), 0, sizeof *request);
    request->devNum = abi::kMaxDevices;
    if (Calls().ioctl(control.fd(), abi::kIoctlGetDevList, request.get()) != 0) return std::nullopt;
    std::vector<RfcommDevice> devices;
    const uint16_t count = std::min(request->devNum, abi::kMaxDevices);
    for (uint16_t i = 0; i < count; ++i) {
      const abi::DevInfo& info = request->devInfo[i];
      devices.push_back({info.id, AddressFrom(info.dst), info.channel, info.state == abi::kStateConnected});
    }
    return devices;
  }

  // Without kernel Bluetooth sockets sysfs still names every bound TTY and its remote address.
  std::optional<std::vector<RfcommDevice>> ListFromSysfs() const {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory(sysClassTty_, ec)) return std::nullopt;
    std::vector<RfcommDevice> devices;
    for (fs::directory_iterator it(sysClassTty_, ec), end; !ec && it != end; it.increment(ec)) {
      RfcommDevice device;
      if (!ParseDeviceNumber(it->path().filename().string(), device.id)) continue;
      std::ifstream addressFile(it->path() / "address");
      std::string line;
      if (!std::getline(addressFile, line) || !ParseAddress(line, device.address)) continue;
      std::ifstream channelFile(it->path() / "channel");
      unsigned channel = 0;
      if (channelFile >> channel && channel <= 30) device.channel = static_cast<uint8_t>(channel);
      devices.push_back(device);
    }
    std::sort(devices.begin(), devices.end(), [](const RfcommDevice& a, const RfcommDevice& b) { return a.id < b.id; });
    return devices;
  }

  std::string sysClassTty_;
};

}  // namespace

std::unique_ptr<RfcommTty> MakeKernelRfcommTty() { return MakeKernelRfcommTty("/sys/class/tty"); }

std::unique_ptr<RfcommTty> MakeKernelRfcommTty(std::string sysClassTty) {
  return std::make_unique<KernelRfcommTty>(std::move(sysClassTty));
}

}  // namespace kv::bt::bluez
