// archive_none.cpp: a build without SQLite (a Linux machine without its development files; the Windows tool
// compiles SQLite in): every archive command says so.
#include <ostream>

#include "archive_commands.h"

namespace kv::cli {

namespace {

constexpr const char* kNotAvailable =
    "the archive is not available in this build (it was built without SQLite: install libsqlite3-dev and build "
    "again)";

}  // namespace

ExitStatus ArchiveDownloads(const std::string&, std::span<const DownloadToArchive>, Streams& io) {
  io.err << "korvanta: " << kNotAvailable << "\n";
  return ExitStatus::kFailure;
}

std::optional<TestSet> ReadArchive(const ArchiveSelection&, std::string* error, ExitStatus* status) {
  *error = kNotAvailable;
  *status = ExitStatus::kFailure;
  return std::nullopt;
}

ExitStatus RunArchiveList(const ArchiveSelection&, Streams& io) {
  io.err << "korvanta: " << kNotAvailable << "\n";
  return ExitStatus::kFailure;
}

ExitStatus RunArchiveExport(const ArchiveExportOptions&, Streams& io) {
  io.err << "korvanta: " << kNotAvailable << "\n";
  return ExitStatus::kFailure;
}

}  // namespace kv::cli
