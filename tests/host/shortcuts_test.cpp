#include "steps/shortcuts.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "base/ini_text.h"
#include "fake_machines.h"
#include "install_step_test_util.h"

namespace kq {
namespace {

using steptest::SampleRunValues;
using steptest::TempLog;

const char kPrograms[] = "C:\\Documents and Settings\\Ann\\Start Menu\\Programs";
const char kStartUp[] = "C:\\Documents and Settings\\Ann\\Start Menu\\Programs\\Startup";
const char kStartMenu[] = "C:\\Documents and Settings\\Ann\\Start Menu";
const char kDesktop[] = "C:\\Documents and Settings\\Ann\\Desktop";
const char kFavorites[] = "C:\\Documents and Settings\\Ann\\Favorites";
const char kQuickLaunch[] =
    "C:\\Documents and Settings\\Ann\\Application Data\\Microsoft\\Internet Explorer\\Quick Launch";
const char kInstallDir[] = "C:\\Program Files\\Northwind\\Notes\\";
const char kPacked[] = "C:\\TEMP\\kq142305\\";

FolderValues SampleFolders() {
    FolderValues folders;
    folders.programsMenu = kPrograms;
    folders.startupMenu = kStartUp;
    folders.startMenu = kStartMenu;
    folders.desktop = kDesktop;
    folders.favorites = kFavorites;
    folders.appData = "C:\\Documents and Settings\\Ann\\Application Data";
    return folders;
}

std::string Folder(const char* base, const std::string& below = "") {
    return std::string(base) + "\\" + below;
}

struct LocationCase {
    const char* location;
    ShortcutPlace place;
    std::string folder;  // "" when unusable
    bool create;
};

TEST(ShortcutLocation, SpecialFoldersSubfoldersAndTheFolderRule) {
    const LocationCase cases[] = {
        {"Start Menu\\Programs Menu\\Tools\\Editor", ShortcutPlace::kPrograms, Folder(kPrograms, "Tools\\"), true},
        {"Start Menu\\Programs Menu\\Tools\\Editor\\", ShortcutPlace::kPrograms, Folder(kPrograms, "Tools\\"), true},
        {"Start Menu\\Programs Menu\\Editor", ShortcutPlace::kPrograms, Folder(kPrograms), false},
        {"Start Menu\\Programs Menu\\Northwind\\Notes\\Editor", ShortcutPlace::kPrograms,
         Folder(kPrograms, "Northwind\\Notes\\"), true},
        {"Start Menu\\Programs Menu\\<ProductName>\\Editor", ShortcutPlace::kPrograms, Folder(kPrograms, "Notes\\"),
         true},
        {"Start Menu\\Programs Menu\\\\Tools\\\\Editor", ShortcutPlace::kPrograms, Folder(kPrograms, "Tools\\"), true},
        // A subfolder whose name holds a special-folder name keeps it.
        {"Start Menu\\Programs Menu\\Desktop Tools\\Editor", ShortcutPlace::kPrograms,
         Folder(kPrograms, "Desktop Tools\\"), true},
        {"Start Menu\\Programs Menu\\My Favorites\\Editor", ShortcutPlace::kPrograms,
         Folder(kPrograms, "My Favorites\\"), true},
        // The StartUp folder itself is the user's, never setup's to create.
        {"Start Menu\\StartUp\\Editor", ShortcutPlace::kStartUp, Folder(kStartUp), false},
        {"Start Menu\\StartUp\\Agents\\Editor", ShortcutPlace::kStartUp, Folder(kStartUp, "Agents\\"), true},
        {"Start Menu\\Editor", ShortcutPlace::kStartMenu, Folder(kStartMenu), false},
        {"Start Menu\\Northwind\\Editor", ShortcutPlace::kStartMenu, Folder(kStartMenu, "Northwind\\"), true},
        // Without a name after it the Programs level is the shortcut's name.
        {"Start Menu\\Programs Menu", ShortcutPlace::kStartMenu, Folder(kStartMenu), false},
        {"Desktop\\Editor", ShortcutPlace::kDesktop, Folder(kDesktop), false},
        {"Desktop\\Northwind\\Editor", ShortcutPlace::kDesktop, Folder(kDesktop, "Northwind\\"), true},
        {"Favorites\\Northwind Site", ShortcutPlace::kFavorites, Folder(kFavorites), false},
        {"Favorites\\Links\\Northwind Site", ShortcutPlace::kFavorites, Folder(kFavorites, "Links\\"), false},
        {"Active Desktop\\Editor", ShortcutPlace::kQuickLaunch, Folder(kQuickLaunch), false},
        {"Active Desktop\\Tools\\Editor", ShortcutPlace::kQuickLaunch, Folder(kQuickLaunch, "Tools\\"), false},
        // Unusable: no special folder first, or nothing after it.
        {"Desktop", ShortcutPlace::kNone, "", false},
        {"Desktop\\", ShortcutPlace::kNone, "", false},
        {"desktop\\Editor", ShortcutPlace::kNone, "", false},
        {"Program Files\\Editor", ShortcutPlace::kNone, "", false},
        {"Editor", ShortcutPlace::kNone, "", false},
        {"", ShortcutPlace::kNone, "", false},
        {"Destination Computer\\Desktop\\Editor", ShortcutPlace::kNone, "", false},
    };
    const PlaceholderValues values = SampleRunValues();
    ExpandFunction expand = [&values](const std::string& text) { return ExpandStepText(text, values); };
    for (const LocationCase& c : cases) {
        ShortcutLocation where = ResolveShortcutLocation(c.location, SampleFolders(), expand);
        EXPECT_EQ(where.folder, c.folder) << c.location;
        EXPECT_EQ(where.createFolder, c.create) << c.location;
        if (!c.folder.empty()) {
            EXPECT_EQ(where.place, c.place) << c.location;
        }
    }
}

TEST(ShortcutLocation, FoldersTheSystemLacksOrSharesKeepTheirShape) {
    FolderValues folders = SampleFolders();
    folders.favorites.clear();
    folders.appData.clear();
    folders.desktop = "\\\\server\\home\\Ann\\Desktop\\";
    ExpandFunction same = [](const std::string& text) { return text; };
    // An empty special folder would turn the location into a path at the
    // root of the current drive.
    EXPECT_EQ(ResolveShortcutLocation("Favorites\\Site", folders, same).folder, "");
    EXPECT_EQ(ResolveShortcutLocation("Active Desktop\\Editor", folders, same).folder, "");
    // A redirected desktop on a share keeps its leading pair of backslashes.
    EXPECT_EQ(ResolveShortcutLocation("Desktop\\Editor", folders, same).folder, "\\\\server\\home\\Ann\\Desktop\\");
    // An expansion that leaves a relative path is no place for a shortcut.
    folders.desktop = "Desktop";
    EXPECT_EQ(ResolveShortcutLocation("Desktop\\Editor", folders, same).folder, "");
}

TEST(ShortcutFields, WindowStateAndWebTargets) {
    const std::pair<const char*, ShortcutShow> shows[] = {
        {"Maximized", ShortcutShow::kMaximized}, {"Minimized", ShortcutShow::kMinimized},
        {"maximized", ShortcutShow::kNormal},    {"MINIMIZED", ShortcutShow::kNormal},
        {"Maximized ", ShortcutShow::kNormal},   {"Normal", ShortcutShow::kNormal},
        {"", ShortcutShow::kNormal},
    };
    for (const auto& c : shows) EXPECT_EQ(ShortcutShowFromText(c.first), c.second) << c.first;

    const std::pair<const char*, bool> targets[] = {
        {"http://www.northwind.example/notes", true},
        {"https://www.northwind.example/", true},
        {"HTTP://WWW.NORTHWIND.EXAMPLE/", true},
        {"HTTPS://WWW.NORTHWIND.EXAMPLE/", true},
        {"Http://www.northwind.example/", false},
        {"<InstallDir>notes.exe", false},
        {"C:\\httpd\\bin\\httpd.exe", false},
        {"<InstallDir>http.exe", false},
        {"http", false},
        {"", false},
    };
    for (const auto& c : targets) EXPECT_EQ(IsWebShortcutTarget(c.first), c.second) << c.first;
}

using fakes::FakeShortcutMachine;

class ShortcutStep : public ::testing::Test {
protected:
    void SetUp() override {
        values_ = SampleRunValues();
        context_.folders = SampleFolders();
        context_.installDir = kInstallDir;
        context_.packedFolder = kPacked;
    }

    void Run(const std::string& script) {
        IniText ini("[FOLDERKQ]\r\n" + script);
        CreateShortcuts(
            Script(ini), [this](const std::string& t) { return ExpandStepText(t, values_); }, context_, machine_,
            log_.Log());
    }

    PlaceholderValues values_;
    ShortcutContext context_;
    FakeShortcutMachine machine_;
    TempLog log_;
};

TEST_F(ShortcutStep, ProgramsSubfolderLinkWithEveryProperty) {
    machine_.files.insert(std::string(kPacked) + "editor.ico");
    Run("TOTAL=1\r\nA0=Start Menu\\Programs Menu\\Tools\\Editor\r\nB0=Editor\r\nC0=<InstallDir>notes.exe\r\n"
        "D0=Edit <ProductName> notes\r\nE0=Maximized\r\nF0=<InstallDir>data\r\nG0=/edit \"<InstallDir>today.txt\"\r\n"
        "H0=C:\\build\\art\\editor.ico\r\nI0=2\r\nJ0=\r\n");
    const std::string folder = Folder(kPrograms, "Tools");
    const std::vector<std::string> ops = {
        "mkdir " + folder,
        std::string("copy ") + kPacked + "editor.ico > " + kInstallDir + "editor.ico",
        "lnk " + folder + "\\Editor.lnk = " + kInstallDir + "notes.exe | args /edit \"" + kInstallDir +
            "today.txt\" | desc Edit Notes notes | in " + kInstallDir + "data | icon " + kInstallDir +
            "editor.ico,2 | show 3",
    };
    EXPECT_EQ(machine_.ops, ops);
    const std::vector<std::string> lines = {
        "DIR=" + folder,
        std::string("FILE=") + kInstallDir + "editor.ico",
        "SHORTCUT=" + folder + "\\Editor.lnk",
    };
    EXPECT_EQ(log_.Lines(), lines);
}

TEST_F(ShortcutStep, PlacesWithoutFolderCreation) {
    Run("TOTAL=4\r\n"
        "A0=Desktop\\Editor\r\nB0=Editor\r\nC0=<InstallDir>notes.exe\r\nE0=maximized\r\n"
        "A1=Start Menu\\Programs Menu\\Editor\r\nB1=Editor\r\nC1=<InstallDir>notes.exe\r\nE1=Minimized\r\n"
        "A2=Start Menu\\StartUp\\Notes Agent\r\nB2=Notes Agent\r\nC2=<InstallDir>agent.exe\r\n"
        "A3=Active Desktop\\Notes\r\nB3=Notes\r\nC3=<InstallDir>notes.exe\r\n");
    for (const std::string& op : machine_.ops) EXPECT_NE(op.compare(0, 6, "mkdir "), 0) << op;
    const std::vector<std::string> lines = {
        "SHORTCUT=" + Folder(kDesktop) + "Editor.lnk",
        "SHORTCUT=" + Folder(kPrograms) + "Editor.lnk",
        "SHORTCUT=" + Folder(kStartUp) + "Notes Agent.lnk",
        "SHORTCUT=" + Folder(kQuickLaunch) + "Notes.lnk",
    };
    EXPECT_EQ(log_.Lines(), lines);
    ASSERT_EQ(machine_.links.size(), 4u);
    // Only the exact spellings change the window state.
    EXPECT_EQ(machine_.links[0].show, ShortcutShow::kNormal);
    EXPECT_EQ(machine_.links[1].show, ShortcutShow::kMinimized);
    // No arguments, no icon: the target's own.
    EXPECT_EQ(machine_.links[0].arguments, "");
    EXPECT_EQ(machine_.links[0].iconPath, "");
}

TEST_F(ShortcutStep, WebAddressGetsAnInternetShortcutAndALink) {
    Run("TOTAL=1\r\nA0=Start Menu\\Programs Menu\\Tools\\Northwind Site\r\nB0=Northwind Site\r\n"
        "C0=http://www.northwind.example/notes\r\n");
    const std::string folder = Folder(kPrograms, "Tools");
    const std::vector<std::string> lines = {
        "DIR=" + folder,
        "SHORTCUT=" + folder + "\\Northwind Site.url",
        "SHORTCUT=" + folder + "\\Northwind Site.lnk",
    };
    EXPECT_EQ(log_.Lines(), lines);
    ASSERT_GE(machine_.ops.size(), 2u);
    EXPECT_EQ(machine_.ops[1], "url " + folder + "\\Northwind Site.url = http://www.northwind.example/notes");
}

TEST_F(ShortcutStep, FailedSavesAreNotLoggedButTheFolderIs) {
    machine_.saves = false;
    Run("TOTAL=1\r\nA0=Start Menu\\Programs Menu\\Tools\\Site\r\nB0=Site\r\nC0=http://northwind.example/\r\n");
    const std::vector<std::string> lines = {"DIR=" + Folder(kPrograms, "Tools")};
    EXPECT_EQ(log_.Lines(), lines);
    EXPECT_EQ(machine_.ops.size(), 3u);  // folder, internet shortcut, link: each tried once
}

TEST_F(ShortcutStep, FeatureChoiceDecides) {
    context_.featureDeselected = [](const std::string& feature) { return feature == "Samples"; };
    Run("TOTAL=3\r\n"
        "A0=Desktop\\Samples\r\nB0=Samples\r\nC0=<InstallDir>samples\r\nJ0=Samples\r\n"
        "A1=Desktop\\Editor\r\nB1=Editor\r\nC1=<InstallDir>notes.exe\r\nJ1=Core\r\n"
        "A2=Desktop\\Help\r\nB2=Help\r\nC2=<InstallDir>help.txt\r\nJ2=Unknown Feature\r\n");
    const std::vector<std::string> lines = {
        "SHORTCUT=" + Folder(kDesktop) + "Editor.lnk",
        "SHORTCUT=" + Folder(kDesktop) + "Help.lnk",
    };
    EXPECT_EQ(log_.Lines(), lines);
}

TEST_F(ShortcutStep, IconMissingFromThePackageLeavesTheTargetsIcon) {
    Run("TOTAL=2\r\n"
        "A0=Desktop\\Editor\r\nB0=Editor\r\nC0=<InstallDir>notes.exe\r\nH0=C:\\art\\missing.ico\r\nI0=4\r\n"
        "A1=Desktop\\Viewer\r\nB1=Viewer\r\nC1=<InstallDir>view.exe\r\nH1=..\r\n");
    ASSERT_EQ(machine_.links.size(), 2u);
    EXPECT_EQ(machine_.links[0].iconPath, "");
    EXPECT_EQ(machine_.links[1].iconPath, "");
    for (const std::string& line : log_.Lines()) EXPECT_NE(line.compare(0, 5, "FILE="), 0) << line;
}

TEST_F(ShortcutStep, UnusableItemsAreSkippedWithoutHarm) {
    std::string longTarget;
    for (int i = 0; i < 8; ++i) longTarget += "<InstallDir>";
    longTarget += "notes.exe";  // 288 characters once expanded
    // Twenty install folders: 240 characters as written, 720 expanded.
    std::string longText;
    for (int i = 0; i < 20; ++i) longText += "<InstallDir>";
    Run("TOTAL=7\r\n"
        // a name that would climb out of the shortcut folder
        "A0=Desktop\\Evil\r\nB0=..\\..\\Evil\r\nC0=<InstallDir>notes.exe\r\n"
        // no special folder: the shortcut would land in the current folder
        "A1=Editor\r\nB1=Editor\r\nC1=<InstallDir>notes.exe\r\n"
        // item 2 is missing from the script altogether
        // a target too long for the shell
        "A3=Desktop\\Long\r\nB3=Long\r\nC3=" + longTarget + "\r\n"
        // an empty name
        "A4=Desktop\\Nameless\r\nB4=\r\nC4=<InstallDir>notes.exe\r\n"
        // a device name
        "A5=Desktop\\CON\r\nB5=CON\r\nC5=<InstallDir>notes.exe\r\n"
        // comment and arguments beyond what the shell keeps are cut
        "A6=Desktop\\Chatty\r\nB6=Chatty\r\nC6=<InstallDir>notes.exe\r\nD6=" + longText + "\r\nG6=" + longText +
        "\r\n");
    const std::vector<std::string> lines = {"SHORTCUT=" + Folder(kDesktop) + "Chatty.lnk"};
    EXPECT_EQ(log_.Lines(), lines);
    ASSERT_EQ(machine_.links.size(), 1u);
    std::string expanded;
    for (int i = 0; i < 20; ++i) expanded += kInstallDir;
    EXPECT_EQ(machine_.links[0].description, expanded.substr(0, kMaxShortcutText));
    EXPECT_EQ(machine_.links[0].arguments, expanded.substr(0, kMaxShortcutText));
}

TEST_F(ShortcutStep, NoSectionNoWork) {
    Run("TOTAL=0\r\nA0=Desktop\\Editor\r\nB0=Editor\r\nC0=x\r\n");
    Run("TOTAL=abc\r\nA0=Desktop\\Editor\r\nB0=Editor\r\nC0=x\r\n");
    Run("TOTAL=-2\r\nA0=Desktop\\Editor\r\nB0=Editor\r\nC0=x\r\n");
    EXPECT_TRUE(machine_.ops.empty());
    EXPECT_TRUE(log_.Lines().empty());
}

TEST(ShortcutItems, EveryColumnIsRead) {
    IniText ini("[FOLDERKQ]\r\nTOTAL=2\r\n"
                "A1=a\r\nB1=b\r\nC1=c\r\nD1=d\r\nE1=e\r\nF1=f\r\nG1=g\r\nH1=h\r\nI1=7\r\nJ1=j\r\n");
    std::vector<ShortcutItem> items = LoadShortcutItems(Script(ini));
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].location, "");
    const ShortcutItem& item = items[1];
    const std::vector<std::string> got = {item.location,      item.name,      item.target,   item.description,
                                          item.window,        item.workingFolder, item.arguments, item.iconFile,
                                          item.iconIndex,     item.feature};
    const std::vector<std::string> expected = {"a", "b", "c", "d", "e", "f", "g", "h", "7", "j"};
    EXPECT_EQ(got, expected);
}

}  // namespace
}  // namespace kq
