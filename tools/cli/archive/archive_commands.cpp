// archive_commands.cpp: the archive commands over SQLite: each opens the file, checks its schema,
// does its one job and turns any SQLite failure into one line and an exit status.
#include "archive_commands.h"

#include <ctime>
#include <ostream>
#include <sstream>

#include "archive_reader.h"
#include "archive_schema.h"
#include "archive_store.h"

namespace kv::cli {

namespace {

// Long enough for another download's transaction, which takes milliseconds.
constexpr int kBusyMs = 30000;

using archive::Db;
using archive::DbError;

std::optional<archive::Filter> FilterOf(const ArchiveSelection& selection, std::string* error) {
  archive::Filter filter;
  filter.serialNumber = selection.serialNumber;
  filter.kind = selection.kind;
  if (!selection.since.empty()) {
    filter.since = ParseIsoTime(selection.since);
    if (!filter.since) {
      *error = "'" + selection.since + "' is not an ISO 8601 time: write it as 2024-03-05T14:07:09 or with Z";
      return std::nullopt;
    }
  }
  return filter;
}

std::string Time(int64_t seconds) { return IsoTime(seconds, TimeStyle::kLocal).value_or("none"); }

}  // namespace

ExitStatus ArchiveDownloads(const std::string& archivePath, std::span<const DownloadToArchive> downloads,
                            Streams& io) {
  try {
    Db db(archivePath, true, kBusyMs);
    archive::CheckOrCreateSchema(db, archivePath, true);
    const auto now = static_cast<int64_t>(std::time(nullptr));
    std::vector<archive::DownloadToStore> toStore;
    for (const DownloadToArchive& d : downloads) toStore.push_back({d.tests, {d.port, d.modelCode, now}});
    const auto outcomes = archive::StoreDownloads(db, toStore);
    for (size_t i = 0; i < outcomes.size(); ++i) {
      const auto& outcome = outcomes[i];
      io.err << "korvanta: archive " << archivePath << ": " << outcome.added << " new of " << outcome.seen
             << (outcome.seen == 1 ? " test" : " tests") << " (download " << outcome.downloadId
             << (outcomes.size() > 1 ? ", " + downloads[i].port : "") << ")\n";
    }
    return ExitStatus::kOk;
  } catch (const DbError& e) {
    io.err << "korvanta: archive " << archivePath << ": " << e.what() << "; nothing of this download was stored\n";
    return ExitStatus::kOutput;
  }
}

std::optional<TestSet> ReadArchive(const ArchiveSelection& selection, std::string* error, ExitStatus* status) {
  *status = ExitStatus::kUsage;
  const auto filter = FilterOf(selection, error);
  if (!filter) return std::nullopt;
  try {
    Db db(selection.archivePath, false, kBusyMs);
    archive::CheckOrCreateSchema(db, selection.archivePath, false);
    auto tests = archive::ToTestSet(archive::QueryTests(db, *filter), selection.kind, error);
    if (!tests) *status = ExitStatus::kFailure;
    return tests;
  } catch (const DbError& e) {
    *error = e.what();
    *status = ExitStatus::kFailure;
    return std::nullopt;
  }
}

ExitStatus RunArchiveList(const ArchiveSelection& selection, Streams& io) {
  std::string error;
  const auto filter = FilterOf(selection, &error);
  if (!filter) {
    io.err << "korvanta: " << error << "\n";
    return ExitStatus::kUsage;
  }
  try {
    Db db(selection.archivePath, false, kBusyMs);
    archive::CheckOrCreateSchema(db, selection.archivePath, false);
    const auto downloads = archive::QueryDownloads(db);
    const auto tests = archive::QueryTests(db, *filter);
    std::ostringstream text;
    text << "archive " << selection.archivePath << ": schema version " << archive::kSchemaVersion << ", "
         << downloads.size() << " downloads, " << tests.size() << " tests\n\n";
    TextTable downloadTable({{"download"}, {"downloadedAt", false}, {"port", false}, {"modelCode"}, {"seen"}, {"added"}});
    for (const auto& d : downloads)
      downloadTable.AddRow({std::to_string(d.id), Time(d.downloadedAt), d.port, std::to_string(d.modelCode),
                            std::to_string(d.seen), std::to_string(d.added)});
    downloadTable.Write(text);
    text << '\n';
    TextTable testTable({{"test"}, {"kind", false}, {"modelCode"}, {"serialNumber"}, {"testTime", false}, {"slot"},
                         {"download"}});
    for (const auto& t : tests)
      testTable.AddRow({std::to_string(t.id), t.kind, std::to_string(t.modelCode), std::to_string(t.serialNumber),
                        Time(t.testTime), std::to_string(t.slot), std::to_string(t.downloadId)});
    testTable.Write(text);
    return Deliver(text.str(), "", io);
  } catch (const DbError& e) {
    io.err << "korvanta: " << e.what() << "\n";
    return ExitStatus::kFailure;
  }
}

ExitStatus RunArchiveExport(const ArchiveExportOptions& options, Streams& io) {
  const bool fhir = options.output.format == "fhir";
  const auto format = fhir ? OutputFormat::kJson : ParseOutputFormat(options.output.format);
  if (!format) {
    io.err << "korvanta: unknown format '" << options.output.format << "': use csv, json or fhir\n";
    return ExitStatus::kUsage;
  }
  std::string error;
  ExitStatus status = ExitStatus::kOk;
  auto tests = ReadArchive(options.selection, &error, &status);
  if (!tests) {
    io.err << "korvanta: " << error << "\n";
    return status;
  }
  CalculateAll(*tests, options.waterEquation);
  std::ostringstream text;
  FormatOptions formatting;
  formatting.timeStyle = options.output.utc ? TimeStyle::kUtc : TimeStyle::kLocal;
  if (fhir) {
    ExitStatus refused = ExitStatus::kOk;  // as with CSV and JSON, failed tests do not fail the export
    return DeliverFhir(std::span(&*tests, 1), options.fhir, formatting.timeStyle, options.output.outputPath, io,
                       &refused);
  }
  WriteTests(text, *tests, *format, formatting);
  return Deliver(text.str(), options.output.outputPath, io);
}

}  // namespace kv::cli
