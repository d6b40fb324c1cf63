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
inline constexpr std::string_view kXtrasFolderName = "XTRAS";  // as compared, upper-cased

// The product reads its quiz bank, its scenes and one sound clip from the
// first seven files; the eighth is its plug-in. The package ships them with
// other capitals than the installed ones; both file systems the product runs
// on ignore letter case. The plug-in's log line names the xtras folder, in
// small letters whatever is on disk, with no space before the verb.
inline constexpr std::array<Replacement, 8> kReplacements{{
    {"QBank.cxt", {}, "QBANK.CXT", "\\QBANK.CXT "},
    {"Taven.dxr", {}, "TAVEN.DXR", "\\TAVEN.DXR "},
    {"Virel.dxr", {}, "VIREL.DXR", "\\VIREL.DXR "},
    {"Qpn.dxr", {}, "QPN.DXR", "\\QPN.DXR "},
    {"Zum.dxr", {}, "ZUM.DXR", "\\ZUM.DXR "},
    {"Belto.cxt", {}, "BELTO.CXT", "\\BELTO.CXT "},
    {"q417.mp3", {"AUDIO", "PHRASE", "GROUP6"}, "q417.mp3", "\\mp3File "},
    {"PlugKit2.x32", {"xtras"}, "PlugKit2.X32", "\\xtras", true},
}};

}  // namespace engine
