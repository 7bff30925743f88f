// fhir_bundle.h: calculated tests as one FHIR R4 Bundle (JSON): the kit's CodeSystem, a Device per
// analyser, per test a raw-measurement Observation and an Observation per coded result (fhir_codes.h),
// and for equine tests without a given subject a Patient that is a horse. Deterministic: names, not
// clocks, make the UUIDs; docs/fhir.md gives the layout. Writes text only.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "test_rows.h"
#include "time_text.h"

namespace kv::cli::fhir {

struct BundleOptions {
  TimeStyle timeStyle = TimeStyle::kLocal;
  std::string subject;       // "Patient/ID": every Observation's subject; empty: none (equine: a Patient)
  bool transaction = false;  // a transaction of POSTs instead of a collection
};

// A test left out or written without its ranges: its calculation failed (no Observation), its normal ranges
// failed (Observations without ranges), or it came before (same analyser and time: written once).
struct Refusal {
  enum class Why { kResults, kNormals, kRepeated };
  int slot = 0;
  uint32_t serialNumber = 0;
  int32_t code = 0;  // the failure's; 0 for kRepeated
  Why why = Why::kResults;
};

// Whether text is a reference a FHIR server resolves: "Type/id" (an id of 1 to 64 letters, digits, '-'
// and '.'), the same behind an absolute http(s) base, or "urn:uuid:" and a UUID.
bool IsSubjectReference(std::string_view text);

// The bundle of the tests of all sets, 2-space indented, keys in a fixed order, ending in a newline.
std::string BundleJson(std::span<const TestSet> sets, const BundleOptions& options, std::vector<Refusal>* refusals);

}  // namespace kv::cli::fhir
