#include "engine/update/DestinationPath.h"

#include "engine/ReplacementTable.h"

namespace engine {

std::string FolderOfRow(std::string_view installation, std::size_t row) {
    std::string path(installation);
    for (std::string_view folder : kReplacements[row].folders) {
        if (!folder.empty())
            path.append("\\").append(folder);
    }
    return path;
}

std::string DestinationPath(std::string_view installation, std::size_t row) {
    return FolderOfRow(installation, row).append("\\").append(kReplacements[row].file);
}

}  // namespace engine
