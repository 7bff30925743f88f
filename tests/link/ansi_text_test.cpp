// ansi_text_test.cpp: printer-address bytes to wide characters, as a Windows-1252 system reads them.
// The expected characters are the code page's published ones, written out here.
#include "link/ansi_text.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace kv::link {
namespace {

struct CharCase {
  uint8_t byte;
  char16_t character;
};

TEST(Windows1252, PublishedCharactersOfTheHighRange) {
  const CharCase cases[] = {{0x00, 0x0000}, {0x41, 0x0041}, {0x7F, 0x007F}, {0x80, 0x20AC}, {0x81, 0x0081},
                            {0x82, 0x201A}, {0x85, 0x2026}, {0x8A, 0x0160}, {0x8C, 0x0152}, {0x8D, 0x008D},
                            {0x8E, 0x017D}, {0x8F, 0x008F}, {0x90, 0x0090}, {0x91, 0x2018}, {0x93, 0x201C},
                            {0x96, 0x2013}, {0x97, 0x2014}, {0x99, 0x2122}, {0x9C, 0x0153}, {0x9D, 0x009D},
                            {0x9F, 0x0178}, {0xA0, 0x00A0}, {0xA3, 0x00A3}, {0xE9, 0x00E9}, {0xFF, 0x00FF}};
  for (CharCase c : cases) {
    EXPECT_EQ(c.character, Windows1252Character(c.byte)) << std::hex << int{c.byte};
  }
}

TEST(Windows1252, OnlyThe32BytesFrom0x80DifferFromLatin1) {
  int differing = 0;
  for (int byte = 0; byte < 256; ++byte) {
    if (Windows1252Character(static_cast<uint8_t>(byte)) != static_cast<char16_t>(byte)) ++differing;
  }
  EXPECT_EQ(32 - 5, differing);  // five of them are undefined and keep their number
}

// Runs on both builds: under Windows the system's ANSI code page, which is 1252 on the hosts tested.
TEST(DecodeAnsiText, TwelveCharactersNoTerminatorRestUntouched) {
  const std::array<uint8_t, 12> bytes = {'0', '0', ':', '1', 'A', 0x00, 'b', 0x80, 0xE9, 0xA3, 0x20, 0x7E};
  std::vector<KVWChar> buffer(16, KVWChar{0x7777});
  EXPECT_EQ(12, DecodeAnsiText(bytes, buffer.data(), 16));
  const std::vector<KVWChar> expected = {u'0', u'0', u':', u'1', u'A', 0x0000, u'b', 0x20AC,
                                         0x00E9, 0x00A3, 0x0020, 0x007E, 0x7777, 0x7777, 0x7777, 0x7777};
  EXPECT_EQ(expected, buffer);
}

TEST(DecodeAnsiText, ExactCapacityIsFilled) {
  const std::array<uint8_t, 12> bytes = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L'};
  std::vector<KVWChar> buffer(12, KVWChar{0});
  EXPECT_EQ(12, DecodeAnsiText(bytes, buffer.data(), 12));
  EXPECT_EQ(KVWChar{u'A'}, buffer.front());
  EXPECT_EQ(KVWChar{u'L'}, buffer.back());
}

}  // namespace
}  // namespace kv::link
