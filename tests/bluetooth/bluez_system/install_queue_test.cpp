// The udev queue as seen through a run directory of the test's own making.
#include "bluetooth/bluez/system/install_queue.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

namespace kv::bt::bluez {
namespace {

namespace fs = std::filesystem;

struct QueueCase {
  const char* name;
  friend void PrintTo(const QueueCase& testCase, std::ostream* os) { *os << testCase.name; }
  bool control;
  bool queue;
  std::optional<bool> expected;
};

class BluezInstallQueue : public ::testing::TestWithParam<QueueCase> {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "kv-udev-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_P(BluezInstallQueue, ReportsFromMarkers) {
  if (GetParam().control) std::ofstream(dir_ / "control").put('\0');
  if (GetParam().queue) std::ofstream(dir_ / "queue").put('\0');
  EXPECT_EQ(MakeUdevInstallQueue(dir_.string())->Pending(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, BluezInstallQueue,
                         ::testing::Values(QueueCase{"NoUdev", false, false, std::nullopt},
                                           QueueCase{"QueueWithoutUdev", false, true, std::nullopt},
                                           QueueCase{"Idle", true, false, false}, QueueCase{"Busy", true, true, true}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(BluezInstallQueueState, FollowsQueueAppearingAndDraining) {
  std::string pattern = (fs::temp_directory_path() / "kv-udev-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const fs::path dir = pattern;
  std::ofstream(dir / "control").put('\0');
  auto queue = MakeUdevInstallQueue(dir.string());
  EXPECT_EQ(queue->Pending(), false);
  std::ofstream(dir / "queue").put('\0');
  EXPECT_EQ(queue->Pending(), true);
  fs::remove(dir / "queue");
  EXPECT_EQ(queue->Pending(), false);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kv::bt::bluez
