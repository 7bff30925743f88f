// link_fixture.h: what the link's tests share: an open link on the transcript-playing fake port, the
// data tables of tests/link/data (data_table.h), and time zones and UTC instants.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "../support/data_table.h"
#include "KorvantaSDK.h"
#include "fake_serial_port.h"
#include "link/comm.h"

namespace kv::link::testing {

using Bytes = std::vector<uint8_t>;
using Call = FakeSerialPort::Call;

class CommandTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(KV_OK, comm.Open(u"5")); }
  FakeClock clock;
  FakeSerialPort port{clock};
  CKVComm comm{port, clock};
};

// Zones: "TZ=UTC0" has no offset and no summer time; "TZ=GMT0BST" is one hour ahead in summer. Each
// test that reads local time sets its zone first. A zone, once set, is never removed again: with TZ
// removed the Windows C runtime falls back to the system's zone and, under Wine, keeps that zone's
// summer-time bias for every zone set afterwards. putenv keeps the very text given, here a literal.
inline void UseZone(const char* assignment) { putenv(const_cast<char*>(assignment)), tzset(); }

// Seconds since 1970 of a UTC date, by the standard library's civil calendar, not the link's own arithmetic.
constexpr int64_t UtcSeconds(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  const std::chrono::sys_days date = std::chrono::year{year} / month / day;
  return std::chrono::seconds{date.time_since_epoch()}.count() + hour * 3600 + minute * 60 + second;
}

}  // namespace kv::link::testing
