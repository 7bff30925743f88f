// session_handle.h: what a KVSession handle is, and the two ways an export finds the session it
// runs on: a handle's own, or the process-wide default session of the 32 exports.
#pragma once

#include <memory>

#include "KorvantaSession.h"
#include "link/session.h"

struct KVSession {
  std::unique_ptr<kv::link::Session> session;
};

namespace kv {

// The session behind KVOpenComport and the other device-link exports of KorvantaSDK.h: built on
// first use, closed at unload (closing a port the host left open).
link::Session& DefaultSession();

// Runs a command on the default session. Its downloads keep what was received before a late
// failure, as the 32 exports always have.
struct OnDefaultSession {
  static constexpr bool kWholeDownloads = false;
  template <typename Body>
  int32_t operator()(const char* what, Body&& body) const {
    return DefaultSession().Run(what, static_cast<Body&&>(body));
  }
};

// Runs a command on a host's session: -18 for a null handle. Its downloads change the caller's
// container only when they succeed.
struct OnSession {
  KVSession* handle;
  static constexpr bool kWholeDownloads = true;
  template <typename Body>
  int32_t operator()(const char* what, Body&& body) const {
    return handle == nullptr ? KV_ERR_ARGUMENT : handle->session->Run(what, static_cast<Body&&>(body));
  }
};

}  // namespace kv
