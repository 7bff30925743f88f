// session_link.cpp: the session link: each call is its KVSession twin; the hooks are handed to the
// session as its progress and trace callbacks. No output here.
#include "session_link.h"

namespace kv::cli {

namespace {

// The printer address is twelve characters with no terminator of their own.
constexpr int32_t kPrinterAddressChars = 12;
constexpr int32_t kErrorChars = 512;

}  // namespace

std::string SessionErrorText(KVSession* session) {
  KVWChar text[kErrorChars] = {};
  if (session == nullptr || KVSessionGetLastError(session, text, kErrorChars) != KV_OK) return {};
  return FromWide(text, kErrorChars);
}

std::string OpenErrorText() {
  KVWChar text[kErrorChars] = {};
  return KVSessionGetOpenError(text, kErrorChars) == KV_OK ? FromWide(text, kErrorChars) : std::string();
}

void SessionLink::Cancel() {
  std::lock_guard lock(mutex_);
  cancelled_ = true;
  if (session_ != nullptr) KVSessionCancel(session_);
}

std::string SessionLink::LastError() {
  std::lock_guard lock(mutex_);
  return session_ != nullptr ? SessionErrorText(session_) : lastError_;
}

int32_t SessionLink::Open(const WideString& port) {
  Close();
  {
    std::lock_guard lock(mutex_);
    if (cancelled_) return KV_ERR_CANCELLED;
  }
  KVSession* session = nullptr;
  if (int32_t code = KVSessionOpen(port.c_str(), &session); code != KV_OK) {
    std::string text = OpenErrorText();
    std::lock_guard lock(mutex_);
    lastError_ = std::move(text);
    return code;
  }
  if (progress_) KVSessionSetProgress(session, &SessionLink::OnProgress, this);
  if (trace_) KVSessionSetTrace(session, &SessionLink::OnTrace, this);
  std::lock_guard lock(mutex_);
  session_ = session;
  // A cancel that came while the port was opening found no session to reach; it reaches it now.
  if (cancelled_) KVSessionCancel(session_);
  return KV_OK;
}

void SessionLink::Close() {
  KVSession* session = nullptr;
  {
    std::lock_guard lock(mutex_);
    std::swap(session, session_);
    if (session != nullptr) lastError_ = SessionErrorText(session);
  }
  KVSessionClose(session);
}

int32_t SessionLink::Connect() { return KVSessionConnect(session_); }

int32_t SessionLink::ReadModelVersion(int32_t& modelCode, std::array<uint8_t, 5>& v) {
  return KVSessionReadModelVersion(session_, &modelCode, &v[0], &v[1], &v[2], &v[3], &v[4]);
}

int32_t SessionLink::ReadProtocolInfo(std::array<uint8_t, 3>& p) {
  return KVSessionReadProtocolInfo(session_, &p[0], &p[1], &p[2]);
}

int32_t SessionLink::ReadSerialNumber(uint32_t& serialNumber) {
  return KVSessionReadSerialNumber(session_, &serialNumber);
}

int32_t SessionLink::ReadPrinterAddress(std::string& address) {
  KVWChar buffer[kPrinterAddressChars + 1] = {};
  const int32_t code = KVSessionReadPrinterAddress(session_, buffer, kPrinterAddressChars);
  address = FromWide(buffer, kPrinterAddressChars);
  return code;
}

int32_t SessionLink::ReadCurrentTime(int64_t& time) { return KVSessionReadCurrentTime(session_, &time, -1); }
int32_t SessionLink::ReadCalibrationTime(int64_t& time) { return KVSessionReadCalibrationTime(session_, &time); }
int32_t SessionLink::WriteCurrentTimeAs(int64_t time) { return KVSessionWriteCurrentTimeAs(session_, time); }
int32_t SessionLink::WriteCurrentTime() { return KVSessionWriteCurrentTime(session_); }
int32_t SessionLink::ReadStoredTests(KVStoredTests& stored) { return KVSessionReadStoredTestData(session_, &stored); }
int32_t SessionLink::ReadEquineStoredTests(CXStoredTests& stored) {
  return CXSessionReadStoredTestData(session_, &stored);
}

// Nothing may be thrown back through the library: a hook that fails loses its report, not the download.
int32_t KV_CALL SessionLink::OnProgress(void* user, int32_t done, int32_t total) {
  try {
    static_cast<SessionLink*>(user)->progress_(done, total);
  } catch (...) {
  }
  return 0;
}

void KV_CALL SessionLink::OnTrace(void* user, int32_t direction, const uint8_t* bytes, int32_t count, int64_t micros) {
  try {
    static_cast<SessionLink*>(user)->trace_(direction == KV_TRACE_SENT, std::span(bytes, static_cast<size_t>(count)),
                                            std::chrono::microseconds(micros));
  } catch (...) {
  }
}

}  // namespace kv::cli
