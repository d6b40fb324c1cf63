// Stands in for the product's program in the end-to-end test: copied into an
// installation as SKM300.EXE and started from there, it is the product
// running. Says "running" on standard output and sleeps until it is ended.
#include "platform/win32/WinApi.h"

#include <cstdio>

int main() {
    std::puts("running");
    std::fflush(stdout);
    Sleep(INFINITE);
    return 0;
}
