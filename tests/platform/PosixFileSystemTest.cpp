// What only the POSIX implementation does: drive letters that stand for
// folders, mount points, letter case on a file system that keeps it, and
// permissions.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "platform/posix/PosixFileSystem.h"
#include "tests/support/TempTree.h"

namespace {

using platform::DriveType;
using platform::PosixFileSystem;
using platform::ReplaceResult;
using test_support::TempTree;
using Names = std::vector<std::string>;

std::optional<Names> ListedNames(platform::FileSystem& fs, const std::string& folder) {
    Names names;
    if (!fs.ListFolder(folder, [&](const platform::FolderEntry& e) {
            names.emplace_back(e.name);
            return true;
        })) {
        return std::nullopt;
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The updater's rooted form of a host path outside every drive.
std::string Rooted(std::string hostPath) {
    std::replace(hostPath.begin(), hostPath.end(), '/', '\\');
    return hostPath;
}

TEST(PosixDrives, OnlyMappedLettersAreInUseAndAllOfThemAreFixed) {
    TempTree tree("C/\nT/\n");
    PosixFileSystem fs({{'C', tree.Path("C")}, {'t', tree.Path("T")}}, {});

    EXPECT_EQ(fs.LogicalDrives(), (1u << 2) | (1u << 19));
    EXPECT_EQ(fs.GetDriveType('C'), DriveType::Fixed);
    EXPECT_EQ(fs.GetDriveType('T'), DriveType::Fixed);
    EXPECT_EQ(fs.GetDriveType('t'), DriveType::Fixed);
    EXPECT_EQ(fs.GetDriveType('D'), DriveType::NoRootDir);
    EXPECT_EQ(fs.GetDriveType('?'), DriveType::NoRootDir);
    EXPECT_TRUE(fs.IsFolder("t:"));
    EXPECT_FALSE(fs.IsFolder("D:"));
    EXPECT_EQ(ListedNames(fs, "D:"), std::nullopt);
}

TEST(PosixDrives, ADrivePathLeadsIntoItsFolderAndNeverOut) {
    TempTree tree(R"(
        Drive/Sub/file.txt = in
        Outside/secret.txt = out
        Data/new.txt = new
    )");
    PosixFileSystem fs({{'T', tree.Path("Drive")}}, {});

    for (const char* path : {"T:", "T:\\", "T:\\Sub", "T:\\Sub\\", "T:\\\\Sub"}) {
        EXPECT_TRUE(fs.IsFolder(path)) << path;
    }
    for (const char* path : {"T:\\..\\Outside", "T:\\Sub\\..\\..\\Outside", "T:\\.\\Sub", "T:..",
                             "T:Sub", "Sub", "", "T:\\Sub/..", "1:\\"}) {
        EXPECT_FALSE(fs.IsFolder(path)) << path;
        EXPECT_EQ(ListedNames(fs, path), std::nullopt) << path;
    }
    const std::string source = Rooted(tree.Path("Data/new.txt"));
    EXPECT_NE(fs.ReplaceFile(source, "T:", "..\\Outside\\secret.txt"), ReplaceResult::Replaced);
    EXPECT_NE(fs.ReplaceFile(source, "T:\\Sub\\..\\..", "Outside\\secret.txt"),
              ReplaceResult::Replaced);
    EXPECT_NE(fs.ReplaceFile(source, "T:\\Sub", "."), ReplaceResult::Replaced);
    EXPECT_EQ(tree.Read("Outside/secret.txt"), "out");
    EXPECT_EQ(tree.Names("Drive/Sub"), Names{"file.txt"});
}

TEST(PosixDrives, NamesInAnotherLetterCaseAreFoundWhenNoExactOneExists) {
    TempTree tree("Audio/Term/GROUP3/\nAudio/Term/group3.txt");
    PosixFileSystem fs({{'T', tree.Path()}}, {});

    EXPECT_TRUE(fs.IsFolder("T:\\AUDIO\\term\\Group3"));
    EXPECT_EQ(fs.GetFolderId("T:\\audio\\TERM"), fs.GetFolderId("T:\\Audio\\Term"));
    EXPECT_EQ(ListedNames(fs, "T:\\aUDIO\\tERM"), (Names{".", "..", "GROUP3", "group3.txt"}));
    EXPECT_FALSE(fs.IsFolder("T:\\AUDIO\\TERM\\GROUP3.TXT"));
    EXPECT_FALSE(fs.IsFolder("T:\\AUDIO\\TERM\\GROUP4"));
}

TEST(PosixDrives, AnExactNameIsPreferredToOnesInAnotherCase) {
    TempTree tree("Data/p = new\nInst/xtras/\nInst/Xtras/\nInst/XTRAS/\n");
    PosixFileSystem fs({{'T', tree.Path()}}, {});

    EXPECT_EQ(fs.ReplaceFile("T:\\Data\\p", "T:\\Inst", "Xtras\\A.X32"), ReplaceResult::Replaced);
    EXPECT_EQ(fs.ReplaceFile("T:\\Data\\p", "T:\\Inst", "xtras\\B.X32"), ReplaceResult::Replaced);
    // Without an exact match the choice is stable: the smallest name.
    EXPECT_EQ(fs.ReplaceFile("T:\\Data\\p", "T:\\Inst", "xTrAs\\C.X32"), ReplaceResult::Replaced);
    EXPECT_EQ(tree.Names("Inst/Xtras"), Names{"A.X32"});
    EXPECT_EQ(tree.Names("Inst/xtras"), Names{"B.X32"});
    EXPECT_EQ(tree.Names("Inst/XTRAS"), Names{"C.X32"});
}

TEST(PosixDrives, TheDefaultMapHasTheRootAsCAndOnlyFixedDrives) {
    PosixFileSystem fs;
    const std::uint32_t mask = fs.LogicalDrives();

    EXPECT_TRUE(mask & (1u << 2));
    struct stat root {};
    ASSERT_EQ(::stat("/", &root), 0);
    EXPECT_EQ(fs.GetFolderId("C:"), (platform::FolderId{root.st_dev, root.st_ino}));
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const bool inUse = mask & (1u << (letter - 'A'));
        EXPECT_EQ(fs.GetDriveType(letter), inUse ? DriveType::Fixed : DriveType::NoRootDir)
            << letter;
        if (inUse) {
            EXPECT_TRUE(fs.IsFolder(std::string{letter, ':'})) << letter;
        }
    }
}

// --- Mount points ------------------------------------------------------------

TEST(PosixMountPoints, AMountPointIsLeftOutOfItsParentsListing) {
    TempTree tree("Mnt/inside.txt\nDir/\nfile.txt\n");
    PosixFileSystem fs({{'T', tree.Path()}}, {tree.Path("Mnt"), tree.Path("Dir") + "/", "/proc"});

    EXPECT_EQ(ListedNames(fs, "T:"), (Names{".", "..", "file.txt"}));
    // Asked for by its path, as the root of a drive would be, it is listed.
    EXPECT_EQ(ListedNames(fs, "T:\\Mnt"), (Names{".", "..", "inside.txt"}));
}

TEST(PosixMountPoints, TheSystemsPseudoFileSystemsAreNotUnderC) {
    PosixFileSystem fs({{'C', "/"}});
    const std::optional<Names> names = ListedNames(fs, "C:");
    ASSERT_TRUE(names.has_value());

    struct stat root {};
    ASSERT_EQ(::stat("/", &root), 0);
    int mountPointsSeen = 0;
    for (const char* name : {"proc", "sys", "dev"}) {
        struct stat st {};
        if (::stat((std::string("/") + name).c_str(), &st) != 0 || st.st_dev == root.st_dev) {
            continue;
        }
        ++mountPointsSeen;
        EXPECT_EQ(std::count(names->begin(), names->end(), name), 0) << name;
    }
    EXPECT_GT(mountPointsSeen, 0) << "no pseudo file system mounted at /proc, /sys or /dev";
    EXPECT_EQ(std::count(names->begin(), names->end(), "."), 1);
}

// --- Listing -----------------------------------------------------------------

TEST(PosixListing, AFolderWithoutPermissionsCannotBeListed) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root lists any folder";
    TempTree tree("Locked/inside.txt");
    PosixFileSystem fs({{'T', tree.Path()}}, {});
    tree.SetUnreadable("Locked", true);

    EXPECT_EQ(ListedNames(fs, "T:\\Locked"), std::nullopt);
    tree.SetUnreadable("Locked", false);
}

TEST(PosixListing, ANameHoldingABackslashIsLeftOut) {
    // Joined into a path, the name would fall apart into two.
    TempTree tree("back\\slash.txt\nplain.txt");
    PosixFileSystem fs({{'T', tree.Path()}}, {});

    EXPECT_EQ(ListedNames(fs, "T:"), (Names{".", "..", "plain.txt"}));
}

// --- Replacement -------------------------------------------------------------

TEST(PosixReplace, TheNewFileKeepsTheOldPermissionsButNoSetIdBitAndTheSourceTime) {
    TempTree tree("Data/new = #!/bin/sh\nInst/run.sh = old\n");
    PosixFileSystem fs({{'T', tree.Path()}}, {});
    ASSERT_EQ(::chmod(tree.Path("Inst/run.sh").c_str(), 04754), 0);
    const timespec old[2] = {{0, UTIME_OMIT}, {1'000'000'000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, tree.Path("Data/new").c_str(), old, 0), 0);

    ASSERT_EQ(fs.ReplaceFile("T:\\Data\\new", "T:\\Inst", "run.sh"), ReplaceResult::Replaced);
    ASSERT_EQ(fs.ReplaceFile("T:\\Data\\new", "T:\\Inst", "fresh"), ReplaceResult::Replaced);

    struct stat replaced {
    }, fresh{};
    ASSERT_EQ(::stat(tree.Path("Inst/run.sh").c_str(), &replaced), 0);
    ASSERT_EQ(::stat(tree.Path("Inst/fresh").c_str(), &fresh), 0);
    EXPECT_EQ(replaced.st_mode & 07777, 0754u);
    EXPECT_EQ(replaced.st_mtim.tv_sec, 1'000'000'000);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(fresh.st_mode & 07777, 0666u & ~mask);
}

TEST(PosixReplace, ACopyThatFailsMidwayLeavesTheOldFileAndNoTemporaryFile) {
    TempTree tree("Inst/QBANK.CXT = old");
    PosixFileSystem fs({{'T', tree.Path()}}, {});

    // A regular file whose first read fails: the process's own memory at
    // address 0, which is never mapped.
    EXPECT_EQ(fs.ReplaceFile("\\proc\\self\\mem", "T:\\Inst", "QBANK.CXT"),
              ReplaceResult::WriteFailed);
    EXPECT_EQ(tree.Read("Inst/QBANK.CXT"), "old");
    EXPECT_EQ(tree.Names("Inst"), Names{"QBANK.CXT"});
}

// --- The program's own folder ------------------------------------------------

TEST(PosixOwnFolder, TheDriveThatHoldsTheProgramMostCloselyNamesIt) {
    const std::filesystem::path folder = std::filesystem::canonical("/proc/self/exe").parent_path();
    const std::string rooted = Rooted(folder.string()) + "\\";

    EXPECT_EQ(PosixFileSystem({{'C', "/"}}, {}).OwnExecutableFolder(), "C:" + rooted);
    EXPECT_EQ(PosixFileSystem({{'C', "/"}, {'X', folder.parent_path().string()}}, {})
                  .OwnExecutableFolder(),
              "X:\\" + folder.filename().string() + "\\");
    EXPECT_EQ(PosixFileSystem({{'Y', folder.string() + "/"}, {'C', "/"}}, {}).OwnExecutableFolder(),
              "Y:\\");

    // On no drive: the host path itself, which the file system still opens.
    TempTree tree;
    PosixFileSystem outside({{'T', tree.Path()}}, {});
    EXPECT_EQ(outside.OwnExecutableFolder(), rooted);
    EXPECT_TRUE(outside.IsFolder(rooted.substr(0, rooted.size() - 1)));
}

TEST(PosixOwnFolder, AFolderPathOfAnyLengthIsReadWhole) {
    std::string deep;
    for (char c = 'a'; c < 'g'; ++c) {
        deep += c;
        deep += std::string(70, 'x') + "/";
    }
    TempTree tree(deep);
    const std::string probe = tree.Path(deep + "probe");
    std::filesystem::copy_file(OWN_FOLDER_PROBE, probe);
    ASSERT_GT(probe.size(), 400u);

    std::string output;
    if (FILE* run = ::popen(("'" + probe + "'").c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, run))
            output += buffer;
        EXPECT_EQ(::pclose(run), 0);
    }
    EXPECT_EQ(output, "C:" + Rooted(tree.Path(deep)));
}

}  // namespace
