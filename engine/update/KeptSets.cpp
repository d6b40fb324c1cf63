#include "engine/update/KeptSets.h"

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <utility>

#include "engine/update/DestinationPath.h"
#include "engine/update/FileBytes.h"
#include "engine/update/InstallationRepair.h"
#include "platform/AsciiCase.h"
#include "platform/PathJoin.h"

namespace engine {

namespace {

// The bytes of the regular file `name` of `folder`; nullopt where none
// stands or it cannot be read, which keeps it.
std::optional<Bytes> KeptBytes(platform::FolderHandle& folder, const std::string& name,
                               const Patience& patience) {
    auto bytes = BytesAt(folder, name, patience);
    if (!bytes || !*bytes)
        return std::nullopt;
    return **bytes;
}

bool Stands(platform::FolderHandle& folder, const std::string& name) {
    auto entry = folder.Inspect(name);
    return entry && entry->kind != platform::EntryKind::Missing;
}

}  // namespace

bool IsKeptJournalName(std::string_view name) {
    return name.size() > kKeptJournalPrefix.size() &&
           platform::UpperCaseEquals(name.substr(0, kKeptJournalPrefix.size()),
                                     platform::AsciiUpper(kKeptJournalPrefix));
}

std::string NewKeptJournalName() {
    return std::string(kKeptJournalPrefix).append(NewRunIdentity());
}

std::vector<KeptName> NamesInKeptJournal(std::string_view text) {
    std::vector<KeptName> names;
    const JournalUnvouched read = Unverified(text);
    if (!read.unverified)
        return names;
    for (const JournalTarget& target : read.unverified->targets) {
        names.push_back({target.row, target.staged, false});
        names.push_back({target.row, target.backup, true});
    }
    return names;
}

KeptSets::KeptSets(platform::FolderHandle& root,
                   std::function<platform::FolderHandle*(std::size_t row)> folderOf,
                   std::vector<std::string> keptJournals, Patience patience)
    : root_(root),
      folderOf_(std::move(folderOf)),
      keptJournals_(std::move(keptJournals)),
      patience_(patience) {}

namespace {

// What the kept journal `name` of `root` names; nothing where it cannot be
// read or is larger than a journal can be.
std::vector<KeptName> NamesOf(platform::FolderHandle& root, const std::string& name) {
    auto file = root.OpenFile(name);
    if (!file)
        return {};
    auto text = ReadSmallFile(**file, kLargestJournal);
    if (!text || !*text)
        return {};
    return NamesInKeptJournal(**text);
}

}  // namespace

std::vector<std::string> KeptSets::Names(
    const std::function<std::string(std::size_t row, std::string_view name)>& relative) {
    std::vector<std::string> names;
    for (const std::string& journal : keptJournals_) {
        if (!Stands(root_, journal))
            continue;
        names.push_back(journal);
        for (const KeptName& kept : NamesOf(root_, journal)) {
            platform::FolderHandle* folder = folderOf_(kept.row);
            if (folder && Stands(*folder, kept.name))
                names.push_back(relative(kept.row, kept.name));
        }
    }
    return names;
}

std::vector<KeptSets::Stays> KeptSets::Prune(const std::string& journal,
                                             const std::vector<KeptName>& names,
                                             const UpdatePackage& package) {
    // The bytes kept already, those of the earlier sets' files, and the
    // names the first earlier set gives each row's new and old bytes.
    std::vector<Bytes> held;
    std::vector<KeptName> earlierNames;
    bool earlierSet = false;
    for (const std::string& earlier : keptJournals_) {
        if (platform::UpperCaseEquals(earlier, platform::AsciiUpper(journal)) ||
            !Stands(root_, earlier)) {
            continue;
        }
        const std::vector<KeptName> named = NamesOf(root_, earlier);
        if (!earlierSet)
            earlierNames = named;
        earlierSet = true;
        for (const KeptName& kept : named) {
            if (platform::FolderHandle* folder = folderOf_(kept.row)) {
                if (std::optional<Bytes> bytes = KeptBytes(*folder, kept.name, patience_))
                    held.push_back(*bytes);
            }
        }
    }
    // Where the earlier set has a free name for the same row and part, the
    // file joins it there, so that one set holds it all.
    auto joinEarlier = [&](platform::FolderHandle& folder,
                           const KeptName& kept) -> std::optional<std::string> {
        for (const KeptName& earlier : earlierNames) {
            if (earlier.row != kept.row || earlier.backup != kept.backup)
                continue;
            auto entry = folder.Inspect(earlier.name);
            if (!entry || entry->kind != platform::EntryKind::Missing ||
                TryForAWhile(patience_, [&] { return folder.Rename(kept.name, earlier.name); })) {
                return std::nullopt;
            }
            return earlier.name;
        }
        return std::nullopt;
    };
    std::vector<Stays> stay;
    bool ownNamesStay = false;
    for (const KeptName& kept : names) {
        platform::FolderHandle* folder = folderOf_(kept.row);
        if (!folder || !Stands(*folder, kept.name))
            continue;
        const std::optional<Bytes> bytes = KeptBytes(*folder, kept.name, patience_);
        const PackageFile& source = package.File(kept.row);
        const bool elsewhere = bytes && (*bytes == Bytes{source.size, source.digest} ||
                                         std::find(held.begin(), held.end(), *bytes) != held.end());
        // Deleted through the folder's handle: a link there goes as itself.
        if (elsewhere && !TryForAWhile(patience_, [&] { return folder->Delete(kept.name); }))
            continue;
        if (bytes)
            held.push_back(*bytes);
        if (std::optional<std::string> joined = joinEarlier(*folder, kept)) {
            stay.push_back({kept, *joined});
            continue;
        }
        stay.push_back({kept, kept.name});
        ownNamesStay = true;
    }
    if (!ownNamesStay && earlierSet)
        (void)TryForAWhile(patience_, [&] { return root_.Delete(journal); });
    return stay;
}

std::vector<std::string> KeptNamesIn(platform::FileSystem& files, const std::string& installation) {
    std::vector<std::string> journals;
    files.ListFolder(installation, [&](const platform::FolderEntry& entry) {
        if (!entry.isFolder && !entry.isLink && IsKeptJournalName(entry.name))
            journals.emplace_back(entry.name);
        return true;
    });
    if (journals.empty())
        return journals;
    auto root = files.OpenFolderNoLink(installation);
    if (!root)
        return journals;
    std::map<std::size_t, std::unique_ptr<platform::FolderHandle>> folders;
    auto folderOf = [&](std::size_t row) -> platform::FolderHandle* {
        auto [at, added] = folders.try_emplace(row);
        if (added) {
            if (auto opened = files.OpenFolderNoLink(FolderOfRow(installation, row)))
                at->second = std::move(*opened);
        }
        return at->second.get();
    };
    return KeptSets(**root, folderOf, std::move(journals), Patience{})
        .Names([&](std::size_t row, std::string_view name) {
            std::string path = platform::JoinPath(FolderOfRow(installation, row), name);
            if (const std::optional<std::string_view> below =
                    platform::PathBelow(installation, path))
                return std::string(*below);
            return path;
        });
}

}  // namespace engine
