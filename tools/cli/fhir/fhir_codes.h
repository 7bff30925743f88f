// fhir_codes.h: the one table behind the FHIR export: for each exported value of the records, its code
// (LOINC or the kit's own CodeSystem), UCUM unit, category and vital-signs profile. Data only; the
// bundle (fhir_bundle.h) reads it, and docs/fhir.md describes it for other implementations.
#pragma once

#include <span>
#include <string_view>

namespace kv::cli::fhir {

inline constexpr std::string_view kLoinc = "http://loinc.org";
inline constexpr std::string_view kKitCodes = "https://fhir.korvanta.com/CodeSystem/body-composition";
inline constexpr std::string_view kUcum = "http://unitsofmeasure.org";

// Where a row's value comes from: a field of a test or results record, or a spectrum point's member.
enum class Source {
  kHumanTest,      // KVTestRecord field, an Observation of its own
  kHumanResult,    // KVResults field, an Observation of its own
  kHumanRaw,       // KVTestRecord field, a component of the raw measurement
  kHumanSpectrum,  // frequency, magnitude or phase of each spectrum point, components of the raw measurement
  kEquineResult,   // CXResults field, an Observation of its own
  kEquineRaw,      // CXTestRecord field, a component of the raw measurement
  kRawMeasurement, // the code of the raw measurement Observation itself
};

struct CodeRow {
  Source source;
  std::string_view key;         // the record's field name (spectrum: frequency, magnitude, phase)
  std::string_view system;      // kLoinc or kKitCodes
  std::string_view code;
  std::string_view display;
  std::string_view unit;        // UCUM code; empty: the record's unit is the host's own, so none is stated
  std::string_view category;    // observation-category code: vital-signs or exam
  std::string_view profile;     // vital-signs profile, or empty
  std::string_view definition;  // the kit's CodeSystem: the concept's definition
};

// In the order the Observations of a test are written.
std::span<const CodeRow> CodeTable();

}  // namespace kv::cli::fhir
