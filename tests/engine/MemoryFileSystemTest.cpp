// The in-memory file system keeps the promises of the real ones that the
// engine's tests rely on: one transcript of steps, taken of the system's own
// file services on a temporary tree and of the fake built alike, so that the
// fake cannot drift from them unseen.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "tests/platform/FileSystemSubject.h"
#include "tests/support/MemoryFileSystem.h"
#include "tests/support/TempTree.h"

namespace {

using test_support::MemoryFileSystem;
using Lines = std::vector<std::string>;

// Every link leads to a folder, as Wine shows a link to a file as the file.
constexpr std::string_view kTree = R"(
    Inst/Old.bin = old
    Inst/Locked.bin = kept
    Inst/Sub/inner.txt = in
    Outside/
    Inst/Linked -> Outside
    Via -> Inst
)";

// A braced list is evaluated in order, which the steps that change the tree need.
std::string Words(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) {
        if (!text.empty())
            text += ' ';
        text += word;
    }
    return text;
}

std::string Outcome(const platform::Failure& failure) {
    static const char* const kKinds[] = {"NotFound", "Link", "InUse", "Changed", "Other"};
    return failure ? kKinds[static_cast<int>(failure->kind)] : "ok";
}

template <typename T>
std::string Outcome(const platform::Result<T>& result) {
    return result ? "ok" : Outcome(platform::Failure(result.Error()));
}

// Names sorted, "/" after a folder's, "@" after a link's; "-" for no listing.
std::string Listing(const std::function<bool(const platform::FileSystem::EntrySink&)>& list) {
    std::vector<std::string> names;
    if (!list([&](const platform::FolderEntry& entry) {
            names.emplace_back(entry.name);
            names.back() += entry.isFolder ? "/" : "";
            names.back() += entry.isLink ? "@" : "";
            return true;
        }))
        return "-";
    std::sort(names.begin(), names.end());
    return Words(names);
}

std::string Inspected(platform::FolderHandle& folder, std::string_view name) {
    static const char* const kKinds[] = {"Missing", "File", "Folder", "Link"};
    auto entry = folder.Inspect(name);
    return !entry ? Outcome(entry)
                  : std::string(kKinds[static_cast<int>(entry->kind)]) +
                        (entry->readOnly ? ",ro" : "");
}

std::string Staged(platform::FolderHandle& folder, std::string_view name,
                   std::string_view predecessor = {}) {
    auto staged = folder.CreateFile(name);
    if (!staged)
        return Outcome(staged);
    const std::string bytes = "new";
    if (platform::Failure failed = (*staged)->Write(std::as_bytes(std::span(bytes))))
        return Outcome(failed);
    return Outcome((*staged)->Finish({}, predecessor));
}

// The steps in order on kTree with Inst/Locked.bin read-only, each seeing
// what those before it changed.
Lines Transcript(platform::FileSystem& fs, const std::function<std::string(std::string)>& path,
                 bool caseBlindHandles, bool deletesLinks) {
    const auto list = [&](const char* place) {
        return Listing([&](auto& sink) { return fs.ListFolder(path(place), sink); });
    };
    const auto id = [&](const char* place) { return fs.GetFolderId(path(place)); };
    const auto isFolder = [&](const char* place) {
        return std::to_string(fs.IsFolder(path(place)));
    };
    const auto install = [&](const char* place) {
        return Outcome(fs.OpenFolderNoLink(path(place)));
    };
    auto opened = fs.OpenFolderNoLink(path("Inst"));
    if (!opened) {
        ADD_FAILURE() << "Inst does not open: " << Outcome(opened);
        return {};
    }
    platform::FolderHandle& inst = **opened;
    Lines lines{
        list("Inst"),  // dots and links listed
        list("Via"),   // through a link
        Words({list("Inst/Old.bin"), list("Missing")}),
        Words(
            {isFolder("Via"), isFolder("Inst/Sub"), isFolder("Inst/Old.bin"), isFolder("Missing")}),
        Words({std::to_string(id("Via") == id("Inst")),
               std::to_string(id("Inst") == id("Inst/Sub")),
               std::to_string(id("Missing").has_value())}),
        // An installation through a link above it and in any case, never a link itself.
        Words({install("Via/Sub"), install("INST"), install("Via"), install("Missing")}),
        Words({Outcome(inst.OpenFolder("Linked")), Outcome(inst.OpenFolder("Missing")),
               inst.OpenFolder("Old.bin") ? "ok" : "refused"}),
        Listing([&](auto& sink) { return inst.List(sink); }),  // no dots
        Words({Inspected(inst, "Locked.bin"), Inspected(inst, "Sub"), Inspected(inst, "Linked"),
               Inspected(inst, "Missing")}),
        // Never created over a name; a copy takes its predecessor's read-only bit.
        Words({Staged(inst, "Old.bin"), Staged(inst, "Locked.new", "Locked.bin"),
               Inspected(inst, "Locked.new"), Staged(inst, "Made.bin"),
               Inspected(inst, "Made.bin")}),
        Words({Outcome(inst.Rename("Old.bin", "Sub")),
               Outcome(inst.Rename("Old.bin", "Renamed.bin")), Inspected(inst, "Old.bin"),
               Inspected(inst, "Renamed.bin")}),
    };
    if (deletesLinks) {
        lines.push_back(Words(
            {Outcome(inst.Delete("Linked")), Inspected(inst, "Linked"), isFolder("Outside")}));
    }
    if (caseBlindHandles) {
        lines.push_back(Words({Outcome(inst.OpenFolder("SUB")), Staged(inst, "MADE.BIN"),
                               Inspected(inst, "renamed.BIN")}));
    }
    return lines;
}

// What the real services promise is their own contract's to check
// (tests/platform); here the fake is held to whatever they do. Windows
// matches the names given to a handle in any case; Wine refuses to delete a
// link, as its handle would follow it.
TEST(TheFakesContract, TheMemoryFileSystemDoesWhatTheRealFileServicesDo) {
    test_support::TempTree tree(kTree);
    tree.SetReadOnly("Inst/Locked.bin", true);
    const auto real = test_support::MakeSubject(tree);
    MemoryFileSystem fake;
    fake.AddDrive('C');
    const auto inst = fake.MakeFolders("C:\\Tree\\Inst");
    inst.AddFile("Old.bin", "old");
    inst.AddFile("Locked.bin", "kept").MakeReadOnly();
    inst.AddFolder("Sub").AddFile("inner.txt", "in");
    inst.AddLink("Linked", fake.MakeFolders("C:\\Tree\\Outside"));
    fake.MakeFolders("C:\\Tree").AddLink("Via", inst);
#ifdef _WIN32
    const bool caseBlind = true, deletesLinks = !test_support::RunningUnderWine();
#else
    const bool caseBlind = false, deletesLinks = true;
#endif
    const Lines kept = Transcript(
        *real.fs, [&](const std::string& place) { return real.PathOf(place); }, caseBlind,
        deletesLinks);
    EXPECT_EQ(Transcript(
                  fake,
                  [](std::string place) {
                      std::replace(place.begin(), place.end(), '/', '\\');
                      return "C:\\Tree\\" + place;
                  },
                  caseBlind, deletesLinks),
              kept);
    EXPECT_EQ(kept.size(), 11U + caseBlind + deletesLinks);
    tree.SetReadOnly("Inst/Locked.bin", false);
    tree.SetReadOnly("Inst/Locked.new", false);
}

// The fake's own promises. The order a test sets: RefreshTest's swapped folder
// is listed before its Audio folder is entered (a fake that sorted would let
// the swap come too late). No dots at a drive's root, as on NTFS. A folder
// that cannot be listed by any path (SearchTest, RunTest); a held file
// (RefreshTest's InUse lines); the installations opened (SearchTest, StopTest).
TEST(MemoryFileSystem, KeepsWhatATestPlants) {
    MemoryFileSystem fs;
    const auto c = fs.AddDrive('C');
    const auto b = c.AddFolder("b");
    c.AddFile("a.txt").Hold();
    c.AddLink("toB", b);
    const auto names = [&] {
        Lines given;
        fs.ListFolder("c:", [&](const platform::FolderEntry& entry) {
            given.emplace_back(entry.name);
            return true;
        });
        return given;
    };
    EXPECT_EQ(names(), (Lines{"b", "a.txt", "toB"}));
    c.SetOrder({"toB", "a.txt", "b"});
    EXPECT_EQ(names(), (Lines{"toB", "a.txt", "b"}));
    b.MakeUnlistable();
    EXPECT_EQ(Listing([&](auto& sink) { return fs.ListFolder("C:\\toB", sink); }), "-");
    auto root = fs.OpenFolderNoLink("C:");
    ASSERT_TRUE(root);
    EXPECT_EQ(Outcome((*root)->CheckNotInUse("A.TXT")), "InUse");
    EXPECT_EQ(Outcome((*root)->Rename("a.txt", "c.txt")), "InUse");
    EXPECT_EQ(fs.InstallationsOpened(), Lines{"C:"});
}

}  // namespace
