// The version this updater brings an installation to. The log's first line,
// the record's Version, /LIST's word for an installation at it and the report
// take it from here; the sentences that embed it are checked against it
// where they are written.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "engine/VersionParts.h"

namespace engine {

inline constexpr std::string_view kVersion = SORAMIDO_VERSION;

// The same for a Win32 call, zero-ended: plain ASCII, one wide character to
// a byte.
inline constexpr auto kVersionWide = [] {
    std::array<wchar_t, kVersion.size() + 1> wide{};
    for (std::size_t i = 0; i < kVersion.size(); ++i)
        wide[i] = static_cast<wchar_t>(kVersion[i]);
    return wide;
}();

// Whether `text` names the version: where a sentence embeds it, a
// static_assert beside the sentence keeps the two in step.
constexpr bool Names(std::string_view text) {
    return text.find(kVersion) != std::string_view::npos;
}

}  // namespace engine
