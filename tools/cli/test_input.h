// test_input.h: tests for `korvanta calc`, from named values: the command's options, a CSV file
// with one header line of field names, or JSON (flat objects, or the objects `download` writes).
// Parsing and checks of presence only; the calculation judges the values.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "test_rows.h"

namespace kv::cli {

using NamedValues = std::vector<std::pair<std::string, std::string>>;

// One test from field names and their texts. modelCode decides human or equine (by its family);
// the fields the model's calculation reads must be present. `spectrum` takes
// "frequency:magnitude:phase;..." and `sex` also "female"/"male". Output-only names (results,
// normals, codes) are ignored; any other unknown name is an error.
std::optional<TestSet> TestFromValues(const NamedValues& values, int slot, std::string* error);

// CSV: a header line of names, then one test per line; blank lines and lines starting with '#'
// are skipped. The output of `korvanta download --format csv` reads back as its own tests.
std::optional<TestSet> ParseTestsCsv(std::string_view text, std::string* error);
// JSON: one object or an array of objects. An object with a "test" member (the download's JSON)
// takes the test from it and its "slot"; otherwise the object's own members are the fields.
std::optional<TestSet> ParseTestsJson(std::string_view text, std::string* error);
// JSON when the first character that is not a space is '[' or '{', CSV otherwise.
std::optional<TestSet> ParseTests(std::string_view text, std::string* error);

// "frequency:magnitude:phase" points separated by ';' (at most 50, the calculation's limit).
std::optional<std::vector<KVSpectrumPoint>> ParseSpectrum(std::string_view text, std::string* error);

}  // namespace kv::cli
