// archive_schema.h: the archive file's tables and its schema version (PRAGMA user_version). A file
// of another version, or an SQLite file that is no archive, is refused with a message saying so.
#pragma once

#include <string>

#include "sqlite_db.h"

namespace kv::cli::archive {

inline constexpr int kSchemaVersion = 1;

// Opens the archive at `path`. With `create`, a missing or empty file becomes an archive of this
// version; without it the file must already be one. Throws DbError with a readable message.
void CheckOrCreateSchema(Db& db, const std::string& path, bool create);

}  // namespace kv::cli::archive
