// identity_dump.cpp: feeds the same seeded records through the four calculation exports and writes
// every result code and output byte to the file it is given; run_wine_identity.sh compares the Linux and the
// Windows dump byte for byte, so the Linux library and each Windows DLL can be shown to give identical bits.
#include <cstdio>

#include "../calc/seeded_cases.h"

using namespace kv::calc::testing;
constexpr int kRecords = 24000;

int main(int argc, char** argv) {
  if (argc != 2) return std::fprintf(stderr, "usage: %s FILE\n", argv[0]), 2;
  FILE* out = std::fopen(argv[1], "wb");
  int refused = 0, equine = 0;
  for (int i = 0; out && i < kRecords; ++i) {
    const Case c = MakeCase(i);
    const Outputs o = RunExports(c);
    refused += o.codes[0] != 0;
    equine += c.equine;
    std::fwrite(&o, sizeof o, 1, out);
  }
  if (!out || std::fclose(out) != 0) return std::perror(argv[1]), 2;
  std::printf("%d records (%d equine, %d refused) written to %s\n", kRecords, equine, refused, argv[1]);
  return refused > kRecords / 20 && refused < kRecords / 2 && equine > kRecords / 5 ? 0 : 1;
}
