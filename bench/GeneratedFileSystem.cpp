#include "bench/GeneratedFileSystem.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>

namespace bench {

namespace {

constexpr const char* kPackageFiles[] = {"QBank.cxt", "Taven.dxr", "Virel.dxr", "Qpn.dxr",
                                         "Zum.dxr",   "Belto.cxt", "q417.mp3",  "PlugKit2.x32"};

// How many folders deep `path` is below its drive's root.
std::size_t DepthOf(const std::string& path) {
    return static_cast<std::size_t>(std::count(path.begin(), path.end(), '\\'));
}

}  // namespace

platform::DriveType GeneratedFileSystem::GetDriveType(char letter) {
    if (letter == 'C')
        return platform::DriveType::Fixed;
    if (letter == 'P')
        return platform::DriveType::CdRom;
    return platform::DriveType::NoRootDir;
}

bool GeneratedFileSystem::ListFolder(const std::string& folder, const EntrySink& onEntry) {
    if (folder == "P:\\Data") {
        for (const char* name : kPackageFiles) {
            if (!onEntry({name, false, false}))
                break;
        }
        return true;
    }
    if (folder.rfind("C:", 0) != 0)
        return false;
    const std::size_t depth = DepthOf(folder);
    if (depth > 0 && (!onEntry({".", true, false}) || !onEntry({"..", true, false})))
        return true;
    if (shape_ == Shape::Wide) {
        if (depth == 0) {
            onEntry({"Wide", true, false});
        } else if (folder == "C:\\Wide") {
            char name[32];
            for (std::size_t i = 0; i < size_; ++i) {
                const bool isFolder = i % 100'000 == 99'999;
                std::snprintf(name, sizeof name, isFolder ? "folder%07zu" : "entry%07zu.dat", i);
                if (!onEntry({name, isFolder, false}))
                    break;
            }
        }
        return true;
    }
    if (!onEntry({"readme.txt", false, false}))
        return true;
    if (depth < size_ && !onEntry({"d", true, false}))
        return true;
    onEntry({"SKM300.EXE.bak", false, false});
    return true;
}

bool GeneratedFileSystem::IsFolder(const std::string& path) {
    return path.rfind("C:", 0) == 0 && path.find("\\Audio") == std::string::npos;
}

std::optional<platform::FolderId> GeneratedFileSystem::GetFolderId(const std::string& path) {
    return platform::FolderId{3, std::hash<std::string>{}(path)};
}

}  // namespace bench
