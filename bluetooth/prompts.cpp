// prompts.cpp: the error box, the plain question, and the string table lookups of the setup. Texts come
// only from the platform's string lookup, and are cut to the sizes the boxes were always given.
#include "bluetooth/prompts.h"

#include "bluetooth/text_format.h"
#include "messages.h"

namespace kv::bt {

namespace {
constexpr size_t kCaptionCapacity = 512;
constexpr size_t kErrorBodyCapacity = 2048;
constexpr size_t kPinCapacity = 16;
}  // namespace

std::u16string LoadMessage(BtPlatform& platform, uint32_t number) {
  std::u16string text;
  if (!platform.LoadText(number, text)) text.clear();
  return text;
}

std::u16string ReadPin(BtPlatform& platform) {
  std::u16string pin = LoadMessage(platform, kMsgPairingPin);
  pin.resize(LimitText(pin, kPinCapacity).size());
  return pin;
}

int32_t AskUser(BtPlatform& platform, KVWindowHandle owner, std::u16string_view text, std::u16string_view caption,
                uint32_t style) {
  const int32_t button = platform.ShowMessage(owner, text, caption, style);
  return button == kButtonNone ? kButtonCancel : button;
}

int32_t ShowBluetoothErrorBox(BtPlatform& platform, uint32_t code, KVWindowHandle parent, uint32_t style,
                              std::optional<std::u16string_view> extra) {
  std::u16string platformText;
  if (!platform.ErrorText(code, platformText)) return kButtonCancel;
  // The code prints signed, as the platform's own tools show an HRESULT: 0x80070006 is -2147024890.
  const std::u16string caption =
      FormatText(LoadMessage(platform, kMsgErrorCaption), {static_cast<int64_t>(static_cast<int32_t>(code))});
  std::u16string body = std::move(platformText);
  if (extra) {
    body.push_back(u'\n');
    body.append(*extra);
  }
  return AskUser(platform, parent, LimitText(body, kErrorBodyCapacity), LimitText(caption, kCaptionCapacity),
                 style);
}

}  // namespace kv::bt
