// catalogue.h: the table of analyser models, their families and names, and what each family
// measures. Pure lookups with no state; the calculation, the device link and the tool ask it.
#pragma once

#include <cstdint>
#include <string_view>

namespace kv {

struct ModelInfo {
  int32_t family;               // KV_FAMILY_*; 0 for a model outside the catalogue
  std::u16string_view longName;  // "Unknown" for a model outside the catalogue
  std::u16string_view shortName;
  bool known;
};

ModelInfo LookupModel(int32_t modelCode);
int32_t DeviceFamily(int32_t modelCode);
bool IsEquineFamily(int32_t family);
// "Mono", "MonoXD", ... "Caballix Plus"; empty for a family outside the catalogue.
std::string_view FamilyName(int32_t family);

// The families whose tests carry extracellular water (impedanceF1) and the mass indices.
bool HasWaterCompartments(int32_t family);
// The families that also measure the high frequency (impedanceF4).
bool HasHighFrequency(int32_t family);

// The largest impedance spectrum a test may carry; longer ones are refused, never cut short.
inline constexpr int32_t kMaxSpectrumPoints = 50;
// The spectrum family, and model 14 which shares family -4 yet must carry a spectrum although
// its results do not use it.
bool RequiresSpectrum(int32_t modelCode);

}  // namespace kv
