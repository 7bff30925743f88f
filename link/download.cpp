// download.cpp: the stored-test download of both kinds of analyser, and the single test.
// Model, serial number, then the block; the block is decoded only once all of it is in.
#include <array>
#include <memory>

#include "catalogue.h"
#include "link/commands.h"
#include "link/exchange.h"
#include "link/stored_tests.h"

namespace kv::link {
namespace {

enum class AnalyserKind { kHuman, kEquine };

// Model exchange, the kind check, serial-number exchange. Only the model byte of the
// model payload is used.
int ReadIdentity(CKVComm& comm, AnalyserKind wanted, AnalyserIdentity& identity) {
  if (int rc = ReadExchange(comm, kCmdModelVersion, comm.PayloadBuffer().first(PayloadBytes(kCmdModelVersion)),
                            [&](std::span<const uint8_t> p) { identity.modelCode = p[0]; });
      rc != 0) {
    return rc;
  }
  const int32_t family = DeviceFamily(identity.modelCode);
  // A model outside the catalogue (family 0) is taken for a human analyser.
  const AnalyserKind kind = IsEquineFamily(family) ? AnalyserKind::kEquine : AnalyserKind::kHuman;
  if (kind != wanted) return KV_ERR_WRONG_KIND;
  identity.slotTimesValid = family != KV_FAMILY_MONO && family != KV_FAMILY_CABALLIX_BASIC;
  return ReadSerialNumber(comm, identity.serialNumber);
}

// Request 0x30 and its echo, the three header bytes (stored at once), then the block.
int ReceiveBlock(CKVComm& comm, uint32_t& blockHeader, std::array<uint8_t, kBlockSize>& block) {
  if (int rc = SendRequest(comm, kCmdStoredTests); rc != 0) return rc;
  std::span<uint8_t> header = comm.PayloadBuffer().first(kBlockHeaderSize);
  if (int rc = ReceivePayload(comm, header); rc != 0) return rc;
  blockHeader = BigEndian24(header.data());
  return comm.CommReceiveReporting(block);
}

template <typename Container, typename DecodeBlock>
int Download(CKVComm& comm, Container* stored, AnalyserKind wanted, DecodeBlock decodeBlock) {
  if (stored == nullptr || stored->capacity != KV_STORED_TEST_CAPACITY) return KV_ERR_ARGUMENT;
  AnalyserIdentity identity;
  if (int rc = ReadIdentity(comm, wanted, identity); rc != 0) return rc;
  // The download's own buffer: the process-wide payload buffer is far too small.
  std::array<uint8_t, kBlockSize> block;
  if (int rc = ReceiveBlock(comm, stored->blockHeader, block); rc != 0) return rc;
  stored->testCount = decodeBlock(BlockBytes{block}, identity, std::span{stored->tests});
  return ReceiveAcknowledgement(comm);
}

// Runs the download on a copy (the human records keep the caller's spectra), committed on success.
template <typename Container, typename Read>
int DownloadWhole(CKVComm& comm, Container* stored, Read read) {
  if (stored == nullptr) return KV_ERR_ARGUMENT;
  const auto staged = std::make_unique<Container>(*stored);
  const int rc = read(comm, staged.get());
  if (rc == KV_OK) *stored = *staged;
  return rc;
}

}  // namespace

int ReadStoredTestData(CKVComm& comm, KVStoredTests* stored) {
  return Download(comm, stored, AnalyserKind::kHuman, DecodeHumanBlock);
}

int ReadEquineStoredTestData(CKVComm& comm, CXStoredTests* stored) {
  return Download(comm, stored, AnalyserKind::kEquine, DecodeEquineBlock);
}

int ReadStoredTestDataWhole(CKVComm& comm, KVStoredTests* stored) {
  return DownloadWhole(comm, stored, ReadStoredTestData);
}

int ReadEquineStoredTestDataWhole(CKVComm& comm, CXStoredTests* stored) {
  return DownloadWhole(comm, stored, ReadEquineStoredTestData);
}

int ReadTestKorvanta(CKVComm& comm, int32_t& reading1, int32_t& reading2, int32_t& reading3, int32_t& reading4,
                     int32_t& reading5, float& decimal1, float& decimal2) {
  return ReadExchange(comm, kCmdSingleTest, comm.PayloadBuffer().first(kSlotSize), [&](std::span<const uint8_t> p) {
    const KorvantaSingleTest test = DecodeKorvantaSingleTest(p.first<kSlotSize>());
    reading1 = test.readings[0];
    reading2 = test.readings[1];
    reading3 = test.readings[2];
    reading4 = test.readings[3];
    reading5 = test.readings[4];
    decimal1 = test.decimals[0];
    decimal2 = test.decimals[1];
  });
}

int ReadTestCaballix(CKVComm& comm, int32_t& reading1, int32_t& reading2, int32_t& reading3, int32_t& reading4,
                     int32_t& reading5, int32_t& reading6, int32_t& reading7, float& decimal) {
  return ReadExchange(comm, kCmdSingleTest, comm.PayloadBuffer().first(kSlotSize), [&](std::span<const uint8_t> p) {
    const CaballixSingleTest test = DecodeCaballixSingleTest(p.first<kSlotSize>());
    reading1 = test.readings[0];
    reading2 = test.readings[1];
    reading3 = test.readings[2];
    reading4 = test.readings[3];
    reading5 = test.readings[4];
    reading6 = test.readings[5];
    reading7 = test.readings[6];
    decimal = test.decimal;
  });
}

}  // namespace kv::link
