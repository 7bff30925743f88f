// records_win32_test.cpp: the copies between the portable records and the platform's records, with
// values that tell the fields apart; the expected platform values are written out by hand.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <tuple>

#include "bluetooth/win32/records_win32.h"

namespace kv::bt::win32 {
namespace {

BtDeviceRecord SampleRecord() {
  BtDeviceRecord r;
  r.address = 0x00112233'4455AAull;
  r.classOfDevice = 0x001F00;
  r.connected = r.authenticated = true;
  r.lastSeen = {2024, 2, 4, 29, 13, 45, 59, 999};
  r.lastUsed = {2023, 12, 0, 31, 23, 59, 58, 1};
  r.name = u"Korvanta 8124";
  return r;
}

TEST(DeviceRecord, BothWays) {
  const BLUETOOTH_DEVICE_INFO info = ToDeviceInfo(SampleRecord());  // its size field: `cleared` below
  const BYTE address[6] = {0xAA, 0x55, 0x44, 0x33, 0x22, 0x11};  // least significant byte first
  EXPECT_EQ(0, std::memcmp(address, info.Address.rgBytes, 6));
  const SYSTEMTIME seen{2024, 2, 4, 29, 13, 45, 59, 999}, used{2023, 12, 0, 31, 23, 59, 58, 1};
  EXPECT_EQ(0, std::memcmp(&seen, &info.stLastSeen, sizeof seen));
  EXPECT_EQ(0, std::memcmp(&used, &info.stLastUsed, sizeof used));
  EXPECT_EQ(0x001F00u, info.ulClassofDevice);
  EXPECT_EQ((std::array<BOOL, 3>{TRUE, FALSE, TRUE}),
            (std::array<BOOL, 3>{info.fConnected, info.fRemembered, info.fAuthenticated}));
  EXPECT_EQ(std::wstring(L"Korvanta 8124"), info.szName);
  EXPECT_EQ(SampleRecord(), FromDeviceInfo(info));

  BLUETOOTH_DEVICE_INFO cleared;  // its padding too
  std::memset(&cleared, 0, sizeof cleared);
  cleared.dwSize = sizeof cleared;
  const BLUETOOTH_DEVICE_INFO fromEmpty = ToDeviceInfo(BtDeviceRecord{});
  EXPECT_EQ(0, std::memcmp(&cleared, &fromEmpty, sizeof cleared));
  BtDeviceRecord wide;
  wide.address = 0xFFFF'0011'2233'4455ull;
  EXPECT_EQ(0x0000'0011'2233'4455ull, ToDeviceInfo(wide).Address.ullLong);

  BLUETOOTH_DEVICE_INFO platform{};
  platform.Address.ullLong = 0x0807'0605'0403'0201ull;  // the two top bytes are not part of an address
  platform.fRemembered = 7;                             // any non-zero value is true
  const BtDeviceRecord read = FromDeviceInfo(platform);
  EXPECT_EQ(0x060504030201ull, read.address);
  EXPECT_TRUE(read.remembered);
  EXPECT_FALSE(read.connected || read.authenticated);
}

// The platform's field holds 248 units with the terminator: longer names are cut to 247; a field
// without a terminator is read to its end, never beyond.
TEST(DeviceRecord, NameLengths) {
  for (const auto& [units, kept] : {std::pair<size_t, size_t>{0, 0}, {247, 247}, {248, 247}, {400, 247}}) {
    BtDeviceRecord r;
    for (size_t i = 0; i < units; ++i) r.name.push_back(static_cast<char16_t>(u'a' + i % 26));
    const BLUETOOTH_DEVICE_INFO info = ToDeviceInfo(r);
    EXPECT_EQ(kept, std::wcslen(info.szName)) << units;
    EXPECT_EQ(r.name.substr(0, kept), FromDeviceInfo(info).name) << units;
  }
  BLUETOOTH_DEVICE_INFO full{};
  for (wchar_t& c : full.szName) c = L'k';
  EXPECT_EQ(std::u16string(BLUETOOTH_MAX_NAME_SIZE, u'k'), FromDeviceInfo(full).name);
}

// ToGuid against the platform's parse; FromGuid gives platform_win32_test its "ports" setup class.
TEST(Records, GuidAgainstThePlatformsParse) {
  GUID parsed{};
  ASSERT_EQ(S_OK, ::CLSIDFromString(L"{00001101-0000-1000-8000-00805F9B34FB}", &parsed));
  const GUID converted = ToGuid(kSerialPortServiceClass);
  EXPECT_EQ(0, std::memcmp(&parsed, &converted, sizeof(GUID)));
}

TEST(Records, SearchRadioAndHandles) {
  BtDeviceSearch search;
  search.returnAuthenticated = search.returnUnknown = search.issueInquiry = true;
  search.timeoutMultiplier = 45;
  search.radio = static_cast<BtRadio>(0x1234);
  const BLUETOOTH_DEVICE_SEARCH_PARAMS params = ToSearchParams(search);
  EXPECT_EQ(sizeof params, params.dwSize);
  EXPECT_EQ((std::array<BOOL, 5>{TRUE, FALSE, TRUE, FALSE, TRUE}),
            (std::array<BOOL, 5>{params.fReturnAuthenticated, params.fReturnRemembered, params.fReturnUnknown,
                                 params.fReturnConnected, params.fIssueInquiry}));
  EXPECT_EQ(45, params.cTimeoutMultiplier);
  EXPECT_EQ(reinterpret_cast<HANDLE>(0x1234), params.hRadio);
  EXPECT_EQ(nullptr, ToSearchParams(BtDeviceSearch{}).hRadio);  // all radios

  BLUETOOTH_RADIO_INFO radio{};
  radio.address.ullLong = 0xA1B2C3D4E5F6ull;
  std::wcscpy(radio.szName, L"LAB-PC");
  radio.ulClassofDevice = 0x10010C;
  radio.lmpSubversion = 4096;
  radio.manufacturer = 15;
  const BtRadioInfo r = FromRadioInfo(radio);
  EXPECT_EQ(std::tuple(0xA1B2C3D4E5F6ull, std::u16string(u"LAB-PC"), 0x10010Cu, 4096, 15),
            std::tuple(r.address, r.name, r.classOfDevice, int{r.lmpSubversion}, int{r.manufacturer}));

  EXPECT_EQ(BtPortList::kNone, ToPortList(INVALID_HANDLE_VALUE));
  EXPECT_EQ(INVALID_HANDLE_VALUE, FromPortList(BtPortList::kNone));
  const auto some = reinterpret_cast<HDEVINFO>(0x5000);
  EXPECT_EQ(some, FromPortList(ToPortList(some)));
}

// The request's fields beside its device (whose address null_context_test's PIN answer carries); an answer's PIN
// count never goes beyond the field.
TEST(Records, Pairing) {
  BLUETOOTH_AUTHENTICATION_CALLBACK_PARAMS params{};
  params.authenticationMethod = BLUETOOTH_AUTHENTICATION_METHOD_NUMERIC_COMPARISON;
  params.ioCapability = BLUETOOTH_IO_CAPABILITY_DISPLAYYESNO;
  params.authenticationRequirements = MITMProtectionRequiredBonding;
  params.Numeric_Value = 123456;
  const BtAuthRequest request = FromAuthParams(params);
  EXPECT_EQ(std::tuple(kAuthMethodNumericComparison, 1u, 3u, 123456u),
            std::tuple(request.method, request.ioCapability, request.requirements, request.numericValue));

  // What a PIN answer carries is checked where the platform receives one (null_context_test); here the
  // bits beyond an address and a count beyond the PIN field.
  BtAuthResponse response;
  response.remoteAddress = 0xFFFF'0011'2233'44AAull;
  response.pinLength = 200;
  const BLUETOOTH_AUTHENTICATE_RESPONSE out = ToAuthResponse(response);
  EXPECT_EQ(0x0000'0011'2233'44AAull, out.bthAddressRemote.ullLong);
  EXPECT_EQ(16, out.pinInfo.pinLength);
}

}  // namespace
}  // namespace kv::bt::win32
