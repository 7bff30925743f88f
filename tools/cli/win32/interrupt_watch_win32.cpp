// interrupt_watch_win32.cpp: Ctrl-C and Ctrl-Break through a console control handler. Windows runs
// the handler on a thread of its own, so it may call the tool back directly; answering TRUE keeps
// the process alive for the tool to finish its own way.
#include <windows.h>

#include <atomic>
#include <mutex>

#include "interrupt_watch.h"

namespace kv::cli {

struct InterruptWatch::State {
  std::function<void()> onInterrupt;
  std::atomic<bool> interrupted{false};
  bool installed = false;
};

namespace {

// The live watch, if any, guarded so that the handler never calls one that is ending.
std::mutex g_mutex;
InterruptWatch::State* g_state = nullptr;

BOOL WINAPI OnControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  std::lock_guard lock(g_mutex);
  if (g_state == nullptr) return FALSE;
  if (!g_state->interrupted.exchange(true)) g_state->onInterrupt();
  return TRUE;
}

}  // namespace

InterruptWatch::InterruptWatch(std::function<void()> onInterrupt) : state_(std::make_unique<State>()) {
  state_->onInterrupt = std::move(onInterrupt);
  {
    std::lock_guard lock(g_mutex);
    g_state = state_.get();
  }
  state_->installed = SetConsoleCtrlHandler(OnControl, TRUE) != 0;
}

InterruptWatch::~InterruptWatch() {
  if (state_->installed) SetConsoleCtrlHandler(OnControl, FALSE);
  std::lock_guard lock(g_mutex);
  g_state = nullptr;
}

bool InterruptWatch::Interrupted() const { return state_->interrupted; }

}  // namespace kv::cli
