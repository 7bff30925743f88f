// fake_parts.h: the rig of the BlueZ platform tests: the mock bluetoothd, and stand-ins for the kernel,
// udev and display parts (an RFCOMM layer that keeps what reached it, scripted queue and prompter).
#pragma once

#include <poll.h>
#include <unistd.h>

#include <deque>
#include <memory>

#include "bluetooth/bluez/objects.h"
#include "bluetooth/bluez/platform_bluez.h"
#include "fake_bt_platform.h"
#include "mock_bluez.h"

namespace kv::bt::testing {

struct FakeParts {
  std::vector<bluez::RfcommDevice> bound;
  std::vector<int32_t> released;
  int failWithErrno = 0;  // non-zero: CreateFromSocket fails with it
  bool listUnavailable = false;
  std::deque<int32_t> answers;                // Ask's answers; none left: kButtonNone
  std::deque<std::optional<size_t>> choices;  // Choose's answers; none left: nullopt
  std::vector<std::u16string> captions;       // of every box shown
  std::vector<std::vector<std::u16string>> lists;
  std::deque<std::optional<bool>> installs;  // Pending's answers; none left: false
};

struct FakeRfcomm final : bluez::RfcommTty {
  std::shared_ptr<FakeParts> log;
  explicit FakeRfcomm(std::shared_ptr<FakeParts> parts) : log(std::move(parts)) {}
  bluez::RfcommCreated CreateFromSocket(int socketFd) override {
    std::string line;
    char c = 0;
    pollfd waiting{socketFd, POLLIN, 0};
    while (line.size() < 64 && poll(&waiting, 1, 1000) > 0 && read(socketFd, &c, 1) == 1 && c != '\n') line += c;
    if (log->failWithErrno != 0) return {-1, false, log->failWithErrno};
    // The mock's end announces "KVMOCK <address>": the device the link belongs to, so a bound address
    // shows that the socket handed over was the mock's.
    const int32_t id = log->bound.empty() ? 0 : log->bound.back().id + 1;
    log->bound.push_back({id, bluez::ParseAddress(line.substr(std::min<size_t>(7, line.size()))).value_or(0), 1, true});
    return {id, false, 0};
  }
  std::optional<std::vector<bluez::RfcommDevice>> List() override {
    if (log->listUnavailable) return std::nullopt;
    return log->bound;
  }
  bool Release(int32_t id) override {
    log->released.push_back(id);
    return std::erase_if(log->bound, [id](const bluez::RfcommDevice& device) { return device.id == id; }) > 0;
  }
};

struct ScriptedPrompter final : bluez::Prompter {
  std::shared_ptr<FakeParts> log;
  explicit ScriptedPrompter(std::shared_ptr<FakeParts> parts) : log(std::move(parts)) {}
  int32_t Ask(KVWindowHandle, std::u16string_view, std::u16string_view caption, uint32_t) override {
    log->captions.emplace_back(caption);
    return fake::Next(log->answers, kButtonNone);
  }
  std::optional<size_t> Choose(KVWindowHandle, std::u16string_view, std::u16string_view,
                               const std::vector<std::u16string>& items) override {
    log->lists.push_back(items);
    return fake::Next(log->choices, std::optional<size_t>());
  }
};

struct ScriptedInstallQueue final : bluez::InstallQueue {
  std::shared_ptr<FakeParts> log;
  explicit ScriptedInstallQueue(std::shared_ptr<FakeParts> parts) : log(std::move(parts)) {}
  std::optional<bool> Pending() override { return fake::Next(log->installs, std::optional<bool>(false)); }
};

// The mock bluetoothd of scenario and a platform over the fakes, with 100 ms inquiry units and short
// time-outs.
struct Rig {
  MockBluez mock;
  std::shared_ptr<FakeParts> parts = std::make_shared<FakeParts>();
  std::unique_ptr<bluez::BluezPlatform> platform;
  explicit Rig(const char* scenario = nullptr) : mock(scenario) {
    bluez::BluezParts system{std::make_unique<FakeRfcomm>(parts), std::make_unique<ScriptedInstallQueue>(parts),
                             std::make_unique<ScriptedPrompter>(parts)};
    using std::chrono::milliseconds;
    platform = std::make_unique<bluez::BluezPlatform>(
        std::move(system), bluez::BluezTimings{milliseconds(100), milliseconds(1500), milliseconds(5000),
                                               milliseconds(1000), milliseconds(100)});
  }
};

}  // namespace kv::bt::testing
