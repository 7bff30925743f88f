// utf_convert_test.cpp: the shared UTF-8 <-> UTF-16 converter against data/utf.tsv, whose units were
// worked out by hand from the encoding tables.
#include "utf_convert.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

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
  std::ifstream file(KV_SDK_DATA_DIR "/utf.tsv");
  int rows = 0;
  for (std::string line; std::getline(file, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream cells(line);
    std::string name, utf8, utf16, direction;
    std::getline(cells, name, '\t') && std::getline(cells, utf8, '\t') && std::getline(cells, utf16, '\t');
    std::getline(cells, direction);
    SCOPED_TRACE(name);
    ++rows;
    const auto bytes = FromHex<std::string>(utf8);
    const auto units = FromHex<std::u16string>(utf16);
    if (direction != "to8") {
      EXPECT_EQ(units, Utf16FromUtf8(bytes));
    }
    if (direction == "to16") continue;
    EXPECT_EQ(bytes, Utf8FromUtf16(units));
    EXPECT_EQ(direction == "both" ? std::optional(bytes) : std::nullopt, CheckedUtf8FromUtf16(units));
  }
  EXPECT_EQ(28, rows);
}

}  // namespace
}  // namespace kv
