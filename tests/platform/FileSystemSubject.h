// The real file system under test, serving a TempTree: natively the POSIX
// implementation with the tree as drive T:, for Windows the Win32 one over
// the tree's own path. The contract tests are written once against
// platform::FileSystem and run on both.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"
#include "tests/support/TempTree.h"

namespace test_support {

struct FileSystemSubject {
    std::unique_ptr<platform::FileSystem> fs;
    std::string root;  // the tree's root as the updater writes paths

    // The updater's path of a place in the tree ('/'-joined).
    std::string PathOf(std::string_view relative) const {
        std::string path = root;
        if (relative.empty())
            return path;
        path += '\\';
        for (char c : relative)
            path += c == '/' ? '\\' : c;
        return path;
    }
};

FileSystemSubject MakeSubject(const TempTree& tree);

// Windows marks a link to a file with the reparse point attribute. Wine shows
// a Unix link to a file as the plain file it points to, and a link to
// nothing not at all.
bool FileLinksAreVisible();

}  // namespace test_support
