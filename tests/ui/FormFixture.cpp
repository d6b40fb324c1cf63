#include "tests/ui/FormFixture.h"

#include <utility>

#include "engine/ReplacementTable.h"
#include "tests/support/WaitLimit.h"

namespace ui_test {

Lines RefreshLines(const std::string& path, bool withXtras) {
    Lines lines;
    for (const engine::Replacement& row : engine::kReplacements) {
        if (withXtras || !row.onlyWithXtras)
            lines.push_back(path + std::string(row.logName) + "を更新しました");
    }
    return lines;
}

std::function<void(const std::string&)> Gate::HoldAt(std::string folder) {
    return [this, folder = std::move(folder)](const std::string& listed) {
        if (listed != folder)
            return;
        reached_ = true;
        const test_support::WaitLimit limit("the gate at " + folder + " to open");
        std::unique_lock lock(mutex_);
        // A stop request gives no signal of its own to wait for.
        while (!opened_.wait_for(lock, std::chrono::milliseconds(1), [this] {
            return open_ || (worker_ != nullptr && worker_->StopRequested());
        })) {
        }
    };
}

void Gate::OpenOnStop(const engine::TMyThread& worker) {
    std::lock_guard lock(mutex_);
    worker_ = &worker;
}

void Gate::Open() {
    {
        std::lock_guard lock(mutex_);
        open_ = true;
    }
    opened_.notify_all();
}

FormTest::FormTest() {
    fs.AddDrive('D', platform::DriveType::CdRom);
    fs.SetOwnExecutableFolder(kPackage);
    for (const engine::Replacement& row : engine::kReplacements) {
        const std::string name(row.source);
        fs.MakeFile(std::string(kPackage).append("Data\\").append(name), "1.55B " + name);
    }
    fs.AddDrive('C');
}

void FormTest::Install(const std::string& path, bool withXtras) {
    fs.MakeFile(path + "\\SKM300.EXE", "product");
    for (const char* name :
         {"QBANK.CXT", "TAVEN.DXR", "VIREL.DXR", "QPN.DXR", "ZUM.DXR", "BELTO.CXT"}) {
        fs.MakeFile(path + "\\" + name, "1.50");
    }
    fs.MakeFolders(path + "\\Audio\\Term\\GROUP3");
    fs.MakeFile(path + "\\Audio\\Phrase\\Group6\\q417.mp3", "1.50");
    if (withXtras)
        fs.MakeFile(path + "\\xtras\\PlugKit2.X32", "1.50");
}

void FormTest::Open(HWND owner) {
    form.Create(GetModuleHandleW(nullptr), owner);
    form.Show();
    PumpPending();
}

bool FormTest::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        PumpPending();
        if (done())
            return true;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE,
                                  static_cast<DWORD>(std::min<long long>(left.count(), 50)),
                                  QS_ALLINPUT);
    }
}

void FormTest::PumpPending() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quitPosted = true;
            continue;
        }
        if (Form() != nullptr && IsDialogMessageW(Form(), &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool FormTest::PumpUntilIdle() {
    return PumpUntil([this] {
        return form.latestWorker != nullptr && form.latestWorker->Ended() &&
               Text(ui::kButton1Id) == kRun;
    });
}

void FormTest::PressKey(UINT virtualKey) {
    const HWND focus = GetFocus();
    const LPARAM scanCode = static_cast<LPARAM>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC)) << 16;
    PostMessageW(focus, WM_KEYDOWN, virtualKey, scanCode | 1);
    PostMessageW(focus, WM_KEYUP, virtualKey, scanCode | 1 | (LPARAM{3} << 30));
    PumpPending();
}

void FormTest::Click(HWND button) {
    // The click is handled before this returns; what it sets in motion (a
    // worker's report operations) waits for the pump.
    SendMessageW(button, BM_CLICK, 0, 0);
}

HWND FormTest::Item(int id) const {
    if (id == ui::kLabel1Id || id == ui::kMemo1Id) {
        return GetDlgItem(GetDlgItem(Form(), ui::kPanel1Id), id);
    }
    return GetDlgItem(Form(), id);
}

Lines FormTest::LogLines() const {
    const std::string text = Text(ui::kMemo1Id);
    Lines lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

COLORREF FormTest::StatusColour() const {
    // Asked the way the status line asks when it paints itself.
    const HDC dc = CreateCompatibleDC(nullptr);
    SendMessageW(GetDlgItem(Form(), ui::kPanel1Id), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(Item(ui::kLabel1Id)));
    const COLORREF colour = GetTextColor(dc);
    DeleteDC(dc);
    return colour;
}

int FormTest::FocusedId() const {
    const HWND focus = GetFocus();
    return focus == nullptr ? 0 : GetDlgCtrlID(focus);
}

}  // namespace ui_test
