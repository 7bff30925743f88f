// seeded_cases.h: records of every family made from a seed, and one record through its two exports. The
// identity dump compares what they give on each build; the thread test, what they give on several threads.
#pragma once

#include <cstdint>
#include <random>

#include "KorvantaSDK.h"

namespace kv::calc::testing {

// std::mt19937 gives the same sequence on every platform; inputs are built from integers by exact operations.
struct Random {
  std::mt19937 next;
  int32_t In(int32_t low, int32_t high) {
    return low + static_cast<int32_t>(next() % static_cast<uint32_t>(high - low + 1));
  }
  bool OneIn(int n) { return next() % static_cast<uint32_t>(n) == 0; }
  // An edge of [low, high] or just outside it now and then, else a value inside.
  int32_t Field(int32_t low, int32_t high) {
    const uint32_t pick = next() % 16;
    return pick == 0 ? low : pick == 1 ? high : pick == 2 ? (OneIn(4) ? low - 1 : high + 1) : In(low, high);
  }
};

struct Case {
  bool equine;
  uint32_t waterEquation;
  KVTestRecord human;
  CXTestRecord horse;
  KVSpectrumPoint spectrum[50];
};

inline Case MakeCase(int index) {
  Random r{std::mt19937(0x4B56u + static_cast<uint32_t>(index))};
  Case c{};
  static const int32_t kModels[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 14, 15, 0, 16, 99, -1, 12, 13};
  const int32_t model = r.OneIn(3) ? 12 + r.In(0, 1) : kModels[r.In(0, 18)];
  c.equine = (model == 12 || model == 13) != r.OneIn(40);  // a share of models sent to the wrong export
  c.waterEquation = static_cast<uint32_t>(r.Field(0, 3));
  KVTestRecord& h = c.human;
  h.modelCode = c.horse.modelCode = model;
  h.sex = r.Field(0, 1);
  h.age = r.Field(1, 99);
  h.height = r.Field(10, 229);
  static const float kWeightEdges[] = {0.001f, 0.00099999f, 300.0f, 300.01f, 300.1f};
  h.weight = r.OneIn(12) ? kWeightEdges[r.In(0, 4)] : static_cast<float>(r.In(32, 4800)) * 0.0625f;
  h.activityLevel = r.Field(1, 5);
  h.waist = r.Field(5, 648);
  h.hip = r.Field(5, 648);
  h.impedanceF1 = r.In(300, 900);
  h.impedanceF2 = h.impedanceF1 - r.In(0, 120);
  h.impedanceF4 = h.impedanceF2 - r.In(0, 120);
  if (r.OneIn(50)) h.impedanceF2 = 0;
  h.resistance = r.OneIn(50) ? 0 : r.In(300, 900);
  // A Cole-like arc in polar form: magnitude falling from R0 to R-infinity, phase a bump.
  h.spectrumCount = r.OneIn(30) ? r.Field(0, 51) : r.In(3, 50);
  const int n = h.spectrumCount < 1 ? 0 : (h.spectrumCount > 50 ? 50 : h.spectrumCount);
  const int32_t r0 = r.In(400, 900) * 8, drop = r.In(40, 300) * 8, bump = r.In(64, 960);
  for (int k = 0; k < n; ++k) {
    const int span = n > 1 ? n - 1 : 1;
    c.spectrum[k].frequency = static_cast<float>(k * k * 20 + r.In(1, 5));
    c.spectrum[k].magnitude = static_cast<float>(r0 - drop * k / span + r.In(-8, 8)) * 0.125f;
    c.spectrum[k].phase = -static_cast<float>(bump * 4 * k * (span - k) / (span * span) + r.In(0, 16)) * 0.015625f;
  }
  h.spectrum = r.OneIn(60) ? nullptr : c.spectrum;
  CXTestRecord& x = c.horse;
  x.height = r.Field(0, 255);
  x.conditionScore = r.Field(0, 9);
  int32_t z = r.In(40, 900);
  for (int32_t* reading : {&x.impedance5, &x.impedance16, &x.impedance24, &x.impedance50, &x.impedance140,
                           &x.impedance200, &x.impedance280}) {
    *reading = z;
    z -= r.In(0, z / 8 + 1);
  }
  if (r.OneIn(40)) x.impedance5 = r.In(-2, 0);
  if (r.OneIn(40)) x.impedance280 = 2147483647;
  return c;
}

// The two result codes and the outputs of one record's exports; those of the other kind stay 0 (412 bytes).
struct Outputs {
  int32_t codes[2];
  KVResults results;
  KVNormals normals;
  CXResults equine;
  CXNormals equineNormals;
};

inline Outputs RunExports(const Case& c) {
  Outputs o{};
  if (c.equine) {
    o.codes[0] = CXCalculateResults(&c.horse, &o.equine);
    o.codes[1] = CXCalculateNormals(&c.horse, &o.equine, &o.equineNormals);
  } else {
    o.codes[0] = KVCalculateResults(&c.human, &o.results, c.waterEquation);
    o.codes[1] = KVCalculateNormals(&c.human, &o.results, &o.normals);
  }
  return o;
}

}  // namespace kv::calc::testing
