// dialog_runner.cpp: runs a dialog program and collects what it prints. Standard input is /dev/null so
// that a prompt can never wait on (or eat) the host process's terminal; standard error is dropped as
// GTK warnings are noise to the caller. A program killed by a signal reports exitStatus -1.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "bluetooth/bluez/system/prompter.h"

extern char** environ;

namespace kv::bt::bluez {
namespace {

constexpr int kExitCommandNotFound = 127;  // what a shell-style exec failure reports

// Closes the descriptors and destroys the spawn objects on every path out of RunDialogProgram.
struct SpawnResources {
  int readEnd = -1;
  int writeEnd = -1;
  bool actionsReady = false;
  posix_spawn_file_actions_t actions{};

  ~SpawnResources() {
    if (readEnd >= 0) ::close(readEnd);
    if (writeEnd >= 0) ::close(writeEnd);
    if (actionsReady) posix_spawn_file_actions_destroy(&actions);
  }
};

bool PrepareActions(SpawnResources& res) {
  if (posix_spawn_file_actions_init(&res.actions) != 0) return false;
  res.actionsReady = true;
  return posix_spawn_file_actions_addopen(&res.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0) == 0 &&
         posix_spawn_file_actions_adddup2(&res.actions, res.writeEnd, STDOUT_FILENO) == 0 &&
         posix_spawn_file_actions_addopen(&res.actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0) == 0;
}

std::string ReadAll(int fd) {
  std::string output;
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got > 0) {
      output.append(buffer, static_cast<size_t>(got));
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else {
      break;
    }
  }
  return output;
}

// The child's wait status, or nothing when it cannot be collected (e.g. the host ignores SIGCHLD).
std::optional<int> WaitFor(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return std::nullopt;
  }
  return status;
}

}  // namespace

DialogRun RunDialogProgram(const std::vector<std::string>& argv) {
  DialogRun run;
  if (argv.empty()) return run;

  SpawnResources res;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return run;
  res.readEnd = fds[0];
  res.writeEnd = fds[1];
  if (!PrepareActions(res)) return run;

  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  pid_t pid = 0;
  if (posix_spawnp(&pid, args[0], &res.actions, nullptr, args.data(), environ) != 0) return run;
  // Only the child may hold the write end, or the read below would never see end of file.
  ::close(res.writeEnd);
  res.writeEnd = -1;

  run.output = ReadAll(res.readEnd);
  const std::optional<int> status = WaitFor(pid);
  if (status && WIFEXITED(*status)) {
    run.exitStatus = WEXITSTATUS(*status);
    run.started = run.exitStatus != kExitCommandNotFound;
  } else {
    run.started = true;  // it ran, but was killed by a signal or its end went unseen
    run.exitStatus = -1;
  }
  return run;
}

}  // namespace kv::bt::bluez
