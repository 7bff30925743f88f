// bt_flow_bench.cpp: cost of the Bluetooth setup's own logic, over the scripted platform (no radio, no
// real waits): whole guided setups, a search of seventy devices, the port lookup, and the text rules.
#include <benchmark/benchmark.h>

#include <string>

#include "bluetooth/setup.h"
#include "bluetooth/stack.h"
#include "fake_bt_platform.h"

namespace {

using kv::bt::CBluetoothStack;
using kv::bt::fake::FakeBtPlatform;

constexpr uint64_t kAnalyser = 0x0011223344AAull;

void OneNewAnalyser(FakeBtPlatform& platform, int otherDevices) {
  platform.SimulateRadio();
  for (int n = 0; n < otherDevices; ++n) platform.SimulateDeviceInRange(u"Phone", 0x100000u + n);
  platform.SimulateDeviceInRange(u"Korvanta 8124", kAnalyser);
  for (int n = 0; n < 8; ++n) platform.SimulatePortDevice(kv::bt::fake::BluetoothPort(0x200000u + n, u"3"));
  platform.SimulatePortDevice(kv::bt::fake::BluetoothPort(kAnalyser, u"12"));
  platform.answers = {kv::bt::kButtonYes};
}

// Building the scripted scene alone, to subtract from the flows below.
void BM_SceneOnly(benchmark::State& state) {
  for (auto _ : state) {
    FakeBtPlatform platform;
    OneNewAnalyser(platform, static_cast<int>(state.range(0)));
    benchmark::DoNotOptimize(platform);
  }
}
BENCHMARK(BM_SceneOnly)->Arg(5)->Arg(69);

// KVAutoSetupBT from radio check to port text: search, message 57, pairing with the callback, service,
// port lookup.
void BM_AutoSetupOneNewAnalyser(benchmark::State& state) {
  for (auto _ : state) {
    FakeBtPlatform platform;
    OneNewAnalyser(platform, static_cast<int>(state.range(0)));
    CBluetoothStack* held = nullptr;
    KVWChar port[8];
    const int32_t result = kv::bt::AutoSetupBT(platform, held, port, 8, true, nullptr);
    if (result != 1) state.SkipWithError("setup failed");
    benchmark::DoNotOptimize(port);
    delete held;
  }
}
BENCHMARK(BM_AutoSetupOneNewAnalyser)->Arg(5)->Arg(69);

// The longest wait of the flow, on the fake clock: nothing ever finishes installing and the port never
// appears (240 waits, three lookups).
void BM_AutoSetupLongestWait(benchmark::State& state) {
  for (auto _ : state) {
    FakeBtPlatform platform;
    platform.SimulateRadio().SimulateDeviceInRange(u"Korvanta 8124", kAnalyser).SimulatePendingInstall(1u << 30);
    platform.answers = {kv::bt::kButtonYes, kv::bt::kButtonCancel};
    CBluetoothStack* held = nullptr;
    KVWChar port[8];
    benchmark::DoNotOptimize(kv::bt::AutoSetupBT(platform, held, port, 8, true, nullptr));
    delete held;
  }
}
BENCHMARK(BM_AutoSetupLongestWait);

void BM_FriendlyNameParse(benchmark::State& state) {
  const std::u16string name = u"Standard Serial over Bluetooth link (COM12)";
  for (auto _ : state) benchmark::DoNotOptimize(kv::bt::ComPortFromFriendlyName(name));
}
BENCHMARK(BM_FriendlyNameParse);

void BM_NameFilter(benchmark::State& state) {
  kv::bt::BtDeviceRecord record;
  record.name = state.range(0) == 0 ? u"Living room speaker" : std::u16string(239, u'x') + u"caballix";
  for (auto _ : state) benchmark::DoNotOptimize(kv::bt::IsKorvantaDeviceName(record));
}
BENCHMARK(BM_NameFilter)->Arg(0)->Arg(1);

void BM_AddressTexts(benchmark::State& state) {
  uint64_t address = kAnalyser;
  for (auto _ : state) {
    benchmark::DoNotOptimize(kv::bt::AddressKey(address));
    benchmark::DoNotOptimize(kv::bt::AddressText(address));
    ++address;
  }
}
BENCHMARK(BM_AddressTexts);

}  // namespace

BENCHMARK_MAIN();
