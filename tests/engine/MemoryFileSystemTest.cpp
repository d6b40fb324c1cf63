// The in-memory file system keeps the promises of the real ones that the
// engine's tests rely on; a fake that drifted would make them prove nothing.
#include <gtest/gtest.h>

#include <span>

#include "tests/support/MemoryFileSystem.h"

namespace {

using test_support::MemoryFileSystem;

std::vector<std::string> Listing(MemoryFileSystem& fs, const std::string& folder) {
    std::vector<std::string> names;
    const bool listed = fs.ListFolder(folder, [&](const platform::FolderEntry& entry) {
        names.push_back(std::string(entry.name) + (entry.isFolder ? "/" : "") +
                        (entry.isLink ? "@" : ""));
        return true;
    });
    if (!listed)
        names.push_back("(cannot be listed)");
    return names;
}

TEST(MemoryFileSystem, ListsInTheOrderGivenWithDotsBelowTheRoot) {
    MemoryFileSystem fs;
    const auto c = fs.AddDrive('C');
    const auto b = c.AddFolder("b");
    c.AddFile("a.txt");
    c.AddLink("toB", b);
    EXPECT_EQ(Listing(fs, "C:"), (std::vector<std::string>{"b/", "a.txt", "toB/@"}));
    c.SetOrder({"toB", "a.txt", "b"});
    EXPECT_EQ(Listing(fs, "c:"), (std::vector<std::string>{"toB/@", "a.txt", "b/"}));
    EXPECT_EQ(Listing(fs, "C:\\B"), (std::vector<std::string>{"./", "../"}));
    b.MakeUnlistable();
    EXPECT_EQ(Listing(fs, "C:\\toB"), (std::vector<std::string>{"(cannot be listed)"}));
    EXPECT_TRUE(fs.IsFolder("C:\\toB"));
    EXPECT_EQ(fs.GetFolderId("C:\\toB"), fs.GetFolderId("C:\\b"));
    EXPECT_NE(fs.GetFolderId("C:"), fs.GetFolderId("C:\\b"));
}

// Changes through handles: names matched in any case, links refused where
// the real services refuse them, a rename never over an existing file.
TEST(MemoryFileSystem, ChangesThroughHandlesLikeTheRealServices) {
    using Kind = platform::FileError::Kind;
    MemoryFileSystem fs;
    fs.AddDrive('C');
    const auto inst = fs.MakeFolders("C:\\Inst");
    inst.AddFile("Old.bin", "old");
    inst.AddFolder("Sub");
    inst.AddLink("Linked", fs.MakeFolders("C:\\Outside"));
    fs.MakeFolders("C:\\Via").AddLink("Inst", inst);

    EXPECT_EQ(fs.OpenFolderNoLink("C:\\Via\\Inst").Error().kind, Kind::Link);
    auto folder = fs.OpenFolderNoLink("C:\\inst");
    ASSERT_TRUE(folder);
    EXPECT_EQ((*folder)->OpenFolder("Linked").Error().kind, Kind::Link);
    EXPECT_EQ((*folder)->OpenFolder("Missing").Error().kind, Kind::NotFound);
    auto sub = (*folder)->OpenFolder("SUB");
    ASSERT_TRUE(sub);

    auto made = (*sub)->CreateFile("Made.bin");
    ASSERT_TRUE(made);
    const std::string bytes = "new";
    EXPECT_FALSE((*made)->Write(std::as_bytes(std::span(bytes))));
    EXPECT_FALSE((*made)->Finish({}, {}));
    EXPECT_FALSE((*sub)->CreateFile("MADE.BIN"));
    EXPECT_TRUE((*folder)->Rename("old.bin", "Sub"));  // the name is taken
    EXPECT_FALSE((*folder)->Rename("old.bin", "Renamed.bin"));
    EXPECT_FALSE((*folder)->Delete("Linked"));  // the link, not what it leads to
    EXPECT_EQ((*folder)->Inspect("renamed.BIN")->kind, platform::EntryKind::File);
    EXPECT_EQ((*folder)->Inspect("Old.bin")->kind, platform::EntryKind::Missing);

    EXPECT_EQ(fs.Contents(), (std::map<std::string, std::string>{
                                 {"C:\\Inst\\Renamed.bin", "old"},
                                 {"C:\\Inst\\Sub\\Made.bin", "new"},
                             }));
    EXPECT_TRUE(fs.IsFolder("C:\\Outside"));
    EXPECT_EQ(fs.InstallationsOpened(), (std::vector<std::string>{"C:\\Via\\Inst", "C:\\inst"}));
}

}  // namespace
