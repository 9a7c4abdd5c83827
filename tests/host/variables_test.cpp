// The author's variables: reading the section, each source kind with its
// fallbacks, the wait window, and the run's expansions seeing the values.
#include "run/variables.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/ini_text.h"
#include "fake_machines.h"
#include "run/script.h"
#include "run/setup_run.h"

namespace kq {
namespace {

using fakes::FakeVariableMachine;

// One variable "<V>" with default "dflt" and the given columns.
std::string Section(const std::string& columns) {
    return "[VARIABLES]\nTOTAL=1\nA0=<V>\nB0=dflt\nC0=about\n" + columns;
}

const VariableExpand kExpand = [](const std::string& text, const UserVariableTable&) {
    std::string out = text;
    size_t at = out.find("<Win>");
    if (at != std::string::npos) out.replace(at, 5, "C:\\WINDOWS");
    return out;
};

TEST(Variables, EachSourceAndItsFallback) {
    struct Row { const char* name; std::string columns; const char* value; std::vector<std::string> calls; } rows[] = {
        {"nowhere gives the default", "D0=Nowhere\n", "dflt", {}},
        {"registry value", "D0=Registry\nE0=HKEY_LOCAL_MACHINE\nF0=Software\\Acme\nG0=Path\n", "C:\\Acme",
         {"registry HKEY_LOCAL_MACHINE\\Software\\Acme:Path"}},
        {"empty registry value falls back", "D0=Registry\nE0=HKEY_CURRENT_USER\nF0=Software\\None\nG0=x\n", "dflt",
         {"registry HKEY_CURRENT_USER\\Software\\None:x"}},
        {"lower-case root reads nothing", "D0=Registry\nE0=hkey_local_machine\nF0=Software\\Acme\nG0=Path\n", "dflt",
         {}},
        {"ini value of an existing file, expanded path", "D0=INI Files\nH0=<Win>\\app.ini\nI0=S\nJ0=k\n", "ini-value",
         {"exists C:\\WINDOWS\\app.ini", "ini C:\\WINDOWS\\app.ini[S]k"}},
        {"empty ini value falls back", "D0=INI Files\nH0=<Win>\\app.ini\nI0=S\nJ0=empty\n", "dflt",
         {"exists C:\\WINDOWS\\app.ini", "ini C:\\WINDOWS\\app.ini[S]empty"}},
        {"missing ini file is not read", "D0=INI Files\nH0=C:\\none.ini\nI0=S\nJ0=k\n", "dflt",
         {"exists C:\\none.ini"}},
        {"found folder, with the wait window", "D0=Find File/Folder\nL0=<Win>\nB0=unused\n", "TRUE",
         {"wait shown", "exists C:\\WINDOWS", "wait closed"}},
        {"missing file", "D0=Find File/Folder\nL0=C:\\nothing\n", "FALSE",
         {"wait shown", "exists C:\\nothing", "wait closed"}},
        {"web text", "D0=Retrive from Web\nO0=http://h/<Win>\n", "from web",
         {"wait shown", "fetch http://h/C:\\WINDOWS", "wait closed"}},
        {"empty web answer falls back", "D0=Retrive from Web\nO0=http://h/none\n", "dflt",
         {"wait shown", "fetch http://h/none", "wait closed"}},
        {"window found by class, empty title passed as is", "D0=Find Window\nP0=Shell_TrayWnd\n", "TRUE",
         {"window Shell_TrayWnd|"}},
        {"window not found", "D0=Find Window\nP0=None\nQ0=<Win>\n", "FALSE", {"window None|C:\\WINDOWS"}},
        {"kind in another letter case gives nothing", "D0=registry\nE0=HKEY_LOCAL_MACHINE\nF0=Software\\Acme\nG0=Path\n",
         "", {}},
        {"no kind gives nothing", "", "", {}},
    };
    for (const Row& row : rows) {
        IniText ini(Section(row.columns));
        FakeVariableMachine machine;
        machine.registry["Software\\Acme:Path"] = "C:\\Acme";
        machine.paths = {"C:\\WINDOWS\\app.ini", "C:\\WINDOWS"};
        machine.ini = {{"k", "ini-value"}, {"empty", ""}};
        machine.web["http://h/C:\\WINDOWS"] = "from web";
        UserVariableTable table = ComputeVariables(ReadVariableSpecs(Script(ini)), kExpand, machine);
        ASSERT_EQ(1u, table.size()) << row.name;
        EXPECT_EQ("<V>", table[0].name) << row.name;
        EXPECT_EQ("about", table[0].description) << row.name;
        EXPECT_EQ(row.value, table[0].value) << row.name;
        EXPECT_EQ(row.calls, machine.calls) << row.name;
    }
}

TEST(Variables, SectionLimits) {
    struct Row { const char* name; std::string script; size_t count; } rows[] = {
        {"no section", "", 0},
        {"TOTAL 0", "[VARIABLES]\nTOTAL=0\nA0=<V>\n", 0},
        {"negative TOTAL", "[VARIABLES]\nTOTAL=-4\n", 0},
        {"TOTAL beyond the table", "[VARIABLES]\nTOTAL=999999\n", kMaxUserVariables},
    };
    for (const Row& row : rows) {
        IniText ini(row.script);
        EXPECT_EQ(row.count, ReadVariableSpecs(Script(ini)).size()) << row.name;
    }
    IniText ini("[VARIABLES]\nTOTAL=1\nA0=" + std::string(150, 'n') + "\n");
    EXPECT_EQ(std::string(99, 'n'), ReadVariableSpecs(Script(ini))[0].name);
}

// The slow sources share one wait window, shown at the first of them.
TEST(Variables, OneWaitWindowForAllSlowSources) {
    IniText ini("[VARIABLES]\nTOTAL=3\nD0=Nowhere\nD1=Find File/Folder\nL1=x\nD2=Retrive from Web\nO2=y\n");
    FakeVariableMachine machine;
    ComputeVariables(ReadVariableSpecs(Script(ini)), kExpand, machine);
    const std::vector<std::string> calls = {"wait shown", "exists x", "fetch y", "wait closed"};
    EXPECT_EQ(calls, machine.calls);
}

// Page texts, questions and the launch offers all expand through the run:
// after the variables are set they see them, the first of equal names wins.
TEST(Variables, RunExpansionsSeeThem) {
    IniText ini("[DIALOGLIST]\nCT10=<Tools>\\run.exe\n");
    SetupRun run;
    run.LoadSettings(Script(ini), "");
    EXPECT_EQ("<Tools>\\run.exe", run.Settings().launchProgram);
    run.SetVariables({{"<Tools>", "", "C:\\T"}, {"<Tools>", "", "C:\\Later"}});
    EXPECT_EQ("C:\\T\\run.exe", run.ExpandLaunchTargets().program);
    EXPECT_EQ("at C:\\T", run.Expand("at <Tools>"));
    InstallSnapshot snapshot = run.MakeInstallSnapshot();
    ASSERT_EQ(2u, snapshot.variables.size());
    EXPECT_EQ("C:\\T", snapshot.variables[0].value);
}

}  // namespace
}  // namespace kq
