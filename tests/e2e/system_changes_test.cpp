// What an installation changes on the machine besides its files:
// shortcuts, INI entries, registry keys and values, a file association, a
// user environment variable and services, each checked where Windows keeps
// it, and the uninstall log line by line. The same package on Windows 98
// installs no service, and as a preview changes nothing at all.
#include <gtest/gtest.h>

#include <cstdlib>
#include <algorithm>
#include <map>
#include <sstream>

#include "setup_fixture.h"
#include "shared/crlf_lines.h"

namespace kq::e2e {
namespace {

const char kProductCode[] = "{5D1E7A20-4C3B-4F6E-8A90-1B2C3D4E5F60}";
const char kInstallDir[] = "C:\\Program Files\\Northwind Notes\\";
const char kFailureText[] = "Merrowin can't install Northwind Legacy Service service. What do you want to do ?";
const char kServicesKey[] = "HKLM\\System\\CurrentControlSet\\Services\\";

fs::path WinBuildFile(const std::string& relative) {
    return HarnessPaths::WinBuildDir() / relative;
}

// Two real icons of the tree serve as the package's icon files.
fs::path EditorIcon() { return HarnessPaths::SourceDir() / "src" / "app" / "res" / "setup.ico"; }
fs::path NoteIcon() { return HarnessPaths::SourceDir() / "src" / "layout" / "res" / "info.ico"; }

// section -> key -> value of an INI file as the profile functions write it.
using IniMap = std::map<std::string, std::map<std::string, std::string>>;

IniMap ParseIni(const std::string& text) {
    IniMap ini;
    std::string section;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            ini[section];
        } else if (size_t equals = line.find('='); equals != std::string::npos) {
            ini[section][line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return ini;
}

class SystemChangesTest : public SetupTest {
protected:
    void SetUp() override {
        const std::string missing = MissingBuildFile({"tools/kqexec/kqexec.exe", "tools/lnkprobe/lnkprobe.exe"});
        if (!missing.empty()) GTEST_SKIP() << missing << " is not built";
        if (!fs::exists(HarnessPaths::SourceDir() / "sample" / "theme" / "progress.lcd"))
            GTEST_SKIP() << "no sample theme to lay out the pages";
        SetupTest::SetUp();
    }

    // The authoring folder put together in the case's scratch folder: the
    // committed script and files, the sample theme, two icons as support
    // files, and a real program as the product's executable (the services
    // and shortcuts point at it). The package's script is silent.
    fs::path NotesPackage(bool preview) {
        fs::path authoring = CopyAuthoring("system");
        fs::create_directories(authoring / "files" / "bin");
        fs::copy_file(Kqexec(), authoring / "files" / "bin" / "notes.exe");
        fs::create_directories(authoring / "support");
        fs::copy_file(EditorIcon(), authoring / "support" / "editor.ico");
        fs::copy_file(NoteIcon(), authoring / "support" / "note.ico");
        if (preview) {
            std::string script = ReadFile(authoring / "setup.inf");
            script.insert(script.find("a1="), "PREVIEW=255\n");
            WriteFile(authoring / "setup.inf", script);
        }
        return BuildInto(authoring, "pkg", "cab", {"--support", Kqexec().string()});
    }

    // The machine before setup: a user PATH of its own, a service that
    // already holds the name the package's first service wants, and a
    // desktop inside the prefix (the template's desktop leads to the host's
    // home folder, which no test may write to).
    void PrepareMachine() {
        fs::path user = Session().TempDir().parent_path();
        ASSERT_FALSE(user.empty());
        desktop_ = user / "Desktop";
        std::error_code error;
        if (fs::is_symlink(desktop_, error)) fs::remove(desktop_);
        fs::create_directories(desktop_);

        ProcessResult path = Session().Run("reg", {"add", "HKCU\\Environment", "/v", "PATH", "/d", "C:\\Tools", "/f"});
        ASSERT_EQ(path.exitCode, EXIT_SUCCESS) << path.output << path.errors;
        ProcessResult legacy =
            Session().Run("sc", {"create", "NorthwindLegacy", "binPath=", "C:\\Legacy\\legacy.exe"});
        ASSERT_EQ(legacy.exitCode, EXIT_SUCCESS) << legacy.output << legacy.errors;
    }

    // Every value of a key, by name ("(Default)" for the default value), as
    // `reg query` shows it: strings as they are, numbers as 0x..., binary
    // data as hexadecimal digits.
    std::map<std::string, std::string> RegValues(const std::string& key) {
        std::map<std::string, std::string> values;
        ProcessResult result = Session().Run("reg", {"query", key});
        if (result.exitCode != EXIT_SUCCESS) return values;
        std::istringstream lines(result.output);
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            size_t type = line.find("    REG_");
            if (type == std::string::npos || line.compare(0, 4, "    ") != 0) continue;
            std::string name = line.substr(4, type - 4);
            size_t data = line.find("    ", type + 4);
            values[name] = data == std::string::npos ? std::string() : line.substr(data + 4);
        }
        return values;
    }
    bool KeyExists(const std::string& key) { return Session().Run("reg", {"query", key}).exitCode == EXIT_SUCCESS; }

    // What the shell reads from a shell link: target=, arguments=, ...
    std::map<std::string, std::string> ReadLink(const fs::path& link) {
        std::map<std::string, std::string> fields;
        const std::string probe = WinBuildFile("tools/lnkprobe/lnkprobe.exe").string();
        ProcessResult result = Session().Run(probe, {Session().WinPath(link)});
        EXPECT_EQ(result.exitCode, EXIT_SUCCESS) << link << "\n" << result.errors;
        std::istringstream lines(result.output);
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            size_t equals = line.find('=');
            if (equals != std::string::npos) fields[line.substr(0, equals)] = line.substr(equals + 1);
        }
        return fields;
    }

    std::vector<std::string> LogLines() {
        return kqtest::CrLfLines(
            ReadFile(Session().DriveC() / "windows" / "Installer" / kProductCode / "uninstall.log"));
    }

    // The user's Programs folder as the shell names it.
    std::string ProgramsFolder() {
        return RegValues("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders")["Programs"];
    }

    // Waits for setup.exe to end by itself; a service error dialog on the
    // way is a failure (and is answered so the case can end).
    void ExpectEndWithoutQuestions(int setup) {
        bool ended = WaitUntil(Millis(60000), [&] {
            if (!Session().IsRunning(setup)) return true;
            std::optional<WindowInfo> box = Session().WaitWindow({"--contains", "can't install"}, Millis(200));
            if (box) {
                ADD_FAILURE() << "unexpected question: " << box->AllText();
                Session().Driver({"click", "--contains", "can't install", "--text", "Ignore"});
            }
            return false;
        });
        ASSERT_TRUE(ended) << "setup.exe did not end";
    }

    fs::path desktop_;
};

// A silent script skips the pages, not the questions: the service question
// is asked and answered, and the run then ends by itself.
TEST_F(SystemChangesTest, InstallMakesEveryChangeAndLogsIt) {
    fs::path package = NotesPackage(false);
    ASSERT_FALSE(HasFailure());
    PrepareMachine();
    ASSERT_FALSE(HasFailure());
    int setup = StartSetup(package);

    // The first service's name is taken: setup asks, is told to retry twice,
    // then to go on without it.
    unsigned long last = 0;
    for (const char* answer : {"Retry", "Retry", "Ignore"}) {
        std::optional<WindowInfo> box;
        ASSERT_TRUE(WaitUntil(Millis(30000), [&] {
            box = Session().WaitWindow({"--contains", "can't install Northwind Legacy"}, Millis(2000));
            return box && box->hwnd != last;
        })) << "no service question before answering " << answer;
        last = box->hwnd;
        EXPECT_EQ(box->title, "Calvarr Merrowin");
        const ControlInfo* text = nullptr;
        for (const ControlInfo& control : box->controls)
            if (control.text == kFailureText) text = &control;
        EXPECT_NE(text, nullptr) << box->AllText();
        for (const char* button : {"Retry", "Ignore", "Cancel"}) EXPECT_NE(box->FindByText(button), nullptr) << button;
        ASSERT_TRUE(Click({"--contains", "can't install Northwind Legacy"}, answer));
    }
    ProcessResult ended = Session().Wait(Millis(60000), setup);
    ASSERT_FALSE(ended.timedOut) << "setup.exe still runs; on the screen:\n" << Screen();
    EXPECT_EQ(ended.exitCode, kExitInstalled) << "the installation did not end as installed";

    const std::string install = kInstallDir;
    const std::string programs = ProgramsFolder();
    ASSERT_FALSE(programs.empty());
    const std::string desktop = Session().WinPath(desktop_);
    const fs::path installHost = Session().HostPath(install);

    // Shortcuts, read back through the shell.
    std::map<std::string, std::string> editor = ReadLink(Session().HostPath(programs + "\\Tools\\Editor.lnk"));
    EXPECT_EQ(editor["target"], install + "bin\\notes.exe");
    EXPECT_EQ(editor["arguments"], "/edit \"" + install + "data\\today.txt\"");
    EXPECT_EQ(editor["description"], "Edit Northwind Notes notes");
    EXPECT_EQ(editor["workdir"], install + "data");
    EXPECT_EQ(editor["icon"], install + "editor.ico,0");
    EXPECT_EQ(editor["show"], "3");
    EXPECT_EQ(ReadFile(installHost / "editor.ico"), ReadFile(EditorIcon()));

    std::map<std::string, std::string> notes = ReadLink(desktop_ / "Northwind Notes.lnk");
    EXPECT_EQ(notes["target"], install + "bin\\notes.exe");
    EXPECT_EQ(notes["arguments"], "");
    EXPECT_EQ(notes["description"], "Northwind Notes 2.0.0");
    EXPECT_EQ(notes["workdir"], install);
    EXPECT_EQ(notes["show"], "7");

    std::string site = ReadFile(Session().HostPath(programs + "\\Tools\\Northwind Site.url"));
    EXPECT_NE(site.find("[InternetShortcut]"), std::string::npos) << site;
    EXPECT_NE(site.find("URL=http://www.northwind.example/notes"), std::string::npos) << site;
    EXPECT_TRUE(fs::exists(Session().HostPath(programs + "\\Tools\\Northwind Site.lnk")));

    // INI files: the entries of "mynotes.ini" went there and not into
    // "notes.ini", whose name is part of it.
    IniMap notesIni = ParseIni(ReadFile(installHost / "notes.ini"));
    EXPECT_EQ(notesIni["Options"]["Theme"], "Dark");
    EXPECT_EQ(notesIni["Options"]["Font"], "Tahoma 8");
    EXPECT_EQ(notesIni["Paths"]["Data"], "<InstallDir>data");
    EXPECT_EQ(notesIni.count("Recent"), 0u);
    IniMap myNotes = ParseIni(ReadFile(installHost / "data" / "mynotes.ini"));
    EXPECT_EQ(myNotes["Recent"]["File1"], "today.txt");
    EXPECT_EQ(myNotes["Recent"]["Count"], "1");
    IniMap winIni = ParseIni(ReadFile(Session().DriveC() / "windows" / "win.ini"));
    EXPECT_EQ(winIni["Northwind"]["Notes"], "installed");

    // Registry keys and values.
    std::map<std::string, std::string> product = RegValues("HKLM\\Software\\Northwind\\Northwind Notes");
    EXPECT_EQ(product["InstallPath"], install);
    EXPECT_EQ(product["Build"], "0xc");
    EXPECT_EQ(product["Magic"], "414200");
    EXPECT_EQ(RegValues("HKCU\\Software\\Northwind\\Northwind Notes\\Settings")["Theme"], "Dark");

    // The association.
    EXPECT_EQ(RegValues("HKCR\\.nwn")["(Default)"], "NorthwindNotes.Document");
    EXPECT_EQ(RegValues("HKCR\\NorthwindNotes.Document")["(Default)"], "Northwind Notes Document");
    EXPECT_EQ(RegValues("HKCR\\NorthwindNotes.Document\\DefaultIcon")["(Default)"], install + "note.ico");
    EXPECT_EQ(RegValues("HKCR\\NorthwindNotes.Document\\shell\\Open\\Command")["(Default)"],
              "\"" + install + "bin\\notes.exe\" /open \"%1\"");
    EXPECT_EQ(ReadFile(installHost / "note.ico"), ReadFile(NoteIcon()));

    // The user's environment: appended to PATH, and a new variable.
    std::map<std::string, std::string> environment = RegValues("HKCU\\Environment");
    EXPECT_EQ(environment["PATH"], "C:\\Tools;" + install + "bin");
    EXPECT_EQ(environment["NOTES_HOME"], install) << "an append to a missing variable starts with ';'";

    // Services: the one installed with the mild defaults for its unknown
    // keywords, the other left as it was.
    std::map<std::string, std::string> sync = RegValues(std::string(kServicesKey) + "NorthwindSync");
    EXPECT_EQ(sync["DisplayName"], "Northwind Sync Service");
    EXPECT_EQ(sync["ImagePath"], "\"" + install + "bin\\notes.exe\" /service");
    EXPECT_EQ(sync["Type"], "0x10");
    EXPECT_EQ(sync["Start"], "0x3");
    EXPECT_EQ(sync["ErrorControl"], "0x1");
    EXPECT_EQ(RegValues(std::string(kServicesKey) + "NorthwindLegacy")["ImagePath"], "C:\\Legacy\\legacy.exe");

    const std::vector<std::string> expected = {
        "TOTALFILE=3",
        "DIR=" + install,
        "DIR=" + install,
        "DIR=" + install + "data",
        "DIR=" + install + "bin",
        "FILE=" + install + "readme.txt",
        "FILE=" + install + "data\\today.txt",
        "FILE=" + install + "bin\\notes.exe",
        "DIR=" + programs + "\\Tools",
        "FILE=" + install + "editor.ico",
        "SHORTCUT=" + programs + "\\Tools\\Editor.lnk",
        "SHORTCUT=" + desktop + "\\Northwind Notes.lnk",
        "DIR=" + programs + "\\Tools",  // each item under Tools makes sure of its folder
        "SHORTCUT=" + programs + "\\Tools\\Northwind Site.url",
        "SHORTCUT=" + programs + "\\Tools\\Northwind Site.lnk",
        // win.ini was there before: setup only added lines to it
        "FILE=" + install + "data\\mynotes.ini",
        "FILE=" + install + "notes.ini",
        "REGKEY=HKEY_LOCAL_MACHINE\\Software\\Northwind\\Northwind Notes",
        "REGKEY=HKEY_CURRENT_USER\\Software\\Northwind\\Northwind Notes\\Settings",
        "REGVAL=HKEY_LOCAL_MACHINE\\Software\\Northwind\\Northwind Notes\\InstallPath",
        "REGVAL=HKEY_LOCAL_MACHINE\\Software\\Northwind\\Northwind Notes\\Build",
        "REGVAL=HKEY_LOCAL_MACHINE\\Software\\Northwind\\Northwind Notes\\Magic",
        "REGVAL=HKEY_CURRENT_USER\\Software\\Northwind\\Northwind Notes\\Settings\\Theme",
        "REMKEY=HKEY_CLASSES_ROOT\\NorthwindNotes.Document",
        "REMKEY=HKEY_CLASSES_ROOT\\.nwn",
        "FILE=" + install + "note.ico",
        // PATH had a value of the user's: removing it would take that along
        "REGVAL=HKEY_CURRENT_USER\\Environment\\NOTES_HOME",
        "NTSERVICE=NorthwindSync",
    };
    EXPECT_EQ(LogLines(), expected);
}

class SystemChangesWin98Test : public SystemChangesTest {
protected:
    WindowsVersion Version() const override { return WindowsVersion::Win98; }
};

TEST_F(SystemChangesWin98Test, NoServiceButEverythingElse) {
    fs::path package = NotesPackage(false);
    ASSERT_FALSE(HasFailure());
    PrepareMachine();
    ASSERT_FALSE(HasFailure());
    ProcessResult version = Session().Driver({"version"});
    ASSERT_NE(version.output.find("major=4 minor=10"), std::string::npos) << version.output;

    ExpectEndWithoutQuestions(StartSetup(package));
    EXPECT_FALSE(KeyExists(std::string(kServicesKey) + "NorthwindSync"));
    std::vector<std::string> lines = LogLines();
    for (const std::string& line : lines) EXPECT_NE(line.compare(0, 10, "NTSERVICE="), 0) << line;
    // The steps before and after ran.
    EXPECT_NE(std::find(lines.begin(), lines.end(), "REGVAL=HKEY_CURRENT_USER\\Environment\\NOTES_HOME"), lines.end());
    EXPECT_EQ(RegValues("HKLM\\Software\\Northwind\\Northwind Notes")["Build"], "0xc");
    EXPECT_TRUE(fs::exists(desktop_ / "Northwind Notes.lnk"));

    // The step's status line on this system, as the worker reports it: the
    // Win32 case runs the worker with a recording progress page.
    fs::path winTests = WinBuildFile("tests/win/win_tests.exe");
    ASSERT_TRUE(fs::exists(winTests)) << winTests;
    ProcessResult run = Session().Run(winTests.string(), {"--gtest_filter=SystemChangesRun.*"}, {}, Millis(120000));
    EXPECT_EQ(run.exitCode, EXIT_SUCCESS) << run.output << run.errors;
    EXPECT_NE(run.output.find("[  PASSED  ] 2 tests"), std::string::npos) << run.output;
}

TEST_F(SystemChangesTest, PreviewChangesNothing) {
    fs::path package = NotesPackage(true);
    ASSERT_FALSE(HasFailure());
    PrepareMachine();
    ASSERT_FALSE(HasFailure());
    const std::string winIniBefore = ReadFile(Session().DriveC() / "windows" / "win.ini");

    ExpectEndWithoutQuestions(StartSetup(package));
    const fs::path installHost = Session().HostPath(kInstallDir);
    const std::string programs = ProgramsFolder();
    EXPECT_FALSE(programs.empty() || fs::exists(Session().HostPath(programs + "\\Tools")));
    EXPECT_FALSE(fs::exists(desktop_ / "Northwind Notes.lnk"));
    EXPECT_FALSE(fs::exists(installHost / "notes.ini"));
    EXPECT_FALSE(fs::exists(installHost / "editor.ico"));
    EXPECT_EQ(ReadFile(Session().DriveC() / "windows" / "win.ini"), winIniBefore);
    EXPECT_FALSE(KeyExists("HKLM\\Software\\Northwind"));
    EXPECT_FALSE(KeyExists("HKCU\\Software\\Northwind"));
    EXPECT_FALSE(KeyExists("HKCR\\.nwn"));
    EXPECT_FALSE(KeyExists("HKCR\\NorthwindNotes.Document"));
    EXPECT_FALSE(KeyExists(std::string(kServicesKey) + "NorthwindSync"));
    std::map<std::string, std::string> environment = RegValues("HKCU\\Environment");
    EXPECT_EQ(environment["PATH"], "C:\\Tools");
    EXPECT_EQ(environment.count("NOTES_HOME"), 0u);
    for (const std::string& line : LogLines()) {
        for (const char* kind : {"SHORTCUT=", "REGKEY=", "REGVAL=", "REMKEY=", "NTSERVICE=", "FILE="})
            EXPECT_NE(line.compare(0, std::char_traits<char>::length(kind), kind), 0) << line;
    }
}

}  // namespace
}  // namespace kq::e2e
