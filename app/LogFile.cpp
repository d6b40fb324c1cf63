#include "app/LogFile.h"

#include <cstdio>
#include <stdexcept>
#include <string>
#include <system_error>

#include "app/ExitCode.h"
#include "app/LogTarget.h"
#include "app/ProtectedFolder.h"
#include "app/Texts.h"
#include "engine/Texts.h"
#include "platform/PathJoin.h"
#include "platform/win32/LongPath.h"
#include "platform/win32/SystemMessage.h"
#include "platform/win32/Utf16.h"

namespace app {

// Whether `text` names the PC's own log, %ProgramData%\<folder>\<name>.
constexpr bool NamesLocalLog(std::string_view text) {
    constexpr std::string_view kRoot = "%ProgramData%";
    std::size_t at = text.find(kRoot);
    if (at == std::string_view::npos)
        return false;
    at += kRoot.size();
    const auto next = [&](std::string_view part) {
        if (text.substr(at, 1) != "\\" || text.substr(at + 1, part.size()) != part)
            return false;
        at += 1 + part.size();
        return true;
    };
    for (const std::string_view part : kLocalLogFolder) {
        if (!next(part))
            return false;
    }
    return next(kLocalLogName);
}
static_assert(NamesLocalLog(text::kUsage), "the /? box names the PC's own log where it lies");

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string TimeStamp() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
    return stamp;
}

std::string FullPathOf(const std::string& path) {
    return platform::Utf16ToUtf8(platform::FullPathName(platform::Utf8ToUtf16(path)));
}

// Zero when every byte was written, else the system's error.
DWORD WriteAll(HANDLE file, std::string_view bytes) {
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        return GetLastError();
    return written == bytes.size() ? 0 : ERROR_DISK_FULL;
}

// Append access alone makes every write land at the end of the file, as
// one piece, even while another Update.exe appends to the same file: the
// second one, which only says that it found the first, shares the log.
platform::ScopedHandle OpenForAppending(const std::wstring& path) {
    return platform::ScopedHandle(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Makes the folders above `file` on a share that are missing; a failure
// shows when the file is opened.
void MakeFoldersAbove(const std::wstring& file) {
    const std::size_t slash = file.find_last_of(L"\\/");
    if (slash == std::wstring::npos || slash == 0)
        return;
    const std::wstring folder = file.substr(0, slash);
    if (GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES)
        return;
    MakeFoldersAbove(folder);
    CreateDirectoryW(folder.c_str(), nullptr);
}

LARGE_INTEGER SizeOf(HANDLE file) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size))
        size.QuadPart = 0;
    return size;
}

}  // namespace

LogPlace PlaceOf(const std::string& full, std::string& onDrive) {
    if (full.starts_with("\\\\?\\UNC\\"))
        return LogPlace::Share;
    std::string local = full;
    if (full.starts_with("\\\\?\\") || full.starts_with("\\\\.\\"))
        local.erase(0, 4);
    else if (full.starts_with("\\\\"))
        return LogPlace::Share;
    const bool letter = local.size() >= 3 && ((local[0] >= 'A' && local[0] <= 'Z') ||
                                              (local[0] >= 'a' && local[0] <= 'z'));
    if (!letter || local[1] != ':' || local[2] != '\\')
        return LogPlace::Neither;
    if (GetDriveTypeW(platform::Utf8ToUtf16(local.substr(0, 3)).c_str()) == DRIVE_REMOTE)
        return LogPlace::Share;
    onDrive = std::move(local);
    return LogPlace::Drive;
}

void LogFile::Add(platform::ScopedHandle file, std::string path, bool target) {
    if (SizeOf(file.Get()).QuadPart == 0)
        WriteAll(file.Get(), kByteOrderMark);
    std::lock_guard lock(mutex_);
    sinks_.push_back({std::move(file), std::move(path), target});
}

std::string LogFile::OpenLocal(Corrections& corrections) noexcept {
    try {
        const OpenedFolder folder = ProtectedFolder(
            std::vector<std::string>(std::begin(kLocalLogFolder), std::end(kLocalLogFolder)),
            corrections);
        ContinueRemoving(folder, corrections);
        // What cannot be cleared from the old log's name only keeps the log
        // from being moved aside: it grows on, and says why.
        bool canRotate = true;
        try {
            ClearForOurFile(folder, kOlderLocalLogName, corrections);
        } catch (const std::exception& blocked) {
            corrections.push_back(std::string(text::kLogNotPutRight) + blocked.what());
            canRotate = false;
        }
        platform::ScopedHandle file =
            OpenOurFile(folder, kLocalLogName, FILE_APPEND_DATA, corrections);
        if (canRotate &&
            static_cast<unsigned long long>(SizeOf(file.Get()).QuadPart) >= kLocalLogLimit) {
            file.Reset();
            RenameOurFile(folder, kLocalLogName, kOlderLocalLogName);
            file = OpenOurFile(folder, kLocalLogName, FILE_APPEND_DATA, corrections);
        }
        Add(std::move(file), platform::JoinPath(folder.path, kLocalLogName), false);
        return {};
    } catch (const std::exception& refused) {
        return refused.what();
    } catch (...) {
        return "?";
    }
}

void LogFile::OpenTarget(const std::string& path) noexcept {
    std::string why;
    try {
        const std::string full = FullPathOf(path);
        platform::ScopedHandle file;
        std::string local;
        const LogPlace place = PlaceOf(full, local);
        if (place == LogPlace::Share) {
            if (IsInInstallation(full))
                throw LogRefused(path + ": is inside an installation");
            const std::wstring wide = platform::Utf8ToUtf16(full);
            MakeFoldersAbove(wide);
            file = OpenForAppending(wide);
            if (!file)
                why = platform::LastErrorText();
        } else if (place == LogPlace::Drive) {
            // A standard user may make folders and links on a local drive:
            // nothing on the way may lead elsewhere.
            file = OpenForAppendingWithoutLinks(local);
        } else {
            why = "is on no drive and no share";
        }
        if (file) {
            Add(std::move(file), full, true);
            return;
        }
    } catch (const LogRefused& refused) {
        try {
            std::lock_guard lock(mutex_);
            targetRefused_ = refused.what();
        } catch (...) {
        }
        return;
    } catch (const std::exception& refused) {
        why = refused.what();
    } catch (...) {
        why = "?";
    }
    // Said in the log by whoever opened it, once the run's first lines are
    // written.
    try {
        std::lock_guard lock(mutex_);
        targetError_ = path + ": " + why;
    } catch (...) {
    }
}

void LogFile::TargetUnavailable(const std::string& path, const std::string& why) {
    try {
        targetError_ = path + ": " + why;
        Append(std::string(text::kLogTargetUnavailable) + *targetError_);
    } catch (...) {
    }
}

std::string LogFile::FullPath() const {
    std::lock_guard lock(mutex_);
    for (const Sink& sink : sinks_) {
        if (sink.target)
            return sink.path;
    }
    return sinks_.empty() ? std::string() : sinks_.front().path;
}

void LogFile::WriteLine(std::string_view line) noexcept {
    std::lock_guard lock(mutex_);
    if (!ended_)
        Append(line);
}

void LogFile::WriteUnexpectedError(std::string_view what) noexcept {
    std::lock_guard lock(mutex_);
    if (ended_)
        return;
    unexpectedErrorWritten_ = true;
    try {
        Append(std::string(text::kLogUnexpectedError) + std::string(what));
    } catch (...) {
    }
}

void LogFile::NoteFailure(std::string_view what) noexcept {
    std::lock_guard lock(mutex_);
    try {
        noted_ = what;
    } catch (...) {
    }
}

bool LogFile::ClaimFinish(std::chrono::milliseconds wait) noexcept {
    if (!finishClaimed_.exchange(true))
        return true;
    try {
        std::unique_lock lock(mutex_);
        endedChanged_.wait_for(lock, wait, [this] { return ended_; });
    } catch (...) {
    }
    return false;
}

void LogFile::WriteExitCode(int code) noexcept {
    std::lock_guard lock(mutex_);
    if (ended_)
        return;
    ended_ = true;
    endedChanged_.notify_all();
    try {
        if (code == exit_code::kUnexpected && !unexpectedErrorWritten_) {
            Append(std::string(text::kLogUnexpectedError) +
                   (noted_.empty() ? std::string(engine::text::kUnknownFailure) : noted_));
        }
        Append(std::string(text::kLogExitCode) + std::to_string(code));
    } catch (...) {
    }
}

void LogFile::Append(std::string_view line) noexcept {
    try {
        // One write per line: a line is in the file whole or not at all.
        // A folder name may hold an unpaired surrogate, carried inside in a
        // form that is not UTF-8; the file must stay readable as UTF-8.
        std::string record = TimeStamp();
        record.append(platform::WellFormedUtf8(line)).append("\r\n");
        for (std::size_t i = 0; i < sinks_.size(); ++i) {
            const DWORD error = WriteAll(sinks_[i].file.Get(), record);
            // The share went away or the disk filled up: the run goes on,
            // and the local log says what became of the other file.
            if (error != 0 && sinks_[i].target) {
                const std::string path = sinks_[i].path;
                sinks_.erase(sinks_.begin() + static_cast<std::ptrdiff_t>(i));
                TargetUnavailable(path, platform::SystemErrorText(std::error_code(
                                            static_cast<int>(error), std::system_category())));
                return;
            }
        }
    } catch (...) {
        // Out of memory for one line: that line is lost, the run goes on.
    }
}

}  // namespace app
