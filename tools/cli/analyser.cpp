// analyser.cpp: the export link and the steps of info, download and set-clock. Results reach
// the caller as codes and records; messages are the caller's.
#include "analyser.h"

#include <algorithm>
#include <cstring>

#include "catalogue.h"

namespace kv::cli {

namespace {

// The printer address is twelve characters with no terminator of their own.
constexpr int32_t kPrinterAddressChars = 12;

class ExportLink final : public AnalyserLink {
 public:
  int32_t Open(const WideString& port) override { return KVOpenComport(port.c_str()); }
  void Close() override { KVCloseComport(); }
  int32_t Connect() override { return KVConnect(); }
  int32_t ReadModelVersion(int32_t& modelCode, std::array<uint8_t, 5>& v) override {
    return KVReadModelVersion(&modelCode, &v[0], &v[1], &v[2], &v[3], &v[4]);
  }
  int32_t ReadProtocolInfo(std::array<uint8_t, 3>& p) override { return KVReadProtocolInfo(&p[0], &p[1], &p[2]); }
  int32_t ReadSerialNumber(uint32_t& serialNumber) override { return KVReadSerialNumber(&serialNumber); }
  int32_t ReadPrinterAddress(std::string& address) override {
    KVWChar buffer[kPrinterAddressChars + 1] = {};
    const int32_t code = KVReadPrinterAddress(buffer, kPrinterAddressChars);
    address = FromWide(buffer, kPrinterAddressChars);
    return code;
  }
  int32_t ReadCurrentTime(int64_t& time) override { return KVReadCurrentTime(&time, -1); }
  int32_t ReadCalibrationTime(int64_t& time) override { return KVReadCalibrationTime(&time); }
  int32_t WriteCurrentTimeAs(int64_t time) override { return KVWriteCurrentTimeAs(time); }
  int32_t WriteCurrentTime() override { return KVWriteCurrentTime(); }
  int32_t ReadStoredTests(KVStoredTests& stored) override {
    return KVReadStoredTestData(&stored);
  }
  int32_t ReadEquineStoredTests(CXStoredTests& stored) override {
    return CXReadStoredTestData(&stored);
  }
};

template <class Record>
bool IsAllZero(const Record& record) {
  unsigned char bytes[sizeof(Record)];
  std::memcpy(bytes, &record, sizeof(Record));
  return std::all_of(std::begin(bytes), std::end(bytes), [](unsigned char b) { return b == 0; });
}

// Slots before testCount, then the later slots whose record is not the all-zero empty one.
template <class Row, class Container>
std::vector<Row> RowsOf(const Container& stored, DownloadOutcome& outcome) {
  std::vector<Row> rows;
  const int count = std::clamp(stored.testCount, 0, KV_STORED_TEST_CAPACITY);
  for (int slot = 0; slot < KV_STORED_TEST_CAPACITY; ++slot) {
    const auto& record = stored.tests[slot];
    if (slot >= count && IsAllZero(record)) continue;
    if (slot >= count) ++outcome.laterTests;
    Row row;
    row.slot = slot;
    row.test = record;
    rows.push_back(row);
  }
  return rows;
}

std::string ModelNameOf(int32_t modelCode, bool shortName) {
  KVWChar name[64] = {};
  if (shortName)
    KVGetDeviceModelNameShort(modelCode, name, 64);
  else
    KVGetDeviceModelName(modelCode, name, 64);
  return FromWide(name, 64);
}

}  // namespace

std::unique_ptr<AnalyserLink> MakeExportLink() { return std::make_unique<ExportLink>(); }

Road::~Road() {
  if (open_) link_.Close();
}

int32_t Road::Step(std::string name, const std::function<int32_t()>& step) {
  const auto start = std::chrono::steady_clock::now();
  const int32_t code = step();
  const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
  timings_.push_back({std::move(name), elapsed, code});
  return code;
}

int32_t Road::Connect(const std::string& port) {
  const WideString wide = ToWide(port);
  if (int32_t code = Step("opening the port", [&] { return link_.Open(wide); }); code != KV_OK) return code;
  open_ = true;
  return Step("waiting for the analyser's handshake", [&] { return link_.Connect(); });
}

void Road::Close() {
  if (!open_) return;
  open_ = false;
  Step("close port", [&] {
    link_.Close();
    return KV_OK;
  });
}

const StepTiming* Road::Failure() const {
  return !timings_.empty() && timings_.back().code != KV_OK ? &timings_.back() : nullptr;
}

int32_t ReadInfo(Road& road, DeviceInfo& info) {
  AnalyserLink& link = road.link();
  if (int32_t code = road.Step("read model and version", [&] { return link.ReadModelVersion(info.modelCode, info.version); });
      code != KV_OK)
    return code;
  info.family = KVGetDeviceFamily(info.modelCode);
  info.longName = ModelNameOf(info.modelCode, false);
  info.shortName = ModelNameOf(info.modelCode, true);
  if (int32_t code = road.Step("read protocol information", [&] { return link.ReadProtocolInfo(info.protocol); });
      code != KV_OK)
    return code;
  if (int32_t code = road.Step("read serial number", [&] { return link.ReadSerialNumber(info.serialNumber); });
      code != KV_OK)
    return code;
  if (int32_t code = road.Step("read printer address", [&] { return link.ReadPrinterAddress(info.printerAddress); });
      code != KV_OK)
    return code;
  if (int32_t code = road.Step("read clock", [&] { return link.ReadCurrentTime(info.currentTime); }); code != KV_OK)
    return code;
  return road.Step("read calibration time", [&] { return link.ReadCalibrationTime(info.calibrationTime); });
}

int32_t Download(Road& road, AnalyserKind kind, TestSet& tests, DownloadOutcome& outcome) {
  AnalyserLink& link = road.link();
  std::array<uint8_t, 5> version{};
  if (int32_t code = road.Step("read model", [&] { return link.ReadModelVersion(outcome.modelCode, version); });
      code != KV_OK)
    return code;
  const bool equine =
      kind == AnalyserKind::kAuto ? IsEquineFamily(KVGetDeviceFamily(outcome.modelCode)) : kind == AnalyserKind::kEquine;
  // The containers are large (about 9 kB); keep them off the stack.
  if (equine) {
    auto stored = std::make_unique<CXStoredTests>();
    stored->capacity = KV_STORED_TEST_CAPACITY;
    if (int32_t code = road.Step("download stored tests (equine)",
                                 [&] { return link.ReadEquineStoredTests(*stored); });
        code != KV_OK)
      return code;
    outcome.blockHeader = stored->blockHeader;
    outcome.testCount = stored->testCount;
    tests = RowsOf<EquineRow>(*stored, outcome);
  } else {
    auto stored = std::make_unique<KVStoredTests>();
    stored->capacity = KV_STORED_TEST_CAPACITY;
    if (int32_t code =
            road.Step("download stored tests", [&] { return link.ReadStoredTests(*stored); });
        code != KV_OK)
      return code;
    outcome.blockHeader = stored->blockHeader;
    outcome.testCount = stored->testCount;
    tests = RowsOf<HumanRow>(*stored, outcome);
  }
  return KV_OK;
}

int32_t SetClock(Road& road, const std::optional<int64_t>& time, int64_t& clockAfter) {
  AnalyserLink& link = road.link();
  const int32_t code = time ? road.Step("set clock", [&] { return link.WriteCurrentTimeAs(*time); })
                            : road.Step("set clock to this computer's time", [&] { return link.WriteCurrentTime(); });
  if (code != KV_OK) return code;
  return road.Step("read clock back", [&] { return link.ReadCurrentTime(clockAfter); });
}

}  // namespace kv::cli
