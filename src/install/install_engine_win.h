// The install run: a snapshot of the run values, one worker thread that
// performs the installation steps in their fixed order, and the wait that
// keeps the user interface alive meanwhile.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "base/file_win.h"
#include "base/no_copy.h"
#include "base/profile_file_win.h"
#include "cabinet/cabinet_win.h"
#include "record/earlier_registration_win.h"
#include "record/install_record.h"
#include "record/interrupted_runs_win.h"
#include "record/record_machine_win.h"
#include "record/uninstall_log.h"
#include "run/file_list.h"
#include "run/placeholders.h"
#include "run/script.h"
#include "run/setup_run.h"
#include "steps/install_reporter.h"
#include "steps/uninstall_registration.h"
#include "win/window_win.h"

namespace kq {

class CInstallEngine : private NoCopy {
public:
    CInstallEngine(InstallSnapshot snapshot, InstallReporter& reporter);

    // Runs the whole installation; returns when the worker has ended. The
    // outcome is in the snapshot's signals (an abort), which the run shares.
    // `filter` is the message loop's, used while the wait lasts. A run whose
    // pages nobody sees (not `watched`) works on the calling thread: a
    // worker would hold a megabyte of stack for windows nobody looks at.
    void Start(MessageFilter filter = nullptr, bool watched = true);
    // The cabinet's unpacker, opened (and unpacking ahead) before the
    // installation started; the copy step opens one itself without it.
    void TakeUnpacker(std::unique_ptr<CCabinetUnpacker> unpacker) { m_unpacker = std::move(unpacker); }

private:
    // The worker's thread and the wait for it.
    void StartWorker(MessageFilter filter, bool watched);
    static DWORD WINAPI WorkerProc(void* self);
    void Work();

    // The file list; false when it cannot be read or is refused.
    bool LoadFiles();
    // Every volume has room for the files it is to get; otherwise says so
    // (the wizard offers Retry) and is false.
    bool EnoughSpace();
    void CreateDirectories();
    // Step 7, the files (file_step.h).
    bool CopyFiles();
    bool CopyListedFiles(const ExpandFn& expand);
    void RemoveTemporaryFiles();

    RegistrationPaths MakeRegistrationPaths() const;
    void PrepareMaintenanceProgram();
    kq::Status RegisterForUninstall();

    // Steps 8 to 10: shortcuts, system settings, services.
    void CreateShortcuts();
    void ApplySystemSettings();
    void InstallServices();

    // The install record beside the log (install_record.h), written after
    // each step; a cancelled or failed run is undone from it at once.
    void SaveRecord();
    void RollBack();
    // The record as it stays once the run has committed.
    void FinalRecord(const TextPieces& write) const;
    // Deletes the copies of the files the run replaced.
    void DiscardSetAsideCopies();

    std::string Expand(const std::string& text) const;
    ExpandFunction Expander() const;
    // The setup script, read once for every step.
    Script SetupScript() const { return Script(m_setupScriptFile); }
    // The error message box, unless the run is silent.
    void TellError(int number, const char* message) const;
    void Status(const char* text) { m_reporter.SetStatus(text, 0); }

    InstallSnapshot m_snapshot;
    PlaceholderValues m_values;
    InstallReporter& m_reporter;
    std::string m_packedFolder;
    std::string m_maintenanceFolder;
    ScratchFile m_listSpill;  // where the file list keeps most of its records, outliving it
    FileList m_files;
    UninstallLog m_log;
    std::string m_refusal;  // why the file list was refused, when it was
    ScratchFile m_recordSpill;  // where the record keeps most of its lines, outliving it
    InstallRecord m_record;
    // The machine as the record sees it: what is there, and the removal of
    // what the run made.
    CWinRecordMachine m_state;
    ProfileFile m_setupScriptFile;
    std::string m_recordPath;
    // The run in the list of runs in progress, and its record file while it
    // is written (interrupted_runs_win.h).
    CRunInProgress m_progress;
    CEarlierRegistration m_earlier;  // an earlier run's log and record, kept until this one commits
    std::unique_ptr<CCabinetUnpacker> m_unpacker;  // opened before the run, for the copy step
};

// "Error Number: %i\r\nMessage: %s" in a message box.
void ShowInstallError(int number, const char* message);

}  // namespace kq
