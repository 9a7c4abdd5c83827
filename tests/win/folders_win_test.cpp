#include <windows.h>
#include <shlobj.h>

#include <string>

#include <gtest/gtest.h>

#include "base/file_win.h"
#include "run/folders_win.h"

namespace kq {
namespace {

bool Exists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void Touch(const std::string& path) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    ::CloseHandle(file);
}

void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(folder + name + "\\");
            else
                ::DeleteFileA((folder + name).c_str());
        } while (::FindNextFileA(search, &found));
        ::FindClose(search);
    }
    ::RemoveDirectoryA(folder.c_str());
}

bool SamePath(const std::string& a, const std::string& b) {
    return ::lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// A fresh package folder under the temporary folder, removed afterwards.
class PackageFolder : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        ASSERT_NE(::GetTempPathA(sizeof(temp), temp), 0u);
        m_root = std::string(temp) + "kqfolders" + std::to_string(::GetCurrentProcessId()) + "\\";
        RemoveTree(m_root);
        ASSERT_TRUE(::CreateDirectoryA(m_root.c_str(), nullptr));
    }
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

// Each call creates a folder of its own named for the clock, the second one
// with a suffix when both fall in the same second; a file already holding a
// name counts as taken.
TEST_F(PackageFolder, WorkFolderIsNewAndFollowsTheClock) {
    std::string temp = Make("temp");
    SYSTEMTIME before;
    ::GetLocalTime(&before);
    std::string first = CreateWorkFolderNow(temp);
    std::string second = CreateWorkFolderNow(temp);
    SYSTEMTIME after;
    ::GetLocalTime(&after);
    for (const std::string& name : {first, second}) {
        std::string base = name.substr(0, name.find('_'));
        EXPECT_TRUE(base == WorkFolderName(before.wHour, before.wMinute, before.wSecond) ||
                    base == WorkFolderName(after.wHour, after.wMinute, after.wSecond))
            << name;
        EXPECT_TRUE(DirectoryExists(temp + name)) << name;
    }
    EXPECT_NE(first, second);
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
