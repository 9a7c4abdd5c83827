// The registry values and services of the settings and service steps on a
// real (Wine) registry and service control manager, and the install worker
// running steps 8 to 10 in their place. (The end-to-end cases read every
// shortcut property, INI entry and value back after a whole installation.)
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "checks/system_name_win.h"
#include "install/install_engine_win.h"
#include "run/folders_win.h"
#include "steps/services.h"
#include "steps/services_win.h"
#include "steps/system_settings_win.h"
#include "test_files_win.h"
#include "win/registry_win.h"

namespace kq {
namespace {

struct ComScope {
    ComScope() { ::CoInitialize(nullptr); }
    ~ComScope() { ::CoUninitialize(); }
};

// The target and arguments of a saved shell link, as the shell reads them.
struct LinkReadBack {
    bool loaded = false;
    std::string target, arguments;
};

LinkReadBack ReadLink(const std::string& path) {
    LinkReadBack back;
    IShellLinkA* link = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  reinterpret_cast<void**>(&link))))
        return back;
    IPersistFile* file = nullptr;
    WCHAR wide[MAX_PATH];
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(wide, STGM_READ))) {
        char text[1024];
        back.loaded = true;
        if (SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH))) back.target = text;
        if (SUCCEEDED(link->GetArguments(text, sizeof(text)))) back.arguments = text;
    }
    if (file != nullptr) file->Release();
    link->Release();
    return back;
}

// ---------------------------------------------------------------------------
// Registry values the settings steps write

const char kSettingsKey[] = "Software\\KqSystemSettingsTest";

class WinSettings : public ::testing::Test {
protected:
    void SetUp() override { reg::DeleteKeyTree(HKEY_CURRENT_USER, kSettingsKey); }
    void TearDown() override { reg::DeleteKeyTree(HKEY_CURRENT_USER, kSettingsKey); }

    // The raw bytes and type of a value.
    static bool Raw(const char* subKey, const char* name, DWORD* type, std::string* data) {
        CKey key;
        if (key.Open(HKEY_CURRENT_USER, subKey, KEY_QUERY_VALUE) != ERROR_SUCCESS) return false;
        BYTE buffer[1024];
        DWORD size = sizeof(buffer);
        if (::RegQueryValueExA(key, name, nullptr, type, buffer, &size) != ERROR_SUCCESS) return false;
        data->assign(reinterpret_cast<char*>(buffer), size);
        return true;
    }

    CWinSettingsMachine machine_;
};

TEST_F(WinSettings, ValuesOfEachTypeReadBack) {
    const RegistryRoot user = RegistryRoot::kCurrentUser;
    EXPECT_FALSE(machine_.WriteString(user, kSettingsKey, "early", "x", false));  // the key must exist
    ASSERT_TRUE(machine_.CreateKey(user, kSettingsKey));
    ASSERT_TRUE(machine_.CreateKey(user, kSettingsKey));  // an existing key is fine

    struct Case {
        const char* name;
        DWORD type;
        std::string data;
    };
    ASSERT_TRUE(machine_.WriteString(user, kSettingsKey, "Text", "Northwind", false));
    ASSERT_TRUE(machine_.WriteString(user, kSettingsKey, "Long", std::string(300, 'l'), false));
    ASSERT_TRUE(machine_.WriteString(user, kSettingsKey, "Expand", "%SystemRoot%\\bin", true));
    ASSERT_TRUE(machine_.WriteNumber(user, kSettingsKey, "Build", 12));
    ASSERT_TRUE(machine_.WriteBinaryText(user, kSettingsKey, "Magic", "AB"));
    ASSERT_TRUE(machine_.WriteBinaryText(user, kSettingsKey, "Empty", ""));
    ASSERT_TRUE(machine_.WriteEnvironmentValue(user, kSettingsKey, "EnvLong", std::string(1000, 'e'), false));
    ASSERT_TRUE(machine_.WriteEnvironmentValue(user, kSettingsKey, "EnvExpand", "%SystemRoot%;" + std::string(300, 'x'),
                                               true));
    const Case cases[] = {
        {"Text", REG_SZ, std::string("Northwind") + '\0'},
        {"Long", REG_SZ, std::string(255, 'l') + '\0'},
        {"Expand", REG_EXPAND_SZ, std::string("%SystemRoot%\\bin") + '\0'},
        {"Build", REG_DWORD, std::string("\x0c\0\0\0", 4)},
        {"Magic", REG_BINARY, std::string("\x41\x42\x00", 3)},
        {"Empty", REG_BINARY, std::string(1, '\0')},
        {"EnvLong", REG_SZ, std::string(1000, 'e') + '\0'},
        {"EnvExpand", REG_EXPAND_SZ, "%SystemRoot%;" + std::string(300, 'x') + '\0'},
    };
    for (const Case& c : cases) {
        DWORD type = 0;
        std::string data;
        ASSERT_TRUE(Raw(kSettingsKey, c.name, &type, &data)) << c.name;
        EXPECT_EQ(type, c.type) << c.name;
        EXPECT_EQ(data, c.data) << c.name;
    }

    std::string text;
    bool expandable = false;
    ASSERT_TRUE(machine_.ReadString(user, kSettingsKey, "Expand", &text, &expandable));
    EXPECT_EQ(text, "%SystemRoot%\\bin");
    EXPECT_TRUE(expandable);
    ASSERT_TRUE(machine_.ReadString(user, kSettingsKey, "Text", &text, &expandable));
    EXPECT_FALSE(expandable);
    EXPECT_FALSE(machine_.ReadString(user, kSettingsKey, "Build", &text, &expandable));
    EXPECT_FALSE(machine_.ReadString(user, kSettingsKey, "Missing", &text, &expandable));

    EXPECT_TRUE(machine_.DeleteValue(user, kSettingsKey, "Text"));
    EXPECT_FALSE(machine_.DeleteValue(user, kSettingsKey, "Text"));
}

// ---------------------------------------------------------------------------
// Services

struct ServiceConfig {
    bool found = false;
    DWORD type = 0, start = 0, errorControl = 0;
    std::string binary, displayName;
};

ServiceConfig QueryService(const char* name) {
    ServiceConfig config;
    SC_HANDLE manager = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (manager == nullptr) return config;
    SC_HANDLE service = ::OpenServiceA(manager, name, SERVICE_QUERY_CONFIG);
    if (service != nullptr) {
        std::vector<BYTE> buffer(8192);
        DWORD needed = 0;
        auto* q = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
        if (::QueryServiceConfigA(service, q, static_cast<DWORD>(buffer.size()), &needed)) {
            config.found = true;
            config.type = q->dwServiceType;
            config.start = q->dwStartType;
            config.errorControl = q->dwErrorControl;
            config.binary = q->lpBinaryPathName != nullptr ? q->lpBinaryPathName : "";
            config.displayName = q->lpDisplayName != nullptr ? q->lpDisplayName : "";
        }
        ::CloseServiceHandle(service);
    }
    ::CloseServiceHandle(manager);
    return config;
}

void DeleteServiceNamed(const char* name) {
    SC_HANDLE manager = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (manager == nullptr) return;
    SC_HANDLE service = ::OpenServiceA(manager, name, DELETE);
    if (service != nullptr) {
        ::DeleteService(service);
        ::CloseServiceHandle(service);
    }
    ::CloseServiceHandle(manager);
}

TEST(WinServices, CreatedAsSpecifiedAndRefusedTwice) {
    const char* const names[] = {"KqTestOwnService", "KqTestInteractiveService"};
    for (const char* name : names) DeleteServiceNamed(name);

    CWinServiceMachine machine;
    ServiceSpec own;
    own.name = names[0];
    own.displayName = "Merrowin Test Service";
    own.type = ServiceTypeFromKeyword("SERVICE_WIN32_OWN_PROCESS");
    own.start = ServiceStartFromKeyword("SERVICE_DEMAND_START");
    own.errorControl = ServiceErrorControlFromKeyword("SERVICE_ERROR_IGNORE");
    own.commandLine = "\"C:\\Program Files\\Northwind\\sync.exe\" /service";
    ASSERT_EQ(machine.Install(own), ServiceCreation::kCreated);
    ServiceConfig config = QueryService(names[0]);
    ASSERT_TRUE(config.found);
    EXPECT_EQ(config.type & 0xFF, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
    EXPECT_EQ(config.start, static_cast<DWORD>(SERVICE_DEMAND_START));
    EXPECT_EQ(config.errorControl, static_cast<DWORD>(SERVICE_ERROR_IGNORE));
    EXPECT_EQ(config.binary, own.commandLine);
    EXPECT_EQ(config.displayName, own.displayName);
    // The same service again is in place (a package repairing itself); one
    // of that name with another program makes creation fail, and the step
    // then asks the user.
    EXPECT_EQ(machine.Install(own), ServiceCreation::kAlreadyInPlace);
    ServiceSpec other = own;
    other.commandLine = "C:\\Other\\other.exe";
    EXPECT_EQ(machine.Install(other), ServiceCreation::kFailed);

    // The interactive keyword stands for an own-process service that may
    // use the desktop; the system takes it.
    ServiceSpec interactive = own;
    interactive.name = names[1];
    interactive.displayName = "Merrowin Interactive Test Service";  // display names are unique too
    interactive.type = ServiceTypeFromKeyword("SERVICE_INTERACTIVE_PROCESS");
    ASSERT_EQ(machine.Install(interactive), ServiceCreation::kCreated);
    config = QueryService(names[1]);
    ASSERT_TRUE(config.found);
    EXPECT_EQ(config.type, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS));

    for (const char* name : names) DeleteServiceNamed(name);
}

// ---------------------------------------------------------------------------
// The install worker running steps 8 to 10

class RecordingReporter : public InstallReporter {
public:
    void SetStatus(const std::string& text, int line) override {
        if (line == 0) statuses.push_back(text);
    }
    void SetProgressRange(int32_t) override {}
    void SetProgressPosition(int32_t) override {}
    void DownloadStarted() override {}
    void DownloadProgress(const std::string&) override {}
    void DownloadFinished() override {}
    std::vector<std::string> statuses;
};

const char kRunCode[] = "{KQ-SYSTEM-CHANGES-RUN}";
const char kRunService[] = "KqEngineRunService";
const char kRunKey[] = "Software\\KqEngineRunTest";

// Runs the worker over a small script; the outcome is read from the
// machine. Under a 98-family system (the end-to-end tests run this case in
// such a prefix too) no service may appear.
class SystemChangesRun : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = TempFolder() + "kq_engine_run";
        RemoveTree(root_);
        ::CreateDirectoryA(root_.c_str(), nullptr);
        work_ = "kqsysrun";
        const std::string workFolder = TempFolder() + work_;
        RemoveTree(workFolder);
        ::CreateDirectoryA(workFolder.c_str(), nullptr);
        WriteText(workFolder + "\\data.inf", "");
        WriteText(workFolder + "\\setup.inf",
                  "[APPINFO]\r\na1=Engine Run\r\na2=1.0\r\na3=" + std::string(kRunCode) + "\r\n"
                  "[FOLDERKQ]\r\nTOTAL=1\r\nA0=Start Menu\\Programs Menu\\Tools\\Editor\r\nB0=Editor\r\n"
                  "C0=<InstallDir>editor.exe\r\nG0=/new\r\n"
                  "[INIINFO]\r\nTOTAL=1\r\nA0=INI Files\\run.ini\r\nC0=<InstallDir>\r\n"
                  "[INIDATA]\r\nTOTAL=1\r\nA0=INI Files\\run.ini\\Main\\Product\r\nC0=Engine Run\r\n"
                  "[REGISTRYKEYS]\r\nTOTAL=1\r\n0=HKEY_CURRENT_USER\\" + std::string(kRunKey) + "\\\r\n"
                  "[REGISTRY]\r\nTOTAL=1\r\nA0=HKEY_CURRENT_USER\\" + std::string(kRunKey) + "\\\r\nB0=Build\r\n"
                  "C0=12abc\r\nD0=DWORD\r\n"
                  "[NTSERVICE]\r\nTOTAL=1\r\nA0=" + std::string(kRunService) + "\r\nB0=Engine Run Service\r\n"
                  "C0=SERVICE_WIN32_OWN_PROCESS\r\nD0=SERVICE_DEMAND_START\r\nE0=SERVICE_ERROR_NORMAL\r\n"
                  "F0=<InstallDir>service.exe\r\n");

        snapshot_.workFolderName = work_;
        snapshot_.setupScriptPath = workFolder + "\\setup.inf";
        snapshot_.dataScriptPath = workFolder + "\\data.inf";
        snapshot_.systemName = SystemName();
        DiscoverBaseFolders(snapshot_.folders);
        snapshot_.folders.programsMenu = root_ + "\\Programs";
        snapshot_.folders.desktop = root_ + "\\Desktop";
        ::CreateDirectoryA(snapshot_.folders.programsMenu.c_str(), nullptr);
        snapshot_.settings.productName = "Engine Run";
        snapshot_.settings.productCode = kRunCode;
        snapshot_.settings.installDir = root_ + "\\Product\\";
        snapshot_.settings.defaultInstallDir = snapshot_.settings.installDir;
        maintenanceFolder_ = snapshot_.folders.windows + "\\Installer\\" + kRunCode;
        Clean();
    }
    void TearDown() override {
        Clean();
        RemoveTree(root_);
        RemoveTree(TempFolder() + work_);
    }
    void Clean() {
        DeleteServiceNamed(kRunService);
        reg::DeleteKeyTree(HKEY_CURRENT_USER, kRunKey);
        reg::DeleteKeyTree(HKEY_LOCAL_MACHINE, UninstallKeyPath(kRunCode).c_str());
        RemoveTree(maintenanceFolder_);
    }

    void Run() {
        CInstallEngine engine(snapshot_, reporter_);
        engine.Start();
    }

    // The log lines of the steps under test.
    std::vector<std::string> SystemLines() {
        std::vector<std::string> lines;
        std::istringstream text(ReadText(maintenanceFolder_ + "\\uninstall.log"));
        for (std::string line; std::getline(text, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            for (const char* kind : {"SHORTCUT=", "REGKEY=", "REGVAL=", "NTSERVICE=", "FILE="}) {
                if (line.compare(0, strlen(kind), kind) == 0) lines.push_back(line);
            }
            if (line.compare(0, 4, "DIR=") == 0 && line.find("\\Programs") != std::string::npos) lines.push_back(line);
        }
        return lines;
    }

    // True when the statuses hold `expected` in this order (others may
    // come between them).
    bool InOrder(const std::vector<std::string>& expected) {
        auto at = reporter_.statuses.begin();
        for (const std::string& text : expected) {
            at = std::find(at, reporter_.statuses.end(), text);
            if (at == reporter_.statuses.end()) return false;
            ++at;
        }
        return true;
    }

    std::string root_, work_, maintenanceFolder_;
    InstallSnapshot snapshot_;
    RecordingReporter reporter_;
};

TEST_F(SystemChangesRun, StepsRunInTheirPlaceAndLogWhatTheyDid) {
    Run();
    const std::vector<std::string> order = {"Please Wait, Copying Files...", "Please Wait, Creating Shortcuts...",
                                            "Please Wait, Setting system...", "Installing Service...",
                                            "Finishing settings..."};
    EXPECT_TRUE(InOrder(order)) << ::testing::PrintToString(reporter_.statuses);
    EXPECT_EQ(std::count(reporter_.statuses.begin(), reporter_.statuses.end(), "Installing Service..."), 1);

    const std::string programs = snapshot_.folders.programsMenu;
    const std::string installDir = snapshot_.settings.installDir;
    LinkReadBack link;
    {
        ComScope com;
        link = ReadLink(programs + "\\Tools\\Editor.lnk");
    }
    ASSERT_TRUE(link.loaded);
    EXPECT_STRCASEEQ(link.target.c_str(), (installDir + "editor.exe").c_str());
    EXPECT_EQ(link.arguments, "/new");

    char product[64] = "";
    ::GetPrivateProfileStringA("Main", "Product", "", product, sizeof(product), (installDir + "run.ini").c_str());
    EXPECT_STREQ(product, "Engine Run");
    uint32_t build = 0;
    EXPECT_TRUE(reg::ReadNumber(HKEY_CURRENT_USER, kRunKey, "Build", &build));
    EXPECT_EQ(build, 12u);

    const bool noServices = SystemLacksServices(SystemName());
    ServiceConfig service = QueryService(kRunService);
    EXPECT_EQ(service.found, !noServices) << "system " << SystemName();
    if (service.found) {
        EXPECT_EQ(service.binary, installDir + "service.exe");
    }

    std::vector<std::string> lines = {
        "DIR=" + programs + "\\Tools",
        "SHORTCUT=" + programs + "\\Tools\\Editor.lnk",
        "FILE=" + installDir + "run.ini",
        std::string("REGKEY=HKEY_CURRENT_USER\\") + kRunKey,
        std::string("REGVAL=HKEY_CURRENT_USER\\") + kRunKey + "\\Build",
    };
    if (!noServices) lines.push_back(std::string("NTSERVICE=") + kRunService);
    EXPECT_EQ(SystemLines(), lines);
    EXPECT_FALSE(snapshot_.signals->Aborted());
}

TEST_F(SystemChangesRun, PreviewShowsEveryStepAndChangesNothing) {
    snapshot_.preview = true;
    Run();
    const std::vector<std::string> order = {"Please Wait, Creating Shortcuts...", "Please Wait, Setting system...",
                                            "Installing Service...", "Finishing settings..."};
    EXPECT_TRUE(InOrder(order)) << ::testing::PrintToString(reporter_.statuses);
    EXPECT_FALSE(Exists(snapshot_.folders.programsMenu + "\\Tools"));
    EXPECT_FALSE(Exists(snapshot_.settings.installDir + "run.ini"));
    EXPECT_FALSE(reg::KeyExists(HKEY_CURRENT_USER, kRunKey));
    EXPECT_FALSE(QueryService(kRunService).found);
    EXPECT_TRUE(SystemLines().empty());
    // The working folder stays for the next run.
    EXPECT_TRUE(Exists(TempFolder() + work_ + "\\setup.inf"));
}

}  // namespace
}  // namespace kq
