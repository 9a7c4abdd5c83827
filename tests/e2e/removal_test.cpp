// Removal and rollback leave the machine as it was: each case compares
// snapshots of the prefix (prefix_snapshot.h) from before the install and
// after the removal or the failed run.
//
// kqexec is started through a batch file: Wine's own quoting of a command
// line turns "/S" into \"/S\".
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <thread>
#include <tuple>

#include "kqexec/runner_exit_codes.h"
#include "pe_imports.h"
#include "prefix_snapshot.h"
#include "setup_fixture.h"

namespace kq::e2e {
namespace {

const char kProductCode[] = "{5D1E7A20-4C3B-4F6E-8A90-1B2C3D4E5F60}";
const char kInstallDir[] = "C:\\Program Files\\Northwind Notes\\";
const char kUninstallKey[] =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{5D1E7A20-4C3B-4F6E-8A90-1B2C3D4E5F60}";

// The class key comprobe.dll registers.
const char kProbeClass[] = "HKCR\\CLSID\\{8C0D4A52-6E1B-4F7A-9D3C-2B5E7F9A1C44}";

class RemovalTest : public SetupTest {
protected:
    void SetUp() override {
        for (const char* tool : {"tools/kqexec/kqexec.exe", "tools/comprobe/comprobe.dll"}) {
            if (!fs::exists(WinBuildFile(tool))) GTEST_SKIP() << tool << " is not built";
        }
        if (!fs::exists(HarnessPaths::SourceDir() / "sample" / "theme" / "progress.lcd"))
            GTEST_SKIP() << "no sample theme to lay out the pages";
        SetupTest::SetUp();
    }

    static fs::path WinBuildFile(const std::string& relative) { return HarnessPaths::WinBuildDir() / relative; }

    // The package of the system-changes cases with every kind of change
    // this case needs on top: a shared file and a kept one in the system
    // folder, a value over an existing one, an association of an existing
    // extension and class, a self-registering server.
    fs::path NotesPackage(int extraFiles = 0) {
        fs::path authoring = CopyAuthoring("system");
        AddFiles(authoring, extraFiles);
        fs::create_directories(authoring / "files" / "bin");
        fs::copy_file(Kqexec(), authoring / "files" / "bin" / "notes.exe");
        fs::copy_file(WinBuildFile("tools/comprobe/comprobe.dll"), authoring / "files" / "bin" / "comprobe.dll");
        fs::create_directories(authoring / "files" / "sys");
        WriteFile(authoring / "files" / "sys" / "nwcommon.dll", "shared by Northwind programs");
        WriteFile(authoring / "files" / "sys" / "nwkept.dll", "the package's older copy");
        fs::create_directories(authoring / "support");
        fs::copy_file(HarnessPaths::SourceDir() / "src" / "app" / "res" / "setup.ico", authoring / "support" / "editor.ico");
        fs::copy_file(HarnessPaths::SourceDir() / "src" / "layout" / "res" / "info.ico", authoring / "support" / "note.ico");

        std::string list = ReadFile(authoring / "data.inf");
        list += "files\\bin\\comprobe.dll\r\nDestination Computer\\<InstallDir>bin\\*128*0*0|\r\n";  // registered
        list += "files\\sys\\nwcommon.dll\r\nDestination Computer\\<SystemFolder>\\*0*0*0|\r\n";
        list += "files\\sys\\nwkept.dll\r\nDestination Computer\\<SystemFolder>\\*32*0*0|\r\n";
        WriteFile(authoring / "data.inf", list);

        std::string script = ReadFile(authoring / "setup.inf");
        auto replace = [&script](const std::string& from, const std::string& to) {
            size_t at = script.find(from);
            ASSERT_NE(at, std::string::npos) << from;
            script.replace(at, from.size(), to);
        };
        replace("[REGISTRYKEYS]\nTOTAL=2\n", "[REGISTRYKEYS]\nTOTAL=3\n2=HKEY_CURRENT_USER\\Software\\Northwind\\Shared\\\n");
        replace("[REGISTRY]\nTOTAL=4\n",
                "[REGISTRY]\nTOTAL=5\nA4=HKEY_CURRENT_USER\\Software\\Northwind\\Shared\\\nB4=Mode\nC4=installed\nD4=String\n");
        replace("[EXTKQ]\nTOTAL=1\n",
                "[EXTKQ]\nTOTAL=2\nB1=<InstallDir>bin\\notes.exe\nC1=.txt\nD1=txtfile\nE1=Northwind text\nG1=\"%1\"\nH1=\n");
        WriteFile(authoring / "setup.inf", script);

        return BuildInto(authoring, "pkg", "cab", {"--support", Kqexec().string()});
    }

    // `count` files of 8 KB that do not pack well, to "<InstallDir>many".
    static void AddFiles(const fs::path& authoring, int count) {
        if (count == 0) return;
        fs::create_directories(authoring / "files" / "many");
        std::string list = ReadFile(authoring / "data.inf");
        uint32_t state = 12345;
        for (int i = 0; i < count; ++i) {
            std::string data(8192, '\0');
            for (char& c : data) c = static_cast<char>((state = state * 1103515245u + 12345u) >> 24);
            const std::string name = "f" + std::to_string(i) + ".bin";
            WriteFile(authoring / "files" / "many" / name, data);
            list += "files\\many\\" + name + "\r\nDestination Computer\\<InstallDir>many\\*0*0*0|\r\n";
        }
        WriteFile(authoring / "data.inf", list);
    }

    // The machine before setup: a user PATH, a value the package overwrites,
    // a newer copy of a system DLL the package keeps, a desktop inside the
    // prefix.
    void PrepareMachine(bool legacyService) {
        fs::path desktop = Session().TempDir().parent_path() / "Desktop";
        std::error_code error;
        if (fs::is_symlink(desktop, error)) fs::remove(desktop);
        fs::create_directories(desktop);
        Reg({"add", "HKCU\\Environment", "/v", "PATH", "/d", "C:\\Tools", "/f"});
        Reg({"add", "HKCU\\Software\\Northwind\\Shared", "/v", "Mode", "/d", "user", "/f"});
        WriteFile(SystemFolder() / "nwkept.dll", "the machine's newer copy");
        if (legacyService) {
            ProcessResult legacy =
                Session().Run("sc", {"create", "NorthwindLegacy", "binPath=", "C:\\Legacy\\legacy.exe"});
            ASSERT_EQ(legacy.exitCode, EXIT_SUCCESS) << legacy.output << legacy.errors;
        }
    }

    // The package made and installed, without questions, on a machine
    // prepared without the legacy service; the package's folder. Each step
    // is taken only when the ones before it did not fail.
    fs::path InstallOnPreparedMachine() {
        fs::path package = NotesPackage();
        if (HasFailure()) return package;
        PrepareMachine(false);
        if (!HasFailure()) Install(package);
        return package;
    }

    void Reg(const std::vector<std::string>& args) {
        ProcessResult result = Session().Run("reg", args);
        ASSERT_EQ(result.exitCode, EXIT_SUCCESS) << result.output << result.errors;
    }

    fs::path SystemFolder() { return Session().DriveC() / "windows" / "system32"; }

    // Setup runs without questions and ends by itself; `answer` answers a
    // service question when one comes (a Cancel then ends on the failure
    // page, which is left with Finish). Its exit code, -1 when it did not end.
    int Install(const fs::path& package, const char* answer = nullptr) {
        int setup = StartSetup(package);
        bool answered = false;
        bool ended = WaitUntil(Millis(90000), [&] {
            if (!Session().IsRunning(setup)) return true;
            if (answered) Session().Driver({"click", "--title", "Northwind Notes Setup", "--exact", "--text", "Finish"});
            std::optional<WindowInfo> box = Session().WaitWindow({"--contains", "can't install"}, Millis(200));
            if (box) {
                if (answer == nullptr) ADD_FAILURE() << "unexpected question: " << box->AllText();
                Session().Driver({"click", "--contains", "can't install", "--text", answer ? answer : "Ignore"});
                answered = true;
            }
            return false;
        });
        EXPECT_TRUE(ended) << "setup.exe did not end";
        return ended ? Session().Wait(Millis(5000), setup).exitCode : -1;
    }

    // kqexec.exe (`program`) with `arguments` (words without spaces); its
    // exit code. Started directly: through "start" in a batch file, a
    // runner that is not there gave 1, the runner's "declined".
    int RunKqexec(const std::string& arguments, const std::string& program = "C:\\windows\\kqexec.exe") {
        ProcessResult result = Session().Run(program, Words(arguments), {}, Millis(90000));
        EXPECT_FALSE(result.timedOut) << "kqexec did not end";
        return result.exitCode;
    }

    // The same, started without waiting: the case answers its windows.
    int StartKqexec(const std::string& arguments) {
        return Session().Start("C:\\windows\\kqexec.exe", Words(arguments), {}, Millis(120000));
    }

    static std::vector<std::string> Words(const std::string& text) {
        std::istringstream in(text);
        std::vector<std::string> words;
        for (std::string word; in >> word;) words.push_back(word);
        return words;
    }

    void Answer(const char* contains, const char* button) {
        ASSERT_TRUE(Session().WaitWindow({"--contains", contains}, Millis(20000)).has_value())
            << "no window with " << contains << "; on the screen:\n" << Screen();
        ASSERT_TRUE(Click({"--contains", contains}, button));
    }

    Snapshot Take() { return TakeSnapshot(Session()); }

    bool UninstallKeyExists() { return Session().Run("reg", {"query", kUninstallKey}).exitCode == EXIT_SUCCESS; }
};

// Every kind of change, then a silent removal with "/S" after the code (as
// Windows runs QuietUninstallString): everything setup made is gone,
// everything it changed is as it was, and the file the user changed stays
// with its folders. The server is registered and unregistered by the
// system's regsvr32.exe, never by one of that name beside setup.exe or in
// the runner's current folder.
TEST_F(RemovalTest, RemovalLeavesTheMachineAsItWas) {
    fs::path package = NotesPackage();
    ASSERT_FALSE(HasFailure());
    PrepareMachine(false);
    ASSERT_FALSE(HasFailure());
    const fs::path plant = WinBuildFile("tests/win/plant_marker.exe");
    ASSERT_TRUE(fs::exists(plant)) << "not built: " << plant;
    for (const fs::path& folder : {package, Session().DriveC()}) fs::copy_file(plant, folder / "regsvr32.exe");
    const fs::path markers = Session().DriveC() / "markers";
    fs::create_directories(markers);
    Session().SetEnvironment("KQ_PLANT_MARKERS", "C:\\markers");
    const Snapshot before = Take();

    const int installed = Install(package);
    ASSERT_FALSE(HasFailure());
    ASSERT_TRUE(UninstallKeyExists()) << "setup's exit code " << installed;
    EXPECT_EQ(ReadFile(SystemFolder() / "nwkept.dll"), "the machine's newer copy");
    EXPECT_EQ(ReadFile(SystemFolder() / "nwcommon.dll"), "shared by Northwind programs");
    ASSERT_TRUE(fs::exists(Session().DriveC() / "windows" / "Installer" / kProductCode / "uninstall.kqr"));
    // Setup starts regsvr32 without waiting for it.
    EXPECT_TRUE(WaitUntil(Millis(30000),
                          [&] { return Session().Run("reg", {"query", kProbeClass}).exitCode == EXIT_SUCCESS; }))
        << "the server did not register";
    const fs::path today = Session().HostPath(std::string(kInstallDir) + "data\\today.txt");
    WriteFile(today, "the user's own notes");

    EXPECT_EQ(RunKqexec(std::string("/R ") + kProductCode + " /S"), runner::kRemoved);
    const Snapshot after = Take();

    Snapshot expected = before;
    expected.files["program files/northwind notes"] = "dir";
    expected.files["program files/northwind notes/data"] = "dir";
    expected.files["program files/northwind notes/data/today.txt"] = after.files.count("program files/northwind notes/data/today.txt")
                                                                         ? after.files.at("program files/northwind notes/data/today.txt")
                                                                         : "missing";
    EXPECT_EQ(ReadFile(today), "the user's own notes");
    // The runner removes itself at the next start of the system when it
    // was the last product's.
    std::vector<std::string> diff = DropRunnerTrace(Diff(expected, after), after);
    EXPECT_TRUE(diff.empty()) << Lines(diff);
    EXPECT_FALSE(UninstallKeyExists());
    EXPECT_FALSE(fs::exists(markers / "regsvr32.exe.marker")) << ReadFile(markers / "regsvr32.exe.marker");
}

// "/PLAN" changes nothing and names exactly what the removal that follows
// does; the removal's "/LOG=" names what is gone.
TEST_F(RemovalTest, APlanNamesWhatTheRemovalDoes) {
    InstallOnPreparedMachine();
    ASSERT_FALSE(HasFailure());
    auto takeWithout = [this](const char* log) {
        Snapshot snapshot = Take();
        snapshot.files.erase(log);
        return snapshot;
    };
    // "action item" of the items that change something, in order.
    auto changes = [this](const char* log) {
        std::vector<std::string> items;
        std::istringstream lines(ReadFile(Session().DriveC() / log));
        for (std::string line; std::getline(lines, line);) {
            for (const char* action : {"removed", "restored"}) {
                const std::string type = std::string("\"type\":\"") + action + "\",\"item\":\"";
                const size_t at = line.find(type);
                if (at != std::string::npos)
                    items.push_back(action + (" " + line.substr(at + type.size(), line.rfind('"') - at - type.size())));
            }
        }
        return items;
    };
    const Snapshot installed = takeWithout("plan.json");
    EXPECT_EQ(RunKqexec(std::string("/PLAN /LOG=C:\\plan.json /R ") + kProductCode), runner::kRemoved);
    const std::vector<std::string> unchanged = Diff(installed, takeWithout("plan.json"));
    EXPECT_TRUE(unchanged.empty()) << Lines(unchanged);

    EXPECT_EQ(RunKqexec(std::string("/S /LOG=C:\\removal.json /R ") + kProductCode), runner::kRemoved);
    const std::vector<std::string> planned = changes("plan.json");
    EXPECT_GT(planned.size(), 10u);
    const std::vector<std::string> done = changes("removal.json");
    auto without = [](const std::vector<std::string>& items, const std::vector<std::string>& others) {
        std::vector<std::string> rest;
        for (const std::string& item : items) {
            if (std::find(others.begin(), others.end(), item) == others.end()) rest.push_back(item);
        }
        return rest;
    };
    EXPECT_TRUE(planned == done) << "planned only:\n"
                                 << Lines(without(planned, done)) << "removed only:\n"
                                 << Lines(without(done, planned));
    const std::string log = ReadFile(Session().DriveC() / "removal.json");
    EXPECT_NE(log.find("\"type\":\"end\",\"outcome\":\"removed\",\"exitCode\":0"), std::string::npos) << log;
    for (const std::string& item : planned) {
        // The running runner goes at the next start of the system.
        if (item.rfind("removed file ", 0) != 0 || item.find("kqexec.exe") != std::string::npos) continue;
        std::string path = item.substr(13);
        for (size_t at = path.find("\\\\"); at != std::string::npos; at = path.find("\\\\", at + 1)) path.erase(at, 1);
        EXPECT_FALSE(fs::exists(Session().HostPath(path))) << path;
    }
}

// The runner starts on the oldest systems too, manifest and all: for a
// product without a log it says so by its exit code.
class RunnerOnOldSystemsTest : public RemovalTest, public ::testing::WithParamInterface<WindowsVersion> {
protected:
    WindowsVersion Version() const override { return GetParam(); }
};

TEST_P(RunnerOnOldSystemsTest, StartsAndAnswers) {
    fs::copy_file(Kqexec(), Session().DriveC() / "windows" / "kqexec.exe",
                  fs::copy_options::overwrite_existing);
    EXPECT_EQ(RunKqexec(std::string("/R ") + kProductCode + " /S"), runner::kNoLog);
}

INSTANTIATE_TEST_SUITE_P(Removal, RunnerOnOldSystemsTest,
                         ::testing::Values(WindowsVersion::Win98, WindowsVersion::Nt40),
                         [](const ::testing::TestParamInfo<WindowsVersion>& info) {
                             return std::string(WineVersionName(info.param));
                         });

// A service the machine already has makes setup ask; Cancel fails the run
// in its last steps. Everything done so far is undone at once.
TEST_F(RemovalTest, AFailedRunIsRolledBack) {
    fs::path package = NotesPackage();
    ASSERT_FALSE(HasFailure());
    PrepareMachine(true);
    ASSERT_FALSE(HasFailure());
    const Snapshot before = Take();

    Install(package, "Cancel");
    ASSERT_FALSE(HasFailure());
    const Snapshot after = Take();
    std::vector<std::string> diff = DropRunnerTrace(Diff(before, after), after);
    EXPECT_TRUE(diff.empty()) << Lines(diff);
    EXPECT_FALSE(UninstallKeyExists());
}

// An authoring folder from `kqbuild new`, built as it stands with the
// programs the builder takes by default: "/S" installs its file and
// registers the product, and the runner it packed removes everything again.
TEST_F(RemovalTest, NewAuthoringFolderInstallsAndIsRemoved) {
    if (!HarnessPaths::HostRuns32Bit()) GTEST_SKIP() << "the builder packs the i686 build; this host cannot run it";
    const fs::path authoring = Session().ScratchDir() / "FreshNotes";
    const fs::path package = Session().DriveC() / "pkg";
    for (const std::vector<std::string>& args : {std::vector<std::string>{"new", authoring.string()},
                                                 std::vector<std::string>{authoring.string(), package.string()}}) {
        std::vector<std::string> argv = {HarnessPaths::Kqbuild().string()};
        argv.insert(argv.end(), args.begin(), args.end());
        ProcessResult made = RunHost(argv, {}, Millis(60000));
        ASSERT_EQ(made.exitCode, EXIT_SUCCESS) << made.output << made.errors;
    }
    const std::string script = ReadFile(authoring / "setup.inf");
    const std::string code = script.substr(script.find("a3=") + 3, 38);
    const Snapshot before = Take();

    StartSetup(package, {"/S"});
    ExpectQuits(kExitInstalled);
    // The product is the i686 build: on a 64-bit prefix its Program Files is the 32-bit one.
    std::string installed;
    for (const char* folder : {"C:\\Program Files\\", "C:\\Program Files (x86)\\"})
        installed += ReadFile(Session().HostPath(folder + std::string("FreshNotes\\readme.txt")));
    EXPECT_EQ(installed.substr(0, 8), "Put the ");
    EXPECT_EQ(RunKqexec("/R " + code + " /S"), runner::kRemoved);

    const Snapshot after = Take();
    std::vector<std::string> diff = DropRunnerTrace(Diff(before, after), after);
    EXPECT_TRUE(diff.empty()) << Lines(diff);
}

// The last product's removal cannot delete the running runner: it goes at
// the next start of the system. A product installed before that start
// keeps the runner it put in place, counted once: it is removed after the
// restart, and after one more nothing is left.
TEST_F(RemovalTest, AnInstallBeforeTheRestartKeepsItsRunner) {
    const fs::path package = NotesPackage();
    ASSERT_FALSE(HasFailure());
    PrepareMachine(false);
    ASSERT_FALSE(HasFailure());
    const Snapshot before = Take();
    auto restart = [this] {
        ProcessResult restarted = Session().Run("wineboot", {"-r"});
        EXPECT_EQ(restarted.exitCode, EXIT_SUCCESS) << restarted.errors;
    };

    EXPECT_EQ(Install(package), kExitInstalled);
    EXPECT_EQ(RunKqexec(std::string("/R ") + kProductCode + " /S"), runner::kRemoved);
    EXPECT_EQ(Install(package), kExitInstalled);
    restart();
    EXPECT_EQ(RunKqexec(std::string("/R ") + kProductCode + " /S"), runner::kRemoved);
    restart();
    std::vector<std::string> diff = Diff(before, Take());
    EXPECT_TRUE(diff.empty()) << Lines(diff);
}

// A file in use cannot go: the Uninstall key, the log and the record stay,
// and a second run, once the file is free, finishes.
TEST_F(RemovalTest, ASecondRunFinishesWhatALockedFileStopped) {
    fs::path package = InstallOnPreparedMachine();
    ASSERT_FALSE(HasFailure());

    // The product's program runs (it waits on its own message box).
    const std::string program = std::string(kInstallDir) + "bin\\notes.exe";
    int running = Session().Start(program, {}, {}, Millis(120000));
    ASSERT_TRUE(Session().WaitWindow({"--contains", "Usage"}, Millis(20000)).has_value());
    EXPECT_EQ(RunKqexec(std::string("/R ") + kProductCode + " /S"), runner::kLeftBehind);
    EXPECT_TRUE(UninstallKeyExists());
    EXPECT_TRUE(fs::exists(Session().HostPath(program)));
    EXPECT_TRUE(fs::exists(Session().DriveC() / "windows" / "Installer" / kProductCode / "uninstall.log"));

    Session().Driver({"click", "--contains", "Usage", "--text", "OK"});
    Session().Wait(Millis(20000), running);
    EXPECT_EQ(RunKqexec(std::string("/R ") + kProductCode + " /S"), runner::kRemoved);
    EXPECT_FALSE(UninstallKeyExists());
    EXPECT_FALSE(fs::exists(Session().HostPath(program)));
    EXPECT_FALSE(fs::exists(Session().HostPath(kInstallDir)));
}

// A repair over the installed product that fails (its service question is
// answered with Cancel) is rolled back without taking the earlier
// installation's registration along: its log, record and Uninstall key stay,
// and the product can still be removed.
TEST_F(RemovalTest, AFailedRepairKeepsTheEarlierInstallationRemovable) {
    fs::path package = InstallOnPreparedMachine();
    ASSERT_FALSE(HasFailure());
    const fs::path maintenance = Session().DriveC() / "windows" / "Installer" / kProductCode;
    const std::string log = ReadFile(maintenance / "uninstall.log");
    const std::string record = ReadFile(maintenance / "uninstall.kqr");
    ASSERT_FALSE(log.empty());
    ASSERT_FALSE(record.empty());

    // The service now runs another program: the second run cannot install
    // its own and is cancelled.
    for (std::vector<std::string> args : {std::vector<std::string>{"delete", "NorthwindLegacy"},
                                          {"create", "NorthwindLegacy", "binPath=", "C:\\Legacy\\legacy.exe"}}) {
        ProcessResult changed = Session().Run("sc", args);
        ASSERT_EQ(changed.exitCode, EXIT_SUCCESS) << changed.output << changed.errors;
    }
    EXPECT_EQ(Install(package, "Cancel"), kExitFailed);
    ASSERT_FALSE(HasFailure());

    EXPECT_TRUE(UninstallKeyExists());
    EXPECT_EQ(ReadFile(maintenance / "uninstall.log"), log);
    EXPECT_EQ(ReadFile(maintenance / "uninstall.kqr"), record);
    EXPECT_FALSE(fs::exists(maintenance / "uninstall.log.earlier"));
    EXPECT_EQ(RunKqexec(std::string("/R ") + kProductCode + " /S"), runner::kRemoved);
    EXPECT_FALSE(UninstallKeyExists());
    EXPECT_FALSE(fs::exists(Session().HostPath(std::string(kInstallDir) + "bin\\notes.exe")));
}

// The installation mode of a second package of the same product: "Upgrade"
// with "Auto-Detect" installs into the earlier installation's folder, not
// its own default; "New Installation" with removal first runs the
// maintenance runner with "/S" and the product code and waits for it, so
// the earlier folder is gone and the product is registered in the new one.
TEST_F(RemovalTest, AnEarlierInstallationIsUpgradedOrRemovedFirst) {
    const std::string defaultFolder = "<ProgramFilesFolder>\\Northwind Notes";
    fs::path first = NotesPackage();
    ASSERT_FALSE(HasFailure());
    PrepareMachine(false);
    ASSERT_FALSE(HasFailure());
    // The earlier installation chose a folder of its own.
    auto rebuild = [&](const std::string& appInfo) {
        fs::path authoring = Session().ScratchDir() / "authoring";
        std::string script = ReadFile(authoring / "setup.inf");
        size_t at = script.find("a4=" + defaultFolder + "\n");
        ASSERT_NE(at, std::string::npos);
        script.replace(at, 3 + defaultFolder.size() + 1, appInfo);
        WriteFile(authoring / "setup.inf", script);
        fs::remove_all(Session().DriveC() / "pkg");
        ASSERT_FALSE(BuildInto(authoring, "pkg", "cab", {"--support", Kqexec().string()}).empty());
        // The next rebuild starts from the default folder again.
        script = ReadFile(authoring / "setup.inf");
        script.replace(script.find(appInfo), appInfo.size(), "a4=" + defaultFolder + "\n");
        WriteFile(authoring / "setup.inf", script);
    };
    rebuild("a4=C:\\Earlier\\Notes\n");
    ASSERT_FALSE(HasFailure());
    ASSERT_EQ(Install(first), kExitInstalled);
    ASSERT_FALSE(HasFailure());
    const fs::path earlier = Session().DriveC() / "Earlier" / "Notes";
    ASSERT_TRUE(fs::exists(earlier / "bin" / "notes.exe"));

    rebuild("a4=" + defaultFolder + "\na26=Upgrade\na27=Auto-Detect\n");
    ASSERT_FALSE(HasFailure());
    fs::remove(earlier / "readme.txt");
    ASSERT_EQ(Install(first), kExitInstalled);
    ASSERT_FALSE(HasFailure());
    EXPECT_TRUE(fs::exists(earlier / "readme.txt")) << "the upgrade did not go into the earlier folder";
    EXPECT_FALSE(fs::exists(Session().HostPath(kInstallDir)));
    EXPECT_EQ(Session().RegQuery(kUninstallKey, "LastInstallationPath").value_or(""), "C:\\Earlier\\Notes\\");

    rebuild("a4=" + defaultFolder + "\na26=New Installation\na29=Yes\n");
    ASSERT_FALSE(HasFailure());
    ASSERT_EQ(Install(first), kExitInstalled);
    ASSERT_FALSE(HasFailure());
    EXPECT_FALSE(fs::exists(earlier / "bin" / "notes.exe")) << "the earlier version was not removed";
    EXPECT_TRUE(fs::exists(Session().HostPath(std::string(kInstallDir) + "bin\\notes.exe")));
    EXPECT_EQ(Session().RegQuery(kUninstallKey, "LastInstallationPath").value_or(""), kInstallDir);
    // Registered by the new run alone: its removal leaves nothing behind.
    EXPECT_EQ(RunKqexec(std::string("/R ") + kProductCode + " /S"), runner::kRemoved);
    EXPECT_FALSE(UninstallKeyExists());
    EXPECT_FALSE(fs::exists(Session().HostPath(kInstallDir)));
}

// Hand-made records that name what is not the product's: removal touches
// none of it.
TEST_F(RemovalTest, HostileRecordsChangeNothingOutsideTheProduct) {
    fs::path package = InstallOnPreparedMachine();
    ASSERT_FALSE(HasFailure());
    Reg({"add", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{OTHER}", "/v",
         "LastInstallationPath", "/d", "C:\\Other\\", "/f"});
    WriteFile(Session().DriveC() / "Other" / "other.exe", "x");
    WriteFile(Session().DriveC() / "outside.txt", "x");

    // The hash of "x", so that "unchanged since installation" holds.
    const std::string x = "2d711642b726b04401627ca9fbac32f5c8530fb1903cc4db02258717921a4881";
    const std::string header = "KQR\t1\r\n";
    const std::vector<std::string> records = {
        "FILE\tnew\tC:\\outside.txt\t" + x + "\t1\r\n",
        "FILE\tnew\tC:\\Program Files\\Northwind Notes\\..\\..\\outside.txt\t" + x + "\t1\r\n",
        "FILE\tnew\tC:\\Other\\other.exe\t" + x + "\t1\r\n",
        "FILE\tnew\t\\\\?\\C:\\outside.txt\t" + x + "\t1\r\n",
        "DIR\tC:\\windows\r\nDIR\tC:\\Other\r\n",
        "KEY\tHKEY_LOCAL_MACHINE\\Software\r\n",
        "VALUE\tHKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{OTHER}\t"
        "LastInstallationPath\t-\t1:433A5C4F746865725C00\r\n",
        "SERVICE\tPlugPlay\r\n",
    };
    const fs::path recordPath = Session().DriveC() / "windows" / "Installer" / kProductCode / "uninstall.kqr";
    std::string all = header;
    for (const std::string& record : records) all += record;
    // The real record is replaced by the hostile one: nothing of the
    // product's is named, so only the product's registration goes.
    const Snapshot before = Take();
    WriteFile(recordPath, all);
    EXPECT_EQ(RunKqexec(std::string("/R ") + kProductCode + " /S"), runner::kRemoved);
    const Snapshot after = Take();
    for (const std::string& line : Diff(before, after)) {
        bool product = line.find("northwind") != std::string::npos || line.find(Lower(kProductCode)) != std::string::npos;
        EXPECT_TRUE(product) << line;
    }
    EXPECT_EQ(ReadFile(Session().DriveC() / "outside.txt"), "x");
    EXPECT_EQ(ReadFile(Session().DriveC() / "Other" / "other.exe"), "x");
}

// "/M": the maintenance window repairs by running the package's setup
// again from InstallSource, or removes.
TEST_F(RemovalTest, MaintenanceWindowRepairsOrRemoves) {
    fs::path package = InstallOnPreparedMachine();
    ASSERT_FALSE(HasFailure());
    const fs::path readme = Session().HostPath(std::string(kInstallDir) + "readme.txt");
    ASSERT_TRUE(fs::remove(readme));

    int repair = StartKqexec(std::string("/M ") + kProductCode);
    Answer("repair it", "Yes");
    EXPECT_EQ(Session().Wait(Millis(30000), repair).exitCode, runner::kRemoved);
    EXPECT_TRUE(WaitUntil(Millis(90000), [&] { return fs::exists(readme); })) << "the repair did not install again";
    ASSERT_TRUE(WaitUntil(Millis(60000), [&] {
        return Session().Run("cmd", {"/c", "tasklist"}).output.find("setup.exe") == std::string::npos;
    }));

    int remove = StartKqexec(std::string("/M ") + kProductCode);
    Answer("repair it", "No");
    Answer("Are you sure", "Yes");
    Answer("was removed", "OK");
    EXPECT_EQ(Session().Wait(Millis(30000), remove).exitCode, runner::kRemoved);
    EXPECT_FALSE(UninstallKeyExists());
    EXPECT_FALSE(fs::exists(readme));
}

// Where a silent install is killed, told by its log: the working folder
// made, the 100th file copied, the system settings or the registration
// begun.
struct KillPoint {
    const char* name;
    const char* logMarker;  // nullptr: the working folder is there
    size_t count;
    int runnerExit;  // kqexec's exit code after the kill
};

const KillPoint kKillPoints[] = {
    {"StartUp", nullptr, 0, runner::kNoLog},
    {"Copy", "\"type\":\"file\"", 100, runner::kRolledBack},
    {"Settings", "Setting system", 1, runner::kRolledBack},
    {"Registration", "Finishing settings", 1, runner::kRolledBack},
};

void PrintTo(const KillPoint& point, std::ostream* out) {
    *out << point.name;
}

// The second parameter: the run after the kill is kqexec, not setup.
class InterruptedRunTest : public RemovalTest, public ::testing::WithParamInterface<std::tuple<KillPoint, bool>> {
protected:
    // A silent install of `package` killed at the point of the case; false
    // when the kill came after the run had committed (the product is then
    // installed).
    bool InstallAndKill(const fs::path& package, const std::string& log) {
        const KillPoint& point = std::get<0>(GetParam());
        const int setup = StartSetup(package, {"/S", "/LOG=" + Session().WinPath(log)});
        // The log read as it grows (a marker may straddle two reads): the
        // last steps before the commit take about ten milliseconds.
        std::ifstream in;
        std::string text;
        size_t seen = 0;
        auto count = [&] {
            if (!in.is_open()) in.open(log, std::ios::binary);
            in.clear();
            text.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            for (size_t at = text.find(point.logMarker); at != std::string::npos;
                 at = text.find(point.logMarker, at + 1))
                ++seen;
            text.erase(0, text.size() - std::min(text.size(), std::strlen(point.logMarker) - 1));
            return seen;
        };
        while (Session().IsRunning(setup)) {
            if (point.logMarker == nullptr ? !WorkFolders().empty() : count() >= point.count) break;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        Session().KillProcess(setup);
        // What it started (the registration of a server) ends first.
        Session().WaitIdle();
        // Killed before it committed: no record, or one still in progress.
        const std::string record =
            ReadFile(Session().DriveC() / "windows" / "Installer" / kProductCode / "uninstall.kqr");
        const bool inProgress = record.rfind("KQR\t1\r\nRUN\t", 0) == 0;
        if (!record.empty() && !inProgress) return false;
        EXPECT_TRUE(point.logMarker == nullptr ? record.empty() : inProgress)
            << "the kill came too late: " << record.substr(0, 40);
        return true;
    }

    std::set<std::string> TempEntries() {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(Session().TempDir())) names.insert(entry.path().filename());
        return names;
    }
};

// Killed at one point of a silent install, then installed again and
// removed, or removed at once: the machine is as it was before the first
// run, whichever program rolled the interrupted run back.
TEST_P(InterruptedRunTest, IsRolledBackByTheNextRun) {
    const KillPoint& point = std::get<0>(GetParam());
    const fs::path package = NotesPackage(300);
    ASSERT_FALSE(HasFailure());
    PrepareMachine(false);
    ASSERT_FALSE(HasFailure());
    const Snapshot before = Take();
    const std::set<std::string> temp = TempEntries();
    const fs::path logs = Session().ScratchDir();

    // The last steps before the commit take milliseconds: a kill that came
    // after it leaves the product installed, removed before the next try.
    bool killed = false;
    for (int attempt = 1; attempt <= 5 && !killed; ++attempt) {
        killed = InstallAndKill(package, (logs / ("killed" + std::to_string(attempt) + ".log")).string());
        ASSERT_FALSE(HasFailure());
        if (!killed) {
            ASSERT_EQ(RunKqexec(std::string("/R ") + kProductCode + " /S"), runner::kRemoved);
        }
    }
    ASSERT_TRUE(killed) << "each of five kills came after the run had committed";
    if (std::get<1>(GetParam())) {
        EXPECT_EQ(RunKqexec(std::string("/S /R ") + kProductCode, Session().WinPath(Kqexec())), point.runnerExit);
    } else {
        StartSetup(package, {"/S", "/LOG=" + Session().WinPath(logs / "again.log")});
        ExpectQuits(kExitInstalled);
        // Nothing the killed run made is taken for the user's, nor the
        // runner a removal between tries left (it moved aside for the
        // next start of the system).
        std::istringstream again(ReadFile(logs / "again.log"));
        for (std::string line; std::getline(again, line);) {
            EXPECT_EQ(line.find("\"action\":\"replaced\""), std::string::npos) << line;
        }
        EXPECT_EQ(RunKqexec(std::string("/R ") + kProductCode + " /S"), runner::kRemoved);
    }
    const Snapshot after = Take();
    std::vector<std::string> diff = DropRunnerTrace(Diff(before, after), after);
    EXPECT_TRUE(diff.empty()) << Lines(diff);
    EXPECT_EQ(TempEntries(), temp);
}

INSTANTIATE_TEST_SUITE_P(Removal, InterruptedRunTest,
                         ::testing::Combine(::testing::ValuesIn(kKillPoints), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<KillPoint, bool>>& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_ThenRunner" : "_ThenSetup");
                         });

}  // namespace
}  // namespace kq::e2e
