// progress_link.cpp: the tool's link over the library's own C++ device link, used only where a
// download shows its progress (the exports have no callback). It owns its port and link object;
// it never touches the library's process-wide one.
#include "link/commands.h"
#include "link/comm.h"
#include "link/exchange.h"
#include "analyser.h"

namespace kv::cli {

namespace {

constexpr int32_t kPrinterAddressChars = 12;

class ProgressLink final : public AnalyserLink {
 public:
  ProgressLink() : port_(link::MakeNativeSerialPort()), comm_(*port_, link::NativeClock()) {}

  int32_t Open(const WideString& port) override {
    return comm_.Open(std::u16string_view(reinterpret_cast<const char16_t*>(port.data()), port.size()));
  }
  void Close() override { comm_.Close(); }
  int32_t Connect() override { return link::Connect(comm_); }
  int32_t ReadModelVersion(int32_t& modelCode, std::array<uint8_t, 5>& v) override {
    return link::ReadModelVersion(comm_, modelCode, v[0], v[1], v[2], v[3], v[4]);
  }
  int32_t ReadProtocolInfo(std::array<uint8_t, 3>& p) override { return link::ReadProtocolInfo(comm_, p[0], p[1], p[2]); }
  int32_t ReadSerialNumber(uint32_t& serialNumber) override { return link::ReadSerialNumber(comm_, serialNumber); }
  int32_t ReadPrinterAddress(std::string& address) override {
    KVWChar buffer[kPrinterAddressChars + 1] = {};
    const int32_t code = link::ReadPrinterAddress(comm_, buffer, kPrinterAddressChars);
    address = FromWide(buffer, kPrinterAddressChars);
    return code;
  }
  int32_t ReadCurrentTime(int64_t& time) override { return link::ReadCurrentTime(comm_, time, -1); }
  int32_t ReadCalibrationTime(int64_t& time) override { return link::ReadCalibrationTime(comm_, time); }
  int32_t WriteCurrentTimeAs(int64_t time) override { return link::WriteCurrentTimeAs(comm_, time); }
  int32_t WriteCurrentTime() override { return link::WriteCurrentTime(comm_); }
  int32_t ReadStoredTests(KVStoredTests& stored, const DownloadProgress& progress) override {
    return link::ReadStoredTestData(comm_, &stored, progress);
  }
  int32_t ReadEquineStoredTests(CXStoredTests& stored, const DownloadProgress& progress) override {
    return link::ReadEquineStoredTestData(comm_, &stored, progress);
  }

 private:
  std::unique_ptr<link::SerialPort> port_;
  link::CKVComm comm_;
};

}  // namespace

std::unique_ptr<AnalyserLink> MakeProgressLink() { return std::make_unique<ProgressLink>(); }

}  // namespace kv::cli
