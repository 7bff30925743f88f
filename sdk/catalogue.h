// catalogue.h: the table of analyser models, their families and names.
// Pure lookups with no state; the calculation and the device link ask it for a model's family.
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

}  // namespace kv
