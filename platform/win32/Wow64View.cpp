#include "platform/win32/Wow64View.h"

namespace platform {
namespace {

bool RunsUnderWow64() {
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

// System DLLs that calls made on the worker's thread load the first time
// they are needed: advapi32 hands GetSecurityInfo to ntmarta.dll, and CNG
// keeps its SHA-256 in bcryptprimitives.dll. With the redirection off, the
// loader would look for them in the true System32, find the 64-bit ones and
// fail (not under Wine, whose loader takes its own built-in DLLs). Loaded
// beforehand, they are found among the loaded modules by name.
constexpr const wchar_t* kLoadedOnDemand[] = {L"ntmarta.dll", L"bcryptprimitives.dll"};

}  // namespace

Wow64View::Wow64View() {
    if (!RunsUnderWow64())
        return;
    for (const wchar_t* name : kLoadedOnDemand)
        loadedBeforehand_.push_back(LoadSystemModule(name));
    redirectionOff_ = Wow64DisableWow64FsRedirection(&previous_) != FALSE;
}

Wow64View::~Wow64View() {
    if (redirectionOff_)
        Wow64RevertWow64FsRedirection(previous_);
}

}  // namespace platform
