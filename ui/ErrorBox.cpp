#include "ui/ErrorBox.h"

#include <system_error>

#include "platform/win32/SystemMessage.h"
#include "platform/win32/Utf16.h"
#include "ui/Texts.h"

namespace ui {

namespace {

// The code point of the last character of a UTF-8 text (0 for an empty one).
char32_t LastCharacter(std::string_view utf8) {
    if (utf8.empty())
        return 0;
    std::size_t start = utf8.size() - 1;
    while (start > 0 && (static_cast<unsigned char>(utf8[start]) & 0xC0) == 0x80)
        --start;
    const auto lead = static_cast<unsigned char>(utf8[start]);
    int continuation = 0;
    char32_t code = lead;
    if (lead >= 0xF0) {
        code = lead & 0x07;
        continuation = 3;
    } else if (lead >= 0xE0) {
        code = lead & 0x0F;
        continuation = 2;
    } else if (lead >= 0xC0) {
        code = lead & 0x1F;
        continuation = 1;
    }
    for (int i = 1; i <= continuation && start + i < utf8.size(); ++i) {
        code = (code << 6) | (static_cast<unsigned char>(utf8[start + i]) & 0x3F);
    }
    return code;
}

}  // namespace

void ShowErrorBox(HWND owner, std::string_view message) noexcept {
    try {
        MessageBoxW(owner, platform::Utf8ToUtf16(message).c_str(),
                    platform::Utf8ToUtf16(text::kApplicationTitle).c_str(), MB_ICONERROR | MB_OK);
    } catch (...) {
        // Not even the message could be built; there is nothing left to show.
        MessageBoxW(owner, L"?", L"SoramidoUpDate", MB_ICONERROR | MB_OK);
    }
}

std::string WithClosingFullStop(std::string message) {
    if (!message.empty() && LastCharacter(message) > U'.')
        message += '.';
    return message;
}

std::string FailureMessage(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::system_error& error) {
        // Its what() is in the ANSI code page; the system's own wide text is not.
        return WithClosingFullStop(platform::SystemErrorText(error.code()));
    } catch (const std::exception& error) {
        return WithClosingFullStop(error.what());
    } catch (...) {
        return WithClosingFullStop("Unknown failure");
    }
}

}  // namespace ui
