// exports_link.cpp: C shims of the serial port and the handshake. NOT IMPLEMENTED YET (placeholder).
#include "KorvantaSDK.h"

extern "C" {

KV_API int32_t KV_CALL KVOpenComport(const KVWChar*) noexcept { return KV_ERR_PORT_OPEN; }
KV_API void KV_CALL KVCloseComport(void) noexcept {}
KV_API int32_t KV_CALL KVConnect(void) noexcept { return KV_ERR_NO_HANDSHAKE; }

}  // extern "C"
