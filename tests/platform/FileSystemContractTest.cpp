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

using platform::ReplaceResult;
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

const char* Describe(ReplaceResult result) {
    switch (result) {
        case ReplaceResult::Replaced:
            return "Replaced";
        case ReplaceResult::SourceUnreadable:
            return "SourceUnreadable";
        case ReplaceResult::FolderMissing:
            return "FolderMissing";
        case ReplaceResult::LinkInTheWay:
            return "LinkInTheWay";
        case ReplaceResult::DestinationReadOnly:
            return "DestinationReadOnly";
        case ReplaceResult::WriteFailed:
            return "WriteFailed";
    }
    return "?";
}

}  // namespace

namespace platform {
void PrintTo(ReplaceResult result, std::ostream* out) {
    *out << Describe(result);
}
}  // namespace platform

namespace {

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

    ReplaceResult Replace(std::string_view source, std::string_view installation,
                          const std::string& relative) {
        return fs.ReplaceFile(P(source), P(installation), relative);
    }

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

// --- Copying -----------------------------------------------------------------

TEST_F(FileSystemContract, CopyReplacesTheContentAndLeavesNoTemporaryFile) {
    tree.Add(R"(
        Data/QBank.cxt = new
        Inst/QBANK.CXT = the old content, longer than the new
    )");

    EXPECT_EQ(Replace("Data/QBank.cxt", "Inst", "QBANK.CXT"), ReplaceResult::Replaced);
    EXPECT_EQ(tree.Read("Inst/QBANK.CXT"), "new");
    EXPECT_EQ(tree.Names("Inst"), Names{"QBANK.CXT"});
    EXPECT_EQ(tree.Read("Data/QBank.cxt"), "new");

    // The installation may be the root of a drive, too.
    EXPECT_EQ(fs.ReplaceFile(P("Data/QBank.cxt"), subject.root, "ROOT.CXT"),
              ReplaceResult::Replaced);
    EXPECT_EQ(tree.Read("ROOT.CXT"), "new");
}

TEST_F(FileSystemContract, CopyCreatesAMissingFileUnderTheGivenName) {
    tree.Add("Data/PlugKit2.x32 = plug-in\nInst/Xtras/");

    EXPECT_EQ(Replace("Data/PlugKit2.x32", "Inst", "Xtras\\PlugKit2.X32"), ReplaceResult::Replaced);
    EXPECT_EQ(tree.Names("Inst/Xtras"), Names{"PlugKit2.X32"});
    EXPECT_EQ(tree.Read("Inst/Xtras/PlugKit2.X32"), "plug-in");
}

TEST_F(FileSystemContract, CopyCarriesLargeAndEmptyFilesWhole) {
    std::string large(1'000'003, '\0');
    for (std::size_t i = 0; i < large.size(); ++i)
        large[i] = char('a' + (i * 7919) % 26);
    tree.Add("Data/large.bin = " + large + "\nData/empty.bin\nInst/empty.bin = was not empty");

    EXPECT_EQ(Replace("Data/large.bin", "Inst", "large.bin"), ReplaceResult::Replaced);
    EXPECT_EQ(tree.Read("Inst/large.bin"), large);
    EXPECT_EQ(Replace("Data/empty.bin", "Inst", "empty.bin"), ReplaceResult::Replaced);
    EXPECT_EQ(tree.Read("Inst/empty.bin"), "");
}

TEST_F(FileSystemContract, CopyFindsFoldersAndFilesWhateverTheirLetterCase) {
    tree.Add(R"(
        Data/q417.mp3 = new clip
        Data/PlugKit2.x32 = new plug-in
        Inst/Audio/Phrase/Group6/q417.mp3 = old clip
        Inst/Xtras/PlugKit2.x32 = old plug-in
        Inst/QBank.cxt = old bank
    )");

    EXPECT_EQ(Replace("Data/q417.mp3", "Inst", "AUDIO\\PHRASE\\GROUP6\\q417.mp3"),
              ReplaceResult::Replaced);
    EXPECT_EQ(tree.Read("Inst/Audio/Phrase/Group6/q417.mp3"), "new clip");
    EXPECT_EQ(Replace("Data/PlugKit2.x32", "Inst", "xtras\\PlugKit2.X32"), ReplaceResult::Replaced);
    EXPECT_EQ(Replace("Data/q417.mp3", "Inst", "QBANK.CXT"), ReplaceResult::Replaced);

    // No second folder or file came into being beside the one that was meant.
    EXPECT_EQ(tree.Names("Inst"), (Names{"Audio", "QBank.cxt", "Xtras"}));
    EXPECT_EQ(tree.Names("Inst/Audio/Phrase/Group6"), Names{"q417.mp3"});
    EXPECT_EQ(tree.Read("Inst/QBank.cxt"), "new clip");
    // Windows may give the replaced file the letter case of the new name.
    const Names plugIns = tree.Names("Inst/Xtras");
    ASSERT_EQ(plugIns.size(), 1u);
    EXPECT_EQ(tree.Read("Inst/Xtras/" + plugIns[0]), "new plug-in");
}

TEST_F(FileSystemContract, CopyIntoAnInstallationReachedThroughALink) {
    tree.Add("Data/QBank.cxt = new\nReal/QBANK.CXT = old\nVia -> Real");

    EXPECT_EQ(Replace("Data/QBank.cxt", "Via", "QBANK.CXT"), ReplaceResult::Replaced);
    EXPECT_EQ(tree.Read("Real/QBANK.CXT"), "new");
}

// --- Copies that fail, and leave everything as it was -------------------------

TEST_F(FileSystemContract, CopyOverAReadOnlyFileFails) {
    tree.Add("Data/QBank.cxt = new\nInst/QBANK.CXT = old");
    tree.SetReadOnly("Inst/QBANK.CXT", true);

    EXPECT_EQ(Replace("Data/QBank.cxt", "Inst", "QBANK.CXT"), ReplaceResult::DestinationReadOnly);
    EXPECT_EQ(tree.Read("Inst/QBANK.CXT"), "old");
    EXPECT_EQ(tree.Names("Inst"), Names{"QBANK.CXT"});
}

TEST_F(FileSystemContract, CopyFromAMissingOrFolderSourceFails) {
    tree.Add("Data/Folder.cxt/\nInst/QBANK.CXT = old");

    EXPECT_EQ(Replace("Data/QBank.cxt", "Inst", "QBANK.CXT"), ReplaceResult::SourceUnreadable);
    EXPECT_EQ(Replace("Missing/QBank.cxt", "Inst", "QBANK.CXT"), ReplaceResult::SourceUnreadable);
    EXPECT_EQ(Replace("Data/Folder.cxt", "Inst", "QBANK.CXT"), ReplaceResult::SourceUnreadable);
    EXPECT_EQ(Replace("Data/Folder.cxt", "Inst", "NEW.CXT"), ReplaceResult::SourceUnreadable);
    EXPECT_EQ(tree.Read("Inst/QBANK.CXT"), "old");
    EXPECT_EQ(tree.Names("Inst"), Names{"QBANK.CXT"});
}

TEST_F(FileSystemContract, CopyIntoAMissingFolderCreatesNothing) {
    tree.Add(R"(
        Data/q417.mp3 = new
        Inst/Audio/Phrase/
        Other/Audio/Phrase/Group6 = a file where a folder should be
    )");

    EXPECT_EQ(Replace("Data/q417.mp3", "Inst", "AUDIO\\PHRASE\\GROUP6\\q417.mp3"),
              ReplaceResult::FolderMissing);
    EXPECT_EQ(tree.Names("Inst/Audio/Phrase"), Names{});
    EXPECT_EQ(Replace("Data/q417.mp3", "Missing", "QBANK.CXT"), ReplaceResult::FolderMissing);
    EXPECT_FALSE(tree.Exists("Missing"));
    EXPECT_EQ(Replace("Data/q417.mp3", "Other", "AUDIO\\PHRASE\\GROUP6\\q417.mp3"),
              ReplaceResult::FolderMissing);
    EXPECT_EQ(tree.Read("Other/Audio/Phrase/Group6"), "a file where a folder should be");
}

TEST_F(FileSystemContract, CopyOverAFolderFails) {
    tree.Add("Data/QBank.cxt = new\nInst/QBANK.CXT/inside.txt = kept");

    EXPECT_EQ(Replace("Data/QBank.cxt", "Inst", "QBANK.CXT"), ReplaceResult::WriteFailed);
    EXPECT_EQ(tree.Read("Inst/QBANK.CXT/inside.txt"), "kept");
    EXPECT_EQ(tree.Names("Inst"), Names{"QBANK.CXT"});
}

TEST_F(FileSystemContract, CopyNeverWritesThroughALinkAtTheDestination) {
    tree.Add(R"(
        Data/QBank.cxt = new
        Elsewhere/target.cxt = precious
        Inst/QBANK.CXT -> Elsewhere/target.cxt
    )");

    const ReplaceResult result = Replace("Data/QBank.cxt", "Inst", "QBANK.CXT");
    if (test_support::FileLinksAreVisible()) {
        EXPECT_EQ(result, ReplaceResult::LinkInTheWay);
        EXPECT_EQ(tree.Names("Inst"), Names{"QBANK.CXT"});
    } else {
        // Wine cannot tell this link from a file: the copy replaces the link
        // itself, and the file it pointed to must still stay as it was.
        EXPECT_TRUE(result == ReplaceResult::LinkInTheWay || result == ReplaceResult::Replaced)
            << Describe(result);
    }
    EXPECT_EQ(tree.Read("Elsewhere/target.cxt"), "precious");
    EXPECT_EQ(tree.Names("Elsewhere"), Names{"target.cxt"});
}

TEST_F(FileSystemContract, CopyNeverGoesThroughALinkedFolderOnTheWay) {
    tree.Add(R"(
        Data/q417.mp3 = new
        Elsewhere/Group6/q417.mp3 = precious
        Inst/Audio/Phrase/Group6 -> Elsewhere/Group6
        Inst/Xtras -> Elsewhere/Group6
    )");

    EXPECT_EQ(Replace("Data/q417.mp3", "Inst", "AUDIO\\PHRASE\\GROUP6\\q417.mp3"),
              ReplaceResult::LinkInTheWay);
    EXPECT_EQ(Replace("Data/q417.mp3", "Inst", "xtras\\q417.mp3"), ReplaceResult::LinkInTheWay);
    EXPECT_EQ(Replace("Data/q417.mp3", "Inst", "xtras\\PlugKit2.X32"), ReplaceResult::LinkInTheWay);
    EXPECT_EQ(tree.Read("Elsewhere/Group6/q417.mp3"), "precious");
    EXPECT_EQ(tree.Names("Elsewhere/Group6"), Names{"q417.mp3"});
    EXPECT_EQ(tree.Names("Inst/Audio/Phrase"), Names{"Group6"});
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
    tree.Add("Data/" + part + ".cxt = new\n" + deep + "/QBANK.CXT = old\n" + deep + "/Sub/");
    ASSERT_GT(P(deep).size(), 300u);

    EXPECT_TRUE(fs.IsFolder(P(deep)));
    EXPECT_TRUE(fs.GetFolderId(P(deep)).has_value());
    EXPECT_EQ(List(P(deep)), (Entries{{".", true, false},
                                      {"..", true, false},
                                      {"QBANK.CXT", false, false},
                                      {"Sub", true, false}}));
    EXPECT_EQ(fs.ReplaceFile(P("Data/" + part + ".cxt"), P(deep), "QBANK.CXT"),
              ReplaceResult::Replaced);
    EXPECT_EQ(tree.Read(deep + "/QBANK.CXT"), "new");

    // A long relative path below a short installation, from a long source.
    std::string relative = deep.substr(5);
    std::replace(relative.begin(), relative.end(), '/', '\\');
    EXPECT_EQ(fs.ReplaceFile(P(deep + "/QBANK.CXT"), P("Inst"), relative + "\\Sub\\COPY.CXT"),
              ReplaceResult::Replaced);
    EXPECT_EQ(tree.Read(deep + "/Sub/COPY.CXT"), "new");
}

TEST_F(FileSystemContract, NamesOutsideTheJapaneseCodePageListAndCopy) {
    // Korean, an emoji (outside the Basic Multilingual Plane), Greek, and a
    // Latin letter with a diaeresis: none of them is in code page 932.
    tree.Add(R"(
        Data/Ελληνικά.bin = new
        한국어/😀 ünï.txt = old
    )");

    EXPECT_EQ(List(P("한국어")),
              (Entries{{".", true, false}, {"..", true, false}, {"😀 ünï.txt", false, false}}));
    EXPECT_TRUE(fs.IsFolder(P("한국어")));
    EXPECT_EQ(fs.ReplaceFile(P("Data/Ελληνικά.bin"), P("한국어"), "😀 ünï.txt"),
              ReplaceResult::Replaced);
    EXPECT_EQ(tree.Read("한국어/😀 ünï.txt"), "new");
    EXPECT_EQ(fs.ReplaceFile(P("Data/Ελληνικά.bin"), P(""), "한국어\\新しい.txt"),
              ReplaceResult::Replaced);
    EXPECT_EQ(tree.Read("한국어/新しい.txt"), "new");
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
