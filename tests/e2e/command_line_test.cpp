// setup.exe's command line under Wine: every exit code from a real package
// run with /S (the log saying why, no window ever), a /S run of a package
// that would show pages and ask for a restart (no window, the restart code,
// the files where /D= says, a log whose lines parse and whose files are on
// disk as it says), and /PLAN, which changes nothing and names exactly what
// the installation that follows creates.
//
// The packages are tests/e2e/packages/install with the default theme of
// sample/theme and a small file list written here.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "driver_output.h"
#include "pe_imports.h"
#include "prefix_snapshot.h"
#include "setup_fixture.h"

namespace kq::e2e {
namespace {

constexpr char kProductCode[] = "{5A0C7E21-93B4-4F6D-8E1A-2C3B4D5E6F70}";
constexpr char kPageTitle[] = "Merrowin Install Test Setup";

// readme.txt, then bin\app.exe, which must be installed (packed as
// F1_app.exe), then a file in a deeper folder.
constexpr char kDataInf[] =
    "files\\readme.txt\r\nDestination Computer\\<InstallDir>*0*0*0|\r\n"
    "files\\bin\\app.exe\r\nDestination Computer\\<InstallDir>bin\\*16*0*0|\r\n"
    "files\\data\\a\\b\\c\\deep.dat\r\nDestination Computer\\<InstallDir>data\\a\\b\\c\\*0*0*0|\r\n";

// --- a checker of the log: flat JSON objects, one a line -------------------

using JsonLine = std::map<std::string, std::string>;  // numbers and booleans as their text

// Parses one line; false (with the reason) when it is not one flat object.
bool ParseJsonLine(const std::string& text, JsonLine& out, std::string& why) {
    size_t at = 0;
    auto blanks = [&] {
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    };
    auto string = [&](std::string& value) {
        if (at >= text.size() || text[at] != '"') return false;
        for (++at; at < text.size(); ++at) {
            unsigned char c = static_cast<unsigned char>(text[at]);
            if (c == '"') {
                ++at;
                return true;
            }
            if (c < 0x20) return false;
            if (c != '\\') {
                value += static_cast<char>(c);
                continue;
            }
            if (++at >= text.size()) return false;
            switch (text[at]) {
            case '"': value += '"'; break;
            case '\\': value += '\\'; break;
            case '/': value += '/'; break;
            case 'b': value += '\b'; break;
            case 'f': value += '\f'; break;
            case 'n': value += '\n'; break;
            case 'r': value += '\r'; break;
            case 't': value += '\t'; break;
            case 'u': {
                if (at + 4 >= text.size()) return false;
                const std::string hex = text.substr(at + 1, 4);
                if (hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
                unsigned long unit = std::strtoul(hex.c_str(), nullptr, 16);
                value += unit < 0x80 ? static_cast<char>(unit) : '?';
                at += 4;
                break;
            }
            default: return false;
            }
        }
        return false;
    };
    blanks();
    if (at >= text.size() || text[at++] != '{') return why = "no object", false;
    blanks();
    if (at < text.size() && text[at] == '}') return ++at == text.size() || (why = "text after the object", false);
    for (;;) {
        std::string key, value;
        blanks();
        if (!string(key)) return why = "bad key", false;
        blanks();
        if (at >= text.size() || text[at++] != ':') return why = "no colon after " + key, false;
        blanks();
        if (at < text.size() && text[at] == '"') {
            if (!string(value)) return why = "bad string for " + key, false;
        } else {
            size_t end = text.find_first_of(",}", at);
            if (end == std::string::npos) return why = "bad value for " + key, false;
            value = text.substr(at, end - at);
            while (!value.empty() && value.back() == ' ') value.pop_back();
            bool number = !value.empty() && value.find_first_not_of("-0123456789") == std::string::npos;
            if (!number && value != "true" && value != "false") return why = "bad value for " + key, false;
            at = end;
        }
        if (out.count(key) != 0) return why = "key twice: " + key, false;
        out[key] = value;
        blanks();
        if (at < text.size() && text[at] == ',') {
            ++at;
            continue;
        }
        if (at < text.size() && text[at] == '}') {
            ++at;
            break;
        }
        return why = "no comma or end after " + key, false;
    }
    return at == text.size() || (why = "text after the object", false);
}

// Every line of the log file; a test failure for each that does not parse
// or has no time stamp and type, and unless the last is the end line.
std::vector<JsonLine> ReadLog(const fs::path& path) {
    std::vector<JsonLine> lines;
    const std::string text = ReadFile(path);
    EXPECT_FALSE(text.empty()) << "no log at " << path;
    EXPECT_TRUE(text.empty() || text.back() == '\n') << "the log does not end with a line end";
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        JsonLine line;
        std::string why;
        const std::string raw = text.substr(start, end - start);
        EXPECT_TRUE(ParseJsonLine(raw, line, why)) << why << ": " << raw;
        EXPECT_EQ(line["time"].size(), 24u) << raw;
        EXPECT_FALSE(line["type"].empty()) << raw;
        lines.push_back(line);
    }
    EXPECT_TRUE(!lines.empty() && lines.back()["type"] == "end") << "the last line is no end line";
    return lines;
}

std::string LogText(const std::vector<JsonLine>& lines) {
    std::string text;
    for (const JsonLine& line : lines) {
        for (const auto& [key, value] : line) text += key + "=" + value + " ";
        text += "\n";
    }
    return text;
}

// A path of drive C as the prefix snapshot names it ("program files/...");
// empty for another drive.
std::string SnapshotName(const std::string& winPath) {
    if (winPath.size() < 3 || (winPath[0] != 'C' && winPath[0] != 'c') || winPath[1] != ':') return std::string();
    std::string name;
    for (char c : winPath.substr(3)) name += c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    while (!name.empty() && name.back() == '/') name.pop_back();
    return name;
}

// A registry key of the log as Wine's registry files name it
// ("system.reg:software\\\\acme", backslashes doubled); empty for a root
// this test does not follow.
std::string RegistryName(const std::string& key) {
    struct Root { const char* name; const char* file; const char* prefix; };
    const Root roots[] = {
        {"HKEY_LOCAL_MACHINE\\", "system.reg:", ""},
        {"HKEY_CLASSES_ROOT\\", "system.reg:", "software\\\\classes\\\\"},
        {"HKEY_CURRENT_USER\\", "user.reg:", ""},
    };
    for (const Root& root : roots) {
        const std::string name = root.name;
        if (key.compare(0, name.size(), name) != 0) continue;
        std::string rest;
        for (char c : key.substr(name.size())) {
            if (c == '\\') rest += "\\\\";
            else rest += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        return std::string(root.file) + root.prefix + rest;
    }
    return std::string();
}

class CommandLineTest : public SetupTest {
protected:
    void SetUp() override {
        if (!fs::exists(Kqexec())) GTEST_SKIP() << "kqexec.exe is not built: " << Kqexec();
        SetupTest::SetUp();
    }

    // The install package with `edit` applied to its setup script, built
    // into C:\<name>; an empty path when the builder fails.
    fs::path Package(const std::string& name, const std::function<void(std::string&)>& edit = nullptr,
                     const std::string& layout = "cab") {
        fs::path authoring = CopyAuthoring("install", name);
        WriteFile(authoring / "data.inf", kDataInf);
        std::string script = ReadFile(authoring / "setup.inf");
        if (edit) edit(script);
        WriteFile(authoring / "setup.inf", script);
        return BuildInto(authoring, name, layout, {"--support", PackedKqexec().string()});
    }

    // Replaces `from` in the script (which must hold it once).
    static std::function<void(std::string&)> Replace(const std::string& from, const std::string& to) {
        return [from, to](std::string& script) { ReplaceFirst(script, from, to); };
    }

    // A log file outside drive C, so that the prefix snapshots never see it.
    fs::path LogFile(const std::string& name) { return Session().ScratchDir() / "logs" / name; }

    // Runs setup.exe of `package` with `args` to its end while watching for
    // windows of the process that become visible; the exit code, or -1 when
    // it did not end.
    int Run(const fs::path& package, std::vector<std::string> args, std::string* shown = nullptr) {
        fs::create_directories(Session().ScratchDir() / "logs");
        int setup = StartSetup(package, args);
        auto deadline = std::chrono::steady_clock::now() + Millis(60000);
        while (shown != nullptr && Session().IsRunning(setup) && std::chrono::steady_clock::now() < deadline) {
            for (const WindowInfo& window : ParseWindows(Session().Driver({"list", "--hidden"}).output)) {
                if (window.visible) *shown += window.className + " \"" + window.title + "\"\n";
            }
        }
        ProcessResult ended = Session().Wait(Millis(60000), setup);
        if (ended.timedOut) {
            ADD_FAILURE() << "setup.exe did not end; on the screen:\n" << Screen();
            return -1;
        }
        return ended.exitCode;
    }

    // The files a log says setup made or replaced, as the snapshot names
    // them, and the folders.
    static std::set<std::string> LoggedFiles(const std::vector<JsonLine>& log, const char* type) {
        std::set<std::string> names;
        for (const JsonLine& line : log) {
            auto found = line.find("type");
            if (found == line.end() || found->second != type) continue;
            if (line.count("action") != 0 && line.at("action") == "kept") continue;
            std::string name = SnapshotName(line.at("path"));
            // The snapshot leaves the profiles out but their desktops.
            if (name.empty() || (name.rfind("users/", 0) == 0 && name.find("/desktop") == std::string::npos)) continue;
            names.insert(name);
        }
        return names;
    }
};

// Each exit code from a package run with /S: no window, and the log's last
// line names the outcome (its messages say why). "Cancelled" comes from a
// condition of the package that cancels the installation (no file action
// can do it yet).
TEST_F(CommandLineTest, EveryExitCodeFromARealPackage) {
    const std::string start = "[BUILDING]";
    struct Case {
        const char* name;
        std::function<void(std::string&)> edit;
        const char* layout;
        std::function<void(const fs::path&)> damage;
        std::vector<std::string> args;  // after /S /LOG=
        int exitCode;
        const char* message;  // a part of a message line of the log; "" for none
    };
    // The file list without its last block of the cipher.
    const auto cutFileList = [](const fs::path& package) {
        const std::string bytes = ReadFile(package / "data.nsx");
        WriteFile(package / "data.nsx", bytes.substr(0, bytes.size() - 16));
    };
    const Case cases[] = {
        {"bad option", nullptr, "cab", nullptr, {"/BOGUS"}, kExitBadCommandLine, "unknown option \"/BOGUS\""},
        {"relative folder", nullptr, "cab", nullptr, {"/D=Acme\\Notes"}, kExitBadCommandLine, "not an absolute path"},
        {"device folder", nullptr, "cab", nullptr, {"/D=C:\\Acme\\CON"}, kExitBadCommandLine, "device name"},
        {"tampered script",
         nullptr,
         "cab",
         [](const fs::path& package) {
             std::string bytes = ReadFile(package / "setup.nsx");
             bytes[7] = static_cast<char>(bytes[7] ^ 0x01);
             WriteFile(package / "setup.nsx", bytes);
         },
         {},
         kExitDamaged,
         "cannot be Correctly Decrypted"},
        {"file list cut short", nullptr, "cab", cutFileList, {}, kExitDamaged, "ends in the middle of a file's lines"},
        {"damaged cabinet",
         nullptr,
         "cab",
         [](const fs::path& package) {
             WriteFile(package / "file1.cab", ReadFile(package / "file1.cab").substr(0, 100));
         },
         {},
         kExitDamaged,
         "the cabinet is damaged"},
        {"requirements not met",
         Replace(start,
                 "[SYSTEM]\r\n1=Zilog Z80\r\n2=Any\r\n3=checkSCREEN\r\n4=Any colors\r\n"
                 "os0=Yes\r\nos1=Yes\r\nos2=Yes\r\nos3=Yes\r\nos4=Yes\r\nos5=Yes\r\nos6=Yes\r\n\r\n" +
                     start),
         "cab",
         nullptr,
         {},
         kExitRequirements,
         "processor is not adequate"},
        {"cancelled by the package",
         Replace(start,
                 "[CONDITIONS]\r\nTOTAL=1\r\nA0=Stop\r\nB0=10\r\nC0=>\r\nD0=9\r\nE0=start.lcd\r\nF0=1\r\n"
                 "00=CancelInstall();\r\n\r\n" +
                     start),
         "cab",
         nullptr,
         {},
         kExitCancelled,
         ""},
        {"must-install file missing",
         nullptr,
         "diskimage",
         [](const fs::path& package) { fs::remove(package / "DiskImage1" / "F1_app.exe"); },
         {},
         kExitFileFailed,
         "Can't be installed."},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = "pkg" + std::to_string(index++);
        fs::path package = Package(name, c.edit, c.layout);
        ASSERT_FALSE(package.empty());
        if (c.damage) c.damage(package);
        fs::path log = LogFile(name + ".json");
        std::vector<std::string> args = {"/S", "/LOG=" + Session().WinPath(log)};
        args.insert(args.end(), c.args.begin(), c.args.end());
        std::string shown;
        EXPECT_EQ(Run(package, args, &shown), c.exitCode);
        EXPECT_EQ(shown, "") << "windows shown by a silent run";

        std::vector<JsonLine> lines = ReadLog(log);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.front()["type"], "start");
        EXPECT_EQ(lines.back()["exitCode"], std::to_string(c.exitCode)) << LogText(lines);
        bool said = c.message[0] == '\0';
        for (JsonLine& line : lines) said = said || (line["type"] == "message" && line["text"].find(c.message) != std::string::npos);
        EXPECT_TRUE(said) << "no message with \"" << c.message << "\":\n" << LogText(lines);
        // Nothing stays of a run that did not install.
        EXPECT_FALSE(fs::exists(Session().HostPath("C:\\Program Files\\Install Test Product")));
        EXPECT_FALSE(Session().RegQuery("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" +
                                        std::string(kProductCode), "DisplayName"));
    }
}

// Without /S, "/?" shows a window listing the options and exit codes, and a
// bad line says its fault in a message box, both before the package is
// read; OK ends the run with the code. With /S neither shows anything (a
// log that cannot be created makes a bad line too).
TEST_F(CommandLineTest, HelpAndBadLinesSpeakOnlyWhenNotSilent) {
    fs::path package = Package("pkg");
    ASSERT_FALSE(package.empty());
    struct Case {
        std::vector<std::string> args;
        const char* says;  // "" when no window may appear
        int exitCode;
    };
    const Case cases[] = {
        {{"/?"}, "Exit codes:", kExitInstalled},
        {{"/D="}, "/D= needs a folder", kExitBadCommandLine},
        {{"/S", "/?"}, "", kExitInstalled},
        {{"/S", "/LOG=C:\\no such folder\\run.json"}, "", kExitBadCommandLine},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        int setup = StartSetup(package, c.args, Millis(60000));
        if (c.says[0] != '\0') {
            std::optional<WindowInfo> box = Session().WaitWindow({"--contains", c.says}, Millis(20000));
            ASSERT_TRUE(box) << "no window saying \"" << c.says << "\"; on the screen:\n"
                             << Screen();
            for (const char* part : {"/PLAN", "/LOG=file", "/D=folder", "bad command line", "restart the computer"})
                EXPECT_NE(box->AllText().find(part), std::string::npos) << part << " not in\n" << box->AllText();
            ASSERT_TRUE(Session().Click({"--contains", c.says}, "OK"));
        }
        ProcessResult ended = Session().Wait(Millis(20000), setup);
        ASSERT_FALSE(ended.timedOut) << "setup.exe did not end; on the screen:\n" << Screen();
        EXPECT_EQ(ended.exitCode, c.exitCode);
    }
}

// While one run of a product waits on its first page, a second run of the
// same package says that one is running and ends; with /S it says so only
// in its log and shows nothing.
TEST_F(CommandLineTest, ASecondRunOfTheSameProductEnds) {
    fs::path package = Package("pkg", Replace("[BUILDING]\r\n2=Yes", "[BUILDING]\r\n2=No"));
    ASSERT_FALSE(package.empty());
    StartSetup(package);
    ASSERT_TRUE(Session().WaitWindow({"--title", kPageTitle, "--exact"}, Millis(30000)))
        << "the first run shows no page; on the screen:\n" << Screen();

    const char* says = "is already running";
    int second = StartSetup(package, {}, Millis(60000));
    std::optional<WindowInfo> box = Session().WaitWindow({"--contains", says}, Millis(30000));
    ASSERT_TRUE(box) << "no message; on the screen:\n" << Screen();
    EXPECT_NE(box->AllText().find("Setup of Merrowin Install Test is already running."), std::string::npos)
        << box->AllText();
    ASSERT_TRUE(Session().Click({"--contains", says}, "OK"));
    ProcessResult ended = Session().Wait(Millis(20000), second);
    ASSERT_FALSE(ended.timedOut) << "the second run did not end";
    EXPECT_EQ(ended.exitCode, kExitAlreadyRunning);

    // A message box would hold the silent run until it timed out.
    fs::path log = LogFile("second.json");
    EXPECT_EQ(Run(package, {"/S", "/LOG=" + Session().WinPath(log)}), kExitAlreadyRunning);
    bool said = false;
    for (JsonLine& line : ReadLog(log)) said = said || (line["type"] == "message" && line["text"].find(says) != std::string::npos);
    EXPECT_TRUE(said) << LogText(ReadLog(log));
}

// Drive E: of the prefix on a memory file system of 64 KB of its own, filled
// up: a volume with no room. Mounting needs root; a case without it is
// skipped. Unmounted when the case ends.
class FullDrive {
public:
    explicit FullDrive(WineSession& session) : m_folder(session.ScratchDir() / "small") {
        fs::create_directories(m_folder);
        m_mounted = std::system(("mount -t tmpfs -o size=64k kqsmall '" + m_folder.string() + "'").c_str()) == 0;
        if (!m_mounted) return;
        {
            std::ofstream fill(m_folder / "fill", std::ios::binary);
            const std::string block(4096, 'x');
            while (fill.write(block.data(), block.size()) && fill.flush()) {}
        }
        const fs::path link = session.Prefix() / "dosdevices" / "e:";
        std::error_code error;
        fs::remove(link, error);
        fs::create_directory_symlink(m_folder, link);
    }
    ~FullDrive() {
        if (m_mounted) std::system(("umount -l '" + m_folder.string() + "'").c_str());
    }
    bool Mounted() const { return m_mounted; }

private:
    fs::path m_folder;
    bool m_mounted = false;
};

// A drive without room for the files ends the run before anything is made
// there: silent, with exit 4 and the room needed and free in the log; in
// the wizard, with a message saying both, Retry and Cancel.
TEST_F(CommandLineTest, AFullDriveEndsTheRunBeforeAnyFileIsCopied) {
    FullDrive drive(Session());
    if (!drive.Mounted()) GTEST_SKIP() << "cannot mount a small memory file system here";
    fs::path package = Package("pkg");
    ASSERT_FALSE(package.empty());
    fs::path log = LogFile("full.json");
    EXPECT_EQ(Run(package, {"/S", "/LOG=" + Session().WinPath(log), "/D=E:\\Acme"}), kExitRequirements);
    EXPECT_FALSE(fs::exists(Session().HostPath("E:\\Acme")));
    std::vector<JsonLine> lines = ReadLog(log);
    bool measured = false;
    for (JsonLine& line : lines) {
        measured = measured || (line["type"] == "space" && line["volume"] == "E:\\" && line["free"] == "0" &&
                                std::stoll(line["needed"]) > 0);
    }
    EXPECT_TRUE(measured) << LogText(lines);

    StartSetup(package, {"/D=E:\\Acme"});
    std::optional<WindowInfo> box = WaitPage({"--contains", "not enough free space"});
    ASSERT_TRUE(box.has_value());
    Session().Screenshot(Session().ScratchDir() / "full-drive.png");
    EXPECT_NE(box->AllText().find("Free: 0 bytes"), std::string::npos) << box->AllText();
    ASSERT_TRUE(Click({"--contains", "not enough free space"}, "Retry"));
    ASSERT_TRUE(WaitPage({"--contains", "not enough free space"}).has_value());
    ASSERT_TRUE(Click({"--contains", "not enough free space"}, "Cancel"));
    ASSERT_TRUE(Click({"--title", kPageTitle}, "Finish"));
    ExpectQuits(kExitRequirements);
    EXPECT_FALSE(fs::exists(Session().HostPath("E:\\Acme")));
}

// A package that shows pages (the license first) and asks for a restart at
// the end, run with /S and /D=: nothing appears on the screen, the run ends
// with the restart code instead of asking, the files are in the folder /D=
// names, and the log's file lines match the files on disk.
TEST_F(CommandLineTest, SilentRunShowsNothingAndInstallsWhereAsked) {
    fs::path package = Package("pkg", [](std::string& script) {
        Replace("[BUILDING]\r\n2=Yes", "[BUILDING]\r\n2=No")(script);
        Replace("TOTAL1=3\r\nW0=ready.lcd", "TOTAL1=4\r\nW0=license.lcd\r\nW1=ready.lcd")(script);
        Replace("W1=progress.lcd\r\nW2=complete.lcd", "W2=progress.lcd\r\nW3=complete.lcd")(script);
        Replace("CT14=No", "CT14=Yes")(script);
    });
    ASSERT_FALSE(package.empty());
    const std::string folder = "C:\\Custom Place\\Acme Notes";
    fs::path log = LogFile("silent.json");
    std::string shown;
    EXPECT_EQ(Run(package, {"/S", "/LOG=" + Session().WinPath(log), "/D=" + folder}, &shown), kExitRestartNeeded);
    EXPECT_EQ(shown, "") << "windows shown by a /S run";

    const fs::path installed = Session().HostPath(folder);
    EXPECT_EQ(ReadFile(installed / "readme.txt"), ReadFile(AuthoringDir("install") / "files" / "readme.txt"));
    EXPECT_TRUE(fs::exists(installed / "bin" / "app.exe"));
    EXPECT_FALSE(fs::exists(Session().HostPath("C:\\Program Files\\Install Test Product")));
    EXPECT_EQ(Session().RegQuery("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" +
                                     std::string(kProductCode), "LastInstallationPath").value_or(""),
              folder + "\\");

    std::vector<JsonLine> lines = ReadLog(log);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back()["outcome"], "restart needed");
    int files = 0, steps = 0;
    for (JsonLine& line : lines) {
        if (line["type"] == "step") ++steps;
        if (line["type"] != "file" || line.count("xxh3") == 0) continue;
        ++files;
        const fs::path host = Session().HostPath(line["path"]);
        ASSERT_TRUE(fs::exists(host)) << line["path"] << " is in the log, not on disk";
        EXPECT_EQ(std::to_string(fs::file_size(host)), line["size"]) << line["path"];
    }
    EXPECT_GE(files, 3) << LogText(lines);
    EXPECT_GE(steps, 3) << LogText(lines);
    for (const char* name : {"readme.txt", "bin\\app.exe", "data\\a\\b\\c\\deep.dat"}) {
        bool logged = false;
        for (JsonLine& line : lines)
            logged = logged || (line["type"] == "file" && line["path"] == folder + "\\" + name);
        EXPECT_TRUE(logged) << name << " is not in the log";
    }
}

// /PLAN changes nothing (the prefix is as it was), and the installation
// that follows creates exactly the files, folders, keys and values the plan
// named, and nothing else.
TEST_F(CommandLineTest, PlanNamesWhatTheInstallationCreatesAndChangesNothing) {
    fs::path package = Package("pkg");
    ASSERT_FALSE(package.empty());
    const Snapshot before = TakeSnapshot(Session());
    fs::path planLog = LogFile("plan.json");
    EXPECT_EQ(Run(package, {"/PLAN", "/LOG=" + Session().WinPath(planLog)}), kExitInstalled);
    const Snapshot planned = TakeSnapshot(Session());
    std::vector<std::string> changed = Diff(before, planned);
    EXPECT_TRUE(changed.empty()) << "the plan changed the prefix:\n" << Lines(changed);

    std::vector<JsonLine> plan = ReadLog(planLog);
    ASSERT_FALSE(plan.empty());
    EXPECT_EQ(plan.back()["outcome"], "planned");

    // Without /LOG= the plan goes to standard output, the same lines.
    int bare = StartSetup(package, {"/PLAN"}, Millis(60000));
    ProcessResult printed = Session().Wait(Millis(60000), bare);
    ASSERT_FALSE(printed.timedOut);
    EXPECT_EQ(printed.exitCode, kExitInstalled);
    size_t printedFiles = 0, planFiles = 0;
    for (size_t at = 0; (at = printed.output.find("\"type\":\"file\"", at)) != std::string::npos; ++at) ++printedFiles;
    for (JsonLine& line : plan) planFiles += line["type"] == "file" ? 1 : 0;
    EXPECT_EQ(printedFiles, planFiles) << printed.output;
    EXPECT_NE(printed.output.find("\"outcome\":\"planned\""), std::string::npos) << printed.output;
    EXPECT_TRUE(Diff(before, TakeSnapshot(Session())).empty());

    fs::path installLog = LogFile("install.json");
    EXPECT_EQ(Run(package, {"/S", "/LOG=" + Session().WinPath(installLog)}), kExitInstalled);
    const Snapshot after = TakeSnapshot(Session());
    std::set<std::string> createdFiles, createdRegistry, other;
    const std::vector<std::string> diff = Diff(planned, after);
    for (const std::string& line : diff) {
        if (line.rfind("+ file ", 0) == 0) createdFiles.insert(line.substr(7));
        else if (line.rfind("+ reg ", 0) == 0) createdRegistry.insert(line.substr(6));
        else other.insert(line);
    }
    // Wine's registry files name a key without values only while it has no
    // subkeys: a key that got one "goes" from the snapshot.
    for (auto it = other.begin(); it != other.end();) {
        bool parent = false;
        if (it->rfind("- reg ", 0) == 0 && it->find('|') == std::string::npos) {
            const std::string below = it->substr(6) + "\\\\";
            for (const std::string& added : createdRegistry) parent = parent || added.rfind(below, 0) == 0;
        }
        it = parent ? other.erase(it) : std::next(it);
    }
    EXPECT_TRUE(other.empty()) << "the installation changed what was there:\n"
                               << Lines(std::vector<std::string>(other.begin(), other.end()));

    std::set<std::string> plannedFiles = LoggedFiles(plan, "file");
    for (const std::string& folder : LoggedFiles(plan, "folder")) plannedFiles.insert(folder);
    EXPECT_EQ(plannedFiles, createdFiles);

    // Keys, and each value as "key|"name"=": Wine writes a key's default
    // value as "@=".
    auto valueName = [](const std::string& key, const std::string& name) {
        if (name.empty()) return key + "|@=";
        std::string text;
        for (char c : Lower(name)) text += c == '\\' ? std::string("\\\\") : std::string(1, c);
        return key + "|\"" + text + "\"=";
    };
    std::set<std::string> plannedRegistry;
    for (JsonLine& line : plan) {
        if (line["type"] == "shared") {
            plannedRegistry.insert(valueName(
                RegistryName("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs"),
                line["path"]));
            continue;
        }
        const std::string key = RegistryName(line["key"]);
        if (key.empty()) continue;
        if (line["type"] == "key") plannedRegistry.insert(key);
        if (line["type"] == "value" && line.count("after") != 0) plannedRegistry.insert(valueName(key, line["name"]));
    }
    std::set<std::string> created;
    for (const std::string& line : createdRegistry) {
        size_t bar = line.find('|');
        if (bar == std::string::npos) created.insert(line);
        else created.insert(line.substr(0, line.find('=', bar) + 1));
    }
    EXPECT_EQ(plannedRegistry, created);

    // The installation's own log names the same changes as the plan.
    std::vector<JsonLine> install = ReadLog(installLog);
    EXPECT_EQ(LoggedFiles(install, "file"), LoggedFiles(plan, "file"));
    EXPECT_EQ(LoggedFiles(install, "folder"), LoggedFiles(plan, "folder"));
}

}  // namespace
}  // namespace kq::e2e
