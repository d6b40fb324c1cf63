// The file table read from real NTFS images that mkntfs and ntfs-3g make:
// the walk it prunes finds what the whole walk finds, and a damaged table
// gives no index but a reason, so that the drive is walked whole.
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/FileRecord.h"
#include "engine/FileTable.h"
#include "engine/FolderWalk.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/VolumeFile.h"
#include "tests/filetable/NtfsImage.h"

namespace {

using engine::FileTableRead;
using testing_ntfs::NtfsImage;

constexpr std::string_view kMarker = "SKM300.EXE";

FileTableRead ReadImage(platform::RawVolume& volume) {
    return engine::ReadFileTable(volume, kMarker, [](std::uint64_t) { return true; });
}

// A volume held in memory, to be damaged at will.
class BytesVolume final : public platform::RawVolume {
  public:
    explicit BytesVolume(std::vector<std::byte> bytes) : bytes_(std::move(bytes)) {}
    std::uint32_t SectorSize() const override { return 4096; }
    platform::Failure Read(std::uint64_t offset, std::span<std::byte> buffer) override {
        if (offset % 4096 != 0 || buffer.size() % 4096 != 0 ||
            reinterpret_cast<std::uintptr_t>(buffer.data()) % 4096 != 0)
            return platform::FileError{platform::FileError::Kind::Other, "unaligned read"};
        if (offset > bytes_.size() || buffer.size() > bytes_.size() - offset)
            return platform::FileError{platform::FileError::Kind::Other, "past the end"};
        std::memcpy(buffer.data(), bytes_.data() + offset, buffer.size());
        return std::nullopt;
    }

    platform::Failure Flush() override { return std::nullopt; }
    platform::Result<std::optional<platform::JournalPosition>> JournalNow() override {
        return std::optional<platform::JournalPosition>{};
    }
    platform::Failure ReadChanges(
        const platform::JournalPosition&,
        const std::function<bool(const platform::VolumeChange&)>&) override {
        return platform::FileError{platform::FileError::Kind::Other, "no journal"};
    }

  private:
    std::vector<std::byte> bytes_;
};

struct Walked {
    std::vector<std::string> entered;
    std::vector<std::string> markers;
};

class Recorder final : public engine::FolderWalk::Visitor {
  public:
    explicit Recorder(Walked& walked) : walked_(walked) {}
    bool EnterFolder(const std::string& path) override {
        walked_.entered.push_back(path);
        return true;
    }
    bool MarkerFound(const std::string& folder, const std::optional<platform::FileId>&) override {
        walked_.markers.push_back(folder);
        return true;
    }

  private:
    Walked& walked_;
};

Walked Walk(const std::string& mount, const engine::InstallationPlaces* places, unsigned threads) {
    platform::PosixFileSystem files(platform::DriveMap{{'D', mount}});
    Walked walked;
    Recorder recorder(walked);
    engine::FolderWalk(files, kMarker, recorder, {threads, {}, {}}).Run("D:", places);
    return walked;
}

std::string OnMount(const std::string& mount, std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return mount + path.substr(2);
}

bool IsLink(const std::string& file) {
    struct stat facts {};
    return ::lstat(file.c_str(), &facts) == 0 && S_ISLNK(facts.st_mode);
}

bool Within(const std::string& path, const std::string& folder) {
    return path == folder ||
           (path.size() > folder.size() && path.starts_with(folder) && path[folder.size()] == '\\');
}

TEST(FileTable, FindsWhatTheWalkFindsOnRandomImages) {
    for (const std::uint64_t seed : {1U, 2U, 3U}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        // Clusters smaller than records on one: a record may then lie
        // across two of the table's extents.
        NtfsImage image(12, seed == 3 ? 512 : 0);
        if (!image.Usable())
            GTEST_SKIP() << image.Why();
        image.FillRandomly(seed);
        ASSERT_TRUE(image.Usable()) << image.Why();
        ASSERT_TRUE(image.Unmount());
        auto volume = platform::OpenVolumeFile(image.Image());
        ASSERT_TRUE(volume);
        const FileTableRead read = ReadImage(**volume);
        ASSERT_TRUE(read.places) << read.why;
        EXPECT_GT(read.records, 16U);
        ASSERT_TRUE(image.Remount());

        const Walked whole = Walk(image.Mount(), nullptr, 0);
        for (const unsigned threads : {0U, 3U}) {
            const Walked pruned = Walk(image.Mount(), &*read.places, threads);
            EXPECT_EQ(pruned.markers, whole.markers);
            EXPECT_LT(pruned.entered.size(), whole.entered.size());
            // In the same order, and only folders the whole walk entered.
            std::vector<std::string> kept;
            std::copy_if(whole.entered.begin(), whole.entered.end(), std::back_inserter(kept),
                         [&](const std::string& path) {
                             return std::find(pruned.entered.begin(), pruned.entered.end(), path) !=
                                    pruned.entered.end();
                         });
            EXPECT_EQ(kept, pruned.entered);
            // Every folder that holds a marker or a link, every folder above
            // one, and everything below a link.
            std::vector<std::string> links;
            for (const std::string& path : whole.entered) {
                if (IsLink(OnMount(image.Mount(), path)))
                    links.push_back(path);
            }
            EXPECT_FALSE(links.empty());
            EXPECT_FALSE(whole.markers.empty());
            const std::set<std::string> entered(pruned.entered.begin(), pruned.entered.end());
            for (const std::string& path : whole.entered) {
                const auto holds = [&](const std::string& inside) { return Within(inside, path); };
                const bool needed =
                    std::any_of(whole.markers.begin(), whole.markers.end(), holds) ||
                    std::any_of(links.begin(), links.end(), holds) ||
                    std::any_of(links.begin(), links.end(),
                                [&](const std::string& link) { return Within(path, link); });
                if (needed) {
                    EXPECT_TRUE(entered.contains(path)) << path;
                }
            }
        }
    }
}

// The offsets of the table in an image, read as the reader reads them, to
// damage them.
struct Layout {
    std::size_t cluster = 0;
    std::size_t record = 0;
    std::size_t table = 0;  // byte offset of record 0
};

std::uint64_t Little(const std::vector<std::byte>& bytes, std::size_t at, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = width; i-- > 0;)
        value = (value << 8) | std::to_integer<std::uint64_t>(bytes[at + i]);
    return value;
}

void PutLittle(std::vector<std::byte>& bytes, std::size_t at, std::size_t width,
               std::uint64_t value) {
    for (std::size_t i = 0; i < width; ++i)
        bytes[at + i] = static_cast<std::byte>((value >> (8 * i)) & 0xFF);
}

Layout LayoutOf(const std::vector<std::byte>& image) {
    Layout layout;
    layout.cluster = Little(image, 0x0B, 2) * Little(image, 0x0D, 1);
    const auto perRecord = static_cast<std::int8_t>(Little(image, 0x40, 1));
    layout.record = perRecord > 0 ? perRecord * layout.cluster : std::size_t{1} << -perRecord;
    layout.table = Little(image, 0x30, 8) * layout.cluster;
    return layout;
}

// The offset, in the image, of the first attribute `type` of a record.
std::size_t AttributeAt(const std::vector<std::byte>& image, std::size_t record,
                        std::uint32_t type) {
    std::size_t at = record + Little(image, record + 0x14, 2);
    while (Little(image, at, 4) != type && Little(image, at, 4) != 0xFFFFFFFF)
        at += Little(image, at + 4, 4);
    return at;
}

TEST(FileTable, ADamagedTableGivesAReasonToWalk) {
    NtfsImage image(12);
    if (!image.Usable())
        GTEST_SKIP() << image.Why();
    image.FillRandomly(7);
    ASSERT_TRUE(image.Usable()) << image.Why();
    // A folder above an installation, and the folder below it, to make a
    // cycle of their parents.
    std::filesystem::create_directories(image.Mount() + "/outer/inner");
    std::ofstream(image.Mount() + "/outer/inner/SKM300.EXE") << "x";
    const std::uint64_t outer = image.RecordOf("outer");
    const std::uint64_t inner = image.RecordOf("outer/inner");
    ASSERT_TRUE(image.Unmount());
    std::ifstream in(image.Image(), std::ios::binary);
    std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::byte> pristine(raw.size());
    std::memcpy(pristine.data(), raw.data(), raw.size());
    const Layout layout = LayoutOf(pristine);
    // Where each record lies, by the table's own run list: it grows in
    // pieces.
    engine::ntfs::NonResidentValue table;
    {
        const std::span<const std::byte> whole(pristine);
        std::vector<std::byte> first(
            whole.begin() + static_cast<std::ptrdiff_t>(layout.table),
            whole.begin() + static_cast<std::ptrdiff_t>(layout.table + layout.record));
        ASSERT_TRUE(engine::ntfs::ApplyFixups(first));
        ASSERT_TRUE(engine::ntfs::FindNonResident(first, engine::ntfs::kData,
                                                  pristine.size() / layout.cluster, table));
    }
    const auto recordAt = [&](std::uint64_t n) {
        const std::uint64_t at = n * layout.record;
        for (const engine::ntfs::Extent& e : table.extents) {
            if (at / layout.cluster - e.vcn < e.clusters)
                return e.lcn * layout.cluster + (at - e.vcn * layout.cluster);
        }
        ADD_FAILURE() << "record " << n << " is not in the table";
        return std::uint64_t{0};
    };

    struct Case {
        const char* what;
        std::function<void(std::vector<std::byte>&)> damage;
        const char* why;  // part of the reason given
    };
    const std::vector<Case> cases = {
        {"no boot sector", [](auto& b) { std::memcpy(&b[3], "FAT32   ", 8); }, "not NTFS"},
        {"a cluster of 3 sectors", [](auto& b) { b[0x0D] = std::byte{3}; }, "boot sector"},
        {"records of 100 bytes", [](auto& b) { b[0x40] = std::byte{0xF9}; }, "boot sector"},
        {"bad fix-ups", [&](auto& b) { b[recordAt(5) + 510] ^= std::byte{0xFF}; },
         "fix-ups of record 5"},
        {"a run list beyond the volume",
         [&](auto& b) {
             const std::size_t data = AttributeAt(b, recordAt(0), 0x80);
             const std::size_t runs = data + Little(b, data + 0x20, 2);
             // The first run, of the same length, starting two billion
             // clusters on.
             const std::size_t lengthBytes = Little(b, runs, 1) & 0xF;
             b[runs] = static_cast<std::byte>(0x40 | lengthBytes);
             PutLittle(b, runs + 1 + lengthBytes, 5, 0x7FFFFFFF);
         },
         "own record does not add up"},
        {"a parent cycle",
         [&](auto& b) {
             const std::size_t name = AttributeAt(b, recordAt(outer), 0x30);
             const std::size_t value = name + Little(b, name + 20, 2);
             PutLittle(b, value, 6, inner);
         },
         "cycle"},
        {"a record cut short", [&](auto& b) { PutLittle(b, recordAt(inner) + 0x18, 4, 0x40); },
         "does not add up"},
        {"a zeroed table",
         [&](auto& b) { std::memset(b.data() + layout.table, 0, 16 * layout.record); },
         "not in use"},
    };
    {
        BytesVolume sound(pristine);
        ASSERT_TRUE(ReadImage(sound).places) << ReadImage(sound).why;
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::byte> damaged = pristine;
        c.damage(damaged);
        BytesVolume volume(std::move(damaged));
        const FileTableRead read = ReadImage(volume);
        EXPECT_FALSE(read.places);
        EXPECT_NE(read.why.find(c.why), std::string::npos) << read.why;
    }
}

TEST(FileTable, AStopEndsTheReadingAndProgressCountsRecords) {
    NtfsImage image(12);
    if (!image.Usable())
        GTEST_SKIP() << image.Why();
    image.FillRandomly(11);
    ASSERT_TRUE(image.Usable()) << image.Why();
    ASSERT_TRUE(image.Unmount());
    auto volume = platform::OpenVolumeFile(image.Image());
    ASSERT_TRUE(volume);
    std::vector<std::uint64_t> told;
    const FileTableRead whole = engine::ReadFileTable(**volume, kMarker, [&](std::uint64_t n) {
        told.push_back(n);
        return true;
    });
    ASSERT_TRUE(whole.places) << whole.why;
    EXPECT_TRUE(std::is_sorted(told.begin(), told.end()));
    EXPECT_EQ(told.back(), whole.records);
    const FileTableRead stopped =
        engine::ReadFileTable(**volume, kMarker, [](std::uint64_t) { return false; });
    EXPECT_FALSE(stopped.places);
    EXPECT_EQ(stopped.why, "stopped");
}

}  // namespace
