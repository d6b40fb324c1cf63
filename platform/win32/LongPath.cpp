#include "platform/win32/LongPath.h"

#include "platform/win32/Utf16.h"
#include "platform/win32/WinApi.h"

namespace platform {
namespace {

constexpr std::wstring_view kPrefix = L"\\\\?\\";
constexpr std::wstring_view kUncPrefix = L"\\\\?\\UNC\\";

bool IsLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

}  // namespace

std::wstring ToLongPath(std::string_view path) {
    std::wstring wide = Utf8ToUtf16(path);
    if (wide.starts_with(kPrefix))
        return wide;
    for (wchar_t& c : wide) {
        if (c == L'/')
            c = L'\\';
    }
    if (wide.size() >= 2 && IsLetter(wide[0]) && wide[1] == L':') {
        if (wide.size() == 2)
            wide += L'\\';  // "C:" alone would mean C:'s current folder
        if (wide[2] != L'\\')
            return wide;  // "C:name" is relative to it
        return std::wstring(kPrefix) + wide;
    }
    if (wide.starts_with(L"\\\\"))
        return std::wstring(kUncPrefix) + wide.substr(2);
    return wide;
}

std::wstring WithoutLongPrefix(std::wstring_view path) {
    if (path.starts_with(kUncPrefix))
        return L"\\\\" + std::wstring(path.substr(kUncPrefix.size()));
    if (path.starts_with(kPrefix))
        return std::wstring(path.substr(kPrefix.size()));
    return std::wstring(path);
}

std::wstring FullPathName(const std::wstring& path) {
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0)
            return path;
        if (length < full.size()) {
            full.resize(length);
            return full;
        }
        full.resize(length);
    }
}

}  // namespace platform
