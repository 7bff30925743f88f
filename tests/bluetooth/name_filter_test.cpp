// name_filter_test.cpp: which names are analysers, what the selection dialog's filter offers, and the
// address, key and port texts. Expected texts are written out by hand.
#include "bt_test_support.h"

namespace kv::bt::testing {
namespace {

BtDeviceRecord Named(std::u16string name, uint32_t classOfDevice = 0) {
  BtDeviceRecord record;
  record.name = std::move(name);
  record.classOfDevice = classOfDevice;
  return record;
}

TEST(NameFilter, AnalysersAreKnownByANameWordAnywhereInTheFirst247Units) {
  const struct { std::u16string name; bool analyser; } rows[] = {
      {u"Korvanta 8124", true}, {u"KORVANTA", true}, {u"MyQUATTRON", true}, {u"caballix-2", true},
      {u"KorvantaQPN 12", true}, {u"korvantappn", true}, {u"Korvant", false}, {u"Quattro 4", false}, {u"", false},
      {u"\uFF2Borvanta", false},  // only A to Z fold
      {std::u16string(u"Pixel\0korvanta", 14), false}, {std::u16string(239, u'x') + u"korvanta", true},
      {std::u16string(240, u'x') + u"korvanta", false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(&row - rows);
    EXPECT_EQ(IsKorvantaDeviceName(Named(row.name)), row.analyser);
  }
  EXPECT_EQ(DeviceName(Named(std::u16string(600, u'k'))).size(), 247u);
}

TEST(NameFilter, TheDialogOffersAnalysersAndUnnamedUncategorisedDevices) {
  const struct { const char16_t* name; uint32_t classOfDevice; bool offered; } rows[] = {
      {u"", 0x001F00, true},  {u"", 0x001F04, true},  {u"", 0xFF1F00, true},
      {u"", 0x00001F, false}, {u"", 0x5A020C, false}, {u"", 0x000100, false},
      {u"Korvanta 8124", 0x000100, true}, {u"Pixel 7", 0x001F00, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << std::hex << row.classOfDevice);
    const BtDeviceRecord record = Named(row.name, row.classOfDevice);
    EXPECT_EQ(DeviceSelectionFilter(nullptr, &record), row.offered);
  }
  EXPECT_FALSE(DeviceSelectionFilter(nullptr, nullptr));
}

TEST(NameFilter, AddressTextsGiveBytesFiveToZeroUpperCase) {
  EXPECT_EQ(AddressText(0xA1B2C3D4E5F6), u"A1:B2:C3:D4:E5:F6");
  EXPECT_EQ(AddressText(0xFFFF000000000001), u"00:00:00:00:00:01");
  EXPECT_EQ(AddressKey(0x0011223344AA), u"0011223344AA");
  EXPECT_EQ(AddressKey(0xa1b2c3d4e5f6), u"A1B2C3D4E5F6");
  Buffer text(20);
  FormatBluetoothAddress(0x0011223344AA, text.get(), 0);
  EXPECT_TRUE(text.Untouched());
  FormatBluetoothAddress(0x0011223344AA, nullptr, 18);
  FormatBluetoothAddress(0x0011223344AA, text.get(), 17);
  EXPECT_EQ(text.units, u'\0' + std::u16string(19, u'#'));
  FormatBluetoothAddress(0x0011223344AA, text.get(), 18);
  EXPECT_EQ(text.units, std::u16string(u"00:11:22:33:44:AA\0##", 20));
}

TEST(NameFilter, ThePortIsTheTextBetweenComAndTheNextBracket) {
  const struct { const char16_t* friendlyName; const char16_t* port; } rows[] = {  // port null: none
      {u"Standard Serial over Bluetooth link (COM12)", u"12"}, {u"Link (COM)", u""}, {u"Link (COM7", nullptr},
      {u"Link COM7", nullptr}, {u"Serial link (com7)", nullptr}, {u"Link (COM7) on radio 2", u"7"},
      {u"Link ) (COM3)", u"3"}};
  for (const auto& row : rows) {
    const std::optional<std::u16string_view> port = ComPortFromFriendlyName(row.friendlyName);
    EXPECT_EQ(port.has_value(), row.port != nullptr) << std::u16string_view(row.friendlyName).size();
    EXPECT_EQ(port.value_or(u"-"), row.port ? row.port : u"-");
  }
}

}  // namespace
}  // namespace kv::bt::testing
