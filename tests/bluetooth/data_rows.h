// data_rows.h: the readers of the Bluetooth tests' data files, which leave out blank lines and lines
// starting with '#': the fields of a line, the rows of a table and the blocks of a step file.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kv::bt::testing {

// The fields of text split at each `by`, trimmed; an empty text has none.
inline std::vector<std::string> Split(const std::string& text, char by) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, by);) {
    const size_t first = part.find_first_not_of(' ');
    out.push_back(first == part.npos ? "" : part.substr(first, part.find_last_not_of(' ') - first + 1));
  }
  return out;
}

inline std::vector<std::string> Lines(const std::string& path) {
  std::ifstream file(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line[0] != '#') lines.push_back(line);
  }
  EXPECT_FALSE(lines.empty()) << path;
  return lines;
}

// A table's rows, each of `columns` fields split at '|' (a trailing empty field is left out by the split).
inline std::vector<std::vector<std::string>> Rows(const std::string& path, size_t columns) {
  std::vector<std::vector<std::string>> rows;
  for (const std::string& line : Lines(path)) {
    rows.push_back(Split(line, '|'));
    EXPECT_LE(rows.back().size(), columns) << line;
    rows.back().resize(columns);
  }
  return rows;
}

// The blocks of a step file, each from its "== name" line.
inline std::vector<std::vector<std::string>> Blocks(const std::string& path) {
  std::vector<std::vector<std::string>> blocks;
  for (const std::string& line : Lines(path)) {
    if (line.rfind("== ", 0) == 0) blocks.emplace_back();
    if (!blocks.empty()) blocks.back().push_back(line);
  }
  return blocks;
}

}  // namespace kv::bt::testing
