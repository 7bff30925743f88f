// exported_objects.cpp: the vtables of the PIN agent and the serial port profile.
#include "bluetooth/bluez/exported_objects.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>

namespace kv::bt::bluez {
namespace {

constexpr const char* kRejected = "org.bluez.Error.Rejected";

const sd_bus_vtable* AgentVtable();
const sd_bus_vtable* ProfileVtable();

}  // namespace

PinAgent::PinAgent(Bus& bus, std::string path, std::string pin) : m_path(std::move(path)), m_pin(std::move(pin)) {
  sd_bus_slot* slot = nullptr;
  if (sd_bus_add_object_vtable(bus.Raw(), &slot, m_path.c_str(), "org.bluez.Agent1", AgentVtable(), this) >= 0) {
    m_slot.reset(slot);
  }
}

int PinAgent::OnRequestPinCode(sd_bus_message* message, void* userdata, sd_bus_error* /*error*/) {
  auto* agent = static_cast<PinAgent*>(userdata);
  ++agent->m_requests;
  return sd_bus_reply_method_return(message, "s", agent->m_pin.c_str());
}

int PinAgent::OnRequestPasskey(sd_bus_message* message, void* userdata, sd_bus_error* error) {
  auto* agent = static_cast<PinAgent*>(userdata);
  ++agent->m_requests;
  uint32_t passkey = 0;
  const char* first = agent->m_pin.data();
  const char* last = first + agent->m_pin.size();
  const auto [end, failure] = std::from_chars(first, last, passkey);
  // A passkey has at most six digits; anything else cannot be what the analyser expects.
  if (agent->m_pin.empty() || failure != std::errc() || end != last || passkey > 999999) {
    return sd_bus_error_set(error, kRejected, "The PIN is not a passkey");
  }
  return sd_bus_reply_method_return(message, "u", passkey);
}

int PinAgent::OnAccept(sd_bus_message* message, void* /*userdata*/, sd_bus_error* /*error*/) {
  return sd_bus_reply_method_return(message, "");
}

SerialProfile::SerialProfile(Bus& bus, std::string path) : m_path(std::move(path)) {
  sd_bus_slot* slot = nullptr;
  if (sd_bus_add_object_vtable(bus.Raw(), &slot, m_path.c_str(), "org.bluez.Profile1", ProfileVtable(), this) >=
      0) {
    m_slot.reset(slot);
  }
}

SerialProfile::~SerialProfile() {
  if (m_socket >= 0) close(m_socket);
}

int SerialProfile::TakeSocket() {
  const int socket = m_socket;
  m_socket = -1;
  return socket;
}

int SerialProfile::OnNewConnection(sd_bus_message* message, void* userdata, sd_bus_error* error) {
  auto* profile = static_cast<SerialProfile*>(userdata);
  const char* device = nullptr;
  int descriptor = -1;
  int result = sd_bus_message_read(message, "oh", &device, &descriptor);
  if (result < 0) return result;
  // Only the first link of this operation is wanted; a second one is refused and closes on its side.
  if (profile->m_socket >= 0) return sd_bus_error_set(error, kRejected, "A link is already open");
  // The descriptor belongs to the message: keep a duplicate of our own.
  const int kept = fcntl(descriptor, F_DUPFD_CLOEXEC, 3);
  if (kept < 0) return -errno;
  profile->m_socket = kept;
  return sd_bus_reply_method_return(message, "");
}

int SerialProfile::OnReturn(sd_bus_message* message, void* /*userdata*/, sd_bus_error* /*error*/) {
  return sd_bus_reply_method_return(message, "");
}

namespace {

const sd_bus_vtable* AgentVtable() {
  static const sd_bus_vtable vtable[] = {
      SD_BUS_VTABLE_START(0),
      SD_BUS_METHOD("Release", "", "", &PinAgent::OnAccept, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_METHOD("RequestPinCode", "o", "s", &PinAgent::OnRequestPinCode, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_METHOD("DisplayPinCode", "os", "", &PinAgent::OnAccept, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_METHOD("RequestPasskey", "o", "u", &PinAgent::OnRequestPasskey, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_METHOD("DisplayPasskey", "ouq", "", &PinAgent::OnAccept, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_METHOD("RequestConfirmation", "ou", "", &PinAgent::OnAccept, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_METHOD("RequestAuthorization", "o", "", &PinAgent::OnAccept, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_METHOD("AuthorizeService", "os", "", &PinAgent::OnAccept, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_METHOD("Cancel", "", "", &PinAgent::OnAccept, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_VTABLE_END};
  return vtable;
}

const sd_bus_vtable* ProfileVtable() {
  static const sd_bus_vtable vtable[] = {
      SD_BUS_VTABLE_START(0),
      SD_BUS_METHOD("Release", "", "", &SerialProfile::OnReturn, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_METHOD("NewConnection", "oha{sv}", "", &SerialProfile::OnNewConnection, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_METHOD("RequestDisconnection", "o", "", &SerialProfile::OnReturn, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_VTABLE_END};
  return vtable;
}

}  // namespace
}  // namespace kv::bt::bluez
