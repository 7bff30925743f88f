// The kernel RFCOMM layer on a build machine without Bluetooth in its kernel: failures must be clean,
// the listing falls back to a sysfs tree, and the declared structures match the kernel's byte layout.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "bluetooth/bluez/system/rfcomm_kernel_abi.h"
#include "bluetooth/bluez/system/rfcomm_tty.h"

namespace kv::bt::bluez {
namespace {

namespace fs = std::filesystem;

bool KernelHasBluetooth() {
  const int fd = ::socket(31, SOCK_RAW, 3);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

class BluezRfcomm : public ::testing::Test {
 protected:
  void SetUp() override {
    if (KernelHasBluetooth()) GTEST_SKIP() << "this kernel has Bluetooth; these cases need one without";
    std::string pattern = (fs::temp_directory_path() / "kv-tty-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
  }
  void TearDown() override {
    if (!root_.empty()) fs::remove_all(root_);
  }
  void AddTty(const std::string& name, const char* address, const char* channel = nullptr) {
    fs::create_directories(root_ / name);
    if (address != nullptr) std::ofstream(root_ / name / "address") << address;
    if (channel != nullptr) std::ofstream(root_ / name / "channel") << channel;
  }
  fs::path root_;
};

TEST_F(BluezRfcomm, CreateOnForeignSocketFailsCleanly) {
  int pair[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
  const RfcommCreated created = MakeKernelRfcommTty(root_.string())->CreateFromSocket(pair[0]);
  EXPECT_EQ(created.id, -1);
  EXPECT_FALSE(created.persistent);
  EXPECT_NE(created.error, 0);
  // The socket stays the caller's: still open and usable.
  EXPECT_EQ(::write(pair[0], "x", 1), 1);
  ::close(pair[0]);
  ::close(pair[1]);
}

TEST_F(BluezRfcomm, CreateOnClosedDescriptorReportsBadFd) {
  const RfcommCreated created = MakeKernelRfcommTty(root_.string())->CreateFromSocket(-1);
  EXPECT_EQ(created.id, -1);
  EXPECT_EQ(created.error, EBADF);
}

TEST_F(BluezRfcomm, ListFallsBackToSysfs) {
  AddTty("rfcomm0", "00:11:22:33:44:aa\n");
  AddTty("rfcomm12", "A0:b1:C2:d3:E4:F5\n", "5\n");
  AddTty("ttyS0", nullptr);
  AddTty("rfcommX", "00:11:22:33:44:55\n");  // not a device number
  AddTty("rfcomm3", "00:11:22:33:44\n");     // truncated address
  AddTty("rfcomm4", "00-11-22-33-44-55\n");  // wrong separators
  const auto devices = MakeKernelRfcommTty(root_.string())->List();
  ASSERT_TRUE(devices.has_value());
  const std::vector<RfcommDevice> expected{{0, 0x0011223344AAull, 0, false}, {12, 0xA0B1C2D3E4F5ull, 5, false}};
  EXPECT_EQ(*devices, expected);
  EXPECT_EQ((*devices)[1].Path(), "/dev/rfcomm12");
}

TEST_F(BluezRfcomm, EmptySysfsIsAnEmptyList) {
  const auto devices = MakeKernelRfcommTty(root_.string())->List();
  ASSERT_TRUE(devices.has_value());
  EXPECT_TRUE(devices->empty());
}

TEST_F(BluezRfcomm, NoKernelAndNoSysfsCannotList) {
  EXPECT_EQ(MakeKernelRfcommTty((root_ / "missing").string())->List(), std::nullopt);
}

TEST_F(BluezRfcomm, ReleaseFailsWithoutKernelSupport) { EXPECT_FALSE(MakeKernelRfcommTty(root_.string())->Release(0)); }

// The byte images below are packed by hand from the kernel's struct definitions (little endian).
TEST(BluezRfcommLayout, RequestMatchesKernelBytes) {
  if constexpr (std::endian::native != std::endian::little) GTEST_SKIP() << "byte images are little endian";
  rfcomm_abi::DevReq request;
  std::memset(&request, 0, sizeof request);
  request.devId = -1;
  request.flags = rfcomm_abi::kFlagReuseDlc | rfcomm_abi::kFlagReleaseOnHup;
  request.src = {{0x01, 0x02, 0x03, 0x04, 0x05, 0x06}};
  request.dst = {{0x11, 0x12, 0x13, 0x14, 0x15, 0x16}};
  request.channel = 9;
  const uint8_t expected[24] = {0xFF, 0xFF, 0,    0,    0x03, 0,    0,    0,    0x01, 0x02, 0x03, 0x04,
                                0x05, 0x06, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x09, 0,    0,    0};
  ASSERT_EQ(sizeof request, sizeof expected);
  EXPECT_EQ(std::memcmp(&request, expected, sizeof expected), 0);
}

TEST(BluezRfcommLayout, DeviceInfoReadsFromKernelBytes) {
  if constexpr (std::endian::native != std::endian::little) GTEST_SKIP() << "byte images are little endian";
  const uint8_t image[24] = {0x07, 0x00, 0,    0,    0x06, 0,    0,    0,    0x01, 0x00, 0xA1, 0xA2,
                             0xA3, 0xA4, 0xA5, 0xA6, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0x0C, 0};
  rfcomm_abi::DevInfo info;
  std::memcpy(&info, image, sizeof info);
  EXPECT_EQ(info.id, 7);
  EXPECT_EQ(info.flags, rfcomm_abi::kFlagReleaseOnHup | rfcomm_abi::kFlagHangupNow);
  EXPECT_EQ(info.state, rfcomm_abi::kStateConnected);
  EXPECT_EQ(info.src.b[0], 0xA1);
  EXPECT_EQ(info.dst.b[5], 0xB6);
  EXPECT_EQ(info.channel, 12);
}

TEST(BluezRfcommLayout, SocketAddressMatchesKernelBytes) {
  if constexpr (std::endian::native != std::endian::little) GTEST_SKIP() << "byte images are little endian";
  rfcomm_abi::SockAddrRc address;
  std::memset(&address, 0, sizeof address);
  address.family = 31;
  address.bdaddr = {{0x55, 0x44, 0x33, 0x22, 0x11, 0x00}};
  address.channel = 3;
  const uint8_t expected[10] = {31, 0, 0x55, 0x44, 0x33, 0x22, 0x11, 0x00, 3, 0};
  ASSERT_EQ(sizeof address, sizeof expected);
  EXPECT_EQ(std::memcmp(&address, expected, sizeof expected), 0);
}

}  // namespace
}  // namespace kv::bt::bluez
