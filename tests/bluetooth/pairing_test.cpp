// pairing_test.cpp: confirming and choosing a new analyser, pairing with its fall-backs and result mapping,
// the PIN callback, the serial port service, removal of analyser pairings, and the two pairing exports.
#include <gmock/gmock.h>

#include "bt_test_support.h"

namespace kv::bt::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr uint64_t kNew = 0x0011223344AAull;

class PairingTest : public BtTest {
 protected:
  PairingTest() { platform.SimulateRadio(); }
  // The calls of one pairing attempt, in order.
  std::vector<std::string> PairingCalls() const {
    return platform.CallsNamed({"LoadModule", "FreeLoadedModule", "RegisterForAuthenticationEx",
                                "AuthenticateDeviceEx", "SendAuthenticationResponseEx", "UnregisterAuthentication",
                                "AuthenticateDevice", "SetServiceState"});
  }
  BtDeviceRecord Device() {
    BtDeviceRecord device;
    device.address = kNew;
    device.name = u"Korvanta 8124";
    return device;
  }
};

// ---- PairNewDevice ----

TEST_F(PairingTest, NothingHappensBeforeASearch) {
  CBluetoothStackMicrosoft stack(platform);
  EXPECT_FALSE(stack.PairNewDevice(Parent(), true));
  EXPECT_THAT(platform.Prompts(), IsEmpty());
}

TEST_F(PairingTest, NoNewAnalyserAnswersFalseWithoutPrompt) {
  platform.SimulateDeviceInRange(u"Korvanta 1", AddressOf(1), true);
  EXPECT_FALSE(SearchedStack().PairNewDevice(Parent(), true));
  EXPECT_THAT(platform.Prompts(), IsEmpty());
  EXPECT_THAT(PairingCalls(), IsEmpty());
}

TEST_F(PairingTest, OneNewAndTwoPairedWithYesYesRemovesBothThenPairs) {
  platform.SimulateDeviceInRange(u"Korvanta 1", AddressOf(1), true)
      .SimulateDeviceInRange(u"Korvanta 8124", kNew)
      .SimulateDeviceInRange(u"Caballix 2", AddressOf(2), true)
      .SimulateDeviceInRange(u"Pixel", AddressOf(3), true)
      .SimulatePortDevice(fake::BluetoothPort(kNew, u"5"))
      .AnswerPrompts({kButtonYes, kButtonYes});
  CBluetoothStack& stack = SearchedStack();
  EXPECT_TRUE(stack.PairNewDevice(Parent(), true));
  EXPECT_THAT(PromptsOf(platform),
              ElementsAre(FoundNewPrompt(u"Korvanta 8124", u"00:11:22:33:44:AA"), ExistingPairingsPrompt(2)));
  EXPECT_THAT(platform.CallsNamed({"RemoveDevice"}), ElementsAre("RemoveDevice(0011223344A1)", "RemoveDevice(0011223344A2)"));
  EXPECT_EQ(stack.GetPairedDeviceCount(), 0);
  EXPECT_TRUE(platform.IsPaired(AddressOf(3)));  // not an analyser: left paired
  EXPECT_TRUE(platform.IsPaired(kNew));
  EXPECT_TRUE(platform.ServiceEnabled(kNew));
  // Removal comes before the pairing.
  const auto& calls = platform.Calls();
  EXPECT_LT(std::find(calls.begin(), calls.end(), "RemoveDevice(0011223344A2)") - calls.begin(),
            std::find(calls.begin(), calls.end(), "LoadModule(bthprops.cpl)") - calls.begin());
}

TEST_F(PairingTest, NoToExistingPairingsPairsWithoutRemoving) {
  platform.SimulateDeviceInRange(u"Korvanta 1", AddressOf(1), true)
      .SimulateDeviceInRange(u"Korvanta 8124", kNew)
      .SimulatePortDevice(fake::BluetoothPort(kNew, u"5"))
      .AnswerPrompts({kButtonYes, kButtonNo});
  CBluetoothStack& stack = SearchedStack();
  EXPECT_TRUE(stack.PairNewDevice(Parent(), true));
  EXPECT_THAT(platform.CallsNamed({"RemoveDevice"}), IsEmpty());
  EXPECT_EQ(stack.GetPairedDeviceCount(), 1);
  EXPECT_TRUE(platform.IsPaired(kNew));
}

struct RefusalCase {
  const char* name;
  std::vector<int32_t> answers;
  size_t prompts;
};

class PairingRefusal : public PairingTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(PairingRefusal, PairsNothing) {
  platform.SimulateDeviceInRange(u"Korvanta 1", AddressOf(1), true).SimulateDeviceInRange(u"Korvanta 8124", kNew);
  for (int32_t answer : GetParam().answers) platform.AnswerPrompts({answer});
  EXPECT_FALSE(SearchedStack().PairNewDevice(Parent(), true));
  EXPECT_EQ(platform.Prompts().size(), GetParam().prompts);
  EXPECT_THAT(PairingCalls(), IsEmpty());
  EXPECT_THAT(platform.CallsNamed({"RemoveDevice"}), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Answers, PairingRefusal,
                         ::testing::Values(RefusalCase{"NoToFoundNew", {kButtonNo}, 1},
                                           RefusalCase{"FoundNewNotShown", {kButtonNone}, 1},
                                           RefusalCase{"CancelToExisting", {kButtonYes, kButtonCancel}, 2},
                                           RefusalCase{"ExistingNotShown", {kButtonYes, kButtonNone}, 2}),
                         ByName());

TEST_F(PairingTest, ThreeNewAnalysersGoThroughTheSelectionDialog) {
  platform.SimulateDeviceInRange(u"Korvanta 1", AddressOf(1))
      .SimulateDeviceInRange(u"Pixel", AddressOf(4))
      .SimulateDeviceInRange(u"Korvanta 2", AddressOf(2))
      .SimulateDeviceInRange(u"Korvanta 3", AddressOf(3))
      .SimulateDeviceInRange(u"Korvanta 9", AddressOf(9), true)
      .AnswerPrompts({kButtonOk, kButtonNo})
      .AnswerSelection(AddressOf(3));
  CBluetoothStack& stack = SearchedStack();
  EXPECT_TRUE(stack.PairNewDevice(Parent(), false));
  EXPECT_THAT(PromptsOf(platform), ElementsAre(SeveralNewPrompt(), ExistingPairingsPrompt(1)));
  ASSERT_EQ(platform.Dialogs().size(), 1u);
  EXPECT_THAT(platform.CallsNamed({"SelectDevices"}),
              ElementsAre("SelectDevices(owner=parent,force=0,authenticated=0,remembered=0,unknown=1,wizard=0,"
                          "skipServices=1,filter=1,devices=0)"));
  EXPECT_THAT(platform.Dialogs()[0].offered, ElementsAre(AddressOf(1), AddressOf(2), AddressOf(3)));
  EXPECT_TRUE(platform.IsPaired(AddressOf(3)));
  EXPECT_FALSE(platform.IsPaired(AddressOf(1)));
}

TEST_F(PairingTest, SeveralNewCancelledOrDialogCancelledPairsNothing) {
  platform.SimulateDeviceInRange(u"Korvanta 1", AddressOf(1)).SimulateDeviceInRange(u"Korvanta 2", AddressOf(2));
  CBluetoothStack& stack = SearchedStack();
  platform.AnswerPrompts({kButtonCancel});
  EXPECT_FALSE(stack.PairNewDevice(Parent(), true));
  EXPECT_THAT(platform.Dialogs(), IsEmpty());
  platform.AnswerPrompts({kButtonOk}).AnswerSelectionCancelled();
  EXPECT_FALSE(stack.PairNewDevice(Parent(), true));
  EXPECT_EQ(platform.Dialogs().size(), 1u);
  EXPECT_THAT(PairingCalls(), IsEmpty());
}

// ---- AuthenticateDevice: fall-backs and result mapping ----

struct PairingRoute {
  const char* name;
  std::function<void(FakeBtPlatform&)> setup;
  bool result;
  std::vector<std::string> calls;
  uint32_t failureCode;  // 0: no error box
};

class PairingRoutes : public PairingTest, public ::testing::WithParamInterface<PairingRoute> {};

TEST_P(PairingRoutes, FollowTheFallBacks) {
  platform.SimulateDeviceInRange(u"Korvanta 8124", kNew).AnswerPrompts({kButtonCancel});
  GetParam().setup(platform);
  CBluetoothStackMicrosoft stack(platform);
  BtDeviceRecord device = Device();
  EXPECT_EQ(stack.AuthenticateDevice(&device, true, Parent(), false), GetParam().result);
  EXPECT_EQ(PairingCalls(), GetParam().calls);
  if (GetParam().failureCode == 0) {
    EXPECT_THAT(platform.Prompts(), IsEmpty());
  } else {
    EXPECT_THAT(PromptsOf(platform),
                ElementsAre(ErrorPrompt(platform, GetParam().failureCode, kMsgPairingFailed, 0x35)));
  }
  EXPECT_EQ(platform.OpenHandles(), 0);
}

const std::string kLoad = "LoadModule(bthprops.cpl)";
const std::string kFree = "FreeLoadedModule()";
const std::string kRegister = "RegisterForAuthenticationEx(address=0011223344AA,context=null)";
const std::string kPairEx = "AuthenticateDeviceEx(owner=parent,radio=0,address=0011223344AA,requirement=0)";
const std::string kSend = "SendAuthenticationResponseEx(radio=0,address=0011223344AA)";
const std::string kUnregister = "UnregisterAuthentication()";
const std::string kLegacy = "AuthenticateDevice(owner=null,radio=0,address=0011223344AA,pin=73914)";
const std::string kService = "SetServiceState(radio=0,address=0011223344AA,service=SPP,enable=1)";

INSTANTIATE_TEST_SUITE_P(
    Routes, PairingRoutes,
    ::testing::Values(
        PairingRoute{"NoModuleUsesLegacy", [](FakeBtPlatform& p) { p.SimulateNoPairingModule(); }, true,
                     {kLoad, kLegacy, kService}, 0},
        PairingRoute{"NoRegistrationUsesLegacyThenFrees",
                     [](FakeBtPlatform& p) { p.SimulateMissingCall("RegisterForAuthenticationEx"); }, true,
                     {kLoad, kRegister, kLegacy, kFree, kService}, 0},
        PairingRoute{"NewerCallsWithCallback", [](FakeBtPlatform&) {}, true,
                     {kLoad, kRegister, kPairEx, kLoad, kSend, kFree, kUnregister, kFree, kService}, 0},
        PairingRoute{"NoMoreItemsIsSuccess", [](FakeBtPlatform& p) { p.QueueAuthenticateExResult(259); }, true,
                     {kLoad, kRegister, kPairEx, kLoad, kSend, kFree, kUnregister, kFree, kService}, 0},
        PairingRoute{"NotAuthenticatedFallsBackToLegacy",
                     [](FakeBtPlatform& p) { p.QueueAuthenticateExResult(1244); }, true,
                     {kLoad, kRegister, kPairEx, kLoad, kSend, kFree, kLegacy, kUnregister, kFree, kService}, 0},
        PairingRoute{"LegacyAnswerDecidesAfterFallBack",
                     [](FakeBtPlatform& p) { p.QueueAuthenticateExResult(1244).QueueLegacyResult(1167); }, false,
                     {kLoad, kRegister, kPairEx, kLoad, kSend, kFree, kLegacy, kUnregister, kFree}, 1167},
        PairingRoute{"OtherNewerCodeFails", [](FakeBtPlatform& p) { p.QueueAuthenticateExResult(121); }, false,
                     {kLoad, kRegister, kPairEx, kLoad, kSend, kFree, kUnregister, kFree}, 121},
        PairingRoute{"RegistrationWithoutNewerPairingIsCancelled",
                     [](FakeBtPlatform& p) { p.SimulateMissingCall("AuthenticateDeviceEx"); }, false,
                     {kLoad, kRegister, kPairEx, kUnregister, kFree}, 1223},
        // Without the callback the newer call cannot give the PIN and answers 1244: the legacy call pairs.
        PairingRoute{"FailedRegistrationIsNotUnregistered", [](FakeBtPlatform& p) { p.SetRegisterResult(87); }, true,
                     {kLoad, kRegister, kPairEx, kLegacy, kFree, kService}, 0},
        PairingRoute{"LegacyWrongPinFails",
                     [](FakeBtPlatform& p) { p.SimulateNoPairingModule().SetText(64, u"00000"); }, false,
                     {kLoad, "AuthenticateDevice(owner=null,radio=0,address=0011223344AA,pin=00000)"}, 1244}),
    ByName());

TEST_F(PairingTest, InvalidArgumentFromTheServiceIsSuccess) {
  platform.SimulateDeviceInRange(u"Korvanta 8124", kNew).QueueServiceResult(0x80070057u);
  CBluetoothStackMicrosoft stack(platform);
  BtDeviceRecord device = Device();
  EXPECT_TRUE(stack.AuthenticateDevice(&device, true, Parent(), false));
  EXPECT_THAT(platform.Prompts(), IsEmpty());
}

TEST_F(PairingTest, ServiceFailureShowsItsOwnMessageAndRetryStartsAfresh) {
  platform.SimulateDeviceInRange(u"Korvanta 8124", kNew).QueueServiceResult(1060).AnswerPrompts({kButtonRetry});
  CBluetoothStackMicrosoft stack(platform);
  BtDeviceRecord device = Device();
  EXPECT_TRUE(stack.AuthenticateDevice(&device, true, Parent(), false));
  EXPECT_THAT(PromptsOf(platform), ElementsAre(ErrorPrompt(platform, 1060, kMsgServiceFailed, 0x35)));
  // The PIN is read and the module loaded again for the second attempt.
  EXPECT_EQ(platform.CountCalls("AuthenticateDeviceEx"), 2u);
  EXPECT_EQ(platform.CountCalls("SetServiceState"), 2u);
  EXPECT_EQ(platform.CallsNamed({"LoadText"}).front(), "LoadText(64)");
  EXPECT_GE(platform.CountCalls("LoadText"), 4u);  // PIN and callback PIN, twice
  EXPECT_EQ(platform.OpenHandles(), 0);
}

TEST_F(PairingTest, FailureWithoutInteractionShowsNothing) {
  platform.SimulateDeviceInRange(u"Korvanta 8124", kNew).QueueAuthenticateExResult(121);
  CBluetoothStackMicrosoft stack(platform);
  BtDeviceRecord device = Device();
  EXPECT_FALSE(stack.AuthenticateDevice(&device, false, Parent(), true));
  EXPECT_THAT(platform.Prompts(), IsEmpty());
  EXPECT_EQ(platform.CountCalls("AuthenticateDeviceEx"), 1u);
}

TEST_F(PairingTest, NullDeviceIsRefused) {
  CBluetoothStackMicrosoft stack(platform);
  EXPECT_FALSE(stack.AuthenticateDevice(nullptr, true, Parent(), true));
  EXPECT_TRUE(platform.Calls().empty());
}

TEST_F(PairingTest, WithoutWaitingSuccessIsImmediateEvenWithoutPort) {
  platform.SimulateDeviceInRange(u"Korvanta 8124", kNew);
  CBluetoothStackMicrosoft stack(platform);
  BtDeviceRecord device = Device();
  EXPECT_TRUE(stack.AuthenticateDevice(&device, true, Parent(), false));
  EXPECT_EQ(platform.CountCalls("ClassGuidsFromName"), 1u);
  EXPECT_EQ(platform.CountCalls("WaitNoPendingInstallEvents"), 0u);
  EXPECT_EQ(platform.NowMilliseconds(), 0u);
}

TEST_F(PairingTest, WaitingRunsTheWaitAndSucceedsWhetherOrNotThePortAppears) {
  platform.SimulateDeviceInRange(u"Korvanta 8124", kNew);
  CBluetoothStackMicrosoft stack(platform);
  BtDeviceRecord device = Device();
  EXPECT_TRUE(stack.AuthenticateDevice(&device, true, Parent(), true));
  EXPECT_EQ(platform.CountCalls("ClassGuidsFromName"), 4u);  // one lookup, then three in the wait
  EXPECT_EQ(platform.NowMilliseconds(), 1500u);
}

TEST_F(PairingTest, PortAlreadyThereSkipsTheWait) {
  platform.SimulateDeviceInRange(u"Korvanta 8124", kNew).SimulatePortDevice(fake::BluetoothPort(kNew, u"5"));
  CBluetoothStackMicrosoft stack(platform);
  BtDeviceRecord device = Device();
  EXPECT_TRUE(stack.AuthenticateDevice(&device, true, Parent(), true));
  EXPECT_EQ(platform.CountCalls("WaitNoPendingInstallEvents"), 0u);
}

// ---- AuthenticationCallback ----

TEST_F(PairingTest, CallbackSendsThePinBytesWhateverTheMethod) {
  platform.SetRequestMethod(kAuthMethodNumericComparison);
  BtAuthRequest request;
  request.device = Device();
  request.method = kAuthMethodNumericComparison;
  EXPECT_TRUE(AuthenticationCallback(platform, nullptr, &request));
  ASSERT_EQ(platform.Responses().size(), 1u);
  BtAuthResponse expected;
  expected.remoteAddress = kNew;
  expected.method = kAuthMethodNumericComparison;
  expected.pin = {'7', '3', '9', '1', '4'};
  expected.pinLength = 5;
  expected.negativeResponse = 0;
  EXPECT_EQ(platform.Responses()[0], expected);
  EXPECT_EQ(platform.OpenHandles(), 0);
}

TEST_F(PairingTest, CallbackSendsTheLowByteOfEachOfAtMostFifteenCharacters) {
  platform.SetText(64, u"\u0131\u0232ABCDEFGHIJKLMNOPQRS");  // 21 units, read as 15
  BtAuthRequest request;
  request.device = Device();
  EXPECT_TRUE(AuthenticationCallback(platform, nullptr, &request));
  ASSERT_EQ(platform.Responses().size(), 1u);
  const BtAuthResponse& sent = platform.Responses()[0];
  EXPECT_EQ(sent.pinLength, 15);
  EXPECT_EQ(sent.pin[0], 0x31);
  EXPECT_EQ(sent.pin[1], 0x32);
  EXPECT_EQ(sent.pin[14], 'M');
  EXPECT_EQ(sent.pin[15], 0);
}

struct CallbackCase {
  const char* name;
  std::function<void(FakeBtPlatform&)> setup;
  bool accepted;
};

class CallbackAnswers : public PairingTest, public ::testing::WithParamInterface<CallbackCase> {};

TEST_P(CallbackAnswers, AreTrueOnlyWhenTheResponseWasAccepted) {
  GetParam().setup(platform);
  BtAuthRequest request;
  request.device = Device();
  EXPECT_EQ(AuthenticationCallback(platform, nullptr, &request), GetParam().accepted);
  EXPECT_EQ(platform.OpenHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CallbackAnswers,
    ::testing::Values(CallbackCase{"Accepted", [](FakeBtPlatform&) {}, true},
                      CallbackCase{"RefusedByThePlatform", [](FakeBtPlatform& p) { p.SetSendResponseResult(5); }, false},
                      CallbackCase{"NoModule", [](FakeBtPlatform& p) { p.SimulateNoPairingModule(); }, false},
                      CallbackCase{"NoSendCall",
                                   [](FakeBtPlatform& p) { p.SimulateMissingCall("SendAuthenticationResponseEx"); },
                                   false}),
    ByName());

TEST_F(PairingTest, CallbackRefusesANullRequest) {
  EXPECT_FALSE(AuthenticationCallback(platform, nullptr, nullptr));
  EXPECT_TRUE(platform.Calls().empty());
}

// ---- RemoveAuthentications ----

TEST_F(PairingTest, RemovalAfterASearchTouchesOnlyPairedAnalysersOfTheList) {
  platform.SimulateDeviceInRange(u"Korvanta 1", AddressOf(1), true)
      .SimulateDeviceInRange(u"Pixel", AddressOf(2), true)
      .SimulateDeviceInRange(u"Korvanta 3", AddressOf(3))
      .SimulateDeviceInRange(u"Quattron 4", AddressOf(4), true)
      .SimulateRemovalFails(AddressOf(1));
  CBluetoothStack& stack = SearchedStack();
  ASSERT_EQ(stack.GetPairedDeviceCount(), 2);
  EXPECT_FALSE(stack.RemoveAuthentications(true, Parent()));  // one removal failed, the others were tried
  EXPECT_THAT(platform.CallsNamed({"RemoveDevice"}), ElementsAre("RemoveDevice(0011223344A1)", "RemoveDevice(0011223344A4)"));
  EXPECT_EQ(stack.GetPairedDeviceCount(), 1);
  EXPECT_TRUE(stack.FoundDevices()[0].authenticated);
  EXPECT_FALSE(stack.FoundDevices()[3].authenticated);
  EXPECT_TRUE(platform.IsPaired(AddressOf(2)));
  EXPECT_THAT(platform.Prompts(), IsEmpty());
}

TEST_F(PairingTest, RemovalWithoutSearchListsKnownDevicesWithoutInquiry) {
  fake::FakeDevice away;  // paired, out of range: still known to the platform
  away.record = {};
  away.record.address = AddressOf(5);
  away.record.name = u"Korvanta 5";
  away.record.authenticated = true;
  away.record.remembered = true;
  away.inRange = false;
  platform.SimulateDevice(away)
      .SimulateDeviceInRange(u"Pixel", AddressOf(2), true)
      .SimulateDeviceInRange(u"Korvanta 6", AddressOf(6));  // in range, never paired: not listed
  CBluetoothStackMicrosoft stack(platform);
  EXPECT_TRUE(stack.RemoveAuthentications(true, Parent()));
  EXPECT_THAT(platform.CallsNamed({"FindFirstDevice"}),
              ElementsAre("FindFirstDevice(inquiry=0,timeout=0,authenticated=1,remembered=1,unknown=1,connected=1,"
                          "radio=0)"));
  EXPECT_THAT(platform.CallsNamed({"RemoveDevice"}), ElementsAre("RemoveDevice(0011223344A5)"));
  EXPECT_FALSE(platform.IsPaired(AddressOf(5)));
  EXPECT_TRUE(platform.IsPaired(AddressOf(2)));
  EXPECT_EQ(platform.OpenHandles(), 0);
}

TEST_F(PairingTest, RemovalThatCannotListShowsAnOkBoxWhenInteractive) {
  platform.SimulateEnumerationFails(1722, 2).AnswerPrompts({kButtonOk});
  CBluetoothStackMicrosoft stack(platform);
  EXPECT_FALSE(stack.RemoveAuthentications(true, Parent()));
  EXPECT_THAT(PromptsOf(platform), ElementsAre(ErrorPrompt(platform, 1722, 0, 0x30)));
  EXPECT_FALSE(stack.RemoveAuthentications(false, Parent()));
  EXPECT_EQ(platform.Prompts().size(), 1u);
}

// ---- Exports ----

TEST_F(PairingTest, AuthenticateBTDeviceSearchesSilentlyOnlyWhenNeeded) {
  platform.SimulateDeviceInRange(u"Korvanta 8124", kNew)
      .SimulatePortDevice(fake::BluetoothPort(kNew, u"5"))
      .AnswerPrompts({kButtonYes});
  EXPECT_EQ(AuthenticateBTDevice(platform, held, Parent(), 7), 1);
  EXPECT_THAT(PromptsOf(platform), ElementsAre(FoundNewPrompt(u"Korvanta 8124", u"00:11:22:33:44:AA")));
  EXPECT_EQ(platform.CountCalls("FindFirstDevice"), 1u);
  EXPECT_EQ(AuthenticateBTDevice(platform, held, Parent(), 7), 0);  // same search: the analyser is not new... yet
  EXPECT_EQ(platform.CountCalls("FindFirstDevice"), 1u);
}

TEST_F(PairingTest, AuthenticateBTDeviceWithNoNewAnalyserShowsNothing) {
  platform.SimulateDeviceInRange(u"Korvanta 1", AddressOf(1), true);
  EXPECT_EQ(AuthenticateBTDevice(platform, held, Parent(), 7), 0);
  EXPECT_THAT(platform.Prompts(), IsEmpty());
}

TEST_F(PairingTest, UnAuthenticateLeavesOtherDevicesAndAFreshObject) {
  platform.SimulateDeviceInRange(u"Korvanta 1", AddressOf(1), true)
      .SimulateDeviceInRange(u"Pixel", AddressOf(2), true)
      .SimulateDeviceInRange(u"Caballix 3", AddressOf(3), true);
  EXPECT_EQ(UnAuthenticateBTDevices(platform, held, true, Parent(), 7), 1);
  EXPECT_FALSE(platform.IsPaired(AddressOf(1)));
  EXPECT_FALSE(platform.IsPaired(AddressOf(3)));
  EXPECT_TRUE(platform.IsPaired(AddressOf(2)));
  ASSERT_NE(held, nullptr);
  EXPECT_FALSE(held->IsSearchDone());
  // One silent inquiry, then the listing of known devices on the new object.
  EXPECT_THAT(platform.CallsNamed({"FindFirstDevice"}),
              ElementsAre("FindFirstDevice(inquiry=1,timeout=7,authenticated=1,remembered=1,unknown=1,connected=1,"
                          "radio=0)",
                          "FindFirstDevice(inquiry=0,timeout=0,authenticated=1,remembered=1,unknown=1,connected=1,"
                          "radio=0)"));
}

TEST(UnAuthenticateWithoutRadio, ReturnsZero) {
  FakeBtPlatform platform;
  CBluetoothStack* held = nullptr;
  EXPECT_EQ(UnAuthenticateBTDevices(platform, held, true, Parent(), 7), 0);
  EXPECT_TRUE(platform.Prompts().empty());  // the silent search step comes first and fails
}

}  // namespace
}  // namespace kv::bt::testing
