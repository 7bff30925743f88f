// text_test.cpp: UTF-8 <-> UTF-16, number texts and CSV cells of the tool.
#include "text.h"

#include <gtest/gtest.h>

namespace kv::cli {
namespace {

struct Utf8Case {
  const char* name;
  std::string utf8;
  std::vector<uint16_t> utf16;
};

class Utf8ToWide : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8ToWide, GivesTheseUnits) {
  const WideString wide = ToWide(GetParam().utf8);
  std::vector<uint16_t> units(wide.begin(), wide.end());
  EXPECT_EQ(GetParam().utf16, units);
}

// Units worked out from the code points: U+00E9 is C3 A9; U+20AC is E2 82 AC; U+1F600 is
// F0 9F 98 80 and the surrogates D83D DE00.
INSTANTIATE_TEST_SUITE_P(
    Texts, Utf8ToWide,
    ::testing::Values(Utf8Case{"Ascii", "/dev/ttyUSB0", {'/', 'd', 'e', 'v', '/', 't', 't', 'y', 'U', 'S', 'B', '0'}},
                      Utf8Case{"TwoBytes", "\xC3\xA9", {0x00E9}}, Utf8Case{"ThreeBytes", "\xE2\x82\xAC", {0x20AC}},
                      Utf8Case{"Surrogates", "\xF0\x9F\x98\x80", {0xD83D, 0xDE00}},
                      Utf8Case{"LoneContinuation", "a\x80" "b", {'a', 0xFFFD, 'b'}},
                      Utf8Case{"TruncatedAtEnd", "a\xE2\x82", {'a', 0xFFFD, 0xFFFD}},
                      Utf8Case{"OverlongSlash", "\xC0\xAF", {0xFFFD, 0xFFFD}}),
    [](const auto& testCase) { return testCase.param.name; });

TEST(FromWide, StopsAtZeroOrLengthAndJoinsSurrogates) {
  const KVWChar text[] = {'C', 'O', 'M', '5', 0, 'x'};
  EXPECT_EQ("COM5", FromWide(text, 6));
  EXPECT_EQ("CO", FromWide(text, 2));
  const KVWChar emoji[] = {static_cast<KVWChar>(0xD83D), static_cast<KVWChar>(0xDE00)};
  EXPECT_EQ("\xF0\x9F\x98\x80", FromWide(emoji, 2));
  const KVWChar lone[] = {static_cast<KVWChar>(0xDC00)};
  EXPECT_EQ("\xEF\xBF\xBD", FromWide(lone, 1));
}

TEST(FloatText, ShortestTextThatReadsBack) {
  EXPECT_EQ("23.4", FloatText(23.4f));
  EXPECT_EQ("75", FloatText(75.0f));
  EXPECT_EQ("0.1", FloatText(0.1f));
  EXPECT_EQ("-0.5", FloatText(-0.5f));
  EXPECT_EQ("inf", FloatText(1.0f / 0.0f));
  EXPECT_EQ("-inf", FloatText(-1.0f / 0.0f));
  EXPECT_EQ("nan", FloatText(std::numeric_limits<float>::quiet_NaN()));
}

TEST(FixedText, RoundsAndNeverShowsMinusZero) {
  EXPECT_EQ("27.3", FixedText(27.34f, 1));
  EXPECT_EQ("0.478", FixedText(0.47752485f, 3));
  EXPECT_EQ("0.0", FixedText(-0.04f, 1));
  EXPECT_EQ("-", FixedText(std::numeric_limits<float>::infinity(), 1));
}

TEST(ParseNumbers, WholeTextOnly) {
  EXPECT_EQ(35, ParseInteger(" 35 "));
  EXPECT_EQ(7, ParseInteger("+7"));
  EXPECT_EQ(-18, ParseInteger("-18"));
  EXPECT_FALSE(ParseInteger("35.0"));
  EXPECT_FALSE(ParseInteger("35kg"));
  EXPECT_FALSE(ParseInteger(""));
  EXPECT_FALSE(ParseInteger("99999999999999999999"));
  EXPECT_EQ(75.5f, ParseFloat("75.5"));
  EXPECT_EQ(75.0f, ParseFloat("75"));
  EXPECT_FALSE(ParseFloat("75,5"));
  EXPECT_FALSE(ParseFloat("nan"));
  EXPECT_FALSE(ParseFloat("inf"));
  EXPECT_FALSE(ParseFloat("1e40"));
}

TEST(Csv, CellsQuotedOnlyWhenNeeded) {
  EXPECT_EQ("plain", CsvCell("plain"));
  EXPECT_EQ("\"a,b\"", CsvCell("a,b"));
  EXPECT_EQ("\"say \"\"hi\"\"\"", CsvCell("say \"hi\""));
  EXPECT_EQ("\"two\nlines\"", CsvCell("two\nlines"));
}

TEST(Csv, SplitReadsQuotedCellsBack) {
  const auto cells = SplitCsvLine("1,\"a,b\",,\"say \"\"hi\"\"\",end");
  ASSERT_TRUE(cells);
  EXPECT_EQ((std::vector<std::string>{"1", "a,b", "", "say \"hi\"", "end"}), *cells);
  EXPECT_FALSE(SplitCsvLine("1,\"open"));
  const auto empty = SplitCsvLine("");
  ASSERT_TRUE(empty);
  EXPECT_EQ(1u, empty->size());
}

}  // namespace
}  // namespace kv::cli
