// The update package as lines of a TempTree description: one file in
// `dataFolder` for each row of the replacement table, holding "1.55B <name>",
// so that a tree written out as text never lists the package by hand.
#pragma once

#include <string>
#include <string_view>

#include "engine/ReplacementTable.h"

namespace test_support {

inline std::string PackageTreeLines(std::string_view dataFolder) {
    std::string lines;
    for (const engine::Replacement& row : engine::kReplacements) {
        const std::string name(row.source);
        lines.append(dataFolder).append("/").append(name).append(" = 1.55B ").append(name);
        lines.append("\n");
    }
    return lines;
}

}  // namespace test_support
