#include "bench/FiguresTable.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace bench {

void FiguresTable::Section(std::string title) {
    lines_.push_back({Line::Kind::Section, std::move(title), {}, {}, {}});
}

void FiguresTable::Row(std::string label, std::string value) {
    lines_.push_back({Line::Kind::Row, std::move(label), std::move(value), {}, {}});
}

void FiguresTable::Row(std::string label, std::string value, std::string target, bool met) {
    lines_.push_back({Line::Kind::Row, std::move(label), std::move(value), std::move(target), met});
}

void FiguresTable::Note(std::string text) {
    lines_.push_back({Line::Kind::Note, std::move(text), {}, {}, {}});
}

std::string FiguresTable::Render() const {
    std::size_t labelWidth = 0;
    std::size_t valueWidth = 0;
    std::size_t targetWidth = 0;
    for (const Line& line : lines_) {
        if (line.kind != Line::Kind::Row)
            continue;
        labelWidth = std::max(labelWidth, line.label.size());
        valueWidth = std::max(valueWidth, line.value.size());
        targetWidth = std::max(targetWidth, line.target.size());
    }
    std::string text;
    for (const Line& line : lines_) {
        switch (line.kind) {
            case Line::Kind::Section:
                text += (text.empty() ? "" : "\n") + line.label + "\n";
                break;
            case Line::Kind::Note:
                text += "    " + line.label + "\n";
                break;
            case Line::Kind::Row: {
                std::string row = "  " + line.label;
                row.resize(2 + labelWidth + 2, ' ');
                row += std::string(valueWidth - line.value.size(), ' ') + line.value;
                if (line.met) {
                    row += "   target " + line.target;
                    row += std::string(targetWidth - line.target.size(), ' ');
                    row += *line.met ? "  met" : "  NOT MET";
                }
                text += row + "\n";
                break;
            }
        }
    }
    return text;
}

std::string Printf(const char* format, ...) {
    char buffer[512];
    va_list arguments;
    va_start(arguments, format);
    // The analyzer loses track of va_start across the va_list's array type.
    // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized)
    const int length = std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    return length < 0 ? std::string()
                      : std::string(buffer, std::min<std::size_t>(length, sizeof buffer - 1));
}

}  // namespace bench
