#include "platform/win32/SystemModule.h"

#include <string>

#include "platform/PathJoin.h"

namespace platform {

ScopedModule LoadSystemModule(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return ScopedModule();
    const std::wstring path = JoinPath(std::wstring_view(folder, length), name);
    return ScopedModule(LoadLibraryW(path.c_str()));
}

HMODULE LoadSystemModuleForGood(const wchar_t* name) {
    return LoadSystemModule(name).Release();
}

void SearchSystemFolderOnlyForDlls() {
    SetDllDirectoryW(L"");
    const auto setDefaultDllDirectories = FunctionOf<decltype(&SetDefaultDllDirectories)>(
        GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    if (setDefaultDllDirectories)
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace platform
