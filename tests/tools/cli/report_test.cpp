// report_test.cpp: the HTML report read back as a document: it parses strictly, fetches nothing,
// its bars carry the calculation's numbers and draw the value's mark, in the colour of where it
// stands, across the range where the value puts it.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>

#include <fstream>
#include <map>
#include <sstream>

#include "record_fields.h"
#include "report_html.h"
#include "test_input.h"
#include "text.h"

namespace kv::cli {
namespace {

TestSet Calculated(const char* file) {
  std::ifstream in(std::string(KV_CLI_DATA_DIR) + "/" + file);
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

// Every bar of every page, for both kinds: the value and range are the test's own, the mark's centre
// stands between the range's ends in the value's proportion, the mark crosses the band, and the word
// and the mark's colour say where it stands.
template <class Row, class Res, class Norm>
void CheckBars(const Doc& doc, const std::vector<Row>& rows, std::span<const FieldDef<Res>> fields,
               NormalRange (*normalFor)(std::string_view, const Norm&)) {
  for (size_t i = 0; i < rows.size(); ++i) {
    const std::string page = "//section[@id='test-" + std::to_string(i + 1) + "']";
    const auto bars = doc.Nodes(page + "//svg");
    int ranged = 0;
    for (const auto& field : fields) {
      const NormalRange range = normalFor(field.name, rows[i].normals);
      ranged += (range.kind == NormalRange::Kind::kRange || range.kind == NormalRange::Kind::kMaximum) &&
                (Number(range.low) != 0 || Number(range.high) != 0) && rows[i].resultsCode == KV_OK;
    }
    EXPECT_EQ(static_cast<size_t>(ranged), bars.size()) << page;
    for (xmlNodePtr bar : bars) {
      const std::string name = Attr(bar, "data-result");
      SCOPED_TRACE(page + " " + name);
      const auto* field = FindField(fields, name);
      ASSERT_NE(nullptr, field);
      const float value = GetField(rows[i].results, *field).real;
      EXPECT_EQ(value, *ParseFloat(Attr(bar, "data-value")));
      const NormalRange range = normalFor(name, rows[i].normals);
      const bool maximum = range.kind == NormalRange::Kind::kMaximum;
      const double first = maximum ? 0.0 : Number(range.low), second = Number(maximum ? range.low : range.high);
      if (!maximum) {
        EXPECT_EQ(float(first), *ParseFloat(Attr(bar, "data-low")));
      }
      EXPECT_EQ(float(second), *ParseFloat(Attr(bar, "data-high")));
      const double low = std::min(first, second), high = std::max(first, second);
      const std::string svg = page + "//svg[@data-result='" + name + "']";
      const auto band = doc.Nodes(svg + "/rect[@class='range']"), mark = doc.Nodes(svg + "/rect[@class='mark']");
      ASSERT_EQ(1u, band.size());
      ASSERT_EQ(1u, mark.size());
      const double left = Number(band[0], "x"), width = Number(band[0], "width");
      const double centre = Number(mark[0], "x") + Number(mark[0], "width") / 2;
      EXPECT_NEAR((value - low) / (high - low), (centre - left) / width, 1.0 / width);
      EXPECT_LE(Number(mark[0], "y"), Number(band[0], "y"));
      EXPECT_GE(Number(mark[0], "y") + Number(mark[0], "height"), Number(band[0], "y") + Number(band[0], "height"));
      EXPECT_EQ("#a9d8b5", Attr(band[0], "fill"));
      const std::string word = value < low ? "below" : value > high ? "above" : "within";
      const std::map<std::string, std::string> colours{
          {"below", "#2b6cb0"}, {"within", "#1f6f43"}, {"above", "#c53030"}};
      EXPECT_EQ(colours.at(word), Attr(mark[0], "fill"));
      EXPECT_EQ(
          1u, doc.Nodes(page + "//div[svg/@data-result='" + name + "']//span[@class='standing " + word + "']").size());
    }
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

}  // namespace
}  // namespace kv::cli
