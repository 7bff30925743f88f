// pairing_test.cpp: confirming or choosing a new analyser, pairing with its fall-backs and result mapping,
// the PIN callback, the serial port service, removing analyser pairings, and the two pairing exports.
#include "bt_test_support.h"

namespace kv::bt::testing {
namespace {

constexpr uint64_t kNew = 0x0011223344AA;
const std::string kPin = [] {
  const std::u16string pin = Msg(kMsgPairingPin);
  return std::string(pin.begin(), pin.end());
}();

BtDeviceRecord NewAnalyser() {
  BtDeviceRecord device;
  device.address = kNew;
  device.name = u"Korvanta 8124";
  return device;
}

TEST(PairNewDevice, AsksAsTheSearchFoundAndPairsOnlyWhenAllowed) {
    const Script oneNewTwoPaired = [](FakeBtPlatform& p) {
    p.SimulateDeviceInRange(u"Korvanta 1", AddressOf(1), true).SimulateDeviceInRange(u"Korvanta 8124", kNew);
    p.SimulateDeviceInRange(u"Caballix 2", AddressOf(2), true).SimulateDeviceInRange(u"Pixel", AddressOf(3), true);
  };
  const Script threeNewOnePaired = [](FakeBtPlatform& p) {
    for (int n : {1, 4, 2, 3}) p.SimulateDeviceInRange(n == 4 ? u"Pixel" : u"Korvanta", AddressOf(n));
    p.SimulateDeviceInRange(u"Korvanta 9", AddressOf(9), true);
  };
  const Prompt found = FoundNew(u"Korvanta 8124", u"00:11:22:33:44:AA");
  const Prompt several = Box(kMsgSeveralNewDevices, kMsgCaptionFoundNew, kStyleOkCancelInfo);
  const struct { const char* name; Script setup; std::vector<int32_t> answers; std::optional<uint64_t> choice;
                 uint64_t paired; std::vector<Prompt> prompts; std::vector<std::string> removed; } rows[] = {
      {"no new analyser", [](FakeBtPlatform& p) { p.SimulateDeviceInRange(u"Korvanta", AddressOf(1), true); }, {}, {}, 0, {}, {}},
      {"yes, yes", oneNewTwoPaired, {kButtonYes, kButtonYes}, {}, kNew, {found, Existing(2)},
       {"RemoveDevice(11223344A1)", "RemoveDevice(11223344A2)"}},
      {"yes, no", oneNewTwoPaired, {kButtonYes, kButtonNo}, {}, kNew, {found, Existing(2)}, {}},
      {"no", oneNewTwoPaired, {kButtonNo}, {}, 0, {found}, {}},
      {"found box not shown", oneNewTwoPaired, {kButtonNone}, {}, 0, {found}, {}},
      {"yes, cancel", oneNewTwoPaired, {kButtonYes, kButtonCancel}, {}, 0, {found, Existing(2)}, {}},
      {"yes, box not shown", oneNewTwoPaired, {kButtonYes, kButtonNone}, {}, 0, {found, Existing(2)}, {}},
      {"several: chosen, no", threeNewOnePaired, {kButtonOk, kButtonNo}, AddressOf(3), AddressOf(3), {several, Existing(1)}, {}},
      {"several: cancel", threeNewOnePaired, {kButtonCancel}, {}, 0, {several}, {}},
      {"several: dialog cancelled", threeNewOnePaired, {kButtonOk}, std::nullopt, 0, {several}, {}}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Scene s;
    s.p.SimulateRadio();
    row.setup(s.p);
    s.p.answers.assign(row.answers.begin(), row.answers.end());
    s.p.selections = {row.choice};
    CBluetoothStackMicrosoft unsearched(s.p);
    EXPECT_FALSE(unsearched.PairNewDevice(Parent(), false));
    CBluetoothStack& stack = s.Searched();
    const int pairedBefore = stack.GetPairedDeviceCount();
    EXPECT_EQ(stack.PairNewDevice(Parent(), false), row.paired != 0);
    EXPECT_EQ(s.p.prompts, row.prompts);
    EXPECT_EQ(s.p.Named({"RemoveDevice"}), row.removed);
    EXPECT_EQ(stack.GetPairedDeviceCount(), pairedBefore - static_cast<int>(row.removed.size()));
    EXPECT_EQ(s.p.Count("LoadModule") > 0, row.paired != 0);
    EXPECT_TRUE(row.paired == 0 || s.p.IsPaired(row.paired));
    EXPECT_TRUE(s.p.IsPaired(AddressOf(3)) || row.setup != oneNewTwoPaired);  // not an analyser: kept
    EXPECT_EQ(s.p.offered, std::vector<std::vector<uint64_t>>(s.p.offered.size(), {AddressOf(1), AddressOf(2), AddressOf(3)}));
  }
}

TEST(Pairing, FallsBackFromTheNewerCallsAndMapsTheirAnswers) {
  const std::string load = "LoadModule(bthprops.cpl)", free = "FreeLoadedModule()";
  const std::string reg = "RegisterForAuthenticationEx(11223344AA,null)", ex = "AuthenticateDeviceEx(owner,0,0)";
  const std::string send = "SendAuthenticationResponseEx(0)", unreg = "UnregisterAuthentication()";
  const std::string legacy = "AuthenticateDevice(null,0,11223344AA," + kPin + ")";
  const std::string service = "SetServiceState(0,11223344AA,SPP,1)";
    const struct { const char* name; Script setup; uint32_t failure; std::vector<std::string> calls; } rows[] = {
      {"no module", [](FakeBtPlatform& p) { p.pairingModule = false; }, 0, {load, legacy, service}},
      {"no registration call", [](FakeBtPlatform& p) { p.missingCalls = {"RegisterForAuthenticationEx"}; }, 0,
       {load, reg, legacy, free, service}},
      {"newer calls", [](FakeBtPlatform&) {}, 0, {load, reg, ex, load, send, free, unreg, free, service}},
      {"259 is success", [](FakeBtPlatform& p) { p.authExResults = {kErrorNoMoreItems}; }, 0,
       {load, reg, ex, load, send, free, unreg, free, service}},
      {"1244 falls back", [](FakeBtPlatform& p) { p.authExResults = {kErrorNotAuthenticated}; }, 0,
       {load, reg, ex, load, send, free, legacy, unreg, free, service}},
      {"legacy answer decides", [](FakeBtPlatform& p) { p.authExResults = {kErrorNotAuthenticated}; p.legacyResults = {1167}; },
       1167, {load, reg, ex, load, send, free, legacy, unreg, free}},
      {"other code fails", [](FakeBtPlatform& p) { p.authExResults = {121}; }, 121, {load, reg, ex, load, send, free, unreg, free}},
      {"no newer pairing call", [](FakeBtPlatform& p) { p.missingCalls = {"AuthenticateDeviceEx"}; }, kErrorCancelled,
       {load, reg, ex, unreg, free}},
      // Without the callback the newer call gets no PIN and answers 1244: the legacy call pairs.
      {"failed registration", [](FakeBtPlatform& p) { p.registerResult = 87; }, 0, {load, reg, ex, legacy, free, service}}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    FakeBtPlatform p;
    p.SimulateDeviceInRange(u"Korvanta 8124", kNew);
    row.setup(p);
    CBluetoothStackMicrosoft stack(p);
    BtDeviceRecord device = NewAnalyser();
    EXPECT_EQ(stack.AuthenticateDevice(&device, true, Parent(), false), row.failure == 0);
    EXPECT_EQ(p.Named({"LoadModule", "FreeLoadedModule", "RegisterForAuthenticationEx", "AuthenticateDeviceEx",
                       "SendAuthenticationResponseEx", "UnregisterAuthentication", "AuthenticateDevice",
                       "SetServiceState"}),
              row.calls);
    EXPECT_EQ(p.prompts, row.failure == 0 ? std::vector<Prompt>{}
                                          : std::vector<Prompt>{ErrorBox(row.failure, kMsgPairingFailed, 0x35)});
    EXPECT_EQ(p.OpenHandles(), 0);
  }
}

TEST(Pairing, EnablesTheSerialServiceRetriesOnRequestAndLooksForThePort) {
  FakeBtPlatform p;
  p.SimulateDeviceInRange(u"Korvanta 8124", kNew);
  p.serviceResults = {kResultInvalidArg, 1060};
  p.AnswerPrompts({kButtonRetry});
  CBluetoothStackMicrosoft stack(p);
  BtDeviceRecord device = NewAnalyser();
  EXPECT_FALSE(stack.AuthenticateDevice(nullptr, true, Parent(), true));
  EXPECT_TRUE(p.calls.empty());
  EXPECT_TRUE(stack.AuthenticateDevice(&device, true, Parent(), false));  // E_INVALIDARG: already enabled
  EXPECT_TRUE(p.prompts.empty());
  EXPECT_TRUE(stack.AuthenticateDevice(&device, true, Parent(), false));  // 1060, Retry, then success
  EXPECT_EQ(p.prompts, std::vector<Prompt>{ErrorBox(1060, kMsgServiceFailed, 0x35)});
  EXPECT_EQ(p.Count("AuthenticateDeviceEx"), 3u);
  p.authExResults = {121};
  EXPECT_FALSE(stack.AuthenticateDevice(&device, false, Parent(), true));  // silent failure: no box, no retry
  EXPECT_EQ(p.prompts.size(), 1u);
  EXPECT_EQ(p.Count("AuthenticateDeviceEx"), 4u);
  EXPECT_EQ(p.Count("ClassGuidsFromName"), 2u);  // one lookup after each success, no wait asked
  EXPECT_EQ(p.Count("WaitNoPendingInstallEvents"), 0u);

  EXPECT_TRUE(stack.AuthenticateDevice(&device, true, Parent(), true));  // waits, and succeeds without a port
  EXPECT_EQ(p.Count("ClassGuidsFromName"), 2u + 4u);
  EXPECT_EQ(p.now, 1500u);
  p.SimulatePortDevice(fake::BluetoothPort(kNew, u"5"));
  EXPECT_TRUE(stack.AuthenticateDevice(&device, true, Parent(), true));  // the port is there: no wait
  EXPECT_EQ(p.Count("ClassGuidsFromName"), 7u);
  EXPECT_EQ(p.OpenHandles(), 0);
}

TEST(PinCallback, SendsTheLowBytesOfAtMostFifteenPinUnitsWhateverTheMethod) {
  FakeBtPlatform p;
  BtAuthRequest request;
  request.device = NewAnalyser();
  request.method = kAuthMethodNumericComparison;
  EXPECT_FALSE(AuthenticationCallback(p, nullptr, nullptr));
  EXPECT_TRUE(p.calls.empty());
  ASSERT_TRUE(AuthenticationCallback(p, nullptr, &request));
  BtAuthResponse expected{kNew, kAuthMethodNumericComparison, {}, static_cast<uint8_t>(kPin.size()), 0};
  std::copy(kPin.begin(), kPin.end(), expected.pin.begin());
  p.texts[kMsgPairingPin] = u"\u0131\u0232ABCDEFGHIJKLMNOPQRS";  // 21 units, read as 15
  ASSERT_TRUE(AuthenticationCallback(p, nullptr, &request));
  ASSERT_EQ(p.responses.size(), 2u);
  EXPECT_EQ(p.responses[0], expected);
  expected.pin = {0x31, 0x32, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 0};
  expected.pinLength = 15;
  EXPECT_EQ(p.responses[1], expected);
  EXPECT_EQ(p.OpenHandles(), 0);

    for (Script refusal : {Script([](FakeBtPlatform& f) { f.sendResult = 5; }),
                        Script([](FakeBtPlatform& f) { f.pairingModule = false; }),
                        Script([](FakeBtPlatform& f) { f.missingCalls = {"SendAuthenticationResponseEx"}; })}) {
    FakeBtPlatform q;
    refusal(q);
    EXPECT_FALSE(AuthenticationCallback(q, nullptr, &request));
    EXPECT_EQ(q.OpenHandles(), 0);
  }
}

TEST(RemoveAuthentications, RemovesOnlyPairedAnalysers) {
  Scene s;
  s.p.SimulateRadio().SimulateDeviceInRange(u"Korvanta 1", AddressOf(1), true);
  s.p.SimulateDeviceInRange(u"Pixel", AddressOf(2), true).SimulateDeviceInRange(u"Korvanta 3", AddressOf(3));
  s.p.SimulateDeviceInRange(u"Quattron 4", AddressOf(4), true).removalFails = {AddressOf(1)};
  CBluetoothStack& stack = s.Searched();
  EXPECT_FALSE(stack.RemoveAuthentications(true, Parent()));  // one failed; the others were still tried
  EXPECT_THAT(s.p.Named({"RemoveDevice"}), ElementsAre("RemoveDevice(11223344A1)", "RemoveDevice(11223344A4)"));
  EXPECT_EQ(stack.GetPairedDeviceCount(), 1);
  EXPECT_TRUE(stack.FoundDevices()[0].authenticated);
  EXPECT_FALSE(stack.FoundDevices()[3].authenticated);

  // Without a search: every analyser the platform knows, in range or not, listed without an inquiry.
  FakeBtPlatform p;
  p.SimulateDeviceInRange(u"Korvanta 5", AddressOf(5), true).devices.back().inRange = false;
  p.SimulateDeviceInRange(u"Pixel", AddressOf(2), true).SimulateDeviceInRange(u"Korvanta 6", AddressOf(6));
  CBluetoothStackMicrosoft fresh(p);
  EXPECT_TRUE(fresh.RemoveAuthentications(true, Parent()));
  EXPECT_THAT(p.Named({"FindFirstDevice", "RemoveDevice"}), ElementsAre("FindFirstDevice(0,0,1111,0)", "RemoveDevice(11223344A5)"));
  EXPECT_TRUE(p.IsPaired(AddressOf(2)));
  EXPECT_EQ(p.OpenHandles(), 0);
  p.findFailures = {kRpcServerUnavailable, kRpcServerUnavailable};
  EXPECT_FALSE(fresh.RemoveAuthentications(true, Parent()));
  EXPECT_FALSE(fresh.RemoveAuthentications(false, Parent()));
  EXPECT_EQ(p.prompts, std::vector<Prompt>{ErrorBox(kRpcServerUnavailable, 0, 0x30)});
}

TEST(PairingExports, SearchSilentlyOnlyWhenNoSearchIsHeld) {
  Scene s;
  EXPECT_EQ(UnAuthenticateBTDevices(s.p, s.held, true, Parent(), 7), 0);  // no radio
  EXPECT_EQ(AuthenticateBTDevice(s.p, s.held, Parent(), 7), 0);
  s.p.SimulateRadio().SimulateDeviceInRange(u"Korvanta 8124", kNew).AnswerPrompts({kButtonYes});
  s.p.SimulateDeviceInRange(u"Pixel", AddressOf(2), true).SimulatePortDevice(fake::BluetoothPort(kNew, u"5"));
  EXPECT_EQ(AuthenticateBTDevice(s.p, s.held, Parent(), 7), 1);
  EXPECT_EQ(s.p.prompts, std::vector<Prompt>{FoundNew(u"Korvanta 8124", u"00:11:22:33:44:AA")});
  EXPECT_EQ(AuthenticateBTDevice(s.p, s.held, Parent(), 7), 0);  // the same search asks again: declined
  EXPECT_EQ(s.p.prompts.size(), 2u);
  EXPECT_EQ(UnAuthenticateBTDevices(s.p, s.held, true, Parent(), 7), 1);
  EXPECT_FALSE(s.p.IsPaired(kNew));
  EXPECT_TRUE(s.p.IsPaired(AddressOf(2)));
  ASSERT_NE(s.held, nullptr);
  EXPECT_FALSE(s.held->IsSearchDone());  // a fresh object replaced the searched one
  EXPECT_THAT(s.p.Named({"FindFirstDevice"}), ElementsAre("FindFirstDevice(1,7,1111,0)", "FindFirstDevice(0,0,1111,0)"));
}

}  // namespace
}  // namespace kv::bt::testing
