// The file table read from real NTFS images that mkntfs and ntfs-3g make:
// the walk it prunes finds what the whole walk finds, and a damaged table
// gives no index but a reason, so that the drive is walked whole.
#include <sys/resource.h>
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

#include "engine/filetable/FileRecord.h"
#include "engine/filetable/FileTable.h"
#include "engine/filetable/NtfsLayout.h"
#include "engine/search/DriveTable.h"
#include "engine/search/FolderWalk.h"
#include "platform/ForwardingFileSystem.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/VolumeFile.h"
#include "tests/filetable/JournalAnswer.h"
#include "tests/filetable/NtfsImage.h"

namespace {

using engine::FileTableRead;
namespace ntfs = engine::ntfs;
namespace attribute = ntfs::attribute;
namespace boot = ntfs::boot;
namespace file_name = ntfs::file_name;
using ntfs::Read;
using testing_ntfs::NtfsImage;

constexpr std::string_view kMarker = "SKM300.EXE";

FileTableRead ReadImage(platform::RawVolume& volume) {
    return engine::ReadFileTable(volume, kMarker, [](std::uint64_t) { return true; });
}

// How the journal of a BytesVolume answers once the table has been read.
enum class Journal : std::uint8_t {
    Kept,     // with every change since
    Wrapped,  // without the first of them
    Short,    // with them all, but never past them to where it stands
};

// A volume held in memory, to be damaged at will. Until it is flushed it
// serves `before`, as NTFS's table on disk lags what it holds in memory.
// Its change journal, if it has one, stands at `journal` when first asked,
// which must be before the flush; then it has recorded `changes`.
class BytesVolume final : public platform::RawVolume {
  public:
    explicit BytesVolume(std::vector<std::byte> bytes) : before_(bytes), after_(std::move(bytes)) {}
    BytesVolume(std::vector<std::byte> before, std::vector<std::byte> after,
                std::optional<platform::JournalPosition> journal,
                const std::vector<platform::VolumeChange>& changes, Journal kept = Journal::Kept)
        : before_(std::move(before)), after_(std::move(after)), journal_(journal) {
        if (!journal)
            return;
        platform::JournalPosition now = *journal;
        std::vector<testing_ntfs::CraftedRecord> records;
        for (const platform::VolumeChange& change : changes) {
            records.push_back({now.next, change});
            now.next += testing_ntfs::kCraftedRecordBytes;
        }
        now.first = kept == Journal::Wrapped ? journal->next + 1 : journal->first;
        const std::int64_t end = kept == Journal::Short ? journal->next : now.next;
        later_.emplace(
            now, std::vector<std::vector<std::byte>>{testing_ntfs::JournalAnswerOf(end, records)});
    }
    std::uint32_t SectorSize() const override { return 4096; }
    platform::Failure Read(std::uint64_t offset, std::span<std::byte> buffer) override {
        const std::vector<std::byte>& bytes = flushed_ ? after_ : before_;
        if (offset % 4096 != 0 || buffer.size() % 4096 != 0 ||
            reinterpret_cast<std::uintptr_t>(buffer.data()) % 4096 != 0)
            return platform::FileError{platform::FileError::Kind::Other, "unaligned read"};
        if (offset > bytes.size() || buffer.size() > bytes.size() - offset)
            return platform::FileError{platform::FileError::Kind::Other, "past the end"};
        std::memcpy(buffer.data(), bytes.data() + offset, buffer.size());
        return std::nullopt;
    }
    platform::Failure Flush() override {
        flushed_ = true;
        return std::nullopt;
    }
    platform::Result<std::optional<platform::JournalPosition>> JournalNow() override {
        if (noted_ && later_)
            return later_->JournalNow();
        noted_ = true;
        if (flushed_)
            return platform::FileError{platform::FileError::Kind::Other, "noted after the flush"};
        return journal_;
    }
    platform::Result<std::size_t> ReadJournal(const platform::JournalPosition& from,
                                              std::uint32_t reasons,
                                              std::span<std::byte> buffer) override {
        return later_->ReadJournal(from, reasons, buffer);
    }

  private:
    std::vector<std::byte> before_, after_;
    bool flushed_ = false;
    bool noted_ = false;
    std::optional<platform::JournalPosition> journal_;
    std::optional<testing_ntfs::AnsweringVolume> later_;
};

// The folders of an NTFS image mounted as D:, over whose volume `volume`
// makes a BytesVolume.
class ImageDrive final : public platform::ForwardingFileSystem {
  public:
    ImageDrive(const std::string& mount, std::function<std::unique_ptr<BytesVolume>()> volume)
        : ForwardingFileSystem(files_),
          files_(platform::DriveMap{{'D', mount}}),
          volume_(std::move(volume)) {}
    platform::Result<std::unique_ptr<platform::RawVolume>> OpenRawVolume(char) override {
        return std::unique_ptr<platform::RawVolume>(volume_());
    }

  private:
    platform::PosixFileSystem files_;
    std::function<std::unique_ptr<BytesVolume>()> volume_;
};

std::vector<std::byte> BytesOf(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::byte> bytes(raw.size());
    std::memcpy(bytes.data(), raw.data(), raw.size());
    return bytes;
}

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

// The folders whose records a walk by `table` leads to, against the whole
// walk: the same markers, and only folders the whole walk entered, in its
// order.
void ExpectFoundAsByTheWalk(const Walked& pruned, const Walked& whole) {
    EXPECT_EQ(pruned.markers, whole.markers);
    std::vector<std::string> kept;
    std::copy_if(whole.entered.begin(), whole.entered.end(), std::back_inserter(kept),
                 [&](const std::string& path) {
                     return std::find(pruned.entered.begin(), pruned.entered.end(), path) !=
                            pruned.entered.end();
                 });
    EXPECT_EQ(kept, pruned.entered);
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
            ExpectFoundAsByTheWalk(pruned, whole);
            EXPECT_LT(pruned.entered.size(), whole.entered.size());
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

void PutLittle(std::vector<std::byte>& bytes, std::size_t at, std::size_t width,
               std::uint64_t value) {
    for (std::size_t i = 0; i < width; ++i)
        bytes[at + i] = static_cast<std::byte>((value >> (8 * i)) & 0xFF);
}

template <typename T>
void Put(std::vector<std::byte>& bytes, std::size_t base, ntfs::Field<T> field,
         std::uint64_t value) {
    PutLittle(bytes, base + field.offset, sizeof(T), value);
}

Layout LayoutOf(const std::vector<std::byte>& image) {
    Layout layout;
    layout.cluster =
        std::size_t{Read(image, boot::kBytesPerSector)} * Read(image, boot::kSectorsPerCluster);
    const std::int8_t perRecord = Read(image, boot::kClustersPerRecord);
    layout.record = perRecord > 0 ? perRecord * layout.cluster : std::size_t{1} << -perRecord;
    layout.table = Read(image, boot::kTableCluster) * layout.cluster;
    return layout;
}

// The offset, in the image, of the first attribute `type` of a record.
std::size_t AttributeAt(const std::vector<std::byte>& image, std::size_t record,
                        std::uint32_t type) {
    std::size_t at = record + Read(image, record, ntfs::record::kFirstAttribute);
    while (Read(image, at, attribute::kType) != type &&
           Read(image, at, attribute::kType) != attribute::kEnd)
        at += Read(image, at, attribute::kLength);
    return at;
}

long PeakKib() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The table's own extents, from its record 0.
engine::ntfs::NonResidentValue TableOf(const std::vector<std::byte>& image) {
    const Layout layout = LayoutOf(image);
    const auto from = image.begin() + static_cast<std::ptrdiff_t>(layout.table);
    std::vector<std::byte> first(from, from + static_cast<std::ptrdiff_t>(layout.record));
    engine::ntfs::NonResidentValue table;
    EXPECT_TRUE(engine::ntfs::ApplyFixups(first));
    EXPECT_TRUE(engine::ntfs::FindNonResident(first, engine::ntfs::kData,
                                              image.size() / layout.cluster, table));
    return table;
}

// Where record `n` lies in an image, by the table's own run list: the
// table grows in pieces.
std::size_t RecordAt(const std::vector<std::byte>& image, std::uint64_t n) {
    const Layout layout = LayoutOf(image);
    const std::uint64_t at = n * layout.record;
    for (const engine::ntfs::Extent& e : TableOf(image).extents) {
        if (at / layout.cluster - e.vcn < e.clusters)
            return e.lcn * layout.cluster + (at - e.vcn * layout.cluster);
    }
    ADD_FAILURE() << "record " << n << " is not in the table";
    return 0;
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
    const std::vector<std::byte> pristine = BytesOf(image.Image());
    const Layout layout = LayoutOf(pristine);
    const auto recordAt = [&](std::uint64_t n) { return RecordAt(pristine, n); };
    engine::ntfs::NonResidentValue table = TableOf(pristine);
    const std::uint64_t volumeClusters = Read(pristine, boot::kTotalSectors) *
                                         Read(pristine, boot::kBytesPerSector) / layout.cluster;
    // The table's own run list rewritten to `runs`, the 0 that ends it
    // added, in room made for it within the record's first stride.
    const auto rewriteRuns = [&](std::vector<std::byte>& b, std::vector<std::uint8_t> runs,
                                 std::uint64_t lastVcn) {
        const std::size_t record = recordAt(0);
        const std::size_t data = AttributeAt(b, record, ntfs::kData);
        const std::size_t length = Read(b, data, attribute::kLength);
        const std::size_t used = Read(b, record, ntfs::record::kUsedBytes);
        constexpr std::size_t kRoom = 32;
        ASSERT_LE(used + kRoom, 510U);
        std::memmove(&b[data + length + kRoom], &b[data + length], record + used - data - length);
        Put(b, data, attribute::kLength, length + kRoom);
        Put(b, record, ntfs::record::kUsedBytes, used + kRoom);
        runs.push_back(0);
        ASSERT_LE(runs.size(), length + kRoom - Read(b, data, attribute::kRunsOffset));
        std::memcpy(&b[data + Read(b, data, attribute::kRunsOffset)], runs.data(), runs.size());
        Put(b, data, attribute::kLastVcn, lastVcn);
    };
    // A run of `clusters` (four bytes) `step` clusters on from the last
    // (eight bytes).
    const auto run = [](std::uint32_t clusters, std::int64_t step) {
        std::vector<std::uint8_t> bytes = {0x84};
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<std::uint8_t>(clusters >> (8 * i)));
        for (int i = 0; i < 8; ++i)
            bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(step) >> (8 * i)));
        return bytes;
    };
    const auto runs = [](std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const auto start = static_cast<std::int64_t>(table.extents.front().lcn);
    const auto length = static_cast<std::uint32_t>(table.lastVcn + 1);

    struct Case {
        const char* what;
        std::function<void(std::vector<std::byte>&)> damage;
        const char* why;  // part of the reason given
    };
    const std::vector<Case> cases = {
        {"no boot sector", [](auto& b) { std::memcpy(&b[boot::kOemId], "FAT32   ", 8); },
         "not NTFS"},
        {"a cluster of 3 sectors", [](auto& b) { Put(b, 0, boot::kSectorsPerCluster, 3); },
         "boot sector"},
        {"records of 100 bytes", [](auto& b) { Put(b, 0, boot::kClustersPerRecord, 0xF9); },
         "boot sector"},
        {"bad fix-ups", [&](auto& b) { b[recordAt(5) + 510] ^= std::byte{0xFF}; },
         "fix-ups of record 5"},
        {"a run list beyond the volume",
         [&](auto& b) {
             const std::size_t data = AttributeAt(b, recordAt(0), ntfs::kData);
             const std::size_t runs = data + Read(b, data, attribute::kRunsOffset);
             // The first run, of the same length, starting two billion
             // clusters on.
             const std::size_t lengthBytes = std::to_integer<std::size_t>(b[runs]) & 0xF;
             b[runs] = static_cast<std::byte>(0x40 | lengthBytes);
             PutLittle(b, runs + 1 + lengthBytes, 5, 0x7FFFFFFF);
         },
         "own record does not add up"},
        {"a parent cycle",
         [&](auto& b) {
             const std::size_t name = AttributeAt(b, recordAt(outer), ntfs::kFileName);
             const std::size_t value = name + Read(b, name, attribute::kValueOffset);
             // The record number alone, the folder's sequence number kept.
             PutLittle(b, value + file_name::kParent.offset, 6, inner);
         },
         "cycle"},
        {"a record cut short",
         [&](auto& b) { Put(b, recordAt(inner), ntfs::record::kUsedBytes, 0x40); },
         "does not add up"},
        {"a zeroed table",
         [&](auto& b) { std::memset(b.data() + layout.table, 0, 16 * layout.record); },
         "not in use"},
        {"a table larger than the volume",
         [&](auto& b) {
             Put(b, AttributeAt(b, recordAt(0), ntfs::kData), attribute::kDataSize, 2 * b.size());
         },
         "more bytes than the volume holds"},
        {"extents that overlap",
         [&](auto& b) { rewriteRuns(b, runs(run(length, start), run(length, 1)), 2 * length - 1); },
         "overlap"},
        {"extents of more clusters than the volume",
         [&](auto& b) {
             const auto most = static_cast<std::uint32_t>(volumeClusters - 1);
             rewriteRuns(b, runs(run(most, 1), run(most, -1)), 2 * std::uint64_t{most} - 1);
         },
         "more clusters than the volume has"},
        {"billions of records on a volume that claims a petabyte",
         [&](auto& b) {
             Put(b, 0, boot::kTotalSectors, std::uint64_t{1} << 41);
             rewriteRuns(b, run(1U << 28, 1), (1U << 28) - 1);
             Put(b, AttributeAt(b, recordAt(0), ntfs::kData), attribute::kDataSize,
                 (std::uint64_t{1} << 28) * layout.cluster);
         },
         "need more memory than the search may take"},
        {"a step back of INT64_MIN",
         [&](auto& b) { rewriteRuns(b, runs(run(length, start), run(1, INT64_MIN)), length); },
         "own record does not add up"},
    };
    {
        BytesVolume sound(pristine);
        ASSERT_TRUE(ReadImage(sound).places) << ReadImage(sound).why;
    }
    const long peakBefore = PeakKib();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::byte> damaged = pristine;
        c.damage(damaged);
        BytesVolume volume(std::move(damaged));
        const FileTableRead read = ReadImage(volume);
        EXPECT_FALSE(read.places);
        EXPECT_NE(read.why.find(c.why), std::string::npos) << read.why;
    }
    // Whatever a volume claims, its reading takes little memory: the copies
    // of the image above are the most this test holds. AddressSanitizer keeps
    // what is freed for a while, and the figure with it.
#ifndef __SANITIZE_ADDRESS__
    EXPECT_LT(PeakKib() - peakBefore, 64 * 1024);
#else
    (void)peakBefore;
#endif
}

std::uint16_t SequenceOf(const std::vector<std::byte>& image, std::uint64_t record) {
    return Read(image, RecordAt(image, record), ntfs::record::kSequence);
}

// An installation copied into a folder that was there before: the table on
// disk does not show it until NTFS has written what it holds in memory.
TEST(FileTable, TheVolumeIsFlushedBeforeItsTableIsRead) {
    NtfsImage image(12);
    if (!image.Usable())
        GTEST_SKIP() << image.Why();
    image.FillRandomly(5);
    std::filesystem::create_directories(image.Mount() + "/quiet/deeper");
    ASSERT_TRUE(image.Unmount());
    const std::vector<std::byte> before = BytesOf(image.Image());
    ASSERT_TRUE(image.Remount());
    std::filesystem::create_directories(image.Mount() + "/quiet/deeper/Audio/Term/GROUP3");
    std::ofstream(image.Mount() + "/quiet/deeper/SKM300.EXE") << "x";
    ASSERT_TRUE(image.Unmount());
    const std::vector<std::byte> after = BytesOf(image.Image());
    ASSERT_TRUE(image.Remount());

    ImageDrive drive(image.Mount(), [&] {
        return std::make_unique<BytesVolume>(before, after, std::nullopt,
                                             std::vector<platform::VolumeChange>{});
    });
    engine::DriveTable table(drive, 'D', kMarker, false, [](std::uint64_t) { return true; });
    ASSERT_TRUE(table.Places()) << table.How();
    EXPECT_TRUE(table.How().ends_with(" s, no change journal")) << table.How();
    const Walked whole = Walk(image.Mount(), nullptr, 0);
    EXPECT_NE(std::find(whole.markers.begin(), whole.markers.end(), "D:\\quiet\\deeper"),
              whole.markers.end());
    ExpectFoundAsByTheWalk(Walk(image.Mount(), table.Places(), 0), whole);
    EXPECT_EQ(table.SinceRead(), engine::DriveTable::Changes::None);
}

// A folder made, and a file renamed to the marker's name, while the drive
// was searched by its table: the journal names their folders, which are
// searched again; where it cannot tell, the drive is walked whole.
TEST(FileTable, FoldersChangedDuringTheSearchAreSearchedAgain) {
    using platform::change_reason::kCreated;
    using platform::change_reason::kNewName;
    using platform::change_reason::kOldName;
    using Changes = engine::DriveTable::Changes;
    NtfsImage image(12);
    if (!image.Usable())
        GTEST_SKIP() << image.Why();
    image.FillRandomly(9);
    std::filesystem::create_directories(image.Mount() + "/quiet");
    std::filesystem::create_directories(image.Mount() + "/calm");
    std::ofstream(image.Mount() + "/calm/note.txt") << "x";
    ASSERT_TRUE(image.Unmount());
    const std::vector<std::byte> bytes = BytesOf(image.Image());
    ASSERT_TRUE(image.Remount());
    const platform::FileReference quiet{image.RecordOf("quiet"),
                                        SequenceOf(bytes, image.RecordOf("quiet"))};
    const platform::FileReference calm{image.RecordOf("calm"),
                                       SequenceOf(bytes, image.RecordOf("calm"))};
    const platform::FileReference note{image.RecordOf("calm/note.txt"), 1};
    std::filesystem::create_directories(image.Mount() + "/quiet/new");
    std::ofstream(image.Mount() + "/quiet/new/SKM300.EXE") << "x";
    std::filesystem::rename(image.Mount() + "/calm/note.txt", image.Mount() + "/calm/SKM300.EXE");
    const platform::FileReference made{image.RecordOf("quiet/new"), 3};
    const platform::FileReference marker{image.RecordOf("quiet/new/SKM300.EXE"), 1};
    const Walked whole = Walk(image.Mount(), nullptr, 0);

    struct Case {
        const char* what;
        std::vector<platform::VolumeChange> journal;
        Changes expected;
        const char* why;  // part of the search line, when the drive is walked whole
        Journal kept = Journal::Kept;
    };
    const std::vector<Case> cases = {
        {"a folder made and a file renamed",
         {{made, quiet, true, kCreated},
          {marker, made, false, kCreated},
          {note, calm, false, kOldName},
          {note, calm, false, kNewName}},
         Changes::Folders,
         ""},
        {"the journal wrapped", {}, Changes::Whole, "wrapped", Journal::Wrapped},
        {"the journal's answers end short of where it stood",
         {{made, quiet, true, kCreated}},
         Changes::Whole,
         "short of",
         Journal::Short},
        {"a folder the table does not know",
         {{marker,
           {quiet.record, static_cast<std::uint16_t>(quiet.sequence + 1)},
           false,
           kCreated}},
         Changes::Whole,
         "no folder the file table knows"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ImageDrive drive(image.Mount(), [&] {
            return std::make_unique<BytesVolume>(bytes, bytes, platform::JournalPosition{7, 100},
                                                 c.journal, c.kept);
        });
        engine::DriveTable table(drive, 'D', kMarker, false, [](std::uint64_t) { return true; });
        ASSERT_TRUE(table.Places()) << table.How();
        const Walked first = Walk(image.Mount(), table.Places(), 0);
        EXPECT_LT(first.markers.size(), whole.markers.size());
        EXPECT_EQ(table.SinceRead(), c.expected);
        if (c.expected == Changes::Whole) {
            EXPECT_FALSE(table.Places());
            EXPECT_NE(table.How().find(c.why), std::string::npos) << table.How();
            continue;
        }
        const Walked again = Walk(image.Mount(), table.Places(), 0);
        std::set<std::string> found(first.markers.begin(), first.markers.end());
        found.insert(again.markers.begin(), again.markers.end());
        EXPECT_EQ(found, std::set<std::string>(whole.markers.begin(), whole.markers.end()));
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
