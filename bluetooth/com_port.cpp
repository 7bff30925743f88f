// com_port.cpp: finding the virtual COM port of a device by its address among the platform's "ports"
// devices, the wait for driver installations after a pairing, and the installation-state export.
// Keeps no state; every device list is released before the call returns; every pause is the platform's.
#include <vector>

#include "bluetooth/setup.h"
#include "bluetooth/stack.h"
#include "wide_text.h"

namespace kv::bt {
namespace {

constexpr std::u16string_view kPortsClassName = u"ports";
constexpr int kPendingPolls = 20;
constexpr int kPendingWaits = 240;
constexpr int kPortLookups = 3;
constexpr uint32_t kWaitStepMilliseconds = 500;

bool Pending(const std::optional<uint32_t>& answer) { return answer && *answer == kWaitTimeout; }

// Releases a device list on every path out of a class.
class PortListOwner {
 public:
  PortListOwner(BtPlatform& platform, BtPortList list) : m_platform(platform), m_list(list) {}
  ~PortListOwner() {
    if (m_list != BtPortList::kNone) m_platform.DestroyDeviceList(m_list);
  }
  PortListOwner(const PortListOwner&) = delete;
  PortListOwner& operator=(const PortListOwner&) = delete;

 private:
  BtPlatform& m_platform;
  BtPortList m_list;
};

}  // namespace

bool CBluetoothStack::FindComPort(const uint64_t* address, KVWChar* text, int32_t capacity) {
  if (address == nullptr || text == nullptr || capacity < 1) return false;
  const std::u16string key = AddressKey(*address);
  std::vector<BtGuid> classes;
  if (!m_platform.ClassGuidsFromName(kPortsClassName, classes) || classes.empty()) return false;
  if (classes.size() > kMaxPortClasses) classes.resize(kMaxPortClasses);

  // The first device whose identifier holds the key and whose friendly name has "(COM" and ")" decides.
  bool decided = false;
  bool written = false;
  for (const BtGuid& classId : classes) {
    if (decided) break;
    const BtPortList list = m_platform.GetPresentDevices(classId);
    if (list == BtPortList::kNone) continue;
    const PortListOwner owner(m_platform, list);
    if (!m_platform.GetListDetail(list)) continue;
    BtPortDevice device;
    for (uint32_t index = 0; !decided && m_platform.EnumDevice(list, index, device); ++index) {
      std::u16string id;
      if (m_platform.GetDeviceId(list, device, id) != kErrorSuccess) continue;
      if (id.find(key) == std::u16string::npos) continue;
      std::u16string friendlyName;
      if (!m_platform.GetFriendlyName(list, device, friendlyName)) continue;
      const std::optional<std::u16string_view> port = ComPortFromFriendlyName(friendlyName);
      if (!port) continue;
      decided = true;
      // A port text longer than the buffer is refused, leaving the buffer as it was.
      written = CopyTerminated(*port, text, capacity);
    }
  }
  return written;
}

bool WaitForComPort(CBluetoothStack& stack, const uint64_t* address) {
  BtPlatform& platform = stack.Platform();
  // Phase 1: until an installation is pending. Nothing pending answers at once, so this is quick then.
  for (int poll = 0; poll < kPendingPolls; ++poll) {
    if (Pending(platform.WaitNoPendingInstallEvents(kWaitStepMilliseconds))) break;
  }
  // Phase 2: while something is pending now, wait for it in steps, for two minutes at most.
  if (Pending(platform.WaitNoPendingInstallEvents(0))) {
    for (int wait = 0; wait < kPendingWaits; ++wait) {
      if (!Pending(platform.WaitNoPendingInstallEvents(kWaitStepMilliseconds))) break;
    }
  }
  // Phase 3: the port may still need a moment after the installation.
  KVWChar work[kPortWorkCapacity];
  for (int lookup = 0; lookup < kPortLookups; ++lookup) {
    if (stack.FindComPort(address, work, kPortWorkCapacity)) return true;
    platform.Sleep(kWaitStepMilliseconds);
  }
  return false;
}

int32_t IsDeviceInstallInProgress(BtPlatform& platform, uint32_t timeoutMilliseconds) {
  return Pending(platform.WaitNoPendingInstallEvents(timeoutMilliseconds)) ? 1 : 0;
}

}  // namespace kv::bt
