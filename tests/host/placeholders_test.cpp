#include <string>

#include <gtest/gtest.h>

#include "run/placeholders.h"

namespace kq {
namespace {

PlaceholderValues SampleValues() {
    PlaceholderValues v;
    v.programFilesFolder = "C:\\Program Files";
    v.systemFolder = "C:\\WINDOWS\\system32\\";
    v.windowsFolder = "C:\\WINDOWS";
    v.commonFilesFolder = "C:\\Program Files\\Common Files";
    v.windowsVolume = "C:";
    v.favoritesFolder = "C:\\Fav";
    v.personalFolder = "C:\\Docs";
    v.picturesFolder = "C:\\Pics";
    v.tempFolder = "C:\\TEMP\\";
    v.sendToFolder = "C:\\SendTo";
    v.fontsFolder = "C:\\WINDOWS\\Fonts";
    v.appDataFolder = "C:\\AppData";
    v.productName = "Notes";
    v.installDir = "C:\\Program Files\\Notes\\";
    v.defaultInstallDir = "C:\\Program Files\\Notes\\";
    v.productCode = "{CODE}";
    v.userName = "ann";
    v.companyName = "Acme";
    v.publisher = "Pub";
    v.productVersion = "1.2";
    return v;
}

struct Case {
    const char* text;
    const char* frame;
    const char* worker;
};

TEST(Placeholders, FrameAndWorkerExpansion) {
    const Case cases[] = {
        // No angle bracket: returned as written, square brackets included.
        {"[WindowsFolder]\\x", "[WindowsFolder]\\x", "[WindowsFolder]\\x"},
        {"a\\\\b", "a\\\\b", "a\\\\b"},
        {"", "", ""},
        // Square brackets become angle brackets only in the frame expansion.
        {"<TempFolder>[ProductName]", "C:\\TEMP\\Notes", "C:\\TEMP\\[ProductName]"},
        {"[ProductName] >", "Notes >", "[ProductName] >"},
        // The doubled backslash after a folder that ends in one is joined.
        {"<SystemFolder>\\name.dll", "C:\\WINDOWS\\system32\\name.dll", "C:\\WINDOWS\\system32\\name.dll"},
        // So is the start of a network path, once the text holds a bracket.
        {"\\\\server\\share\\<ProductName>", "\\server\\share\\Notes", "\\server\\share\\Notes"},
        {"a\\\\\\b<x>", "a\\\\b<x>", "a\\\\b<x>"},
        {"a\\\\\\\\b<x>", "a\\\\b<x>", "a\\\\b<x>"},
        {"a\\\\\\\\\\b<x>", "a\\\\\\b<x>", "a\\\\\\b<x>"},
        // "<USERNAME>" belongs to the frame only; "<UserName>" to both.
        {"<USERNAME>/<UserName>", "ann/ann", "<USERNAME>/ann"},
        // Unknown tokens and a near miss in case stay.
        {"<Foo><productname>", "<Foo><productname>", "<Foo><productname>"},
        {"<ProgramFilesFolder>|<CommonFilesFolder>|<WindowsVolume>|<WindowsFolder>",
         "C:\\Program Files|C:\\Program Files\\Common Files|C:|C:\\WINDOWS",
         "C:\\Program Files|C:\\Program Files\\Common Files|C:|C:\\WINDOWS"},
        {"<FavoritesFolder>|<PersonalFolder>|<MyPicturesFolder>|<SendToFolder>|<FontsFolder>|<AppDataFolder>",
         "C:\\Fav|C:\\Docs|C:\\Pics|C:\\SendTo|C:\\WINDOWS\\Fonts|C:\\AppData",
         "C:\\Fav|C:\\Docs|C:\\Pics|C:\\SendTo|C:\\WINDOWS\\Fonts|C:\\AppData"},
        {"<InstallDir>|<Install Dir>|<ProductCode>|<CompanyName>|<Publisher>|<ProductVersion>",
         "C:\\Program Files\\Notes\\|C:\\Program Files\\Notes\\|{CODE}|Acme|Pub|1.2",
         "C:\\Program Files\\Notes\\|C:\\Program Files\\Notes\\|{CODE}|Acme|Pub|1.2"},
        {"<ProductName><ProductName>", "NotesNotes", "NotesNotes"},
    };
    PlaceholderValues values = SampleValues();
    for (const Case& c : cases) {
        EXPECT_EQ(ExpandScriptText(c.text, values), c.frame) << c.text;
        EXPECT_EQ(ExpandStepText(c.text, values), c.worker) << c.text;
    }
}

TEST(Placeholders, LaterTokensSeeEarlierValuesButNotTheReverse) {
    PlaceholderValues values = SampleValues();
    values.productName = "Odd<TempFolder>";
    EXPECT_EQ(ExpandScriptText("<ProductName>", values), "Odd<TempFolder>");
    values.programFilesFolder = "D:\\<ProductName>";
    EXPECT_EQ(ExpandScriptText("<ProgramFilesFolder>", values), "D:\\Odd<TempFolder>");
    // A value holding its own token is not searched again.
    values.installDir = "<InstallDir>x";
    EXPECT_EQ(ExpandScriptText("<InstallDir>", values), "<InstallDir>x");
}

TEST(Placeholders, WorkerMovesTheDefaultFolderToTheChosenOne) {
    PlaceholderValues values = SampleValues();
    values.installDir = "D:\\Apps\\Notes\\";
    // Runs after the backslash pairs are joined, so it leaves one doubled.
    EXPECT_EQ(ExpandStepText("C:\\Program Files\\Notes\\bin\\<ProductName>.exe", values),
              "D:\\Apps\\Notes\\\\bin\\Notes.exe");
    EXPECT_EQ(ExpandScriptText("C:\\Program Files\\Notes\\bin\\<ProductName>.exe", values),
              "C:\\Program Files\\Notes\\bin\\Notes.exe");
    EXPECT_EQ(ExpandStepText("C:\\Program Files\\Notes\\bin", values), "C:\\Program Files\\Notes\\bin");

    values.installDir = "\\";
    EXPECT_EQ(ExpandStepText("C:\\Program Files\\Notes\\x<y>", values), "C:\\Program Files\\Notes\\x<y>");
    values.installDir = values.defaultInstallDir;
    EXPECT_EQ(ExpandStepText("C:\\Program Files\\Notes\\x<y>", values), "C:\\Program Files\\Notes\\x<y>");
    // A default of a lone backslash (empty "a4") leaves nothing to move.
    values.defaultInstallDir = "\\";
    values.installDir = "D:\\Apps\\";
    EXPECT_EQ(ExpandStepText("a<y>b", values), "a<y>b");
    values.defaultInstallDir = "";
    EXPECT_EQ(ExpandStepText("a<y>b", values), "a<y>b");
}

TEST(Placeholders, UserVariablesInTableOrder) {
    UserVariableTable table = {
        {"<Edition>", "", "Pro"},
        {"<Edition>", "", "Home"},  // the first of two names wins
        {"", "", "never"},          // an empty name replaces nothing
        {"%DATA%", "", "<Edition>-data"},
        {"<Late>", "", "late"},
    };
    for (int i = 0; i < 50; ++i) table.push_back({"<Filler" + std::to_string(i) + ">", "", "f"});
    table.push_back({"<Beyond>", "", "ignored"});  // the 56th entry is past the limit of 50

    PlaceholderValues values = SampleValues();
    values.variables = &table;
    EXPECT_EQ(ExpandScriptText("<Edition>/[Edition]", values), "Pro/Pro");
    EXPECT_EQ(ExpandStepText("<Edition>/[Edition]", values), "Pro/[Edition]");
    // %DATA% comes after <Edition>, so its value keeps the token.
    EXPECT_EQ(ExpandScriptText("%DATA% <Late>", values), "<Edition>-data late");
    EXPECT_EQ(ExpandScriptText("%DATA%", values), "%DATA%");  // no angle bracket: untouched
    EXPECT_EQ(ExpandScriptText("<Filler44>", values), "f");
    EXPECT_EQ(ExpandScriptText("<Filler45>|<Beyond>", values), "<Filler45>|<Beyond>");
    // Variables come after every built-in token: a product name may hold a
    // variable, while a variable's value is never read as a built-in token.
    values.productName = "Notes <Edition>";
    table[4].value = "<InstallDir>";
    for (auto expand : {&ExpandScriptText, &ExpandStepText}) {
        EXPECT_EQ(expand("<ProductName>", values), "Notes Pro");
        EXPECT_EQ(expand("<Late>", values), "<InstallDir>");
    }
    values.variables = nullptr;
    EXPECT_EQ(ExpandScriptText("<Edition>", values), "<Edition>");
}

TEST(Placeholders, VariablesCannotMultiplyATextWithoutBound) {
    // Each value holds the next name 40 times: unchecked, the text would grow
    // 40-fold per variable.
    UserVariableTable table;
    for (int i = 0; i < 10; ++i) {
        std::string next;
        for (int n = 0; n < 40; ++n) next += "<v" + std::to_string(i + 1) + ">";
        table.push_back({"<v" + std::to_string(i) + ">", "", next});
    }
    PlaceholderValues values = SampleValues();
    values.variables = &table;
    std::string frame = ExpandScriptText("<v0>", values);
    EXPECT_LE(frame.size(), kMaxExpandedLength);
    // Three steps fit (256,000 characters); the fourth stops part way, so the
    // text starts with its values and ends as the third step left it.
    EXPECT_EQ(frame.substr(0, 4), "<v4>");
    EXPECT_EQ(frame.substr(frame.size() - 4), "<v3>");
    EXPECT_EQ(ExpandStepText("<v0>", values).size(), frame.size());
}

TEST(Placeholders, ReplaceAllIsLeftToRightWithoutOverlap) {
    const struct { const char* text; const char* token; const char* value; const char* expected; } cases[] = {
        {"aaa", "aa", "X", "Xa"},   {"aaaa", "aa", "a", "aa"}, {"abc", "", "X", "abc"},
        {"abc", "abc", "", ""},     {"xabcx", "abc", "abcabc", "xabcabcx"}, {"", "a", "b", ""},
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        ReplaceAll(text, c.token, c.value);
        EXPECT_EQ(text, c.expected) << c.text << " / " << c.token;
    }
    std::string limited = "a-a-a";
    ReplaceAll(limited, "a", "bbb", 8);  // the second would reach 9 characters
    EXPECT_EQ(limited, "bbb-a-a");
    std::string shrinking = "aaaa";
    ReplaceAll(shrinking, "aa", "b", 1);  // shortening is never refused
    EXPECT_EQ(shrinking, "bb");
}

}  // namespace
}  // namespace kq
