// records_win32.h: conversions between the boundary's portable records and the platform's own records
// (BLUETOOTH_DEVICE_INFO, SYSTEMTIME, GUID, search, radio and pairing records) and between the opaque
// handles and the platform's handles. Field copies only: no call into the platform, no decision.
#pragma once

#include <windows.h>
// windows.h first: the Bluetooth headers rely on its types.
#include <bluetoothapis.h>
#include <setupapi.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "bluetooth/platform.h"

namespace kv::bt::win32 {

// The platform's record sizes; a mismatch would make every call that takes a record fail.
static_assert(sizeof(BLUETOOTH_DEVICE_INFO) == 560, "BLUETOOTH_DEVICE_INFO layout");
static_assert(sizeof(SYSTEMTIME) == 16, "SYSTEMTIME layout");
static_assert(sizeof(GUID) == 16, "GUID layout");

inline constexpr uint64_t kAddressMask = 0x0000FFFFFFFFFFFFull;

SYSTEMTIME ToSystemTime(const BtSystemTime& time);
BtSystemTime FromSystemTime(const SYSTEMTIME& time);

GUID ToGuid(const BtGuid& guid);
BtGuid FromGuid(const GUID& guid);

// A cleared record with its size field set, then the portable fields; the name is cut to
// kMaxDeviceNameUnits units and always terminated.
BLUETOOTH_DEVICE_INFO ToDeviceInfo(const BtDeviceRecord& record);
// The name is read up to its terminator, at most the 248 units of the field.
BtDeviceRecord FromDeviceInfo(const BLUETOOTH_DEVICE_INFO& info);

BLUETOOTH_DEVICE_SEARCH_PARAMS ToSearchParams(const BtDeviceSearch& search);
BtRadioInfo FromRadioInfo(const BLUETOOTH_RADIO_INFO& info);
BtAuthRequest FromAuthParams(const BLUETOOTH_AUTHENTICATION_CALLBACK_PARAMS& params);
// The PIN bytes go in the PIN-information member whatever the method, as the setup asks.
BLUETOOTH_AUTHENTICATE_RESPONSE ToAuthResponse(const BtAuthResponse& response);

// Text of a fixed wide field, up to its terminator or the end of the field.
std::u16string FromWideField(const wchar_t* field, size_t capacity);
// Zero-terminated wide copy for calls that take LPCWSTR.
std::wstring ToWide(std::u16string_view text);
std::u16string FromWide(std::wstring_view text);

// Opaque handles: the platform's pointer value as the enum's value. A device list's "none" is the
// platform's invalid handle value.
template <typename Opaque>
Opaque ToOpaque(void* handle) {
  return static_cast<Opaque>(reinterpret_cast<uintptr_t>(handle));
}
template <typename Opaque>
void* FromOpaque(Opaque handle) {
  return reinterpret_cast<void*>(static_cast<uintptr_t>(handle));
}
inline BtPortList ToPortList(HDEVINFO list) {
  return list == INVALID_HANDLE_VALUE ? BtPortList::kNone : ToOpaque<BtPortList>(list);
}
inline HDEVINFO FromPortList(BtPortList list) {
  return list == BtPortList::kNone ? INVALID_HANDLE_VALUE : static_cast<HDEVINFO>(FromOpaque(list));
}

}  // namespace kv::bt::win32
