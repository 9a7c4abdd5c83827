#include "wizard/page_list.h"

#include <gtest/gtest.h>

#include "base/ini_text.h"
#include "run/script.h"

namespace kq {
namespace {

PageList Pages(const std::string& dialogList) {
    IniText ini("[DIALOGLIST]\r\n" + dialogList);
    return LoadPageList(Script(ini));
}

const char kFullList[] =
    "TOTAL1=6\r\nW0=welcome.lcd\r\nW1=setuptype.lcd\r\nW2=customsetup.lcd\r\n"
    "W3=ready.lcd\r\nW4=progress.lcd\r\nW5=complete.lcd\r\n";

TEST(PageList, ReadsCountAndNamesInOrder) {
    PageList pages = Pages(kFullList);
    ASSERT_EQ(6, pages.Count());
    EXPECT_EQ("welcome.lcd", pages.FileAt(0));
    EXPECT_EQ("complete.lcd", pages.FileAt(5));
    EXPECT_EQ("", pages.FileAt(-1));
    EXPECT_EQ("", pages.FileAt(6));
}

// An empty list is a damaged package: no page would ever lead to the
// installation.
TEST(PageList, AwkwardCounts) {
    struct Row { const char* list; int count; const char* second; bool damaged; } rows[] = {
        {"", 0, "", true},                                   // no section: empty list
        {"TOTAL1=abc\r\nW0=a.lcd\r\n", 0, "", true},         // not a number
        {"TOTAL1=-3\r\nW0=a.lcd\r\n", 0, "", true},          // negative
        {"TOTAL1=3\r\nW0=a.lcd\r\nW2=c.lcd\r\n", 3, "", false},  // a gap reads as an empty name
        {"TOTAL1=2x\r\nW0=a.lcd\r\nW1=b.lcd\r\n", 2, "b.lcd", false},
        {"TOTAL=2\r\nW0=a.lcd\r\nW1=b.lcd\r\n", 0, "", true},   // the key is TOTAL1
    };
    for (const Row& row : rows) {
        PageList pages = Pages(row.list);
        EXPECT_EQ(row.count, pages.Count()) << row.list;
        EXPECT_EQ(row.second, pages.FileAt(1)) << row.list;
        const std::string problem = PageListProblem(pages);
        EXPECT_EQ(!problem.empty(), row.damaged) << row.list;
        if (row.damaged) {
            EXPECT_NE(problem.find("DIALOGLIST"), std::string::npos) << problem;
        }
    }
}

TEST(PageList, HugeCountIsCutAtTheTableSize) {
    PageList pages = Pages("TOTAL1=4000000000\r\nW19=last.lcd\r\nW20=beyond.lcd\r\n");
    ASSERT_EQ(kMaxPages, pages.Count());
    EXPECT_EQ("last.lcd", pages.FileAt(kMaxPages - 1));
}

TEST(Navigation, TypicalAndMinimalSkipTheCustomPageBothWays) {
    PageList pages = Pages(kFullList);
    for (SetupType type : {SetupType::Typical, SetupType::Minimal}) {
        EXPECT_EQ(3, NextPageIndex(pages, 1, type));  // setuptype -> ready
        EXPECT_EQ(1, BackPageIndex(pages, 3, type));  // ready -> setuptype
    }
}

TEST(Navigation, CustomAndUnsetVisitEveryPage) {
    PageList pages = Pages(kFullList);
    for (SetupType type : {SetupType::Custom, SetupType::Unset}) {
        EXPECT_EQ(2, NextPageIndex(pages, 1, type));
        EXPECT_EQ(2, BackPageIndex(pages, 3, type));
    }
}

TEST(Navigation, EdgesOfTheList) {
    PageList pages = Pages(kFullList);
    EXPECT_EQ(0, NextPageIndex(pages, -1, SetupType::Unset));  // from the start page
    EXPECT_EQ(0, BackPageIndex(pages, 0, SetupType::Unset));   // Back on the first page stays
    EXPECT_EQ(0, BackPageIndex(pages, -1, SetupType::Typical));
    EXPECT_EQ(6, NextPageIndex(pages, 5, SetupType::Unset));   // past the end: caller's business
}

TEST(Navigation, CommandClassification) {
    struct Row { const char* name; int action; bool stopped; WizardAction expected; } rows[] = {
        {"IDC_FINISH", 0, false, WizardAction::Finish},
        {"IDC_FINISH", 0, true, WizardAction::Finish},  // obeyed after a stop
        {"IDC_NEXT", 0, true, WizardAction::None},
        {"IDC_BACK", 0, false, WizardAction::Back},
        {"IDC_NEXT", 0, false, WizardAction::Next},
        {"IDC_PICTURE1", 1, false, WizardAction::Next},  // a picture acting as Next
        {"IDC_PICTURE1", 2, false, WizardAction::Back},
        {"IDC_BUTTON3", 0, false, WizardAction::None},
        {"idc_next", 0, false, WizardAction::None},  // names are exact
        {"", 0, false, WizardAction::None},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.expected, ClassifyWizardCommand(row.name, row.action, row.stopped)) << row.name;
}

TEST(Navigation, DisplayNamesOfStandardPages) {
    EXPECT_EQ("setuptype.lcd", PageFileFromDisplayName("Setup Type"));
    EXPECT_EQ("start.lcd", PageFileFromDisplayName("Installation Start"));
    EXPECT_EQ("complete.lcd", PageFileFromDisplayName("Setup Complete"));
    EXPECT_EQ("mine.lcd", PageFileFromDisplayName("mine.lcd"));
    EXPECT_EQ("setup type", PageFileFromDisplayName("setup type"));
}

}  // namespace
}  // namespace kq
