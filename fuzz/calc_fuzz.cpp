// calc_fuzz.cpp: the four calculation exports over records of arbitrary bits, spectra of any count.
// Checks what the public header promises: codes from the documented set, all-zero outputs on
// failure, finite equine results, and the same answer twice. Fuzzing only; never in the library.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>

#include "KorvantaSDK.h"

namespace {

void Require(bool condition, const char* what) {
  if (!condition) {
    __builtin_printf("invariant broken: %s\n", what);
    std::abort();
  }
}

bool OneOf(int32_t value, std::initializer_list<int32_t> set) {
  for (int32_t v : set)
    if (v == value) return true;
  return false;
}

template <typename T>
bool AllZeroBytes(const T& record) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
  for (size_t i = 0; i < sizeof(T); ++i)
    if (bytes[i] != 0) return false;
  return true;
}

template <typename T>
T Fill(FuzzedDataProvider& in) {
  T record;
  std::memset(&record, 0, sizeof record);
  in.ConsumeData(&record, sizeof record);
  return record;
}

// Field values near the checked ranges are far more telling than random bits, so the fuzzer
// often gets one of those instead.
int32_t Field(FuzzedDataProvider& in, int32_t low, int32_t high) {
  switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: return in.ConsumeIntegral<int32_t>();
    case 1: return in.ConsumeIntegralInRange<int32_t>(low - 2, high + 2);
    default: return in.ConsumeIntegralInRange<int32_t>(low, high);
  }
}

float AnyFloat(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange<int>(0, 5)) {
    case 0: {
      uint32_t bits = in.ConsumeIntegral<uint32_t>();
      float value;
      std::memcpy(&value, &bits, sizeof value);
      return value;
    }
    case 1: return INFINITY;
    case 2: return -INFINITY;
    case 3: return NAN;
    default: return in.ConsumeFloatingPointInRange<float>(-10.0f, 400.0f);
  }
}

void FuzzHuman(FuzzedDataProvider& in) {
  KVTestRecord test = Fill<KVTestRecord>(in);
  const int32_t models[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, -1};
  if (in.ConsumeBool()) test.modelCode = in.PickValueInArray(models);
  if (in.ConsumeBool()) {
    test.sex = Field(in, 0, 1);
    test.age = Field(in, 1, 99);
    test.height = Field(in, 10, 229);
    test.weight = in.ConsumeBool() ? AnyFloat(in) : in.ConsumeFloatingPointInRange<float>(0.0005f, 300.5f);
    test.activityLevel = Field(in, 1, 5);
    test.waist = Field(in, 5, 648);
    test.hip = Field(in, 5, 648);
  }
  if (in.ConsumeBool()) {
    test.impedanceF1 = Field(in, -5, 1200);
    test.impedanceF2 = Field(in, -5, 1200);
    test.impedanceF4 = Field(in, -5, 1200);
    test.resistance = Field(in, -5, 1200);
  }
  test.decimalReading1 = AnyFloat(in);
  test.decimalReading2 = AnyFloat(in);

  // The spectrum is exactly as long as its count says (so reading past it is caught); counts
  // outside 1 to 50 come with a single point or none, which must not be read past either.
  test.spectrumCount = Field(in, 1, 50);
  const size_t points = test.spectrumCount >= 1 && test.spectrumCount <= 50 ? size_t(test.spectrumCount)
                                                                            : in.ConsumeIntegralInRange<size_t>(0, 1);
  std::unique_ptr<KVSpectrumPoint[]> spectrum;
  if (points > 0 && in.ConsumeIntegralInRange<int>(0, 15) != 0) {
    spectrum = std::make_unique<KVSpectrumPoint[]>(points);
    for (size_t i = 0; i < points; ++i) {
      if (in.ConsumeBool()) {
        spectrum[i] = {in.ConsumeFloatingPointInRange<float>(1.0f, 1000.0f),
                       in.ConsumeFloatingPointInRange<float>(100.0f, 1000.0f),
                       in.ConsumeFloatingPointInRange<float>(-20.0f, 0.0f)};
      } else {
        spectrum[i] = {AnyFloat(in), AnyFloat(in), AnyFloat(in)};
      }
    }
  }
  test.spectrum = spectrum.get();
  const uint32_t water = in.ConsumeBool() ? in.ConsumeIntegralInRange<uint32_t>(0, 4) : in.ConsumeIntegral<uint32_t>();

  KVResults results;
  std::memset(&results, 0x5A, sizeof results);
  const int32_t rc = KVCalculateResults(&test, &results, water);
  Require(OneOf(rc, {0, -1, -3, -4, -5, -6, -7, -8, -9, -10, -18}), "KVCalculateResults code outside its set");
  if (rc != 0) Require(AllZeroBytes(results), "KVCalculateResults failed without zeroing its results");
  if (rc == 0) {
    Require(std::isfinite(test.weight) && test.weight >= 0.001f && test.weight <= 300.0f,
            "KVCalculateResults accepted a weight outside its range");
    KVResults again;
    std::memset(&again, 0, sizeof again);
    Require(KVCalculateResults(&test, &again, water) == 0 && std::memcmp(&again, &results, sizeof results) == 0,
            "KVCalculateResults gave two answers to one test");
  }

  // The normals take the results as given, or any bits at all.
  KVResults given = rc == 0 && in.ConsumeBool() ? results : Fill<KVResults>(in);
  if (in.ConsumeBool()) given.leanKg = AnyFloat(in);
  KVNormals normals;
  std::memset(&normals, 0x5A, sizeof normals);
  const int32_t nrc = KVCalculateNormals(&test, &given, &normals);
  Require(OneOf(nrc, {0, -4, -5, -6, -7}), "KVCalculateNormals code outside its set");
  if (nrc != 0) Require(AllZeroBytes(normals), "KVCalculateNormals failed without zeroing its normals");
  Require(KVCalculateResults(nullptr, &results, water) == -18, "null test accepted");
  Require(KVCalculateNormals(&test, &given, nullptr) == -18, "null normals accepted");
}

void RequireFinite(const CXResults& results) {
  const auto* fields = reinterpret_cast<const float*>(&results);
  for (size_t i = 0; i < sizeof results / sizeof(float); ++i)
    Require(std::isfinite(fields[i]), "CXCalculateResults handed out a non-finite field with 0");
}

void FuzzEquine(FuzzedDataProvider& in) {
  CXTestRecord test = Fill<CXTestRecord>(in);
  if (in.ConsumeBool()) test.modelCode = in.ConsumeIntegralInRange<int32_t>(11, 14);
  if (in.ConsumeBool()) {
    test.height = Field(in, -5, 250);
    test.conditionScore = Field(in, -2, 10);
    for (int32_t* reading : {&test.impedance5, &test.impedance16, &test.impedance24, &test.impedance50,
                             &test.impedance140, &test.impedance200, &test.impedance280})
      *reading = Field(in, -5, 1000);
  }
  test.decimalReading = AnyFloat(in);

  CXResults results;
  std::memset(&results, 0x5A, sizeof results);
  const CXResults before = results;
  const int32_t rc = CXCalculateResults(&test, &results);
  Require(OneOf(rc, {0, -1}), "CXCalculateResults code outside its set");
  if (rc != 0) Require(std::memcmp(&results, &before, sizeof results) == 0, "CXCalculateResults wrote on failure");
  if (rc == 0) RequireFinite(results);

  CXResults given = rc == 0 && in.ConsumeBool() ? results : Fill<CXResults>(in);
  if (in.ConsumeBool()) given.bodyMassKg = AnyFloat(in);
  CXNormals normals;
  std::memset(&normals, 0x5A, sizeof normals);
  Require(CXCalculateNormals(in.ConsumeBool() ? &test : nullptr, &given, &normals) == 0,
          "CXCalculateNormals failed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  if (in.ConsumeBool())
    FuzzHuman(in);
  else
    FuzzEquine(in);
  return 0;
}
