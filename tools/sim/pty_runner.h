// pty_runner.h: serving a simulated analyser on a pseudo-terminal, blocking (for programs) or on a
// thread of its own (for tests and `korvanta simulate`). Declarations only; the terminal code is in
// posix/, and the engine knows nothing of it.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine.h"

namespace kv::sim {

struct ServeOptions {
  // Called once, with the terminal's path, as soon as a host can open it.
  std::function<void(const std::string& portPath)> onReady;
  // Serving ends soon after this becomes true (null: never, until an error).
  const std::atomic<bool>* stop = nullptr;
  // Held around every use of the engine, so another thread may inspect it (null: none).
  std::mutex* engineMutex = nullptr;
  // Make the terminal the controlling terminal of the caller's session (which the caller must
  // lead), so a host that opens it without O_NOCTTY, as Wine's server does, cannot take it as its
  // own and is sent no SIGHUP when the simulator ends.
  bool claimControllingTerminal = false;
};

// Opens a pseudo-terminal and serves `engine` on it: every open of the terminal by a host is a new
// session (Engine::HostAttached), every last close ends it. Returns 0 when stopped, or -1 with a
// message if the terminal cannot be set up or fails.
int ServeOnPty(Engine& engine, const ServeOptions& options, std::string* error);

// A simulator serving on its own thread for as long as the object lives.
class PtySimulator {
 public:
  explicit PtySimulator(Scenario scenario);
  ~PtySimulator();
  PtySimulator(const PtySimulator&) = delete;
  PtySimulator& operator=(const PtySimulator&) = delete;

  // Returns once the terminal is ready (true) or could not be made (false, with the reason).
  bool Start(std::string* error);
  void Stop();
  const std::string& PortPath() const { return path_; }

  // Copies taken under the engine's lock, safe while the simulator serves.
  Recording RecordingSnapshot() const;
  AnalyserModel ModelSnapshot() const;
  Engine::Phase PhaseSnapshot() const;
  // Runs `inspect` with the engine locked.
  void WithEngine(const std::function<void(Engine&)>& inspect);

 private:
  Engine engine_;
  mutable std::mutex mutex_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::string path_;
};

}  // namespace kv::sim
