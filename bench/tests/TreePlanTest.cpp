#include "bench/TreePlan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <utility>

#include "platform/AsciiCase.h"

namespace {

using bench::PlanTree;
using bench::TreePlan;
using bench::TreeShape;

TreeShape SmallShape() {
    TreeShape shape;
    shape.folders = 3'000;
    shape.files = 12'000;
    shape.wideEntries = 2'000;
    shape.wideSubfolders = 5;
    shape.installations = 3;
    shape.chainLengths = {10, 20};
    return shape;
}

// A digest of everything a written tree depends on.
std::uint64_t Fingerprint(const TreePlan& plan) {
    std::uint64_t hash = 14695981039346656037ULL;
    auto mix = [&](std::string_view text) {
        for (unsigned char c : text)
            hash = (hash ^ c) * 1099511628211ULL;
        hash = (hash ^ 0xFF) * 1099511628211ULL;
    };
    for (const bench::PlannedFolder& folder : plan.folders) {
        mix(folder.name);
        mix(std::to_string(folder.parent) + "/" + std::to_string(folder.files));
    }
    for (const bench::PlannedFile& file : plan.namedFiles)
        mix(std::to_string(file.folder) + file.name + file.contents);
    return hash;
}

// Folder index -> number of folders it holds.
std::vector<std::uint32_t> SubfolderCounts(const TreePlan& plan) {
    std::vector<std::uint32_t> counts(plan.folders.size());
    for (std::size_t i = 1; i < plan.folders.size(); ++i)
        ++counts[plan.folders[i].parent];
    return counts;
}

TEST(TreePlan, SameShapeSameTreeAndTheDefaultTreeIsPinned) {
    EXPECT_EQ(Fingerprint(PlanTree(SmallShape())), Fingerprint(PlanTree(SmallShape())));
    TreeShape reseeded = SmallShape();
    ++reseeded.seed;
    EXPECT_NE(Fingerprint(PlanTree(SmallShape())), Fingerprint(PlanTree(reseeded)));
    // A made tree is kept while its stamp matches. If this fails, the planner
    // now plans another tree for the same shape: raise kTreeGeneratorVersion
    // and pin the new digest.
    EXPECT_EQ(bench::kTreeGeneratorVersion, 1);
    EXPECT_EQ(Fingerprint(PlanTree(TreeShape())), 0x21B1AE03D5171230ULL);
}

TEST(TreePlan, CountsAreExactAndEveryFolderFollowsItsParent) {
    for (const TreeShape& shape : {SmallShape(), TreeShape()}) {
        const TreePlan plan = PlanTree(shape);
        EXPECT_EQ(plan.folders.size(), shape.folders + 1u);
        EXPECT_EQ(plan.FileCount(), shape.files);
        for (std::uint32_t i = 1; i < plan.folders.size(); ++i) {
            const bench::PlannedFolder& folder = plan.folders[i];
            ASSERT_LT(folder.parent, i);
            ASSERT_EQ(folder.depth, plan.folders[folder.parent].depth + 1);
        }
    }
}

// Windows, and Wine over it, see one entry where two names differ only in
// letter case, so such twins would make the Windows run see another tree.
TEST(TreePlan, NamesInAFolderDifferEvenIgnoringLetterCase) {
    const TreePlan plan = PlanTree(TreeShape());
    std::set<std::pair<std::uint32_t, std::string>> seen;
    for (std::uint32_t i = 1; i < plan.folders.size(); ++i) {
        const auto& folder = plan.folders[i];
        ASSERT_TRUE(seen.emplace(folder.parent, platform::AsciiUpper(folder.name)).second)
            << plan.RelativePath(i, '/');
    }
    for (const bench::PlannedFile& file : plan.namedFiles) {
        ASSERT_TRUE(seen.emplace(file.folder, platform::AsciiUpper(file.name)).second)
            << plan.RelativePath(file.folder, '/') << "/" << file.name;
    }
    // Generated files are named by their index; they never take a product
    // file's name, nor one another's, nor a folder's (theirs have a dot).
    const std::uint32_t wide = plan.wideFolder;
    std::set<std::string> names;
    for (std::uint32_t k = 0; k < plan.folders[wide].files; ++k) {
        const std::string name = platform::AsciiUpper(bench::GeneratedFileName(wide, k));
        ASSERT_TRUE(names.insert(name).second) << name;
        ASSERT_NE(name, "SKM300.EXE");
        ASSERT_NE(name.find('.'), std::string::npos);
    }
}

TEST(TreePlan, LooksLikeARealDrive) {
    const TreePlan plan = PlanTree(TreeShape());
    const std::vector<std::uint32_t> subfolders = SubfolderCounts(plan);
    std::size_t typicalDepth = 0;
    std::size_t small = 0;
    std::size_t wide = 0;
    std::uint16_t deepest = 0;
    for (std::uint32_t i = 1; i < plan.folders.size(); ++i) {
        const auto& folder = plan.folders[i];
        typicalDepth += folder.depth >= 3 && folder.depth <= 12;
        const std::uint32_t entries = folder.files + subfolders[i];
        small += entries < 16;
        wide += entries >= 100;
        deepest = std::max(deepest, folder.depth);
    }
    const std::size_t folders = plan.folders.size() - 1;
    EXPECT_GT(typicalDepth, folders * 9 / 10);
    EXPECT_GT(small, folders * 3 / 4);
    EXPECT_GT(wide, 100u);
    EXPECT_GE(deepest, 64);

    const auto& huge = plan.folders[plan.wideFolder];
    EXPECT_EQ(huge.files, 200'000u - 10u);
    EXPECT_EQ(subfolders[plan.wideFolder], 10u);
}

TEST(TreePlan, InstallationsLieDeepAndHoldWhatARefreshReplaces) {
    const TreeShape shape = SmallShape();
    const TreePlan plan = PlanTree(shape);
    ASSERT_EQ(plan.installations.size(), shape.installations);
    EXPECT_EQ(plan.withXtras.size(), 2u);
    std::set<std::string> paths;
    for (const bench::PlannedFile& file : plan.namedFiles)
        paths.insert(plan.RelativePath(file.folder, '/') + "/" + file.name);
    for (std::uint32_t i = 1; i < plan.folders.size(); ++i)
        paths.insert(plan.RelativePath(i, '/') + "/");
    for (std::uint32_t installation : plan.installations) {
        EXPECT_GE(plan.folders[installation].depth, 6);
        const std::string at = plan.RelativePath(installation, '/') + "/";
        for (const char* entry :
             {"SKM300.EXE", "QBANK.CXT", "TAVEN.DXR", "VIREL.DXR", "QPN.DXR", "ZUM.DXR",
              "BELTO.CXT", "Audio/Term/GROUP3/", "Audio/Phrase/Group6/q417.mp3"}) {
            EXPECT_TRUE(paths.count(at + entry)) << at + entry;
        }
        const bool xtras = std::count(plan.withXtras.begin(), plan.withXtras.end(), installation);
        EXPECT_EQ(xtras,
                  paths.count(at + "xtras/PlugKit2.X32") + paths.count(at + "Xtras/PlugKit2.X32"))
            << at;
    }
}

TEST(TreePlan, AShapeTooSmallForItsSpecialFoldersIsRefused) {
    TreeShape shape = SmallShape();
    shape.folders = 100;
    EXPECT_THROW(PlanTree(shape), std::invalid_argument);
    shape = SmallShape();
    shape.files = 1'000;
    EXPECT_THROW(PlanTree(shape), std::invalid_argument);
}

}  // namespace
