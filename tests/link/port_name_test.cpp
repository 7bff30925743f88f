// port_name_test.cpp: the port-name rules of KVOpenComport and the POSIX spelling of device paths,
// as the tables data/port_names.txt and data/posix_files.txt give them.
#include "link/port_name.h"

#include "link_fixture.h"
#include "utf_convert.h"

namespace kv::link {
namespace {

using namespace testing;

// Table text to UTF-16: "x*N" at the end stands for N copies of x; "\uD800" for that unpaired unit.
std::u16string Text(const std::string& cell) {
  const size_t star = cell.rfind('*');
  std::u16string text = Utf16FromUtf8(star == std::string::npos ? cell : cell.substr(0, star - 1));
  if (star != std::string::npos) text.append(std::stoul(cell.substr(star + 1)), char16_t(cell[star - 1]));
  const size_t unpaired = text.find(u"\\uD800");
  return unpaired == std::u16string::npos ? text : text.replace(unpaired, 6, 1, char16_t{0xD800});
}

TEST(PortName, DevicePathsOfTheTable) {
  for (const std::vector<std::string>& row : ReadTable("port_names.txt", '|')) {
    SCOPED_TRACE(row[0]);
    ASSERT_EQ(4u, row.size());
    const PathStyle style = row[2] == "posix" ? PathStyle::kPosix : PathStyle::kWindows;
    const std::optional<std::u16string> path = DevicePathFor(Text(row[1]), style);
    EXPECT_EQ(row[3] == "-" ? std::nullopt : std::optional(Text(row[3])), path);
  }
}

TEST(PortName, PosixFilesOfTheTable) {
  for (const std::vector<std::string>& row : ReadTable("posix_files.txt", '|')) {
    SCOPED_TRACE(row[0]);
    ASSERT_EQ(3u, row.size());
    EXPECT_EQ(row[2] == "-" ? std::nullopt : std::optional(row[2]), PosixFileFor(Text(row[1])));
  }
}

}  // namespace
}  // namespace kv::link
