// exchange.cpp: the frame every command uses and the connect handshake, over CKVComm.
// Fixed lengths, no checksums, no retransmission: a failed step ends the exchange and the
// bytes still to come stay in the input queue for the next receive.
#include "link/exchange.h"

#include "KorvantaSDK.h"

namespace kv::link {

int Connect(CKVComm& comm) {
  Clock& clock = comm.GetClock();
  const Duration deadline = clock.Now() + kConnectTimeLimit;
  std::span<uint8_t> byte = comm.PayloadBuffer().first(1);
  byte[0] = 0;
  // The analyser starts the handshake; anything before its 0xA5 (leftovers of an earlier
  // reply, line noise) is skipped.
  for (;;) {
    const Duration now = clock.Now();
    if (now >= deadline) return KV_ERR_NO_HANDSHAKE;
    if (comm.CommReceive(byte, deadline - now) != 0) return KV_ERR_NO_HANDSHAKE;
    if (byte[0] == kHandshakeByte) break;
  }
  // Result ignored: the analyser shows whether it heard the answer by what it sends next.
  comm.CommSend({char16_t{kHandshakeByte}});
  // The analyser may repeat its 0xA5 until our answer lands; let it settle, then drop all of it.
  clock.Sleep(kConnectSettle);
  comm.PurgeInput();
  return KV_OK;
}

int SendRequest(CKVComm& comm, uint8_t command) {
  if (int rc = comm.CommSend({char16_t{kFrameStart}, char16_t{command}}); rc != 0) return rc;
  std::span<uint8_t, 2> echo = comm.ReplyBuffer();
  if (int rc = comm.CommReceive(echo); rc != 0) return rc;
  if (echo[0] != kFrameStart || echo[1] != command) return KV_ERR_ECHO;
  return KV_OK;
}

int ReceivePayload(CKVComm& comm, std::span<uint8_t> payload) { return comm.CommReceive(payload); }

int SendData(CKVComm& comm, std::span<const char16_t> units) { return comm.CommSend(units); }

int ReceiveAcknowledgement(CKVComm& comm) {
  std::span<uint8_t, 2> ack = comm.ReplyBuffer();
  if (int rc = comm.CommReceive(ack); rc != 0) return rc;
  if (ack[0] != kFrameStart || ack[1] != kAckSecond) return KV_ERR_ACK;
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
