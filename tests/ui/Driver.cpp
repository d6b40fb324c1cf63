// Looks at and works the window of a running Update.exe from another process
// under the same Wine prefix, for the end-to-end test and the demo.
//
//   ui_driver wait-window SECONDS   until the window is visible
//   ui_driver wait-verdict SECONDS  until a run has ended: the run button reads
//                                   "実　行", the log ends in a verdict line, and
//                                   nothing has changed for a moment
//   ui_driver show                  what the window shows, one "key=value" a
//                                   line, then "log:" and the log's lines
//   ui_driver focus                 which control a key pressed now would reach
//   ui_driver wait-focus SECONDS CONTROL
//                                   until CONTROL (button1, button2, memo1) has
//                                   the keyboard focus; says which control
//                                   has it at the end either way
//   ui_driver press                 clicks the run button (BM_CLICK)
//   ui_driver close                 closes the window (WM_CLOSE)
//
// Texts are written to standard output in UTF-8; screen positions are in the
// desktop's pixels. Exit status 0 on success, 1 on a timeout or a missing
// window.
#include "platform/win32/WinApi.h"

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/Texts.h"
#include "platform/win32/Utf16.h"
#include "ui/ControlIds.h"

namespace {

using namespace std::chrono_literals;

struct Controls {
    HWND form = nullptr;
    HWND button1 = nullptr;
    HWND button2 = nullptr;
    HWND label1 = nullptr;
    HWND memo1 = nullptr;
};

Controls FindControls() {
    Controls found;
    found.form = FindWindowW(ui::kFormClassName, nullptr);
    if (found.form == nullptr)
        return found;
    found.button1 = GetDlgItem(found.form, ui::kButton1Id);
    found.button2 = GetDlgItem(found.form, ui::kButton2Id);
    const HWND panel = GetDlgItem(found.form, ui::kPanel1Id);
    found.label1 = GetDlgItem(panel, ui::kLabel1Id);
    found.memo1 = GetDlgItem(panel, ui::kMemo1Id);
    return found;
}

// The text of a control in another process: GetWindowText would give only
// what the window manager keeps, so the control itself is asked.
std::string TextOf(HWND control) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) {
        return {};
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(control, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, 5000, &copied);
    text.resize(copied);
    return platform::Utf16ToUtf8(text);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

void Write(const std::string& text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()),
              &written, nullptr);
}

std::string Rect(HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    return std::to_string(rect.left) + " " + std::to_string(rect.top) + " " +
           std::to_string(rect.right - rect.left) + " " + std::to_string(rect.bottom - rect.top);
}

// Everything the window shows, in one text, so that "nothing changed" is a
// comparison of two of them.
std::string Show(const Controls& controls) {
    std::string shown;
    shown += "caption=" + TextOf(controls.button1) + "\n";
    shown += "enabled=" + std::string(IsWindowEnabled(controls.button1) ? "1" : "0") + "\n";
    shown += "visible=" + std::string(IsWindowVisible(controls.form) ? "1" : "0") + "\n";
    shown += "status=" + TextOf(controls.label1) + "\n";
    shown += "status-rect=" + Rect(controls.label1) + "\n";
    shown += "window-rect=" + Rect(controls.form) + "\n";
    shown += "button1-rect=" + Rect(controls.button1) + "\n";
    shown += "button2-rect=" + Rect(controls.button2) + "\n";
    shown += "log:\n";
    for (const std::string& line : Lines(TextOf(controls.memo1)))
        shown += line + "\n";
    return shown;
}

// The keyboard focus is kept per thread, so the thread of the foreground
// window, where a key pressed now would go, is asked which of its windows has
// it; GetFocus here would only know this driver's own.
std::string FocusOf(const Controls& controls) {
    const HWND foreground = GetForegroundWindow();
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (foreground == nullptr ||
        !GetGUIThreadInfo(GetWindowThreadProcessId(foreground, nullptr), &info) ||
        info.hwndFocus == nullptr) {
        return "nothing";
    }
    const std::pair<HWND, const char*> named[] = {{controls.button1, "button1"},
                                                  {controls.button2, "button2"},
                                                  {controls.memo1, "memo1"},
                                                  {controls.form, "the window itself"}};
    for (const auto& [control, name] : named) {
        if (info.hwndFocus == control)
            return name;
    }
    wchar_t className[128] = L"";
    GetClassNameW(info.hwndFocus, className, 128);
    return "a window of class " + platform::Utf16ToUtf8(className);
}

bool EndsInVerdict(const Controls& controls) {
    const std::vector<std::string> lines = Lines(TextOf(controls.memo1));
    if (lines.empty())
        return false;
    const std::string& last = lines.back();
    for (std::string_view verdict :
         {engine::text::kCompletedAdvice, engine::text::kIncompleteAdvice,
          engine::text::kNotInstalled, engine::text::kStopped, engine::text::kPackageIncomplete}) {
        if (last == verdict)
            return true;
    }
    return last.rfind(engine::text::kUnexpectedError, 0) == 0;
}

template <class Condition>
bool WaitFor(double seconds, Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition())
            return true;
        std::this_thread::sleep_for(100ms);
    }
    return false;
}

int Usage() {
    std::fputs(
        "usage: ui_driver wait-window|wait-verdict SECONDS | show | focus |\n"
        "                 wait-focus SECONDS button1|button2|memo1 | press | close |\n"
        "                 message MODULE ID\n",
        stderr);
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return Usage();
    const std::wstring command = argv[1];
    const double seconds = argc > 2 ? std::wcstod(argv[2], nullptr) : 0;

    if (command == L"wait-window") {
        return WaitFor(seconds,
                       [] {
                           const Controls controls = FindControls();
                           return controls.form != nullptr && IsWindowVisible(controls.form);
                       })
                   ? 0
                   : 1;
    }
    // The event log's text for an event, as Event Viewer would read it
    // from the registered message file.
    if (command == L"message" && argc == 4) {
        const HMODULE module = LoadLibraryExW(argv[2], nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (module == nullptr)
            return 1;
        wchar_t* text = nullptr;
        const DWORD length =
            FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                               FORMAT_MESSAGE_IGNORE_INSERTS,
                           module, static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)), 0,
                           reinterpret_cast<wchar_t*>(&text), 0, nullptr);
        if (length != 0)
            Write(platform::Utf16ToUtf8(std::wstring(text, length)));
        LocalFree(text);
        FreeLibrary(module);
        return length != 0 ? 0 : 1;
    }
    const Controls controls = FindControls();
    if (controls.form == nullptr) {
        std::fputs("ui_driver: no window of Update.exe\n", stderr);
        return 1;
    }
    if (command == L"wait-verdict") {
        // The last report operations (status line, colour, button) follow the
        // verdict line within moments; wait until the window holds still.
        std::string previous;
        int stillFor = 0;
        const bool settled = WaitFor(seconds, [&] {
            const std::string now = Show(controls);
            const bool idle =
                TextOf(controls.button1) == engine::text::kRunCaption && EndsInVerdict(controls);
            stillFor = (idle && now == previous) ? stillFor + 1 : 0;
            previous = now;
            return stillFor >= 5;
        });
        return settled ? 0 : 1;
    }
    if (command == L"show") {
        Write(Show(controls));
        return 0;
    }
    if (command == L"focus") {
        Write(FocusOf(controls) + "\n");
        return 0;
    }
    if (command == L"wait-focus" && argc == 4) {
        const std::string expected = platform::Utf16ToUtf8(argv[3]);
        std::string holder;
        const bool focused = WaitFor(seconds, [&] {
            holder = FocusOf(controls);
            return holder == expected;
        });
        Write(holder + "\n");
        return focused ? 0 : 1;
    }
    if (command == L"press") {
        PostMessageW(controls.button1, BM_CLICK, 0, 0);
        return 0;
    }
    if (command == L"close") {
        PostMessageW(controls.form, WM_CLOSE, 0, 0);
        return 0;
    }
    return Usage();
}
