#include "ui/ShutdownBlock.h"

#include "ui/Texts.h"

namespace ui {

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
