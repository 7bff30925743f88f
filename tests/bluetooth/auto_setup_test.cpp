// auto_setup_test.cpp: KVAutoSetupBT's whole flows over the fake platform: the prompts in order with their
// captions and styles, the answers given, the inquiry times, and the port text that comes back.
#include <gmock/gmock.h>

#include "bt_test_support.h"

namespace kv::bt::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

constexpr uint64_t kAnalyser = 0x0011223344AAull;
const std::u16string kName = u"Korvanta 8124";
const std::u16string kAddressText = u"00:11:22:33:44:AA";

std::string Inquiry(int timeout) {
  return "FindFirstDevice(inquiry=1,timeout=" + std::to_string(timeout) +
         ",authenticated=1,remembered=1,unknown=1,connected=1,radio=0)";
}

struct Flow {
  const char* name;
  bool interactive;
  std::function<void(FakeBtPlatform&)> setup;  // devices, ports and the user's answers
  std::function<std::vector<SeenPrompt>(const FakeBtPlatform&)> prompts;
  int32_t result;
  std::u16string port;  // the text written on success
  std::vector<int> inquiries;  // timeout multiplier of each search
};

class AutoSetupFlow : public BtTest, public ::testing::WithParamInterface<Flow> {};

TEST_P(AutoSetupFlow, ShowsItsPromptsAndAnswers) {
  const Flow& flow = GetParam();
  flow.setup(platform);
  std::u16string buffer(16, u'#');
  const int32_t result =
      AutoSetupBT(platform, held, reinterpret_cast<KVWChar*>(buffer.data()), 16, flow.interactive, Parent());
  EXPECT_EQ(result, flow.result);
  EXPECT_EQ(PromptsOf(platform), flow.prompts(platform));
  if (flow.result == 1) {
    EXPECT_EQ(TextOf(reinterpret_cast<KVWChar*>(buffer.data())), flow.port);
  } else {
    EXPECT_EQ(buffer, std::u16string(16, u'#'));  // never written on failure
  }
  std::vector<std::string> inquiries;
  for (int timeout : flow.inquiries) inquiries.push_back(Inquiry(timeout));
  EXPECT_THAT(platform.CallsNamed({"FindFirstDevice"}), ElementsAreArray(inquiries));
  EXPECT_EQ(platform.UnscriptedPrompts(), 0);
  EXPECT_EQ(platform.UnusedAnswers(), 0u);
  EXPECT_EQ(platform.OpenHandles(), 0);
}

std::vector<SeenPrompt> None(const FakeBtPlatform&) { return {}; }

INSTANTIATE_TEST_SUITE_P(
    Flows, AutoSetupFlow,
    ::testing::Values(
        Flow{"NoRadioRetryThenCancel", true, [](FakeBtPlatform& p) { p.AnswerPrompts({kButtonRetry, kButtonCancel}); },
             [](const FakeBtPlatform& p) {
               return std::vector<SeenPrompt>(2, ErrorPrompt(p, 20, kMsgNoRadio, 0x35));
             },
             0, u"", {}},
        Flow{"NoRadioSilent", false, [](FakeBtPlatform&) {}, None, 0, u"", {}},
        Flow{"OneNewAnalyserNoEarlierPairings", true,
             [](FakeBtPlatform& p) {
               p.SimulateRadio().SimulateDeviceInRange(kName, kAnalyser);
               p.SimulatePortDevice(fake::BluetoothPort(kAnalyser, u"5")).AnswerPrompts({kButtonYes});
             },
             [](const FakeBtPlatform&) { return std::vector<SeenPrompt>{FoundNewPrompt(kName, kAddressText)}; }, 1,
             u"5", {7}},
        Flow{"OneNewAnalyserAfterEarlierPairings", true,
             [](FakeBtPlatform& p) {
               p.SimulateRadio().SimulateDeviceInRange(u"Quattron 1", AddressOf(1), true);
               p.SimulateDeviceInRange(kName, kAnalyser).SimulatePortDevice(fake::BluetoothPort(kAnalyser, u"14"));
               p.AnswerPrompts({kButtonYes, kButtonYes});
             },
             [](const FakeBtPlatform&) {
               return std::vector<SeenPrompt>{FoundNewPrompt(kName, kAddressText), ExistingPairingsPrompt(1)};
             },
             1, u"14", {7}},
        Flow{"NoAnalyserSilentSearchesOnce", false,
             [](FakeBtPlatform& p) { p.SimulateRadio().SimulateDeviceInRange(u"Pixel", AddressOf(1)); }, None, 0, u"",
             {7}},
        Flow{"EmptyEnumerationShowsTheOkBoxOnly", true,
             [](FakeBtPlatform& p) { p.SimulateRadio().AnswerPrompts({kButtonOk}); },
             [](const FakeBtPlatform& p) { return std::vector<SeenPrompt>{ErrorPrompt(p, 259, 0, 0x30, false)}; }, 0,
             u"", {7}},
        Flow{"NoAnalyserRetriesWithDoublingTimes", true,
             [](FakeBtPlatform& p) {
               p.SimulateRadio().SimulateDeviceInRange(u"Pixel", AddressOf(1));
               p.AnswerPrompts({kButtonRetry, kButtonRetry, kButtonRetry, kButtonRetry, kButtonCancel});
             },
             [](const FakeBtPlatform&) { return std::vector<SeenPrompt>(5, NoDevicePrompt()); }, 0, u"",
             {7, 14, 28, 45, 45}},
        Flow{"NoAnalyserBoxNotShownCountsAsCancel", true,
             [](FakeBtPlatform& p) {
               p.SimulateRadio().SimulateDeviceInRange(u"Pixel", AddressOf(1)).AnswerPrompts({kButtonNone});
             },
             [](const FakeBtPlatform&) { return std::vector<SeenPrompt>{NoDevicePrompt()}; }, 0, u"", {7}},
        Flow{"OnePairedAnalyserNeedsNoPrompt", true,
             [](FakeBtPlatform& p) {
               p.SimulateRadio().SimulateDeviceInRange(kName, kAnalyser, true);
               p.SimulatePortDevice(fake::BluetoothPort(kAnalyser, u"3"));
             },
             None, 1, u"3", {7}},
        Flow{"TwoPairedAnalysersChosenInTheDialog", true,
             [](FakeBtPlatform& p) {
               p.SimulateRadio().SimulateDeviceInRange(u"Korvanta 1", AddressOf(1), true);
               p.SimulateDeviceInRange(u"Korvanta 2", AddressOf(2), true);
               p.SimulatePortDevice(fake::BluetoothPort(AddressOf(1), u"7"))
                   .SimulatePortDevice(fake::BluetoothPort(AddressOf(2), u"8"));
               p.AnswerSelection(AddressOf(1));
             },
             None, 1, u"7", {7}},
        Flow{"TwoPairedAnalysersDialogCancelledLeadsToNoDevice", true,
             [](FakeBtPlatform& p) {
               p.SimulateRadio().SimulateDeviceInRange(u"Korvanta 1", AddressOf(1), true);
               p.SimulateDeviceInRange(u"Korvanta 2", AddressOf(2), true);
               p.AnswerSelectionCancelled().AnswerPrompts({kButtonCancel});
             },
             [](const FakeBtPlatform&) { return std::vector<SeenPrompt>{NoDevicePrompt()}; }, 0, u"", {7}},
        Flow{"DecliningTheNewAnalyserLeadsToNoDevice", true,
             [](FakeBtPlatform& p) {
               p.SimulateRadio().SimulateDeviceInRange(kName, kAnalyser).AnswerPrompts({kButtonNo, kButtonCancel});
             },
             [](const FakeBtPlatform&) {
               return std::vector<SeenPrompt>{FoundNewPrompt(kName, kAddressText), NoDevicePrompt()};
             },
             0, u"", {7}},
        Flow{"DecliningSilentlyGivesUp", false,
             [](FakeBtPlatform& p) { p.SimulateRadio().SimulateDeviceInRange(kName, kAnalyser).AnswerPrompts({kButtonNo}); },
             [](const FakeBtPlatform&) { return std::vector<SeenPrompt>{FoundNewPrompt(kName, kAddressText)}; }, 0,
             u"", {7}},
        // The port is listed from the sixth lookup on: one after pairing, three in the wait, one in the flow
        // (then message 69), and the sixth after Retry.
        Flow{"PortOnlyAfterTheWaitThenRetry", true,
             [](FakeBtPlatform& p) {
               p.SimulateRadio().SimulateDeviceInRange(kName, kAnalyser).SimulatePortAppearsAfter(5, kAnalyser, u"5");
               p.AnswerPrompts({kButtonYes, kButtonRetry});
             },
             [](const FakeBtPlatform&) {
               return std::vector<SeenPrompt>{FoundNewPrompt(kName, kAddressText), PortNotFoundPrompt()};
             },
             1, u"5", {7}},
        Flow{"PortNeverFoundCancelled", true,
             [](FakeBtPlatform& p) {
               p.SimulateRadio().SimulateDeviceInRange(kName, kAnalyser).AnswerPrompts({kButtonYes, kButtonCancel});
             },
             [](const FakeBtPlatform&) {
               return std::vector<SeenPrompt>{FoundNewPrompt(kName, kAddressText), PortNotFoundPrompt()};
             },
             0, u"", {7}},
        Flow{"PortBoxNotShownCountsAsCancel", true,
             [](FakeBtPlatform& p) {
               p.SimulateRadio().SimulateDeviceInRange(kName, kAnalyser).AnswerPrompts({kButtonYes, kButtonNone});
             },
             [](const FakeBtPlatform&) {
               return std::vector<SeenPrompt>{FoundNewPrompt(kName, kAddressText), PortNotFoundPrompt()};
             },
             0, u"", {7}},
        Flow{"PortNotFoundSilentGivesUp", false,
             [](FakeBtPlatform& p) { p.SimulateRadio().SimulateDeviceInRange(kName, kAnalyser, true); }, None, 0, u"",
             {7}},
        Flow{"ThreeNewAnalysersThroughTheDialog", true,
             [](FakeBtPlatform& p) {
               p.SimulateRadio();
               for (int n = 1; n <= 3; ++n) p.SimulateDeviceInRange(u"Korvanta " + Widen(std::to_string(n)), AddressOf(n));
               p.SimulatePortDevice(fake::BluetoothPort(AddressOf(1), u"4"))
                   .SimulatePortDevice(fake::BluetoothPort(AddressOf(3), u"6"));
               p.AnswerPrompts({kButtonOk}).AnswerSelection(AddressOf(3));
             },
             [](const FakeBtPlatform&) { return std::vector<SeenPrompt>{SeveralNewPrompt()}; }, 1, u"6", {7}},
        Flow{"PairingFailsCancelThenNoDevice", true,
             [](FakeBtPlatform& p) {
               p.SimulateRadio().SimulateDeviceInRange(kName, kAnalyser).QueueAuthenticateExResult(121);
               p.AnswerPrompts({kButtonYes, kButtonCancel, kButtonCancel});
             },
             [](const FakeBtPlatform& p) {
               return std::vector<SeenPrompt>{FoundNewPrompt(kName, kAddressText),
                                              ErrorPrompt(p, 121, kMsgPairingFailed, 0x35), NoDevicePrompt()};
             },
             0, u"", {7}},
        Flow{"PairingRetriedAfterAFailure", true,
             [](FakeBtPlatform& p) {
               p.SimulateRadio().SimulateDeviceInRange(kName, kAnalyser).QueueAuthenticateExResult(121);
               p.SimulatePortDevice(fake::BluetoothPort(kAnalyser, u"5"));
               p.AnswerPrompts({kButtonYes, kButtonRetry});
             },
             [](const FakeBtPlatform& p) {
               return std::vector<SeenPrompt>{FoundNewPrompt(kName, kAddressText),
                                              ErrorPrompt(p, 121, kMsgPairingFailed, 0x35)};
             },
             1, u"5", {7}}),
    ByName());

class AutoSetupTest : public BtTest {};

TEST_F(AutoSetupTest, SuccessLeavesOnlyDigitsAndKeepsTheChosenAnalyser) {
  platform.SimulateRadio().SimulateDeviceInRange(kName, kAnalyser).SimulatePortDevice(fake::BluetoothPort(kAnalyser, u"5"));
  platform.AnswerPrompts({kButtonYes});
  std::u16string port(8, u'#');
  ASSERT_EQ(AutoSetupBT(platform, held, reinterpret_cast<KVWChar*>(port.data()), 8, true, Parent()), 1);
  EXPECT_EQ(port.substr(0, 2), std::u16string(u"5\0", 2));
  // A following KVGetBTKorvantaDevice reports that analyser without searching again.
  std::u16string name(64, u'#');
  std::u16string address(32, u'#');
  std::u16string again(8, u'#');
  EXPECT_EQ(GetBTKorvantaDevice(platform, held, reinterpret_cast<KVWChar*>(name.data()), 64,
                                reinterpret_cast<KVWChar*>(address.data()), 32,
                                reinterpret_cast<KVWChar*>(again.data()), 8, 7),
            1);
  EXPECT_EQ(TextOf(reinterpret_cast<KVWChar*>(name.data())), kName);
  EXPECT_EQ(TextOf(reinterpret_cast<KVWChar*>(again.data())), u"5");
  EXPECT_EQ(platform.CountCalls("FindFirstDevice"), 1u);
}

TEST_F(AutoSetupTest, ABufferWithoutRoomIsRefusedBeforeAnything) {
  platform.SimulateRadio().SimulateDeviceInRange(kName, kAnalyser);
  KVWChar one = u'#';
  EXPECT_EQ(AutoSetupBT(platform, held, nullptr, 8, true, Parent()), 0);
  EXPECT_EQ(AutoSetupBT(platform, held, &one, 0, true, Parent()), 0);
  EXPECT_THAT(platform.Calls(), IsEmpty());
}

TEST_F(AutoSetupTest, ThePortWaitAfterPairingTakesItsTimeOnThePlatformClock) {
  // Pending for 2 s after pairing, port listed only afterwards: the flow waits on the platform's clock.
  platform.SimulateRadio().SimulateDeviceInRange(kName, kAnalyser).SimulatePendingInstall(2000);
  platform.SimulatePortAppearsAfter(1, kAnalyser, u"9").AnswerPrompts({kButtonYes});
  std::u16string port(8, u'#');
  ASSERT_EQ(AutoSetupBT(platform, held, reinterpret_cast<KVWChar*>(port.data()), 8, true, Parent()), 1);
  EXPECT_EQ(platform.NowMilliseconds(), 2000u);
  EXPECT_EQ(platform.CountCalls("Sleep"), 0u);
}

}  // namespace
}  // namespace kv::bt::testing
