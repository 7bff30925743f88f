// record_fields.cpp: the field tables of the public records, their text input, and which normal
// stands beside which result. A test checks the tables against the records' layout.
#include "record_fields.h"

#include <array>
#include <limits>
#include <string>

#include "text.h"

namespace kv::cli {

namespace {

using TR = KVTestRecord;
constexpr std::array<FieldDef<TR>, 18> kTestRecordFields{{
    {"modelCode", &TR::modelCode},
    {"serialNumber", &TR::serialNumber},
    {"testTime", &TR::testTime},
    {"sex", &TR::sex},
    {"age", &TR::age},
    {"height", &TR::height},
    {"weight", &TR::weight},
    {"activityLevel", &TR::activityLevel},
    {"waist", &TR::waist},
    {"hip", &TR::hip},
    {"impedanceF1", &TR::impedanceF1},
    {"impedanceF2", &TR::impedanceF2},
    {"impedanceF3", &TR::impedanceF3},
    {"impedanceF4", &TR::impedanceF4},
    {"resistance", &TR::resistance},
    {"decimalReading1", &TR::decimalReading1},
    {"decimalReading2", &TR::decimalReading2},
    {"spectrumCount", &TR::spectrumCount},
}};

using R = KVResults;
constexpr std::array<FieldDef<R>, 33> kResultsFields{{
    {"fatPercent", &R::fatPercent},
    {"fatKg", &R::fatKg},
    {"leanPercent", &R::leanPercent},
    {"leanKg", &R::leanKg},
    {"totalWeight", &R::totalWeight},
    {"dryLeanKg", &R::dryLeanKg},
    {"tbwPercent", &R::tbwPercent},
    {"tbwLitres", &R::tbwLitres},
    {"ecwPercent", &R::ecwPercent},
    {"ecwLitres", &R::ecwLitres},
    {"icwPercent", &R::icwPercent},
    {"icwLitres", &R::icwLitres},
    {"bodyCellMass", &R::bodyCellMass},
    {"tbwDifference", &R::tbwDifference},
    {"ecwTbwRatio", &R::ecwTbwRatio},
    {"impedanceRatioF4F1", &R::impedanceRatioF4F1},
    {"bmrKcal", &R::bmrKcal},
    {"bmrPerKg", &R::bmrPerKg},
    {"energyRequirementKcal", &R::energyRequirementKcal},
    {"bmi", &R::bmi},
    {"fatMassIndex", &R::fatMassIndex},
    {"leanMassIndex", &R::leanMassIndex},
    {"waistHipRatio", &R::waistHipRatio},
    {"impedanceRatioF2F1", &R::impedanceRatioF2F1},
    {"ecwRegressionLitres", &R::ecwRegressionLitres},
    {"tbwRegressionLitres", &R::tbwRegressionLitres},
    {"overhydrationLitres", &R::overhydrationLitres},
    {"skeletalMuscleKg", &R::skeletalMuscleKg},
    {"membraneCapacitance", &R::membraneCapacitance},
    {"resistanceZero", &R::resistanceZero},
    {"resistanceIntracellular", &R::resistanceIntracellular},
    {"characteristicFrequency", &R::characteristicFrequency},
    {"alpha", &R::alpha},
}};

using N = KVNormals;
constexpr std::array<FieldDef<N>, 29> kNormalsFields{{
    {"fatPercentLow", &N::fatPercentLow},
    {"fatPercentHigh", &N::fatPercentHigh},
    {"fatKgLow", &N::fatKgLow},
    {"fatKgHigh", &N::fatKgHigh},
    {"leanPercentLow", &N::leanPercentLow},
    {"leanPercentHigh", &N::leanPercentHigh},
    {"leanKgLow", &N::leanKgLow},
    {"leanKgHigh", &N::leanKgHigh},
    {"targetWeightLow", &N::targetWeightLow},
    {"targetWeightHigh", &N::targetWeightHigh},
    {"targetWeightFromBmi", &N::targetWeightFromBmi},
    {"tbwPercentLow", &N::tbwPercentLow},
    {"tbwPercentHigh", &N::tbwPercentHigh},
    {"tbwLitresLow", &N::tbwLitresLow},
    {"tbwLitresHigh", &N::tbwLitresHigh},
    {"ecwPercentNormal", &N::ecwPercentNormal},
    {"icwPercentNormal", &N::icwPercentNormal},
    {"fatMassIndexLow", &N::fatMassIndexLow},
    {"fatMassIndexHigh", &N::fatMassIndexHigh},
    {"leanMassIndexLow", &N::leanMassIndexLow},
    {"leanMassIndexHigh", &N::leanMassIndexHigh},
    {"ecwTbwRatioNormal", &N::ecwTbwRatioNormal},
    {"impedanceRatioF4F1Low", &N::impedanceRatioF4F1Low},
    {"impedanceRatioF4F1High", &N::impedanceRatioF4F1High},
    {"bmiLow", &N::bmiLow},
    {"bmiHigh", &N::bmiHigh},
    {"waistHipRatioMax", &N::waistHipRatioMax},
    {"impedanceRatioF2F1Low", &N::impedanceRatioF2F1Low},
    {"impedanceRatioF2F1High", &N::impedanceRatioF2F1High},
}};

using CT = CXTestRecord;
constexpr std::array<FieldDef<CT>, 13> kEquineTestRecordFields{{
    {"modelCode", &CT::modelCode},
    {"serialNumber", &CT::serialNumber},
    {"testTime", &CT::testTime},
    {"height", &CT::height},
    {"conditionScore", &CT::conditionScore},
    {"impedance5", &CT::impedance5},
    {"impedance16", &CT::impedance16},
    {"impedance24", &CT::impedance24},
    {"impedance50", &CT::impedance50},
    {"impedance140", &CT::impedance140},
    {"impedance200", &CT::impedance200},
    {"impedance280", &CT::impedance280},
    {"decimalReading", &CT::decimalReading},
}};

using CR = CXResults;
constexpr std::array<FieldDef<CR>, 15> kEquineResultsFields{{
    {"fatKg", &CR::fatKg},
    {"bodyMassKg", &CR::bodyMassKg},
    {"estimatedWeightKg", &CR::estimatedWeightKg},
    {"fatPercent", &CR::fatPercent},
    {"tbwLitres", &CR::tbwLitres},
    {"tbwPercent", &CR::tbwPercent},
    {"ecwLitres", &CR::ecwLitres},
    {"ecwPerKg", &CR::ecwPerKg},
    {"ecwPercentTbw", &CR::ecwPercentTbw},
    {"icwLitres", &CR::icwLitres},
    {"icwPerKg", &CR::icwPerKg},
    {"icwPercentTbw", &CR::icwPercentTbw},
    {"ecwFractionLitres", &CR::ecwFractionLitres},
    {"ecwFractionPercent", &CR::ecwFractionPercent},
    {"impedanceRatio280To5", &CR::impedanceRatio280To5},
}};

using CN = CXNormals;
constexpr std::array<FieldDef<CN>, 24> kEquineNormalsFields{{
    {"fatKgLow", &CN::fatKgLow},
    {"fatKgHigh", &CN::fatKgHigh},
    {"fatPercentLow", &CN::fatPercentLow},
    {"fatPercentHigh", &CN::fatPercentHigh},
    {"tbwLitresLow", &CN::tbwLitresLow},
    {"tbwLitresHigh", &CN::tbwLitresHigh},
    {"tbwPercentLow", &CN::tbwPercentLow},
    {"tbwPercentHigh", &CN::tbwPercentHigh},
    {"ecwLitresLow", &CN::ecwLitresLow},
    {"ecwLitresHigh", &CN::ecwLitresHigh},
    {"ecwPerKgLow", &CN::ecwPerKgLow},
    {"ecwPerKgHigh", &CN::ecwPerKgHigh},
    {"ecwPercentTbwLow", &CN::ecwPercentTbwLow},
    {"ecwPercentTbwHigh", &CN::ecwPercentTbwHigh},
    {"icwLitresLow", &CN::icwLitresLow},
    {"icwLitresHigh", &CN::icwLitresHigh},
    {"icwPerKgLow", &CN::icwPerKgLow},
    {"icwPerKgHigh", &CN::icwPerKgHigh},
    {"icwPercentTbwLow", &CN::icwPercentTbwLow},
    {"icwPercentTbwHigh", &CN::icwPercentTbwHigh},
    {"ecwFractionLitresLow", &CN::ecwFractionLitresLow},
    {"ecwFractionLitresHigh", &CN::ecwFractionLitresHigh},
    {"ecwFractionPercentLow", &CN::ecwFractionPercentLow},
    {"ecwFractionPercentHigh", &CN::ecwFractionPercentHigh},
}};

template <class Record>
NormalRange NormalByName(std::span<const FieldDef<Record>> fields, const Record& normals, std::string_view result) {
  const std::string base(result);
  NormalRange range;
  const auto* low = FindField(fields, base + "Low");
  const auto* high = FindField(fields, base + "High");
  if (low != nullptr && high != nullptr) {
    range.kind = NormalRange::Kind::kRange;
    range.low = GetField(normals, *low);
    range.high = GetField(normals, *high);
  } else if (const auto* typical = FindField(fields, base + "Normal")) {
    range.kind = NormalRange::Kind::kTypical;
    range.low = GetField(normals, *typical);
  } else if (const auto* maximum = FindField(fields, base + "Max")) {
    range.kind = NormalRange::Kind::kMaximum;
    range.low = GetField(normals, *maximum);
  }
  return range;
}

}  // namespace

std::span<const FieldDef<KVTestRecord>> TestRecordFields() { return kTestRecordFields; }
std::span<const FieldDef<KVResults>> ResultsFields() { return kResultsFields; }
std::span<const FieldDef<KVNormals>> NormalsFields() { return kNormalsFields; }
std::span<const FieldDef<CXTestRecord>> EquineTestRecordFields() { return kEquineTestRecordFields; }
std::span<const FieldDef<CXResults>> EquineResultsFields() { return kEquineResultsFields; }
std::span<const FieldDef<CXNormals>> EquineNormalsFields() { return kEquineNormalsFields; }

template <class Record>
bool SetField(Record& record, const FieldDef<Record>& field, std::string_view text) {
  text = Trim(text);
  return std::visit(
      [&](auto member) -> bool {
        using T = std::remove_cvref_t<decltype(record.*member)>;
        if constexpr (std::is_same_v<T, float>) {
          const auto value = ParseFloat(text);
          if (!value) return false;
          record.*member = *value;
        } else if constexpr (std::is_same_v<T, int64_t>) {
          if (text.empty()) {
            record.*member = kNoTime;
            return true;
          }
          auto value = ParseIsoTime(text);
          if (!value) value = ParseInteger(text);
          if (!value || *value < kNoTime) return false;
          record.*member = *value;
        } else {
          const auto value = ParseInteger(text);
          if (!value || *value < std::numeric_limits<T>::min() || *value > std::numeric_limits<T>::max())
            return false;
          record.*member = static_cast<T>(*value);
        }
        return true;
      },
      field.member);
}

template bool SetField(KVTestRecord&, const FieldDef<KVTestRecord>&, std::string_view);
template bool SetField(CXTestRecord&, const FieldDef<CXTestRecord>&, std::string_view);

bool NormalIsZero(const NormalRange& range) {
  auto zero = [](const FieldValue& v) { return v.kind == FieldValue::Kind::kFloat ? v.real == 0.0f : v.integer == 0; };
  return range.kind == NormalRange::Kind::kNone || (zero(range.low) && zero(range.high));
}

NormalRange HumanNormalFor(std::string_view resultName, const KVNormals& normals) {
  if (resultName == "totalWeight") {
    return {NormalRange::Kind::kRange, {FieldValue::Kind::kInteger, normals.targetWeightLow, 0},
            {FieldValue::Kind::kInteger, normals.targetWeightHigh, 0}};
  }
  return NormalByName(NormalsFields(), normals, resultName);
}

NormalRange EquineNormalFor(std::string_view resultName, const CXNormals& normals) {
  NormalRange range = NormalByName(EquineNormalsFields(), normals, resultName);
  // The per-kilogram bounds are whole millilitres per kilogram, their results litres per kilogram:
  // beside a result the range is in the result's unit.
  if (resultName == "ecwPerKg" || resultName == "icwPerKg") {
    for (FieldValue* end : {&range.low, &range.high})
      *end = {FieldValue::Kind::kFloat, 0, static_cast<float>(end->integer) / 1000.0f};
  }
  return range;
}

}  // namespace kv::cli
