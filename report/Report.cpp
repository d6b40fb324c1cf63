// Report.exe: the page and the table of a folder of PC logs, for whoever
// starts it, with no rights beyond theirs. A console program, so that a
// script waits for it and reads its exit code; started by a double-click it
// owns the console that Windows made for it alone, hides it, and opens the
// page in the default browser.
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "platform/PathJoin.h"
#include "platform/win32/LongPath.h"
#include "platform/win32/ModulePath.h"
#include "platform/win32/ScopedWin.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/WinApi.h"
#include "report/Pages.h"
#include "report/ReportOptions.h"
#include "report/Verdict.h"
#include "report/Win32LogFolder.h"

namespace {

constexpr int kWritten = 0;
constexpr int kFolderUnreadable = 1;
constexpr int kNotWritten = 2;
constexpr int kBadCommandLine = 6;

constexpr wchar_t kPageName[] = L"soramido-report.html";
constexpr wchar_t kTableName[] = L"soramido-report.csv";
constexpr wchar_t kTitle[] = L"「ケルミナ そらみど」アップデートの状況";

// A console that no other process shares was made for this program alone:
// Explorer started it. From cmd, PowerShell or a script the console is
// theirs too.
bool StartedByDoubleClick() {
    DWORD processes[2];
    return GetConsoleProcessList(processes, 2) == 1;
}

// What the program says: to the console as UTF-16, whatever its code page,
// or as UTF-8 when the output goes to a file or a pipe.
void Say(const std::string& text, bool error = false) {
    const HANDLE out = GetStdHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE)
        return;
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(out, &mode)) {
        const std::wstring wide = platform::Utf8ToUtf16(text + "\n");
        WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        const std::string line = text + "\r\n";
        WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
}

// Said on the console, and in a box when nobody watches a console.
void Tell(const std::string& text, bool box, bool error) {
    Say(text, error);
    if (box) {
        MessageBoxW(nullptr, platform::Utf8ToUtf16(text).c_str(), kTitle,
                    MB_OK | (error ? MB_ICONERROR : MB_ICONINFORMATION));
    }
}

std::string Now(std::string& minutes) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond);
    minutes = std::string(stamp, 16);
    return stamp;
}

std::wstring DocumentsFolder() {
    PWSTR path = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &path)))
        folder = path;
    CoTaskMemFree(path);
    return folder;
}

std::wstring FolderOfProgram() {
    std::wstring path = platform::ModuleFileName(nullptr);
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

// Writes the whole file beside its place, then puts it there, so that a
// browser or Excel never meets half a page. Empty when written, else why.
std::string WriteWhole(const std::wstring& path, const std::string& bytes) {
    const std::wstring temporary = path + L".tmp";
    {
        const platform::ScopedHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr,
                                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                                      nullptr));
        if (!file)
            return report::SystemErrorText(GetLastError());
        DWORD written = 0;
        if (!WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                       nullptr) ||
            written != bytes.size()) {
            std::string why = report::SystemErrorText(GetLastError());
            DeleteFileW(temporary.c_str());
            return why;
        }
    }
    if (!MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        std::string why = report::SystemErrorText(GetLastError());
        DeleteFileW(temporary.c_str());
        return why;
    }
    return {};
}

std::string Counts(const report::Survey& survey) {
    std::string counts = "PC " + std::to_string(survey.rows.size()) + " 台：";
    for (int i = report::kStandings - 1; i >= 0; --i) {
        counts += std::string(report::StandingName(static_cast<report::Standing>(i))) + " " +
                  std::to_string(survey.counts[i]) + (i > 0 ? "、" : "");
    }
    return counts;
}

int Run(const std::vector<std::string>& arguments) {
    const bool doubleClicked = StartedByDoubleClick();
    report::ReportOptions options;
    if (const auto error = report::ParseReportArguments(arguments, options)) {
        Tell(*error + "\n\n" + std::string(report::kReportUsage), doubleClicked, true);
        return kBadCommandLine;
    }
    if (options.help) {
        Tell(std::string(report::kReportUsage), doubleClicked, false);
        return kWritten;
    }
    const bool open = options.open.value_or(doubleClicked);
    if (doubleClicked)
        ShowWindow(GetConsoleWindow(), SW_HIDE);
    const std::string folderPath =
        options.folder.empty() ? platform::Utf16ToUtf8(FolderOfProgram()) : options.folder;
    std::wstring out = options.out.empty() ? DocumentsFolder() : platform::Utf8ToUtf16(options.out);
    if (out.empty())
        out = FolderOfProgram();
    out = platform::WithoutLongPrefix(platform::FullPathName(out));

    report::Survey survey;
    std::string minutes;
    const std::string now = Now(minutes);
    try {
        report::Win32LogFolder folder(folderPath);
        // Many reads at once hide a share's latency.
        survey = report::SurveyFolder(folder, {report::SecondsOf(now), options.staleDays, 8});
    } catch (const std::exception& failure) {
        Tell("ログのフォルダーを読めません：" + std::string(failure.what()), open, true);
        return kFolderUnreadable;
    }
    // A folder asked for that is not there yet is made, with those above it.
    const int made = SHCreateDirectoryExW(nullptr, out.c_str(), nullptr);
    if (made != ERROR_SUCCESS && made != ERROR_ALREADY_EXISTS && made != ERROR_FILE_EXISTS) {
        Tell(platform::Utf16ToUtf8(out) + " を作れません：" + report::SystemErrorText(made), open,
             true);
        return kNotWritten;
    }
    const std::wstring page = platform::JoinPath(out, kPageName);
    const std::wstring table = platform::JoinPath(out, kTableName);
    for (const auto& [path, bytes] :
         {std::pair{page, report::HtmlPage(survey, {folderPath, minutes, options.staleDays})},
          std::pair{table, report::CsvTable(survey)}}) {
        if (const std::string why =
                WriteWhole(platform::ToLongPath(platform::Utf16ToUtf8(path)), bytes);
            !why.empty()) {
            Tell(platform::Utf16ToUtf8(path) + " を書けません：" + why, open, true);
            return kNotWritten;
        }
    }
    Say(Counts(survey));
    Say("ページ：" + platform::Utf16ToUtf8(page));
    Say("表：" + platform::Utf16ToUtf8(table));
    if (open) {
        const auto result = reinterpret_cast<INT_PTR>(
            ShellExecuteW(nullptr, L"open", page.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        if (result <= 32) {
            Tell("ページを開けません：" + platform::Utf16ToUtf8(page), doubleClicked, true);
        }
    }
    return kWritten;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    try {
        // ShellExecute may hand the page to a shell extension, which wants COM.
        const HRESULT com =
            CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        std::vector<std::string> arguments;
        for (int i = 1; i < argc; ++i)
            arguments.push_back(platform::Utf16ToUtf8(argv[i]));
        const int code = Run(arguments);
        if (SUCCEEDED(com))
            CoUninitialize();
        return code;
    } catch (const std::exception& failure) {
        Say(std::string("予期しないエラー：") + failure.what(), true);
    } catch (...) {
        Say("予期しないエラー", true);
    }
    return 7;
}
