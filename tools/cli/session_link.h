// session_link.h: the tool's link over a session of KorvantaSession.h: the same calls as the export
// link, plus cancel from any thread, progress, a wire trace and the session's last error in words.
// One analyser per object; the caller runs its calls on one thread and may cancel from any other.
#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <span>

#include "KorvantaSession.h"
#include "analyser.h"

namespace kv::cli {

// The session's words for its last failure, and those of this thread's last failed KVSessionOpen;
// empty when there are none.
std::string SessionErrorText(KVSession* session);
std::string OpenErrorText();

class SessionLink final : public AnalyserLink {
 public:
  // Bytes done of the block and its total; called on the thread of the download.
  using ProgressHook = std::function<void(int32_t done, int32_t total)>;
  // Bytes that crossed the line, `sent` or received, and the session's time since it opened.
  using TraceHook = std::function<void(bool sent, std::span<const uint8_t> bytes, std::chrono::microseconds time)>;

  SessionLink(ProgressHook progress, TraceHook trace) : progress_(std::move(progress)), trace_(std::move(trace)) {}
  ~SessionLink() override { Close(); }
  SessionLink(const SessionLink&) = delete;
  SessionLink& operator=(const SessionLink&) = delete;

  // Any thread, any time, also before Open: the call in flight and every later one answer -57.
  void Cancel();
  // The session's words for its last failure; empty when there is none (or no session).
  std::string LastError();

  int32_t Open(const WideString& port) override;
  void Close() override;
  int32_t Connect() override;
  int32_t ReadModelVersion(int32_t& modelCode, std::array<uint8_t, 5>& version) override;
  int32_t ReadProtocolInfo(std::array<uint8_t, 3>& protocol) override;
  int32_t ReadSerialNumber(uint32_t& serialNumber) override;
  int32_t ReadPrinterAddress(std::string& address) override;
  int32_t ReadCurrentTime(int64_t& time) override;
  int32_t ReadCalibrationTime(int64_t& time) override;
  int32_t WriteCurrentTimeAs(int64_t time) override;
  int32_t WriteCurrentTime() override;
  int32_t ReadStoredTests(KVStoredTests& stored) override;
  int32_t ReadEquineStoredTests(CXStoredTests& stored) override;

 private:
  static int32_t KV_CALL OnProgress(void* user, int32_t done, int32_t total);
  static void KV_CALL OnTrace(void* user, int32_t direction, const uint8_t* bytes, int32_t count, int64_t micros);

  ProgressHook progress_;
  TraceHook trace_;
  // Guards session_ against a Cancel from another thread while Open or Close swaps it.
  std::mutex mutex_;
  KVSession* session_ = nullptr;
  bool cancelled_ = false;
  // The last error, kept when the session closes, so a failure can still be told after the road ends.
  std::string lastError_;
};

}  // namespace kv::cli
