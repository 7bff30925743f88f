// pairing_test.cpp: the port lookup after a pairing, the PIN callback, removing analyser pairings, and the two
// pairing exports. The fall-backs, the serial port service and the choice of a new analyser are scenario rows
// of data/flows.txt.
#include "bt_test_support.h"

namespace kv::bt::testing {
namespace {

const std::string kPin = [] {
  const std::u16string pin = Msg(kMsgPairingPin);
  return std::string(pin.begin(), pin.end());
}();

TEST(Pairing, LooksForThePortAndWaitsOnlyWhenAsked) {
  FakeBtPlatform p;
  CBluetoothStackMicrosoft stack(Devices(p, "K1"));
  BtDeviceRecord device = p.devices[0].record;
  EXPECT_FALSE(stack.AuthenticateDevice(nullptr, true, Parent(), true));
  EXPECT_TRUE(stack.AuthenticateDevice(&device, true, Parent(), false));
  EXPECT_EQ(p.Count("ClassGuidsFromName"), 1u);  // one lookup after the success, no wait asked
  EXPECT_TRUE(stack.AuthenticateDevice(&device, true, Parent(), true));  // waits, and succeeds without a port
  EXPECT_EQ(p.Count("ClassGuidsFromName"), 1u + 4u);
  EXPECT_EQ(p.now, 1500u);
  p.SimulatePortDevice(fake::BluetoothPort(AddressOf(1), u"5"));
  EXPECT_TRUE(stack.AuthenticateDevice(&device, true, Parent(), true));  // the port is there: no wait
  EXPECT_EQ(p.Count("ClassGuidsFromName"), 6u);
}

TEST(PinCallback, SendsTheLowBytesOfAtMostFifteenPinUnitsWhateverTheMethod) {
  FakeBtPlatform p;
  BtAuthRequest request;
  request.device.address = AddressOf(1);
  request.method = kAuthMethodNumericComparison;
  EXPECT_FALSE(AuthenticationCallback(p, nullptr, nullptr));
  ASSERT_TRUE(AuthenticationCallback(p, nullptr, &request));
  BtAuthResponse expected{AddressOf(1), kAuthMethodNumericComparison, {}, static_cast<uint8_t>(kPin.size()), 0};
  std::copy(kPin.begin(), kPin.end(), expected.pin.begin());
  p.texts[kMsgPairingPin] = u"\u0131\u0232ABCDEFGHIJKLMNOPQRS";  // 21 units, read as 15
  ASSERT_TRUE(AuthenticationCallback(p, nullptr, &request));
  expected.pin = {0x31, 0x32, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 0};
  expected.pinLength = 15;
  EXPECT_EQ(p.responses.at(1), expected);
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
  Devices(s.p, "K1+ P2+ K3 K4+").removalFails = {AddressOf(1)};
  CBluetoothStack& stack = s.Searched();
  EXPECT_FALSE(stack.RemoveAuthentications(true, Parent()));  // one failed; the others were still tried
  EXPECT_THAT(s.p.Named({"RemoveDevice"}), ElementsAre("RemoveDevice(11223344A1)", "RemoveDevice(11223344A4)"));
  EXPECT_EQ(stack.GetPairedDeviceCount(), 1);
  EXPECT_TRUE(stack.FoundDevices()[0].authenticated);
  EXPECT_FALSE(stack.FoundDevices()[3].authenticated);

  // Without a search: every analyser the platform knows, in range or not, listed without an inquiry.
  FakeBtPlatform p;
  Devices(p, "K5+ P2+ K6").devices[0].inRange = false;
  CBluetoothStackMicrosoft fresh(p);
  EXPECT_FALSE(fresh.PairNewDevice(Parent(), false));
  EXPECT_TRUE(fresh.RemoveAuthentications(true, Parent()));
  EXPECT_THAT(p.Named({"FindFirstDevice", "RemoveDevice"}), ElementsAre("FindFirstDevice(0,0,1111,0)", "RemoveDevice(11223344A5)"));
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
  Devices(s.p, "P2+ K1:5").AnswerPrompts({kButtonYes});
  EXPECT_EQ(AuthenticateBTDevice(s.p, s.held, Parent(), 7), 1);
  EXPECT_EQ(s.p.prompts, std::vector<Prompt>{FoundNew(1)});
  EXPECT_EQ(AuthenticateBTDevice(s.p, s.held, Parent(), 7), 0);  // the same search asks again: declined
  EXPECT_EQ(s.p.prompts.size(), 2u);
  EXPECT_EQ(UnAuthenticateBTDevices(s.p, s.held, true, Parent(), 7), 1);
  EXPECT_FALSE(s.p.IsPaired(AddressOf(1)));
  EXPECT_TRUE(s.p.IsPaired(AddressOf(2)));
  ASSERT_NE(s.held, nullptr);
  EXPECT_FALSE(s.held->IsSearchDone());  // a fresh object replaced the searched one
  EXPECT_THAT(s.p.Named({"FindFirstDevice"}), ElementsAre("FindFirstDevice(1,7,1111,0)", "FindFirstDevice(0,0,1111,0)"));
  s.p.devices[1].inRange = false;
  CBluetoothStack& none = s.Searched();  // nothing new: nothing to confirm
  EXPECT_FALSE(none.PairNewDevice(Parent(), false));
  EXPECT_EQ(s.p.prompts.size(), 2u);
}

}  // namespace
}  // namespace kv::bt::testing
