// text_test.cpp: number texts and CSV cells of the tool.
#include "text.h"

#include <gtest/gtest.h>

namespace kv::cli {
namespace {

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
