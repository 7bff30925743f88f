// name_filter.cpp: which devices are analysers (by Bluetooth name alone), the selection dialog's filter,
// and the address and port texts. Pure functions: no platform, no state.
#include <algorithm>
#include <array>

#include "bluetooth/stack.h"

namespace kv::bt {
namespace {

constexpr std::array<std::u16string_view, 5> kAnalyserNameWords = {u"korvanta", u"quattron", u"korvantaqpn",
                                                                    u"korvantappn", u"caballix"};
constexpr uint32_t kMajorClassMask = 0x1F00;  // bits 8 to 12 of the class of device
constexpr uint32_t kMajorClassUncategorised = 0x1F00;
constexpr char16_t kHexUpper[] = u"0123456789ABCDEF";

// Only A to Z are folded; every other unit stays as the platform gave it. Compared in place: the
// filter runs for every device of every search, so it makes no copy.
char16_t FoldAsciiUpper(char16_t unit) {
  return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
}

// Whether a lower-case word occurs in text with A to Z folded to lower case. std::search over the
// views' iterators: no copy and no per-unit bounds check.
bool ContainsIgnoringAsciiCase(std::u16string_view text, std::u16string_view word) {
  const auto equalFolded = [](char16_t unit, char16_t lower) { return FoldAsciiUpper(unit) == lower; };
  return std::search(text.begin(), text.end(), word.begin(), word.end(), equalFolded) != text.end();
}

uint8_t AddressByte(uint64_t address, int index) { return static_cast<uint8_t>(address >> (8 * index)); }

}  // namespace

std::u16string_view DeviceName(const BtDeviceRecord& device) {
  std::u16string_view name = device.name;
  name = name.substr(0, std::min<size_t>(name.find(u'\0'), kMaxDeviceNameUnits));
  return name;
}

bool IsKorvantaDeviceName(const BtDeviceRecord& device) {
  const std::u16string_view name = DeviceName(device);
  for (std::u16string_view word : kAnalyserNameWords) {
    if (ContainsIgnoringAsciiCase(name, word)) return true;
  }
  return false;
}

bool DeviceSelectionFilter(void* /*context*/, const BtDeviceRecord* device) {
  if (device == nullptr) return false;
  // A device whose name has not been read yet stays on offer while it reports no major class.
  if (DeviceName(*device).empty()) return (device->classOfDevice & kMajorClassMask) == kMajorClassUncategorised;
  return IsKorvantaDeviceName(*device);
}

std::u16string AddressText(uint64_t address) {
  std::u16string text;
  text.reserve(17);
  for (int index = 5; index >= 0; --index) {
    const uint8_t byte = AddressByte(address, index);
    text.push_back(kHexUpper[byte >> 4]);
    text.push_back(kHexUpper[byte & 0x0F]);
    if (index > 0) text.push_back(u':');
  }
  return text;
}

void FormatBluetoothAddress(uint64_t address, KVWChar* buffer, int32_t capacity) {
  if (buffer == nullptr || capacity < 1) return;
  buffer[0] = 0;
  if (capacity < 18) return;
  const std::u16string text = AddressText(address);
  for (size_t i = 0; i < text.size(); ++i) buffer[i] = static_cast<KVWChar>(text[i]);
  buffer[text.size()] = 0;
}

std::u16string AddressKey(uint64_t address) {
  // Written lower-case and then upper-cased: the same as upper-case hexadecimal.
  std::u16string key;
  key.reserve(12);
  for (int index = 5; index >= 0; --index) {
    const uint8_t byte = AddressByte(address, index);
    key.push_back(kHexUpper[byte >> 4]);
    key.push_back(kHexUpper[byte & 0x0F]);
  }
  return key;
}

std::optional<std::u16string_view> ComPortFromFriendlyName(std::u16string_view friendlyName) {
  constexpr std::u16string_view kOpen = u"(COM";
  const size_t open = friendlyName.find(kOpen);
  if (open == std::u16string_view::npos) return std::nullopt;
  const size_t start = open + kOpen.size();
  const size_t close = friendlyName.find(u')', start);
  if (close == std::u16string_view::npos) return std::nullopt;
  return friendlyName.substr(start, close - start);
}

}  // namespace kv::bt
