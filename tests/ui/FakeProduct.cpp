// Stands in for the product's program in the end-to-end test: copied into an
// installation as SKM300.EXE and started from there, it is the product
// running. Says "running" on standard output and sleeps until it is ended,
// or ten minutes at most: no test runs longer.
#include "platform/win32/WinApi.h"

#include <cstdio>

int main() {
    std::puts("running");
    std::fflush(stdout);
    Sleep(10 * 60 * 1000);
    return 0;
}
