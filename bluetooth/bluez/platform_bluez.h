// platform_bluez.h: the Bluetooth platform of the Linux library: BlueZ over the system D-Bus (sd-bus),
// the kernel's RFCOMM TTYs as the analyser's serial port, udev's queue as the installation state and
// zenity boxes as the prompts. The kernel, udev and display parts are passed in, so tests replace them.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bluetooth/bluez/bus.h"
#include "bluetooth/bluez/errors.h"
#include "bluetooth/bluez/objects.h"
#include "bluetooth/bluez/system/install_queue.h"
#include "bluetooth/bluez/system/prompter.h"
#include "bluetooth/bluez/system/rfcomm_tty.h"
#include "bluetooth/platform.h"

namespace kv::bt::bluez {

struct BluezParts {
  std::unique_ptr<RfcommTty> rfcomm;
  std::unique_ptr<InstallQueue> installs;
  std::unique_ptr<Prompter> prompter;
};
// The parts of a real system: kernel RFCOMM, udev under /run/udev, zenity.
BluezParts SystemBluezParts();

struct BluezTimings {
  std::chrono::milliseconds inquiryUnit{1280};         // one unit of a search's time-out multiplier
  std::chrono::milliseconds pairTimeout{60000};        // the user may have to act on the analyser
  std::chrono::milliseconds connectTimeout{30000};     // ConnectProfile, service discovery included
  std::chrono::milliseconds rediscoveryLimit{10240};   // looking again for a device BlueZ dropped
  std::chrono::milliseconds rediscoveryStep{500};
};

// The virtual serial port devices, as the "ports" class: one class identifier, each bound RFCOMM TTY
// a device whose identifier holds the remote address key and whose friendly name ends in
// "(COM/dev/rfcommN)", so that the port text the setup takes from it is the device path.
inline constexpr BtGuid kPortsClass{0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

class BluezPlatform final : public BtPlatform {
 public:
  explicit BluezPlatform(BluezParts parts, BluezTimings timings = {});

  BtRadioFind FindFirstRadio(BtRadio& radio) override;
  bool FindNextRadio(BtRadioFind find, BtRadio& radio) override;
  void FindRadioClose(BtRadioFind find) override;
  uint32_t GetRadioInfo(BtRadio radio, BtRadioInfo& info) override;
  void CloseRadio(BtRadio radio) override;

  BtDeviceFind FindFirstDevice(const BtDeviceSearch& search, BtDeviceRecord& device) override;
  bool FindNextDevice(BtDeviceFind find, BtDeviceRecord& device) override;
  void FindDeviceClose(BtDeviceFind find) override;
  uint32_t GetDeviceInfo(BtRadio radio, BtDeviceRecord& device) override;
  uint32_t LastError() override;

  bool SelectDevices(const BtSelectDialog& dialog, std::vector<BtDeviceRecord>& chosen) override;

  uint32_t AuthenticateDevice(KVWindowHandle owner, BtRadio radio, BtDeviceRecord& device,
                              std::u16string_view pin) override;
  // BlueZ has no separate callback pairing: no module loads, so the setup takes its legacy branch.
  BtModule LoadModule(std::u16string_view name) override;
  void FreeLoadedModule(BtModule module) override;
  std::optional<uint32_t> RegisterForAuthenticationEx(BtModule module, const BtDeviceRecord& device,
                                                      BtAuthCallback callback, void* context,
                                                      BtRegistration& registration) override;
  std::optional<uint32_t> AuthenticateDeviceEx(BtModule module, KVWindowHandle owner, BtRadio radio,
                                               BtDeviceRecord& device, uint32_t requirement) override;
  std::optional<uint32_t> SendAuthenticationResponseEx(BtModule module, BtRadio radio,
                                                       const BtAuthResponse& response) override;
  bool UnregisterAuthentication(BtRegistration registration) override;

  uint32_t SetServiceState(BtRadio radio, const BtDeviceRecord& device, const BtGuid& service, bool enable) override;
  uint32_t RemoveDevice(uint64_t address) override;

  bool ClassGuidsFromName(std::u16string_view className, std::vector<BtGuid>& classes) override;
  BtPortList GetPresentDevices(const BtGuid& classId) override;
  bool GetListDetail(BtPortList list) override;
  bool EnumDevice(BtPortList list, uint32_t index, BtPortDevice& device) override;
  uint32_t GetDeviceId(BtPortList list, const BtPortDevice& device, std::u16string& id) override;
  bool GetFriendlyName(BtPortList list, const BtPortDevice& device, std::u16string& name) override;
  void DestroyDeviceList(BtPortList list) override;

  std::optional<uint32_t> WaitNoPendingInstallEvents(uint32_t timeoutMilliseconds) override;

  int32_t ShowMessage(KVWindowHandle owner, std::u16string_view text, std::u16string_view caption,
                      uint32_t style) override;
  bool LoadText(uint32_t number, std::u16string& text) override;
  bool ErrorText(uint32_t code, std::u16string& text) override;

  void Sleep(uint32_t milliseconds) override;
  std::u16string_view StackName() override { return u"BlueZ"; }

 private:
  struct RadioFind {
    std::vector<std::string> adapters;
    size_t next = 0;
  };
  struct DeviceFind {
    std::vector<BtDeviceRecord> devices;
    size_t next = 0;
  };

  uint32_t Fail(uint32_t code, std::u16string text);
  uint32_t Fail(const DbusError& error, Step step);
  std::unique_ptr<Bus> OpenBus();
  // The object tree, or std::nullopt with the failure recorded as the last error.
  std::optional<ObjectTree> Tree(Bus& bus);
  // A connection and the device with this address on it; the code of the failure otherwise.
  uint32_t OpenDevice(uint64_t address, std::unique_ptr<Bus>& bus, DeviceObject& device);
  BtRadio NewRadio(const std::string& adapterPath);
  std::string AdapterOf(BtRadio radio);
  // A copy of the list's entry for device; false when there is none.
  bool PortOf(BtPortList list, const BtPortDevice& device, RfcommDevice& port);

  BluezParts m_parts;
  BluezTimings m_timings;
  std::mutex m_mutex;  // the tables below; never held across a bus call
  uintptr_t m_nextHandle = 1;
  std::map<uintptr_t, std::string> m_radios;
  std::map<uintptr_t, RadioFind> m_radioFinds;
  std::map<uintptr_t, DeviceFind> m_deviceFinds;
  std::map<uintptr_t, std::vector<RfcommDevice>> m_portLists;
  std::map<uint32_t, std::u16string> m_errorTexts;  // the latest text given for each code
};

}  // namespace kv::bt::bluez
