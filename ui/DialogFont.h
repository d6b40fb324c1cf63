// The window's typeface: "ＭＳ Ｐゴシック" with the Shift-JIS character set, as the
// window was designed with. Windows installs it only with the Japanese
// supplemental fonts, so where it is missing the nearest Japanese UI face is
// used instead, and failing that the system's message font.
#pragma once

#include "platform/win32/WinApi.h"

#include <string>

#include "platform/win32/ScopedWin.h"

namespace ui {

using UniqueFont = platform::ScopedGdiObject<HFONT>;

struct Typeface {
    std::wstring face;
    BYTE charset;
};

// The first installed face of the preference list; looked up once.
const Typeface& WindowTypeface();

// A regular font of the window's typeface whose characters are
// `characterHeight96` pixels high at 96 dpi, scaled to `dpi`.
UniqueFont CreateWindowFont(int characterHeight96, UINT dpi);

}  // namespace ui
