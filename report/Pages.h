// What the report writes: the page, which shows the school at a glance and
// one row per PC, and the table of the same rows for Excel.
#pragma once

#include <string>

#include "report/SchoolSurvey.h"

namespace report {

struct PageFacts {
    std::string folder;  // the logs' folder, as given
    std::string madeAt;  // "YYYY-MM-DD hh:mm"
    int staleDays = 7;
};

// A page that needs nothing beyond itself: its style inline, no script, no
// fetch; light, dark and high-contrast; A4 when printed.
std::string HtmlPage(const Survey& survey, const PageFacts& facts);

// UTF-8 with a byte order mark and CRLF, which Excel on a Japanese Windows
// opens as it is.
std::string CsvTable(const Survey& survey);

}  // namespace report
