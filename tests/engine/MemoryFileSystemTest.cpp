// The in-memory file system keeps the promises of the real ones that the
// engine's tests rely on; a fake that drifted would make them prove nothing.
#include <gtest/gtest.h>

#include "tests/support/MemoryFileSystem.h"

namespace {

using platform::ReplaceResult;
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

TEST(MemoryFileSystem, ReplacesLikeTheRealServices) {
    MemoryFileSystem fs;
    fs.AddDrive('C');
    fs.MakeFile("C:\\src\\new.bin", "new");
    const auto inst = fs.MakeFolders("C:\\Inst");
    inst.AddFile("Old.bin", "old");
    inst.AddFolder("Sub");
    const auto outside = fs.MakeFolders("C:\\Outside");
    inst.AddLink("Linked", outside);
    fs.MakeFolders("C:\\Via").AddLink("Inst", inst);

    // Existing names are matched in any case; a new file takes the name given.
    EXPECT_EQ(fs.ReplaceFile("C:\\src\\new.bin", "C:\\Inst", "OLD.BIN"), ReplaceResult::Replaced);
    EXPECT_EQ(fs.ReplaceFile("C:\\src\\new.bin", "C:\\Via\\Inst", "SUB\\Made.bin"),
              ReplaceResult::Replaced);
    EXPECT_EQ(fs.ReplaceFile("C:\\src\\none", "C:\\Inst", "x"), ReplaceResult::SourceUnreadable);
    EXPECT_EQ(fs.ReplaceFile("C:\\src\\new.bin", "C:\\Inst", "Missing\\x"),
              ReplaceResult::FolderMissing);
    EXPECT_EQ(fs.ReplaceFile("C:\\src\\new.bin", "C:\\Inst", "Linked\\x"),
              ReplaceResult::LinkInTheWay);
    fs.FileAt("C:\\Inst\\Old.bin").MakeReadOnly();
    EXPECT_EQ(fs.ReplaceFile("C:\\src\\new.bin", "C:\\Inst", "Old.bin"),
              ReplaceResult::DestinationReadOnly);

    EXPECT_EQ(fs.Contents(), (std::map<std::string, std::string>{
                                 {"C:\\src\\new.bin", "new"},
                                 {"C:\\Inst\\Old.bin", "new"},
                                 {"C:\\Inst\\Sub\\Made.bin", "new"},
                             }));
    EXPECT_EQ(fs.ReplaceCalls().size(), 6u);
    EXPECT_EQ(fs.ReplaceCalls()[1].installation, "C:\\Via\\Inst");
}

}  // namespace
