// errors.h: BlueZ and D-Bus errors as the platform codes the setup branches on, and the texts its
// error box shows for them.
#pragma once

#include <cstdint>
#include <string>

#include "bluetooth/bluez/bus.h"

namespace kv::bt::bluez {

inline constexpr uint32_t kErrorGenFailure = 31;   // ERROR_GEN_FAILURE: any other failure
inline constexpr uint32_t kErrorNotFound = 1168;   // ERROR_NOT_FOUND: no such device
inline constexpr uint32_t kErrorTimeout = 1460;    // ERROR_TIMEOUT

// What a failed call was doing; the same error name means different things in different steps.
enum class Step { kGeneral, kDiscovery, kPairing, kRemoval };

// No bus, no org.bluez, NoReply and Disconnected are 1722 ("RPC server unavailable"); NotReady (the
// adapter is off) is 0x80070006; while pairing, AlreadyExists is success, AuthenticationCanceled 1223
// and any other authentication failure 1244; while removing, DoesNotExist is 1168; anything else 31.
uint32_t CodeOf(const DbusError& error, Step step);

// The text for the error box: the D-Bus error's message, then its name in brackets.
std::u16string TextOf(const DbusError& error);

// A fixed text for the codes this backend gives without a D-Bus error; empty for others.
std::u16string DefaultText(uint32_t code);

}  // namespace kv::bt::bluez
