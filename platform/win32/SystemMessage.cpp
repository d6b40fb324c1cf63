#include "platform/win32/SystemMessage.h"

#include <string_view>

#include "platform/win32/ScopedWin.h"
#include "platform/win32/Utf16.h"

namespace platform {
namespace {

// Drops the line break and the full stop that end a message: "。" (U+3002)
// ends those of a Japanese system.
std::string Trimmed(std::string text) {
    constexpr std::string_view kJapaneseFullStop = "\xE3\x80\x82";
    for (;;) {
        if (text.ends_with(kJapaneseFullStop))
            text.resize(text.size() - kJapaneseFullStop.size());
        else if (!text.empty() && (text.back() == '.' || text.back() == ' ' ||
                                   text.back() == '\r' || text.back() == '\n'))
            text.pop_back();
        else
            return text;
    }
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
    return Trimmed(Utf16ToUtf8(std::wstring_view(buffer, length)));
}

std::string SystemMessage(DWORD code) {
    std::string text = SystemText(code);
    return text.empty() ? "Error " + std::to_string(code) : text;
}

std::string SystemErrorText(const std::error_code& error) {
    if (error.category() == std::system_category()) {
        std::string text = SystemText(static_cast<DWORD>(error.value()));
        if (!text.empty())
            return text;
    }
    return Trimmed(error.message());
}

std::string LastErrorText() {
    return SystemErrorText(
        std::error_code(static_cast<int>(GetLastError()), std::system_category()));
}

std::string SystemErrorWhat(const std::system_error& error) {
    // what() is "<call>: <the library's words>", or the words alone.
    std::string_view what = error.what();
    const std::string library = error.code().message();
    if (!what.ends_with(library))
        return SystemErrorText(error.code());
    what.remove_suffix(library.size());
    return std::string(what).append(SystemErrorText(error.code()));
}

}  // namespace platform
