// identity_test.cpp: model and version, protocol information, serial number and printer
// address over the scripted port: outputs, codes, and the bytes that go out and stay queued.
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <vector>

#include "command_fixture.h"
#include "link/commands.h"

namespace kv::link {
namespace {

using testing::Answer;
using testing::CommandTest;
using testing::kZ;
using Call = testing::FakeSerialPort::Call;

constexpr uint8_t kSentinel = 0xEE;

struct ModelVersionOutputs {
  int32_t modelCode = -7;
  std::array<uint8_t, 5> version{kSentinel, kSentinel, kSentinel, kSentinel, kSentinel};
  friend bool operator==(const ModelVersionOutputs&, const ModelVersionOutputs&) = default;
};

void PrintTo(const ModelVersionOutputs& o, std::ostream* os) {
  *os << "model " << o.modelCode << " version";
  for (uint8_t v : o.version) *os << ' ' << int{v};
}

struct ModelVersionCase {
  const char* name;
  std::vector<uint8_t> replyTo21;
  std::optional<std::vector<uint8_t>> replyTo24;  // empty: 0x24 must not be sent
  int code;
  ModelVersionOutputs outputs;
  size_t leftQueued;
};

class ReadModelVersionTest : public CommandTest, public ::testing::WithParamInterface<ModelVersionCase> {};

TEST_P(ReadModelVersionTest, OutputsCodeAndWhatIsLeftQueued) {
  const ModelVersionCase& c = GetParam();
  Exchange(0x21, c.replyTo21);
  if (c.replyTo24) Exchange(0x24, *c.replyTo24);
  ModelVersionOutputs out;
  EXPECT_EQ(c.code, ReadModelVersion(comm, out.modelCode, out.version[0], out.version[1], out.version[2],
                                     out.version[3], out.version[4]));
  EXPECT_EQ(c.outputs, out);
  EXPECT_TRUE(port.ScriptDone());
  EXPECT_EQ(c.leftQueued, port.InputQueued());
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ReadModelVersionTest,
    ::testing::Values(
        ModelVersionCase{"BothAnswered", Answer(0x21, {7, 1, 2}), Answer(0x24, {3, 4, 5}), 0, {7, {1, 2, 3, 4, 5}}, 0},
        ModelVersionCase{"ModelByteIsUnsigned", Answer(0x21, {0xFF, 0, 0}), Answer(0x24, {0, 0, 0}), 0,
                         {255, {0, 0, 0, 0, 0}}, 0},
        // An analyser that does not know 0x24 answers with something else, and sends more.
        ModelVersionCase{"WrongEchoTo24CountsAsSuccess", Answer(0x21, {7, 1, 2}), std::vector<uint8_t>{kZ, 0x3F, 9, 9},
                         0, {7, {1, 2, 0, 0, 0}}, 2},
        ModelVersionCase{"EchoNotStartingWithZTo24AlsoSuccess", Answer(0x21, {12, 1, 2}),
                         std::vector<uint8_t>{0x00, 0x24}, 0, {12, {1, 2, 0, 0, 0}}, 0},
        ModelVersionCase{"AckWrongAfter24KeepsAllSix", Answer(0x21, {7, 1, 2}), Answer(0x24, {3, 4, 5}, {kZ, 0x01}), -54,
                         {7, {1, 2, 3, 4, 5}}, 0},
        ModelVersionCase{"SilenceAfterEchoOf24", Answer(0x21, {7, 1, 2}), std::vector<uint8_t>{kZ, 0x24}, -55,
                         {7, {1, 2, 0, 0, 0}}, 0},
        ModelVersionCase{"EchoWrongTo21ClearsAndStops", std::vector<uint8_t>{kZ, 0x22, 7, 1, 2}, std::nullopt, -53,
                         {0, {0, 0, 0, 0, 0}}, 3},
        ModelVersionCase{"AckWrongAfter21KeepsModelAndFirstTwo", Answer(0x21, {7, 1, 2}, {0x00, 0x00}), std::nullopt,
                         -54, {7, {1, 2, 0, 0, 0}}, 0},
        ModelVersionCase{"TruncatedPayloadOf21GivesModelZero", std::vector<uint8_t>{kZ, 0x21, 7, 1}, std::nullopt, -55,
                         {0, {0, 0, 0, 0, 0}}, 0},
        ModelVersionCase{"SilenceAfterEchoOf21", std::vector<uint8_t>{kZ, 0x21}, std::nullopt, -55,
                         {0, {0, 0, 0, 0, 0}}, 0}),
    [](const auto& c) { return std::string(c.param.name); });

TEST_F(CommandTest, ProtocolInfoInOrderAndKeptAfterWrongAck) {
  Exchange(0x22, Answer(0x22, {0x10, 0x20, 0x30}));
  Exchange(0x22, Answer(0x22, {0x41, 0x42, 0x43}, {kZ, 0x5A}));
  uint8_t p1 = 0, p2 = 0, p3 = 0;
  EXPECT_EQ(0, ReadProtocolInfo(comm, p1, p2, p3));
  EXPECT_EQ((std::array<uint8_t, 3>{0x10, 0x20, 0x30}), (std::array<uint8_t, 3>{p1, p2, p3}));
  EXPECT_EQ(-54, ReadProtocolInfo(comm, p1, p2, p3));
  EXPECT_EQ((std::array<uint8_t, 3>{0x41, 0x42, 0x43}), (std::array<uint8_t, 3>{p1, p2, p3}));
}

TEST_F(CommandTest, ProtocolInfoUntouchedWithoutPayload) {
  Exchange(0x22, {kZ, 0x21, 1, 2, 3});
  uint8_t p1 = kSentinel, p2 = kSentinel, p3 = kSentinel;
  EXPECT_EQ(-53, ReadProtocolInfo(comm, p1, p2, p3));
  EXPECT_EQ((std::array<uint8_t, 3>{kSentinel, kSentinel, kSentinel}), (std::array<uint8_t, 3>{p1, p2, p3}));
}

struct SerialCase {
  const char* name;
  std::vector<uint8_t> reply;
  int code;
  uint32_t serial;
};

class ReadSerialNumberTest : public CommandTest, public ::testing::WithParamInterface<SerialCase> {};

TEST_P(ReadSerialNumberTest, BigEndian24AndPartialOutputs) {
  Exchange(0x23, GetParam().reply);
  uint32_t serial = 0xDEADBEEF;
  EXPECT_EQ(GetParam().code, ReadSerialNumber(comm, serial));
  EXPECT_EQ(GetParam().serial, serial);
  EXPECT_TRUE(port.ScriptDone());
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ReadSerialNumberTest,
    ::testing::Values(SerialCase{"OneTwoThreeIs66051", Answer(0x23, {0x01, 0x02, 0x03}), 0, 66051},
                      SerialCase{"LargestIs16777215", Answer(0x23, {0xFF, 0xFF, 0xFF}), 0, 16777215},
                      SerialCase{"Zero", Answer(0x23, {0, 0, 0}), 0, 0},
                      SerialCase{"AckWrongKeepsSerial", Answer(0x23, {0x00, 0x30, 0x39}, {kZ, 0x01}), -54, 12345},
                      SerialCase{"AckNotStartingWithZ", Answer(0x23, {0x00, 0x30, 0x39}, {0x00, 0x00}), -54, 12345},
                      SerialCase{"EchoOfOtherCommand", {kZ, 0x24, 0x00, 0x30, 0x39}, -53, 0xDEADBEEF},
                      SerialCase{"TruncatedPayload", {kZ, 0x23, 0x00, 0x30}, -55, 0xDEADBEEF},
                      SerialCase{"SilenceAfterEcho", {kZ, 0x23}, -55, 0xDEADBEEF},
                      SerialCase{"Silence", {}, -55, 0xDEADBEEF}),
    [](const auto& c) { return std::string(c.param.name); });

TEST_F(CommandTest, SerialNumberLineErrorDuringPayload) {
  port.ExpectSent({kZ, 0x23}).Reply({kZ, 0x23, 0x01}).LineError(kPortErrorParity, std::chrono::milliseconds{1});
  uint32_t serial = 7;
  EXPECT_EQ(-55, ReadSerialNumber(comm, serial));
  EXPECT_EQ(7u, serial);
  EXPECT_TRUE(port.ScriptDone());  // the error came after the echo and the first byte
}

// Each command passes a failed send on unchanged, and nothing after it happens.
TEST_F(CommandTest, EveryIdentityCommandPassesASendFailureOn) {
  port.FailCallsFrom(Call::kWriteByte, 1);
  int32_t model = 5;
  uint8_t v[5] = {};
  uint32_t serial = 0;
  std::array<KVWChar, 12> address{};
  EXPECT_EQ(-56, ReadModelVersion(comm, model, v[0], v[1], v[2], v[3], v[4]));
  EXPECT_EQ(-56, ReadProtocolInfo(comm, v[0], v[1], v[2]));
  EXPECT_EQ(-56, ReadSerialNumber(comm, serial));
  EXPECT_EQ(-56, ReadPrinterAddress(comm, address.data(), 12));
  EXPECT_EQ(-56, WritePrinterAddress(comm, address.data(), 12));
  EXPECT_EQ(1, port.CallCount(Call::kReadQueued));  // only the flush at open read anything
}

class PrinterAddressTest : public CommandTest {
 protected:
  static std::vector<uint8_t> AddressBytes() {
    return {'1', '2', ':', 'A', 'B', 0x00, 'z', 0x80, 0xE9, 0x9C, ' ', '~'};
  }
  // The same as Windows-1252 gives them, with the zero byte as a zero character.
  static std::vector<KVWChar> AddressCharacters() {
    return {u'1', u'2', u':', u'A', u'B', 0x0000, u'z', 0x20AC, 0x00E9, 0x0153, u' ', u'~'};
  }
};

TEST_F(PrinterAddressTest, CapacityTwelveGetsTwelveCharactersAndNoTerminator) {
  Exchange(0x32, Answer(0x32, AddressBytes()));
  std::vector<KVWChar> buffer(14, KVWChar{0x7777});
  EXPECT_EQ(0, ReadPrinterAddress(comm, buffer.data(), 12));
  std::vector<KVWChar> expected = AddressCharacters();
  expected.push_back(0x7777);
  expected.push_back(0x7777);
  EXPECT_EQ(expected, buffer);
}

TEST_F(PrinterAddressTest, LargerCapacityLeavesTheRestUntouched) {
  Exchange(0x32, Answer(0x32, AddressBytes()));
  std::vector<KVWChar> buffer(40, KVWChar{0x7777});
  EXPECT_EQ(0, ReadPrinterAddress(comm, buffer.data(), 40));
  EXPECT_EQ(AddressCharacters(), std::vector<KVWChar>(buffer.begin(), buffer.begin() + 12));
  EXPECT_EQ(std::vector<KVWChar>(28, KVWChar{0x7777}), std::vector<KVWChar>(buffer.begin() + 12, buffer.end()));
}

TEST_F(PrinterAddressTest, CapacityBelowTwelveSendsNothing) {
  std::vector<KVWChar> buffer(12, KVWChar{0x7777});
  for (int32_t capacity : {11, 0, -1}) {
    EXPECT_EQ(-18, ReadPrinterAddress(comm, buffer.data(), capacity)) << capacity;
  }
  EXPECT_TRUE(port.Sent().empty());
  EXPECT_EQ(std::vector<KVWChar>(12, KVWChar{0x7777}), buffer);
}

TEST_F(PrinterAddressTest, WrongAckKeepsTheCharactersWrongEchoWritesNone) {
  Exchange(0x32, Answer(0x32, AddressBytes(), {kZ, 0x02}));
  Exchange(0x32, {kZ, 0x33});
  std::vector<KVWChar> buffer(12, KVWChar{0x7777});
  EXPECT_EQ(-54, ReadPrinterAddress(comm, buffer.data(), 12));
  EXPECT_EQ(AddressCharacters(), buffer);
  std::vector<KVWChar> untouched(12, KVWChar{0x7777});
  EXPECT_EQ(-53, ReadPrinterAddress(comm, untouched.data(), 12));
  EXPECT_EQ(std::vector<KVWChar>(12, KVWChar{0x7777}), untouched);
}

TEST_F(PrinterAddressTest, WriteSendsTheFirstTwelveLowBytes) {
  // Twenty characters; the euro sign (0x20AC) goes out as 0xAC, 0x0141 as 0x41.
  const std::u16string text = u"00:1A:7D:\u20AC\u0141:99:XXXXX";
  ASSERT_EQ(20u, text.size());
  port.ExpectSent({kZ, 0x92}).Reply({kZ, 0x92});
  port.ExpectSent({'0', '0', ':', '1', 'A', ':', '7', 'D', ':', 0xAC, 0x41, ':'}).Reply({kZ, 0x00});
  EXPECT_EQ(0, WritePrinterAddress(comm, reinterpret_cast<const KVWChar*>(text.data()), 20));
  EXPECT_TRUE(port.ScriptDone());
  EXPECT_EQ(14u, port.Sent().size());
}

TEST_F(PrinterAddressTest, WriteWithLengthBelowTwelveSendsNothing) {
  const std::u16string text = u"00:1A:7D:99:";
  EXPECT_EQ(-18, WritePrinterAddress(comm, reinterpret_cast<const KVWChar*>(text.data()), 11));
  EXPECT_EQ(-18, WritePrinterAddress(comm, reinterpret_cast<const KVWChar*>(text.data()), 0));
  EXPECT_TRUE(port.Sent().empty());
}

TEST_F(PrinterAddressTest, WriteStopsAtWrongEchoAndReportsWrongAck) {
  const std::u16string text = u"ABCDEFGHIJKL";
  port.ExpectSent({kZ, 0x92}).Reply({kZ, 0x32});
  EXPECT_EQ(-53, WritePrinterAddress(comm, reinterpret_cast<const KVWChar*>(text.data()), 12));
  EXPECT_EQ(2u, port.Sent().size());  // no data after a wrong echo
  port.ExpectSent({kZ, 0x92}).Reply({kZ, 0x92});
  port.ExpectSent({'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L'}).Reply({kZ, 0x92});
  EXPECT_EQ(-54, WritePrinterAddress(comm, reinterpret_cast<const KVWChar*>(text.data()), 12));
  EXPECT_TRUE(port.ScriptDone());
}

}  // namespace
}  // namespace kv::link
