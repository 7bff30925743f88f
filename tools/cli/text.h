// text.h: the tool's text plumbing: UTF-8 <-> the library's UTF-16, numbers as text both ways,
// CSV cells. Pure functions; nothing here knows a record or a device.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "KorvantaSDK.h"

namespace kv::cli {

using WideString = std::basic_string<KVWChar>;

// Ill-formed UTF-8 becomes U+FFFD, one per maximal ill-formed subpart, so a port name never
// reaches the library half-converted.
WideString ToWide(std::string_view utf8);
// Stops at the first zero unit or at `length` units, whichever comes first.
std::string FromWide(const KVWChar* text, size_t length);

// The shortest text that reads back as the same float ("23.4", not "23.399999618530273");
// "nan", "inf" and "-inf" for the values that are not numbers.
std::string FloatText(float value);
// The double nearest FloatText's text (23.4f gives 23.4): the number the JSON outputs write for a float.
double ShortestDouble(float value);
// FloatText's text, and std::to_string's for an integer, added to the end of `out`.
void AppendFloatText(std::string& out, float value);
void AppendIntegerText(std::string& out, int64_t value);
// `decimals` digits after the point; "-" for a value that is not finite.
std::string FixedText(float value, int decimals);

// Whole-text parses: leading or trailing garbage, an empty text or an out-of-range value give nullopt.
std::optional<int64_t> ParseInteger(std::string_view text);
std::optional<float> ParseFloat(std::string_view text);

std::string_view Trim(std::string_view text);
std::string Lower(std::string_view text);

// A CSV cell, quoted only when it holds a comma, a quote or a line break.
std::string CsvCell(std::string_view text);
// One CSV line split into cells; quoted cells may hold commas and doubled quotes.
// nullopt for a line with an unterminated quote.
std::optional<std::vector<std::string>> SplitCsvLine(std::string_view line);

}  // namespace kv::cli
