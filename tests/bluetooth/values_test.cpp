// values_test.cpp: the setup's pure functions (analyser names, the dialog's filter, address and port texts,
// message formatting and limits) as the rows of data/values.txt, then the message table; the error box and the
// PIN callback over the fake platform, with the texts they cut; the port lookup by address key and friendly name
// over the port classes. The address written into a caller's buffer, radio detection, the stack description with
// KVGetBTStackInfo, how the stack object is obtained and replaced, the port lookup after a pairing, removal, the
// wait for pending installations and KVIsDeviceInstallInProgress are step blocks of data/steps.txt; the pairing
// flows rows of data/flows.txt.
#include "bt_test_support.h"

namespace kv::bt::testing {
namespace {

// A data text in units: \uXXXX and {n*c} as data/values.txt says.
std::u16string Units(const std::string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "\\u") == 0) {
      out.push_back(static_cast<char16_t>(std::stoul(text.substr(i + 2, 4), nullptr, 16)));
      i += 5;
    } else if (text[i] == '{') {
      const size_t star = text.find('*', i);
      out.append(std::stoul(text.substr(i + 1, star - i - 1)), static_cast<char16_t>(text[star + 1]));
      i = text.find('}', i);
    } else {
      out.push_back(static_cast<char16_t>(text[i]));
    }
  }
  return out;
}

std::u16string Formatted(const std::u16string& pattern, const std::string& words) {
  const std::vector<std::string> w = SplitCells(words, ';');
  std::vector<std::u16string> texts;
  for (const std::string& word : w) texts.push_back(Units(word));
  const auto arg = [&](size_t i) {
    return w.at(i)[0] == '#' ? TextArg(int64_t{std::stoll(w[i].substr(1))}) : TextArg(texts[i]);
  };
  return w.size() == 1 ? FormatText(pattern, {arg(0)}) : FormatText(pattern, {arg(0), arg(1)});
}

std::u16string Answer(const std::string& kind, const std::u16string& input, const std::string& argument) {
  BtDeviceRecord record;
  record.name = input;
  record.classOfDevice = kind == "offered" ? static_cast<uint32_t>(std::stoul(argument, nullptr, 16)) : 0;
  const uint64_t address =
      kind == "address" || kind == "key" ? std::stoull(std::string(input.begin(), input.end()), nullptr, 16) : 0;
  if (kind == "analyser") return IsKorvantaDeviceName(record) ? u"1" : u"0";
  if (kind == "offered") return DeviceSelectionFilter(nullptr, &record) ? u"1" : u"0";
  if (kind == "namecut") return Text(static_cast<int64_t>(DeviceName(record).size()));
  if (kind == "address") return AddressText(address);
  if (kind == "key") return AddressKey(address);
  if (kind == "port") return std::u16string(ComPortFromFriendlyName(input).value_or(u"-"));
  if (kind == "format") return Formatted(input, argument);
  if (kind == "limit") return std::u16string(LimitText(input, std::stoul(argument)));
  ADD_FAILURE() << "unknown kind " << kind;
  return u"";
}

TEST(Values, RowsGiveTheirTextAndMessagesComeFromThePlatform) {
  const std::vector<std::vector<std::string>> rows = ReadTable("values.txt", '|', 4);
  EXPECT_GE(rows.size(), 42u);
  for (const std::vector<std::string>& c : rows) {
    SCOPED_TRACE(c[0] + " | " + c[1] + " | " + c[2]);
    EXPECT_EQ(Answer(c[0], Units(c[1]), c[2]), Units(c[3]));
  }
  EXPECT_FALSE(DeviceSelectionFilter(nullptr, nullptr));
  FormatBluetoothAddress(0x0011223344AA, nullptr, 18);  // a null buffer is left alone
  for (const MessageEntry& entry : kMessageTable) EXPECT_FALSE(entry.text.empty()) << entry.number;
  // A text the platform has not got stays empty: none is taken from elsewhere.
  FakeBtPlatform p;
  p.texts = {{kMsgNoRadio, u""}};
  EXPECT_EQ(LoadMessage(p, kMsgNoRadio), u"");
}

TEST(ErrorBox, CutsTheBodyAndShowsNothingWithoutThePlatformsText) {
  FakeBtPlatform p;
  ShowBluetoothErrorBox(p, 5, nullptr, 0x35, std::u16string(2100, u'x'));  // the button it gives is the flows'
  p.noErrorText.insert(1722);
  EXPECT_EQ(ShowBluetoothErrorBox(p, 1722, kParent, 0x35, u"x"), kButtonCancel);
  // The body holds at most 2047 units: the platform's text, a line break, then the extra text cut short.
  const std::u16string head = fake::ErrorTextFor(5) + u"\n";
  EXPECT_EQ(p.prompts, (std::vector<Prompt>{{false, head + std::u16string(2047 - head.size(), u'x'),
                                             Fill(kMsgErrorCaption, {u"5"}), 0x35}}));
}

TEST(PinCallback, SendsTheLowBytesOfAtMostFifteenPinUnitsWhateverTheMethod) {
  FakeBtPlatform p;
  BtAuthRequest request;
  request.device.address = AddressOf(1);
  request.method = kAuthMethodNumericComparison;
  EXPECT_FALSE(AuthenticationCallback(p, nullptr, nullptr));
  // The kit's own PIN is sent in the flows' rows, where the platform checks it.
  p.texts[kMsgPairingPin] = u"\u01B1\u0232ABCDEFGHIJKLMNOPQRS";  // 21 units, read as 15
  ASSERT_TRUE(AuthenticationCallback(p, nullptr, &request));
  const std::array<uint8_t, 16> pin{0xB1, 0x32, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M'};
  EXPECT_EQ(p.responses, (std::vector<BtAuthResponse>{{AddressOf(1), kAuthMethodNumericComparison, pin, 15, 0}}));
  for (const char* refusal : {"send=5", "nomodule", "lacks=SendAuthenticationResponseEx"}) {
    FakeBtPlatform q;
    EXPECT_FALSE(AuthenticationCallback(Devices(q, refusal), nullptr, &request)) << refusal;
    EXPECT_EQ(q.open, 0);
  }
}

const uint64_t kAddress = AddressOf(1);
const std::u16string kId = u"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\\7&1&0&0011223344A1_C0";
fake::FakePort Ours(std::u16string_view port) { return fake::BluetoothPort(kAddress, port); }
using Class = fake::FakePortClass;

TEST(ComPort, IsTheFirstDeviceWithTheKeyAndAPortInItsName) {
  const struct {
    const char* name;
    std::vector<Class> classes;
    const char16_t* port;
    void (*extra)(FakeBtPlatform&) = nullptr;  // sets the scene up further
  } rows[] = {
      {"two digits", {Class{{{kId, u"Link (COM12)"}}}}, u"12"},  // port null: not found
      {"empty number", {Class{{{kId, u"Link (COM)"}}}}, u""},
      {"no bracket", {Class{{{kId, u"Link (COM7"}, {kId + u"&2", u"Link (COM8)"}}}}, u"8"},
      {"lower-case key", {Class{{{u"BT\\0011223344a1_C0", u"(COM4)"}}}}, nullptr},
      {"other address", {Class{{fake::BluetoothPort(kAddress + 1, u"4")}}}, nullptr},
      {"cable port first", {Class{{{u"ACPI\\PNP0501\\1", u"Communications Port (COM1)"}, Ours(u"9")}}}, u"9"},
      {"unreadable id", {Class{{{kId, u"(COM3)", 13}, Ours(u"6")}}}, u"6"},
      {"no friendly name", {Class{{{kId, u"(COM3)", 0, false}}}}, nullptr},
      {"class query fails", {Class{{Ours(u"5")}}}, nullptr, [](FakeBtPlatform& p) { p.classQueryFails = true; }},
      {"no ports class", {}, nullptr},
      {"list fails", {Class{{Ours(u"1")}, true}, Class{{Ours(u"2")}}}, u"2"},
      {"detail fails", {Class{{Ours(u"1")}, false, true}, Class{{Ours(u"2")}}}, u"2"},
      {"first of two", {Class{{Ours(u"5"), Ours(u"6")}}}, u"5"},
      {"a first match too long decides", {Class{{Ours(u"1234567"), Ours(u"6")}}}, nullptr},
      {"sixteen classes asked at most", std::vector<Class>(16), nullptr,
       [](FakeBtPlatform& p) { p.portClasses.push_back(Class{{Ours(u"7")}}); }}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    FakeBtPlatform p;
    p.portClasses = row.classes;
    if (row.extra != nullptr) row.extra(p);
    CBluetoothStackMicrosoft stack(p);
    Buffer port(8);
    EXPECT_EQ(stack.FindComPort(&kAddress, port.get(), 7), row.port != nullptr);
    EXPECT_EQ(row.port != nullptr ? port.Text() : port.units, row.port != nullptr ? row.port : Buffer(8).units);
    EXPECT_EQ(p.open, 0);
  }
  FakeBtPlatform p;
  CBluetoothStackMicrosoft stack(p.SimulatePortDevice(Ours(u"5")));
  Buffer port(4);
  EXPECT_FALSE(stack.FindComPort(nullptr, port.get(), 4) || stack.FindComPort(&kAddress, nullptr, 4) ||
               stack.FindComPort(&kAddress, port.get(), 0));
  EXPECT_TRUE(port.Untouched() && p.calls.empty());
}

}  // namespace
}  // namespace kv::bt::testing
