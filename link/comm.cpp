// comm.cpp: CKVComm over the SerialPort boundary: opening, exact receive, paced send, closing.
// No platform call and no command knowledge here; time comes only from the Clock.
#include "link/comm.h"

#include <algorithm>
#include <cstdio>

#include "link/port_name.h"
#include "KorvantaSDK.h"

namespace kv::link {

namespace {
// Between empty polls a receive waits this long at most, so it sees the time limit promptly.
constexpr Duration kInputWaitStep = std::chrono::milliseconds{50};

std::string LineErrorNames(uint32_t errors) {
  std::string names;
  const auto add = [&](uint32_t flag, const char* name) {
    if ((errors & flag) != 0) names += (names.empty() ? " (" : ", ") + std::string(name);
  };
  add(kPortErrorFraming, "framing");
  add(kPortErrorParity, "parity");
  add(kPortErrorOverrun, "overrun");
  add(kPortErrorBreak, "break");
  add(kPortErrorOther, "hang-up or driver error");
  return names.empty() ? names : names + ")";
}
}  // namespace

CKVComm::CKVComm(SerialPort& port, Clock& clock, Wake* wake) : port_(port), clock_(clock), wake_(wake) {}

int CKVComm::Fail(int code, std::string text) {
  lastFailure_ = std::move(text);
  return code;
}

std::string CKVComm::SystemError() const {
  const std::string text = port_.LastSystemError();
  return text.empty() ? std::string() : ": " + text;
}

void CKVComm::Sleep(Duration duration) {
  if (wake_ != nullptr)
    wake_->Sleep(duration);
  else
    clock_.Sleep(duration);
}

CKVComm::~CKVComm() { ClosePort(); }

LineSettings CKVComm::AnalyserLineSettings(LineSettings s) {
  s.baudRate = 115200;
  s.dataBits = 8;
  s.parity = Parity::kNone;
  s.parityCheck = false;
  s.stopBits = StopBits::kOne;
  s.binary = true;
  s.ctsOutputFlow = false;
  s.dsrOutputFlow = false;
  s.dtr = LineControl::kEnabled;
  s.dsrSensitivity = false;
  s.txContinueOnXoff = true;
  s.xonXoffOutput = false;
  s.xonXoffInput = false;
  s.replaceParityErrors = false;
  s.discardNulls = false;
  s.rts = LineControl::kEnabled;
  // With abort-on-error a line error stops the driver's transfers until the next status
  // query, which reports it: that is how a receive learns of it.
  s.abortOnError = true;
  return s;
}

int CKVComm::Open(std::u16string_view portName) {
  // A failed open must leave no port open, so the old one goes first.
  ClosePort();
  const std::optional<std::u16string> path = DevicePathFor(portName, port_.Style());
  if (!path) return Fail(KV_ERR_PORT_OPEN, "the port name is too long for a device path");
  return OpenPath(*path);
}

int CKVComm::OpenPath(std::u16string_view devicePath) {
  if (!port_.Open(devicePath)) return Fail(KV_ERR_PORT_OPEN, "the port cannot be opened" + SystemError());
  open_ = true;
  if (!port_.SetQueueSizes(kQueueBytes, kQueueBytes)) {
    std::string text = "the port's queue sizes cannot be set" + SystemError();
    ClosePort();
    return Fail(KV_ERR_PORT_QUEUES, std::move(text));
  }
  // Result ignored: without it reads could block, but the open has already succeeded by every
  // other measure and the driver's defaults are kept.
  port_.SetReadsReturnAtOnce();
  LineSettings settings;
  if (!port_.ReadLineSettings(settings) || !port_.WriteLineSettings(AnalyserLineSettings(settings))) {
    std::string text = "the port's line settings cannot be read or set" + SystemError();
    port_.ClearBreak();
    ClosePort();
    return Fail(KV_ERR_PORT_OPEN, std::move(text));
  }
  // Whatever the analyser or the line left queued before the open is discarded; none of
  // these results matters.
  PortStatus ignored;
  port_.QueryStatus(ignored);
  port_.ClearBreak();
  port_.ReadQueued(std::span(payload_).first(kOpenFlushBytes));
  port_.QueryStatus(ignored);
  return KV_OK;
}

void CKVComm::Close() { ClosePort(); }

void CKVComm::ClosePort() {
  if (open_) port_.Close();
  open_ = false;
}

void CKVComm::PurgeInput() {
  if (open_) port_.PurgeInput();
}

int CKVComm::Receive(std::span<uint8_t> into, Duration silenceLimit, bool report) {
  if (into.empty()) return KV_OK;
  if (!open_) return Fail(KV_ERR_RECEIVE, "no port is open");
  const bool reporting = report && observer_ != nullptr;
  size_t received = 0;
  Duration deadline = clock_.Now() + silenceLimit;
  for (;;) {
    if (Cancelled()) return Fail(KV_ERR_CANCELLED, "cancelled");
    PortStatus status;
    if (!port_.QueryStatus(status)) return Fail(KV_ERR_RECEIVE, "the port's status cannot be read" + SystemError());
    if (status.errors != 0) return Fail(KV_ERR_RECEIVE, "the port reported a line error" + LineErrorNames(status.errors));
    if (status.inputQueued > 0) {
      size_t want = std::min<size_t>(status.inputQueued, into.size() - received);
      if (reporting) want = std::min(want, kProgressStepBytes);
      const int got = port_.ReadQueued(into.subspan(received, want));
      if (got < 0) return Fail(KV_ERR_RECEIVE, "reading the port failed" + SystemError());
      if (got > 0 && observer_ != nullptr)
        observer_->OnBytes(LinkObserver::Direction::kReceived, into.subspan(received, static_cast<size_t>(got)));
      received += static_cast<size_t>(got);
      if (got > 0 && reporting) observer_->OnProgress(received, into.size());
      if (received == into.size()) return KV_OK;
      if (got > 0) {
        deadline = clock_.Now() + silenceLimit;
        continue;
      }
    }
    const Duration now = clock_.Now();
    if (now >= deadline) {
      char text[120];
      std::snprintf(text, sizeof text, "the analyser sent nothing for %lld ms (%zu of %zu bytes in)",
                    static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(silenceLimit).count()),
                    received, into.size());
      return Fail(KV_ERR_RECEIVE, text);
    }
    port_.WaitForInput(std::min(deadline - now, kInputWaitStep));
  }
}

void CKVComm::WaitOutputEmpty() {
  const Duration deadline = clock_.Now() + kOutputDrainLimit;
  bool waited = false;
  for (;;) {
    PortStatus status;
    // A failed query counts as an empty queue: the write that follows shows whether the
    // port still works.
    if (!port_.QueryStatus(status) || status.outputQueued == 0) return;
    const Duration now = clock_.Now();
    if (now >= deadline || Cancelled()) return;
    // One byte at 115200 baud leaves in under 0.1 ms: poll at once first, then sleep, so a
    // stalled virtual port does not burn a core.
    if (waited) Sleep(std::chrono::milliseconds{1});
    waited = true;
  }
}

bool CKVComm::PauseBeforeByte() {
  // Measured on the monotonic clock, not a coarse tick count, so it never ends short.
  const Duration deadline = clock_.Now() + kBytePacing;
  for (Duration now = clock_.Now(); now < deadline; now = clock_.Now()) {
    if (Cancelled()) return false;
    Sleep(std::min(kPacingStep, deadline - now));
  }
  return !Cancelled();
}

int CKVComm::CommSend(std::span<const char16_t> units) {
  if (units.empty()) return KV_OK;
  if (!open_) return Fail(KV_ERR_SEND, "no port is open");
  for (char16_t unit : units) {
    int attempts = 0;
    for (;;) {
      WaitOutputEmpty();
      if (!PauseBeforeByte()) return Fail(KV_ERR_CANCELLED, "cancelled");
      const uint8_t byte = static_cast<uint8_t>(unit & 0xFF);
      if (port_.WriteByte(byte) > 0) {
        if (observer_ != nullptr) observer_->OnBytes(LinkObserver::Direction::kSent, std::span(&byte, 1));
        break;
      }
      if (++attempts == kWriteAttempts) return Fail(KV_ERR_SEND, "writing to the port failed" + SystemError());
    }
  }
  return KV_OK;
}

}  // namespace kv::link
