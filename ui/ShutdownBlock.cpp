#include "ui/ShutdownBlock.h"

#include "ui/Texts.h"

namespace ui {

void ShutdownBlock::Post(HWND window, bool changing) noexcept {
    PostMessageW(window, kChangingInstallation, changing ? TRUE : FALSE, 0);
}

std::optional<LRESULT> ShutdownBlock::Handle(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam, const std::function<void()>& stopRun) {
    switch (message) {
        case kChangingInstallation:
            Hold(window, wParam != FALSE);
            return 0;
        case WM_QUERYENDSESSION:
            stopRun();
            return AllowsEndOfSession(lParam);
        default:
            return std::nullopt;
    }
}

void ShutdownBlock::Hold(HWND window, bool changing) noexcept {
    if (changing == held_)
        return;
    held_ = changing;
    if (changing)
        ShutdownBlockReasonCreate(window, text::kShutdownBlockReason);
    else
        ShutdownBlockReasonDestroy(window);
}

BOOL ShutdownBlock::AllowsEndOfSession(LPARAM reasons) const noexcept {
    // The reason alone holds nothing: a window that says yes is ended all
    // the same. Saying no is what lets the system show the reason.
    return !held_ || (reasons & ENDSESSION_CRITICAL) != 0 ? TRUE : FALSE;
}

}  // namespace ui
