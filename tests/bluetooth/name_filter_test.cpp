// name_filter_test.cpp: which names are analysers, what the selection dialog's filter offers, and the
// address, key and port texts. Expected texts are written out by hand.
#include <gmock/gmock.h>

#include "bt_test_support.h"

namespace kv::bt::testing {
namespace {

BtDeviceRecord Named(std::u16string name, uint32_t classOfDevice = 0) {
  BtDeviceRecord record;
  record.name = std::move(name);
  record.classOfDevice = classOfDevice;
  return record;
}

struct NameCase {
  const char* name;
  std::u16string deviceName;
  bool analyser;
};

class AnalyserNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(AnalyserNames, AreRecognisedByAnyNameWordAnywhere) {
  EXPECT_EQ(IsKorvantaDeviceName(Named(GetParam().deviceName)), GetParam().analyser);
}

INSTANTIATE_TEST_SUITE_P(
    Names, AnalyserNames,
    ::testing::Values(NameCase{"KorvantaWithNumber", u"Korvanta 8124", true},
                      NameCase{"CapitalsFold", u"KORVANTA", true},
                      NameCase{"WordInsideName", u"MyQUATTRON", true},
                      NameCase{"CaballixWithSuffix", u"caballix-2", true},
                      NameCase{"PanelModelWord", u"KorvantaQPN 12", true},
                      NameCase{"SecondPanelWord", u"korvantappn", true},
                      NameCase{"ShortOfTheWord", u"Korvant", false},
                      NameCase{"OtherQuattro", u"Quattro 4", false},
                      NameCase{"EmptyName", u"", false},
                      NameCase{"OtherDevice", u"Pixel 7", false},
                      NameCase{"OnlyAsciiLettersFold", u"\uFF2Borvanta", false},  // full-width K stays as it is
                      NameCase{"NothingAfterTheTerminatorCounts", std::u16string(u"Pixel\0korvanta", 14), false}),
    ByName());

TEST(AnalyserNames, OnlyTheFirst247UnitsOfALongNameAreRead) {
  // The platform's name field holds 248 units with its terminator: a word ending at unit 247 counts,
  // one that would end at unit 248 is cut.
  const std::u16string fits = std::u16string(239, u'x') + u"korvanta";  // 239 + 8 = 247 units
  const std::u16string cut = std::u16string(240, u'x') + u"korvanta";   // 248 units
  EXPECT_TRUE(IsKorvantaDeviceName(Named(fits)));
  EXPECT_FALSE(IsKorvantaDeviceName(Named(cut)));
  EXPECT_EQ(DeviceName(Named(cut)).size(), 247u);
  EXPECT_EQ(DeviceName(Named(std::u16string(600, u'k'))).size(), 247u);
}

struct FilterCase {
  const char* name;
  std::u16string deviceName;
  uint32_t classOfDevice;
  bool offered;
};

class SelectionFilter : public ::testing::TestWithParam<FilterCase> {};

TEST_P(SelectionFilter, OffersAnalysersAndUnnamedUncategorisedDevices) {
  const BtDeviceRecord record = Named(GetParam().deviceName, GetParam().classOfDevice);
  EXPECT_EQ(DeviceSelectionFilter(nullptr, &record), GetParam().offered);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, SelectionFilter,
    ::testing::Values(
        FilterCase{"UnnamedUncategorised", u"", 0x001F00, true},
        FilterCase{"UnnamedUncategorisedWithMinorBits", u"", 0x001F04, true},
        FilterCase{"UnnamedUncategorisedWithServiceBits", u"", 0xFF1F00, true},
        FilterCase{"UnnamedLowBitsOnlyAreNotTheMajorClass", u"", 0x00001F, false},
        FilterCase{"UnnamedPhone", u"", 0x5A020C, false},
        FilterCase{"UnnamedComputer", u"", 0x000100, false},
        FilterCase{"NamedAnalyserWhateverItsClass", u"Korvanta 8124", 0x000100, true},
        FilterCase{"NamedOtherEvenIfUncategorised", u"Pixel 7", 0x001F00, false}),
    ByName());

TEST(SelectionFilter, RefusesANullDevice) { EXPECT_FALSE(DeviceSelectionFilter(nullptr, nullptr)); }

TEST(AddressText, PrintsBytesFiveToZeroUpperCase) {
  EXPECT_EQ(AddressText(0x0011223344AAull), u"00:11:22:33:44:AA");
  EXPECT_EQ(AddressText(0xA1B2C3D4E5F6ull), u"A1:B2:C3:D4:E5:F6");
  EXPECT_EQ(AddressText(0xFFFF000000000001ull), u"00:00:00:00:00:01");  // only the low 48 bits
}

TEST(FormatBluetoothAddress, NeedsEighteenCharacters) {
  std::u16string buffer(20, u'#');
  FormatBluetoothAddress(0x0011223344AAull, reinterpret_cast<KVWChar*>(buffer.data()), 17);
  EXPECT_EQ(buffer[0], u'\0');
  EXPECT_EQ(buffer.substr(1), std::u16string(19, u'#'));

  buffer.assign(20, u'#');
  FormatBluetoothAddress(0x0011223344AAull, reinterpret_cast<KVWChar*>(buffer.data()), 18);
  EXPECT_EQ(buffer.substr(0, 17), u"00:11:22:33:44:AA");
  EXPECT_EQ(buffer[17], u'\0');
  EXPECT_EQ(buffer.substr(18), u"##");
}

TEST(FormatBluetoothAddress, WritesNothingWithoutRoomOrBuffer) {
  std::u16string buffer(4, u'#');
  FormatBluetoothAddress(0x0011223344AAull, reinterpret_cast<KVWChar*>(buffer.data()), 0);
  EXPECT_EQ(buffer, u"####");
  FormatBluetoothAddress(0x0011223344AAull, nullptr, 18);  // no buffer: nothing to do
}

TEST(AddressKey, IsTwelveUpperCaseDigitsMostSignificantFirst) {
  EXPECT_EQ(AddressKey(0x0011223344AAull), u"0011223344AA");
  EXPECT_EQ(AddressKey(0xa1b2c3d4e5f6ull), u"A1B2C3D4E5F6");
  EXPECT_EQ(AddressKey(0x0011223344AAull), fake::KeyOf(0x0011223344AAull));
}

struct PortNameCase {
  const char* name;
  std::u16string friendlyName;
  std::optional<std::u16string> port;
};

class FriendlyNames : public ::testing::TestWithParam<PortNameCase> {};

TEST_P(FriendlyNames, GiveTheTextBetweenComAndTheBracket) {
  const std::optional<std::u16string_view> port = ComPortFromFriendlyName(GetParam().friendlyName);
  ASSERT_EQ(port.has_value(), GetParam().port.has_value());
  if (port) {
    EXPECT_EQ(*port, *GetParam().port);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Names, FriendlyNames,
    ::testing::Values(PortNameCase{"TwoDigits", u"Standard Serial over Bluetooth link (COM12)", u"12"},
                      PortNameCase{"OneDigit", u"Standard Serial over Bluetooth link (COM5)", u"5"},
                      PortNameCase{"EmptyNumber", u"Standard Serial over Bluetooth link (COM)", u""},
                      PortNameCase{"NoClosingBracket", u"Standard Serial over Bluetooth link (COM7", std::nullopt},
                      PortNameCase{"NoBracketAtAll", u"Standard Serial over Bluetooth link COM7", std::nullopt},
                      PortNameCase{"LowerCase", u"Serial link (com7)", std::nullopt},
                      PortNameCase{"TextAfterThePort", u"Link (COM7) on radio 2", u"7"},
                      PortNameCase{"BracketBeforeOnlyIsIgnored", u"Link ) (COM3)", u"3"}),
    ByName());

}  // namespace
}  // namespace kv::bt::testing
