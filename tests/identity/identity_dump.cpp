// identity_dump.cpp: feeds the same seeded records through the four calculation exports, then through the
// two batch exports, and writes every result code and output byte to the file it is given (the single
// calls' records, then the batch's); run_wine_identity.sh compares the Linux and the Windows dump byte for
// byte, so the Linux library and each Windows DLL can be shown to give identical bits. On each build the
// batch must also give each record exactly what its single calls give.
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include "../calc/seeded_cases.h"
#include "KorvantaSession.h"

using namespace kv::calc::testing;
constexpr int kRecords = 24000;

// The batch's outputs for every record, in record order (codes[1] stays 0): one KVCalculateMany per water
// equation and one CXCalculateMany, each into arrays filled with junk first, so a byte left unwritten shows.
std::vector<Outputs> RunBatches(const std::vector<Case>& cases, int& failedCalls) {
  std::map<int64_t, std::vector<size_t>> groups;  // the water equation, or -1 for the equine tests
  for (size_t i = 0; i < cases.size(); ++i) groups[cases[i].equine ? -1 : int64_t{cases[i].waterEquation}].push_back(i);
  std::vector<Outputs> batch(cases.size());
  for (const auto& [key, members] : groups) {
    const size_t n = members.size();
    std::vector<KVTestRecord> humans;
    std::vector<CXTestRecord> horses;
    for (size_t i : members) humans.push_back(cases[i].human), horses.push_back(cases[i].horse);
    std::vector<KVResults> results(n);
    std::vector<KVNormals> normals(n);
    std::vector<CXResults> equine(n);
    std::vector<CXNormals> equineNormals(n);
    std::vector<int32_t> codes(n);
    const auto junk = [](auto& v) { std::memset(v.data(), 0x5A, v.size() * sizeof v[0]); };
    junk(results), junk(normals), junk(equine), junk(equineNormals), junk(codes);
    const int32_t count = static_cast<int32_t>(n);
    if (key < 0) {
      failedCalls += CXCalculateMany(horses.data(), count, equine.data(), equineNormals.data(), codes.data()) != 0;
    } else {
      failedCalls += KVCalculateMany(humans.data(), count, static_cast<uint32_t>(key), results.data(), normals.data(),
                                     codes.data()) != 0;
    }
    for (size_t k = 0; k < n; ++k) {
      Outputs& o = batch[members[k]];
      o.codes[0] = codes[k];
      if (key < 0) o.equine = equine[k], o.equineNormals = equineNormals[k];
      if (key >= 0) o.results = results[k], o.normals = normals[k];
    }
  }
  return batch;
}

// What the batch owes one record: the results call's code unless 0, else the normals call's; all zero if refused.
Outputs AsBatch(Outputs single) {
  const int32_t code = single.codes[0] != 0 ? single.codes[0] : single.codes[1];
  if (code != 0) single = Outputs{};
  single.codes[0] = code, single.codes[1] = 0;
  return single;
}

int main(int argc, char** argv) {
  if (argc != 2) return std::fprintf(stderr, "usage: %s FILE\n", argv[0]), 2;
  FILE* out = std::fopen(argv[1], "wb");
  if (!out) return std::perror(argv[1]), 2;
  int refused = 0, equine = 0, failedCalls = 0, differ = 0;
  std::vector<Case> cases(kRecords);
  std::vector<Outputs> single;
  for (int i = 0; i < kRecords; ++i) {
    Case& c = cases[static_cast<size_t>(i)] = MakeCase(i);
    if (c.human.spectrum != nullptr) c.human.spectrum = c.spectrum;  // this copy's own points
    single.push_back(RunExports(c));
    refused += single.back().codes[0] != 0;
    equine += c.equine;
  }
  const std::vector<Outputs> batch = RunBatches(cases, failedCalls);
  for (size_t i = 0; i < batch.size(); ++i) {
    const Outputs owed = AsBatch(single[i]);
    differ += std::memcmp(&owed, &batch[i], sizeof owed) != 0;
  }
  std::fwrite(single.data(), sizeof single[0], single.size(), out);
  std::fwrite(batch.data(), sizeof batch[0], batch.size(), out);
  if (std::fclose(out) != 0) return std::perror(argv[1]), 2;
  std::printf(
      "%d records (%d equine, %d refused) written to %s, then the batch's (%d differ from the single calls, "
      "%d batch calls failed)\n",
      kRecords, equine, refused, argv[1], differ, failedCalls);
  const bool mixed = refused > kRecords / 20 && refused < kRecords / 2 && equine > kRecords / 5;
  return mixed && differ == 0 && failedCalls == 0 ? 0 : 1;
}
