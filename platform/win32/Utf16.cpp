#include "platform/win32/Utf16.h"

#include <cstdint>

namespace platform {

namespace {

constexpr wchar_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

// The range the second byte of a sequence may lie in, after lead `lead`:
// it rules out over-long forms and code points beyond U+10FFFF. Surrogates
// (ED A0..BF) are let through: they are what a lone one becomes.
bool SecondByteFits(unsigned char lead, unsigned char second) {
    if (lead == 0xE0)
        return second >= 0xA0 && second <= 0xBF;
    if (lead == 0xF0)
        return second >= 0x90 && second <= 0xBF;
    if (lead == 0xF4)
        return second >= 0x80 && second <= 0x8F;
    return IsContinuation(second);
}

}  // namespace

std::wstring Utf8ToUtf16(std::string_view text) {
    std::wstring wide;
    wide.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            wide += wchar_t(lead);
            ++i;
            continue;
        }
        std::size_t length = 0;
        std::uint32_t code = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
        }
        // The longest start of a sequence that could still be valid is
        // replaced by one U+FFFD, as the system's own conversion does.
        std::size_t taken = 1;
        while (length != 0 && taken < length && i + taken < text.size()) {
            const auto next = static_cast<unsigned char>(text[i + taken]);
            if (taken == 1 ? !SecondByteFits(lead, next) : !IsContinuation(next))
                break;
            code = (code << 6) | (next & 0x3F);
            ++taken;
        }
        if (length == 0 || taken < length) {
            wide += kReplacement;
        } else if (code >= 0x10000) {
            code -= 0x10000;
            wide += wchar_t(0xD800 + (code >> 10));
            wide += wchar_t(0xDC00 + (code & 0x3FF));
        } else {
            wide += wchar_t(code);
        }
        i += taken;
    }
    return wide;
}

std::string Utf16ToUtf8(std::wstring_view text) {
    std::string narrow;
    narrow.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t code = static_cast<std::uint16_t>(text[i]);
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size()) {
            const std::uint32_t low = static_cast<std::uint16_t>(text[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        AppendUtf8(narrow, code);  // a lone surrogate as the three bytes it would have
    }
    return narrow;
}

std::string WellFormedUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (static_cast<unsigned char>(text[i]) == 0xED && i + 2 < text.size() &&
            static_cast<unsigned char>(text[i + 1]) >= 0xA0 &&
            static_cast<unsigned char>(text[i + 1]) <= 0xBF && IsContinuation(text[i + 2])) {
            out += "\xEF\xBF\xBD";
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace platform
