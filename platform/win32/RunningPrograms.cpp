#include "platform/win32/RunningPrograms.h"

#include "platform/win32/WinApi.h"

#include <restartmanager.h>
#include <tlhelp32.h>

#include <vector>

#include "platform/win32/FileIdentity.h"
#include "platform/win32/LongPath.h"
#include "platform/win32/ScopedWin.h"
#include "platform/win32/SystemModule.h"
#include "platform/win32/Utf16.h"

namespace platform {
namespace {

// The Restart Manager's functions, from rstrtmgr.dll of the system folder.
struct RestartManager {
    HMODULE module = LoadSystemModuleForGood(L"rstrtmgr.dll");
    decltype(&RmStartSession) startSession =
        FunctionOf<decltype(startSession)>(module, "RmStartSession");
    decltype(&RmEndSession) endSession = FunctionOf<decltype(endSession)>(module, "RmEndSession");
    decltype(&RmRegisterResources) registerResources =
        FunctionOf<decltype(registerResources)>(module, "RmRegisterResources");
    decltype(&RmGetList) getList = FunctionOf<decltype(getList)>(module, "RmGetList");

    bool Complete() const { return startSession && endSession && registerResources && getList; }
};

// Loaded as the program starts, before any thread turns the WOW64
// redirection off (Wow64View), with which the 32-bit build would find only
// the 64-bit DLL.
const RestartManager restartManager;

std::wstring ImagePathOf(DWORD processId) {
    const ScopedHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process)
        return {};
    std::wstring path(MAX_PATH, L'\0');
    while (true) {
        DWORD length = DWORD(path.size());
        if (QueryFullProcessImageNameW(process.Get(), 0, path.data(), &length)) {
            path.resize(length);
            return path;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || path.size() >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
}

// A Restart Manager session, ended with its owner.
class RestartManagerSession {
  public:
    RestartManagerSession() {
        wchar_t key[CCH_RM_SESSION_KEY + 1] = {};
        if (!restartManager.Complete() ||
            restartManager.startSession(&handle_, 0, key) != ERROR_SUCCESS)
            handle_ = kNone;
    }
    ~RestartManagerSession() {
        if (handle_ != kNone)
            restartManager.endSession(handle_);
    }
    RestartManagerSession(const RestartManagerSession&) = delete;
    RestartManagerSession& operator=(const RestartManagerSession&) = delete;

    explicit operator bool() const { return handle_ != kNone; }
    DWORD Get() const { return handle_; }

  private:
    static constexpr DWORD kNone = 0xFFFFFFFF;
    DWORD handle_ = kNone;
};

}  // namespace

bool AnyProcessRunsFrom(const FileId& program) {
    const ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
         more = Process32NextW(snapshot.Get(), &entry)) {
        const std::wstring image = ImagePathOf(entry.th32ProcessID);
        if (image.empty())
            continue;
        // Attributes only: such an open meets no share mode, so a running
        // program's file opens.
        const ScopedHandle file(
            CreateFileW(ToLongPath(Utf16ToUtf8(image)).c_str(), FILE_READ_ATTRIBUTES,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (file && IdentityOf(file.Get()) == program)
            return true;
    }
    return false;
}

std::optional<std::string> ApplicationHolding(const std::string& path) {
    const RestartManagerSession session;
    if (!session)
        return std::nullopt;
    const std::wstring file = WithoutLongPrefix(Utf8ToUtf16(path));
    LPCWSTR files[] = {file.c_str()};
    if (restartManager.registerResources(session.Get(), 1, files, 0, nullptr, 0, nullptr) !=
        ERROR_SUCCESS)
        return std::nullopt;
    // The list may grow between the call that sizes it and the one that
    // fills it.
    std::vector<RM_PROCESS_INFO> applications;
    for (int attempt = 0; attempt < 3; ++attempt) {
        UINT needed = 0;
        UINT count = UINT(applications.size());
        DWORD reasons = 0;
        const DWORD result =
            restartManager.getList(session.Get(), &needed, &count, applications.data(), &reasons);
        if (result == ERROR_SUCCESS) {
            if (count == 0)
                return std::nullopt;
            return Utf16ToUtf8(applications.front().strAppName);
        }
        if (result != ERROR_MORE_DATA)
            return std::nullopt;
        applications.resize(needed);
    }
    return std::nullopt;
}

}  // namespace platform
