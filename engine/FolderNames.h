// The names in one folder listing, found the way Windows finds them: "AUDIO"
// names the folder "Audio". An entry of exactly the name asked for wins over
// one that differs only in letter case, as on a file system that tells them
// apart.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/AsciiCase.h"
#include "platform/FolderHandle.h"

namespace engine {

class FolderNames {
  public:
    struct Entry {
        std::string name;
        bool isFolder = false;
        bool isLink = false;
    };

    void Add(const platform::FolderEntry& entry) {
        entries_.push_back({std::string(entry.name), entry.isFolder, entry.isLink});
    }

    const Entry* Find(std::string_view name) const {
        const std::string capitals = platform::AsciiUpper(name);
        const Entry* found = nullptr;
        for (const Entry& entry : entries_) {
            if (entry.name == name)
                return &entry;
            if (!found && platform::UpperCaseEquals(entry.name, capitals))
                found = &entry;
        }
        return found;
    }

  private:
    std::vector<Entry> entries_;
};

}  // namespace engine
