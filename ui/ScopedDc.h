// Owners of a window's device context and of an object selected into one, so
// that each GetDC is released and each selection undone, whichever way a
// function is left.
#pragma once

#include "platform/win32/WinApi.h"

namespace ui {

class ScopedDc {
  public:
    // The device context of `window`, or of the whole screen when it is null.
    explicit ScopedDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~ScopedDc() {
        if (dc_)
            ReleaseDC(window_, dc_);
    }
    ScopedDc(const ScopedDc&) = delete;
    ScopedDc& operator=(const ScopedDc&) = delete;

    HDC Get() const { return dc_; }

  private:
    HWND window_;
    HDC dc_;
};

class ScopedSelection {
  public:
    ScopedSelection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~ScopedSelection() {
        if (previous_)
            SelectObject(dc_, previous_);
    }
    ScopedSelection(const ScopedSelection&) = delete;
    ScopedSelection& operator=(const ScopedSelection&) = delete;

  private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace ui
