#include "engine/update/UpdatePackage.h"

#include <charconv>
#include <cstddef>
#include <span>
#include <string_view>

#include "engine/Texts.h"
#include "engine/update/FileBytes.h"
#include "engine/update/FolderNames.h"
#include "platform/AsciiCase.h"
#include "platform/PathJoin.h"

namespace engine {
namespace {

// One file as the list built into the program describes it.
struct ListedFile {
    std::string_view name;
    std::uint64_t size = 0;
    std::string_view sha256;
};

// The list's lines, "<name> <size> <sha256>"; a line of another shape
// describes no file, so the file it was meant for counts as damaged.
std::vector<ListedFile> ParseList(std::string_view list) {
    std::vector<ListedFile> listed;
    while (!list.empty()) {
        const std::size_t end = list.find('\n');
        std::string_view line = list.substr(0, end);
        list = end == std::string_view::npos ? std::string_view{} : list.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::size_t hashStart = line.rfind(' ');
        if (hashStart == std::string_view::npos)
            continue;
        const std::size_t sizeStart = line.rfind(' ', hashStart - 1);
        if (sizeStart == std::string_view::npos || sizeStart == 0)
            continue;
        ListedFile file{line.substr(0, sizeStart), 0, line.substr(hashStart + 1)};
        const std::string_view size = line.substr(sizeStart + 1, hashStart - sizeStart - 1);
        const auto [at, error] = std::from_chars(size.data(), size.data() + size.size(), file.size);
        if (error == std::errc{} && at == size.data() + size.size())
            listed.push_back(file);
    }
    return listed;
}

// Reads the whole of `source`, hashing it, into `file`; false when it cannot
// be read to its end.
bool Measure(platform::Result<std::unique_ptr<platform::SourceFile>> source, PackageFile& file) {
    if (!source)
        return false;
    auto bytes = ReadBytes(**source);
    if (!bytes)
        return false;
    file.size = bytes->size;
    file.digest = bytes->digest;
    return true;
}

}  // namespace

bool MeasureFile(platform::FileSystem& files, PackageFile& file) {
    return Measure(files.OpenSourceFile(file.path), file);
}

PackageCheck UpdatePackage::Check(platform::FileSystem& files, const std::string& programFolder) {
    // The Data folder is listed once and each file named as it stands there:
    // the package's file system may tell letter case apart, Windows' does not.
    const std::string folder = platform::JoinPath(programFolder, kPackageFolder);
    PackageCheck checked;
    auto opened = files.OpenFolderNoLink(folder);
    if (!opened && opened.Error().kind == platform::FileError::Kind::Link) {
        checked.problems.push_back(std::string(text::kPackageFileDamaged) + folder);
        return checked;
    }
    FolderNames present;
    if (opened) {
        (*opened)->List([&](const platform::FolderEntry& entry) {
            present.Add(entry);
            return true;
        });
    }
    const std::optional<std::string> builtIn = files.BuiltInPackageList();
    const std::vector<ListedFile> listed =
        builtIn ? ParseList(*builtIn) : std::vector<ListedFile>{};

    UpdatePackage package;
    if (opened)
        package.folder_ = std::move(*opened);
    for (std::size_t row = 0; row < kReplacements.size(); ++row) {
        const std::string_view name = kReplacements[row].source;
        PackageFile& file = package.files_[row];
        const FolderNames::Entry* onDisk = present.Find(name);
        package.names_[row] = onDisk ? onDisk->name : std::string(name);
        file.path = platform::JoinPath(folder, package.names_[row]);
        if (!onDisk || (onDisk->isFolder && !onDisk->isLink)) {
            checked.problems.push_back(std::string(text::kPackageFileMissing) + file.path);
            continue;
        }
        // A link is refused by the open, and so counts as damaged.
        const bool read = Measure(package.folder_->OpenFile(package.names_[row]), file);
        if (read)
            checked.read.push_back(file);
        bool sound = read && file.size != 0;
        if (sound && builtIn) {
            const ListedFile* entry = nullptr;
            for (const ListedFile& candidate : listed) {
                if (platform::UpperCaseEquals(candidate.name, platform::AsciiUpper(name)))
                    entry = &candidate;
            }
            sound = entry && entry->size == file.size &&
                    platform::UpperCaseEquals(entry->sha256,
                                              platform::AsciiUpper(platform::ToHex(file.digest)));
        }
        if (!sound)
            checked.problems.push_back(std::string(text::kPackageFileDamaged) + file.path);
    }
    if (checked.problems.empty())
        checked.package = std::move(package);
    return checked;
}

}  // namespace engine
