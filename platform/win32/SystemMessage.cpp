#include "platform/win32/SystemMessage.h"

#include <string_view>

#include "platform/win32/ScopedWin.h"
#include "platform/win32/Utf16.h"

namespace platform {
namespace {

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

std::string TrimLineEnd(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

}  // namespace

std::string SystemText(DWORD code) {
    wchar_t* buffer = nullptr;
    // Language 0: the user's language, falling back as the system does.
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const ScopedLocal owned(buffer);
    if (length == 0 || buffer == nullptr)
        return {};
    return TrimLineEnd(Utf16ToUtf8(std::wstring_view(buffer, length)));
}

std::string SystemMessage(DWORD code) {
    std::string text = SystemText(code);
    if (text.empty())
        return "Error " + std::to_string(code);
    // "。" (U+3002) is the full stop that ends the messages of a Japanese system.
    constexpr std::string_view kJapaneseFullStop = "\xE3\x80\x82";
    for (;;) {
        if (EndsWith(text, kJapaneseFullStop))
            text.resize(text.size() - kJapaneseFullStop.size());
        else if (!text.empty() && (text.back() == '.' || text.back() == ' ' ||
                                   text.back() == '\r' || text.back() == '\n'))
            text.pop_back();
        else
            return text;
    }
}

std::string SystemErrorText(const std::error_code& error) {
    if (error.category() == std::system_category()) {
        std::string text = SystemText(static_cast<DWORD>(error.value()));
        if (!text.empty())
            return text;
    }
    return TrimLineEnd(error.message());
}

std::string LastErrorText() {
    return SystemErrorText(
        std::error_code(static_cast<int>(GetLastError()), std::system_category()));
}

}  // namespace platform
