#include "platform/win32/WinApi.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>

#include "tests/support/TempTree.h"

namespace test_support {
namespace {

// The fixture converts and opens paths on its own, independently of the code
// under test.
std::wstring Wide(std::string_view text) {
    if (text.empty())
        return {};
    std::wstring wide(
        std::size_t(MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0)),
        L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), wide.data(), int(wide.size()));
    return wide;
}

std::string Narrow(std::wstring_view text) {
    if (text.empty())
        return {};
    std::string narrow(std::size_t(WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()),
                                                       nullptr, 0, nullptr, nullptr)),
                       '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), narrow.data(),
                        int(narrow.size()), nullptr, nullptr);
    return narrow;
}

// "\\?\" lifts the limit of 260 characters.
std::wstring Long(const std::string& path) {
    return L"\\\\?\\" + Wide(path);
}

void Require(bool done, std::string_view what, std::string_view relative) {
    if (!done) {
        throw std::runtime_error("TempTree: cannot " + std::string(what) + " \"" +
                                 std::string(relative) + "\" (error " +
                                 std::to_string(GetLastError()) + ")");
    }
}

std::string_view Parent(std::string_view relative) {
    const std::size_t slash = relative.rfind('/');
    return slash == std::string_view::npos ? std::string_view{} : relative.substr(0, slash);
}

struct Handle {
    HANDLE h;
    ~Handle() {
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
};

// Removes a tree on Windows itself: a link (a reparse point) is removed as
// itself and never entered.
void RemoveTree(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        SetFileAttributesW(path.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW(path.c_str());
        return;
    }
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        WIN32_FIND_DATAW data;
        const HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring_view name = data.cFileName;
                if (name != L"." && name != L"..")
                    RemoveTree(path + L"\\" + data.cFileName);
            } while (FindNextFileW(find, &data));
            FindClose(find);
        }
    }
    RemoveDirectoryW(path.c_str());
}

// Under Wine a Windows program can start a Unix one, but gets no handle to
// wait on: the command signals its end by making the file `done`.
std::string UnixPathOf(const std::string& windowsPath) {
    using ToUnix = char*(CDECL*)(LPCWSTR);
    const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    char* unixPath = toUnix ? toUnix(Long(windowsPath).c_str()) : nullptr;
    Require(unixPath != nullptr, "find the Unix path of", windowsPath);
    std::string path = unixPath;
    HeapFree(GetProcessHeap(), 0, unixPath);
    return path;
}

std::wstring QuoteArgument(std::string_view argument) {
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : Wide(argument)) {
        if (c == L'\\') {
            ++backslashes;
        } else {
            if (c == L'"')
                quoted.append(backslashes + 1, L'\\');
            backslashes = 0;
        }
        quoted += c;
    }
    quoted.append(backslashes, L'\\');
    return quoted + L"\"";
}

void RunUnixShell(const std::string& script, const std::vector<std::string>& arguments,
                  const std::string& done) {
    std::wstring commandLine = L"sh -c " + QuoteArgument(script + " && : > \"$0\"") + L" " +
                               QuoteArgument(UnixPathOf(done));
    for (const std::string& argument : arguments)
        commandLine += L" " + QuoteArgument(argument);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    Require(CreateProcessW(L"Z:\\bin\\sh", commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           nullptr, &startup, &process) != 0,
            "start", "/bin/sh");
    if (process.hProcess)
        CloseHandle(process.hProcess);
    if (process.hThread)
        CloseHandle(process.hThread);
    for (int waited = 0; waited < 10000; waited += 5) {
        if (DeleteFileW(Long(done).c_str()))
            return;
        Sleep(5);
    }
    Require(false, "run", script);
}

}  // namespace

TempTree::TempTree(std::string_view description) {
    wchar_t temp[MAX_PATH + 1];
    Require(GetTempPathW(MAX_PATH + 1, temp) != 0, "find", "the temporary folder");
    // The temporary folder may be given in 8.3 short names ("RUNNER~1"),
    // which listings never show.
    std::wstring folder(32768, L'\0');
    folder.resize(GetLongPathNameW(temp, folder.data(), DWORD(folder.size())));
    if (folder.empty())
        folder = temp;
    if (folder.back() == L'\\')
        folder.pop_back();
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; root_.empty() && attempt < 1000; ++attempt) {
        const std::string candidate = Narrow(folder) + "\\tree-" +
                                      std::to_string(GetCurrentProcessId()) + "-" +
                                      std::to_string(counter++);
        if (CreateDirectoryW(Long(candidate).c_str(), nullptr))
            root_ = candidate;
    }
    Require(!root_.empty(), "make", "the temporary folder");
    Add(description);
}

TempTree::~TempTree() {
    if (RunningUnderWine()) {
        // Wine removes a Unix link to a folder neither as a folder nor as a
        // file; the Unix tools do.
        try {
            RunUnixShell("rm -rf -- \"$1\"", {UnixPathOf(root_)}, root_ + ".removed");
        } catch (const std::exception&) {
        }
        return;
    }
    RemoveTree(Long(root_));
}

void TempTree::MakeFolder(std::string_view relative) {
    if (relative.empty())
        return;
    MakeFolder(Parent(relative));
    const std::wstring path = Long(Path(relative));
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return;
    Require(CreateDirectoryW(path.c_str(), nullptr) != 0, "make the folder", relative);
}

void TempTree::MakeFile(std::string_view relative, std::string_view content) {
    MakeFolder(Parent(relative));
    const Handle file{CreateFileW(Long(Path(relative)).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
    Require(file.h != INVALID_HANDLE_VALUE, "make the file", relative);
    DWORD written = 0;
    Require(content.empty() ||
                (WriteFile(file.h, content.data(), DWORD(content.size()), &written, nullptr) &&
                 written == content.size()),
            "write the file", relative);
}

void TempTree::MakeLink(std::string_view relative, std::string_view target) {
    MakeFolder(Parent(relative));
    const std::string link = Path(relative);
    const std::string to = Path(target);
    if (RunningUnderWine()) {
        // Wine 8 answers CreateSymbolicLinkW with success and makes nothing.
        const std::string unixRoot = UnixPathOf(root_);
        std::string unixLink = unixRoot + "/" + std::string(relative);
        std::string unixTarget = target.empty() ? unixRoot : unixRoot + "/" + std::string(target);
        RunUnixShell("ln -s -- \"$2\" \"$1\"", {unixLink, unixTarget}, root_ + ".linked");
        return;
    }
    const DWORD targetAttributes = GetFileAttributesW(Long(to).c_str());
    const bool toFolder = targetAttributes != INVALID_FILE_ATTRIBUTES &&
                          (targetAttributes & FILE_ATTRIBUTE_DIRECTORY);
    Require(CreateSymbolicLinkW(Long(link).c_str(), Long(to).c_str(),
                                (toFolder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) |
                                    SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) != 0,
            "make the link", relative);
}

std::optional<std::string> TempTree::Read(std::string_view relative) const {
    const Handle file{CreateFileW(Long(Path(relative)).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr)};
    if (file.h == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string content;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file.h, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        content.append(buffer, got);
    }
    return content;
}

bool TempTree::Exists(std::string_view relative) const {
    return GetFileAttributesW(Long(Path(relative)).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> TempTree::Names(std::string_view folder) const {
    std::vector<std::string> names;
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileW((Long(Path(folder)) + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring_view name = data.cFileName;
            if (name != L"." && name != L"..")
                names.push_back(Narrow(name));
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void TempTree::SetReadOnly(std::string_view relative, bool readOnly) {
    const std::wstring path = Long(Path(relative));
    const DWORD attributes = GetFileAttributesW(path.c_str());
    Require(attributes != INVALID_FILE_ATTRIBUTES, "find", relative);
    const DWORD changed = readOnly ? attributes | FILE_ATTRIBUTE_READONLY
                                   : attributes & ~DWORD{FILE_ATTRIBUTE_READONLY};
    Require(SetFileAttributesW(path.c_str(), changed) != 0, "change the attributes of", relative);
}

void TempTree::SetHidden(std::string_view relative) {
    const std::wstring path = Long(Path(relative));
    const DWORD attributes = GetFileAttributesW(path.c_str());
    Require(attributes != INVALID_FILE_ATTRIBUTES, "find", relative);
    Require(SetFileAttributesW(path.c_str(),
                               attributes | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM) != 0,
            "change the attributes of", relative);
}

void TempTree::SetUnreadable(std::string_view relative, bool) {
    Require(false, "take the permissions of (not on Windows)", relative);
}

bool RunningUnderWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

}  // namespace test_support
