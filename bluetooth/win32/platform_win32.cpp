// platform_win32.cpp: the real platform calls behind BtPlatform: the Bluetooth API of "irprops.cpl", the
// newer pairing calls found at run time in a module the logic loads, SetupAPI and the configuration
// manager for port devices, message boxes, string table, system error texts and Sleep. Converts only.
#include "bluetooth/win32/platform_win32.h"

#include <cfgmgr32.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

#include "bluetooth/win32/entry_points_win32.h"
#include "bluetooth/win32/records_win32.h"
#include "bluetooth/win32/win32_owners.h"

// Exported by "irprops.cpl" but not declared by the mingw-w64 headers.
extern "C" DWORD WINAPI BluetoothAuthenticateDevice(HWND hwndParent, HANDLE hRadio, BLUETOOTH_DEVICE_INFO* pbtdi,
                                                    PWSTR pszPasskey, ULONG ulPasskeyLength);

namespace kv::bt::win32 {
namespace {

constexpr DWORD kServiceDisable = 0x00;  // BLUETOOTH_SERVICE_DISABLE
constexpr DWORD kServiceEnable = 0x01;   // BLUETOOTH_SERVICE_ENABLE
constexpr DWORD kOwnModuleFlags =
    GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
constexpr int kTextUnits = 4096;        // more than any message of the table (the longest has 1,622)
constexpr DWORD kDeviceIdUnits = 512;   // CM_Get_Device_ID_ExW's buffer
constexpr DWORD kPropertyBytes = 1024;  // SetupDiGetDeviceRegistryPropertyW's buffer

// The platform calls both callbacks with the platform's calling convention (__stdcall on i686), which the
// mingw-w64 declarations of PFN_DEVICE_CALLBACK and PFN_AUTHENTICATION_CALLBACK_EX leave out.
using DeviceCallback = BOOL(CALLBACK*)(LPVOID param, PBLUETOOTH_DEVICE_INFO device);
using AuthCallbackEx = BOOL(CALLBACK*)(LPVOID param, PBLUETOOTH_AUTHENTICATION_CALLBACK_PARAMS request);

using RegisterForAuthenticationExFn = HRESULT(WINAPI*)(const BLUETOOTH_DEVICE_INFO* device,
                                                       HBLUETOOTH_AUTHENTICATION_REGISTRATION* registration,
                                                       AuthCallbackEx callback, PVOID param);
using AuthenticateDeviceExFn = HRESULT(WINAPI*)(HWND owner, HANDLE radio, BLUETOOTH_DEVICE_INFO* device,
                                                PBLUETOOTH_OOB_DATA_INFO oobData,
                                                BLUETOOTH_AUTHENTICATION_REQUIREMENTS requirement);
using SendAuthenticationResponseExFn = HRESULT(WINAPI*)(HANDLE radio, PBLUETOOTH_AUTHENTICATE_RESPONSE response);
using WaitNoPendingInstallEventsFn = DWORD(WINAPI*)(DWORD timeoutMilliseconds);

// Function pointers of other types pass through the universal type void (*)() (no cast-type warning).
template <typename To, typename From>
To FunctionCast(From function) {
  return reinterpret_cast<To>(reinterpret_cast<void (*)()>(function));
}

template <typename Fn>
Fn Lookup(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  return FunctionCast<Fn>(BackendEntryPoints().getProcAddress(module, name));
}

HMODULE ToModule(BtModule module) { return static_cast<HMODULE>(FromOpaque(module)); }
HANDLE ToRadio(BtRadio radio) { return static_cast<HANDLE>(FromOpaque(radio)); }
HWND ToWindow(KVWindowHandle owner) { return static_cast<HWND>(owner); }

struct FilterBinding {
  BtDeviceFilter filter;
  void* context;
};

// The platform is given a null context for both callbacks, so each finds what it serves here: the filter
// of the dialog in progress, and the pairing registration that is live. Process-wide rather than per
// thread, as the platform may call back on a thread of its own; the exports run on one thread at a time.
std::atomic<const FilterBinding*> activeFilter{nullptr};
std::atomic<const Win32BtPlatform::AuthRegistration*> activeRegistration{nullptr};

// Makes a filter the active one for the duration of one dialog, whatever way the call ends.
class ActiveFilterScope {
 public:
  explicit ActiveFilterScope(const FilterBinding* binding) noexcept : previous_(activeFilter.exchange(binding)) {}
  ActiveFilterScope(const ActiveFilterScope&) = delete;
  ActiveFilterScope& operator=(const ActiveFilterScope&) = delete;
  ~ActiveFilterScope() { activeFilter.store(previous_); }

 private:
  const FilterBinding* previous_;
};

// Runs inside the platform's dialog: nothing may be thrown through its frames. Outside a dialog of this
// backend every device is refused.
BOOL CALLBACK FilterTrampoline(LPVOID /*param*/, PBLUETOOTH_DEVICE_INFO device) {
  const FilterBinding* binding = activeFilter.load();
  if (binding == nullptr || binding->filter == nullptr) return FALSE;
  try {
    if (device == nullptr) return binding->filter(binding->context, nullptr) ? TRUE : FALSE;
    const BtDeviceRecord record = FromDeviceInfo(*device);
    return binding->filter(binding->context, &record) ? TRUE : FALSE;
  } catch (...) {
    return FALSE;
  }
}

// Runs on a thread of the platform's while a newer pairing call is in progress.
BOOL CALLBACK AuthTrampoline(LPVOID /*param*/, PBLUETOOTH_AUTHENTICATION_CALLBACK_PARAMS request) {
  const Win32BtPlatform::AuthRegistration* registration = activeRegistration.load();
  if (registration == nullptr || registration->callback == nullptr) return FALSE;
  try {
    if (request == nullptr) {
      return registration->callback(*registration->platform, registration->context, nullptr) ? TRUE : FALSE;
    }
    const BtAuthRequest portable = FromAuthParams(*request);
    return registration->callback(*registration->platform, registration->context, &portable) ? TRUE : FALSE;
  } catch (...) {
    return FALSE;
  }
}

}  // namespace

EntryPoints& BackendEntryPoints() {
  static EntryPoints entries{::BluetoothSelectDevices, ::BluetoothUnregisterAuthentication, ::GetProcAddress};
  return entries;
}

Win32BtPlatform::Win32BtPlatform() = default;

// Registrations the logic did not end are ended here, so the platform never calls into freed memory.
Win32BtPlatform::~Win32BtPlatform() {
  for (auto& entry : registrations_) {
    BackendEntryPoints().unregisterAuthentication(entry.first);
    const AuthRegistration* binding = entry.second.get();
    activeRegistration.compare_exchange_strong(binding, nullptr);
  }
}

// ---- Radios ----

BtRadioFind Win32BtPlatform::FindFirstRadio(BtRadio& radio) {
  BLUETOOTH_FIND_RADIO_PARAMS params{};
  params.dwSize = sizeof params;
  HANDLE handle = nullptr;
  HBLUETOOTH_RADIO_FIND find = ::BluetoothFindFirstRadio(&params, &handle);
  lastError_ = ::GetLastError();
  radio = ToOpaque<BtRadio>(find != nullptr ? handle : nullptr);
  return ToOpaque<BtRadioFind>(find);
}

bool Win32BtPlatform::FindNextRadio(BtRadioFind find, BtRadio& radio) {
  HANDLE handle = nullptr;
  const BOOL more = ::BluetoothFindNextRadio(FromOpaque(find), &handle);
  lastError_ = ::GetLastError();
  radio = ToOpaque<BtRadio>(more ? handle : nullptr);
  return more != FALSE;
}

void Win32BtPlatform::FindRadioClose(BtRadioFind find) {
  if (find != BtRadioFind::kNone) ::BluetoothFindRadioClose(FromOpaque(find));
}

uint32_t Win32BtPlatform::GetRadioInfo(BtRadio radio, BtRadioInfo& info) {
  BLUETOOTH_RADIO_INFO record;
  std::memset(&record, 0, sizeof record);
  record.dwSize = sizeof record;
  const DWORD result = ::BluetoothGetRadioInfo(ToRadio(radio), &record);
  lastError_ = ::GetLastError();
  if (result == ERROR_SUCCESS) info = FromRadioInfo(record);
  return result;
}

void Win32BtPlatform::CloseRadio(BtRadio radio) {
  if (radio != BtRadio::kNone) ::CloseHandle(ToRadio(radio));
}

// ---- Devices ----

BtDeviceFind Win32BtPlatform::FindFirstDevice(const BtDeviceSearch& search, BtDeviceRecord& device) {
  BLUETOOTH_DEVICE_SEARCH_PARAMS params = ToSearchParams(search);
  BLUETOOTH_DEVICE_INFO info = ToDeviceInfo(device);
  HBLUETOOTH_DEVICE_FIND find = ::BluetoothFindFirstDevice(&params, &info);
  lastError_ = ::GetLastError();
  if (find != nullptr) device = FromDeviceInfo(info);
  return ToOpaque<BtDeviceFind>(find);
}

bool Win32BtPlatform::FindNextDevice(BtDeviceFind find, BtDeviceRecord& device) {
  BLUETOOTH_DEVICE_INFO info = ToDeviceInfo(device);
  const BOOL more = ::BluetoothFindNextDevice(FromOpaque(find), &info);
  lastError_ = ::GetLastError();
  if (more) device = FromDeviceInfo(info);
  return more != FALSE;
}

void Win32BtPlatform::FindDeviceClose(BtDeviceFind find) {
  if (find != BtDeviceFind::kNone) ::BluetoothFindDeviceClose(FromOpaque(find));
}

uint32_t Win32BtPlatform::GetDeviceInfo(BtRadio radio, BtDeviceRecord& device) {
  BLUETOOTH_DEVICE_INFO info = ToDeviceInfo(device);
  const DWORD result = ::BluetoothGetDeviceInfo(ToRadio(radio), &info);
  lastError_ = ::GetLastError();
  if (result == ERROR_SUCCESS) device = FromDeviceInfo(info);
  return result;
}

uint32_t Win32BtPlatform::LastError() { return lastError_; }

// ---- Selection dialog ----

bool Win32BtPlatform::SelectDevices(const BtSelectDialog& dialog, std::vector<BtDeviceRecord>& chosen) {
  chosen.clear();
  std::wstring info = ToWide(dialog.info);
  FilterBinding binding{dialog.filter, dialog.filterContext};

  BLUETOOTH_SELECT_DEVICE_PARAMS params;
  std::memset(&params, 0, sizeof params);
  params.dwSize = sizeof params;
  params.cNumOfClasses = 0;
  params.prgClassOfDevices = nullptr;
  params.pszInfo = dialog.info.empty() ? nullptr : info.data();
  params.hwndParent = ToWindow(dialog.owner);
  params.fForceAuthentication = dialog.forceAuthentication ? TRUE : FALSE;
  params.fShowAuthenticated = dialog.showAuthenticated ? TRUE : FALSE;
  params.fShowRemembered = dialog.showRemembered ? TRUE : FALSE;
  params.fShowUnknown = dialog.showUnknown ? TRUE : FALSE;
  params.fAddNewDeviceWizard = dialog.addNewDeviceWizard ? TRUE : FALSE;
  params.fSkipServicesPage = dialog.skipServicesPage ? TRUE : FALSE;
  params.pfnDeviceCallback =
      dialog.filter != nullptr ? FunctionCast<PFN_DEVICE_CALLBACK>(static_cast<DeviceCallback>(FilterTrampoline))
                               : nullptr;
  params.pvParam = nullptr;
  params.cNumDevices = dialog.numDevices;
  params.pDevices = nullptr;

  BOOL ok = FALSE;
  {
    const ActiveFilterScope active(dialog.filter != nullptr ? &binding : nullptr);
    ok = BackendEntryPoints().selectDevices(&params);
    lastError_ = ::GetLastError();
  }
  if (!ok) return false;

  SelectedDevices release(params);
  if (params.pDevices != nullptr) {
    for (DWORD i = 0; i < params.cNumDevices; ++i) {
      chosen.push_back(FromDeviceInfo(params.pDevices[i]));
    }
  }
  return true;
}

// ---- Pairing ----

uint32_t Win32BtPlatform::AuthenticateDevice(KVWindowHandle owner, BtRadio radio, BtDeviceRecord& device,
                                             std::u16string_view pin) {
  std::wstring pinText = ToWide(pin);
  BLUETOOTH_DEVICE_INFO info = ToDeviceInfo(device);
  const DWORD result = ::BluetoothAuthenticateDevice(ToWindow(owner), ToRadio(radio), &info, pinText.data(),
                                                     static_cast<ULONG>(pinText.size()));
  lastError_ = ::GetLastError();
  device = FromDeviceInfo(info);
  return result;
}

BtModule Win32BtPlatform::LoadModule(std::u16string_view name) {
  const std::wstring path = ToWide(name);
  HMODULE module = ::LoadLibraryW(path.c_str());
  lastError_ = ::GetLastError();
  return ToOpaque<BtModule>(module);
}

void Win32BtPlatform::FreeLoadedModule(BtModule module) {
  if (module != BtModule::kNone) ::FreeLibrary(ToModule(module));
}

std::optional<uint32_t> Win32BtPlatform::RegisterForAuthenticationEx(BtModule module, const BtDeviceRecord& device,
                                                                     BtAuthCallback callback, void* context,
                                                                     BtRegistration& registration) {
  registration = BtRegistration::kNone;
  const auto registerEx = Lookup<RegisterForAuthenticationExFn>(ToModule(module), "BluetoothRegisterForAuthenticationEx");
  if (registerEx == nullptr) return std::nullopt;

  auto binding = std::make_unique<AuthRegistration>(AuthRegistration{this, callback, context});
  const BLUETOOTH_DEVICE_INFO info = ToDeviceInfo(device);
  HBLUETOOTH_AUTHENTICATION_REGISTRATION handle = nullptr;
  // Active before the call: the platform may call back as soon as it has registered.
  const AuthRegistration* previous = activeRegistration.exchange(binding.get());
  const HRESULT result = registerEx(&info, &handle, AuthTrampoline, nullptr);
  lastError_ = ::GetLastError();
  // Any handle the platform gave may call back until it is unregistered, so its binding stays alive.
  if (handle != nullptr) {
    registrations_[handle] = std::move(binding);
    registration = ToOpaque<BtRegistration>(handle);
  } else {
    activeRegistration.store(previous);
  }
  return static_cast<uint32_t>(result);
}

std::optional<uint32_t> Win32BtPlatform::AuthenticateDeviceEx(BtModule module, KVWindowHandle owner, BtRadio radio,
                                                              BtDeviceRecord& device, uint32_t requirement) {
  const auto authenticateEx = Lookup<AuthenticateDeviceExFn>(ToModule(module), "BluetoothAuthenticateDeviceEx");
  if (authenticateEx == nullptr) return std::nullopt;
  BLUETOOTH_DEVICE_INFO info = ToDeviceInfo(device);
  const HRESULT result = authenticateEx(ToWindow(owner), ToRadio(radio), &info, nullptr,
                                        static_cast<BLUETOOTH_AUTHENTICATION_REQUIREMENTS>(requirement));
  lastError_ = ::GetLastError();
  device = FromDeviceInfo(info);
  return static_cast<uint32_t>(result);
}

std::optional<uint32_t> Win32BtPlatform::SendAuthenticationResponseEx(BtModule module, BtRadio radio,
                                                                      const BtAuthResponse& response) {
  const auto sendEx =
      Lookup<SendAuthenticationResponseExFn>(ToModule(module), "BluetoothSendAuthenticationResponseEx");
  if (sendEx == nullptr) return std::nullopt;
  BLUETOOTH_AUTHENTICATE_RESPONSE record = ToAuthResponse(response);
  const HRESULT result = sendEx(ToRadio(radio), &record);
  lastError_ = ::GetLastError();
  return static_cast<uint32_t>(result);
}

bool Win32BtPlatform::UnregisterAuthentication(BtRegistration registration) {
  if (registration == BtRegistration::kNone) return false;
  auto handle = static_cast<HBLUETOOTH_AUTHENTICATION_REGISTRATION>(FromOpaque(registration));
  const BOOL ok = BackendEntryPoints().unregisterAuthentication(handle);
  lastError_ = ::GetLastError();
  const auto found = registrations_.find(handle);
  if (found != registrations_.end()) {
    // If it was the active one, the callback serves another registration still live, if any, before the
    // binding is freed.
    const AuthRegistration* binding = found->second.get();
    const AuthRegistration* next = nullptr;
    for (const auto& entry : registrations_) {
      if (entry.first != handle) next = entry.second.get();
    }
    activeRegistration.compare_exchange_strong(binding, next);
    registrations_.erase(found);
  }
  return ok != FALSE;
}

// ---- Service state and removal ----

uint32_t Win32BtPlatform::SetServiceState(BtRadio radio, const BtDeviceRecord& device, const BtGuid& service,
                                          bool enable) {
  BLUETOOTH_DEVICE_INFO info = ToDeviceInfo(device);
  GUID serviceClass = ToGuid(service);
  const DWORD result =
      ::BluetoothSetServiceState(ToRadio(radio), &info, &serviceClass, enable ? kServiceEnable : kServiceDisable);
  lastError_ = ::GetLastError();
  return result;
}

uint32_t Win32BtPlatform::RemoveDevice(uint64_t address) {
  BLUETOOTH_ADDRESS target{};
  target.ullLong = address & kAddressMask;
  const DWORD result = ::BluetoothRemoveDevice(&target);
  lastError_ = ::GetLastError();
  return result;
}

// ---- Serial port devices ----

bool Win32BtPlatform::ClassGuidsFromName(std::u16string_view className, std::vector<BtGuid>& classes) {
  classes.clear();
  const std::wstring name = ToWide(className);
  GUID found[kMaxPortClasses] = {};
  DWORD count = 0;
  const BOOL ok = ::SetupDiClassGuidsFromNameExW(name.c_str(), found, kMaxPortClasses, &count, nullptr, nullptr);
  lastError_ = ::GetLastError();
  if (!ok) return false;
  for (DWORD i = 0; i < std::min<DWORD>(count, kMaxPortClasses); ++i) {
    classes.push_back(FromGuid(found[i]));
  }
  return true;
}

BtPortList Win32BtPlatform::GetPresentDevices(const BtGuid& classId) {
  const GUID id = ToGuid(classId);
  HDEVINFO list = ::SetupDiGetClassDevsExW(&id, nullptr, nullptr, DIGCF_PRESENT, nullptr, nullptr, nullptr);
  lastError_ = ::GetLastError();
  if (list != INVALID_HANDLE_VALUE) portLists_[list] = PortListState{};
  return ToPortList(list);
}

bool Win32BtPlatform::GetListDetail(BtPortList list) {
  HDEVINFO handle = FromPortList(list);
  SP_DEVINFO_LIST_DETAIL_DATA_W detail;
  std::memset(&detail, 0, sizeof detail);
  detail.cbSize = sizeof detail;
  const BOOL ok = ::SetupDiGetDeviceInfoListDetailW(handle, &detail);
  lastError_ = ::GetLastError();
  if (ok) portLists_[handle].machine = detail.RemoteMachineHandle;
  return ok != FALSE;
}

bool Win32BtPlatform::EnumDevice(BtPortList list, uint32_t index, BtPortDevice& device) {
  HDEVINFO handle = FromPortList(list);
  SP_DEVINFO_DATA data{};
  data.cbSize = sizeof data;
  const BOOL ok = ::SetupDiEnumDeviceInfo(handle, index, &data);
  lastError_ = ::GetLastError();
  if (!ok) return false;
  device.index = index;
  device.instance = data.DevInst;
  PortListState& state = portLists_[handle];
  state.hasDevice = true;
  state.index = index;
  state.device = data;
  return true;
}

// The friendly-name call needs the platform's record of the device, which the portable one does not carry:
// the one kept from EnumDevice, or the same enumeration step again.
bool Win32BtPlatform::DeviceData(HDEVINFO list, const BtPortDevice& device, SP_DEVINFO_DATA& data) {
  const auto found = portLists_.find(list);
  if (found != portLists_.end() && found->second.hasDevice && found->second.index == device.index &&
      found->second.device.DevInst == device.instance) {
    data = found->second.device;
    return true;
  }
  data = SP_DEVINFO_DATA{};
  data.cbSize = sizeof data;
  return ::SetupDiEnumDeviceInfo(list, device.index, &data) != FALSE && data.DevInst == device.instance;
}

uint32_t Win32BtPlatform::GetDeviceId(BtPortList list, const BtPortDevice& device, std::u16string& id) {
  const auto found = portLists_.find(FromPortList(list));
  HMACHINE machine = found != portLists_.end() ? static_cast<HMACHINE>(found->second.machine) : nullptr;
  wchar_t buffer[kDeviceIdUnits] = {};
  const CONFIGRET result = ::CM_Get_Device_ID_ExW(device.instance, buffer, kDeviceIdUnits, 0, machine);
  if (result == CR_SUCCESS) id = FromWideField(buffer, kDeviceIdUnits);
  return result;
}

bool Win32BtPlatform::GetFriendlyName(BtPortList list, const BtPortDevice& device, std::u16string& name) {
  HDEVINFO handle = FromPortList(list);
  SP_DEVINFO_DATA data{};
  if (!DeviceData(handle, device, data)) return false;
  wchar_t buffer[kPropertyBytes / sizeof(wchar_t)] = {};
  DWORD type = 0;
  const BOOL ok = ::SetupDiGetDeviceRegistryPropertyW(handle, &data, SPDRP_FRIENDLYNAME, &type,
                                                      reinterpret_cast<PBYTE>(buffer), kPropertyBytes, nullptr);
  lastError_ = ::GetLastError();
  if (!ok) return false;
  name = FromWideField(buffer, kPropertyBytes / sizeof(wchar_t));
  return true;
}

void Win32BtPlatform::DestroyDeviceList(BtPortList list) {
  HDEVINFO handle = FromPortList(list);
  if (handle == INVALID_HANDLE_VALUE) return;
  ::SetupDiDestroyDeviceInfoList(handle);
  portLists_.erase(handle);
}

// ---- Installation state ----

std::optional<uint32_t> Win32BtPlatform::WaitNoPendingInstallEvents(uint32_t timeoutMilliseconds) {
  const auto wait = Lookup<WaitNoPendingInstallEventsFn>(::GetModuleHandleW(L"setupapi.dll"),
                                                         "CMP_WaitNoPendingInstallEvents");
  if (wait == nullptr) return std::nullopt;
  return wait(timeoutMilliseconds);
}

// ---- Prompts ----

int32_t Win32BtPlatform::ShowMessage(KVWindowHandle owner, std::u16string_view text, std::u16string_view caption,
                                     uint32_t style) {
  const std::wstring body = ToWide(text);
  const std::wstring title = ToWide(caption);
  return ::MessageBoxW(ToWindow(owner), body.c_str(), title.c_str(), style);
}

HMODULE Win32BtPlatform::OwnModule() {
  HMODULE module = nullptr;
  if (::GetModuleHandleExW(kOwnModuleFlags, reinterpret_cast<LPCWSTR>(&Win32BtPlatform::OwnModule), &module) &&
      module != nullptr) {
    return module;
  }
  return ::GetModuleHandleW(L"KorvantaSDK.dll");
}

bool Win32BtPlatform::LoadText(uint32_t number, std::u16string& text) {
  text.clear();
  HMODULE module = OwnModule();
  if (module == nullptr) return false;
  auto buffer = std::make_unique<wchar_t[]>(kTextUnits);
  const int units = ::LoadStringW(module, number, buffer.get(), kTextUnits);
  if (units <= 0) return false;
  text = FromWide(std::wstring_view(buffer.get(), static_cast<size_t>(units)));
  return true;
}

// Inserts are left as they stand: the call passes no arguments, and a system text with %1 in it would
// otherwise make the platform read arguments that do not exist.
bool Win32BtPlatform::ErrorText(uint32_t code, std::u16string& text) {
  text.clear();
  wchar_t* raw = nullptr;
  const DWORD units = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
      reinterpret_cast<LPWSTR>(&raw), 0, nullptr);
  UniqueLocalText owned(raw);
  if (units == 0 || raw == nullptr) return false;
  text = FromWide(std::wstring_view(raw, units));
  return true;
}

// ---- Timing ----

void Win32BtPlatform::Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

}  // namespace kv::bt::win32

namespace kv::bt {

BtPlatform& DefaultBtPlatform() {
  static win32::Win32BtPlatform platform;
  return platform;
}

}  // namespace kv::bt
