// The contract of platform::FileSystem on real folders: the same tests run
// natively against the POSIX implementation and, under Wine, against the
// Win32 one.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/platform/FileSystemSubject.h"
#include "tests/support/TempTree.h"

namespace {

using test_support::TempTree;

struct Listed {
    std::string name;
    bool isFolder = false;
    bool isLink = false;
    friend bool operator==(const Listed&, const Listed&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Listed& entry) {
        return out << '"' << entry.name << '"' << (entry.isFolder ? " folder" : "")
                   << (entry.isLink ? " link" : "");
    }
};

class FileSystemContract : public ::testing::Test {
  protected:
    // The whole listing sorted by name, or nullopt when the folder cannot be
    // listed, in which case no entry may have been reported.
    std::optional<std::vector<Listed>> List(const std::string& folder) {
        std::vector<Listed> entries;
        const bool listed = fs.ListFolder(folder, [&](const platform::FolderEntry& entry) {
            entries.push_back({std::string(entry.name), entry.isFolder, entry.isLink});
            return true;
        });
        if (!listed) {
            EXPECT_TRUE(entries.empty()) << "a failed listing reported entries";
            return std::nullopt;
        }
        std::sort(entries.begin(), entries.end(),
                  [](const Listed& a, const Listed& b) { return a.name < b.name; });
        return entries;
    }

    std::string P(std::string_view relative) const { return subject.PathOf(relative); }

    TempTree tree;
    test_support::FileSystemSubject subject = test_support::MakeSubject(tree);
    platform::FileSystem& fs = *subject.fs;
};

using Entries = std::vector<Listed>;
using Names = std::vector<std::string>;

// --- Listing -----------------------------------------------------------------

TEST_F(FileSystemContract, ListingShowsEveryEntryHiddenOnesAndDotsIncluded) {
    tree.Add(R"(
        .dotfile = a
        Hidden.dat = b
        visible.txt = c
        Sub/
        Sub/inner.txt
    )");
    tree.SetHidden("Hidden.dat");
    tree.SetHidden("Sub");

    EXPECT_EQ(List(P("")), (Entries{{".", true, false},
                                    {"..", true, false},
                                    {".dotfile", false, false},
                                    {"Hidden.dat", false, false},
                                    {"Sub", true, false},
                                    {"visible.txt", false, false}}));
    EXPECT_EQ(List(P("Sub")),
              (Entries{{".", true, false}, {"..", true, false}, {"inner.txt", false, false}}));
}

// A caller may give up a listing half way, and may list the folder again
// from its start right after.
TEST_F(FileSystemContract, ListingEndsWhereTheCallerGivesUp) {
    std::string entries;
    for (int i = 0; i < 3000; ++i)
        entries += "Many/f" + std::to_string(i) + "\n";
    tree.Add(entries);

    int taken = 0;
    EXPECT_TRUE(
        fs.ListFolder(P("Many"), [&](const platform::FolderEntry&) { return ++taken < 5; }));
    EXPECT_EQ(taken, 5);
    const auto whole = List(P("Many"));
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->size(), 3002u);
}

TEST_F(FileSystemContract, ListingShowsALinkToAFolderAsAFolder) {
    tree.Add(R"(
        Target/a.txt
        file.txt = x
        FolderLink -> Target
        FileLink -> file.txt
        Dangling -> nowhere
    )");

    Entries expected{{".", true, false},        {"..", true, false},
                     {"FileLink", false, true}, {"FolderLink", true, true},
                     {"Target", true, false},   {"file.txt", false, false}};
    if (test_support::FileLinksAreVisible()) {
        expected.insert(expected.begin() + 2, {"Dangling", false, true});
    } else {
        expected[2].isLink = false;
    }
    EXPECT_EQ(List(P("")), expected);
    EXPECT_EQ(List(P("FolderLink")), List(P("Target")));
}

TEST_F(FileSystemContract, AFolderThatCannotBeListedReportsNothing) {
    tree.Add("file.txt = x\nEmpty/");

    EXPECT_EQ(List(P("Missing")), std::nullopt);
    EXPECT_EQ(List(P("Missing/Deeper")), std::nullopt);
    EXPECT_EQ(List(P("file.txt")), std::nullopt);
    EXPECT_EQ(List(P("Empty")), (Entries{{".", true, false}, {"..", true, false}}));
}

TEST_F(FileSystemContract, IsFolderFollowsLinksAndRefusesFiles) {
    tree.Add(R"(
        Folder/
        file.txt = x
        FolderLink -> Folder
        FileLink -> file.txt
    )");

    EXPECT_TRUE(fs.IsFolder(P("")));
    EXPECT_TRUE(fs.IsFolder(P("Folder")));
    EXPECT_TRUE(fs.IsFolder(P("FolderLink")));
    EXPECT_FALSE(fs.IsFolder(P("file.txt")));
    EXPECT_FALSE(fs.IsFolder(P("FileLink")));
    EXPECT_FALSE(fs.IsFolder(P("Missing")));
    EXPECT_FALSE(fs.IsFolder(P("file.txt/Folder")));
}

TEST_F(FileSystemContract, AFolderHasOneIdWhicheverPathLeadsToIt) {
    tree.Add(R"(
        Folder/Sub/
        Other/
        FolderLink -> Folder
        Loop/Back -> /
    )");

    const auto folder = fs.GetFolderId(P("Folder"));
    ASSERT_TRUE(folder.has_value());
    EXPECT_EQ(fs.GetFolderId(P("FolderLink")), folder);
    EXPECT_NE(fs.GetFolderId(P("Other")), folder);
    EXPECT_NE(fs.GetFolderId(P("Folder/Sub")), folder);
    EXPECT_EQ(fs.GetFolderId(P("Loop/Back")), fs.GetFolderId(P("")));
    EXPECT_EQ(fs.GetFolderId(P("Missing")), std::nullopt);
}

// --- Paths and names that Windows' ANSI functions could not take -------------

TEST_F(FileSystemContract, PathsLongerThan260CharactersWork) {
    const std::string part(60, 'p');
    std::string deep = "Inst";
    for (char c = 'a'; c < 'f'; ++c) {
        deep += '/';
        deep += c;
        deep += part;
    }
    tree.Add(deep + "/QBANK.CXT = old\n" + deep + "/Sub/");
    ASSERT_GT(P(deep).size(), 300u);

    EXPECT_TRUE(fs.IsFolder(P(deep)));
    EXPECT_TRUE(fs.GetFolderId(P(deep)).has_value());
    EXPECT_EQ(List(P(deep)), (Entries{{".", true, false},
                                      {"..", true, false},
                                      {"QBANK.CXT", false, false},
                                      {"Sub", true, false}}));
}

TEST_F(FileSystemContract, NamesOutsideTheJapaneseCodePageList) {
    // Korean, an emoji (outside the Basic Multilingual Plane) and a Latin
    // letter with a diaeresis: none of them is in code page 932.
    tree.Add("한국어/😀 ünï.txt = old");

    EXPECT_EQ(List(P("한국어")),
              (Entries{{".", true, false}, {"..", true, false}, {"😀 ünï.txt", false, false}}));
    EXPECT_TRUE(fs.IsFolder(P("한국어")));
}

TEST_F(FileSystemContract, OwnExecutableFolderEndsInABackslashAndHoldsTheProgram) {
    const std::string folder = fs.OwnExecutableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '\\');

    const std::string withoutBackslash = folder.substr(0, folder.size() - 1);
    EXPECT_TRUE(fs.IsFolder(withoutBackslash)) << folder;
    const auto entries = List(withoutBackslash);
    ASSERT_TRUE(entries.has_value()) << folder;
    EXPECT_TRUE(std::any_of(entries->begin(), entries->end(), [](const Listed& entry) {
        return entry.name.starts_with("platform_files_test");
    })) << folder;
}

}  // namespace
