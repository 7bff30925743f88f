// port_name_test.cpp: the port-name rules of KVOpenComport and the POSIX spelling of device paths.
#include "link/port_name.h"

#include <gtest/gtest.h>

namespace kv::link {
namespace {

// mingw's g++ 12 reports a false -Wrestrict inside GoogleTest's case-name generation here.
#pragma GCC diagnostic ignored "-Wrestrict"

constexpr auto kCaseName = [](const auto& info) { return std::string(info.param.name); };

struct NameCase {
  const char* name;
  std::u16string portName;
  PathStyle style;
  std::optional<std::u16string> devicePath;
};

class DevicePathRule : public ::testing::TestWithParam<NameCase> {};

TEST_P(DevicePathRule, GivesTheDevicePath) {
  EXPECT_EQ(GetParam().devicePath, DevicePathFor(GetParam().portName, GetParam().style));
}

const std::u16string k504Digits(504, u'7');  // with "\\.\COM" (7 characters): 511
const std::u16string k507Chars(507, u'x');   // with "\\.\" (4 characters): 511

INSTANTIATE_TEST_SUITE_P(
    Names, DevicePathRule,
    ::testing::Values(
        NameCase{"DigitsGetThePrefix", u"12", PathStyle::kWindows, u"\\\\.\\COM12"},
        NameCase{"ComNameGetsThePrefixToo", u"COM7", PathStyle::kWindows, u"\\\\.\\COMCOM7"},
        NameCase{"DevicePathUnchanged", u"\\\\.\\COM3", PathStyle::kWindows, u"\\\\.\\COM3"},
        NameCase{"DevicePrefixAnywhere", u"x\\\\.\\BTH1", PathStyle::kWindows, u"x\\\\.\\BTH1"},
        NameCase{"SlashMeansNothingOnWindows", u"/dev/ttyS0", PathStyle::kWindows, u"\\\\.\\COM/dev/ttyS0"},
        NameCase{"SlashPathUnchangedOnPosix", u"/dev/pts/3", PathStyle::kPosix, u"/dev/pts/3"},
        NameCase{"DigitsOnPosix", u"5", PathStyle::kPosix, u"\\\\.\\COM5"},
        NameCase{"LongestDigitsFit", k504Digits, PathStyle::kWindows, u"\\\\.\\COM" + k504Digits},
        NameCase{"OneDigitTooMany", k504Digits + u"7", PathStyle::kWindows, std::nullopt},
        NameCase{"LongestDevicePathFits", u"\\\\.\\" + k507Chars, PathStyle::kWindows, u"\\\\.\\" + k507Chars},
        NameCase{"DevicePathTooLong", u"\\\\.\\" + k507Chars + u"x", PathStyle::kWindows, std::nullopt},
        NameCase{"SlashPathTooLong", u"/" + std::u16string(511, u'a'), PathStyle::kPosix, std::nullopt}),
    kCaseName);

struct FileCase {
  const char* name;
  std::u16string devicePath;
  std::optional<std::string> file;
};

class PosixFileRule : public ::testing::TestWithParam<FileCase> {};

TEST_P(PosixFileRule, MapsAsWineAndCygwinDo) { EXPECT_EQ(GetParam().file, PosixFileFor(GetParam().devicePath)); }

INSTANTIATE_TEST_SUITE_P(
    Paths, PosixFileRule,
    ::testing::Values(FileCase{"Com1IsTtyS0", u"\\\\.\\COM1", "/dev/ttyS0"},
                      FileCase{"Com12IsTtyS11", u"\\\\.\\COM12", "/dev/ttyS11"},
                      FileCase{"LeadingZeroDigits", u"\\\\.\\COM007", "/dev/ttyS6"},
                      FileCase{"Com0IsNoTtyS", u"\\\\.\\COM0", "/dev/COM0"},
                      FileCase{"ComWithoutNumber", u"\\\\.\\COM", "/dev/COM"},
                      FileCase{"ComNumberOverflowing", u"\\\\.\\COM99999999999", "/dev/COM99999999999"},
                      FileCase{"OtherNameUnderDev", u"\\\\.\\ttyUSB0", "/dev/ttyUSB0"},
                      FileCase{"SlashPathUnchanged", u"/dev/pts/4", "/dev/pts/4"},
                      FileCase{"NonAsciiAsUtf8", u"\\\\.\\Ger\u00e4t", "/dev/Ger\xc3\xa4t"},
                      FileCase{"SurrogatePairAsUtf8", u"/tmp/\U0001F50C", "/tmp/\xf0\x9f\x94\x8c"},
                      FileCase{"UnpairedSurrogateRefused", std::u16string(u"/tmp/") + char16_t{0xD800}, std::nullopt}),
    kCaseName);

}  // namespace
}  // namespace kv::link
