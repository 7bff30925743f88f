// report_html.h: the report of a set of calculated tests as one self-contained HTML page: a table of
// all tests, then a page per test with its results as bars against their normal ranges. Inline
// SVG and CSS only: no script, nothing fetched.
#pragma once

#include <iosfwd>

#include "test_rows.h"
#include "time_text.h"

namespace kv::cli::report {

struct ReportOptions {
  TimeStyle timeStyle = TimeStyle::kLocal;
};

void WriteReport(std::ostream& out, const TestSet& tests, const ReportOptions& options);

}  // namespace kv::cli::report
