#include "engine/InstallationState.h"

#include <variant>

#include "engine/DestinationPath.h"
#include "engine/FolderNames.h"
#include "engine/InstallationRepair.h"
#include "engine/ReplacementTable.h"
#include "engine/UpdateJournal.h"

namespace engine {

std::string_view StateName(InstallationState state) {
    switch (state) {
        case InstallationState::Current:
            return "1.55B";
        case InstallationState::Old:
            return "old";
        case InstallationState::Mixed:
            return "mixed";
        case InstallationState::Interrupted:
            return "interrupted";
        case InstallationState::Blocked:
            break;
    }
    return "blocked";
}

namespace {

// A journal of this PC's, whole or cut short while it was written.
bool IsOurJournal(platform::FileSystem& files, const std::string& path) {
    auto key = files.JournalKey(platform::KeyUse::ReadOnly);
    if (!key)
        return false;
    auto file = files.OpenSourceFile(path);
    if (!file)
        return false;
    auto journal = ReadJournalFrom(**file, *key);
    if (!journal)
        return false;
    const ReadJournal& read = *journal;
    return std::holds_alternative<Journal>(read) || std::holds_alternative<JournalCutShort>(read);
}

}  // namespace

InstallationState InspectInstallation(platform::FileSystem& files, const UpdatePackage& package,
                                      const std::string& installation) {
    FolderNames names;
    files.ListFolder(installation, [&](const platform::FolderEntry& entry) {
        names.Add(entry);
        return true;
    });
    // The files of a cut-short update are neither old nor new until the next
    // run has repaired them: counting them would mislead. What the update
    // would refuse is told as such.
    if (names.Ambiguous(kJournalName) || names.Ambiguous(kXtrasFolderName))
        return InstallationState::Blocked;
    if (const FolderNames::Entry* journal = names.Find(kJournalName)) {
        return !journal->isFolder && !journal->isLink &&
                       IsOurJournal(files, installation + '\\' + journal->name)
                   ? InstallationState::Interrupted
                   : InstallationState::Blocked;
    }
    const FolderNames::Entry* xtras = names.Find(kXtrasFolderName);
    const bool hasXtras = xtras && xtras->isFolder;

    std::size_t rows = 0;
    std::size_t current = 0;
    for (std::size_t row = 0; row < kReplacements.size(); ++row) {
        const Replacement& replacement = kReplacements[row];
        if (replacement.onlyWithXtras && !hasXtras)
            continue;
        ++rows;
        const FolderNames* inside = &names;
        FolderNames listed;
        std::string folder = installation;
        for (const std::string_view component : replacement.folders) {
            if (component.empty())
                continue;
            if (inside->Ambiguous(component))
                return InstallationState::Blocked;
            folder.append("\\").append(component);
            listed = FolderNames();
            files.ListFolder(folder, [&](const platform::FolderEntry& entry) {
                listed.Add(entry);
                return true;
            });
            inside = &listed;
        }
        if (inside->Ambiguous(replacement.file))
            return InstallationState::Blocked;
        PackageFile installed;
        installed.path = DestinationPath(installation, row);
        const PackageFile& wanted = package.File(row);
        if (MeasureFile(files, installed) && installed.size == wanted.size &&
            installed.digest == wanted.digest) {
            ++current;
        }
    }
    if (current == rows)
        return InstallationState::Current;
    return current == 0 ? InstallationState::Old : InstallationState::Mixed;
}

}  // namespace engine
