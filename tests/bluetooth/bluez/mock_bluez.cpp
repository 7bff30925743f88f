// mock_bluez.cpp: starting and stopping the private bus and the mock, and its control calls.
#include "mock_bluez.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdarg>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace kv::bt::testing {
namespace {

constexpr const char* kBusVariable = "DBUS_SYSTEM_BUS_ADDRESS";
constexpr const char* kMockInterface = "org.bluez.Mock";

// Starts a child that dies with this process; stdoutFd (if >= 0) becomes its standard output.
pid_t Spawn(const std::vector<std::string>& argv, int stdoutFd, int keepFd, const char* busAddress) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  const int devNull = open("/dev/null", O_RDWR);
  dup2(devNull, STDIN_FILENO);
  dup2(stdoutFd >= 0 ? stdoutFd : devNull, STDOUT_FILENO);
  if (std::getenv("KV_MOCK_BLUEZ_VERBOSE") == nullptr) dup2(devNull, STDERR_FILENO);
  for (int fd = 3; fd < 1024; ++fd) {
    if (fd != keepFd) close(fd);
  }
  if (busAddress != nullptr) setenv(kBusVariable, busAddress, 1);
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  execvp(args[0], args.data());
  _exit(127);
}

void Stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  for (int i = 0; i < 100; ++i) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

std::string ReadLine(int fd, std::chrono::milliseconds limit) {
  std::string line;
  const auto end = std::chrono::steady_clock::now() + limit;
  char c = 0;
  while (std::chrono::steady_clock::now() < end) {
    pollfd waiting{fd, POLLIN, 0};
    if (poll(&waiting, 1, 100) <= 0) continue;
    if (read(fd, &c, 1) != 1) break;
    if (c == '\n') return line;
    line.push_back(c);
  }
  return line;
}

}  // namespace

std::string MockBluez::NoBusAddress() { return "unix:path=/nonexistent/kv-no-bus/socket"; }

std::unique_ptr<MockBluez> MockBluez::Start(bool withBluez) {
  std::unique_ptr<MockBluez> mock(new MockBluez());
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  fcntl(pipeFds[1], F_SETFD, 0);
  mock->m_daemon = Spawn({"dbus-daemon", "--nofork", std::string("--config-file=") + KV_MOCK_BLUEZ_BUS_CONFIG,
                          "--print-address=" + std::to_string(pipeFds[1])},
                         -1, pipeFds[1], nullptr);
  close(pipeFds[1]);
  mock->m_address = ReadLine(pipeFds[0], std::chrono::seconds(10));
  close(pipeFds[0]);
  if (mock->m_address.empty()) throw std::runtime_error("dbus-daemon did not start");

  if (const char* previous = std::getenv(kBusVariable)) mock->m_previousAddress = previous;
  setenv(kBusVariable, mock->m_address.c_str(), 1);
  if (sd_bus_new(&mock->m_control) < 0 || sd_bus_set_address(mock->m_control, mock->m_address.c_str()) < 0 ||
      sd_bus_set_bus_client(mock->m_control, 1) < 0 || sd_bus_start(mock->m_control) < 0) {
    throw std::runtime_error("cannot connect to the private bus");
  }
  if (!withBluez) return mock;

  mock->m_mock = Spawn({"/usr/bin/python3", "-m", "dbusmock", "--system", "--template", KV_MOCK_BLUEZ_TEMPLATE}, -1,
                       -1, mock->m_address.c_str());
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < end) {
    sd_bus_message* reply = nullptr;
    int owned = 0;
    if (sd_bus_call_method(mock->m_control, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                           "org.freedesktop.DBus", "NameHasOwner", nullptr, &reply, "s", "org.bluez") >= 0) {
      sd_bus_message_read(reply, "b", &owned);
      sd_bus_message_unref(reply);
    }
    if (owned != 0) return mock;
    if (waitpid(mock->m_mock, nullptr, WNOHANG) == mock->m_mock) {
      mock->m_mock = -1;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  throw std::runtime_error("the mock BlueZ service did not start");
}

MockBluez::~MockBluez() {
  Stop(m_mock);
  if (m_control != nullptr) sd_bus_flush_close_unref(m_control);
  Stop(m_daemon);
  if (m_previousAddress) {
    setenv(kBusVariable, m_previousAddress->c_str(), 1);
  } else {
    unsetenv(kBusVariable);
  }
}

sd_bus_message* MockBluez::CallMock(const char* member, const char* types, ...) {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  va_list args;
  va_start(args, types);
  const int result = sd_bus_call_methodv(m_control, "org.bluez", "/", kMockInterface, member, &error, &reply, types,
                                         args);
  va_end(args);
  if (result < 0) {
    const std::string text = std::string(member) + ": " + (error.name ? error.name : "") + " " +
                             (error.message ? error.message : "");
    sd_bus_error_free(&error);
    throw std::runtime_error(text);
  }
  return reply;
}

std::vector<std::string> MockBluez::Strings(const char* member) {
  sd_bus_message* reply = CallMock(member, "");
  char** list = nullptr;
  std::vector<std::string> strings;
  if (sd_bus_message_read_strv(reply, &list) >= 0 && list != nullptr) {
    for (char** entry = list; *entry != nullptr; ++entry) {
      strings.emplace_back(*entry);
      free(*entry);
    }
    free(list);
  }
  sd_bus_message_unref(reply);
  return strings;
}

std::string MockBluez::AddAdapter(const std::string& name, const std::string& alias, const std::string& address) {
  sd_bus_message* reply = CallMock("AddAdapterAt", "sss", name.c_str(), alias.c_str(), address.c_str());
  const char* path = nullptr;
  sd_bus_message_read(reply, "s", &path);
  std::string result = path != nullptr ? path : "";
  sd_bus_message_unref(reply);
  return result;
}

void MockBluez::SetPowered(const std::string& name, bool powered) {
  sd_bus_message_unref(CallMock("SetPowered", "sb", name.c_str(), powered ? 1 : 0));
}

std::string MockBluez::AddKnownDevice(const std::string& adapter, const std::string& address, const std::string& name,
                                      uint32_t classOfDevice, bool paired, bool trusted, const std::string& pin) {
  sd_bus_message* reply = CallMock("AddKnownDevice", "sssubbs", adapter.c_str(), address.c_str(), name.c_str(),
                                   classOfDevice, paired ? 1 : 0, trusted ? 1 : 0, pin.c_str());
  const char* path = nullptr;
  sd_bus_message_read(reply, "s", &path);
  std::string result = path != nullptr ? path : "";
  sd_bus_message_unref(reply);
  return result;
}

void MockBluez::AddDiscoverableDevice(const std::string& adapter, const std::string& address, const std::string& name,
                                      uint32_t classOfDevice, const std::string& pin, uint32_t delayMs) {
  sd_bus_message_unref(CallMock("AddDiscoverableDevice", "sssusu", adapter.c_str(), address.c_str(), name.c_str(),
                                classOfDevice, pin.c_str(), delayMs));
}

void MockBluez::SetPasskeyMode(const std::string& address, uint32_t passkey) {
  sd_bus_message_unref(CallMock("SetPasskeyMode", "su", address.c_str(), passkey));
}

void MockBluez::SetConnectProfileError(const std::string& address, const std::string& name,
                                       const std::string& message) {
  sd_bus_message_unref(CallMock("SetConnectProfileError", "sss", address.c_str(), name.c_str(), message.c_str()));
}

void MockBluez::DropUnpairedDevices(const std::string& adapter) {
  sd_bus_message_unref(CallMock("DropUnpairedDevices", "s", adapter.c_str()));
}

std::vector<std::string> MockBluez::RegisteredAgents() { return Strings("RegisteredAgents"); }
std::vector<std::string> MockBluez::RegisteredProfiles() { return Strings("RegisteredProfiles"); }
std::vector<std::string> MockBluez::CallLog() { return Strings("CallLog"); }

bool MockBluez::Discovering(const std::string& adapter) {
  sd_bus_message* reply = CallMock("Discovering", "s", adapter.c_str());
  int discovering = 0;
  sd_bus_message_read(reply, "b", &discovering);
  sd_bus_message_unref(reply);
  return discovering != 0;
}

MockBluez::DeviceState MockBluez::GetDeviceState(const std::string& address) {
  sd_bus_message* reply = CallMock("DeviceState", "s", address.c_str());
  int values[4] = {0, 0, 0, 0};
  sd_bus_message_read(reply, "bbbb", &values[0], &values[1], &values[2], &values[3]);
  sd_bus_message_unref(reply);
  return {values[0] != 0, values[1] != 0, values[2] != 0, values[3] != 0};
}

}  // namespace kv::bt::testing
