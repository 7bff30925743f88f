// progress_board.h: the download's progress on the error stream, one row per analyser: bars redrawn
// in place on a terminal, or a line at each quarter of the block when asked for off one. Any thread
// may report; the board writes whole frames under its own lock.
#pragma once

#include <cstdint>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace kv::cli {

class ProgressBoard {
 public:
  enum class Style {
    kNone,   // nothing: the final lines only
    kBars,   // a bar per analyser, redrawn with cursor movements (a terminal)
    kLines,  // "korvanta: /dev/pts/3: 1600 of 3200 bytes" at each quarter (a file or a pipe)
  };
  ProgressBoard(std::ostream& err, Style style, std::vector<std::string> ports);

  // Bytes of the block received on the analyser of row `row`.
  void Bytes(size_t row, int32_t done, int32_t total);
  // The row's state in a word ("connecting", "done", "failed"); shown beside a bar.
  void State(size_t row, std::string_view state);

 private:
  struct Row {
    std::string port;
    int32_t done = 0;
    int32_t total = 0;
    std::string state = "waiting";
  };
  void Draw(bool first);
  std::string BarLine(const Row& row) const;

  std::ostream& err_;
  const Style style_;
  std::mutex mutex_;
  std::vector<Row> rows_;
  size_t portWidth_ = 0;
};

}  // namespace kv::cli
