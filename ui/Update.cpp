// The program's entry: the one-update-at-a-time check, the application's
// window with its task-bar button, the one dialog window Form1, and the
// message loop, which runs until Form1 is closed. The process then ends as
// soon as Form1's worker, if any, has stopped.
#include <windows.h>

#include <commctrl.h>

#include <exception>

#include "platform/win32/Win32FileSystem.h"
#include "ui/ApplicationWindow.h"
#include "ui/ErrorBox.h"
#include "ui/Main.h"
#include "ui/SingleInstance.h"
#include "ui/Texts.h"

namespace {

// IsDialogMessage gives Form1 the keys of a dialog: Tab, Enter on the
// focused or default button, Esc for the close button.
void RunMessageLoop(HWND dialog) {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(dialog, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    try {
        // Held until the worker has stopped, which is after the window has
        // gone: the last thing this program gives up.
        const ui::SingleInstance single;
        if (!single.IsFirst()) {
            ui::BringFirstInstanceForward();
            return 0;
        }
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);

        platform::Win32FileSystem files;
        ui::ApplicationWindow application;
        application.Create(instance, ui::text::kApplicationTitle);
        ui::TForm1 form(files);
        ui::Form1 = &form;
        form.Create(instance, application.Handle());
        application.SetMainWindow(form.Handle());
        application.Show();
        form.Show();
        RunMessageLoop(form.Handle());
        // Closing has hidden the window; destroying it waits for the worker.
        form.Destroy();
        ui::Form1 = nullptr;
        return 0;
    } catch (...) {
        ui::Form1 = nullptr;
        ui::ShowErrorBox(nullptr, ui::FailureMessage(std::current_exception()));
        return 1;
    }
}
