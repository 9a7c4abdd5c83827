// The installation as a user sees it under Wine: what a silent setup puts on
// the machine (files, their attributes and contents, the uninstall log line
// by line, the Uninstall key, the maintenance files) from a cabinet and from
// a disk image, a preview run that only makes folders, the operating-system
// masks of files, a must-install file whose packed source is missing, a
// cancel confirmed while files are being copied, and cabinets whose stored
// names try to leave the working folder. The product's files come out of the
// cabinet straight into place: a cancel in the middle of a large one, the
// version rule and expand content deciding beside the destination, a
// cabinet with its support files last, and damaged product data.
//
// The package is tests/e2e/packages/install with the default theme of
// sample/theme and the maintenance runner kqexec.exe as a support file; its
// file list is written here from InstallFiles(), so that table is the one
// description of what the package holds.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "http_server.h"
#include "pe_imports.h"
#include "prefix_snapshot.h"
#include "kqexec/runner_exit_codes.h"
#include "setup_fixture.h"

namespace kq::e2e {
namespace {

constexpr char kProductName[] = "Merrowin Install Test";
constexpr char kProductCode[] = "{5A0C7E21-93B4-4F6D-8E1A-2C3B4D5E6F70}";
constexpr char kInstallDir[] = "C:\\Program Files\\Install Test Product\\";
constexpr char kUninstallRoot[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr char kPageTitle[] = "Merrowin Install Test Setup";
constexpr char kDialogTitle[] = "Calvarr Merrowin";
// From the package's language.lan, [ProductName] expanded.
constexpr char kConfirmCancel[] = "Stop now";
constexpr char kErrorStatus[] =
    "Merrowin Install Test was not installed: the installation stopped before its end.";
// files\docs\about.txt of the package, installed with expand content.
constexpr char kExpandedAbout[] =
    "Installed in C:\\Program Files\\Install Test Product\\ for Merrowin Install Test 3.1.4.\r\n"
    "Left alone: [ProductName], <NoSuchPlaceholder>.\r\n"
    "The share \\server\\files loses one backslash.\r\n";
// What the completion page adds when the run's changes were undone.
constexpr char kRolledBack[] = "Everything this installation had changed was undone";
// The option bits of the file list.
enum FileOption : int {
    kReadOnly1 = 1,
    kReadOnly2 = 2,
    kHidden = 4,
    kSystem = 8,
    kMustInstall = 16,
    kKeepExisting = 32,
    kNotLogged = 64,
    kRegister = 128,
    kExpandContent = 256,
};

// One file of the package.
struct PackageFile {
    std::string source;  // first line of the pair, as the author's machine named it
    std::string folder;  // destination after "<InstallDir>", as written ("bin\", "bin" or "")
    int options = 0;
    int mask = 0;

    // The name after the last backslash.
    std::string Name() const { return source.substr(source.find_last_of('\\') + 1); }
    // Relative to the authoring folder, as kqbuild reads it.
    fs::path AuthoringPath() const {
        std::string relative = source.size() > 2 && source[1] == ':' ? source.substr(3) : source;
        std::replace(relative.begin(), relative.end(), '\\', '/');
        return relative;
    }
    // Where it is installed (the install folder ends with a backslash).
    std::string Destination() const {
        std::string dir = kInstallDir + folder;
        if (dir.back() != '\\') dir += '\\';
        return dir + Name();
    }
};

const std::vector<PackageFile>& InstallFiles() {
    static const std::vector<PackageFile> files = [] {
        std::vector<PackageFile> list = {
            {"files\\readme.txt", "", 0, 0},
            {"C:\\files\\bin\\app.exe", "bin\\", kMustInstall, 0},
            {"C:\\files\\bin\\readonly1.dat", "bin\\", kReadOnly1, 0},
            {"C:\\files\\bin\\readonly2.dat", "bin", kReadOnly2, 0},  // the same folder as "bin\"
            {"C:\\files\\bin\\hidden.dat", "bin\\", kHidden, 0},
            {"C:\\files\\bin\\system.dat", "bin\\", kSystem, 0},
            {"C:\\files\\bin\\locked.dat", "bin\\", kReadOnly1 | kHidden | kSystem, 0},
            {"C:\\files\\bin\\plain.dat", "bin\\", 0, 0},  // replaces a read-only file
            {"C:\\files\\bin\\helper.dll", "bin\\", kRegister, 0},
            {"files\\conf\\settings.ini", "conf\\", kKeepExisting | kReadOnly1, 0},  // exists before
            {"files\\conf\\defaults.ini", "conf\\", kKeepExisting, 0},               // does not
            {"files\\conf\\cache.dat", "conf\\", kNotLogged, 0},
            {"files\\docs\\about.txt", "docs\\", kExpandContent, 0},
            {"files\\docs\\guide.txt", "docs\\", 0, 0},
            {"files\\docs\\release notes.txt", "docs\\", 0, 0},
            {"files\\os\\legacy98.txt", "os\\", 0, 2 | 4},  // 98 and 98 SE
            {"files\\os\\xponly.txt", "os\\", 0, 64},       // XP
            {"files\\os\\anyos.txt", "os\\", 0, 1},
            {"files\\os\\all255.txt", "os\\", 0, 255},
            {"files\\data\\a\\b\\c\\deep.dat", "data\\a\\b\\c\\", 0, 0},
            {"files\\lib\\empty.dat", "lib\\", 0, 0},
        };
        for (int i = 1; i <= 16; ++i) {
            char name[32];
            std::snprintf(name, sizeof(name), "chunk%02d.txt", i);
            if (i <= 8) list.push_back({std::string("files\\lib\\") + name, "lib\\", 0, 0});
            else list.push_back({std::string("files\\lib\\extra\\") + name, "lib\\extra\\", 0, 0});
        }
        return list;
    }();
    return files;
}

// The file mask bit of the system names Wine's versions report.
enum SystemBit : int { kWin98SE = 4, kWinXp = 64 };

bool MaskApplies(int mask, int systemBit) {
    return mask == 0 || mask == 255 || (mask & 1) != 0 || (mask & systemBit) != 0;
}

std::string DataInf(const std::vector<PackageFile>& files) {
    std::string text;
    for (const PackageFile& file : files) {
        text += file.source + "\r\n";
        text += "Destination Computer\\<InstallDir>" + file.folder + "*" + std::to_string(file.options) + "*" +
                std::to_string(file.mask) + "*0|\r\n";
    }
    return text;
}

// The uninstall log a complete run writes for `files` on the system with
// `systemBit`: the total, the install folder, each distinct destination
// folder once, the maintenance entries, then one FILE line per installed and
// logged file. `fileCount` cuts the FILE lines (a run that stopped early).
std::vector<std::string> ExpectedLog(const std::vector<PackageFile>& files, int systemBit,
                                     const std::vector<std::string>& maintenance = {},
                                     size_t fileCount = SIZE_MAX) {
    std::vector<std::string> lines = {"TOTALFILE=" + std::to_string(files.size()),
                                      std::string("DIR=") + kInstallDir};
    std::vector<std::string> folders;
    for (const PackageFile& file : files) {
        std::string folder = file.folder;
        if (!folder.empty() && folder.back() == '\\') folder.pop_back();
        if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
    }
    for (const std::string& folder : folders) lines.push_back("DIR=" + std::string(kInstallDir) + folder);
    lines.insert(lines.end(), maintenance.begin(), maintenance.end());
    for (size_t i = 0; i < files.size() && i < fileCount; ++i) {
        if (!MaskApplies(files[i].mask, systemBit) || (files[i].options & kNotLogged) != 0) continue;
        lines.push_back("FILE=" + files[i].Destination());
    }
    return lines;
}

std::vector<std::string> SplitCrLf(const std::string& text, bool* endsWithCrLf) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) break;
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    *endsWithCrLf = start == text.size();
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

// Every regular file below `root`, as paths relative to it with "/".
std::set<std::string> FilesBelow(const fs::path& root) {
    std::set<std::string> found;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        if (it->is_regular_file()) found.insert(it->path().lexically_relative(root).generic_string());
    }
    return found;
}

// The same, one name a line in sorted order.
std::string Listing(const fs::path& root) {
    std::set<std::string> found = FilesBelow(root);
    return Joined({found.begin(), found.end()});
}

// "bin/app.exe" for a destination below the install folder.
std::string RelativeToInstallDir(const std::string& destination) {
    std::string relative = destination.substr(std::char_traits<char>::length(kInstallDir));
    std::replace(relative.begin(), relative.end(), '\\', '/');
    return relative;
}

struct RegistryValue {
    std::string type;
    std::string data;
};

class InstallTest : public SetupTest {
protected:
    void SetUp() override {
        if (!fs::exists(Kqexec())) GTEST_SKIP() << "kqexec.exe is not built: " << Kqexec();
        SetupTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(fs::exists(Theme() / "complete.lcd")) << "no default theme in " << Theme();
    }

    static fs::path Theme() { return HarnessPaths::SourceDir() / "sample" / "theme"; }

    // The package folder with the theme, `files` as its file list and
    // `changes` made to its setup script, assembled in the scratch folder as
    // `name`.
    fs::path MakeAuthoring(const std::string& name, const std::vector<PackageFile>& files,
                           const std::vector<ScriptChange>& changes = {}) {
        fs::path authoring = CopyAuthoring("install", name);
        WriteFile(authoring / "data.inf", DataInf(files));
        std::string script = ReadFile(authoring / "setup.inf");
        for (const ScriptChange& change : changes)
            EXPECT_TRUE(SetIniValue(script, change.section, change.key, change.value, true))
                << "no [" << change.section << "]";
        WriteFile(authoring / "setup.inf", script);
        return authoring;
    }

    // Builds `authoring` into C:\<name> with kqexec.exe as a support file;
    // an empty path when the builder fails.
    fs::path Build(const fs::path& authoring, const std::string& name, const std::string& layout = "cab") {
        return BuildInto(authoring, name, layout, {"--support", PackedKqexec().string()});
    }

    // Waits for the ready page and presses its Install button; false (with
    // a failure) when either step fails.
    bool PressInstallOnTheReadyPage() {
        if (!Session().WaitWindow({"--title", kPageTitle, "--exact", "--contains", "Install"}, Millis(30000))) {
            ADD_FAILURE() << "no ready page; on the screen:\n" << Screen();
            return false;
        }
        return Click({"--title", kPageTitle, "--exact"}, "Install");
    }

    // Asks to cancel with the driver command `ask` (the page's Cancel
    // button, or Escape) while a second driver already waits for the
    // question, so its confirming button is pressed at once; then waits for
    // the error ending. None (with a failure) when a step fails.
    std::optional<WindowInfo> CancelAndConfirm(const std::vector<std::string>& ask) {
        int confirm = Session().Start(HarnessPaths::Uidriver().string(),
                                      {"click", "--title", kDialogTitle, "--exact", "--text", kConfirmCancel,
                                       "--timeout", "20000"},
                                      {}, Millis(40000));
        ProcessResult cancel = Session().Driver(ask);
        ProcessResult confirmed = Session().Wait(Millis(40000), confirm);
        if (cancel.exitCode != uidriver::kExitDone) ADD_FAILURE() << cancel.errors;
        if (confirmed.exitCode != uidriver::kExitDone)
            ADD_FAILURE() << "the cancel question was not answered: " << confirmed.errors;
        if (cancel.exitCode != uidriver::kExitDone || confirmed.exitCode != uidriver::kExitDone) return std::nullopt;
        std::optional<WindowInfo> complete =
            Session().WaitWindow({"--title", kPageTitle, "--exact", "--contains", kErrorStatus}, Millis(60000));
        if (!complete) ADD_FAILURE() << "no error ending; on the screen:\n" << Screen();
        return complete;
    }

    // Runs a package with "/S" to its end; false (with a failure) when it
    // does not end by itself or ends with another exit code.
    bool RunSilent(const fs::path& package, int expectedExit = kExitInstalled) {
        int setup = StartSetup(package, {"/S"});
        ProcessResult ended = Session().Wait(Millis(60000), setup);
        if (ended.timedOut) {
            ADD_FAILURE() << "the silent setup did not end; on the screen:\n" << Screen();
            return false;
        }
        EXPECT_EQ(ended.exitCode, expectedExit) << ended.errors;
        return ended.exitCode == expectedExit;
    }

    fs::path Host(const std::string& winPath) { return Session().HostPath(winPath); }
    fs::path InstallDirHost() { return Host(kInstallDir); }
    fs::path MaintenanceFolder(const std::string& code = kProductCode) {
        return Host(std::string("C:\\windows\\Installer\\") + code);
    }

    // The uninstall log's lines; every line must end with CR LF.
    std::vector<std::string> LogLines(const std::string& code = kProductCode) {
        fs::path log = MaintenanceFolder(code) / "uninstall.log";
        EXPECT_TRUE(fs::exists(log)) << "no uninstall log at " << log;
        bool endsWithCrLf = false;
        std::vector<std::string> lines = SplitCrLf(ReadFile(log), &endsWithCrLf);
        EXPECT_TRUE(endsWithCrLf) << "the log's last line has no CR LF";
        return lines;
    }

    // Every value of the product's Uninstall key by name, or nothing when
    // the key does not exist.
    std::optional<std::map<std::string, RegistryValue>> UninstallValues(const std::string& code = kProductCode) {
        ProcessResult query = Session().Run("reg", {"query", kUninstallRoot + code});
        if (query.exitCode != EXIT_SUCCESS) return std::nullopt;
        std::map<std::string, RegistryValue> values;
        std::istringstream lines(query.output);
        std::string line;
        while (std::getline(lines, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            size_t type = line.find("    REG_");
            if (line.compare(0, 4, "    ") != 0 || type == std::string::npos) continue;
            std::string name = line.substr(4, type - 4);
            size_t typeEnd = line.find("    ", type + 4);
            RegistryValue value;
            value.type = line.substr(type + 4, typeEnd == std::string::npos ? std::string::npos : typeEnd - type - 4);
            if (typeEnd != std::string::npos) value.data = line.substr(typeEnd + 4);
            values[name] = value;
        }
        return values;
    }

    // The read-only, hidden and system attributes ("R", "H", "S" in that
    // order) of every file below `winFolder`, as Windows reports them: Wine
    // keeps hidden and system beside the file, where only a Windows program
    // sees them.
    std::map<std::string, std::string> Attributes(const std::string& winFolder) {
        ProcessResult listed = Session().Run("attrib", {"/s", winFolder + "*"});
        EXPECT_EQ(listed.exitCode, EXIT_SUCCESS) << listed.errors;
        std::map<std::string, std::string> attributes;
        std::istringstream lines(listed.output);
        std::string line;
        while (std::getline(lines, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            size_t path = line.find(":\\");
            if (path == std::string::npos || path == 0) continue;
            std::string flags = line.substr(0, path - 1);
            std::string found;
            for (char flag : {'R', 'H', 'S'})
                if (flags.find(flag) != std::string::npos) found += flag;
            attributes[line.substr(path - 1)] = found;
        }
        return attributes;
    }

    // Checks the files of a complete silent run against `files` on the
    // system with `systemBit`: the installed set exactly, each file's
    // content, the expanded text, the kept file.
    void ExpectInstalledFiles(const fs::path& authoring, const std::vector<PackageFile>& files, int systemBit,
                              const std::string& keptContent) {
        std::set<std::string> expected;
        for (const PackageFile& file : files)
            if (MaskApplies(file.mask, systemBit)) expected.insert(RelativeToInstallDir(file.Destination()));
        EXPECT_EQ(Joined({expected.begin(), expected.end()}), Listing(InstallDirHost()))
            << "the files below the install folder";

        for (const PackageFile& file : files) {
            if (!MaskApplies(file.mask, systemBit)) continue;
            fs::path installed = Host(file.Destination());
            std::string packed = ReadFile(authoring / file.AuthoringPath());
            if (file.Name() == "settings.ini") {
                EXPECT_EQ(ReadFile(installed), keptContent) << "keep existing replaced " << file.Destination();
            } else if ((file.options & kExpandContent) != 0) {
                EXPECT_EQ(ReadFile(installed), kExpandedAbout);
                EXPECT_NE(ReadFile(installed), packed);
            } else {
                EXPECT_EQ(ReadFile(installed), packed) << file.Destination();
            }
        }
    }

    // The read-only, hidden and system attributes the options ask for.
    void ExpectAttributes(const std::vector<PackageFile>& files, int systemBit) {
        std::map<std::string, std::string> attributes = Attributes(kInstallDir);
        for (const PackageFile& file : files) {
            if (!MaskApplies(file.mask, systemBit)) continue;
            std::string wanted;
            if (file.options & (kReadOnly1 | kReadOnly2)) wanted += 'R';
            if (file.options & kHidden) wanted += 'H';
            if (file.options & kSystem) wanted += 'S';
            auto it = attributes.find(file.Destination());
            ASSERT_NE(it, attributes.end()) << "attrib does not list " << file.Destination();
            EXPECT_EQ(it->second, wanted) << file.Destination();
        }
    }
};

// A silent setup from the cabinet installs exactly the files whose masks
// take XP, each with its content, attributes and log line; keeps the file
// that was there; expands the text that asks for it; registers the product
// with the values the script fills; leaves the maintenance runner and the
// language file; and removes its working folder.
TEST_F(InstallTest, SilentInstallFromTheCabinet) {
    const std::vector<PackageFile>& files = InstallFiles();
    fs::path authoring = MakeAuthoring("install", files);
    fs::path package = Build(authoring, "pkg");
    ASSERT_FALSE(package.empty());
    ASSERT_TRUE(fs::exists(package / "file1.cab"));

    // What the machine holds before: the file to keep, a read-only file that
    // the package replaces, and the log of an earlier run that must not
    // survive into this one.
    const std::string kept = "[Settings]\r\nSource=user\r\n";
    WriteFile(Host(std::string(kInstallDir) + "conf\\settings.ini"), kept);
    fs::path plain = Host(std::string(kInstallDir) + "bin\\plain.dat");
    WriteFile(plain, "old read-only content\r\n");
    ProcessResult readOnly = Session().Run("attrib", {"+r", Session().WinPath(plain)});
    ASSERT_EQ(readOnly.exitCode, EXIT_SUCCESS) << readOnly.errors;
    WriteFile(MaintenanceFolder() / "uninstall.log", "FILE=C:\\left\\by\\an\\earlier\\run.txt\r\n");

    ASSERT_TRUE(RunSilent(package));

    ExpectInstalledFiles(authoring, files, kWinXp, kept);
    ExpectAttributes(files, kWinXp);
    EXPECT_EQ(Joined(LogLines()), Joined(ExpectedLog(files, kWinXp)));

    std::optional<std::map<std::string, RegistryValue>> values = UninstallValues();
    ASSERT_TRUE(values.has_value()) << "no Uninstall key for " << kProductCode;
    const std::map<std::string, std::string> expected = {
        {"DisplayName", kProductName},
        {"DisplayVersion", "3.1.4"},
        {"Publisher", "Install Test Team"},
        {"URLInfoAbout", "http://example.invalid/about"},
        {"HelpLink", "http://example.invalid/help"},
        {"HelpTelephone", "555-0100"},
        {"LastInstallationPath", kInstallDir},
        {"ModifyPath", std::string("kqexec.exe /M ") + kProductCode},
        {"UninstallString", std::string("kqexec.exe /R ") + kProductCode},
        {"QuietUninstallString", std::string("kqexec.exe /R ") + kProductCode + " /S"},
        {"InstallSource", "C:\\pkg"},
    };
    for (const auto& [name, data] : expected) {
        auto it = values->find(name);
        ASSERT_NE(it, values->end()) << "no value " << name;
        EXPECT_EQ(it->second.type, "REG_SZ") << name;
        EXPECT_EQ(it->second.data, data) << name;
    }
    ASSERT_EQ(values->count("NoModify"), 1u) << "a15=Yes writes NoModify";
    EXPECT_EQ(values->at("NoModify").type, "REG_DWORD");
    EXPECT_EQ(values->at("NoModify").data, "0x1");
    // Empty or "No" in the script: no value at all. Nothing else either.
    EXPECT_EQ(values->size(), expected.size() + 1) << [&] {
        std::string names;
        for (const auto& [name, value] : *values) names += name + " ";
        return "values: " + names;
    }();
    for (const char* absent : {"Comments", "URLUpdateInfo", "NoRemove", "NoRepair", "DisplayIcon",
                               "UninstallRemoveAll", "UninstallExecute", "LVmode"})
        EXPECT_EQ(values->count(absent), 0u) << absent;

    EXPECT_EQ(ReadFile(Host("C:\\windows\\kqexec.exe")), ReadFile(PackedKqexec())) << "the maintenance runner";
    EXPECT_EQ(ReadFile(MaintenanceFolder() / "language.lan"), ReadFile(package / "language.lan"));
    EXPECT_TRUE(WorkFolders().empty()) << "the working folder is still there";
}

// The same package laid out as DiskImage1 installs from there: the cabinet
// beside it is not even a cabinet. The prefix says Windows 98 (Wine's
// version is 98 SE), so the masks choose the other system's files. The
// registration leaves out Publisher when "a19" is empty and writes NoRemove
// and NoRepair when asked. A second product that asks not to be listed
// ("a14" No) gets its key without DisplayName and UninstallString, with
// UninstallRemoveAll and the REMOVEALL entry for "a13" No, and the theme in
// its maintenance folder.
class DiskImageInstallTest : public InstallTest {
protected:
    WindowsVersion Version() const override { return WindowsVersion::Win98; }
};

TEST_F(DiskImageInstallTest, InstallsTheSameFromTheDiskImage) {
    const std::vector<PackageFile>& files = InstallFiles();
    fs::path authoring = MakeAuthoring("install", files,
                                       {{"APPINFO", "a19", ""}, {"APPINFO", "a15", "No"},
                                        {"APPINFO", "a16", "Yes"}, {"APPINFO", "a17", "Yes"}});
    fs::path package = Build(authoring, "pkg", "diskimage");
    ASSERT_FALSE(package.empty());
    ASSERT_TRUE(fs::is_directory(package / "DiskImage1"));
    ASSERT_FALSE(fs::exists(package / "file1.cab"));
    WriteFile(package / "file1.cab", "not a cabinet\r\n");
    // A read-only packed file: the copy carries the attribute, options 0 take it away.
    ASSERT_EQ(files[7].Name(), "plain.dat");
    ProcessResult readOnly = Session().Run("attrib", {"+r", Session().WinPath(package / "DiskImage1" / "F7_plain.dat")});
    ASSERT_EQ(readOnly.exitCode, EXIT_SUCCESS) << readOnly.errors;

    ASSERT_TRUE(RunSilent(package));
    // Nothing was there to keep: the package's settings.ini is installed.
    ExpectInstalledFiles(authoring, files, kWin98SE, ReadFile(authoring / "files" / "conf" / "settings.ini"));
    ExpectAttributes(files, kWin98SE);
    EXPECT_EQ(Joined(LogLines()), Joined(ExpectedLog(files, kWin98SE)));
    // Files are copied out of the disk image, never moved: the package stays whole.
    for (size_t i = 0; i < files.size(); ++i) {
        std::string packed = "F" + std::to_string(i) + "_" + files[i].Name();
        EXPECT_TRUE(fs::exists(package / "DiskImage1" / packed)) << "the disk image lost " << packed;
    }
    EXPECT_EQ(ReadFile(MaintenanceFolder() / "language.lan"), ReadFile(package / "language.lan"));
    EXPECT_TRUE(WorkFolders().empty()) << "the working folder is still there";

    std::optional<std::map<std::string, RegistryValue>> values = UninstallValues();
    ASSERT_TRUE(values.has_value()) << "no Uninstall key for " << kProductCode;
    for (const char* present : {"DisplayName", "DisplayVersion", "UninstallString", "ModifyPath", "InstallSource"})
        EXPECT_EQ(values->count(present), 1u) << present;
    EXPECT_EQ(values->count("Publisher"), 0u) << "an empty a19 still wrote Publisher";
    EXPECT_EQ(values->count("NoModify"), 0u);
    for (const char* flag : {"NoRemove", "NoRepair"}) {
        ASSERT_EQ(values->count(flag), 1u) << flag;
        EXPECT_EQ(values->at(flag).data, "0x1") << flag;
    }
    EXPECT_EQ(values->at("InstallSource").data, "C:\\pkg");

    // The unlisted product.
    const std::string hiddenCode = "{5A0C7E21-93B4-4F6D-8E1A-2C3B4D5E6F71}";
    fs::path hiddenAuthoring = MakeAuthoring("unlisted", files,
                                             {{"APPINFO", "a3", hiddenCode}, {"APPINFO", "a14", "No"},
                                              {"APPINFO", "a10", "Yes"}, {"APPINFO", "a13", "No"}});
    fs::path hiddenPackage = Build(hiddenAuthoring, "unlisted", "diskimage");
    ASSERT_FALSE(hiddenPackage.empty());
    ASSERT_TRUE(RunSilent(hiddenPackage));
    std::optional<std::map<std::string, RegistryValue>> hidden = UninstallValues(hiddenCode);
    ASSERT_TRUE(hidden.has_value()) << "a14=No still makes the Uninstall key";
    ASSERT_EQ(hidden->count("UninstallRemoveAll"), 1u);
    EXPECT_EQ(hidden->at("UninstallRemoveAll").data, "No");
    EXPECT_EQ(hidden->size(), 1u) << "a14=No writes no listing values";
    EXPECT_EQ(Joined(LogLines(hiddenCode)), Joined(ExpectedLog(files, kWin98SE, {"REMOVEALL=Yes"})));
    EXPECT_EQ(ReadFile(MaintenanceFolder(hiddenCode) / "theme" / "progress.lcd"),
              ReadFile(hiddenPackage / "theme" / "progress.lcd"))
        << "a10=Yes copies the theme into the maintenance folder";
}

// A preview run makes the folders and writes the log's first entries, and
// nothing else: no file, no registration, no maintenance runner; its working
// folder stays with the support files, the product's files still packed.
TEST_F(InstallTest, PreviewMakesOnlyTheFolders) {
    const std::vector<PackageFile>& files = InstallFiles();
    fs::path authoring = MakeAuthoring("install", files, {{"APPINFO", "PREVIEW", "255"}});
    fs::path package = Build(authoring, "pkg");
    ASSERT_FALSE(package.empty());

    ASSERT_TRUE(RunSilent(package));

    std::vector<std::string> expected = ExpectedLog(files, kWinXp);
    expected.erase(std::remove_if(expected.begin(), expected.end(),
                                  [](const std::string& line) { return line.compare(0, 5, "FILE=") == 0; }),
                   expected.end());
    EXPECT_EQ(Joined(LogLines()), Joined(expected));
    for (const std::string& line : expected) {
        if (line.compare(0, 4, "DIR=") != 0) continue;
        EXPECT_TRUE(fs::is_directory(Host(line.substr(4)))) << "not created: " << line.substr(4);
    }
    EXPECT_TRUE(fs::is_directory(MaintenanceFolder())) << "no maintenance folder";
    EXPECT_TRUE(FilesBelow(InstallDirHost()).empty()) << "a preview installed files";
    EXPECT_FALSE(UninstallValues().has_value()) << "a preview registered the product";
    EXPECT_FALSE(fs::exists(Host("C:\\windows\\kqexec.exe")));
    EXPECT_FALSE(fs::exists(MaintenanceFolder() / "language.lan"));

    std::vector<fs::path> work = WorkFolders();
    ASSERT_EQ(work.size(), 1u) << "the preview's working folder is gone";
    // The product's files stay in the cabinet until a copy step takes them:
    // a preview, which has none, extracts none.
    for (size_t i = 0; i < files.size(); ++i) {
        std::string packed = "F" + std::to_string(i) + "_" + files[i].Name();
        EXPECT_FALSE(fs::exists(work[0] / packed)) << packed;
    }
    EXPECT_TRUE(fs::exists(work[0] / "kqexec.exe"));
    // The support files stay for the preview; the decrypted scripts never do.
    for (const char* script : {"setup.inf", "data.inf"}) EXPECT_FALSE(fs::exists(work[0] / script)) << script;
}

// A must-install file whose packed source is missing stops the installation
// with the fatal file dialog; after it the completion page shows the error
// ending, the file before it stays installed, nothing after it is copied and
// the product is not registered.
TEST_F(InstallTest, MissingMustInstallSourceAbortsTheInstallation) {
    const std::vector<PackageFile>& files = InstallFiles();
    ASSERT_EQ(files[1].Name(), "app.exe");
    ASSERT_EQ(files[1].options & kMustInstall, kMustInstall);
    fs::path authoring = MakeAuthoring("install", files, {{"BUILDING", "2", "No"}});
    fs::path package = Build(authoring, "pkg", "diskimage");
    ASSERT_FALSE(package.empty());
    ASSERT_TRUE(fs::remove(package / "DiskImage1" / "F1_app.exe"));

    StartSetup(package);
    ASSERT_TRUE(PressInstallOnTheReadyPage());

    std::optional<WindowInfo> fatal =
        Session().WaitWindow({"--title", kDialogTitle, "--exact", "--contains", "Can't be installed."}, Millis(30000));
    ASSERT_TRUE(fatal) << "no fatal file dialog; on the screen:\n" << Screen();
    const std::string message = std::string("Merrowin will abort installation, the file:\r\n") + kInstallDir +
                                "bin\\app.exe\r\nCan't be installed.";
    EXPECT_NE(fatal->FindByText(message), nullptr) << fatal->AllText();
    for (const char* hidden : {"Retry", "Ignore"}) {
        const ControlInfo* button = fatal->FindByText(hidden);
        EXPECT_TRUE(button == nullptr || !button->visible) << hidden << " is offered in the fatal dialog";
    }
    const ControlInfo* cancel = fatal->FindByText("Cancel");
    ASSERT_NE(cancel, nullptr) << fatal->AllText();
    EXPECT_TRUE(cancel->visible);
    ASSERT_TRUE(Click({"--title", kDialogTitle, "--exact"}, "Cancel"));

    std::optional<WindowInfo> complete =
        Session().WaitWindow({"--title", kPageTitle, "--exact", "--contains", kErrorStatus}, Millis(30000));
    ASSERT_TRUE(complete) << "no error ending; on the screen:\n" << Screen();
    EXPECT_EQ(complete->FindByText("Setup has installed Merrowin Install Test successfully. Click Finish to exit "
                                   "the wizard."),
              nullptr);

    // The file installed before the missing one is taken away again with
    // everything else the run made, log and record included.
    EXPECT_FALSE(fs::exists(InstallDirHost())) << Listing(InstallDirHost());
    EXPECT_FALSE(fs::exists(MaintenanceFolder())) << "the aborted run's log stays";
    EXPECT_NE(complete->AllText().find(kRolledBack), std::string::npos) << complete->AllText();
    EXPECT_FALSE(UninstallValues().has_value()) << "an aborted installation registered the product";
    EXPECT_FALSE(fs::exists(MaintenanceFolder() / "language.lan"));
    EXPECT_TRUE(WorkFolders().empty()) << "the working folder stays after the abort";

    ASSERT_TRUE(Click({"--title", kPageTitle, "--exact"}, "Finish"));
    ExpectQuits(kExitFileFailed);
}

// The same package run with "/S": nobody is there to answer the fatal file
// dialog, so it is not shown; the run takes the failure path by itself, is
// undone as an attended one is (the file it had replaced holds its earlier
// content again, and nothing else is left), and says so by its exit code.
TEST_F(InstallTest, SilentRunThatFailsEndsUnaskedWithItsExitCode) {
    const std::vector<PackageFile>& files = InstallFiles();
    fs::path package = Build(MakeAuthoring("install", files), "pkg", "diskimage");
    ASSERT_FALSE(package.empty());
    ASSERT_TRUE(fs::remove(package / "DiskImage1" / "F1_app.exe"));
    ASSERT_EQ(files[0].Name(), "readme.txt");
    const std::string earlier = "the readme an earlier program left here\r\n";
    WriteFile(Host(files[0].Destination()), earlier);

    ASSERT_TRUE(RunSilent(package, kExitFileFailed));
    EXPECT_EQ(Listing(InstallDirHost()), "readme.txt\n") << "the failed run was not undone";
    EXPECT_EQ(ReadFile(Host(files[0].Destination())), earlier) << "the replaced file was not put back";
    EXPECT_FALSE(UninstallValues().has_value()) << "a failed installation registered the product";
    EXPECT_TRUE(WorkFolders().empty()) << "the working folder stays after the failure";
}

// A product code that is no plain name cannot be registered for removal:
// the user is told why, the run ends with the error ending (not the normal
// completion page) and the working folder with the decrypted scripts is
// gone.
TEST_F(InstallTest, FailedRegistrationEndsAsAFailedInstallation) {
    const char kBadCode[] = "Acme/Notes";
    fs::path authoring = MakeAuthoring("install", InstallFiles(), {{"BUILDING", "2", "No"}, {"APPINFO", "a3", kBadCode}});
    fs::path package = Build(authoring, "pkg");
    ASSERT_FALSE(package.empty());

    StartSetup(package);
    ASSERT_TRUE(PressInstallOnTheReadyPage());

    std::optional<WindowInfo> told =
        Session().WaitWindow({"--title", "Merrowin", "--exact", "--contains", "not a plain name"}, Millis(30000));
    ASSERT_TRUE(told) << "no message about the registration; on the screen:\n" << Screen();
    ASSERT_TRUE(Click({"--title", "Merrowin", "--exact"}, "OK"));

    std::optional<WindowInfo> complete =
        Session().WaitWindow({"--title", kPageTitle, "--exact", "--contains", kErrorStatus}, Millis(30000));
    ASSERT_TRUE(complete) << "no error ending; on the screen:\n" << Screen();
    EXPECT_FALSE(UninstallValues(kBadCode).has_value());
    EXPECT_TRUE(WorkFolders().empty()) << "the working folder with the decrypted scripts stays";

    ASSERT_TRUE(Click({"--title", kPageTitle, "--exact"}, "Finish"));
    ExpectQuits(kExitFailed);
}

// A cancel confirmed while the files are copied stops before the next file
// and undoes what the copy had done: no installed file, folder or log
// stays (the prefix equals its snapshot from before the run), the
// completion page shows the error ending and says so, the product is not
// registered, the working folder is gone and the exit code says the user
// cancelled. The package has many small files in a disk image, so the copy
// lasts long enough to be interrupted. The user asks with the Cancel button
// or with Escape, which the page hears while the program waits for the
// installation as on every page.
class CancelDuringTheCopyTest : public InstallTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(CancelDuringTheCopyTest, StopsBeforeTheNextFileAndUndoesTheCopy) {
    constexpr int kCount = 3000;
    std::vector<PackageFile> files;
    for (int i = 0; i < kCount; ++i) {
        char name[32];
        std::snprintf(name, sizeof(name), "file%04d.dat", i);
        char folder[16];
        std::snprintf(folder, sizeof(folder), "d%02d\\", i % 60);
        files.push_back({std::string("files\\") + name, folder, 0, 0});
    }
    fs::path authoring = MakeAuthoring("many", files, {{"BUILDING", "2", "No"}});
    for (int i = 0; i < kCount; ++i)
        WriteFile(authoring / files[i].AuthoringPath(), "file " + std::to_string(i) + " of the many\r\n");
    fs::path package = Build(authoring, "pkg", "diskimage");
    ASSERT_FALSE(package.empty());
    const Snapshot before = TakeSnapshot(Session());

    StartSetup(package);
    ASSERT_TRUE(PressInstallOnTheReadyPage());

    // Cancel only once the copy runs; the question's confirming button is
    // pressed by a driver waiting for it, so the answer comes at once.
    fs::path first = Host(files[0].Destination());
    ASSERT_TRUE(WaitUntil(Millis(30000), [&] { return fs::exists(first); })) << "the copy did not start";
    std::optional<WindowInfo> complete =
        CancelAndConfirm(GetParam() == "EscapeKey"
                             ? std::vector<std::string>{"key", "--title", kPageTitle, "--exact", "escape"}
                             : std::vector<std::string>{"click", "--title", kPageTitle, "--exact", "--text", "Cancel"});
    ASSERT_TRUE(complete);

    // What the copy had installed is undone at once: no file, folder or
    // log of the run is left, and the page says so.
    EXPECT_FALSE(fs::exists(InstallDirHost())) << FilesBelow(InstallDirHost()).size() << " files stay";
    EXPECT_FALSE(fs::exists(MaintenanceFolder())) << "the cancelled run's log stays";
    EXPECT_NE(complete->AllText().find(kRolledBack), std::string::npos) << complete->AllText();
    EXPECT_FALSE(UninstallValues().has_value()) << "a cancelled installation registered the product";
    EXPECT_TRUE(WorkFolders().empty()) << "the working folder stays after the cancel";

    ASSERT_TRUE(Click({"--title", kPageTitle, "--exact"}, "Finish"));
    ExpectQuits(kExitCancelled);
    const std::vector<std::string> diff = Diff(before, TakeSnapshot(Session()));
    EXPECT_TRUE(diff.empty()) << "the cancelled run left changes:\n" << Lines(diff);
}

INSTANTIATE_TEST_SUITE_P(ButtonAndKey, CancelDuringTheCopyTest, ::testing::Values("CancelButton", "EscapeKey"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

// Stored names that climb out of the working folder, name a drive, a root or
// a share are written under their last component inside the working folder
// and nowhere else; a name with no usable last component ends the start-up
// quietly before anything is installed.
TEST_F(InstallTest, HostileCabinetNamesStayInTheWorkingFolder) {
    const fs::path data = HarnessPaths::SourceDir() / "tests" / "win" / "data";
    ASSERT_TRUE(fs::exists(data / "hostile_paths.cab"));
    const std::vector<PackageFile>& files = InstallFiles();

    // A preview keeps the working folder to look into.
    fs::path authoring = MakeAuthoring("hostile", files, {{"APPINFO", "PREVIEW", "255"}});
    fs::path package = Build(authoring, "pkg");
    ASSERT_FALSE(package.empty());
    fs::copy_file(data / "hostile_paths.cab", package / "file1.cab", fs::copy_options::overwrite_existing);
    EXPECT_TRUE(RunSilent(package));

    std::vector<fs::path> work = WorkFolders();
    ASSERT_EQ(work.size(), 1u);
    // Nowhere else in the prefix, nor where "/tmp/..." leads on the host.
    std::vector<std::string> escaped;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(Session().Prefix(), error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->path().filename().string().rfind("kq_evil_", 0) == 0 && it->path().parent_path() != work[0])
            escaped.push_back(it->path().string());
    }
    EXPECT_TRUE(escaped.empty()) << "written outside the working folder:\n" << Joined(escaped);
    EXPECT_FALSE(fs::exists("/tmp/kq_evil_3.txt"));
    const char* const contents[] = {"one", "two", "three", "four", "five", "six", "seven"};
    for (int i = 1; i <= 7; ++i) {
        std::string name = "kq_evil_" + std::to_string(i) + ".txt";
        EXPECT_EQ(ReadFile(work[0] / name), std::string(contents[i - 1]) + "\r\n") << name;
    }

    // A refused name: the start-up ends as a damaged package (silently:
    // "/S"), nothing is installed, and what was extracted goes
    // with the run.
    fs::path refusedAuthoring = MakeAuthoring("refused", files, {{"APPINFO", "a4", "<ProgramFilesFolder>\\Refused"}});
    fs::path refused = Build(refusedAuthoring, "refused");
    ASSERT_FALSE(refused.empty());
    fs::copy_file(data / "refused_dotdot.cab", refused / "file1.cab", fs::copy_options::overwrite_existing);
    ASSERT_TRUE(RunSilent(refused, kExitDamaged));
    EXPECT_FALSE(fs::exists(Host("C:\\Program Files\\Refused"))) << "the installation ran after the failed extraction";
    EXPECT_EQ(WorkFolders(), work) << "the failed run left its working folder";

    // A preview keeps it: the files before the refused name are there, none after it.
    fs::path previewAuthoring = MakeAuthoring("refused-preview", files, {{"APPINFO", "PREVIEW", "255"}});
    fs::path preview = Build(previewAuthoring, "refused-preview");
    ASSERT_FALSE(preview.empty());
    fs::copy_file(data / "refused_dotdot.cab", preview / "file1.cab", fs::copy_options::overwrite_existing);
    ASSERT_TRUE(RunSilent(preview, kExitDamaged));
    std::vector<fs::path> after = WorkFolders();
    after.erase(std::remove(after.begin(), after.end(), work[0]), after.end());
    ASSERT_EQ(after.size(), 1u) << "no working folder of the preview";
    EXPECT_EQ(ReadFile(after[0] / "ok.txt"), "fine\r\n");
    EXPECT_FALSE(fs::exists(after[0] / "after.txt")) << "extraction went on after the refused name";
}

// The programs of the Windows build that plant DLLs and load them unsafely.
fs::path PlantMarkerDll() { return HarnessPaths::WinBuildDir() / "tests" / "win" / "plant_marker.dll"; }
fs::path BareLoadExe() { return HarnessPaths::WinBuildDir() / "tests" / "win" / "bare_load.exe"; }

// Every DLL that setup.exe or kqexec.exe names, from their import tables and
// from the names written in them for run-time loads, leaving out the known
// DLLs that the system itself protects (Wine does not model that protection,
// and a planted kernel32 would only stop the program from starting) and the
// DLLs those load in turn, which Windows NT protects with them but Wine
// looks up beside the program like any other (Wine's user32 imports
// version.dll, which the real one does not). The names left out for the
// second reason are added to `dependents`.
std::vector<std::string> PlantableDlls(const std::vector<fs::path>& programs, const fs::path& system32,
                                       std::vector<std::string>& dependents) {
    std::set<std::string> names;
    std::vector<std::string> pending;
    for (const fs::path& program : programs) {
        std::string bytes = ReadFile(program);
        PeImports imports = ReadPeImports(bytes);
        EXPECT_EQ(imports.problem, "") << program;
        for (const std::string& name : imports.imported) pending.push_back(Lower(name));
        for (const std::string& name : imports.delayed) names.insert(Lower(name));
        for (const std::string& name : DllNamesIn(bytes)) names.insert(name);
    }
    std::set<std::string> loadedBySystem;
    while (!pending.empty()) {
        std::string name = pending.back();
        pending.pop_back();
        if (!loadedBySystem.insert(name).second) continue;
        for (const std::string& next : ReadPeImports(ReadFile(system32 / name)).imported)
            pending.push_back(Lower(next));
    }
    for (const std::string& known : AllowedImports()) names.erase(known);
    for (const std::string& name : loadedBySystem)
        if (names.erase(name) != 0) dependents.push_back(name);
    return {names.begin(), names.end()};
}

// A DLL planted beside setup.exe under the name of any DLL setup.exe or
// kqexec.exe loads, or that a system DLL loads by name on their behalf, with
// Wine told to prefer such a copy (as Windows does for a name that is not a
// known DLL), never runs: not through an installation in the wizard or with
// /S, not through the removal by kqexec.exe started from that same folder.
// The same plants do run for a program that loads them by bare name, which
// shows that the plants and the markers work.
TEST_F(InstallTest, PlantedDllsBesideSetupNeverRun) {
    for (const fs::path& tool : {PlantMarkerDll(), BareLoadExe()})
        ASSERT_TRUE(fs::exists(tool)) << "not built: " << tool;
    std::vector<std::string> dependents;
    std::vector<std::string> planted =
        PlantableDlls({HarnessPaths::SetupExe(), Kqexec()}, Session().DriveC() / "windows" / "system32", dependents);
    ASSERT_FALSE(planted.empty());
    if (!dependents.empty()) std::printf("not planted, loaded by Wine's system DLLs: %s", Joined(dependents).c_str());
    // Loaded by name by the system's own DLLs once setup runs: the visual
    // styles by the common controls. (Wine's shell32 and user32 bind
    // shlwapi, imm32 and version.dll beside the program before its first
    // line runs; Windows takes them from the system folder with the known
    // DLLs that need them.)
    for (const char* name : {"uxtheme.dll"})
        if (std::find(planted.begin(), planted.end(), name) == planted.end()) planted.push_back(name);

    const std::vector<PackageFile>& files = InstallFiles();
    fs::path package = Build(MakeAuthoring("install", files, {{"BUILDING", "2", "No"}}), "pkg");
    ASSERT_FALSE(package.empty());
    std::string overrides;
    for (const std::string& name : planted) {
        fs::copy_file(PlantMarkerDll(), package / name);
        overrides += (overrides.empty() ? "" : ",") + name.substr(0, name.size() - 4);
    }
    fs::path markers = Session().DriveC() / "markers";
    fs::create_directories(markers);
    Session().SetEnvironment("KQ_PLANT_MARKERS", "C:\\markers");
    Session().SetEnvironment("WINEDLLOVERRIDES", overrides + "=n,b");

    int wizard = StartSetup(package);
    // A plant that ran may also have stopped the wizard: the markers say first.
    bool completed = PressInstallOnTheReadyPage() &&
                     Session().WaitWindow({"--title", kPageTitle, "--exact", "--contains", "successfully"}, Millis(60000));
    EXPECT_EQ(Listing(markers), "") << "planted DLLs that ran in the wizard, from: " << Joined(planted);
    ASSERT_TRUE(completed) << "no completion page; on the screen:\n" << Screen();
    ASSERT_TRUE(Click({"--title", kPageTitle, "--exact"}, "Finish"));
    EXPECT_EQ(Session().Wait(Millis(15000), wizard).exitCode, kExitInstalled);
    EXPECT_TRUE(UninstallValues().has_value()) << "the product was not registered";

    fs::copy_file(Host("C:\\windows\\kqexec.exe"), package / "kqexec.exe");
    ProcessResult removed =
        Session().Run(Session().WinPath(package / "kqexec.exe"), {"/S", "/R", kProductCode}, package);
    EXPECT_EQ(removed.exitCode, runner::kRemoved) << removed.errors;
    EXPECT_FALSE(UninstallValues().has_value()) << "the removal did not run to its end";

    ProcessResult silent = Session().Run(Session().WinPath(package / "setup.exe"), {"/S"}, package, Millis(60000));
    EXPECT_EQ(silent.exitCode, kExitInstalled) << silent.errors;
    EXPECT_TRUE(UninstallValues().has_value()) << "the silent run did not install";
    EXPECT_EQ(Listing(markers), "") << "planted DLLs that ran, from: " << Joined(planted);

    fs::copy_file(BareLoadExe(), package / "bare_load.exe");
    ProcessResult loaded = Session().Run(Session().WinPath(package / "bare_load.exe"), planted, package);
    EXPECT_EQ(loaded.exitCode, EXIT_SUCCESS) << loaded.errors;
    for (const std::string& name : planted) {
        std::string marker = ReadFile(markers / (name + ".marker"));
        EXPECT_EQ(Lower(marker.substr(0, marker.find('\r'))), Lower(Session().WinPath(package / name)))
            << name << " did not run for a bare-name load: " << loaded.output;
    }
}

// Folders named like the working folder of every second around the run,
// each already holding a maintenance runner, are left exactly as they were:
// the run makes a new folder of its own, and the runner it installs is the
// package's.
TEST_F(InstallTest, PreMadeWorkingFoldersAreLeftAlone) {
    const std::vector<PackageFile>& files = InstallFiles();
    fs::path package = Build(MakeAuthoring("install", files), "pkg");
    ASSERT_FALSE(package.empty());

    const std::string planted = "MZ planted maintenance runner";
    std::vector<fs::path> premade;
    std::time_t now = std::time(nullptr);
    for (std::time_t t = now - 5; t <= now + 120; ++t) {
        std::tm local = *std::localtime(&t);
        char name[16];
        std::snprintf(name, sizeof(name), "kq%02d%02d%02d", local.tm_hour, local.tm_min, local.tm_sec);
        premade.push_back(Session().TempDir() / name);
        fs::create_directories(premade.back());
        WriteFile(premade.back() / "kqexec.exe", planted);
    }

    ASSERT_TRUE(RunSilent(package));
    EXPECT_EQ(ReadFile(Host("C:\\windows\\kqexec.exe")), ReadFile(PackedKqexec())) << "the maintenance runner";
    for (const fs::path& folder : premade)
        EXPECT_EQ(Listing(folder), "kqexec.exe\n") << folder;
    for (const fs::path& folder : premade)
        EXPECT_EQ(ReadFile(folder / "kqexec.exe"), planted) << folder;
    EXPECT_TRUE(WorkFolders().empty()) << "the run's own working folder is still there";
}

// ---- product files extracted from the cabinet straight into place

// The copies a file's extraction writes beside its destination when the
// packed copy must be whole before it may replace anything ("kq", hex
// digits, ".tmp", as GetTempFileName names them) below `root`, with their
// sizes.
std::map<fs::path, uintmax_t> TemporaryCopies(const fs::path& root) {
    static const std::regex name("kq[0-9a-f]+\\.tmp", std::regex::icase);
    std::map<fs::path, uintmax_t> found;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        if (!std::regex_match(it->path().filename().string(), name)) continue;
        std::error_code gone;  // renamed or deleted while we look
        uintmax_t size = fs::file_size(it->path(), gone);
        if (!gone) found[it->path()] = size;
    }
    return found;
}

std::string Names(const std::map<fs::path, uintmax_t>& files) {
    std::string text;
    for (const auto& [path, size] : files) text += path.string() + " (" + std::to_string(size) + " bytes)\n";
    return text;
}

// True when the file at `path` holds exactly `content` (a large file is
// not read to say that it differs).
bool Holds(const fs::path& path, const std::string& content) {
    std::error_code error;
    return fs::file_size(path, error) == content.size() && !error && ReadFile(path) == content;
}

// Offsets of the data of each CFDATA block of the cabinet's folders, in
// order (an empty list when `cabinet` is not a plain cabinet without
// reserved fields, as kqbuild and gcab write them).
std::vector<std::pair<size_t, size_t>> CabinetDataBlocks(const std::string& cabinet) {
    auto u16 = [&](size_t at) { return static_cast<size_t>(static_cast<unsigned char>(cabinet[at]) |
                                                           static_cast<unsigned char>(cabinet[at + 1]) << 8); };
    auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
    std::vector<std::pair<size_t, size_t>> blocks;
    if (cabinet.size() < 36 || cabinet.compare(0, 4, "MSCF") != 0 || (u16(30) & 4) != 0) return blocks;
    const size_t folders = u16(26);
    for (size_t f = 0; f < folders && 36 + f * 8 + 8 <= cabinet.size(); ++f) {
        size_t at = u32(36 + f * 8);
        const size_t count = u16(36 + f * 8 + 4);
        for (size_t b = 0; b < count && at + 8 <= cabinet.size(); ++b) {
            const size_t size = u16(at + 4);
            blocks.push_back({at + 8, size});
            at += 8 + size;
        }
    }
    return blocks;
}

// The entries of a cabinet unpacked into a folder by gcab (Debian package
// gcab): the product's files ("F<index>_<name>") in index order, and the
// others by name.
struct CabinetEntries {
    fs::path folder;
    std::vector<std::string> product;
    std::vector<std::string> support;
};

CabinetEntries UnpackEntries(const fs::path& cabinet, const fs::path& folder) {
    CabinetEntries entries{folder, {}, {}};
    fs::create_directories(folder);
    ProcessResult unpacked = RunHost({"gcab", "-x", "-C", folder.string(), cabinet.string()}, folder, Millis(60000));
    EXPECT_EQ(unpacked.exitCode, EXIT_SUCCESS) << "gcab cannot unpack " << cabinet << ": " << unpacked.errors;
    static const std::regex packed("F([0-9]+)_.*");
    std::vector<std::pair<long, std::string>> byIndex;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        std::smatch index;
        if (std::regex_match(name, index, packed)) byIndex.push_back({std::stol(index[1]), name});
        else entries.support.push_back(name);
    }
    std::sort(byIndex.begin(), byIndex.end());
    for (const auto& [index, name] : byIndex) entries.product.push_back(name);
    std::sort(entries.support.begin(), entries.support.end());
    return entries;
}

// `names` of `folder` packed by gcab into `cabinet` in that order, MSZIP as
// kqbuild packs; false after a failure.
bool PackEntries(const fs::path& folder, const std::vector<std::string>& names, const fs::path& cabinet) {
    std::vector<std::string> argv = {"gcab", "-c", "-z", cabinet.string()};
    argv.insert(argv.end(), names.begin(), names.end());
    ProcessResult packed = RunHost(argv, folder, Millis(60000));
    EXPECT_EQ(packed.exitCode, EXIT_SUCCESS) << "gcab cannot pack " << cabinet << ": " << packed.errors;
    return packed.exitCode == EXIT_SUCCESS;
}

// A cancel confirmed while a large file is being extracted over an earlier
// one stops the file where it is: the partial copy is deleted, the earlier
// file stays byte for byte (and those already replaced are restored), the
// run ends cancelled and leaves the prefix as it was. Each of the large
// files has an earlier copy, so whichever is being written when the cancel
// comes is written beside its destination. They are zeros, packed again
// with gcab in place of the small files kqbuild packed (which would take
// longer than the case may to fingerprint hundreds of megabytes): a small
// cabinet, sparse files to pack, seconds to write each under Wine.
TEST_F(InstallTest, CancelInTheMiddleOfALargeFile) {
    constexpr int kCount = 4;
    constexpr uintmax_t kSize = uintmax_t(128) << 20;
    std::vector<PackageFile> files;
    for (int i = 1; i <= kCount; ++i) files.push_back({"files\\big\\big" + std::to_string(i) + ".bin", "big\\", 0, 0});
    fs::path authoring = MakeAuthoring("large", files, {{"BUILDING", "2", "No"}});
    for (const PackageFile& file : files) WriteFile(authoring / file.AuthoringPath(), "small\r\n");
    fs::path package = Build(authoring, "pkg");
    ASSERT_FALSE(package.empty());
    CabinetEntries entries = UnpackEntries(package / "file1.cab", Session().ScratchDir() / "entries");
    ASSERT_EQ(entries.product.size(), files.size());
    for (const std::string& name : entries.product) {
        fs::resize_file(entries.folder / name, 0);
        fs::resize_file(entries.folder / name, kSize);
    }
    std::vector<std::string> order = entries.support;
    order.insert(order.end(), entries.product.begin(), entries.product.end());
    ASSERT_TRUE(PackEntries(entries.folder, order, package / "file1.cab"));
    std::map<std::string, std::string> earlier;
    for (const PackageFile& file : files) {
        earlier[file.Destination()] = "the earlier " + file.Name() + "\r\n";
        WriteFile(Host(file.Destination()), earlier[file.Destination()]);
    }
    const Snapshot before = TakeSnapshot(Session());

    StartSetup(package);
    ASSERT_TRUE(PressInstallOnTheReadyPage());

    const fs::path folder = Host(std::string(kInstallDir) + "big\\");
    ASSERT_TRUE(WaitUntil(Millis(30000), [&] {
        for (const auto& [path, size] : TemporaryCopies(folder))
            if (size > (uintmax_t(4) << 20)) return true;
        return false;
    })) << "no large file was being written beside its destination; the folder holds:\n" << Listing(folder);
    std::optional<WindowInfo> complete =
        CancelAndConfirm({"click", "--title", kPageTitle, "--exact", "--text", "Cancel"});
    ASSERT_TRUE(complete);
    EXPECT_EQ(Names(TemporaryCopies(InstallDirHost())), "") << "the partly written file stays";
    for (const auto& [destination, content] : earlier)
        EXPECT_TRUE(Holds(Host(destination), content)) << "the earlier file is not as it was: " << destination;

    ASSERT_TRUE(Click({"--title", kPageTitle, "--exact"}, "Finish"));
    ExpectQuits(kExitCancelled);
    const std::vector<std::string> diff = Diff(before, TakeSnapshot(Session()));
    EXPECT_TRUE(diff.empty()) << "the cancelled run left changes:\n" << Lines(diff);
}

// The version rule and expand content decide on the packed copy, which is
// written beside the destination first: a packaged .dll older than the
// installed one leaves that one as it was, a newer one replaces an older
// installed copy, one with nothing installed is installed, and a text with
// expand content replaces an earlier copy with its placeholders expanded.
// Every file gets its log line and nothing else stays in the folders.
TEST_F(InstallTest, VersionRuleAndExpandContentDecideBesideTheDestination) {
    // The libraries in bin\ are packed as version_probe_2.dll; what the
    // machine holds before is a version_probe_<N>.dll or a text.
    struct Row {
        const char* source;
        const char* folder;
        int options;
        int installedVersion;       // 0: no earlier library
        const char* installedText;  // nullptr: no earlier text
        bool replaced;              // the packed copy wins
    };
    const Row rows[] = {
        {"files\\bin\\older.dll", "bin\\", 0, 3, nullptr, false},
        {"files\\bin\\newer.dll", "bin\\", 0, 1, nullptr, true},
        {"files\\bin\\fresh.dll", "bin\\", 0, 0, nullptr, true},
        {"files\\docs\\about.txt", "docs\\", kExpandContent, 0, "the earlier about.txt\r\n", true},
    };
    auto probe = [](int version) {
        return HarnessPaths::WinBuildDir() / "tests" / "win" / ("version_probe_" + std::to_string(version) + ".dll");
    };
    for (int version : {1, 2, 3}) ASSERT_TRUE(fs::exists(probe(version))) << "not built: " << probe(version);

    std::vector<PackageFile> files;
    for (const Row& row : rows) files.push_back({row.source, row.folder, row.options, 0});
    fs::path authoring = MakeAuthoring("versions", files);
    std::map<std::string, std::string> installed;  // destination -> content before the run
    for (size_t i = 0; i < files.size(); ++i) {
        const Row& row = rows[i];
        if (std::string(row.folder) == "bin\\") fs::copy_file(probe(2), authoring / files[i].AuthoringPath());
        std::string before = row.installedText != nullptr ? row.installedText
                             : row.installedVersion != 0  ? ReadFile(probe(row.installedVersion))
                                                          : std::string();
        if (before.empty()) continue;
        installed[files[i].Destination()] = before;
        WriteFile(Host(files[i].Destination()), before);
    }
    fs::path package = Build(authoring, "pkg");
    ASSERT_FALSE(package.empty());

    ASSERT_TRUE(RunSilent(package));
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string destination = files[i].Destination();
        std::string wanted = !rows[i].replaced                   ? installed[destination]
                             : rows[i].options & kExpandContent ? std::string(kExpandedAbout)
                                                                : ReadFile(probe(2));
        EXPECT_TRUE(Holds(Host(destination), wanted)) << destination << " is not what the rule says";
    }
    std::set<std::string> expected;
    for (const PackageFile& file : files) expected.insert(RelativeToInstallDir(file.Destination()));
    EXPECT_EQ(Listing(InstallDirHost()), Joined({expected.begin(), expected.end()}))
        << "the files below the install folder";
    EXPECT_EQ(Joined(LogLines()), Joined(ExpectedLog(files, kWinXp)));
}

// A cabinet laid out otherwise than kqbuild does, with the product's files
// first and the support files after them, installs the same files as the
// package's own cabinet (SilentInstallFromTheCabinet): the start-up reads
// past the product's entries for the maintenance runner.
TEST_F(InstallTest, SupportEntriesLastInstallTheSame) {
    const std::vector<PackageFile>& files = InstallFiles();
    fs::path authoring = MakeAuthoring("install", files);
    fs::path package = Build(authoring, "pkg");
    ASSERT_FALSE(package.empty());

    // Every entry out of the cabinet, then packed again: the product's first.
    CabinetEntries entries = UnpackEntries(package / "file1.cab", Session().ScratchDir() / "entries");
    ASSERT_EQ(entries.product.size(), files.size());
    ASSERT_FALSE(entries.support.empty());
    std::vector<std::string> order = entries.product;
    order.insert(order.end(), entries.support.begin(), entries.support.end());
    ASSERT_TRUE(PackEntries(entries.folder, order, package / "file1.cab"));
    ProcessResult listed = RunHost({"gcab", "-l", (package / "file1.cab").string()}, entries.folder, Millis(60000));
    ASSERT_EQ(listed.output.rfind(entries.product.front(), 0), 0u) << "the product's files do not come first:\n"
                                                                   << listed.output;

    ASSERT_TRUE(RunSilent(package));
    ExpectInstalledFiles(authoring, files, kWinXp, ReadFile(authoring / "files" / "conf" / "settings.ini"));
    EXPECT_EQ(Joined(LogLines()), Joined(ExpectedLog(files, kWinXp)));
    EXPECT_EQ(ReadFile(Host("C:\\windows\\kqexec.exe")), ReadFile(PackedKqexec())) << "the maintenance runner";
    EXPECT_TRUE(WorkFolders().empty()) << "the working folder is still there";
}

// Damaged data in the product's part of the cabinet, behind everything the
// start-up unpacks, is met while the files are copied: the run says which
// entry it could not unpack and why, stops as a damaged package and undoes
// the files it had installed before. The files are texts large enough that
// the cabinet's last data block holds only the last one.
TEST_F(InstallTest, DamagedProductDataStopsTheCopyAndUndoesIt) {
    constexpr int kCount = 4;
    std::vector<PackageFile> files;
    for (int i = 0; i < kCount; ++i) files.push_back({"files\\parts\\part" + std::to_string(i) + ".txt", "parts\\", 0, 0});
    fs::path authoring = MakeAuthoring("damaged", files);
    for (int i = 0; i < kCount; ++i) {
        std::string text;
        for (int line = 0; text.size() < 100000; ++line)
            text += "part " + std::to_string(i) + ", line " + std::to_string(line * 7919 % 100003) + "\r\n";
        WriteFile(authoring / files[i].AuthoringPath(), text);
    }
    fs::path package = Build(authoring, "pkg");
    ASSERT_FALSE(package.empty());
    std::string cabinet = ReadFile(package / "file1.cab");
    const std::vector<std::pair<size_t, size_t>> blocks = CabinetDataBlocks(cabinet);
    ASSERT_GT(blocks.size(), 4u) << "not a cabinet as kqbuild writes them";
    // One byte: the block's checksum (an XOR of its 32-bit words) cannot
    // hold then, whatever the damaged data decodes to.
    const auto [data, size] = blocks.back();
    cabinet[data + size / 2] = static_cast<char>(cabinet[data + size / 2] ^ 0xFF);
    WriteFile(package / "file1.cab", cabinet);

    const fs::path log = Session().ScratchDir() / "run.json";
    int setup = StartSetup(package, {"/S", "/LOG=" + Session().WinPath(log)});
    ProcessResult ended = Session().Wait(Millis(60000), setup);
    ASSERT_FALSE(ended.timedOut) << "setup.exe did not end; on the screen:\n" << Screen();
    EXPECT_EQ(ended.exitCode, kExitDamaged);

    // One message line of the log names the entry and the damage.
    const std::string journal = ReadFile(log);
    const std::vector<std::string> parts = {"can't unpack the product's files.",
                                            "F" + std::to_string(kCount - 1) + "_" + files.back().Name(),
                                            "the cabinet is damaged"};
    bool told = false;
    std::istringstream lines(journal);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("\"type\":\"message\"") == std::string::npos) continue;
        told = told || std::all_of(parts.begin(), parts.end(),
                                   [&](const std::string& part) { return line.find(part) != std::string::npos; });
    }
    EXPECT_TRUE(told) << "no message naming " << parts[1] << " and the damage in the log:\n" << journal;
    // The start-up did not meet the damage: the files before the last were
    // installed (and then taken away).
    for (int i = 0; i + 1 < kCount; ++i) {
        const std::string logged = "\"type\":\"file\",\"action\":\"new\",\"path\":\"C:\\\\Program Files\\\\Install Test "
                                   "Product\\\\parts\\\\part" + std::to_string(i) + ".txt\"";
        EXPECT_NE(journal.find(logged), std::string::npos) << "not installed before the damage: part" << i;
    }
    EXPECT_FALSE(fs::exists(InstallDirHost())) << "the damaged run was not undone: " << Listing(InstallDirHost());
    EXPECT_FALSE(UninstallValues().has_value()) << "a damaged installation registered the product";
    EXPECT_TRUE(WorkFolders().empty()) << "the working folder stays after the failure";
}

// ---- files and variables from the web

// Downloads from a server of the case's own on a loopback address of its
// own (cases run side by side). A proxy setting of the machine running the
// tests must not send Wine's requests elsewhere, so the cases drop it.
class DownloadTest : public InstallTest {
protected:
    void SetUp() override {
        for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
            ::unsetenv(name);
        InstallTest::SetUp();
    }

    void Serve(const std::string& address, int port, std::map<std::string, HttpReply> replies) {
        std::string problem = m_server.Start(address, port, std::move(replies));
        ASSERT_TRUE(problem.empty()) << "the test server cannot listen: " << problem;
    }

    // The package with `files` and, when given, a [VARIABLES] section.
    fs::path WebPackage(const std::vector<PackageFile>& files, const std::vector<ScriptChange>& changes = {},
                         const std::string& variables = {}) {
        fs::path authoring = MakeAuthoring("web", files, changes);
        if (!variables.empty()) WriteFile(authoring / "setup.inf", ReadFile(authoring / "setup.inf") + variables);
        return Build(authoring, "pkg");
    }

    bool Logged(const std::string& destination) {
        std::vector<std::string> lines = LogLines();
        return std::find(lines.begin(), lines.end(), "FILE=" + destination) != lines.end();
    }

    TestHttpServer m_server;
};

std::string Pattern(size_t size) {
    std::string text(size, '\0');
    for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>('a' + (i * 7) % 26);
    return text;
}

// A file with a Content-Length and one without arrive whole (the first
// replacing an earlier copy); a web variable's text names a folder, another
// variable whose address answers 404 falls back to its default, and a third
// one's address holds the first.
TEST_F(DownloadTest, WebFilesAndAWebVariable) {
    const std::string sized = Pattern(20000), unsized = Pattern(5000);
    Serve("127.0.0.21", 80,
          {{"/name.txt", {200, "served", true, 0}},
           {"/files/sized.bin", {200, sized, true, 0}},
           {"/files/unsized.bin", {200, unsized, false, 0}}});
    const std::vector<PackageFile> files = {
        {"files\\readme.txt", "<Served>\\", 0, 0},
        {"files\\docs\\guide.txt", "<Missing>\\", 0, 0},
        {"http://127.0.0.21/files/sized.bin", "web\\", 0, 0},
        {"http://127.0.0.21/files/unsized.bin", "web\\", 0, 0},
    };
    fs::path package = WebPackage(files, {},
                                   "\r\n[VARIABLES]\r\nTOTAL=3\r\n"
                                   "A0=<Served>\r\nB0=default\r\nD0=Retrive from Web\r\nO0=http://127.0.0.21/name.txt\r\n"
                                   "A1=<Missing>\r\nB1=fallback\r\nD1=Retrive from Web\r\nO1=http://127.0.0.21/none.txt\r\n"
                                   "A2=<Chained>\r\nD2=Retrive from Web\r\nO2=http://127.0.0.21/look/<Served>/x\r\n");
    ASSERT_FALSE(package.empty());
    const std::string web = std::string(kInstallDir) + "web\\";
    fs::create_directories(Host(web));
    WriteFile(Host(web + "sized.bin"), "earlier copy");
    ASSERT_TRUE(RunSilent(package));

    EXPECT_EQ(ReadFile(Host(web + "sized.bin")), sized);
    EXPECT_EQ(ReadFile(Host(web + "unsized.bin")), unsized) << "a body without a length is cut";
    EXPECT_TRUE(fs::exists(Host(std::string(kInstallDir) + "served\\readme.txt")));
    EXPECT_TRUE(fs::exists(Host(std::string(kInstallDir) + "fallback\\guide.txt")));
    EXPECT_TRUE(Logged(web + "sized.bin"));
    EXPECT_TRUE(Logged(web + "unsized.bin"));
    const std::vector<std::string> asked = {"/name.txt", "/none.txt", "/look/served/x", "/files/sized.bin",
                                            "/files/unsized.bin"};
    EXPECT_EQ(Joined(m_server.Requests()), Joined(asked));
}

// "host:port/path" is asked on that port, not taken as a host name.
TEST_F(DownloadTest, ExplicitPort) {
    const std::string body = Pattern(3000);
    Serve("127.0.0.22", 8080, {{"/port/p.bin", {200, body, true, 0}}});
    fs::path package = WebPackage({{"http://127.0.0.22:8080/port/p.bin", "web\\", 0, 0}});
    ASSERT_FALSE(package.empty());
    ASSERT_TRUE(RunSilent(package));
    EXPECT_EQ(ReadFile(Host(std::string(kInstallDir) + "web\\p.bin")), body);
    EXPECT_EQ(Joined(m_server.Requests()), "/port/p.bin\n");
}

// 404 and 401 are failures with the status-code message; the earlier file
// stays byte for byte, no file is made where there was none, and the
// installation goes on.
TEST_F(DownloadTest, RefusedDownloadsTellTheStatus) {
    Serve("127.0.0.23", 80, {{"/secret.bin", {401, "credentials, please", true, 0}}});
    fs::path package = WebPackage({{"http://127.0.0.23/missing.bin", "web\\", 0, 0},
                                    {"http://127.0.0.23/secret.bin", "web\\", 0, 0}});
    ASSERT_FALSE(package.empty());
    const std::string web = std::string(kInstallDir) + "web\\";
    const std::string earlier = Pattern(3000);
    fs::create_directories(Host(web));
    WriteFile(Host(web + "missing.bin"), earlier);
    int setup = StartSetup(package);
    for (int code : {404, 401}) {
        const std::string text = "Failed to retrieve a HTTP 200 status, Status Code:" + std::to_string(code) +
                                 "\r\nTry later or download using your browser and add this file to Merrowin Folder.";
        std::optional<WindowInfo> box = Session().WaitWindow(
            {"--title", "Merrowin", "--exact", "--contains", "Status Code:" + std::to_string(code)}, Millis(30000));
        ASSERT_TRUE(box) << "no message for " << code << "; on the screen:\n" << Screen();
        EXPECT_NE(box->FindByText(text), nullptr) << box->AllText();
        ASSERT_TRUE(Click({"--title", "Merrowin", "--exact"}, "OK"));
    }
    ProcessResult ended = Session().Wait(Millis(60000), setup);
    ASSERT_FALSE(ended.timedOut) << Screen();
    EXPECT_EQ(ended.exitCode, kExitInstalled);
    EXPECT_EQ(ReadFile(Host(web + "missing.bin")), earlier);
    EXPECT_FALSE(fs::exists(Host(web + "secret.bin")));
    EXPECT_EQ(Listing(Host(web)), "missing.bin\n") << "a partial download stays beside them";
    for (const char* name : {"missing.bin", "secret.bin"}) EXPECT_TRUE(Logged(web + name)) << name;
}

// A connection that closes after half the announced bytes is a failed
// download: a file that must be installed ends the run as such, and the
// earlier copy stays byte for byte.
TEST_F(DownloadTest, ACutDownloadLeavesTheEarlierFile) {
    HttpReply cut{200, Pattern(20000), true, 0};
    cut.cutAt = 10000;
    Serve("127.0.0.25", 80, {{"/cut.bin", cut}});
    fs::path package = WebPackage({{"http://127.0.0.25/cut.bin", "web\\", 16, 0}});
    ASSERT_FALSE(package.empty());
    const std::string web = std::string(kInstallDir) + "web\\";
    const std::string earlier = Pattern(3000);
    fs::create_directories(Host(web));
    WriteFile(Host(web + "cut.bin"), earlier);
    ASSERT_TRUE(RunSilent(package, kExitFileFailed));
    EXPECT_EQ(Joined(m_server.Requests()), "/cut.bin\n");
    EXPECT_EQ(ReadFile(Host(web + "cut.bin")), earlier);
    EXPECT_EQ(Listing(Host(web)), "cut.bin\n") << "a partial download stays beside it";
}

// A cancel confirmed while a slow body arrives stops the transfer, deletes
// the part written, and the run ends as cancelled and undone.
TEST_F(DownloadTest, CancelDuringASlowBody) {
    HttpReply slow;
    slow.slowChunk = 1024;
    Serve("127.0.0.24", 80, {{"/slow.bin", slow}});
    fs::path package =
        WebPackage({{"files\\readme.txt", "", 0, 0}, {"http://127.0.0.24/slow.bin", "web\\", 0, 0}},
                    {{"BUILDING", "2", "No"}});
    ASSERT_FALSE(package.empty());
    int setup = StartSetup(package);
    ASSERT_TRUE(PressInstallOnTheReadyPage());

    const fs::path partial = Host(std::string(kInstallDir) + "web\\slow.bin");
    ASSERT_TRUE(WaitUntil(Millis(30000), [&] { return m_server.SlowBytesSent() > 0; })) << "the transfer did not start";
    std::optional<WindowInfo> complete =
        CancelAndConfirm({"click", "--title", kPageTitle, "--exact", "--text", "Cancel"});
    ASSERT_TRUE(complete);
    EXPECT_FALSE(fs::exists(partial)) << "the partial download stays";
    // The cancelled run is rolled back: the file copied before the download
    // goes too, and no log is left to describe a product that is not there.
    EXPECT_FALSE(fs::exists(Host(std::string(kInstallDir) + "readme.txt"))) << "the cancelled run was not undone";
    EXPECT_FALSE(fs::exists(MaintenanceFolder() / "uninstall.log")) << "the log of an undone run stays";
    EXPECT_FALSE(UninstallValues().has_value()) << "a cancelled installation registered the product";

    ASSERT_TRUE(Click({"--title", kPageTitle, "--exact"}, "Finish"));
    ProcessResult ended = Session().Wait(Millis(15000), setup);
    EXPECT_FALSE(ended.timedOut) << "setup.exe stays after Finish";
}

}  // namespace
}  // namespace kq::e2e
