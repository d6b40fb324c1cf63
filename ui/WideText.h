// UTF-8 inside, UTF-16 at the Win32 calls: the two conversions the window needs.
#pragma once

#include <string>
#include <string_view>

namespace ui {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

}  // namespace ui
