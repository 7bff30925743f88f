// kv_soak.cpp: the soak driver. Runs one phase against simulated analysers through the public C API
// only: open/connect/download/close cycles, open/close cycles, or downloads from an analyser that
// hangs up. Prints one line of figures; exits 1 on a mismatch, a leak or a result code out of place.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "KorvantaSDK.h"
#include "process_usage.h"

namespace {

using Bytes = std::vector<unsigned char>;

// Containers are filled with this before each download, so records a failed download must leave
// alone can be told from records it wrote.
constexpr unsigned char kMarker = 0xC3;

void Append(Bytes& out, const void* data, size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  out.insert(out.end(), p, p + size);
}

// Record fields without the padding, which assignment need not keep.
void AppendRecord(Bytes& out, const KVTestRecord& r) {
  Append(out, &r, offsetof(KVTestRecord, spectrumCount) + sizeof r.spectrumCount);
  Append(out, &r.spectrum, sizeof r.spectrum);
}
void AppendRecord(Bytes& out, const CXTestRecord& r) { Append(out, &r, sizeof r); }

struct Download {
  int32_t code = 0;
  Bytes records;      // every record and testCount
  uint32_t blockHeader = 0;
};

template <class Container, class Call>
Download Fetch(Call call, bool callIt) {
  auto stored = std::make_unique<Container>();
  std::memset(static_cast<void*>(stored.get()), kMarker, sizeof(Container));
  stored->capacity = KV_STORED_TEST_CAPACITY;
  Download d;
  if (callIt) d.code = call(stored.get());
  for (const auto& record : stored->tests) AppendRecord(d.records, record);
  Append(d.records, &stored->testCount, sizeof stored->testCount);
  d.blockHeader = stored->blockHeader;
  return d;
}

struct Analyser {
  bool equine = false;
  std::string port;
  Download untouched;  // what a download that wrote no record leaves
  std::optional<Download> reference;  // the first good download
};

Download Fetch(const Analyser& a, bool callIt = true) {
  return a.equine ? Fetch<CXStoredTests>(CXReadStoredTestData, callIt)
                  : Fetch<KVStoredTests>(KVReadStoredTestData, callIt);
}

uint64_t Digest(const Download& d) {  // FNV-1a, to compare references across runs
  uint64_t h = 0xcbf29ce484222325ull;
  for (unsigned char b : d.records) h = (h ^ b) * 0x100000001b3ull;
  return (h ^ d.blockHeader) * 0x100000001b3ull;
}

struct Figures {
  int runs = 0, good = 0, mismatches = 0, spoiled = 0, unexpected = 0;
  std::map<int32_t, int> codes;
  kv::soak::ProcessUsage before, after;
};

class Soak {
 public:
  Soak(std::vector<Analyser> analysers, bool hangUps) : analysers_(std::move(analysers)), hangUps_(hangUps) {}

  // Returns the code and counts it; `allowed` holds the codes this step may give besides 0.
  int32_t Note(int32_t code, std::initializer_list<int32_t> allowed = {}) {
    ++f_.codes[code];
    if (code != KV_OK && std::find(allowed.begin(), allowed.end(), code) == allowed.end()) ++f_.unexpected;
    return code;
  }

  bool Open(const Analyser& a) {
    const std::basic_string<KVWChar> name(a.port.begin(), a.port.end());
    return Note(KVOpenComport(name.c_str())) == KV_OK;
  }

  // The reference download, taken from a clean analyser before the phase.
  bool TakeReference(Analyser& a) {
    const bool ok = Open(a) && Note(KVConnect()) == KV_OK;
    Download d = ok ? Fetch(a) : Download{};
    KVCloseComport();
    if (!ok || Note(d.code) != KV_OK) return false;
    a.reference = std::move(d);
    return true;
  }

  void Cycle(Analyser& a) {
    if (!Open(a) || Note(KVConnect()) != KV_OK) return KVCloseComport();
    const Download d = Fetch(a);
    KVCloseComport();
    // A hung-up download may give only KV_ERR_RECEIVE: the analyser went silent.
    if (hangUps_ ? Note(d.code, {KV_ERR_RECEIVE}) != KV_OK : Note(d.code) != KV_OK) {
      // Records stay as they were, or are complete when only the final acknowledgement was lost.
      const bool asBefore = d.records == a.untouched.records;
      const bool complete = a.reference && d.records == a.reference->records;
      if (!asBefore && !complete) ++f_.spoiled;
      return;
    }
    ++f_.good;
    if (!a.reference) a.reference = d;
    if (d.records != a.reference->records || d.blockHeader != a.reference->blockHeader) ++f_.mismatches;
  }

  void OpenClose(const Analyser& a) {
    Open(a);
    KVCloseComport();
  }

  template <class Step>
  void Run(int count, int warmUp, Step step) {
    for (int i = 0; i < count; ++i) {
      if (i == warmUp) f_.before = kv::soak::MeasureProcess();
      step(analysers_[static_cast<size_t>(i) % analysers_.size()]);
      ++f_.runs;
    }
    f_.after = kv::soak::MeasureProcess();
  }

  std::vector<Analyser>& analysers() { return analysers_; }
  const Figures& figures() const { return f_; }

 private:
  std::vector<Analyser> analysers_;
  bool hangUps_;
  Figures f_;
};

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"kv_soak: soak the device link against simulated analysers and report leaks and mismatches"};
  std::string mode;
  int count = 0, warmUp = 10, rssSlackKib = 512;
  std::vector<std::string> human, equine;
  std::string referencePort;
  app.add_option("--mode", mode, "cycles: open, connect, download, close; open-close: open and close only; "
                                 "hangups: downloads from an analyser that hangs up mid-way")
      ->required()->check(CLI::IsMember({"cycles", "open-close", "hangups"}));
  app.add_option("--count", count, "runs of the phase")->required()->check(CLI::PositiveNumber);
  app.add_option("--human", human, "port of a human analyser (repeatable; analysers take turns)");
  app.add_option("--equine", equine, "port of an equine analyser (repeatable)");
  app.add_option("--reference", referencePort,
                 "a clean analyser of the first one's kind, downloaded once before the phase as the reference");
  app.add_option("--warm-up", warmUp, "runs before the 'before' figures are taken")->capture_default_str();
  app.add_option("--rss-slack-kib", rssSlackKib, "resident-memory growth tolerated after warm-up; descriptors: none")
      ->capture_default_str();
  CLI11_PARSE(app, argc, argv);

  std::vector<Analyser> analysers;
  for (size_t i = 0; i < std::max(human.size(), equine.size()); ++i) {
    if (i < human.size()) analysers.push_back({false, human[i], {}, {}});
    if (i < equine.size()) analysers.push_back({true, equine[i], {}, {}});
  }
  if (analysers.empty()) {
    std::fprintf(stderr, "kv_soak: give at least one --human or --equine port\n");
    return 2;
  }
  for (auto& a : analysers) a.untouched = Fetch(a, false);
  Soak soak(std::move(analysers), mode == "hangups");
  if (!referencePort.empty()) {
    Analyser clean = soak.analysers().front();
    clean.port = referencePort;
    if (!soak.TakeReference(clean)) {
      std::fprintf(stderr, "kv_soak: no clean reference download from %s\n", referencePort.c_str());
      return 1;
    }
    for (auto& a : soak.analysers()) {
      if (a.equine == clean.equine) a.reference = clean.reference;
    }
  }

  warmUp = std::clamp(warmUp, 0, count - 1);
  const auto start = std::chrono::steady_clock::now();
  if (mode == "open-close") {
    soak.Run(count, warmUp, [&](Analyser& a) { soak.OpenClose(a); });
  } else {
    soak.Run(count, warmUp, [&](Analyser& a) { soak.Cycle(a); });
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  const Figures& f = soak.figures();
  std::string codes, references;
  for (const auto& [code, times] : f.codes) {
    codes += (codes.empty() ? "" : ",") + std::to_string(code) + ":" + std::to_string(times);
  }
  for (const auto& a : soak.analysers()) {
    if (!a.reference) continue;
    char digest[40];
    std::snprintf(digest, sizeof digest, "%s:%016llx", a.equine ? "equine" : "human",
                  static_cast<unsigned long long>(Digest(*a.reference)));
    if (references.find(digest) == std::string::npos) {
      references += (references.empty() ? "" : ",") + std::string(digest);
    }
  }
  const int64_t fdGrowth = f.after.descriptors - f.before.descriptors;
  const int64_t rssGrowth = f.after.residentKib - f.before.residentKib;
  const bool measured = f.before.descriptors >= 0 && f.before.residentKib >= 0 && f.after.descriptors >= 0 &&
                        f.after.residentKib >= 0;
  std::printf("%s: runs=%d good=%d mismatches=%d spoiled=%d unexpected=%d codes=%s descriptors=%lld->%lld "
              "rss_kib=%lld->%lld warm_up=%d seconds=%.1f references=%s\n",
              mode.c_str(), f.runs, f.good, f.mismatches, f.spoiled, f.unexpected, codes.c_str(),
              static_cast<long long>(f.before.descriptors), static_cast<long long>(f.after.descriptors),
              static_cast<long long>(f.before.residentKib), static_cast<long long>(f.after.residentKib), warmUp,
              seconds, references.empty() ? "-" : references.c_str());
  std::vector<std::string> failures;
  if (f.mismatches > 0) failures.push_back("downloads differ from the first");
  if (f.spoiled > 0) failures.push_back("failed downloads left records half written");
  if (f.unexpected > 0) failures.push_back("result codes out of place");
  if (!measured) failures.push_back("the process's descriptors or memory could not be read");
  if (fdGrowth > 0) failures.push_back("descriptors grew by " + std::to_string(fdGrowth));
  if (rssGrowth > rssSlackKib) failures.push_back("resident memory grew by " + std::to_string(rssGrowth) + " KiB");
  if (mode == "cycles" && f.good == 0) failures.push_back("no download succeeded");
  if (mode == "hangups" && f.codes.count(KV_ERR_RECEIVE) == 0) failures.push_back("the analyser never hung up");
  for (const auto& why : failures) std::fprintf(stderr, "kv_soak: %s: %s\n", mode.c_str(), why.c_str());
  return failures.empty() ? 0 : 1;
}
