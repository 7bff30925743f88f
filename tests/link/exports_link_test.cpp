// exports_link_test.cpp: the link's exports on the process-wide link with the real backend of
// this build: the failures that need no analyser.
#include <gtest/gtest.h>

#include <string>

#include "KorvantaSDK.h"

namespace {

// The exports take KVWChar text; u"" literals are char16_t, the same units on every platform.
std::basic_string<KVWChar> Wide(std::u16string_view text) { return {text.begin(), text.end()}; }

TEST(ExportsLink, OpenFailuresAndCallsWithNoPortOpen) {
  EXPECT_EQ(KV_ERR_PORT_OPEN, KVOpenComport(Wide(u"COM7").c_str()));  // names "COMCOM7"
  EXPECT_EQ(KV_ERR_PORT_OPEN, KVOpenComport(Wide(u"250").c_str()));
  EXPECT_EQ(KV_ERR_PORT_OPEN, KVOpenComport(Wide(std::u16string(600, u'1')).c_str()));
  EXPECT_EQ(KV_ERR_PORT_OPEN, KVOpenComport(nullptr));
  KVCloseComport();
  KVCloseComport();
  EXPECT_EQ(KV_ERR_NO_HANDSHAKE, KVConnect());
  uint32_t serial = 12345;
  EXPECT_EQ(KV_ERR_SEND, KVReadSerialNumber(&serial));
  EXPECT_EQ(12345u, serial);
}

}  // namespace
