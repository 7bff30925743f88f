// search_test.cpp: the inquiry, the found list and the analyser counts, the search failures and their
// prompts, the selection dialogs, and the exports KVSearchBTDevices and KVGetBTKorvantaDevice.
#include <gmock/gmock.h>

#include "bt_test_support.h"

namespace kv::bt::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class SearchTest : public BtTest {
 protected:
  SearchTest() { platform.SimulateRadio(); }
  CBluetoothStack& Stack() {
    CBluetoothStack* stack = CreateStack(platform, held);
    EXPECT_NE(stack, nullptr);
    return *stack;
  }
  static std::string Inquiry(int timeout) {
    return "FindFirstDevice(inquiry=1,timeout=" + std::to_string(timeout) +
           ",authenticated=1,remembered=1,unknown=1,connected=1,radio=0)";
  }
};

struct MultiplierCase {
  const char* name;
  uint16_t given;
  int used;
};

class SearchMultiplier : public SearchTest, public ::testing::WithParamInterface<MultiplierCase> {};

TEST_P(SearchMultiplier, IsCappedAt45) {
  platform.SimulateDeviceInRange(u"Pixel", AddressOf(1));
  ASSERT_TRUE(Stack().SearchDevices(GetParam().given, false, nullptr));
  EXPECT_THAT(platform.CallsNamed({"FindFirstDevice"}), ElementsAre(Inquiry(GetParam().used)));
}

INSTANTIATE_TEST_SUITE_P(Multipliers, SearchMultiplier,
                         ::testing::Values(MultiplierCase{"Zero", 0, 0}, MultiplierCase{"Seven", 7, 7},
                                           MultiplierCase{"FortyFive", 45, 45}, MultiplierCase{"FortySix", 46, 45},
                                           MultiplierCase{"Thousand", 1000, 45}),
                         ByName());

TEST_F(SearchTest, RefreshesEveryDeviceAndClosesTheEnumeration) {
  platform.SimulateDeviceInRange(u"Pixel", AddressOf(1)).SimulateDeviceInRange(u"Korvanta 2", AddressOf(2));
  ASSERT_TRUE(Stack().SearchDevices(7, false, nullptr));
  EXPECT_THAT(platform.CallsNamed({"FindFirstDevice", "FindNextDevice", "GetDeviceInfo", "FindDeviceClose"}),
              ElementsAre(Inquiry(7), "GetDeviceInfo(radio=0,address=0011223344A1)", "FindNextDevice()",
                          "GetDeviceInfo(radio=0,address=0011223344A2)", "FindNextDevice()", "FindDeviceClose()"));
  EXPECT_EQ(platform.OpenHandles(), 0);
  EXPECT_TRUE(held->IsSearchDone());
}

TEST_F(SearchTest, ClassifiesByTheRefreshedName) {
  fake::FakeDevice unnamedAtFirst;
  unnamedAtFirst.record.address = AddressOf(1);
  unnamedAtFirst.record.name = u"Korvanta 8124";
  unnamedAtFirst.enumeratedName = u"";
  platform.SimulateDevice(unnamedAtFirst);
  ASSERT_TRUE(Stack().SearchDevices(7, false, nullptr));
  EXPECT_EQ(held->GetNewDeviceCount(), 1);
  EXPECT_EQ(held->GetSelectedDevice()->name, u"Korvanta 8124");
}

TEST_F(SearchTest, FirstPairedThenNewAnalyserSelectsTheNewOne) {
  platform.SimulateDeviceInRange(u"Korvanta 1", AddressOf(1), true).SimulateDeviceInRange(u"Korvanta 2", AddressOf(2));
  ASSERT_TRUE(Stack().SearchDevices(7, false, nullptr));
  EXPECT_EQ(held->GetPairedDeviceCount(), 1);
  EXPECT_EQ(held->GetNewDeviceCount(), 1);
  EXPECT_EQ(held->GetSelectedDevice()->address, AddressOf(2));
}

TEST_F(SearchTest, FirstNewThenPairedKeepsTheFirstNew) {
  platform.SimulateDeviceInRange(u"Korvanta 1", AddressOf(1)).SimulateDeviceInRange(u"Korvanta 2", AddressOf(2), true);
  ASSERT_TRUE(Stack().SearchDevices(7, false, nullptr));
  EXPECT_EQ(held->GetSelectedDevice()->address, AddressOf(1));
}

TEST_F(SearchTest, TwoPairedAnalysersSelectTheLastMet) {
  platform.SimulateDeviceInRange(u"Korvanta 1", AddressOf(1), true)
      .SimulateDeviceInRange(u"Pixel", AddressOf(2))
      .SimulateDeviceInRange(u"Caballix 3", AddressOf(3), true);
  ASSERT_TRUE(Stack().SearchDevices(7, false, nullptr));
  EXPECT_EQ(held->GetPairedDeviceCount(), 2);
  EXPECT_EQ(held->GetNewDeviceCount(), 0);
  EXPECT_EQ(held->GetSelectedDevice()->address, AddressOf(3));
}

TEST_F(SearchTest, SeventyDevicesListSixtyFourButCountEveryAnalyser) {
  // Devices 0 to 63 are phones except 10 (a paired analyser); 64 to 69 are new analysers.
  for (int n = 0; n < 70; ++n) {
    const bool analyser = n == 10 || n >= 64;
    platform.SimulateDeviceInRange(analyser ? u"Korvanta " + Widen(std::to_string(n)) : u"Phone", 0x100000 + n,
                                   n == 10);
  }
  ASSERT_TRUE(Stack().SearchDevices(7, false, nullptr));
  ASSERT_EQ(held->FoundDevices().size(), 64u);
  EXPECT_EQ(held->FoundDevices().back().address, 0x100000u + 63);
  EXPECT_EQ(held->GetPairedDeviceCount(), 1);
  EXPECT_EQ(held->GetNewDeviceCount(), 6);
  EXPECT_EQ(held->GetSelectedDevice()->address, 0x100000u + 64);  // the first new analyser, beyond the list
}

TEST_F(SearchTest, ADeviceGivenTwiceIsListedOnceButCountedTwice) {
  platform.SimulateDeviceInRange(u"Korvanta 1", AddressOf(1))
      .SimulateDeviceInRange(u"Pixel", AddressOf(2))
      .SimulateDeviceInRange(u"Korvanta 1", AddressOf(1));
  ASSERT_TRUE(Stack().SearchDevices(7, false, nullptr));
  ASSERT_EQ(held->FoundDevices().size(), 2u);
  EXPECT_EQ(held->FoundDevices()[0].address, AddressOf(1));
  EXPECT_EQ(held->FoundDevices()[1].address, AddressOf(2));
  EXPECT_EQ(held->GetNewDeviceCount(), 2);
}

TEST_F(SearchTest, NoAnalyserMetLeavesTheSelectionCleared) {
  platform.SimulateDeviceInRange(u"Pixel", AddressOf(1));
  ASSERT_TRUE(Stack().SearchDevices(7, true, Parent()));
  EXPECT_EQ(held->GetNewDeviceCount(), 0);
  EXPECT_EQ(held->GetPairedDeviceCount(), 0);
  EXPECT_EQ(held->GetSelectedDevice()->address, 0u);
  EXPECT_EQ(held->FoundDevices().size(), 1u);
  EXPECT_THAT(platform.Prompts(), IsEmpty());
}

TEST_F(SearchTest, EverySearchStartsFromEmptyLists) {
  platform.SimulateDeviceInRange(u"Korvanta 1", AddressOf(1));
  ASSERT_TRUE(Stack().SearchDevices(7, false, nullptr));
  ASSERT_TRUE(held->SearchDevices(7, false, nullptr));
  EXPECT_EQ(held->GetNewDeviceCount(), 1);
  EXPECT_EQ(held->FoundDevices().size(), 1u);
}

struct FailureCase {
  const char* name;
  uint32_t code;
  bool interactive;
  std::vector<int32_t> answers;
  bool result;
  int enumerations;
  int prompts;  // error boxes shown
  uint32_t extra;  // 0: none
  uint32_t style;
  bool owner;
};

class SearchFailure : public SearchTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(SearchFailure, PromptsAsTheCodeCalls) {
  const FailureCase& c = GetParam();
  platform.SimulateDeviceInRange(u"Korvanta 1", AddressOf(1)).SimulateEnumerationFails(c.code, 1);
  for (int32_t answer : c.answers) platform.AnswerPrompts({answer});
  EXPECT_EQ(Stack().SearchDevices(7, c.interactive, Parent()), c.result);
  EXPECT_EQ(platform.CountCalls("FindFirstDevice"), static_cast<size_t>(c.enumerations));
  std::vector<SeenPrompt> expected(static_cast<size_t>(c.prompts), ErrorPrompt(platform, c.code, c.extra, c.style,
                                                                               c.owner));
  EXPECT_EQ(PromptsOf(platform), expected);
  EXPECT_EQ(held->IsSearchDone(), c.result);
  EXPECT_EQ(held->GetNewDeviceCount(), c.result ? 1 : -1);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, SearchFailure,
    ::testing::Values(
        FailureCase{"InvalidHandleRetried", 0x80070006u, true, {kButtonRetry}, true, 2, 1, kMsgNoRadio, 0x35, true},
        FailureCase{"InvalidHandleCancelled", 0x80070006u, true, {kButtonCancel}, false, 1, 1, kMsgNoRadio, 0x35, true},
        FailureCase{"RpcUnavailableRetried", 1722, true, {kButtonRetry}, true, 2, 1, kMsgNoRadio, 0x35, true},
        FailureCase{"RpcUnavailableBoxNotShown", 1722, true, {kButtonNone}, false, 1, 1, kMsgNoRadio, 0x35, true},
        FailureCase{"OtherCodeOkBoxWithoutOwner", 5, true, {kButtonOk}, false, 1, 1, 0, 0x30, false},
        FailureCase{"CodeZeroNoBox", 0, true, {}, false, 1, 0, 0, 0x30, false},
        FailureCase{"InvalidHandleSilent", 0x80070006u, false, {}, false, 1, 0, 0, 0x35, true},
        FailureCase{"OtherCodeSilent", 5, false, {}, false, 1, 0, 0, 0x30, false}),
    ByName());

TEST_F(SearchTest, EmptyEnumerationIsAFailureWithItsCode) {
  // The platform answers an empty enumeration without a handle, with 259 as the reason.
  EXPECT_FALSE(Stack().SearchDevices(7, true, Parent()));
  EXPECT_THAT(PromptsOf(platform), ElementsAre(ErrorPrompt(platform, 259, 0, 0x30, false)));
}

TEST_F(SearchTest, FailedSearchKeepsTheEarlierCompletedFlag) {
  platform.SimulateDeviceInRange(u"Korvanta 1", AddressOf(1));
  ASSERT_TRUE(Stack().SearchDevices(7, false, nullptr));
  platform.SimulateEnumerationFails(5);
  EXPECT_FALSE(held->SearchDevices(7, false, nullptr));
  EXPECT_TRUE(held->IsSearchDone());
  EXPECT_EQ(held->GetNewDeviceCount(), 0);
  EXPECT_TRUE(held->FoundDevices().empty());
  EXPECT_EQ(held->GetSelectedDevice()->address, 0u);
}

TEST_F(SearchTest, SearchBTDevicesReportsBothCounts) {
  platform.SimulateDeviceInRange(u"Korvanta 1", AddressOf(1), true).SimulateDeviceInRange(u"Korvanta 2", AddressOf(2));
  int32_t fresh = 99;
  int32_t paired = 99;
  EXPECT_EQ(SearchBTDevices(platform, held, &fresh, &paired, false, nullptr, 1000), 1);
  EXPECT_EQ(fresh, 1);
  EXPECT_EQ(paired, 1);
  EXPECT_THAT(platform.CallsNamed({"FindFirstDevice"}), ElementsAre(Inquiry(45)));
}

TEST_F(SearchTest, SearchBTDevicesReusesTheHeldObject) {
  CBluetoothStack* before = &Stack();
  int32_t fresh = 0;
  int32_t paired = 0;
  platform.SimulateDeviceInRange(u"Pixel", AddressOf(1));
  EXPECT_EQ(SearchBTDevices(platform, held, &fresh, &paired, false, nullptr, 7), 1);
  EXPECT_EQ(held, before);
}

TEST_F(SearchTest, SearchBTDevicesFailureLeavesMinusOne) {
  int32_t fresh = 99;
  int32_t paired = 99;
  platform.SimulateEnumerationFails(5);
  EXPECT_EQ(SearchBTDevices(platform, held, &fresh, &paired, false, nullptr, 7), 0);
  EXPECT_EQ(fresh, -1);
  EXPECT_EQ(paired, -1);
}

TEST(SearchBTDevicesWithoutRadio, LeavesMinusOne) {
  FakeBtPlatform platform;
  CBluetoothStack* held = nullptr;
  int32_t fresh = 99;
  int32_t paired = 99;
  EXPECT_EQ(SearchBTDevices(platform, held, &fresh, &paired, true, nullptr, 7), 0);
  EXPECT_EQ(fresh, -1);
  EXPECT_EQ(paired, -1);
  EXPECT_TRUE(platform.Prompts().empty());
}

TEST_F(SearchTest, SearchBTDevicesRefusesMissingCountPointers) {
  int32_t count = 99;
  EXPECT_EQ(SearchBTDevices(platform, held, nullptr, &count, false, nullptr, 7), 0);
  EXPECT_EQ(SearchBTDevices(platform, held, &count, nullptr, false, nullptr, 7), 0);
  EXPECT_EQ(count, 99);
  EXPECT_EQ(platform.CountCalls("FindFirstDevice"), 0u);
}

class KorvantaDeviceTest : public SearchTest {
 protected:
  KorvantaDeviceTest() {
    platform.SimulateDeviceInRange(u"Korvanta 8124", 0x0011223344AAull)
        .SimulatePortDevice(fake::BluetoothPort(0x0011223344AAull, u"5"));
  }
  int32_t Call(int32_t nameCapacity = 64, int32_t addressCapacity = 32, int32_t portCapacity = 8) {
    return GetBTKorvantaDevice(platform, held, reinterpret_cast<KVWChar*>(name.data()), nameCapacity,
                               reinterpret_cast<KVWChar*>(address.data()), addressCapacity,
                               reinterpret_cast<KVWChar*>(port.data()), portCapacity, 7);
  }
  std::u16string name = std::u16string(64, u'#');
  std::u16string address = std::u16string(32, u'#');
  std::u16string port = std::u16string(8, u'#');
};

TEST_F(KorvantaDeviceTest, SearchesSilentlyWhenNoSearchWasDone) {
  EXPECT_EQ(Call(), 1);
  EXPECT_EQ(TextOf(reinterpret_cast<KVWChar*>(name.data())), u"Korvanta 8124");
  EXPECT_EQ(TextOf(reinterpret_cast<KVWChar*>(address.data())), u"00:11:22:33:44:AA");
  EXPECT_EQ(TextOf(reinterpret_cast<KVWChar*>(port.data())), u"5");
  EXPECT_EQ(platform.CountCalls("FindFirstDevice"), 1u);
  EXPECT_TRUE(platform.Prompts().empty());
}

TEST_F(KorvantaDeviceTest, UsesACompletedSearchUnchanged) {
  SearchedStack();
  EXPECT_EQ(Call(), 1);
  EXPECT_EQ(platform.CountCalls("FindFirstDevice"), 1u);
}

TEST_F(KorvantaDeviceTest, SearchesAgainAfterIsBTAvailableReplacedTheObject) {
  SearchedStack();
  ASSERT_EQ(IsBTAvailable(platform, held), 1);
  EXPECT_EQ(Call(), 1);
  EXPECT_EQ(platform.CountCalls("FindFirstDevice"), 2u);
}

TEST_F(KorvantaDeviceTest, PortNotFoundStillSucceedsWithThePortBufferUntouched) {
  platform.SimulateNoPortsClass();
  EXPECT_EQ(Call(), 1);
  EXPECT_EQ(port, std::u16string(8, u'#'));
  EXPECT_EQ(TextOf(reinterpret_cast<KVWChar*>(name.data())), u"Korvanta 8124");
}

TEST_F(KorvantaDeviceTest, NameBufferTooSmallIsRefusedWithNothingWritten) {
  EXPECT_EQ(Call(13), 0);  // "Korvanta 8124" needs 14 with its terminator
  EXPECT_EQ(name, std::u16string(64, u'#'));
  EXPECT_EQ(address, std::u16string(32, u'#'));
  EXPECT_EQ(port, std::u16string(8, u'#'));
  EXPECT_EQ(Call(14), 1);
}

TEST_F(KorvantaDeviceTest, ShortAddressBufferGetsAnEmptyText) {
  EXPECT_EQ(Call(64, 17), 1);
  EXPECT_EQ(address[0], u'\0');
}

TEST(KorvantaDeviceNone, NoAnalyserFoundIsRefused) {
  FakeBtPlatform platform;
  platform.SimulateRadio().SimulateDeviceInRange(u"Pixel", AddressOf(1));
  CBluetoothStack* held = nullptr;
  std::u16string buffer(64, u'#');
  KVWChar* text = reinterpret_cast<KVWChar*>(buffer.data());
  EXPECT_EQ(GetBTKorvantaDevice(platform, held, text, 64, text, 64, text, 64, 7), 0);
  EXPECT_EQ(buffer, std::u16string(64, u'#'));
  delete held;
}

TEST(KorvantaDeviceNone, NoRadioIsRefused) {
  FakeBtPlatform platform;
  CBluetoothStack* held = nullptr;
  std::u16string buffer(64, u'#');
  KVWChar* text = reinterpret_cast<KVWChar*>(buffer.data());
  EXPECT_EQ(GetBTKorvantaDevice(platform, held, text, 64, text, 64, text, 64, 7), 0);
  EXPECT_EQ(held, nullptr);
}

TEST_F(SearchTest, SelectDeviceAsksTheDialogAndKeepsTheChoice) {
  platform.SimulateDeviceInRange(u"Korvanta 1", AddressOf(1), true)
      .SimulateDeviceInRange(u"Korvanta 2", AddressOf(2), true)
      .SimulateDeviceInRange(u"Pixel", AddressOf(3), true)
      .AnswerSelection(AddressOf(1));
  CBluetoothStack& stack = SearchedStack();
  EXPECT_TRUE(stack.SelectDevice(true, true, false, Parent(), true));
  EXPECT_THAT(platform.CallsNamed({"SelectDevices"}),
              ElementsAre("SelectDevices(owner=parent,force=0,authenticated=1,remembered=1,unknown=0,wizard=0,"
                          "skipServices=1,filter=1,devices=0)"));
  ASSERT_EQ(platform.Dialogs().size(), 1u);
  EXPECT_THAT(platform.Dialogs()[0].offered, ElementsAre(AddressOf(1), AddressOf(2)));  // Pixel filtered out
  EXPECT_EQ(stack.GetSelectedDevice()->address, AddressOf(1));
}

TEST_F(SearchTest, SelectDeviceWithoutFilterOffersEveryDevice) {
  platform.SimulateDeviceInRange(u"Korvanta 1", AddressOf(1), true).SimulateDeviceInRange(u"Pixel", AddressOf(3), true);
  CBluetoothStack& stack = SearchedStack();
  EXPECT_FALSE(stack.SelectDevice(true, true, true, Parent(), false));  // no answer scripted: cancelled
  ASSERT_EQ(platform.Dialogs().size(), 1u);
  EXPECT_EQ(platform.Dialogs()[0].dialog.filter, nullptr);
  EXPECT_THAT(platform.Dialogs()[0].offered, ElementsAre(AddressOf(1), AddressOf(3)));
}

TEST_F(SearchTest, SelectDeviceCancelledKeepsTheSelection) {
  platform.SimulateDeviceInRange(u"Korvanta 1", AddressOf(1)).AnswerSelectionCancelled();
  CBluetoothStack& stack = SearchedStack();
  EXPECT_FALSE(stack.SelectDevice(false, false, true, Parent(), true));
  EXPECT_EQ(stack.GetSelectedDevice()->address, AddressOf(1));
}

TEST_F(SearchTest, SelectDeviceWithoutAChosenListKeepsTheSelection) {
  platform.SimulateDeviceInRange(u"Korvanta 1", AddressOf(1)).AnswerSelectionWithNoDevice();
  CBluetoothStack& stack = SearchedStack();
  EXPECT_TRUE(stack.SelectDevice(false, false, true, Parent(), true));
  EXPECT_EQ(stack.GetSelectedDevice()->address, AddressOf(1));
}

TEST_F(SearchTest, AddDeviceWizardForcesPairingAndKeepsNoChoice) {
  platform.SimulateDeviceInRange(u"Korvanta 1", AddressOf(1)).SimulateDeviceInRange(u"Korvanta 2", AddressOf(2));
  platform.AnswerSelection(AddressOf(2));
  CBluetoothStack& stack = SearchedStack();
  EXPECT_TRUE(stack.RunAddDeviceWizard(Parent()));
  EXPECT_THAT(platform.CallsNamed({"SelectDevices"}),
              ElementsAre("SelectDevices(owner=parent,force=1,authenticated=1,remembered=1,unknown=1,wizard=1,"
                          "skipServices=0,filter=1,devices=0)"));
  EXPECT_EQ(stack.GetSelectedDevice()->address, AddressOf(1));
  platform.AnswerSelectionCancelled();
  EXPECT_FALSE(stack.RunAddDeviceWizard(Parent()));
}

}  // namespace
}  // namespace kv::bt::testing
