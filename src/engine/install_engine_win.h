// The install run: a snapshot of the run values, one worker thread that
// performs the installation steps in their fixed order, and the wait that
// keeps the user interface alive meanwhile.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "app/folders.h"
#include "app/placeholders.h"
#include "app/settings.h"
#include "engine/file_list.h"
#include "engine/install_reporter.h"
#include "engine/uninstall_log.h"
#include "engine/uninstall_registration.h"

namespace kq {

// The values the worker reads, frozen when the installation starts.
struct InstallSnapshot {
    FolderValues folders;
    ProductSettings settings;
    UserVariableTable variables;
    std::string workFolderName;
    std::string setupScriptPath;
    std::string dataScriptPath;
    // True when the named feature is known and not to be installed.
    std::function<bool(const std::string&)> featureDeselected;
};

class CInstallEngine {
public:
    CInstallEngine(InstallSnapshot snapshot, IInstallReporter& reporter);
    CInstallEngine(const CInstallEngine&) = delete;
    CInstallEngine& operator=(const CInstallEngine&) = delete;

    // Runs the whole installation; returns when the worker has ended. The
    // outcome is in the process-wide abort and cancel flags.
    void Start();

private:
    static DWORD WINAPI WorkerProc(void* self);
    void Work();

    bool LoadFilesAndCreateDirectories();
    bool CopyFiles();
    bool InstallLocalFile(const FileRecord& record, int32_t index, const std::string& destination,
                          bool mustInstall);
    // `versioned`: a component whose installed copy is replaced only by a
    // newer version.
    bool CopyWithRetry(const std::string& source, const std::string& destination, bool mustInstall,
                       bool mayMove, bool versioned);
    void ApplyAttributes(const std::string& path, const FileOptions& options);
    void RegisterServer(const std::string& path);
    void RemoveTemporaryFiles();
    bool WorkFolderIsDisposable() const;

    RegistrationPaths MakeRegistrationPaths() const;
    void PrepareMaintenanceProgram();
    kq::Status RegisterForUninstall();

    // Steps 8 to 10: shortcuts, system settings, services.
    void CreateShortcuts();
    void ApplySystemSettings();
    void InstallServices();

    std::string Expand(const std::string& text) const;
    void Status(const char* text) { m_reporter.SetStatus(text, 0); }

    InstallSnapshot m_snapshot;
    PlaceholderValues m_values;
    IInstallReporter& m_reporter;
    std::string m_systemName;
    std::string m_packedFolder;
    std::string m_maintenanceFolder;
    FileList m_files;
    UninstallLog m_log;
    std::string m_refusal;  // why the file list was refused, when it was
};

// "Error Number: %i\r\nMessage: %s" in a message box.
void ShowInstallError(int number, const char* message);

}  // namespace kq
