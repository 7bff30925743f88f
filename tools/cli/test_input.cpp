// test_input.cpp: building test records from named texts, CSV and JSON. nlohmann-json reads the
// JSON: a well-kept parser rather than one of our own. No calculation and no output here.
#include "test_input.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <type_traits>

#include "catalogue.h"
#include "record_fields.h"
#include "text.h"

namespace kv::cli {

namespace {

constexpr std::string_view kOutputOnly[] = {"slot", "resultsCode", "normalsCode", "resultsError", "normalsError"};

bool IsOutputOnly(std::string_view name) {
  if (std::find(std::begin(kOutputOnly), std::end(kOutputOnly), name) != std::end(kOutputOnly)) return true;
  return FindField(ResultsFields(), name) != nullptr || FindField(NormalsFields(), name) != nullptr ||
         FindField(EquineResultsFields(), name) != nullptr || FindField(EquineNormalsFields(), name) != nullptr;
}

// The readings each family's calculation reads, besides the subject's data.
std::vector<std::string_view> RequiredHuman(int32_t family) {
  std::vector<std::string_view> names{"sex", "age", "height", "weight", "activityLevel", "waist", "hip", "impedanceF2"};
  if (HasWaterCompartments(family)) names.push_back("impedanceF1");
  if (HasHighFrequency(family)) names.push_back("impedanceF4");
  if (family == KV_FAMILY_POLYTRACE) names.push_back("resistance");
  return names;
}

constexpr std::string_view kRequiredEquine[] = {"height",       "impedance5",   "impedance16", "impedance24",
                                                "impedance50",  "impedance140", "impedance200", "impedance280"};

std::string Prefix(int slot) { return "test " + std::to_string(slot) + ": "; }

template <class Record>
bool Fill(Record& record, std::span<const FieldDef<Record>> fields, const NamedValues& values, int slot,
          std::string_view kindName, std::string* error) {
  for (const auto& [name, text] : values) {
    if (name == "spectrum" || IsOutputOnly(name)) continue;
    std::string value(Trim(text));
    if (name == "sex") {
      const std::string lower = Lower(value);
      if (lower == "female" || lower == "f") value = "0";
      if (lower == "male" || lower == "m") value = "1";
    }
    const auto* field = FindField(fields, name);
    if (field == nullptr) {
      const bool otherKind = FindField(TestRecordFields(), name) != nullptr ||
                             FindField(EquineTestRecordFields(), name) != nullptr;
      *error = Prefix(slot) +
               (otherKind ? "'" + name + "' is not a field of " + std::string(kindName) + " tests"
                          : "unknown field '" + name + "'");
      return false;
    }
    if (!SetField(record, *field, value)) {
      *error = Prefix(slot) + "'" + value + "' is not a valid " + name;
      return false;
    }
  }
  return true;
}

bool HasValue(const NamedValues& values, std::string_view name) {
  return std::any_of(values.begin(), values.end(),
                     [&](const auto& entry) { return entry.first == name && !Trim(entry.second).empty(); });
}

// Empty texts stand for absent fields, as the empty cells of a CSV line do.
NamedValues WithoutEmpty(const NamedValues& values) {
  NamedValues kept;
  for (const auto& entry : values)
    if (!Trim(entry.second).empty()) kept.push_back(entry);
  return kept;
}

std::optional<TestSet> Single(std::variant<HumanRow, EquineRow> row) {
  if (auto* human = std::get_if<HumanRow>(&row)) return TestSet{std::vector<HumanRow>{std::move(*human)}};
  return TestSet{std::vector<EquineRow>{std::move(std::get<EquineRow>(row))}};
}

// Adds one test to a set, refusing a mix of human and equine tests.
bool Append(std::optional<TestSet>& set, TestSet one, int slot, std::string* error) {
  if (!set) {
    set = std::move(one);
    return true;
  }
  if (set->index() != one.index()) {
    *error = Prefix(slot) + "human and equine tests cannot be mixed in one input";
    return false;
  }
  std::visit(
      [&](auto& rows) {
        using Rows = std::remove_cvref_t<decltype(rows)>;
        auto& more = std::get<Rows>(one);
        rows.insert(rows.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
      },
      *set);
  return true;
}

std::string JsonText(const nlohmann::json& value) {
  if (value.is_string()) return value.get<std::string>();
  if (value.is_null()) return "";
  return value.dump();
}

std::optional<std::string> SpectrumText(const nlohmann::json& value, std::string* error) {
  if (value.is_string()) return value.get<std::string>();
  if (!value.is_array()) {
    *error = "spectrum must be a text or an array of points";
    return std::nullopt;
  }
  std::string text;
  for (const auto& point : value) {
    nlohmann::json f;
    nlohmann::json m;
    nlohmann::json p;
    if (point.is_array() && point.size() == 3) {
      f = point[0];
      m = point[1];
      p = point[2];
    } else if (point.is_object() && point.contains("frequency") && point.contains("magnitude") &&
               point.contains("phase")) {
      f = point["frequency"];
      m = point["magnitude"];
      p = point["phase"];
    } else {
      *error = "a spectrum point must be [frequency, magnitude, phase] or an object with those members";
      return std::nullopt;
    }
    if (!text.empty()) text += ';';
    text += JsonText(f) + ":" + JsonText(m) + ":" + JsonText(p);
  }
  return text;
}

// ---- CSV at file speed

// What one header column means for each kind of test, worked out once per file.
struct CsvColumn {
  std::string_view name;
  bool skipped = false;  // spectrum or output-only: read past
  bool sex = false;
  const FieldDef<KVTestRecord>* human = nullptr;
  const FieldDef<CXTestRecord>* equine = nullptr;
};

bool IsFemale(std::string_view text) {
  return (text.size() == 1 && (text[0] == 'f' || text[0] == 'F')) || Lower(text) == "female";
}
bool IsMale(std::string_view text) {
  return (text.size() == 1 && (text[0] == 'm' || text[0] == 'M')) || Lower(text) == "male";
}

// Sets the test's fields from a line's cells, in column order, as Fill does for named values;
// false for anything Fill would refuse.
template <class Record>
bool FillQuick(Record& record, const std::vector<CsvColumn>& columns, const std::vector<std::string_view>& cells) {
  for (size_t i = 0; i < cells.size(); ++i) {
    std::string_view value = Trim(cells[i]);
    if (value.empty() || columns[i].skipped) continue;
    const FieldDef<Record>* field = nullptr;
    if constexpr (std::is_same_v<Record, KVTestRecord>) {
      field = columns[i].human;
    } else {
      field = columns[i].equine;
    }
    if (field == nullptr) return false;
    if (columns[i].sex && IsFemale(value)) value = "0";
    if (columns[i].sex && IsMale(value)) value = "1";
    if (!SetField(record, *field, value)) return false;
  }
  return true;
}

// The common file, a header and plain cells, read in one pass without copying a cell. Returns
// nullopt for anything else (quotes, repeated or spectrum columns, any line the general reader
// would refuse or read differently): the general reader then reads the file from the start.
std::optional<TestSet> ParseTestsCsvQuick(std::string_view text) {
  if (text.find('"') != std::string_view::npos) return std::nullopt;
  std::vector<CsvColumn> columns;
  int slotColumn = -1;
  int modelColumn = -1;
  auto columnOf = [&](std::string_view name) {
    for (size_t i = 0; i < columns.size(); ++i)
      if (columns[i].name == name) return static_cast<int>(i);
    return -1;
  };
  std::vector<std::pair<int32_t, std::vector<int>>> requiredByFamily;
  std::vector<int> requiredEquine;
  std::vector<std::string_view> cells;
  std::vector<HumanRow> human;
  std::vector<EquineRow> equine;
  const size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
  bool header = false;
  int index = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (Trim(line).empty() || Trim(line).front() == '#') continue;
    cells.clear();
    for (size_t start = 0;;) {
      const size_t comma = line.find(',', start);
      cells.push_back(line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
      if (comma == std::string_view::npos) break;
      start = comma + 1;
    }
    if (!header) {
      header = true;
      for (std::string_view cell : cells) {
        CsvColumn column;
        column.name = Trim(cell);
        if (columnOf(column.name) >= 0 || column.name == "spectrum") return std::nullopt;
        column.skipped = IsOutputOnly(column.name);
        column.sex = column.name == "sex";
        column.human = FindField(TestRecordFields(), column.name);
        column.equine = FindField(EquineTestRecordFields(), column.name);
        columns.push_back(column);
      }
      slotColumn = columnOf("slot");
      modelColumn = columnOf("modelCode");
      for (std::string_view name : kRequiredEquine) requiredEquine.push_back(columnOf(name));
      continue;
    }
    if (cells.size() > columns.size() || modelColumn < 0 || static_cast<size_t>(modelColumn) >= cells.size())
      return std::nullopt;
    int slot = index;
    if (slotColumn >= 0 && static_cast<size_t>(slotColumn) < cells.size()) {
      if (const auto given = ParseInteger(cells[slotColumn])) slot = static_cast<int>(*given);
    }
    const auto model = ParseInteger(cells[modelColumn]);
    if (!model || *model < INT32_MIN || *model > INT32_MAX) return std::nullopt;
    const int32_t family = KVGetDeviceFamily(static_cast<int32_t>(*model));
    const bool isEquine = IsEquineFamily(family);
    if ((isEquine && !human.empty()) || (!isEquine && !equine.empty())) return std::nullopt;

    const std::vector<int>* required = &requiredEquine;
    if (!isEquine) {
      auto known = std::find_if(requiredByFamily.begin(), requiredByFamily.end(),
                                [&](const auto& entry) { return entry.first == family; });
      if (known == requiredByFamily.end()) {
        std::vector<int> indexes;
        for (std::string_view name : RequiredHuman(family)) indexes.push_back(columnOf(name));
        known = requiredByFamily.insert(requiredByFamily.end(), {family, std::move(indexes)});
      }
      required = &known->second;
    }
    for (int column : *required)
      if (column < 0 || static_cast<size_t>(column) >= cells.size() || Trim(cells[column]).empty()) return std::nullopt;

    if (isEquine) {
      if (equine.empty()) equine.reserve(lines);
      EquineRow& row = equine.emplace_back();
      row.slot = slot;
      row.test.testTime = kNoTime;
      if (!FillQuick(row.test, columns, cells)) return std::nullopt;
    } else {
      if (human.empty()) human.reserve(lines);
      HumanRow& row = human.emplace_back();
      row.slot = slot;
      row.test.testTime = kNoTime;
      if (!FillQuick(row.test, columns, cells)) return std::nullopt;
      row.test.spectrumCount = 0;
      row.test.spectrum = nullptr;
    }
    ++index;
  }
  if (index == 0) return std::nullopt;
  if (!equine.empty()) return TestSet{std::move(equine)};
  return TestSet{std::move(human)};
}

}  // namespace

std::optional<std::vector<KVSpectrumPoint>> ParseSpectrum(std::string_view text, std::string* error) {
  std::vector<KVSpectrumPoint> points;
  text = Trim(text);
  while (!text.empty()) {
    const size_t end = text.find(';');
    const std::string_view item = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (item.empty()) continue;
    const size_t first = item.find(':');
    const size_t second = first == std::string_view::npos ? first : item.find(':', first + 1);
    if (second == std::string_view::npos) {
      *error = "spectrum point '" + std::string(item) + "' is not frequency:magnitude:phase";
      return std::nullopt;
    }
    const auto f = ParseFloat(item.substr(0, first));
    const auto m = ParseFloat(item.substr(first + 1, second - first - 1));
    const auto p = ParseFloat(item.substr(second + 1));
    if (!f || !m || !p) {
      *error = "spectrum point '" + std::string(item) + "' is not three numbers";
      return std::nullopt;
    }
    points.push_back({*f, *m, *p});
  }
  if (points.size() > static_cast<size_t>(kMaxSpectrumPoints)) {
    *error = "a spectrum has at most " + std::to_string(kMaxSpectrumPoints) + " points, this one " +
             std::to_string(points.size());
    return std::nullopt;
  }
  return points;
}

std::optional<TestSet> TestFromValues(const NamedValues& given, int slot, std::string* error) {
  const NamedValues values = WithoutEmpty(given);
  std::string modelText;
  for (const auto& [name, text] : values)
    if (name == "modelCode") modelText = text;
  const auto model = ParseInteger(modelText);
  if (!model || *model < INT32_MIN || *model > INT32_MAX) {
    *error = Prefix(slot) + (modelText.empty() ? "modelCode is missing" : "'" + modelText + "' is not a valid modelCode");
    return std::nullopt;
  }
  const int32_t family = KVGetDeviceFamily(static_cast<int32_t>(*model));

  if (IsEquineFamily(family)) {
    EquineRow row;
    row.slot = slot;
    row.test.testTime = kNoTime;
    for (std::string_view name : kRequiredEquine) {
      if (!HasValue(values, name)) {
        *error = Prefix(slot) + std::string(name) + " is missing (model " + modelText + " is an equine analyser)";
        return std::nullopt;
      }
    }
    if (HasValue(values, "spectrum")) {
      *error = Prefix(slot) + "equine tests have no spectrum";
      return std::nullopt;
    }
    if (!Fill(row.test, EquineTestRecordFields(), values, slot, "equine", error)) return std::nullopt;
    return Single(std::move(row));
  }

  HumanRow row;
  row.slot = slot;
  row.test.testTime = kNoTime;
  for (std::string_view name : RequiredHuman(family)) {
    if (!HasValue(values, name)) {
      *error = Prefix(slot) + std::string(name) + " is missing (model " + modelText + " uses it)";
      return std::nullopt;
    }
  }
  if (!Fill(row.test, TestRecordFields(), values, slot, "human", error)) return std::nullopt;
  for (const auto& [name, text] : values) {
    if (name != "spectrum") continue;
    auto points = ParseSpectrum(text, error);
    if (!points) {
      *error = Prefix(slot) + *error;
      return std::nullopt;
    }
    row.spectrum = std::move(*points);
  }
  // The count always describes the points the tool holds, never a pointer it does not have.
  row.test.spectrumCount = static_cast<int32_t>(row.spectrum.size());
  row.test.spectrum = nullptr;
  return Single(std::move(row));
}

std::optional<TestSet> ParseTestsCsv(std::string_view text, std::string* error) {
  if (auto tests = ParseTestsCsvQuick(text)) return tests;
  std::optional<std::vector<std::string>> header;
  std::optional<TestSet> set;
  int lineNumber = 0;
  int index = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (Trim(line).empty() || Trim(line).front() == '#') continue;
    auto cells = SplitCsvLine(line);
    if (!cells) {
      *error = "line " + std::to_string(lineNumber) + ": a quoted cell is not closed";
      return std::nullopt;
    }
    if (!header) {
      for (std::string& cell : *cells) cell = std::string(Trim(cell));
      header = std::move(*cells);
      continue;
    }
    if (cells->size() > header->size()) {
      *error = "line " + std::to_string(lineNumber) + ": more cells than the header has names";
      return std::nullopt;
    }
    NamedValues values;
    int slot = index;
    for (size_t i = 0; i < cells->size(); ++i) {
      if ((*header)[i] == "slot") {
        if (const auto given = ParseInteger((*cells)[i])) slot = static_cast<int>(*given);
      }
      values.emplace_back((*header)[i], (*cells)[i]);
    }
    auto one = TestFromValues(values, slot, error);
    if (!one) {
      *error = "line " + std::to_string(lineNumber) + ", " + *error;
      return std::nullopt;
    }
    if (!Append(set, std::move(*one), slot, error)) return std::nullopt;
    ++index;
  }
  if (!set) {
    *error = header ? "the input has a header line but no tests" : "the input holds no tests";
    return std::nullopt;
  }
  return set;
}

std::optional<TestSet> ParseTestsJson(std::string_view text, std::string* error) {
  nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
  if (document.is_discarded()) {
    *error = "the input is not valid JSON";
    return std::nullopt;
  }
  if (document.is_object()) document = nlohmann::json::array({document});
  if (!document.is_array() || document.empty()) {
    *error = "the JSON input must be a test object or a non-empty array of them";
    return std::nullopt;
  }
  std::optional<TestSet> set;
  int index = 0;
  for (const auto& element : document) {
    if (!element.is_object()) {
      *error = "element " + std::to_string(index) + " is not an object";
      return std::nullopt;
    }
    int slot = index;
    if (element.contains("slot") && element["slot"].is_number_integer()) slot = element["slot"].get<int>();
    const nlohmann::json& fields = element.contains("test") && element["test"].is_object() ? element["test"] : element;
    NamedValues values;
    for (const auto& [name, value] : fields.items()) {
      if (name == "test" || name == "results" || name == "normals") continue;
      if (name == "spectrum") {
        const auto spectrum = SpectrumText(value, error);
        if (!spectrum) {
          *error = Prefix(slot) + *error;
          return std::nullopt;
        }
        values.emplace_back(name, *spectrum);
        continue;
      }
      if (value.is_object() || value.is_array()) {
        *error = Prefix(slot) + "'" + name + "' must be a number or a text";
        return std::nullopt;
      }
      values.emplace_back(name, JsonText(value));
    }
    auto one = TestFromValues(values, slot, error);
    if (!one) return std::nullopt;
    if (!Append(set, std::move(*one), slot, error)) return std::nullopt;
    ++index;
  }
  return set;
}

std::optional<TestSet> ParseTests(std::string_view text, std::string* error) {
  const std::string_view body = Trim(text);
  if (!body.empty() && (body.front() == '[' || body.front() == '{')) return ParseTestsJson(text, error);
  return ParseTestsCsv(text, error);
}

}  // namespace kv::cli
