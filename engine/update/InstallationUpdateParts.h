// What the files of InstallationUpdate share (InstallationUpdate.cpp: the
// steps in their order; InstallationSurvey.cpp: opening and listing the
// installation; RepairFound.cpp: the journal an earlier run left, read and
// followed; UpdateConclusion.cpp: what stands there after a failure). Only
// they include it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "engine/ReplacementTable.h"
#include "engine/Texts.h"
#include "engine/update/InstallationUpdate.h"

namespace engine {

// One destination of the installation.
struct InstallationUpdate::Target {
    std::size_t row = 0;
    platform::FolderHandle* folder = nullptr;  // null when a folder on the way is not there
    Refusal unreachable;                       // why `folder` is null
    std::string name;                          // as on disk, or as the table writes it
    bool exists = false;
    std::optional<Bytes> bytes;  // what it holds, as measured; nothing where it is missing
    bool isNew = false;          // it holds the package's bytes: it is left alone
    std::optional<platform::FileError> unmeasured;  // why its bytes could not be read
    std::optional<std::size_t> entry;  // its target in this run's journal, once planned

    const Replacement& Row() const { return kReplacements[row]; }
};

namespace wording {

// "<path>：<why>"
std::string Reason(std::string_view path, std::string_view why);
// What went wrong with `path`, in the words the log gives a link, a file
// another program holds and any other failure.
std::string Describe(std::string_view path, const platform::FileError& error);

}  // namespace wording

}  // namespace engine
