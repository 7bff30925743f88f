// stored_records.h: what the link's and the end-to-end tests share about the stored-test records: every
// field as one tuple (so records compare whole and a failure names the field), the all-zero check of an
// empty slot, and containers on the heap filled with one byte so "untouched" can be told from "cleared".
#pragma once

#include <algorithm>
#include <cstring>
#include <memory>
#include <tuple>

#include "KorvantaSDK.h"

namespace kv::records {

inline auto Fields(const KVTestRecord& r) {
  return std::tuple(r.modelCode, r.serialNumber, r.testTime, r.sex, r.age, r.height, r.weight, r.activityLevel, r.waist,
                    r.hip, r.impedanceF1, r.impedanceF2, r.impedanceF3, r.impedanceF4, r.resistance, r.decimalReading1,
                    r.decimalReading2, r.spectrumCount, r.spectrum);
}
inline auto Fields(const CXTestRecord& r) {
  return std::tuple(r.modelCode, r.serialNumber, r.testTime, r.height, r.conditionScore, r.impedance5, r.impedance16,
                    r.impedance24, r.impedance50, r.impedance140, r.impedance200, r.impedance280, r.decimalReading);
}

template <typename Record>
bool AllBytesZero(const Record& record) {  // the spectrum pointer and padding as well
  const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
  return std::all_of(bytes, bytes + sizeof(Record), [](unsigned char b) { return b == 0; });
}

template <typename Container>
std::unique_ptr<Container> Filled(unsigned char byte, int32_t capacity = KV_STORED_TEST_CAPACITY) {
  auto stored = std::make_unique<Container>();
  std::memset(static_cast<void*>(stored.get()), byte, sizeof(Container));
  stored->capacity = capacity;
  return stored;
}

}  // namespace kv::records
