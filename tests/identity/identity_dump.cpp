// identity_dump.cpp: feeds the same seeded records through the four calculation exports and writes
// every result code and output byte ("write FILE"); run_wine_identity.sh compares the Linux and the
// Windows dump byte for byte, so the Linux library and each Windows DLL can be shown to give identical bits.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "KorvantaSDK.h"

namespace {

constexpr int kRecords = 24000;
// Input hash, two result codes, the outputs of the larger pair of records (unused words are 0): 260 bytes a record.
constexpr int kWords = 3 + 33 + 29;

// splitmix64: the same sequence on every platform; inputs are built from integers by exact operations.
struct Random {
  uint64_t state;
  uint32_t Next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<uint32_t>((z ^ (z >> 31)) >> 32);
  }
  int32_t In(int32_t low, int32_t high) {
    return low + static_cast<int32_t>(Next() % static_cast<uint32_t>(high - low + 1));
  }
  bool OneIn(int n) { return Next() % static_cast<uint32_t>(n) == 0; }
  // An edge of [low, high] or just outside it now and then, else a value inside.
  int32_t Field(int32_t low, int32_t high) {
    const uint32_t pick = Next() % 16;
    return pick == 0 ? low : pick == 1 ? high : pick == 2 ? (OneIn(4) ? low - 1 : high + 1) : In(low, high);
  }
};

struct Case {
  bool equine;
  uint32_t waterEquation;
  KVTestRecord human;
  CXTestRecord horse;
  KVSpectrumPoint spectrum[50];
};

Case MakeCase(int index) {
  Random r{0x4B56u * 1000003ull + static_cast<uint64_t>(index)};
  Case c{};
  static const int32_t kModels[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 14, 15, 0, 16, 99, -1, 12, 13};
  const int32_t model = r.OneIn(3) ? 12 + r.In(0, 1) : kModels[r.In(0, 18)];
  c.equine = (model == 12 || model == 13) != r.OneIn(40);  // a share of models sent to the wrong export
  c.waterEquation = static_cast<uint32_t>(r.Field(0, 3));
  KVTestRecord& h = c.human;
  h.modelCode = c.horse.modelCode = model;
  h.sex = r.Field(0, 1);
  h.age = r.Field(1, 99);
  h.height = r.Field(10, 229);
  static const float kWeightEdges[] = {0.001f, 0.00099999f, 300.0f, 300.01f, 300.1f};
  h.weight = r.OneIn(12) ? kWeightEdges[r.In(0, 4)] : static_cast<float>(r.In(32, 4800)) * 0.0625f;
  h.activityLevel = r.Field(1, 5);
  h.waist = r.Field(5, 648);
  h.hip = r.Field(5, 648);
  h.impedanceF1 = r.In(300, 900);
  h.impedanceF2 = h.impedanceF1 - r.In(0, 120);
  h.impedanceF4 = h.impedanceF2 - r.In(0, 120);
  if (r.OneIn(50)) h.impedanceF2 = 0;
  h.resistance = r.OneIn(50) ? 0 : r.In(300, 900);
  // A Cole-like arc in polar form: magnitude falling from R0 to R-infinity, phase a bump.
  h.spectrumCount = r.OneIn(30) ? r.Field(0, 51) : r.In(3, 50);
  const int n = h.spectrumCount < 1 ? 0 : (h.spectrumCount > 50 ? 50 : h.spectrumCount);
  const int32_t r0 = r.In(400, 900) * 8, drop = r.In(40, 300) * 8, bump = r.In(64, 960);
  for (int k = 0; k < n; ++k) {
    const int span = n > 1 ? n - 1 : 1;
    c.spectrum[k].frequency = static_cast<float>(k * k * 20 + r.In(1, 5));
    c.spectrum[k].magnitude = static_cast<float>(r0 - drop * k / span + r.In(-8, 8)) * 0.125f;
    c.spectrum[k].phase = -static_cast<float>(bump * 4 * k * (span - k) / (span * span) + r.In(0, 16)) * 0.015625f;
  }
  h.spectrum = r.OneIn(60) ? nullptr : c.spectrum;
  CXTestRecord& x = c.horse;
  x.height = r.Field(0, 255);
  x.conditionScore = r.Field(0, 9);
  int32_t z = r.In(40, 900);
  for (int32_t* reading : {&x.impedance5, &x.impedance16, &x.impedance24, &x.impedance50, &x.impedance140,
                           &x.impedance200, &x.impedance280}) {
    *reading = z;
    z -= r.In(0, z / 8 + 1);
  }
  if (r.OneIn(40)) x.impedance5 = r.In(-2, 0);
  if (r.OneIn(40)) x.impedance280 = 2147483647;
  return c;
}

uint32_t Hash(const void* data, std::size_t size, uint32_t h = 2166136261u) {
  for (std::size_t i = 0; i < size; ++i) h = (h ^ static_cast<const unsigned char*>(data)[i]) * 16777619u;
  return h;
}

// One record through its two exports: the input hash, the two codes, the output words.
std::vector<uint32_t> Run(const Case& c) {
  std::vector<uint32_t> words(kWords, 0);
  const auto store = [&words](uint32_t hash, int32_t first, int32_t second, const auto& results, const auto& normals) {
    words[0] = hash, words[1] = static_cast<uint32_t>(first), words[2] = static_cast<uint32_t>(second);
    std::memcpy(&words[3], &results, sizeof results);
    std::memcpy(&words[3 + sizeof results / 4], &normals, sizeof normals);
  };
  if (c.equine) {
    CXResults results{};
    CXNormals normals{};
    const int32_t first = CXCalculateResults(&c.horse, &results);
    store(Hash(&c.horse, offsetof(CXTestRecord, decimalReading) + sizeof(float)), first,
          CXCalculateNormals(&c.horse, &results, &normals), results, normals);
  } else {
    KVResults results{};
    KVNormals normals{};
    const int32_t first = KVCalculateResults(&c.human, &results, c.waterEquation);
    // The fields up to the pointer, laid out alike on every platform; then the points.
    store(Hash(c.spectrum, sizeof c.spectrum, Hash(&c.human, offsetof(KVTestRecord, spectrumCount) + sizeof(int32_t))),
          first, KVCalculateNormals(&c.human, &results, &normals), results, normals);
  }
  return words;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || std::strcmp(argv[1], "write") != 0) {
    std::fprintf(stderr, "usage: %s write FILE\n", argv[0]);
    return 2;
  }
  FILE* out = std::fopen(argv[2], "wb");
  int refused = 0, equine = 0;
  for (int i = 0; out && i < kRecords; ++i) {
    const Case c = MakeCase(i);
    const std::vector<uint32_t> words = Run(c);
    refused += words[1] != 0;
    equine += c.equine;
    std::fwrite(words.data(), 4, words.size(), out);
  }
  if (!out || std::fclose(out) != 0) return std::perror(argv[2]), 2;
  std::printf("%d records (%d equine, %d refused) written to %s\n", kRecords, equine, refused, argv[2]);
  return refused > kRecords / 20 && refused < kRecords / 2 && equine > kRecords / 5 ? 0 : 1;
}
