// archive_schema.cpp: creating the archive's tables and checking the version of an existing file.
// Triggers refuse every UPDATE and DELETE, so nothing archived is ever overwritten or removed.
#include "archive_schema.h"

namespace kv::cli::archive {

namespace {

constexpr const char* kCreate = R"sql(
CREATE TABLE downloads(
  id INTEGER PRIMARY KEY,
  downloaded_at INTEGER NOT NULL,
  port TEXT NOT NULL,
  model_code INTEGER NOT NULL,
  tests_seen INTEGER NOT NULL);
CREATE TABLE tests(
  id INTEGER PRIMARY KEY,
  download_id INTEGER NOT NULL REFERENCES downloads(id),
  slot INTEGER NOT NULL,
  kind TEXT NOT NULL CHECK(kind IN ('human', 'equine')),
  model_code INTEGER NOT NULL,
  serial_number INTEGER NOT NULL,
  test_time INTEGER,
  fields TEXT NOT NULL,
  identity TEXT NOT NULL UNIQUE);
CREATE INDEX tests_by_serial ON tests(serial_number, test_time);
CREATE TRIGGER downloads_kept BEFORE DELETE ON downloads BEGIN SELECT RAISE(ABORT, 'archived downloads are never deleted'); END;
CREATE TRIGGER downloads_fixed BEFORE UPDATE ON downloads BEGIN SELECT RAISE(ABORT, 'archived downloads are never changed'); END;
CREATE TRIGGER tests_kept BEFORE DELETE ON tests BEGIN SELECT RAISE(ABORT, 'archived tests are never deleted'); END;
CREATE TRIGGER tests_fixed BEFORE UPDATE ON tests BEGIN SELECT RAISE(ABORT, 'archived tests are never changed'); END;
)sql";

int UserVersion(Db& db) {
  Statement query = db.Prepare("PRAGMA user_version");
  return query.Step() ? static_cast<int>(query.Integer(0)) : 0;
}

bool HasTables(Db& db) {
  Statement query = db.Prepare("SELECT count(*) FROM sqlite_master");
  return query.Step() && query.Integer(0) > 0;
}

void Refuse(const std::string& path, int version) {
  throw DbError(path + " has archive schema version " + std::to_string(version) + "; this korvanta reads version " +
                std::to_string(kSchemaVersion) + " only (use the korvanta that wrote it)");
}

}  // namespace

void CheckOrCreateSchema(Db& db, const std::string& path, bool create) {
  int version = 0;
  try {
    version = UserVersion(db);
  } catch (const DbError&) {
    throw DbError(path + " is not a korvanta archive (not an SQLite file)");
  }
  if (version == kSchemaVersion) return;
  if (version != 0) Refuse(path, version);
  if (!create) throw DbError(path + " is not a korvanta archive (no archive schema in it)");
  // Another writer may be creating the same new file: decide again under the write lock.
  Transaction transaction(db);
  version = UserVersion(db);
  if (version == kSchemaVersion) return;
  if (version != 0) Refuse(path, version);
  if (HasTables(db)) throw DbError(path + " is an SQLite file of some other program, not a korvanta archive");
  db.Exec(kCreate);
  db.Exec("PRAGMA user_version = " + std::to_string(kSchemaVersion));
  transaction.Commit();
}

}  // namespace kv::cli::archive
