#include "wizard/standard_pages.h"

#include <gtest/gtest.h>

#include <string>

#include "base/ini_text.h"
#include "run/script.h"

namespace kq {
namespace {

TEST(ReadySummary, ExactText) {
    EXPECT_EQ(
        "\r\nSetup Type:\r\n\r\nTypical\r\n\r\nDestination Folder:\r\n\r\nD:\\Apps\\\r\n\r\n"
        "User Information:\r\n\r\nName:Ann Smith\r\n\r\nCompany:Acme Corp\r\n\r\n",
        ReadySummary(SetupType::Typical, "D:\\Apps\\", "Ann Smith", "Acme Corp"));
}

TEST(ReadySummary, TypesAndEmptyFields) {
    struct Row {
        SetupType type;
        const char* folder;
        const char* name;
        const char* company;
        const char* expected;
    } rows[] = {
        {SetupType::Minimal, "C:\\P\\", "Ann", "Acme",
         "\r\nSetup Type:\r\n\r\nMinimal\r\n\r\nDestination Folder:\r\n\r\nC:\\P\\\r\n\r\n"
         "User Information:\r\n\r\nName:Ann\r\n\r\nCompany:Acme\r\n\r\n"},
        {SetupType::Custom, "C:\\P\\", "Ann", "Acme",
         "\r\nSetup Type:\r\n\r\nCustom\r\n\r\nDestination Folder:\r\n\r\nC:\\P\\\r\n\r\n"
         "User Information:\r\n\r\nName:Ann\r\n\r\nCompany:Acme\r\n\r\n"},
        // The setup-type page never shown: the label stays, no type is named.
        {SetupType::Unset, "C:\\P\\", "Ann", "Acme",
         "\r\nSetup Type:\r\n\r\nDestination Folder:\r\n\r\nC:\\P\\\r\n\r\n"
         "User Information:\r\n\r\nName:Ann\r\n\r\nCompany:Acme\r\n\r\n"},
        // An empty company leaves its block out entirely.
        {SetupType::Typical, "C:\\P\\", "Ann", "",
         "\r\nSetup Type:\r\n\r\nTypical\r\n\r\nDestination Folder:\r\n\r\nC:\\P\\\r\n\r\n"
         "User Information:\r\n\r\nName:Ann\r\n\r\n"},
        {SetupType::Typical, "C:\\P\\", "", "Acme",
         "\r\nSetup Type:\r\n\r\nTypical\r\n\r\nDestination Folder:\r\n\r\nC:\\P\\\r\n\r\n"
         "User Information:\r\n\r\nCompany:Acme\r\n\r\n"},
        {SetupType::Typical, "", "", "",
         "\r\nSetup Type:\r\n\r\nTypical\r\n\r\nDestination Folder:\r\n\r\n\r\n\r\nUser Information:\r\n\r\n"},
        // Texts are put in as typed: no format, no placeholder expansion.
        {SetupType::Typical, "C:\\%s\\", "<UserName>", "100%",
         "\r\nSetup Type:\r\n\r\nTypical\r\n\r\nDestination Folder:\r\n\r\nC:\\%s\\\r\n\r\n"
         "User Information:\r\n\r\nName:<UserName>\r\n\r\nCompany:100%\r\n\r\n"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.expected, ReadySummary(row.type, row.folder, row.name, row.company)) << row.expected;
}

TEST(PageText, FileNamePartAndRichText) {
    struct Row {
        const char* value;
        const char* name;
        bool rich;
    } rows[] = {
        {"license.rtf", "license.rtf", true},
        {"C:\\authoring\\docs\\EULA.RTF", "EULA.RTF", true},  // upper case is rich text too
        {"docs/License.Rtf", "License.Rtf", true},
        {"readme.txt", "readme.txt", false},
        {"C:\\docs\\", "", false},
        {"", "", false},
        {"notes.rtf.txt", "notes.rtf.txt", true},              // ".rtf" anywhere in the path
        {"licensertf", "licensertf", false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.name, FileNamePart(row.value)) << row.value;
        EXPECT_EQ(row.rich, IsRichTextPath(FileNamePart(row.value))) << row.value;
    }
}

TEST(PageText, LocatedInTheWorkingFolderOrTheDiskImage) {
    IniText ini(
        "[DIALOGLIST]\r\nCT0=C:\\Authoring\\License.RTF\r\nCT1=IDC_LICENSE\r\n"
        "CT2=readme.txt\r\nCT3=IDC_README\r\n");
    Script script(ini);
    PackedFiles packed;
    packed.workFolder = "C:\\TEMP\\kq120000\\";
    packed.sourceFolder = "D:\\pkg\\";

    PageTextFile license = LocatePageText(script, "CT0", "CT1", packed);
    EXPECT_EQ("C:\\TEMP\\kq120000\\License.RTF", license.path);
    EXPECT_EQ("IDC_LICENSE", license.control);
    EXPECT_TRUE(license.richText);

    packed.diskImage = true;
    PageTextFile readme = LocatePageText(script, "CT2", "CT3", packed);
    EXPECT_EQ("D:\\pkg\\DiskImage1\\readme.txt", readme.path);
    EXPECT_EQ("IDC_README", readme.control);
    EXPECT_FALSE(readme.richText);

    // Rich text is decided on the whole path, folders included.
    packed.diskImage = false;
    packed.workFolder = "C:\\a.rtf\\";
    EXPECT_TRUE(LocatePageText(script, "CT2", "CT3", packed).richText);

    IniText none("[DIALOGLIST]\r\nCT1=IDC_LICENSE\r\n");
    PageTextFile missing = LocatePageText(Script(none), "CT0", "CT1", packed);
    EXPECT_EQ("", missing.path);
    EXPECT_EQ("IDC_LICENSE", missing.control);
}

TEST(SetupTypes, ChoicesAndRestore) {
    EXPECT_EQ(SetupType::Typical, SetupTypeFromChoice(0));
    EXPECT_EQ(SetupType::Minimal, SetupTypeFromChoice(1));
    EXPECT_EQ(SetupType::Custom, SetupTypeFromChoice(2));
    EXPECT_EQ(SetupType::Unset, SetupTypeFromChoice(3));
    EXPECT_EQ(SetupType::Unset, SetupTypeFromChoice(-1));

    EXPECT_EQ(SetupType::Typical, RestoredSetupType(SetupType::Unset));  // first visit
    EXPECT_EQ(SetupType::Typical, RestoredSetupType(SetupType::Typical));
    EXPECT_EQ(SetupType::Minimal, RestoredSetupType(SetupType::Minimal));
    EXPECT_EQ(SetupType::Custom, RestoredSetupType(SetupType::Custom));
    EXPECT_EQ(SetupType::Typical, RestoredSetupType(static_cast<SetupType>(7)));

    EXPECT_STREQ("IDC_TYPICAL", SetupTypeOption(SetupType::Typical));
    EXPECT_STREQ("IDC_MINIMAL", SetupTypeOption(SetupType::Minimal));
    EXPECT_STREQ("IDC_CUSTOM", SetupTypeOption(SetupType::Custom));
    EXPECT_STREQ("", SetupTypeOption(SetupType::Unset));
}

TEST(CustomerPage, WhichClicksReadTheFieldsFirst) {
    struct Row {
        const char* name;
        bool reads;
    } rows[] = {
        {"IDC_NEXT", true},           {"IDC_BACK", true},          {"IDC_BUTTON3", true},
        {"IDC_TYPICAL", true},        {"IDC_LAUNCHFILE", true},    {"IDCANCEL", false},
        {"IDC_BROWSE", false},        {"IDC_ACCEPTLICENSE", false}, {"IDC_NOTACCEPTLICENSE", false},
        {"IDC_ANYONE", false},        {"IDC_ONLYFORME", false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.reads, ReadsCustomerFieldsFirst(RouteCommand(row.name).route)) << row.name;
}

TEST(CustomerPage, RegistryKeyOfTheCustomerData) {
    struct Row {
        const char* root;
        const char* key;
        RegistryRoot expected;
    } rows[] = {
        {"HKEY_CLASSES_ROOT", "Software\\A", RegistryRoot::kClassesRoot},
        {"HKEY_CURRENT_USER", "Software\\A", RegistryRoot::kCurrentUser},
        {"HKEY_LOCAL_MACHINE", "Software\\A", RegistryRoot::kLocalMachine},
        {"HKEY_USERS", "Software\\A", RegistryRoot::kUsers},
        {"HKEY_CURRENT_CONFIG", "Software\\A", RegistryRoot::kCurrentConfig},
        {"HKCU", "Software\\A", RegistryRoot::kNone},              // short forms are no root
        {"hkey_current_user", "Software\\A", RegistryRoot::kNone},
        {"", "Software\\A", RegistryRoot::kNone},
        {"HKEY_CURRENT_USER", "", RegistryRoot::kNone},            // no key: nothing is stored
    };
    for (const Row& row : rows) {
        RegistryKeyPath key = CustomerDataKey(row.root, row.key);
        EXPECT_EQ(static_cast<int>(row.expected), static_cast<int>(key.root)) << row.root << " " << row.key;
        EXPECT_EQ(row.expected == RegistryRoot::kNone ? "" : row.key, key.subKey) << row.root;
    }
    EXPECT_STREQ("<UserName>", kCustomerNameValue);
    EXPECT_STREQ("<CompanyName>", kCustomerCompanyValue);
}

}  // namespace
}  // namespace kq
