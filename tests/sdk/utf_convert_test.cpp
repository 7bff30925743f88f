// utf_convert_test.cpp: the shared UTF-8 <-> UTF-16 converter. Expected units worked out by hand
// from the encoding tables; each ill-formed piece gives exactly one U+FFFD per maximal bad subpart.
#include "utf_convert.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

struct FromUtf8Case {
  const char* name;
  std::string utf8;
  std::u16string utf16;
};

TEST(Utf16FromUtf8, WellFormedAndIllFormed) {
  const FromUtf8Case cases[] = {
      {"empty", "", u""},
      {"ascii", "COM5", u"COM5"},
      {"two bytes", "\xC3\xA9", {0x00E9}},
      {"three bytes", "\xE2\x82\xAC", {0x20AC}},
      {"highest BMP", "\xEF\xBF\xBF", {0xFFFF}},
      {"four bytes as a pair", "\xF0\x9F\x98\x80", {0xD83D, 0xDE00}},
      {"highest scalar", "\xF4\x8F\xBF\xBF", {0xDBFF, 0xDFFF}},
      {"stray continuation", "a\x80z", {u'a', 0xFFFD, u'z'}},
      {"byte never used", "\xFF", {0xFFFD}},
      {"overlong two bytes", "\xC0\xAF", {0xFFFD, 0xFFFD}},
      {"overlong three bytes", "\xE0\x80\xAF", {0xFFFD, 0xFFFD, 0xFFFD}},
      {"overlong four bytes", "\xF0\x8F\xBF\xBF", {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}},
      {"encoded surrogate", "\xED\xA0\x80", {0xFFFD, 0xFFFD, 0xFFFD}},
      {"above U+10FFFF", "\xF4\x90\x80\x80", {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}},
      {"lead above F4", "\xF5\x80", {0xFFFD, 0xFFFD}},
      {"truncated at end", "ok\xE2\x82", {u'o', u'k', 0xFFFD}},
      {"truncated four bytes", "\xF0\x9F\x98", {0xFFFD}},
      {"truncated then ascii",
       "\xE2\x82"
       "A",
       {0xFFFD, u'A'}},
      {"truncated then valid", "\xC3\xE2\x82\xAC", {0xFFFD, 0x20AC}},
  };
  for (const FromUtf8Case& c : cases) EXPECT_EQ(c.utf16, Utf16FromUtf8(c.utf8)) << c.name;
}

struct FromUtf16Case {
  const char* name;
  std::u16string utf16;
  std::string utf8;  // with U+FFFD (EF BF BD) for each lone surrogate
  bool wellFormed;
};

TEST(Utf8FromUtf16, ReplacesOrRefusesLoneSurrogates) {
  const FromUtf16Case cases[] = {
      {"empty", u"", "", true},
      {"two bytes", {u'A', 0x00E4}, "A\xC3\xA4", true},
      {"three bytes", {0x20AC}, "\xE2\x82\xAC", true},
      {"pair", {0xD83D, 0xDE00}, "\xF0\x9F\x98\x80", true},
      {"highest pair", {0xDBFF, 0xDFFF}, "\xF4\x8F\xBF\xBF", true},
      {"lone high at end", {u'x', 0xD83D}, "x\xEF\xBF\xBD", false},
      {"lone low", {0xDE00, u'y'}, "\xEF\xBF\xBDy", false},
      {"high then ascii",
       {0xD83D, u'A'},
       "\xEF\xBF\xBD"
       "A",
       false},
      {"reversed pair", {0xDE00, 0xD83D}, "\xEF\xBF\xBD\xEF\xBF\xBD", false},
  };
  for (const FromUtf16Case& c : cases) {
    EXPECT_EQ(c.utf8, Utf8FromUtf16(c.utf16)) << c.name;
    EXPECT_EQ(c.wellFormed ? std::optional(c.utf8) : std::nullopt, CheckedUtf8FromUtf16(c.utf16)) << c.name;
  }
}

}  // namespace
}  // namespace kv
