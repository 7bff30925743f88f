// catalogue_test.cpp: families and names of every model, and the buffer rules of the name exports.
#include <gtest/gtest.h>

#include <string>

#include "KorvantaSDK.h"

namespace {

std::u16string AsText(const KVWChar* text) {
  std::u16string out;
  while (*text != 0) out.push_back(static_cast<char16_t>(*text++));
  return out;
}

struct ModelCase {
  int32_t model;
  int32_t family;
  const char16_t* longName;
  const char16_t* shortName;
};

class CatalogueModels : public ::testing::TestWithParam<ModelCase> {};

TEST_P(CatalogueModels, FamilyAndBothNames) {
  const ModelCase& c = GetParam();
  EXPECT_EQ(c.family, KVGetDeviceFamily(c.model));
  const int32_t expected = c.family == 0 ? KV_ERR_WRONG_KIND : KV_OK;
  KVWChar name[32];
  EXPECT_EQ(expected, KVGetDeviceModelName(c.model, name, 32));
  EXPECT_EQ(std::u16string(c.longName), AsText(name));
  EXPECT_EQ(expected, KVGetDeviceModelNameShort(c.model, name, 32));
  EXPECT_EQ(std::u16string(c.shortName), AsText(name));
}

INSTANTIATE_TEST_SUITE_P(
    AllModels, CatalogueModels,
    ::testing::Values(ModelCase{1, -1, u"Korvanta Mono", u"Mono"}, ModelCase{3, -1, u"Korvanta Mono", u"Mono"},
                      ModelCase{9, -1, u"Korvanta Mono", u"Mono"},
                      ModelCase{2, -2, u"Korvanta Mono XD", u"MonoXD"},
                      ModelCase{4, -2, u"Korvanta Mono XD", u"MonoXD"},
                      ModelCase{10, -2, u"Korvanta Mono XD", u"MonoXD"},
                      ModelCase{5, -3, u"Korvanta Duotrace", u"Duotrace"},
                      ModelCase{6, -3, u"Korvanta Duotrace", u"Duotrace"},
                      ModelCase{7, -4, u"Korvanta Quattron 40", u"Quattron"},
                      ModelCase{11, -4, u"Korvanta Quattron 40", u"Quattron"},
                      ModelCase{14, -4, u"Korvanta Quattron 40 Panel", u"QPN"},
                      ModelCase{8, -5, u"Korvanta Polytrace", u"Polytrace"},
                      ModelCase{15, -5, u"Korvanta Polytrace Panel", u"PPN"},
                      ModelCase{12, -7, u"Caballix Plus", u"Caballix Plus"},
                      ModelCase{13, -6, u"Caballix Basic", u"Caballix Basic"},
                      ModelCase{0, 0, u"Unknown", u"Unknown"}, ModelCase{16, 0, u"Unknown", u"Unknown"},
                      ModelCase{-1, 0, u"Unknown", u"Unknown"}, ModelCase{255, 0, u"Unknown", u"Unknown"}));

TEST(CatalogueNames, CapacityBelow32OrNullBufferWritesNothing) {
  for (auto* function : {&KVGetDeviceModelName, &KVGetDeviceModelNameShort}) {
    KVWChar name[40];
    for (KVWChar& c : name) c = u'#';
    EXPECT_EQ(KV_ERR_ARGUMENT, function(7, name, 31));
    EXPECT_EQ(KV_ERR_ARGUMENT, function(7, name, 0));
    EXPECT_EQ(KV_ERR_ARGUMENT, function(7, name, -5));
    for (KVWChar c : name) EXPECT_EQ(u'#', c);
    EXPECT_EQ(KV_ERR_ARGUMENT, function(7, nullptr, 32));
    EXPECT_EQ(KV_ERR_ARGUMENT, function(99, nullptr, 32));
  }
}

TEST(CatalogueNames, CapacityOf32IsEnoughForTheLongestNameAndLeavesTheRest) {
  KVWChar name[40];
  for (KVWChar& c : name) c = u'#';
  ASSERT_EQ(KV_OK, KVGetDeviceModelName(14, name, 32));
  EXPECT_EQ(u"Korvanta Quattron 40 Panel", AsText(name));
  EXPECT_EQ(u'#', name[27]);  // only the name and its terminator are written
}

}  // namespace
