// The decisions about other programs: who may install, what happens to an
// earlier installation, when file actions run, which merge modules run.
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/ini_text.h"
#include "run/eligibility.h"
#include "run/file_actions.h"
#include "run/merge_modules.h"

namespace kq {
namespace {

std::string ExpandForTest(const std::string& text) {
    std::string out = text;
    for (const auto& [token, value] : std::map<std::string, std::string>{
             {"<WindowsFolder>", "C:\\WINDOWS"}, {"<ProductCode>", "{AB12}"}, {"<SystemFolder>", "C:\\WINDOWS\\system32"},
             {"<InstallDir>", "C:\\Apps\\Notes\\"}}) {
        for (size_t at = out.find(token); at != std::string::npos; at = out.find(token, at + value.size()))
            out.replace(at, token.size(), value);
    }
    return out;
}

TEST(Eligibility, AdministratorRights) {
    struct Case {
        const char* a7;
        const char* programFiles;
        bool refused;
    };
    const Case cases[] = {
        {"Yes", "C:\\Program Files", false},  // an administrator
        {"Yes", "", true},                    // the probe could not read the folder
        {"yes", "", false},                   // only exactly "Yes" asks for the rights
        {"No", "", false},
        {"", "", false},
    };
    for (const Case& c : cases) {
        IniText ini(std::string("[APPINFO]\r\na7=") + c.a7 + "\r\n");
        EXPECT_EQ(LacksRequiredRights(Script(ini), c.programFiles), c.refused) << c.a7 << " / " << c.programFiles;
    }
}

TEST(Eligibility, ProductRunLockName) {
    const struct { const char* code; bool allSessions; const char* expected; } cases[] = {
        {"{5A0C7E21-93B4}", false, "Merrowin.{5A0C7E21-93B4}"},
        {"{5A0C7E21-93B4}", true, "Global\\Merrowin.{5A0C7E21-93B4}"},
        {"Acme\\Notes\\", true, "Global\\Merrowin.Acme_Notes_"},  // the namespace's backslash alone stays
        {"", true, ""},                                           // no code, no lock
    };
    for (const auto& c : cases) EXPECT_EQ(ProductRunLockName(c.code, c.allSessions), c.expected) << c.code;
}

TEST(Eligibility, PreviousInstallation) {
    // The machine: the product {AB12} installed in D:\Old\Notes, a folder
    // value under the current user without a trailing backslash.
    const std::map<std::string, std::string> registry = {
        {"2|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{AB12}|DisplayName", "Notes"},
        {"2|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{AB12}|LastInstallationPath", "D:\\Old\\Notes\\"},
        {"1|Software\\Acme\\Notes|Folder", "E:\\Notes"},
        {"2|Software\\Acme\\Notes|Folder", "F:\\Notes\\"},
        {"3|Software\\Acme|Folder", "G:\\Notes\\"},
    };
    RegistryLookup lookup = [&](RegistryRoot root, const std::string& key, const std::string& name) {
        auto found = registry.find(std::to_string(static_cast<int>(root) - 1) + "|" + key + "|" + name);
        return found == registry.end() ? std::string() : found->second;
    };
    struct Case {
        const char* script;
        bool removes;
        const char* folder;
    };
    const Case cases[] = {
        {"a26=New Installation\r\na29=Yes\r\na3={AB12}", true, ""},
        {"a26=New Installation\r\na29=Yes\r\na3={FFFF}", false, ""},  // nothing registered: nothing to run
        {"a26=New Installation\r\na29=No\r\na3={AB12}", false, ""},
        {"a26=Upgrade\r\na27=Auto-Detect\r\na3={AB12}", false, "D:\\Old\\Notes\\"},
        // No earlier install: the default folder stays (not a bare backslash).
        {"a26=Upgrade\r\na27=Auto-Detect\r\na3={FFFF}", false, ""},
        {"a26=Upgrade\r\na28=HKEY_CURRENT_USER\\Software\\Acme\\Notes\\Folder", false, "E:\\Notes\\"},
        {"a26=Upgrade\r\na28=HKEY_LOCAL_MACHINE\\Software\\Acme\\Notes\\Folder", false, "F:\\Notes\\"},
        {"a26=Upgrade\r\na28=HKEY_USERS\\Software\\Acme\\Folder", false, ""},  // only two roots are read
        {"a26=Upgrade\r\na28=Folder", false, ""},                              // no backslash: nothing read
        {"a26=Upgrade\r\na28=HKEY_CURRENT_USER\\Software\\Acme\\Notes\\Missing", false, ""},
        {"a26=Other\r\na29=Yes\r\na3={AB12}", false, ""},
    };
    for (const Case& c : cases) {
        IniText ini(std::string("[APPINFO]\r\n") + c.script + "\r\n");
        const PreviousInstallDecision plan = DecidePreviousInstallation(Script(ini), lookup, &ExpandForTest);
        EXPECT_EQ(plan.removeEarlier, c.removes) << c.script;
        EXPECT_EQ(plan.folder, c.folder) << c.script;
        if (plan.removeEarlier) {
            EXPECT_EQ(plan.runner, "C:\\WINDOWS\\kqexec.exe");
            EXPECT_EQ(plan.arguments, " \"/S\" {AB12}");
        }
    }
}

// Records what the table asks for; the mask 1 and the condition "never"
// refuse an action.
class RecordingMachine : public FileActionMachine {
public:
    bool Admits(int32_t programMask, const std::string& condition) override {
        return programMask != 1 && condition != "never";
    }
    void StartProgram(const std::string& program, const std::string& arguments, bool wait) override {
        log.push_back("start " + program + " [" + arguments + "]" + (wait ? " wait" : ""));
    }
    void CallLibrary(const std::string& file, const std::string& function) override {
        log.push_back("call " + file + " " + function);
    }
    std::vector<std::string> log;
};

TEST(FileActions, MomentsAndFlags) {
    const char* script =
        "[FILEACTION]\r\nTOTAL=8\r\n"
        "B0=<InstallDir>tool.EXE\r\nC0=/x\r\nE0=License Agreement\r\nG0=Yes\r\nH0=Yes\r\nL0=127\r\n"
        "B1=C:\\hook.dll\r\nC1=Hook\r\nE1=License Agreement\r\nL1=127\r\n"
        "B2=http://example.test/get.exe\r\nE2=After Click Finish Button\r\nL2=127\r\n"
        "B3=http://example.test/page.html\r\nE3=After Click Finish Button\r\nL3=127\r\n"
        "B4=C:\\once-skipped.exe\r\nE4=Install Welcome\r\nG4=Yes\r\nL4=1\r\n"
        "B5=C:\\never.exe\r\nE5=mypage.lcd\r\nL5=127\r\nM5=never\r\n"
        "B6=C:\\start.exe\r\nE6=Installation Start\r\nL6=127\r\n"
        "B7=C:\\later.exe\r\nE7=mypage.lcd\r\nL7=127\r\n";
    IniText ini(script);
    FileActionTable table;
    table.Load(Script(ini), &ExpandForTest);
    ASSERT_EQ(table.Count(), 8);

    struct Step {
        const char* page;
        std::vector<std::string> log;
    };
    const Step steps[] = {
        {"start.lcd", {"start C:\\start.exe []"}},
        {"license.lcd", {"start C:\\Apps\\Notes\\tool.EXE [/x] wait", "call C:\\hook.dll Hook"}},
        // Back to the page: the "once" program does not run again, the library does.
        {"license.lcd", {"call C:\\hook.dll Hook"}},
        // A once-action its mask skipped is not tried again either.
        {"welcome.lcd", {}},
        {"welcome.lcd", {}},
        // A layout file name of the author's own; the condition holds back one.
        {"mypage.lcd", {"start C:\\later.exe []"}},
        // The web address with ".exe" opens; the one without does nothing.
        {"After Click Finish Button", {"start http://example.test/get.exe []"}},
        {"", {}},
    };
    RecordingMachine machine;
    for (const Step& step : steps) {
        machine.log.clear();
        const int ran = table.RunFor(step.page, machine);
        EXPECT_EQ(machine.log, step.log) << step.page;
        EXPECT_EQ(ran, static_cast<int>(step.log.size())) << step.page;
    }
}

TEST(FileActions, MomentNamesAndFileKinds) {
    const std::pair<const char*, const char*> moments[] = {
        {"Installation Start", "start.lcd"},        {"Install Welcome", "welcome.lcd"},
        {"License Agreement", "license.lcd"},       {"Readme Dialog", "readme.lcd"},
        {"Customer Information", "customer.lcd"},   {"Destination Folder", "destination.lcd"},
        {"Setup Type", "setuptype.lcd"},            {"Custom Setup", "customsetup.lcd"},
        {"Ready to Install", "ready.lcd"},          {"Setup Progress", "progress.lcd"},
        {"Setup Complete", "complete.lcd"},         {"After Click Finish Button", "After Click Finish Button"},
        {"install welcome", "install welcome"},     {"extra.lcd", "extra.lcd"},
    };
    for (const auto& [moment, file] : moments) EXPECT_EQ(MomentLayoutFile(moment), file) << moment;

    const std::pair<const char*, FileActionKind> kinds[] = {
        {"C:\\a.exe", FileActionKind::kProgram},  {"C:\\A.DLL", FileActionKind::kLibrary},
        {"C:\\a.dll.exe", FileActionKind::kProgram}, {"C:\\a.bat", FileActionKind::kNone},
        {"", FileActionKind::kNone},
    };
    for (const auto& [file, kind] : kinds) EXPECT_EQ(ClassifyActionFile(file), kind) << file;
}

TEST(FileActions, ListIsBounded) {
    IniText ini("[FILEACTION]\r\nTOTAL=99999\r\nB0=C:\\a.exe\r\n");
    FileActionTable table;
    table.Load(Script(ini), &ExpandForTest);
    EXPECT_EQ(table.Count(), kMaxFileActions);
}

TEST(MergeModules, Plan) {
    const char* script =
        "[MERGEMODULES]\r\nTOTAL=5\r\n"
        "C0=<ResourceDir>\\vcredist.exe\r\nD0=/q\r\nE0=127\r\nG0=No Condition\r\n"
        "C1=C:\\other.bat\r\nE1=127\r\n"                     // no program, the installer still runs
        "C2=C:\\skipped.exe\r\nE2=127\r\nF2=Extras\r\n"      // a feature not installed: neither runs
        "C3=C:\\masked.exe\r\nE3=0\r\n"                      // masked off: neither runs
        "C4=C:\\held.exe\r\nE4=127\r\nG4=never\r\n";         // the condition holds both back
    IniText ini(script);
    const std::vector<MergeModuleItem> items = LoadMergeModules(Script(ini));
    ASSERT_EQ(items.size(), 5u);

    struct Case {
        std::vector<std::string> present;
        std::vector<std::string> runs;
    };
    // Quoted: the system folder's path may hold a blank, and the start of an
    // unquoted one names another program.
    const std::string msiexec = "\"C:\\WINDOWS\\system32\\msiexec.exe\" /i ";
    const Case cases[] = {
        {{}, {"C:\\pkg\\SupportFiles\\vcredist.exe [/q]"}},
        {{"C:\\pkg\\SupportFiles\\mergemod.msi"},
         {"C:\\pkg\\SupportFiles\\vcredist.exe [/q]", "msi " + msiexec + "\"C:\\pkg\\SupportFiles\\mergemod.msi\" /q",
          "msi " + msiexec + "\"C:\\pkg\\SupportFiles\\mergemod.msi\" /q"}},
        // The one beside setup.exe wins.
        {{"C:\\pkg\\SupportFiles\\mergemod.msi", "C:\\pkg\\mergemod.msi"},
         {"C:\\pkg\\SupportFiles\\vcredist.exe [/q]", "msi " + msiexec + "\"C:\\pkg\\mergemod.msi\" /q",
          "msi " + msiexec + "\"C:\\pkg\\mergemod.msi\" /q"}},
    };
    for (const Case& c : cases) {
        MergeModuleContext context;
        context.sourceFolder = "C:\\pkg\\";
        context.maskAdmits = [](int32_t mask) { return mask != 0; };
        context.featureInstalled = [](const std::string& feature) { return feature != "Extras"; };
        context.conditionMet = [](const std::string& condition) { return condition != "never"; };
        context.fileExists = [&](const std::string& path) {
            for (const std::string& p : c.present) if (p == path) return true;
            return false;
        };
        context.expand = &ExpandForTest;
        std::vector<std::string> runs;
        for (const MergeModuleRun& run : ListMergeModuleRuns(items, context))
            runs.push_back(run.systemInstaller ? "msi " + run.program : run.program + " [" + run.arguments + "]");
        EXPECT_EQ(runs, c.runs) << c.present.size();
    }
}

}  // namespace
}  // namespace kq
