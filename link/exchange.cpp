// exchange.cpp: the frame every command uses and the connect handshake, over CKVComm.
// Fixed lengths, no checksums, no retransmission: a failed step ends the exchange and the
// bytes still to come stay in the input queue for the next receive.
#include "link/exchange.h"

#include <chrono>
#include <cstdio>

#include "KorvantaSDK.h"

namespace kv::link {

int Connect(CKVComm& comm) {
  Clock& clock = comm.GetClock();
  const Duration limit = comm.HandshakeLimit();
  const Duration deadline = clock.Now() + limit;
  std::span<uint8_t> byte = comm.PayloadBuffer().first(1);
  byte[0] = 0;
  // The analyser starts the handshake; anything before its 0xA5 (leftovers of an earlier
  // reply, line noise) is skipped.
  for (;;) {
    const Duration now = clock.Now();
    if (now >= deadline) {
      char text[100];
      std::snprintf(text, sizeof text, "no handshake byte (0xA5) from the analyser within %lld ms",
                    static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(limit).count()));
      return comm.Fail(KV_ERR_NO_HANDSHAKE, text);
    }
    if (int rc = comm.CommReceive(byte, deadline - now); rc != 0) {
      if (rc == KV_ERR_CANCELLED) return rc;
      // A silent line ran out the whole wait: say so in the handshake's words.
      if (clock.Now() >= deadline) continue;
      return KV_ERR_NO_HANDSHAKE;
    }
    if (byte[0] == kHandshakeByte) break;
  }
  // Result ignored: the analyser shows whether it heard the answer by what it sends next.
  if (comm.CommSend({char16_t{kHandshakeByte}}) == KV_ERR_CANCELLED) return KV_ERR_CANCELLED;
  // The analyser may repeat its 0xA5 until our answer lands; let it settle, then drop all of it.
  comm.Sleep(kConnectSettle);
  if (comm.Cancelled()) return comm.Fail(KV_ERR_CANCELLED, "cancelled");
  comm.PurgeInput();
  return KV_OK;
}

int SendRequest(CKVComm& comm, uint8_t command) {
  if (int rc = comm.CommSend({char16_t{kFrameStart}, char16_t{command}}); rc != 0) return rc;
  std::span<uint8_t, 2> echo = comm.ReplyBuffer();
  if (int rc = comm.CommReceive(echo); rc != 0) return rc;
  if (echo[0] != kFrameStart || echo[1] != command) {
    char text[80];
    std::snprintf(text, sizeof text, "the analyser answered request 5A %02X with %02X %02X", command, echo[0], echo[1]);
    return comm.Fail(KV_ERR_ECHO, text);
  }
  return KV_OK;
}

int ReceivePayload(CKVComm& comm, std::span<uint8_t> payload) { return comm.CommReceive(payload); }

int SendData(CKVComm& comm, std::span<const char16_t> units) { return comm.CommSend(units); }

int ReceiveAcknowledgement(CKVComm& comm) {
  std::span<uint8_t, 2> ack = comm.ReplyBuffer();
  if (int rc = comm.CommReceive(ack); rc != 0) return rc;
  if (ack[0] != kFrameStart || ack[1] != kAckSecond) {
    char text[80];
    std::snprintf(text, sizeof text, "the analyser's acknowledgement was %02X %02X, not 5A 00", ack[0], ack[1]);
    return comm.Fail(KV_ERR_ACK, text);
  }
  return KV_OK;
}

int ReadExchange(CKVComm& comm, uint8_t command, std::span<uint8_t> payload) {
  return ReadExchange(comm, command, payload, [](std::span<const uint8_t>) {});
}

int WriteExchange(CKVComm& comm, uint8_t command, std::span<const char16_t> data) {
  if (int rc = SendRequest(comm, command); rc != 0) return rc;
  if (int rc = SendData(comm, data); rc != 0) return rc;
  return ReceiveAcknowledgement(comm);
}

}  // namespace kv::link
