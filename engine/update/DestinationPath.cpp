#include "engine/update/DestinationPath.h"

#include "engine/ReplacementTable.h"
#include "platform/PathJoin.h"

namespace engine {

std::string FolderOfRow(std::string_view installation, std::size_t row) {
    std::string path(installation);
    for (std::string_view folder : kReplacements[row].folders) {
        if (!folder.empty())
            platform::AppendToPath(path, folder);
    }
    return path;
}

std::string DestinationPath(std::string_view installation, std::size_t row) {
    return platform::JoinPath(FolderOfRow(installation, row), kReplacements[row].file);
}

}  // namespace engine
