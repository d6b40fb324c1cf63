#include "app/SingleInstance.h"

#include "platform/win32/WinApi.h"

#include <sddl.h>

#include <string>

#include "app/Texts.h"
#include "platform/win32/Utf16.h"
#include "ui/ControlIds.h"
#include "ui/Texts.h"
#include "ui/Win32Error.h"

namespace app {

namespace {

// Shared by the namespace's boundary and alias. No version in it: a later
// release must wait for this one, whose journal it would otherwise take for
// the leftovers of a run cut short.
constexpr wchar_t kName[] = L"SoramidoUpdate";
constexpr wchar_t kMutexInNamespace[] = L"SoramidoUpdate\\Running";
// "Global\" makes the name one for the whole PC rather than one per session,
// so that a second user's updater waits its turn too. Private namespaces are
// one for the whole PC already.
constexpr wchar_t kGlobalMutexName[] = L"Global\\SoramidoUpdate";
// Administrators and the system only; nobody else opens the namespace or
// the mutex.
constexpr wchar_t kAdministratorsOnly[] = L"D:P(A;;GA;;;BA)(A;;GA;;;SY)";

using BoundaryTraits = platform::NullEmptyTraits<HANDLE, &DeleteBoundaryDescriptor>;

// The boundary every updater names: the Administrators group. Empty where the
// system has no private namespaces.
platform::ScopedWin<BoundaryTraits> AdministratorsBoundary() {
    platform::ScopedWin<BoundaryTraits> boundary(CreateBoundaryDescriptorW(kName, 0));
    if (!boundary)
        return {};
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof sid;
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size))
        ui::ThrowLastError("CreateWellKnownSid");
    HANDLE descriptor = boundary.Release();
    const BOOL added = AddSIDToBoundaryDescriptor(&descriptor, sid);
    const DWORD error = GetLastError();
    boundary.Reset(descriptor);  // it may have been moved to grow
    if (!added) {
        SetLastError(error);
        ui::ThrowLastError("AddSIDToBoundaryDescriptor");
    }
    return boundary;
}

// The namespace, made or opened. A namespace whose last holder closes it
// between this one's failure to make it and its try to open it is made again.
HANDLE EnterNamespace(HANDLE boundary, SECURITY_ATTRIBUTES& onlyAdministrators) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        if (const HANDLE made = CreatePrivateNamespaceW(&onlyAdministrators, boundary, kName))
            return made;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            ui::ThrowLastError("CreatePrivateNamespace");
        if (const HANDLE opened = OpenPrivateNamespaceW(boundary, kName))
            return opened;
        if (GetLastError() != ERROR_PATH_NOT_FOUND && GetLastError() != ERROR_NOT_FOUND &&
            GetLastError() != ERROR_FILE_NOT_FOUND) {
            ui::ThrowLastError("OpenPrivateNamespace");
        }
    }
    ui::ThrowLastError("OpenPrivateNamespace");
}

}  // namespace

SingleInstance::SingleInstance() {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdministratorsOnly, SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
        ui::ThrowLastError("ConvertStringSecurityDescriptorToSecurityDescriptor");
    }
    const platform::ScopedLocal owned(descriptor);
    SECURITY_ATTRIBUTES onlyAdministrators{sizeof onlyAdministrators, descriptor, FALSE};

    const platform::ScopedWin<BoundaryTraits> boundary = AdministratorsBoundary();
    if (boundary)
        namespace_.Reset(EnterNamespace(boundary.Get(), onlyAdministrators));
    const HANDLE mutex =
        CreateMutexW(&onlyAdministrators, FALSE, namespace_ ? kMutexInNamespace : kGlobalMutexName);
    const DWORD error = GetLastError();
    mutex_.Reset(mutex);
    if (mutex_) {
        first_ = error != ERROR_ALREADY_EXISTS;
        return;
    }
    // Without the namespace, a mutex made by another user's updater cannot be
    // opened by this one, but it is there all the same.
    if (namespace_ || error != ERROR_ACCESS_DENIED) {
        SetLastError(error);
        ui::ThrowLastError("CreateMutex");
    }
    first_ = false;
}

void BringFirstInstanceForward() {
    // The window class alone is no proof: "TForm1" is the first form of
    // countless programs. The caption narrows it down to an updater's.
    const HWND form =
        FindWindowW(ui::kFormClassName, platform::Utf8ToUtf16(ui::text::kFormCaption).c_str());
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

}  // namespace app
