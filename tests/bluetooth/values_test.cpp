// values_test.cpp: the setup's pure functions (analyser names, the dialog's filter, address and port texts,
// message formatting and limits) as the rows of data/values.txt, then the message table. The address written
// into a caller's buffer is a step block of data/steps.txt, the PIN cut to fifteen units pairing_test's.
#include "bt_test_support.h"

namespace kv::bt::testing {
namespace {

// A data text in units: \uXXXX, \0 and {n*c} as data/values.txt says.
std::u16string Units(const std::string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "\\u") == 0) {
      out.push_back(static_cast<char16_t>(std::stoul(text.substr(i + 2, 4), nullptr, 16)));
      i += 5;
    } else if (text.compare(i, 2, "\\0") == 0) {
      out.push_back(u'\0');
      ++i;
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

}  // namespace
}  // namespace kv::bt::testing
