// What only Windows has beside the handle contract: attributes, creation
// times and security descriptors carried over to a staged copy, share modes,
// resources, processes and the system's own error texts.
#include <gtest/gtest.h>

#include "platform/win32/WinApi.h"

#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "platform/win32/FolderSafety.h"
#include "platform/win32/ModulePath.h"
#include "platform/win32/ScopedWin.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/Win32FileError.h"
#include "platform/win32/Win32FileSystem.h"
#include "tests/support/TempTree.h"

namespace {

using platform::FileError;
using platform::ScopedHandle;
using test_support::TempTree;

class Win32FolderHandle : public ::testing::Test {
  protected:
    std::wstring LongPath(std::string_view relative) const {
        std::string path = tree.Path(relative);
        return L"\\\\?\\" + platform::Utf8ToUtf16(path);
    }

    ScopedHandle OpenPath(std::string_view relative, DWORD access, DWORD share) const {
        return ScopedHandle(CreateFileW(LongPath(relative).c_str(), access, share, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    }

    FILE_BASIC_INFO BasicInfo(std::string_view relative) const {
        FILE_BASIC_INFO info{};
        const ScopedHandle file = OpenPath(relative, FILE_READ_ATTRIBUTES, 7);
        EXPECT_TRUE(GetFileInformationByHandleEx(file.Get(), FileBasicInfo, &info, sizeof info))
            << relative;
        return info;
    }

    std::wstring Dacl(std::string_view relative) const {
        const ScopedHandle file = OpenPath(relative, READ_CONTROL, 7);
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        wchar_t* text = nullptr;
        if (GetSecurityInfo(file.Get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                            nullptr, nullptr, &descriptor) != ERROR_SUCCESS ||
            !ConvertSecurityDescriptorToStringSecurityDescriptorW(
                descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
            ADD_FAILURE() << relative;
        }
        std::wstring dacl = text ? text : L"";
        LocalFree(text);
        LocalFree(descriptor);
        return dacl;
    }

    TempTree tree;
    platform::Win32FileSystem fs;
};

// The staged copy is to stand where its predecessor stood as that file did:
// hidden and system, with its creation time and permissions, and even read-
// only, which Windows renames but does not delete; Delete still can.
TEST_F(Win32FolderHandle, FinishCarriesThePredecessorsAttributesTimesAndPermissions) {
    tree.Add("Inst/HIDDEN.CXT = old\nInst/LOCKED.CXT = old");
    tree.SetHidden("Inst/HIDDEN.CXT");
    tree.SetReadOnly("Inst/LOCKED.CXT", true);
    FILE_BASIC_INFO born{};
    born.CreationTime.QuadPart = 126'000'000'000'000'000;  // 2000-04-13
    {
        const ScopedHandle file = OpenPath("Inst/HIDDEN.CXT", FILE_WRITE_ATTRIBUTES, 7);
        ASSERT_TRUE(SetFileInformationByHandle(file.Get(), FileBasicInfo, &born, sizeof born));
    }
    // Wine keeps no permissions of its own (it shows those of the Unix
    // mode), so only Windows can be given these.
    const bool permissions = !test_support::RunningUnderWine();
    if (permissions) {
        ASSERT_EQ(
            SetNamedSecurityInfoW(LongPath("Inst/HIDDEN.CXT").data(), SE_FILE_OBJECT,
                                  DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                  nullptr, nullptr, nullptr, nullptr),
            DWORD{ERROR_SUCCESS});
    }

    auto inst = fs.OpenFolderNoLink(tree.Path("Inst"));
    ASSERT_TRUE(inst);
    for (const char* name : {"HIDDEN", "LOCKED"}) {
        auto staged = (*inst)->CreateFile(std::string(name) + ".new");
        ASSERT_TRUE(staged);
        ASSERT_EQ((*staged)->Finish({}, std::string(name) + ".CXT"), std::nullopt);
    }

    const FILE_BASIC_INFO copy = BasicInfo("Inst/HIDDEN.new");
    EXPECT_EQ(copy.FileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
              DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM});
    // Wine cannot set a creation time: Unix has none to set.
    if (!test_support::RunningUnderWine()) {
        EXPECT_EQ(copy.CreationTime.QuadPart, born.CreationTime.QuadPart);
    }
    if (permissions) {
        EXPECT_EQ(Dacl("Inst/HIDDEN.new"), Dacl("Inst/HIDDEN.CXT"));
    }

    EXPECT_TRUE(BasicInfo("Inst/LOCKED.new").FileAttributes & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ((*inst)->Rename("LOCKED.new", "LOCKED.moved"), std::nullopt);
    EXPECT_EQ((*inst)->Delete("LOCKED.moved"), std::nullopt);
    EXPECT_EQ(tree.Names("Inst"),
              (std::vector<std::string>{"HIDDEN.CXT", "HIDDEN.new", "LOCKED.CXT"}));
}

// A read-only attribute belongs to the file, and so to each of its names:
// deleting one name must not clear it. Windows 10 1809 and later delete the
// name as it is; elsewhere (Wine too) it is left, and the failure says why.
TEST_F(Win32FolderHandle, DeletingOneNameOfAReadOnlyFileLeavesItsAttribute) {
    tree.Add("Inst/ALONE.CXT = ours\nInst/LOCKED.CXT = theirs");
    tree.SetReadOnly("Inst/ALONE.CXT", true);
    tree.SetReadOnly("Inst/LOCKED.CXT", true);
    ASSERT_TRUE(CreateHardLinkW(LongPath("Inst/SECOND.CXT").c_str(),
                                LongPath("Inst/LOCKED.CXT").c_str(), nullptr));
    auto inst = fs.OpenFolderNoLink(tree.Path("Inst"));
    ASSERT_TRUE(inst);
    EXPECT_EQ((*inst)->Delete("ALONE.CXT"), std::nullopt);
    const platform::Failure second = (*inst)->Delete("SECOND.CXT");
    EXPECT_TRUE(BasicInfo("Inst/LOCKED.CXT").FileAttributes & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(tree.Exists("Inst/SECOND.CXT"), second.has_value());
    if (second) {
        EXPECT_EQ(second->description, "is read-only and has more than one name");
        EXPECT_TRUE(BasicInfo("Inst/SECOND.CXT").FileAttributes & FILE_ATTRIBUTE_READONLY);
    }
    EXPECT_FALSE(tree.Exists("Inst/ALONE.CXT"));
    std::printf("a read-only file's second name deleted as it is: %s\n", second ? "no" : "yes");
}

TEST_F(Win32FolderHandle, AFileHeldWithoutSharingDeletionIsInUse) {
    tree.Add("Inst/QBANK.CXT = old");
    auto inst = fs.OpenFolderNoLink(tree.Path("Inst"));
    ASSERT_TRUE(inst);
    {
        const ScopedHandle holder =
            OpenPath("Inst/QBANK.CXT", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
        ASSERT_TRUE(holder);
        const platform::Failure inUse = (*inst)->CheckNotInUse("QBANK.CXT");
        ASSERT_TRUE(inUse);
        EXPECT_EQ(inUse->kind, FileError::Kind::InUse);
        EXPECT_NE(inUse->description, "");
        EXPECT_TRUE((*inst)->Rename("QBANK.CXT", "QBANK.old"));
        // Wine's Restart Manager names no application at all.
        if (!test_support::RunningUnderWine()) {
            EXPECT_TRUE(fs.ApplicationUsing(tree.Path("Inst/QBANK.CXT")).has_value());
        }
    }
    EXPECT_EQ((*inst)->CheckNotInUse("QBANK.CXT"), std::nullopt);
    EXPECT_EQ(fs.ApplicationUsing(tree.Path("Inst/QBANK.CXT")), std::nullopt);
    EXPECT_EQ(tree.Read("Inst/QBANK.CXT"), "old");
}

TEST_F(Win32FolderHandle, TheRunningTestProgramIsFoundByItsFileNotItsPath) {
    std::string own = platform::Utf16ToUtf8(platform::ModuleFileName(nullptr));
    for (char& c : own)
        c = char(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    auto running = fs.OpenSourceFile(own);
    ASSERT_TRUE(running) << own;
    EXPECT_TRUE(fs.ProgramRunsFrom((*running)->Id().value())) << own;
    tree.Add("copy.exe = not running");
    auto copy = fs.OpenSourceFile(tree.Path("copy.exe"));
    ASSERT_TRUE(copy);
    EXPECT_FALSE(fs.ProgramRunsFrom((*copy)->Id().value()));
    // A test program carries no package list.
    EXPECT_EQ(fs.BuiltInPackageList(), std::nullopt);
}

TEST_F(Win32FolderHandle, FailuresAreWordedByTheSystemAndSorted) {
    struct Case {
        DWORD code;
        FileError::Kind kind;
    };
    for (const Case& c : {Case{ERROR_FILE_NOT_FOUND, FileError::Kind::NotFound},
                          Case{ERROR_PATH_NOT_FOUND, FileError::Kind::NotFound},
                          Case{ERROR_SHARING_VIOLATION, FileError::Kind::InUse},
                          Case{ERROR_CANT_RESOLVE_FILENAME, FileError::Kind::Link},
                          Case{ERROR_ACCESS_DENIED, FileError::Kind::Other},
                          Case{ERROR_DISK_FULL, FileError::Kind::Other}}) {
        const FileError error = platform::FileErrorOf(c.code);
        EXPECT_EQ(error.kind, c.kind) << c.code;
        // The program ends the sentence itself.
        ASSERT_FALSE(error.description.empty()) << c.code;
        EXPECT_EQ(std::string_view(".\r\n ").find(error.description.back()), std::string::npos)
            << error.description;
    }
}

}  // namespace

namespace {

// Who may change a folder that a rename at the next restart passes through:
// only those who could do anything on the PC anyway. Making a subfolder is
// left out, as every user may in a volume's root.
TEST(FolderSafety, OnlyAdministratorsSystemTrustedInstallerOrTheRunningUserMayChangeIt) {
    const char* const runningUser = "S-1-5-21-1-2-3-1001";
    const struct {
        const wchar_t* descriptor;
        std::optional<std::string> why;
    } cases[] = {
        // A volume's root, Program Files and a folder an administrator made.
        {L"O:SYD:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICIIO;GA;;;CO)(A;OICI;0x1200a9;;;BU)"
         L"(A;CI;LC;;;AU)(A;OICIIO;SDGXGWGR;;;AU)",
         std::nullopt},
        {L"O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"
         L"D:P(A;;FA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)"
         L"(A;;0x1301bf;;;SY)(A;;0x1200a9;;;BU)",
         std::nullopt},
        {L"O:S-1-5-21-1-2-3-1001D:(A;;FA;;;S-1-5-21-1-2-3-1001)(A;;FA;;;OW)(D;;FA;;;BU)",
         std::nullopt},
        // A folder a pupil made, or one whose list lets users in.
        {L"O:S-1-5-21-1-2-3-1002D:P(A;;FA;;;SY)(A;;FA;;;BA)", "belongs to S-1-5-21-1-2-3-1002"},
        {L"O:BAD:(A;;FA;;;BA)(A;;0x1301bf;;;AU)", "lets S-1-5-11 change it"},
        {L"O:BAD:(A;;FA;;;BA)(A;;SD;;;BU)", "lets S-1-5-32-545 change it"},
        {L"O:BAD:(A;;FA;;;BA)(A;;DC;;;WD)", "lets S-1-1-0 change it"},
        {L"O:BAD:(A;;FA;;;BA)(A;;WD;;;BU)", "lets S-1-5-32-545 change it"},
        {L"O:BAD:(A;;FA;;;BA)(A;;GA;;;BU)", "lets S-1-5-32-545 change it"},
        {L"O:BA", "lets everybody change it"},
    };
    PSID user = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidA(runningUser, &user));
    const platform::ScopedLocal ownedUser(user);
    for (const auto& each : cases) {
        SCOPED_TRACE(platform::Utf16ToUtf8(each.descriptor));
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
            each.descriptor, SDDL_REVISION_1, &descriptor, nullptr));
        const platform::ScopedLocal owned(descriptor);
        EXPECT_EQ(platform::WhyUsersCanChange(descriptor, user), each.why);
    }
}

}  // namespace
