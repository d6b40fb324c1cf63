#include "ui/SingleInstance.h"

#include <string>

#include "platform/win32/Utf16.h"
#include "ui/ControlIds.h"
#include "ui/Texts.h"
#include "ui/Win32Error.h"

namespace ui {

namespace {

// "Global\" makes the name one for the whole PC rather than one per session,
// so that a second user's updater waits its turn too. The version is part of
// the name: it is this update's installations that must not be changed twice
// at once.
constexpr wchar_t kMutexName[] = L"Global\\SoramidoUpdate-1.55B";

}  // namespace

SingleInstance::SingleInstance() {
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, kMutexName);
    const DWORD error = GetLastError();
    mutex_.Reset(mutex);
    if (mutex_) {
        first_ = error != ERROR_ALREADY_EXISTS;
        return;
    }
    // A mutex made by an elevated updater or another user's cannot be opened
    // by this one, but it is there all the same.
    if (error != ERROR_ACCESS_DENIED)
        ThrowLastError("CreateMutex");
    first_ = false;
}

void BringFirstInstanceForward() {
    // The window class alone is no proof: "TForm1" is the first form of
    // countless programs. The caption narrows it down to an updater's.
    const HWND form =
        FindWindowW(kFormClassName, platform::Utf8ToUtf16(text::kFormCaption).c_str());
    if (form == nullptr)
        return;
    // Minimising the application's window hides the windows it owns, Form1
    // among them; restoring it brings them back. The asynchronous calls do
    // not wait for the other program, which may be busy.
    const HWND application = GetWindow(form, GW_OWNER);
    if (application != nullptr && IsIconic(application)) {
        ShowWindowAsync(application, SW_RESTORE);
    } else if (IsIconic(form)) {
        ShowWindowAsync(form, SW_RESTORE);
    } else if (!IsWindowVisible(form)) {
        return;  // closing: it has hidden itself and is waiting for its worker
    }
    // The front window is the message box Form1 may be showing, if any. A
    // program that the user has just started may take the foreground.
    SetForegroundWindow(GetLastActivePopup(form));
}

}  // namespace ui
