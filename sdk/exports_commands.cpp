// exports_commands.cpp: C shims of the analyser's commands, each written once as a template over
// where it runs (session_handle.h) and exported twice: on the default session (KorvantaSDK.h) and
// on a host's session (KorvantaSession.h). Thin: each passes its arguments to link/commands.h.
// A null output pointer answers -18 before anything is sent, so a host's slip neither crashes it
// nor leaves the analyser mid-command.
#include "KorvantaSDK.h"
#include "KorvantaSession.h"
#include "export_guard.h"
#include "link/commands.h"
#include "link/exchange.h"
#include "session_handle.h"

namespace kv {
namespace {

using link::CKVComm;

template <typename... Pointers>
bool AnyNull(Pointers*... pointers) {
  return ((pointers == nullptr) || ...);
}

template <typename On>
int32_t Connect(On on) {
  return on("waiting for the analyser's handshake", [&](CKVComm& c) { return link::Connect(c); });
}

template <typename On>
int32_t ReadModelVersion(On on, int32_t* modelCode, uint8_t* version1, uint8_t* version2, uint8_t* version3,
                         uint8_t* version4, uint8_t* version5) {
  if (AnyNull(modelCode, version1, version2, version3, version4, version5)) return KV_ERR_ARGUMENT;
  return on("reading the model and version", [&](CKVComm& c) {
    return link::ReadModelVersion(c, *modelCode, *version1, *version2, *version3, *version4, *version5);
  });
}

template <typename On>
int32_t ReadProtocolInfo(On on, uint8_t* protocol1, uint8_t* protocol2, uint8_t* protocol3) {
  if (AnyNull(protocol1, protocol2, protocol3)) return KV_ERR_ARGUMENT;
  return on("reading the protocol information",
            [&](CKVComm& c) { return link::ReadProtocolInfo(c, *protocol1, *protocol2, *protocol3); });
}

template <typename On>
int32_t ReadSerialNumber(On on, uint32_t* serialNumber) {
  if (AnyNull(serialNumber)) return KV_ERR_ARGUMENT;
  return on("reading the serial number", [&](CKVComm& c) { return link::ReadSerialNumber(c, *serialNumber); });
}

template <typename On>
int32_t ReadPrinterAddress(On on, KVWChar* address, int32_t capacity) {
  if (AnyNull(address)) return KV_ERR_ARGUMENT;
  return on("reading the printer address", [&](CKVComm& c) { return link::ReadPrinterAddress(c, address, capacity); });
}

template <typename On>
int32_t WritePrinterAddress(On on, const KVWChar* address, int32_t length) {
  if (AnyNull(address)) return KV_ERR_ARGUMENT;
  return on("writing the printer address", [&](CKVComm& c) { return link::WritePrinterAddress(c, address, length); });
}

template <typename On>
int32_t ReadCurrentTime(On on, int64_t* time, int32_t daylightSavingFlag) {
  if (AnyNull(time)) return KV_ERR_ARGUMENT;
  return on("reading the analyser's clock", [&](CKVComm& c) { return link::ReadCurrentTime(c, *time, daylightSavingFlag); });
}

template <typename On>
int32_t ReadCalibrationTime(On on, int64_t* time) {
  if (AnyNull(time)) return KV_ERR_ARGUMENT;
  return on("reading the calibration date", [&](CKVComm& c) { return link::ReadCalibrationTime(c, *time); });
}

template <typename On>
int32_t WriteCurrentTime(On on) {
  return on("setting the analyser's clock", [&](CKVComm& c) { return link::WriteCurrentTime(c); });
}

template <typename On>
int32_t WriteCurrentTimeAs(On on, int64_t time) {
  return on("setting the analyser's clock", [&](CKVComm& c) { return link::WriteCurrentTimeAs(c, time); });
}

template <typename On>
int32_t ReadStoredTestData(On on, KVStoredTests* stored) {
  return on("downloading the stored tests", [&](CKVComm& c) {
    return On::kWholeDownloads ? link::ReadStoredTestDataWhole(c, stored) : link::ReadStoredTestData(c, stored);
  });
}

template <typename On>
int32_t ReadTestKorvanta(On on, int32_t* reading1, int32_t* reading2, int32_t* reading3, int32_t* reading4,
                         int32_t* reading5, float* decimal1, float* decimal2) {
  if (AnyNull(reading1, reading2, reading3, reading4, reading5, decimal1, decimal2)) return KV_ERR_ARGUMENT;
  return on("reading the single test", [&](CKVComm& c) {
    return link::ReadTestKorvanta(c, *reading1, *reading2, *reading3, *reading4, *reading5, *decimal1, *decimal2);
  });
}

template <typename On>
int32_t ReadEquineStoredTestData(On on, CXStoredTests* stored) {
  return on("downloading the stored tests", [&](CKVComm& c) {
    return On::kWholeDownloads ? link::ReadEquineStoredTestDataWhole(c, stored)
                               : link::ReadEquineStoredTestData(c, stored);
  });
}

template <typename On>
int32_t ReadTestCaballix(On on, int32_t* reading1, int32_t* reading2, int32_t* reading3, int32_t* reading4,
                         int32_t* reading5, int32_t* reading6, int32_t* reading7, float* decimal) {
  if (AnyNull(reading1, reading2, reading3, reading4, reading5, reading6, reading7, decimal)) return KV_ERR_ARGUMENT;
  return on("reading the single test", [&](CKVComm& c) {
    return link::ReadTestCaballix(c, *reading1, *reading2, *reading3, *reading4, *reading5, *reading6, *reading7,
                                  *decimal);
  });
}

}  // namespace
}  // namespace kv

using kv::OnDefaultSession;
using kv::OnSession;

extern "C" {

KV_API int32_t KV_CALL KVConnect(void) noexcept {
  return kv::Guarded([&] { return kv::Connect(OnDefaultSession{}); });
}
KV_API int32_t KV_CALL KVSessionConnect(KVSession* s) noexcept {
  return kv::Guarded([&] { return kv::Connect(OnSession{s}); });
}

KV_API int32_t KV_CALL KVReadModelVersion(int32_t* modelCode, uint8_t* version1, uint8_t* version2, uint8_t* version3,
                                          uint8_t* version4, uint8_t* version5) noexcept {
  return kv::Guarded([&] {
    return kv::ReadModelVersion(OnDefaultSession{}, modelCode, version1, version2, version3, version4, version5);
  });
}
KV_API int32_t KV_CALL KVSessionReadModelVersion(KVSession* s, int32_t* modelCode, uint8_t* version1,
                                                 uint8_t* version2, uint8_t* version3, uint8_t* version4,
                                                 uint8_t* version5) noexcept {
  return kv::Guarded(
      [&] { return kv::ReadModelVersion(OnSession{s}, modelCode, version1, version2, version3, version4, version5); });
}

KV_API int32_t KV_CALL KVReadProtocolInfo(uint8_t* protocol1, uint8_t* protocol2, uint8_t* protocol3) noexcept {
  return kv::Guarded([&] { return kv::ReadProtocolInfo(OnDefaultSession{}, protocol1, protocol2, protocol3); });
}
KV_API int32_t KV_CALL KVSessionReadProtocolInfo(KVSession* s, uint8_t* protocol1, uint8_t* protocol2,
                                                 uint8_t* protocol3) noexcept {
  return kv::Guarded([&] { return kv::ReadProtocolInfo(OnSession{s}, protocol1, protocol2, protocol3); });
}

KV_API int32_t KV_CALL KVReadSerialNumber(uint32_t* serialNumber) noexcept {
  return kv::Guarded([&] { return kv::ReadSerialNumber(OnDefaultSession{}, serialNumber); });
}
KV_API int32_t KV_CALL KVSessionReadSerialNumber(KVSession* s, uint32_t* serialNumber) noexcept {
  return kv::Guarded([&] { return kv::ReadSerialNumber(OnSession{s}, serialNumber); });
}

KV_API int32_t KV_CALL KVReadPrinterAddress(KVWChar* address, int32_t capacity) noexcept {
  return kv::Guarded([&] { return kv::ReadPrinterAddress(OnDefaultSession{}, address, capacity); });
}
KV_API int32_t KV_CALL KVSessionReadPrinterAddress(KVSession* s, KVWChar* address, int32_t capacity) noexcept {
  return kv::Guarded([&] { return kv::ReadPrinterAddress(OnSession{s}, address, capacity); });
}

KV_API int32_t KV_CALL KVWritePrinterAddress(const KVWChar* address, int32_t length) noexcept {
  return kv::Guarded([&] { return kv::WritePrinterAddress(OnDefaultSession{}, address, length); });
}
KV_API int32_t KV_CALL KVSessionWritePrinterAddress(KVSession* s, const KVWChar* address, int32_t length) noexcept {
  return kv::Guarded([&] { return kv::WritePrinterAddress(OnSession{s}, address, length); });
}

KV_API int32_t KV_CALL KVReadCurrentTime(int64_t* time, int32_t daylightSavingFlag) noexcept {
  return kv::Guarded([&] { return kv::ReadCurrentTime(OnDefaultSession{}, time, daylightSavingFlag); });
}
KV_API int32_t KV_CALL KVSessionReadCurrentTime(KVSession* s, int64_t* time, int32_t daylightSavingFlag) noexcept {
  return kv::Guarded([&] { return kv::ReadCurrentTime(OnSession{s}, time, daylightSavingFlag); });
}

KV_API int32_t KV_CALL KVReadCalibrationTime(int64_t* time) noexcept {
  return kv::Guarded([&] { return kv::ReadCalibrationTime(OnDefaultSession{}, time); });
}
KV_API int32_t KV_CALL KVSessionReadCalibrationTime(KVSession* s, int64_t* time) noexcept {
  return kv::Guarded([&] { return kv::ReadCalibrationTime(OnSession{s}, time); });
}

KV_API int32_t KV_CALL KVWriteCurrentTime(void) noexcept {
  return kv::Guarded([&] { return kv::WriteCurrentTime(OnDefaultSession{}); });
}
KV_API int32_t KV_CALL KVSessionWriteCurrentTime(KVSession* s) noexcept {
  return kv::Guarded([&] { return kv::WriteCurrentTime(OnSession{s}); });
}

KV_API int32_t KV_CALL KVWriteCurrentTimeAs(int64_t time) noexcept {
  return kv::Guarded([&] { return kv::WriteCurrentTimeAs(OnDefaultSession{}, time); });
}
KV_API int32_t KV_CALL KVSessionWriteCurrentTimeAs(KVSession* s, int64_t time) noexcept {
  return kv::Guarded([&] { return kv::WriteCurrentTimeAs(OnSession{s}, time); });
}

KV_API int32_t KV_CALL KVReadStoredTestData(KVStoredTests* stored) noexcept {
  return kv::Guarded([&] { return kv::ReadStoredTestData(OnDefaultSession{}, stored); });
}
KV_API int32_t KV_CALL KVSessionReadStoredTestData(KVSession* s, KVStoredTests* stored) noexcept {
  return kv::Guarded([&] { return kv::ReadStoredTestData(OnSession{s}, stored); });
}

KV_API int32_t KV_CALL KVReadTestKorvanta(int32_t* reading1, int32_t* reading2, int32_t* reading3, int32_t* reading4,
                                          int32_t* reading5, float* decimal1, float* decimal2) noexcept {
  return kv::Guarded([&] {
    return kv::ReadTestKorvanta(OnDefaultSession{}, reading1, reading2, reading3, reading4, reading5, decimal1,
                                decimal2);
  });
}
KV_API int32_t KV_CALL KVSessionReadTestKorvanta(KVSession* s, int32_t* reading1, int32_t* reading2,
                                                 int32_t* reading3, int32_t* reading4, int32_t* reading5,
                                                 float* decimal1, float* decimal2) noexcept {
  return kv::Guarded([&] {
    return kv::ReadTestKorvanta(OnSession{s}, reading1, reading2, reading3, reading4, reading5, decimal1, decimal2);
  });
}

KV_API int32_t KV_CALL CXReadStoredTestData(CXStoredTests* stored) noexcept {
  return kv::Guarded([&] { return kv::ReadEquineStoredTestData(OnDefaultSession{}, stored); });
}
KV_API int32_t KV_CALL CXSessionReadStoredTestData(KVSession* s, CXStoredTests* stored) noexcept {
  return kv::Guarded([&] { return kv::ReadEquineStoredTestData(OnSession{s}, stored); });
}

KV_API int32_t KV_CALL CXReadTestCaballix(int32_t* reading1, int32_t* reading2, int32_t* reading3, int32_t* reading4,
                                          int32_t* reading5, int32_t* reading6, int32_t* reading7,
                                          float* decimal) noexcept {
  return kv::Guarded([&] {
    return kv::ReadTestCaballix(OnDefaultSession{}, reading1, reading2, reading3, reading4, reading5, reading6,
                                reading7, decimal);
  });
}
KV_API int32_t KV_CALL CXSessionReadTestCaballix(KVSession* s, int32_t* reading1, int32_t* reading2,
                                                 int32_t* reading3, int32_t* reading4, int32_t* reading5,
                                                 int32_t* reading6, int32_t* reading7, float* decimal) noexcept {
  return kv::Guarded([&] {
    return kv::ReadTestCaballix(OnSession{s}, reading1, reading2, reading3, reading4, reading5, reading6, reading7,
                                decimal);
  });
}

}  // extern "C"
