// Folders listed ahead of the walk: whatever the threads read, and however
// long each listing takes, the walk enters, recognises and passes over
// exactly what it does without them, in the same order; and a stop ends a
// run at once, giving up every listing under way.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "engine/search/FolderWalk.h"
#include "tests/engine/EngineTest.h"

namespace engine_test {
namespace {

using namespace std::chrono_literals;

std::uint64_t Mix(std::uint64_t x) {  // SplitMix64's finaliser
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

// A tree of random shape on C:, built by random steps so that subfolders,
// files, marker files (in either case) and links to anywhere (ancestors
// included) are interleaved in the listings; some folders cannot be listed,
// some only up to a failure half way.
// Returns the folders' paths.
std::vector<std::string> PlantRandomTree(MemoryFileSystem& fs, std::uint64_t seed) {
    std::uint64_t state = seed;
    const auto next = [&](std::uint64_t below) { return Mix(state++) % below; };
    std::vector<Folder> folders{fs.AddDrive('C')};
    const int steps = 150 + static_cast<int>(next(250));
    for (int step = 0; step < steps; ++step) {
        // Recent folders more often, so that the tree grows deep as well as wide.
        const std::size_t pick =
            next(2) ? next(folders.size())
                    : folders.size() - 1 - next(std::min<std::size_t>(folders.size(), 8));
        const Folder& at = folders[pick];
        const std::string name = std::string("n").append(std::to_string(step));
        switch (next(10)) {
            case 0:
                at.AddFile(next(2) ? "SKM300.EXE" : "skm300.exe");
                break;
            case 1:
                at.AddLink(name, folders[next(folders.size())]);
                break;
            case 2:
            case 3:
                at.AddFile(name + ".txt");
                break;
            default:
                folders.push_back(at.AddFolder(name));
        }
    }
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        if (i > 0 && next(12) == 0)
            folders[i].MakeUnlistable();
        else if (next(12) == 0)
            folders[i].FailListingAfter(next(4));
        paths.push_back(folders[i].Path());
    }
    return paths;
}

// Everything the walk tells its visitor, in order, and from which thread.
class RecordingVisitor : public engine::FolderWalk::Visitor {
  public:
    std::vector<std::string> heard;
    std::size_t endAfter = SIZE_MAX;  // ends the walk at this call
    std::atomic<std::size_t> entered = 0;
    bool allOnWalkThread = true;

    bool EnterFolder(const std::string& path) override {
        ++entered;
        return Hear("enter " + path);
    }
    bool MarkerFound(const std::string& folder,
                     const std::optional<platform::FileId>& id) override {
        return Hear("marker " + folder + " " + (id ? std::to_string(id->file) : "-"));
    }
    void NotListed(const std::string& path) override { Hear("not listed " + path); }

  private:
    bool Hear(std::string what) {
        allOnWalkThread = allOnWalkThread && std::this_thread::get_id() == walkThread_;
        heard.push_back(std::move(what));
        return heard.size() < endAfter;
    }
    std::thread::id walkThread_ = std::this_thread::get_id();
};

// Fails one folder's listing with an exception, as a system might that the
// engine does not expect.
class ThrowingFiles : public platform::ForwardingFileSystem {
  public:
    using ForwardingFileSystem::ForwardingFileSystem;
    std::string throwAt;
    bool ListFolder(const std::string& folder, const EntrySink& onEntry) override {
        if (folder == throwAt)
            throw std::runtime_error("disk gone");
        return files_.ListFolder(folder, onEntry);
    }
};

std::vector<std::string> Walk(platform::FileSystem& files, RecordingVisitor& visitor,
                              engine::FolderWalk::ReadAhead readAhead) {
    try {
        engine::FolderWalk(files, "SKM300.EXE", visitor, std::move(readAhead)).Run("C:");
    } catch (const std::runtime_error& failure) {
        visitor.heard.push_back(std::string("threw ") + failure.what());
    }
    return visitor.heard;
}

TEST(ReadAhead, TheWalkHearsTheSameInTheSameOrderWhateverIsReadAhead) {
    struct Setting {
        unsigned threads;
        engine::ListingReadAhead::Limits limits;
    };
    const Setting settings[] = {{1, {}}, {3, {}}, {8, {}}, {4, {3, 1 << 20}}, {4, {64, 2048}}};
    for (std::uint64_t seed = 1; seed <= 24; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        MemoryFileSystem fs;
        const std::vector<std::string> folders = PlantRandomTree(fs, seed);
        ThrowingFiles files(fs);
        if (seed % 4 == 0)
            files.throwAt = folders[Mix(seed) % folders.size()];
        std::uint64_t endSeed = seed;
        for (const Setting& setting : settings) {
            // Listings take random times, so the threads finish out of order.
            std::atomic<std::size_t> started = 0;
            RecordingVisitor plain, ahead;
            RecordingVisitor* watched = &plain;
            fs.SetListingHook([&](const std::string& folder) {
                const std::size_t listing = ++started;
                // Beyond the folders entered, no more than the bound is read.
                EXPECT_LE(listing, watched->entered + setting.limits.listings) << folder;
                const std::uint64_t wait = Mix(seed ^ std::hash<std::string>{}(folder)) % 8;
                if (watched == &ahead && wait < 4)
                    std::this_thread::sleep_for(wait * 50us);
            });
            // Half the walks are ended by the visitor part way.
            plain.endAfter = ahead.endAfter = Mix(endSeed++) % 2 ? SIZE_MAX : Mix(seed) % 300;
            const std::vector<std::string> without = Walk(files, plain, {0, {}, {}});
            started = 0;
            watched = &ahead;
            const std::vector<std::string> with =
                Walk(files, ahead, {setting.threads, {}, setting.limits});
            fs.SetListingHook(nullptr);
            EXPECT_EQ(with, without) << setting.threads << " threads, " << setting.limits.listings
                                     << " listings, " << setting.limits.bytes << " bytes ahead";
            EXPECT_TRUE(ahead.allOnWalkThread);
        }
    }
}

// Counts the entries a listing takes in after the stop; each listing should
// take in none but the one it gives up at.
class EntriesAfterStop : public platform::ForwardingFileSystem {
  public:
    using ForwardingFileSystem::ForwardingFileSystem;
    std::atomic<bool> stopped = false;
    std::atomic<std::size_t> mostInOneListing = 0;
    bool ListFolder(const std::string& folder, const EntrySink& onEntry) override {
        std::size_t afterStop = 0;
        const bool listed = files_.ListFolder(folder, [&](const platform::FolderEntry& entry) {
            afterStop += stopped ? 1 : 0;
            return onEntry(entry);
        });
        std::size_t most = mostInOneListing;
        while (afterStop > most && !mostInOneListing.compare_exchange_weak(most, afterStop)) {
        }
        return listed;
    }
};

// The threads are busy reading ahead: three of them held in their listings,
// the fourth in a folder of 200,000 entries, where the stop falls. Nothing is
// entered after it, and every listing under way is given up at once; were
// one left to finish, the held ones would wait here for good.
TEST_F(EngineTest, AStopWhileFoldersAreReadAheadEndsTheRunAtOnce) {
    c.AddFolder("A").AddFolder("Deeper");
    Install(c, "B");
    const Folder huge = c.AddFolder("Huge");
    for (int i = 0; i < 200'000; ++i)
        huge.AddFile(std::string("f").append(std::to_string(i)));
    Install(c, "Later");
    const Contents before = fs.Contents();
    EntriesAfterStop counting(fs);

    std::mutex mutex;
    std::condition_variable stopped;
    engine::TMyThread* running = nullptr;
    fs.SetListingHook([&](const std::string& folder) {
        std::unique_lock lock(mutex);
        if (folder == "C:\\Huge") {
            counting.stopped = true;
            running->RequestStop();
            stopped.notify_all();
        } else if (folder != "C:" && folder.rfind(kPackage, 0) != 0) {
            EXPECT_TRUE(stopped.wait_for(lock, 20s, [&] { return counting.stopped.load(); }))
                << folder << " was held for good";
        }
    });
    {
        engine::TMyThread worker(counting, ui, report, nullptr, 4);
        {
            std::lock_guard lock(mutex);
            running = &worker;
        }
        worker.WaitForEnd();
        EXPECT_EQ(worker.Outcome(), engine::RunOutcome::Stopped);
    }
    fs.SetListingHook(nullptr);

    EXPECT_EQ(report.log, (Lines{kOpening, kStopped}));
    for (const std::string& shown : report.FoldersShown())
        EXPECT_TRUE(shown == "C:" || shown == "C:\\A") << shown << " entered after the stop";
    EXPECT_LE(counting.mostInOneListing, 1u);
    EXPECT_EQ(fs.Contents(), before);
    EXPECT_TRUE(fs.InstallationsOpened().empty());
}

}  // namespace
}  // namespace engine_test
