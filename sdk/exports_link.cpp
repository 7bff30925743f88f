// exports_link.cpp: C shims of the port and of sessions: the default session behind KVOpenComport
// and KVCloseComport, and the handles of KorvantaSession.h. Thin: the work is link::Session's.
#include "KorvantaSDK.h"
#include "KorvantaSession.h"
#include "export_guard.h"
#include "session_handle.h"
#include "wide_text.h"

namespace kv {

namespace {
// The words of this thread's last failed KVSessionOpen: a failed open leaves no session to ask.
thread_local std::u16string t_openError;
}  // namespace

link::Session& DefaultSession() {
  // Built on first use, destroyed at unload, closing a port the host left open.
  static const std::unique_ptr<link::Session> session = link::Session::MakeNative();
  return *session;
}

}  // namespace kv

extern "C" {

KV_API int32_t KV_CALL KVOpenComport(const KVWChar* portName) noexcept {
  return kv::Guarded([&]() -> int32_t { return kv::DefaultSession().Open(kv::ViewOf(portName)); });
}

// Close allocates nothing; only building the session on a first call here can throw, and then
// there is no port to close.
KV_API void KV_CALL KVCloseComport(void) noexcept {
  kv::GuardedVoid([&] {
    kv::DefaultSession().Run("closing the port", [](kv::link::CKVComm& comm) {
      comm.Close();
      return KV_OK;
    });
  });
}

KV_API int32_t KV_CALL KVSessionOpen(const KVWChar* portName, KVSession** session) noexcept {
  return kv::Guarded([&]() -> int32_t {
    if (session == nullptr || portName == nullptr) {
      kv::t_openError = u"opening the port: no port name or no place for the session [KV_ERR_ARGUMENT, -18]";
      if (session != nullptr) *session = nullptr;
      return KV_ERR_ARGUMENT;
    }
    *session = nullptr;
    auto handle = std::make_unique<KVSession>(KVSession{kv::link::Session::MakeNative()});
    if (int32_t rc = handle->session->Open(kv::ViewOf(portName)); rc != KV_OK) {
      kv::t_openError = handle->session->LastError();
      return rc;
    }
    *session = handle.release();
    return KV_OK;
  });
}

KV_API int32_t KV_CALL KVSessionGetOpenError(KVWChar* text, int32_t capacity) noexcept {
  if (text == nullptr || capacity < 1) return KV_ERR_ARGUMENT;
  kv::CopyTruncated(kv::t_openError, text, capacity);
  return KV_OK;
}

KV_API void KV_CALL KVSessionClose(KVSession* session) noexcept {
  if (session == nullptr) return;
  session->session->Close();
  delete session;
}

KV_API int32_t KV_CALL KVSessionCancel(KVSession* session) noexcept {
  if (session == nullptr) return KV_ERR_ARGUMENT;
  session->session->Cancel();
  return KV_OK;
}

KV_API int32_t KV_CALL KVSessionSetTimeouts(KVSession* session, int32_t handshakeMilliseconds,
                                            int32_t replySilenceMilliseconds) noexcept {
  if (session == nullptr) return KV_ERR_ARGUMENT;
  return kv::Guarded([&] { return session->session->SetTimeouts(handshakeMilliseconds, replySilenceMilliseconds); });
}

KV_API int32_t KV_CALL KVSessionSetProgress(KVSession* session, KVProgressCallback callback, void* user) noexcept {
  if (session == nullptr) return KV_ERR_ARGUMENT;
  return kv::Guarded([&] { return session->session->SetProgress(callback, user); });
}

KV_API int32_t KV_CALL KVSessionSetTrace(KVSession* session, KVTraceCallback callback, void* user) noexcept {
  if (session == nullptr) return KV_ERR_ARGUMENT;
  return kv::Guarded([&] { return session->session->SetTrace(callback, user); });
}

KV_API int32_t KV_CALL KVSessionGetLastError(KVSession* session, KVWChar* text, int32_t capacity) noexcept {
  if (session == nullptr || text == nullptr || capacity < 1) return KV_ERR_ARGUMENT;
  return kv::Guarded([&] {
    kv::CopyTruncated(session->session->LastError(), text, capacity);
    return KV_OK;
  });
}

}  // extern "C"
