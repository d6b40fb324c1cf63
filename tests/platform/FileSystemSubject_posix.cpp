#include "platform/posix/PosixFileSystem.h"
#include "tests/platform/FileSystemSubject.h"

namespace test_support {

FileSystemSubject MakeSubject(const TempTree& tree) {
    return {std::make_unique<platform::PosixFileSystem>(platform::DriveMap{{'T', tree.Path()}}),
            "T:"};
}

bool FileLinksAreVisible() {
    return true;
}

}  // namespace test_support
