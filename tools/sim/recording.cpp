// recording.cpp: the conversation log and its one-line-per-event text form.
// No timing of its own: every event carries the time its caller gives.
#include "recording.h"

#include <cstdio>

namespace kv::sim {

void Recording::Host(Micros time, uint8_t byte) { Add({time, RecordedEvent::Kind::kHostByte, byte, {}}); }

void Recording::Analyser(Micros time, uint8_t byte) { Add({time, RecordedEvent::Kind::kAnalyserByte, byte, {}}); }

void Recording::Note(Micros time, std::string text) { Add({time, RecordedEvent::Kind::kNote, 0, std::move(text)}); }

void Recording::Add(RecordedEvent event) {
  if (sink_ != nullptr) *sink_ << FormatEvent(event) << '\n' << std::flush;
  events_.push_back(std::move(event));
}

std::vector<uint8_t> Recording::HostBytes() const {
  std::vector<uint8_t> out;
  for (const auto& e : events_) {
    if (e.kind == RecordedEvent::Kind::kHostByte) out.push_back(e.byte);
  }
  return out;
}

std::vector<Micros> Recording::HostByteTimes() const {
  std::vector<Micros> out;
  for (const auto& e : events_) {
    if (e.kind == RecordedEvent::Kind::kHostByte) out.push_back(e.time);
  }
  return out;
}

std::vector<uint8_t> Recording::AnalyserBytes() const {
  std::vector<uint8_t> out;
  for (const auto& e : events_) {
    if (e.kind == RecordedEvent::Kind::kAnalyserByte) out.push_back(e.byte);
  }
  return out;
}

std::vector<std::string> Recording::Notes() const {
  std::vector<std::string> out;
  for (const auto& e : events_) {
    if (e.kind == RecordedEvent::Kind::kNote) out.push_back(e.note);
  }
  return out;
}

std::string Recording::FormatEvent(const RecordedEvent& event) {
  char stamp[32];
  const auto us = event.time.count();
  std::snprintf(stamp, sizeof stamp, "%6lld.%06lld", static_cast<long long>(us / 1000000),
                static_cast<long long>(us % 1000000));
  std::string line = stamp;
  switch (event.kind) {
    case RecordedEvent::Kind::kHostByte:
    case RecordedEvent::Kind::kAnalyserByte: {
      char hex[8];
      std::snprintf(hex, sizeof hex, " %02X", event.byte);
      line += event.kind == RecordedEvent::Kind::kHostByte ? " H>" : " A<";
      line += hex;
      break;
    }
    case RecordedEvent::Kind::kNote:
      line += " # " + event.note;
      break;
  }
  return line;
}

}  // namespace kv::sim
