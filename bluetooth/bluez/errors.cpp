// errors.cpp: the mapping of errors to codes and texts.
#include "bluetooth/bluez/errors.h"

#include <string_view>

#include "utf_convert.h"
#include "bluetooth/platform.h"

namespace kv::bt::bluez {
namespace {

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

}  // namespace

uint32_t CodeOf(const DbusError& error, Step step) {
  const std::string_view name = error.name;
  if (name.empty()) return kErrorSuccess;
  if (name == "org.freedesktop.DBus.Error.ServiceUnknown" || name == "org.freedesktop.DBus.Error.NameHasNoOwner" ||
      name == "org.freedesktop.DBus.Error.NoReply" || name == "org.freedesktop.DBus.Error.Disconnected" ||
      name == "org.freedesktop.DBus.Error.NoServer" || name == "org.freedesktop.DBus.Error.FileNotFound") {
    return kRpcServerUnavailable;
  }
  if (name == "org.bluez.Error.NotReady") return kResultInvalidHandle;
  if (step == Step::kPairing) {
    if (name == "org.bluez.Error.AlreadyExists") return kErrorSuccess;
    if (name == "org.bluez.Error.AuthenticationCanceled") return kErrorCancelled;
    if (StartsWith(name, "org.bluez.Error.Authentication")) return kErrorNotAuthenticated;
  }
  if (step == Step::kRemoval && name == "org.bluez.Error.DoesNotExist") return kErrorNotFound;
  return kErrorGenFailure;
}

std::u16string TextOf(const DbusError& error) {
  std::string text = error.message.empty() ? std::string("Bluetooth error") : error.message;
  if (!error.name.empty()) text += " (" + error.name + ")";
  return Utf16FromUtf8(text);
}

std::u16string DefaultText(uint32_t code) {
  switch (code) {
    case kRpcServerUnavailable:
      return u"The Bluetooth service (org.bluez) cannot be reached on the system bus.";
    case kResultInvalidHandle:
      return u"The Bluetooth adapter is not ready (it may be switched off).";
    case kErrorNoMoreItems:
      return u"No Bluetooth devices were found.";
    case kErrorCancelled:
      return u"The operation was cancelled.";
    case kErrorNotAuthenticated:
      return u"The Bluetooth device could not be paired.";
    case kErrorNotFound:
      return u"The Bluetooth device is no longer known to the adapter.";
    case kErrorTimeout:
      return u"The Bluetooth device did not answer in time.";
    case kErrorGenFailure:
      return u"The Bluetooth operation failed.";
    default:
      return {};
  }
}

}  // namespace kv::bt::bluez
