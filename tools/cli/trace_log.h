// trace_log.h: the file of `download --trace`: every byte on every analyser's line, one text line
// per run of bytes in one direction, "+  1.234567 s  /dev/pts/3  > 5A 21" (> sent, < received), the
// time counted from the start of the run of the tool. Writes only to the stream it is given.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <span>
#include <string>

namespace kv::cli {

class TraceLog {
 public:
  // Times count from now; `out` must outlive the log.
  explicit TraceLog(std::ostream& out);

  // One analyser's line. Its bytes gather into a run while they go one way, and the run is written
  // when the direction turns or at Flush. One thread per port; ports may write at the same time.
  class Port {
   public:
    Port(TraceLog& log, std::string name) : log_(log), name_(std::move(name)) {}
    ~Port() { Flush(); }
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;
    // `sessionTime` counts from the session's open, as the library reports it.
    void Bytes(bool sent, std::span<const uint8_t> bytes, std::chrono::microseconds sessionTime);
    void Flush();

   private:
    TraceLog& log_;
    std::string name_;
    // The session's open on the log's clock, found from its first report (reports come as bytes move).
    std::chrono::microseconds origin_{-1};
    bool sent_ = false;
    std::chrono::microseconds runStart_{0};
    std::string hex_;
  };

 private:
  // Whole lines only, one writer at a time, flushed so that a trace cut short still reads.
  void WriteLine(const std::string& line);

  std::ostream& out_;
  std::mutex mutex_;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace kv::cli
