// messages_test.cpp: the message texts, exact to the character, and their formatting with UTF-16 arguments.
// Messages 63 and 66 are written out here a second time, line by line, so a change to the table shows.
#include <gmock/gmock.h>

#include "bt_test_support.h"

namespace kv::bt::testing {
namespace {

constexpr char16_t kMessage63[] =
    u"No Korvanta devices could be found.\n"
    u"Please check the Korvanta device is switched on and within range.\n"
    u"\n"
    u"The Korvanta device must be switched on in the normal 'test measurement' mode (as if you were about "
    u"to perform a measurement). Communication is not possible with devices whilst they are in other "
    u"modes, 'Recall' mode for example, nor whilst the device is part way through the measurement "
    u"process.\n"
    u"Ensure the LCD display of the device reads simply 'TEST NUMBER x' (where x is the next available "
    u"test number, the value is irrelevant). If not, try switching the device off, then on again.\n"
    u"\n"
    u"The Korvanta device must be Bluetooth enabled. Whilst standard on some Korvanta models, others "
    u"require an optional Bluetooth module to be purchased and fitted. This may have been done at the "
    u"time of ordering, or as an after-sale add-on.\n"
    u"You can verify if your Korvanta device has Bluetooth support by holding the right-most button "
    u"whilst swithing on. The firmware version of the device will be displayed whilst you contine to hold "
    u"the right-most button. Units with Bluetooth support have the letters 'BT' at the end of the version "
    u"number. Units without, have an asterisk.\n"
    u"\n"
    u"If you continue to experience problems, it is also worth checking Bluetooth communication is "
    u"correctly configured on your computer.\n"
    u"If your computer has inbuilt support for Bluetooth please check that it is enabled now.\n"
    u"Many laptops provide a physical switch which toggles Bluetooth communication on/off.\n"
    u"Alternatively, if you are using an external Bluetooth adaptor (connected to your USB port for "
    u"example), please ensure it is connected to your computer now.";
constexpr char16_t kMessage66[] =
    u"No Bluetooth radio support could be found in your computer, or it is currently disabled.\n"
    u"This problem lies with your computer rather than the Korvanta device.\n"
    u"\n"
    u"If your computer has inbuilt support for Bluetooth please check that it is enabled now.\n"
    u"Many laptops provide a physical switch which toggles Bluetooth communication on/off.\n"
    u"\n"
    u"Alternatively, if you are using an external Bluetooth adaptor (connected to your\n"
    u"USB port for example), please ensure it is connected to your computer now.\n"
    u"\n"
    u"If you continue to receive this message and are confident your Bluetooth device is\n"
    u"installed, enabled and working correctly, it is possible your Bluetooth device does not\n"
    u"support a recognised application interface. In order to detect and authenticate\n"
    u"automatically, we require a Bluetooth device which supports either the Microsoft or\n"
    u"Widcomm stack interface. This provides compatabiltity with the vast majority of\n"
    u"devices, but not all. You could try installing the latest drivers for your Bluetooth\n"
    u"device from the manufacturer - a newer release may now provide such compatability.\n"
    u"\n"
    u"As a last resort, you will need to setup and authenticate (pair) your Korvanta device\n"
    u"manually. This procedure is documented in the Korvanta product manual.";

TEST(MessageTable, HoldsExactlyTheNumbersTheSetupShows) {
  std::vector<uint32_t> numbers;
  for (const MessageEntry& entry : kMessageTable) numbers.push_back(entry.number);
  EXPECT_THAT(numbers, ::testing::ElementsAre(55, 57, 60, 63, 64, 65, 66, 67, 68, 69, 71, 79, 80, 81, 82));
  for (const MessageEntry& entry : kMessageTable) EXPECT_FALSE(entry.text.empty()) << entry.number;
  EXPECT_TRUE(FindMessageText(56).empty());
}

TEST(MessageTable, NoDeviceFoundTextIsWholeToItsLastCharacter) {
  EXPECT_EQ(FindMessageText(63), std::u16string_view(kMessage63));
  EXPECT_EQ(FindMessageText(63).size(), 1622u);
}

TEST(MessageTable, NoRadioTextIsWholeToItsLastCharacter) {
  EXPECT_EQ(FindMessageText(66), std::u16string_view(kMessage66));
  EXPECT_EQ(FindMessageText(66).size(), 1231u);
}

struct FixedText {
  const char* name;
  uint32_t number;
  std::u16string_view text;
};

class FixedTexts : public ::testing::TestWithParam<FixedText> {};

TEST_P(FixedTexts, ReadAsWritten) { EXPECT_EQ(FindMessageText(GetParam().number), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(
    Table, FixedTexts,
    ::testing::Values(
        FixedText{"Pin", 64, u"73914"},
        FixedText{"ErrorCaption", 65, u"Bluetooth Device Error (Code: %d)"},
        FixedText{"PairingFailed", 67, u"Error whilst authenticating the device. Authentication failed."},
        FixedText{"ServiceFailed", 68,
                  u"Error whilst enabling the virtual serial port service for the device.\nYou may need to setup the "
                  u"device manually as documented in the Korvanta product manual."},
        FixedText{"StackInfo", 71, u"Bluetooth API: %s\nHardware Info: %s\nSoftware Info: %s"},
        FixedText{"CaptionFoundNew", 79, u"Found New Korvanta Device"},
        FixedText{"CaptionAuthentication", 80, u"Korvanta Device Authentication"},
        FixedText{"CaptionAuthError", 81, u"Korvanta Authentication Error"},
        FixedText{"CaptionSearch", 82, u"Korvanta Device Search"}),
    ByName());

TEST(FormatText, FoundNewDeviceTakesNameAndAddress) {
  EXPECT_EQ(FormatText(Msg(57), {u"Korvanta 8124", u"00:11:22:33:44:AA"}),
            u"Found New Device: Korvanta 8124\nAddress: 00:11:22:33:44:AA\n\nWould you like to pair (authenticate) "
            u"this device?");
}

TEST(FormatText, ExistingPairingsTakesTheCount) {
  const std::u16string text = FormatText(Msg(60), {int64_t{2}});
  EXPECT_EQ(text.substr(0, 64), u"Existing authentication exists for 2 other Korvanta device(s).\nI");
  EXPECT_EQ(text.size(), Msg(60).size() - 1);  // "%d" (2 units) became "2" (1 unit)
}

TEST(FormatText, ErrorCaptionPrintsTheCodeSigned) {
  EXPECT_EQ(FormatText(Msg(65), {int64_t{-2147024890}}), u"Bluetooth Device Error (Code: -2147024890)");
  EXPECT_EQ(FormatText(Msg(65), {int64_t{1223}}), u"Bluetooth Device Error (Code: 1223)");
}

TEST(FormatText, StackInfoTakesThreeTexts) {
  EXPECT_EQ(FormatText(Msg(71), {u"Microsoft", u"LAB-PC (15)", u"(4096)"}),
            u"Bluetooth API: Microsoft\nHardware Info: LAB-PC (15)\nSoftware Info: (4096)");
}

TEST(FormatText, ArgumentsAreNeverReadAsPatterns) {
  EXPECT_EQ(FormatText(u"[%s] [%s]", {u"%s%d", u"\u00e9\u4e2d"}), u"[%s%d] [\u00e9\u4e2d]");
  EXPECT_EQ(FormatText(u"100%% %d%", {int64_t{5}}), u"100% 5%");
  EXPECT_EQ(FormatText(u"%s and %s", {u"one"}), u"one and ");  // a missing argument prints as nothing
  EXPECT_EQ(FormatText(u"%x %s", {u"a"}), u"%x a");
}

TEST(LimitText, KeepsRoomForTheTerminator) {
  EXPECT_EQ(LimitText(u"abcdef", 4), u"abc");
  EXPECT_EQ(LimitText(u"abc", 4), u"abc");
  EXPECT_EQ(LimitText(u"abc", 1), u"");
  EXPECT_EQ(LimitText(u"abc", 0), u"");
}

TEST(ReadPin, UsesAtMostFifteenCharacters) {
  FakeBtPlatform platform;
  EXPECT_EQ(ReadPin(platform), u"73914");
  platform.SetText(64, u"12345678901234567890");
  EXPECT_EQ(ReadPin(platform), u"123456789012345");
}

TEST(LoadMessage, MissingNumberGivesEmptyText) {
  FakeBtPlatform platform;
  platform.SetText(66, u"");
  EXPECT_EQ(LoadMessage(platform, 66), u"");
  EXPECT_EQ(LoadMessage(platform, 67), Msg(67));
}

}  // namespace
}  // namespace kv::bt::testing
