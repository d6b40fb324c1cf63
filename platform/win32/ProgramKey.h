// The program's own keys under HKEY_LOCAL_MACHINE, always in the 64-bit view:
// the record of the last run is written in the first; the journal key is
// kept beside it, not below, so that deleting the record (as an
// administrator may, to have the update run again) leaves the key that
// vouches for the journals of runs cut short.
#pragma once

namespace platform {

inline constexpr wchar_t kProgramKey[] = L"SOFTWARE\\Kelmina\\Soramido\\Update";
inline constexpr wchar_t kProgramKeyParent[] = L"SOFTWARE\\Kelmina\\Soramido";
inline constexpr wchar_t kJournalKeyName[] = L"UpdateJournalKey";  // below kProgramKeyParent
// Where the journal key was kept before, below the record; taken from there
// when it is still private, so that a journal of a run killed before the
// move still verifies.
inline constexpr wchar_t kFormerJournalKey[] = L"SOFTWARE\\Kelmina\\Soramido\\Update\\JournalKey";

}  // namespace platform
