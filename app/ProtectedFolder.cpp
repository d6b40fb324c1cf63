#include "app/ProtectedFolder.h"

#include "platform/win32/WinApi.h"

#include <optional>
#include <stdexcept>

#include "app/LogTarget.h"
#include "app/Texts.h"
#include "platform/PathJoin.h"
#include "platform/win32/FolderSafety.h"
#include "platform/win32/LongPath.h"
#include "platform/win32/OwnerAndList.h"
#include "platform/win32/SetAside.h"
#include "platform/win32/SystemMessage.h"
#include "platform/win32/Utf16.h"

namespace app {

namespace {

using platform::FileError;
using platform::FileJudged;
using platform::HeldFolder;
using platform::OwnerAndListOf;
using platform::ProtectedList;
using platform::RunningUser;
using platform::WhyNotOurFile;
using platform::WhyNotOurs;

// Listing, traversing and reading the owner and list. Held without sharing
// deletion: nobody renames the folder, or so swaps it for a link, meanwhile.
constexpr ACCESS_MASK kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | READ_CONTROL;
constexpr ULONG kFolderShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr ULONG kAnyShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr ULONG kFileShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

[[noreturn]] void Refuse(const std::string& path, const std::string& why) {
    throw std::runtime_error(path + ": " + why);
}

OpenedFolder Hold(platform::ScopedHandle handle, std::string path, bool ours = false) {
    OpenedFolder folder;
    folder.ours = ours;
    folder.held.systemName = platform::SystemNameOf(handle.Get());
    folder.held.handle = std::move(handle);
    folder.path = std::move(path);
    return folder;
}

// Renames what stands at `name` in `folder` aside, as one operation whatever
// it holds; a file is deleted at once, a folder taken back and deleted as
// far as the run's time goes, the rest by the runs after.
void Remove(const OpenedFolder& folder, std::string_view name, const std::string& path,
            const std::string& why, Corrections& corrections) {
    auto outcome = platform::SetAsideEntry(folder.held, name);
    if (!outcome)
        Refuse(path, why + "; could not be removed: " + outcome.Error().description);
    corrections.push_back(std::string(text::kLogRemoved) + path + ": " + why);
    if (*outcome == platform::SetAsideOutcome::Left)
        ContinueRemoving(folder, corrections);
}

// Gives the entry `name` of `folder` our owner and list.
void TakeBack(const HeldFolder& folder, std::string_view name, const std::string& path,
              const std::string& why, Corrections& corrections) {
    if (const auto failure = platform::TakeBackEntry(folder, name))
        Refuse(path, why + "; could not be taken back: " + failure->description);
    corrections.push_back(std::string(text::kLogTakenBack) + path + ": " + why);
}

// Opens the folder `name` of `parent` as one of ours: made with the
// protected list when missing, taken back when somebody else's, made anew
// when a link or a file stands in its place.
OpenedFolder OpenOurFolder(const OpenedFolder& parent, std::string_view name, PSID runningUser,
                           Corrections& corrections) {
    const std::string path = platform::JoinPath(parent.path, name);
    bool takenBack = false;
    for (int attempt = 0; attempt < 4; ++attempt) {
        auto entry =
            platform::OpenEntry(parent.held, name, {kFolderAccess, kFolderShare, FILE_OPEN, 0});
        std::string why;
        if (entry) {
            if (!(entry->attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                entry->handle.Reset();
                Remove(parent, name, path, "is a file", corrections);
                continue;
            }
            const platform::ScopedLocal descriptor = OwnerAndListOf(entry->handle.Get(), path);
            why = descriptor ? WhyNotOurs(descriptor.Get(), runningUser) : std::string();
            if (why.empty())
                return Hold(std::move(entry->handle), path, true);
            entry->handle.Reset();
        } else if (entry.Error().kind == FileError::Kind::NotFound) {
            const platform::ScopedLocal list = ProtectedList();
            auto made = platform::CreateFolderEntry(
                parent.held, name,
                {kFolderAccess, kFolderShare, FILE_CREATE, 0, false, list.Get()});
            if (made)
                return Hold(std::move(*made), path, true);
            // Made by somebody else at this moment: judged as found.
            if (attempt > 0)
                Refuse(path, made.Error().description);
            continue;
        } else if (entry.Error().kind == FileError::Kind::Link) {
            Remove(parent, name, path, "is a link", corrections);
            continue;
        } else if (entry.Error().kind == FileError::Kind::InUse) {
            Refuse(path, entry.Error().description);
        } else {
            why = "cannot be opened: " + entry.Error().description;
        }
        if (takenBack)
            Refuse(path, why);
        TakeBack(parent.held, name, path, why, corrections);
        takenBack = true;
    }
    Refuse(path, "keeps changing");
}

}  // namespace

std::wstring ProgramDataFolder() {
    // The system sets it for every process. Not the shell's known-folder
    // call: it may leave a hidden window on this thread, which in a run
    // without a window nobody serves, and a log-off would wait for it.
    std::wstring folder(MAX_PATH, L'\0');
    DWORD length =
        GetEnvironmentVariableW(L"ProgramData", folder.data(), static_cast<DWORD>(folder.size()));
    if (length >= folder.size()) {
        folder.resize(length);
        length = GetEnvironmentVariableW(L"ProgramData", folder.data(),
                                         static_cast<DWORD>(folder.size()));
    }
    if (length == 0 || length >= folder.size())
        throw std::runtime_error("%ProgramData% is not known");
    folder.resize(length);
    return folder;
}

OpenedFolder ProtectedFolder(const std::vector<std::string>& parts, Corrections& corrections) {
    const std::wstring base = ProgramDataFolder();
    // %ProgramData% itself is the system's: only administrators change it.
    platform::ScopedHandle root(CreateFileW(base.c_str(), kFolderAccess, kAnyShare, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!root)
        Refuse(platform::Utf16ToUtf8(base), platform::SystemMessage(GetLastError()));
    OpenedFolder folder = Hold(std::move(root), platform::Utf16ToUtf8(base));
    const RunningUser user;
    for (const std::string& part : parts)
        folder = OpenOurFolder(folder, part, user.Sid(), corrections);
    return folder;
}

void ContinueRemoving(const OpenedFolder& folder, Corrections& corrections) {
    if (!folder.ours)
        return;
    for (const auto& [name, leftover] : platform::RemoveSetAside(folder.held)) {
        std::string where = platform::JoinPath(folder.path, name);
        if (!leftover.where.empty())
            where = platform::JoinPath(where, leftover.where);
        corrections.push_back(std::string(text::kLogStillRemoving) + where + ": " + leftover.why);
    }
}

void ClearForOurFile(const OpenedFolder& folder, std::string_view name, Corrections& corrections) {
    const std::string path = platform::JoinPath(folder.path, name);
    auto entry = platform::OpenEntry(folder.held, name, {READ_CONTROL, kAnyShare, FILE_OPEN, 0});
    std::string why;
    if (entry) {
        const RunningUser user;
        why = WhyNotOurFile(entry->handle.Get(), entry->attributes, path, user.Sid(),
                            FileJudged::OwnerAndList);
        entry->handle.Reset();
    } else if (entry.Error().kind == FileError::Kind::NotFound) {
        return;
    } else if (entry.Error().kind == FileError::Kind::Link) {
        why = "is a link";
    } else if (entry.Error().kind == FileError::Kind::InUse) {
        Refuse(path, entry.Error().description);
    } else {
        why = "cannot be opened: " + entry.Error().description;
    }
    if (!why.empty())
        Remove(folder, name, path, why, corrections);
}

platform::ScopedHandle OpenOurFile(const OpenedFolder& folder, std::string_view name,
                                   ACCESS_MASK access, Corrections& corrections) {
    ClearForOurFile(folder, name, corrections);
    const std::string path = platform::JoinPath(folder.path, name);
    auto entry = platform::OpenEntry(
        folder.held, name, {access | READ_CONTROL, kFileShare, FILE_OPEN, FILE_NON_DIRECTORY_FILE});
    if (entry)
        return std::move(entry->handle);
    if (entry.Error().kind != FileError::Kind::NotFound)
        Refuse(path, entry.Error().description);
    // Nobody but administrators can make a file in our folder meanwhile.
    auto created = platform::CreateEntry(folder.held, name,
                                         {access | READ_CONTROL, kFileShare, FILE_CREATE, 0});
    if (!created)
        Refuse(path, created.Error().description);
    return std::move(*created);
}

void RenameOurFile(const OpenedFolder& folder, std::string_view from, std::string_view to) {
    if (auto old = platform::OpenEntry(
            folder.held, to,
            {DELETE | FILE_WRITE_ATTRIBUTES, kAnyShare, FILE_OPEN, FILE_NON_DIRECTORY_FILE})) {
        if (const auto failure = platform::DeleteOpened(old->handle.Get(), old->attributes))
            Refuse(platform::JoinPath(folder.path, to), failure->description);
    } else if (old.Error().kind != FileError::Kind::NotFound) {
        Refuse(platform::JoinPath(folder.path, to), old.Error().description);
    }
    auto entry = platform::OpenEntry(folder.held, from,
                                     {DELETE, kAnyShare, FILE_OPEN, FILE_NON_DIRECTORY_FILE});
    if (!entry)
        Refuse(platform::JoinPath(folder.path, from), entry.Error().description);
    if (const auto failure = platform::RenameInFolder(entry->handle.Get(), folder.held, to))
        Refuse(platform::JoinPath(folder.path, from), failure->description);
}

platform::ScopedHandle OpenForAppendingWithoutLinks(const std::string& path) {
    // "C:\" and the names below it, each a single component.
    std::vector<std::string> names;
    for (std::size_t start = 3; start < path.size();) {
        const std::size_t end = std::min(path.find('\\', start), path.size());
        if (end > start)
            names.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    if (names.empty())
        throw std::runtime_error("is no file");
    const std::string drive = path.substr(0, 3);
    platform::ScopedHandle root(CreateFileW(
        platform::ToLongPath(drive).c_str(), kFolderAccess, kAnyShare, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!root)
        throw std::runtime_error(platform::SystemMessage(GetLastError()));
    OpenedFolder folder = Hold(std::move(root), drive);
    // Judged on each folder as it is held, before anything is made in it:
    // whatever name, case or short name the path gave it.
    const auto refuseInstallation = [&path](const OpenedFolder& held) {
        if (IsInstallationFolder(held.held))
            throw LogRefused(path + ": " + held.path + " is an installation");
    };
    refuseInstallation(folder);
    const std::string file = names.back();
    names.pop_back();
    const platform::ScopedLocal list = ProtectedList();
    for (const std::string& name : names) {
        const std::string below = platform::JoinPath(folder.path, name);
        std::optional<platform::ScopedHandle> opened;
        bool existed = false;
        for (int attempt = 0; attempt < 2 && !opened; ++attempt) {
            auto entry = platform::OpenEntry(
                folder.held, name, {kFolderAccess, kFolderShare, FILE_OPEN, FILE_DIRECTORY_FILE});
            if (entry) {
                opened = std::move(entry->handle);
                existed = true;
            } else if (entry.Error().kind == FileError::Kind::Link) {
                throw std::runtime_error(below + " is a link");
            } else if (entry.Error().kind != FileError::Kind::NotFound) {
                throw std::runtime_error(below + ": " + entry.Error().description);
            } else if (auto made = platform::CreateFolderEntry(
                           folder.held, name,
                           {kFolderAccess, kFolderShare, FILE_CREATE, 0, false, list.Get()})) {
                opened = std::move(*made);
            } else if (attempt > 0) {
                throw std::runtime_error(below + ": " + made.Error().description);
            }
        }
        folder = Hold(std::move(*opened), below);
        if (existed)
            refuseInstallation(folder);
    }
    const RunningUser user;
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto entry = platform::OpenEntry(
            folder.held, file,
            {FILE_APPEND_DATA | READ_CONTROL, kFileShare, FILE_OPEN, FILE_NON_DIRECTORY_FILE});
        if (entry) {
            const std::string why = WhyNotOurFile(entry->handle.Get(), entry->attributes, path,
                                                  user.Sid(), FileJudged::OwnerOnly);
            if (!why.empty())
                throw std::runtime_error("the file " + why);
            return std::move(entry->handle);
        }
        if (entry.Error().kind == FileError::Kind::Link)
            throw std::runtime_error("the file is a link");
        if (entry.Error().kind != FileError::Kind::NotFound)
            throw std::runtime_error(entry.Error().description);
        // Made only where nothing stands, a link that leads nowhere included.
        auto created = platform::CreateEntry(
            folder.held, file, {FILE_APPEND_DATA | READ_CONTROL, kFileShare, FILE_CREATE, 0});
        if (created)
            return std::move(*created);
        if (attempt > 0)
            throw std::runtime_error(created.Error().description);
    }
    throw std::runtime_error("keeps changing");
}

}  // namespace app
