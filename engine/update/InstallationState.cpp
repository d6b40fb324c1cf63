#include "engine/update/InstallationState.h"

#include <variant>

#include "engine/ReplacementTable.h"
#include "engine/Version.h"
#include "engine/update/DestinationPath.h"
#include "engine/update/FolderNames.h"
#include "engine/update/InstallationRepair.h"
#include "engine/update/RefusedAsItStands.h"
#include "engine/update/UpdateJournal.h"
#include "platform/PathJoin.h"

namespace engine {

std::string_view StateName(InstallationState state) {
    switch (state) {
        case InstallationState::Current:
            return kVersion;
        case InstallationState::Old:
            return "old";
        case InstallationState::Mixed:
            return "mixed";
        case InstallationState::Interrupted:
            return "interrupted";
        case InstallationState::Restart:
            return "restart";
        case InstallationState::Blocked:
            break;
    }
    return "blocked";
}

namespace {

// What a file of the journal's name means for the installation: Interrupted
// for a journal of this installation's, whole or cut short while it was
// written; nothing for one in the journal's form that no key vouches for,
// which an update sets aside; Blocked for anything else.
std::optional<InstallationState> JournalState(platform::FileSystem& files,
                                              const std::string& installation,
                                              const std::string& path) {
    auto key = files.JournalKey(platform::KeyUse::ReadOnly);
    const std::optional<platform::FileId> folder = files.GetFolderId(installation);
    auto file = files.OpenSourceFile(path);
    if (!file)
        return InstallationState::Blocked;
    // Without a key nothing is vouched for: any key would do to tell the forms.
    auto journal = ReadJournalFrom(
        **file, key && folder ? InstallationKey(*key, *folder) : platform::MachineKey{});
    if (!journal)
        return InstallationState::Blocked;
    const ReadJournal& read = *journal;
    if (key && folder && std::holds_alternative<Journal>(read)) {
        // With its restart record, it goes forward: now or at the restart.
        const std::string record =
            platform::JoinPath(installation, std::get<Journal>(read).RestartRecord());
        return files.OpenSourceFile(record) ? InstallationState::Restart
                                            : InstallationState::Interrupted;
    }
    if (key && folder && std::holds_alternative<JournalCutShort>(read))
        return InstallationState::Interrupted;
    if (RefusedAsItStands(read))
        return InstallationState::Blocked;
    return std::nullopt;
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
    if (RefusedAsItStands(names))
        return InstallationState::Blocked;
    if (const FolderNames::Entry* journal = names.Find(kJournalName)) {
        if (const std::optional<InstallationState> state = JournalState(
                files, installation, platform::JoinPath(installation, journal->name))) {
            return *state;
        }
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
            platform::AppendToPath(folder, component);
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
