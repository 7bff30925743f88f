// exports_link_test.cpp: the link's exports on the process-wide link with the real backend of
// this build: the failures that need no analyser, and that none of them waits.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "KorvantaSDK.h"

namespace {

// The exports take KVWChar text; u"" literals are char16_t, the same units on every platform.
std::basic_string<KVWChar> Wide(std::u16string_view text) { return {text.begin(), text.end()}; }

class ExportsLinkTest : public ::testing::Test {
 protected:
  void TearDown() override { KVCloseComport(); }
};

TEST_F(ExportsLinkTest, ComNameNamesNoPort) { EXPECT_EQ(KV_ERR_PORT_OPEN, KVOpenComport(Wide(u"COM7").c_str())); }

TEST_F(ExportsLinkTest, MissingPortNumberFailsToOpen) {
  EXPECT_EQ(KV_ERR_PORT_OPEN, KVOpenComport(Wide(u"250").c_str()));
}

TEST_F(ExportsLinkTest, NameTooLongFailsToOpen) {
  EXPECT_EQ(KV_ERR_PORT_OPEN, KVOpenComport(Wide(std::u16string(600, u'1')).c_str()));
}

TEST_F(ExportsLinkTest, NullNameFailsToOpen) { EXPECT_EQ(KV_ERR_PORT_OPEN, KVOpenComport(nullptr)); }

TEST_F(ExportsLinkTest, ConnectWithNoPortOpenFailsAtOnce) {
  KVCloseComport();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(KV_ERR_NO_HANDSHAKE, KVConnect());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds{1});
}

TEST_F(ExportsLinkTest, CommandWithNoPortOpenFailsAtOnce) {
  KVCloseComport();
  uint32_t serial = 12345;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(KV_ERR_SEND, KVReadSerialNumber(&serial));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds{1});
  EXPECT_EQ(12345u, serial);
}

TEST_F(ExportsLinkTest, CloseTwiceIsHarmless) {
  KVCloseComport();
  KVCloseComport();
  EXPECT_EQ(KV_ERR_NO_HANDSHAKE, KVConnect());
}

}  // namespace
