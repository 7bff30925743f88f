// exports_commands.cpp: C shims of the analyser's commands. NOT IMPLEMENTED YET (placeholder).
#include "KorvantaSDK.h"

extern "C" {

KV_API int32_t KV_CALL KVReadModelVersion(int32_t*, uint8_t*, uint8_t*, uint8_t*, uint8_t*, uint8_t*) noexcept { return KV_ERR_SEND; }
KV_API int32_t KV_CALL KVReadProtocolInfo(uint8_t*, uint8_t*, uint8_t*) noexcept { return KV_ERR_SEND; }
KV_API int32_t KV_CALL KVReadSerialNumber(uint32_t*) noexcept { return KV_ERR_SEND; }
KV_API int32_t KV_CALL KVReadPrinterAddress(KVWChar*, int32_t) noexcept { return KV_ERR_SEND; }
KV_API int32_t KV_CALL KVWritePrinterAddress(const KVWChar*, int32_t) noexcept { return KV_ERR_SEND; }
KV_API int32_t KV_CALL KVReadCurrentTime(int64_t*, int32_t) noexcept { return KV_ERR_SEND; }
KV_API int32_t KV_CALL KVReadCalibrationTime(int64_t*) noexcept { return KV_ERR_SEND; }
KV_API int32_t KV_CALL KVWriteCurrentTime(void) noexcept { return KV_ERR_SEND; }
KV_API int32_t KV_CALL KVWriteCurrentTimeAs(int64_t) noexcept { return KV_ERR_SEND; }
KV_API int32_t KV_CALL KVReadStoredTestData(KVStoredTests*) noexcept { return KV_ERR_SEND; }
KV_API int32_t KV_CALL KVReadTestKorvanta(int32_t*, int32_t*, int32_t*, int32_t*, int32_t*, float*, float*) noexcept { return KV_ERR_SEND; }
KV_API int32_t KV_CALL CXReadStoredTestData(CXStoredTests*) noexcept { return KV_ERR_SEND; }
KV_API int32_t KV_CALL CXReadTestCaballix(int32_t*, int32_t*, int32_t*, int32_t*, int32_t*, int32_t*, int32_t*, float*) noexcept { return KV_ERR_SEND; }

}  // extern "C"
