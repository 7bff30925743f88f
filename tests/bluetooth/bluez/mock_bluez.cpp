// mock_bluez.cpp: starts the private bus and the mock bluetoothd as child processes and speaks org.bluez.Mock.
#include "mock_bluez.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>

extern char** environ;

namespace kv::bt::testing {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kStartDeadline = std::chrono::seconds(10);
constexpr auto kStopGrace = std::chrono::seconds(2);
constexpr uint64_t kCallTimeoutUsec = 5'000'000;
constexpr int kPrintAddressFd = 3;
constexpr const char* kBusName = "org.bluez";
constexpr const char* kMockInterface = "org.bluez.Mock";
constexpr const char* kPython = "/usr/bin/python3";

[[noreturn]] void Fail(const std::string& what) { throw std::runtime_error("MockBluez: " + what); }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The environment of this process with one variable replaced or added (unless name is empty), some removed.
std::vector<std::string> ChildEnvironment(const std::string& name, const std::string& value,
                                          const std::vector<std::string>& drop) {
  std::vector<std::string> env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string_view text(*entry);
    auto key = text.substr(0, text.find('='));
    if (key == name || std::find(drop.begin(), drop.end(), key) != drop.end()) continue;
    env.emplace_back(text);
  }
  if (!name.empty()) env.push_back(name + "=" + value);
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (auto& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Spawns program through run_tied_to_parent, so it dies with this process; output goes to logPath,
// stderr too unless keepStderr; passFd (if >= 0) becomes the child's kPrintAddressFd.
pid_t Spawn(std::vector<std::string> args, std::vector<std::string> env, const std::string& logPath, bool keepStderr,
            int passFd = -1) {
  args.insert(args.begin(), {KV_MOCK_BLUEZ_TIED_RUNNER, std::to_string(getpid())});
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
  if (!keepStderr) posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  if (passFd >= 0) posix_spawn_file_actions_adddup2(&actions, passFd, kPrintAddressFd);
  auto argv = Pointers(args);
  auto envp = Pointers(env);
  pid_t pid = -1;
  int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) Fail("cannot start " + args[2] + ": " + std::strerror(rc));
  return pid;
}

bool Exited(pid_t pid) {
  int status = 0;
  return waitpid(pid, &status, WNOHANG) == pid;
}

void Terminate(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  auto deadline = Clock::now() + kStopGrace;
  while (Clock::now() < deadline) {
    if (Exited(pid)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
}

// Reads the line dbus-daemon prints once it listens.
std::string ReadAddressLine(int fd, pid_t daemon, const std::string& logPath) {
  std::string line;
  auto deadline = Clock::now() + kStartDeadline;
  while (line.find('\n') == std::string::npos) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) Fail("dbus-daemon printed no address in time: " + ReadFile(logPath));
    pollfd pfd{fd, POLLIN, 0};
    if (poll(&pfd, 1, static_cast<int>(left)) < 0 && errno != EINTR) Fail("poll failed");
    if ((pfd.revents & (POLLIN | POLLHUP)) == 0) continue;
    char buffer[256];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) {
      Exited(daemon);
      Fail("dbus-daemon exited before listening: " + ReadFile(logPath));
    }
    line.append(buffer, static_cast<size_t>(n));
  }
  return line.substr(0, line.find('\n'));
}

struct BusDeleter {
  void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
using BusPtr = std::unique_ptr<sd_bus, BusDeleter>;

struct MessageDeleter {
  void operator()(sd_bus_message* m) const { sd_bus_message_unref(m); }
};
using MessagePtr = std::unique_ptr<sd_bus_message, MessageDeleter>;

BusPtr Connect(const std::string& address) {
  sd_bus* raw = nullptr;
  if (sd_bus_new(&raw) < 0) Fail("sd_bus_new failed");
  BusPtr bus(raw);
  if (sd_bus_set_address(raw, address.c_str()) < 0 || sd_bus_set_bus_client(raw, 1) < 0) Fail("bad bus address");
  int rc = sd_bus_start(raw);
  if (rc < 0) Fail("cannot connect to " + address + ": " + std::strerror(-rc));
  return bus;
}

// One method call on its own connection; read (if given) takes the reply apart while the connection lives.
template <typename... Args>
void Call(const std::string& address, const char* path, const char* interface, const char* member,
          const std::function<void(sd_bus_message*)>& read, const char* signature, Args... args) {
  auto bus = Connect(address);
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* raw = nullptr;
  sd_bus_message* call = nullptr;
  int rc = sd_bus_message_new_method_call(bus.get(), &call, kBusName, path, interface, member);
  MessagePtr request(call);
  if (rc >= 0 && signature != nullptr) rc = sd_bus_message_append(call, signature, args...);
  if (rc < 0) Fail(std::string(member) + ": cannot build the call: " + std::strerror(-rc));
  rc = sd_bus_call(bus.get(), call, kCallTimeoutUsec, &error, &raw);
  MessagePtr reply(raw);
  if (rc < 0) {
    std::string text = std::string(member) + ": " + (error.name ? error.name : std::strerror(-rc)) +
                       (error.message ? std::string(": ") + error.message : std::string());
    sd_bus_error_free(&error);
    Fail(text);
  }
  if (read) read(raw);
}

template <typename... Args>
void CallMock(const std::string& address, const char* member, const std::function<void(sd_bus_message*)>& read,
              const char* signature, Args... args) {
  Call(address, "/", kMockInterface, member, read, signature, args...);
}

void Check(int rc, const char* what) {
  if (rc < 0) Fail(std::string("cannot read the reply of ") + what + ": " + std::strerror(-rc));
}

std::vector<std::string> StringList(const std::string& address, const char* member) {
  std::vector<std::string> result;
  CallMock(
      address, member,
      [&](sd_bus_message* reply) {
        char** strv = nullptr;
        Check(sd_bus_message_read_strv(reply, &strv), member);
        for (char** s = strv; s != nullptr && *s != nullptr; ++s) {
          result.emplace_back(*s);
          std::free(*s);
        }
        std::free(strv);
      },
      nullptr);
  return result;
}

}  // namespace

std::unique_ptr<MockBluez> MockBluez::Start(bool withBluez) {
  std::unique_ptr<MockBluez> mock(new MockBluez());
  char dirTemplate[] = "/tmp/kv-mock-bluez-XXXXXX";
  if (mkdtemp(dirTemplate) == nullptr) Fail(std::string("mkdtemp: ") + std::strerror(errno));
  mock->tempDir_ = dirTemplate;
  mock->StartDaemon();
  if (withBluez) {
    mock->StartBluez();
    mock->WaitForBluez();
  }
  const char* previous = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
  if (previous != nullptr) mock->savedAddress_ = previous;
  setenv("DBUS_SYSTEM_BUS_ADDRESS", mock->address_.c_str(), 1);
  mock->addressSet_ = true;
  return mock;
}

std::string MockBluez::NoBusAddress() {
  // A socket in a directory that no longer exists: connecting fails at once with ENOENT.
  char dirTemplate[] = "/tmp/kv-no-bus-XXXXXX";
  if (mkdtemp(dirTemplate) == nullptr) Fail(std::string("mkdtemp: ") + std::strerror(errno));
  rmdir(dirTemplate);
  return std::string("unix:path=") + dirTemplate + "/bus";
}

MockBluez::~MockBluez() { Stop(); }

void MockBluez::StartDaemon() {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) Fail("pipe failed");
  // Keep the write end off kPrintAddressFd, so the dup2 in the child really clears close-on-exec.
  int writeFd = fcntl(pipeFds[1], F_DUPFD_CLOEXEC, 10);
  close(pipeFds[1]);
  std::string log = tempDir_ + "/bus.log";
  try {
    daemon_ = Spawn({"/usr/bin/dbus-daemon", "--nofork", std::string("--config-file=") + KV_MOCK_BLUEZ_BUS_CONFIG,
                     "--address=unix:path=" + tempDir_ + "/bus", "--print-address=" + std::to_string(kPrintAddressFd)},
                    ChildEnvironment("", "", {}), log, false, writeFd);
  } catch (...) {
    close(writeFd);
    close(pipeFds[0]);
    throw;
  }
  close(writeFd);
  try {
    address_ = ReadAddressLine(pipeFds[0], daemon_, log);
  } catch (...) {
    close(pipeFds[0]);
    throw;
  }
  close(pipeFds[0]);
}

void MockBluez::StartBluez() {
  // Debian's python3 with its dbusmock, not whatever python3 comes first on PATH.
  bluez_ = Spawn({kPython, "-m", "dbusmock", "--system", "--template", KV_MOCK_BLUEZ_TEMPLATE},
                 ChildEnvironment("DBUS_SYSTEM_BUS_ADDRESS", address_, {"PYTHONPATH", "PYTHONHOME"}),
                 tempDir_ + "/bluez.log", true);
}

void MockBluez::WaitForBluez() {
  auto bus = Connect(address_);
  auto deadline = Clock::now() + kStartDeadline;
  while (true) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    int rc = sd_bus_call_method(bus.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                "NameHasOwner", &error, &reply, "s", kBusName);
    sd_bus_error_free(&error);
    int owned = 0;
    if (rc >= 0) sd_bus_message_read(reply, "b", &owned);
    sd_bus_message_unref(reply);
    if (owned) return;
    if (Exited(bluez_)) {
      bluez_ = -1;
      Fail("the mock bluetoothd exited: " + ReadFile(tempDir_ + "/bluez.log"));
    }
    if (Clock::now() > deadline) Fail("org.bluez got no owner in time: " + ReadFile(tempDir_ + "/bluez.log"));
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void MockBluez::Stop() {
  Terminate(bluez_);
  Terminate(daemon_);
  bluez_ = daemon_ = -1;
  if (addressSet_) {
    if (savedAddress_) {
      setenv("DBUS_SYSTEM_BUS_ADDRESS", savedAddress_->c_str(), 1);
    } else {
      unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    }
    addressSet_ = false;
  }
  if (!tempDir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(tempDir_, ignored);
    tempDir_.clear();
  }
}

void MockBluez::AddAdapter(const std::string& name, const std::string& alias, const std::string& address) {
  CallMock(address_, "AddAdapter", nullptr, "sss", name.c_str(), alias.c_str(), address.c_str());
}

void MockBluez::SetPowered(const std::string& adapter, bool powered) {
  CallMock(address_, "SetPowered", nullptr, "sb", adapter.c_str(), static_cast<int>(powered));
}

void MockBluez::AddKnownDevice(const std::string& adapter, const std::string& address, const std::string& name,
                               uint32_t deviceClass, bool paired, bool trusted, const std::string& pin) {
  CallMock(address_, "AddKnownDevice", nullptr, "sssubbs", adapter.c_str(), address.c_str(), name.c_str(), deviceClass,
           static_cast<int>(paired), static_cast<int>(trusted), pin.c_str());
}

void MockBluez::AddDiscoverableDevice(const std::string& adapter, const std::string& address, const std::string& name,
                                      uint32_t deviceClass, const std::string& pin, uint32_t delayMs) {
  CallMock(address_, "AddDiscoverableDevice", nullptr, "sssusu", adapter.c_str(), address.c_str(), name.c_str(),
           deviceClass, pin.c_str(), delayMs);
}

void MockBluez::SetPasskeyMode(const std::string& address, uint32_t passkey) {
  CallMock(address_, "SetPasskeyMode", nullptr, "su", address.c_str(), passkey);
}

void MockBluez::SetConnectProfileError(const std::string& address, const std::string& errorName,
                                       const std::string& message) {
  CallMock(address_, "SetConnectProfileError", nullptr, "sss", address.c_str(), errorName.c_str(), message.c_str());
}

void MockBluez::SetAgentTimeout(uint32_t timeoutMs) { CallMock(address_, "SetAgentTimeout", nullptr, "u", timeoutMs); }

void MockBluez::DropUnpairedDevices(const std::string& adapter) {
  CallMock(address_, "DropUnpairedDevices", nullptr, "s", adapter.c_str());
}

std::vector<std::string> MockBluez::RegisteredAgents() { return StringList(address_, "RegisteredAgents"); }

std::vector<std::string> MockBluez::RegisteredProfiles() { return StringList(address_, "RegisteredProfiles"); }

std::vector<std::string> MockBluez::CallLog() { return StringList(address_, "CallLog"); }

bool MockBluez::Discovering(const std::string& adapter) {
  int discovering = 0;
  CallMock(
      address_, "Discovering",
      [&](sd_bus_message* reply) { Check(sd_bus_message_read(reply, "b", &discovering), "Discovering"); }, "s",
      adapter.c_str());
  return discovering != 0;
}

MockDeviceState MockBluez::DeviceState(const std::string& address) {
  int exists = 0, paired = 0, trusted = 0, connected = 0;
  CallMock(
      address_, "DeviceState",
      [&](sd_bus_message* reply) {
        Check(sd_bus_message_read(reply, "(bbbb)", &exists, &paired, &trusted, &connected), "DeviceState");
      },
      "s", address.c_str());
  return {exists != 0, paired != 0, trusted != 0, connected != 0};
}

}  // namespace kv::bt::testing
