// sqlite_db.h: the archive's thin hold on SQLite's C API: a connection and a prepared statement
// that close themselves, and errors as exceptions carrying SQLite's own message.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace kv::cli::archive {

struct DbError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class Statement;

class Db {
 public:
  // Opens (creating with `create`) the file; waits up to `busyMs` for another writer's lock.
  Db(const std::string& path, bool create, int busyMs);
  ~Db();
  Db(const Db&) = delete;
  Db& operator=(const Db&) = delete;

  void Exec(const std::string& sql);
  Statement Prepare(const std::string& sql);
  int64_t LastInsertId() const { return sqlite3_last_insert_rowid(db_); }
  int Changes() const { return sqlite3_changes(db_); }
  sqlite3* handle() const { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

class Statement {
 public:
  Statement(sqlite3* db, const std::string& sql);
  ~Statement();
  Statement(Statement&& other) noexcept : db_(other.db_), stmt_(other.stmt_) { other.stmt_ = nullptr; }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Parameters are numbered from 1, as in SQLite.
  Statement& Bind(int index, int64_t value);
  Statement& Bind(int index, const std::string& value);
  Statement& BindNull(int index);
  // True while there is a row to read; false when done.
  bool Step();
  void Reset();

  int64_t Integer(int column) const { return sqlite3_column_int64(stmt_, column); }
  bool IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
  std::string Text(int column) const;

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

// A transaction that rolls back unless committed. IMMEDIATE takes the write lock at the start, so
// two writers queue on the busy timeout instead of failing halfway.
class Transaction {
 public:
  explicit Transaction(Db& db) : db_(db) { db_.Exec("BEGIN IMMEDIATE"); }
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void Commit();

 private:
  Db& db_;
  bool done_ = false;
};

}  // namespace kv::cli::archive
