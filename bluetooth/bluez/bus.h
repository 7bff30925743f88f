// bus.h: the few sd-bus operations the BlueZ backend is made of. One connection per platform
// operation, no thread and no event loop of our own: every call is sent asynchronously and the
// connection is pumped on the caller's thread until the reply or a deadline, so that objects we
// export on the same connection (the PIN agent, the serial profile) are served while we wait.
#pragma once

#include <systemd/sd-bus.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace kv::bt::bluez {

inline constexpr const char* kBluezService = "org.bluez";

// A D-Bus error as name and message; an empty name is "no error".
struct DbusError {
  std::string name;
  std::string message;
  bool Failed() const { return !name.empty(); }
};

struct MessageUnref {
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using Message = std::unique_ptr<sd_bus_message, MessageUnref>;

struct SlotUnref {
  void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
};
using Slot = std::unique_ptr<sd_bus_slot, SlotUnref>;

// Fills in a method call's arguments; returns a negative errno on failure.
using AppendArguments = std::function<int(sd_bus_message*)>;

class Bus {
 public:
  // The system bus (DBUS_SYSTEM_BUS_ADDRESS when set); null with the reason in error when unreachable.
  static std::unique_ptr<Bus> OpenSystem(DbusError& error);
  ~Bus();
  Bus(const Bus&) = delete;
  Bus& operator=(const Bus&) = delete;

  sd_bus* Raw() const { return m_bus; }

  // Calls a BlueZ method and serves the connection until its reply, at most timeout. The reply on
  // success; null with the error otherwise (sd-bus reports a time-out as ...DBus.Error.NoReply).
  Message Call(const std::string& path, const char* interface, const char* member, const AppendArguments& append,
               std::chrono::milliseconds timeout, DbusError& error);

  // Serves the connection for a while, or until done() is true (checked after every message).
  // False when the connection broke.
  bool Serve(std::chrono::milliseconds duration, const std::function<bool()>& done = {});

 private:
  explicit Bus(sd_bus* bus) : m_bus(bus) {}
  sd_bus* m_bus;
};

// Default time-out of a plain BlueZ call.
inline constexpr std::chrono::milliseconds kCallTimeout{10000};

// The error of a failed sd-bus step given as a negative errno.
DbusError ErrnoError(int negativeErrno, const char* what);

}  // namespace kv::bt::bluez
