// bt_test_support.h: what the Bluetooth setup tests share: the scene holding the fake platform and the
// stack pointer, caller buffers, and the prompts expected, with their texts taken from the message table.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "../support/data_table.h"
#include "bluetooth/setup.h"
#include "bluetooth/stack.h"
#include "fake_bt_platform.h"
#include "messages.h"

namespace kv::bt::testing {

using fake::FakeBtPlatform;
using fake::Prompt;
using fake::Text;

inline const KVWindowHandle kParent = reinterpret_cast<KVWindowHandle>(uintptr_t{0x10});  // the caller's window
inline uint64_t AddressOf(int n) { return 0x0011223344A0ull + static_cast<uint64_t>(n); }
inline std::u16string Msg(uint32_t number) { return std::u16string(FindMessageText(number)); }

// A message with each %s or %d replaced in turn: the expected text, formed without the code under test.
inline std::u16string Fill(uint32_t number, std::vector<std::u16string> args) {
  std::u16string text = Msg(number);
  size_t at = 0;
  for (const std::u16string& arg : args) {
    while (text.compare(at, 2, u"%s") != 0 && text.compare(at, 2, u"%d") != 0) ++at;
    text.replace(at, 2, arg);
    at += arg.size();
  }
  return text;
}

// A prompt in the data files' words: f<n> found analyser n, x<n> n other pairings, b<text>/<caption>/<style> a
// box, e<code>/<extra>/<style> the error box (the platform's text, a line break and the extra message; the caption
// carries the code), E the same unowned.
inline Prompt PromptOf(const std::string& word) {
  const std::vector<std::string> f = SplitCells(word.substr(1), '/');
  const auto n = [&](size_t i) { return static_cast<uint32_t>(std::stoul(f.at(i), nullptr, 0)); };
  const std::u16string first = Text(n(0));
  if (word[0] == 'f') {
    const std::u16string text = Fill(kMsgFoundNewDevice, {u"Korvanta " + first, u"00:11:22:33:44:A" + first});
    return {true, text, Msg(kMsgCaptionFoundNew), kStyleYesNo};
  }
  if (word[0] == 'x')
    return {true, Fill(kMsgExistingPairings, {first}), Msg(kMsgCaptionAuthentication), kStyleYesNoCancel};
  if (word[0] == 'b') return {true, Msg(n(0)), Msg(n(1)), n(2)};
  const std::u16string text = fake::ErrorTextFor(n(0)) + (n(1) != 0 ? u"\n" + Msg(n(1)) : u"");
  return {word[0] == 'e', text, Fill(kMsgErrorCaption, {Text(static_cast<int32_t>(n(0)))}), n(2)};
}

// The blocks of a step file in the data folder, each from its "== name" line.
inline std::vector<std::vector<std::string>> Blocks(const std::string& name) {
  std::vector<std::vector<std::string>> blocks;
  for (const TableRow& line : ReadTable(name, '\n')) {
    if (line[0].rfind("== ", 0) == 0) blocks.emplace_back();
    if (!blocks.empty()) blocks.back().push_back(line[0]);
  }
  return blocks;
}

// Prompts in the data files' words, each of them n times when written n*word.
inline std::vector<Prompt> Prompts(const std::vector<std::string>& words) {
  std::vector<Prompt> prompts;
  for (const std::string& w : words) {
    const size_t star = w.find('*');
    prompts.insert(prompts.end(), star == w.npos ? 1 : std::stoul(w), PromptOf(w.substr(star + 1)));
  }
  return prompts;
}

// A scene in words: "K1+:5 P2" is a radio and the devices K an analyser "Korvanta n", P a phone "Pixel n", at
// AddressOf(n); + paired; :5 with its serial port COM5. Other words: noradio; nomodule; lacks=Call; reg= or send=,
// the registration's or the PIN answer's code; auth=, legacy=, find= or svc= codes queued for those calls;
// choose=n, cancel or none, the dialog's choices in turn; from=n, the lookup from which the first port is listed.
inline FakeBtPlatform& Devices(FakeBtPlatform& p, const std::string& words) {
  std::istringstream in(words);
  if (words.find("noradio") == words.npos) p.SimulateRadio();
  for (std::string w; in >> w;) {
    const std::string key = w.substr(0, w.find('=')), value = w.substr(w.find('=') + 1);
    const uint32_t code = std::isdigit(value[0]) ? static_cast<uint32_t>(std::stoul(value, nullptr, 0)) : 0;
    const int n = std::isdigit(w[1]) ? std::stoi(w.substr(1)) : 0;
    if (w[0] == 'K' || w[0] == 'P') {
      p.SimulateDeviceInRange((w[0] == 'K' ? u"Korvanta " : u"Pixel ") + Text(n), AddressOf(n), w.find('+') != w.npos);
      if (w.find(':') != w.npos)
        p.SimulatePortDevice(fake::BluetoothPort(AddressOf(n), Text(std::stoi(w.substr(w.find(':') + 1)))));
    }
    p.pairingModule = p.pairingModule && w != "nomodule";
    if (key == "lacks") p.missingCalls.insert(value);
    if (key == "reg") p.registerResult = code;
    if (key == "send") p.sendResult = code;
    if (key == "choose")
      p.selections.push_back(value == "cancel" ? std::nullopt : std::optional(value == "none" ? 0 : AddressOf(code)));
    if (key == "from") p.portClasses[0].ports.at(0).fromLookup = code;
    if (key == "auth") p.authExResults.push_back(code);
    if (key == "legacy") p.legacyResults.push_back(code);
    if (key == "find") p.findFailures.push_back(code);
    if (key == "svc") p.serviceResults.push_back(code);
  }
  return p;
}

// Buttons in the data files' words, answered in turn: X none, O OK, C Cancel, R Retry, Y Yes, N No or a number.
inline void Answer(FakeBtPlatform& p, const std::vector<std::string>& words) {
  for (const std::string& w : words) {
    const size_t button = std::string("XOC-R-YN").find(w);  // by button value
    p.answers.push_back(w.size() == 1 && button != w.npos ? static_cast<int32_t>(button) : std::stoi(w));
  }
}

// A caller's buffer of units filled with '#'.
struct Buffer {
  explicit Buffer(size_t size) : units(size, u'#') {}
  KVWChar* get() { return reinterpret_cast<KVWChar*>(units.data()); }
  std::u16string Text() const { return units.substr(0, units.find(u'\0')); }
  bool Untouched() const { return units.find_first_not_of(u'#') == std::u16string::npos; }
  std::u16string units;
};

// One scripted platform and the pointer holding the stack object, as the exports hold it.
struct Scene {
  ~Scene() { delete held; }
  FakeBtPlatform p;
  CBluetoothStack* held = nullptr;
};

}  // namespace kv::bt::testing
