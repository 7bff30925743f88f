// mock_bluez.cpp: starts the bus and the mock as children tied to this process and reads the call log.
#include "mock_bluez.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>
#include <vector>

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

void Stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

// The daemon's socket accepts (its file exists from bind(), before listen()), and the mock's call log
// appears, once each is up.
bool Await(const std::string& path, bool socket) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof(address.sun_path)) return false;
  path.copy(address.sun_path, path.size());
  for (int tries = 0; tries < 1000; ++tries) {  // ten seconds
    const int fd = socket ? ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0) : -1;
    const bool up = socket ? fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0
                           : std::filesystem::exists(path);
    if (fd >= 0) close(fd);
    if (up) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

}  // namespace

MockBluez::MockBluez(const char* scenario) {
  char dir[] = "/tmp/kv-mock-bluez-XXXXXX";
  if (mkdtemp(dir) == nullptr) throw std::runtime_error("MockBluez: mkdtemp failed");
  dir_ = dir;
  const std::string address = "unix:path=" + dir_ + "/bus";
  setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
  setenv("KV_MOCK_BLUEZ_LOG", (dir_ + "/calls").c_str(), 1);
  daemon_ = Spawn({"/usr/bin/dbus-daemon", "--nofork", std::string("--config-file=") + KV_MOCK_BLUEZ_BUS_CONFIG,
                   "--address=" + address},
                  dir_ + "/bus.log");
  bool up = Await(dir_ + "/bus", true);
  if (up && scenario != nullptr) {
    // Debian's python3 with its dbusmock, not whatever python3 comes first on PATH.
    bluez_ =
        Spawn({"/usr/bin/python3", "-m", "dbusmock", "--system", "--template", KV_MOCK_BLUEZ_TEMPLATE, "-p", scenario},
              dir_ + "/bluez.log");
    up = Await(dir_ + "/calls", false);
  }
  if (!up) {
    Stop(bluez_);
    Stop(daemon_);
    throw std::runtime_error("MockBluez: the bus or the mock did not come up; logs in " + dir_);
  }
}

MockBluez::~MockBluez() {
  Stop(bluez_);
  Stop(daemon_);
  unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

size_t MockBluez::Count(const std::string& prefix) const {
  std::ifstream calls(dir_ + "/calls");
  size_t count = 0;
  for (std::string call; std::getline(calls, call);) count += call.rfind(prefix, 0) == 0;
  return count;
}

}  // namespace kv::bt::testing
