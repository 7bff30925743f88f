// bus.cpp: sd-bus connection, pumped asynchronous calls and serving for a while.
#include "bluetooth/bluez/bus.h"

#include <cerrno>
#include <cstring>

namespace kv::bt::bluez {
namespace {

using Clock = std::chrono::steady_clock;

uint64_t Microseconds(Clock::duration duration) {
  if (duration.count() <= 0) return 0;
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(duration).count());
}

struct PendingReply {
  bool done = false;
  Message reply;
};

int OnReply(sd_bus_message* message, void* userdata, sd_bus_error* /*error*/) {
  auto* pending = static_cast<PendingReply*>(userdata);
  pending->reply.reset(sd_bus_message_ref(message));
  pending->done = true;
  return 0;
}

}  // namespace

DbusError ErrnoError(int negativeErrno, const char* what) {
  DbusError error;
  error.name = "org.freedesktop.DBus.Error.Failed";
  error.message = std::string(what) + ": " + std::strerror(-negativeErrno);
  // An unreachable bus is what the caller must tell apart: keep D-Bus's own name for it.
  if (negativeErrno == -ENOENT || negativeErrno == -ECONNREFUSED || negativeErrno == -ECONNRESET ||
      negativeErrno == -ENOTCONN || negativeErrno == -EPIPE || negativeErrno == -EACCES) {
    error.name = "org.freedesktop.DBus.Error.Disconnected";
  }
  return error;
}

std::unique_ptr<Bus> Bus::OpenSystem(DbusError& error) {
  sd_bus* bus = nullptr;
  const int result = sd_bus_open_system(&bus);
  if (result < 0) {
    error = ErrnoError(result, "system bus");
    return nullptr;
  }
  return std::unique_ptr<Bus>(new Bus(bus));
}

Bus::~Bus() { sd_bus_flush_close_unref(m_bus); }

Message Bus::Call(const std::string& path, const char* interface, const char* member, const AppendArguments& append,
                  std::chrono::milliseconds timeout, DbusError& error) {
  error = {};
  sd_bus_message* raw = nullptr;
  int result = sd_bus_message_new_method_call(m_bus, &raw, kBluezService, path.c_str(), interface, member);
  if (result < 0) {
    error = ErrnoError(result, member);
    return nullptr;
  }
  const Message call(raw);
  if (append) {
    result = append(call.get());
    if (result < 0) {
      error = ErrnoError(result, member);
      return nullptr;
    }
  }
  PendingReply pending;
  sd_bus_slot* rawSlot = nullptr;
  result = sd_bus_call_async(m_bus, &rawSlot, call.get(), &OnReply, &pending, Microseconds(timeout));
  if (result < 0) {
    error = ErrnoError(result, member);
    return nullptr;
  }
  const Slot slot(rawSlot);
  // sd-bus ends the call itself with NoReply at the time-out; the extra second only guards the loop.
  if (!Serve(timeout + std::chrono::seconds(1), [&pending] { return pending.done; })) {
    error = {"org.freedesktop.DBus.Error.Disconnected", std::string(member) + ": the bus connection broke"};
    return nullptr;
  }
  if (!pending.done) {
    error = {"org.freedesktop.DBus.Error.NoReply", std::string(member) + ": no reply"};
    return nullptr;
  }
  if (sd_bus_message_is_method_error(pending.reply.get(), nullptr)) {
    const sd_bus_error* failure = sd_bus_message_get_error(pending.reply.get());
    error.name = failure != nullptr && failure->name != nullptr ? failure->name : "org.freedesktop.DBus.Error.Failed";
    error.message = failure != nullptr && failure->message != nullptr ? failure->message : "";
    return nullptr;
  }
  return std::move(pending.reply);
}

bool Bus::Serve(std::chrono::milliseconds duration, const std::function<bool()>& done) {
  const Clock::time_point deadline = Clock::now() + duration;
  for (;;) {
    if (done && done()) return true;
    const int processed = sd_bus_process(m_bus, nullptr);
    if (processed < 0) return false;
    if (processed > 0) continue;  // more may be queued: process before waiting
    const Clock::time_point now = Clock::now();
    if (now >= deadline) return true;
    const int waited = sd_bus_wait(m_bus, Microseconds(deadline - now));
    if (waited < 0 && waited != -EINTR) return false;
  }
}

}  // namespace kv::bt::bluez
