// auto_setup_test.cpp: KVAutoSetupBT's whole flows over the fake platform, and with them the confirmation or
// choice of a new analyser: the prompts in order, the answers given, the inquiry times, the pairings removed,
// and the port text that comes back.
#include "bt_test_support.h"

namespace kv::bt::testing {
namespace {

TEST(AutoSetup, FlowsShowTheirPromptsAndGiveThePort) {
  const Prompt found = FoundNew(1), several = Box(kMsgSeveralNewDevices, kMsgCaptionFoundNew, kStyleOkCancelInfo);
  const Prompt noDevice = Box(kMsgNoDeviceFound, kMsgCaptionSearch, 0x35);
  const Prompt noPort = Box(kMsgPortNotFound, kMsgCaptionAuthError, 0x35);
  const Prompt pairingFailed = ErrorBox(121, kMsgPairingFailed, 0x35);
  const Script pairingFails = [](FakeBtPlatform& p) { p.authExResults = {121}; };
  const Script chooseSecond = [](FakeBtPlatform& p) { p.selections = {AddressOf(2)}; };
  const struct { const char* name; bool interactive; const char* devices; std::vector<int32_t> answers;  // devices null: no radio
                 std::vector<Prompt> prompts; const char16_t* port; Script extra = nullptr; std::vector<int> inquiries = {7};
                 size_t removed = 0; } rows[] = {
      {"no radio", true, nullptr, {kButtonRetry, kButtonCancel}, {2, ErrorBox(kErrorBadUnit, kMsgNoRadio, 0x35)}, nullptr, nullptr, {}},
      {"no radio, silent", false, nullptr, {}, {}, nullptr, nullptr, {}},
      {"one new", true, "K1:5", {kButtonYes}, {found}, u"5"},
      {"one new, others removed", true, "K1:14 K2+ P3+", {kButtonYes, kButtonYes}, {found, Existing(1)}, u"14", nullptr, {7}, 1},
      {"one new, others kept", true, "K1:14 K2+", {kButtonYes, kButtonNo}, {found, Existing(1)}, u"14"},
      {"one new, removal cancelled", true, "K1 K2+", {kButtonYes}, {found, Existing(1), noDevice}, nullptr},
      {"no analyser, silent", false, "P1", {}, {}, nullptr},
      {"empty enumeration", true, "", {kButtonOk}, {ErrorBox(kErrorNoMoreItems, 0, 0x30, false)}, nullptr},
      {"no analyser, retried with doubling times", true, "P1", {kButtonRetry, kButtonRetry, kButtonRetry, kButtonRetry},
       {5, noDevice}, nullptr, nullptr, {7, 14, 28, 45, 45}},
      {"no analyser, box not shown", true, "P1", {kButtonNone}, {noDevice}, nullptr},
      {"one paired", true, "K1+:3", {}, {}, u"3"},
      {"two paired, one chosen", true, "K1+:7 K2+:8", {}, {}, u"8", chooseSecond},
      {"two paired, dialog cancelled", true, "K1+ K2+", {}, {noDevice}, nullptr},
      {"new one declined", true, "K1", {kButtonNo}, {found, noDevice}, nullptr},
      {"new one declined, silent", false, "K1", {kButtonNo}, {found}, nullptr},
      // Listed from the sixth lookup: one after pairing, three in the wait, one in the flow, the sixth after Retry.
      {"port after the wait and a retry", true, "K1:5", {kButtonYes, kButtonRetry}, {found, noPort}, u"5",
       [](FakeBtPlatform& p) { p.portClasses[0].ports[0].fromLookup = 6; }},
      {"port never found", true, "K1", {kButtonYes}, {found, noPort}, nullptr},
      {"port not found, silent", false, "K1+", {}, {}, nullptr},
      {"several new, one chosen", true, "K1:1 K2:2 K3:3", {kButtonOk}, {several}, u"2", chooseSecond},
      {"several new, cancelled", true, "K1 K2", {}, {several, noDevice}, nullptr},
      {"several new, dialog cancelled", true, "K1 K2", {kButtonOk}, {several, noDevice}, nullptr},
      {"pairing fails, cancelled", true, "K1", {kButtonYes}, {found, pairingFailed, noDevice}, nullptr, pairingFails},
      {"pairing retried", true, "K1:5", {kButtonYes, kButtonRetry}, {found, pairingFailed}, u"5", pairingFails}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Scene s;
    if (row.devices != nullptr) Devices(s.p, row.devices);
    if (row.extra != nullptr) row.extra(s.p);
    s.p.answers.assign(row.answers.begin(), row.answers.end());
    Buffer port(16);
    EXPECT_EQ(AutoSetupBT(s.p, s.held, port.get(), 16, row.interactive, Parent()), row.port != nullptr);
    EXPECT_EQ(s.p.prompts, row.prompts);
    EXPECT_EQ(row.port != nullptr ? port.Text() : port.units, row.port != nullptr ? row.port : Buffer(16).units);
    std::vector<std::string> inquiries;
    for (int t : row.inquiries) inquiries.push_back("FindFirstDevice(1," + std::to_string(t) + ",1111,0)");
    EXPECT_EQ(s.p.Named({"FindFirstDevice"}), inquiries);
    EXPECT_EQ(s.p.Count("RemoveDevice"), row.removed);
    EXPECT_TRUE(s.p.answers.empty() && s.p.selections.empty());
    EXPECT_EQ(s.p.OpenHandles(), 0);
  }
}

// Fixed fault: the port box looked again on every answer but Cancel, so OK, Abort or an out-of-range
// answer kept the host's thread in the loop for ever. Only Retry looks again.
TEST(AutoSetup, OnlyRetryLooksForThePortAgain) {
  for (int32_t button : {kButtonOk, 3, kButtonYes, -1, 123456}) {
    SCOPED_TRACE(button);
    Scene s;
    Devices(s.p, "K1+").AnswerPrompts({button, kButtonRetry});
    Buffer port(8);
    EXPECT_EQ(AutoSetupBT(s.p, s.held, port.get(), 8, true, nullptr), 0);
    EXPECT_EQ(s.p.prompts.size(), 1u);
  }
}

TEST(AutoSetup, RefusesABufferWithoutRoomAndLeavesTheAnalyserForKorvantaDevice) {
  Scene s;
  KVWChar one = u'#';
  EXPECT_EQ(AutoSetupBT(s.p, s.held, nullptr, 8, true, Parent()), 0);
  EXPECT_EQ(AutoSetupBT(s.p, s.held, &one, 0, true, Parent()), 0);
  EXPECT_TRUE(s.p.calls.empty());
  // Pending for 2 s after the pairing, the port listed only then: the flow waits on the platform's clock.
  Devices(s.p, "K1:9").SimulatePendingInstall(2000).AnswerPrompts({kButtonYes});
  s.p.portClasses[0].ports[0].fromLookup = 2;
  Buffer port(8), name(32), address(32), again(8);
  ASSERT_EQ(AutoSetupBT(s.p, s.held, port.get(), 8, true, Parent()), 1);
  EXPECT_EQ(port.units.substr(0, 3), std::u16string(u"9\0#", 3));
  EXPECT_EQ(s.p.now, 2000u);
  EXPECT_EQ(s.p.Count("Sleep"), 0u);
  EXPECT_EQ(GetBTKorvantaDevice(s.p, s.held, name.get(), 32, address.get(), 32, again.get(), 8, 7), 1);
  EXPECT_EQ(name.Text() + again.Text(), u"Korvanta 19");
  EXPECT_EQ(s.p.Count("FindFirstDevice"), 1u);
}

}  // namespace
}  // namespace kv::bt::testing
