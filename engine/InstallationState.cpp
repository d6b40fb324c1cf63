#include "engine/InstallationState.h"

#include "engine/FolderNames.h"
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
            break;
    }
    return "interrupted";
}

InstallationState InspectInstallation(platform::FileSystem& files, const UpdatePackage& package,
                                      const std::string& installation) {
    FolderNames names;
    files.ListFolder(installation, [&](const platform::FolderEntry& entry) {
        names.Add(entry);
        return true;
    });
    // The files of a cut-short update are neither old nor new until the next
    // run has repaired them: counting them would mislead.
    if (const FolderNames::Entry* journal = names.Find(kJournalName); journal && !journal->isFolder)
        return InstallationState::Interrupted;
    const FolderNames::Entry* xtras = names.Find(kXtrasFolderName);
    const bool hasXtras = xtras && xtras->isFolder;

    std::size_t rows = 0;
    std::size_t current = 0;
    for (std::size_t row = 0; row < kReplacements.size(); ++row) {
        const Replacement& replacement = kReplacements[row];
        if (replacement.onlyWithXtras && !hasXtras)
            continue;
        ++rows;
        PackageFile installed;
        installed.path = installation;
        for (const std::string_view folder : replacement.folders) {
            if (!folder.empty())
                installed.path.append("\\").append(folder);
        }
        installed.path.append("\\").append(replacement.file);
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
