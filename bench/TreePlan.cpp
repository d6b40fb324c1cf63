#include "bench/TreePlan.h"

#include <algorithm>
#include <array>
#include <bit>
#include <stdexcept>
#include <string_view>

#include "bench/SplitMix64.h"
#include "engine/ReplacementTable.h"

namespace bench {

namespace {

constexpr std::array<std::string_view, 12> kTopLevel = {
    "Windows",     "Program Files", "Program Files (x86)",
    "ProgramData", "Users",         "PerfLogs",
    "Drivers",     "Intel",         "Recovery",
    "Temp",        "Games",         "Tools"};

// Words for generated names; none of them ends in a digit, so a word followed
// by a number can never spell another word followed by another number.
constexpr std::array<std::string_view, 24> kWords = {
    "system", "shell", "cache",   "assets", "common", "driver",  "locale",  "update",
    "config", "media", "fonts",   "help",   "logs",   "package", "runtime", "plugins",
    "icons",  "data",  "library", "bin",    "backup", "profile", "store",   "resources"};
constexpr std::array<std::string_view, 8> kExtensions = {"dll", "dat", "txt", "png",
                                                         "mui", "xml", "js",  "ini"};

constexpr std::array<std::string_view, 4> kInstallationNames = {"Soramido", "SORAMIDO_1.5",
                                                                "ケルミナ そらみど", "sora"};
// An installation is its folder, Audio, Term, GROUP3, Phrase and Group6, and
// sometimes an xtras folder.
constexpr std::uint32_t kInstallationFolders = 6;
// SKM300.EXE, the six product files and the sound clip, and sometimes the plug-in.
constexpr std::uint32_t kInstallationFiles = 8;

bool HasXtras(std::uint32_t installation) {
    return installation % 2 == 0;
}

// Mostly 0 to 3, now and then hundreds: the size class is geometric and the
// count uniform within it.
std::uint32_t SkewedFileCount(SplitMix64& random) {
    const int sizeClass = std::countr_zero(random.Next() | (std::uint64_t{1} << 10));
    return random.Below(std::uint32_t{1} << sizeClass);
}

class Planner {
  public:
    Planner(const TreeShape& shape) : shape_(shape), random_(shape.seed) {}

    TreePlan Plan() {
        CheckBudget();
        plan_.folders.reserve(shape_.folders + 1);
        plan_.folders.push_back({0, 0, 0, {}});
        for (std::string_view name : kTopLevel)
            Add(0, std::string(name));
        firstGrown_ = Count();
        Grow(shape_.folders - SpecialFolders() - Count() + 1);
        endGrown_ = Count();
        AddWideFolder();
        for (std::uint32_t length : shape_.chainLengths)
            AddChain(length);
        for (std::uint32_t i = 0; i < shape_.installations; ++i)
            AddInstallation(i);
        SpreadFiles(shape_.files - static_cast<std::uint32_t>(plan_.FileCount()));
        return std::move(plan_);
    }

  private:
    std::uint32_t Count() const { return static_cast<std::uint32_t>(plan_.folders.size()); }

    std::uint32_t SpecialFolders() const {
        std::uint32_t count = 1 + shape_.wideSubfolders;
        for (std::uint32_t length : shape_.chainLengths)
            count += length;
        for (std::uint32_t i = 0; i < shape_.installations; ++i)
            count += kInstallationFolders + (HasXtras(i) ? 1 : 0);
        return count;
    }

    std::uint32_t SpecialFiles() const {
        std::uint32_t count = shape_.wideEntries - shape_.wideSubfolders;
        for (std::uint32_t length : shape_.chainLengths)
            count += length;
        for (std::uint32_t i = 0; i < shape_.installations; ++i)
            count += kInstallationFiles + (HasXtras(i) ? 1 : 0);
        return count;
    }

    void CheckBudget() const {
        if (shape_.wideEntries < shape_.wideSubfolders ||
            shape_.folders < SpecialFolders() + kTopLevel.size() + 100 ||
            shape_.files < SpecialFiles()) {
            throw std::invalid_argument("tree shape too small for its special folders: " +
                                        shape_.Describe());
        }
    }

    std::uint32_t Add(std::uint32_t parent, std::string name, std::uint32_t files = 0) {
        const auto depth = static_cast<std::uint16_t>(plan_.folders[parent].depth + 1);
        plan_.folders.push_back({parent, depth, files, std::move(name)});
        children_.resize(plan_.folders.size());
        ++children_[parent];
        return Count() - 1;
    }

    std::string GrownName(std::uint32_t parent) {
        const std::uint64_t bits = random_.Next();
        std::string name(kWords[bits % kWords.size()]);
        if ((bits >> 32) % 3 == 0)
            name[0] = static_cast<char>(name[0] - 'a' + 'A');
        return name + std::to_string(children_[parent]);
    }

    // Preferential attachment: a folder is picked as parent with a weight of
    // one more than the folders it already holds, which gives the skewed
    // fan-out of real trees (most folders small, a few with hundreds of
    // subfolders) and depths around the logarithm of the size.
    void Grow(std::uint32_t count) {
        std::vector<std::uint32_t> urn;
        urn.reserve(2 * static_cast<std::size_t>(count) + kTopLevel.size());
        for (std::uint32_t i = firstGrown_ - kTopLevel.size(); i < firstGrown_; ++i)
            urn.push_back(i);
        for (std::uint32_t made = 0; made < count; ++made) {
            std::uint32_t parent = 0;
            do {
                parent = urn[random_.Below(static_cast<std::uint32_t>(urn.size()))];
            } while (plan_.folders[parent].depth >= shape_.deepestGrowth);
            const std::uint32_t child = Add(parent, GrownName(parent));
            urn.push_back(parent);
            urn.push_back(child);
        }
    }

    // A grown folder between `shallowest` and `deepest` deep, or the deepest
    // one above `deepest` when random picks find none.
    std::uint32_t PickGrown(std::uint16_t shallowest, std::uint16_t deepest) {
        for (int attempt = 0; attempt < 10'000; ++attempt) {
            const std::uint32_t pick = firstGrown_ + random_.Below(endGrown_ - firstGrown_);
            const std::uint16_t depth = plan_.folders[pick].depth;
            if (depth >= shallowest && depth <= deepest)
                return pick;
        }
        std::uint32_t best = firstGrown_;
        for (std::uint32_t i = firstGrown_; i < endGrown_; ++i) {
            const std::uint16_t depth = plan_.folders[i].depth;
            if (depth <= deepest && depth > plan_.folders[best].depth)
                best = i;
        }
        return best;
    }

    void AddWideFolder() {
        const std::uint32_t wide =
            Add(PickGrown(3, 3), "WinSxSCache", shape_.wideEntries - shape_.wideSubfolders);
        for (std::uint32_t i = 0; i < shape_.wideSubfolders; ++i)
            Add(wide, "manifest" + std::to_string(i));
        plan_.wideFolder = wide;
    }

    // Nested package folders, as a package manager leaves them.
    void AddChain(std::uint32_t length) {
        std::uint32_t folder = PickGrown(2, 4);
        for (std::uint32_t level = 0; level < length; ++level)
            folder = Add(folder, level % 2 == 0 ? "node_modules" : "pkg", 1);
    }

    void AddFile(std::uint32_t folder, std::string_view name, std::string contents) {
        plan_.namedFiles.push_back({folder, std::string(name), std::move(contents)});
    }

    // The product as its installer leaves it, with the old files a refresh
    // replaces.
    void AddInstallation(std::uint32_t index) {
        std::string name(kInstallationNames[index % kInstallationNames.size()]);
        if (index >= kInstallationNames.size())
            name += " " + std::to_string(index);
        const std::uint32_t folder = Add(PickGrown(5, 9), std::move(name));
        AddFile(folder, "SKM300.EXE", "product 1.50");
        for (const engine::Replacement& row : engine::kReplacements) {
            if (row.folders[0].empty())
                AddFile(folder, row.file, "1.50 " + std::string(row.file));
        }
        const std::uint32_t audio = Add(folder, "Audio");
        Add(Add(audio, "Term"), "GROUP3");
        AddFile(Add(Add(audio, "Phrase"), "Group6"), "q417.mp3", "1.50 q417.mp3");
        if (HasXtras(index)) {
            AddFile(Add(folder, index % 4 == 0 ? "xtras" : "Xtras"), "PlugKit2.X32",
                    "1.50 plug-in");
            plan_.withXtras.push_back(folder);
        }
        plan_.installations.push_back(folder);
    }

    // The remaining files go to the ordinary folders: a skewed count each,
    // then single files to random folders until the total is exact.
    void SpreadFiles(std::uint32_t remaining) {
        const std::uint32_t first = firstGrown_ - kTopLevel.size();
        for (std::uint32_t i = first; i < endGrown_ && remaining > 0; ++i) {
            const std::uint32_t files = std::min(SkewedFileCount(random_), remaining);
            plan_.folders[i].files += files;
            remaining -= files;
        }
        for (; remaining > 0; --remaining)
            ++plan_.folders[first + random_.Below(endGrown_ - first)].files;
    }

    const TreeShape& shape_;
    SplitMix64 random_;
    TreePlan plan_;
    std::vector<std::uint32_t> children_{0};
    std::uint32_t firstGrown_ = 0;
    std::uint32_t endGrown_ = 0;
};

}  // namespace

std::string TreeShape::Describe() const {
    std::string text = "seed=" + std::to_string(seed) + " folders=" + std::to_string(folders) +
                       " files=" + std::to_string(files) + " wide=" + std::to_string(wideEntries) +
                       "/" + std::to_string(wideSubfolders) +
                       " installations=" + std::to_string(installations) + " chains=";
    for (std::uint32_t length : chainLengths)
        text += std::to_string(length) + ",";
    return text + " deepest=" + std::to_string(deepestGrowth);
}

std::uint64_t TreePlan::FileCount() const {
    std::uint64_t count = namedFiles.size();
    for (const PlannedFolder& folder : folders)
        count += folder.files;
    return count;
}

std::string TreePlan::RelativePath(std::uint32_t folder, char separator) const {
    std::vector<std::uint32_t> chain;
    for (std::uint32_t at = folder; at != 0; at = folders[at].parent)
        chain.push_back(at);
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!path.empty())
            path += separator;
        path += folders[*it].name;
    }
    return path;
}

TreePlan PlanTree(const TreeShape& shape) {
    return Planner(shape).Plan();
}

std::string GeneratedFileName(std::uint32_t folder, std::uint32_t index) {
    const std::uint64_t bits = SplitMix64((std::uint64_t{folder} << 32) | index).Next();
    return std::string(kWords[bits % kWords.size()]) + std::to_string(index) + "." +
           std::string(kExtensions[(bits >> 32) % kExtensions.size()]);
}

}  // namespace bench
