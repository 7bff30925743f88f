// progress_board.cpp: drawing the rows. The bars go up over the rows with "ESC [ n A" and clear
// each line before writing it again, so a frame replaces the last one whole.
#include "progress_board.h"

#include <algorithm>

namespace kv::cli {

namespace {

constexpr int kBarWidth = 30;
constexpr int kQuarters = 4;

}  // namespace

ProgressBoard::ProgressBoard(std::ostream& err, Style style, std::vector<std::string> ports)
    : err_(err), style_(style) {
  for (std::string& port : ports) {
    portWidth_ = std::max(portWidth_, port.size());
    rows_.push_back({std::move(port)});
  }
  if (style_ == Style::kBars) Draw(true);
}

void ProgressBoard::Bytes(size_t row, int32_t done, int32_t total) {
  if (style_ == Style::kNone || total <= 0) return;
  std::lock_guard lock(mutex_);
  Row& r = rows_.at(row);
  const int32_t quarterBefore = r.total > 0 ? r.done * kQuarters / r.total : 0;
  r.done = done, r.total = total, r.state = "downloading";
  if (style_ == Style::kBars) return Draw(false);
  if (done * kQuarters / total > quarterBefore)
    err_ << "korvanta: " << r.port << ": " << done << " of " << total << " bytes\n" << std::flush;
}

void ProgressBoard::State(size_t row, std::string_view state) {
  if (style_ != Style::kBars) return;
  std::lock_guard lock(mutex_);
  rows_.at(row).state = state;
  Draw(false);
}

std::string ProgressBoard::BarLine(const Row& row) const {
  const int filled = row.total > 0 ? static_cast<int>(int64_t{row.done} * kBarWidth / row.total) : 0;
  std::string line = row.port + std::string(portWidth_ - row.port.size(), ' ') + "  [";
  line += std::string(static_cast<size_t>(filled), '#') + std::string(static_cast<size_t>(kBarWidth - filled), '.');
  line += "] ";
  if (row.total > 0) line += std::to_string(row.done) + "/" + std::to_string(row.total) + " bytes  ";
  return line + row.state;
}

void ProgressBoard::Draw(bool first) {
  std::string frame;
  if (!first) frame = "\x1b[" + std::to_string(rows_.size()) + "A";
  for (const Row& row : rows_) frame += "\r\x1b[2K" + BarLine(row) + "\n";
  err_ << frame << std::flush;
}

}  // namespace kv::cli
