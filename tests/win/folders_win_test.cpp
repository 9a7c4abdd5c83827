#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/file_win.h"
#include "run/folders_win.h"
#include "test_files_win.h"

namespace kq {
namespace {

void Touch(const std::string& path) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    ::CloseHandle(file);
}

bool SamePath(const std::string& a, const std::string& b) {
    return ::lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// A fresh package folder under the temporary folder, removed afterwards.
class PackageFolder : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(MakeFreshTempFolder("kqfolders", &m_root)); }
    void TearDown() override { RemoveTree(m_root); }

    std::string Make(const std::string& name) {
        std::string folder = m_root + name + "\\";
        EXPECT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr)) << folder;
        return folder;
    }

    std::string m_root;
};

TEST_F(PackageFolder, BaseFoldersEndAsDocumented) {
    std::string package = Make("pkg");
    char previous[MAX_PATH];
    ::GetCurrentDirectoryA(sizeof(previous), previous);
    ASSERT_TRUE(::SetCurrentDirectoryA(package.c_str()));
    FolderValues folders;
    DiscoverBaseFolders(folders);
    ::SetCurrentDirectoryA(previous);

    char buffer[MAX_PATH];
    EXPECT_TRUE(SamePath(folders.source, package)) << folders.source;
    ::GetWindowsDirectoryA(buffer, sizeof(buffer));
    EXPECT_EQ(folders.windows, buffer);
    EXPECT_NE(folders.windows.back(), '\\');
    EXPECT_EQ(folders.volume, folders.windows.substr(0, 2));
    ::GetTempPathA(sizeof(buffer), buffer);
    EXPECT_EQ(folders.temp, WithTrailingBackslash(buffer));
    ::GetSystemDirectoryA(buffer, sizeof(buffer));
    EXPECT_EQ(folders.system, std::string(buffer) + "\\");
}

TEST_F(PackageFolder, ThemeFilesMoveOnceIntoANewThemeFolder) {
    std::string package = Make("pkg");
    Touch(package + "^!logo.bmp");
    Touch(package + "^!a^!b.txt");
    Touch(package + "plain.txt");
    std::string theme = package + "theme\\";

    PrepareThemeFolder(package, theme);
    EXPECT_TRUE(DirectoryExists(theme));
    EXPECT_TRUE(Exists(theme + "logo.bmp"));
    EXPECT_TRUE(Exists(theme + "ab.txt"));
    EXPECT_FALSE(Exists(package + "^!logo.bmp"));
    EXPECT_FALSE(Exists(package + "^!a^!b.txt"));
    EXPECT_TRUE(Exists(package + "plain.txt"));
    EXPECT_FALSE(Exists(theme + "plain.txt"));

    // A second start finds the theme folder and moves nothing.
    Touch(package + "^!late.bmp");
    PrepareThemeFolder(package, theme);
    EXPECT_TRUE(Exists(package + "^!late.bmp"));
    EXPECT_FALSE(Exists(theme + "late.bmp"));
}

TEST_F(PackageFolder, MoveFailuresAreIgnored) {
    // The marker is removed from the whole target path, package folder
    // included, so the target folder does not exist and the file stays.
    std::string package = Make("odd^!name");
    Touch(package + "^!logo.bmp");
    PrepareThemeFolder(package, package + "theme\\");
    EXPECT_TRUE(DirectoryExists(package + "theme\\"));
    EXPECT_TRUE(Exists(package + "^!logo.bmp"));
    EXPECT_FALSE(Exists(m_root + "oddname\\theme\\logo.bmp"));
}

TEST_F(PackageFolder, DiskImageIsAFolder) {
    std::string withFolder = Make("image");
    Make("image\\DiskImage1");
    std::string withFile = Make("file");
    Touch(withFile + "DiskImage1");
    std::string plain = Make("plain");
    EXPECT_TRUE(HasDiskImage(withFolder));
    EXPECT_FALSE(HasDiskImage(withFile));
    EXPECT_FALSE(HasDiskImage(plain));
}

// Each call creates a folder of its own named for the clock and a random
// part; a file already holding a name counts as taken.
TEST_F(PackageFolder, WorkFolderIsNewAndFollowsTheClock) {
    std::string temp = Make("temp");
    SYSTEMTIME before;
    ::GetLocalTime(&before);
    std::string first = CreateWorkFolderNow(temp);
    std::string second = CreateWorkFolderNow(temp);
    SYSTEMTIME after;
    ::GetLocalTime(&after);
    for (const std::string& name : {first, second}) {
        std::string clock = name.substr(0, 8);
        EXPECT_TRUE(clock == WorkFolderName(before.wHour, before.wMinute, before.wSecond, 0).substr(0, 8) ||
                    clock == WorkFolderName(after.wHour, after.wMinute, after.wSecond, 0).substr(0, 8))
            << name;
        EXPECT_EQ(name.size(), 25u) << name;
        EXPECT_TRUE(DirectoryExists(temp + name)) << name;
    }
    EXPECT_NE(first.substr(9), second.substr(9)) << "the random parts repeat";
}

// The SID of the user running the test.
std::vector<BYTE> UserSid() {
    HANDLE token = nullptr;
    std::vector<BYTE> user(512);
    DWORD size = 0;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    const bool read = ::GetTokenInformation(token, TokenUser, user.data(), DWORD(user.size()), &size);
    ::CloseHandle(token);
    if (!read) return {};
    PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    const BYTE* bytes = static_cast<const BYTE*>(sid);
    return std::vector<BYTE>(bytes, bytes + ::GetLengthSid(sid));
}

// The principals an ACL allows, in order: "user" for the user running the
// test, any other SID spelled out; each entry must allow full access,
// inherited by files and folders.
std::vector<std::string> AllowedPrincipals(PACL acl) {
    const std::vector<BYTE> user = UserSid();
    EXPECT_FALSE(user.empty());
    std::vector<std::string> found;
    for (DWORD i = 0; acl != nullptr && i < acl->AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(acl, i, &ace)) return {"unreadable entry"};
        const ACE_HEADER* header = static_cast<const ACE_HEADER*>(ace);
        EXPECT_EQ(header->AceType, ACCESS_ALLOWED_ACE_TYPE) << i;
        const ACCESS_ALLOWED_ACE* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        PSID sid = const_cast<DWORD*>(&allowed->SidStart);
        if (::EqualSid(sid, const_cast<BYTE*>(user.data()))) {
            found.push_back("user");
        } else {
            std::string text = "S-1-" + std::to_string(::GetSidIdentifierAuthority(sid)->Value[5]);
            for (UCHAR k = 0; k < *::GetSidSubAuthorityCount(sid); ++k)
                text += "-" + std::to_string(*::GetSidSubAuthority(sid, k));
            found.push_back(text);
        }
    }
    return found;
}

// The descriptor a working folder is made with: a protected DACL allowing
// full access, inherited by what is made inside, to exactly the user, SYSTEM
// and the Administrators. Read back from the folder, its DACL names no one
// else (Wine keeps of a descriptor only what Unix permissions can say: the
// owner and SYSTEM, which it always adds; Windows keeps it whole).
TEST_F(PackageFolder, WorkFolderAdmitsOnlyTheUserSystemAndAdministrators) {
    const std::vector<std::string> expected = {"user", "S-1-5-18", "S-1-5-32-544"};
    CWorkFolderSecurity security;
    ASSERT_TRUE(security.Ready());
    ASSERT_NE(security.Attributes(), nullptr);
    PSECURITY_DESCRIPTOR given = security.Attributes()->lpSecurityDescriptor;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(::GetSecurityDescriptorControl(given, &control, &revision));
    EXPECT_TRUE(control & SE_DACL_PROTECTED) << "the DACL would take the temporary folder's entries";
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    ASSERT_TRUE(::GetSecurityDescriptorDacl(given, &present, &acl, &defaulted));
    ASSERT_TRUE(present && acl != nullptr);
    EXPECT_EQ(AllowedPrincipals(acl), expected);
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        void* ace = nullptr;
        ASSERT_TRUE(::GetAce(acl, i, &ace));
        EXPECT_EQ(static_cast<ACE_HEADER*>(ace)->AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE) << i;
        EXPECT_EQ(static_cast<ACCESS_ALLOWED_ACE*>(ace)->Mask, DWORD(FILE_ALL_ACCESS)) << i;
    }

    const std::string temp = Make("temp");
    const std::string path = temp + CreateWorkFolderNow(temp);
    DWORD size = 0;
    ::GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> descriptor(size);
    ASSERT_TRUE(::GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), size, &size));
    ASSERT_TRUE(::GetSecurityDescriptorDacl(descriptor.data(), &present, &acl, &defaulted));
    ASSERT_TRUE(present && acl != nullptr) << "no DACL: everyone may enter";
    for (const std::string& principal : AllowedPrincipals(acl))
        EXPECT_TRUE(std::find(expected.begin(), expected.end(), principal) != expected.end()) << principal;
}

std::string SystemShellFolder(int id) {
    char path[MAX_PATH] = "";
    if (FAILED(::SHGetFolderPathA(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, path))) return std::string();
    return path;
}

std::string MachineValue(const char* key, const char* value) {
    char data[512] = "";
    DWORD size = sizeof(data) - 1;
    HKEY handle;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return std::string();
    LONG result = ::RegQueryValueExA(handle, value, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    ::RegCloseKey(handle);
    return result == ERROR_SUCCESS ? std::string(data) : std::string();
}

TEST(Folders, UserFoldersReplaceEveryValue) {
    for (bool allUsers : {false, true}) {
        FolderValues folders;
        for (const ShellFolderRow& row : kShellFolders) folders.*row.member = "stale";
        folders.programFiles = folders.commonFiles = folders.userName = "stale";
        DiscoverUserFolders(allUsers, folders);
        for (const ShellFolderRow& row : kShellFolders) {
            std::string expected = SystemShellFolder(ShellFolderId(row, allUsers));
            if (!expected.empty()) {
                EXPECT_TRUE(SamePath(folders.*row.member, expected)) << folders.*row.member;
            }
            EXPECT_NE(folders.*row.member, "stale");
        }
        EXPECT_EQ(folders.programFiles, MachineValue("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir"));
        EXPECT_FALSE(folders.programFiles.empty());
        EXPECT_EQ(folders.commonFiles, MachineValue("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "CommonFilesDir"));
        char user[256];
        DWORD size = sizeof(user);
        ASSERT_TRUE(::GetUserNameA(user, &size));
        EXPECT_EQ(folders.userName, user);
    }
}

TEST(Folders, AllUsersFavoritesComeFromTheCommonProfile) {
    FolderValues folders;
    DiscoverUserFolders(true, folders);
    std::string common = SystemShellFolder(CSIDL_COMMON_FAVORITES);
    if (common.empty()) GTEST_SKIP() << "this system has no all-users favorites";
    EXPECT_TRUE(SamePath(folders.favorites, common)) << folders.favorites;
    FolderValues mine;
    DiscoverUserFolders(false, mine);
    EXPECT_TRUE(SamePath(mine.favorites, SystemShellFolder(CSIDL_FAVORITES))) << mine.favorites;
}

TEST(Folders, CompanyNameFromTheRegistry) {
    EXPECT_EQ(ReadCompanyName(), MachineValue("Software\\Microsoft\\Windows NT\\CurrentVersion", "RegisteredOrganization"));
}

}  // namespace
}  // namespace kq
