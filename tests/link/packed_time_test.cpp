// packed_time_test.cpp: the analyser's packed date and time both ways in UTC (data/packed_time.txt),
// against instants of the standard calendar: carry-over of out-of-range fields, digits above 9, the limits.
#include "link/packed_time.h"

#include <cstdio>

#include "link_fixture.h"

namespace kv::link {
namespace {

using namespace testing;

TEST(PackedTime, TheTableBothWaysInUtc) {
  UseZone("TZ=UTC0");
  for (const std::vector<std::string>& row : ReadTable("packed_time.txt", '|')) {
    SCOPED_TRACE(row[0]);
    ASSERT_EQ(4u, row.size());
    PackedTime packed{};  // all zero for a refused instant, which has no bytes
    std::sscanf(row[1].c_str(), "%hhx %hhx %hhx %hhx %hhx %hhx", &packed[0], &packed[1], &packed[2], &packed[3],
                &packed[4], &packed[5]);
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    const bool date =
        std::sscanf(row[2].c_str(), "%d-%d-%d %d:%d:%d", &year, &month, &day, &hour, &minute, &second) == 6;
    const int64_t time = date ? UtcSeconds(year, month, day, hour, minute, second) : std::stoll(row[2]);
    EXPECT_TRUE((row[3] != "both" && row[3] != "decode") || time == DecodePackedTime(packed, -1)) << "decoded";
    if (row[3] != "decode") {
      EXPECT_EQ(row[3] == "refused" ? std::nullopt : std::optional(packed), EncodeDeviceTime(time));
    }
  }
}

TEST(PackedTime, RoundTripEveryFewHoursOverTheCentury) {
  UseZone("TZ=UTC0");
  int failures = 0;
  for (int64_t time = UtcSeconds(2000, 1, 1); time < UtcSeconds(2100, 1, 1); time += 7 * 3600 + 13 * 60 + 17) {
    const std::optional<PackedTime> packed = EncodeDeviceTime(time);
    failures += !packed || DecodePackedTime(*packed, -1) != time;
  }
  EXPECT_EQ(0, failures);
}

}  // namespace
}  // namespace kv::link
