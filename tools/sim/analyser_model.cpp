// analyser_model.cpp: slot encoding, packed times and the deterministic presets of every model.
// Generates and lays out data only; which bytes answer which command is the engine's business.
#include "analyser_model.h"

#include <algorithm>
#include <cmath>

#include "KorvantaSDK.h"
#include "catalogue.h"

namespace kv::sim {
namespace {

uint8_t ToPacked(int value) { return static_cast<uint8_t>((value / 10) * 16 + value % 10); }

int FromPacked(uint8_t byte) { return (byte >> 4) * 10 + (byte & 0x0F); }

void PutWord(std::array<uint8_t, kSlotSize>& bytes, int offset, uint16_t value) {
  bytes[offset] = static_cast<uint8_t>(value >> 8);
  bytes[offset + 1] = static_cast<uint8_t>(value & 0xFF);
}

void PutTime(std::array<uint8_t, kSlotSize>& bytes, int offset, const PackedTime& time) {
  std::copy(time.begin(), time.end(), bytes.begin() + offset);
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's civil algorithms).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int* year, int* month, int* day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  *day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *year = static_cast<int>(yoe + era * 400 + (*month <= 2));
}

// splitmix64: small, portable and the same on every platform, so presets never drift.
class Generator {
 public:
  explicit Generator(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Between(int low, int high) { return low + static_cast<int>(Next() % static_cast<uint64_t>(high - low + 1)); }

 private:
  uint64_t state_;
};

uint16_t Word(double value) { return static_cast<uint16_t>(std::lround(value)); }

// Tests are taken a day or two apart during opening hours, starting early in 2024.
DeviceDateTime TestTime(Generator& gen, int modelCode, int index) {
  DeviceDateTime start{2024, 1, 8, 0, 0, 0};
  DeviceDateTime day = AddSeconds(start, (static_cast<int64_t>(modelCode) * 3 + index * 2 + gen.Between(0, 1)) * 86400);
  day.hour = gen.Between(8, 17);
  day.minute = gen.Between(0, 59);
  day.second = gen.Between(0, 59);
  return day;
}

HumanTest MakeHumanTest(Generator& gen, int modelCode, int index) {
  HumanTest t;
  const int family = kv::DeviceFamily(modelCode);
  t.female = gen.Between(0, 1) == 1;
  t.activityLevel = static_cast<uint8_t>(gen.Between(1, 5));
  t.byte1 = static_cast<uint8_t>(index + 1);  // the analyser's own test number
  t.age = static_cast<uint8_t>(gen.Between(18, 79));
  t.height = static_cast<uint8_t>(t.female ? gen.Between(150, 180) : gen.Between(162, 195));
  const double metres = t.height / 100.0;
  const double bmi = gen.Between(190, 330) / 10.0;
  const double kg = bmi * metres * metres;
  t.weightTenths = Word(kg * 10.0);
  t.waist = Word(t.height * (0.40 + (bmi - 19.0) * 0.012));
  t.hip = Word(t.height * (0.55 + (bmi - 19.0) * 0.008) + (t.female ? 4 : 0));
  const double z50 = (t.female ? 560.0 : 480.0) * (t.height / 170.0) * std::pow(70.0 / kg, 0.3) + gen.Between(-20, 20);
  const double phaseDegrees = gen.Between(50, 80) / 10.0;
  const double phase = phaseDegrees * 3.14159265358979 / 180.0;
  t.impedanceF2 = Word(z50);
  t.resistance = Word(z50 * std::cos(phase));
  t.reading1Tenths = Word(phaseDegrees * 10.0);
  t.reading2Tenths = Word(z50 * std::sin(phase) * 10.0);
  // What each family measures: one frequency for Mono, two for MonoXD and Duotrace, four above.
  if (family != KV_FAMILY_MONO) t.impedanceF1 = Word(z50 * 1.12);
  if (family == KV_FAMILY_QUATTRON || family == KV_FAMILY_POLYTRACE || family == KV_FAMILY_UNKNOWN) {
    t.impedanceF3 = Word(z50 * 0.94);
    t.impedanceF4 = Word(z50 * 0.90);
  }
  t.time = PackDateTime(TestTime(gen, modelCode, index));
  return t;
}

EquineTest MakeEquineTest(Generator& gen, int modelCode, int index) {
  EquineTest t;
  t.horseNumber = static_cast<uint16_t>(100 + index);
  t.height = static_cast<uint8_t>(gen.Between(148, 176));
  t.readingTenths = static_cast<uint16_t>(gen.Between(4200, 6200));
  const double z50 = gen.Between(88, 108);
  t.impedance5 = Word(z50 * 1.155);
  t.impedance16 = Word(z50 * 1.093);
  t.impedance24 = Word(z50 * 1.062);
  t.impedance50 = Word(z50);
  t.impedance140 = Word(z50 * 0.907);
  t.impedance200 = Word(z50 * 0.876);
  t.impedance280 = Word(z50 * 0.845);
  t.conditionScore = static_cast<uint8_t>(gen.Between(0, 9));
  t.time = PackDateTime(TestTime(gen, modelCode, index));
  return t;
}

}  // namespace

PackedTime PackDateTime(const DeviceDateTime& time) {
  return {ToPacked(time.second), ToPacked(time.minute), ToPacked(time.hour),
          ToPacked(time.day),    ToPacked(time.month),  ToPacked(time.year - 2000)};
}

bool UnpackDateTime(const PackedTime& packed, DeviceDateTime* time) {
  for (uint8_t byte : packed) {
    if ((byte >> 4) > 9 || (byte & 0x0F) > 9) return false;
  }
  DeviceDateTime t{2000 + FromPacked(packed[5]), FromPacked(packed[4]), FromPacked(packed[3]),
                   FromPacked(packed[2]),        FromPacked(packed[1]), FromPacked(packed[0])};
  if (t.month < 1 || t.month > 12 || t.day < 1 || t.hour > 23 || t.minute > 59 || t.second > 59) return false;
  const int64_t first = DaysFromCivil(t.year, t.month, 1);
  const int64_t next = t.month == 12 ? DaysFromCivil(t.year + 1, 1, 1) : DaysFromCivil(t.year, t.month + 1, 1);
  if (t.day > next - first) return false;
  *time = t;
  return true;
}

DeviceDateTime AddSeconds(const DeviceDateTime& time, int64_t seconds) {
  int64_t total = DaysFromCivil(time.year, time.month, time.day) * 86400 + time.hour * 3600 + time.minute * 60 +
                  time.second + seconds;
  int64_t days = total >= 0 ? total / 86400 : (total - 86399) / 86400;
  int64_t rest = total - days * 86400;
  DeviceDateTime out;
  CivilFromDays(days, &out.year, &out.month, &out.day);
  out.hour = static_cast<int>(rest / 3600);
  out.minute = static_cast<int>(rest / 60 % 60);
  out.second = static_cast<int>(rest % 60);
  return out;
}

std::array<uint8_t, kSlotSize> EmptySlot::ErasedMemory() {
  std::array<uint8_t, kSlotSize> bytes;
  bytes.fill(0xFF);
  return bytes;
}

std::array<uint8_t, kSlotSize> EncodeSlot(const Slot& slot) {
  std::array<uint8_t, kSlotSize> b{};
  if (const auto* empty = std::get_if<EmptySlot>(&slot)) {
    b = empty->leftover;
    b[0] |= 0x40;
  } else if (const auto* raw = std::get_if<RawSlot>(&slot)) {
    b = raw->bytes;
  } else if (const auto* h = std::get_if<HumanTest>(&slot)) {
    b[0] = static_cast<uint8_t>((h->flagBits & 0xB0) | (h->female ? 0x08 : 0x00) | ((h->activityLevel - 1) & 0x07));
    b[1] = h->byte1;
    b[2] = h->age;
    b[3] = h->height;
    PutWord(b, 4, h->weightTenths);
    PutWord(b, 6, h->waist);
    PutWord(b, 8, h->hip);
    PutWord(b, 10, h->impedanceF2);
    PutTime(b, 12, h->time);
    PutWord(b, 18, h->impedanceF1);
    PutWord(b, 20, h->resistance);
    PutWord(b, 22, h->reading1Tenths);
    PutWord(b, 24, h->reading2Tenths);
    PutWord(b, 26, h->impedanceF3);
    PutWord(b, 28, h->impedanceF4);
    PutWord(b, 30, h->trailer);
  } else if (const auto* e = std::get_if<EquineTest>(&slot)) {
    b[0] = 0x01;  // an equine slot in use; only bit 6 means anything to hosts
    PutWord(b, 1, e->horseNumber);
    b[3] = e->height;
    PutWord(b, 8, e->readingTenths);
    PutWord(b, 10, e->impedance50);
    PutTime(b, 12, e->time);
    PutWord(b, 18, e->impedance5);
    PutWord(b, 20, e->impedance16);
    PutWord(b, 22, e->impedance24);
    PutWord(b, 24, e->impedance140);
    PutWord(b, 26, e->impedance200);
    PutWord(b, 28, e->impedance280);
    b[30] = e->conditionScore;
  }
  return b;
}

SlotLayout LayoutOfModel(int modelCode) {
  return kv::IsEquineFamily(kv::DeviceFamily(modelCode)) ? SlotLayout::kEquine : SlotLayout::kHuman;
}

AnalyserModel PresetModel(int modelCode) {
  Generator gen(0x4B56534D00000000ull + static_cast<uint64_t>(modelCode & 0xFF));
  AnalyserModel m;
  m.modelCode = static_cast<uint8_t>(modelCode);
  m.layout = LayoutOfModel(modelCode);
  m.version = {static_cast<uint8_t>(2 + modelCode % 3), static_cast<uint8_t>(10 + modelCode), 1,
               static_cast<uint8_t>(modelCode % 4), 7};
  m.protocol = {1, static_cast<uint8_t>(m.layout == SlotLayout::kEquine ? 2 : 1), 0};
  m.serialNumber = static_cast<uint32_t>(0x100000 + modelCode * 4099 + gen.Between(0, 999));
  // A printer is paired by its Bluetooth address: twelve hexadecimal digits, no terminator.
  static constexpr char kHex[] = "0123456789ABCDEF";
  const uint64_t printer = 0x0080E1000000ull + (gen.Next() & 0xFFFFFF);
  for (int i = 0; i < 12; ++i) m.printerAddress[i] = static_cast<uint8_t>(kHex[(printer >> (44 - 4 * i)) & 0xF]);
  m.clock = PackDateTime({2024, 3, 5, 14, 7, 9});
  m.calibrationTime = PackDateTime({2023, 11, 20, 9, 30, 0});

  // A busy Quattron is full; the others hold a run of tests, one deleted test, two more, then
  // never-used memory. The deleted slot keeps its old bytes, as analysers only mark it empty.
  const int used = modelCode == 11 ? kSlotCount : 10 + (modelCode * 13) % 70;
  for (int i = 0; i < kSlotCount; ++i) {
    const bool inUse = i < used || (used < kSlotCount - 3 && (i == used + 1 || i == used + 2));
    if (!inUse && i != used) continue;  // erased memory, the default
    Slot test = m.layout == SlotLayout::kEquine ? Slot{MakeEquineTest(gen, modelCode, i)}
                                                : Slot{MakeHumanTest(gen, modelCode, i)};
    if (inUse) {
      m.slots[i] = test;
    } else {
      m.slots[i] = EmptySlot{EncodeSlot(test)};
    }
  }
  m.blockHeader = {0x10, static_cast<uint8_t>(m.layout == SlotLayout::kEquine ? 0x02 : 0x01),
                   static_cast<uint8_t>(std::min(used + 2, kSlotCount))};

  // The single test is the latest measurement: its readings as sixteen big-endian words.
  std::array<uint16_t, 16> words{};
  if (const auto* h = std::get_if<HumanTest>(&m.slots[0])) {
    words = {h->impedanceF2,    h->impedanceF1,    h->resistance,  h->reading1Tenths,
             h->reading2Tenths, h->impedanceF3,    h->impedanceF4, h->weightTenths};
  } else if (const auto* e = std::get_if<EquineTest>(&m.slots[0])) {
    words = {e->impedance5,   e->impedance16,  e->impedance24,  e->impedance50,
             e->impedance140, e->impedance200, e->impedance280, e->readingTenths};
  }
  for (int i = 0; i < 16; ++i) PutWord(m.singleTest, 2 * i, words[i]);
  return m;
}

int LeadingTestCount(const AnalyserModel& model) {
  for (int i = 0; i < kSlotCount && i < static_cast<int>(model.slots.size()); ++i) {
    if (EncodeSlot(model.slots[i])[0] & 0x40) return i;
  }
  return kSlotCount;
}

}  // namespace kv::sim
