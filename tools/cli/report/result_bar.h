// result_bar.h: one result against its normal range as an inline SVG bar: the range marked on a
// track, the value as a mark on it, coloured and labelled by where it stands. Geometry and drawing only.
#pragma once

#include <string>
#include <string_view>

#include "record_fields.h"

namespace kv::cli::report {

enum class Standing { kBelow, kWithin, kAbove };

inline constexpr int kBarWidth = 360;  // SVG user units, drawn one to a CSS pixel
inline constexpr int kBarHeight = 34;
inline constexpr int kTrackLeft = 10;
inline constexpr int kTrackWidth = 340;

// Where things fall on the track, in SVG x. The scale runs a range's width either side of it,
// widened to hold a value outside that; a maximum's range starts at 0.
struct BarGeometry {
  double scaleMin = 0, scaleMax = 1;
  double bandLeft = 0, bandRight = 0;  // the normal range
  double valueX = 0;
  Standing standing = Standing::kWithin;
};

// `range` is a kRange or a kMaximum (a kMaximum has no low end: nothing is below it).
BarGeometry LayOutBar(double value, const NormalRange& range);

// "below", "within" or "above": the text beside the colour, so the bar does not rely on colour.
std::string_view StandingWord(Standing standing);

// The <svg> element, with data-result, data-value, data-low (absent for a maximum) and data-high
// carrying the numbers it was drawn from, as the calculation gave them.
std::string BarSvg(std::string_view resultName, const FieldValue& value, const NormalRange& range);

// The number as the tool writes it: shortest float text, or the integer.
std::string NumberText(const FieldValue& value);
double NumberOf(const FieldValue& value);

}  // namespace kv::cli::report
