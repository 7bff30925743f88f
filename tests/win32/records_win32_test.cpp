// records_win32_test.cpp: the copies between the portable records and the platform's records, field by
// field, with values that tell the fields apart; the expected platform values are written out by hand.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "bluetooth/win32/records_win32.h"

namespace kv::bt::win32 {
namespace {

BtDeviceRecord SampleRecord() {
  BtDeviceRecord r;
  r.address = 0x00112233'4455AAull;
  r.classOfDevice = 0x001F00;
  r.connected = true;
  r.remembered = false;
  r.authenticated = true;
  r.lastSeen = {2024, 2, 4, 29, 13, 45, 59, 999};
  r.lastUsed = {2023, 12, 0, 31, 23, 59, 58, 1};
  r.name = u"Korvanta 8124";
  return r;
}

TEST(DeviceRecordToPlatform, EveryFieldLandsInItsPlatformField) {
  const BLUETOOTH_DEVICE_INFO info = ToDeviceInfo(SampleRecord());
  EXPECT_EQ(560u, info.dwSize);
  // Byte 0 of the platform's address is the least significant byte, the one printed last.
  const BYTE expectedBytes[6] = {0xAA, 0x55, 0x44, 0x33, 0x22, 0x11};
  EXPECT_EQ(0, std::memcmp(expectedBytes, info.Address.rgBytes, 6));
  EXPECT_EQ(0x001F00u, info.ulClassofDevice);
  EXPECT_EQ(TRUE, info.fConnected);
  EXPECT_EQ(FALSE, info.fRemembered);
  EXPECT_EQ(TRUE, info.fAuthenticated);
  EXPECT_EQ(2024, info.stLastSeen.wYear);
  EXPECT_EQ(2, info.stLastSeen.wMonth);
  EXPECT_EQ(4, info.stLastSeen.wDayOfWeek);
  EXPECT_EQ(29, info.stLastSeen.wDay);
  EXPECT_EQ(13, info.stLastSeen.wHour);
  EXPECT_EQ(45, info.stLastSeen.wMinute);
  EXPECT_EQ(59, info.stLastSeen.wSecond);
  EXPECT_EQ(999, info.stLastSeen.wMilliseconds);
  EXPECT_EQ(31, info.stLastUsed.wDay);
  EXPECT_EQ(1, info.stLastUsed.wMilliseconds);
  EXPECT_EQ(std::wstring(L"Korvanta 8124"), std::wstring(info.szName));
}

TEST(DeviceRecordToPlatform, ClearedRecordIsAllZeroButItsSize) {
  const BLUETOOTH_DEVICE_INFO info = ToDeviceInfo(BtDeviceRecord{});
  BLUETOOTH_DEVICE_INFO expected;
  std::memset(&expected, 0, sizeof expected);
  expected.dwSize = sizeof expected;
  EXPECT_EQ(0, std::memcmp(&expected, &info, sizeof info));
}

TEST(DeviceRecordToPlatform, AddressAbove48BitsIsDropped) {
  BtDeviceRecord r;
  r.address = 0xFFFF'0011'2233'4455ull;
  EXPECT_EQ(0x0000'0011'2233'4455ull, ToDeviceInfo(r).Address.ullLong);
}

struct NameCase {
  const char* label;
  size_t units;
  size_t expectedUnits;
};
class DeviceNameLength : public ::testing::TestWithParam<NameCase> {};

// The platform's field holds 248 units with the terminator: longer names are cut to 247 and terminated.
TEST_P(DeviceNameLength, IsCutTo247AndTerminated) {
  BtDeviceRecord r;
  for (size_t i = 0; i < GetParam().units; ++i) r.name.push_back(static_cast<char16_t>(u'a' + i % 26));
  const BLUETOOTH_DEVICE_INFO info = ToDeviceInfo(r);
  EXPECT_EQ(GetParam().expectedUnits, std::wcslen(info.szName));
  EXPECT_EQ(r.name.substr(0, GetParam().expectedUnits), FromDeviceInfo(info).name);
}

INSTANTIATE_TEST_SUITE_P(Names, DeviceNameLength,
                         ::testing::Values(NameCase{"Empty", 0, 0}, NameCase{"Short", 13, 13},
                                           NameCase{"Longest", 247, 247}, NameCase{"OneTooLong", 248, 247},
                                           NameCase{"FarTooLong", 400, 247}),
                         [](const auto& p) { return p.param.label; });

TEST(DeviceRecordFromPlatform, EveryPlatformFieldIsRead) {
  BLUETOOTH_DEVICE_INFO info;
  std::memset(&info, 0, sizeof info);
  info.dwSize = sizeof info;
  const BYTE bytes[8] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
  std::memcpy(&info.Address.ullLong, bytes, 8);  // the two top bytes are not part of an address
  info.ulClassofDevice = 0x5A020C;
  info.fConnected = FALSE;
  info.fRemembered = 7;  // any non-zero value is true
  info.fAuthenticated = FALSE;
  info.stLastSeen.wYear = 2020;
  info.stLastUsed.wSecond = 17;
  std::wcscpy(info.szName, L"MyQUATTRON");

  const BtDeviceRecord r = FromDeviceInfo(info);
  EXPECT_EQ(0x060504030201ull, r.address);
  EXPECT_EQ(0x5A020Cu, r.classOfDevice);
  EXPECT_FALSE(r.connected);
  EXPECT_TRUE(r.remembered);
  EXPECT_FALSE(r.authenticated);
  EXPECT_EQ(2020, r.lastSeen.year);
  EXPECT_EQ(17, r.lastUsed.second);
  EXPECT_EQ(u"MyQUATTRON", r.name);
}

// A name that fills the whole field without a terminator is read to the end of the field, never beyond.
TEST(DeviceRecordFromPlatform, UnterminatedNameStopsAtTheFieldEnd) {
  BLUETOOTH_DEVICE_INFO info;
  std::memset(&info, 0, sizeof info);
  for (wchar_t& c : info.szName) c = L'k';
  EXPECT_EQ(std::u16string(BLUETOOTH_MAX_NAME_SIZE, u'k'), FromDeviceInfo(info).name);
}

TEST(DeviceRecordRoundTrip, PortableRecordSurvives) {
  const BtDeviceRecord r = SampleRecord();
  EXPECT_EQ(r, FromDeviceInfo(ToDeviceInfo(r)));
}

// The serial port service class against the platform's own parse of its published text form.
TEST(Guids, SerialPortServiceClassMatchesItsTextForm) {
  GUID parsed{};
  ASSERT_EQ(S_OK, ::CLSIDFromString(L"{00001101-0000-1000-8000-00805F9B34FB}", &parsed));
  const GUID converted = ToGuid(kSerialPortServiceClass);
  EXPECT_EQ(0, std::memcmp(&parsed, &converted, sizeof(GUID)));
  EXPECT_EQ(kSerialPortServiceClass, FromGuid(parsed));
}

TEST(Guids, PortsClassReadsBackFieldByField) {
  GUID ports{};
  ASSERT_EQ(S_OK, ::CLSIDFromString(L"{4D36E978-E325-11CE-BFC1-08002BE10318}", &ports));
  const BtGuid portable = FromGuid(ports);
  EXPECT_EQ(0x4D36E978u, portable.data1);
  EXPECT_EQ(0xE325u, portable.data2);
  EXPECT_EQ(0x11CEu, portable.data3);
  const std::array<uint8_t, 8> data4{0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18};
  EXPECT_EQ(data4, portable.data4);
}

TEST(SearchParams, FlagsMultiplierAndRadioLandInTheirFields) {
  BtDeviceSearch search;
  search.returnAuthenticated = true;
  search.returnRemembered = false;
  search.returnUnknown = true;
  search.returnConnected = false;
  search.issueInquiry = true;
  search.timeoutMultiplier = 45;
  search.radio = static_cast<BtRadio>(0x1234);
  const BLUETOOTH_DEVICE_SEARCH_PARAMS params = ToSearchParams(search);
  EXPECT_EQ(sizeof(BLUETOOTH_DEVICE_SEARCH_PARAMS), params.dwSize);
  EXPECT_EQ(TRUE, params.fReturnAuthenticated);
  EXPECT_EQ(FALSE, params.fReturnRemembered);
  EXPECT_EQ(TRUE, params.fReturnUnknown);
  EXPECT_EQ(FALSE, params.fReturnConnected);
  EXPECT_EQ(TRUE, params.fIssueInquiry);
  EXPECT_EQ(45, params.cTimeoutMultiplier);
  EXPECT_EQ(reinterpret_cast<HANDLE>(0x1234), params.hRadio);
  EXPECT_EQ(nullptr, ToSearchParams(BtDeviceSearch{}).hRadio);  // all radios
}

TEST(RadioInfo, NameManufacturerAndSubversionAreRead) {
  BLUETOOTH_RADIO_INFO info;
  std::memset(&info, 0, sizeof info);
  info.dwSize = sizeof info;
  info.address.ullLong = 0xA1B2C3D4E5F6ull;
  std::wcscpy(info.szName, L"LAB-PC");
  info.ulClassofDevice = 0x10010C;
  info.lmpSubversion = 4096;
  info.manufacturer = 15;
  const BtRadioInfo r = FromRadioInfo(info);
  EXPECT_EQ(0xA1B2C3D4E5F6ull, r.address);
  EXPECT_EQ(u"LAB-PC", r.name);
  EXPECT_EQ(0x10010Cu, r.classOfDevice);
  EXPECT_EQ(4096, r.lmpSubversion);
  EXPECT_EQ(15, r.manufacturer);
}

TEST(PairingRecords, RequestIsReadWithItsDevice) {
  BLUETOOTH_AUTHENTICATION_CALLBACK_PARAMS params;
  std::memset(&params, 0, sizeof params);
  params.deviceInfo = ToDeviceInfo(SampleRecord());
  params.authenticationMethod = BLUETOOTH_AUTHENTICATION_METHOD_NUMERIC_COMPARISON;
  params.ioCapability = BLUETOOTH_IO_CAPABILITY_DISPLAYYESNO;
  params.authenticationRequirements = MITMProtectionRequiredBonding;
  params.Numeric_Value = 123456;
  const BtAuthRequest request = FromAuthParams(params);
  EXPECT_EQ(SampleRecord(), request.device);
  EXPECT_EQ(kAuthMethodNumericComparison, request.method);
  EXPECT_EQ(1u, request.ioCapability);
  EXPECT_EQ(3u, request.requirements);
  EXPECT_EQ(123456u, request.numericValue);
}

// The PIN goes in the PIN-information member whatever the method: bytes, then their count.
TEST(PairingRecords, ResponseCarriesThePinBytes) {
  BtAuthResponse response;
  response.remoteAddress = 0x00112233'44AAull;
  response.method = kAuthMethodPasskey;
  const char pin[] = "73914";
  for (size_t i = 0; i < 5; ++i) response.pin[i] = static_cast<uint8_t>(pin[i]);
  response.pinLength = 5;
  response.negativeResponse = 0;
  const BLUETOOTH_AUTHENTICATE_RESPONSE out = ToAuthResponse(response);
  EXPECT_EQ(0x00112233'44AAull, out.bthAddressRemote.ullLong);
  EXPECT_EQ(BLUETOOTH_AUTHENTICATION_METHOD_PASSKEY, out.authMethod);
  EXPECT_EQ(0, std::memcmp("73914", out.pinInfo.pin, 5));
  EXPECT_EQ(0, out.pinInfo.pin[5]);
  EXPECT_EQ(5, out.pinInfo.pinLength);
  EXPECT_EQ(0, out.negativeResponse);
}

TEST(PairingRecords, PinLengthNeverExceedsTheField) {
  BtAuthResponse response;
  response.pinLength = 200;
  EXPECT_EQ(16, ToAuthResponse(response).pinInfo.pinLength);
}

TEST(Handles, DeviceListNoneIsTheInvalidHandleValue) {
  EXPECT_EQ(BtPortList::kNone, ToPortList(INVALID_HANDLE_VALUE));
  EXPECT_EQ(INVALID_HANDLE_VALUE, FromPortList(BtPortList::kNone));
  const auto some = reinterpret_cast<HDEVINFO>(0x5000);
  EXPECT_EQ(some, FromPortList(ToPortList(some)));
}

}  // namespace
}  // namespace kv::bt::win32
