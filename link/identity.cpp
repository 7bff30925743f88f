// identity.cpp: model and version, protocol information, serial number, printer address.
// Outputs are written as soon as a payload is in, before its acknowledgement is examined.
#include <array>

#include "link/ansi_text.h"
#include "link/commands.h"
#include "link/exchange.h"
#include "link/stored_tests.h"

namespace kv::link {
namespace {

constexpr size_t kPrinterAddressBytes = 12;

}  // namespace

int ReadModelVersion(CKVComm& comm, int32_t& modelCode, uint8_t& version1, uint8_t& version2, uint8_t& version3,
                     uint8_t& version4, uint8_t& version5) {
  modelCode = 0;
  version1 = version2 = version3 = version4 = version5 = 0;
  const std::span<uint8_t> payload = comm.PayloadBuffer().first(PayloadBytes(kCmdModelVersion));
  if (int rc = ReadExchange(comm, kCmdModelVersion, payload,
                            [&](std::span<const uint8_t> p) {
                              modelCode = p[0];
                              version1 = p[1];
                              version2 = p[2];
                            });
      rc != 0) {
    return rc;
  }
  const int rc = ReadExchange(comm, kCmdFurtherVersion, comm.PayloadBuffer().first(PayloadBytes(kCmdFurtherVersion)),
                              [&](std::span<const uint8_t> p) {
                                version3 = p[0];
                                version4 = p[1];
                                version5 = p[2];
                              });
  // Older analysers do not know 0x24 and answer it with something else: they simply have
  // no further version bytes. What they send after their two bytes stays queued.
  return rc == KV_ERR_ECHO ? KV_OK : rc;
}

int ReadProtocolInfo(CKVComm& comm, uint8_t& protocol1, uint8_t& protocol2, uint8_t& protocol3) {
  return ReadExchange(comm, kCmdProtocolInfo, comm.PayloadBuffer().first(PayloadBytes(kCmdProtocolInfo)),
                      [&](std::span<const uint8_t> p) {
                        protocol1 = p[0];
                        protocol2 = p[1];
                        protocol3 = p[2];
                      });
}

int ReadSerialNumber(CKVComm& comm, uint32_t& serialNumber) {
  return ReadExchange(comm, kCmdSerialNumber, comm.PayloadBuffer().first(PayloadBytes(kCmdSerialNumber)),
                      [&](std::span<const uint8_t> p) { serialNumber = BigEndian24(p.data()); });
}

int ReadPrinterAddress(CKVComm& comm, KVWChar* address, int32_t capacity) {
  if (capacity < static_cast<int32_t>(kPrinterAddressBytes)) return KV_ERR_ARGUMENT;
  return ReadExchange(comm, kCmdReadPrinterAddress, comm.PayloadBuffer().first(kPrinterAddressBytes),
                      [&](std::span<const uint8_t> p) { DecodeAnsiText(p, address, capacity); });
}

int WritePrinterAddress(CKVComm& comm, const KVWChar* address, int32_t length) {
  if (length < static_cast<int32_t>(kPrinterAddressBytes)) return KV_ERR_ARGUMENT;
  // A longer text is cut to twelve characters; only the low byte of each goes on the wire.
  std::array<char16_t, kPrinterAddressBytes> units{};
  for (size_t i = 0; i < units.size(); ++i) units[i] = static_cast<char16_t>(address[i]);
  return WriteExchange(comm, kCmdWritePrinterAddress, units);
}

}  // namespace kv::link
