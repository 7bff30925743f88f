// pty_runner_posix.cpp: the simulator on a POSIX pseudo-terminal (openpty, raw mode, poll).
// Moves bytes between the master side and the engine with timestamps; no protocol knowledge here.
// Sessions follow the host's opens and closes of the slave side, which the runner does not keep
// open itself: inotify reports each open and close in order, so a close followed at once by a new
// open is still two events; where inotify is missing, the master's hang-up state is the fallback.
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <vector>

#include "pty_runner.h"

namespace kv::sim {
namespace {

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

// Until the host sets its own line settings, the terminal must not echo: an echoed reply would come
// back as host bytes. Timeouts (VMIN, VTIME) are left as they are, since the host may rely on its own.
void MakeRaw(int master) {
  termios t{};
  if (::tcgetattr(master, &t) != 0) return;
  if ((t.c_lflag & (ECHO | ICANON)) == 0 && (t.c_oflag & OPOST) == 0) return;  // the host's settings stand
  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF);
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
  t.c_cflag |= CS8 | CLOCAL | CREAD;
  ::tcsetattr(master, TCSANOW, &t);
}

int Fail(std::string* error, const std::string& what) {
  if (error != nullptr) *error = what + ": " + std::strerror(errno);
  return -1;
}

}  // namespace

int ServeOnPty(Engine& engine, const ServeOptions& options, std::string* error) {
  int masterFd = -1;
  int slaveFd = -1;
  termios raw{};
  ::cfmakeraw(&raw);
  raw.c_cflag |= CLOCAL | CREAD;
  ::cfsetspeed(&raw, B115200);
  if (::openpty(&masterFd, &slaveFd, nullptr, &raw, nullptr) != 0) return Fail(error, "openpty");
  Fd master(masterFd);
  Fd slave(slaveFd);
  const char* name = ::ptsname(master.get());
  if (name == nullptr) return Fail(error, "ptsname");
  const std::string path = name;
  if (::fcntl(master.get(), F_SETFL, ::fcntl(master.get(), F_GETFL) | O_NONBLOCK) != 0) return Fail(error, "fcntl");

  if (options.claimControllingTerminal) ::ioctl(slave.get(), TIOCSCTTY, 0);
  // Watching starts before the slave is let go of, so no host open can come unseen.
  Fd watch(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  const bool watched = watch.get() >= 0 && ::inotify_add_watch(watch.get(), path.c_str(),
                                                              IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) >= 0;
  slave.reset();
  if (watched) {
    alignas(inotify_event) char drain[4096];
    while (::read(watch.get(), drain, sizeof drain) > 0) {
    }  // our own close of the slave
  }

  const auto origin = std::chrono::steady_clock::now();
  auto now = [origin] {
    return std::chrono::duration_cast<Micros>(std::chrono::steady_clock::now() - origin);
  };
  auto locked = [&options](auto&& action) {
    if (options.engineMutex == nullptr) return action();
    std::lock_guard<std::mutex> lock(*options.engineMutex);
    return action();
  };
  if (options.onReady) options.onReady(path);

  constexpr Micros kIdleTick = std::chrono::milliseconds(10);  // how soon a stop request is seen
  bool attached = false;
  int opens = 0;  // the host's open descriptions of the slave, as inotify counts them
  std::vector<uint8_t> unsent;
  std::vector<uint8_t> buffer(4096);
  auto attach = [&](Micros t) {
    MakeRaw(master.get());
    locked([&] { engine.HostAttached(t); });
    attached = true;
  };
  auto detach = [&](Micros t) {
    locked([&] { engine.HostDetached(t); });
    attached = false;
    unsent.clear();
  };
  while (options.stop == nullptr || !options.stop->load()) {
    Micros wait = kIdleTick;
    if (attached && unsent.empty()) {
      if (auto next = locked([&] { return engine.NextEvent(); })) {
        wait = std::clamp(*next - now(), Micros(0), kIdleTick);
      }
    } else if (!unsent.empty()) {
      wait = std::chrono::milliseconds(1);
    }
    // Without a host the master reports a hang-up at every poll; then only the watch is polled.
    const bool hostless = !attached && (!watched || opens == 0);
    pollfd p[2] = {{master.get(), static_cast<short>(POLLIN | (unsent.empty() ? 0 : POLLOUT)), 0},
                   {watch.get(), POLLIN, 0}};
    const timespec ts{0, static_cast<long>(wait.count() * 1000)};
    const int ready = watched && hostless ? ::ppoll(&p[1], 1, &ts, nullptr)
                                          : ::ppoll(p, watched ? 2 : 1, &ts, nullptr);
    if (ready < 0 && errno != EINTR) return Fail(error, "poll");
    const Micros t = now();

    if (watched && (p[1].revents & POLLIN) != 0) {
      alignas(inotify_event) char events[4096];
      ssize_t n;
      while ((n = ::read(watch.get(), events, sizeof events)) > 0) {
        for (ssize_t at = 0; at < n;) {
          const auto* e = reinterpret_cast<const inotify_event*>(events + at);
          at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
          if ((e->mask & IN_OPEN) != 0 && ++opens == 1) {
            if (attached) detach(t);  // a close and a reopen seen in one read
            attach(t);
          }
          if ((e->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) != 0 && opens > 0 && --opens == 0) detach(t);
        }
      }
    }
    if (!watched) {
      if ((p[0].revents & POLLHUP) != 0) {
        if (attached) detach(t);
        const timespec pause{0, 10'000'000};  // a master without a slave reports the hang-up at once
        ::nanosleep(&pause, nullptr);
        continue;
      }
      if (!attached) attach(t);
    }
    if (!attached) continue;
    if ((p[0].revents & POLLIN) != 0) {
      for (;;) {
        const ssize_t n = ::read(master.get(), buffer.data(), buffer.size());
        if (n > 0) {
          locked([&] { engine.Receive(std::span<const uint8_t>(buffer.data(), static_cast<size_t>(n)), t); });
          continue;
        }
        if (n < 0 && errno == EINTR) continue;
        break;  // EAGAIN: drained; EIO: the host went away, which the watch or the hang-up reports
      }
    }
    if ((p[0].revents & POLLHUP) != 0) {
      // Closed, and its close event not yet read: do not spin on the hang-up meanwhile.
      const timespec pause{0, 1'000'000};
      ::nanosleep(&pause, nullptr);
    }
    std::vector<uint8_t> due = locked([&] { return engine.TakeDue(now()); });
    unsent.insert(unsent.end(), due.begin(), due.end());
    while (!unsent.empty()) {
      const ssize_t n = ::write(master.get(), unsent.data(), unsent.size());
      if (n > 0) {
        unsent.erase(unsent.begin(), unsent.begin() + n);
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else {
        break;  // the terminal's buffer is full; POLLOUT says when to go on
      }
    }
  }
  return 0;
}

PtySimulator::PtySimulator(Scenario scenario) : engine_(std::move(scenario)) {}

PtySimulator::~PtySimulator() { Stop(); }

bool PtySimulator::Start(std::string* error) {
  // Shared with the thread, which outlives this call and may fail after it reported ready.
  struct Ready {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    std::string path;
    std::string failure;
  };
  auto ready = std::make_shared<Ready>();
  thread_ = std::thread([ready, this] {
    ServeOptions options;
    options.stop = &stop_;
    options.engineMutex = &mutex_;
    options.onReady = [ready](const std::string& p) {
      std::lock_guard<std::mutex> lock(ready->mutex);
      ready->path = p;
      ready->done = true;
      ready->cv.notify_one();
    };
    std::string why;
    if (ServeOnPty(engine_, options, &why) != 0) {
      std::lock_guard<std::mutex> lock(ready->mutex);
      ready->failure = why.empty() ? "the simulator stopped" : why;
      ready->done = true;
      ready->cv.notify_one();
    }
  });
  std::unique_lock<std::mutex> lock(ready->mutex);
  ready->cv.wait(lock, [&] { return ready->done; });
  if (ready->path.empty()) {
    const std::string failure = ready->failure;
    lock.unlock();
    Stop();
    if (error != nullptr) *error = failure;
    return false;
  }
  path_ = ready->path;
  return true;
}

void PtySimulator::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

Recording PtySimulator::RecordingSnapshot() const {
  std::lock_guard<std::mutex> lock(mutex_);
  Recording copy = engine_.recording();
  copy.SetSink(nullptr);
  return copy;
}

AnalyserModel PtySimulator::ModelSnapshot() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return engine_.model();
}

Engine::Phase PtySimulator::PhaseSnapshot() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return engine_.phase();
}

void PtySimulator::WithEngine(const std::function<void(Engine&)>& inspect) {
  std::lock_guard<std::mutex> lock(mutex_);
  inspect(engine_);
}

}  // namespace kv::sim
