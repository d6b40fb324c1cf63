// Lines of text put together from their pieces.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace engine {

// The pieces, one after the other, in one allocation.
template <typename... Pieces>
std::string Joined(const Pieces&... pieces) {
    const std::string_view views[] = {std::string_view(pieces)...};
    std::size_t size = 0;
    for (const std::string_view view : views)
        size += view.size();
    std::string joined;
    joined.reserve(size);
    for (const std::string_view view : views)
        joined.append(view);
    return joined;
}

}  // namespace engine
