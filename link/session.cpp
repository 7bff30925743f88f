// session.cpp: the session's one-call-at-a-time gate, its cancel and close, its callbacks and
// the words of its last failure. The commands themselves run on its CKVComm, unchanged.
#include "link/session.h"

#include <chrono>

#include "result_codes.h"
#include "utf_convert.h"

namespace kv::link {

Session::Session(std::unique_ptr<Wake> wake, std::unique_ptr<SerialPort> port, Clock& clock)
    : wake_(std::move(wake)), port_(std::move(port)), clock_(clock), comm_(*port_, clock, wake_.get()),
      openedAt_(clock.Now()) {}

std::unique_ptr<Session> Session::MakeNative() {
  std::unique_ptr<Wake> wake = MakeNativeWake();
  std::unique_ptr<SerialPort> port = MakeNativeSerialPort(wake.get());
  return std::make_unique<Session>(std::move(wake), std::move(port), NativeClock());
}

// No wait here: the default session dies at unload or process exit, when a thread that was in a
// call may already have been ended by the system and would never mark the session idle.
Session::~Session() {
  Cancel();
  comm_.Close();
}

int Session::Open(std::u16string_view portName) {
  return Run("opening the port", [&](CKVComm& comm) {
    const int rc = comm.Open(portName);
    if (rc == KV_OK) openedAt_ = clock_.Now();
    return rc;
  });
}

void Session::Close() {
  Cancel();
  std::unique_lock lock(mutex_);
  closing_ = true;
  idle_.wait(lock, [&] { return !busy_; });
  comm_.Close();
}

int Session::Begin(const char* what) {
  std::lock_guard lock(mutex_);
  if (closing_ || wake_->Raised()) {
    Record(what, KV_ERR_CANCELLED, "the session is cancelled");
    return KV_ERR_CANCELLED;
  }
  // Refused without a word in the last error: that belongs to the call in flight.
  if (busy_) return KV_ERR_BUSY;
  busy_ = true;
  comm_.Fail(KV_OK, {});
  return KV_OK;
}

void Session::End(const char* what, int rc) {
  std::lock_guard lock(mutex_);
  if (rc != KV_OK) Record(what, rc, comm_.LastFailure());
  busy_ = false;
  idle_.notify_all();
}

void Session::Record(const char* what, int rc, const std::string& detail) {
  const ResultCodeInfo* info = FindResultCode(rc);
  std::string text = std::string(what) + ": ";
  text += !detail.empty() ? detail : info != nullptr ? info->meaning : "failed";
  text += " [" + std::string(info != nullptr ? info->name : "unknown code") + ", " + std::to_string(rc) + "]";
  lastError_ = std::move(text);
}

std::u16string Session::LastError() const {
  std::lock_guard lock(mutex_);
  return Utf16FromUtf8(lastError_);
}

int Session::SetTimeouts(int32_t handshakeMilliseconds, int32_t replySilenceMilliseconds) {
  return Run("setting the time limits", [&](CKVComm& comm) -> int {
    if (handshakeMilliseconds < 0 || replySilenceMilliseconds < 0) return comm.Fail(KV_ERR_ARGUMENT, "a time limit is negative");
    using std::chrono::milliseconds;
    comm.SetLimits(handshakeMilliseconds == 0 ? kConnectTimeLimit : milliseconds{handshakeMilliseconds},
                   replySilenceMilliseconds == 0 ? kReplySilenceLimit : milliseconds{replySilenceMilliseconds});
    return KV_OK;
  });
}

int Session::SetProgress(KVProgressCallback callback, void* user) {
  return Run("setting the progress callback", [&](CKVComm& comm) {
    progress_ = callback, progressUser_ = user;
    // Without an observer the link reads as it always has; with one, in steps it can report.
    comm.SetObserver(progress_ != nullptr || trace_ != nullptr ? this : nullptr);
    return KV_OK;
  });
}

int Session::SetTrace(KVTraceCallback callback, void* user) {
  return Run("setting the trace callback", [&](CKVComm& comm) {
    trace_ = callback, traceUser_ = user;
    comm.SetObserver(progress_ != nullptr || trace_ != nullptr ? this : nullptr);
    return KV_OK;
  });
}

void Session::OnBytes(Direction direction, std::span<const uint8_t> bytes) {
  if (trace_ == nullptr) return;
  const int64_t elapsed = (clock_.Now() - openedAt_).count();
  trace_(traceUser_, direction == Direction::kSent ? KV_TRACE_SENT : KV_TRACE_RECEIVED, bytes.data(),
         static_cast<int32_t>(bytes.size()), elapsed);
}

void Session::OnProgress(size_t done, size_t total) {
  if (progress_ != nullptr && progress_(progressUser_, static_cast<int32_t>(done), static_cast<int32_t>(total)) != 0)
    Cancel();
}

}  // namespace kv::link
