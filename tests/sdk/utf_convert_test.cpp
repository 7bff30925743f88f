// utf_convert_test.cpp: the shared UTF-8 <-> UTF-16 converter against data/utf.tsv, whose units were
// worked out by hand from the encoding tables.
#include "utf_convert.h"

#include <gtest/gtest.h>

#include <sstream>

#include "../support/data_table.h"

namespace kv {
namespace {

template <class Text>
Text FromHex(const std::string& hex) {
  Text text;
  std::istringstream in(hex == "-" ? "" : hex);
  for (std::string unit; in >> unit;)
    text.push_back(static_cast<typename Text::value_type>(std::stoul(unit, nullptr, 16)));
  return text;
}

TEST(UtfConvert, EveryRowOfTheTable) {
  const std::vector<TableRow> rows = ReadTable("utf.tsv", '\t');
  for (const TableRow& row : rows) {
    SCOPED_TRACE(row.at(0));
    const auto bytes = FromHex<std::string>(row.at(1));
    const auto units = FromHex<std::u16string>(row.at(2));
    const std::string& direction = row.at(3);
    if (direction != "to8") {
      EXPECT_EQ(units, Utf16FromUtf8(bytes));
    }
    if (direction == "to16") continue;
    EXPECT_EQ(bytes, Utf8FromUtf16(units));
    EXPECT_EQ(direction == "both" ? std::optional(bytes) : std::nullopt, CheckedUtf8FromUtf16(units));
  }
  EXPECT_EQ(28u, rows.size());
}

}  // namespace
}  // namespace kv
