// fake_parts.h: stand-ins for the kernel, udev and display parts of the BlueZ platform, so that its
// tests run on machines without Bluetooth: an RFCOMM layer that keeps what reached it, a scripted
// installation queue and a prompter that answers from a script and records what it was shown.
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bluetooth/bluez/platform_bluez.h"

namespace kv::bt::testing {

struct RfcommLog {
  std::vector<std::string> firstLines;  // the first line read from each socket handed over
  std::vector<bluez::RfcommDevice> bound;
  std::vector<int32_t> released;
  int failWithErrno = 0;  // non-zero: CreateFromSocket fails with it
  bool listUnavailable = false;
};

class FakeRfcomm final : public bluez::RfcommTty {
 public:
  explicit FakeRfcomm(std::shared_ptr<RfcommLog> log) : m_log(std::move(log)) {}
  bluez::RfcommCreated CreateFromSocket(int socketFd) override;
  std::optional<std::vector<bluez::RfcommDevice>> List() override;
  bool Release(int32_t id) override;

 private:
  std::shared_ptr<RfcommLog> m_log;
};

struct PromptLog {
  struct Shown {
    std::u16string text;
    std::u16string caption;
    uint32_t style = 0;
  };
  std::deque<int32_t> answers;                // Ask's answers in order; none left: kButtonNone
  std::deque<std::optional<size_t>> choices;  // Choose's answers in order; none left: nullopt
  std::vector<Shown> shown;
  std::vector<std::vector<std::u16string>> lists;
};

class ScriptedPrompter final : public bluez::Prompter {
 public:
  explicit ScriptedPrompter(std::shared_ptr<PromptLog> log) : m_log(std::move(log)) {}
  int32_t Ask(KVWindowHandle owner, std::u16string_view text, std::u16string_view caption, uint32_t style) override;
  std::optional<size_t> Choose(KVWindowHandle owner, std::u16string_view caption, std::u16string_view info,
                               const std::vector<std::u16string>& items) override;

 private:
  std::shared_ptr<PromptLog> m_log;
};

class ScriptedInstallQueue final : public bluez::InstallQueue {
 public:
  explicit ScriptedInstallQueue(std::shared_ptr<std::deque<std::optional<bool>>> answers)
      : m_answers(std::move(answers)) {}
  std::optional<bool> Pending() override;  // the next answer; none left: false

 private:
  std::shared_ptr<std::deque<std::optional<bool>>> m_answers;
};

// A platform over the fakes, with short inquiry units so that searches take milliseconds.
struct FakedPlatform {
  std::shared_ptr<RfcommLog> rfcomm = std::make_shared<RfcommLog>();
  std::shared_ptr<PromptLog> prompts = std::make_shared<PromptLog>();
  std::shared_ptr<std::deque<std::optional<bool>>> installs = std::make_shared<std::deque<std::optional<bool>>>();
  std::unique_ptr<bluez::BluezPlatform> platform;
  explicit FakedPlatform(bluez::BluezTimings timings = FastTimings());
  static bluez::BluezTimings FastTimings();
};

}  // namespace kv::bt::testing
