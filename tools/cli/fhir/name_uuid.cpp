// name_uuid.cpp: SHA-1 (FIPS 180-4) over a byte string, and the version-5 UUID built from it. Written
// here because the tool links no crypto library; the digest names things, it protects nothing.
#include "name_uuid.h"

#include <vector>

namespace kv::cli::fhir {

namespace {

uint32_t Rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

uint8_t HexValue(char c) {
  return static_cast<uint8_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
}

}  // namespace

std::array<uint8_t, 20> Sha1(std::string_view data) {
  std::vector<uint8_t> message(data.begin(), data.end());
  const uint64_t bits = static_cast<uint64_t>(data.size()) * 8;
  message.push_back(0x80);
  while (message.size() % 64 != 56) message.push_back(0);
  for (int shift = 56; shift >= 0; shift -= 8) message.push_back(static_cast<uint8_t>(bits >> shift));

  uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
  for (size_t block = 0; block < message.size(); block += 64) {
    uint32_t w[80];
    for (int i = 0; i < 16; ++i)
      w[i] = static_cast<uint32_t>(message[block + 4 * i]) << 24 | static_cast<uint32_t>(message[block + 4 * i + 1]) << 16 |
             static_cast<uint32_t>(message[block + 4 * i + 2]) << 8 | message[block + 4 * i + 3];
    for (int i = 16; i < 80; ++i) w[i] = Rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
    for (int i = 0; i < 80; ++i) {
      uint32_t f, k;
      if (i < 20) f = (b & c) | (~b & d), k = 0x5A827999;
      else if (i < 40) f = b ^ c ^ d, k = 0x6ED9EBA1;
      else if (i < 60) f = (b & c) | (b & d) | (c & d), k = 0x8F1BBCDC;
      else f = b ^ c ^ d, k = 0xCA62C1D6;
      const uint32_t t = Rotl(a, 5) + f + e + k + w[i];
      e = d, d = c, c = Rotl(b, 30), b = a, a = t;
    }
    h[0] += a, h[1] += b, h[2] += c, h[3] += d, h[4] += e;
  }
  std::array<uint8_t, 20> digest{};
  for (int i = 0; i < 20; ++i) digest[i] = static_cast<uint8_t>(h[i / 4] >> (24 - 8 * (i % 4)));
  return digest;
}

std::string NameUuid(std::string_view namespaceUuid, std::string_view name) {
  std::string input;
  for (size_t i = 0; i + 1 < namespaceUuid.size(); ++i) {
    if (namespaceUuid[i] == '-') continue;
    input += static_cast<char>(HexValue(namespaceUuid[i]) << 4 | HexValue(namespaceUuid[i + 1]));
    ++i;
  }
  input += name;
  auto digest = Sha1(input);
  digest[6] = static_cast<uint8_t>((digest[6] & 0x0F) | 0x50);  // version 5
  digest[8] = static_cast<uint8_t>((digest[8] & 0x3F) | 0x80);  // RFC 4122 variant
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
    text += kHex[digest[i] >> 4];
    text += kHex[digest[i] & 0x0F];
  }
  return text;
}

}  // namespace kv::cli::fhir
