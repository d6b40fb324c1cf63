#include "ui/TaskbarButton.h"

#include <objbase.h>

namespace ui {

namespace {

TBPFLAG ToFlag(ButtonState state) {
    switch (state) {
        case ButtonState::Marquee:
            return TBPF_INDETERMINATE;
        case ButtonState::Normal:
            return TBPF_NORMAL;
        case ButtonState::Error:
            return TBPF_ERROR;
        case ButtonState::Paused:
            return TBPF_PAUSED;
        case ButtonState::None:
            break;
    }
    return TBPF_NOPROGRESS;
}

}  // namespace

TaskbarButton::~TaskbarButton() {
    list_.reset();
    if (comStarted_)
        CoUninitialize();
}

bool TaskbarButton::Connect() {
    if (triedToConnect_)
        return list_ != nullptr;
    triedToConnect_ = true;
    // S_FALSE: the thread's apartment was there already; it is left as
    // counted all the same.
    const HRESULT started = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    comStarted_ = SUCCEEDED(started);
    ITaskbarList3* list = nullptr;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void**>(&list)))) {
        return false;
    }
    list_.reset(list);
    if (FAILED(list_->HrInit()))
        list_.reset();
    return list_ != nullptr;
}

void TaskbarButton::Show(HWND window, const ButtonProgress& progress) {
    if (progress == shown_ || !Connect())
        return;
    // A value turns a marquee into a bar by itself; the state then gives the
    // bar its colour (error, paused) or takes it away.
    if (progress.state != ButtonState::None && progress.state != ButtonState::Marquee)
        list_->SetProgressValue(window, progress.thousandths, 1000);
    if (progress.state != shown_.state)
        list_->SetProgressState(window, ToFlag(progress.state));
    shown_ = progress;
}

void TaskbarButton::Flash(HWND window) {
    FLASHWINFO flash{};
    flash.cbSize = sizeof flash;
    flash.hwnd = window;
    flash.dwFlags = FLASHW_ALL | FLASHW_TIMERNOFG;
    FlashWindowEx(&flash);
}

void TaskbarButton::StopFlashing(HWND window) {
    FLASHWINFO flash{};
    flash.cbSize = sizeof flash;
    flash.hwnd = window;
    flash.dwFlags = FLASHW_STOP;
    FlashWindowEx(&flash);
}

}  // namespace ui
