// What the next run finds of a run killed after its final record was in
// place, on a real (Wine) registry and file system.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "record/install_record.h"
#include "record/interrupted_runs_win.h"
#include "record/uninstall_log.h"
#include "test_files_win.h"
#include "win/registry_win.h"

namespace kq {
namespace {

const char kProductCode[] = "{3F6A2B10-7C4D-4E8F-9A01-C0DE5A1DE000}";
const char kRunsKey[] = "Software\\Merrowin\\Runs";

std::string MaintenanceFolder() {
    char windows[MAX_PATH] = "";
    ::GetWindowsDirectoryA(windows, sizeof(windows));
    return std::string(windows) + "\\Installer\\" + kProductCode + "\\";
}

bool Listed() {
    CKey runs;
    return runs.Open(HKEY_LOCAL_MACHINE, kRunsKey, KEY_READ) == ERROR_SUCCESS &&
           ::RegQueryValueExA(runs, kProductCode, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// A run killed around the copy it keeps of a file it replaces, as the next
// run finds it: the file ends as it should, the copy is gone (a copy not
// named as a run names one stays), the earlier log is back where the run
// had not written its own, and the run leaves the list.
TEST(InterruptedRunsTest, TheCopiesARunKeptAreSettled) {
    enum Lines { kTemp = 1, kAside = 2 };
    const struct {
        const char* when;
        bool committed;
        int lines;
        const char* fileAtKill;
        bool logWritten;
        const char* fileAfter;
        const char* logAfter;
    } cases[] = {
        {"while the copy was made", false, kTemp, "the machine's", true, "the machine's", "the earlier log"},
        {"while the file was replaced", false, kTemp | kAside, "the r", true, "the machine's", "the earlier log"},
        {"after the commit", true, kAside, "the run's", true, "the run's", "the run's log"},
        {"after a commit, the earlier log not reached", true, kAside, "the run's", false, "the run's",
         "the earlier log"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.when);
        std::string folder;
        MakeFreshTempFolder("kqaside", &folder);
        const std::string maintenance = MaintenanceFolder();
        RemoveTree(maintenance);
        ::CreateDirectoryA(maintenance.substr(0, maintenance.find('{') - 1).c_str(), nullptr);
        ASSERT_TRUE(::CreateDirectoryA(maintenance.c_str(), nullptr)) << maintenance;
        const std::string replaced = folder + "b.dll", copy = folder + "kq1a.tmp", mine = folder + "mine.txt";
        WriteText(replaced, c.fileAtKill);
        WriteText(copy, c.lines & kAside ? "the machine's" : "the mach");
        WriteText(mine, "the user's");
        std::string record = c.committed ? FormatRecord({}) : FormatRecordInProgress(folder);
        if (c.lines & kTemp) record += FormatTemporaryLine(copy);
        if (c.lines & kAside) record += FormatSetAsideLine({replaced, copy});
        record += FormatSetAsideLine({folder + "c.dll", mine});
        WriteText(maintenance + kInstallRecordName, record);
        const std::string log = maintenance + kUninstallLogName;
        WriteText(log + ".earlier", "the earlier log");
        if (c.logWritten) WriteText(log, "the run's log");
        CKey runs;
        ASSERT_EQ(runs.Create(HKEY_LOCAL_MACHINE, kRunsKey, KEY_SET_VALUE), ERROR_SUCCESS);
        ASSERT_EQ(runs.SetString(kProductCode, "Aside"), ERROR_SUCCESS);
        runs.Close();

        const auto rolledBack = RollBackInterruptedRuns([](const std::string& code) { return code == kProductCode; });

        EXPECT_EQ(rolledBack.size(), c.committed ? 0u : 1u);
        EXPECT_FALSE(Listed());
        EXPECT_FALSE(Exists(copy));
        EXPECT_EQ(ReadText(replaced), c.fileAfter);
        EXPECT_EQ(ReadText(mine), "the user's");
        EXPECT_EQ(ReadText(log), c.logAfter);
        EXPECT_FALSE(Exists(log + ".earlier"));
        RemoveTree(folder);
        RemoveTree(maintenance);
    }
}

}  // namespace
}  // namespace kq
