// The registry helper, uninstall registration and kqexec.exe on a real
// (Wine) registry and file system.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/profile_file_win.h"
#include "kqexec/runner_exit_codes.h"
#include "record/uninstall_log.h"
#include "run/placeholders.h"
#include "run/script.h"
#include "shared/crlf_lines.h"
#include "steps/uninstall_registration.h"
#include "steps/uninstall_registration_win.h"
#include "test_files_win.h"
#include "win/registry_win.h"

namespace kq {
namespace {

void MakeFolders(const std::string& path) {
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\') ::CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
    }
}

std::string WindowsFolder() {
    char buffer[MAX_PATH];
    UINT length = ::GetWindowsDirectoryA(buffer, sizeof(buffer));
    return std::string(buffer, length);
}

// Every value of a key: strings as they are, numbers as "#n", others as "?".
std::map<std::string, std::string> ValuesOf(HKEY root, const std::string& subKey) {
    std::map<std::string, std::string> values;
    CKey key;
    if (key.Open(root, subKey.c_str(), KEY_READ) != ERROR_SUCCESS) return values;
    for (DWORD index = 0;; ++index) {
        char name[512];
        DWORD nameLength = sizeof(name);
        BYTE data[1024];
        DWORD size = sizeof(data);
        DWORD type = 0;
        if (::RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        std::string text = "?";
        if (type == REG_SZ) text.assign(reinterpret_cast<char*>(data), size > 0 ? strnlen((char*)data, size) : 0);
        if (type == REG_DWORD) text = "#" + std::to_string(*reinterpret_cast<DWORD*>(data));
        values[std::string(name, nameLength)] = text;
    }
    return values;
}

// ---------------------------------------------------------------------------
// Registry helper

const char kTestKey[] = "Software\\KqRegistryHelperTest";

class RegistryHelper : public ::testing::Test {
protected:
    void SetUp() override {
        reg::DeleteKeyTree(HKEY_CURRENT_USER, kTestKey);
        ASSERT_TRUE(reg::CreateKey(HKEY_CURRENT_USER, kTestKey));
    }
    void TearDown() override { reg::DeleteKeyTree(HKEY_CURRENT_USER, kTestKey); }
};

TEST_F(RegistryHelper, StringsAreCutTo255AndReadBackWhole) {
    struct Case {
        std::string written;
        std::string read;
    };
    const Case cases[] = {
        {"", ""},
        {"plain", "plain"},
        {"a=b;c", "a=b;c"},
        {std::string(255, 'x'), std::string(255, 'x')},
        {std::string(256, 'y'), std::string(255, 'y')},
        {std::string(1000, 'z'), std::string(255, 'z')},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(reg::WriteString(HKEY_CURRENT_USER, kTestKey, "v", c.written.c_str()));
        EXPECT_EQ(reg::ReadString(HKEY_CURRENT_USER, kTestKey, "v"), c.read) << c.written.size();
    }
    // A value name is cut the same way, so reading by the long name finds it.
    std::string longName(300, 'n');
    ASSERT_TRUE(reg::WriteString(HKEY_CURRENT_USER, kTestKey, longName.c_str(), "long"));
    EXPECT_TRUE(reg::ValueExists(HKEY_CURRENT_USER, kTestKey, longName.substr(0, 255).c_str()));
    EXPECT_EQ(reg::ReadString(HKEY_CURRENT_USER, kTestKey, longName.c_str()), "long");
}

TEST_F(RegistryHelper, ReadsTextStoredWithoutItsTerminatingZero) {
    CKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, kTestKey, KEY_SET_VALUE), ERROR_SUCCESS);
    const char raw[] = {'a', 'b', 'c'};
    ASSERT_EQ(::RegSetValueExA(key, "raw", 0, REG_SZ, reinterpret_cast<const BYTE*>(raw), sizeof(raw)), ERROR_SUCCESS);
    const char inner[] = {'d', '\0', 'e', '\0'};
    ASSERT_EQ(::RegSetValueExA(key, "inner", 0, REG_SZ, reinterpret_cast<const BYTE*>(inner), sizeof(inner)),
              ERROR_SUCCESS);
    ASSERT_EQ(key.SetNumber("number", 7), ERROR_SUCCESS);
    key.Close();
    struct Case {
        const char* name;
        const char* text;
    };
    const Case cases[] = {{"raw", "abc"}, {"inner", "d"}, {"number", ""}, {"missing", ""}};
    for (const Case& c : cases) EXPECT_EQ(reg::ReadString(HKEY_CURRENT_USER, kTestKey, c.name), c.text) << c.name;
    EXPECT_EQ(reg::ReadString(HKEY_CURRENT_USER, "Software\\KqNoSuchKey", "x"), "");
}

TEST_F(RegistryHelper, NumbersAndBinary) {
    const uint32_t numbers[] = {0, 1, 12, 0xFFFFFFFFu};
    for (uint32_t number : numbers) {
        ASSERT_TRUE(reg::WriteNumber(HKEY_CURRENT_USER, kTestKey, "n", number));
        uint32_t read = 99;
        ASSERT_TRUE(reg::ReadNumber(HKEY_CURRENT_USER, kTestKey, "n", &read));
        EXPECT_EQ(read, number);
    }
    ASSERT_TRUE(reg::WriteBinaryText(HKEY_CURRENT_USER, kTestKey, "b", "AB"));
    BYTE data[8] = {};
    DWORD size = sizeof(data);
    DWORD type = 0;
    CKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, kTestKey, KEY_QUERY_VALUE), ERROR_SUCCESS);
    ASSERT_EQ(::RegQueryValueExA(key, "b", nullptr, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_BINARY));
    ASSERT_EQ(size, 3u);
    EXPECT_EQ(data[0], 0x41);
    EXPECT_EQ(data[1], 0x42);
    EXPECT_EQ(data[2], 0x00);
    // Writers never create the key.
    EXPECT_FALSE(reg::WriteString(HKEY_CURRENT_USER, "Software\\KqRegistryHelperTest\\missing", "v", "x"));
    EXPECT_FALSE(reg::KeyExists(HKEY_CURRENT_USER, "Software\\KqRegistryHelperTest\\missing"));
}

TEST_F(RegistryHelper, KeysFromPathsAndDeletion) {
    const std::string base = std::string("HKEY_CURRENT_USER\\") + kTestKey;
    EXPECT_TRUE(reg::CreateKeyFromPath((base + "\\A\\B\\C\\").c_str()));
    EXPECT_TRUE(reg::KeyExists(HKEY_CURRENT_USER, "Software\\KqRegistryHelperTest\\A\\B\\C"));
    EXPECT_FALSE(reg::CreateKeyFromPath("HKLM\\Software\\KqShortRoot"));
    EXPECT_FALSE(reg::CreateKeyFromPath("HKEY_CURRENT_USER"));

    ASSERT_TRUE(reg::WriteString(HKEY_CURRENT_USER, "Software\\KqRegistryHelperTest\\A", "keep", "1"));
    // Only empty keys go.
    EXPECT_FALSE(reg::DeleteKeyIfEmpty(HKEY_CURRENT_USER, "Software\\KqRegistryHelperTest\\A\\B"));
    EXPECT_TRUE(reg::DeleteKeyIfEmpty(HKEY_CURRENT_USER, "Software\\KqRegistryHelperTest\\A\\B\\C"));
    EXPECT_TRUE(reg::DeleteKeyIfEmpty(HKEY_CURRENT_USER, "Software\\KqRegistryHelperTest\\A\\B"));
    EXPECT_FALSE(reg::DeleteKeyIfEmpty(HKEY_CURRENT_USER, "Software\\KqRegistryHelperTest\\A"));
    EXPECT_FALSE(reg::DeleteKeyIfEmpty(HKEY_CURRENT_USER, ""));

    // A tree goes whole; the root itself is never a tree to delete.
    ASSERT_TRUE(reg::CreateKey(HKEY_CURRENT_USER, "Software\\KqRegistryHelperTest\\A\\x\\y\\z"));
    ASSERT_TRUE(reg::CreateKey(HKEY_CURRENT_USER, "Software\\KqRegistryHelperTest\\A\\w"));
    EXPECT_FALSE(reg::DeleteKeyTree(HKEY_CURRENT_USER, ""));
    EXPECT_FALSE(reg::DeleteKeyTree(HKEY_CURRENT_USER, "\\"));
    EXPECT_TRUE(reg::DeleteKeyTree(HKEY_CURRENT_USER, "Software\\KqRegistryHelperTest\\A"));
    EXPECT_FALSE(reg::KeyExists(HKEY_CURRENT_USER, "Software\\KqRegistryHelperTest\\A"));
    EXPECT_TRUE(reg::KeyExists(HKEY_CURRENT_USER, kTestKey));
    EXPECT_TRUE(reg::DeleteKeyTree(HKEY_CURRENT_USER, "Software\\KqRegistryHelperTest\\A"));  // already gone

    ASSERT_TRUE(reg::WriteString(HKEY_CURRENT_USER, kTestKey, "gone", "x"));
    EXPECT_TRUE(reg::DeleteValue(HKEY_CURRENT_USER, kTestKey, "gone"));
    EXPECT_FALSE(reg::ValueExists(HKEY_CURRENT_USER, kTestKey, "gone"));
    EXPECT_FALSE(reg::DeleteValue(HKEY_CURRENT_USER, kTestKey, "gone"));
}

// ---------------------------------------------------------------------------
// Uninstall registration

const char kFullAppInfo[] =
    "a1=Notes\r\na2=1.2\r\na10=Yes\r\na11=maint.exe\r\na12=/clean <ProductCode>\r\na13=No\r\n"
    "a15=Yes\r\na17=Yes\r\na18=notes.ico\r\na19=Acme\r\na20=Notes for all\r\na21=http://acme.example/\r\n"
    "a22=http://acme.example/up\r\na24=http://acme.example/help\r\na25=555-0100\r\n";
const char kLiveUpdate[] = "[LIVEUPDATE]\r\n1=Yes\r\n2=auto\r\n3=http://acme.example/<ProductCode>\r\n4=No\r\n";

class Registration : public ::testing::Test {
protected:
    void SetUp() override {
        temp_ = TempFolder();
        windows_ = WindowsFolder();
        root_ = temp_ + "kqreg" + std::to_string(::GetCurrentProcessId());
        RemoveTree(root_);
        workName_ = "kqw" + std::to_string(::GetCurrentProcessId());
        work_ = temp_ + workName_ + "\\";
        RemoveTree(temp_ + workName_);
        MakeFolders(work_);
        for (const char* name : {"kqexec.exe", "maint.exe", "notes.ico", "liveupdate.exe", "liveupdate.inf"}) {
            WriteText(work_ + name, std::string("content of ") + name);
        }
        source_ = root_ + "\\pkg\\";
        MakeFolders(source_ + "theme\\sub");
        WriteText(source_ + "language.lan", "[LANGUAGE]\r\n");
        WriteText(source_ + "theme\\welcome.lcd", "lcd");
        WriteText(source_ + "theme\\sub\\back.bmp", "bmp");
        install_ = root_ + "\\Acme Notes\\";
        MakeFolders(install_);
        ::DeleteFileA((windows_ + "\\kqexec.exe").c_str());
    }
    void TearDown() override {
        RemoveTree(root_);
        RemoveTree(temp_ + workName_);
        for (const std::string& code : codes_) {
            RemoveTree(windows_ + "\\Installer\\" + code);
            reg::DeleteKeyTree(HKEY_LOCAL_MACHINE, UninstallKeyPath(code).c_str());
        }
    }

    // Runs both registration steps for `code` with `script` as setup.inf.
    Status Run(const std::string& code, const std::string& script) {
        codes_.push_back(code);
        RegistrationPaths paths;
        paths.productCode = code;
        paths.installDir = install_;
        paths.workFolderName = workName_;
        paths.packedFileFolder = work_;
        paths.sourceFolder = source_;
        paths.maintenanceFolder = windows_ + "\\Installer\\" + code + "\\";
        RemoveTree(windows_ + "\\Installer\\" + code);
        MakeFolders(paths.maintenanceFolder);  // the file step makes it

        std::string inf = root_ + "\\setup.inf";
        WriteText(inf, "[APPINFO]\r\na3=" + code + "\r\n" + script);
        ProfileFile profile(inf.c_str());
        Script setup(profile);
        PlaceholderValues values;
        values.windowsFolder = windows_;
        values.tempFolder = temp_;
        values.installDir = install_;
        values.defaultInstallDir = install_;
        values.productCode = code;
        ExpandFunction expand = [&values](const std::string& text) { return ExpandStepText(text, values); };

        UninstallLog log(paths.maintenanceFolder + kUninstallLogName);
        CWinRegistrationMachine machine;
        PrepareMaintenanceProgram(setup, expand, paths, machine, log);
        Status status = RegisterForUninstall(setup, expand, paths, machine, log);
        log.Close();
        logLines_ = kqtest::CrLfLines(ReadText(paths.maintenanceFolder + kUninstallLogName));
        return status;
    }

    std::string temp_, windows_, root_, workName_, work_, source_, install_;
    std::vector<std::string> codes_;
    std::vector<std::string> logLines_;
};

TEST_F(Registration, WritesEveryValueCopiesTheFilesAndLogsInOrder) {
    const std::string code = "{KQ-REG-FULL}";
    char current[MAX_PATH];
    ASSERT_NE(::GetCurrentDirectoryA(sizeof(current), current), 0u);
    ASSERT_TRUE(Run(code, std::string(kFullAppInfo) + kLiveUpdate).ok());

    const std::map<std::string, std::string> expected = {
        {"LVmode", "auto"},
        {"LVurl", "http://acme.example/" + code},
        {"LVsilent", "No"},
        {"UninstallExecute", install_ + "maint.exe"},
        {"UninstallCmdLine", "/clean <ProductCode>"},
        {"UninstallRemoveAll", "No"},
        {"DisplayName", "Notes"},
        {"DisplayVersion", "1.2"},
        {"Publisher", "Acme"},
        {"Comments", "Notes for all"},
        {"URLInfoAbout", "http://acme.example/"},
        {"URLUpdateInfo", "http://acme.example/up"},
        {"HelpLink", "http://acme.example/help"},
        {"HelpTelephone", "555-0100"},
        {"LastInstallationPath", install_},
        {"ModifyPath", "kqexec.exe /M " + code},
        {"UninstallString", "kqexec.exe /R " + code},
        {"QuietUninstallString", "kqexec.exe /R " + code + " /S"},
        {"InstallSource", current},
        {"NoModify", "#1"},
        {"NoRepair", "#1"},
        {"DisplayIcon", install_ + "notes.ico"},
    };
    EXPECT_EQ(ValuesOf(HKEY_LOCAL_MACHINE, UninstallKeyPath(code)), expected);

    const std::string maintenance = windows_ + "\\Installer\\" + code + "\\";
    struct Copy {
        std::string path;
        std::string content;
    };
    const Copy copies[] = {
        {windows_ + "\\kqexec.exe", "content of kqexec.exe"},
        {maintenance + "language.lan", "[LANGUAGE]\r\n"},
        {maintenance + "maint.exe", "content of maint.exe"},
        {maintenance + "theme\\welcome.lcd", "lcd"},
        {maintenance + "theme\\sub\\back.bmp", "bmp"},
        {install_ + "maint.exe", "content of maint.exe"},
        {install_ + "notes.ico", "content of notes.ico"},
        {install_ + "liveupdate.exe", "content of liveupdate.exe"},
        {install_ + "liveupdate.inf", "content of liveupdate.inf"},
    };
    for (const Copy& copy : copies) EXPECT_EQ(ReadText(copy.path), copy.content) << copy.path;

    const std::vector<std::string> lines = {
        "RUN3RD=maint.exe",
        "RUN3RDCMD=/clean " + code,
        "REMOVEALL=Yes",
        "FILE=" + install_ + "liveupdate.exe",
        "FILE=" + install_ + "liveupdate.inf",
        "FILE=" + install_ + "notes.ico",
    };
    EXPECT_EQ(logLines_, lines);
}

TEST_F(Registration, NotListedLeavesOnlyLiveUpdateAndMaintenanceValues) {
    const std::string code = "{KQ-REG-HIDDEN}";
    ASSERT_TRUE(Run(code, std::string(kFullAppInfo) + "a14=No\r\n" + kLiveUpdate).ok());
    std::vector<std::string> names;
    for (const auto& value : ValuesOf(HKEY_LOCAL_MACHINE, UninstallKeyPath(code))) names.push_back(value.first);
    const std::vector<std::string> expected = {"LVmode",           "LVsilent",         "LVurl",
                                               "UninstallCmdLine", "UninstallExecute", "UninstallRemoveAll"};
    EXPECT_EQ(names, expected);
    EXPECT_FALSE(Exists(install_ + "notes.ico"));
}

TEST_F(Registration, HiddenProductWithoutExtrasHasAnEmptyKey) {
    const std::string code = "{KQ-REG-EMPTY}";
    ASSERT_TRUE(Run(code, "a14=No\r\n").ok());
    EXPECT_TRUE(reg::KeyExists(HKEY_LOCAL_MACHINE, UninstallKeyPath(code).c_str()));
    EXPECT_TRUE(ValuesOf(HKEY_LOCAL_MACHINE, UninstallKeyPath(code)).empty());
}

TEST_F(Registration, OptionalValuesAreAbsentNotEmpty) {
    const std::string code = "{KQ-REG-PLAIN}";
    ASSERT_TRUE(Run(code, "a1=Notes\r\na19=\r\na16=Yes\r\n").ok());
    std::map<std::string, std::string> values = ValuesOf(HKEY_LOCAL_MACHINE, UninstallKeyPath(code));
    const char* const absent[] = {"Publisher", "Comments", "URLInfoAbout", "URLUpdateInfo", "HelpLink",
                                  "HelpTelephone", "NoModify", "NoRepair", "DisplayIcon", "UninstallExecute",
                                  "UninstallRemoveAll", "LVmode"};
    for (const char* name : absent) EXPECT_EQ(values.count(name), 0u) << name;
    EXPECT_EQ(values["NoRemove"], "#1");
    EXPECT_EQ(values["DisplayName"], "Notes");
    EXPECT_EQ(values["DisplayVersion"], "");
    EXPECT_TRUE(logLines_.empty());
}

TEST_F(Registration, RemoveAllOnlyForExactlyNo) {
    struct Case {
        const char* a13;
        bool logged;
    };
    const Case cases[] = {{"No", true}, {"no", false}, {"", false}, {"Yes", false}, {"NO", false}};
    int n = 0;
    for (const Case& c : cases) {
        const std::string code = "{KQ-REG-RA" + std::to_string(n++) + "}";
        ASSERT_TRUE(Run(code, std::string("a13=") + c.a13 + "\r\n").ok());
        std::vector<std::string> expected;
        if (c.logged) expected.push_back("REMOVEALL=Yes");
        EXPECT_EQ(logLines_, expected) << c.a13;
    }
}

TEST_F(Registration, RefusesAnUnusableProductCode) {
    const std::string uninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    std::map<std::string, std::string> before = ValuesOf(HKEY_LOCAL_MACHINE, uninstall);
    codes_.clear();
    RegistrationPaths paths;
    paths.installDir = install_;
    paths.workFolderName = workName_;
    paths.packedFileFolder = work_;
    paths.sourceFolder = source_;
    paths.maintenanceFolder = root_ + "\\maint\\";
    std::string inf = root_ + "\\setup.inf";
    WriteText(inf, std::string("[APPINFO]\r\n") + kFullAppInfo);
    ProfileFile profile(inf.c_str());
    UninstallLog log(root_ + "\\uninstall.log");
    CWinRegistrationMachine machine;
    ExpandFunction expand = [](const std::string& text) { return text; };
    EXPECT_FALSE(RegisterForUninstall(Script(profile), expand, paths, machine, log).ok());
    EXPECT_EQ(ValuesOf(HKEY_LOCAL_MACHINE, uninstall), before);
    EXPECT_FALSE(Exists(windows_ + "\\kqexec.exe"));
}

// ---------------------------------------------------------------------------
// kqexec.exe

std::string RunnerPath() {
    std::string path = KQ_KQEXEC_PATH;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return "Z:" + path;
}

// Starts kqexec.exe with `arguments`; false when it could not be started.
bool StartRunner(const std::string& arguments, PROCESS_INFORMATION* process) {
    std::string program = RunnerPath();
    std::string commandLine = "kqexec.exe " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    *process = {};
    return ::CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            process) != FALSE;
}

// Waits up to `limitMs` for the runner to end, ending it when it has not;
// its exit code.
int RunnerExitCode(PROCESS_INFORMATION& process, DWORD limitMs) {
    if (::WaitForSingleObject(process.hProcess, limitMs) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.hProcess, 99);
        ::WaitForSingleObject(process.hProcess, 5000);
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

// Runs kqexec.exe with `arguments` and returns its exit code (-1 when it
// could not be started).
int RunRunner(const std::string& arguments) {
    PROCESS_INFORMATION process;
    if (!StartRunner(arguments, &process)) return -1;
    return RunnerExitCode(process, 120000);
}

class Runner : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Exists(RunnerPath())) << RunnerPath();
        windows_ = WindowsFolder();
        root_ = windows_.substr(0, 2) + "\\kqrm" + std::to_string(::GetCurrentProcessId());
        RemoveTree(root_);
        MakeFolders(windows_ + "\\Installer");
    }
    void TearDown() override {
        RemoveTree(root_);
        RemoveTree(windows_ + "\\Installer\\" + code_);
        reg::DeleteKeyTree(HKEY_LOCAL_MACHINE, UninstallKeyPath(code_).c_str());
        reg::DeleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\KqTestAcme");
        reg::DeleteKeyTree(HKEY_CLASSES_ROOT, ".kqtn");
        reg::DeleteKeyTree(HKEY_CLASSES_ROOT, ".kqother");
        reg::DeleteKeyTree(HKEY_CLASSES_ROOT, "KqTest.Note");
        reg::DeleteValue(HKEY_CURRENT_USER, "Environment", "KQ_NOTES_HOME");
        reg::DeleteValue(HKEY_CURRENT_USER, "Environment", "KQ_KEEP");
        ::DeleteFileA((windows_ + "\\kqrm_relative.txt").c_str());
    }

    std::string windows_, root_;
    std::string code_ = "{KQ-RM-1}";
};

bool CreateTestService(const char* name) {
    SC_HANDLE manager = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (manager == nullptr) return false;
    std::string binary = WindowsFolder() + "\\system32\\notepad.exe";
    SC_HANDLE service = ::CreateServiceA(manager, name, name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                         SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, binary.c_str(), nullptr, nullptr,
                                         nullptr, nullptr, nullptr);
    if (service != nullptr) ::CloseServiceHandle(service);
    ::CloseServiceHandle(manager);
    return service != nullptr;
}

bool ServiceExists(const char* name) {
    SC_HANDLE manager = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (manager == nullptr) return false;
    SC_HANDLE service = ::OpenServiceA(manager, name, SERVICE_QUERY_STATUS);
    if (service != nullptr) ::CloseServiceHandle(service);
    ::CloseServiceHandle(manager);
    return service != nullptr;
}

TEST_F(Runner, SilentRemovalTakesWhatTheLogNamesAndNothingElse) {
    const std::string acme = root_ + "\\Acme";
    const std::string notes = acme + "\\Notes";
    const std::string menu = root_ + "\\Menu";
    const std::string maintenance = windows_ + "\\Installer\\" + code_;
    MakeFolders(notes + "\\docs\\en");
    MakeFolders(menu);
    MakeFolders(maintenance + "\\theme");
    struct File {
        std::string path;
        bool logged;
    };
    const std::vector<File> files = {
        {notes + "\\notes.exe", true},
        {notes + "\\docs\\en\\guide.txt", true},
        {notes + "\\readonly.dat", true},
        {notes + "\\cleanup.exe", false},  // named by UninstallExecute only
        {menu + "\\Notes.lnk", true},
        {acme + "\\keep.txt", false},
        {windows_ + "\\kqrm_relative.txt", false},
    };
    for (const File& file : files) WriteText(file.path, "x");
    ::SetFileAttributesA((notes + "\\readonly.dat").c_str(), FILE_ATTRIBUTE_READONLY);
    WriteText(maintenance + "\\language.lan", "lan");
    WriteText(maintenance + "\\theme\\welcome.lcd", "lcd");
    // The author's maintenance program: the system's command interpreter,
    // leaving a mark that it ran.
    ASSERT_TRUE(::CopyFileA((windows_ + "\\system32\\cmd.exe").c_str(), (maintenance + "\\cmd.exe").c_str(), FALSE));
    const std::string mark = root_ + "\\ran.txt";

    ASSERT_TRUE(reg::CreateKey(HKEY_LOCAL_MACHINE, "Software\\KqTestAcme\\Notes"));
    ASSERT_TRUE(reg::WriteString(HKEY_LOCAL_MACHINE, "Software\\KqTestAcme\\Notes", "Version", "1.2"));
    ASSERT_TRUE(reg::WriteString(HKEY_LOCAL_MACHINE, "Software\\KqTestAcme\\Notes", "", "default"));
    ASSERT_TRUE(reg::CreateKey(HKEY_LOCAL_MACHINE, "Software\\KqTestAcme\\Other"));
    ASSERT_TRUE(reg::CreateKey(HKEY_CLASSES_ROOT, "KqTest.Note\\shell\\open\\command"));
    ASSERT_TRUE(reg::CreateKey(HKEY_CLASSES_ROOT, ".kqtn"));
    ASSERT_TRUE(reg::CreateKey(HKEY_CLASSES_ROOT, ".kqother"));
    ASSERT_TRUE(reg::WriteString(HKEY_CURRENT_USER, "Environment", "KQ_NOTES_HOME", notes.c_str()));
    ASSERT_TRUE(reg::WriteString(HKEY_CURRENT_USER, "Environment", "KQ_KEEP", "1"));
    const std::string key = UninstallKeyPath(code_);
    ASSERT_TRUE(reg::CreateKey(HKEY_LOCAL_MACHINE, key.c_str()));
    ASSERT_TRUE(reg::WriteString(HKEY_LOCAL_MACHINE, key.c_str(), "DisplayName", "Notes"));
    ASSERT_TRUE(reg::WriteString(HKEY_LOCAL_MACHINE, key.c_str(), "UninstallExecute", (notes + "\\cleanup.exe").c_str()));
    bool haveService = CreateTestService("KqTestSvc");

    std::string log = "TOTALFILE=3\r\nDIR=" + acme + "\r\nDIR=" + notes + "\\\r\nDIR=" + notes + "\\docs\r\nDIR=" + notes +
                      "\\docs\\en\r\nRUN3RD=cmd.exe\r\nRUN3RDCMD=/c echo done> " + mark + "\r\nFILE=" + notes +
                      "\\notes.exe\r\nFILE=" + notes + "\\docs\\en\\guide.txt\r\nFILE=" + notes +
                      "\\readonly.dat\r\nFILE=" + notes + "\\never-installed.dll\r\nFILE=kqrm_relative.txt\r\n"
                      "DIR=" + menu + "\r\nSHORTCUT=" + menu + "\\Notes.lnk\r\n"
                      "REGKEY=HKEY_LOCAL_MACHINE\\Software\\KqTestAcme\r\n"
                      "REGKEY=HKEY_LOCAL_MACHINE\\Software\\KqTestAcme\\Notes\r\n"
                      "REGVAL=HKEY_LOCAL_MACHINE\\Software\\KqTestAcme\\Notes\\Version\r\n"
                      "REGVAL=HKEY_LOCAL_MACHINE\\Software\\KqTestAcme\\Notes\\\r\n"
                      "REMKEY=HKEY_CLASSES_ROOT\\KqTest.Note\r\nREMKEY=HKEY_CLASSES_ROOT\\.kqtn\r\n"
                      "REGVAL=HKEY_CURRENT_USER\\Environment\\KQ_NOTES_HOME\r\n";
    if (haveService) log += "NTSERVICE=KqTestSvc\r\n";
    WriteText(maintenance + "\\uninstall.log", log);

    ASSERT_EQ(RunRunner("\"/S\" " + code_), runner::kRemoved);

    const char* const goneFiles[] = {"\\notes.exe", "\\docs\\en\\guide.txt", "\\readonly.dat", "\\cleanup.exe"};
    for (const char* name : goneFiles) EXPECT_FALSE(Exists(notes + name)) << name;
    EXPECT_FALSE(Exists(menu + "\\Notes.lnk"));
    const std::string goneFolders[] = {notes + "\\docs\\en", notes + "\\docs", notes, menu, maintenance};
    for (const std::string& folder : goneFolders) EXPECT_FALSE(Exists(folder)) << folder;
    // What setup did not put there stays, and so does the folder holding it.
    EXPECT_TRUE(Exists(acme + "\\keep.txt"));
    EXPECT_TRUE(Exists(windows_ + "\\kqrm_relative.txt"));
    EXPECT_TRUE(Exists(windows_ + "\\Installer"));

    // Keys and values: gone when the log names them, kept otherwise.
    struct Left {
        HKEY root;
        std::string key;
        const char* value;  // none: the key itself
        bool stays;
    };
    const Left left[] = {
        {HKEY_LOCAL_MACHINE, "Software\\KqTestAcme\\Notes", nullptr, false},
        {HKEY_LOCAL_MACHINE, "Software\\KqTestAcme\\Other", nullptr, true},
        {HKEY_LOCAL_MACHINE, "Software\\KqTestAcme", nullptr, true},
        {HKEY_CLASSES_ROOT, "KqTest.Note", nullptr, false},
        {HKEY_CLASSES_ROOT, ".kqtn", nullptr, false},
        {HKEY_CLASSES_ROOT, ".kqother", nullptr, true},
        {HKEY_CURRENT_USER, "Environment", "KQ_NOTES_HOME", false},
        {HKEY_CURRENT_USER, "Environment", "KQ_KEEP", true},
        {HKEY_LOCAL_MACHINE, key, nullptr, false},
    };
    for (const Left& l : left) {
        const bool there = l.value == nullptr ? reg::KeyExists(l.root, l.key.c_str())
                                              : reg::ValueExists(l.root, l.key.c_str(), l.value);
        EXPECT_EQ(there, l.stays) << l.key << " " << (l.value == nullptr ? "" : l.value);
    }
    EXPECT_EQ(ReadText(mark).substr(0, 4), "done");
    if (haveService) {
        EXPECT_FALSE(ServiceExists("KqTestSvc"));
    } else {
        ADD_FAILURE() << "the service control manager would not create a test service";
    }
}

struct DialogSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindProcessDialog(HWND hwnd, LPARAM param) {
    DialogSearch* search = reinterpret_cast<DialogSearch*>(param);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(hwnd, &owner);
    char cls[32] = "";
    ::GetClassNameA(hwnd, cls, sizeof(cls));
    if (owner == search->pid && std::string(cls) == "#32770" && ::IsWindowVisible(hwnd)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// A message box of process `pid`, waited for up to 20 seconds.
HWND WaitForDialog(DWORD pid) {
    DialogSearch search = {pid, nullptr};
    for (int i = 0; i < 200 && search.found == nullptr; ++i) {
        ::EnumWindows(FindProcessDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found == nullptr) ::Sleep(100);
    }
    return search.found;
}

std::string DialogText(HWND dialog) {
    char text[1024] = "";
    // The message box keeps its text in the static control 0xFFFF.
    ::GetDlgItemTextA(dialog, 0xFFFF, text, sizeof(text));
    return text;
}

// Starts kqexec.exe, answers each message box it shows with the next of
// `answers` (IDYES, IDNO, IDOK), and returns the texts shown and its exit code.
int DriveRunner(const std::string& arguments, const std::vector<int>& answers, std::vector<std::string>* texts) {
    PROCESS_INFORMATION process;
    if (!StartRunner(arguments, &process)) return -1;
    for (int answer : answers) {
        HWND dialog = WaitForDialog(process.dwProcessId);
        if (dialog == nullptr) break;
        texts->push_back(DialogText(dialog));
        ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
        // The next box must not be mistaken for this one.
        for (int i = 0; i < 100 && ::IsWindow(dialog); ++i) ::Sleep(50);
    }
    return RunnerExitCode(process, 20000);
}

TEST_F(Runner, AsksFirstAndReportsWhatIsLeft) {
    const std::string notes = root_ + "\\Notes";
    const std::string maintenance = windows_ + "\\Installer\\" + code_;
    MakeFolders(notes);
    MakeFolders(maintenance);
    WriteText(notes + "\\notes.exe", "x");
    WriteText(notes + "\\user.txt", "mine");
    WriteText(maintenance + "\\uninstall.log", "DIR=" + notes + "\r\nFILE=" + notes + "\\notes.exe\r\n");
    const std::string key = UninstallKeyPath(code_);
    ASSERT_TRUE(reg::CreateKey(HKEY_LOCAL_MACHINE, key.c_str()));
    ASSERT_TRUE(reg::WriteString(HKEY_LOCAL_MACHINE, key.c_str(), "DisplayName", "Northwind Notes"));

    std::vector<std::string> texts;
    EXPECT_EQ(DriveRunner("/R " + code_, {IDNO}, &texts), runner::kDeclined);
    const std::vector<std::string> asked = {
        "Are you sure you want to remove Northwind Notes and all of its components?"};
    EXPECT_EQ(texts, asked);
    EXPECT_TRUE(Exists(notes + "\\notes.exe"));
    EXPECT_TRUE(reg::KeyExists(HKEY_LOCAL_MACHINE, key.c_str()));

    texts.clear();
    EXPECT_EQ(DriveRunner("/R " + code_, {IDYES, IDOK}, &texts), runner::kRemoved);
    const std::vector<std::string> shown = {
        asked[0],
        "Northwind Notes was removed from your computer.\r\n\r\nKept on purpose:\r\n" + notes +
            ": holds files setup did not create",
    };
    EXPECT_EQ(texts, shown);
    EXPECT_FALSE(Exists(notes + "\\notes.exe"));
    EXPECT_TRUE(Exists(notes + "\\user.txt"));
    EXPECT_FALSE(reg::KeyExists(HKEY_LOCAL_MACHINE, key.c_str()));

    // Without its setup folder the product can only be removed; No keeps it.
    ASSERT_TRUE(reg::CreateKey(HKEY_LOCAL_MACHINE, key.c_str()));
    ASSERT_TRUE(reg::WriteString(HKEY_LOCAL_MACHINE, key.c_str(), "DisplayName", "Northwind Notes"));
    texts.clear();
    EXPECT_EQ(DriveRunner("/M " + code_, {IDNO}, &texts), runner::kDeclined);
    const std::vector<std::string> modify = {
        "Maintenance of Northwind Notes:\r\n\r\nIts setup folder is gone, so it cannot be repaired. Remove it?"};
    EXPECT_EQ(texts, modify);

    // "/?" names the plan and the log too.
    texts.clear();
    EXPECT_EQ(DriveRunner("/?", {IDOK}, &texts), runner::kBadCommand);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find("kqexec.exe /PLAN [/LOG=file] /R <product code>"), std::string::npos) << texts[0];
}

TEST_F(Runner, RefusesBadCommandsAndMissingLogs) {
    const std::string key = UninstallKeyPath(code_);
    ASSERT_TRUE(reg::CreateKey(HKEY_LOCAL_MACHINE, key.c_str()));
    ASSERT_TRUE(reg::WriteString(HKEY_LOCAL_MACHINE, key.c_str(), "DisplayName", "Notes"));
    struct Case {
        std::string arguments;
        int exitCode;
    };
    const Case cases[] = {
        {"/S /R " + code_, runner::kNoLog},  // nothing is touched
        {"\"/S\" " + code_, runner::kNoLog},
        {"/S", runner::kBadCommand},
        {"/S /R ..", runner::kBadCommand},
        {"/S /R ..\\..\\WINDOWS", runner::kBadCommand},
        {"/S /R /M " + code_, runner::kBadCommand},
        {"/S /M " + code_, runner::kBadCommand},  // the maintenance window needs the user
    };
    for (const Case& c : cases) EXPECT_EQ(RunRunner(c.arguments), c.exitCode) << c.arguments;
    EXPECT_TRUE(reg::KeyExists(HKEY_LOCAL_MACHINE, key.c_str()));
    EXPECT_TRUE(Exists(windows_ + "\\Installer"));
}

}  // namespace
}  // namespace kq
