// FileVersion strings read from real version resources, and the decision they
// feed.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "steps/version_rule.h"
#include "steps/version_rule_win.h"

namespace {

std::string SystemFile(const char* name) {
    char folder[MAX_PATH];
    UINT n = GetSystemDirectoryA(folder, sizeof(folder));
    EXPECT_GT(n, 0u);
    return std::string(folder) + "\\" + name;
}

TEST(FileVersionTextTest, ReadsTheSystemLibrariesVersion) {
    for (const char* name : {"kernel32.dll", "user32.dll", "comctl32.dll"}) {
        std::string text = kq::FileVersionText(SystemFile(name).c_str());
        EXPECT_NE(text, kq::kNoFileVersion) << name;
        EXPECT_LE(text.size(), kq::kMaxFileVersionLength) << name;
        EXPECT_GE(kq::ReduceVersionText(text.c_str()).major, 4) << name << " " << text;
    }
}

TEST(FileVersionTextTest, FilesWithoutVersionInformationReadNull) {
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    const std::string text = std::string(temp) + "kq_no_version.txt";
    std::ofstream(text, std::ios::binary) << "no resources here\r\n";
    EXPECT_EQ(kq::FileVersionText(text.c_str()), "(null)");
    DeleteFileA(text.c_str());
    EXPECT_EQ(kq::FileVersionText((std::string(temp) + "kq_missing_file.dll").c_str()), "(null)");
    EXPECT_EQ(kq::FileVersionText(""), "(null)");
}

TEST(FileVersionTextTest, InstalledLibraryIsNotReplacedByAnUnversionedOne) {
    const std::string installed = kq::FileVersionText(SystemFile("kernel32.dll").c_str());
    EXPECT_FALSE(kq::PackagedVersionWins("(null)", installed.c_str()));
    EXPECT_FALSE(kq::PackagedVersionWins(installed.c_str(), installed.c_str()));
    EXPECT_TRUE(kq::PackagedVersionWins("999.0", installed.c_str()));
}

}  // namespace
