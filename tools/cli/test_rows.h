// test_rows.h: one test with what the tool has worked out for it (results, normals and the
// codes of both calculations), for the human and the equine analysers. Calculation goes
// through the public exports only.
#pragma once

#include <cstdint>
#include <variant>
#include <vector>

#include "KorvantaSDK.h"

namespace kv::cli {

// A code that no export returns: the normals were not asked for because the results failed.
inline constexpr int32_t kNotCalculated = 1;

struct HumanRow {
  int slot = 0;  // the analyser's slot, or the input's line or element number
  KVTestRecord test{};
  std::vector<KVSpectrumPoint> spectrum;  // points behind test.spectrum once Calculate ran
  int32_t resultsCode = kNotCalculated;
  KVResults results{};
  int32_t normalsCode = kNotCalculated;
  KVNormals normals{};
};

struct EquineRow {
  int slot = 0;
  CXTestRecord test{};
  int32_t resultsCode = kNotCalculated;
  CXResults results{};
  int32_t normalsCode = kNotCalculated;
  CXNormals normals{};
};

// The tests of one download or one input: all human or all equine.
using TestSet = std::variant<std::vector<HumanRow>, std::vector<EquineRow>>;

// KVCalculateResults, then KVCalculateNormals when the results succeeded. The record's
// spectrum is pointed at row.spectrum (spectrumCount included) when the row has points.
void Calculate(HumanRow& row, uint32_t waterEquation);
// CXCalculateResults, then CXCalculateNormals when the results succeeded.
void Calculate(EquineRow& row);
void CalculateAll(TestSet& tests, uint32_t waterEquation);

size_t TestCount(const TestSet& tests);

}  // namespace kv::cli
