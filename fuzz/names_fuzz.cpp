// names_fuzz.cpp: port names of any length and content: device paths (both path styles) through the
// opening sequence. The model-name exports' buffers are the catalogue test's table. Fuzzing only.
#include <string>

#include "fuzz_port.h"
#include "KorvantaSDK.h"
#include "link/comm.h"
#include "link/port_name.h"

namespace {

std::u16string Units(FuzzedDataProvider& in, size_t most) {
  std::u16string text;
  const size_t length = in.ConsumeIntegralInRange<size_t>(0, most);
  static constexpr char16_t kTelling[] = {u'\\', u'.', u'/', u'C', u'O', u'M', u'0', u'9', 0xD800, 0xDC00, 0};
  for (size_t i = 0; i < length && in.remaining_bytes() > 0; ++i)
    text.push_back(in.ConsumeBool() ? in.PickValueInArray(kTelling) : in.ConsumeIntegral<char16_t>());
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  using kv::fuzz::Require;
  const kv::link::PathStyle style = in.ConsumeBool() ? kv::link::PathStyle::kPosix : kv::link::PathStyle::kWindows;
  const std::u16string name = Units(in, 1100);
  if (const auto path = kv::link::DevicePathFor(name, style)) {
    Require(path->size() <= kv::link::kDevicePathMaxChars, "device path past 511 characters");
    (void)kv::link::PosixFileFor(*path);
  }
  kv::fuzz::FuzzClock clock;
  kv::fuzz::FuzzPort port(in, clock);
  port.SetStyle(style);
  kv::link::CKVComm comm(port, clock);
  const int rc = comm.Open(name);
  Require(rc == KV_OK || rc == KV_ERR_PORT_OPEN || rc == KV_ERR_PORT_QUEUES, "open returned a code outside its set");
  Require((rc == KV_OK) == comm.IsOpen(), "open's result and the port's state disagree");
  return 0;
}
