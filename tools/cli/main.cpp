// main.cpp: `korvanta`, the kit's command-line tool. Parses the command line with CLI11 (a
// well-kept library, so subcommands, --help and argument errors are not plumbing of our own)
// and hands each subcommand to cli_commands.h. Data goes to standard output, messages to standard error.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>
#include <set>

#include "KorvantaSDK.h"
#include "archive_commands.h"
#include "cli_commands.h"
#include "cli_platform.h"
#include "fhir_bundle.h"
#include "record_fields.h"

namespace {

using namespace kv::cli;

constexpr const char* kFormatHelp =
    "table: one line per test with the main results beside their normal ranges; csv: one header line of the "
    "records' field names, one line per test; json: an array with one object per test; sheet: every result of "
    "each test beside its normal";

constexpr const char* kFhirHelp =
    "; fhir: an HL7 FHIR R4 Bundle (LOINC and UCUM where they have the value; docs/fhir.md)";

void AddFhirOptions(CLI::App* command, FhirOptions& fhir) {
  command->add_option("--subject", fhir.subject, "fhir: the subject of every Observation, as Patient/ID")
      ->check(CLI::Validator(
          [](const std::string& text) {
            return fhir::IsSubjectReference(text) ? std::string() : "not a reference such as Patient/123: " + text;
          },
          "REFERENCE"))
      ->group("FHIR");
  command->add_flag("--transaction", fhir.transaction, "fhir: a transaction bundle of POSTs instead of a collection")
      ->group("FHIR");
}

void AddOutputOptions(CLI::App* command, OutputOptions& output, std::vector<std::string> formats) {
  const bool fhir = std::find(formats.begin(), formats.end(), "fhir") != formats.end();
  command->add_option("--format,-f", output.format, std::string(kFormatHelp) + (fhir ? kFhirHelp : ""))
      ->check(CLI::IsMember(formats))
      ->capture_default_str();
  command->add_option("--output,-o", output.outputPath, "write the data to FILE instead of standard output");
  command->add_flag("--utc", output.utc, "write times in UTC (Z) instead of this computer's local time");
}

constexpr const char* kAutoHelp =
    "auto: probe the ports `korvanta ports` lists (2 s, all at once) and use the one where an analyser answers";

void AddProbePortOption(CLI::App* command, std::vector<std::string>& probePorts) {
  command
      ->add_option("--probe-port", probePorts,
                   "with --port auto: probe this port instead of the listed ones; repeat it for several")
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

void AddFieldOptions(CLI::App* calc, CalcOptions& options) {
  std::set<std::string> seen;
  auto add = [&](std::string_view name, std::string_view kind) {
    const std::string field(name);
    if (field == "spectrumCount" || !seen.insert(field).second) return;
    std::string names = "--" + field;
    if (field == "modelCode") names += ",--model";
    calc->add_option_function<std::string>(
            names, [&options, field](const std::string& value) { options.fields.emplace_back(field, value); },
            field == "modelCode" ? "model code of the analyser; its family picks the human or equine calculation"
            : field == "sex"     ? "0 or female, 1 or male"
            : field == "testTime" ? "ISO 8601 time of the test"
                                 : std::string("field ") + field + " of the " + std::string(kind) + " test record")
        ->group(kind == "human" ? "Human test fields" : "Equine test fields");
  };
  for (const auto& field : TestRecordFields()) add(field.name, "human");
  for (const auto& field : EquineTestRecordFields()) add(field.name, "equine");
  calc->add_option_function<std::string>(
          "--spectrum", [&options](const std::string& value) { options.fields.emplace_back("spectrum", value); },
          "impedance spectrum as frequency:magnitude:phase;... (Polytrace and Quattron 40 Panel need one)")
      ->group("Human test fields");
}

// The version of the library this process loaded, which is what a host gets, not the one built against.
std::string VersionText() {
  uint32_t major = 0, minor = 0;
  if (KVGetSdkLibraryVersion(&major, &minor) != 0) return "korvanta: the library's version cannot be read";
  return "korvanta, KorvantaSDK library " + std::to_string(major) + "." + std::to_string(minor);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"korvanta: Korvanta analysers from the command line: read an analyser, download its tests, "
               "calculate results and normal ranges, and try it all on a simulated analyser."};
  app.footer(ExitStatusHelp());
  app.require_subcommand(1);
  app.set_version_flag("--version", VersionText, "print the version of the KorvantaSDK library in use and exit");

  InfoOptions info;
  auto* infoCommand = app.add_subcommand("info", "connect and print the analyser's model, version and protocol bytes, "
                                                 "serial number, printer address, clock and calibration time");
  infoCommand
      ->add_option("--port,-p", info.port,
                   std::string("serial port of the analyser (/dev/ttyUSB0, COM5 or 5); ") + kAutoHelp)
      ->required();
  AddProbePortOption(infoCommand, info.probePorts);
  infoCommand->add_option("--format,-f", info.format, "text or json")
      ->check(CLI::IsMember({"text", "json"}))
      ->capture_default_str();
  infoCommand->add_flag("--utc", info.utc, "write times in UTC");

  DownloadOptions download;
  auto* downloadCommand = app.add_subcommand(
      "download", "download the analysers' stored tests (human or equine by each one's family), calculate results and "
                  "normal ranges, and write one row per test; slot is the test's index in its analyser. Several "
                  "--port download at once into one output (CSV and JSON tell analysers apart by serialNumber; "
                  "human and equine tests come one kind after the other). Ctrl-C cancels them all and writes "
                  "nothing (exit status 130)");
  downloadCommand->add_option("--port,-p", download.ports,
                              std::string("serial port of an analyser; repeat it for several; ") + kAutoHelp)
      ->required()
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  AddProbePortOption(downloadCommand, download.probePorts);
  AddOutputOptions(downloadCommand, download.output, {"table", "csv", "json", "sheet", "fhir"});
  AddFhirOptions(downloadCommand, download.fhir);
  downloadCommand->add_option("--kind", download.kind, "auto (by the analyser's family), human or equine")
      ->check(CLI::IsMember({"auto", "human", "equine"}))
      ->capture_default_str();
  downloadCommand->add_option("--water-equation", download.waterEquation, "water-equation selector 0 to 3")
      ->check(CLI::Range(0u, 3u))
      ->capture_default_str();
  downloadCommand->add_option("--archive", download.archivePath,
                              "also keep the tests in the archive FILE (SQLite, made if missing): each test once, "
                              "nothing ever removed");
  downloadCommand->add_option("--progress", download.progress,
                              "auto (bars on a terminal), on (off a terminal: a line at each quarter) or off")
      ->check(CLI::IsMember({"auto", "on", "off"}))
      ->capture_default_str();
  downloadCommand->add_option("--trace", download.tracePath,
                              "write every byte on the lines to FILE, a line per run of bytes one way: time, port, "
                              "> sent or < received, the bytes in hex");

  PortsOptions portsOptions;
  auto* portsCommand = app.add_subcommand(
      "ports", "list this computer's serial ports with what the system says of each (USB ids and strings, Bluetooth "
               "address); --probe finds which have an analyser behind them");
  auto* probeFlag = portsCommand->add_flag(
      "--probe", portsOptions.probe,
      "listen on every port at once for up to 2 s for an analyser's handshake, and read the model and serial number of "
      "each that sends it; nothing is written to a port that does not");
  portsCommand
      ->add_option("--port,-p", portsOptions.ports, "probe this port instead of the listed ones; repeat it for several")
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
      ->needs(probeFlag);
  portsCommand->add_option("--format,-f", portsOptions.format, "table, or json: an array of one object per port, keyed "
                                                               "by the KVPortInfo record's field names")
      ->check(CLI::IsMember({"table", "json"}))
      ->capture_default_str();

  CalcOptions calc;
  auto* calcCommand = app.add_subcommand(
      "calc", "calculate results and normal ranges of one test given by its fields, or of the tests of a CSV or JSON "
              "file (the download's own output reads back)");
  calcCommand->add_option("--input,-i", calc.inputPath, "CSV or JSON file of tests or an archive, - for standard input");
  AddOutputOptions(calcCommand, calc.output, {"table", "csv", "json", "sheet"});
  calcCommand->add_option("--water-equation", calc.waterEquation, "water-equation selector 0 to 3")
      ->check(CLI::Range(0u, 3u))
      ->capture_default_str();
  AddFieldOptions(calcCommand, calc);

  ArchiveSelection archiveList;
  ArchiveExportOptions archiveExport;
  auto* archiveCommand = app.add_subcommand("archive", "read the archive that download --archive keeps");
  archiveCommand->require_subcommand(1);
  auto* listCommand = archiveCommand->add_subcommand("list", "the archive's downloads and tests, one line each");
  auto* exportCommand = archiveCommand->add_subcommand(
      "export", "the archived tests, calculated, with the columns and keys of download's CSV and JSON");
  for (auto [command, selection] : {std::pair{listCommand, &archiveList}, {exportCommand, &archiveExport.selection}}) {
    command->add_option("--archive,-a", selection->archivePath, "the archive file")->required();
    command->add_option("--serial", selection->serialNumber, "only the tests of the analyser with this serialNumber");
    command->add_option("--since", selection->since,
                        "only tests taken at or after this ISO 8601 time (tests with no time are left out)");
  }
  exportCommand->add_option("--format,-f", archiveExport.output.format, std::string("csv, json") + kFhirHelp)
      ->check(CLI::IsMember({"csv", "json", "fhir"}))
      ->capture_default_str();
  exportCommand->add_option("--output,-o", archiveExport.output.outputPath, "write to FILE instead of standard output");
  exportCommand->add_flag("--utc", archiveExport.output.utc, "write times in UTC");
  exportCommand->add_option("--kind", archiveExport.selection.kind, "auto (the only kind archived), human or equine")
      ->check(CLI::IsMember({"auto", "human", "equine"}))
      ->capture_default_str();
  exportCommand->add_option("--water-equation", archiveExport.waterEquation, "water-equation selector 0 to 3")
      ->check(CLI::Range(0u, 3u));
  AddFhirOptions(exportCommand, archiveExport.fhir);

  ReportCommandOptions report;
  auto* reportCommand = app.add_subcommand(
      "report", "an HTML report of tests: a table of all, then a page per test with each result as a bar against its "
                "normal range (one file, no script, prints one test per A4 page)");
  reportCommand->add_option("--input,-i", report.inputPath, "CSV or JSON file of tests, or an archive")->required();
  reportCommand->add_option("--output,-o", report.outputPath, "the HTML file")->capture_default_str();
  reportCommand->add_option("--kind", report.kind, "of an archive holding both: human or equine")
      ->check(CLI::IsMember({"auto", "human", "equine"}))
      ->capture_default_str();
  reportCommand->add_option("--water-equation", report.waterEquation, "water-equation selector 0 to 3")
      ->check(CLI::Range(0u, 3u));
  reportCommand->add_flag("--utc", report.utc, "write times in UTC");

  ExportOptions exportFhir;
  auto* exportFhirCommand = app.add_subcommand(
      "export", "tests of files the tool wrote, calculated, as an HL7 FHIR R4 Bundle for a health record: the "
                "analysers as Devices, each result with a code, UCUM unit, normal range and L/N/H as an "
                "Observation, derived from the test's raw impedances (docs/fhir.md)");
  exportFhirCommand
      ->add_option("--input,-i", exportFhir.inputPaths, "CSV or JSON file of tests, or an archive; repeat it for several")
      ->required()
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  exportFhirCommand->add_option("--format,-f", exportFhir.format, "fhir")
      ->check(CLI::IsMember({"fhir"}))
      ->capture_default_str();
  exportFhirCommand->add_option("--output,-o", exportFhir.outputPath, "write to FILE instead of standard output");
  exportFhirCommand->add_option("--kind", exportFhir.kind, "of an archive holding both: human or equine")
      ->check(CLI::IsMember({"auto", "human", "equine"}))
      ->capture_default_str();
  exportFhirCommand->add_option("--water-equation", exportFhir.waterEquation, "water-equation selector 0 to 3")
      ->check(CLI::Range(0u, 3u));
  exportFhirCommand->add_flag("--utc", exportFhir.utc, "write times in UTC");
  AddFhirOptions(exportFhirCommand, exportFhir.fhir);

  SetClockOptions setClock;
  auto* setClockCommand = app.add_subcommand("set-clock", "set the analyser's clock, to this computer's time or another");
  setClockCommand->add_option("--port,-p", setClock.port, "serial port of the analyser")->required();
  setClockCommand->add_option("--time,-t", setClock.time,
                              "ISO 8601 time, 2024-03-05T14:07:09 (local) or with Z or an offset; default now");
  setClockCommand->add_flag("--utc", setClock.utc, "write the time read back in UTC");

  BluetoothOptions bt;
  auto* btCommand = app.add_subcommand("bt", "Bluetooth setup of an analyser over the library's Bluetooth functions");
  btCommand->require_subcommand(1);
  btCommand->add_flag("--interactive", bt.interactive, "let the library show its prompts and dialogs");
  btCommand->add_option("--timeout", bt.timeoutMultiplier, "search time in units of 1.28 s (at most 45)")
      ->check(CLI::Range(0u, 65535u))
      ->capture_default_str();
  const std::pair<const char*, const char*> btActions[] = {
      {"available", "is there a Bluetooth radio"},
      {"info", "the Bluetooth stack in use"},
      {"search", "search for analysers; counts of new and paired ones"},
      {"device", "name, address and COM port of the paired analyser"},
      {"pair", "pair the analyser found by the search"},
      {"unpair", "remove the analysers' pairings"},
      {"setup", "the whole guided setup; prints the COM port to use"},
  };
  for (const auto& [name, help] : btActions) btCommand->add_subcommand(name, help);

  SimulateOptions simulate;
  auto* simulateCommand = app.add_subcommand(
      "simulate", "run a simulated analyser on a pseudo-terminal: prints its port path, serves until interrupted");
  simulateCommand->add_option("--model,-m", simulate.model, "model code of a preset analyser (default 7)");
  simulateCommand->add_option("--scenario,-s", simulate.scenarioPath, "JSON scenario file (tools/sim/scenarios)");
  simulateCommand->add_option("--fault", simulate.faults, "a misbehaviour, for example no-answer or wrong-ack:cmd=0x23");
  simulateCommand->add_option("--record", simulate.recordPath, "write the bytes of each session to FILE");

  DemoOptions demo;
  auto* demoCommand = app.add_subcommand(
      "demo", "the whole road on a simulated analyser in this process: open, connect, identify, download, calculate, "
              "and a table of tests with results beside normal ranges and the time of each step");
  demoCommand->add_option("--model,-m", demo.model, "model code of the simulated analyser")->capture_default_str();
  demoCommand->add_option("--rows", demo.rows, "tests shown in the table")->check(CLI::Range(1, 100))->capture_default_str();
  demoCommand->add_flag("--utc", demo.utc, "write times in UTC");

  try {
    // Arguments in UTF-8 on every system, so that a file name means the same file to every option.
    std::vector<std::string> arguments = CommandLineUtf8(argc, argv);
    std::vector<char*> pointers;
    for (std::string& argument : arguments) pointers.push_back(argument.data());
    app.parse(static_cast<int>(pointers.size()), pointers.data());
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : ToInt(ExitStatus::kUsage);
  }

  Streams io{std::cout, std::cerr, IsTerminal(stderr)};
  ExitStatus status = ExitStatus::kUsage;
  if (*infoCommand) {
    status = RunInfo(info, io);
  } else if (*downloadCommand) {
    status = RunDownload(download, io);
  } else if (*portsCommand) {
    status = RunPorts(portsOptions, io);
  } else if (*calcCommand) {
    status = RunCalc(calc, io);
  } else if (*archiveCommand) {
    status = *listCommand ? RunArchiveList(archiveList, io) : RunArchiveExport(archiveExport, io);
  } else if (*exportFhirCommand) {
    status = RunExport(exportFhir, io);
  } else if (*reportCommand) {
    status = RunReport(report, io);
  } else if (*setClockCommand) {
    status = RunSetClock(setClock, io);
  } else if (*btCommand) {
    for (const auto& [name, help] : btActions)
      if (btCommand->got_subcommand(name)) bt.action = name;
    status = RunBluetooth(bt, io);
  } else if (*simulateCommand) {
    status = RunSimulate(simulate, io);
  } else if (*demoCommand) {
    status = RunDemo(demo, io);
  }
  std::cout.flush();
  return ToInt(status);
}
