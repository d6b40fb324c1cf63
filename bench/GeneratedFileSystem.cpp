#include "bench/GeneratedFileSystem.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "engine/ReplacementTable.h"
#include "platform/PathJoin.h"

namespace bench {

namespace {

// How many folders deep `path` is below its drive's root.
std::size_t DepthOf(const std::string& path) {
    return static_cast<std::size_t>(std::count(path.begin(), path.end(), '\\'));
}

}  // namespace

platform::DriveType GeneratedFileSystem::GetDriveType(char letter) {
    if (letter == 'C')
        return platform::DriveType::Fixed;
    if (letter == 'P')
        return platform::DriveType::CdRom;
    return platform::DriveType::NoRootDir;
}

bool GeneratedFileSystem::ListFolder(const std::string& folder, const EntrySink& onEntry) {
    if (folder == "P:\\Data") {
        for (const engine::Replacement& row : engine::kReplacements) {
            if (!onEntry({std::string(row.source), false, false}))
                break;
        }
        return true;
    }
    if (folder.rfind("C:", 0) != 0)
        return false;
    const std::size_t depth = DepthOf(folder);
    if (depth > 0 && (!onEntry({".", true, false}) || !onEntry({"..", true, false})))
        return true;
    if (shape_ == Shape::Wide) {
        if (depth == 0) {
            onEntry({"Wide", true, false});
        } else if (folder == "C:\\Wide") {
            char name[32];
            for (std::size_t i = 0; i < size_; ++i) {
                const bool isFolder = i % 100'000 == 99'999;
                std::snprintf(name, sizeof name, isFolder ? "folder%07zu" : "entry%07zu.dat", i);
                if (!onEntry({name, isFolder, false}))
                    break;
            }
        }
        return true;
    }
    if (!onEntry({"readme.txt", false, false}))
        return true;
    if (depth < size_ && !onEntry({"d", true, false}))
        return true;
    onEntry({"SKM300.EXE.bak", false, false});
    return true;
}

bool GeneratedFileSystem::IsFolder(const std::string& path) {
    return path.rfind("C:", 0) == 0 && path.find("\\Audio") == std::string::npos;
}

std::optional<platform::FileId> GeneratedFileSystem::GetFolderId(const std::string& path) {
    return platform::FileId{3, std::hash<std::string>{}(path)};
}

namespace {

class NamedSource : public platform::SourceFile {
  public:
    explicit NamedSource(std::string contents) : contents_(std::move(contents)) {}
    platform::Result<std::size_t> Read(std::span<std::byte> buffer) override {
        const std::size_t count = std::min(buffer.size(), contents_.size() - offset_);
        std::memcpy(buffer.data(), contents_.data() + offset_, count);
        offset_ += count;
        return count;
    }
    platform::FileTime LastWriteTime() override { return {}; }
    std::optional<platform::FileId> Id() override { return std::nullopt; }

  private:
    std::string contents_;
    std::size_t offset_ = 0;
};

platform::FileError NotGenerated() {
    return {platform::FileError::Kind::Other, "not generated"};
}

// The package folder P:\Data, read through a handle as the update reads it.
class PackageFolder : public platform::FolderHandle {
  public:
    explicit PackageFolder(GeneratedFileSystem& files) : files_(files) {}
    bool List(const EntrySink& onEntry) override { return files_.ListFolder("P:\\Data", onEntry); }
    std::optional<platform::FileId> Id() override { return files_.GetFolderId("P:\\Data"); }
    platform::Result<std::unique_ptr<platform::FolderHandle>> OpenFolder(
        std::string_view) override {
        return NotGenerated();
    }
    platform::Result<std::unique_ptr<platform::SourceFile>> OpenFile(
        std::string_view name) override {
        return files_.OpenSourceFile(platform::JoinPath("P:\\Data", name));
    }
    platform::Result<Entry> Inspect(std::string_view) override { return NotGenerated(); }
    platform::Failure CheckNotInUse(std::string_view) override { return NotGenerated(); }
    platform::Result<std::unique_ptr<platform::StagedFile>> CreateFile(std::string_view) override {
        return NotGenerated();
    }
    platform::Failure Rename(std::string_view, std::string_view) override { return NotGenerated(); }
    platform::Failure Delete(std::string_view) override { return NotGenerated(); }

  private:
    GeneratedFileSystem& files_;
};

}  // namespace

platform::Result<std::unique_ptr<platform::FolderHandle>> GeneratedFileSystem::OpenFolderNoLink(
    const std::string& path) {
    if (path != "P:\\Data")
        return platform::FileError{platform::FileError::Kind::NotFound, "no installation here"};
    return std::unique_ptr<platform::FolderHandle>(std::make_unique<PackageFolder>(*this));
}

platform::Result<std::unique_ptr<platform::SourceFile>> GeneratedFileSystem::OpenSourceFile(
    const std::string& path) {
    if (path.rfind("P:\\Data\\", 0) != 0)
        return platform::FileError{platform::FileError::Kind::NotFound, "not in the package"};
    return std::unique_ptr<platform::SourceFile>(std::make_unique<NamedSource>(path));
}

}  // namespace bench
