// report_test.cpp: the HTML report read back as a document: it parses strictly, fetches nothing,
// its bars carry the calculation's numbers and stand where they put the value; a headless Chromium's
// screenshot of one test's page shows the value mark where its value puts it; and the summary table
// keeps its last column inside the page on two screen widths and on A4 paper.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <png.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
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

// A headless Chromium in a folder of its own, removed with it: Run() loads the given page there with the given
// switches and returns the exit status; what the browser prints on standard output is in `out`.
struct Browser {
  const std::string dir = "/tmp/korvanta_report_test_" + std::to_string(getpid());
  std::string out;
  Browser() { EXPECT_EQ(0, system(("mkdir -p " + dir).c_str())); }
  ~Browser() { system(("rm -rf " + dir).c_str()); }
  int Run(const std::string& html, const std::string& switches) {
    std::ofstream(dir + "/report.html") << html;
    const int status = system(("timeout 90 chromium --headless --no-sandbox --disable-gpu --hide-scrollbars "
                               "--force-device-scale-factor=1 --user-data-dir=" + dir + "/profile " + switches +
                               " file://" + dir + "/report.html >" + dir + "/out 2>" + dir + "/chromium.log").c_str());
    std::ifstream in(dir + "/out");
    out.assign(std::istreambuf_iterator<char>(in), {});
    return status;
  }
};

// The first bar of the first test (fatPercent, below its range) in a real browser: in the band's first pixel row,
// the mark's centre lies between the range's first and last pixels as the value between its ends.
TEST(Report, ChromiumDrawsTheValueWhereItFalls) {
  if (system("command -v chromium >/dev/null 2>&1") != 0) GTEST_SKIP() << "chromium is not installed";
  TestSet tests = Calculated("human.csv");
  auto& rows = std::get<std::vector<HumanRow>>(tests);
  rows.resize(1);
  Browser browser;
  const int status = browser.Run(Html(tests), "--window-size=820,1100 --screenshot=" + browser.dir + "/page.png");
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  bool loaded = png_image_begin_read_from_file(&image, (browser.dir + "/page.png").c_str()) != 0;
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(loaded ? PNG_IMAGE_SIZE(image) : 0);
  loaded = loaded && png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) != 0;
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

// The summary's last column inside the page: on screens of 820 and of 768 pixels (a tablet held upright), as a
// script added to a copy of the report measures it, and printed on A4, where every word of the summary's page
// stays within the 10 mm margins at the size it has on screen: Chromium shrinks a page too wide for the paper.
TEST(Report, ChromiumShowsTheWholeSummaryOnScreenAndOnA4) {
  if (system("command -v chromium >/dev/null 2>&1") != 0) GTEST_SKIP() << "chromium is not installed";
  const std::string html = Html(Calculated("human.csv"));
  const std::string probe = R"(<script>addEventListener('load', () => {
    const page = document.getElementById('summary'), last = page.querySelector('tr th:last-child');
    const title = document.createRange();
    title.selectNodeContents(page.querySelector('h1'));
    document.body.dataset.fit = [last.textContent, last.getBoundingClientRect().right,
      page.getBoundingClientRect().right - parseFloat(getComputedStyle(page).paddingRight),
      document.documentElement.clientWidth, title.getBoundingClientRect().width].join(' ');
  });</script></body>)";
  Browser browser;
  double titlePx = 0;
  for (int width : {820, 768}) {
    SCOPED_TRACE(width);
    const std::string size = "--window-size=" + std::to_string(width) + ",1100";
    const int status =
        browser.Run(html.substr(0, html.rfind("</body>")) + probe, size + " --virtual-time-budget=3000 --dump-dom");
    const size_t at = browser.out.find("data-fit=\"");
    if (status != 0 || at == std::string::npos)
      GTEST_SKIP() << "chromium could not start or lay out the page (exit " << status << ")";
    std::istringstream fit(browser.out.substr(at + 10));
    std::string name;
    double right = 0, pageRight = 0, viewport = 0;
    ASSERT_TRUE(fit >> name >> right >> pageRight >> viewport >> titlePx) << browser.out.substr(at, 100);
    EXPECT_EQ("bmi", name);
    EXPECT_LE(right, pageRight + 0.5) << "the last column passes the page's edge";
    EXPECT_LE(right, viewport) << "the last column is off the screen";
  }
  if (system("command -v pdftotext >/dev/null 2>&1") != 0) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
  ASSERT_EQ(0, browser.Run(html, "--no-pdf-header-footer --print-to-pdf=" + browser.dir + "/report.pdf"));
  ASSERT_EQ(0, system(("pdftotext -f 1 -l 1 -bbox " + browser.dir + "/report.pdf " + browser.dir + "/words.html")
                          .c_str()));
  std::ifstream words(browser.dir + "/words.html");
  constexpr double kMargin = 10 / 25.4 * 72;  // points
  double pageWidth = 0, titleLeft = -1, titleRight = -1;
  bool lastColumn = false;
  for (std::string line; std::getline(words, line);) {
    double x0, y0, x1, y1;
    char text[64] = "";
    if (sscanf(line.c_str(), " <page width=\"%lf\"", &pageWidth) == 1) continue;
    if (sscanf(line.c_str(), " <word xMin=\"%lf\" yMin=\"%lf\" xMax=\"%lf\" yMax=\"%lf\">%63[^<]", &x0, &y0, &x1, &y1,
               text) != 5)
      continue;
    EXPECT_TRUE(x0 >= kMargin - 0.5 && x1 <= pageWidth - kMargin + 0.5) << text << " at " << x0 << "-" << x1 << " pt";
    if (titleLeft < 0) titleLeft = x0;
    if (titleRight < 0 && std::string(text) == "report") titleRight = x1;
    lastColumn = lastColumn || std::string(text) == "bmi";
  }
  EXPECT_NEAR(210 / 25.4 * 72, pageWidth, 1) << "not A4 upright";
  EXPECT_TRUE(lastColumn) << "no last column on the printed page";
  EXPECT_NEAR(titlePx * 0.75, titleRight - titleLeft, titlePx * 0.75 * 0.01) << "printed at another size than shown";
}

}  // namespace
}  // namespace kv::cli
