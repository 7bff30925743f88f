// comm.cpp: CKVComm over the SerialPort boundary: opening, exact receive, paced send, closing.
// No platform call and no command knowledge here; time comes only from the Clock.
#include "link/comm.h"

#include <algorithm>

#include "link/port_name.h"
#include "KorvantaSDK.h"

namespace kv::link {

namespace {
// Between empty polls a receive waits this long at most, so it sees the time limit promptly.
constexpr Duration kInputWaitStep = std::chrono::milliseconds{50};
}  // namespace

CKVComm::CKVComm(SerialPort& port, Clock& clock) : port_(port), clock_(clock) {}

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
  if (!path) return KV_ERR_PORT_OPEN;
  return OpenPath(*path);
}

int CKVComm::OpenPath(std::u16string_view devicePath) {
  if (!port_.Open(devicePath)) return KV_ERR_PORT_OPEN;
  open_ = true;
  if (!port_.SetQueueSizes(kQueueBytes, kQueueBytes)) {
    ClosePort();
    return KV_ERR_PORT_QUEUES;
  }
  // Result ignored: without it reads could block, but the open has already succeeded by every
  // other measure and the driver's defaults are kept.
  port_.SetReadsReturnAtOnce();
  LineSettings settings;
  if (!port_.ReadLineSettings(settings) || !port_.WriteLineSettings(AnalyserLineSettings(settings))) {
    port_.ClearBreak();
    ClosePort();
    return KV_ERR_PORT_OPEN;
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

int CKVComm::CommReceive(std::span<uint8_t> into, Duration silenceLimit) {
  if (into.empty()) return KV_OK;
  if (!open_) return KV_ERR_RECEIVE;
  size_t received = 0;
  Duration deadline = clock_.Now() + silenceLimit;
  for (;;) {
    PortStatus status;
    if (!port_.QueryStatus(status) || status.errors != 0) return KV_ERR_RECEIVE;
    if (status.inputQueued > 0) {
      const size_t want = std::min<size_t>(status.inputQueued, into.size() - received);
      const int got = port_.ReadQueued(into.subspan(received, want));
      if (got < 0) return KV_ERR_RECEIVE;
      received += static_cast<size_t>(got);
      if (received == into.size()) return KV_OK;
      if (got > 0) {
        deadline = clock_.Now() + silenceLimit;
        continue;
      }
    }
    const Duration now = clock_.Now();
    if (now >= deadline) return KV_ERR_RECEIVE;
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
    if (now >= deadline) return;
    // One byte at 115200 baud leaves in under 0.1 ms: poll at once first, then sleep, so a
    // stalled virtual port does not burn a core.
    if (waited) clock_.Sleep(std::chrono::milliseconds{1});
    waited = true;
  }
}

void CKVComm::PauseBeforeByte() {
  // Measured on the monotonic clock, not a coarse tick count, so it never ends short.
  const Duration deadline = clock_.Now() + kBytePacing;
  for (Duration now = clock_.Now(); now < deadline; now = clock_.Now())
    clock_.Sleep(std::min(kPacingStep, deadline - now));
}

int CKVComm::CommSend(std::span<const char16_t> units) {
  if (units.empty()) return KV_OK;
  if (!open_) return KV_ERR_SEND;
  for (char16_t unit : units) {
    int attempts = 0;
    for (;;) {
      WaitOutputEmpty();
      PauseBeforeByte();
      if (port_.WriteByte(static_cast<uint8_t>(unit & 0xFF)) > 0) break;
      if (++attempts == kWriteAttempts) return KV_ERR_SEND;
    }
  }
  return KV_OK;
}

}  // namespace kv::link
