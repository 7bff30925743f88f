// download_test.cpp: the stored-test downloads over the scripted port: the kind check for every
// model code, slots of both layouts decoded field by field, empty slots, what a failed download
// leaves behind.
#include <algorithm>
#include <cstring>
#include <memory>

#include "link/commands.h"
#include "link_fixture.h"
#include "stored_records.h"

namespace kv::link {
namespace {

// mingw's g++ 12 reports a false -Wrestrict inside std::string's operator+ here.
#pragma GCC diagnostic ignored "-Wrestrict"

using namespace testing;
using namespace records;

// A 32-byte slot built from the published layout: the flags byte, then bytes and big-endian words.
struct Slot {
  std::array<uint8_t, 32> bytes{};
  Slot& Byte(size_t at, uint8_t value) { return bytes[at] = value, *this; }
  Slot& Word(size_t at, uint16_t value) { return Byte(at, uint8_t(value >> 8)).Byte(at + 1, uint8_t(value)); }
  Slot& Time(std::array<uint8_t, 6> packed) { return std::copy(packed.begin(), packed.end(), &bytes[12]), *this; }
};

std::string Hex(uint8_t byte) { return {"0123456789ABCDEF"[byte >> 4], "0123456789ABCDEF"[byte & 15]}; }

// The transcript of the download's exchanges: model and serial number (0x010203), then 0x30
// answered with the header 0xABCDEF, 100 copies of `slot` (the given ones empty) and `ack`,
// cut to `length` bytes when given.
std::string Download(uint8_t model, const Slot& slot, std::vector<size_t> empty = {}, std::string ack = " 5A 00",
                     size_t length = 0) {
  Bytes bytes = {0x5A, 0x30, 0xAB, 0xCD, 0xEF};
  for (size_t i = 0; i < 100; ++i) {
    bytes.insert(bytes.end(), slot.bytes.begin(), slot.bytes.end());
    if (std::count(empty.begin(), empty.end(), i) != 0) std::fill(bytes.end() - 32, bytes.end(), uint8_t(0x40 | i));
  }
  std::string text = "> 5A 21 < 5A 21 " + Hex(model) + " 11 22 5A 00 > 5A 23 < 5A 23 01 02 03 5A 00 > 5A 30 <";
  for (size_t i = 0; i < (length != 0 ? length : bytes.size()); ++i) text += " " + Hex(bytes[i]);
  return length != 0 ? text : text + ack;
}

// A man, activity 3, every field distinct; the bits and bytes hosts do not read are set.
Slot HumanSlot(uint8_t flags = 0xB2) {
  return Slot{}.Byte(0, flags).Byte(1, 0xEE).Byte(2, 42).Byte(3, 181).Word(4, 750).Word(6, 86).Word(8, 0x8001)
      .Word(10, 510).Time({0x30, 0x15, 0x09, 0x24, 0x12, 0x23}).Word(18, 560).Word(20, 498).Word(22, 123)
      .Word(24, 0xFFFF).Word(26, 470).Word(28, 430).Word(30, 0xBEEF);
}

// What that slot gives, with the caller's spectrum kept.
KVTestRecord ExpectedHuman(int32_t model, bool slotTimes = true, const KVTestRecord& caller = {}, int32_t sex = 1,
                           int32_t activity = 3) {
  return {model, 66051, slotTimes ? UtcSeconds(2023, 12, 24, 9, 15, 30) : -1, sex, 42, 181, 75.0f, activity, 86, 32769,
          560, 510, 470, 430, 498, 12.3f, 6553.5f, caller.spectrumCount, caller.spectrum};
}

Slot EquineSlot(uint8_t score) {
  return Slot{}.Byte(0, 0xBF).Word(1, 0xABCD).Byte(3, 165).Word(4, 0x1122).Word(6, 0x3344).Word(8, 1000)
      .Word(10, 250).Time({0x09, 0x07, 0x14, 0x05, 0x03, 0x24}).Word(18, 300).Word(20, 280).Word(22, 270)
      .Word(24, 230).Word(26, 220).Word(28, 210).Byte(30, score).Byte(31, 0x99);
}

CXTestRecord ExpectedEquine(int32_t model, bool slotTimes, int32_t score) {
  return {model, 66051, slotTimes ? UtcSeconds(2024, 3, 5, 14, 7, 9) : -1, 165, score, 300, 280, 270, 250, 230, 220,
          210, 100.0f};
}

constexpr unsigned char kUntouched = 0xA7;  // containers start filled with it, so "untouched" shows

template <typename Container>
bool SameBytes(const Container& a, const Container& b) { return std::memcmp(&a, &b, sizeof(Container)) == 0; }

class DownloadTest : public CommandTest {
  void SetUp() override { UseZone("TZ=UTC0"), CommandTest::SetUp(); }
};

// Mono 1, 3 and 9 keep no slot times; 12 and 13 are equine, 13 without slot times; a code
// outside the catalogue is downloaded as a human analyser. An equine condition score of 0 means
// none was entered: the default 5; others are kept, the highest too.
TEST_F(DownloadTest, EveryModelTakesItsKindAndRefusesTheOther) {
  for (uint8_t model : std::initializer_list<uint8_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 255}) {
    SCOPED_TRACE(int{model});
    const bool equine = model == 12 || model == 13, slotTimes = model != 1 && model != 3 && model != 9 && model != 13;
    auto human = Filled<KVStoredTests>(kUntouched);
    auto horse = Filled<CXStoredTests>(kUntouched);
    const auto humanBefore = Filled<KVStoredTests>(kUntouched);
    port.Play("> 5A 21 < 5A 21 " + Hex(model) + " 11 22 5A 00");  // the wrong kind: the model exchange alone
    EXPECT_EQ(KV_ERR_WRONG_KIND, equine ? ReadStoredTestData(comm, human.get())
                                        : ReadEquineStoredTestData(comm, horse.get()));
    EXPECT_TRUE(equine ? SameBytes(*humanBefore, *human) : SameBytes(*Filled<CXStoredTests>(kUntouched), *horse));
    EXPECT_TRUE(port.ScriptDone());
    port.Play(Download(model, equine ? EquineSlot(model == 12 ? 0 : 255) : HumanSlot()));
    ASSERT_EQ(KV_OK, equine ? ReadEquineStoredTestData(comm, horse.get()) : ReadStoredTestData(comm, human.get()));
    for (size_t i : {0, 99}) {
      EXPECT_TRUE(equine ? Fields(ExpectedEquine(model, slotTimes, model == 12 ? 5 : 255)) == Fields(horse->tests[i])
                         : Fields(ExpectedHuman(model, slotTimes, humanBefore->tests[i])) == Fields(human->tests[i]))
          << i;
    }
    EXPECT_EQ(100, equine ? horse->testCount : human->testCount);
    EXPECT_EQ(0xABCDEFu, equine ? horse->blockHeader : human->blockHeader);
    EXPECT_EQ(0u, port.InputQueued());
  }
}

// A capacity other than 100 sends nothing (the fake fails any byte written with no step for it); null
// containers are refused before the port is touched as well (frame_test, with no port open).
TEST_F(DownloadTest, AFailureStopsAtItsStepAndKeepsWhatCameBeforeIt) {
  const std::string identity = "> 5A 21 < 5A 21 07 11 22 5A 00 > 5A 23 < 5A 23 01 02 03 5A 00 > 5A 30 ";
  const struct {
    std::string transcript;
    int code;
    bool headerStored, recordsDelivered;
    int32_t capacity = KV_STORED_TEST_CAPACITY;
  } cases[] = {
      {"", KV_ERR_ARGUMENT, false, false, 99}, {"", KV_ERR_ARGUMENT, false, false, 101},
      {"> 5A 21 < 5A 21 07 00 00 5A 07", KV_ERR_ACK, false, false},
      {"> 5A 21 < 5A 21 07 11 22 5A 00 > 5A 23 < 5A 21", KV_ERR_ECHO, false, false},
      {identity + "< 5A 40", KV_ERR_ECHO, false, false},
      {identity + "< 5A 30 AB CD", KV_ERR_RECEIVE, false, false},
      {identity + "< 5A 30 AB CD EF", KV_ERR_RECEIVE, true, false},
      {Download(7, HumanSlot(), {}, "", 5 + 3199), KV_ERR_RECEIVE, true, false},  // cut in its last slot
      {Download(7, HumanSlot(), {}, " 5A 30"), KV_ERR_ACK, true, true},
      {Download(7, HumanSlot(), {}, ""), KV_ERR_RECEIVE, true, true},
  };
  // A session's download keeps nothing of a failed one: the container stays as it was, byte for byte.
  for (const bool whole : {false, true}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::to_string(whole) + " " + std::to_string(c.capacity) + ": " + c.transcript.substr(0, 60));
      port.Play(c.transcript);
      auto stored = Filled<KVStoredTests>(kUntouched, c.capacity);
      const auto before = Filled<KVStoredTests>(kUntouched, c.capacity);
      EXPECT_EQ(c.code, whole ? ReadStoredTestDataWhole(comm, stored.get()) : ReadStoredTestData(comm, stored.get()));
      EXPECT_TRUE(port.ScriptDone());
      EXPECT_EQ(c.headerStored && !whole ? 0xABCDEFu : before->blockHeader, stored->blockHeader);
      EXPECT_EQ(c.recordsDelivered && !whole ? 100 : before->testCount, stored->testCount);
      EXPECT_EQ(Fields(c.recordsDelivered && !whole ? ExpectedHuman(7, true, before->tests[5]) : before->tests[5]),
                Fields(stored->tests[5]));
      EXPECT_TRUE(!whole || SameBytes(*before, *stored));
      comm.PurgeInput();
    }
  }
}

// The flags byte: bit 3 set is a woman, bits 0 to 2 the activity level less one; the other bits are not read.
TEST_F(DownloadTest, EmptySlotsAreClearedWholeTheFirstGivesTheCountAndTheFlagsDecode) {
  const KVSpectrumPoint callersSpectrum[1] = {{5.0f, 500.0f, -4.0f}};
  const struct {
    std::vector<size_t> empty;
    uint8_t flags;
    int32_t sex, activity;
  } layouts[] = {{{0, 42}, 0x0A, 0, 3}, {{99}, 0x00, 1, 1}, {{10, 11, 40}, 0x07, 1, 8}, {{5}, 0xB9, 0, 2}};
  for (const auto& l : layouts) {
    SCOPED_TRACE(l.empty.front());
    port.Play(Download(7, HumanSlot(l.flags), l.empty));
    auto stored = Filled<KVStoredTests>(kUntouched);
    for (KVTestRecord& record : stored->tests) record.spectrumCount = 1, record.spectrum = callersSpectrum;
    const auto before = std::make_unique<KVStoredTests>(*stored);
    ASSERT_EQ(KV_OK, ReadStoredTestData(comm, stored.get()));
    EXPECT_EQ(int32_t(l.empty.front()), stored->testCount);
    for (size_t i = 0; i < 100; ++i) {
      if (std::count(l.empty.begin(), l.empty.end(), i) != 0) {
        EXPECT_TRUE(AllBytesZero(stored->tests[i])) << i;
      } else {
        EXPECT_EQ(Fields(ExpectedHuman(7, true, before->tests[i], l.sex, l.activity)), Fields(stored->tests[i])) << i;
      }
    }
  }
}

}  // namespace
}  // namespace kv::link
