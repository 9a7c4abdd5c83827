#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/ini_text.h"
#include "run/settings.h"

namespace kq {
namespace {

FolderValues SampleFolders() {
    FolderValues f;
    f.windows = "C:\\WINDOWS";
    f.volume = "C:";
    f.temp = "C:\\TEMP\\";
    f.source = "C:\\pkg\\";
    f.system = "C:\\WINDOWS\\system32\\";
    f.programFiles = "C:\\Program Files";
    f.commonFiles = "C:\\Program Files\\Common Files";
    f.favorites = "C:\\All Users\\Favorites";
    f.userName = "ann";
    return f;
}

// Loads `script` the way the main frame does: the expansion reads the
// settings being filled.
ProductSettings Load(const std::string& script, std::vector<std::string>* expanded = nullptr) {
    IniText ini(script);
    FolderValues folders = SampleFolders();
    ProductSettings settings;
    LoadProductSettings(Script(ini), "Acme Corp",
                        [&](const std::string& text) {
                            if (expanded != nullptr) expanded->push_back(text);
                            return ExpandScriptText(text, MakePlaceholderValues(folders, settings));
                        },
                        settings);
    return settings;
}

TEST(ProductSettings, SampleScript) {
    ProductSettings s = Load(
        "[APPINFO]\r\na1=Northwind Notes\r\na2=1.2.0\r\na3={6B1C}\r\n"
        "a4=<ProgramFilesFolder>\\<Publisher>\\<ProductName>\r\na8=Per-User\r\na19=Northwind\r\n"
        "Language=English\r\nPREVIEW=0\r\n[BUILDING]\r\n2=No\r\n[DIALOGLIST]\r\nCT9=Yes\r\n"
        "CT10=<InstallDir>notes.exe\r\nCT11=/first <CompanyName>\r\nCT12=No\r\nCT13=[InstallDir]docs\\readme.txt\r\n"
        "CT14=Yes\r\nCT17=HKEY_CURRENT_USER\r\nCT18=Software\\Northwind\\Notes\r\n");
    EXPECT_EQ(s.productName, "Northwind Notes");
    EXPECT_EQ(s.productVersion, "1.2.0");
    EXPECT_EQ(s.publisher, "Northwind");
    EXPECT_EQ(s.productCode, "{6B1C}");
    EXPECT_EQ(s.companyName, "Acme Corp");
    EXPECT_EQ(s.defaultInstallDir, "C:\\Program Files\\Northwind\\Northwind Notes\\");
    EXPECT_EQ(s.installDir, s.defaultInstallDir);
    EXPECT_EQ(s.allUsers, 255);
    EXPECT_EQ(s.languageName, "English");
    // Kept as written until Finish (the user may choose another folder).
    EXPECT_EQ(s.launchProgram, "<InstallDir>notes.exe");
    EXPECT_EQ(s.launchArguments, "/first <CompanyName>");
    // Square brackets alone do not make a placeholder.
    EXPECT_EQ(s.readmeFile, "[InstallDir]docs\\readme.txt");
    EXPECT_EQ(s.launchOffer, 255);
    EXPECT_EQ(s.readmeOffer, 0);
    EXPECT_EQ(s.preview, 0);
    EXPECT_EQ(s.silent, 0);
    EXPECT_EQ(s.restart, 255);
    EXPECT_EQ(s.customerRoot, "HKEY_CURRENT_USER");
    EXPECT_EQ(s.customerKey, "Software\\Northwind\\Notes");
}

TEST(ProductSettings, EmptyScriptGivesTheDefaults) {
    std::vector<std::string> expanded;
    ProductSettings s = Load("", &expanded);
    EXPECT_EQ(s.defaultInstallDir, "\\");
    EXPECT_EQ(s.installDir, "\\");
    EXPECT_EQ(s.allUsers, 0);
    EXPECT_EQ(s.launchOffer, 255);
    EXPECT_EQ(s.readmeOffer, 255);
    EXPECT_EQ(s.preview, 0);
    EXPECT_EQ(s.silent, 0);
    EXPECT_EQ(s.restart, 0);
    EXPECT_EQ(s.companyName, "Acme Corp");
    // Only a4 is expanded while loading.
    EXPECT_EQ(expanded.size(), 1u);
}

TEST(ProductSettings, InstallFolderFromA4) {
    const struct { const char* a4; const char* expected; } cases[] = {
        {"", "\\"},
        {"<SystemFolder>\\Notes", "C:\\WINDOWS\\system32\\Notes\\"},
        {"<ProgramFilesFolder>\\Notes\\", "C:\\Program Files\\Notes\\"},
        {"D:\\Apps", "D:\\Apps\\"},
        {"\\\\server\\share\\<ProductName>", "\\server\\share\\"},  // a network path loses a backslash
        {"<FavoritesFolder>\\x", "C:\\All Users\\Favorites\\x\\"},
    };
    for (const auto& c : cases) {
        ProductSettings s = Load(std::string("[APPINFO]\r\na4=") + c.a4 + "\r\n");
        EXPECT_EQ(s.defaultInstallDir, c.expected) << c.a4;
        EXPECT_EQ(s.installDir, c.expected) << c.a4;
    }
}

TEST(ProductSettings, Switches) {
    const struct { const char* section; const char* line; int ProductSettings::*flag; int expected; } cases[] = {
        {"DIALOGLIST", "CT9=No", &ProductSettings::launchOffer, 0},
        {"DIALOGLIST", "CT9=no", &ProductSettings::launchOffer, 255},
        {"DIALOGLIST", "CT9=", &ProductSettings::launchOffer, 255},
        {"DIALOGLIST", "CT12=No", &ProductSettings::readmeOffer, 0},
        {"DIALOGLIST", "CT12=NO", &ProductSettings::readmeOffer, 255},
        {"DIALOGLIST", "CT14=Yes", &ProductSettings::restart, 255},
        {"DIALOGLIST", "CT14=yes", &ProductSettings::restart, 0},
        {"BUILDING", "2=Yes", &ProductSettings::silent, 255},
        {"BUILDING", "2=1", &ProductSettings::silent, 0},
        {"APPINFO", "a8=Per-User", &ProductSettings::allUsers, 255},
        {"APPINFO", "a8=per-user", &ProductSettings::allUsers, 0},
        {"APPINFO", "a8=All Users", &ProductSettings::allUsers, 0},
        {"APPINFO", "PREVIEW=255", &ProductSettings::preview, 255},
        {"APPINFO", "PREVIEW=255abc", &ProductSettings::preview, 255},
        {"APPINFO", "PREVIEW=0255", &ProductSettings::preview, 255},
        {"APPINFO", "PREVIEW=2550", &ProductSettings::preview, 0},
        {"APPINFO", "PREVIEW=Yes", &ProductSettings::preview, 0},
        {"APPINFO", "PREVIEW=-255", &ProductSettings::preview, 0},
        {"APPINFO", "PREVIEW=4294967551", &ProductSettings::preview, 0},  // 2^32 + 255 does not wrap
    };
    for (const auto& c : cases) {
        ProductSettings s = Load(std::string("[") + c.section + "]\r\n" + c.line + "\r\n");
        EXPECT_EQ(s.*c.flag, c.expected) << c.line;
    }
}

TEST(ProductSettings, AllUsersFlagOnItsOwn) {
    IniText on("[APPINFO]\r\na8=Per-User\r\n");
    IniText off("[APPINFO]\r\na8=Per-User \"x\"\r\n");
    EXPECT_TRUE(ReadAllUsersFlag(Script(on)));
    EXPECT_FALSE(ReadAllUsersFlag(Script(off)));
}

TEST(ProductSettings, PlaceholderValuesFromFoldersAndSettings) {
    FolderValues folders = SampleFolders();
    ProductSettings settings;
    settings.productName = "P";
    settings.installDir = "D:\\P\\";
    settings.defaultInstallDir = "C:\\P\\";
    settings.companyName = "Co";
    UserVariableTable table = {{"<V>", "", "v"}};
    PlaceholderValues values = MakePlaceholderValues(folders, settings, &table);
    EXPECT_EQ(ExpandScriptText("<FavoritesFolder>|<UserName>|<CompanyName>|<InstallDir>|<TempFolder>|<V>", values),
              "C:\\All Users\\Favorites|ann|Co|D:\\P\\|C:\\TEMP\\|v");
    EXPECT_EQ(values.defaultInstallDir, "C:\\P\\");
    EXPECT_EQ(values.variables, &table);
}

}  // namespace
}  // namespace kq
