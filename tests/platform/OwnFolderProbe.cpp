// Prints the folder the POSIX file services give for this program, with C:
// standing for "/"; run by the tests from a very long path.
#include <cstdio>

#include "platform/posix/PosixFileSystem.h"

int main() {
    const std::string folder = platform::PosixFileSystem({{'C', "/"}}, {}).OwnExecutableFolder();
    std::fputs(folder.c_str(), stdout);
    return folder.empty() ? 1 : 0;
}
