// Conversions between UTF-8 and UTF-16, with expected code units worked out by hand from the encoding
// tables; each ill-formed piece must turn into exactly one U+FFFD per maximal bad subpart.
#include "bluetooth/bluez/system/utf8.h"

#include <gtest/gtest.h>

namespace kv::bt::bluez {
namespace {

struct FromUtf8Case {
  const char* name;
  friend void PrintTo(const FromUtf8Case& testCase, std::ostream* os) { *os << testCase.name; }
  std::string input;
  std::u16string expected;
};

class BluezUtf8FromUtf8 : public ::testing::TestWithParam<FromUtf8Case> {};

TEST_P(BluezUtf8FromUtf8, Converts) { EXPECT_EQ(Utf16FromUtf8(GetParam().input), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(Cases, BluezUtf8FromUtf8,
                         ::testing::Values(FromUtf8Case{"Empty", "", u""}, FromUtf8Case{"Ascii", "Scale 1", u"Scale 1"},
                                           FromUtf8Case{"TwoBytes", "\xC3\xA9", {0x00E9}},
                                           FromUtf8Case{"ThreeBytes", "\xE2\x82\xAC", {0x20AC}},
                                           FromUtf8Case{"HighestBmp", "\xEF\xBF\xBF", {0xFFFF}},
                                           FromUtf8Case{"FourBytesAsPair", "\xF0\x9F\x98\x80", {0xD83D, 0xDE00}},
                                           FromUtf8Case{"HighestScalar", "\xF4\x8F\xBF\xBF", {0xDBFF, 0xDFFF}},
                                           FromUtf8Case{"StrayContinuation", "a\x80z", {u'a', 0xFFFD, u'z'}},
                                           FromUtf8Case{"InvalidByte", "\xFF", {0xFFFD}},
                                           FromUtf8Case{"OverlongTwoBytes", "\xC0\xAF", {0xFFFD, 0xFFFD}},
                                           FromUtf8Case{"OverlongThreeBytes", "\xE0\x80\xAF", {0xFFFD, 0xFFFD, 0xFFFD}},
                                           FromUtf8Case{"EncodedSurrogate", "\xED\xA0\x80", {0xFFFD, 0xFFFD, 0xFFFD}},
                                           FromUtf8Case{
                                               "AboveMaximum", "\xF4\x90\x80\x80", {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}},
                                           FromUtf8Case{"TruncatedAtEnd", "ok\xE2\x82", {u'o', u'k', 0xFFFD}},
                                           FromUtf8Case{"TruncatedFourBytes", "\xF0\x9F\x98", {0xFFFD}},
                                           FromUtf8Case{"TruncatedThenAscii",
                                                        "\xE2\x82"
                                                        "A",
                                                        {0xFFFD, u'A'}},
                                           FromUtf8Case{"TruncatedThenValid", "\xC3\xE2\x82\xAC", {0xFFFD, 0x20AC}}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

struct FromUtf16Case {
  const char* name;
  friend void PrintTo(const FromUtf16Case& testCase, std::ostream* os) { *os << testCase.name; }
  std::u16string input;
  std::string expected;
};

class BluezUtf8FromUtf16 : public ::testing::TestWithParam<FromUtf16Case> {};

TEST_P(BluezUtf8FromUtf16, Converts) { EXPECT_EQ(Utf8FromUtf16(GetParam().input), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(Cases, BluezUtf8FromUtf16,
                         ::testing::Values(FromUtf16Case{"Empty", u"", ""}, FromUtf16Case{"Ascii", u"COM5", "COM5"},
                                           FromUtf16Case{"TwoBytes", {u'A', 0x00E4}, "A\xC3\xA4"},
                                           FromUtf16Case{"ThreeBytes", {0x20AC}, "\xE2\x82\xAC"},
                                           FromUtf16Case{"Pair", {0xD83D, 0xDE00}, "\xF0\x9F\x98\x80"},
                                           FromUtf16Case{"HighestPair", {0xDBFF, 0xDFFF}, "\xF4\x8F\xBF\xBF"},
                                           FromUtf16Case{"LoneHighAtEnd", {u'x', 0xD83D}, "x\xEF\xBF\xBD"},
                                           FromUtf16Case{"LoneLow", {0xDE00, u'y'}, "\xEF\xBF\xBDy"},
                                           FromUtf16Case{"HighThenAscii",
                                                         {0xD83D, u'A'},
                                                         "\xEF\xBF\xBD"
                                                         "A"},
                                           FromUtf16Case{"ReversedPair", {0xDE00, 0xD83D}, "\xEF\xBF\xBD\xEF\xBF\xBD"}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
}  // namespace kv::bt::bluez
