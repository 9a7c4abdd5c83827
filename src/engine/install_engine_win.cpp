#include "engine/install_engine_win.h"

#include <objbase.h>
#include <shellapi.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "app/profile_file_win.h"
#include "app/run_flags.h"
#include "app/script.h"
#include "checks/system_name.h"
#include "checks/system_name_win.h"
#include "engine/directories_win.h"
#include "engine/engine_resources.h"
#include "engine/services_win.h"
#include "engine/shortcuts_win.h"
#include "engine/system_settings_win.h"
#include "engine/uninstall_registration.h"
#include "engine/uninstall_registration_win.h"
#include "engine/version_rule.h"
#include "engine/version_rule_win.h"
#include "win/window_win.h"

namespace kq {
namespace {

constexpr char kCoInitializeMessage[] =
    "Iniciar() - Merrowin Can't CO-INITIALIZE; Please restart your computer; If not work, you must update your "
    "Windows!";
constexpr char kLoadFileDataMessage[] = "LoadFileData() - Error";
constexpr char kFatalCopyFormat[] = "Merrowin will abort installation, the file:\r\n%s\r\nCan't be installed.";
constexpr char kCopyFailedFormat[] = "Merrowin can't copy the file:\r\n%s\r\nWhat you would like to do ?";

enum FileErrorChoice { kRetry = 1, kIgnore = 2, kCancel = 3 };

bool Exists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool ReadWholeFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteWholeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    return static_cast<bool>(out);
}

struct FileErrorArgs {
    const char* text;
    bool fatal;
};

INT_PTR CALLBACK FileErrorProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INITDIALOG: {
        const FileErrorArgs* args = reinterpret_cast<const FileErrorArgs*>(lParam);
        ::SetDlgItemTextA(dialog, IDC_FILE_ERROR_TEXT, args->text);
        if (args->fatal) {
            ::ShowWindow(::GetDlgItem(dialog, IDC_FILE_ERROR_RETRY), SW_HIDE);
            ::ShowWindow(::GetDlgItem(dialog, IDC_FILE_ERROR_IGNORE), SW_HIDE);
        }
        ::SetForegroundWindow(dialog);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_FILE_ERROR_RETRY:
            ::EndDialog(dialog, kRetry);
            return TRUE;
        case IDC_FILE_ERROR_IGNORE:
            ::EndDialog(dialog, kIgnore);
            return TRUE;
        case IDC_FILE_ERROR_CANCEL:
        case IDCANCEL:
            ::EndDialog(dialog, kCancel);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

// Shown from the worker thread; it has no owner and stays on top so the user
// sees it above the progress page.
int ShowFileError(const std::string& text, bool fatal) {
    FileErrorArgs args = {text.c_str(), fatal};
    INT_PTR r = ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_FILE_ERROR), nullptr,
                                  &FileErrorProc, reinterpret_cast<LPARAM>(&args));
    return r <= 0 ? kCancel : static_cast<int>(r);
}

std::string Format(const char* format, const std::string& value) {
    std::string out(std::char_traits<char>::length(format) + value.size(), '\0');
    int n = std::snprintf(&out[0], out.size() + 1, format, value.c_str());
    out.resize(n < 0 ? 0 : static_cast<size_t>(n));
    return out;
}

}  // namespace

void ShowInstallError(int number, const char* message) {
    char text[1024];
    std::snprintf(text, sizeof(text), "Error Number: %i\r\nMessage: %s", number, message);
    ::MessageBoxA(nullptr, text, "Merrowin", MB_OK);
}

CInstallEngine::CInstallEngine(InstallSnapshot snapshot, IInstallReporter& reporter)
    : m_snapshot(std::move(snapshot)), m_reporter(reporter) {
    m_values = MakePlaceholderValues(m_snapshot.folders, m_snapshot.settings, &m_snapshot.variables);
}

std::string CInstallEngine::Expand(const std::string& text) const {
    return ExpandWorker(text, m_values);
}

void CInstallEngine::Start() {
    m_packedFolder = PackedFileFolder(m_snapshot.folders.temp.c_str(), m_snapshot.workFolderName.c_str(),
                                      m_snapshot.folders.source.c_str(), Flags().diskImage == kFlagSet);
    m_maintenanceFolder = Expand("<WindowsFolder>\\Installer\\<ProductCode>\\");
    m_log.SetPath(Expand("<WindowsFolder>\\Installer\\<ProductCode>\\uninstall.log"));
    // Every run describes itself alone: a log that cannot be deleted ends the
    // run before anything is changed, as it would mix two runs.
    if (!m_log.RemoveLeftover()) {
        ShowInstallError(2, LeftoverLogMessage(m_log.Path()).c_str());
        Flags().abort = kFlagSet;
        RemoveTemporaryFiles();
        return;
    }

    DWORD id = 0;
    HANDLE worker = ::CreateThread(nullptr, 0, &CInstallEngine::WorkerProc, this, 0, &id);
    if (worker == nullptr) {
        Work();  // no thread to be had: do the work here rather than not at all
    } else {
        PumpWait(worker);
        ::CloseHandle(worker);
    }
    m_log.Close();
    m_reporter.SetProgressPosition(m_files.Total());
}

DWORD WINAPI CInstallEngine::WorkerProc(void* self) {
    static_cast<CInstallEngine*>(self)->Work();
    return 0;
}

void CInstallEngine::Work() {
    if (FAILED(::CoInitialize(nullptr))) {
        ShowInstallError(0, kCoInitializeMessage);
        Flags().abort = kFlagSet;
        return;
    }
    struct ComScope { ~ComScope() { ::CoUninitialize(); } } com;

    m_systemName = SystemName();
    const bool preview = Flags().preview == kFlagSet;

    Status(status::kLoadingData);
    if (!LoadFilesAndCreateDirectories()) {
        ShowInstallError(1, m_refusal.empty() ? kLoadFileDataMessage : m_refusal.c_str());
        Flags().abort = kFlagSet;
        RemoveTemporaryFiles();
        return;
    }
    PrepareMaintenanceProgram();
    m_reporter.SetProgressRange(m_files.Total());

    Status(status::kCopyingFiles);
    if (!preview && !CopyFiles()) return;

    Status(status::kCreatingShortcuts);
    if (!preview) CreateShortcuts();
    Status(status::kSettingSystem);
    if (!preview) ApplySystemSettings();
    // Not skipped in preview: the step shows its status and then changes
    // nothing itself.
    InstallServices();

    Status(status::kFinishing);
    if (preview) return;
    // A product that cannot be removed is not installed: the run ends as a
    // failed one, and the working folder with the decrypted scripts goes.
    kq::Status registered = RegisterForUninstall();
    if (!registered) {
        ShowInstallError(3, registered.message().c_str());
        Flags().abort = kFlagSet;
    }
    RemoveTemporaryFiles();
}

bool CInstallEngine::LoadFilesAndCreateDirectories() {
    std::string text;
    if (!ReadWholeFile(m_snapshot.dataScriptPath, text)) return false;
    m_files = LoadFileList(text);
    // A damaged name could reach outside the working and install folders.
    kq::Status names = CheckPackedFileNames(m_files);
    if (!names) {
        m_refusal = names.message();
        return false;
    }
    m_log.Append(logkind::kTotalFile, std::to_string(m_files.Total()));

    Status(status::kCreatingDirectories);
    CreateDirectoryPath(m_maintenanceFolder);
    const std::string& installDir = m_snapshot.settings.installDir;
    CreateDirectoryPath(installDir);
    m_log.Append(logkind::kDir, installDir);

    ExpandFn expand = [this](const std::string& t) { return Expand(t); };
    for (const std::string& entry : m_files.directories) {
        std::string dir = DirectoryPath(entry, expand);
        CreateDirectoryPath(dir);
        m_log.Append(logkind::kDir, dir);
    }
    return true;
}

bool CInstallEngine::WorkFolderIsDisposable() const {
    // The extracted files may be moved into place instead of copied only when
    // nothing will look for them again: the working folder goes at the end of
    // this run and no merge module will read from it.
    return Flags().diskImage != kFlagSet && Flags().mergeModulesPending != kFlagSet &&
           Flags().preview != kFlagSet;
}

bool CInstallEngine::CopyFiles() {
    ExpandFn expand = [this](const std::string& t) { return Expand(t); };
    const bool mayMove = WorkFolderIsDisposable();
    for (size_t i = 0; i < m_files.files.size(); ++i) {
        const FileRecord& record = m_files.files[i];
        const int32_t index = static_cast<int32_t>(i);
        m_reporter.SetProgressPosition(index);

        std::string destination = DestinationPath(record, expand);
        if (Flags().cancelRequest != 0) return false;
        if (!FileMaskApplies(record.fileMask, m_systemName.c_str())) continue;

        FileOptions options = DecodeFileOptions(record.options);
        bool skip = options.keepExisting && Exists(destination);
        if (!skip && !record.feature.empty() && m_snapshot.featureDeselected &&
            m_snapshot.featureDeselected(record.feature))
            skip = true;

        if (!skip) {
            if (IsWebSource(record.sourcePath)) {
                // Downloads come with the web transfer; until then a web file
                // is reported like any file that cannot be copied.
                destination = WebDestinationPath(record, expand);
                if (!CopyWithRetry(std::string(), destination, options.mustInstall, false, false)) return false;
            } else {
                std::string source = PackedSourcePath(m_packedFolder.c_str(), index, record.fileName.c_str());
                if (options.expandContent) {
                    std::string text;
                    std::string expanded = source + "2";
                    if (ReadWholeFile(source, text) && WriteWholeFile(expanded, Expand(text))) source = expanded;
                }
                if (!CopyWithRetry(source, destination, options.mustInstall, mayMove && !options.expandContent,
                                   VersionRuleApplies(record.fileName.c_str())))
                    return false;
            }
        }

        if (!options.notLogged) m_log.Append(logkind::kFile, destination);
        if (options.registerServer) RegisterServer(destination);
        ApplyAttributes(destination, options);
    }
    return true;
}

bool CInstallEngine::CopyWithRetry(const std::string& source, const std::string& destination, bool mustInstall,
                                   bool mayMove, bool versioned) {
    if (versioned && Exists(destination) &&
        InstalledFileKept(Exists(source), FileVersionText(source.c_str()).c_str(),
                          FileVersionText(destination.c_str()).c_str()))
        return true;

    for (;;) {
        DWORD attributes = ::GetFileAttributesA(destination.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            ::SetFileAttributesA(destination.c_str(), FILE_ATTRIBUTE_NORMAL);

        bool done = false;
        if (!source.empty()) {
            if (mayMove) done = MoveIntoPlace(source, destination);
            if (!done) done = ::CopyFileA(source.c_str(), destination.c_str(), FALSE) != 0;
        }
        if (done) return true;

        if (mustInstall) {
            ShowFileError(Format(kFatalCopyFormat, destination), true);
            RemoveTemporaryFiles();
            Flags().abort = kFlagSet;
            return false;
        }
        switch (ShowFileError(Format(kCopyFailedFormat, destination), false)) {
        case kRetry:
            continue;
        case kIgnore:
            return true;
        default:
            RemoveTemporaryFiles();
            Flags().abort = kFlagSet;
            return false;
        }
    }
}

void CInstallEngine::ApplyAttributes(const std::string& path, const FileOptions& options) {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    DWORD wanted = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    if (options.readOnly) wanted |= FILE_ATTRIBUTE_READONLY;
    if (options.hidden) wanted |= FILE_ATTRIBUTE_HIDDEN;
    if (options.system) wanted |= FILE_ATTRIBUTE_SYSTEM;
    if (wanted == 0) wanted = FILE_ATTRIBUTE_NORMAL;
    if (wanted != attributes) ::SetFileAttributesA(path.c_str(), wanted);
}

void CInstallEngine::RegisterServer(const std::string& path) {
    std::string command = "regsvr32.exe /s \"" + path + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION pi = {};
    // The registration runs on its own; its result is not awaited.
    if (::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                         &si, &pi)) {
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
}

void CInstallEngine::RemoveTemporaryFiles() {
    Status(status::kRemovingTemporary);
    if (Flags().mergeModulesPending == kFlagSet) return;
    DeleteFolderTree(Expand("<TempFolder>\\" + m_snapshot.workFolderName), m_snapshot.folders.temp);
}

RegistrationPaths CInstallEngine::MakeRegistrationPaths() const {
    RegistrationPaths paths;
    paths.productCode = m_snapshot.settings.productCode;
    paths.installDir = m_snapshot.settings.installDir;
    paths.workFolderName = m_snapshot.workFolderName;
    paths.packedFileFolder = m_packedFolder;
    paths.sourceFolder = m_snapshot.folders.source;
    paths.maintenanceFolder = m_maintenanceFolder;
    return paths;
}

void CInstallEngine::PrepareMaintenanceProgram() {
    ProfileFile profile(m_snapshot.setupScriptPath.c_str());
    CWinRegistrationMachine machine;
    kq::PrepareMaintenanceProgram(Script(profile), [this](const std::string& t) { return Expand(t); },
                                  MakeRegistrationPaths(), machine, m_log);
}

kq::Status CInstallEngine::RegisterForUninstall() {
    ProfileFile profile(m_snapshot.setupScriptPath.c_str());
    CWinRegistrationMachine machine;
    return kq::RegisterForUninstall(Script(profile), [this](const std::string& t) { return Expand(t); },
                                    MakeRegistrationPaths(), machine, m_log);
}

// ---- steps 8 to 10: shortcuts, system settings, services

void CInstallEngine::CreateShortcuts() {
    ProfileFile profile(m_snapshot.setupScriptPath.c_str());
    ShortcutContext context;
    context.folders = m_snapshot.folders;
    context.installDir = m_snapshot.settings.installDir;
    context.packedFolder = m_packedFolder;
    context.featureDeselected = m_snapshot.featureDeselected;
    CWinShortcutMachine machine;
    kq::CreateShortcuts(Script(profile), [this](const std::string& t) { return Expand(t); }, context, machine, m_log);
}

void CInstallEngine::ApplySystemSettings() {
    ProfileFile profile(m_snapshot.setupScriptPath.c_str());
    SettingsContext context;
    context.installDir = m_snapshot.settings.installDir;
    context.workFolderName = m_snapshot.workFolderName;
    context.packedFileFolder = m_packedFolder;
    context.featureDeselected = m_snapshot.featureDeselected;
    CWinSettingsMachine machine;
    kq::ApplySystemSettings(Script(profile), [this](const std::string& t) { return Expand(t); }, context, machine,
                            m_log);
}

void CInstallEngine::InstallServices() {
    ProfileFile profile(m_snapshot.setupScriptPath.c_str());
    ServiceStepHooks hooks;
    hooks.status = [this](const std::string& text) { m_reporter.SetStatus(text, 0); };
    hooks.askAfterFailure = [](const std::string& text) {
        return static_cast<FailureChoice>(ShowFileError(text, false));
    };
    hooks.removeTemporaryFiles = [this] { RemoveTemporaryFiles(); };
    CWinServiceMachine machine;
    kq::InstallServices(Script(profile), [this](const std::string& t) { return Expand(t); }, m_systemName, machine,
                        hooks, m_log);
}

// ---- end of steps 8 to 10

}  // namespace kq
