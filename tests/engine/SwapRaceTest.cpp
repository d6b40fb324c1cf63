// A folder of an installation, or the installation folder itself, swapped
// back and forth with a link to a folder outside it while the worker
// refreshes the installation, over and over: the refreshes work through
// handles, so not one byte outside the installation may change, and each
// refresh leaves the installation whole: all old or all new.
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/PosixFileSystem.h"
#include "tests/engine/EngineTest.h"
#include "tests/support/PackageElsewhere.h"
#include "tests/support/TempTree.h"

namespace engine_test {
namespace {

// Each file a refresh replaces, below the installation, and its package file.
struct Replaced {
    std::string path;
    std::string source;
};
const std::vector<Replaced> kReplaced = [] {
    std::vector<Replaced> replaced;
    for (const engine::Replacement& row : engine::kReplacements) {
        std::string path = PlantedPath(row, "xtras");
        std::replace(path.begin(), path.end(), '\\', '/');
        replaced.push_back({std::move(path), std::string(row.source)});
    }
    return replaced;
}();

std::string OldContent(const Replaced& file) {
    return std::string("1.50 ") + file.path;
}

// The installation as planted, its mirror outside it (so that a link to the
// mirror leads to what looks like the same installation), the package, and
// a folder for the links that take turns with the installation's folders.
std::string Description() {
    std::string description = "Swaps/\n";
    for (const char* top : {"Drive/Inst/", "Drive/Outside/"}) {
        description += std::string(top) + "SKM300.EXE = product 1.50\n";
        description += std::string(top) + "Audio/Term/GROUP3/\n";
        for (const Replaced& file : kReplaced)
            description += top + file.path + " = " + OldContent(file) + "\n";
    }
    for (const std::string& name : kPackageFiles)
        description += "Updater/Data/" + name + " = " + NewContents(name) + "\n";
    return description;
}

// Every entry below `root` (links not followed) and what it holds: a file's
// content, a link's target, or nothing for a folder. Entries whose relative
// path starts with one of `skipped` are left out.
using Snapshot = std::map<std::string, std::string>;
Snapshot Take(const std::string& root, std::initializer_list<std::string_view> skipped = {}) {
    namespace fs = std::filesystem;
    Snapshot snapshot;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        const std::string relative = fs::relative(it->path(), root).string();
        if (std::any_of(skipped.begin(), skipped.end(),
                        [&](std::string_view prefix) { return relative.starts_with(prefix); })) {
            it.disable_recursion_pending();
            continue;
        }
        if (it->is_symlink()) {
            snapshot[relative] = "-> " + fs::read_symlink(it->path()).string();
        } else if (it->is_directory()) {
            snapshot[relative + "/"] = "";
        } else {
            std::ifstream file(it->path(), std::ios::binary);
            snapshot[relative] = {std::istreambuf_iterator<char>(file), {}};
        }
    }
    return snapshot;
}

bool Exchanged(const std::string& place, const std::string& link) {
    return ::renameat2(AT_FDCWD, place.c_str(), AT_FDCWD, link.c_str(), RENAME_EXCHANGE) == 0;
}

// Exchanges a folder and a link with one another in a tight loop on a
// thread of its own until destroyed; then the folder is back at its place.
class Swapper {
  public:
    Swapper(std::string place, std::string link)
        : place_(std::move(place)), link_(std::move(link)), thread_([this](std::stop_token stop) {
              while (!stop.stop_requested()) {
                  if (Exchange())
                      swapped_ = !swapped_;
              }
          }) {}
    ~Swapper() {
        thread_.request_stop();
        thread_.join();
        if (swapped_) {
            EXPECT_TRUE(Exchange()) << place_;
        }
    }
    Swapper(const Swapper&) = delete;
    Swapper& operator=(const Swapper&) = delete;

  private:
    bool Exchange() { return Exchanged(place_, link_); }

    const std::string place_;
    const std::string link_;
    bool swapped_ = false;  // the thread's own until it is joined
    std::jthread thread_;   // last: started once all else exists
};

class SwapRace : public EngineTest {};

TEST_F(SwapRace, FoldersSwappedForLinksMidwaySendNoWriteOutsideTheInstallation) {
    test_support::TempTree tree(Description());
    platform::PosixFileSystem system({{'T', tree.Path("Drive")}, {'D', tree.Path("Updater")}}, {});
    test_support::PackageElsewhere files(system, "D:\\");
    StepWorker worker({}, files, ui, report);

    const Snapshot outside = Take(tree.Path(), {"Drive/Inst", "Swaps"});
    const Snapshot old = Take(tree.Path("Drive/Inst"));
    Snapshot updated = old;
    for (const Replaced& file : kReplaced)
        updated[file.path] = NewContents(file.source);

    // The folders on the way to a destination, and the installation folder.
    struct Target {
        const char* place;
        const char* mirror;
    };
    for (const Target& target :
         {Target{"Drive/Inst/Audio/Phrase/Group6", "Drive/Outside/Audio/Phrase/Group6"},
          Target{"Drive/Inst/xtras", "Drive/Outside/xtras"},
          Target{"Drive/Inst", "Drive/Outside"}}) {
        const std::string link = tree.Path("Swaps/link");
        ASSERT_EQ(::symlink(tree.Path(target.mirror).c_str(), link.c_str()), 0);

        platform::WorkerThread thread(ui, [&](std::stop_token) {
            // Whether the races below ever meet a swap is up to the
            // scheduler, so the link is first met for certain: in place
            // all along, it must be refused.
            ASSERT_TRUE(Exchanged(tree.Path(target.place), link));
            const bool doneThroughLink =
                worker.RefreshInstallation("T:\\Inst") == engine::UpdateEnd::Updated;
            ASSERT_TRUE(Exchanged(tree.Path(target.place), link));
            EXPECT_FALSE(doneThroughLink) << target.place;
            ASSERT_EQ(Take(tree.Path("Drive/Inst")), old) << target.place;

            // Enough rounds to meet the swap in every step of a refresh, and
            // a bound on the time they take on a slow disk.
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
            for (int round = 0; round < 200 && std::chrono::steady_clock::now() < end; ++round) {
                bool done = false;
                {
                    Swapper swapper(tree.Path(target.place), link);
                    done = worker.RefreshInstallation("T:\\Inst") == engine::UpdateEnd::Updated;
                }
                const Snapshot now = Take(tree.Path("Drive/Inst"));
                ASSERT_EQ(now, done ? updated : old) << target.place << ", round " << round;
                // Back to the old files, with nothing racing.
                if (done) {
                    for (const Replaced& file : kReplaced)
                        std::ofstream(tree.Path("Drive/Inst/" + std::string(file.path)),
                                      std::ios::binary | std::ios::trunc)
                            << OldContent(file);
                }
            }
        });
        thread.WaitForEnd();
        ASSERT_EQ(::unlink(link.c_str()), 0);
        EXPECT_EQ(Take(tree.Path(), {"Drive/Inst", "Swaps"}), outside) << target.place;
    }
}

}  // namespace
}  // namespace engine_test
