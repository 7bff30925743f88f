// The BlueZ platform against a private D-Bus daemon with the mock bluetoothd: the scenario blocks of
// data/platform.txt (radios, searches, device fields, pairing, the serial service, removal, the port list,
// the install queue and the guided setup over them, and the error mappings no scenario reaches). Stand-ins
// take the kernel, udev and display parts: an RFCOMM layer that keeps what reached it, a scripted queue and
// prompter.
#include "bluetooth/bluez/platform_bluez.h"

#include <poll.h>
#include <unistd.h>

#include <deque>
#include <map>
#include <memory>

#include "../bluez/mock_bluez.h"
#include "../bt_test_support.h"
#include "bluetooth/bluez/errors.h"
#include "bluetooth/bluez/objects.h"
#include "utf_convert.h"

namespace kv::bt::testing {
namespace {

// What the stand-ins below were given and what reached them, anew for each block.
struct FakeParts {
  std::vector<bluez::RfcommDevice> bound;
  int failWithErrno = 0;  // non-zero: CreateFromSocket fails with it
  bool listUnavailable = false;
  std::deque<int32_t> answers;                // Ask's answers; none left: kButtonNone
  std::deque<std::optional<size_t>> choices;  // Choose's answers; none left: nullopt
  std::vector<std::u16string> captions;       // of every box shown
  std::vector<std::vector<std::u16string>> lists;
  std::deque<std::optional<bool>> installs;  // Pending's answers; none left: false
} parts;

struct FakeRfcomm final : bluez::RfcommTty {
  bluez::RfcommCreated CreateFromSocket(int socketFd) override {
    // The mock's end announces "KVMOCK <address>" at once: the device the link belongs to, so a bound address
    // shows that the socket handed over was the mock's.
    char line[32] = {};
    pollfd waiting{socketFd, POLLIN, 0};
    const bool heard = poll(&waiting, 1, 1000) > 0 && read(socketFd, line, sizeof line - 1) >= 24;
    if (parts.failWithErrno != 0) return {-1, false, parts.failWithErrno};
    const int32_t id = parts.bound.empty() ? 0 : parts.bound.back().id + 1;
    parts.bound.push_back({id, heard ? bluez::ParseAddress(std::string_view(line + 7, 17)).value_or(0) : 0, 1, true});
    return {id, false, 0};
  }
  std::optional<std::vector<bluez::RfcommDevice>> List() override {
    return parts.listUnavailable ? std::nullopt : std::optional(parts.bound);
  }
  bool Release(int32_t id) override {
    return std::erase_if(parts.bound, [id](const bluez::RfcommDevice& device) { return device.id == id; }) > 0;
  }
};

struct ScriptedPrompter final : bluez::Prompter {
  int32_t Ask(KVWindowHandle, std::u16string_view, std::u16string_view caption, uint32_t) override {
    parts.captions.emplace_back(caption);
    return fake::Next(parts.answers, kButtonNone);
  }
  std::optional<size_t> Choose(KVWindowHandle, std::u16string_view, std::u16string_view,
                               const std::vector<std::u16string>& items) override {
    parts.lists.push_back(items);
    return fake::Next(parts.choices, std::optional<size_t>());
  }
};

struct ScriptedInstallQueue final : bluez::InstallQueue {
  std::optional<bool> Pending() override { return fake::Next(parts.installs, std::optional<bool>(false)); }
};

const std::map<std::string, uint32_t> kCodes = {
    {"ok", kErrorSuccess},
    {"nomore", kErrorNoMoreItems},
    {"invhandle", kResultInvalidHandle},
    {"invarg", kResultInvalidArg},
    {"notauth", kErrorNotAuthenticated},
    {"cancelled", kErrorCancelled},
    {"rpc", kRpcServerUnavailable},
    {"timeout", kWaitTimeout},
    {"genfail", bluez::kErrorGenFailure},
    {"notfound", bluez::kErrorNotFound},
};

std::string CodeName(uint32_t code) {
  for (const auto& [name, value] : kCodes) {
    if (value == code) return name;
  }
  return std::to_string(code);
}
uint32_t Code(const std::string& word) {
  return kCodes.count(word) ? kCodes.at(word) : static_cast<uint32_t>(std::stoul(word));
}
// XX: an address no device has; two digits nn: 00:11:22:33:44:nn.
uint64_t Address(const std::string& word) {
  if (word == "XX") return 0x665544332211ull;
  return std::stoull(word, nullptr, 16) + (word.size() == 2 ? 0x001122334400ull : 0);
}
std::string Utf8(std::u16string_view text) { return Utf8FromUtf16(text); }
// The words from the n-th on.
std::string From(const std::vector<std::string>& w, size_t n) {
  std::string out;
  for (size_t i = n; i < w.size(); ++i) out += (i > n ? " " : "") + w[i];
  return out;
}
std::string Record(const BtDeviceRecord& r) {
  std::string name = Utf8(r.name);
  if (name.size() > 40 && name.find_first_not_of(name[0]) == name.npos) {
    name = name.substr(0, 1) + "*" + std::to_string(name.size());
  }
  return fake::Hex(r.address, 12) + "/" + fake::Hex(r.classOfDevice) + "/" + (r.authenticated ? "A" : "") +
         (r.remembered ? "R" : "") + (r.authenticated || r.remembered ? "" : "-") + "/" + name;
}

std::string Search(BtPlatform& platform, uint8_t multiplier) {
  const BtDeviceSearch search{true, true, true, true, true, multiplier};  // every kind, after an inquiry
  BtDeviceRecord device;
  const BtDeviceFind find = platform.FindFirstDevice(search, device);
  std::string out = "err=" + CodeName(platform.LastError());
  if (find == BtDeviceFind::kNone) return out;
  do out += " " + Record(device);
  while (platform.FindNextDevice(find, device));
  platform.FindDeviceClose(find);
  return out;
}
std::string Radios(BtPlatform& platform) {
  EXPECT_EQ(platform.StackName(), u"BlueZ");
  std::string out;
  BtRadio radio{};
  const BtRadioFind find = platform.FindFirstRadio(radio);
  for (bool more = find != BtRadioFind::kNone; more; more = platform.FindNextRadio(find, radio)) {
    BtRadioInfo info;
    EXPECT_EQ(platform.GetRadioInfo(radio, info), kErrorSuccess);
    platform.CloseRadio(radio);
    EXPECT_EQ(platform.GetRadioInfo(radio, info), kResultInvalidHandle);  // closed
    out += fake::Hex(info.address, 12) + "/" + Utf8(info.name) + "/" + fake::Hex(info.classOfDevice) + " ";
  }
  if (find != BtRadioFind::kNone) platform.FindRadioClose(find);
  return out + "end=" + CodeName(platform.LastError());
}
// Each listed device: instance/port, then the codes past the last one.
std::string Ports(BtPlatform& p) {
  std::vector<BtGuid> classes;
  EXPECT_EQ(p.GetPresentDevices(kSerialPortServiceClass), BtPortList::kNone);
  EXPECT_FALSE(p.ClassGuidsFromName(u"portz", classes));
  if (!p.ClassGuidsFromName(u"Ports", classes) || classes.size() != 1) return "fail";
  const BtPortList list = p.GetPresentDevices(classes.at(0));
  if (list == BtPortList::kNone) return "none";
  EXPECT_TRUE(p.GetListDetail(list));
  BtPortDevice port;
  std::u16string id, name;
  std::string out;
  uint32_t listed = 0;
  for (; p.EnumDevice(list, listed, port); ++listed) {
    EXPECT_EQ(p.GetDeviceId(list, port, id), kErrorSuccess);
    EXPECT_TRUE(p.GetFriendlyName(list, port, name));
    EXPECT_EQ(id.substr(0, 7), u"RFCOMM\\");
    out += std::to_string(port.instance) + "/" + Utf8(id.substr(7)) + "/" +
           Utf8(ComPortFromFriendlyName(name).value_or(u"-")) + " ";
  }
  port.index = listed;
  out += "end=" + CodeName(p.GetDeviceId(list, port, id)) + (p.GetFriendlyName(list, port, name) ? "/name" : "");
  p.DestroyDeviceList(list);
  EXPECT_FALSE(p.GetListDetail(list));
  return out;
}

// One step of a block; what it gives, compared with the text after "=>".
std::string Step(BtPlatform& p, const MockBluez& mock, CBluetoothStack*& held, const std::vector<std::string>& w) {
  BtDeviceRecord device;
  device.address = w.size() > 1 && (w[0] == "info" || w[0] == "pair" || w[0] == "serial") ? Address(w[1]) : 0;
  std::string out;
  if (w[0] == "radios") return Radios(p);
  if (w[0] == "search") return Search(p, static_cast<uint8_t>(std::stoi(w[1])));
  if (w[0] == "ports") return Ports(p);
  if (w[0] == "info") {
    const uint32_t code = p.GetDeviceInfo(BtRadio::kNone, device);
    return CodeName(code) + (code == kErrorSuccess ? "/" + Utf8(device.name) : "");
  }
  if (w[0] == "pair") {
    const uint32_t code = p.AuthenticateDevice(nullptr, BtRadio::kNone, device, Utf16FromUtf8(w[2]));
    EXPECT_EQ(device.authenticated, code == kErrorSuccess);
    return CodeName(code);
  }
  if (w[0] == "serial")
    return CodeName(p.SetServiceState(BtRadio::kNone, device, kSerialPortServiceClass, w[2] == "1"));
  if (w[0] == "remove") return CodeName(p.RemoveDevice(Address(w[1])));
  if (w[0] == "module") return p.LoadModule(Utf16FromUtf8(w[1])) == BtModule::kNone ? "none" : "some";
  if (w[0] == "code") return CodeName(bluez::CodeOf({w[1], "x"}, static_cast<bluez::Step>(std::stoi(w[2]))));
  if (w[0] == "default") return bluez::DefaultText(Code(w[1])).empty() ? "0" : "1";
  if (w[0] == "textof") return Utf8(bluez::TextOf({w.size() > 1 ? w[1] : "", From(w, 2)}));  // none: an empty error
  if (w[0] == "calls") return std::to_string(mock.Count(From(w, 1)));
  if (w[0] == "text") {
    std::u16string text;
    return p.ErrorText(Code(w[1]), text) && Utf8(text).find(From(w, 2)) != std::string::npos ? "1" : "0";
  }
  if (w[0] == "wait") {
    const std::optional<uint32_t> code = p.WaitNoPendingInstallEvents(static_cast<uint32_t>(std::stoul(w[1])));
    EXPECT_TRUE(parts.installs.empty() || code == kWaitTimeout);
    return code ? CodeName(*code) : "unknown";
  }
  if (w[0] == "auto") {
    Buffer port(32);
    const int32_t result = AutoSetupBT(p, held, port.get(), 32, w[1] == "1", nullptr);
    return std::to_string(result) + (port.Untouched() ? "" : " " + Utf8(port.Text()));
  }
  for (const auto& d : w[0] == "bound" ? parts.bound : std::vector<bluez::RfcommDevice>{}) {
    out += std::to_string(d.id) + "/" + fake::Hex(d.address, 12);
  }
  for (const std::u16string& caption : w[0] == "captions" ? parts.captions : std::vector<std::u16string>{}) {
    for (const MessageEntry& m : kMessageTable) out += m.text == caption ? std::to_string(m.number) : "";
  }
  for (const std::u16string& item : w[0] == "lists" ? parts.lists.at(0) : std::vector<std::u16string>{}) {
    out += (out.empty() ? "" : ";") + Utf8(item);
  }
  EXPECT_NE(std::string(" bound captions lists ").find(" " + w[0] + " "), std::string::npos) << "unknown step";
  return out;
}

TEST(BluezPlatform, ScenarioBlocksGiveTheirResults) {
  const std::vector<std::vector<std::string>> blocks = Blocks("platform.txt");
  ASSERT_GE(blocks.size(), 27u);
  using std::chrono::milliseconds;  // inquiry units of 100 ms and short time-outs
  const bluez::BluezTimings timings{milliseconds(100), milliseconds(1500), milliseconds(5000), milliseconds(1000),
                                    milliseconds(100)};
  for (const std::vector<std::string>& block : blocks) {
    SCOPED_TRACE(block[0]);
    const MockBluez mock(block.at(1) == "-" ? nullptr : block[1].c_str());
    parts = {};
    bluez::BluezPlatform platform({std::make_unique<FakeRfcomm>(), std::make_unique<ScriptedInstallQueue>(),
                                   std::make_unique<ScriptedPrompter>()},
                                  timings);
    CBluetoothStack* held = nullptr;
    for (size_t i = 2; i < block.size(); ++i) {
      const std::string& step = block[i];
      const size_t arrow = step.find(" =>");
      const std::vector<std::string> w = SplitCells(step.substr(0, arrow));
      SCOPED_TRACE(step);
      if (w[0] == "nobus") setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/kv/bus", 1);
      if (w[0] == "errno") parts.failWithErrno = std::stoi(w[1]);
      if (w[0] == "bind") parts.bound.push_back({std::stoi(w[1]), Address(w[2]), 1, false});
      if (w[0] == "answer") parts.answers.push_back(w[1] == "Yes" ? kButtonYes : kButtonNo);
      if (w[0] == "choose") parts.choices.push_back(std::stoul(w[1]));
      if (w[0] == "nolist") parts.listUnavailable = true;
      for (size_t k = 1; w[0] == "installs" && k < w.size(); ++k) {
        parts.installs.push_back(w[k] == "-" ? std::nullopt : std::optional<bool>(w[k] == "1"));
      }
      if (arrow == step.npos) continue;
      EXPECT_EQ(Step(platform, mock, held, w), step.size() > arrow + 4 ? step.substr(arrow + 4) : "");
    }
    delete held;
  }
}

}  // namespace
}  // namespace kv::bt::testing
