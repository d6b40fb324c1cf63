#include "tests/support/TempTree.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace test_support {
namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// The path of a UTF-8 text: on Windows a std::string would be read in the
// ANSI code page.
std::filesystem::path FsPath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string_view Trim(std::string_view text) {
    const std::size_t start = text.find_first_not_of(" \t\r");
    if (start == std::string_view::npos)
        return {};
    const std::size_t end = text.find_last_not_of(" \t\r");
    return text.substr(start, end - start + 1);
}

}  // namespace

void TempTree::Add(std::string_view description) {
    while (!description.empty()) {
        const std::size_t end = std::min(description.find('\n'), description.size());
        const std::string_view line = Trim(description.substr(0, end));
        description.remove_prefix(std::min(end + 1, description.size()));
        if (line.empty())
            continue;

        if (const std::size_t arrow = line.find(" -> "); arrow != std::string_view::npos) {
            std::string_view target = Trim(line.substr(arrow + 4));
            if (target == "/")
                target = {};
            MakeLink(Trim(line.substr(0, arrow)), target);
        } else if (const std::size_t equals = line.find(" = "); equals != std::string_view::npos) {
            MakeFile(Trim(line.substr(0, equals)), line.substr(equals + 3));
        } else if (line.back() == '/') {
            MakeFolder(line.substr(0, line.size() - 1));
        } else {
            MakeFile(line, {});
        }
    }
}

std::string TempTree::Path(std::string_view relative) const {
    std::string path = root_;
    if (relative.empty())
        return path;
    path += kSeparator;
    for (char c : relative)
        path += c == '/' ? kSeparator : c;
    return path;
}

bool TempTree::Rename(std::string_view from, std::string_view to) {
    std::error_code error;
    std::filesystem::rename(FsPath(Path(from)), FsPath(Path(to)), error);
    return !error;
}

}  // namespace test_support
