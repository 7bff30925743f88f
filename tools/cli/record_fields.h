// record_fields.h: the fields of the public records by name, in header order, so every output
// column, JSON key and input column uses the header's own vocabulary. Tables and accessors only.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "KorvantaSDK.h"
#include "time_text.h"

namespace kv::cli {

template <class Record>
using MemberPointer = std::variant<int32_t Record::*, uint32_t Record::*, int64_t Record::*, float Record::*>;

// One field of a record. The only 64-bit field of every record is its test time.
template <class Record>
struct FieldDef {
  std::string_view name;
  MemberPointer<Record> member;
};

// The fields of each record in the header's order. KVTestRecord's spectrum pointer has no
// column: the calculation input carries the points separately (test_input.h).
std::span<const FieldDef<KVTestRecord>> TestRecordFields();
std::span<const FieldDef<KVResults>> ResultsFields();
std::span<const FieldDef<KVNormals>> NormalsFields();
std::span<const FieldDef<CXTestRecord>> EquineTestRecordFields();
std::span<const FieldDef<CXResults>> EquineResultsFields();
std::span<const FieldDef<CXNormals>> EquineNormalsFields();

// A field's value, typed as the record holds it.
struct FieldValue {
  enum class Kind { kInteger, kFloat, kTime } kind = Kind::kInteger;
  int64_t integer = 0;  // kInteger and kTime (seconds since 1970 UTC, -1 for none)
  float real = 0;       // kFloat
};

template <class Record>
FieldValue GetField(const Record& record, const FieldDef<Record>& field) {
  return std::visit(
      [&](auto member) -> FieldValue {
        using T = std::remove_cvref_t<decltype(record.*member)>;
        if constexpr (std::is_same_v<T, float>) {
          return {FieldValue::Kind::kFloat, 0, record.*member};
        } else if constexpr (std::is_same_v<T, int64_t>) {
          return {FieldValue::Kind::kTime, record.*member, 0};
        } else {
          return {FieldValue::Kind::kInteger, static_cast<int64_t>(record.*member), 0};
        }
      },
      field.member);
}

// Sets a field from input text: a whole number for the integer fields (in the field's range),
// a number for the float fields, ISO 8601 or seconds for the test time (empty or -1: no time).
// False, with the record unchanged, for text that does not fit the field.
template <class Record>
bool SetField(Record& record, const FieldDef<Record>& field, std::string_view text);

// Finds a field by its exact name; nullptr when the record has none of that name.
template <class Record>
const FieldDef<Record>* FindField(std::span<const FieldDef<Record>> fields, std::string_view name) {
  for (const auto& field : fields)
    if (field.name == name) return &field;
  return nullptr;
}

// What a normal-range record gives for one result field.
struct NormalRange {
  enum class Kind { kNone, kRange, kTypical, kMaximum } kind = Kind::kNone;
  FieldValue low;   // kRange: low end; kTypical: the normal value; kMaximum: the upper limit
  FieldValue high;  // kRange only
};

// True when the range says nothing: none, or both ends 0 (a model that does not fill it).
bool NormalIsZero(const NormalRange& range);

// The normal that stands beside a result: "<result>Low"/"<result>High", "<result>Normal",
// "<result>Max", and the target weight beside totalWeight; always in the result's unit (the equine
// per-kilogram bounds, mL/kg in the record, are given in L/kg).
NormalRange HumanNormalFor(std::string_view resultName, const KVNormals& normals);
NormalRange EquineNormalFor(std::string_view resultName, const CXNormals& normals);

}  // namespace kv::cli
