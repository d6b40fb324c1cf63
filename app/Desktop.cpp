#include "app/Desktop.h"

#include "platform/win32/WinApi.h"

namespace app {

Desktop ThisProcessDesktop() noexcept {
    Desktop desktop;
    DWORD session = 0;
    if (ProcessIdToSessionId(GetCurrentProcessId(), &session))
        desktop.sessionZero = session == 0;
    USEROBJECTFLAGS flags{};
    if (const HWINSTA station = GetProcessWindowStation();
        station != nullptr &&
        GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr)) {
        desktop.visibleStation = (flags.dwFlags & WSF_VISIBLE) != 0;
    }
    return desktop;
}

}  // namespace app
