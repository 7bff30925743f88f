// result_bar.cpp: laying out and drawing one result bar. Rectangles are drawn with crisp edges, so
// a screenshot shows the range and the value mark in their exact colours where the geometry puts them.
#include "result_bar.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "text.h"

namespace kv::cli::report {

namespace {

constexpr const char* kTrackColour = "#e4e4e4";
constexpr const char* kRangeColour = "#a9d8b5";

const char* StandingColour(Standing standing) {
  switch (standing) {
    case Standing::kBelow: return "#2b6cb0";
    case Standing::kWithin: return "#1f6f43";
    case Standing::kAbove: return "#c53030";
  }
  return "#000000";
}

std::string X(double x) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", x);
  return text;
}

}  // namespace

double NumberOf(const FieldValue& value) {
  return value.kind == FieldValue::Kind::kFloat ? static_cast<double>(value.real) : static_cast<double>(value.integer);
}

std::string NumberText(const FieldValue& value) {
  return value.kind == FieldValue::Kind::kFloat ? FloatText(value.real) : std::to_string(value.integer);
}

std::string_view StandingWord(Standing standing) {
  switch (standing) {
    case Standing::kBelow: return "below";
    case Standing::kWithin: return "within";
    case Standing::kAbove: return "above";
  }
  return "";
}

BarGeometry LayOutBar(double value, const NormalRange& range) {
  const bool maximum = range.kind == NormalRange::Kind::kMaximum;
  // Absurd readings can give a range whose ends are the wrong way round; it is drawn between them.
  const double first = maximum ? 0.0 : NumberOf(range.low);
  const double second = maximum ? NumberOf(range.low) : NumberOf(range.high);
  const double low = std::min(first, second);
  const double high = std::max(first, second);
  double span = high - low;
  if (!(span > 0)) span = std::max(std::fabs(high) * 0.1, 1.0);
  BarGeometry g;
  g.scaleMin = maximum ? 0.0 : low - span;
  g.scaleMax = high + (maximum ? span * 0.5 : span);
  if (value < g.scaleMin) g.scaleMin = value - span * 0.25;
  if (value > g.scaleMax) g.scaleMax = value + span * 0.25;
  auto x = [&](double v) { return kTrackLeft + (v - g.scaleMin) / (g.scaleMax - g.scaleMin) * kTrackWidth; };
  g.bandLeft = x(low);
  g.bandRight = x(high);
  g.valueX = x(value);
  g.standing = value < low ? Standing::kBelow : value > high ? Standing::kAbove : Standing::kWithin;
  return g;
}

std::string BarSvg(std::string_view resultName, const FieldValue& value, const NormalRange& range) {
  const bool maximum = range.kind == NormalRange::Kind::kMaximum;
  const BarGeometry g = LayOutBar(NumberOf(value), range);
  const std::string name(resultName);
  const std::string lowText = maximum ? "" : NumberText(range.low);
  const std::string highText = NumberText(maximum ? range.low : range.high);
  const std::string label = name + " " + NumberText(value) + ", " + std::string(StandingWord(g.standing)) +
                            (maximum ? " the maximum " + highText : " the range " + lowText + " to " + highText);
  std::string svg = "<svg class=\"bar\" width=\"" + std::to_string(kBarWidth) + "\" height=\"" +
                    std::to_string(kBarHeight) + "\" viewBox=\"0 0 " + std::to_string(kBarWidth) + " " +
                    std::to_string(kBarHeight) + "\" shape-rendering=\"crispEdges\" role=\"img\" aria-label=\"" +
                    label + "\" data-result=\"" + name + "\" data-value=\"" + NumberText(value) + "\"";
  if (!maximum) svg += " data-low=\"" + lowText + "\"";
  svg += " data-high=\"" + highText + "\">";
  // A literal + std::to_string(...) here makes i686 GCC 12 warn of a memcpy overlap that cannot happen (-Wrestrict).
  svg += "<rect x=\"";
  svg += std::to_string(kTrackLeft) + "\" y=\"8\" width=\"" + std::to_string(kTrackWidth) + "\" height=\"12\" fill=\"" +
         kTrackColour + "\"/>";
  svg += "<rect class=\"range\" x=\"" + X(g.bandLeft) + "\" y=\"8\" width=\"" + X(g.bandRight - g.bandLeft) +
         "\" height=\"12\" fill=\"" + kRangeColour + "\"/>";
  // Whole pixels, so the mark is always three pixels wide, centred on the pixel holding the value.
  svg += "<rect class=\"mark\" x=\"" + X(std::floor(g.valueX) - 1.0) + "\" y=\"2\" width=\"3\" height=\"24\" fill=\"" +
         StandingColour(g.standing) + "\"/>";
  const char* text = "<text y=\"32\" font-size=\"9\" text-anchor=\"middle\" fill=\"#444\" x=\"";
  if (!maximum) svg += text + X(g.bandLeft) + "\">" + lowText + "</text>";
  svg += text + X(g.bandRight) + "\">" + highText + "</text>";
  svg += "</svg>";
  return svg;
}

}  // namespace kv::cli::report
