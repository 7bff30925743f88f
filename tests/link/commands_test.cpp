// commands_test.cpp: identity, printer address, clock and single-test commands as the chats of
// data/commands.txt: what is sent and answered, the code, and every output after it.
#include <charconv>
#include <functional>
#include <map>
#include <sstream>
#include <tuple>
#include <type_traits>

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
  char buffer[32];
  ((text += (text.empty() ? "" : " ") + std::string(buffer, std::to_chars(buffer, buffer + 32, values).ptr)), ...);
  return text;
}

// Each call with the argument of its table cell, writing its outputs as text.
using Run = std::function<int(CKVComm&, int64_t, std::string&)>;

// A read whose outputs start at `init` (so an output left alone shows) and are written out after the call.
template <typename... Out>
Run Reads(int (*read)(CKVComm&, Out&...), std::type_identity_t<Out>... init) {
  return [=](CKVComm& c, int64_t, std::string& o) {
    std::tuple<Out...> outs{init...};
    const int rc = std::apply([&](Out&... v) { return read(c, v...); }, outs);
    return o = std::apply([](Out... v) { return Text(v...); }, outs), rc;
  };
}

const std::map<std::string, Run> kCalls = {
    {"model", Reads(&ReadModelVersion, -7, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE)},
    {"protocol", Reads(&ReadProtocolInfo, 0xEE, 0xEE, 0xEE)},
    {"serial", Reads(&ReadSerialNumber, 0x1234)},
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
    {"calibration", Reads(&ReadCalibrationTime, 0x1234)},
    {"write-time", [](CKVComm& c, int64_t time, std::string&) { return WriteCurrentTimeAs(c, time); }},
    {"korvanta", Reads(&ReadTestKorvanta, -1, -1, -1, -1, -1, -1, -1)},
    {"caballix", Reads(&ReadTestCaballix, -1, -1, -1, -1, -1, -1, -1, -1)},
};

TEST_F(CommandTest, EveryChatOfTheTableGivesItsCodeOutputsAndLeftovers) {
  UseZone("TZ=GMT0BST");
  for (const std::vector<std::string>& row : ReadTable("commands.txt", '|')) {
    SCOPED_TRACE(row[0]);
    ASSERT_EQ(6u, row.size());
    std::istringstream call(row[1]);
    std::string name;
    int64_t argument = 0;
    call >> name >> argument;
    ASSERT_EQ(1u, kCalls.count(name));
    port.Play(row[2]);
    std::string outputs;
    EXPECT_EQ(row[3], CodeName(kCalls.at(name)(comm, argument, outputs)));
    EXPECT_EQ(row[4], outputs);
    EXPECT_TRUE(port.ScriptDone());
    EXPECT_EQ(std::stoul(row[5]), port.InputQueued());
    comm.PurgeInput();
  }
}

// The characters of the bytes around and among the 32 from 0x80 are the AddressCodePage chat's.
TEST(Windows1252, Only27BytesDifferFromLatin1) {
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
  ASSERT_EQ(8u, port.Sent().size());
  PackedTime digits{};
  for (size_t i = 0; i < 6; ++i) digits[i] = port.Sent()[2 + i].byte;
  // The digits, read back by the decoder packed_time_test checks, name a moment within the call.
  const int64_t written = DecodePackedTime(digits, -1);
  EXPECT_GE(written, before);
  EXPECT_LE(written, PresentTime());
}

}  // namespace
}  // namespace kv::link
