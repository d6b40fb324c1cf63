// DLLs of Windows loaded from the system folder by full path. A DLL the
// program imports is looked for in the program's own folder first, unless
// Windows knows it (the Known DLLs); an updater is often started from a
// download folder, where a planted bcrypt.dll would then run elevated. So
// what Windows does not know is loaded here, by its full path, and its
// functions are looked up by name.
#pragma once

#include "platform/win32/WinApi.h"

#include "platform/win32/ScopedWin.h"

namespace platform {

// Modules loaded by the program itself, released with FreeLibrary.
struct ModuleTraits {
    using Type = HMODULE;
    static Type Empty() { return nullptr; }
    static bool Holds(Type h) { return h != nullptr; }
    static void Close(Type h) { FreeLibrary(h); }
};
using ScopedModule = ScopedWin<ModuleTraits>;

// Loads `name` (L"bcrypt.dll") from the system folder; empty when it cannot.
ScopedModule LoadSystemModule(const wchar_t* name);

// The same, kept loaded until the process ends, as an imported DLL is: for
// the tables of functions that threads may call until the very end, which
// must not lose their DLL while static objects are destroyed.
HMODULE LoadSystemModuleForGood(const wchar_t* name);

// From here on, a DLL loaded by name (by the program or by Windows' own
// DLLs on its behalf, as comctl32 loads uxtheme) is looked for in the
// system folder only: never in the current folder, and, where Windows
// offers SetDefaultDllDirectories (Windows 8, or 7 with KB2533623), never
// in the program's folder. The first thing the program does.
void SearchSystemFolderOnlyForDlls();

// The function `name` of `module` as the type of its declaration, which is
// named with decltype so that nothing links against the DLL:
//   FunctionOf<decltype(&BCryptHashData)>(module, "BCryptHashData")
// Null when the module is empty or lacks the function.
template <class Pointer>
Pointer FunctionOf(HMODULE module, const char* name) {
    if (!module)
        return nullptr;
    // Through the generic function pointer type, which every function
    // pointer converts to and from without a warning.
    return reinterpret_cast<Pointer>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}
template <class Pointer>
Pointer FunctionOf(const ScopedModule& module, const char* name) {
    return FunctionOf<Pointer>(module.Get(), name);
}

}  // namespace platform
