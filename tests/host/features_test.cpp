#include "run/features.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/ini_text.h"
#include "run/script.h"

namespace kq {
namespace {

const char kScript[] =
    "[SETUPTYPE]\r\n"
    "TOTAL=4\r\n"
    "FeatureName0=Program files\r\nDescription0=The program itself.\r\n"
    "FeatureName1=Help files\r\nDescription1=Manual and examples.\r\n"
    "FeatureName2=Help files\r\nDescription2=A second word on help.\r\n"
    "FeatureName3=Samples\r\n"
    "[SETUPFEATURES]\r\n"
    "TOTAL=3\r\n0=Program files\r\n1=Help files\r\n2=Samples\r\n";

FeatureTable Table(const std::string& text) {
    IniText ini(text);
    return LoadFeatureTable(Script(ini));
}

TEST(FeatureTable, LoadsNamesInKeyOrderAllInstalled) {
    FeatureTable table = Table(kScript);
    ASSERT_EQ(4, table.Count());
    const char* names[] = {"Program files", "Help files", "Help files", "Samples"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(names[i], table.At(i).name);
        EXPECT_EQ(kFeatureInstalled, table.At(i).state);
    }
}

TEST(FeatureTable, AwkwardCounts) {
    struct Row {
        const char* section;
        int count;
    } rows[] = {
        {"", 0},                                                       // no section
        {"[SETUPTYPE]\r\nTOTAL=abc\r\nFeatureName0=A\r\n", 0},        // not a number
        {"[SETUPTYPE]\r\nTOTAL=-2\r\nFeatureName0=A\r\n", 0},
        {"[SETUPTYPE]\r\nTOTAL=2\r\nFeatureName1=B\r\n", 2},          // a gap is an empty name
        {"[SETUPTYPE]\r\nTOTAL=30\r\n", 30},
        {"[SETUPTYPE]\r\nTOTAL=31\r\n", kMaxFeatures},                 // one too many is cut
        {"[SETUPTYPE]\r\nTOTAL=4000000000\r\n", kMaxFeatures},         // and a huge count too
    };
    for (const Row& row : rows) EXPECT_EQ(row.count, Table(row.section).Count()) << row.section;
}

TEST(FeatureTable, ANameOverTheLimitIsNotKept) {
    std::string text = "[SETUPTYPE]\r\nTOTAL=31\r\n";
    for (int i = 0; i < 31; ++i) text += "FeatureName" + std::to_string(i) + "=F" + std::to_string(i) + "\r\n";
    FeatureTable table = Table(text);
    EXPECT_EQ(kMaxFeatures, table.Count());
    EXPECT_EQ("F29", table.At(kMaxFeatures - 1).name);
    EXPECT_EQ(-1, table.Find("F30"));
    EXPECT_FALSE(table.Add("extra"));
    EXPECT_EQ(kMaxFeatures, table.Count());
}

TEST(FeatureTable, StateChangesTheLastEntryOfAName) {
    FeatureTable table = Table(kScript);
    EXPECT_EQ(2, table.Find("Help files"));
    EXPECT_TRUE(table.SetState("Help files", kFeatureNotInstalled));
    EXPECT_EQ(kFeatureInstalled, table.At(1).state);
    EXPECT_EQ(kFeatureNotInstalled, table.At(2).state);
    EXPECT_FALSE(table.SetState("help files", kFeatureNotInstalled));  // names compare exactly
    EXPECT_FALSE(table.SetState("Unknown", kFeatureNotInstalled));
}

TEST(FeatureTable, WhatTheInstallationSkips) {
    FeatureTable table = Table(kScript);
    table.SetState("Samples", kFeatureNotInstalled);
    struct Row {
        const char* feature;
        bool skipped;
    } rows[] = {
        {"", false},             // no feature: always installed
        {"Samples", true},       // known and not to be installed
        {"Program files", false},
        {"Unknown", false},      // not in the table: installed
        {"samples", false},      // another name
        {"Samples ", false},
    };
    for (const Row& row : rows) EXPECT_EQ(row.skipped, table.IsDeselected(row.feature)) << row.feature;

    table.SetState("Samples", kFeatureInstalled);
    EXPECT_FALSE(table.IsDeselected("Samples"));
}

TEST(FeatureTable, AnEmptyFeatureNameInTheTableStillInstalls) {
    FeatureTable table = Table("[SETUPTYPE]\r\nTOTAL=1\r\nFeatureName0=\r\n");
    ASSERT_EQ(1, table.Count());
    table.SetState("", kFeatureNotInstalled);
    EXPECT_FALSE(table.IsDeselected(""));
}

TEST(FeatureTexts, TreeItemsFromSetupFeatures) {
    IniText ini(kScript);
    EXPECT_EQ((std::vector<std::string>{"Program files", "Help files", "Samples"}), LoadFeatureTexts(Script(ini)));

    IniText many("[SETUPFEATURES]\r\nTOTAL=99\r\n0=first\r\n29=last\r\n30=beyond\r\n");
    std::vector<std::string> texts = LoadFeatureTexts(Script(many));
    ASSERT_EQ(static_cast<size_t>(kMaxFeatures), texts.size());
    EXPECT_EQ("first", texts.front());
    EXPECT_EQ("last", texts.back());
    EXPECT_EQ("", texts[1]);

    IniText none("[SETUPTYPE]\r\nTOTAL=2\r\n");
    EXPECT_TRUE(LoadFeatureTexts(Script(none)).empty());
}

TEST(FeatureDescriptions, EveryMatchInKeyOrder) {
    IniText ini(kScript);
    Script script(ini);
    struct Row {
        const char* text;
        std::vector<std::string> descriptions;
    } rows[] = {
        {"Program files", {"The program itself."}},
        {"Help files", {"Manual and examples.", "A second word on help."}},
        {"Samples", {""}},  // a feature without a description shows an empty one
        {"Unknown", {}},
        {"program files", {}},
        {"", {}},
    };
    for (const Row& row : rows) EXPECT_EQ(row.descriptions, FeatureDescriptions(script, row.text)) << row.text;
}

TEST(FeatureChoice, MenuCommandsStatesAndImages) {
    EXPECT_EQ(FeatureChoice::Install, FeatureChoiceFromCommand(32773));
    EXPECT_EQ(FeatureChoice::DoNotInstall, FeatureChoiceFromCommand(32774));
    EXPECT_EQ(FeatureChoice::None, FeatureChoiceFromCommand(0));  // the menu was closed without a choice
    EXPECT_EQ(FeatureChoice::None, FeatureChoiceFromCommand(32775));
    EXPECT_EQ(kFeatureInstalled, StateForChoice(FeatureChoice::Install));
    EXPECT_EQ(kFeatureNotInstalled, StateForChoice(FeatureChoice::DoNotInstall));
    EXPECT_EQ(0, ImageForState(kFeatureInstalled));
    EXPECT_EQ(1, ImageForState(kFeatureNotInstalled));
}

}  // namespace
}  // namespace kq
