// port_list_sysfs_posix_test.cpp: the Linux port list read from a sysfs tree of the test's own: every
// kind of port in one tree, each described field by field, and the export's copy of them (order, cut
// texts, capacity) through KV_SYSFS_ROOT.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "KorvantaSession.h"
#include "link/posix/port_list_sysfs.h"

namespace kv::link {
namespace {

namespace fs = std::filesystem;

// "f PATH TEXT" a file, "l PATH TARGET" a link to a path of the tree, "d PATH" a folder (where a file
// is read, a folder is an attribute that cannot be read).
const std::string kLongName(70 - 3, 'L');
const std::string kTree = R"(
f devices/pci0/usb1/1-1/idVendor 0403
f devices/pci0/usb1/1-1/idProduct 6001
f devices/pci0/usb1/1-1/serial A50285BI
f devices/pci0/usb1/1-1/manufacturer FTDI
f devices/pci0/usb1/1-1/product FT232R USB UART
l devices/pci0/usb1/1-1/1-1:1.0/ttyUSB0/driver bus/usb-serial/drivers/ftdi_sio
l class/tty/ttyUSB0/device devices/pci0/usb1/1-1/1-1:1.0/ttyUSB0
f devices/pci0/usb1/1-2/idVendor 10c4
f devices/pci0/usb1/1-2/idProduct ea60
f devices/pci0/usb1/1-2/serial 0001
d devices/pci0/usb1/1-2/manufacturer
f devices/pci0/usb1/1-2/product CP2102 USB to UART Bridge Controller
l devices/pci0/usb1/1-2/1-2:1.0/ttyUSB10/driver bus/usb-serial/drivers/cp210x
l class/tty/ttyUSB10/device devices/pci0/usb1/1-2/1-2:1.0/ttyUSB10
f devices/pci0/usb1/1-3/idVendor 1a86
f devices/pci0/usb1/1-3/idProduct 7523
f devices/pci0/usb1/1-3/product USB Serial
l devices/pci0/usb1/1-3/1-3:1.0/ttyUSB2/driver bus/usb-serial/drivers/ch341-uart
l class/tty/ttyUSB2/device devices/pci0/usb1/1-3/1-3:1.0/ttyUSB2
f devices/pci0/usb1/1-4/idVendor 2341
f devices/pci0/usb1/1-4/idProduct 8036
f devices/pci0/usb1/1-4/serial 85736323838351F0A1C1
f devices/pci0/usb1/1-4/manufacturer Arduino LLC
f devices/pci0/usb1/1-4/product Arduino Leonardo
f devices/pci0/usb1/1-4/1-4:1.0/interface Arduino Serial
l devices/pci0/usb1/1-4/1-4:1.0/driver bus/usb/drivers/cdc_acm
l class/tty/ttyACM0/device devices/pci0/usb1/1-4/1-4:1.0
f class/tty/rfcomm0/address 00:80:e1:9d:74:75
f class/tty/rfcomm0/channel 1
l devices/pnp0/00:04/driver bus/pnp/drivers/serial
l devices/pnp0/00:04/00:04:0/driver bus/serial-base/drivers/ctrl
l devices/pnp0/00:04/00:04:0/00:04:0.0/driver bus/serial-base/drivers/port
f class/tty/ttyS0/type 4
l class/tty/ttyS0/device devices/pnp0/00:04/00:04:0/00:04:0.0
l devices/platform/serial8250/driver bus/platform/drivers/serial8250
f class/tty/ttyS1/type 0
l class/tty/ttyS1/device devices/platform/serial8250
f devices/pnp0/00:05/id PNP0501
l class/tty/ttyS2/device devices/pnp0/00:05
d class/tty/tty0
d class/tty/console
d class/tty/ptmx
l devices/virtual/LONG/driver bus/platform/drivers/serial
l class/tty/tty)" + kLongName + R"(/device devices/virtual/LONG
)";

class SysfsTree : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() / ("kv-sysfs-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                        "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root);
    std::istringstream lines(kTree);
    for (std::string line; std::getline(lines, line);) {
      std::istringstream words(line);
      std::string kind, path, rest;
      if (!(words >> kind >> path)) continue;
      std::getline(words >> std::ws, rest);
      const fs::path at = root / path;
      fs::create_directories(kind == "d" ? at : at.parent_path());
      if (kind == "f") std::ofstream(at) << rest << "\n";
      if (kind == "l") fs::create_directories(root / rest), fs::create_directory_symlink(root / rest, at);
    }
  }
  void TearDown() override { fs::remove_all(root); }
  fs::path root;
};

PortDescription Usb(const char16_t* name, const char16_t* description, int32_t vid, int32_t pid, const char16_t* serial,
                    const char16_t* manufacturer, const char16_t* product) {
  return {name, description, Transport::kUsb, vid, pid, serial, manufacturer, product, u""};
}

TEST_F(SysfsTree, EveryPortWithADeviceIsDescribedAndNothingElse) {
  std::vector<PortDescription> ports = ListSysfsPorts(root.string());
  std::sort(ports.begin(), ports.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  const std::vector<PortDescription> expected = {
      {u"/dev/rfcomm0", u"Bluetooth serial port to 00:80:E1:9D:74:75 channel 1", Transport::kBluetooth, -1, -1, u"",
       u"", u"", u"00:80:E1:9D:74:75"},
      Usb(u"/dev/ttyACM0", u"Arduino Serial", 0x2341, 0x8036, u"85736323838351F0A1C1", u"Arduino LLC",
          u"Arduino Leonardo"),
      {u"/dev/tty" + std::u16string(kLongName.begin(), kLongName.end()), u"Built-in serial port (serial)",
       Transport::kNative, -1, -1, u"", u"", u"", u""},
      {u"/dev/ttyS0", u"Built-in serial port (serial)", Transport::kNative, -1, -1, u"", u"", u"", u""},
      Usb(u"/dev/ttyUSB0", u"FT232R USB UART", 0x0403, 0x6001, u"A50285BI", u"FTDI", u"FT232R USB UART"),
      Usb(u"/dev/ttyUSB10", u"CP2102 USB to UART Bridge Controller", 0x10C4, 0xEA60, u"0001", u"",
          u"CP2102 USB to UART Bridge Controller"),
      Usb(u"/dev/ttyUSB2", u"USB Serial", 0x1A86, 0x7523, u"", u"", u"USB Serial"),
  };
  ASSERT_EQ(expected.size(), ports.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_TRUE(expected[i] == ports[i]) << i;
}

TEST_F(SysfsTree, TheExportOrdersByNameCutsTextsAndTellsTheCountBeyondItsRoom) {
  ASSERT_EQ(0, setenv("KV_SYSFS_ROOT", root.c_str(), 1));
  int32_t count = -1;
  EXPECT_EQ(KV_OK, KVListPorts(nullptr, 0, &count));
  EXPECT_EQ(7, count);
  std::vector<KVPortInfo> ports(8);
  std::memset(static_cast<void*>(ports.data()), 0x55, ports.size() * sizeof(KVPortInfo));
  EXPECT_EQ(KV_OK, KVListPorts(ports.data(), 6, &count));
  unsetenv("KV_SYSFS_ROOT");
  EXPECT_EQ(7, count);
  const auto name = [&](int i) { return std::u16string(reinterpret_cast<const char16_t*>(ports[i].name)); };
  EXPECT_EQ(u"/dev/rfcomm0", name(0));
  EXPECT_EQ(u"/dev/ttyACM0", name(1));
  EXPECT_EQ(63u, name(2).size());  // 73 characters cut to the field, terminated
  EXPECT_EQ(u"/dev/ttyS0", name(3));
  EXPECT_EQ(u"/dev/ttyUSB0", name(4));
  EXPECT_EQ(u"/dev/ttyUSB2", name(5));  // before ttyUSB10
  EXPECT_EQ(0x5555, ports[6].name[0]);  // beyond the capacity: untouched
  EXPECT_EQ(KV_TRANSPORT_BLUETOOTH, ports[0].transport);
  EXPECT_EQ(0x0403, ports[4].usbVendorId);
  EXPECT_EQ(0, ports[4].bluetoothAddress[0]);
  for (int32_t bad : {KVListPorts(nullptr, 1, &count), KVListPorts(ports.data(), -1, &count),
                      KVListPorts(ports.data(), 1, nullptr)})
    EXPECT_EQ(KV_ERR_ARGUMENT, bad);
}

}  // namespace
}  // namespace kv::link
