// test_rows.cpp: the calculation of one test through the exports. No formatting, no I/O.
#include "test_rows.h"

namespace kv::cli {

void Calculate(HumanRow& row, uint32_t waterEquation) {
  if (!row.spectrum.empty()) {
    row.test.spectrum = row.spectrum.data();
    row.test.spectrumCount = static_cast<int32_t>(row.spectrum.size());
  }
  row.resultsCode = KVCalculateResults(&row.test, &row.results, waterEquation);
  row.normalsCode = kNotCalculated;
  row.normals = KVNormals{};
  if (row.resultsCode == KV_OK) row.normalsCode = KVCalculateNormals(&row.test, &row.results, &row.normals);
}

void Calculate(EquineRow& row) {
  row.resultsCode = CXCalculateResults(&row.test, &row.results);
  row.normalsCode = kNotCalculated;
  row.normals = CXNormals{};
  if (row.resultsCode == KV_OK) row.normalsCode = CXCalculateNormals(&row.test, &row.results, &row.normals);
}

void CalculateAll(TestSet& tests, uint32_t waterEquation) {
  if (auto* human = std::get_if<std::vector<HumanRow>>(&tests)) {
    for (HumanRow& row : *human) Calculate(row, waterEquation);
  } else {
    for (EquineRow& row : std::get<std::vector<EquineRow>>(tests)) Calculate(row);
  }
}

size_t TestCount(const TestSet& tests) {
  return std::visit([](const auto& rows) { return rows.size(); }, tests);
}

}  // namespace kv::cli
