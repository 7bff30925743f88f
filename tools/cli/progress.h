// progress.h: the download's progress on standard error: a bar redrawn in place on a terminal,
// a line per quarter elsewhere. Writes to the stream it is given only.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>

namespace kv::cli {

class ProgressDisplay {
 public:
  ProgressDisplay(std::ostream& out, bool terminal, std::string label)
      : out_(out), terminal_(terminal), label_(std::move(label)) {}
  void Update(size_t received, size_t total);
  // Ends the bar's line on a terminal; harmless when nothing was drawn.
  void Finish();

 private:
  std::ostream& out_;
  bool terminal_;
  std::string label_;
  int lastQuarter_ = 0;
  bool drawn_ = false;
};

// "[##########..........]  50%  1600/3200 bytes", `width` marks wide.
std::string ProgressBar(size_t received, size_t total, int width);

}  // namespace kv::cli
