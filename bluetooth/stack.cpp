// stack.cpp: the stack object's own data, how the process-wide object is obtained, radio detection, the
// stack description, and the prompt helpers every flow shares. No platform call is made but through
// BtPlatform; message texts come only from the platform's string lookup.
#include "bluetooth/stack.h"

#include <algorithm>

#include "bluetooth/setup.h"
#include "messages.h"
#include "wide_text.h"

namespace kv::bt {

// ---- Prompts and texts ----

namespace {
constexpr size_t kCaptionCapacity = 512;
constexpr size_t kErrorBodyCapacity = 2048;
constexpr size_t kRadioTextCapacity = 512;
constexpr size_t kPinCapacity = 16;
}  // namespace

std::u16string_view LimitText(std::u16string_view text, size_t capacity) {
  if (capacity == 0) return {};
  return text.substr(0, std::min(text.size(), capacity - 1));
}

std::u16string FormatText(std::u16string_view pattern, std::initializer_list<TextArg> args) {
  std::u16string out;
  out.reserve(pattern.size() + 64);
  const TextArg* next = args.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char16_t unit = pattern[i];
    if (unit != u'%' || i + 1 == pattern.size()) {
      out.push_back(unit);
      continue;
    }
    const char16_t kind = pattern[i + 1];
    if (kind == u'%') {
      out.push_back(u'%');
      ++i;
    } else if (kind == u's' || kind == u'd') {
      ++i;
      if (next == args.end()) continue;  // a missing argument prints as nothing
      const TextArg& arg = *next++;
      if (arg.isNumber) {
        const std::string digits = std::to_string(arg.number);
        out.append(digits.begin(), digits.end());
      } else {
        out.append(arg.text);
      }
    } else {
      out.push_back(unit);
    }
  }
  return out;
}

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

// ---- The stack object ----

CBluetoothStack::CBluetoothStack(BtPlatform& platform) : m_platform(platform) { ResetDeviceLists(); }

void CBluetoothStack::ResetDeviceLists() {
  m_nFoundCount = 0;
  m_foundDevices.fill(BtDeviceRecord{});
  m_selectedDevice = BtDeviceRecord{};
}

int32_t CBluetoothStack::GetNewDeviceCount() const { return m_bSearchDone ? m_nNewCount : -1; }
int32_t CBluetoothStack::GetPairedDeviceCount() const { return m_bSearchDone ? m_nPairedCount : -1; }
const BtDeviceRecord* CBluetoothStack::GetSelectedDevice() const {
  return m_bSearchDone ? &m_selectedDevice : nullptr;
}
bool CBluetoothStack::IsSearchDone() { return m_bSearchDone; }

std::span<const BtDeviceRecord> CBluetoothStack::FoundDevices() const {
  return {m_foundDevices.data(), static_cast<size_t>(m_nFoundCount)};
}

int32_t CBluetoothStackMicrosoft::GetRadioCount() {
  BtRadio radio = BtRadio::kNone;
  const BtRadioFind find = m_platform.FindFirstRadio(radio);
  if (find == BtRadioFind::kNone) return 0;
  int32_t count = 0;
  bool more = true;
  while (more) {
    if (radio != BtRadio::kNone) {
      ++count;
      m_platform.CloseRadio(radio);
    }
    radio = BtRadio::kNone;
    more = m_platform.FindNextRadio(find, radio);
  }
  m_platform.FindRadioClose(find);
  return count;
}

bool CBluetoothStackMicrosoft::GetStackInfo(KVWChar* text, int32_t capacity) {
  // Radio information that cannot be read leaves both texts empty.
  std::u16string hardware;
  std::u16string software;
  BtRadio radio = BtRadio::kNone;
  const BtRadioFind find = m_platform.FindFirstRadio(radio);
  if (find != BtRadioFind::kNone) {
    if (radio != BtRadio::kNone) {
      BtRadioInfo info;
      if (m_platform.GetRadioInfo(radio, info) == kErrorSuccess) {
        hardware = LimitText(FormatText(u"%s (%d)", {info.name, int64_t{info.manufacturer}}), kRadioTextCapacity);
        software = LimitText(FormatText(u"(%d)", {int64_t{info.lmpSubversion}}), kRadioTextCapacity);
      }
      m_platform.CloseRadio(radio);
    }
    m_platform.FindRadioClose(find);
  }
  const std::u16string description =
      FormatText(LoadMessage(m_platform, kMsgStackInfo), {m_platform.StackName(), hardware, software});
  CopyTruncated(description, text, capacity);
  return true;
}

// ---- The process-wide object ----

CBluetoothStack* BuildStack(BtPlatform& platform) {
  auto* stack = new CBluetoothStackMicrosoft(platform);
  if (stack->GetRadioCount() == 0) {
    delete stack;
    return nullptr;
  }
  return stack;
}

CBluetoothStack* CreateStack(BtPlatform& platform, CBluetoothStack*& held) {
  delete held;
  held = nullptr;
  held = BuildStack(platform);
  return held;
}

CBluetoothStack* CreateStackWithRetry(BtPlatform& platform, CBluetoothStack*& held, bool interactive,
                                      KVWindowHandle parent) {
  for (;;) {
    if (CBluetoothStack* stack = CreateStack(platform, held)) return stack;
    if (!interactive) return nullptr;
    const std::u16string noRadio = LoadMessage(platform, kMsgNoRadio);
    if (ShowBluetoothErrorBox(platform, kErrorBadUnit, parent, kStyleRetryCancelWarning, noRadio) != kButtonRetry) {
      return nullptr;
    }
  }
}

CBluetoothStack* GetStack(BtPlatform& platform, CBluetoothStack*& held) {
  if (held == nullptr) held = BuildStack(platform);
  return held;
}

// ---- Exports of radio detection and the description ----

int32_t IsBTAvailable(BtPlatform& platform, CBluetoothStack*& held) {
  CBluetoothStack* stack = CreateStack(platform, held);
  if (stack == nullptr) return 0;
  return stack->GetRadioCount() > 0 ? 1 : 0;
}

int32_t GetBTStackInfo(BtPlatform& platform, CBluetoothStack*& held, KVWChar* info, int32_t capacity) {
  // A buffer that cannot take even the terminator is refused before the object is replaced.
  if (info == nullptr || capacity < 1) return 0;
  CBluetoothStack* stack = CreateStack(platform, held);
  if (stack == nullptr) return 0;
  stack->GetStackInfo(info, capacity);
  return 1;
}

}  // namespace kv::bt
