// bt_test_support.h: what the Bluetooth setup tests share: a fixture holding the fake platform and the
// stack pointer, and the expected prompts written out independently of the code under test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bluetooth/setup.h"
#include "bluetooth/stack.h"
#include "fake_bt_platform.h"
#include "messages.h"

namespace kv::bt::testing {

using fake::FakeBtPlatform;
using fake::Narrow;

inline KVWindowHandle Parent() {
  static int window = 0;
  return &window;
}

// Names parameterised cases after their "name" field.
struct ByName {
  template <typename Param>
  std::string operator()(const ::testing::TestParamInfo<Param>& param) const {
    return param.param.name;
  }
};

inline std::u16string Msg(uint32_t number) { return std::u16string(FindMessageText(number)); }
inline std::u16string Widen(const std::string& text) { return {text.begin(), text.end()}; }

// A prompt as the user sees it.
struct SeenPrompt {
  std::u16string text;
  std::u16string caption;
  uint32_t style = 0;
  bool hasOwner = true;
  friend bool operator==(const SeenPrompt&, const SeenPrompt&) = default;
};

inline void PrintTo(const SeenPrompt& prompt, std::ostream* out) {
  const std::string text = Narrow(prompt.text);
  *out << "{style 0x" << std::hex << prompt.style << std::dec << (prompt.hasOwner ? "" : ", no owner")
       << ", caption \"" << Narrow(prompt.caption) << "\", text \"" << text.substr(0, 90)
       << (text.size() > 90 ? "...\"}" : "\"}");
}

inline std::vector<SeenPrompt> PromptsOf(const FakeBtPlatform& platform) {
  std::vector<SeenPrompt> seen;
  for (const fake::Prompt& prompt : platform.Prompts()) {
    seen.push_back({prompt.text, prompt.caption, prompt.style, prompt.owner != nullptr});
  }
  return seen;
}

// A message of the table with a caption from the table.
inline SeenPrompt MessagePrompt(uint32_t number, uint32_t caption, uint32_t style) {
  return {Msg(number), Msg(caption), style, true};
}

// The error box: the platform's text, a line break and the extra message; the caption carries the code
// as a signed decimal number.
inline SeenPrompt ErrorPrompt(const FakeBtPlatform& platform, uint32_t code, uint32_t extraMessage, uint32_t style,
                              bool hasOwner = true) {
  std::u16string text = platform.ErrorTextFor(code);
  if (extraMessage != 0) text += u"\n" + Msg(extraMessage);
  const std::u16string caption =
      u"Bluetooth Device Error (Code: " + Widen(std::to_string(static_cast<int32_t>(code))) + u")";
  return {text, caption, style, hasOwner};
}

inline SeenPrompt FoundNewPrompt(const std::u16string& name, const std::u16string& address) {
  return {u"Found New Device: " + name + u"\nAddress: " + address +
              u"\n\nWould you like to pair (authenticate) this device?",
          u"Found New Korvanta Device", kStyleYesNo, true};
}

inline SeenPrompt ExistingPairingsPrompt(int count) {
  return {u"Existing authentication exists for " + Widen(std::to_string(count)) +
              u" other Korvanta device(s).\nIt is recommened that existing authentications are removed for devices "
              u"no longer in use.\n\nRemoval can be done manually later, or automatically now (non-Korvanta devices "
              u"will not be affected)\n\nWould you like to remove the existing Korvanta authentications now?",
          u"Korvanta Device Authentication", kStyleYesNoCancel, true};
}

inline SeenPrompt NoDevicePrompt() { return MessagePrompt(kMsgNoDeviceFound, kMsgCaptionSearch, 0x35); }
inline SeenPrompt PortNotFoundPrompt() { return MessagePrompt(kMsgPortNotFound, kMsgCaptionAuthError, 0x35); }
inline SeenPrompt SeveralNewPrompt() { return MessagePrompt(kMsgSeveralNewDevices, kMsgCaptionFoundNew, 0x41); }

// The text held in a wide buffer up to its terminator.
inline std::u16string TextOf(const KVWChar* buffer) {
  std::u16string out;
  while (*buffer != 0) out.push_back(static_cast<char16_t>(*buffer++));
  return out;
}

// Analysers and other devices with easy addresses: 0x0011223344A0 + n.
inline uint64_t AddressOf(int n) { return 0x0011223344A0ull + static_cast<uint64_t>(n); }

class BtTest : public ::testing::Test {
 protected:
  ~BtTest() override { delete held; }

  // A stack object that has completed a search over the devices simulated so far.
  CBluetoothStack& SearchedStack() {
    CBluetoothStack* stack = CreateStack(platform, held);
    EXPECT_NE(stack, nullptr);
    EXPECT_TRUE(stack->SearchDevices(7, false, nullptr));
    return *stack;
  }

  FakeBtPlatform platform;
  CBluetoothStack* held = nullptr;
};

}  // namespace kv::bt::testing
