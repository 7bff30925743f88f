// fhir_bundle.cpp: the FHIR R4 Bundle of calculated tests. Values, units and ranges are the
// calculation's, as the tool's JSON prints them; which values are exported, and under which codes,
// is the table of fhir_codes.cpp alone. No clock is read: the same tests give the same bytes.
#include "fhir_bundle.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <set>

#include "fhir_codes.h"
#include "formatters.h"
#include "name_uuid.h"
#include "record_fields.h"
#include "text.h"

namespace kv::cli::fhir {

namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kCategorySystem = "http://terminology.hl7.org/CodeSystem/observation-category";
constexpr std::string_view kInterpretationSystem = "http://terminology.hl7.org/CodeSystem/v3-ObservationInterpretation";
constexpr std::string_view kDeviceTypeSystem = "urn:iso:std:iso:11073:10101";
constexpr std::string_view kSerialSystem = "https://fhir.korvanta.com/sid/serial-number";
constexpr std::string_view kAnimalExtension = "http://hl7.org/fhir/StructureDefinition/patient-animal";
constexpr std::string_view kSnomed = "http://snomed.info/sct";

std::string KitVersion() {
  uint32_t major = 0, minor = 0;
  KVGetSdkLibraryVersion(&major, &minor);
  return std::to_string(major) + "." + std::to_string(minor);
}

Json Coding(std::string_view system, std::string_view code, std::string_view display) {
  return Json{{"system", system}, {"code", code}, {"display", display}};
}

Json Concept(std::string_view system, std::string_view code, std::string_view display) {
  return Json{{"coding", Json::array({Coding(system, code, display)})}};
}

Json Reference(const std::string& uuid) { return Json{{"reference", "urn:uuid:" + uuid}}; }

// The number as the tool's JSON writes it: a float as the double nearest its shortest text (23.4f is
// 23.4), an integer as itself; nothing for a value that is not finite.
std::optional<Json> Number(const FieldValue& value) {
  if (value.kind != FieldValue::Kind::kFloat) return Json(value.integer);
  if (!std::isfinite(value.real)) return std::nullopt;
  return Json(ShortestDouble(value.real));
}

double AsDouble(const FieldValue& value) {
  return value.kind == FieldValue::Kind::kFloat ? static_cast<double>(value.real) : static_cast<double>(value.integer);
}

Json Quantity(const Json& number, std::string_view unit) {
  Json quantity{{"value", number}};
  if (!unit.empty()) quantity.update({{"unit", unit}, {"system", kUcum}, {"code", unit}});
  return quantity;
}

bool IsZero(const FieldValue& value) { return AsDouble(value) == 0.0; }

// What one test's Observations share.
struct TestContext {
  std::string name;  // "<serial>/time/<seconds>" or "<serial>/slot/<slot>"
  std::string deviceUuid;
  std::optional<Json> subject;
  std::optional<std::string> effective;
};

Json Observation(const CodeRow& row, const TestContext& test) {
  Json observation{{"resourceType", "Observation"}};
  // The vital-signs profiles ask for a subject and a time; only an Observation with both claims one.
  if (!row.profile.empty() && test.subject && test.effective)
    observation["meta"] = Json{{"profile", Json::array({row.profile})}};
  observation["status"] = "final";
  observation["category"] =
      Json::array({Concept(kCategorySystem, row.category, row.category == "vital-signs" ? "Vital Signs" : "Exam")});
  observation["code"] = Concept(row.system, row.code, row.display);
  if (test.subject) observation["subject"] = *test.subject;
  if (test.effective) observation["effectiveDateTime"] = *test.effective;
  return observation;
}

class BundleWriter {
 public:
  explicit BundleWriter(const BundleOptions& options) : options_(options) {}

  void Add(const std::string& uuid, Json resource, std::string ifNoneExist = "") {
    Json entry{{"fullUrl", "urn:uuid:" + uuid}};
    const std::string type = resource["resourceType"];
    entry["resource"] = std::move(resource);
    if (options_.transaction) {
      Json request{{"method", "POST"}, {"url", type}};
      if (!ifNoneExist.empty()) request["ifNoneExist"] = ifNoneExist;
      entry["request"] = std::move(request);
    }
    entries_.push_back(std::move(entry));
  }

  std::string Text() const {
    const Json bundle{{"resourceType", "Bundle"},
                      {"type", options_.transaction ? "transaction" : "collection"},
                      {"entry", entries_}};
    // Bytes of a given subject outside UTF-8 are replaced, not refused.
    return bundle.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
  }

 private:
  const BundleOptions& options_;
  Json entries_ = Json::array();
};

Json CodeSystem() {
  Json concepts = Json::array();
  std::vector<std::string_view> seen;
  for (const CodeRow& row : CodeTable()) {
    if (row.system != kKitCodes || std::find(seen.begin(), seen.end(), row.code) != seen.end()) continue;
    seen.push_back(row.code);
    concepts.push_back(Json{{"code", row.code}, {"display", row.display}, {"definition", row.definition}});
  }
  return Json{{"resourceType", "CodeSystem"},
              {"url", kKitCodes},
              {"version", KitVersion()},
              {"name", "KorvantaBodyComposition"},
              {"title", "Korvanta body composition"},
              {"status", "active"},
              {"experimental", false},
              {"publisher", "Korvanta"},
              {"description",
               "Results and raw impedances of Korvanta bio-impedance analysers, human and equine, that LOINC has no "
               "code for."},
              {"caseSensitive", true},
              {"content", "complete"},
              {"count", concepts.size()},
              {"concept", concepts}};
}

Json Device(int32_t modelCode, uint32_t serialNumber) {
  const std::string serial = std::to_string(serialNumber);
  return Json{{"resourceType", "Device"},
              {"identifier", Json::array({Json{{"system", kSerialSystem}, {"value", serial}}})},
              {"manufacturer", "Korvanta"},
              {"serialNumber", serial},
              {"deviceName", Json::array({Json{{"name", ModelName(modelCode)}, {"type", "model-name"}}})},
              {"type", Concept(kDeviceTypeSystem, "528404", "Body Composition Analyzer")},
              {"version", Json::array({Json{{"type", Json{{"text", "KorvantaSDK"}}}, {"value", KitVersion()}}})}};
}

Json Horse() {
  const Json species{{"url", "species"},
                     {"valueCodeableConcept", Concept(kSnomed, "388445009", "horse")}};
  return Json{{"resourceType", "Patient"},
              {"extension", Json::array({Json{{"url", kAnimalExtension}, {"extension", Json::array({species})}}})}};
}

// The value, range and interpretation of one coded result. The value is compared as written (the JSON
// number), with the limits as written (in the value's unit), so a reader can redo it exactly.
void AddValue(Json& observation, const Json& number, const NormalRange& range, const CodeRow& row) {
  observation["valueQuantity"] = Quantity(number, row.unit);
  const std::string_view unit = row.unit;
  const double value = number.get<double>();
  const bool hasRange = range.kind == NormalRange::Kind::kRange && !NormalIsZero(range);
  const bool hasMaximum = range.kind == NormalRange::Kind::kMaximum && !IsZero(range.low);
  const auto lowNumber = hasRange ? Number(range.low) : Json(0);
  const auto highNumber = Number(hasRange ? range.high : range.low);
  if ((!hasRange && !hasMaximum) || !lowNumber || !highNumber) return;
  const double low = lowNumber->get<double>();
  const double high = highNumber->get<double>();
  const char* flag = hasRange && value < low ? "L" : value > high ? "H" : "N";
  const char* words = flag[0] == 'L' ? "Low" : flag[0] == 'H' ? "High" : "Normal";
  observation["interpretation"] = Json::array({Concept(kInterpretationSystem, flag, words)});
  Json limits = Json::object();
  if (hasRange) limits["low"] = Quantity(*lowNumber, unit);
  limits["high"] = Quantity(*highNumber, unit);
  observation["referenceRange"] = Json::array({limits});
}

Json Component(const CodeRow& row, const Json& number) {
  return Json{{"code", Concept(row.system, row.code, row.display)}, {"valueQuantity", Quantity(number, row.unit)}};
}

const CodeRow& RawMeasurementRow() {
  for (const CodeRow& row : CodeTable())
    if (row.source == Source::kRawMeasurement) return row;
  return CodeTable().front();
}

// The raw measurement (nothing when no impedance is there), then each coded result with a value.
template <class TestRec, class Res, class Norm>
void AddTest(BundleWriter& writer, const TestContext& test, Source resultSource, Source rawSource,
             std::span<const FieldDef<TestRec>> testFields, const TestRec& record, std::span<const FieldDef<Res>> resultFields,
             const Res& results, const Norm* normals, NormalRange (*normalFor)(std::string_view, const Norm&),
             std::span<const KVSpectrumPoint> spectrum) {
  Json components = Json::array();
  for (const CodeRow& row : CodeTable()) {
    if (row.source == rawSource) {
      const FieldValue value = GetField(record, *FindField(testFields, row.key));
      if (!IsZero(value))
        if (const auto number = Number(value)) components.push_back(Component(row, *number));
    }
  }
  if (rawSource == Source::kHumanRaw) {
    for (const KVSpectrumPoint& point : spectrum) {
      for (const CodeRow& row : CodeTable()) {
        if (row.source != Source::kHumanSpectrum) continue;
        const float member = row.key == "frequency" ? point.frequency : row.key == "magnitude" ? point.magnitude : point.phase;
        if (const auto number = Number({FieldValue::Kind::kFloat, 0, member})) components.push_back(Component(row, *number));
      }
    }
  }
  std::optional<std::string> rawUuid;
  if (!components.empty()) {
    rawUuid = NameUuid(kUuidNamespace, "observation/" + test.name + "/raw");
    Json raw = Observation(RawMeasurementRow(), test);
    raw["device"] = Reference(test.deviceUuid);
    raw["component"] = std::move(components);
    writer.Add(*rawUuid, std::move(raw));
  }
  for (const CodeRow& row : CodeTable()) {
    FieldValue value;
    if (row.source == resultSource) {
      value = GetField(results, *FindField(resultFields, row.key));
    } else if (row.source == Source::kHumanTest && resultSource == Source::kHumanResult) {
      value = GetField(record, *FindField(testFields, row.key));
    } else {
      continue;
    }
    const NormalRange range = normals != nullptr ? normalFor(row.key, *normals) : NormalRange{};
    // A result the model does not fill stays 0, as does its normal: the sheet leaves it out too.
    if (IsZero(value) && NormalIsZero(range)) continue;
    const auto number = Number(value);
    if (!number) continue;
    Json observation = Observation(row, test);
    AddValue(observation, *number, range, row);
    observation["device"] = Reference(test.deviceUuid);
    if (rawUuid) observation["derivedFrom"] = Json::array({Reference(*rawUuid)});
    writer.Add(NameUuid(kUuidNamespace, "observation/" + test.name + "/" + std::string(row.key)), std::move(observation));
  }
}

template <class Row>
TestContext ContextOf(const Row& row, const BundleOptions& options) {
  const int64_t time = row.test.testTime;
  TestContext test;
  test.name = std::to_string(row.test.serialNumber) +
              (time >= 0 ? "/time/" + std::to_string(time) : "/slot/" + std::to_string(row.slot));
  test.deviceUuid = NameUuid(kUuidNamespace, "device/" + std::to_string(row.test.serialNumber));
  if (!options.subject.empty()) test.subject = Json{{"reference", options.subject}};
  test.effective = IsoTime(time, options.timeStyle);
  return test;
}

// Whether the row is exported, with a refusal noted when its calculation failed or it came before
// (its name, and so every fullUrl of it, would repeat).
template <class Row>
bool Exported(const Row& row, const std::string& name, std::set<std::string>& names, std::vector<Refusal>& refusals) {
  using Why = Refusal::Why;
  if (row.resultsCode != KV_OK) {
    refusals.push_back({row.slot, row.test.serialNumber, row.resultsCode, Why::kResults});
    return false;
  }
  if (!names.insert(name).second) {
    refusals.push_back({row.slot, row.test.serialNumber, 0, Why::kRepeated});
    return false;
  }
  if (row.normalsCode != KV_OK) refusals.push_back({row.slot, row.test.serialNumber, row.normalsCode, Why::kNormals});
  return true;
}

}  // namespace

bool IsSubjectReference(std::string_view text) {
  static const std::regex kReference(
      R"((https?://[^\s/]+(/[^\s/]+)*/)?[A-Z][A-Za-z]+/[A-Za-z0-9.-]{1,64}|urn:uuid:[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12})");
  return std::regex_match(text.begin(), text.end(), kReference);
}

std::string BundleJson(std::span<const TestSet> sets, const BundleOptions& options, std::vector<Refusal>* refusals) {
  BundleWriter writer(options);
  writer.Add(NameUuid(kUuidNamespace, "codesystem/body-composition"), CodeSystem(),
             "url=" + std::string(kKitCodes) + "&version=" + KitVersion());
  // Every analyser once, before the tests, in the order they first appear.
  std::vector<uint32_t> devices;
  for (const TestSet& set : sets) {
    std::visit(
        [&](const auto& rows) {
          for (const auto& row : rows) {
            if (std::find(devices.begin(), devices.end(), row.test.serialNumber) != devices.end()) continue;
            devices.push_back(row.test.serialNumber);
            const std::string serial = std::to_string(row.test.serialNumber);
            writer.Add(NameUuid(kUuidNamespace, "device/" + serial), Device(row.test.modelCode, row.test.serialNumber),
                       "identifier=" + std::string(kSerialSystem) + "|" + serial);
          }
        },
        set);
  }
  std::set<std::string> names;
  for (const TestSet& set : sets) {
    if (const auto* human = std::get_if<std::vector<HumanRow>>(&set)) {
      for (const HumanRow& row : *human) {
        const TestContext test = ContextOf(row, options);
        if (!Exported(row, test.name, names, *refusals)) continue;
        AddTest(writer, test, Source::kHumanResult, Source::kHumanRaw,
                TestRecordFields(), row.test, ResultsFields(), row.results,
                row.normalsCode == KV_OK ? &row.normals : nullptr, &HumanNormalFor, std::span(row.spectrum));
      }
    } else {
      for (const EquineRow& row : std::get<std::vector<EquineRow>>(set)) {
        TestContext test = ContextOf(row, options);
        if (!Exported(row, test.name, names, *refusals)) continue;
        if (!test.subject) {
          const std::string uuid = NameUuid(kUuidNamespace, "patient/" + test.name);
          writer.Add(uuid, Horse());
          test.subject = Reference(uuid);
        }
        AddTest(writer, test, Source::kEquineResult, Source::kEquineRaw, EquineTestRecordFields(), row.test,
                EquineResultsFields(), row.results, row.normalsCode == KV_OK ? &row.normals : nullptr,
                &EquineNormalFor, std::span<const KVSpectrumPoint>());
      }
    }
  }
  return writer.Text();
}

}  // namespace kv::cli::fhir
