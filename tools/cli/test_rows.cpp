// test_rows.cpp: the calculation of one test through the exports. No formatting, no I/O.
#include "test_rows.h"

#include <algorithm>
#include <span>

#include "KorvantaSession.h"

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

namespace {

// Tests go to the batch exports this many at a time, so the copies in and out stay in cache.
constexpr size_t kBlock = 256;

template <class Test, class Results, class Normals>
struct Block {
  std::vector<Test> tests = std::vector<Test>(kBlock);
  std::vector<Results> results = std::vector<Results>(kBlock);
  std::vector<Normals> normals = std::vector<Normals>(kBlock);
  std::vector<int32_t> codes = std::vector<int32_t>(kBlock);
};

int32_t CalculateMany(Block<KVTestRecord, KVResults, KVNormals>& block, int32_t count, uint32_t waterEquation) {
  return KVCalculateMany(block.tests.data(), count, waterEquation, block.results.data(), block.normals.data(),
                         block.codes.data());
}

int32_t CalculateMany(Block<CXTestRecord, CXResults, CXNormals>& block, int32_t count, uint32_t) {
  return CXCalculateMany(block.tests.data(), count, block.results.data(), block.normals.data(), block.codes.data());
}

void PointAtSpectrum(HumanRow& row) {
  if (!row.spectrum.empty()) {
    row.test.spectrum = row.spectrum.data();
    row.test.spectrumCount = static_cast<int32_t>(row.spectrum.size());
  }
}

void PointAtSpectrum(EquineRow&) {}

void CalculateOne(HumanRow& row, uint32_t waterEquation) { Calculate(row, waterEquation); }
void CalculateOne(EquineRow& row, uint32_t) { Calculate(row); }

template <class Row, class Test, class Results, class Normals>
void CalculateBlocks(std::vector<Row>& rows, uint32_t waterEquation) {
  Block<Test, Results, Normals> block;
  for (size_t at = 0; at < rows.size(); at += kBlock) {
    const std::span<Row> part = std::span(rows).subspan(at, std::min(kBlock, rows.size() - at));
    for (size_t i = 0; i < part.size(); ++i) {
      PointAtSpectrum(part[i]);
      block.tests[i] = part[i].test;
    }
    if (CalculateMany(block, static_cast<int32_t>(part.size()), waterEquation) != KV_OK) {
      for (Row& row : part) CalculateOne(row, waterEquation);
      continue;
    }
    for (size_t i = 0; i < part.size(); ++i) {
      // A refused test's code does not tell which call refused it, and its records come back
      // cleared: the single calls give what the output shows for it.
      if (block.codes[i] != KV_OK) {
        CalculateOne(part[i], waterEquation);
        continue;
      }
      part[i].resultsCode = KV_OK;
      part[i].results = block.results[i];
      part[i].normalsCode = KV_OK;
      part[i].normals = block.normals[i];
    }
  }
}

}  // namespace

void CalculateAll(TestSet& tests, uint32_t waterEquation) {
  if (auto* human = std::get_if<std::vector<HumanRow>>(&tests)) {
    CalculateBlocks<HumanRow, KVTestRecord, KVResults, KVNormals>(*human, waterEquation);
  } else {
    CalculateBlocks<EquineRow, CXTestRecord, CXResults, CXNormals>(std::get<std::vector<EquineRow>>(tests), 0);
  }
}

size_t TestCount(const TestSet& tests) {
  return std::visit([](const auto& rows) { return rows.size(); }, tests);
}

}  // namespace kv::cli
