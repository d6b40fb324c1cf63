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

    // Whether more than one entry answers to `name` when letter case is
    // ignored: a folder made case-sensitive on Windows 10 and later, or a
    // Linux folder, can hold both "QBANK.CXT" and "qbank.cxt", and which of
    // them Windows programs open is not certain.
    bool Ambiguous(std::string_view name) const {
        const std::string capitals = platform::AsciiUpper(name);
        std::size_t matches = 0;
        for (const Entry& entry : entries_)
            matches += platform::UpperCaseEquals(entry.name, capitals) ? 1 : 0;
        return matches > 1;
    }

  private:
    std::vector<Entry> entries_;
};

}  // namespace engine
