// archive_commands.h: what the tool does with an archive file: store a download, read its tests
// back for calc, report and export, and list it. A build without SQLite has these too, each
// saying the archive is not available (archive_none.cpp).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "cli_commands.h"

namespace kv::cli {

struct ArchiveSelection {
  std::string archivePath;
  std::optional<uint32_t> serialNumber;
  std::string since;          // ISO 8601 test time, empty for all
  std::string kind = "auto";  // auto, human or equine
};

struct ArchiveExportOptions {
  ArchiveSelection selection;
  OutputOptions output{"csv", "", false};
  unsigned waterEquation = 0;
  FhirOptions fhir;
};

// Every SQLite file starts with these 16 bytes, so an input is told from CSV and JSON by them.
inline bool LooksLikeArchive(std::string_view bytes) {
  return bytes.substr(0, 16) == std::string_view("SQLite format 3\0", 16);
}

// One analyser's download of this run.
struct DownloadToArchive {
  const TestSet* tests = nullptr;
  std::string port;
  int32_t modelCode = 0;
};

// Adds the run's downloads' new tests to the archive in one transaction and says, per download,
// how many were new (naming the port when there are several).
ExitStatus ArchiveDownloads(const std::string& archivePath, std::span<const DownloadToArchive> downloads, Streams& io);
// The selected tests, uncalculated; nullopt with a message (and `status`) when it cannot.
std::optional<TestSet> ReadArchive(const ArchiveSelection& selection, std::string* error, ExitStatus* status);
ExitStatus RunArchiveList(const ArchiveSelection& selection, Streams& io);
ExitStatus RunArchiveExport(const ArchiveExportOptions& options, Streams& io);

}  // namespace kv::cli
