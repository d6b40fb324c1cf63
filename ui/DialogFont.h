// The window's typeface: "ＭＳ Ｐゴシック" with the Shift-JIS character set, as the
// window was designed with. Windows installs it only with the Japanese
// supplemental fonts, so where it is missing the nearest Japanese UI face is
// used instead, and failing that the system's message font.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>

namespace ui {

struct FontDeleter {
    void operator()(HFONT font) const { DeleteObject(font); }
};
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

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
