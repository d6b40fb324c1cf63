#include "ui/DialogFont.h"

#include <cwchar>

#include "ui/Dpi.h"
#include "ui/ScopedDc.h"
#include "ui/Win32Error.h"

namespace ui {

namespace {

int CALLBACK NoteFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;  // one is enough
}

bool IsInstalled(const wchar_t* face) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(wanted.lfFaceName, face, LF_FACESIZE - 1);
    bool found = false;
    const ScopedDc screen(nullptr);
    EnumFontFamiliesExW(screen.Get(), &wanted, NoteFound, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

Typeface ChooseTypeface() {
    // The designed face first, then the Japanese UI faces that ship with
    // Windows 10 and 11 (Yu Gothic UI) and with Vista to 8.1 (Meiryo UI).
    for (const wchar_t* face : {L"ＭＳ Ｐゴシック", L"Yu Gothic UI", L"Meiryo UI"}) {
        if (IsInstalled(face))
            return Typeface{face, SHIFTJIS_CHARSET};
    }
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        return Typeface{metrics.lfMessageFont.lfFaceName, DEFAULT_CHARSET};
    }
    return Typeface{L"MS Shell Dlg 2", DEFAULT_CHARSET};
}

}  // namespace

const Typeface& WindowTypeface() {
    static const Typeface chosen = ChooseTypeface();
    return chosen;
}

UniqueFont CreateWindowFont(int characterHeight96, UINT dpi) {
    const Typeface& typeface = WindowTypeface();
    LOGFONTW font{};
    font.lfHeight = -Scale(characterHeight96, dpi);  // negative: the character height
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = typeface.charset;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    wcsncpy(font.lfFaceName, typeface.face.c_str(), LF_FACESIZE - 1);
    UniqueFont created(CreateFontIndirectW(&font));
    if (!created)
        ThrowLastError("CreateFontIndirect");
    return created;
}

}  // namespace ui
