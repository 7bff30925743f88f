// steps_test.cpp: the stack object, the search and its counts, the selection dialogs, pairing and removal, the
// port wait and the exports, as the step blocks of data/steps.txt run on one scene each: set-up steps change
// the fake platform, "step => expected" compares what a call gives. Then the guided setup's, the search's and
// the pairing's whole flows, as the scenario rows of data/flows.txt: the scene in words, the buttons answered,
// the prompts expected by message number, the inquiries or pairing calls, the pairings removed and the result
// with the port text.
#include <algorithm>
#include <memory>

#include "bluetooth/process_stack.h"
#include "bt_test_support.h"

namespace kv::bt::testing {
namespace {

std::string Utf8(const std::u16string& text) {  // a line break written as |
  std::string out(text.begin(), text.end());
  std::replace(out.begin(), out.end(), '\n', '|');
  return out;
}
std::string Flag(bool value) { return value ? "1" : "0"; }
// A device by its number n (at AddressOf(n)); - or 0 for none.
std::string Number(uint64_t address) { return address == 0 ? "-" : std::to_string(address - AddressOf(0)); }
// A caller's buffer: # untouched, else [text] and how many units after the terminator are still untouched.
std::string Shown(const Buffer& b) {
  if (b.Untouched()) return "#";
  const size_t end = std::min(b.units.find(u'\0'), b.units.size() - 1);
  return "[" + Utf8(b.Text()) + "]" + std::to_string(std::count(b.units.begin() + end + 1, b.units.end(), u'#'));
}

struct Walk : Scene {
  std::vector<std::string> w;                     // the step's words
  CBluetoothStack* stack = nullptr;               // the object the stack steps call
  std::unique_ptr<CBluetoothStackMicrosoft> own;  // fresh's
  const CBluetoothStack* marked = nullptr;
  BtDeviceRecord device;
  int arg(size_t i) const { return std::stoi(w.at(i)); }

  // A set-up step; false when the step is not one.
  bool SetUp(const std::string& rest) {
    const std::string& k = w[0];
    if (k == "add") return Devices(p, rest), true;
    if (k == "nullradio") return p.radios.emplace_back(), true;
    if (k == "radio") return p.SimulateRadio({w[1].begin(), w[1].end()}, uint16_t(arg(2)), uint16_t(arg(3))), true;
    if (k == "inforesult") return p.radioInfoResult = uint32_t(arg(1)), true;
    if (k == "nameless") return p.devices[0].nameless = true, true;
    if (k == "twice") return p.devices.push_back(p.devices.front()), true;
    if (k == "away") return p.devices.at(std::stoul(w[1])).inRange = false, true;
    if (k == "removalfails") return p.removalFails.insert(AddressOf(arg(1))), true;
    if (k == "noports") return p.portClasses.clear(), true;
    if (k == "pending") return p.SimulatePendingInstall(std::stoull(w[1])), true;
    if (k == "nowait") return p.waitFacility = false, true;
    if (k == "fresh") return stack = (own = std::make_unique<CBluetoothStackMicrosoft>(p)).get(), true;
    if (k == "searched") {  // the held object after a silent search over the devices simulated so far
      EXPECT_TRUE((stack = CreateStack(p, held)) != nullptr && stack->SearchDevices(7, false, nullptr));
      return true;
    }
    if (k == "held") return stack = held, true;
    if (k == "mark") return marked = held, true;
    if (k == "answer") return Answer(p, {w.begin() + 1, w.end()}), true;
    for (int n = 0; k == "seventy" && n < 70; ++n)  // 0 to 63 phones but 10 (a paired analyser); 64 to 69 analysers
      p.SimulateDeviceInRange(n == 10 || n >= 64 ? u"Korvanta" : u"Phone", AddressOf(n), n == 10);
    return k == "seventy";
  }

  std::string Exported() {
    if (w[0] == "x.available") return std::to_string(IsBTAvailable(p, held));
    if (w[0] == "x.get") return GetStack(p, held) == marked && marked ? "marked" : GetStack(p, held) ? "some" : "null";
    if (w[0] == "x.retry") return CreateStackWithRetry(p, held, true, kParent) ? "some" : "null";
    if (w[0] == "x.create") return (stack = CreateStack(p, held)) ? "some" : "null";
    if (w[0] == "x.auth") return std::to_string(AuthenticateBTDevice(p, held, kParent, uint16_t(arg(1))));
    if (w[0] == "x.unauth") return std::to_string(UnAuthenticateBTDevices(p, held, arg(1), kParent, uint16_t(arg(2))));
    if (w[0] == "x.search") {  // fresh paired: their starting values, - a null pointer
      int32_t fresh = w[1] == "-" ? 0 : arg(1), paired = w[2] == "-" ? 0 : arg(2);
      const int32_t result = SearchBTDevices(p, held, w[1] == "-" ? nullptr : &fresh, w[2] == "-" ? nullptr : &paired,
                                             arg(3), nullptr, uint16_t(arg(4)));
      return std::to_string(result) + " " + (w[1] == "-" ? "-" : std::to_string(fresh)) + " " +
             (w[2] == "-" ? "-" : std::to_string(paired));
    }
    Buffer name(64), address(32), port(8);
    if (w[0] == "x.auto") {  // capacity, - a null buffer
      const int32_t result = AutoSetupBT(p, held, w[1] == "-" ? nullptr : port.get(), arg(2), arg(3), kParent);
      return std::to_string(result) + " " + Shown(port);
    }
    if (w[0] == "x.info") {  // buffer|- CAP, into a buffer of 100 units
      Buffer info(100);
      const int32_t result = GetBTStackInfo(p, held, w[1] == "-" ? nullptr : info.get(), arg(2));
      return std::to_string(result) + " " + Shown(info);
    }
    if (w[0] == "x.korvanta") {
      const int32_t result =
          GetBTKorvantaDevice(p, held, name.get(), arg(1), address.get(), arg(2), port.get(), 8, uint16_t(arg(3)));
      return std::to_string(result) + " " + Shown(name) + " " + Shown(address) + " " + Shown(port);
    }
    ADD_FAILURE() << "unknown step " << w[0];
    return "";
  }

  std::string Step() {
    std::string out;
    if (w[0] == "calls") return std::to_string(w.size() == 1 ? p.calls.size() : p.Count(w[1]));
    if (w[0] == "call") return p.Named({w[1]}).at(std::stoul(w[2]));
    if (w[0] == "log") {
      for (const std::string& call : w.size() == 2 ? p.Named({w[1]}) : p.Named({w[1], w[2]}))
        out += (out.empty() ? "" : " ") + call;
      return out;
    }
    if (w[0] == "open") return std::to_string(p.open);
    if (w[0] == "now") return std::to_string(p.now);
    if (w[0] == "paired") return Flag(p.IsPaired(AddressOf(arg(1))));
    if (w[0] == "installing") return std::to_string(IsDeviceInstallInProgress(p, uint32_t(arg(1))));
    if (w[0].rfind("x.", 0) == 0) return Exported();
    if (stack == nullptr) return "no stack";
    if (w[0] == "counts") {  // new, paired, the selected device (null before a search), how many found
      const BtDeviceRecord* selected = stack->GetSelectedDevice();
      return std::to_string(stack->GetNewDeviceCount()) + " " + std::to_string(stack->GetPairedDeviceCount()) + " " +
             (selected ? Number(selected->address) : "null") + " " + std::to_string(stack->FoundDevices().size());
    }
    if (w[0] == "found") {  // each found device, + when paired
      for (const BtDeviceRecord& r : stack->FoundDevices())
        out += (out.empty() ? "" : " ") + Number(r.address) + (r.authenticated ? "+" : "");
      return out;
    }
    if (w[0] == "offered") {
      for (const uint64_t a : p.offered.at(std::stoul(w[1]))) out += (out.empty() ? "" : " ") + Number(a);
      return out;
    }
    if (w[0] == "radios") return std::to_string(stack->GetRadioCount());
    if (w[0] == "done") return Flag(stack->IsSearchDone());
    if (w[0] == "vendor") return Flag(own && own->HasVendorExtensions());
    if (w[0] == "search") return Flag(stack->SearchDevices(uint16_t(arg(1)), arg(2), kParent));
    if (w[0] == "select")
      return Flag(stack->SelectDevice(arg(1), arg(2), arg(3), w[4] == "owner" ? kParent : nullptr, arg(5)));
    if (w[0] == "wizard") return Flag(stack->RunAddDeviceWizard(kParent));
    if (w[0] == "remove") return Flag(stack->RemoveAuthentications(arg(1), kParent));
    if (w[0] == "pairnew") return Flag(stack->PairNewDevice(kParent, arg(1)));
    const uint64_t address = w.size() > 1 && w[1] != "-" ? AddressOf(arg(1)) : 0;
    if (w[0] == "waitport") return Flag(WaitForComPort(*stack, &address));
    if (w[0] == "auth") {  // device n as the platform knows it, - none; interactive; wait for the port
      for (const fake::FakeDevice& known : p.devices) device = known.record.address == address ? known.record : device;
      return Flag(stack->AuthenticateDevice(address ? &device : nullptr, arg(2), kParent, arg(3)));
    }
    ADD_FAILURE() << "unknown step " << w[0];
    return out;
  }
};

TEST(Steps, BlocksGiveTheirResults) {
  const std::vector<std::vector<std::string>> blocks = Blocks("steps.txt");
  ASSERT_GE(blocks.size(), 20u);
  for (const std::vector<std::string>& block : blocks) {
    SCOPED_TRACE(block[0]);
    Walk run;
    for (size_t i = 1; i < block.size(); ++i) {
      const std::string& step = block[i];
      const size_t arrow = step.find(" =>");
      const std::string call = step.substr(0, arrow);
      std::string expected = arrow == step.npos ? "" : step.substr(arrow + 3);
      expected.erase(0, expected.find_first_not_of(' '));
      run.w = SplitCells(call);
      SCOPED_TRACE(step);
      if (run.w[0] == "prompts") {
        EXPECT_EQ(run.p.prompts, Prompts(SplitCells(expected)));
      } else if (arrow == step.npos) {
        EXPECT_TRUE(run.SetUp(call.substr(run.w[0].size()))) << "unknown set-up step";
      } else {
        EXPECT_EQ(run.Step(), expected);
      }
    }
  }
}

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
        pairing ? CBluetoothStackMicrosoft(s.p).AuthenticateDevice(&device, interactive, kParent, false)
        : c[1].rfind("auto", 0) == 0 ? AutoSetupBT(s.p, s.held, port.get(), 16, interactive, kParent)
                                     : CreateStack(s.p, s.held)->SearchDevices(7, interactive, kParent);
    for (const std::string& call : s.p.calls)
      if (pairing && !Abbreviated(call).empty()) calls.push_back(Abbreviated(call));
    const std::u16string text = port.Text();
    EXPECT_EQ(port.Untouched() ? std::to_string(result) : "=" + std::string(text.begin(), text.end()), c[7]);
    EXPECT_TRUE(result == 1 || port.Untouched());
    EXPECT_EQ(s.p.prompts, Prompts(SplitCells(c[4])));
    EXPECT_EQ(pairing ? calls : s.p.Named({"FindFirstDevice"}), log);
    EXPECT_EQ(s.p.Count("RemoveDevice"), std::stoul(c[6]));
    EXPECT_TRUE(s.p.answers.empty() && s.p.selections.empty());
    EXPECT_EQ(s.p.open, 0);
  }
}

}  // namespace
}  // namespace kv::bt::testing
