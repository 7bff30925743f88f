// archive_reader.cpp: queries over the archive, and stored fields back into records through the
// tool's own JSON input, so an archived test reads exactly as its download's JSON would.
#include "archive_reader.h"

#include <nlohmann/json.hpp>

#include "test_input.h"

namespace kv::cli::archive {

std::vector<ArchivedTest> QueryTests(Db& db, const Filter& filter) {
  std::string sql =
      "SELECT t.id, t.download_id, d.downloaded_at, t.slot, t.kind, t.model_code, t.serial_number, t.test_time, "
      "t.fields FROM tests t JOIN downloads d ON d.id = t.download_id WHERE 1";
  if (filter.serialNumber) sql += " AND t.serial_number = ?1";
  if (filter.since) sql += " AND t.test_time >= ?2";
  if (filter.kind != "auto") sql += " AND t.kind = ?3";
  sql += " ORDER BY t.id";
  Statement query = db.Prepare(sql);
  if (filter.serialNumber) query.Bind(1, static_cast<int64_t>(*filter.serialNumber));
  if (filter.since) query.Bind(2, *filter.since);
  if (filter.kind != "auto") query.Bind(3, filter.kind);
  std::vector<ArchivedTest> tests;
  while (query.Step()) {
    ArchivedTest t;
    t.id = query.Integer(0);
    t.downloadId = query.Integer(1);
    t.downloadedAt = query.Integer(2);
    t.slot = static_cast<int>(query.Integer(3));
    t.kind = query.Text(4);
    t.modelCode = static_cast<int32_t>(query.Integer(5));
    t.serialNumber = static_cast<uint32_t>(query.Integer(6));
    t.testTime = query.IsNull(7) ? -1 : query.Integer(7);
    t.fields = query.Text(8);
    tests.push_back(std::move(t));
  }
  return tests;
}

std::vector<ArchivedDownload> QueryDownloads(Db& db) {
  Statement query = db.Prepare(
      "SELECT d.id, d.downloaded_at, d.port, d.model_code, d.tests_seen, "
      "(SELECT count(*) FROM tests t WHERE t.download_id = d.id) FROM downloads d ORDER BY d.id");
  std::vector<ArchivedDownload> downloads;
  while (query.Step())
    downloads.push_back({query.Integer(0), query.Integer(1), query.Text(2), static_cast<int32_t>(query.Integer(3)),
                         static_cast<int>(query.Integer(4)), static_cast<int>(query.Integer(5))});
  return downloads;
}

std::optional<TestSet> ToTestSet(const std::vector<ArchivedTest>& tests, const std::string& kind, std::string* error) {
  std::string chosen = kind;
  for (const ArchivedTest& t : tests) {
    if (chosen == "auto") chosen = t.kind;
    if (kind == "auto" && t.kind != chosen) {
      *error = "the archive holds human and equine tests: choose one kind with --kind human or --kind equine";
      return std::nullopt;
    }
  }
  if (tests.empty()) return chosen == "equine" ? TestSet{std::vector<EquineRow>{}} : TestSet{std::vector<HumanRow>{}};
  nlohmann::json array = nlohmann::json::array();
  for (const ArchivedTest& t : tests) {
    if (t.kind != chosen) continue;
    nlohmann::json fields = nlohmann::json::parse(t.fields, nullptr, false);
    if (fields.is_discarded()) {
      *error = "archived test " + std::to_string(t.id) + " does not read back: its fields are not JSON";
      return std::nullopt;
    }
    array.push_back({{"slot", t.slot}, {"test", std::move(fields)}});
  }
  return ParseTestsJson(array.dump(), error);
}

}  // namespace kv::cli::archive
