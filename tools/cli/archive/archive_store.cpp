// archive_store.cpp: one download into the archive. A test already archived (same identity) is
// left as it is; only new tests are added. The fields are kept as the JSON object the reader
// turns back into the record, with the test time in seconds (-1 for none).
#include "archive_store.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <thread>

#include "record_fields.h"
#include "text.h"

namespace kv::cli::archive {

namespace {

using Json = nlohmann::ordered_json;

template <class Record>
std::string FieldsJson(const Record& record, std::span<const FieldDef<Record>> fields) {
  Json object = Json::object();
  for (const auto& field : fields) {
    const FieldValue value = GetField(record, field);
    if (value.kind != FieldValue::Kind::kFloat) {
      object[std::string(field.name)] = value.integer;
    } else if (!std::isfinite(value.real)) {
      object[std::string(field.name)] = nullptr;
    } else {
      // The double nearest the float's shortest text, so the stored text reads back to the same float.
      const std::string text = FloatText(value.real);
      double shortest = 0;
      std::from_chars(text.data(), text.data() + text.size(), shortest);
      object[std::string(field.name)] = shortest;
    }
  }
  return object.dump();
}

// The crash tests hold each insert back this long, so a kill lands inside the transaction.
std::chrono::milliseconds InsertDelay() {
  const char* text = std::getenv("KORVANTA_ARCHIVE_INSERT_DELAY_MS");
  const auto ms = text != nullptr ? ParseInteger(text) : std::nullopt;
  return std::chrono::milliseconds(ms && *ms > 0 && *ms < 10000 ? *ms : 0);
}

struct Inserter {
  Statement insert;
  int64_t downloadId;
  std::chrono::milliseconds delay;
  Db& db;
  int added = 0;

  void Add(int slot, const char* kind, int32_t modelCode, uint32_t serial, int64_t testTime, const std::string& fields) {
    insert.Reset();
    insert.Bind(1, downloadId).Bind(2, static_cast<int64_t>(slot)).Bind(3, std::string(kind));
    insert.Bind(4, static_cast<int64_t>(modelCode)).Bind(5, static_cast<int64_t>(serial));
    if (testTime < 0)
      insert.BindNull(6);
    else
      insert.Bind(6, testTime);
    insert.Bind(7, fields).Bind(8, std::string(kind) + ":" + fields);
    insert.Step();
    added += db.Changes();
    if (delay.count() > 0) std::this_thread::sleep_for(delay);
  }
};

}  // namespace

std::string TestFieldsJson(const HumanRow& row) { return FieldsJson(row.test, TestRecordFields()); }
std::string TestFieldsJson(const EquineRow& row) { return FieldsJson(row.test, EquineTestRecordFields()); }

namespace {

StoreOutcome AddDownload(Db& db, const TestSet& tests, const DownloadRecord& download,
                         std::chrono::milliseconds delay) {
  StoreOutcome outcome;
  outcome.seen = static_cast<int>(TestCount(tests));
  Statement addDownload =
      db.Prepare("INSERT INTO downloads(downloaded_at, port, model_code, tests_seen) VALUES(?, ?, ?, ?)");
  addDownload.Bind(1, download.downloadedAt).Bind(2, download.port);
  addDownload.Bind(3, static_cast<int64_t>(download.modelCode)).Bind(4, static_cast<int64_t>(outcome.seen));
  addDownload.Step();
  outcome.downloadId = db.LastInsertId();

  Inserter inserter{db.Prepare("INSERT INTO tests(download_id, slot, kind, model_code, serial_number, test_time, "
                               "fields, identity) VALUES(?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT(identity) DO NOTHING"),
                    outcome.downloadId, delay, db};
  std::visit(
      [&](const auto& rows) {
        for (const auto& row : rows) {
          const bool equine = std::is_same_v<std::remove_cvref_t<decltype(row)>, EquineRow>;
          inserter.Add(row.slot, equine ? "equine" : "human", row.test.modelCode, row.test.serialNumber,
                       row.test.testTime, TestFieldsJson(row));
        }
      },
      tests);
  outcome.added = inserter.added;
  return outcome;
}

}  // namespace

std::vector<StoreOutcome> StoreDownloads(Db& db, std::span<const DownloadToStore> downloads) {
  const std::chrono::milliseconds delay = InsertDelay();
  Transaction transaction(db);
  std::vector<StoreOutcome> outcomes;
  for (const DownloadToStore& download : downloads)
    outcomes.push_back(AddDownload(db, *download.tests, download.record, delay));
  transaction.Commit();
  return outcomes;
}

StoreOutcome StoreDownload(Db& db, const TestSet& tests, const DownloadRecord& download) {
  const DownloadToStore one{&tests, download};
  return StoreDownloads(db, std::span(&one, 1)).front();
}

}  // namespace kv::cli::archive
