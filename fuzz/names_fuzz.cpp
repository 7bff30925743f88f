// names_fuzz.cpp: port names of any length and content, and caller buffers of every length and
// capacity: device paths (both path styles) through the opening sequence, and the model-name
// exports into buffers exactly as large as their stated capacity. Fuzzing only.
#include <algorithm>
#include <memory>
#include <string>

#include "fuzz_port.h"
#include "KorvantaSDK.h"
#include "link/comm.h"
#include "link/port_name.h"

namespace {

using kv::fuzz::Require;

std::u16string Units(FuzzedDataProvider& in, size_t most) {
  std::u16string text;
  const size_t length = in.ConsumeIntegralInRange<size_t>(0, most);
  static constexpr char16_t kTelling[] = {u'\\', u'.', u'/', u'C', u'O', u'M', u'0', u'9', 0xD800, 0xDC00, 0};
  for (size_t i = 0; i < length && in.remaining_bytes() > 0; ++i)
    text.push_back(in.ConsumeBool() ? in.PickValueInArray(kTelling) : in.ConsumeIntegral<char16_t>());
  return text;
}

void FuzzPortName(FuzzedDataProvider& in) {
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
}

void FuzzModelName(FuzzedDataProvider& in) {
  const int32_t model = in.ConsumeBool() ? in.ConsumeIntegralInRange<int32_t>(-2, 17) : in.ConsumeIntegral<int32_t>();
  const int32_t capacity = in.ConsumeIntegralInRange<int32_t>(-2, 64);
  auto buffer = std::make_unique<KVWChar[]>(capacity > 0 ? size_t(capacity) : 1);
  KVWChar* name = capacity > 0 && in.ConsumeIntegralInRange<int>(0, 7) != 0 ? buffer.get() : nullptr;
  const int32_t rc = in.ConsumeBool() ? KVGetDeviceModelName(model, name, capacity)
                                      : KVGetDeviceModelNameShort(model, name, capacity);
  if (name == nullptr || capacity < 32) {
    Require(rc == KV_ERR_ARGUMENT, "a short or missing name buffer accepted");
    return;
  }
  Require(rc == KV_OK || rc == KV_ERR_WRONG_KIND, "model name code outside its set");
  Require((rc == KV_OK) == (KVGetDeviceFamily(model) != 0), "name code and family disagree");
  Require(std::find(buffer.get(), buffer.get() + capacity, KVWChar{0}) != buffer.get() + capacity,
          "model name without its terminator");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  in.ConsumeBool() ? FuzzPortName(in) : FuzzModelName(in);
  return 0;
}
