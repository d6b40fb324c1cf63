#include "bench/TreeSandbox.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "bench/TreeWriter.h"

namespace bench {

std::string TreeSandbox::StampText(const TreeShape& shape) {
    return "generator " + std::to_string(kTreeGeneratorVersion) + "; " + shape.Describe() + "\n";
}

bool TreeSandbox::IsCurrent(const TreeShape& shape) const {
    std::ifstream in(Stamp(), std::ios::binary);
    const std::string stamp((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return in && stamp == StampText(shape) && std::filesystem::is_directory(Drive());
}

TreeSandbox::Outcome TreeSandbox::Ensure(const TreeShape& shape, std::string& message) const {
    Outcome outcome = Outcome::Reused;
    message = "reused the tree in " + Drive().string();
    if (!IsCurrent(shape)) {
        const auto start = std::chrono::steady_clock::now();
        std::error_code error;
        std::filesystem::remove(Stamp(), error);
        std::filesystem::remove_all(Drive(), error);
        std::filesystem::create_directories(root_, error);
        if (error) {
            message = "cannot clear " + Drive().string() + ": " + error.message();
            return Outcome::Failed;
        }
        const TreePlan plan = PlanTree(shape);
        message = WriteTree(plan, Drive());
        if (!message.empty())
            return Outcome::Failed;
        std::ofstream(Stamp(), std::ios::binary) << StampText(shape);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        char text[64];
        std::snprintf(text, sizeof text, " in %.1f s", took.count());
        message = "made the tree in " + Drive().string() + text;
        outcome = Outcome::Made;
    }
    const std::string package = WritePackage(PackageParent());
    if (!package.empty()) {
        message = package;
        return Outcome::Failed;
    }
    return outcome;
}

}  // namespace bench
