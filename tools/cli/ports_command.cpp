// ports_command.cpp: `korvanta ports`: the system's serial ports (KVListPorts) as a table or JSON; with
// --probe, which of them have an analyser behind them; and --port auto for info and download. A probe
// only listens until the analyser's handshake byte comes: the library answers nothing before it.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

#include "KorvantaSession.h"
#include "cli_commands.h"
#include "session_link.h"

namespace kv::cli {

namespace {

using Json = nlohmann::ordered_json;

// An analyser sends its handshake byte within a fraction of a second of the port opening, and
// repeats it; two seconds hold every candidate no longer than a user waits for a list. Once it has
// spoken, it answers a request within milliseconds, so half a second of silence means no answer.
constexpr int32_t kProbeHandshakeMs = 2000;
constexpr int32_t kProbeReplySilenceMs = 500;

struct Port {
  std::string name;  // as given or listed; the record's own name may be cut to its field
  KVPortInfo record;
};

struct Probe {
  bool handshake = false;  // the analyser's handshake byte came, and was answered
  std::optional<int32_t> modelCode;
  std::optional<uint32_t> serialNumber;
  std::string failure;  // the library's words for the step that failed; empty when none did
};

template <size_t N>
std::string Text(const KVWChar (&field)[N]) {
  return FromWide(field, N);
}

const char* TransportWord(int32_t transport) {
  switch (transport) {
    case KV_TRANSPORT_NATIVE:
      return "native";
    case KV_TRANSPORT_USB:
      return "usb";
    case KV_TRANSPORT_BLUETOOTH:
      return "bluetooth";
    default:
      return "other";
  }
}

// The system's list; asked again while it grows between the count and the copy.
std::vector<Port> ListedPorts() {
  std::vector<KVPortInfo> records;
  int32_t count = 0;
  while (KVListPorts(records.data(), static_cast<int32_t>(records.size()), &count) == KV_OK &&
         static_cast<size_t>(count) > records.size())
    records.resize(static_cast<size_t>(count));
  records.resize(std::min(records.size(), static_cast<size_t>(std::max(count, 0))));
  std::vector<Port> ports;
  for (const KVPortInfo& record : records) ports.push_back({Text(record.name), record});
  return ports;
}

// The named ports, each with its listed record, or one of just its name when the system does not list it.
std::vector<Port> NamedPorts(const std::vector<std::string>& names) {
  const std::vector<Port> listed = ListedPorts();
  std::vector<Port> ports;
  for (const std::string& name : names) {
    const auto found = std::find_if(listed.begin(), listed.end(), [&](const Port& p) { return p.name == name; });
    if (found != listed.end()) {
      ports.push_back(*found);
      continue;
    }
    Port& port = ports.emplace_back(Port{name, {}});
    std::memset(&port.record, 0, sizeof port.record);
    const WideString wide = ToWide(name);
    std::copy_n(wide.begin(), std::min(wide.size(), std::size(port.record.name) - 1), port.record.name);
    port.record.transport = KV_TRANSPORT_OTHER;
    port.record.usbVendorId = port.record.usbProductId = -1;
  }
  return ports;
}

Probe ProbePort(const std::string& name) {
  Probe probe;
  KVSession* opened = nullptr;
  if (KVSessionOpen(ToWide(name).c_str(), &opened) != KV_OK) {
    probe.failure = OpenErrorText();
    return probe;
  }
  const std::unique_ptr<KVSession, decltype(&KVSessionClose)> session(opened, &KVSessionClose);
  KVSessionSetTimeouts(opened, kProbeHandshakeMs, kProbeReplySilenceMs);
  // Connect writes its answer only once the handshake byte has come: a port with anything else
  // behind it is only listened to.
  if (KVSessionConnect(opened) == KV_OK) {
    probe.handshake = true;
    int32_t modelCode = 0;
    uint8_t version[5] = {};
    uint32_t serialNumber = 0;
    if (KVSessionReadModelVersion(opened, &modelCode, &version[0], &version[1], &version[2], &version[3],
                                  &version[4]) == KV_OK) {
      probe.modelCode = modelCode;
      if (KVSessionReadSerialNumber(opened, &serialNumber) == KV_OK) probe.serialNumber = serialNumber;
    }
  }
  if (!probe.serialNumber) probe.failure = SessionErrorText(opened);
  return probe;
}

// Every port at once, a session and a thread each, so the probe takes as long as its slowest port.
std::vector<Probe> ProbeAll(const std::vector<Port>& ports) {
  std::vector<Probe> probes(ports.size());
  std::vector<std::thread> threads;
  for (size_t i = 0; i < ports.size(); ++i)
    threads.emplace_back([&probes, &ports, i] { probes[i] = ProbePort(ports[i].name); });
  for (std::thread& thread : threads) thread.join();
  return probes;
}

// "Korvanta Quattron 40 (modelCode 7), serialNumber 1077581", or what came instead.
std::string ProbeText(const Probe& probe) {
  if (!probe.handshake) return probe.failure;
  std::string text = "an analyser";
  if (probe.modelCode) text = ModelName(*probe.modelCode) + " (modelCode " + std::to_string(*probe.modelCode) + ")";
  if (probe.serialNumber) text += ", serialNumber " + std::to_string(*probe.serialNumber);
  if (!probe.failure.empty()) text += "; then " + probe.failure;
  return text;
}

std::string OrDash(std::string text) { return text.empty() ? "-" : text; }

std::string UsbIds(const KVPortInfo& r) {
  if (r.usbVendorId < 0 || r.usbProductId < 0) return "-";
  char text[24];
  std::snprintf(text, sizeof text, "%04x:%04x", static_cast<unsigned>(r.usbVendorId),
                static_cast<unsigned>(r.usbProductId));
  return text;
}

std::string PortsTable(const std::vector<Port>& ports, const std::vector<Probe>* probes) {
  std::vector<TextTable::Column> columns{
      {"name", false},          {"transport", false},         {"VID:PID", false},
      {"serial number", false}, {"Bluetooth address", false}, {"description", false}};
  if (probes != nullptr) columns.push_back({"analyser", false});
  TextTable table(std::move(columns));
  for (size_t i = 0; i < ports.size(); ++i) {
    const KVPortInfo& r = ports[i].record;
    std::vector<std::string> row{ports[i].name,
                                 TransportWord(r.transport),
                                 UsbIds(r),
                                 OrDash(Text(r.usbSerialNumber)),
                                 OrDash(Text(r.bluetoothAddress)),
                                 OrDash(Text(r.description))};
    if (probes != nullptr)
      row.push_back((*probes)[i].handshake ? ProbeText((*probes)[i]) : "none: " + ProbeText((*probes)[i]));
    table.AddRow(std::move(row));
  }
  std::ostringstream out;
  table.Write(out);
  return out.str();
}

template <class T>
Json OrNull(const std::optional<T>& value) {
  return value ? Json(*value) : Json(nullptr);
}

// Keys are the record's field names; values as the record holds them, the transport as a word.
std::string PortsJson(const std::vector<Port>& ports, const std::vector<Probe>* probes) {
  Json array = Json::array();
  for (size_t i = 0; i < ports.size(); ++i) {
    const KVPortInfo& r = ports[i].record;
    Json object{{"name", ports[i].name},
                {"description", Text(r.description)},
                {"transport", TransportWord(r.transport)},
                {"usbVendorId", r.usbVendorId},
                {"usbProductId", r.usbProductId},
                {"usbSerialNumber", Text(r.usbSerialNumber)},
                {"manufacturer", Text(r.manufacturer)},
                {"product", Text(r.product)},
                {"bluetoothAddress", Text(r.bluetoothAddress)}};
    if (probes != nullptr) {
      const Probe& probe = (*probes)[i];
      object["analyser"] =
          probe.handshake ? Json{{"modelCode", OrNull(probe.modelCode)}, {"serialNumber", OrNull(probe.serialNumber)}}
                          : Json(nullptr);
      object["probeError"] = probe.failure.empty() ? Json(nullptr) : Json(probe.failure);
    }
    array.push_back(std::move(object));
  }
  // Texts from the system outside UTF-8 are replaced, not refused.
  return array.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

bool HasDuplicate(const std::vector<std::string>& names) {
  std::set<std::string> seen;
  return !std::all_of(names.begin(), names.end(), [&](const std::string& name) { return seen.insert(name).second; });
}

}  // namespace

ExitStatus RunPorts(const PortsOptions& options, Streams& io) {
  if (HasDuplicate(options.ports)) {
    io.err << "korvanta: a port is given twice: give each port once\n";
    return ExitStatus::kUsage;
  }
  const std::vector<Port> ports = options.ports.empty() ? ListedPorts() : NamedPorts(options.ports);
  if (ports.empty()) io.err << "korvanta: no serial ports found\n";
  std::vector<Probe> probes;
  if (options.probe) {
    probes = ProbeAll(ports);
    const auto found = std::count_if(probes.begin(), probes.end(), [](const Probe& p) { return p.handshake; });
    io.err << "korvanta: " << found << (found == 1 ? " analyser" : " analysers") << " found on " << ports.size()
           << (ports.size() == 1 ? " port" : " ports") << " probed\n";
  }
  const std::vector<Probe>* probed = options.probe ? &probes : nullptr;
  return Deliver(options.format == "json" ? PortsJson(ports, probed) : PortsTable(ports, probed), "", io);
}

ExitStatus ResolveAutoPort(std::vector<std::string>& ports, const std::vector<std::string>& probePorts, Streams& io) {
  const bool autoPort = std::find(ports.begin(), ports.end(), kAutoPort) != ports.end();
  if (!autoPort) {
    if (probePorts.empty()) return ExitStatus::kOk;
    io.err << "korvanta: --probe-port names the ports --port auto tries: give --port auto with it\n";
    return ExitStatus::kUsage;
  }
  if (ports.size() > 1) {
    io.err << "korvanta: --port auto finds one analyser: give it alone, or name every port\n";
    return ExitStatus::kUsage;
  }
  if (HasDuplicate(probePorts)) {
    io.err << "korvanta: a port is given twice: give each port once\n";
    return ExitStatus::kUsage;
  }
  const std::vector<Port> candidates = probePorts.empty() ? ListedPorts() : NamedPorts(probePorts);
  if (candidates.empty()) {
    io.err << "korvanta: no analyser found: this computer lists no serial ports; plug the analyser's cable or "
              "adapter in, or name its port with --port\n";
    return ExitStatus::kNoAnswer;
  }
  const std::vector<Probe> probes = ProbeAll(candidates);
  std::vector<size_t> found;
  for (size_t i = 0; i < probes.size(); ++i)
    if (probes[i].handshake) found.push_back(i);
  if (found.size() == 1) {
    ports = {candidates[found[0]].name};
    io.err << "korvanta: analyser found on " << ports[0] << ": " << ProbeText(probes[found[0]]) << "\n";
    return ExitStatus::kOk;
  }
  const size_t count = candidates.size();
  if (found.empty())
    io.err << "korvanta: no analyser found on "
           << (count == 1 ? "the one port" : "the " + std::to_string(count) + " ports")
           << " probed: switch the analyser on, check its cable (or that it is in Bluetooth range), or name its "
              "port with --port\n";
  else
    io.err << "korvanta: " << found.size() << " analysers found: name the one to use with --port\n";
  for (size_t i = 0; i < count; ++i)
    io.err << "korvanta:   " << candidates[i].name << ": " << ProbeText(probes[i]) << "\n";
  return found.empty() ? ExitStatus::kNoAnswer : ExitStatus::kUsage;
}

}  // namespace kv::cli
