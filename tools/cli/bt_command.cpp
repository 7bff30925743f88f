// bt_command.cpp: `korvanta bt ...` over the eight Bluetooth exports. The exports answer 1 or 0
// and keep the reason to their own message boxes, so the tool adds one line saying what to try.
#include <ostream>

#include "cli_commands.h"

namespace kv::cli {

namespace {

constexpr int32_t kTextCapacity = 256;

constexpr std::string_view kNoRadio =
    "no Bluetooth radio found: switch the radio on (on Linux: BlueZ must be running, see bluetoothctl show); "
    "otherwise connect the analyser by cable, or pair it with the system's own tools and give its serial port "
    "to --port";

ExitStatus Fail(Streams& io, std::string_view what, std::string_view advice) {
  io.err << "korvanta: " << what << " failed; " << advice << "\n";
  return ExitStatus::kNoBluetooth;
}

std::string Text(const KVWChar* buffer) { return FromWide(buffer, kTextCapacity); }

}  // namespace

ExitStatus RunBluetooth(const BluetoothOptions& options, Streams& io) {
  const auto multiplier = static_cast<uint16_t>(options.timeoutMultiplier);
  const int32_t interactive = options.interactive ? 1 : 0;
  const bool available = KVIsBTAvailable() != 0;
  if (options.action == "available") {
    io.out << (available ? "available\n" : "not available\n");
    if (!available) io.err << "korvanta: " << kNoRadio << "\n";
    return available ? ExitStatus::kOk : ExitStatus::kNoBluetooth;
  }
  if (!available) {
    io.err << "korvanta: " << kNoRadio << "\n";
    return ExitStatus::kNoBluetooth;
  }
  if (options.action == "info") {
    KVWChar info[kTextCapacity] = {};
    if (KVGetBTStackInfo(info, kTextCapacity) == 0) return Fail(io, "reading the Bluetooth stack", "try bt available");
    io.out << Text(info) << "\n";
    return ExitStatus::kOk;
  }
  if (options.action == "search") {
    int32_t newDevices = -1;
    int32_t pairedDevices = -1;
    if (KVSearchBTDevices(&newDevices, &pairedDevices, interactive, nullptr, multiplier) == 0)
      return Fail(io, "the search", "switch the analyser on, bring it within a few metres and search again");
    io.out << "newDevices     " << newDevices << "\npairedDevices  " << pairedDevices << "\n";
    return ExitStatus::kOk;
  }
  if (options.action == "device") {
    KVWChar name[kTextCapacity] = {};
    KVWChar address[kTextCapacity] = {};
    KVWChar port[kTextCapacity] = {};
    if (KVGetBTKorvantaDevice(name, kTextCapacity, address, kTextCapacity, port, kTextCapacity, multiplier) == 0)
      return Fail(io, "finding a paired analyser", "pair one first with korvanta bt pair or korvanta bt setup");
    io.out << "name     " << Text(name) << "\naddress  " << Text(address) << "\ncomPort  " << Text(port) << "\n";
    return ExitStatus::kOk;
  }
  if (options.action == "pair") {
    if (KVAuthenticateBTDevice(nullptr, multiplier) == 0)
      return Fail(io, "pairing", "search first (korvanta bt search), keep the analyser switched on and try again");
    io.out << "paired\n";
    return ExitStatus::kOk;
  }
  if (options.action == "unpair") {
    if (KVUnAuthenticateBTDevices(interactive, nullptr, multiplier) == 0)
      return Fail(io, "removing the pairings", "try again, or remove them in the system's Bluetooth settings");
    io.out << "unpaired\n";
    return ExitStatus::kOk;
  }
  if (options.action == "setup") {
    KVWChar port[kTextCapacity] = {};
    if (KVAutoSetupBT(port, kTextCapacity, interactive, nullptr) == 0)
      return Fail(io, "the Bluetooth setup", "switch the analyser on, keep it close and run the setup again");
    io.out << "comPort  " << Text(port) << "\n";
    return ExitStatus::kOk;
  }
  io.err << "korvanta: unknown Bluetooth action '" << options.action << "'\n";
  return ExitStatus::kUsage;
}

}  // namespace kv::cli
