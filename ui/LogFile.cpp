#include "ui/LogFile.h"

#include <cstdio>
#include <string>

#include "engine/Texts.h"
#include "platform/win32/Utf16.h"
#include "ui/ExitCode.h"
#include "ui/Texts.h"
#include "ui/Win32Error.h"

namespace ui {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string TimeStamp() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
    return stamp;
}

std::string FullPathOf(const std::string& path) {
    const std::wstring given = platform::Utf8ToUtf16(path);
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0)
            return path;
        if (length < full.size()) {
            full.resize(length);
            return platform::Utf16ToUtf8(full);
        }
        full.resize(length);
    }
}

void WriteAll(HANDLE file, std::string_view bytes) {
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

LogFile::LogFile(const std::string& path) : fullPath_(FullPathOf(path)) {
    // Append access alone makes every write land at the end of the file, as
    // one piece, even while another Update.exe appends to the same file: the
    // second one, which only says that it found the first, shares the log.
    file_.Reset(CreateFileW(platform::Utf8ToUtf16(path).c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_)
        ThrowLastError("CreateFile (log)");
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file_.Get(), &size) && size.QuadPart == 0)
        WriteAll(file_.Get(), kByteOrderMark);
}

void LogFile::WriteLine(std::string_view line) noexcept {
    std::lock_guard lock(mutex_);
    if (!ended_)
        Append(line);
}

void LogFile::WriteUnexpectedError(std::string_view what) noexcept {
    std::lock_guard lock(mutex_);
    if (ended_)
        return;
    unexpectedErrorWritten_ = true;
    try {
        Append(std::string(text::kLogUnexpectedError) + std::string(what));
    } catch (...) {
    }
}

void LogFile::NoteFailure(std::string_view what) noexcept {
    std::lock_guard lock(mutex_);
    try {
        noted_ = what;
    } catch (...) {
    }
}

void LogFile::WriteExitCode(int code) noexcept {
    std::lock_guard lock(mutex_);
    if (ended_)
        return;
    ended_ = true;
    try {
        if (code == exit_code::kUnexpected && !unexpectedErrorWritten_) {
            Append(std::string(text::kLogUnexpectedError) +
                   (noted_.empty() ? std::string(engine::text::kUnknownFailure) : noted_));
        }
        Append(std::string(text::kLogExitCode) + std::to_string(code));
    } catch (...) {
    }
}

void LogFile::Append(std::string_view line) noexcept {
    try {
        // One write per line: a line is in the file whole or not at all.
        // A folder name may hold an unpaired surrogate, carried inside in a
        // form that is not UTF-8; the file must stay readable as UTF-8.
        std::string record = TimeStamp();
        record.append(platform::WellFormedUtf8(line)).append("\r\n");
        WriteAll(file_.Get(), record);
    } catch (...) {
        // Out of memory for one line: that line is lost, the run goes on.
    }
}

}  // namespace ui
