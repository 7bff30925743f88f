// auto_setup_test.cpp: KVAutoSetupBT's whole flows over the fake platform: the prompts in order, the answers
// given, the inquiry times, and the port text that comes back.
#include "bt_test_support.h"

namespace kv::bt::testing {
namespace {

constexpr uint64_t kAnalyser = 0x0011223344AA;

void NewAnalyser(FakeBtPlatform& p) { p.SimulateRadio().SimulateDeviceInRange(u"Korvanta 8124", kAnalyser); }
void WithPort(FakeBtPlatform& p, uint64_t address, std::u16string_view port) {
  p.SimulatePortDevice(fake::BluetoothPort(address, port));
}

TEST(AutoSetup, FlowsShowTheirPromptsAndGiveThePort) {
  const Prompt found = FoundNew(u"Korvanta 8124", u"00:11:22:33:44:AA");
  const Prompt noDevice = Box(kMsgNoDeviceFound, kMsgCaptionSearch, 0x35);
  const Prompt noPort = Box(kMsgPortNotFound, kMsgCaptionAuthError, 0x35);
  const Prompt pairingFailed = ErrorBox(121, kMsgPairingFailed, 0x35);
  const struct { const char* name; bool interactive; Script setup; std::vector<int32_t> answers;
                 std::vector<Prompt> prompts; const char16_t* port; std::vector<int> inquiries; } rows[] = {
      {"no radio", true, [](FakeBtPlatform&) {}, {kButtonRetry, kButtonCancel},
       {2, ErrorBox(kErrorBadUnit, kMsgNoRadio, 0x35)}, nullptr, {}},
      {"no radio, silent", false, [](FakeBtPlatform&) {}, {}, {}, nullptr, {}},
      {"one new", true, [](FakeBtPlatform& p) { NewAnalyser(p), WithPort(p, kAnalyser, u"5"); }, {kButtonYes}, {found}, u"5", {7}},
      {"one new after a pairing", true, [](FakeBtPlatform& p) {
         NewAnalyser(p), WithPort(p, kAnalyser, u"14"), p.SimulateDeviceInRange(u"Quattron", AddressOf(1), true);
       }, {kButtonYes, kButtonYes}, {found, Existing(1)}, u"14", {7}},
      {"no analyser, silent", false, [](FakeBtPlatform& p) { p.SimulateRadio().SimulateDeviceInRange(u"Pixel", 1); }, {}, {},
       nullptr, {7}},
      {"empty enumeration", true, [](FakeBtPlatform& p) { p.SimulateRadio(); }, {kButtonOk},
       {ErrorBox(kErrorNoMoreItems, 0, 0x30, false)}, nullptr, {7}},
      {"no analyser, retried with doubling times", true, [](FakeBtPlatform& p) { p.SimulateRadio().SimulateDeviceInRange(u"Pixel", 1); },
       {kButtonRetry, kButtonRetry, kButtonRetry, kButtonRetry, kButtonCancel}, {5, noDevice}, nullptr, {7, 14, 28, 45, 45}},
      {"no analyser, box not shown", true, [](FakeBtPlatform& p) { p.SimulateRadio().SimulateDeviceInRange(u"Pixel", 1); },
       {kButtonNone}, {noDevice}, nullptr, {7}},
      {"one paired", true, [](FakeBtPlatform& p) {
         p.SimulateRadio().SimulateDeviceInRange(u"Korvanta", kAnalyser, true), WithPort(p, kAnalyser, u"3");
       }, {}, {}, u"3", {7}},
      {"two paired, one chosen", true, [](FakeBtPlatform& p) {
         p.SimulateRadio().SimulateDeviceInRange(u"Korvanta", AddressOf(1), true).SimulateDeviceInRange(u"Korvanta", AddressOf(2), true);
         WithPort(p, AddressOf(1), u"7"), WithPort(p, AddressOf(2), u"8"), p.selections = {AddressOf(2)};
       }, {}, {}, u"8", {7}},
      {"two paired, dialog cancelled", true, [](FakeBtPlatform& p) {
         p.SimulateRadio().SimulateDeviceInRange(u"Korvanta", AddressOf(1), true).SimulateDeviceInRange(u"Korvanta", AddressOf(2), true);
       }, {kButtonCancel}, {noDevice}, nullptr, {7}},
      {"new one declined", true, NewAnalyser, {kButtonNo, kButtonCancel}, {found, noDevice}, nullptr, {7}},
      {"new one declined, silent", false, NewAnalyser, {kButtonNo}, {found}, nullptr, {7}},
      // Listed from the sixth lookup: one after pairing, three in the wait, one in the flow, the sixth after Retry.
      {"port after the wait and a retry", true, [](FakeBtPlatform& p) {
         NewAnalyser(p), WithPort(p, kAnalyser, u"5"), p.portClasses[0].ports[0].fromLookup = 6;
       }, {kButtonYes, kButtonRetry}, {found, noPort}, u"5", {7}},
      {"port never found", true, NewAnalyser, {kButtonYes, kButtonCancel}, {found, noPort}, nullptr, {7}},
      {"port box not shown", true, NewAnalyser, {kButtonYes, kButtonNone}, {found, noPort}, nullptr, {7}},
      {"port not found, silent", false, [](FakeBtPlatform& p) {
         p.SimulateRadio().SimulateDeviceInRange(u"Korvanta", kAnalyser, true);
       }, {}, {}, nullptr, {7}},
      {"three new, one chosen", true, [](FakeBtPlatform& p) {
         p.SimulateRadio();
         for (int n = 1; n <= 3; ++n) p.SimulateDeviceInRange(u"Korvanta", AddressOf(n)), WithPort(p, AddressOf(n), Text(n));
         p.selections = {AddressOf(3)};
       }, {kButtonOk}, {Box(kMsgSeveralNewDevices, kMsgCaptionFoundNew, kStyleOkCancelInfo)}, u"3", {7}},
      {"pairing fails, cancelled", true, [](FakeBtPlatform& p) { NewAnalyser(p), p.authExResults = {121}; },
       {kButtonYes, kButtonCancel, kButtonCancel}, {found, pairingFailed, noDevice}, nullptr, {7}},
      {"pairing retried", true, [](FakeBtPlatform& p) { NewAnalyser(p), WithPort(p, kAnalyser, u"5"), p.authExResults = {121}; },
       {kButtonYes, kButtonRetry}, {found, pairingFailed}, u"5", {7}}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Scene s;
    row.setup(s.p);
    s.p.answers.assign(row.answers.begin(), row.answers.end());
    Buffer port(16);
    EXPECT_EQ(AutoSetupBT(s.p, s.held, port.get(), 16, row.interactive, Parent()), row.port != nullptr);
    EXPECT_EQ(s.p.prompts, row.prompts);
    EXPECT_EQ(row.port != nullptr ? port.Text() : port.units, row.port != nullptr ? row.port : Buffer(port.units.size()).units);
    std::vector<std::string> inquiries;
    for (int t : row.inquiries) inquiries.push_back("FindFirstDevice(1," + std::to_string(t) + ",1111,0)");
    EXPECT_EQ(s.p.Named({"FindFirstDevice"}), inquiries);
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
    s.p.SimulateRadio().SimulateDeviceInRange(u"Korvanta 7", kAnalyser, true).AnswerPrompts({button, kButtonRetry});
    Buffer port(8);
    EXPECT_EQ(AutoSetupBT(s.p, s.held, port.get(), 8, true, nullptr), 0);
    EXPECT_EQ(s.p.prompts.size(), 1u);
  }
}

TEST(AutoSetup, RefusesABufferWithoutRoomAndLeavesTheAnalyserForKorvantaDevice) {
  Scene s;
  NewAnalyser(s.p);
  KVWChar one = u'#';
  EXPECT_EQ(AutoSetupBT(s.p, s.held, nullptr, 8, true, Parent()), 0);
  EXPECT_EQ(AutoSetupBT(s.p, s.held, &one, 0, true, Parent()), 0);
  EXPECT_TRUE(s.p.calls.empty());
  // Pending for 2 s after the pairing, the port listed only then: the flow waits on the platform's clock.
  s.p.SimulatePendingInstall(2000).AnswerPrompts({kButtonYes});
  WithPort(s.p, kAnalyser, u"9");
  s.p.portClasses[0].ports[0].fromLookup = 2;
  Buffer port(8), name(32), address(32), again(8);
  ASSERT_EQ(AutoSetupBT(s.p, s.held, port.get(), 8, true, Parent()), 1);
  EXPECT_EQ(port.units.substr(0, 3), std::u16string(u"9\0#", 3));
  EXPECT_EQ(s.p.now, 2000u);
  EXPECT_EQ(s.p.Count("Sleep"), 0u);
  EXPECT_EQ(GetBTKorvantaDevice(s.p, s.held, name.get(), 32, address.get(), 32, again.get(), 8, 7), 1);
  EXPECT_EQ(name.Text() + again.Text(), u"Korvanta 81249");
  EXPECT_EQ(s.p.Count("FindFirstDevice"), 1u);
}

}  // namespace
}  // namespace kv::bt::testing
