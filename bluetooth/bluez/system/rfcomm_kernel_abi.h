// rfcomm_kernel_abi.h: the few Linux Bluetooth/RFCOMM structures and ioctl numbers the TTY layer needs,
// declared here so that the kit builds without BlueZ headers. Layouts follow the kernel's natural
// alignment; the assertions pin every size, offset and number so a mistake fails the build.
#pragma once

#include <sys/ioctl.h>
#include <sys/socket.h>

#include <cstddef>
#include <cstdint>

namespace kv::bt::bluez::rfcomm_abi {

inline constexpr int kAfBluetooth = 31;
inline constexpr int kBtProtoRfcomm = 3;

// A device address as the kernel stores it: b[0] is the last octet of "00:11:22:33:44:55".
struct BdAddr {
  uint8_t b[6];
};

struct SockAddrRc {
  sa_family_t family;
  BdAddr bdaddr;
  uint8_t channel;
};

struct DevReq {
  int16_t devId;
  uint32_t flags;
  BdAddr src;
  BdAddr dst;
  uint8_t channel;
};

struct DevInfo {
  int16_t id;
  uint32_t flags;
  uint16_t state;
  BdAddr src;
  BdAddr dst;
  uint8_t channel;
};

// The kernel's list request ends in a flexible array; the kit always asks with room for kMaxDevices.
inline constexpr uint16_t kMaxDevices = 64;
struct DevListReq {
  uint16_t devNum;
  DevInfo devInfo[kMaxDevices];
};

inline constexpr uint32_t kFlagReuseDlc = 1u << 0;      // take over the socket's live link
inline constexpr uint32_t kFlagReleaseOnHup = 1u << 1;  // drop the TTY when the link goes down
inline constexpr uint32_t kFlagHangupNow = 1u << 2;     // release: hang up an open TTY at once

inline constexpr uint16_t kStateConnected = 1;  // BT_CONNECTED

inline constexpr unsigned long kIoctlCreateDev = _IOW('R', 200, int);
inline constexpr unsigned long kIoctlReleaseDev = _IOW('R', 201, int);
inline constexpr unsigned long kIoctlGetDevList = _IOR('R', 210, int);
inline constexpr unsigned long kIoctlGetDevInfo = _IOR('R', 211, int);  // one DevInfo, looked up by its id

// direction << 30 | size << 16 | type << 8 | number, with write = 1, read = 2, size 4, type 'R' = 0x52.
static_assert(kIoctlCreateDev == 0x400452c8ul);
static_assert(kIoctlReleaseDev == 0x400452c9ul);
static_assert(kIoctlGetDevList == 0x800452d2ul);
static_assert(kIoctlGetDevInfo == 0x800452d3ul);

static_assert(sizeof(BdAddr) == 6 && alignof(BdAddr) == 1);
static_assert(sizeof(SockAddrRc) == 10);
static_assert(offsetof(SockAddrRc, bdaddr) == 2 && offsetof(SockAddrRc, channel) == 8);
static_assert(sizeof(DevReq) == 24);
static_assert(offsetof(DevReq, flags) == 4 && offsetof(DevReq, src) == 8 && offsetof(DevReq, dst) == 14 &&
              offsetof(DevReq, channel) == 20);
static_assert(sizeof(DevInfo) == 24);
static_assert(offsetof(DevInfo, flags) == 4 && offsetof(DevInfo, state) == 8 && offsetof(DevInfo, src) == 10 &&
              offsetof(DevInfo, dst) == 16 && offsetof(DevInfo, channel) == 22);
static_assert(offsetof(DevListReq, devInfo) == 4 && sizeof(DevListReq) == 4 + kMaxDevices * 24);

}  // namespace kv::bt::bluez::rfcomm_abi
