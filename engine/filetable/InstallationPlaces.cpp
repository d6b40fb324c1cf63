#include "engine/filetable/InstallationPlaces.h"

#include <algorithm>
#include <utility>

namespace engine {
namespace {

enum Flag : std::uint8_t {
    kInUse = 1,
    kFolder = 2,
    kLink = 4,       // a reparse point: below it everything is searched
    kWanted = 8,     // holds a marker or a link
    kLeads = 16,     // a marker or link is in it or below it
    kVisiting = 32,  // on the chain of parents being followed
    kChecked = 64,   // its parents lead to the root or out of the table's folders
    kWhole = 128,    // changed since the table was read: searched whole
};

constexpr std::uint32_t kNoParent = 0xFFFF'FFFF;

bool IsFolderInUse(std::uint8_t flags) {
    return (flags & (kInUse | kFolder)) == (kInUse | kFolder);
}

}  // namespace

InstallationPlaces::Builder::Builder(std::uint64_t records)
    : flags_(records, 0), parents_(records, kNoParent) {
    // The names grow by half at most, so that old and new together stay
    // within what is left.
    const std::uint64_t fixed = records * kBytesPerRecord;
    mostNames_ = fixed >= kMostBytes ? 0 : (kMostBytes - fixed) * 2 / 3 / sizeof(FolderName);
}

InstallationPlaces::Builder::Added InstallationPlaces::Builder::Add(
    std::uint64_t record, const ntfs::RecordFacts& facts) {
    const std::uint64_t count = flags_.size();
    if (facts.state != ntfs::RecordState::InUse)
        return Added::Yes;
    const std::uint64_t owner = facts.base == 0 ? record : facts.base;
    if (owner >= count)
        return Added::PastTheEnd;
    if (facts.base == 0) {
        flags_[owner] |= kInUse;
        if (facts.folder)
            flags_[owner] |= kFolder;
        if (owner == ntfs::kRootFolder)
            rootSequence_ = facts.sequence;
    }
    if (facts.reparse)
        flags_[owner] |= kLink;
    for (const ntfs::RecordName& name : facts.names) {
        if (name.parent >= count)
            return Added::PastTheEnd;
        const auto parent = static_cast<std::uint32_t>(name.parent);
        if (name.isMarker || name.reparse)
            flags_[parent] |= kWanted;
        if (owner == ntfs::kRootFolder)
            continue;
        parents_[owner] = parent;
        // A listing shows the long names; a base record's file is known to
        // be no folder, while an extension's owner may not have been read yet.
        if (name.nameSpace != ntfs::RecordName::kDos && (facts.folder || facts.base != 0)) {
            if (names_.size() == names_.capacity()) {
                if (names_.size() >= mostNames_)
                    return Added::TooMany;
                names_.reserve(std::min(
                    mostNames_, std::max<std::size_t>(1024, names_.size() + names_.size() / 2)));
            }
            names_.push_back({parent, name.hash, static_cast<std::uint32_t>(owner),
                              facts.base == 0 ? facts.sequence : kNoSequence});
        }
    }
    return Added::Yes;
}

std::optional<InstallationPlaces> InstallationPlaces::Builder::Finish(std::string& why) {
    const std::size_t count = flags_.size();
    if (count <= ntfs::kRootFolder || !IsFolderInUse(flags_[ntfs::kRootFolder])) {
        why = "the root folder's record is no folder in use";
        return std::nullopt;
    }
    // A link's own folder holds it, whichever name told it was a link.
    for (std::size_t record = 0; record < count; ++record) {
        if ((flags_[record] & (kInUse | kLink)) == (kInUse | kLink) &&
            parents_[record] != kNoParent) {
            flags_[parents_[record]] |= kWanted;
        }
    }
    // Every folder that holds a marker or a link, and the folders above it
    // up to the root, are searched. The chain must reach the root through
    // folders in use: a table that says otherwise is not believed.
    std::vector<std::uint32_t> chain;
    for (std::size_t wanted = 0; wanted < count; ++wanted) {
        if ((flags_[wanted] & kWanted) == 0 || (flags_[wanted] & kLeads) != 0)
            continue;
        chain.clear();
        auto record = static_cast<std::uint32_t>(wanted);
        for (;;) {
            std::uint8_t& flags = flags_[record];
            if ((flags & kLeads) != 0)
                break;
            if (!IsFolderInUse(flags)) {
                why = "record " + std::to_string(record) + " holds a file but is no folder in use";
                return std::nullopt;
            }
            if ((flags & kVisiting) != 0) {
                why = "the parents of record " + std::to_string(record) + " form a cycle";
                return std::nullopt;
            }
            flags |= kVisiting;
            chain.push_back(record);
            if (record == ntfs::kRootFolder)
                break;
            if (parents_[record] == kNoParent) {
                why = "record " + std::to_string(record) + " has no parent";
                return std::nullopt;
            }
            record = parents_[record];
        }
        for (const std::uint32_t on : chain)
            flags_[on] = static_cast<std::uint8_t>((flags_[on] & ~kVisiting) | kLeads | kChecked);
    }
    // Parents that go round in a circle anywhere mean the table is not what
    // it claims to be, even where no marker is near.
    for (std::size_t start = 0; start < count; ++start) {
        if (!IsFolderInUse(flags_[start]) || (flags_[start] & kChecked) != 0)
            continue;
        chain.clear();
        auto record = static_cast<std::uint32_t>(start);
        while (IsFolderInUse(flags_[record]) && (flags_[record] & kChecked) == 0) {
            if ((flags_[record] & kVisiting) != 0) {
                why = "the parents of record " + std::to_string(record) + " form a cycle";
                return std::nullopt;
            }
            flags_[record] |= kVisiting;
            chain.push_back(record);
            if (record == ntfs::kRootFolder || parents_[record] == kNoParent)
                break;
            record = parents_[record];
        }
        for (const std::uint32_t on : chain)
            flags_[on] = static_cast<std::uint8_t>((flags_[on] & ~kVisiting) | kChecked);
    }

    InstallationPlaces places;
    std::erase_if(names_,
                  [&](const FolderName& name) { return !IsFolderInUse(flags_[name.record]); });
    std::sort(names_.begin(), names_.end());
    names_.shrink_to_fit();
    places.names_ = std::move(names_);
    parents_ = {};
    places.flags_ = std::move(flags_);
    places.rootSequence_ = rootSequence_;
    return places;
}

InstallationPlaces::Scope InstallationPlaces::RootScope() const {
    return (flags_[ntfs::kRootFolder] & kWhole) != 0 ? kEverything : kRoot;
}

bool InstallationPlaces::FollowChanges(const std::vector<platform::FileReference>& folders,
                                       std::string& why) {
    // Each folder's parent and sequence number, by record.
    struct Up {
        std::uint32_t record, parent;
        std::uint16_t sequence;
    };
    std::vector<Up> up;
    up.reserve(names_.size());
    for (const FolderName& name : names_)
        up.push_back({name.record, name.parent, name.sequence});
    std::sort(up.begin(), up.end(), [](const Up& a, const Up& b) {
        return a.record != b.record ? a.record < b.record : a.sequence < b.sequence;
    });
    const auto known = [&](const platform::FileReference& folder) -> const Up* {
        if (folder.record >= flags_.size() || !IsFolderInUse(flags_[folder.record]))
            return nullptr;
        const auto found = std::lower_bound(
            up.begin(), up.end(), Up{static_cast<std::uint32_t>(folder.record), 0, folder.sequence},
            [](const Up& a, const Up& b) {
                return a.record != b.record ? a.record < b.record : a.sequence < b.sequence;
            });
        return found != up.end() && found->record == folder.record &&
                       found->sequence == folder.sequence
                   ? &*found
                   : nullptr;
    };
    for (std::uint8_t& flags : flags_)
        flags = static_cast<std::uint8_t>(flags & ~(kLeads | kWhole));
    for (const platform::FileReference& folder : folders) {
        const bool isRoot = folder.record == ntfs::kRootFolder;
        if (isRoot ? folder.sequence != rootSequence_ : known(folder) == nullptr) {
            why = "record " + std::to_string(folder.record) + ", sequence " +
                  std::to_string(folder.sequence) + ", is no folder the file table knows";
            return false;
        }
        flags_[folder.record] |= kWhole;
        // The table's folders were found to lead to the root without a cycle.
        for (auto record = static_cast<std::uint32_t>(folder.record);
             (flags_[record] & kLeads) == 0;) {
            flags_[record] |= kLeads;
            if (record == ntfs::kRootFolder)
                break;
            const auto parent =
                std::lower_bound(up.begin(), up.end(), Up{record, 0, 0},
                                 [](const Up& a, const Up& b) { return a.record < b.record; });
            if (parent == up.end() || parent->record != record) {
                why = "record " + std::to_string(record) + " has no parent";
                return false;
            }
            record = parent->parent;
        }
    }
    return true;
}

InstallationPlaces::Scope InstallationPlaces::Child(Scope parent, std::string_view name,
                                                    bool isLink) const {
    if (parent == kEverything || parent == kNowhere || isLink)
        return parent == kNowhere ? kNowhere : kEverything;
    const std::optional<std::uint32_t> hash = ntfs::NameHashUtf8(name);
    if (!hash)
        return kEverything;
    const auto [first, last] =
        std::equal_range(names_.begin(), names_.end(), FolderName{parent, *hash, 0, 0});
    if (first == last)
        return kEverything;  // not in the table: made after it was read
    Scope found = kNowhere;
    std::size_t leading = 0;
    for (auto candidate = first; candidate != last; ++candidate) {
        const std::uint8_t flags = flags_[candidate->record];
        if ((flags & (kLink | kWhole)) != 0)
            return kEverything;
        if ((flags & kLeads) != 0) {
            ++leading;
            found = candidate->record;
        }
    }
    // Two folders whose names differ only in case cannot be told apart here.
    return leading > 1 ? kEverything : found;
}

}  // namespace engine
