// The kernel RFCOMM layer on a build machine without Bluetooth in its kernel: failures are clean, the
// listing falls back to sysfs, and the udev queue markers (the other file-system part) read right.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "bluetooth/bluez/system/install_queue.h"
#include "bluetooth/bluez/system/rfcomm_tty.h"

namespace kv::bt::bluez {
namespace {

namespace fs = std::filesystem;

struct TempDir {
  fs::path path;
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "kv-bluez-XXXXXX").string();
    path = ::mkdtemp(pattern.data());
  }
  ~TempDir() { fs::remove_all(path); }
  void Write(const std::string& name, const char* text) {
    fs::create_directories((path / name).parent_path());
    std::ofstream(path / name) << text;
  }
};

TEST(BluezRfcomm, WithoutKernelSupport) {
  const int probe = ::socket(31, SOCK_RAW, 3);
  if (probe >= 0) {
    ::close(probe);
    GTEST_SKIP() << "this kernel has Bluetooth; these cases need one without";
  }
  TempDir sys;
  // Channel 31 is out of range: no channel. The rest of the odd entries are no RFCOMM devices at all.
  const std::pair<const char*, const char*> files[] = {{"rfcomm0/address", "00:11:22:33:44:aa\n"},
                                                       {"rfcomm12/address", "A0:b1:C2:d3:E4:F5\n"},
                                                       {"rfcomm12/channel", "5\n"},
                                                       {"rfcomm13/address", "00:11:22:33:44:55"},
                                                       {"rfcomm13/channel", "31"},
                                                       {"ttyS0/address", "00:11:22:33:44:55\n"},
                                                       {"rfcommX/address", "00:11:22:33:44:55\n"},
                                                       {"rfcomm1234567890/address", "00:11:22:33:44:55\n"},
                                                       {"rfcomm3/address", "00:11:22:33:44\n"},
                                                       {"rfcomm4/address", "00-11-22-33-44-55\n"},
                                                       {"rfcomm5/address", "00:11:22:33:44:5G\n"}};
  for (const auto& [name, text] : files) sys.Write(name, text);
  const std::unique_ptr<RfcommTty> rfcomm = MakeKernelRfcommTty(sys.path.string());
  const std::vector<RfcommDevice> expected{
      {0, 0x0011223344AAull, 0, false}, {12, 0xA0B1C2D3E4F5ull, 5, false}, {13, 0x001122334455ull, 0, false}};
  EXPECT_EQ(rfcomm->List(), expected);
  EXPECT_EQ(expected[1].Path(), "/dev/rfcomm12");
  EXPECT_EQ(MakeKernelRfcommTty((sys.path / "missing").string())->List(), std::nullopt);
  EXPECT_FALSE(rfcomm->Release(0));
  EXPECT_FALSE(rfcomm->Release(-1));

  int pair[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
  const RfcommCreated created = rfcomm->CreateFromSocket(pair[0]);
  EXPECT_EQ(created.id, -1);
  EXPECT_EQ(created.error, EAFNOSUPPORT);
  EXPECT_EQ(::write(pair[0], "x", 1), 1);  // the socket stays the caller's
  ::close(pair[0]);
  ::close(pair[1]);
}

TEST(BluezInstallQueue, ReportsFromUdevMarkers) {
  TempDir run;
  const std::unique_ptr<InstallQueue> queue = MakeUdevInstallQueue(run.path.string());
  run.Write("queue", "");
  EXPECT_EQ(queue->Pending(), std::nullopt);  // no udevd: nothing can be said
  run.Write("control", "");
  EXPECT_EQ(queue->Pending(), true);
  fs::remove(run.path / "queue");
  EXPECT_EQ(queue->Pending(), false);
}

}  // namespace
}  // namespace kv::bt::bluez
