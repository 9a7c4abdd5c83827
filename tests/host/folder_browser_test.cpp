#include "layout/folder_browser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kq {
namespace {

TEST(FolderSyntax, EachRule) {
    const std::string longName(250, 'a');
    struct Row {
        std::string path;
        FolderSyntax expected;
    } rows[] = {
        {"C:\\", FolderSyntax::Valid},                      // a drive root
        {"z:\\", FolderSyntax::Valid},                      // lower-case drive letter
        {"D:\\Apps", FolderSyntax::Valid},
        {"C:\\Program Files\\Northwind Notes", FolderSyntax::Valid},
        {"C:\\a.b\\c d\\e-f_g (1)", FolderSyntax::Valid},   // dots and spaces inside names
        {"C:\\\x81\xe9t\xe9", FolderSyntax::Valid},         // bytes above 127 are ordinary characters
        {"", FolderSyntax::TooShort},
        {"C", FolderSyntax::TooShort},
        {"C:", FolderSyntax::TooShort},                     // a bare drive letter and colon
        {"C:/", FolderSyntax::NoDriveRoot},
        {"CC\\", FolderSyntax::NoDriveRoot},
        {"1:\\", FolderSyntax::NoDriveRoot},
        {"\\\\server\\share", FolderSyntax::NoDriveRoot},   // network paths have no drive
        {"Apps", FolderSyntax::NoDriveRoot},
        {" C:\\Apps", FolderSyntax::NoDriveRoot},
        {"C:\\\\", FolderSyntax::EmptyName},
        {"C:\\Apps\\\\Notes", FolderSyntax::EmptyName},
        {"C:\\Apps\\", FolderSyntax::TrailingBackslash},    // a backslash after a name
        {"C:\\Apps\\Notes\\", FolderSyntax::TrailingBackslash},
        {"C:\\Apps.\\", FolderSyntax::BadEdge},             // the name's fault is told first
        {"C:\\Apps.", FolderSyntax::BadEdge},               // last name ends with a dot
        {"C:\\.Apps", FolderSyntax::BadEdge},
        {"C:\\..", FolderSyntax::BadEdge},
        {"C:\\Apps\\ Notes", FolderSyntax::BadEdge},
        {"C:\\Apps \\Notes", FolderSyntax::BadEdge},
        {"C:\\Apps\t", FolderSyntax::BadEdge},
        {"C:\\Apps|Notes", FolderSyntax::BadCharacter},     // vertical bar
        {"C:\\A\"B", FolderSyntax::BadCharacter},
        {"C:\\A*", FolderSyntax::BadCharacter},
        {"C:\\A/B", FolderSyntax::BadCharacter},
        {"C:\\A:B", FolderSyntax::BadCharacter},
        {"C:\\A<B", FolderSyntax::BadCharacter},
        {"C:\\A>B", FolderSyntax::BadCharacter},
        {"C:\\A?", FolderSyntax::BadCharacter},
        {"C:\\A\nB", FolderSyntax::BadCharacter},           // control characters
        {"C:\\A\tB", FolderSyntax::BadCharacter},
        {"C:\\" + longName.substr(0, 256), FolderSyntax::Valid},           // 259 characters
        {"C:\\" + longName.substr(0, 250) + "\\bcdefg", FolderSyntax::TooLong},  // 260
        {"C:\\" + std::string(300, 'x'), FolderSyntax::TooLong},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(static_cast<int>(row.expected), static_cast<int>(CheckFolderSyntax(row.path)))
            << "\"" << row.path << "\"";
        EXPECT_EQ(row.expected == FolderSyntax::Valid, IsValidFolderSyntax(row.path)) << row.path;
    }
}

TEST(FolderSyntax, TheLimitCountsCharacters) {
    std::string at = "C:\\" + std::string(kMaxFolderPath - 3, 'n');
    ASSERT_EQ(kMaxFolderPath, at.size());
    EXPECT_TRUE(IsValidFolderSyntax(at));
    EXPECT_EQ(FolderSyntax::TooLong, CheckFolderSyntax(at + "n"));
}

TEST(FolderSyntax, DriveRoots) {
    EXPECT_TRUE(IsDriveRoot("C:\\"));
    EXPECT_TRUE(IsDriveRoot("q:\\"));
    EXPECT_FALSE(IsDriveRoot("C:"));
    EXPECT_FALSE(IsDriveRoot("C:\\A"));
    EXPECT_FALSE(IsDriveRoot("::\\"));
}

TEST(FolderLevels, FromTheRootDown) {
    struct Row {
        const char* path;
        std::vector<std::string> levels;
    } rows[] = {
        {"C:\\", {"C:\\"}},
        {"D:\\Apps", {"D:\\", "D:\\Apps"}},
        {"C:\\New Folder\\Second Level", {"C:\\", "C:\\New Folder", "C:\\New Folder\\Second Level"}},
        {"C:\\a\\b\\c\\d\\e\\f", {"C:\\", "C:\\a", "C:\\a\\b", "C:\\a\\b\\c", "C:\\a\\b\\c\\d", "C:\\a\\b\\c\\d\\e",
                                  "C:\\a\\b\\c\\d\\e\\f"}},
        {"C:\\Apps\\", {}},  // refused paths give nothing to create
        {"C:", {}},
        {"C:\\A|B", {}},
    };
    for (const Row& row : rows) EXPECT_EQ(row.levels, FolderLevels(row.path)) << row.path;
}

TEST(FolderMessages, NameThePath) {
    EXPECT_EQ("The folder:\n\nD:\\Apps.\n\nis invalid. Please reenter.", FolderInvalidMessage("D:\\Apps."));
    EXPECT_EQ("The folder:\n\nC:\\New Folder\\Second Level\n\ndoes not exist. Do you want the folder to be created?",
              FolderMissingQuestion("C:\\New Folder\\Second Level"));
    EXPECT_EQ("The folder:\n\nQ:\\x\n\ncan not be created. Please double check.", FolderNotCreatedMessage("Q:\\x"));
    // A path with a percent sign is shown as it is, not taken for a format.
    EXPECT_EQ("The folder:\n\nC:\\100%s\n\nis invalid. Please reenter.", FolderInvalidMessage("C:\\100%s"));
}

}  // namespace
}  // namespace kq
