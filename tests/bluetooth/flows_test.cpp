// flows_test.cpp: the guided setup's, the search's and the pairing's whole flows, as the scenario rows of
// data/flows.txt: the scene in words, the buttons answered, the prompts expected by message number, the
// inquiries or pairing calls, the pairings removed and the result with the port text.
#include <algorithm>

#include "bt_test_support.h"

namespace kv::bt::testing {
namespace {

// The pairing calls by their letters in the data, LFRASUDV in the order of kPairingCalls; the legacy call's PIN
// is written PIN.
const std::vector<std::string> kPairingCalls = SplitCells(
    "LoadModule FreeLoadedModule RegisterForAuthenticationEx AuthenticateDeviceEx SendAuthenticationResponseEx "
    "UnregisterAuthentication AuthenticateDevice SetServiceState");
std::string Abbreviated(std::string call) {
  const std::u16string pin = Msg(kMsgPairingPin);
  if (const size_t at = call.find(std::string(pin.begin(), pin.end())); at != call.npos)
    call.replace(at, pin.size(), "PIN");
  const auto it = std::find(kPairingCalls.begin(), kPairingCalls.end(), call.substr(0, call.find('(')));
  return it == kPairingCalls.end() ? "" : "LFRASUDV"[it - kPairingCalls.begin()] + call.substr(it->size());
}

TEST(Flows, ScenarioRowsShowTheirPromptsAndGiveTheirResult) {
  const std::vector<std::vector<std::string>> rows = ReadTable("flows.txt", '|', 8);
  EXPECT_GE(rows.size(), 49u);
  for (const std::vector<std::string>& c : rows) {
    SCOPED_TRACE(c[0]);
    Scene s;
    Devices(s.p, c[2]);
    Answer(s.p, SplitCells(c[3]));
    std::vector<std::string> log = SplitCells(c[5]), calls;
    const bool interactive = c[1].back() != '!', pairing = c[1].rfind("pair", 0) == 0;
    for (std::string& w : log) w = pairing ? w : "FindFirstDevice(1," + w + ",1111,0)";
    Buffer port(16);
    BtDeviceRecord device = s.p.devices.empty() ? BtDeviceRecord{} : s.p.devices[0].record;
    const int32_t result =
        pairing ? CBluetoothStackMicrosoft(s.p).AuthenticateDevice(&device, interactive, Parent(), false)
        : c[1].rfind("auto", 0) == 0 ? AutoSetupBT(s.p, s.held, port.get(), 16, interactive, Parent())
                                     : CreateStack(s.p, s.held)->SearchDevices(7, interactive, Parent());
    for (const std::string& call : s.p.calls)
      if (pairing && !Abbreviated(call).empty()) calls.push_back(Abbreviated(call));
    const std::u16string text = port.Text();
    EXPECT_EQ(port.Untouched() ? std::to_string(result) : "=" + std::string(text.begin(), text.end()), c[7]);
    EXPECT_TRUE(result == 1 || port.Untouched());
    EXPECT_EQ(s.p.prompts, Prompts(SplitCells(c[4])));
    EXPECT_EQ(pairing ? calls : s.p.Named({"FindFirstDevice"}), log);
    EXPECT_EQ(s.p.Count("RemoveDevice"), std::stoul(c[6]));
    EXPECT_TRUE(s.p.answers.empty() && s.p.selections.empty());
    EXPECT_EQ(s.p.OpenHandles(), 0);
  }
}

}  // namespace
}  // namespace kv::bt::testing
