// calc_cases.h: what the calculation tests share: the test records they start from, two impedance
// spectra given bit for bit, whole records as words, and the reading of the case tables in data/.
#pragma once

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "../support/data_table.h"
#include "KorvantaSDK.h"

namespace kv::calc::testing {

// R-infinity + (R0 - R-infinity) / (1 + (j f / fc)^a), R0 600, R-infinity 400, fc 50, as magnitude and phase in
// single precision. a = 1: an arc centred on the real axis at 500 with radius 100.
inline constexpr KVSpectrumPoint kColeSpectrum[] = {
    {5.0f, 0x1.2b2c7cp+9f, -0x1.e5823ap+0f},   {10.0f, 0x1.28c70ep+9f, -0x1.db8e98p+1f},
    {20.0f, 0x1.2046d4p+9f, -0x1.b7adf4p+2f},  {50.0f, 0x1.fde6e6p+8f, -0x1.69eaf8p+3f},
    {100.0f, 0x1.bf36aep+8f, -0x1.49c14ep+3f}, {200.0f, 0x1.9e71fp+8f, -0x1.a1446ep+2f},
    {500.0f, 0x1.9277b6p+8f, -0x1.68fb6ap+1f}};
// a = 0.8 and one more frequency, 1000: the circle fit does not meet its tolerance in 256 passes.
inline constexpr KVSpectrumPoint kDepressedSpectrum[] = {
    {5.0f, 0x1.25b594p+9f, -0x1.4f3f56p+1f},   {10.0f, 0x1.1fd2b8p+9f, -0x1.0c6efap+2f},
    {20.0f, 0x1.14cb28p+9f, -0x1.8d0086p+2f},  {50.0f, 0x1.f94046p+8f, -0x1.0890fcp+3f},
    {100.0f, 0x1.d0c59p+8f, -0x1.00a0d4p+3f},  {200.0f, 0x1.b2bf0ap+8f, -0x1.93fd6ap+2f},
    {500.0f, 0x1.9e10e8p+8f, -0x1.dbc514p+1f}, {1000.0f, 0x1.972a9ep+8f, -0x1.2509d6p+1f}};

struct Impedances {
  int32_t f1, f2, f4, resistance;
};

// The fields a test leaves out stay 0; the normals must read none of them.
inline KVTestRecord Person(int32_t model, int32_t sex, int32_t age, int32_t height, float weight,
                           int32_t activity = 0, int32_t waist = 0, int32_t hip = 0, Impedances z = {},
                           const KVSpectrumPoint* spectrum = nullptr, int32_t count = 0) {
  KVTestRecord t{};
  t.modelCode = model, t.sex = sex, t.age = age, t.height = height, t.weight = weight;
  t.activityLevel = activity, t.waist = waist, t.hip = hip;
  t.impedanceF1 = z.f1, t.impedanceF2 = z.f2, t.impedanceF4 = z.f4, t.resistance = z.resistance;
  t.spectrumCount = count, t.spectrum = spectrum;
  return t;
}
// A man of 35 with every input any family reads.
inline KVTestRecord Adult(int32_t model) {
  return Person(model, 1, 35, 180, 80.0f, 3, 84, 100, {560, 500, 450, 480}, kColeSpectrum, 7);
}

template <typename Record>
std::vector<uint32_t> WordsOf(const Record& record) {
  std::vector<uint32_t> words(sizeof record / 4);
  std::memcpy(words.data(), &record, sizeof record);
  return words;
}
using Row = TableRow;
using kv::CodeName;
using kv::ReadTable;
// Decimal, or nan, inf, -inf (by name, as C runtimes differ in reading those).
inline double Number(const std::string& text) {
  if (text == "nan") return NAN;
  if (text == "inf" || text == "-inf") return text[0] == '-' ? -INFINITY : INFINITY;
  return std::strtod(text.c_str(), nullptr);
}
// A human record: Adult(8) changed by the row's "field=value" words (spectrum=cole, depressed, fifty or none),
// the water equation from "equation=N"; the other words are left in rest.
struct HumanCase {
  KVTestRecord test = Adult(8);
  uint32_t equation = 0;
  Row rest;
};
inline HumanCase Human(const Row& row) {
  static KVSpectrumPoint fifty[50];
  for (int i = 0; i < 50; ++i) fifty[i] = kColeSpectrum[i % 7];
  HumanCase c;
  KVTestRecord& t = c.test;
  const std::pair<const char*, int32_t*> whole[] = {
      {"model", &t.modelCode}, {"sex", &t.sex},       {"age", &t.age},           {"height", &t.height},
      {"activity", &t.activityLevel}, {"waist", &t.waist}, {"hip", &t.hip}, {"f1", &t.impedanceF1},
      {"f2", &t.impedanceF2},  {"f4", &t.impedanceF4}, {"R", &t.resistance}, {"count", &t.spectrumCount}};
  for (const std::string& word : row) {
    const size_t eq = word.find('=');
    const std::string key = word.substr(0, eq == std::string::npos || eq == 0 ? 0 : eq), value = word.substr(eq + 1);
    bool used = true;
    if (key == "weight") t.weight = static_cast<float>(Number(value));
    else if (key == "equation") c.equation = static_cast<uint32_t>(std::stoll(value));
    else if (key == "spectrum")
      t.spectrum = value == "cole"        ? kColeSpectrum
                   : value == "depressed" ? kDepressedSpectrum
                   : value == "fifty"     ? fifty
                                          : nullptr;
    else used = false;
    for (const auto& [name, field] : whole) {
      if (key == name) *field = std::stoi(value), used = true;
    }
    if (!used) c.rest.push_back(word);
  }
  return c;
}

}  // namespace kv::calc::testing
