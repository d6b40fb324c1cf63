// Whether a text is well-formed UTF-8. The description of a system error
// comes in the system's ANSI code page on Windows, which would show as
// garbage; such a description is not shown.
#pragma once

#include <cstddef>
#include <string_view>

namespace engine {

inline bool IsUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80           ? 1
                                   : (lead >> 5) == 0x6  ? 2
                                   : (lead >> 4) == 0xE  ? 3
                                   : (lead >> 3) == 0x1E ? 4
                                                         : 0;
        if (length == 0 || lead == 0xC0 || lead == 0xC1 || lead > 0xF4 || i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += length;
    }
    return true;
}

}  // namespace engine
