// mock_bluez.h: a private dbus-daemon with the mock bluetoothd of bluez_template.py for the tests of
// the BlueZ backend. While a MockBluez lives, DBUS_SYSTEM_BUS_ADDRESS names its bus, so the code
// under test reaches the mock; both children die with the test process, even on a ctest time-out.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace kv::bt::testing {

class MockBluez {
 public:
  // scenario: the template's JSON parameters; nullptr starts the bus without org.bluez. Throws
  // std::runtime_error when the bus or the mock does not come up.
  explicit MockBluez(const char* scenario) {
    char dir[] = "/tmp/kv-mock-bluez-XXXXXX";
    if (mkdtemp(dir) == nullptr) throw std::runtime_error("MockBluez: mkdtemp failed");
    dir_ = dir;
    const std::string address = "unix:path=" + dir_ + "/bus";
    setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
    setenv("KV_MOCK_BLUEZ_LOG", (dir_ + "/calls").c_str(), 1);
    // The daemon prints its address once it listens; the mock's call log appears once it is up.
    daemon_ = Spawn({"/usr/bin/dbus-daemon", "--nofork", "--print-address", "--address=" + address,
                     std::string("--config-file=") + KV_BLUEZ_TESTS "/bluez/test_bus.conf"},
                    dir_ + "/bus.log");
    bool up = Await(dir_ + "/bus.log", address);
    if (up && scenario != nullptr) {
      // Debian's python3 with its dbusmock, not whatever python3 comes first on PATH.
      bluez_ = Spawn({"/usr/bin/python3", "-m", "dbusmock", "--system", "--template",
                      KV_BLUEZ_TESTS "/bluez/bluez_template.py", "-p", scenario},
                     dir_ + "/bluez.log");
      up = Await(dir_ + "/calls", "");
    }
    // Children left behind die with the test process.
    if (!up) throw std::runtime_error("MockBluez: the bus or the mock did not come up; logs in " + dir_);
  }
  ~MockBluez() {
    Stop(bluez_);
    Stop(daemon_);
    unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  MockBluez(const MockBluez&) = delete;
  MockBluez& operator=(const MockBluez&) = delete;

  // How many of the bluetoothd calls made so far ("StartDiscovery hci0", ...) start with prefix.
  size_t Count(const std::string& prefix) const {
    std::ifstream calls(dir_ + "/calls");
    size_t count = 0;
    for (std::string call; std::getline(calls, call);) count += call.rfind(prefix, 0) == 0;
    return count;
  }

 private:
  // The child gets SIGKILL when this process dies, which no destructor would see on a time-out.
  static pid_t Spawn(std::vector<std::string> args, const std::string& log) {
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
  static void Stop(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  // Waits up to ten seconds for the file at path to exist and hold text.
  static bool Await(const std::string& path, const std::string& text) {
    for (int tries = 0; tries < 1000; ++tries) {
      std::ifstream file(path);
      if (file && std::string(std::istreambuf_iterator<char>(file), {}).find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  std::string dir_;
  pid_t daemon_ = -1;
  pid_t bluez_ = -1;
};

}  // namespace kv::bt::testing
