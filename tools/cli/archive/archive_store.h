// archive_store.h: writing downloads into the archive: every test they hold that the archive does
// not, in one transaction per run, so a run's downloads are in the file whole or not at all.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sqlite_db.h"
#include "test_rows.h"

namespace kv::cli::archive {

struct DownloadRecord {
  std::string port;
  int32_t modelCode = 0;
  int64_t downloadedAt = 0;  // seconds since 1970 UTC
};

struct StoreOutcome {
  int64_t downloadId = 0;
  int seen = 0;   // tests in the download
  int added = 0;  // of them, new to the archive
};

// The text that identifies a test: its kind and every stored field (model, serial number, test
// time and readings), so a test with no time is told apart by its readings alone.
std::string TestFieldsJson(const HumanRow& row);
std::string TestFieldsJson(const EquineRow& row);

struct DownloadToStore {
  const TestSet* tests = nullptr;
  DownloadRecord record;
};

// The downloads of one run (one per analyser), in one transaction; an outcome per download.
std::vector<StoreOutcome> StoreDownloads(Db& db, std::span<const DownloadToStore> downloads);
StoreOutcome StoreDownload(Db& db, const TestSet& tests, const DownloadRecord& download);

}  // namespace kv::cli::archive
