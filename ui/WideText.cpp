#include "ui/WideText.h"

#include <windows.h>

#include <climits>
#include <stdexcept>

namespace ui {

namespace {

int CheckedLength(std::size_t size) {
    if (size > static_cast<std::size_t>(INT_MAX))
        throw std::length_error("text too long");
    return static_cast<int>(size);
}

}  // namespace

std::wstring Widen(std::string_view utf8) {
    if (utf8.empty())
        return {};
    const int inLength = CheckedLength(utf8.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), inLength, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), inLength, wide.data(), length);
    return wide;
}

std::string Narrow(std::wstring_view utf16) {
    if (utf16.empty())
        return {};
    const int inLength = CheckedLength(utf16.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, utf16.data(), inLength, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), inLength, narrow.data(), length, nullptr,
                        nullptr);
    return narrow;
}

}  // namespace ui
