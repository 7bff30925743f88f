// progress.cpp: drawing the download's progress. No device access.
#include "progress.h"

#include <ostream>

namespace kv::cli {

std::string ProgressBar(size_t received, size_t total, int width) {
  if (received > total) received = total;
  const size_t marks = total == 0 ? static_cast<size_t>(width) : received * static_cast<size_t>(width) / total;
  const size_t percent = total == 0 ? 100 : received * 100 / total;
  std::string bar = "[" + std::string(marks, '#') + std::string(static_cast<size_t>(width) - marks, '.') + "] ";
  const std::string pct = std::to_string(percent) + "%";
  bar += std::string(4 - std::min<size_t>(4, pct.size()), ' ') + pct;
  bar += "  " + std::to_string(received) + "/" + std::to_string(total) + " bytes";
  return bar;
}

void ProgressDisplay::Update(size_t received, size_t total) {
  if (terminal_) {
    out_ << '\r' << label_ << ' ' << ProgressBar(received, total, 30) << std::flush;
    drawn_ = true;
    return;
  }
  const int quarter = total == 0 ? 4 : static_cast<int>(received * 4 / total);
  if (quarter > lastQuarter_) {
    lastQuarter_ = quarter;
    out_ << label_ << ' ' << received << "/" << total << " bytes\n" << std::flush;
  }
}

void ProgressDisplay::Finish() {
  if (terminal_ && drawn_) out_ << '\n' << std::flush;
  drawn_ = false;
}

}  // namespace kv::cli
