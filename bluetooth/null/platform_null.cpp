// platform_null.cpp: the platform of builds without a Bluetooth backend: no radio, no dialog, no ports.
// Every flow therefore ends at its first radio check, without a prompt. Texts come from the portable
// table so that anything shown elsewhere reads the same. Holds no state.
#include <chrono>
#include <thread>

#include "bluetooth/platform.h"
#include "messages.h"

namespace kv::bt {
namespace {

class NullBtPlatform final : public BtPlatform {
 public:
  BtRadioFind FindFirstRadio(BtRadio& radio) override {
    radio = BtRadio::kNone;
    return BtRadioFind::kNone;
  }
  bool FindNextRadio(BtRadioFind, BtRadio& radio) override {
    radio = BtRadio::kNone;
    return false;
  }
  void FindRadioClose(BtRadioFind) override {}
  uint32_t GetRadioInfo(BtRadio, BtRadioInfo&) override { return kErrorBadUnit; }
  void CloseRadio(BtRadio) override {}

  BtDeviceFind FindFirstDevice(const BtDeviceSearch&, BtDeviceRecord&) override { return BtDeviceFind::kNone; }
  bool FindNextDevice(BtDeviceFind, BtDeviceRecord&) override { return false; }
  void FindDeviceClose(BtDeviceFind) override {}
  uint32_t GetDeviceInfo(BtRadio, BtDeviceRecord&) override { return kErrorBadUnit; }
  uint32_t LastError() override { return kErrorBadUnit; }

  bool SelectDevices(const BtSelectDialog&, std::vector<BtDeviceRecord>&) override { return false; }

  uint32_t AuthenticateDevice(KVWindowHandle, BtRadio, BtDeviceRecord&, std::u16string_view) override {
    return kErrorBadUnit;
  }
  BtModule LoadModule(std::u16string_view) override { return BtModule::kNone; }
  void FreeLoadedModule(BtModule) override {}
  std::optional<uint32_t> RegisterForAuthenticationEx(BtModule, const BtDeviceRecord&, BtAuthCallback, void*,
                                                      BtRegistration&) override {
    return std::nullopt;
  }
  std::optional<uint32_t> AuthenticateDeviceEx(BtModule, KVWindowHandle, BtRadio, BtDeviceRecord&,
                                               uint32_t) override {
    return std::nullopt;
  }
  std::optional<uint32_t> SendAuthenticationResponseEx(BtModule, BtRadio, const BtAuthResponse&) override {
    return std::nullopt;
  }
  bool UnregisterAuthentication(BtRegistration) override { return false; }

  uint32_t SetServiceState(BtRadio, const BtDeviceRecord&, const BtGuid&, bool) override { return kErrorBadUnit; }
  uint32_t RemoveDevice(uint64_t) override { return kErrorBadUnit; }

  bool ClassGuidsFromName(std::u16string_view, std::vector<BtGuid>& classes) override {
    classes.clear();
    return false;
  }
  BtPortList GetPresentDevices(const BtGuid&) override { return BtPortList::kNone; }
  bool GetListDetail(BtPortList) override { return false; }
  bool EnumDevice(BtPortList, uint32_t, BtPortDevice&) override { return false; }
  uint32_t GetDeviceId(BtPortList, const BtPortDevice&, std::u16string&) override { return kErrorBadUnit; }
  bool GetFriendlyName(BtPortList, const BtPortDevice&, std::u16string&) override { return false; }
  void DestroyDeviceList(BtPortList) override {}

  std::optional<uint32_t> WaitNoPendingInstallEvents(uint32_t) override { return std::nullopt; }

  // No window system is assumed: a box that cannot be shown answers kButtonNone (taken as Cancel).
  int32_t ShowMessage(KVWindowHandle, std::u16string_view, std::u16string_view, uint32_t) override {
    return kButtonNone;
  }
  bool LoadText(uint32_t number, std::u16string& text) override {
    const std::u16string_view found = FindMessageText(number);
    text.assign(found);
    return !found.empty();
  }
  bool ErrorText(uint32_t, std::u16string& text) override {
    text.clear();
    return false;
  }

  void Sleep(uint32_t milliseconds) override { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }
};

}  // namespace

BtPlatform& DefaultBtPlatform() {
  static NullBtPlatform platform;
  return platform;
}

}  // namespace kv::bt
