// exported_objects.h: the two objects the backend exports on its own connection while one operation
// runs: the PIN agent (org.bluez.Agent1) during a pairing, and the serial port client profile
// (org.bluez.Profile1) while the link is connected. Each lives only as long as its C++ object.
#pragma once

#include <string>

#include "bluetooth/bluez/bus.h"

namespace kv::bt::bluez {

class PinAgent {
 public:
  // Exports the agent at path: RequestPinCode answers pin, RequestPasskey its number (a PIN that is
  // not a number is rejected), confirmations and authorisations are accepted.
  PinAgent(Bus& bus, std::string path, std::string pin);
  bool Exported() const { return m_slot != nullptr; }
  const std::string& Path() const { return m_path; }
  int Requests() const { return m_requests; }

  // The vtable's handlers.
  static int OnRequestPinCode(sd_bus_message* message, void* userdata, sd_bus_error* error);
  static int OnRequestPasskey(sd_bus_message* message, void* userdata, sd_bus_error* error);
  static int OnAccept(sd_bus_message* message, void* userdata, sd_bus_error* error);

 private:
  std::string m_path;
  std::string m_pin;
  int m_requests = 0;
  Slot m_slot;
};

class SerialProfile {
 public:
  SerialProfile(Bus& bus, std::string path);
  ~SerialProfile();
  SerialProfile(const SerialProfile&) = delete;
  SerialProfile& operator=(const SerialProfile&) = delete;

  bool Exported() const { return m_slot != nullptr; }
  const std::string& Path() const { return m_path; }
  bool HasSocket() const { return m_socket >= 0; }
  // The socket NewConnection handed over (ours to close), or -1.
  int TakeSocket();

  // The vtable's handlers.
  static int OnNewConnection(sd_bus_message* message, void* userdata, sd_bus_error* error);
  static int OnReturn(sd_bus_message* message, void* userdata, sd_bus_error* error);

 private:
  std::string m_path;
  int m_socket = -1;
  Slot m_slot;
};

}  // namespace kv::bt::bluez
