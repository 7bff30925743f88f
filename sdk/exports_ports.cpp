// exports_ports.cpp: the C shim of the port list: the platform's descriptions, ordered by name
// (COM2 before COM10), copied into the caller's records, every text cut to its field.
#include <algorithm>
#include <cstring>

#include "KorvantaSession.h"
#include "export_guard.h"
#include "link/port_list.h"
#include "wide_text.h"

namespace {

// Names compared with their runs of digits as numbers: "ttyUSB2" before "ttyUSB10".
bool NaturalLess(const std::u16string& a, const std::u16string& b) {
  size_t i = 0, j = 0;
  const auto digit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
  while (i < a.size() && j < b.size()) {
    if (digit(a[i]) && digit(b[j])) {
      size_t ei = i, ej = j;
      while (ei < a.size() && digit(a[ei])) ++ei;
      while (ej < b.size() && digit(b[ej])) ++ej;
      const std::u16string_view na = std::u16string_view(a).substr(i, ei - i), nb = std::u16string_view(b).substr(j, ej - j);
      const auto trim = [](std::u16string_view v) { return v.substr(std::min(v.find_first_not_of(u'0'), v.size())); };
      const std::u16string_view ta = trim(na), tb = trim(nb);
      if (ta.size() != tb.size()) return ta.size() < tb.size();
      if (ta != tb) return ta < tb;
      i = ei, j = ej;
    } else {
      if (a[i] != b[j]) return a[i] < b[j];
      ++i, ++j;
    }
  }
  return a.size() - i < b.size() - j;
}

template <size_t N>
void Put(const std::u16string& text, KVWChar (&field)[N]) {
  kv::CopyTruncated(text, field, static_cast<int32_t>(N));
}

}  // namespace

extern "C" {

KV_API int32_t KV_CALL KVListPorts(KVPortInfo* ports, int32_t capacity, int32_t* count) noexcept {
  if (count == nullptr || capacity < 0 || (ports == nullptr && capacity > 0)) return KV_ERR_ARGUMENT;
  return kv::Guarded([&]() -> int32_t {
    std::vector<kv::link::PortDescription> found = kv::link::ListNativePorts();
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return NaturalLess(a.name, b.name); });
    for (size_t i = 0; i < found.size() && i < static_cast<size_t>(capacity); ++i) {
      const kv::link::PortDescription& d = found[i];
      KVPortInfo& r = ports[i];
      std::memset(&r, 0, sizeof r);
      Put(d.name, r.name);
      Put(d.description, r.description);
      r.transport = static_cast<int32_t>(d.transport);
      r.usbVendorId = d.usbVendorId;
      r.usbProductId = d.usbProductId;
      Put(d.usbSerialNumber, r.usbSerialNumber);
      Put(d.manufacturer, r.manufacturer);
      Put(d.product, r.product);
      Put(d.bluetoothAddress, r.bluetoothAddress);
    }
    *count = static_cast<int32_t>(found.size());
    return KV_OK;
  });
}

}  // extern "C"
