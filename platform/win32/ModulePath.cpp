#include "platform/win32/ModulePath.h"

#include <algorithm>

namespace platform {

std::wstring ModuleFileName(HMODULE module, std::size_t firstBufferSize) {
    std::wstring path(std::max<std::size_t>(firstBufferSize, 1), L'\0');
    while (true) {
        const DWORD length = GetModuleFileNameW(module, path.data(), DWORD(path.size()));
        if (length == 0)
            return {};
        // A full buffer means the path was cut (and lacks its terminator).
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= std::size_t{32768} * 2)
            return {};  // longer than any Windows path
        path.resize(path.size() * 2);
    }
}

}  // namespace platform
