// dialog_runner.cpp: runs a dialog program and collects what it prints. Standard input is an empty
// pipe so that a prompt can never wait on (or eat) the host process's terminal; standard error is read
// and dropped as GTK warnings are noise to the caller. Pipes rather than /dev/null: in containers
// /dev/null is sometimes a plain file that holds whatever was written to it. A program killed by a
// signal reports exitStatus -1.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "bluetooth/bluez/system/prompter.h"
#include "bluetooth/bluez/system/system_calls.h"

extern char** environ;

namespace kv::bt::bluez {
namespace {

using sys::Calls;

constexpr int kExitCommandNotFound = 127;  // what a shell-style exec failure reports

// Closes the descriptors and destroys the spawn objects on every path out of RunDialogProgram.
struct Pipe {
  int readEnd = -1;
  int writeEnd = -1;

  bool Open() {
    int fds[2];
    if (Calls().pipe2(fds, O_CLOEXEC) != 0) return false;
    readEnd = fds[0];
    writeEnd = fds[1];
    return true;
  }
  void CloseReadEnd() {
    if (readEnd >= 0) Calls().close(readEnd);
    readEnd = -1;
  }
  void CloseWriteEnd() {
    if (writeEnd >= 0) Calls().close(writeEnd);
    writeEnd = -1;
  }
  ~Pipe() {
    CloseReadEnd();
    CloseWriteEnd();
  }
};

struct SpawnResources {
  Pipe input;   // its write end is closed at once: the child reads end of file
  Pipe output;  // the child's standard output, kept
  Pipe errors;  // the child's standard error, drained and dropped
  bool actionsReady = false;
  posix_spawn_file_actions_t actions{};

  ~SpawnResources() {
    if (actionsReady) posix_spawn_file_actions_destroy(&actions);
  }
};

bool PrepareActions(SpawnResources& res) {
  if (!res.input.Open() || !res.output.Open() || !res.errors.Open()) return false;
  res.input.CloseWriteEnd();
  if (Calls().spawnActionsInit(&res.actions) != 0) return false;
  res.actionsReady = true;
  return Calls().spawnActionsAddDup2(&res.actions, res.input.readEnd, STDIN_FILENO) == 0 &&
         Calls().spawnActionsAddDup2(&res.actions, res.output.writeEnd, STDOUT_FILENO) == 0 &&
         Calls().spawnActionsAddDup2(&res.actions, res.errors.writeEnd, STDERR_FILENO) == 0;
}

// Reads both pipes until each reaches end of file, so a child that fills either one never blocks. A
// pipe that cannot be read any more is closed at once: the child then fails its writes instead of
// waiting forever on a full pipe while this process waits for it to end.
std::string ReadOutputDroppingErrors(Pipe& output, Pipe& errors) {
  std::string text;
  char buffer[4096];
  Pipe* pipes[2] = {&output, &errors};
  pollfd fds[2] = {{output.readEnd, POLLIN, 0}, {errors.readEnd, POLLIN, 0}};
  while (fds[0].fd >= 0 || fds[1].fd >= 0) {
    const bool failed = Calls().poll(fds, 2, -1) < 0;
    if (failed && errno == EINTR) continue;
    for (size_t i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || (!failed && fds[i].revents == 0)) continue;
      const ssize_t got = failed ? 0 : Calls().read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        if (i == 0) text.append(buffer, static_cast<size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        pipes[i]->CloseReadEnd();
        fds[i].fd = -1;  // poll skips negative descriptors
      }
    }
  }
  return text;
}

// The child's wait status, or nothing when it cannot be collected (e.g. the host ignores SIGCHLD).
std::optional<int> WaitFor(pid_t pid) {
  int status = 0;
  while (Calls().waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return std::nullopt;
  }
  return status;
}

}  // namespace

DialogRun RunDialogProgram(const std::vector<std::string>& argv) {
  DialogRun run;
  if (argv.empty()) return run;

  SpawnResources res;
  if (!PrepareActions(res)) return run;

  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  pid_t pid = 0;
  if (Calls().spawnp(&pid, args[0], &res.actions, nullptr, args.data(), environ) != 0) return run;
  // Only the child may hold the write ends, or the reads below would never see end of file.
  res.output.CloseWriteEnd();
  res.errors.CloseWriteEnd();

  run.output = ReadOutputDroppingErrors(res.output, res.errors);
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
