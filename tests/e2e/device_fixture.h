// device_fixture.h: one simulated analyser per test case, the port opened and connected through
// the exports, and closed again at the end whatever happened.
#pragma once

#include <gtest/gtest.h>

#include <chrono>

#include "KorvantaSDK.h"
#include "e2e_harness.h"

namespace kv::e2e {

class DeviceTest : public ::testing::Test {
 protected:
  void TearDown() override { KVCloseComport(); }

  // Opens the analyser's port and answers its handshake; fails the test if either does not work.
  void OpenAndConnect(const SimulatedAnalyser& analyser) {
    const std::u16string port = analyser.PortName();
    ASSERT_EQ(0, KVOpenComport(reinterpret_cast<const KVWChar*>(port.c_str()))) << "port " << std::string(port.begin(), port.end());
    ASSERT_EQ(0, KVConnect());
  }

  // Bytes the host has sent so far (empty where the simulator runs in another process).
  static size_t HostBytesSoFar(const SimulatedAnalyser& analyser) {
    auto r = analyser.Recording();
    return r ? r->HostBytes().size() : 0;
  }
  static std::vector<uint8_t> HostBytesSince(const SimulatedAnalyser& analyser, size_t from) {
    auto r = analyser.Recording();
    if (!r) return {};
    auto bytes = r->HostBytes();
    return std::vector<uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(std::min(from, bytes.size())), bytes.end());
  }
};

// Wide text of the header's own character type (wchar_t on Windows, char16_t elsewhere).
inline const KVWChar* W(const char16_t* text) { return reinterpret_cast<const KVWChar*>(text); }

using Seconds = std::chrono::duration<double>;

inline Seconds Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::steady_clock::now() - start;
}

}  // namespace kv::e2e
