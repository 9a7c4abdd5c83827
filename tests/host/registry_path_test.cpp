#include "base/registry_path.h"

#include <gtest/gtest.h>

#include <string>

namespace kq {
namespace {

TEST(RegistryPath, RootNames) {
    struct Case {
        const char* name;
        RegistryRoot root;
    };
    const Case cases[] = {
        {"HKEY_CLASSES_ROOT", RegistryRoot::kClassesRoot},
        {"HKEY_CURRENT_USER", RegistryRoot::kCurrentUser},
        {"HKEY_LOCAL_MACHINE", RegistryRoot::kLocalMachine},
        {"HKEY_USERS", RegistryRoot::kUsers},
        {"HKEY_CURRENT_CONFIG", RegistryRoot::kCurrentConfig},
        {"HKLM", RegistryRoot::kNone},
        {"HKCU", RegistryRoot::kNone},
        {"hkey_local_machine", RegistryRoot::kNone},
        {"HKEY_LOCAL_MACHINE ", RegistryRoot::kNone},
        {"HKEY_LOCAL_MACHINE\\", RegistryRoot::kNone},
        {"", RegistryRoot::kNone},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RegistryRootFromName(c.name), c.root) << c.name;
        if (c.root != RegistryRoot::kNone) {
            EXPECT_STREQ(RegistryRootName(c.root), c.name);
        }
    }
    EXPECT_STREQ(RegistryRootName(RegistryRoot::kNone), "");
}

TEST(RegistryPath, CutKeepsAtMost255Characters) {
    struct Case {
        size_t length;
        size_t kept;
    };
    const Case cases[] = {{0, 0}, {1, 1}, {254, 254}, {255, 255}, {256, 255}, {1000, 255}};
    for (const Case& c : cases) {
        std::string text(c.length, 'k');
        if (c.length > 0) text.back() = 'z';
        std::string cut = CutRegistryText(text);
        EXPECT_EQ(cut.size(), c.kept) << c.length;
        EXPECT_EQ(cut, text.substr(0, c.kept));
    }
}

// A registry path as the log writes it, and what parsing it should give.
struct PathCase {
    const char* text;
    bool ok;
    RegistryRoot root;
    const char* subKey;
    const char* name = "";  // value paths only
};

TEST(RegistryPath, KeyPaths) {
    const PathCase cases[] = {
        {"HKEY_LOCAL_MACHINE\\Software\\Acme\\Notes", true, RegistryRoot::kLocalMachine, "Software\\Acme\\Notes"},
        {"HKEY_LOCAL_MACHINE\\Software\\Acme\\Notes\\", true, RegistryRoot::kLocalMachine, "Software\\Acme\\Notes"},
        {"HKEY_CLASSES_ROOT\\.nwn", true, RegistryRoot::kClassesRoot, ".nwn"},
        {"HKEY_CURRENT_USER", true, RegistryRoot::kCurrentUser, ""},
        {"HKEY_CURRENT_USER\\", true, RegistryRoot::kCurrentUser, ""},
        {"HKEY_USERS\\\\.DEFAULT\\\\", true, RegistryRoot::kUsers, ".DEFAULT"},
        {"HKLM\\Software", false, RegistryRoot::kNone, ""},
        {"Software\\Acme", false, RegistryRoot::kNone, ""},
        {"", false, RegistryRoot::kNone, ""},
        {"\\HKEY_LOCAL_MACHINE\\Software", false, RegistryRoot::kNone, ""},
    };
    for (const PathCase& c : cases) {
        RegistryKeyPath key;
        key.subKey = "stale";
        EXPECT_EQ(ParseRegistryKeyPath(c.text, &key), c.ok) << c.text;
        EXPECT_EQ(key.root, c.root) << c.text;
        EXPECT_EQ(key.subKey, c.subKey) << c.text;
    }
}

TEST(RegistryPath, ValuePaths) {
    const PathCase cases[] = {
        {"HKEY_LOCAL_MACHINE\\Software\\Acme\\Notes\\Version", true, RegistryRoot::kLocalMachine,
         "Software\\Acme\\Notes", "Version"},
        // The log's "%s\%s%s": the sub key keeps its backslash, the name follows.
        {"HKEY_CURRENT_USER\\Environment\\NOTES_HOME", true, RegistryRoot::kCurrentUser, "Environment", "NOTES_HOME"},
        {"HKEY_CLASSES_ROOT\\.nwn\\", true, RegistryRoot::kClassesRoot, ".nwn", ""},
        {"HKEY_LOCAL_MACHINE\\Software\\Acme\\a=b", true, RegistryRoot::kLocalMachine, "Software\\Acme", "a=b"},
        {"HKEY_LOCAL_MACHINE\\Version", false, RegistryRoot::kNone, "", ""},
        {"HKEY_LOCAL_MACHINE\\\\Version", false, RegistryRoot::kNone, "", ""},
        {"HKEY_LOCAL_MACHINE", false, RegistryRoot::kNone, "", ""},
        {"HKEY_BOGUS\\Software\\Name", false, RegistryRoot::kNone, "", ""},
        {"", false, RegistryRoot::kNone, "", ""},
    };
    for (const PathCase& c : cases) {
        RegistryValuePath value;
        EXPECT_EQ(ParseRegistryValuePath(c.text, &value), c.ok) << c.text;
        EXPECT_EQ(value.root, c.root) << c.text;
        EXPECT_EQ(value.subKey, c.subKey) << c.text;
        EXPECT_EQ(value.valueName, c.name) << c.text;
    }
}

TEST(RegistryPath, FormatsAsTheLogWritesThem) {
    EXPECT_EQ(FormatRegistryKeyPath(RegistryRoot::kLocalMachine, "Software\\Acme\\"), "HKEY_LOCAL_MACHINE\\Software\\Acme");
    EXPECT_EQ(FormatRegistryKeyPath(RegistryRoot::kUsers, ""), "HKEY_USERS");
    EXPECT_EQ(FormatRegistryValuePath(RegistryRoot::kCurrentUser, "Environment", "PATH"),
              "HKEY_CURRENT_USER\\Environment\\PATH");
    EXPECT_EQ(FormatRegistryValuePath(RegistryRoot::kClassesRoot, ".nwn\\", ""), "HKEY_CLASSES_ROOT\\.nwn\\");
    EXPECT_EQ(UninstallKeyPath("{6B1C}"), "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{6B1C}");

    // What is formatted parses back to the same parts.
    RegistryValuePath parsed;
    ASSERT_TRUE(ParseRegistryValuePath(FormatRegistryValuePath(RegistryRoot::kCurrentConfig, "A\\B", "C"), &parsed));
    EXPECT_EQ(parsed.root, RegistryRoot::kCurrentConfig);
    EXPECT_EQ(parsed.subKey, "A\\B");
    EXPECT_EQ(parsed.valueName, "C");
}

}  // namespace
}  // namespace kq
