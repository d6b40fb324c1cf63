#include "app/RunRecord.h"

#include "platform/win32/WinApi.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <utility>

#include "app/ExitCode.h"
#include "app/LogFile.h"
#include "app/Texts.h"
#include "engine/Version.h"
#include "platform/win32/ProgramKey.h"
#include "platform/win32/ScopedWin.h"
#include "platform/win32/SystemMessage.h"
#include "platform/win32/Utf16.h"

namespace app {

namespace {

// The registry's calls return their error instead of setting the last one.
void Check(LSTATUS status, const char* call) {
    if (status != ERROR_SUCCESS)
        throw std::system_error(static_cast<int>(status), std::system_category(), call);
}

void SetText(HKEY key, const wchar_t* name, const std::wstring& value) {
    Check(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
          "RegSetValueEx");
}

void SetNumber(HKEY key, const wchar_t* name, std::size_t value) {
    const DWORD number = static_cast<DWORD>(value);
    Check(RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                         sizeof number),
          "RegSetValueEx");
}

void DeleteValue(HKEY key, const wchar_t* name) {
    const LSTATUS status = RegDeleteValueW(key, name);
    if (status != ERROR_FILE_NOT_FOUND)
        Check(status, "RegDeleteValue");
}

void SetOrDelete(HKEY key, const wchar_t* name, const std::optional<std::string>& value) {
    if (value)
        SetText(key, name, platform::Utf8ToUtf16(*value));
    else
        DeleteValue(key, name);
}

std::optional<DWORD> Number(HKEY key, const wchar_t* name) {
    DWORD number = 0;
    DWORD size = sizeof number;
    DWORD type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&number), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD) {
        return std::nullopt;
    }
    return number;
}

std::int64_t Ticks(const FILETIME& time) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
                                     time.dwLowDateTime);
}

}  // namespace

std::string LocalTimeWithOffset() {
    SYSTEMTIME universal;
    GetSystemTime(&universal);
    SYSTEMTIME local;
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
        local = universal;
    // The offset as it stands at this moment, summer time included: the
    // difference of the two clocks, in whole minutes.
    FILETIME universalTime;
    FILETIME localTime;
    SystemTimeToFileTime(&universal, &universalTime);
    SystemTimeToFileTime(&local, &localTime);
    const long long minutes = (Ticks(localTime) - Ticks(universalTime)) / 600000000;
    char text[40];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u%c%02lld:%02lld", local.wYear,
                  local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond,
                  minutes < 0 ? '-' : '+', std::llabs(minutes) / 60, std::llabs(minutes) % 60);
    return text;
}

void WriteRunRecord(const RunRecord& record) {
    HKEY raw = nullptr;
    Check(RegCreateKeyExW(
              HKEY_LOCAL_MACHINE, platform::kProgramKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
              KEY_SET_VALUE | KEY_QUERY_VALUE | KEY_WOW64_64KEY, nullptr, &raw, nullptr),
          "RegCreateKeyEx");
    const platform::ScopedRegKey key(raw);
    const std::optional<bool> decided =
        exit_code::UpToDateAfter(record.exitCode, record.drivesNotSearched.empty());
    const std::optional<DWORD> before = Number(key.Get(), L"UpToDate");
    DeleteValue(key.Get(), L"UpToDate");
    switch (exit_code::VersionAfter(record.exitCode)) {
        case exit_code::VersionChange::Write:
            SetText(key.Get(), L"Version", engine::kVersionWide.data());
            break;
        case exit_code::VersionChange::Remove:
            DeleteValue(key.Get(), L"Version");
            break;
        case exit_code::VersionChange::Keep:
            break;
    }
    SetNumber(key.Get(), L"LastExitCode", static_cast<std::size_t>(record.exitCode));
    SetText(key.Get(), L"LastRun", platform::Utf8ToUtf16(LocalTimeWithOffset()));
    SetNumber(key.Get(), L"Installations", record.count.found);
    SetNumber(key.Get(), L"Updated", record.count.updated);
    SetNumber(key.Get(), L"LeftAsTheyWere", record.count.leftAsTheyWere);
    // Installations that are new but still hold a backup, a commit record or
    // a journal that could not be deleted: a later run tidies them up.
    SetNumber(key.Get(), L"LeftOver", record.count.leftOver);
    SetOrDelete(key.Get(), L"LastLog", record.logFile);
    SetOrDelete(key.Get(), L"LogError", record.logError);
    // A run that did not search keeps what the last search found.
    if (decided) {
        SetOrDelete(key.Get(), L"DrivesNotSearched",
                    record.drivesNotSearched.empty() ? std::nullopt
                                                     : std::optional(record.drivesNotSearched));
    }
    // The start-up script runs the update again while this is 1.
    if (const std::optional<bool> pending =
            exit_code::PendingRestartAfter(record.exitCode, record.count.waitingForRestart)) {
        SetNumber(key.Get(), L"PendingRestart", *pending ? 1 : 0);
    }
    if (decided)
        SetNumber(key.Get(), L"UpToDate", *decided ? 1 : 0);
    else if (before)
        SetNumber(key.Get(), L"UpToDate", *before);
}

int RunRecorder::ExitCode() const {
    std::lock_guard lock(mutex_);
    return exitCode_;
}

void RunRecorder::DriveNotSearched(const std::string& drive, const std::string& description) {
    {
        std::lock_guard lock(mutex_);
        if (!drivesNotSearched_.empty())
            drivesNotSearched_ += ' ';
        drivesNotSearched_ += drive;
    }
    next_.DriveNotSearched(drive, description);
}

void RunRecorder::InstallationsCounted(const engine::InstallationCount& count) {
    {
        std::lock_guard lock(mutex_);
        count_ = count;
    }
    next_.InstallationsCounted(count);
}

void RunRecorder::RunEnded(engine::RunOutcome outcome) {
    engine::InstallationCount count;
    std::string drives;
    int code = exit_code::kStopped;
    {
        std::lock_guard lock(mutex_);
        count = std::exchange(count_, {});
        drives = std::exchange(drivesNotSearched_, {});
        code = exit_code::Of(outcome, count);
        if (code != exit_code::kStopped)
            exitCode_ = code;
    }
    if (keepsRecord_ && code != exit_code::kStopped && code != exit_code::kUnexpected)
        Record(code, count, drives);
    next_.RunEnded(outcome);
}

void RunRecorder::Record(int code, const engine::InstallationCount& count,
                         const std::string& drivesNotSearched) const {
    std::string why;
    try {
        RunRecord record;
        record.exitCode = code;
        record.count = count;
        record.drivesNotSearched = drivesNotSearched;
        if (file_) {
            const std::string path = file_->FullPath();
            if (!path.empty())
                record.logFile = path;
            record.logError = file_->TargetError();
        }
        WriteRunRecord(record);
        return;
    } catch (const std::system_error& failure) {
        why = platform::SystemErrorText(failure.code());
    } catch (...) {
        why = "?";
    }
    if (file_)
        file_->WriteLine(std::string(text::kLogRecordFailed) + why);
}

}  // namespace app
