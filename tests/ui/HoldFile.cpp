// Holds a file open as a program using it would, for the end-to-end test:
// opens FILE for reading and shares it for reading only, so that no other
// program may write, rename or delete it; then says "holding" on standard
// output and sleeps until it is ended, or ten minutes at most: no test runs
// longer, and one that forgets it must not leave it behind for good.
//
//   HoldFile FILE
#include "platform/win32/WinApi.h"

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: HoldFile FILE\n", stderr);
        return 2;
    }
    const HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "HoldFile: cannot open the file (error %lu)\n", GetLastError());
        return 1;
    }
    std::puts("holding");
    std::fflush(stdout);
    // Held until the process ends; the system then closes the handle.
    Sleep(10 * 60 * 1000);
    return 0;
}
