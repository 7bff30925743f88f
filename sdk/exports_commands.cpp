// exports_commands.cpp: C shims of the analyser's commands over the process-wide link.
// Thin: each passes its arguments to link/commands.h. A null output pointer answers -18 before
// anything is sent, so a host's slip neither crashes it nor leaves the analyser mid-command.
#include "KorvantaSDK.h"
#include "export_guard.h"
#include "link/comm.h"
#include "link/commands.h"

using kv::link::ProcessComm;

namespace {
template <typename... Pointers>
bool AnyNull(Pointers*... pointers) {
  return ((pointers == nullptr) || ...);
}
}  // namespace

extern "C" {

KV_API int32_t KV_CALL KVReadModelVersion(int32_t* modelCode, uint8_t* version1, uint8_t* version2, uint8_t* version3,
                                          uint8_t* version4, uint8_t* version5) noexcept {
  return kv::Guarded([&]() -> int32_t {
    if (AnyNull(modelCode, version1, version2, version3, version4, version5)) return KV_ERR_ARGUMENT;
    return kv::link::ReadModelVersion(ProcessComm(), *modelCode, *version1, *version2, *version3, *version4, *version5);
  });
}

KV_API int32_t KV_CALL KVReadProtocolInfo(uint8_t* protocol1, uint8_t* protocol2, uint8_t* protocol3) noexcept {
  return kv::Guarded([&]() -> int32_t {
    if (AnyNull(protocol1, protocol2, protocol3)) return KV_ERR_ARGUMENT;
    return kv::link::ReadProtocolInfo(ProcessComm(), *protocol1, *protocol2, *protocol3);
  });
}

KV_API int32_t KV_CALL KVReadSerialNumber(uint32_t* serialNumber) noexcept {
  return kv::Guarded([&]() -> int32_t {
    if (AnyNull(serialNumber)) return KV_ERR_ARGUMENT;
    return kv::link::ReadSerialNumber(ProcessComm(), *serialNumber);
  });
}

KV_API int32_t KV_CALL KVReadPrinterAddress(KVWChar* address, int32_t capacity) noexcept {
  return kv::Guarded([&]() -> int32_t {
    if (AnyNull(address)) return KV_ERR_ARGUMENT;
    return kv::link::ReadPrinterAddress(ProcessComm(), address, capacity);
  });
}

KV_API int32_t KV_CALL KVWritePrinterAddress(const KVWChar* address, int32_t length) noexcept {
  return kv::Guarded([&]() -> int32_t {
    if (AnyNull(address)) return KV_ERR_ARGUMENT;
    return kv::link::WritePrinterAddress(ProcessComm(), address, length);
  });
}

KV_API int32_t KV_CALL KVReadCurrentTime(int64_t* time, int32_t daylightSavingFlag) noexcept {
  return kv::Guarded([&]() -> int32_t {
    if (AnyNull(time)) return KV_ERR_ARGUMENT;
    return kv::link::ReadCurrentTime(ProcessComm(), *time, daylightSavingFlag);
  });
}

KV_API int32_t KV_CALL KVReadCalibrationTime(int64_t* time) noexcept {
  return kv::Guarded([&]() -> int32_t {
    if (AnyNull(time)) return KV_ERR_ARGUMENT;
    return kv::link::ReadCalibrationTime(ProcessComm(), *time);
  });
}

KV_API int32_t KV_CALL KVWriteCurrentTime(void) noexcept {
  return kv::Guarded([&]() -> int32_t { return kv::link::WriteCurrentTime(ProcessComm()); });
}

KV_API int32_t KV_CALL KVWriteCurrentTimeAs(int64_t time) noexcept {
  return kv::Guarded([&]() -> int32_t { return kv::link::WriteCurrentTimeAs(ProcessComm(), time); });
}

KV_API int32_t KV_CALL KVReadStoredTestData(KVStoredTests* stored) noexcept {
  return kv::Guarded([&]() -> int32_t { return kv::link::ReadStoredTestData(ProcessComm(), stored); });
}

KV_API int32_t KV_CALL KVReadTestKorvanta(int32_t* reading1, int32_t* reading2, int32_t* reading3, int32_t* reading4,
                                          int32_t* reading5, float* decimal1, float* decimal2) noexcept {
  return kv::Guarded([&]() -> int32_t {
    if (AnyNull(reading1, reading2, reading3, reading4, reading5, decimal1, decimal2)) return KV_ERR_ARGUMENT;
    return kv::link::ReadTestKorvanta(ProcessComm(), *reading1, *reading2, *reading3, *reading4, *reading5, *decimal1,
                                      *decimal2);
  });
}

KV_API int32_t KV_CALL CXReadStoredTestData(CXStoredTests* stored) noexcept {
  return kv::Guarded([&]() -> int32_t { return kv::link::ReadEquineStoredTestData(ProcessComm(), stored); });
}

KV_API int32_t KV_CALL CXReadTestCaballix(int32_t* reading1, int32_t* reading2, int32_t* reading3, int32_t* reading4,
                                          int32_t* reading5, int32_t* reading6, int32_t* reading7,
                                          float* decimal) noexcept {
  return kv::Guarded([&]() -> int32_t {
    if (AnyNull(reading1, reading2, reading3, reading4, reading5, reading6, reading7, decimal)) return KV_ERR_ARGUMENT;
    return kv::link::ReadTestCaballix(ProcessComm(), *reading1, *reading2, *reading3, *reading4, *reading5, *reading6,
                                      *reading7, *decimal);
  });
}

}  // extern "C"
