// What an update replaces in each installation, in the order it is done.
#pragma once

#include <array>
#include <string_view>

namespace engine {

struct Replacement {
    std::string_view source;  // the package file's name, in the package's Data folder
    // The destination below the installation folder: the folders on the way
    // (at most three) and the file's name.
    std::array<std::string_view, 3> folders;
    std::string_view file;
    std::string_view logName;  // after the installation folder, in the log line
    // The plug-in goes only into an installation that has an xtras folder.
    bool onlyWithXtras = false;
};

inline constexpr std::string_view kPackageFolder = "Data";
// A folder is an installation when it holds the product's executable and the
// folder of its sound clips.
inline constexpr std::string_view kProductFile = "SKM300.EXE";           // as compared, upper-cased
inline constexpr std::string_view kSoundFolder = "Audio\\Term\\GROUP3";  // below the installation
inline constexpr std::string_view kXtrasFolderName = "XTRAS";            // as compared, upper-cased

// The rows come from engine/Replacements.txt, which says what each file is.
// clang-format off
inline constexpr auto kReplacements = std::to_array<Replacement>({
#include "engine/ReplacementRows.inc"
});
// clang-format on

}  // namespace engine
