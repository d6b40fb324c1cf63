// Text from a log made fit to show: whatever its bytes, the page and the
// table get well-formed UTF-8 that cannot pass for markup, for a formula or
// for other text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace report {

// Bytes that are not UTF-8 and control characters become U+FFFD; marks that
// turn the direction of what follows (a name that would read backwards)
// are shown as "[U+202E]"; past `limit` characters the text is cut with "…".
std::string Shown(std::string_view text, std::size_t limit = 300);

// For the page's text and attributes: & < > " ' as references.
std::string HtmlEscaped(std::string_view text);

// One CSV field, quoted; a field Excel would take for a formula (= + - @)
// starts with an apostrophe.
std::string CsvField(std::string_view text);

}  // namespace report
