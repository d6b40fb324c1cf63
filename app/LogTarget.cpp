#include "app/LogTarget.h"

#include "platform/win32/WinApi.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/ReplacementTable.h"
#include "platform/PathJoin.h"
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

namespace {

// Whether `folder` holds the product's executable and its sound folder, by
// path; links followed, as a share resolves them.
bool HoldsInstallation(const std::wstring& folder) {
    // The file system ignores the letters' case, as the search does.
    const DWORD program = GetFileAttributesW(
        platform::JoinPath(folder, platform::Utf8ToUtf16(engine::kProductFile)).c_str());
    const DWORD marker = GetFileAttributesW(
        platform::JoinPath(folder, platform::Utf8ToUtf16(engine::kSoundFolder)).c_str());
    return program != INVALID_FILE_ATTRIBUTES && (program & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
           marker != INVALID_FILE_ATTRIBUTES && (marker & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

constexpr ULONG kAnyShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool IsDeviceName(std::string_view name) {
    // Windows ignores what follows the first dot or colon, and spaces
    // before it.
    name = name.substr(0, std::min(name.find_first_of(".:"), name.size()));
    while (!name.empty() && name.back() == ' ')
        name.remove_suffix(1);
    std::string upper(name);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL" || upper == "CONIN$" ||
        upper == "CONOUT$") {
        return true;
    }
    if (!upper.starts_with("COM") && !upper.starts_with("LPT"))
        return false;
    const std::string_view number = std::string_view(upper).substr(3);
    // A digit, or superscript one, two or three in UTF-8.
    return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\xC2\xB9" ||
           number == "\xC2\xB2" || number == "\xC2\xB3";
}

}  // namespace

bool IsInInstallation(const std::string& path) {
    std::wstring folder = platform::FullPathName(platform::Utf8ToUtf16(path));
    // Up to the share's root, never the server or the current drive's root.
    const std::size_t server = folder.starts_with(L"\\\\") ? folder.find(L'\\', 2) : 0;
    for (std::size_t slash;
         (slash = folder.find_last_of(L"\\/")) != std::wstring::npos && slash > server;) {
        folder.resize(slash);
        if (HoldsInstallation(folder))
            return true;
    }
    return false;
}

bool IsInstallationFolder(const platform::HeldFolder& folder) {
    auto program = platform::OpenEntry(folder, engine::kProductFile,
                                       {FILE_READ_ATTRIBUTES, kAnyShare, FILE_OPEN, 0});
    if (!program || (program->attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    // The sound folder, one name at a time from the folder's handle.
    platform::HeldFolder below;
    const platform::HeldFolder* at = &folder;
    std::string_view rest = engine::kSoundFolder;
    while (!rest.empty()) {
        const std::size_t slash = std::min(rest.find('\\'), rest.size());
        auto entry = platform::OpenEntry(
            *at, rest.substr(0, slash), {FILE_TRAVERSE, kAnyShare, FILE_OPEN, FILE_DIRECTORY_FILE});
        if (!entry)
            return false;
        platform::HeldFolder next{std::move(entry->handle), {}};
        next.systemName = platform::SystemNameOf(next.handle.Get());
        below = std::move(next);
        at = &below;
        rest.remove_prefix(std::min(slash + 1, rest.size()));
    }
    return true;
}

bool NamesADevice(std::string_view path) {
    while (!path.empty()) {
        const std::size_t slash = std::min(path.find_first_of("\\/"), path.size());
        std::string_view name = path.substr(0, slash);
        // Trailing dots and spaces are dropped from a name.
        while (!name.empty() && (name.back() == '.' || name.back() == ' '))
            name.remove_suffix(1);
        if (IsDeviceName(name))
            return true;
        path.remove_prefix(std::min(slash + 1, path.size()));
    }
    return false;
}

}  // namespace app
