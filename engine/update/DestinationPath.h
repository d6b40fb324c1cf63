// Where each row of the replacement table lands in an installation, as the
// program names it whatever the letter case on disk: what the update, the
// repair and the inventory read and write, and the log's paths.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace engine {

// The folder that holds the destination of `row`: "C:\SKM\AUDIO\PHRASE\GROUP6".
std::string FolderOfRow(std::string_view installation, std::size_t row);

// The destination of `row`: "C:\SKM\AUDIO\PHRASE\GROUP6\q417.mp3".
std::string DestinationPath(std::string_view installation, std::size_t row);

}  // namespace engine
