// fake_parts.cpp: the fakes' behaviour.
#include "fake_parts.h"

#include "bluetooth/bluez/objects.h"

#include <poll.h>
#include <unistd.h>

namespace kv::bt::testing {
namespace {

// The first line the peer wrote, waiting a second at most for it.
std::string ReadFirstLine(int fd) {
  std::string line;
  char c = 0;
  while (line.size() < 256) {
    pollfd waiting{fd, POLLIN, 0};
    if (poll(&waiting, 1, 1000) <= 0) break;
    if (read(fd, &c, 1) != 1 || c == '\n') break;
    line.push_back(c);
  }
  return line;
}

}  // namespace

bluez::RfcommCreated FakeRfcomm::CreateFromSocket(int socketFd) {
  m_log->firstLines.push_back(ReadFirstLine(socketFd));
  if (m_log->failWithErrno != 0) return {-1, false, m_log->failWithErrno};
  // The mock's peer announces "KVMOCK <address>": the device the link belongs to.
  const std::string& line = m_log->firstLines.back();
  const std::optional<uint64_t> address =
      line.rfind("KVMOCK ", 0) == 0 ? bluez::ParseAddress(line.substr(7)) : std::nullopt;
  bluez::RfcommDevice device;
  device.id = m_log->bound.empty() ? 0 : m_log->bound.back().id + 1;
  device.address = address.value_or(0);
  device.channel = 1;
  device.connected = true;
  m_log->bound.push_back(device);
  return {device.id, false, 0};
}

std::optional<std::vector<bluez::RfcommDevice>> FakeRfcomm::List() {
  if (m_log->listUnavailable) return std::nullopt;
  return m_log->bound;
}

bool FakeRfcomm::Release(int32_t id) {
  for (auto it = m_log->bound.begin(); it != m_log->bound.end(); ++it) {
    if (it->id == id) {
      m_log->bound.erase(it);
      m_log->released.push_back(id);
      return true;
    }
  }
  return false;
}

int32_t ScriptedPrompter::Ask(KVWindowHandle, std::u16string_view text, std::u16string_view caption,
                              uint32_t style) {
  m_log->shown.push_back({std::u16string(text), std::u16string(caption), style});
  if (m_log->answers.empty()) return kButtonNone;
  const int32_t answer = m_log->answers.front();
  m_log->answers.pop_front();
  return answer;
}

std::optional<size_t> ScriptedPrompter::Choose(KVWindowHandle, std::u16string_view, std::u16string_view,
                                               const std::vector<std::u16string>& items) {
  m_log->lists.push_back(items);
  if (m_log->choices.empty()) return std::nullopt;
  const std::optional<size_t> choice = m_log->choices.front();
  m_log->choices.pop_front();
  return choice;
}

std::optional<bool> ScriptedInstallQueue::Pending() {
  if (m_answers->empty()) return false;
  const std::optional<bool> answer = m_answers->front();
  m_answers->pop_front();
  return answer;
}

FakedPlatform::FakedPlatform(bluez::BluezTimings timings) {
  bluez::BluezParts parts;
  parts.rfcomm = std::make_unique<FakeRfcomm>(rfcomm);
  parts.prompter = std::make_unique<ScriptedPrompter>(prompts);
  parts.installs = std::make_unique<ScriptedInstallQueue>(installs);
  platform = std::make_unique<bluez::BluezPlatform>(std::move(parts), timings);
}

bluez::BluezTimings FakedPlatform::FastTimings() {
  bluez::BluezTimings timings;
  timings.inquiryUnit = std::chrono::milliseconds(100);
  timings.pairTimeout = std::chrono::milliseconds(5000);
  timings.connectTimeout = std::chrono::milliseconds(5000);
  timings.rediscoveryLimit = std::chrono::milliseconds(2000);
  timings.rediscoveryStep = std::chrono::milliseconds(100);
  return timings;
}

}  // namespace kv::bt::testing
