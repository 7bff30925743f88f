// commands_test.cpp: identity, printer address, clock and single-test commands as one table of
// chats with the scripted port: what is sent and answered, the code, and every output after it.
#include "link/ansi_text.h"
#include "link/commands.h"
#include "link/packed_time.h"
#include "link_fixture.h"

namespace kv::link {
namespace {

using namespace testing;
using Outputs = std::vector<double>;  // every output of a call, in argument order
using Command = int (*)(CKVComm&, Outputs&);
constexpr int64_t kUntouched = 0x1234;

int ModelVersion(CKVComm& c, Outputs& o) {
  int32_t m = -7;
  uint8_t v[5] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
  const int rc = ReadModelVersion(c, m, v[0], v[1], v[2], v[3], v[4]);
  return o = {double(m), double(v[0]), double(v[1]), double(v[2]), double(v[3]), double(v[4])}, rc;
}
int Protocol(CKVComm& c, Outputs& o) {
  uint8_t p[3] = {0xEE, 0xEE, 0xEE};
  const int rc = ReadProtocolInfo(c, p[0], p[1], p[2]);
  return o = {double(p[0]), double(p[1]), double(p[2])}, rc;
}
int Serial(CKVComm& c, Outputs& o) {
  uint32_t serial = kUntouched;
  const int rc = ReadSerialNumber(c, serial);
  return o = {double(serial)}, rc;
}
template <int32_t kCapacity>
int ReadAddress(CKVComm& c, Outputs& o) {
  std::vector<KVWChar> address(14, KVWChar{0x7777});
  const int rc = ReadPrinterAddress(c, address.data(), kCapacity);
  return o.assign(address.begin(), address.end()), rc;
}
template <int32_t kLength>
int WriteAddress(CKVComm& c, Outputs&) {
  const std::u16string text = u"00:1A:7D:\u20AC\u0141:99:XXXXX";  // twenty characters
  return WritePrinterAddress(c, reinterpret_cast<const KVWChar*>(text.data()), kLength);
}
template <int32_t kFlag>
int CurrentTime(CKVComm& c, Outputs& o) {
  int64_t time = kUntouched;
  const int rc = kFlag == 9 ? ReadCalibrationTime(c, time) : ReadCurrentTime(c, time, kFlag);
  return o = {double(time)}, rc;
}
template <int64_t kTime>
int WriteTime(CKVComm& c, Outputs&) { return WriteCurrentTimeAs(c, kTime); }
int Korvanta(CKVComm& c, Outputs& o) {
  int32_t r[5] = {-1, -1, -1, -1, -1};
  float d[2] = {-1, -1};
  const int rc = ReadTestKorvanta(c, r[0], r[1], r[2], r[3], r[4], d[0], d[1]);
  return o = {double(r[0]), double(r[1]), double(r[2]), double(r[3]), double(r[4]), d[0], d[1]}, rc;
}
int Caballix(CKVComm& c, Outputs& o) {
  int32_t r[7] = {-1, -1, -1, -1, -1, -1, -1};
  float d = -1;
  const int rc = ReadTestCaballix(c, r[0], r[1], r[2], r[3], r[4], r[5], r[6], d);
  return o = {double(r[0]), double(r[1]), double(r[2]), double(r[3]), double(r[4]), double(r[5]), double(r[6]), d}, rc;
}

struct Chat {
  const char* name;
  Command command;
  std::vector<std::pair<Bytes, Bytes>> chat;  // bytes the link must send, then the analyser's answer
  int rc;
  Outputs outputs;
  size_t leftQueued = 0;  // bytes the call left in the input queue
};

class Commands : public CommandTest, public ::testing::WithParamInterface<Chat> {
  TimeZoneScope zone{"GMT0BST"};
};

TEST_P(Commands, SendAndAnswerGiveTheCodeAndOutputs) {
  for (const auto& [sent, answer] : GetParam().chat) port.ExpectSent(sent).Reply(answer);
  Outputs outputs;
  EXPECT_EQ(GetParam().rc, GetParam().command(comm, outputs));
  EXPECT_EQ(GetParam().outputs, outputs);
  EXPECT_TRUE(port.ScriptDone());
  EXPECT_EQ(GetParam().leftQueued, port.InputQueued());
}

const Bytes kNoonJuly = {0x00, 0x00, 0x12, 0x01, 0x07, 0x24};  // 1 July 2024 12:00, summer time in GMT0BST
const int64_t kJulySummer = UtcSeconds(2024, 7, 1, 11);
const Bytes kAddress = {'1', '2', ':', 'A', 'B', 0x00, 'z', 0x80, 0xE9, 0x9C, ' ', '~'};
// As Windows-1252 reads it; the zero byte a zero character, no terminator added.
const Outputs kAddressChars = {'1', '2', ':', 'A', 'B', 0, 'z', 0x20AC, 0xE9, 0x153, ' ', '~', 0x7777, 0x7777};
const Outputs kNoAddress(14, 0x7777);
// Sixteen bytes as eight words 0x0101, 0x0202 ...; the rest must not be read.
const Bytes kSingle = {1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE,
                       0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
const Bytes r21 = {kZ, 0x21}, r22 = {kZ, 0x22}, r23 = {kZ, 0x23}, r24 = {kZ, 0x24}, r31 = {kZ, 0x31}, r32 = {kZ, 0x32},
            r33 = {kZ, 0x33}, r40 = {kZ, 0x40}, r91 = {kZ, 0x91}, r92 = {kZ, 0x92}, kAck = {kZ, 0x00};

INSTANTIATE_TEST_SUITE_P(
    Chats, Commands,
    ::testing::Values(
        Chat{"ModelAndVersion", ModelVersion, {{r21, Answer(0x21, {0xFF, 1, 2})}, {r24, Answer(0x24, {3, 4, 5})}},
            KV_OK,
             {255, 1, 2, 3, 4, 5}},
        // An analyser that does not know 0x24 answers with something else, and sends more.
        Chat{"OldModelWrongEchoTo24", ModelVersion, {{r21, Answer(0x21, {7, 1, 2})}, {r24, {kZ, 0x3F, 9, 9}}}, KV_OK,
             {7, 1, 2, 0, 0, 0}, 2},
        Chat{"ModelAckAfter24", ModelVersion, {{r21, Answer(0x21, {7, 1, 2})}, {r24, Answer(0x24, {3, 4, 5}, r21)}},
             KV_ERR_ACK, {7, 1, 2, 3, 4, 5}},
        Chat{"ModelSilenceAfter24", ModelVersion, {{r21, Answer(0x21, {7, 1, 2})}, {r24, r24}}, KV_ERR_RECEIVE,
             {7, 1, 2, 0, 0, 0}},
        Chat{"ModelEchoTo21", ModelVersion, {{r21, {kZ, 0x22, 7, 1, 2}}}, KV_ERR_ECHO, {0, 0, 0, 0, 0, 0}, 3},
        Chat{"ModelAckAfter21", ModelVersion, {{r21, Answer(0x21, {7, 1, 2}, {0, 0})}}, KV_ERR_ACK, {7, 1, 2, 0, 0, 0}},
        Chat{"ModelCutShort", ModelVersion, {{r21, {kZ, 0x21, 7, 1}}}, KV_ERR_RECEIVE, {0, 0, 0, 0, 0, 0}},
        Chat{"Protocol", Protocol, {{r22, Answer(0x22, {0x10, 0x20, 0x30})}}, KV_OK, {0x10, 0x20, 0x30}},
        Chat{"ProtocolAck", Protocol, {{r22, Answer(0x22, {0x41, 0x42, 0x43}, {kZ, kZ})}}, KV_ERR_ACK, {0x41, 0x42,
            0x43}},
        Chat{"ProtocolEcho", Protocol, {{r22, r21}}, KV_ERR_ECHO, {0xEE, 0xEE, 0xEE}},
        Chat{"SerialBigEndian", Serial, {{r23, Answer(0x23, {1, 2, 3})}}, KV_OK, {66051}},
        Chat{"SerialAck", Serial, {{r23, Answer(0x23, {0xFF, 0xFE, 0xFD}, {kZ, 1})}}, KV_ERR_ACK, {0xFFFEFD}},
        Chat{"SerialAckWithoutZ", Serial, {{r23, Answer(0x23, {0, 0x30, 0x39}, {0, 0})}}, KV_ERR_ACK, {12345}},
        Chat{"SerialAckCarriesMore", Serial, {{r23, Answer(0x23, {0, 0x30, 0x39}, {kZ, 0, kZ})}}, KV_OK, {12345}, 1},
        Chat{"SerialEchoWithoutZ", Serial, {{r23, {0x5B, 0x23, 0, 0x30, 0x39, kZ, 0}}}, KV_ERR_ECHO, {kUntouched}, 5},
        Chat{"SerialSilence", Serial, {{r23, {}}}, KV_ERR_RECEIVE, {kUntouched}},
        Chat{"SerialCutShort", Serial, {{r23, {kZ, 0x23, 0, 0x30}}}, KV_ERR_RECEIVE, {kUntouched}},
        Chat{"SerialHalfAnAck", Serial, {{r23, {kZ, 0x23, 0, 0x30, 0x39, kZ}}}, KV_ERR_RECEIVE, {12345}},
        Chat{"Address", ReadAddress<14>, {{r32, Answer(0x32, kAddress)}}, KV_OK, kAddressChars},
        Chat{"AddressAck", ReadAddress<12>, {{r32, Answer(0x32, kAddress, {kZ, 2})}}, KV_ERR_ACK, kAddressChars},
        Chat{"AddressEcho", ReadAddress<12>, {{r32, r33}}, KV_ERR_ECHO, kNoAddress},
        Chat{"AddressTooSmall", ReadAddress<11>, {}, KV_ERR_ARGUMENT, kNoAddress},
        // The euro sign (0x20AC) goes out as 0xAC, 0x0141 as 0x41; twelve characters of twenty.
        Chat{"WriteAddress", WriteAddress<20>,
             {{r92, r92}, {{'0', '0', ':', '1', 'A', ':', '7', 'D', ':', 0xAC, 0x41, ':'}, kAck}}, KV_OK, {}},
        Chat{"WriteAddressEcho", WriteAddress<12>, {{r92, r32}}, KV_ERR_ECHO, {}},
        Chat{"WriteAddressAck", WriteAddress<12>, {{r92, r92}, {{'0', '0', ':', '1', 'A', ':', '7', 'D', ':', 0xAC,
            0x41, ':'}, r92}},
             KV_ERR_ACK, {}},
        Chat{"WriteAddressTooShort", WriteAddress<11>, {}, KV_ERR_ARGUMENT, {}},
        Chat{"TimeInSummer", CurrentTime<1>, {{r31, Answer(0x31, kNoonJuly)}}, KV_OK, {double(kJulySummer)}},
        Chat{"TimeNotInSummer", CurrentTime<0>, {{r31, Answer(0x31, kNoonJuly)}}, KV_OK, {double(kJulySummer + 3600)}},
        Chat{"TimeAck", CurrentTime<0>, {{r31, Answer(0x31, {0, 0, 0, 1, 1, 0}, r31)}}, KV_ERR_ACK,
             {double(UtcSeconds(2000, 1, 1))}},
        Chat{"TimeEcho", CurrentTime<-1>, {{r31, r33}}, KV_ERR_ECHO, {kUntouched}},
        Chat{"CalibrationByTheRules", CurrentTime<9>, {{r33, Answer(0x33, kNoonJuly, r31)}}, KV_ERR_ACK,
             {double(kJulySummer)}},
        Chat{"WriteTime", WriteTime<UtcSeconds(2024, 7, 1, 11)>, {{r91, r91}, {kNoonJuly, kAck}}, KV_OK, {}},
        Chat{"WriteTimeEcho", WriteTime<0>, {{r91, r31}}, KV_ERR_ECHO, {}},
        // Converted before the request: the analyser is not left waiting for clock data.
        Chat{"WriteTimeNegative", WriteTime<-5>, {}, KV_ERR_ACK, {}},
        Chat{"WriteTimePastTheLimit", WriteTime<kBreakDownLimit>, {}, KV_ERR_ACK, {}},
        // Bytes 0-1, 2-3, 10-11, 12-13, 4-5; then 6-7 and 8-9 in tenths, divided in single precision.
        Chat{"Korvanta", Korvanta, {{r40, Answer(0x40, kSingle)}}, KV_OK,
             {0x0101, 0x0202, 0x0606, 0x0707, 0x0303, 1028.0f / 10.0f, 1285.0f / 10.0f}},
        Chat{"CaballixAck", Caballix, {{r40, Answer(0x40, kSingle, r40)}}, KV_ERR_ACK,
             {0x0101, 0x0202, 0x0303, 0x0404, 0x0505, 0x0606, 0x0707, 2056.0f / 10.0f}},
        Chat{"CaballixEcho", Caballix, {{r40, r33}}, KV_ERR_ECHO, {-1, -1, -1, -1, -1, -1, -1, -1}}),
    [](const auto& c) { return std::string(c.param.name); });

TEST_F(CommandTest, EveryCommandPassesASendFailureOnAndReadsNothing) {
  port.FailCallsFrom(Call::kWriteByte, 1);
  Outputs outputs;
  for (Command command : {ModelVersion, Protocol, Serial, ReadAddress<12>, WriteAddress<12>, CurrentTime<-1>,
                          CurrentTime<9>, WriteTime<0>, Korvanta, Caballix})
    EXPECT_EQ(KV_ERR_SEND, command(comm, outputs));
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
  TimeZoneScope zone{"UTC0"};
  port.AcceptAnySent();
  port.Reply(r91).Reply(kAck);
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
