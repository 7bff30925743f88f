// calc_fuzz.cpp: the four calculation exports over records of arbitrary bits, spectra of any count.
// Checks what the public header promises: codes from the documented set, all-zero outputs on
// failure, finite equine results, and the same answer twice. Fuzzing only; never in the library.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>

#include "KorvantaSDK.h"
#include "require.h"
#include "stored_records.h"

namespace {

using kv::fuzz::Require;
using kv::records::AllBytesZero;

// The normals' codes are the first five; the results' all of them.
constexpr int32_t kResultsCodes[] = {KV_OK, KV_ERR_SEX, KV_ERR_AGE, KV_ERR_HEIGHT, KV_ERR_WEIGHT, KV_ERR_WRONG_KIND,
                                     KV_ERR_WATER_EQUATION, KV_ERR_ACTIVITY, KV_ERR_WAIST, KV_ERR_HIP, KV_ERR_ARGUMENT};
constexpr float kTellingFloats[] = {INFINITY, -INFINITY, NAN, 0.0f, -0.0f, 0.001f, 300.0f};

bool OneOf(int32_t code, size_t first) {
  return std::find(kResultsCodes, kResultsCodes + first, code) != kResultsCodes + first;
}

template <typename T>
T Fill(FuzzedDataProvider& in) {
  T record{};
  return in.ConsumeData(&record, sizeof record), record;
}

// Values near the checked ranges are far more telling than random bits, so the fuzzer often gets those.
int32_t Field(FuzzedDataProvider& in, int32_t low, int32_t high) {
  const int kind = in.ConsumeIntegralInRange<int>(0, 3);
  if (kind == 0) return in.ConsumeIntegral<int32_t>();
  return kind == 1 ? in.ConsumeIntegralInRange<int32_t>(low - 2, high + 2)
                   : in.ConsumeIntegralInRange<int32_t>(low, high);
}

float AnyFloat(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange<int>(0, 2)) {
    case 0: return std::bit_cast<float>(in.ConsumeIntegral<uint32_t>());
    case 1: return in.PickValueInArray(kTellingFloats);
    default: return in.ConsumeFloatingPointInRange<float>(-10.0f, 400.0f);
  }
}

void FuzzHuman(FuzzedDataProvider& in) {
  KVTestRecord test = Fill<KVTestRecord>(in);
  if (in.ConsumeBool()) test.modelCode = in.ConsumeIntegralInRange<int32_t>(-1, 16);
  if (in.ConsumeBool()) {
    test.sex = Field(in, 0, 1), test.age = Field(in, 1, 99), test.height = Field(in, 10, 229);
    test.weight = in.ConsumeBool() ? AnyFloat(in) : in.ConsumeFloatingPointInRange<float>(0.0005f, 300.5f);
    test.activityLevel = Field(in, 1, 5), test.waist = Field(in, 5, 648), test.hip = Field(in, 5, 648);
  }
  if (in.ConsumeBool()) {
    for (int32_t* z : {&test.impedanceF1, &test.impedanceF2, &test.impedanceF4, &test.resistance})
      *z = Field(in, -5, 1200);
  }
  // The spectrum is exactly as long as its count says (so reading past it is caught); counts
  // outside 1 to 50 come with a single point or none, which must not be read past either.
  test.spectrumCount = Field(in, 1, 50);
  const size_t points = test.spectrumCount >= 1 && test.spectrumCount <= 50 ? size_t(test.spectrumCount)
                                                                            : in.ConsumeIntegralInRange<size_t>(0, 1);
  std::unique_ptr<KVSpectrumPoint[]> spectrum;
  if (points > 0 && in.ConsumeIntegralInRange<int>(0, 15) != 0) {
    spectrum = std::make_unique<KVSpectrumPoint[]>(points);
    for (size_t i = 0; i < points; ++i) {
      const bool plausible = in.ConsumeBool();
      spectrum[i] = {plausible ? in.ConsumeFloatingPointInRange<float>(1.0f, 1000.0f) : AnyFloat(in),
                     plausible ? in.ConsumeFloatingPointInRange<float>(100.0f, 1000.0f) : AnyFloat(in),
                     plausible ? in.ConsumeFloatingPointInRange<float>(-20.0f, 0.0f) : AnyFloat(in)};
    }
  }
  test.spectrum = spectrum.get();
  const uint32_t water = in.ConsumeBool() ? in.ConsumeIntegralInRange<uint32_t>(0, 4) : in.ConsumeIntegral<uint32_t>();

  KVResults results, again{};
  std::memset(&results, 0x5A, sizeof results);
  const int32_t rc = KVCalculateResults(&test, &results, water);
  Require(OneOf(rc, 11), "KVCalculateResults code outside its set");
  Require(rc == KV_OK || AllBytesZero(results), "KVCalculateResults failed without zeroing its results");
  Require(rc != KV_OK || (KVCalculateResults(&test, &again, water) == KV_OK &&
                          std::memcmp(&again, &results, sizeof results) == 0),
          "KVCalculateResults gave two answers to one test");

  // The normals take the results as given, or any bits at all.
  KVResults given = rc == KV_OK && in.ConsumeBool() ? results : Fill<KVResults>(in);
  if (in.ConsumeBool()) given.leanKg = AnyFloat(in);
  KVNormals normals;
  std::memset(&normals, 0x5A, sizeof normals);
  const int32_t nrc = KVCalculateNormals(&test, &given, &normals);
  Require(OneOf(nrc, 5), "KVCalculateNormals code outside its set");
  Require(nrc == KV_OK || AllBytesZero(normals), "KVCalculateNormals failed without zeroing its normals");
}

void FuzzEquine(FuzzedDataProvider& in) {
  CXTestRecord test = Fill<CXTestRecord>(in);
  if (in.ConsumeBool()) test.modelCode = in.ConsumeIntegralInRange<int32_t>(11, 14);
  if (in.ConsumeBool()) {
    test.height = Field(in, -5, 250), test.conditionScore = Field(in, -2, 10);
    for (int32_t* z : {&test.impedance5, &test.impedance16, &test.impedance24, &test.impedance50, &test.impedance140,
                       &test.impedance200, &test.impedance280})
      *z = Field(in, -5, 1000);
  }
  test.decimalReading = AnyFloat(in);

  CXResults results;
  std::memset(&results, 0x5A, sizeof results);
  const CXResults before = results;
  const int32_t rc = CXCalculateResults(&test, &results);
  Require(rc == KV_OK || rc == KV_ERR_WRONG_KIND, "CXCalculateResults code outside its set");
  Require(rc == KV_OK || std::memcmp(&results, &before, sizeof results) == 0, "CXCalculateResults wrote on failure");
  const auto* fields = reinterpret_cast<const float*>(&results);
  Require(rc != KV_OK || std::all_of(fields, fields + sizeof results / 4, [](float f) { return std::isfinite(f); }),
          "CXCalculateResults handed out a non-finite field with KV_OK");

  CXResults given = rc == KV_OK && in.ConsumeBool() ? results : Fill<CXResults>(in);
  if (in.ConsumeBool()) given.bodyMassKg = AnyFloat(in);
  CXNormals normals;
  Require(CXCalculateNormals(in.ConsumeBool() ? &test : nullptr, &given, &normals) == KV_OK,
          "CXCalculateNormals failed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  in.ConsumeBool() ? FuzzHuman(in) : FuzzEquine(in);
  return 0;
}
