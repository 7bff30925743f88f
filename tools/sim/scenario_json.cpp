// scenario_json.cpp: scenarios from JSON, on top of the preset of their model code.
// nlohmann-json because scenario files are written by hand: its parse errors give the position,
// its value access is checked, and it is one header the tools already install; the SDK itself
// never sees it. Unknown keys are refused, so a misspelt field cannot be silently ignored.
#include <fstream>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

#include "scenario.h"

namespace kv::sim {
namespace {

using nlohmann::json;

struct ScenarioError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

void OnlyKeys(const json& object, const std::string& where, std::initializer_list<const char*> keys) {
  if (!object.is_object()) throw ScenarioError(where + ": expected an object");
  for (const auto& [key, value] : object.items()) {
    bool known = false;
    for (const char* k : keys) known = known || key == k;
    if (!known) throw ScenarioError(where + ": unknown key \"" + key + "\"");
  }
}

uint64_t Unsigned(const json& value, const std::string& where, uint64_t max) {
  if (!value.is_number_integer() || value.get<int64_t>() < 0 || value.get<uint64_t>() > max) {
    throw ScenarioError(where + ": expected a whole number from 0 to " + std::to_string(max));
  }
  return value.get<uint64_t>();
}

// Tenths on the wire from a decimal value in the file (72.5 kg is sent as 725).
uint16_t Tenths(const json& value, const std::string& where) {
  if (!value.is_number() || value.get<double>() < 0.0 || value.get<double>() > 6553.5) {
    throw ScenarioError(where + ": expected a number from 0 to 6553.5");
  }
  return static_cast<uint16_t>(value.get<double>() * 10.0 + 0.5);
}

// Bytes as an array of numbers or as hexadecimal pairs: "30 15 09 24 12 23".
template <size_t N>
std::array<uint8_t, N> Bytes(const json& value, const std::string& where) {
  std::array<uint8_t, N> out{};
  if (value.is_array()) {
    if (value.size() != N) throw ScenarioError(where + ": expected " + std::to_string(N) + " bytes");
    for (size_t i = 0; i < N; ++i) out[i] = static_cast<uint8_t>(Unsigned(value[i], where, 0xFF));
    return out;
  }
  if (value.is_string()) {
    std::istringstream in(value.get<std::string>());
    std::string pair;
    size_t i = 0;
    while (in >> pair) {
      if (i == N || pair.size() != 2 || pair.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        throw ScenarioError(where + ": expected " + std::to_string(N) + " hexadecimal byte pairs");
      }
      out[i++] = static_cast<uint8_t>(std::stoul(pair, nullptr, 16));
    }
    if (i == N) return out;
  }
  throw ScenarioError(where + ": expected " + std::to_string(N) + " bytes (array or hexadecimal pairs)");
}

// "2024-03-05 14:07:09" packs as the analyser would; six raw bytes pass digits no date has.
PackedTime Time(const json& value, const std::string& where) {
  if (value.is_string() && value.get<std::string>().find('-') != std::string::npos) {
    DeviceDateTime t;
    char tail = 0;
    const std::string text = value.get<std::string>();
    if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d%c", &t.year, &t.month, &t.day, &t.hour, &t.minute, &t.second,
                    &tail) != 6 ||
        t.year < 2000 || t.year > 2099) {
      throw ScenarioError(where + ": expected \"YYYY-MM-DD hh:mm:ss\" with a year from 2000 to 2099");
    }
    const PackedTime packed = PackDateTime(t);
    DeviceDateTime check;
    if (!UnpackDateTime(packed, &check)) throw ScenarioError(where + ": not a calendar date; give raw bytes instead");
    return packed;
  }
  return Bytes<6>(value, where);
}

HumanTest ParseHuman(const json& j, const std::string& where) {
  OnlyKeys(j, where,
           {"slot", "sex", "activityLevel", "age", "height", "weightKg", "waist", "hip", "impedanceF1", "impedanceF2",
            "impedanceF3", "impedanceF4", "resistance", "reading1", "reading2", "time", "flagBits", "byte1",
            "trailer"});
  HumanTest t;
  auto word = [&](const char* key, uint16_t* out) {
    if (j.contains(key)) *out = static_cast<uint16_t>(Unsigned(j[key], where + "." + key, 0xFFFF));
  };
  auto byte = [&](const char* key, uint8_t* out, uint64_t max) {
    if (j.contains(key)) *out = static_cast<uint8_t>(Unsigned(j[key], where + "." + key, max));
  };
  if (j.contains("sex")) {
    const json& sex = j["sex"];
    if (sex != "female" && sex != "male") throw ScenarioError(where + ".sex: expected \"female\" or \"male\"");
    t.female = sex == "female";
  }
  byte("activityLevel", &t.activityLevel, 8);
  if (t.activityLevel == 0) throw ScenarioError(where + ".activityLevel: expected 1 to 8");
  byte("age", &t.age, 255);
  byte("height", &t.height, 255);
  byte("flagBits", &t.flagBits, 0xFF);
  byte("byte1", &t.byte1, 0xFF);
  if (j.contains("weightKg")) t.weightTenths = Tenths(j["weightKg"], where + ".weightKg");
  if (j.contains("reading1")) t.reading1Tenths = Tenths(j["reading1"], where + ".reading1");
  if (j.contains("reading2")) t.reading2Tenths = Tenths(j["reading2"], where + ".reading2");
  word("waist", &t.waist);
  word("hip", &t.hip);
  word("impedanceF1", &t.impedanceF1);
  word("impedanceF2", &t.impedanceF2);
  word("impedanceF3", &t.impedanceF3);
  word("impedanceF4", &t.impedanceF4);
  word("resistance", &t.resistance);
  word("trailer", &t.trailer);
  if (j.contains("time")) t.time = Time(j["time"], where + ".time");
  return t;
}

EquineTest ParseEquine(const json& j, const std::string& where) {
  OnlyKeys(j, where,
           {"slot", "horseNumber", "height", "reading", "impedance5", "impedance16", "impedance24", "impedance50",
            "impedance140", "impedance200", "impedance280", "conditionScore", "time"});
  EquineTest t;
  auto word = [&](const char* key, uint16_t* out) {
    if (j.contains(key)) *out = static_cast<uint16_t>(Unsigned(j[key], where + "." + key, 0xFFFF));
  };
  word("horseNumber", &t.horseNumber);
  if (j.contains("height")) t.height = static_cast<uint8_t>(Unsigned(j["height"], where + ".height", 255));
  if (j.contains("reading")) t.readingTenths = Tenths(j["reading"], where + ".reading");
  word("impedance5", &t.impedance5);
  word("impedance16", &t.impedance16);
  word("impedance24", &t.impedance24);
  word("impedance50", &t.impedance50);
  word("impedance140", &t.impedance140);
  word("impedance200", &t.impedance200);
  word("impedance280", &t.impedance280);
  if (j.contains("conditionScore")) {
    t.conditionScore = static_cast<uint8_t>(Unsigned(j["conditionScore"], where + ".conditionScore", 255));
  }
  if (j.contains("time")) t.time = Time(j["time"], where + ".time");
  return t;
}

Slot ParseSlot(const json& j, SlotLayout layout, const std::string& where) {
  if (j.is_object() && j.contains("empty")) {
    OnlyKeys(j, where, {"slot", "empty", "leftover"});
    if (j["empty"] != true) throw ScenarioError(where + ".empty: only true is meaningful");
    EmptySlot e;
    if (j.contains("leftover")) e.leftover = Bytes<kSlotSize>(j["leftover"], where + ".leftover");
    return e;
  }
  if (j.is_object() && j.contains("raw")) {
    OnlyKeys(j, where, {"slot", "raw"});
    return RawSlot{Bytes<kSlotSize>(j["raw"], where + ".raw")};
  }
  return layout == SlotLayout::kEquine ? Slot{ParseEquine(j, where)} : Slot{ParseHuman(j, where)};
}

Scenario FromJson(const json& j) {
  OnlyKeys(j, "scenario",
           {"name", "model", "version", "protocol", "serialNumber", "printerAddress", "clock", "clockRuns",
            "calibrationTime", "blockHeader", "layout", "tests", "singleTest", "singleTestBytes",
            "unsupportedCommands", "handshake", "dataTimeoutMs", "faults"});
  if (!j.contains("model")) throw ScenarioError("scenario: \"model\" (the model code) is required");
  Scenario s = PresetScenario(static_cast<int>(Unsigned(j["model"], "model", 255)));
  AnalyserModel& m = s.model;
  if (j.contains("name")) s.name = j["name"].get<std::string>();
  if (j.contains("version")) m.version = Bytes<5>(j["version"], "version");
  if (j.contains("protocol")) m.protocol = Bytes<3>(j["protocol"], "protocol");
  if (j.contains("serialNumber")) m.serialNumber = static_cast<uint32_t>(Unsigned(j["serialNumber"], "serialNumber", 0xFFFFFF));
  if (j.contains("printerAddress")) {
    const json& p = j["printerAddress"];
    if (p.is_string() && p.get<std::string>().size() <= 12 && p.get<std::string>().find(' ') == std::string::npos) {
      // Plain text, padded with zero bytes as the analyser's fixed field would be.
      const std::string text = p.get<std::string>();
      m.printerAddress.fill(0);
      for (size_t i = 0; i < text.size(); ++i) {
        if (static_cast<unsigned char>(text[i]) > 0x7E) throw ScenarioError("printerAddress: use bytes for non-ASCII");
        m.printerAddress[i] = static_cast<uint8_t>(text[i]);
      }
    } else {
      m.printerAddress = Bytes<12>(p, "printerAddress");
    }
  }
  if (j.contains("clock")) m.clock = Time(j["clock"], "clock");
  if (j.contains("clockRuns")) m.clockRuns = j["clockRuns"].get<bool>();
  if (j.contains("calibrationTime")) m.calibrationTime = Time(j["calibrationTime"], "calibrationTime");
  if (j.contains("blockHeader")) m.blockHeader = Bytes<3>(j["blockHeader"], "blockHeader");
  if (j.contains("layout")) {
    if (j["layout"] != "human" && j["layout"] != "equine") throw ScenarioError("layout: expected \"human\" or \"equine\"");
    m.layout = j["layout"] == "equine" ? SlotLayout::kEquine : SlotLayout::kHuman;
  }
  if (j.contains("tests")) {
    const json& tests = j["tests"];
    if (!tests.is_array()) throw ScenarioError("tests: expected an array");
    m.slots.assign(kSlotCount, EmptySlot{});
    size_t next = 0;
    for (size_t i = 0; i < tests.size(); ++i) {
      const std::string where = "tests[" + std::to_string(i) + "]";
      if (tests[i].is_object() && tests[i].contains("slot")) {
        next = static_cast<size_t>(Unsigned(tests[i]["slot"], where + ".slot", kSlotCount - 1));
      }
      if (next >= kSlotCount) throw ScenarioError(where + ": more than 100 slots");
      m.slots[next++] = ParseSlot(tests[i], m.layout, where);
    }
  }
  if (j.contains("singleTest")) {
    const json& words = j["singleTest"];
    if (!words.is_array() || words.size() > 16) throw ScenarioError("singleTest: expected up to 16 words");
    m.singleTest.fill(0);
    for (size_t i = 0; i < words.size(); ++i) {
      const auto w = Unsigned(words[i], "singleTest", 0xFFFF);
      m.singleTest[2 * i] = static_cast<uint8_t>(w >> 8);
      m.singleTest[2 * i + 1] = static_cast<uint8_t>(w & 0xFF);
    }
  }
  if (j.contains("singleTestBytes")) m.singleTest = Bytes<kSlotSize>(j["singleTestBytes"], "singleTestBytes");
  if (j.contains("unsupportedCommands")) {
    for (const auto& c : j["unsupportedCommands"]) {
      m.unsupportedCommands.push_back(static_cast<uint8_t>(Unsigned(c, "unsupportedCommands", 0xFF)));
    }
  }
  if (j.contains("handshake")) {
    const json& h = j["handshake"];
    OnlyKeys(h, "handshake", {"delayMs", "intervalMs", "serveWithoutHandshake"});
    if (h.contains("delayMs")) s.handshake.delay = std::chrono::milliseconds(Unsigned(h["delayMs"], "handshake.delayMs", 600000));
    if (h.contains("intervalMs")) {
      s.handshake.interval = std::chrono::milliseconds(Unsigned(h["intervalMs"], "handshake.intervalMs", 60000));
      if (s.handshake.interval.count() == 0) throw ScenarioError("handshake.intervalMs: must be above 0");
    }
    if (h.contains("serveWithoutHandshake")) s.handshake.serveWithoutHandshake = h["serveWithoutHandshake"].get<bool>();
  }
  if (j.contains("dataTimeoutMs")) s.dataTimeout = std::chrono::milliseconds(Unsigned(j["dataTimeoutMs"], "dataTimeoutMs", 600000));
  if (j.contains("faults")) {
    for (const auto& f : j["faults"]) {
      if (!f.is_string()) throw ScenarioError("faults: each fault is a string such as \"wrong-ack:cmd=0x23\"");
      std::string error;
      auto fault = ParseFault(f.get<std::string>(), &error);
      if (!fault) throw ScenarioError("faults: " + error);
      s.faults.push_back(*fault);
    }
  }
  return s;
}

}  // namespace

std::optional<Scenario> ParseScenario(std::string_view jsonText, std::string* error) {
  try {
    return FromJson(json::parse(jsonText));
  } catch (const std::exception& e) {  // json's own errors and ours, both with a readable message
    if (error != nullptr) *error = e.what();
    return std::nullopt;
  }
}

std::optional<Scenario> LoadScenarioFile(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error != nullptr) *error = "cannot read " + path;
    return std::nullopt;
  }
  std::ostringstream text;
  text << in.rdbuf();
  auto scenario = ParseScenario(text.str(), error);
  if (!scenario && error != nullptr) *error = path + ": " + *error;
  return scenario;
}

}  // namespace kv::sim
