// The table of figures: sections of rows, each a figure and, for the figures
// that have one, the target and whether it is met. Rendered as plain text
// with aligned columns, for the terminal and the figures file alike.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace bench {

class FiguresTable {
  public:
    void Section(std::string title);
    void Row(std::string label, std::string value);
    void Row(std::string label, std::string value, std::string target, bool met);
    // A line of its own, under the rows before it.
    void Note(std::string text);

    std::string Render() const;

  private:
    struct Line {
        enum class Kind { Section, Row, Note } kind;
        std::string label;
        std::string value;
        std::string target;
        std::optional<bool> met;
    };
    std::vector<Line> lines_;
};

// printf into a std::string.
std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace bench
