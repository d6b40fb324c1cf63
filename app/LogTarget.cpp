#include "app/LogTarget.h"

#include "platform/win32/WinApi.h"

#include <optional>
#include <string_view>
#include <vector>

#include "engine/ReplacementTable.h"
#include "platform/win32/FileIdentity.h"
#include "platform/win32/LongPath.h"
#include "platform/win32/ModulePath.h"
#include "platform/win32/ScopedWin.h"
#include "platform/win32/Utf16.h"

namespace app {

namespace {

// The identity of the file or folder `path` leads to, through links;
// nullopt when there is nothing there or it cannot be opened. Reading
// attributes needs no access to the content, and a folder opens only with
// backup semantics.
std::optional<platform::FileId> IdentityAt(const std::wstring& path) {
    const platform::ScopedHandle opened(CreateFileW(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!opened)
        return std::nullopt;
    return platform::IdentityOf(opened.Get());
}

// The identities of the files in `folder`, links followed.
std::vector<platform::FileId> IdentitiesIn(const std::wstring& folder) {
    std::vector<platform::FileId> identities;
    WIN32_FIND_DATAW data;
    const platform::ScopedFindHandle listing(
        FindFirstFileExW(platform::JoinPath(folder, L"*").c_str(), FindExInfoBasic, &data,
                         FindExSearchNameMatch, nullptr, 0));
    if (!listing)
        return identities;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        if (const auto id = IdentityAt(platform::JoinPath(folder, data.cFileName)))
            identities.push_back(*id);
    } while (FindNextFileW(listing.Get(), &data));
    return identities;
}

}  // namespace

bool IsProgramOrPackageFile(const std::string& path) {
    const std::wstring program = platform::ModuleFileName(nullptr);
    const std::wstring data =
        platform::JoinPath(program.substr(0, program.rfind(L'\\') + 1), L"Data");
    const std::optional<platform::FileId> dataFolder = IdentityAt(data);

    // Resolved as the log file will be opened, and its folder from that.
    const std::wstring log = platform::FullPathName(platform::Utf8ToUtf16(path));
    if (const std::optional<platform::FileId> file = IdentityAt(log)) {
        if (file == IdentityAt(program))
            return true;
        // A hard link elsewhere to a package file is that file too.
        for (const platform::FileId& packageFile : IdentitiesIn(data)) {
            if (file == packageFile)
                return true;
        }
    }
    // A new file made in the Data folder would change the package as well.
    const std::size_t slash = log.find_last_of(L"\\/");
    if (!dataFolder || slash == std::wstring::npos)
        return false;
    std::wstring folder = log.substr(0, slash);
    if (folder.ends_with(L':'))
        folder += L'\\';  // "C:" alone would be C:'s current folder
    return IdentityAt(folder) == dataFolder;
}

bool IsInInstallation(const std::string& path) {
    const std::wstring log = platform::FullPathName(platform::Utf8ToUtf16(path));
    const std::size_t slash = log.find_last_of(L"\\/");
    if (slash == std::wstring::npos)
        return false;
    const std::wstring folder = log.substr(0, slash);
    // The file system ignores the letters' case, as the search does.
    const DWORD program = GetFileAttributesW(
        platform::JoinPath(folder, platform::Utf8ToUtf16(engine::kProductFile)).c_str());
    const DWORD marker = GetFileAttributesW(
        platform::JoinPath(folder, platform::Utf8ToUtf16(engine::kSoundFolder)).c_str());
    return program != INVALID_FILE_ATTRIBUTES && (program & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
           marker != INVALID_FILE_ATTRIBUTES && (marker & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace app
