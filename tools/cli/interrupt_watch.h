// interrupt_watch.h: Ctrl-C as an event the tool can act on. While a watch lives, an interrupt
// (SIGINT; the console's Ctrl-C or Ctrl-Break on Windows) no longer ends the process but calls
// `onInterrupt` once, on a thread of its own, never inside a signal handler. When the watch ends, an
// interrupt ends the process again. Interface only; posix/ and win32/ implement it.
#pragma once

#include <functional>
#include <memory>

namespace kv::cli {

class InterruptWatch {
 public:
  explicit InterruptWatch(std::function<void()> onInterrupt);
  ~InterruptWatch();
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

  // True once an interrupt came, as soon as `onInterrupt` has been called.
  bool Interrupted() const;

  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace kv::cli
