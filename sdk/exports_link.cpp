// exports_link.cpp: C shims of the serial port and the handshake, and the one process-wide
// link object they share with the command shims. Thin: no logic beyond calling CKVComm.
#include "KorvantaSDK.h"
#include "export_guard.h"
#include "link/comm.h"
#include "link/exchange.h"
#include "wide_text.h"

namespace kv::link {

namespace {

// The backend, its clock and the link, built on first use and destroyed at unload in reverse
// order, so the link closes a port the host left open while the backend still exists.
struct ProcessLink {
  std::unique_ptr<SerialPort> port = MakeNativeSerialPort();
  CKVComm comm{*port, NativeClock()};
};

}  // namespace

CKVComm& ProcessComm() {
  static ProcessLink link;
  return link.comm;
}

}  // namespace kv::link

extern "C" {

KV_API int32_t KV_CALL KVOpenComport(const KVWChar* portName) noexcept {
  return kv::Guarded([&]() -> int32_t { return kv::link::ProcessComm().Open(kv::ViewOf(portName)); });
}

// Close allocates nothing; only building the link on a first call here can throw, and then
// there is no port to close.
KV_API void KV_CALL KVCloseComport(void) noexcept {
  kv::GuardedVoid([&] { kv::link::ProcessComm().Close(); });
}

KV_API int32_t KV_CALL KVConnect(void) noexcept {
  return kv::Guarded([&]() -> int32_t { return kv::link::Connect(kv::link::ProcessComm()); });
}

}  // extern "C"
