// catalogue.cpp: model code -> family and names. A switch, as the table is small and fixed.
#include "catalogue.h"

#include "KorvantaSDK.h"

namespace kv {

ModelInfo LookupModel(int32_t modelCode) {
  switch (modelCode) {
    case 1:
    case 3:
    case 9:
      return {KV_FAMILY_MONO, u"Korvanta Mono", u"Mono", true};
    case 2:
    case 4:
    case 10:
      return {KV_FAMILY_MONOXD, u"Korvanta Mono XD", u"MonoXD", true};
    case 5:
    case 6:
      return {KV_FAMILY_DUOTRACE, u"Korvanta Duotrace", u"Duotrace", true};
    case 7:
    case 11:
      return {KV_FAMILY_QUATTRON, u"Korvanta Quattron 40", u"Quattron", true};
    case 14:
      return {KV_FAMILY_QUATTRON, u"Korvanta Quattron 40 Panel", u"QPN", true};
    case 8:
      return {KV_FAMILY_POLYTRACE, u"Korvanta Polytrace", u"Polytrace", true};
    case 15:
      return {KV_FAMILY_POLYTRACE, u"Korvanta Polytrace Panel", u"PPN", true};
    // The higher model code has the family code nearer to zero.
    case 12:
      return {KV_FAMILY_CABALLIX_PLUS, u"Caballix Plus", u"Caballix Plus", true};
    case 13:
      return {KV_FAMILY_CABALLIX_BASIC, u"Caballix Basic", u"Caballix Basic", true};
    default:
      return {KV_FAMILY_UNKNOWN, u"Unknown", u"Unknown", false};
  }
}

int32_t DeviceFamily(int32_t modelCode) { return LookupModel(modelCode).family; }

bool IsEquineFamily(int32_t family) {
  return family == KV_FAMILY_CABALLIX_BASIC || family == KV_FAMILY_CABALLIX_PLUS;
}

std::string_view FamilyName(int32_t family) {
  switch (family) {
    case KV_FAMILY_MONO: return "Mono";
    case KV_FAMILY_MONOXD: return "MonoXD";
    case KV_FAMILY_DUOTRACE: return "Duotrace";
    case KV_FAMILY_QUATTRON: return "Quattron";
    case KV_FAMILY_POLYTRACE: return "Polytrace";
    case KV_FAMILY_CABALLIX_BASIC: return "Caballix Basic";
    case KV_FAMILY_CABALLIX_PLUS: return "Caballix Plus";
    default: return {};
  }
}

bool HasWaterCompartments(int32_t family) {
  return family == KV_FAMILY_MONOXD || family == KV_FAMILY_QUATTRON || family == KV_FAMILY_POLYTRACE;
}

bool HasHighFrequency(int32_t family) { return family == KV_FAMILY_QUATTRON || family == KV_FAMILY_POLYTRACE; }

bool RequiresSpectrum(int32_t modelCode) {
  constexpr int32_t kModelQuattronPanel = 14;
  return DeviceFamily(modelCode) == KV_FAMILY_POLYTRACE || modelCode == kModelQuattronPanel;
}

}  // namespace kv
