// analyser.h: the tool's road to an analyser: a link (the exports), and the steps of `info`,
// `download` and `set-clock` over it, each step named and timed. No output here: callers print what comes back.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "KorvantaSDK.h"
#include "test_rows.h"
#include "text.h"

namespace kv::cli {

// The device-link calls the tool makes, one per export.
class AnalyserLink {
 public:
  virtual ~AnalyserLink() = default;
  virtual int32_t Open(const WideString& port) = 0;
  virtual void Close() = 0;
  virtual int32_t Connect() = 0;
  virtual int32_t ReadModelVersion(int32_t& modelCode, std::array<uint8_t, 5>& version) = 0;
  virtual int32_t ReadProtocolInfo(std::array<uint8_t, 3>& protocol) = 0;
  virtual int32_t ReadSerialNumber(uint32_t& serialNumber) = 0;
  virtual int32_t ReadPrinterAddress(std::string& address) = 0;
  virtual int32_t ReadCurrentTime(int64_t& time) = 0;
  virtual int32_t ReadCalibrationTime(int64_t& time) = 0;
  virtual int32_t WriteCurrentTimeAs(int64_t time) = 0;
  virtual int32_t WriteCurrentTime() = 0;
  virtual int32_t ReadStoredTests(KVStoredTests& stored) = 0;
  virtual int32_t ReadEquineStoredTests(CXStoredTests& stored) = 0;
};

// Over the public exports: the link of every command.
std::unique_ptr<AnalyserLink> MakeExportLink();

struct StepTiming {
  std::string name;
  std::chrono::microseconds elapsed{0};
  int32_t code = 0;
};

// Runs the steps of one command, keeping the name, time and code of each, and stops the
// road at the first failure (the failed step is the last one kept).
class Road {
 public:
  explicit Road(AnalyserLink& link) : link_(link) {}
  ~Road();
  Road(const Road&) = delete;
  Road& operator=(const Road&) = delete;

  AnalyserLink& link() { return link_; }
  int32_t Step(std::string name, const std::function<int32_t()>& step);
  // Open and connect; the port is closed by Close or when the road ends.
  int32_t Connect(const std::string& port);
  void Close();
  const std::vector<StepTiming>& timings() const { return timings_; }
  // The step that failed, or null.
  const StepTiming* Failure() const;

 private:
  AnalyserLink& link_;
  bool open_ = false;
  std::vector<StepTiming> timings_;
};

struct DeviceInfo {
  int32_t modelCode = 0;
  int32_t family = 0;
  std::string longName;
  std::string shortName;
  std::array<uint8_t, 5> version{};
  std::array<uint8_t, 3> protocol{};
  uint32_t serialNumber = 0;
  std::string printerAddress;
  int64_t currentTime = -1;
  int64_t calibrationTime = -1;
};

// Model (with names from the catalogue), protocol bytes, serial number, printer address, clock
// and calibration time, in that order; stops at the first failure.
int32_t ReadInfo(Road& road, DeviceInfo& info);

enum class AnalyserKind { kAuto, kHuman, kEquine };

struct DownloadOutcome {
  int32_t modelCode = 0;
  uint32_t blockHeader = 0;
  int32_t testCount = 0;    // the container's: slots before the first empty one
  int laterTests = 0;       // tests found in slots after the first empty one (kept in the set)
};

// Asks the model, picks the human or equine download by its family (or by `kind`), downloads and
// turns the container into one row per test: the slots before testCount, and any later slot
// holding a test. Rows are not calculated yet.
int32_t Download(Road& road, AnalyserKind kind, TestSet& tests, DownloadOutcome& outcome);

// KVWriteCurrentTimeAs(time), or KVWriteCurrentTime() with no time; then reads the clock back.
int32_t SetClock(Road& road, const std::optional<int64_t>& time, int64_t& clockAfter);

}  // namespace kv::cli
