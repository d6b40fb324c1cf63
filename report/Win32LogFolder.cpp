#include "report/Win32LogFolder.h"

#include <stdexcept>

#include "platform/PathJoin.h"
#include "platform/win32/LongPath.h"
#include "platform/win32/ScopedWin.h"
#include "platform/win32/SystemMessage.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/WinApi.h"

namespace report {

namespace {

constexpr char kIsALink[] = "リンクのため読みません";

class Win32Log final : public OpenedLog {
  public:
    Win32Log(platform::ScopedHandle file, std::uint64_t size)
        : file_(std::move(file)), size_(size) {}

    std::uint64_t Size() const override { return size_; }
    bool ReadAt(std::uint64_t offset, std::size_t size, std::string& into,
                std::string& why) override {
        into.resize(size);
        std::size_t done = 0;
        while (done < size) {
            OVERLAPPED at{};
            at.Offset = static_cast<DWORD>(offset + done);
            at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
            DWORD got = 0;
            const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 20));
            if (!ReadFile(file_.Get(), into.data() + done, want, &got, &at)) {
                const DWORD error = GetLastError();
                if (error == ERROR_HANDLE_EOF)
                    break;
                why = SystemErrorText(error);
                return false;
            }
            if (got == 0)
                break;  // cut shorter meanwhile
            done += got;
        }
        into.resize(done);
        return true;
    }

  private:
    platform::ScopedHandle file_;
    std::uint64_t size_;
};

bool EndsWithLog(std::wstring_view name) {
    return name.size() > 4 &&
           CompareStringOrdinal(name.data() + name.size() - 4, 4, L".log", 4, TRUE) == CSTR_EQUAL;
}

}  // namespace

std::string SystemErrorText(unsigned long code) {
    const std::string words = platform::SystemText(code);
    return words.empty() ? "エラー " + std::to_string(code) : words;
}

Win32LogFolder::Win32LogFolder(const std::string& path)
    : folder_(platform::ToLongPath(
          platform::Utf16ToUtf8(platform::FullPathName(platform::Utf8ToUtf16(path))))) {
    const DWORD attributes = GetFileAttributesW(folder_.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        throw std::runtime_error(path + "：" + SystemErrorText(GetLastError()));
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        throw std::runtime_error(path + "：フォルダーではありません");
}

std::vector<FolderEntry> Win32LogFolder::Logs() {
    WIN32_FIND_DATAW found{};
    const platform::ScopedFindHandle find(
        FindFirstFileExW(platform::JoinPath(folder_, L"*").c_str(), FindExInfoBasic, &found,
                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!find) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
            return {};
        throw std::runtime_error(SystemErrorText(error));
    }
    std::vector<FolderEntry> entries;
    do {
        const std::wstring_view name = found.cFileName;
        const bool link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        const bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (!EndsWithLog(name) || (folder && !link))
            continue;
        entries.push_back({platform::Utf16ToUtf8(name), link ? kIsALink : ""});
    } while (FindNextFileW(find.Get(), &found));
    if (GetLastError() != ERROR_NO_MORE_FILES)
        throw std::runtime_error(SystemErrorText(GetLastError()));
    return entries;
}

std::unique_ptr<OpenedLog> Win32LogFolder::Open(const std::string& name, std::string& why) {
    // The link itself, if it is one, never what it leads to.
    platform::ScopedHandle file(
        CreateFileW(platform::JoinPath(folder_, platform::Utf8ToUtf16(name)).c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        why = SystemErrorText(GetLastError());
        return nullptr;
    }
    BY_HANDLE_FILE_INFORMATION facts{};
    if (!GetFileInformationByHandle(file.Get(), &facts)) {
        why = SystemErrorText(GetLastError());
        return nullptr;
    }
    if (facts.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        why = kIsALink;
        return nullptr;
    }
    if (facts.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        why = "ファイルではありません";
        return nullptr;
    }
    if (facts.nNumberOfLinks > 1) {
        why = "ほかの名前（ハードリンク）もあるため読みません";
        return nullptr;
    }
    const std::uint64_t size =
        (static_cast<std::uint64_t>(facts.nFileSizeHigh) << 32) | facts.nFileSizeLow;
    return std::make_unique<Win32Log>(std::move(file), size);
}

}  // namespace report
