// data_table.h: what the table-driven tests share: the rows of a table in the program's data folder
// (KV_TEST_DATA_DIR, set per test program or folder), the cells of a line, and result codes by name.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "result_codes.h"

namespace kv {

using TableRow = std::vector<std::string>;

// The cells of text split at `separator` (at runs of blanks when it is ' ') and trimmed; an empty text has none.
inline TableRow SplitCells(const std::string& text, char separator = ' ') {
  TableRow row;
  std::istringstream cells(text);
  for (std::string cell; separator == ' ' ? bool(cells >> cell) : bool(std::getline(cells, cell, separator));) {
    const size_t first = cell.find_first_not_of(" \t\r");
    row.push_back(first == std::string::npos ? "" : cell.substr(first, cell.find_last_not_of(" \t\r") - first + 1));
  }
  return row;
}

// A table's rows of cells (SplitCells; '\n' keeps each line whole); blank lines, '#' lines and the header line
// (the first other line) left out. With `columns`, each row is checked to hold at most that many cells and filled up
// with empty ones (a trailing empty cell is left out by the split).
inline std::vector<TableRow> ReadTable(const std::string& name, char separator = ' ', size_t columns = 0) {
  std::ifstream in(std::string(KV_TEST_DATA_DIR "/") + name);
  EXPECT_TRUE(in.good()) << name;
  std::vector<TableRow> rows;
  bool header = true;
  for (std::string line; std::getline(in, line);) {
    if (line.find_first_not_of(" \t\r") == std::string::npos || line[0] == '#' || std::exchange(header, false))
      continue;
    rows.push_back(SplitCells(line, separator));
    if (columns == 0) continue;
    EXPECT_LE(rows.back().size(), columns) << line;
    rows.back().resize(columns);
  }
  return rows;
}

inline std::string CodeName(int code) {
  const ResultCodeInfo* info = FindResultCode(code);
  return info != nullptr ? info->name : std::to_string(code);
}

}  // namespace kv
