// prompts.h: the message boxes and string table texts every flow of the setup shares. All of it goes
// through the BtPlatform passed in; a box that cannot be shown answers Cancel.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "KorvantaSDK.h"
#include "bluetooth/platform.h"

namespace kv::bt {

// The error box: the platform's text of code (and "\n" extra), caption message 65 with the code as a
// signed number. No platform text: nothing shown, Cancel. A box that cannot be shown also gives Cancel.
int32_t ShowBluetoothErrorBox(BtPlatform& platform, uint32_t code, KVWindowHandle parent, uint32_t style,
                              std::optional<std::u16string_view> extra);
// A message box whose answer is Cancel when the platform could not show it.
int32_t AskUser(BtPlatform& platform, KVWindowHandle owner, std::u16string_view text, std::u16string_view caption,
                uint32_t style);
// The text of a message number; empty when the string table lacks it.
std::u16string LoadMessage(BtPlatform& platform, uint32_t number);
// The pairing PIN, message 64, read as into 16 characters (at most 15 used).
std::u16string ReadPin(BtPlatform& platform);

}  // namespace kv::bt
