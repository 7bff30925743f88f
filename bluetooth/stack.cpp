// stack.cpp: the stack object's own data, radio detection and the stack description, with the two
// exports over them. No platform call is made but through BtPlatform; message texts come only from the
// platform's string lookup.
#include "bluetooth/stack.h"

#include "bluetooth/setup.h"
#include "messages.h"
#include "wide_text.h"

namespace kv::bt {

namespace {
constexpr size_t kRadioTextCapacity = 512;
}  // namespace

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
