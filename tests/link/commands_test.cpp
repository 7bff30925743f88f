// commands_test.cpp: identity, printer address, clock and single-test commands as the chats of
// data/commands.txt: what is sent and answered, the code, and every output after it.
#include <charconv>
#include <functional>
#include <map>
#include <sstream>

#include "link/ansi_text.h"
#include "link/commands.h"
#include "link/packed_time.h"
#include "link_fixture.h"

namespace kv::link {
namespace {

using namespace testing;

// Outputs as text, separated by spaces: integers in decimal (or hex), floats in their shortest form.
template <typename... T>
std::string Text(T... values) {
  std::string text;
  auto one = [](auto v) {
    char buffer[32];
    if constexpr (std::is_floating_point_v<decltype(v)>) {
      return std::string(buffer, std::to_chars(buffer, buffer + 32, v).ptr);
    } else {
      return std::to_string(int64_t{v});
    }
  };
  ((text += (text.empty() ? "" : " ") + one(values)), ...);
  return text;
}

// Each call with the argument of its table cell, writing its outputs as text.
using Run = std::function<int(CKVComm&, int64_t, std::string&)>;
const std::map<std::string, Run> kCalls = {
    {"model", [](CKVComm& c, int64_t, std::string& o) {
       int32_t m = -7;
       uint8_t v[5] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
       const int rc = ReadModelVersion(c, m, v[0], v[1], v[2], v[3], v[4]);
       return o = Text(m, v[0], v[1], v[2], v[3], v[4]), rc;
     }},
    {"protocol", [](CKVComm& c, int64_t, std::string& o) {
       uint8_t p[3] = {0xEE, 0xEE, 0xEE};
       const int rc = ReadProtocolInfo(c, p[0], p[1], p[2]);
       return o = Text(p[0], p[1], p[2]), rc;
     }},
    {"serial", [](CKVComm& c, int64_t, std::string& o) {
       uint32_t serial = 0x1234;
       const int rc = ReadSerialNumber(c, serial);
       return o = Text(serial), rc;
     }},
    {"address", [](CKVComm& c, int64_t capacity, std::string& o) {
       std::vector<KVWChar> address(14, KVWChar{0x7777});
       const int rc = ReadPrinterAddress(c, address.data(), int32_t(capacity));
       std::ostringstream hex;
       for (KVWChar ch : address) hex << (hex.tellp() > 0 ? " " : "") << std::uppercase << std::hex << int{ch};
       return o = hex.str(), rc;
     }},
    {"write-address", [](CKVComm& c, int64_t length, std::string&) {
       const std::u16string text = u"00:1A:7D:\u20AC\u0141:99:XXXXX";
       return WritePrinterAddress(c, reinterpret_cast<const KVWChar*>(text.data()), int32_t(length));
     }},
    {"time", [](CKVComm& c, int64_t flag, std::string& o) {
       int64_t time = 0x1234;
       const int rc = ReadCurrentTime(c, time, int32_t(flag));
       return o = Text(time), rc;
     }},
    {"calibration", [](CKVComm& c, int64_t, std::string& o) {
       int64_t time = 0x1234;
       const int rc = ReadCalibrationTime(c, time);
       return o = Text(time), rc;
     }},
    {"write-time", [](CKVComm& c, int64_t time, std::string&) { return WriteCurrentTimeAs(c, time); }},
    {"korvanta", [](CKVComm& c, int64_t, std::string& o) {
       int32_t r[5] = {-1, -1, -1, -1, -1};
       float d[2] = {-1, -1};
       const int rc = ReadTestKorvanta(c, r[0], r[1], r[2], r[3], r[4], d[0], d[1]);
       return o = Text(r[0], r[1], r[2], r[3], r[4], d[0], d[1]), rc;
     }},
    {"caballix", [](CKVComm& c, int64_t, std::string& o) {
       int32_t r[7] = {-1, -1, -1, -1, -1, -1, -1};
       float d = -1;
       const int rc = ReadTestCaballix(c, r[0], r[1], r[2], r[3], r[4], r[5], r[6], d);
       return o = Text(r[0], r[1], r[2], r[3], r[4], r[5], r[6], d), rc;
     }},
};

TEST(Commands, EveryChatOfTheTableGivesItsCodeOutputsAndLeftovers) {
  UseZone("TZ=GMT0BST");
  FakeClock clock;
  for (const std::vector<std::string>& row : ReadTable("commands.txt")) {
    SCOPED_TRACE(row[0]);
    ASSERT_EQ(6u, row.size());
    std::istringstream call(row[1]);
    std::string name;
    int64_t argument = 0;
    call >> name >> argument;
    ASSERT_EQ(1u, kCalls.count(name));
    FakeSerialPort port{clock};
    CKVComm comm{port, clock};
    ASSERT_EQ(KV_OK, comm.Open(u"5"));
    port.Play(row[2]);
    std::string outputs;
    EXPECT_EQ(row[3], CodeName(kCalls.at(name)(comm, argument, outputs)));
    EXPECT_EQ(row[4], outputs);
    EXPECT_TRUE(port.ScriptDone());
    EXPECT_EQ(std::stoul(row[5]), port.InputQueued());
  }
}

TEST_F(CommandTest, EveryCommandPassesASendFailureOnAndReadsNothing) {
  port.FailCallsFrom(Call::kWriteByte, 1);
  std::string outputs;
  for (const auto& [name, run] : kCalls) EXPECT_EQ(KV_ERR_SEND, run(comm, name.ends_with("address") ? 12 : 0, outputs)) << name;
  EXPECT_EQ(1, port.CallCount(Call::kReadQueued));  // only the flush at open read anything
}

TEST(Windows1252, PublishedCharactersAndOnly27BytesDifferFromLatin1) {
  const std::pair<uint8_t, char16_t> cases[] = {{0x7F, 0x007F}, {0x80, 0x20AC}, {0x81, 0x0081}, {0x8A, 0x0160},
                                                {0x8D, 0x008D}, {0x8F, 0x008F}, {0x90, 0x0090}, {0x99, 0x2122},
                                                {0x9D, 0x009D}, {0x9F, 0x0178}, {0xA0, 0x00A0}, {0xFF, 0x00FF}};
  for (auto [byte, character] : cases) EXPECT_EQ(character, Windows1252Character(byte)) << int{byte};
  int differing = 0;
  for (int byte = 0; byte < 256; ++byte) differing += Windows1252Character(uint8_t(byte)) != char16_t(byte);
  EXPECT_EQ(32 - 5, differing);  // five of the 32 from 0x80 are undefined and keep their number
}

TEST_F(CommandTest, WriteCurrentTimeSendsThePresentTime) {
  UseZone("TZ=UTC0");
  port.AcceptAnySent();
  port.Play("< 5A 91 < 5A 00");
  const int64_t before = PresentTime();
  EXPECT_EQ(KV_OK, WriteCurrentTime(comm));
  const Bytes sent = port.SentBytes();
  ASSERT_EQ(8u, sent.size());
  // The digits, read back by the decoder packed_time_test checks, name a moment within the call.
  const int64_t written = DecodePackedTime(std::span<const uint8_t, 6>(sent.data() + 2, 6), -1);
  EXPECT_GE(written, before);
  EXPECT_LE(written, PresentTime());
}

}  // namespace
}  // namespace kv::link
