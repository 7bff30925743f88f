// records_win32.cpp: field-by-field copies between the portable records and the platform's records.
// Nothing here calls the platform; wchar_t and char16_t are both UTF-16 units on Windows.
#include "bluetooth/win32/records_win32.h"

#include <algorithm>
#include <cstring>

namespace kv::bt::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wide text is UTF-16 on this platform");

SYSTEMTIME ToSystemTime(const BtSystemTime& time) {
  SYSTEMTIME out{};
  out.wYear = time.year;
  out.wMonth = time.month;
  out.wDayOfWeek = time.dayOfWeek;
  out.wDay = time.day;
  out.wHour = time.hour;
  out.wMinute = time.minute;
  out.wSecond = time.second;
  out.wMilliseconds = time.milliseconds;
  return out;
}

BtSystemTime FromSystemTime(const SYSTEMTIME& time) {
  BtSystemTime out;
  out.year = time.wYear;
  out.month = time.wMonth;
  out.dayOfWeek = time.wDayOfWeek;
  out.day = time.wDay;
  out.hour = time.wHour;
  out.minute = time.wMinute;
  out.second = time.wSecond;
  out.milliseconds = time.wMilliseconds;
  return out;
}

GUID ToGuid(const BtGuid& guid) {
  GUID out{};
  out.Data1 = guid.data1;
  out.Data2 = guid.data2;
  out.Data3 = guid.data3;
  std::copy(guid.data4.begin(), guid.data4.end(), out.Data4);
  return out;
}

BtGuid FromGuid(const GUID& guid) {
  BtGuid out;
  out.data1 = static_cast<uint32_t>(guid.Data1);
  out.data2 = guid.Data2;
  out.data3 = guid.Data3;
  std::copy(guid.Data4, guid.Data4 + 8, out.data4.begin());
  return out;
}

std::u16string FromWideField(const wchar_t* field, size_t capacity) {
  const wchar_t* end = std::find(field, field + capacity, L'\0');
  return std::u16string(reinterpret_cast<const char16_t*>(field), static_cast<size_t>(end - field));
}

std::wstring ToWide(std::u16string_view text) {
  return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

std::u16string FromWide(std::wstring_view text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size());
}

BLUETOOTH_DEVICE_INFO ToDeviceInfo(const BtDeviceRecord& record) {
  BLUETOOTH_DEVICE_INFO info;
  std::memset(&info, 0, sizeof info);
  info.dwSize = sizeof info;
  info.Address.ullLong = record.address & kAddressMask;
  info.ulClassofDevice = record.classOfDevice;
  info.fConnected = record.connected ? TRUE : FALSE;
  info.fRemembered = record.remembered ? TRUE : FALSE;
  info.fAuthenticated = record.authenticated ? TRUE : FALSE;
  info.stLastSeen = ToSystemTime(record.lastSeen);
  info.stLastUsed = ToSystemTime(record.lastUsed);
  const size_t units = std::min<size_t>(record.name.size(), kMaxDeviceNameUnits);
  std::copy_n(record.name.data(), units, reinterpret_cast<char16_t*>(info.szName));
  info.szName[units] = L'\0';
  return info;
}

BtDeviceRecord FromDeviceInfo(const BLUETOOTH_DEVICE_INFO& info) {
  BtDeviceRecord record;
  record.address = info.Address.ullLong & kAddressMask;
  record.classOfDevice = info.ulClassofDevice;
  record.connected = info.fConnected != FALSE;
  record.remembered = info.fRemembered != FALSE;
  record.authenticated = info.fAuthenticated != FALSE;
  record.lastSeen = FromSystemTime(info.stLastSeen);
  record.lastUsed = FromSystemTime(info.stLastUsed);
  record.name = FromWideField(info.szName, BLUETOOTH_MAX_NAME_SIZE);
  return record;
}

BLUETOOTH_DEVICE_SEARCH_PARAMS ToSearchParams(const BtDeviceSearch& search) {
  BLUETOOTH_DEVICE_SEARCH_PARAMS params;
  std::memset(&params, 0, sizeof params);
  params.dwSize = sizeof params;
  params.fReturnAuthenticated = search.returnAuthenticated ? TRUE : FALSE;
  params.fReturnRemembered = search.returnRemembered ? TRUE : FALSE;
  params.fReturnUnknown = search.returnUnknown ? TRUE : FALSE;
  params.fReturnConnected = search.returnConnected ? TRUE : FALSE;
  params.fIssueInquiry = search.issueInquiry ? TRUE : FALSE;
  params.cTimeoutMultiplier = search.timeoutMultiplier;
  params.hRadio = static_cast<HANDLE>(FromOpaque(search.radio));
  return params;
}

BtRadioInfo FromRadioInfo(const BLUETOOTH_RADIO_INFO& info) {
  BtRadioInfo out;
  out.address = info.address.ullLong & kAddressMask;
  out.name = FromWideField(info.szName, BLUETOOTH_MAX_NAME_SIZE);
  out.classOfDevice = info.ulClassofDevice;
  out.lmpSubversion = info.lmpSubversion;
  out.manufacturer = info.manufacturer;
  return out;
}

BtAuthRequest FromAuthParams(const BLUETOOTH_AUTHENTICATION_CALLBACK_PARAMS& params) {
  BtAuthRequest request;
  request.device = FromDeviceInfo(params.deviceInfo);
  request.method = static_cast<uint32_t>(params.authenticationMethod);
  request.ioCapability = static_cast<uint32_t>(params.ioCapability);
  request.requirements = static_cast<uint32_t>(params.authenticationRequirements);
  request.numericValue = params.Numeric_Value;
  return request;
}

BLUETOOTH_AUTHENTICATE_RESPONSE ToAuthResponse(const BtAuthResponse& response) {
  BLUETOOTH_AUTHENTICATE_RESPONSE out;
  std::memset(&out, 0, sizeof out);
  out.bthAddressRemote.ullLong = response.remoteAddress & kAddressMask;
  out.authMethod = static_cast<BLUETOOTH_AUTHENTICATION_METHOD>(response.method);
  std::copy(response.pin.begin(), response.pin.end(), out.pinInfo.pin);
  out.pinInfo.pinLength = std::min<uint8_t>(response.pinLength, BTH_MAX_PIN_SIZE);
  out.negativeResponse = response.negativeResponse;
  return out;
}

}  // namespace kv::bt::win32
