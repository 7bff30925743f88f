// pairing_test.cpp: the PIN callback: what it sends, cut to fifteen units, and its refusals. The pairing flows
// are rows of data/flows.txt, the port lookup after a pairing and removal step blocks of data/steps.txt.
#include "bt_test_support.h"

namespace kv::bt::testing {
namespace {

TEST(PinCallback, SendsTheLowBytesOfAtMostFifteenPinUnitsWhateverTheMethod) {
  FakeBtPlatform p;
  BtAuthRequest request;
  request.device.address = AddressOf(1);
  request.method = kAuthMethodNumericComparison;
  EXPECT_FALSE(AuthenticationCallback(p, nullptr, nullptr));
  // The kit's own PIN is sent in the flows' rows, where the platform checks it.
  p.texts[kMsgPairingPin] = u"\u01B1\u0232ABCDEFGHIJKLMNOPQRS";  // 21 units, read as 15
  ASSERT_TRUE(AuthenticationCallback(p, nullptr, &request));
  const std::array<uint8_t, 16> pin{0xB1, 0x32, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M'};
  EXPECT_EQ(p.responses, (std::vector<BtAuthResponse>{{AddressOf(1), kAuthMethodNumericComparison, pin, 15, 0}}));
  for (const char* refusal : {"send=5", "nomodule", "lacks=SendAuthenticationResponseEx"}) {
    FakeBtPlatform q;
    EXPECT_FALSE(AuthenticationCallback(Devices(q, refusal), nullptr, &request)) << refusal;
    EXPECT_EQ(q.OpenHandles(), 0);
  }
}

}  // namespace
}  // namespace kv::bt::testing
