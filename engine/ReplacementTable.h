// What an update replaces in each installation, in the order it is done.
#pragma once

#include <array>
#include <string_view>

namespace engine {

struct Replacement {
    std::string_view source;       // after the update package folder
    std::string_view destination;  // after the installation folder and '\'
    std::string_view logName;      // after the installation folder, in the log line
};

// The product reads its quiz bank, its scenes and one sound clip from these
// files. The package ships them with other capitals than the installed ones;
// both file systems the product runs on ignore letter case.
inline constexpr std::array<Replacement, 7> kReplacements{{
    {"Data\\QBank.cxt", "QBANK.CXT", "\\QBANK.CXT "},
    {"Data\\Taven.dxr", "TAVEN.DXR", "\\TAVEN.DXR "},
    {"Data\\Virel.dxr", "VIREL.DXR", "\\VIREL.DXR "},
    {"Data\\Qpn.dxr", "QPN.DXR", "\\QPN.DXR "},
    {"Data\\Zum.dxr", "ZUM.DXR", "\\ZUM.DXR "},
    {"Data\\Belto.cxt", "BELTO.CXT", "\\BELTO.CXT "},
    {"Data\\q417.mp3", "AUDIO\\PHRASE\\GROUP6\\q417.mp3", "\\mp3File "},
}};

// The eighth file, a plug-in, goes only into an installation that has an
// xtras folder. Its log line names the folder, with no space before the verb.
inline constexpr std::string_view kPlugInSource = "Data\\PlugKit2.x32";
inline constexpr std::string_view kXtrasFolderName = "XTRAS";  // as compared, upper-cased
inline constexpr std::string_view kXtrasFolder = "\\xtras";    // as written, whatever is on disk
inline constexpr std::string_view kPlugInDestination = "xtras\\PlugKit2.X32";

}  // namespace engine
