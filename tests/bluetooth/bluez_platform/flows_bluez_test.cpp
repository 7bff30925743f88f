// The setup's flows over the BlueZ platform and the mock BlueZ service: availability, a search by the
// export's rules, the guided setup ending with the port text, and the prompts it shows on the way.
#include <gtest/gtest.h>

#include <optional>

#include "bluetooth/setup.h"
#include "fake_parts.h"
#include "messages.h"
#include "mock_bluez.h"

namespace kv::bt {
namespace {

using testing::FakedPlatform;
using testing::MockBluez;

constexpr const char* kAnalyser = "00:11:22:33:44:AA";
constexpr uint64_t kAnalyserAddress = 0x0011223344AAull;
constexpr uint32_t kUncategorised = 0x1F00;

// Owns the process-wide stack pointer the flows hold, as the exports' global would.
struct HeldStack {
  CBluetoothStack* stack = nullptr;
  ~HeldStack() { delete stack; }
};

std::u16string PortText(const KVWChar* text) {
  std::u16string out;
  for (; *text != 0; ++text) out.push_back(static_cast<char16_t>(*text));
  return out;
}

TEST(BluezFlows, AvailabilityCountsAdapters) {
  for (const int adapters : {0, 1, 2}) {
    SCOPED_TRACE(adapters);
    const std::unique_ptr<MockBluez> mock = MockBluez::Start();
    for (int i = 0; i < adapters; ++i) {
      mock->AddAdapter("hci" + std::to_string(i), "Desk", "AA:BB:CC:DD:EE:0" + std::to_string(i));
    }
    FakedPlatform faked;
    HeldStack held;
    EXPECT_EQ(IsBTAvailable(*faked.platform, held.stack), adapters > 0 ? 1 : 0);
  }
}

TEST(BluezFlows, StackInfoNamesBlueZAndTheAdapter) {
  const std::unique_ptr<MockBluez> mock = MockBluez::Start();
  mock->AddAdapter("hci0", "Desk", "AA:BB:CC:DD:EE:01");
  FakedPlatform faked;
  HeldStack held;
  KVWChar info[256] = {};
  ASSERT_EQ(GetBTStackInfo(*faked.platform, held.stack, info, 256), 1);
  EXPECT_EQ(PortText(info), u"Bluetooth API: BlueZ\nHardware Info: Desk (0)\nSoftware Info: (0)");
}

TEST(BluezFlows, SearchCountsNewAndPairedAnalysers) {
  const std::unique_ptr<MockBluez> mock = MockBluez::Start();
  mock->AddAdapter("hci0", "Desk", "AA:BB:CC:DD:EE:01");
  mock->AddKnownDevice("hci0", "00:11:22:33:44:01", "Korvanta QPN 1", kUncategorised, true, true, "73914");
  mock->AddKnownDevice("hci0", "00:11:22:33:44:02", "Headset", 0x0404, false, false, "");
  mock->AddDiscoverableDevice("hci0", kAnalyser, "Caballix 7", kUncategorised, "73914", 0);
  FakedPlatform faked;
  HeldStack held;
  int32_t newCount = 0;
  int32_t pairedCount = 0;
  ASSERT_EQ(SearchBTDevices(*faked.platform, held.stack, &newCount, &pairedCount, false, nullptr, 1), 1);
  EXPECT_EQ(newCount, 1);
  EXPECT_EQ(pairedCount, 1);
  KVWChar name[64];
  KVWChar address[18];
  KVWChar port[32] = {u'x', 0};
  ASSERT_EQ(GetBTKorvantaDevice(*faked.platform, held.stack, name, 64, address, 18, port, 32, 1), 1);
  EXPECT_EQ(PortText(name), u"Caballix 7");
  EXPECT_EQ(PortText(address), u"00:11:22:33:44:AA");
  EXPECT_EQ(PortText(port), u"x");  // no port bound yet: the buffer is left as it was
}

TEST(BluezFlows, UnpoweredAdapterShowsTheNoRadioAdvice) {
  const std::unique_ptr<MockBluez> mock = MockBluez::Start();
  mock->AddAdapter("hci0", "Off", "AA:BB:CC:DD:EE:01");
  mock->SetPowered("hci0", false);
  FakedPlatform faked;
  faked.prompts->answers = {kButtonCancel};
  HeldStack held;
  int32_t newCount = 0;
  int32_t pairedCount = 0;
  EXPECT_EQ(SearchBTDevices(*faked.platform, held.stack, &newCount, &pairedCount, true, nullptr, 1), 0);
  ASSERT_EQ(faked.prompts->shown.size(), 1u);
  EXPECT_EQ(faked.prompts->shown[0].caption, u"Bluetooth Device Error (Code: -2147024890)");
  EXPECT_NE(faked.prompts->shown[0].text.find(FindMessageText(kMsgNoRadio)), std::u16string::npos);
  EXPECT_EQ(faked.prompts->shown[0].style, kStyleRetryCancelWarning);
}

TEST(BluezFlows, AutoSetupWithAPairedAnalyserNeedsNoPrompt) {
  const std::unique_ptr<MockBluez> mock = MockBluez::Start();
  mock->AddAdapter("hci0", "Desk", "AA:BB:CC:DD:EE:01");
  mock->AddKnownDevice("hci0", kAnalyser, "Korvanta QPN", kUncategorised, true, true, "73914");
  FakedPlatform faked;
  faked.rfcomm->bound.push_back({2, kAnalyserAddress, 1, false});
  HeldStack held;
  KVWChar port[32] = {};
  ASSERT_EQ(AutoSetupBT(*faked.platform, held.stack, port, 32, false, nullptr), 1);
  EXPECT_EQ(PortText(port), u"/dev/rfcomm2");
  EXPECT_TRUE(faked.prompts->shown.empty());
}

TEST(BluezFlows, AutoSetupOffersTheListWhenSeveralAnalysersArePaired) {
  for (const std::optional<size_t> choice : {std::optional<size_t>(1), std::optional<size_t>()}) {
    SCOPED_TRACE(choice ? "second analyser chosen" : "list cancelled");
    const std::unique_ptr<MockBluez> mock = MockBluez::Start();
    mock->AddAdapter("hci0", "Desk", "AA:BB:CC:DD:EE:01");
    mock->AddKnownDevice("hci0", "00:11:22:33:44:01", "Korvanta A", kUncategorised, true, true, "73914");
    mock->AddKnownDevice("hci0", "00:11:22:33:44:02", "Printer", 0x0680, true, true, "");
    mock->AddKnownDevice("hci0", "00:11:22:33:44:03", "Caballix B", kUncategorised, true, true, "73914");
    FakedPlatform faked;
    faked.rfcomm->bound = {{0, 0x001122334401ull, 1, false}, {1, 0x001122334403ull, 1, false}};
    faked.prompts->choices = {choice};
    HeldStack held;
    KVWChar port[32] = {};
    EXPECT_EQ(AutoSetupBT(*faked.platform, held.stack, port, 32, false, nullptr), choice ? 1 : 0);
    ASSERT_EQ(faked.prompts->lists.size(), 1u);
    // Only the analysers pass the dialog's filter.
    const std::vector<std::u16string> expected = {u"Korvanta A (00:11:22:33:44:01)", u"Caballix B (00:11:22:33:44:03)"};
    EXPECT_EQ(faked.prompts->lists[0], expected);
    if (choice) {
      EXPECT_EQ(PortText(port), u"/dev/rfcomm1");
    }
  }
}

TEST(BluezFlows, AutoSetupPairsANewAnalyserAndEndsWithItsPort) {
  const std::unique_ptr<MockBluez> mock = MockBluez::Start();
  mock->AddAdapter("hci0", "Desk", "AA:BB:CC:DD:EE:01");
  mock->AddDiscoverableDevice("hci0", kAnalyser, "KORVANTA QPN", kUncategorised, "73914", 100);
  FakedPlatform faked;
  faked.prompts->answers = {kButtonYes};  // "Found New Device ... pair this device?"
  HeldStack held;
  KVWChar port[32] = {};
  ASSERT_EQ(AutoSetupBT(*faked.platform, held.stack, port, 32, true, nullptr), 1);
  EXPECT_EQ(PortText(port), u"/dev/rfcomm0");
  ASSERT_EQ(faked.prompts->shown.size(), 1u);
  EXPECT_EQ(faked.prompts->shown[0].caption, FindMessageText(kMsgCaptionFoundNew));
  EXPECT_NE(faked.prompts->shown[0].text.find(u"00:11:22:33:44:AA"), std::u16string::npos);
  const testing::MockDeviceState state = mock->DeviceState(kAnalyser);
  EXPECT_TRUE(state.paired);
  EXPECT_TRUE(state.trusted);
  EXPECT_TRUE(mock->RegisteredAgents().empty());
  EXPECT_TRUE(mock->RegisteredProfiles().empty());
}

TEST(BluezFlows, AutoSetupWithAWrongPinOffersRetryThenGivesUp) {
  const std::unique_ptr<MockBluez> mock = MockBluez::Start();
  mock->AddAdapter("hci0", "Desk", "AA:BB:CC:DD:EE:01");
  mock->AddDiscoverableDevice("hci0", kAnalyser, "Korvanta", kUncategorised, "00000", 0);
  FakedPlatform faked;
  // Yes to pairing; Cancel on the authentication error; Cancel on "no analyser found".
  faked.prompts->answers = {kButtonYes, kButtonCancel, kButtonCancel};
  HeldStack held;
  KVWChar port[32] = {};
  EXPECT_EQ(AutoSetupBT(*faked.platform, held.stack, port, 32, true, nullptr), 0);
  ASSERT_GE(faked.prompts->shown.size(), 2u);
  EXPECT_EQ(faked.prompts->shown[1].caption, u"Bluetooth Device Error (Code: 1244)");
  EXPECT_NE(faked.prompts->shown[1].text.find(FindMessageText(kMsgPairingFailed)), std::u16string::npos);
  EXPECT_FALSE(mock->DeviceState(kAnalyser).paired);
  EXPECT_TRUE(mock->RegisteredAgents().empty());
}

TEST(BluezFlows, RemovingAnalyserPairingsLeavesOtherDevices) {
  const std::unique_ptr<MockBluez> mock = MockBluez::Start();
  mock->AddAdapter("hci0", "Desk", "AA:BB:CC:DD:EE:01");
  mock->AddKnownDevice("hci0", kAnalyser, "Korvanta", kUncategorised, true, true, "73914");
  mock->AddKnownDevice("hci0", "00:11:22:33:44:02", "Headset", 0x0404, true, true, "");
  FakedPlatform faked;
  HeldStack held;
  EXPECT_EQ(UnAuthenticateBTDevices(*faked.platform, held.stack, false, nullptr, 0), 1);
  EXPECT_FALSE(mock->DeviceState(kAnalyser).exists);
  EXPECT_TRUE(mock->DeviceState("00:11:22:33:44:02").exists);
}

}  // namespace
}  // namespace kv::bt
