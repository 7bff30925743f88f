// closed_link_test.cpp: with no port open, each command export gets past its own pointer checks to the
// link, which refuses to send; the limits the link applies itself see the caller's arguments.
#include <gtest/gtest.h>

#include "KorvantaSDK.h"

namespace {

TEST(ClosedLink, EveryCommandReachesTheLinkWithTheCallersArguments) {
  KVCloseComport();
  int32_t model = 7, i = 0;
  uint8_t b = 0;
  int64_t time = 0;
  float f = 0;
  KVWChar address[12] = {};
  for (int32_t code : {KVReadModelVersion(&model, &b, &b, &b, &b, &b), KVReadProtocolInfo(&b, &b, &b),
                       KVReadPrinterAddress(address, 12), KVWritePrinterAddress(address, 12),
                       KVReadCurrentTime(&time, 0), KVReadCalibrationTime(&time), KVWriteCurrentTime(),
                       KVWriteCurrentTimeAs(1719831600), KVReadTestKorvanta(&i, &i, &i, &i, &i, &f, &f),
                       CXReadTestCaballix(&i, &i, &i, &i, &i, &i, &i, &f)})
    EXPECT_EQ(KV_ERR_SEND, code);
  EXPECT_EQ(0, model);  // cleared through the caller's own output before the send failed
  EXPECT_EQ(KV_ERR_ARGUMENT, KVReadPrinterAddress(address, 11));
  EXPECT_EQ(KV_ERR_ARGUMENT, KVWritePrinterAddress(address, 11));
  EXPECT_EQ(KV_ERR_ACK, KVWriteCurrentTimeAs(-5));
}

}  // namespace
