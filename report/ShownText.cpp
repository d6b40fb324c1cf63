#include "report/ShownText.h"

#include <cstdint>
#include <cstdio>

namespace report {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The code point at `text[at]` and its length, or length 0 when the bytes
// there are not UTF-8.
std::size_t Decode(std::string_view text, std::size_t at, char32_t& point) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        point = lead;
        return 1;
    }
    if ((lead >> 5) == 0x6) {
        length = 2, point = lead & 0x1F, minimum = 0x80;
    } else if ((lead >> 4) == 0xE) {
        length = 3, point = lead & 0x0F, minimum = 0x800;
    } else if ((lead >> 3) == 0x1E) {
        length = 4, point = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        point = (point << 6) | (next & 0x3F);
    }
    if (point < minimum || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
        return 0;
    return length;
}

bool TurnsDirection(char32_t point) {
    return point == 0x061C || point == 0x200E || point == 0x200F ||
           (point >= 0x202A && point <= 0x202E) || (point >= 0x2066 && point <= 0x2069);
}

}  // namespace

std::string Shown(std::string_view text, std::size_t limit) {
    std::string shown;
    shown.reserve(text.size());
    std::size_t characters = 0;
    for (std::size_t at = 0; at < text.size();) {
        if (characters == limit) {
            shown += "…";
            break;
        }
        char32_t point = 0;
        const std::size_t length = Decode(text, at, point);
        if (length == 0) {
            shown += kReplacement;
            ++at;
        } else if (point < 0x20 || point == 0x7F || (point >= 0x80 && point < 0xA0)) {
            shown += kReplacement;
            at += length;
        } else if (TurnsDirection(point)) {
            char mark[16];
            std::snprintf(mark, sizeof mark, "[U+%04X]", static_cast<unsigned>(point));
            shown += mark;
            at += length;
        } else {
            shown.append(text.substr(at, length));
            at += length;
        }
        ++characters;
    }
    return shown;
}

std::string HtmlEscaped(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            case '\'':
                escaped += "&#39;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

std::string CsvField(std::string_view text) {
    std::string field = "\"";
    if (!text.empty() && (text[0] == '=' || text[0] == '+' || text[0] == '-' || text[0] == '@'))
        field += '\'';
    for (const char c : text) {
        if (c == '"')
            field += '"';
        field += c;
    }
    field += '"';
    return field;
}

}  // namespace report
