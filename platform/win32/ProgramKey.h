// The program's own key under HKEY_LOCAL_MACHINE: the record of the last run
// is written in it and the journal key is kept below it, always in the
// 64-bit view.
#pragma once

namespace platform {

inline constexpr wchar_t kProgramKey[] = L"SOFTWARE\\Kelmina\\Soramido\\Update";

}  // namespace platform
