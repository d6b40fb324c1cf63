#include "platform/win32/SetAside.h"

#include <atomic>
#include <cstdio>
#include <optional>

#include "platform/PathJoin.h"
#include "platform/win32/OwnerAndList.h"

namespace platform {
namespace {

constexpr ULONG kAnyShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A run spends at most this much on deleting what was set aside, and opens
// at most this many folders on the way down: a deeper one is moved up to
// be set aside by itself.
constexpr ULONGLONG kRemovalTimePerRun = 400;  // milliseconds
constexpr int kDeepest = 32;
// A folder's names are read in slices: a planted one may hold millions.
constexpr std::size_t kNamesPerListing = 4096;

// The time this run has spent deleting what was set aside, all calls
// together.
std::atomic<ULONGLONG> removalSpent{0};

// One call's deleting, which adds its time to the run's on its end.
class RemovalTime {
  public:
    RemovalTime() = default;
    ~RemovalTime() { removalSpent += GetTickCount64() - started_; }
    RemovalTime(const RemovalTime&) = delete;
    RemovalTime& operator=(const RemovalTime&) = delete;
    bool Left() const {
        return removalSpent.load() + (GetTickCount64() - started_) < kRemovalTimePerRun;
    }

  private:
    ULONGLONG started_ = GetTickCount64();
};

constexpr char kTimeUp[] = "left for the next run";

Leftover Below(std::string_view name, Leftover inner) {
    if (inner.why == kTimeUp)
        return inner;
    inner.where = inner.where.empty() ? std::string(name) : JoinPath(name, inner.where);
    return inner;
}

// Deletes the entry `name` of `folder` as itself: a link, never what it
// leads to; a folder with everything in it, as far as the run's time goes.
// A folder `depth` levels below `top`, the folder of ours the whole was set
// aside in, at kDeepest is moved up into `top` under a name of ours: the
// next listing of `top` takes it on.
std::optional<Leftover> RemoveEntry(const HeldFolder& top, const HeldFolder& folder,
                                    std::string_view name, int depth, const RemovalTime& time) {
    if (!time.Left())
        return Leftover{{}, kTimeUp};
    auto entry = OpenEntry(folder, name,
                           {kRemoving, kAnyShare, FILE_OPEN, FILE_OPEN_FOR_BACKUP_INTENT, true});
    if (!entry) {
        if (entry.Error().kind == FileError::Kind::NotFound)
            return std::nullopt;  // gone already
        return Leftover{{}, entry.Error().description};
    }
    const DWORD attributes = entry->attributes;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        if (depth >= kDeepest) {
            Failure moved;
            for (unsigned attempt = 0; attempt < 4; ++attempt) {
                moved = RenameInFolder(entry->handle.Get(), top, SetAsideName(attempt));
                if (!moved)
                    return std::nullopt;
            }
            return Leftover{{}, moved->description};
        }
        HeldFolder inside{std::move(entry->handle), {}};
        inside.systemName = SystemNameOf(inside.handle.Get());
        // Slice by slice, each listing from the first name again: what could
        // not be deleted is passed over, until a slice holds nothing else.
        while (true) {
            auto listing = ReopenForListing(inside);
            if (!listing)
                return Leftover{{}, listing.Error().description};
            std::vector<std::string> names;
            if (auto failure = ListNames(listing->Get(), kNamesPerListing, names))
                return Leftover{{}, failure->description};
            if (names.empty())
                break;
            std::optional<Leftover> first;
            bool removedAny = false;
            for (const std::string& each : names) {
                if (auto left = RemoveEntry(top, inside, each, depth + 1, time)) {
                    if (left->why == kTimeUp)
                        return left;
                    if (!first)
                        first = Below(each, std::move(*left));
                } else {
                    removedAny = true;
                }
            }
            if (!removedAny)
                return first;
        }
        entry->handle = std::move(inside.handle);
    }
    if (auto failure = DeleteOpened(entry->handle.Get(), attributes))
        return Leftover{{}, failure->description};
    return std::nullopt;
}

}  // namespace

std::string SetAsideName(unsigned attempt) {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    char name[48];
    std::snprintf(name, sizeof name, "%.*s%08lx%08llx%02x", int(kSetAsidePrefix.size()),
                  kSetAsidePrefix.data(), GetCurrentProcessId(),
                  static_cast<unsigned long long>(now.QuadPart) & 0xffffffffULL, attempt & 0xff);
    return name;
}

Result<SetAsideOutcome> SetAsideEntry(const HeldFolder& folder, std::string_view name) {
    const RecoveryPrivileges privileges;
    auto entry = OpenEntry(folder, name,
                           {kRemoving | READ_CONTROL | WRITE_DAC | WRITE_OWNER, kAnyShare,
                            FILE_OPEN, FILE_OPEN_FOR_BACKUP_INTENT, true});
    if (!entry)
        return entry.Error();
    Failure renamed;
    for (unsigned attempt = 0; attempt < 4; ++attempt) {
        renamed = RenameInFolder(entry->handle.Get(), folder, SetAsideName(attempt));
        if (!renamed)
            break;
    }
    if (renamed)
        return *renamed;
    const bool plainFolder = (entry->attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                             !(entry->attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    if (!plainFolder && !DeleteOpened(entry->handle.Get(), entry->attributes))
        return SetAsideOutcome::Deleted;
    if (plainFolder)
        MakeOurs(entry->handle.Get());
    return SetAsideOutcome::Left;
}

std::vector<std::pair<std::string, Leftover>> RemoveSetAside(const HeldFolder& folder) {
    const RecoveryPrivileges privileges;
    const RemovalTime time;
    // Listed again after each round that removed anything: a folder too
    // deep comes back at the top.
    std::vector<std::pair<std::string, Leftover>> left;
    for (bool removedAny = true; removedAny;) {
        auto listing = ReopenForListing(folder);
        if (!listing)
            break;
        // Only administrators make names in our folders: a few at most.
        std::vector<std::string> names;
        ListNames(listing->Get(), kNamesPerListing, names);
        std::erase_if(names,
                      [](const std::string& name) { return !name.starts_with(kSetAsidePrefix); });
        removedAny = false;
        left.clear();
        for (const std::string& name : names) {
            if (auto leftover = RemoveEntry(folder, folder, name, 0, time))
                left.emplace_back(name, std::move(*leftover));
            else
                removedAny = true;
        }
    }
    return left;
}

}  // namespace platform
