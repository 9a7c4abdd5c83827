#include "steps/install_reporter.h"

#include <gtest/gtest.h>

namespace kq {
namespace {

TEST(DownloadReport, SplitsPercentTimeAndDetail) {
    struct Row { const char* report; int percent; const char* timeLeft; const char* detail; } rows[] = {
        {"42,00:01:10,setup.zip", 42, "00:01:10", "setup.zip"},
        {"100,0 sec,a,b,c", 100, "0 sec", "a,b,c"},  // the detail keeps its commas
        {"250,x,y", 100, "x", "y"},                    // percent clamped
        {"-5,x,y", 0, "x", "y"},
        {"abc,x,y", 0, "x", "y"},
        {"7", 7, "", ""},
        {"7,only time", 7, "only time", ""},
        {"", 0, "", ""},
        {",,", 0, "", ""},
    };
    for (const Row& row : rows) {
        DownloadReport parsed = ParseDownloadReport(row.report);
        EXPECT_EQ(row.percent, parsed.percent) << row.report;
        EXPECT_EQ(row.timeLeft, parsed.timeLeft) << row.report;
        EXPECT_EQ(row.detail, parsed.detail) << row.report;
    }
}

TEST(DownloadReport, StatusLineShowsTimeLeftOnlyWithATotal) {
    struct Row { const char* report; bool totalKnown; const char* line; } rows[] = {
        {"42,2 min,readme.txt", true, "Estimated time left: 2 min - readme.txt"},
        // No Content-Length: the amount received and the rate, no estimate.
        {"-1,1.5 KB received,2.50 KB/Sec", false, "1.5 KB received - 2.50 KB/Sec"},
    };
    for (const Row& row : rows) {
        DownloadReport parsed = ParseDownloadReport(row.report);
        EXPECT_EQ(row.totalKnown, parsed.totalKnown) << row.report;
        EXPECT_EQ(row.line, DownloadStatusLine(parsed)) << row.report;
    }
}

}  // namespace
}  // namespace kq
