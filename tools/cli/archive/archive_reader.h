// archive_reader.h: the archive's tests and downloads read back, with the filters of `archive
// export`, and turned into the tool's test rows (uncalculated) for every output the tool has.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sqlite_db.h"
#include "test_rows.h"

namespace kv::cli::archive {

struct Filter {
  std::optional<uint32_t> serialNumber;
  std::optional<int64_t> since;  // test time at or after; tests with no time are left out
  std::string kind = "auto";     // auto, human or equine
};

struct ArchivedTest {
  int64_t id = 0;
  int64_t downloadId = 0;
  int64_t downloadedAt = 0;
  int slot = 0;
  std::string kind;
  int32_t modelCode = 0;
  uint32_t serialNumber = 0;
  int64_t testTime = -1;
  std::string fields;  // JSON object of the test record's fields
};

struct ArchivedDownload {
  int64_t id = 0;
  int64_t downloadedAt = 0;
  std::string port;
  int32_t modelCode = 0;
  int seen = 0;
  int added = 0;
};

// In archive order (the order they were first downloaded).
std::vector<ArchivedTest> QueryTests(Db& db, const Filter& filter);
std::vector<ArchivedDownload> QueryDownloads(Db& db);

// The tests as rows of one kind: `filter.kind`, or the only kind present. nullopt with a message
// when auto meets both kinds, or when a stored record does not read back.
std::optional<TestSet> ToTestSet(const std::vector<ArchivedTest>& tests, const std::string& kind, std::string* error);

}  // namespace kv::cli::archive
