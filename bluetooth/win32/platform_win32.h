// platform_win32.h: the Win32 backend of the Bluetooth setup's platform boundary. Each operation converts
// the portable records, makes the one platform call it is named after, and converts back; every choice
// about what to call next stays in the setup logic above the boundary.
#pragma once

#include <windows.h>
// windows.h first: the Bluetooth and setup headers rely on its types.
#include <bluetoothapis.h>
#include <setupapi.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bluetooth/platform.h"

namespace kv::bt::win32 {

class Win32BtPlatform final : public BtPlatform {
 public:
  Win32BtPlatform();
  ~Win32BtPlatform() override;
  Win32BtPlatform(const Win32BtPlatform&) = delete;
  Win32BtPlatform& operator=(const Win32BtPlatform&) = delete;

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

  uint32_t SetServiceState(BtRadio radio, const BtDeviceRecord& device, const BtGuid& service,
                           bool enable) override;
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

  // The module whose string table LoadText reads: the one holding this code (the DLL, or a test program
  // that links the backend), else the module named "KorvantaSDK.dll"; null if neither is found.
  static HMODULE OwnModule();

  // What a pairing request from the platform needs to reach the portable callback; the platform is given
  // no context, so its trampoline finds the live registration's one itself.
  struct AuthRegistration {
    Win32BtPlatform* platform;
    BtAuthCallback callback;
    void* context;
  };

 private:
  // A device list's machine handle (from its detail) and the last device enumerated from it, whose
  // platform record the friendly-name lookup needs.
  struct PortListState {
    HANDLE machine = nullptr;
    bool hasDevice = false;
    uint32_t index = 0;
    SP_DEVINFO_DATA device{};
  };
  bool DeviceData(HDEVINFO list, const BtPortDevice& device, SP_DEVINFO_DATA& data);

  uint32_t lastError_ = 0;
  std::map<HDEVINFO, PortListState> portLists_;
  std::map<HBLUETOOTH_AUTHENTICATION_REGISTRATION, std::unique_ptr<AuthRegistration>> registrations_;
};

}  // namespace kv::bt::win32
