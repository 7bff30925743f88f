// identity_test.cpp: model and version, protocol information, serial number and printer
// address over the scripted port: outputs, codes, and the bytes that go out and stay queued.
#include <optional>

#include "link/ansi_text.h"
#include "link/commands.h"
#include "link_fixture.h"

namespace kv::link {
namespace {

using namespace testing;

struct ModelVersionCase {
  const char* name;
  Bytes replyTo21;
  std::optional<Bytes> replyTo24;  // none: 0x24 must not be sent
  int code;
  std::array<int, 6> outputs;      // model code, then the five version bytes
  size_t leftQueued;
};

class ReadModelVersionTest : public CommandTest, public ::testing::WithParamInterface<ModelVersionCase> {};

TEST_P(ReadModelVersionTest, OutputsCodeAndWhatIsLeftQueued) {
  const ModelVersionCase& c = GetParam();
  Exchange(0x21, c.replyTo21);
  if (c.replyTo24) Exchange(0x24, *c.replyTo24);
  int32_t model = -7;
  uint8_t v[5] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
  EXPECT_EQ(c.code, ReadModelVersion(comm, model, v[0], v[1], v[2], v[3], v[4]));
  EXPECT_EQ(c.outputs, (std::array<int, 6>{model, v[0], v[1], v[2], v[3], v[4]}));
  EXPECT_TRUE(port.ScriptDone());
  EXPECT_EQ(c.leftQueued, port.InputQueued());
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ReadModelVersionTest,
    ::testing::Values(
        ModelVersionCase{"BothAnswered", Answer(0x21, {0xFF, 1, 2}), Answer(0x24, {3, 4, 5}), KV_OK, {255, 1, 2, 3, 4, 5}, 0},
        // An analyser that does not know 0x24 answers with something else, and sends more.
        ModelVersionCase{"WrongEchoTo24IsSuccess", Answer(0x21, {7, 1, 2}), Bytes{kZ, 0x3F, 9, 9}, KV_OK, {7, 1, 2, 0, 0, 0}, 2},
        ModelVersionCase{"WrongAckAfter24KeepsAllSix", Answer(0x21, {7, 1, 2}), Answer(0x24, {3, 4, 5}, {kZ, 0x01}),
                         KV_ERR_ACK, {7, 1, 2, 3, 4, 5}, 0},
        ModelVersionCase{"SilenceAfterEchoOf24", Answer(0x21, {7, 1, 2}), Bytes{kZ, 0x24}, KV_ERR_RECEIVE, {7, 1, 2, 0, 0, 0}, 0},
        ModelVersionCase{"WrongEchoTo21ClearsAndStops", Bytes{kZ, 0x22, 7, 1, 2}, std::nullopt, KV_ERR_ECHO, {}, 3},
        ModelVersionCase{"WrongAckAfter21KeepsThree", Answer(0x21, {7, 1, 2}, {0x00, 0x00}), std::nullopt, KV_ERR_ACK,
                         {7, 1, 2, 0, 0, 0}, 0},
        ModelVersionCase{"CutShort21", Bytes{kZ, 0x21, 7, 1}, std::nullopt, KV_ERR_RECEIVE, {}, 0}),
    [](const auto& c) { return std::string(c.param.name); });

TEST_F(CommandTest, ProtocolInfoAndSerialNumberAreWrittenBeforeTheAckIsChecked) {
  Exchange(0x22, Answer(0x22, {0x10, 0x20, 0x30}));
  Exchange(0x22, Answer(0x22, {0x41, 0x42, 0x43}, {kZ, kZ}));
  Exchange(0x22, {kZ, 0x21});
  Exchange(0x23, Answer(0x23, {0xFF, 0xFE, 0xFD}));
  Exchange(0x23, Answer(0x23, {0x01, 0x02, 0x03}, {kZ, 0x01}));
  Exchange(0x23, {kZ, 0x24});
  uint8_t p[3] = {};
  EXPECT_EQ(KV_OK, ReadProtocolInfo(comm, p[0], p[1], p[2]));
  EXPECT_EQ((Bytes{0x10, 0x20, 0x30}), Bytes(p, p + 3));
  EXPECT_EQ(KV_ERR_ACK, ReadProtocolInfo(comm, p[0], p[1], p[2]));
  EXPECT_EQ((Bytes{0x41, 0x42, 0x43}), Bytes(p, p + 3));
  EXPECT_EQ(KV_ERR_ECHO, ReadProtocolInfo(comm, p[0], p[1], p[2]));
  EXPECT_EQ((Bytes{0x41, 0x42, 0x43}), Bytes(p, p + 3));
  uint32_t serial = 0;
  EXPECT_EQ(KV_OK, ReadSerialNumber(comm, serial));
  EXPECT_EQ(0xFFFEFDu, serial);
  EXPECT_EQ(KV_ERR_ACK, ReadSerialNumber(comm, serial));
  EXPECT_EQ(66051u, serial);  // 1 * 65536 + 2 * 256 + 3, big-endian
  EXPECT_EQ(KV_ERR_ECHO, ReadSerialNumber(comm, serial));
  EXPECT_EQ(66051u, serial);
  EXPECT_TRUE(port.ScriptDone());
}

TEST_F(CommandTest, EveryIdentityCommandPassesASendFailureOn) {
  port.FailCallsFrom(Call::kWriteByte, 1);
  int32_t model = 5;
  uint8_t v[5] = {};
  uint32_t serial = 0;
  std::array<KVWChar, 12> address{};
  EXPECT_EQ(KV_ERR_SEND, ReadModelVersion(comm, model, v[0], v[1], v[2], v[3], v[4]));
  EXPECT_EQ(KV_ERR_SEND, ReadProtocolInfo(comm, v[0], v[1], v[2]));
  EXPECT_EQ(KV_ERR_SEND, ReadSerialNumber(comm, serial));
  EXPECT_EQ(KV_ERR_SEND, ReadPrinterAddress(comm, address.data(), 12));
  EXPECT_EQ(KV_ERR_SEND, WritePrinterAddress(comm, address.data(), 12));
  EXPECT_EQ(1, port.CallCount(Call::kReadQueued));  // only the flush at open read anything
}

// The address as Windows-1252 reads it, a zero byte as a zero character, no terminator added.
const Bytes kAddressBytes = {'1', '2', ':', 'A', 'B', 0x00, 'z', 0x80, 0xE9, 0x9C, ' ', '~'};
const std::vector<KVWChar> kAddressCharacters = {u'1', u'2', u':', u'A', u'B', 0x0000,
                                                 u'z', 0x20AC, 0x00E9, 0x0153, u' ', u'~'};

TEST_F(CommandTest, PrinterAddressReadsTwelveCharactersAndLeavesTheRestOfTheBuffer) {
  Exchange(0x32, Answer(0x32, kAddressBytes));
  Exchange(0x32, Answer(0x32, kAddressBytes, {kZ, 0x02}));
  Exchange(0x32, {kZ, 0x33});
  std::vector<KVWChar> buffer(14, KVWChar{0x7777});
  EXPECT_EQ(KV_ERR_ARGUMENT, ReadPrinterAddress(comm, buffer.data(), 11));
  EXPECT_TRUE(port.Sent().empty());
  EXPECT_EQ(KV_OK, ReadPrinterAddress(comm, buffer.data(), 14));
  std::vector<KVWChar> expected = kAddressCharacters;
  expected.insert(expected.end(), 2, KVWChar{0x7777});
  EXPECT_EQ(expected, buffer);
  std::vector<KVWChar> again(12, KVWChar{0x7777});
  EXPECT_EQ(KV_ERR_ACK, ReadPrinterAddress(comm, again.data(), 12));
  EXPECT_EQ(kAddressCharacters, again);
  std::vector<KVWChar> untouched(12, KVWChar{0x7777});
  EXPECT_EQ(KV_ERR_ECHO, ReadPrinterAddress(comm, untouched.data(), 12));
  EXPECT_EQ(std::vector<KVWChar>(12, KVWChar{0x7777}), untouched);
}

TEST_F(CommandTest, PrinterAddressWriteSendsTheLowBytesOfTheFirstTwelve) {
  // Twenty characters; the euro sign (0x20AC) goes out as 0xAC, 0x0141 as 0x41.
  const std::u16string text = u"00:1A:7D:\u20AC\u0141:99:XXXXX";
  const auto* address = reinterpret_cast<const KVWChar*>(text.data());
  EXPECT_EQ(KV_ERR_ARGUMENT, WritePrinterAddress(comm, address, 11));
  EXPECT_TRUE(port.Sent().empty());
  port.ExpectSent({kZ, 0x92}).Reply({kZ, 0x92});
  port.ExpectSent({'0', '0', ':', '1', 'A', ':', '7', 'D', ':', 0xAC, 0x41, ':'}).Reply({kZ, 0x00});
  EXPECT_EQ(KV_OK, WritePrinterAddress(comm, address, 20));
  EXPECT_TRUE(port.ScriptDone());
  EXPECT_EQ(14u, port.Sent().size());
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

}  // namespace
}  // namespace kv::link
