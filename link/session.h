// session.h: one analyser port with a link of its own: one call at a time, cancellable from any
// thread, with the host's progress and trace callbacks and the words of its last failure. It runs
// the commands of commands.h and knows none of them; the export shims say which to run.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "KorvantaSession.h"
#include "link/comm.h"

namespace kv::link {

class Session final : private LinkObserver {
 public:
  // The port must have been made with this wake, so that raising it ends the port's waits too.
  Session(std::unique_ptr<Wake> wake, std::unique_ptr<SerialPort> port, Clock& clock);
  // A session of this build's native port, wake and clock.
  static std::unique_ptr<Session> MakeNative();
  // Cancels and closes the port without waiting for a call in flight: call Close first.
  ~Session() override;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Runs body(link) as this session's one call: -57 at once when cancelled or closing, -58 at
  // once while another call runs, else the body's result. `what` names the work for the last
  // error ("reading the serial number"). Never holds the lock while the body runs.
  template <typename Body>
  int Run(const char* what, Body&& body) {
    if (int rc = Begin(what); rc != 0) return rc;
    struct EndOnExit {
      Session& session;
      const char* what;
      int rc = KV_ERR_PORT_OPEN;  // what a throwing body is reported as, like the export guard
      ~EndOnExit() { session.End(what, rc); }
    } end{*this, what};
    return end.rc = body(comm_);
  }

  // Opens (or reopens) the port, as CKVComm::Open, through Run; the trace's clock starts here.
  int Open(std::u16string_view portName);

  // Any thread: raises the wake. Never lost: a call in flight sees it in its next wait or check.
  void Cancel() { wake_->Raise(); }
  // Any thread: cancels, waits for the call in flight to return, closes the port. Later calls
  // answer -57; the session may then be destroyed.
  void Close();

  // Through Run, so that they never change under a call in flight. Milliseconds; 0 restores a
  // default, negative gives -18.
  int SetTimeouts(int32_t handshakeMilliseconds, int32_t replySilenceMilliseconds);
  int SetProgress(KVProgressCallback callback, void* user);
  int SetTrace(KVTraceCallback callback, void* user);

  // Any thread: "what: detail [CODE_NAME, code]" of the last failed call; empty if none failed.
  std::u16string LastError() const;

 private:
  int Begin(const char* what);
  void End(const char* what, int rc);
  void Record(const char* what, int rc, const std::string& detail);
  void OnBytes(Direction direction, std::span<const uint8_t> bytes) override;
  void OnProgress(size_t done, size_t total) override;

  std::unique_ptr<Wake> wake_;
  std::unique_ptr<SerialPort> port_;
  Clock& clock_;
  CKVComm comm_;
  Duration openedAt_;

  // Changed only by the session's own call (under Run); read by it without the lock.
  KVProgressCallback progress_ = nullptr;
  void* progressUser_ = nullptr;
  KVTraceCallback trace_ = nullptr;
  void* traceUser_ = nullptr;

  mutable std::mutex mutex_;
  std::condition_variable idle_;
  bool busy_ = false;
  bool closing_ = false;
  std::string lastError_;
};

}  // namespace kv::link
