// The window's layout as designed at 96 dots per inch, in pixels. Everything
// is scaled by (dpi / 96) when the window is laid out (see Dpi.h), so the
// proportions hold at 100 %, 125 %, 150 % and 200 %.
#pragma once

namespace ui {

// A control's bounds at 96 dpi, relative to its parent's client area.
struct Bounds96 {
    int left;
    int top;
    int width;
    int height;
};

inline constexpr int kClientWidth96 = 574;
inline constexpr int kClientHeight96 = 348;

// Character heights (a font's lfHeight is their negative).
inline constexpr int kWindowFontHeight96 = 12;
inline constexpr int kHeadingFontHeight96 = 13;

inline constexpr int kButtonWidth96 = 75;
inline constexpr int kButtonHeight96 = 23;
inline constexpr int kButtonTop96 = 319;

// The heading sizes itself to its text; only its top-left corner is fixed.
inline constexpr int kHeadingLeft96 = 10;
inline constexpr int kHeadingTop96 = 16;

inline constexpr Bounds96 kRunButton96{411, kButtonTop96, kButtonWidth96, kButtonHeight96};
inline constexpr Bounds96 kCloseButton96{495, kButtonTop96, kButtonWidth96, kButtonHeight96};
inline constexpr Bounds96 kPanel96{6, 43, 563, 267};

// Inside the panel.
inline constexpr int kPanelInnerLeft96 = 8;
inline constexpr int kPanelInnerWidth96 = 548;
inline constexpr Bounds96 kStatusLine96{kPanelInnerLeft96, 8, kPanelInnerWidth96, 13};
inline constexpr Bounds96 kLog96{kPanelInnerLeft96, 27, kPanelInnerWidth96, 230};

}  // namespace ui
