// Owners of Win32 handles, so that every handle is released exactly once,
// whichever way a function is left.
#pragma once

#include "platform/win32/WinApi.h"

#include <utility>

namespace platform {

// Owns one value of the kind `Traits` describes: its type, which values hold
// nothing, and how to release one.
template <typename Traits>
class ScopedWin {
  public:
    using Type = typename Traits::Type;

    ScopedWin() = default;
    explicit ScopedWin(Type value) : value_(value) {}
    ScopedWin(ScopedWin&& other) noexcept : value_(std::exchange(other.value_, Traits::Empty())) {}
    ScopedWin& operator=(ScopedWin&& other) noexcept {
        if (this != &other)
            Reset(std::exchange(other.value_, Traits::Empty()));
        return *this;
    }
    ScopedWin(const ScopedWin&) = delete;
    ScopedWin& operator=(const ScopedWin&) = delete;
    ~ScopedWin() { Reset(); }

    Type Get() const { return value_; }
    explicit operator bool() const { return Traits::Holds(value_); }
    Type Release() { return std::exchange(value_, Traits::Empty()); }
    void Reset(Type value = Traits::Empty()) {
        if (Traits::Holds(value_))
            Traits::Close(value_);
        value_ = value;
    }

  private:
    Type value_ = Traits::Empty();
};

// Kernel handles: files, threads, events. CreateFileW fails with
// INVALID_HANDLE_VALUE, most other calls with null; neither is closed.
struct KernelHandleTraits {
    using Type = HANDLE;
    static Type Empty() { return nullptr; }
    static bool Holds(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Type h) { CloseHandle(h); }
};

// Listings of FindFirstFileExW, which are closed with FindClose.
struct FindHandleTraits {
    using Type = HANDLE;
    static Type Empty() { return INVALID_HANDLE_VALUE; }
    static bool Holds(Type h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(Type h) { FindClose(h); }
};

// Fonts, brushes, pens and bitmaps made by the program.
template <typename GdiObject>
struct GdiObjectTraits {
    using Type = GdiObject;
    static Type Empty() { return nullptr; }
    static bool Holds(Type h) { return h != nullptr; }
    static void Close(Type h) { DeleteObject(h); }
};

// A handle of type `T` that only null leaves empty, released by `close`:
//   ScopedWin<NullEmptyTraits<HKEY, &RegCloseKey>>
template <typename T, auto close>
struct NullEmptyTraits {
    using Type = T;
    static Type Empty() { return nullptr; }
    static bool Holds(Type h) { return h != nullptr; }
    static void Close(Type h) { close(h); }
};

// Open registry keys.
using RegKeyTraits = NullEmptyTraits<HKEY, &RegCloseKey>;
// Memory the system hands over to be freed with LocalFree: security
// descriptors, FormatMessageW's texts, CommandLineToArgvW's arguments.
using LocalMemoryTraits = NullEmptyTraits<HLOCAL, &LocalFree>;

using ScopedHandle = ScopedWin<KernelHandleTraits>;
using ScopedFindHandle = ScopedWin<FindHandleTraits>;
using ScopedRegKey = ScopedWin<RegKeyTraits>;
using ScopedLocal = ScopedWin<LocalMemoryTraits>;
template <typename GdiObject>
using ScopedGdiObject = ScopedWin<GdiObjectTraits<GdiObject>>;

}  // namespace platform
