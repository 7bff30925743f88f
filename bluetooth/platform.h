// platform.h: everything the Bluetooth setup asks of an operating system, one virtual per platform call.
// Portable records and the platform's own code values only; no decision is taken below this line, and no
// operating-system type or header appears here. Backends: null/ (no radio), win32/; tests use a fake.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "KorvantaSDK.h"

namespace kv::bt {

// ---- Platform code values the logic tests for (Win32 values, kept as the platform gives them) ----

inline constexpr uint32_t kErrorSuccess = 0;
inline constexpr uint32_t kErrorBadUnit = 20;                  // ERROR_BAD_UNIT: no radio
inline constexpr uint32_t kWaitTimeout = 258;                  // WAIT_TIMEOUT: installations still pending
inline constexpr uint32_t kErrorNoMoreItems = 259;             // 0x103, a newer pairing call's success
inline constexpr uint32_t kErrorCancelled = 1223;              // ERROR_CANCELLED
inline constexpr uint32_t kErrorNotAuthenticated = 1244;       // 0x4DC: fall back to the legacy pairing
inline constexpr uint32_t kRpcServerUnavailable = 1722;        // 0x6BA
inline constexpr uint32_t kResultInvalidHandle = 0x80070006u;  // HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE)
inline constexpr uint32_t kResultInvalidArg = 0x80070057u;     // E_INVALIDARG: service already in its state

// Message box styles and the buttons pressed.
inline constexpr uint32_t kStyleRetryCancelWarning = 0x35;  // MB_RETRYCANCEL | MB_ICONEXCLAMATION
inline constexpr uint32_t kStyleOkWarning = 0x30;           // MB_OK | MB_ICONEXCLAMATION
inline constexpr uint32_t kStyleOkCancelInfo = 0x41;        // MB_OKCANCEL | MB_ICONINFORMATION
inline constexpr uint32_t kStyleYesNo = 4;                  // MB_YESNO
inline constexpr uint32_t kStyleYesNoCancel = 3;            // MB_YESNOCANCEL
inline constexpr int32_t kButtonNone = 0;                   // the box could not be shown
inline constexpr int32_t kButtonOk = 1;
inline constexpr int32_t kButtonCancel = 2;
inline constexpr int32_t kButtonRetry = 4;
inline constexpr int32_t kButtonYes = 6;
inline constexpr int32_t kButtonNo = 7;

// Pairing methods of a pairing request (BLUETOOTH_AUTHENTICATION_METHOD).
inline constexpr uint32_t kAuthMethodLegacy = 1;
inline constexpr uint32_t kAuthMethodOob = 2;
inline constexpr uint32_t kAuthMethodNumericComparison = 3;
inline constexpr uint32_t kAuthMethodPasskeyNotification = 4;
inline constexpr uint32_t kAuthMethodPasskey = 5;

inline constexpr uint32_t kMaxDeviceNameUnits = 247;  // szName holds 248 units with its terminator
inline constexpr uint32_t kMaxPortClasses = 16;       // class identifiers asked for at most

// ---- Portable records ----

// Opaque platform handles; kNone (0) is "no handle" (for a device list: the invalid handle value).
enum class BtRadio : uintptr_t { kNone = 0 };
enum class BtRadioFind : uintptr_t { kNone = 0 };
enum class BtDeviceFind : uintptr_t { kNone = 0 };
enum class BtModule : uintptr_t { kNone = 0 };
enum class BtRegistration : uintptr_t { kNone = 0 };
enum class BtPortList : uintptr_t { kNone = 0 };

// A GUID in its platform layout (data1-data2-data3-data4[0..1]-data4[2..7]).
struct BtGuid {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  std::array<uint8_t, 8> data4{};
  friend bool operator==(const BtGuid&, const BtGuid&) = default;
};

// The Serial Port Profile service class, 00001101-0000-1000-8000-00805F9B34FB.
inline constexpr BtGuid kSerialPortServiceClass{0x00001101, 0x0000, 0x1000,
                                                {0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB}};

// A platform date and time (SYSTEMTIME field order).
struct BtSystemTime {
  uint16_t year = 0;
  uint16_t month = 0;
  uint16_t dayOfWeek = 0;
  uint16_t day = 0;
  uint16_t hour = 0;
  uint16_t minute = 0;
  uint16_t second = 0;
  uint16_t milliseconds = 0;
  friend bool operator==(const BtSystemTime&, const BtSystemTime&) = default;
};

// The fields of a platform device record that the setup reads. A default record is "cleared".
struct BtDeviceRecord {
  uint64_t address = 0;        // low 48 bits; byte 0 least significant, printed last
  uint32_t classOfDevice = 0;  // bits 8 to 12: major device class
  bool connected = false;
  bool remembered = false;
  bool authenticated = false;
  BtSystemTime lastSeen;
  BtSystemTime lastUsed;
  std::u16string name;  // the platform gives at most kMaxDeviceNameUnits units
  friend bool operator==(const BtDeviceRecord&, const BtDeviceRecord&) = default;
};

struct BtRadioInfo {
  uint64_t address = 0;
  std::u16string name;
  uint32_t classOfDevice = 0;
  uint16_t lmpSubversion = 0;
  uint16_t manufacturer = 0;
};

// BLUETOOTH_DEVICE_SEARCH_PARAMS without its size field.
struct BtDeviceSearch {
  bool returnAuthenticated = false;
  bool returnRemembered = false;
  bool returnUnknown = false;
  bool returnConnected = false;
  bool issueInquiry = false;
  uint8_t timeoutMultiplier = 0;  // units of 1.28 s
  BtRadio radio{};  // kNone: all radios
};

// The filter the selection dialog asks for each device it would offer; device may be null.
using BtDeviceFilter = bool (*)(void* context, const BtDeviceRecord* device);

// BLUETOOTH_SELECT_DEVICE_PARAMS without its size field; the setup never passes a class-of-device list.
struct BtSelectDialog {
  std::u16string_view info;  // empty: no information text
  KVWindowHandle owner = nullptr;
  bool forceAuthentication = false;
  bool showAuthenticated = false;
  bool showRemembered = false;
  bool showUnknown = false;
  bool addNewDeviceWizard = false;
  bool skipServicesPage = false;
  BtDeviceFilter filter = nullptr;  // null: every device is offered
  void* filterContext = nullptr;
  uint32_t numDevices = 0;  // 0: any number
};

// BLUETOOTH_AUTHENTICATION_CALLBACK_PARAMS.
struct BtAuthRequest {
  BtDeviceRecord device;
  uint32_t method = 0;  // kAuthMethod...
  uint32_t ioCapability = 0;
  uint32_t requirements = 0;
  uint32_t numericValue = 0;  // numeric value or passkey
};

// BLUETOOTH_AUTHENTICATE_RESPONSE with its PIN-information member.
struct BtAuthResponse {
  uint64_t remoteAddress = 0;
  uint32_t method = 0;
  std::array<uint8_t, 16> pin{};
  uint8_t pinLength = 0;
  uint8_t negativeResponse = 0;
  friend bool operator==(const BtAuthResponse&, const BtAuthResponse&) = default;
};

class BtPlatform;
// Called by the platform, on a thread of its choosing, while AuthenticateDeviceEx runs. True: accepted.
using BtAuthCallback = bool (*)(BtPlatform& platform, void* context, const BtAuthRequest* request);

// One device of a port device list: its index in the list and its instance handle (DEVINST).
struct BtPortDevice {
  uint32_t index = 0;
  uint32_t instance = 0;
};

// ---- The boundary ----

class BtPlatform {
 public:
  virtual ~BtPlatform() = default;

  // Radios: BluetoothFindFirstRadio / FindNextRadio / FindRadioClose, BluetoothGetRadioInfo, CloseHandle.
  virtual BtRadioFind FindFirstRadio(BtRadio& radio) = 0;  // kNone when there is no radio
  virtual bool FindNextRadio(BtRadioFind find, BtRadio& radio) = 0;
  virtual void FindRadioClose(BtRadioFind find) = 0;
  virtual uint32_t GetRadioInfo(BtRadio radio, BtRadioInfo& info) = 0;  // 0 on success
  virtual void CloseRadio(BtRadio radio) = 0;

  // Devices: BluetoothFindFirstDevice / FindNextDevice / FindDeviceClose, BluetoothGetDeviceInfo.
  // FindFirstDevice answers kNone with the reason in LastError().
  virtual BtDeviceFind FindFirstDevice(const BtDeviceSearch& search, BtDeviceRecord& device) = 0;
  virtual bool FindNextDevice(BtDeviceFind find, BtDeviceRecord& device) = 0;
  virtual void FindDeviceClose(BtDeviceFind find) = 0;
  virtual uint32_t GetDeviceInfo(BtRadio radio, BtDeviceRecord& device) = 0;  // refreshes by address
  // The error code of the latest failed call (GetLastError right after it).
  virtual uint32_t LastError() = 0;

  // Selection dialog: BluetoothSelectDevices, then BluetoothSelectDevicesFree inside the backend.
  // True when the user chose; the chosen devices are copied out and the platform's list released.
  virtual bool SelectDevices(const BtSelectDialog& dialog, std::vector<BtDeviceRecord>& chosen) = 0;

  // Pairing. The legacy call is always there; the newer ones are looked up in a module loaded by name
  // ("bthprops.cpl") and answer std::nullopt when that module lacks them.
  virtual uint32_t AuthenticateDevice(KVWindowHandle owner, BtRadio radio, BtDeviceRecord& device,
                                      std::u16string_view pin) = 0;
  virtual BtModule LoadModule(std::u16string_view name) = 0;  // LoadLibraryW; kNone when it cannot load
  virtual void FreeLoadedModule(BtModule module) = 0;  // FreeLibrary
  virtual std::optional<uint32_t> RegisterForAuthenticationEx(BtModule module, const BtDeviceRecord& device,
                                                              BtAuthCallback callback, void* context,
                                                              BtRegistration& registration) = 0;
  // No out-of-band data is ever passed.
  virtual std::optional<uint32_t> AuthenticateDeviceEx(BtModule module, KVWindowHandle owner, BtRadio radio,
                                                       BtDeviceRecord& device, uint32_t requirement) = 0;
  virtual std::optional<uint32_t> SendAuthenticationResponseEx(BtModule module, BtRadio radio,
                                                               const BtAuthResponse& response) = 0;
  virtual bool UnregisterAuthentication(BtRegistration registration) = 0;

  // Service state and removal: BluetoothSetServiceState, BluetoothRemoveDevice. 0 on success.
  virtual uint32_t SetServiceState(BtRadio radio, const BtDeviceRecord& device, const BtGuid& service,
                                   bool enable) = 0;
  virtual uint32_t RemoveDevice(uint64_t address) = 0;

  // Serial port devices: SetupDiClassGuidsFromNameExW, SetupDiGetClassDevsExW (present devices only),
  // SetupDiGetDeviceInfoListDetailW, SetupDiEnumDeviceInfo, CM_Get_Device_ID_ExW (with the list's
  // machine), SetupDiGetDeviceRegistryPropertyW (friendly name), SetupDiDestroyDeviceInfoList.
  virtual bool ClassGuidsFromName(std::u16string_view className, std::vector<BtGuid>& classes) = 0;
  virtual BtPortList GetPresentDevices(const BtGuid& classId) = 0;  // kNone: invalid handle
  virtual bool GetListDetail(BtPortList list) = 0;
  virtual bool EnumDevice(BtPortList list, uint32_t index, BtPortDevice& device) = 0;
  virtual uint32_t GetDeviceId(BtPortList list, const BtPortDevice& device, std::u16string& id) = 0;  // 0: ok
  virtual bool GetFriendlyName(BtPortList list, const BtPortDevice& device, std::u16string& name) = 0;
  virtual void DestroyDeviceList(BtPortList list) = 0;

  // Installation state: CMP_WaitNoPendingInstallEvents looked up afresh in the loaded "setupapi.dll";
  // std::nullopt when the module is not loaded or lacks it. kWaitTimeout: still pending at the end.
  virtual std::optional<uint32_t> WaitNoPendingInstallEvents(uint32_t timeoutMilliseconds) = 0;

  // Prompts: MessageBoxW (the button, kButtonNone when no box could be shown), LoadStringW from the
  // library's own module (false when the number has no text), FormatMessageW/LocalFree.
  virtual int32_t ShowMessage(KVWindowHandle owner, std::u16string_view text, std::u16string_view caption,
                              uint32_t style) = 0;
  virtual bool LoadText(uint32_t number, std::u16string& text) = 0;
  virtual bool ErrorText(uint32_t code, std::u16string& text) = 0;

  // Timing: every pause of the setup goes through here.
  virtual void Sleep(uint32_t milliseconds) = 0;

  // The name of the Bluetooth stack the stack description gives ("Microsoft" for the Win32 API).
  virtual std::u16string_view StackName() { return u"Microsoft"; }
};

// The platform the library's exports use: the backend linked into this build.
BtPlatform& DefaultBtPlatform();

}  // namespace kv::bt
