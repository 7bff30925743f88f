// recording.h: the timestamped log of a simulated conversation, for tests and --record files.
// Keeps bytes and notes in arrival order; knows nothing of commands or of the line.
#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace kv::sim {

// Simulator time: microseconds from an origin its runner picks. Tests pass any values they like.
using Micros = std::chrono::microseconds;

struct RecordedEvent {
  enum class Kind { kHostByte, kAnalyserByte, kNote };
  Micros time{0};
  Kind kind = Kind::kNote;
  uint8_t byte = 0;
  std::string note;
};

class Recording {
 public:
  void Host(Micros time, uint8_t byte);
  void Analyser(Micros time, uint8_t byte);
  void Note(Micros time, std::string text);
  // Each event is also written to `sink` as one text line as it happens (null: none).
  void SetSink(std::ostream* sink) { sink_ = sink; }

  const std::vector<RecordedEvent>& Events() const { return events_; }
  std::vector<uint8_t> HostBytes() const;
  std::vector<Micros> HostByteTimes() const;
  std::vector<uint8_t> AnalyserBytes() const;
  std::vector<std::string> Notes() const;
  void Clear() { events_.clear(); }

  // "  12.345678 H> 5A", "  12.345900 A< 5A", "  12.346000 # served 0x23".
  static std::string FormatEvent(const RecordedEvent& event);

 private:
  void Add(RecordedEvent event);
  std::vector<RecordedEvent> events_;
  std::ostream* sink_ = nullptr;
};

}  // namespace kv::sim
