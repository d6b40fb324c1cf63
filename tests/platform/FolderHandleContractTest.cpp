// The contract of installations changed through handles (FolderHandle.h) on
// real folders: the same tests run natively against the POSIX implementation
// and, under Wine, against the Win32 one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "platform/Sha256.h"
#include "tests/platform/FileSystemSubject.h"
#include "tests/support/TempTree.h"

namespace platform {
void PrintTo(FileError::Kind kind, std::ostream* out) {
    static const char* const kNames[] = {"NotFound", "Link", "InUse", "Changed", "Other"};
    *out << kNames[static_cast<int>(kind)];
}
void PrintTo(const FileError& error, std::ostream* out) {
    PrintTo(error.kind, out);
    *out << " (" << error.description << ")";
}
}  // namespace platform

namespace {

using platform::EntryKind;
using platform::Failure;
using platform::FileError;
using platform::FolderHandle;
using Kind = platform::FileError::Kind;
using Names = std::vector<std::string>;

template <typename T>
std::optional<Kind> KindOf(const platform::Result<T>& result) {
    if (result)
        return std::nullopt;
    return result.Error().kind;
}

std::optional<Kind> KindOf(const Failure& failure) {
    return failure ? std::optional<Kind>(failure->kind) : std::nullopt;
}

class FolderHandleContract : public ::testing::Test {
  protected:
    std::string P(std::string_view relative) const { return subject.PathOf(relative); }

    // The installation folder at `relative`, which must open.
    std::unique_ptr<FolderHandle> Open(std::string_view relative) {
        auto opened = fs.OpenFolderNoLink(P(relative));
        if (!opened) {
            ADD_FAILURE() << relative << ": " << testing::PrintToString(opened.Error());
            return nullptr;
        }
        return std::move(*opened);
    }

    std::unique_ptr<FolderHandle> Down(FolderHandle& folder, std::string_view name) {
        auto opened = folder.OpenFolder(name);
        if (!opened) {
            ADD_FAILURE() << name << ": " << testing::PrintToString(opened.Error());
            return nullptr;
        }
        return std::move(*opened);
    }

    // Stages a copy of the package file `source` as the new file `name` of
    // `folder`, as the engine does, in pieces of an odd size.
    Failure Copy(std::string_view source, FolderHandle& folder, std::string_view name,
                 std::string_view predecessor = {}) {
        auto input = fs.OpenSourceFile(P(source));
        if (!input)
            return input.Error();
        auto staged = folder.CreateFile(name);
        if (!staged)
            return staged.Error();
        std::vector<std::byte> buffer(65'521);
        while (true) {
            auto got = (*input)->Read(buffer);
            if (!got)
                return got.Error();
            if (*got == 0)
                break;
            if (Failure failed = (*staged)->Write(std::span(buffer).first(*got)))
                return failed;
        }
        return (*staged)->Finish((*input)->LastWriteTime(), predecessor);
    }

    std::optional<std::int64_t> LastWriteOf(std::string_view relative) {
        auto file = fs.OpenSourceFile(P(relative));
        return file ? std::optional((*file)->LastWriteTime().ticks) : std::nullopt;
    }

    test_support::TempTree tree;
    test_support::FileSystemSubject subject = test_support::MakeSubject(tree);
    platform::FileSystem& fs = *subject.fs;
};

// --- Opening ------------------------------------------------------------------

TEST_F(FolderHandleContract, AnInstallationOpensThroughLinksAboveItButNeverAsALinkItself) {
    tree.Add(R"(
        Real/Inst/QBANK.CXT = old
        Via -> Real
        InstLink -> Real/Inst
        file.txt = x
    )");

    const auto inst = Open("Real/Inst");
    ASSERT_TRUE(inst);
    EXPECT_EQ(inst->Id(), fs.GetFolderId(P("Real/Inst")));
    const auto via = Open("Via/Inst");
    ASSERT_TRUE(via);
    EXPECT_EQ(via->Id(), inst->Id());
    const auto otherCase = Open("REAL/inst");
    ASSERT_TRUE(otherCase);
    EXPECT_EQ(otherCase->Id(), inst->Id());

    EXPECT_EQ(KindOf(fs.OpenFolderNoLink(P("InstLink"))), Kind::Link);
    const auto missing = fs.OpenFolderNoLink(P("Missing"));
    ASSERT_EQ(KindOf(missing), Kind::NotFound);
    EXPECT_NE(missing.Error().description, "");
    EXPECT_EQ(KindOf(fs.OpenFolderNoLink(P("Missing/Deeper"))), Kind::NotFound);
    EXPECT_FALSE(fs.OpenFolderNoLink(P("file.txt")));
}

TEST_F(FolderHandleContract, OpenFolderGoesDownOneNameAndRefusesLinks) {
    tree.Add(R"(
        Inst/Audio/Phrase/Group6/q417.mp3 = old
        Inst/QBANK.CXT = old
        Inst/Xtras -> Elsewhere
        Elsewhere/PlugKit2.X32 = precious
    )");
    const auto inst = Open("Inst");
    ASSERT_TRUE(inst);

    const auto audio = Down(*inst, "Audio");
    ASSERT_TRUE(audio);
    const auto phrase = Down(*audio, "Phrase");
    ASSERT_TRUE(phrase);
    const auto group = Down(*phrase, "Group6");
    ASSERT_TRUE(group);
    EXPECT_EQ(group->Id(), fs.GetFolderId(P("Inst/Audio/Phrase/Group6")));

    EXPECT_EQ(KindOf(inst->OpenFolder("Xtras")), Kind::Link);
    EXPECT_EQ(KindOf(inst->OpenFolder("Missing")), Kind::NotFound);
    // Nothing but a single name of this folder: not a file, not a path.
    for (const char* name : {"QBANK.CXT", "..", ".", "", "Audio\\Phrase", "Audio/Phrase"}) {
        EXPECT_FALSE(inst->OpenFolder(name)) << name;
    }
    EXPECT_FALSE(audio->OpenFolder(".."));
}

TEST_F(FolderHandleContract, ListingThroughAHandleLeavesOutTheDots) {
    tree.Add(R"(
        Inst/Sub/inner.txt
        Inst/file.txt = x
        Inst/FolderLink -> Inst/Sub
    )");
    const auto inst = Open("Inst");
    ASSERT_TRUE(inst);

    std::vector<std::string> seen;
    ASSERT_TRUE(inst->List([&](const platform::FolderEntry& entry) {
        seen.push_back(std::string(entry.name) + (entry.isFolder ? " folder" : "") +
                       (entry.isLink ? " link" : ""));
        return true;
    }));
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (Names{"FolderLink folder link", "Sub folder", "file.txt"}));

    // A caller may give up half way, and list again from the start.
    int taken = 0;
    EXPECT_TRUE(inst->List([&](const platform::FolderEntry&) { return ++taken < 2; }));
    EXPECT_EQ(taken, 2);
    seen.clear();
    EXPECT_TRUE(inst->List([&](const platform::FolderEntry& entry) {
        seen.emplace_back(entry.name);
        return true;
    }));
    EXPECT_EQ(seen.size(), 3u);
}

// Wine keeps one listing per handle: listing through the same handle again
// does not read the folder again. A handle opened after a change lists it.
TEST_F(FolderHandleContract, AHandleOpenedAfterARenameListsTheNewName) {
    tree.Add(R"(
        Inst/file.txt.~upd-0123456789abcdef-old = old
    )");
    const auto before = Open("Inst");
    ASSERT_TRUE(before);
    Names seen;
    auto list = [&](FolderHandle& folder) {
        seen.clear();
        EXPECT_TRUE(folder.List([&](const platform::FolderEntry& entry) {
            seen.emplace_back(entry.name);
            return true;
        }));
        return seen;
    };
    EXPECT_EQ(list(*before), (Names{"file.txt.~upd-0123456789abcdef-old"}));
    EXPECT_EQ(before->Rename("file.txt.~upd-0123456789abcdef-old", "file.txt"), std::nullopt);
    // Listed again, the same handle may show the folder as it is, as it was,
    // or (Wine) nothing more at all: nothing may rest on it.
    const Names again = list(*before);
    EXPECT_TRUE(again == Names{"file.txt"} ||
                again == Names{"file.txt.~upd-0123456789abcdef-old"} || again.empty())
        << testing::PrintToString(again);
    const auto after = Open("Inst");
    ASSERT_TRUE(after);
    EXPECT_EQ(list(*after), (Names{"file.txt"}));
}

// --- Looking at names -----------------------------------------------------------

TEST_F(FolderHandleContract, InspectTellsWhatStandsAtANameWithoutFollowingLinks) {
    tree.Add(R"(
        Inst/file.txt = x
        Inst/locked.txt = y
        Inst/Sub/
        Inst/FolderLink -> Inst/Sub
        Inst/FileLink -> Inst/file.txt
    )");
    tree.SetReadOnly("Inst/locked.txt", true);
    const auto inst = Open("Inst");
    ASSERT_TRUE(inst);

    struct Case {
        const char* name;
        EntryKind kind;
        bool readOnly;
    };
    for (const Case& c :
         {Case{"file.txt", EntryKind::File, false},
          Case{"locked.txt", EntryKind::File, true},  // for root as well
          Case{"Sub", EntryKind::Folder, false}, Case{"FolderLink", EntryKind::Link, false},
          Case{"FileLink", EntryKind::Link, false}, Case{"Missing", EntryKind::Missing, false}}) {
        auto entry = inst->Inspect(c.name);
        ASSERT_TRUE(entry) << c.name;
        EXPECT_EQ(entry->kind, c.kind) << c.name;
        EXPECT_EQ(entry->readOnly, c.readOnly) << c.name;
    }

    EXPECT_EQ(inst->CheckNotInUse("file.txt"), std::nullopt);
    EXPECT_EQ(KindOf(inst->CheckNotInUse("Missing")), Kind::NotFound);
}

// --- Changing files -------------------------------------------------------------

// Stage, then commit by two renames and remove the backup, as the engine
// does; no step ever replaces an existing name.
TEST_F(FolderHandleContract, AStagedFileTakesItsPlaceByRenamesThatNeverReplaceAName) {
    tree.Add("Data/QBank.cxt = new content\nInst/QBANK.CXT = old");
    const auto inst = Open("Inst");
    ASSERT_TRUE(inst);

    ASSERT_EQ(Copy("Data/QBank.cxt", *inst, "QBANK.CXT.new", "QBANK.CXT"), std::nullopt);
    EXPECT_EQ(tree.Read("Inst/QBANK.CXT.new"), "new content");

    EXPECT_FALSE(inst->CreateFile("QBANK.CXT"));
    EXPECT_NE(inst->Rename("QBANK.CXT.new", "QBANK.CXT"), std::nullopt);
    EXPECT_EQ(tree.Read("Inst/QBANK.CXT"), "old");
    EXPECT_EQ(tree.Read("Inst/QBANK.CXT.new"), "new content");

    EXPECT_EQ(inst->Rename("QBANK.CXT", "QBANK.CXT.old"), std::nullopt);
    EXPECT_EQ(inst->Rename("QBANK.CXT.new", "QBANK.CXT"), std::nullopt);
    EXPECT_EQ(tree.Read("Inst/QBANK.CXT"), "new content");
    EXPECT_EQ(tree.Read("Inst/QBANK.CXT.old"), "old");
    EXPECT_EQ(inst->Delete("QBANK.CXT.old"), std::nullopt);
    EXPECT_EQ(tree.Names("Inst"), Names{"QBANK.CXT"});

    EXPECT_EQ(KindOf(inst->Rename("Missing", "Other")), Kind::NotFound);
    EXPECT_EQ(KindOf(inst->Delete("Missing")), Kind::NotFound);
    EXPECT_NE(inst->Rename("QBANK.CXT", "..\\QBANK.CXT"), std::nullopt);
    EXPECT_FALSE(inst->CreateFile("..\\QBANK.CXT"));
    EXPECT_EQ(tree.Names(""), (Names{"Data", "Inst"}));
}

// A link planted at a new file's name is never written through, whether
// what it points to exists or not.
TEST_F(FolderHandleContract, ANewFileIsNeverCreatedThroughALinkAtItsName) {
    tree.Add(R"(
        Elsewhere/kept.txt = kept
        Inst/Aimed -> Elsewhere/kept.txt
        Inst/Dangling -> Elsewhere/made.txt
    )");
    const auto inst = Open("Inst");
    ASSERT_TRUE(inst);

    EXPECT_FALSE(inst->CreateFile("Aimed"));
    EXPECT_FALSE(inst->CreateFile("Dangling"));
    EXPECT_EQ(tree.Names("Elsewhere"), Names{"kept.txt"});
    EXPECT_EQ(tree.Read("Elsewhere/kept.txt"), "kept");
}

TEST_F(FolderHandleContract, FinishGivesTheGivenTimeAndThePredecessorsReadOnlyAttribute) {
    tree.Add(R"(
        Data/QBank.cxt = new
        Inst/LOCKED.CXT = old
        Inst/PLAIN.CXT = old
    )");
    tree.SetReadOnly("Inst/LOCKED.CXT", true);
    const auto inst = Open("Inst");
    ASSERT_TRUE(inst);

    ASSERT_EQ(Copy("Data/QBank.cxt", *inst, "LOCKED.new", "LOCKED.CXT"), std::nullopt);
    ASSERT_EQ(Copy("Data/QBank.cxt", *inst, "PLAIN.new", "PLAIN.CXT"), std::nullopt);
    ASSERT_EQ(Copy("Data/QBank.cxt", *inst, "FRESH.new"), std::nullopt);
    EXPECT_TRUE(inst->Inspect("LOCKED.new")->readOnly);
    EXPECT_FALSE(inst->Inspect("PLAIN.new")->readOnly);
    EXPECT_FALSE(inst->Inspect("FRESH.new")->readOnly);
    EXPECT_EQ(LastWriteOf("Inst/FRESH.new"), LastWriteOf("Data/QBank.cxt"));

    // A time well before now, in whole seconds, which every file system
    // here keeps exactly, whatever the system's units.
    const std::int64_t now = LastWriteOf("Data/QBank.cxt").value_or(0);
    const std::int64_t earlier = (now - now / 1000) / 1'000'000'000 * 1'000'000'000;
    auto staged = inst->CreateFile("EARLY.new");
    ASSERT_TRUE(staged);
    ASSERT_EQ((*staged)->Finish({earlier}, {}), std::nullopt);
    EXPECT_EQ(LastWriteOf("Inst/EARLY.new"), earlier);
    EXPECT_EQ(tree.Read("Inst/EARLY.new"), "");
}

TEST_F(FolderHandleContract, DeletingALinkDeletesTheLinkAndNothingItPointsTo) {
    tree.Add(R"(
        Elsewhere/target.cxt = precious
        Inst/FolderLink -> Elsewhere
        Inst/FileLink -> Elsewhere/target.cxt
    )");
    const auto inst = Open("Inst");
    ASSERT_TRUE(inst);

    if (test_support::RunningUnderWine()) {
        // Wine opens a Unix link as what it points to, whatever is asked, so
        // a handle would delete the target: the link is refused instead.
        EXPECT_EQ(KindOf(inst->Delete("FolderLink")), Kind::Link);
        EXPECT_EQ(KindOf(inst->Delete("FileLink")), Kind::Link);
        EXPECT_EQ(tree.Names("Inst"), (Names{"FileLink", "FolderLink"}));
    } else {
        EXPECT_EQ(inst->Delete("FolderLink"), std::nullopt);
        EXPECT_EQ(inst->Delete("FileLink"), std::nullopt);
        EXPECT_EQ(tree.Names("Inst"), Names{});
    }
    EXPECT_EQ(tree.Names("Elsewhere"), Names{"target.cxt"});
    EXPECT_EQ(tree.Read("Elsewhere/target.cxt"), "precious");
}

// What writing through handles is for: a folder swapped for a link after it
// was opened does not redirect a single write.
TEST_F(FolderHandleContract, AHeldFolderIsStillTheOneWrittenToAfterItWasSwappedForALink) {
    tree.Add(R"(
        Data/q417.mp3 = new
        Inst/Audio/q417.mp3 = old
        Elsewhere/Audio/
    )");
    const auto inst = Open("Inst");
    ASSERT_TRUE(inst);
    const auto audio = Down(*inst, "Audio");
    ASSERT_TRUE(audio);
    const auto id = inst->Id();

    // Where the system lets no one rename a held folder, it stays in place,
    // which protects it as well.
    const bool moved = tree.Rename("Inst", "Moved");
    const std::string held = moved ? "Moved" : "Inst";
    if (moved)
        tree.Add("Inst -> Elsewhere");

    ASSERT_EQ(Copy("Data/q417.mp3", *audio, "q417.new", "q417.mp3"), std::nullopt);
    EXPECT_EQ(audio->Rename("q417.mp3", "q417.old"), std::nullopt);
    EXPECT_EQ(audio->Rename("q417.new", "q417.mp3"), std::nullopt);
    const auto again = Down(*inst, "Audio");
    ASSERT_TRUE(again);
    EXPECT_EQ(again->Id(), audio->Id());
    EXPECT_EQ(inst->Id(), id);

    EXPECT_EQ(tree.Read(held + "/Audio/q417.mp3"), "new");
    EXPECT_EQ(tree.Names(held + "/Audio"), (Names{"q417.mp3", "q417.old"}));
    EXPECT_EQ(tree.Names("Elsewhere/Audio"), Names{});
}

// --- Contents, names and paths ---------------------------------------------------

TEST_F(FolderHandleContract, LargeAndEmptyFilesAreCopiedWhole) {
    std::string large(1'000'003, '\0');
    for (std::size_t i = 0; i < large.size(); ++i)
        large[i] = char('a' + (i * 7919) % 26);
    tree.Add("Data/large.bin = " + large + "\nData/empty.bin\nData/Folder.bin/\nInst/");
    const auto inst = Open("Inst");
    ASSERT_TRUE(inst);

    ASSERT_EQ(Copy("Data/large.bin", *inst, "large.bin"), std::nullopt);
    EXPECT_EQ(tree.Read("Inst/large.bin"), large);
    ASSERT_EQ(Copy("Data/empty.bin", *inst, "empty.bin"), std::nullopt);
    EXPECT_EQ(tree.Read("Inst/empty.bin"), "");

    EXPECT_EQ(KindOf(fs.OpenSourceFile(P("Data/missing.bin"))), Kind::NotFound);
    EXPECT_FALSE(fs.OpenSourceFile(P("Data/Folder.bin")));
}

TEST_F(FolderHandleContract, DeepPathsAndNamesOutsideTheJapaneseCodePageWork) {
    // Korean, an emoji (outside the Basic Multilingual Plane), Greek, and a
    // Latin letter with a diaeresis: none of them is in code page 932.
    const std::string part(60, 'p');
    std::string deep = "한국어";
    for (char c = 'a'; c < 'f'; ++c) {
        // One piece at a time: MinGW's GCC 12 takes "/" + a string for an
        // overlapping copy (-Wrestrict).
        deep += '/';
        deep += c;
        deep += part;
    }
    tree.Add("Data/Ελληνικά.bin = new\n" + deep + "/😀 ünï.txt = old\n" + deep + "/Sub/");
    ASSERT_GT(P(deep).size(), 300u);

    const auto folder = Open(deep);
    ASSERT_TRUE(folder);
    ASSERT_EQ(Copy("Data/Ελληνικά.bin", *folder, "新しい.txt", "😀 ünï.txt"), std::nullopt);
    EXPECT_EQ(folder->Rename("😀 ünï.txt", "😀 ünï.old"), std::nullopt);
    EXPECT_EQ(folder->Rename("新しい.txt", "😀 ünï.txt"), std::nullopt);
    EXPECT_EQ(tree.Read(deep + "/😀 ünï.txt"), "new");
    EXPECT_EQ(folder->Inspect("Sub")->kind, EntryKind::Folder);

    // Down from a short installation to the same folder, name by name.
    auto below = Open("한국어");
    for (char c = 'a'; below && c < 'f'; ++c)
        below = Down(*below, std::string(1, c) + part);
    ASSERT_TRUE(below);
    EXPECT_EQ(below->Id(), folder->Id());
}

// --- SHA-256 ------------------------------------------------------------------

TEST(Sha256, KnownDigestsWhateverTheTextIsCutInto) {
    const auto digest = [](const std::vector<std::string>& pieces) {
        platform::Sha256 sha;
        for (const std::string& piece : pieces)
            sha.Update(std::as_bytes(std::span(piece.data(), piece.size())));
        return platform::ToHex(sha.Finish());
    };
    EXPECT_EQ(digest({}), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(digest({"abc"}), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(digest({"a", "", "bc"}),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

}  // namespace
