#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "tests/support/TempTree.h"

namespace test_support {
namespace {

void Require(bool done, std::string_view what, std::string_view relative) {
    if (!done) {
        throw std::runtime_error("TempTree: cannot " + std::string(what) + " \"" +
                                 std::string(relative) + "\"");
    }
}

std::string_view Parent(std::string_view relative) {
    const std::size_t slash = relative.rfind('/');
    return slash == std::string_view::npos ? std::string_view{} : relative.substr(0, slash);
}

// Gives every folder its permissions back before removal, so that a folder
// a test made unreadable can be emptied too.
int OpenUp(const char* path, const struct stat* st, int type, FTW*) {
    if (type == FTW_D || type == FTW_DNR)
        ::chmod(path, (st->st_mode & 07777) | S_IRWXU);
    return 0;
}

}  // namespace

TempTree::TempTree(std::string_view description) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tree-XXXXXX";
    Require(::mkdtemp(pattern.data()) != nullptr, "make the temporary folder", pattern);
    // The tree's own path goes through no link, so that paths the code under
    // test works out (of mount points, of its own executable) compare equal.
    root_ = std::filesystem::canonical(pattern).string();
    Add(description);
}

TempTree::~TempTree() {
    // FTW_PHYS: never walk through a link; a pre-order walk opens a folder
    // only after the callback has made it readable.
    ::nftw(root_.c_str(), OpenUp, 16, FTW_PHYS);
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

void TempTree::MakeFolder(std::string_view relative) {
    if (relative.empty())
        return;
    MakeFolder(Parent(relative));
    const std::string path = Path(relative);
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return;
    Require(::mkdir(path.c_str(), 0777) == 0, "make the folder", relative);
}

void TempTree::MakeFile(std::string_view relative, std::string_view content) {
    MakeFolder(Parent(relative));
    std::ofstream file(Path(relative), std::ios::binary | std::ios::trunc);
    file << content;
    Require(file.good(), "write the file", relative);
}

void TempTree::MakeLink(std::string_view relative, std::string_view target) {
    MakeFolder(Parent(relative));
    Require(::symlink(Path(target).c_str(), Path(relative).c_str()) == 0, "make the link",
            relative);
}

std::optional<std::string> TempTree::Read(std::string_view relative) const {
    std::ifstream file(Path(relative), std::ios::binary);
    struct stat st {};
    if (!file || ::stat(Path(relative).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    return std::string{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

bool TempTree::Exists(std::string_view relative) const {
    struct stat st {};
    return ::lstat(Path(relative).c_str(), &st) == 0;
}

std::vector<std::string> TempTree::Names(std::string_view folder) const {
    std::vector<std::string> names;
    if (DIR* listing = ::opendir(Path(folder).c_str())) {
        while (const dirent* entry = ::readdir(listing)) {
            const std::string_view name = entry->d_name;
            if (name != "." && name != "..")
                names.emplace_back(name);
        }
        ::closedir(listing);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void TempTree::SetReadOnly(std::string_view relative, bool readOnly) {
    struct stat st {};
    const std::string path = Path(relative);
    Require(::stat(path.c_str(), &st) == 0, "find", relative);
    const mode_t mode = readOnly ? (st.st_mode & 07555) : (st.st_mode & 07777) | S_IWUSR;
    Require(::chmod(path.c_str(), mode) == 0, "change the permissions of", relative);
}

void TempTree::SetHidden(std::string_view) {}

void TempTree::SetUnreadable(std::string_view relative, bool unreadable) {
    Require(::chmod(Path(relative).c_str(), unreadable ? 0 : 0755) == 0,
            "change the permissions of", relative);
}

bool RunningUnderWine() {
    return false;
}

}  // namespace test_support
