// report_test.cpp: the HTML report read back as a document: it parses strictly, fetches nothing,
// its bars carry the calculation's numbers and stand where they put the value; and a headless
// Chromium's screenshot of one test's page shows the value mark where its value puts it.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <png.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "record_fields.h"
#include "report_html.h"
#include "test_input.h"
#include "text.h"

namespace kv::cli {
namespace {

TestSet Calculated(const char* file) {
  std::ifstream in(std::string(KV_TEST_DATA_DIR) + "/" + file);
  std::string error;
  auto tests = ParseTestsCsv(std::string(std::istreambuf_iterator<char>(in), {}), &error);
  EXPECT_TRUE(tests) << error;
  CalculateAll(*tests, 0);
  return *tests;
}

std::string Html(const TestSet& tests) {
  std::ostringstream out;
  report::WriteReport(out, tests, {TimeStyle::kUtc});
  return out.str();
}

struct Doc {
  xmlDocPtr doc;
  explicit Doc(const std::string& html)
      : doc(xmlReadMemory(html.data(), static_cast<int>(html.size()), "report.html", nullptr, XML_PARSE_NONET)) {}
  ~Doc() { xmlFreeDoc(doc); }
  std::vector<xmlNodePtr> Nodes(const std::string& path) const {
    std::vector<xmlNodePtr> nodes;
    xmlXPathContextPtr context = xmlXPathNewContext(doc);
    xmlXPathObjectPtr found = xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(path.c_str()), context);
    for (int i = 0; found && found->nodesetval && i < found->nodesetval->nodeNr; ++i)
      nodes.push_back(found->nodesetval->nodeTab[i]);
    xmlXPathFreeObject(found);
    xmlXPathFreeContext(context);
    return nodes;
  }
};

std::string Attr(xmlNodePtr node, const char* name) {
  xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
  std::string text = value ? reinterpret_cast<const char*>(value) : "";
  xmlFree(value);
  return text;
}

double Number(xmlNodePtr node, const char* name) { return std::stod(Attr(node, name)); }
double Number(const FieldValue& v) { return v.kind == FieldValue::Kind::kFloat ? v.real : double(v.integer); }

// Every bar of every page, for both kinds: a bar for each result with a range, its value and range the test's
// own, the mark between the range's ends in the value's proportion, and the word saying where it stands.
template <class Row, class Res, class Norm>
void CheckBars(const Doc& doc, const std::vector<Row>& rows, std::span<const FieldDef<Res>> fields,
               NormalRange (*normalFor)(std::string_view, const Norm&)) {
  for (size_t i = 0; i < rows.size(); ++i) {
    const std::string page = "//section[@id='test-" + std::to_string(i + 1) + "']";
    size_t drawn = 0;
    for (const auto& field : fields) {
      const std::string svg = page + "//svg[@data-result='" + std::string(field.name) + "']";
      SCOPED_TRACE(svg);
      const NormalRange range = normalFor(field.name, rows[i].normals);
      const bool maximum = range.kind == NormalRange::Kind::kMaximum;
      const double first = maximum ? 0.0 : Number(range.low), second = Number(maximum ? range.low : range.high);
      const auto bar = doc.Nodes(svg);
      if ((range.kind != NormalRange::Kind::kRange && !maximum) || (first == 0 && second == 0) ||
          rows[i].resultsCode != KV_OK)
        continue;  // and no bar: the count of bars below
      ASSERT_EQ(1u, bar.size());
      ++drawn;
      const float value = GetField(rows[i].results, field).real;
      EXPECT_EQ(value, *ParseFloat(Attr(bar[0], "data-value")));
      EXPECT_EQ(maximum ? std::nullopt : std::optional(float(first)), ParseFloat(Attr(bar[0], "data-low")));
      EXPECT_EQ(float(second), *ParseFloat(Attr(bar[0], "data-high")));
      const double low = std::min(first, second), high = std::max(first, second);
      const auto band = doc.Nodes(svg + "/rect[@class='range']"), mark = doc.Nodes(svg + "/rect[@class='mark']");
      ASSERT_EQ(1u, band.size());
      ASSERT_EQ(1u, mark.size());
      const double left = Number(band[0], "x"), width = Number(band[0], "width");
      EXPECT_NEAR((value - low) / (high - low), (Number(mark[0], "x") + 1.5 - left) / width, 1.0 / width);
      const std::string word = value < low ? "below" : value > high ? "above" : "within";
      EXPECT_EQ(1u, doc.Nodes(page + "//div[svg/@data-result='" + std::string(field.name) +
                              "']//span[@class='standing " + word + "']")
                        .size());
    }
    EXPECT_EQ(drawn, doc.Nodes(page + "//svg").size()) << "a bar of no result on " << page;
  }
}

TEST(Report, ParsesFetchesNothingAndDrawsTheCalculation) {
  for (const char* file : {"human.csv", "equine.csv"}) {
    SCOPED_TRACE(file);
    TestSet tests = Calculated(file);
    if (auto* human = std::get_if<std::vector<HumanRow>>(&tests)) {  // values on both ends of a range are within it
      human->back().results.fatPercent = float(human->back().normals.fatPercentLow);
      human->back().results.leanPercent = float(human->back().normals.leanPercentHigh);
    }
    const Doc doc(Html(tests));
    ASSERT_NE(nullptr, doc.doc) << "the report is not well-formed";
    const size_t count = TestCount(tests);
    EXPECT_EQ(count + 1, doc.Nodes("//section[@class='page']").size());
    EXPECT_EQ(count, doc.Nodes("//section[@id='summary']//tr/td[1]/a").size());
    for (xmlNodePtr link : doc.Nodes("//a"))
      EXPECT_EQ(1u, doc.Nodes("//*[@id='" + Attr(link, "href").substr(1) + "']").size()) << Attr(link, "href");
    EXPECT_TRUE(doc.Nodes("//script | //@src | //link | //*[@href and not(starts-with(@href, '#'))]").empty());
    if (const auto* human = std::get_if<std::vector<HumanRow>>(&tests))
      CheckBars(doc, *human, ResultsFields(), &HumanNormalFor);
    else
      CheckBars(doc, std::get<std::vector<EquineRow>>(tests), EquineResultsFields(), &EquineNormalFor);
  }
}

// The first bar of the first test (fatPercent, below its range) in a real browser: in the band's first pixel row,
// the mark's centre lies between the range's first and last pixels as the value between its ends.
TEST(Report, ChromiumDrawsTheValueWhereItFalls) {
  if (system("command -v chromium >/dev/null 2>&1") != 0) GTEST_SKIP() << "chromium is not installed";
  TestSet tests = Calculated("human.csv");
  auto& rows = std::get<std::vector<HumanRow>>(tests);
  rows.resize(1);
  const std::string dir = "/tmp/korvanta_report_test_" + std::to_string(getpid());
  ASSERT_EQ(0, system(("mkdir -p " + dir).c_str()));
  std::ofstream(dir + "/report.html") << Html(tests);
  const std::string command = "timeout 90 chromium --headless --no-sandbox --disable-gpu --hide-scrollbars "
                              "--force-device-scale-factor=1 --window-size=820,1100 --user-data-dir=" + dir +
                              "/profile --screenshot=" + dir + "/page.png file://" + dir + "/report.html >" + dir +
                              "/chromium.log 2>&1";
  const int status = system(command.c_str());
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  bool loaded = png_image_begin_read_from_file(&image, (dir + "/page.png").c_str()) != 0;
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(loaded ? PNG_IMAGE_SIZE(image) : 0);
  loaded = loaded && png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) != 0;
  system(("rm -rf " + dir).c_str());
  if (status != 0 || !loaded) GTEST_SKIP() << "chromium could not start or take a screenshot (exit " << status << ")";
  constexpr uint32_t kRange = 0xa9d8b5;
  const KVNormals& normals = rows[0].normals;
  const double share = (double(rows[0].results.fatPercent) - normals.fatPercentLow) /
                       double(normals.fatPercentHigh - normals.fatPercentLow);
  // A mark on an end of the range would hide that end's pixels.
  ASSERT_TRUE(std::fabs(share) > 0.05 && std::fabs(share - 1) > 0.05) << share;
  const uint32_t markColour = share < 0 ? 0x2b6cb0 : share > 1 ? 0xc53030 : 0x1f6f43;  // below, above, within
  const auto is = [&](unsigned x, unsigned y, uint32_t colour) {
    const uint8_t* p = &rgb[(y * image.width + x) * 3];
    return std::abs(p[0] - int(colour >> 16)) <= 6 && std::abs(p[1] - int(colour >> 8 & 0xFF)) <= 6 &&
           std::abs(p[2] - int(colour & 0xFF)) <= 6;
  };
  for (unsigned y = 0; y < image.height; ++y) {
    int left = -1, right = -1, markSum = 0, markCount = 0;
    for (unsigned x = 0; x < image.width; ++x) {
      if (is(x, y, kRange)) {
        if (left < 0) left = int(x);
        right = int(x);
      }
      if (is(x, y, markColour)) markSum += int(x), ++markCount;
    }
    if (left < 0) continue;
    // Three pixels wide, in the colour of where it stands; a fractional page offset may snap it by one.
    ASSERT_TRUE(markCount >= 2 && markCount <= 4) << "row " << y << ": " << markCount << " pixels of the mark";
    const double markX = markSum / double(markCount) + 0.5;
    EXPECT_NEAR(share, (markX - left) / (right + 1 - left), 2.0 / (right + 1 - left)) << "row " << y;
    return;
  }
  FAIL() << "no pixel of the range's colour in the screenshot";
}

}  // namespace
}  // namespace kv::cli
