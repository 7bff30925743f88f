// interrupt_watch_posix.cpp: SIGINT through a self-pipe. The handler only writes a byte to the pipe
// (write is async-signal-safe); a thread of the watch reads it and calls the tool back, where any
// call is allowed. A second byte from the destructor ends that thread.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>

#include "interrupt_watch.h"

namespace kv::cli {

namespace {

constexpr char kInterrupt = 'i';
constexpr char kEnd = 'e';

// The write end the handler uses; one watch at a time.
std::atomic<int> g_signalPipe{-1};

extern "C" void OnSigint(int) {
  const int saved = errno;
  const int fd = g_signalPipe.load();
  if (fd >= 0) {
    const char byte = kInterrupt;
    [[maybe_unused]] const ssize_t written = write(fd, &byte, 1);
  }
  errno = saved;
}

}  // namespace

struct InterruptWatch::State {
  std::function<void()> onInterrupt;
  int pipe[2] = {-1, -1};
  struct sigaction previous {};
  std::atomic<bool> interrupted{false};
  std::thread watcher;

  void Watch() {
    for (;;) {
      char byte = 0;
      const ssize_t got = read(pipe[0], &byte, 1);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0 || byte == kEnd) return;
      if (!interrupted.exchange(true)) onInterrupt();
    }
  }
};

InterruptWatch::InterruptWatch(std::function<void()> onInterrupt) : state_(std::make_unique<State>()) {
  state_->onInterrupt = std::move(onInterrupt);
  // Without a pipe there is no watch: Ctrl-C keeps ending the process as it would.
  if (pipe2(state_->pipe, O_CLOEXEC) != 0) return;
  state_->watcher = std::thread([state = state_.get()] { state->Watch(); });
  g_signalPipe = state_->pipe[1];
  struct sigaction action {};
  action.sa_handler = OnSigint;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, &state_->previous);
}

InterruptWatch::~InterruptWatch() {
  if (state_->pipe[0] < 0) return;
  sigaction(SIGINT, &state_->previous, nullptr);
  g_signalPipe = -1;
  const char end = kEnd;
  while (write(state_->pipe[1], &end, 1) < 0 && errno == EINTR) {
  }
  state_->watcher.join();
  close(state_->pipe[0]);
  close(state_->pipe[1]);
}

bool InterruptWatch::Interrupted() const { return state_->interrupted; }

}  // namespace kv::cli
