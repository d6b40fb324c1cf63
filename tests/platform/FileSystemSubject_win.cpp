#include "platform/win32/Win32FileSystem.h"
#include "tests/platform/FileSystemSubject.h"

namespace test_support {

FileSystemSubject MakeSubject(const TempTree& tree) {
    return {std::make_unique<platform::Win32FileSystem>(), tree.Path()};
}

bool FileLinksAreVisible() {
    return !RunningUnderWine();
}

}  // namespace test_support
