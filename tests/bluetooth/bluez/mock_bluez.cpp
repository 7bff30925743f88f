// mock_bluez.cpp: starts the bus and the mock as children tied to this process and reads the call log.
#include "mock_bluez.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace kv::bt::testing {
namespace {

// The child gets SIGKILL when this process dies, which no destructor would see on a time-out.
pid_t Spawn(std::vector<std::string> args, const std::string& log) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    dup2(out, STDOUT_FILENO);
    dup2(out, STDERR_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (pid < 0) throw std::runtime_error("MockBluez: fork failed");
  return pid;
}

// A connection to the bus at address, or null while it does not listen yet.
sd_bus* Connect(const std::string& address) {
  sd_bus* bus = nullptr;
  if (sd_bus_new(&bus) >= 0 && sd_bus_set_address(bus, address.c_str()) >= 0 && sd_bus_set_bus_client(bus, 1) >= 0 &&
      sd_bus_start(bus) >= 0) {
    return bus;
  }
  sd_bus_unref(bus);
  return nullptr;
}

bool BluezOwned(sd_bus* bus) {
  sd_bus_message* reply = nullptr;
  int owned = 0;
  if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                         "NameHasOwner", nullptr, &reply, "s", "org.bluez") >= 0) {
    sd_bus_message_read(reply, "b", &owned);
  }
  sd_bus_message_unref(reply);
  return owned != 0;
}

void Stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

}  // namespace

MockBluez::MockBluez(const char* scenario) {
  char dir[] = "/tmp/kv-mock-bluez-XXXXXX";
  if (mkdtemp(dir) == nullptr) throw std::runtime_error("MockBluez: mkdtemp failed");
  dir_ = dir;
  address_ = "unix:path=" + dir_ + "/bus";
  setenv("DBUS_SYSTEM_BUS_ADDRESS", address_.c_str(), 1);
  daemon_ = Spawn({"/usr/bin/dbus-daemon", "--nofork", std::string("--config-file=") + KV_MOCK_BLUEZ_BUS_CONFIG,
                   "--address=" + address_},
                  dir_ + "/bus.log");
  if (scenario != nullptr) {
    // Debian's python3 with its dbusmock, not whatever python3 comes first on PATH.
    bluez_ = Spawn({"/usr/bin/python3", "-m", "dbusmock", "--system", "--template", KV_MOCK_BLUEZ_TEMPLATE, "-p",
                    scenario},
                   dir_ + "/bluez.log");
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (;;) {
    sd_bus* bus = Connect(address_);
    const bool ready = bus != nullptr && (scenario == nullptr || BluezOwned(bus));
    sd_bus_flush_close_unref(bus);
    if (ready) return;
    if (std::chrono::steady_clock::now() > deadline) {
      Stop(bluez_);
      Stop(daemon_);
      throw std::runtime_error("MockBluez: the bus or the mock did not come up; logs in " + dir_);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

MockBluez::~MockBluez() {
  Stop(bluez_);
  Stop(daemon_);
  bluez_ = daemon_ = -1;
  unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

std::vector<std::string> MockBluez::CallLog() const {
  std::vector<std::string> log;
  sd_bus* bus = Connect(address_);
  sd_bus_message* reply = nullptr;
  char** entries = nullptr;
  if (bus == nullptr || sd_bus_call_method(bus, "org.bluez", "/", "org.bluez.Mock", "CallLog", nullptr, &reply, "") < 0 ||
      sd_bus_message_read_strv(reply, &entries) < 0) {
    throw std::runtime_error("MockBluez: CallLog failed");
  }
  for (char** entry = entries; entry != nullptr && *entry != nullptr; ++entry) {
    log.emplace_back(*entry);
    free(*entry);
  }
  free(static_cast<void*>(entries));
  sd_bus_message_unref(reply);
  sd_bus_flush_close_unref(bus);
  return log;
}

size_t MockBluez::Count(const std::string& prefix) const {
  const std::vector<std::string> log = CallLog();
  return static_cast<size_t>(
      std::count_if(log.begin(), log.end(), [&](const std::string& entry) { return entry.rfind(prefix, 0) == 0; }));
}

}  // namespace kv::bt::testing
