// What only the POSIX implementation does: drive letters that stand for
// folders, mount points, letter case on a file system that keeps it, and
// permissions.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string_view>

#include "platform/posix/PosixFileSystem.h"
#include "tests/support/TempTree.h"

namespace {

using platform::DriveType;
using platform::PosixFileSystem;
using Kind = platform::FileError::Kind;
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

std::optional<platform::FileId> HostFolderId(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return platform::FileId{st.st_dev, st.st_ino};
}

// Stages the file `name` in the folder `relative` of `fs`'s drive T:.
void Stage(platform::FileSystem& fs, const std::string& folder, const std::string& name,
           std::string_view content, platform::FileTime lastWrite, std::string_view predecessor) {
    auto inst = fs.OpenFolderNoLink(folder);
    ASSERT_TRUE(inst);
    auto staged = (*inst)->CreateFile(name);
    ASSERT_TRUE(staged);
    ASSERT_EQ((*staged)->Write(std::as_bytes(std::span(content.data(), content.size()))),
              std::nullopt);
    ASSERT_EQ((*staged)->Finish(lastWrite, predecessor), std::nullopt);
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
    EXPECT_FALSE(fs.OpenFolderNoLink("T:\\Sub\\..\\..\\Outside"));
    EXPECT_FALSE(fs.OpenFolderNoLink("T:\\.."));
    EXPECT_FALSE(fs.OpenSourceFile("T:\\..\\Outside\\secret.txt"));
    auto drive = fs.OpenFolderNoLink("T:");
    ASSERT_TRUE(drive);
    EXPECT_EQ((*drive)->Id(), HostFolderId(tree.Path("Drive")));
    EXPECT_FALSE((*drive)->OpenFolder(".."));
    EXPECT_FALSE((*drive)->CreateFile("../Outside/new.txt"));
    EXPECT_NE((*drive)->Rename("Sub", "../Outside/Sub"), std::nullopt);
    EXPECT_NE((*drive)->Delete("../Outside/secret.txt"), std::nullopt);
    EXPECT_EQ(tree.Read("Outside/secret.txt"), "out");
    EXPECT_EQ(tree.Names("Outside"), Names{"secret.txt"});
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
    TempTree tree("Inst/xtras/\nInst/Xtras/\nInst/XTRAS/\n");
    PosixFileSystem fs({{'T', tree.Path()}}, {});
    const auto opened = [&](const std::string& path) -> std::optional<platform::FileId> {
        auto folder = fs.OpenFolderNoLink(path);
        return folder ? (*folder)->Id() : std::nullopt;
    };

    EXPECT_EQ(opened("T:\\Inst\\Xtras"), HostFolderId(tree.Path("Inst/Xtras")));
    EXPECT_EQ(opened("T:\\Inst\\xtras"), HostFolderId(tree.Path("Inst/xtras")));
    // Without an exact match the choice is stable: the smallest name.
    EXPECT_EQ(opened("T:\\Inst\\xTrAs"), HostFolderId(tree.Path("Inst/XTRAS")));
}

TEST(PosixDrives, TheDefaultMapHasTheRootAsCAndOnlyFixedDrives) {
    PosixFileSystem fs;
    const std::uint32_t mask = fs.LogicalDrives();

    EXPECT_TRUE(mask & (1u << 2));
    struct stat root {};
    ASSERT_EQ(::stat("/", &root), 0);
    EXPECT_EQ(fs.GetFolderId("C:"), (platform::FileId{root.st_dev, root.st_ino}));
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

    // The drive's root held as an installation lists the same, without the dots.
    auto drive = fs.OpenFolderNoLink("C:");
    ASSERT_TRUE(drive);
    Names held;
    ASSERT_TRUE((*drive)->List([&](const platform::FolderEntry& entry) {
        held.emplace_back(entry.name);
        return true;
    }));
    std::sort(held.begin(), held.end());
    Names withoutDots = *names;
    std::erase_if(withoutDots, [](const std::string& name) { return name == "." || name == ".."; });
    EXPECT_EQ(held, withoutDots);
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

// --- Staged files and package files -----------------------------------------

TEST(PosixStaging, ANewFileTakesItsPredecessorsOwnerAndPermissionsButNoSetIdBit) {
    TempTree tree("Inst/run.sh = old\n");
    const std::string old = tree.Path("Inst/run.sh");
    ASSERT_EQ(::chmod(old.c_str(), 04754), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(old.c_str(), 12345, 54321), 0);
    }
    PosixFileSystem fs({{'T', tree.Path()}}, {});
    const platform::FileTime time{1'000'000'000'123'456'789};

    Stage(fs, "T:\\Inst", "run.new", "#!/bin/sh", time, "run.sh");
    Stage(fs, "T:\\Inst", "fresh", "", time, "");

    struct stat staged {
    }, fresh{};
    ASSERT_EQ(::stat(tree.Path("Inst/run.new").c_str(), &staged), 0);
    ASSERT_EQ(::stat(tree.Path("Inst/fresh").c_str(), &fresh), 0);
    EXPECT_EQ(staged.st_mode & 07777, 0754u);
    EXPECT_EQ(staged.st_mtim.tv_sec, 1'000'000'000);
    EXPECT_EQ(staged.st_mtim.tv_nsec, 123'456'789);
    if (root) {
        EXPECT_EQ(staged.st_uid, 12345u);
        EXPECT_EQ(staged.st_gid, 54321u);
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(fresh.st_mode & 07777, 0666u & ~mask);
    EXPECT_EQ(fresh.st_uid, ::geteuid());
}

TEST(PosixPackageFiles, OnlyRegularFilesAreReadAndAFailedReadIsReported) {
    TempTree tree("Data/");
    ASSERT_EQ(::mkfifo(tree.Path("Data/pipe").c_str(), 0600), 0);
    PosixFileSystem fs({{'T', tree.Path()}}, {});

    // Opening a pipe would wait for a writer that never comes.
    EXPECT_FALSE(fs.OpenSourceFile("T:\\Data\\pipe"));
    EXPECT_FALSE(fs.OpenSourceFile("T:\\Data"));

    // A regular file whose first read fails: the process's own memory at
    // address 0, which is never mapped. The failure is no end of the file.
    auto memory = fs.OpenSourceFile("\\proc\\self\\mem");
    ASSERT_TRUE(memory);
    std::byte buffer[16];
    const auto got = (*memory)->Read(buffer);
    ASSERT_FALSE(got);
    EXPECT_EQ(got.Error().kind, Kind::Other);
    EXPECT_NE(got.Error().description, "");
}

// --- Running programs ----------------------------------------------------------

TEST(PosixPrograms, AProgramRunsFromTheFileItWasStartedFromNotFromACopy) {
    TempTree tree("Inst/");
    const std::string program = tree.Path("Inst/SKM300.EXE");
    std::filesystem::copy_file("/bin/sleep", program);
    std::filesystem::copy_file("/bin/sleep", tree.Path("Inst/COPY.EXE"));
    PosixFileSystem fs({{'T', tree.Path()}}, {});
    auto idOf = [&](const std::string& path) {
        auto file = fs.OpenSourceFile(path);
        return file ? (*file)->Id().value_or(platform::FileId{}) : platform::FileId{};
    };
    const platform::FileId product = idOf("T:\\inst\\skm300.exe");
    EXPECT_FALSE(fs.ProgramRunsFrom(product));

    // posix_spawn returns once the child runs the new program.
    pid_t child = 0;
    char seconds[] = "60";
    char* const argv[] = {const_cast<char*>(program.c_str()), seconds, nullptr};
    ASSERT_EQ(::posix_spawn(&child, program.c_str(), nullptr, nullptr, argv, environ), 0);
    EXPECT_TRUE(fs.ProgramRunsFrom(product));
    EXPECT_FALSE(fs.ProgramRunsFrom(idOf("T:\\Inst\\COPY.EXE")));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_FALSE(fs.ProgramRunsFrom(product));
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
