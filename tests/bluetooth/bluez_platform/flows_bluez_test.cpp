// The setup's flows end to end over the BlueZ platform and the mock bluetoothd: the guided setup from
// discovery to the port text, the device list when several analysers are paired, the stack text.
#include <gtest/gtest.h>

#include "bluetooth/setup.h"
#include "fake_parts.h"
#include "messages.h"

namespace kv::bt {
namespace {

using testing::Rig;

// Owns the process-wide stack pointer the flows hold, as the exports' global would.
struct HeldStack {
  CBluetoothStack* stack = nullptr;
  ~HeldStack() { delete stack; }
};

std::u16string Text(const KVWChar* text) {
  std::u16string out;
  for (; *text != 0; ++text) out.push_back(static_cast<char16_t>(*text));
  return out;
}

TEST(BluezFlows, AutoSetupPairsANewAnalyserAndEndsWithItsPort) {
  Rig faked(R"({"devices": [{"address": "00:11:22:33:44:AA", "name": "KORVANTA QPN", "found_ms": 100}]})");
  faked.parts->answers = {kButtonYes};  // "pair this device?"
  HeldStack held;
  KVWChar port[32] = {};
  ASSERT_EQ(AutoSetupBT(*faked.platform, held.stack, port, 32, true, nullptr), 1);
  EXPECT_EQ(Text(port), u"/dev/rfcomm0");
  EXPECT_EQ(faked.parts->captions, std::vector<std::u16string>{std::u16string(FindMessageText(kMsgCaptionFoundNew))});
  EXPECT_EQ(faked.mock.Count("Pair 00:11:22:33:44:AA"), 1u);
  EXPECT_EQ(faked.mock.Count("Set Trusted 00:11:22:33:44:AA True"), 1u);
  EXPECT_EQ(faked.mock.Count("UnregisterProfile"), 1u);

  KVWChar info[256] = {};
  ASSERT_EQ(GetBTStackInfo(*faked.platform, held.stack, info, 256), 1);
  EXPECT_EQ(Text(info), u"Bluetooth API: BlueZ\nHardware Info: Desk hci0 (0)\nSoftware Info: (0)");
}

TEST(BluezFlows, AutoSetupOffersTheListWhenSeveralAnalysersArePaired) {
  for (const std::optional<size_t> choice : {std::optional<size_t>(1), std::optional<size_t>()}) {
    SCOPED_TRACE(choice ? "second analyser chosen" : "list cancelled");
    Rig faked(R"({"devices": [{"address": "00:11:22:33:44:01", "name": "Korvanta A", "paired": true},
        {"address": "00:11:22:33:44:02", "name": "Printer", "class": 1664, "paired": true},
        {"address": "00:11:22:33:44:03", "name": "Caballix B", "paired": true}]})");
    faked.parts->bound = {{0, 0x001122334401ull, 1, false}, {1, 0x001122334403ull, 1, false}};
    faked.parts->choices = {choice};
    HeldStack held;
    KVWChar port[32] = {};
    EXPECT_EQ(AutoSetupBT(*faked.platform, held.stack, port, 32, false, nullptr), choice ? 1 : 0);
    // Only the analysers pass the dialog's filter.
    const std::vector<std::u16string> shown = {u"Korvanta A (00:11:22:33:44:01)", u"Caballix B (00:11:22:33:44:03)"};
    EXPECT_EQ(faked.parts->lists, std::vector<std::vector<std::u16string>>{shown});
    EXPECT_EQ(Text(port), choice ? u"/dev/rfcomm1" : u"");
  }
}

}  // namespace
}  // namespace kv::bt
