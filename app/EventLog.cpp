#include "app/EventLog.h"

#include "platform/win32/WinApi.h"

#include <stdexcept>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/LogFile.h"
#include "app/ProtectedFolder.h"
#include "app/Texts.h"
#include "platform/PathJoin.h"
#include "platform/win32/ScopedWin.h"
#include "platform/win32/SystemMessage.h"
#include "platform/win32/Utf16.h"

namespace app {

namespace {

constexpr wchar_t kSourceKey[] =
    L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Soramido Update";

[[noreturn]] void Fail(long error, const char* what) {
    throw std::system_error(static_cast<int>(error), std::system_category(), what);
}

// The message file's bytes as Update.exe carries them.
std::string_view CarriedMessageFile() {
    const HRSRC found =
        FindResourceW(nullptr, L"EVENTMESSAGES", MAKEINTRESOURCEW(10));  // RT_RCDATA
    if (found == nullptr)
        Fail(static_cast<long>(GetLastError()), "FindResource (event messages)");
    const HGLOBAL loaded = LoadResource(nullptr, found);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr)
        Fail(static_cast<long>(GetLastError()), "LoadResource (event messages)");
    return {static_cast<const char*>(bytes), SizeofResource(nullptr, found)};
}

constexpr char kMessageFileName[] = "SoramidoUpdateMessages.dll";

// Reads what `file` holds from its start, up to one byte more than `most`.
std::string ReadStart(HANDLE file, std::size_t most) {
    LARGE_INTEGER start{};
    std::string bytes(most + 1, '\0');
    DWORD read = 0;
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN) ||
        !ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
        Fail(static_cast<long>(GetLastError()), "ReadFile (event messages)");
    }
    bytes.resize(read);
    return bytes;
}

// Puts the carried file in our folder unless the one there holds the same
// bytes, which Event Viewer may have open: then it is only read. What is
// written is read back: Event Viewer is to show our texts, and nothing else.
// Returns the file's full path.
std::wstring PutMessageFile(Corrections& corrections) {
    const std::string_view carried = CarriedMessageFile();
    const OpenedFolder folder =
        ProtectedFolder({"Kelmina", "Soramido", "EventMessages"}, corrections);
    ContinueRemoving(folder, corrections);
    std::wstring path = platform::Utf8ToUtf16(platform::JoinPath(folder.path, kMessageFileName));
    {
        const platform::ScopedHandle present =
            OpenOurFile(folder, kMessageFileName, GENERIC_READ, corrections);
        if (ReadStart(present.Get(), carried.size()) == carried)
            return path;
    }
    const platform::ScopedHandle file =
        OpenOurFile(folder, kMessageFileName, GENERIC_READ | GENERIC_WRITE, corrections);
    DWORD written = 0;
    if (!SetEndOfFile(file.Get()) ||
        !WriteFile(file.Get(), carried.data(), static_cast<DWORD>(carried.size()), &written,
                   nullptr) ||
        written != carried.size() || !FlushFileBuffers(file.Get())) {
        Fail(static_cast<long>(GetLastError()), "WriteFile (event messages)");
    }
    if (ReadStart(file.Get(), carried.size()) != carried)
        throw std::runtime_error(platform::Utf16ToUtf8(path) + ": not what was written");
    return path;
}

void Register(const std::wstring& messageFile) {
    HKEY raw = nullptr;
    LSTATUS status =
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSourceKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &raw, nullptr);
    if (status != ERROR_SUCCESS)
        Fail(status, "RegCreateKeyEx (event source)");
    const platform::ScopedRegKey owned(raw);
    const HKEY key = owned.Get();
    const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
    status = RegSetValueExW(key, L"EventMessageFile", 0, REG_EXPAND_SZ,
                            reinterpret_cast<const BYTE*>(messageFile.c_str()),
                            static_cast<DWORD>((messageFile.size() + 1) * sizeof(wchar_t)));
    if (status == ERROR_SUCCESS) {
        status = RegSetValueExW(key, L"TypesSupported", 0, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&types), sizeof types);
    }
    if (status != ERROR_SUCCESS)
        Fail(status, "RegSetValueEx (event source)");
}

WORD EventType(int exitCode) {
    switch (LevelOf(exitCode)) {
        case EventLevel::Information:
            return EVENTLOG_INFORMATION_TYPE;
        case EventLevel::Warning:
            return EVENTLOG_WARNING_TYPE;
        case EventLevel::Error:
            break;
    }
    return EVENTLOG_ERROR_TYPE;
}

}  // namespace

void WriteRunEvent(int exitCode, const engine::InstallationCount& count, const std::string& logPath,
                   Corrections& corrections) {
    const std::wstring messageFile = PutMessageFile(corrections);
    Register(messageFile);
    const HANDLE source = RegisterEventSourceW(nullptr, kEventSource);
    if (source == nullptr)
        Fail(static_cast<long>(GetLastError()), "RegisterEventSource");
    const std::wstring strings[] = {std::to_wstring(count.found), std::to_wstring(count.updated),
                                    std::to_wstring(count.leftAsTheyWere),
                                    platform::Utf8ToUtf16(logPath)};
    const wchar_t* inserts[] = {strings[0].c_str(), strings[1].c_str(), strings[2].c_str(),
                                strings[3].c_str()};
    const BOOL reported =
        ReportEventW(source, EventType(exitCode), 0, 1000 + static_cast<DWORD>(exitCode), nullptr,
                     4, 0, inserts, nullptr);
    const DWORD error = GetLastError();
    DeregisterEventSource(source);
    if (!reported)
        Fail(static_cast<long>(error), "ReportEvent");
}

void FinishRun(LogFile& log, int exitCode) noexcept {
    // The message file's batch of deleting takes at most about a second.
    if (log.Ended() || !log.ClaimFinish(std::chrono::seconds(5)))
        return;
    Corrections corrections;
    try {
        WriteRunEvent(exitCode, log.Counts(), log.FullPath(), corrections);
    } catch (const std::system_error& failure) {
        log.WriteLine(std::string(text::kLogEventFailed) + platform::SystemErrorWhat(failure));
    } catch (const std::exception& failure) {
        log.WriteLine(std::string(text::kLogEventFailed) + failure.what());
    } catch (...) {
        log.WriteLine(std::string(text::kLogEventFailed) + "?");
    }
    // After the event's failure, if any, since what was removed is written
    // even when the event could not be.
    for (const std::string& line : corrections)
        log.WriteLine(line);
    log.WriteExitCode(exitCode);
}

}  // namespace app
