// frame_test.cpp: the frame's exports: catalogue names and families, result codes, version, null
// records and outputs refused before anything is read or sent, and the guard that turns an export body's
// exception into its failure value. The layouts a C translation unit sees are header_c_test.c's.
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <set>
#include <stdexcept>
#include <string>

#include "KorvantaSDK.h"
#include "KorvantaSession.h"
#include "export_guard.h"
#include "result_codes.h"

namespace {

std::u16string AsText(const KVWChar* text) {
  std::u16string out;
  while (*text != 0) out.push_back(static_cast<char16_t>(*text++));
  return out;
}

TEST(Catalogue, FamilyAndBothNamesOfEveryModel) {
  struct Family {
    int32_t family;
    std::initializer_list<int32_t> models;
    const char16_t* longName;
    const char16_t* shortName;
  };
  for (const Family& f : std::initializer_list<Family>{{-1, {1, 3, 9}, u"Korvanta Mono", u"Mono"},
                                                       {-2, {2, 4, 10}, u"Korvanta Mono XD", u"MonoXD"},
                                                       {-3, {5, 6}, u"Korvanta Duotrace", u"Duotrace"},
                                                       {-4, {7, 11}, u"Korvanta Quattron 40", u"Quattron"},
                                                       {-4, {14}, u"Korvanta Quattron 40 Panel", u"QPN"},
                                                       {-5, {8}, u"Korvanta Polytrace", u"Polytrace"},
                                                       {-5, {15}, u"Korvanta Polytrace Panel", u"PPN"},
                                                       {-7, {12}, u"Caballix Plus", u"Caballix Plus"},
                                                       {-6, {13}, u"Caballix Basic", u"Caballix Basic"},
                                                       {0, {0, 16, -1, 255}, u"Unknown", u"Unknown"}}) {
    for (int32_t model : f.models) {
      SCOPED_TRACE("model " + std::to_string(model));
      EXPECT_EQ(f.family, KVGetDeviceFamily(model));
      const int32_t expected = f.family == 0 ? KV_ERR_WRONG_KIND : KV_OK;
      KVWChar name[40];
      for (KVWChar& c : name) c = u'#';
      EXPECT_EQ(expected, KVGetDeviceModelName(model, name, 32));
      EXPECT_EQ(std::u16string(f.longName), AsText(name));
      EXPECT_EQ(u'#', name[std::char_traits<char16_t>::length(f.longName) + 1]);  // name and terminator only
      EXPECT_EQ(expected, KVGetDeviceModelNameShort(model, name, 32));
      EXPECT_EQ(std::u16string(f.shortName), AsText(name));
    }
  }
  for (auto* function : {&KVGetDeviceModelName, &KVGetDeviceModelNameShort}) {
    KVWChar name[40];
    for (KVWChar& c : name) c = u'#';
    for (int32_t capacity : {31, 0, -5}) EXPECT_EQ(KV_ERR_ARGUMENT, function(7, name, capacity));
    for (KVWChar c : name) EXPECT_EQ(u'#', c);
    EXPECT_EQ(KV_ERR_ARGUMENT, function(7, nullptr, 32));
    EXPECT_EQ(KV_ERR_ARGUMENT, function(99, nullptr, 32));
  }
}

TEST(ResultCodes, EveryCodeHasItsNameMeaningAndOwnValue) {
  std::set<int32_t> seen;
#define KV_RESULT_CODE(codeName, codeValue, codeMeaning)                    \
  ASSERT_NE(nullptr, kv::FindResultCode(codeName)) << #codeName;            \
  EXPECT_GT(std::string(kv::FindResultCode(codeName)->meaning).size(), 5u); \
  EXPECT_TRUE(seen.insert(codeValue).second&& codeValue <= 0) << #codeName;
#include "result_codes.inc"
#undef KV_RESULT_CODE
  EXPECT_EQ(seen.size(), kv::AllResultCodes().size());
  EXPECT_EQ(nullptr, kv::FindResultCode(-2));  // unused by design
  EXPECT_EQ(nullptr, kv::FindResultCode(-11));
}

TEST(LibraryVersion, Is1Point39AndRefusesANullOutput) {
  uint32_t major = 7, minor = 7, value = 1234;
  ASSERT_EQ(KV_OK, KVGetSdkLibraryVersion(&major, &minor));
  EXPECT_EQ((std::pair<uint32_t, uint32_t>{1, 39}), std::pair(major, minor));
  EXPECT_EQ(KV_ERR_ARGUMENT, KVGetSdkLibraryVersion(&value, nullptr));
  EXPECT_EQ(KV_ERR_ARGUMENT, KVGetSdkLibraryVersion(nullptr, &value));
  EXPECT_EQ(1234u, value);
}

// No port is open: a call that got past its pointer checks would fail on the link instead.
TEST(NullOutputs, RefusedBeforeThePortIsTouchedAndTheClosedLinkFails) {
  int32_t i = 0;
  uint8_t b = 0;
  uint32_t serial = 12345;
  float f = 0;
  KVCloseComport();
  for (int32_t code :
       {KVReadModelVersion(nullptr, &b, &b, &b, &b, &b), KVReadModelVersion(&i, &b, &b, &b, &b, nullptr),
        KVReadProtocolInfo(&b, nullptr, &b), KVReadSerialNumber(nullptr), KVReadPrinterAddress(nullptr, 12),
        KVWritePrinterAddress(nullptr, 12), KVReadCurrentTime(nullptr, -1), KVReadCalibrationTime(nullptr),
        KVReadStoredTestData(nullptr), CXReadStoredTestData(nullptr),
        KVReadTestKorvanta(nullptr, &i, &i, &i, &i, &f, &f), KVReadTestKorvanta(&i, &i, &i, &i, &i, &f, nullptr),
        CXReadTestCaballix(&i, &i, &i, nullptr, &i, &i, &i, &f),
        CXReadTestCaballix(&i, &i, &i, &i, &i, &i, &i, nullptr)})
    EXPECT_EQ(KV_ERR_ARGUMENT, code);
  // With no port open each command gets past its pointer checks to the link, which refuses to send; the
  // limits the link applies itself see the caller's arguments.
  int32_t model = 7;
  int64_t time = 0;
  KVWChar address[12] = {};
  for (int32_t code :
       {KVReadModelVersion(&model, &b, &b, &b, &b, &b), KVReadProtocolInfo(&b, &b, &b), KVReadSerialNumber(&serial),
        KVReadPrinterAddress(address, 12), KVWritePrinterAddress(address, 12), KVReadCurrentTime(&time, 0),
        KVReadCalibrationTime(&time), KVWriteCurrentTime(), KVWriteCurrentTimeAs(1719831600),
        KVReadTestKorvanta(&i, &i, &i, &i, &i, &f, &f), CXReadTestCaballix(&i, &i, &i, &i, &i, &i, &i, &f)})
    EXPECT_EQ(KV_ERR_SEND, code);
  EXPECT_EQ(12345u, serial);
  EXPECT_EQ(0, model);  // cleared through the caller's own output before the send failed
  EXPECT_EQ(KV_ERR_ARGUMENT, KVReadPrinterAddress(address, 11));
  EXPECT_EQ(KV_ERR_ARGUMENT, KVWritePrinterAddress(address, 11));
  EXPECT_EQ(KV_ERR_ACK, KVWriteCurrentTimeAs(-5));
  EXPECT_EQ(KV_ERR_NO_HANDSHAKE, KVConnect());
  for (const char16_t* name : {u"COM7", u"250"})  // "COM7" names "COMCOM7"
    EXPECT_EQ(KV_ERR_PORT_OPEN, KVOpenComport(reinterpret_cast<const KVWChar*>(name)));
  EXPECT_EQ(KV_ERR_PORT_OPEN, KVOpenComport(nullptr));
}

// Every session export refuses a null session; a port that cannot be opened leaves no session, and its
// words (the system's among them) stay for the thread that tried.
TEST(NullOutputs, SessionsRefuseANullHandleAndAFailedOpenLeavesItsWords) {
  int32_t i = 0;
  uint8_t b = 0;
  uint32_t u = 0;
  int64_t t = 0;
  float f = 0;
  KVWChar text[300] = {};
  KVStoredTests human{};
  CXStoredTests horse{};
  for (int32_t code :
       {KVSessionCancel(nullptr), KVSessionSetTimeouts(nullptr, 0, 0), KVSessionSetProgress(nullptr, nullptr, nullptr),
        KVSessionSetTrace(nullptr, nullptr, nullptr), KVSessionGetLastError(nullptr, text, 300),
        KVSessionConnect(nullptr), KVSessionReadModelVersion(nullptr, &i, &b, &b, &b, &b, &b),
        KVSessionReadProtocolInfo(nullptr, &b, &b, &b), KVSessionReadSerialNumber(nullptr, &u),
        KVSessionReadPrinterAddress(nullptr, text, 12), KVSessionWritePrinterAddress(nullptr, text, 12),
        KVSessionReadCurrentTime(nullptr, &t, 0), KVSessionReadCalibrationTime(nullptr, &t),
        KVSessionWriteCurrentTime(nullptr), KVSessionWriteCurrentTimeAs(nullptr, 0),
        KVSessionReadStoredTestData(nullptr, &human), KVSessionReadTestKorvanta(nullptr, &i, &i, &i, &i, &i, &f, &f),
        CXSessionReadStoredTestData(nullptr, &horse), CXSessionReadTestCaballix(nullptr, &i, &i, &i, &i, &i, &i, &i, &f),
        KVSessionOpen(reinterpret_cast<const KVWChar*>(u"5"), nullptr), KVSessionGetOpenError(nullptr, 10), KVSessionGetOpenError(text, 0)})
    EXPECT_EQ(KV_ERR_ARGUMENT, code);
  KVSessionClose(nullptr);
  KVSession* session = reinterpret_cast<KVSession*>(&human);
  EXPECT_EQ(KV_ERR_PORT_OPEN, KVSessionOpen(reinterpret_cast<const KVWChar*>(u"250"), &session));
  EXPECT_EQ(nullptr, session);
  ASSERT_EQ(KV_OK, KVSessionGetOpenError(text, 300));
  const std::u16string words(reinterpret_cast<const char16_t*>(text));
  EXPECT_EQ(0u, words.find(u"opening the port: the port cannot be opened: ")) << std::string(words.begin(), words.end());
  EXPECT_NE(std::u16string::npos, words.find(u"[KV_ERR_PORT_OPEN, -50]"));
}

TEST(NullOutputs, TheCalculationsRefuseANullRecordOrOutputAndWriteNothing) {
  const KVTestRecord test{};
  const CXTestRecord horse{};
  struct Outputs {
    KVResults results;
    KVNormals normals;
    CXResults equine;
    CXNormals equineNormals;
    int32_t code;
  } out;
  std::memset(&out, 0x5A, sizeof out);
  const Outputs before = out;
  for (int32_t code :
       {KVCalculateResults(nullptr, &out.results, 0), KVCalculateResults(&test, nullptr, 0),
        KVCalculateNormals(nullptr, &out.results, &out.normals), KVCalculateNormals(&test, nullptr, &out.normals),
        KVCalculateNormals(&test, &out.results, nullptr), CXCalculateResults(nullptr, &out.equine),
        CXCalculateResults(&horse, nullptr), CXCalculateNormals(nullptr, nullptr, &out.equineNormals),
        CXCalculateNormals(&horse, &out.equine, nullptr),
        KVCalculateMany(nullptr, 1, 0, &out.results, &out.normals, &out.code),
        KVCalculateMany(&test, 1, 0, nullptr, &out.normals, &out.code),
        KVCalculateMany(&test, 1, 0, &out.results, nullptr, &out.code),
        KVCalculateMany(&test, 1, 0, &out.results, &out.normals, nullptr),
        KVCalculateMany(&test, -1, 0, &out.results, &out.normals, &out.code),
        CXCalculateMany(nullptr, 1, &out.equine, &out.equineNormals, &out.code),
        CXCalculateMany(&horse, 1, nullptr, &out.equineNormals, &out.code),
        CXCalculateMany(&horse, 1, &out.equine, nullptr, &out.code),
        CXCalculateMany(&horse, 1, &out.equine, &out.equineNormals, nullptr),
        CXCalculateMany(&horse, -1, &out.equine, &out.equineNormals, &out.code)})
    EXPECT_EQ(KV_ERR_ARGUMENT, code);
  EXPECT_EQ(0, std::memcmp(&before, &out, sizeof out));
  EXPECT_EQ(KV_OK, KVCalculateMany(nullptr, 0, 0, nullptr, nullptr, nullptr));  // an empty batch needs no arrays
  EXPECT_EQ(KV_OK, CXCalculateMany(nullptr, 0, nullptr, nullptr, nullptr));
}

// A body that throws answers its failure value instead of ending the host (the program would end at the
// noexcept). What a body returns passes through every export; KVCloseComport's body running is device_e2e_test's.
TEST(Guarded, MapsEveryExceptionToTheFailureValue) {
  EXPECT_EQ(kv::kThrownResult, kv::Guarded([]() -> int32_t { throw std::bad_alloc(); }));
  EXPECT_EQ(7, kv::Guarded(7, []() -> int32_t { throw std::runtime_error("x"); }));
  kv::GuardedVoid([] { throw 1; });
}

}  // namespace
