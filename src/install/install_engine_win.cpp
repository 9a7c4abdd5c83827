#include "install/install_engine_win.h"

#include <objbase.h>

#include <cstdio>

#include "base/file.h"
#include "base/file_win.h"
#include "base/product.h"
#include "base/profile_file_win.h"
#include "cabinet/cabinet.h"
#include "install/install_journal.h"
#include "install/step_machine.h"
#include "record/record_inheritance.h"
#include "record/record_machine_win.h"
#include "record/record_removal.h"
#include "run/script.h"
#include "steps/disk_space.h"
#include "steps/disk_space_win.h"
#include "steps/file_step_win.h"
#include "steps/install_recorders.h"
#include "steps/plan_machines.h"
#include "steps/services_win.h"
#include "steps/shortcuts_win.h"
#include "steps/system_settings_win.h"
#include "steps/uninstall_registration.h"
#include "steps/uninstall_registration_win.h"
#include "win/directories_win.h"
#include "win/window_win.h"

namespace kq {
namespace {

constexpr char kCoInitializeMessage[] =
    "Iniciar() - Merrowin Can't CO-INITIALIZE; Please restart your computer; If not work, you must update your "
    "Windows!";
constexpr char kLoadFileDataMessage[] = "LoadFileData() - Error";

// The size of file `index`'s entry in `cabinet` (a reader or an unpacker).
template <typename Cabinet>
bool PackedEntrySize(const Cabinet& cabinet, const FileList& files, int32_t index, uint64_t* size) {
    const FileRecord& record = files.files[static_cast<size_t>(index)];
    const size_t entry = cabinet.Find(PackedEntryName(index, record.fileName.c_str()));
    if (entry >= cabinet.EntryCount()) return false;
    *size = cabinet.EntryBytes(entry);
    return true;
}

// The size of the file at `path`; false when no file is there.
bool FileBytes(const std::string& path, uint64_t* size) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    *size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

}  // namespace

void ShowInstallError(int number, const char* message) {
    char text[1024];
    std::snprintf(text, sizeof(text), "Error Number: %i\r\nMessage: %s", number, message);
    ::MessageBoxA(nullptr, text, kProductName, MB_OK);
}

CInstallEngine::CInstallEngine(InstallSnapshot snapshot, InstallReporter& reporter)
    : m_snapshot(std::move(snapshot)), m_reporter(reporter), m_setupScriptFile(m_snapshot.setupScriptPath.c_str()) {
    m_values = MakePlaceholderValues(m_snapshot.folders, m_snapshot.settings, &m_snapshot.variables);
}

void CInstallEngine::TellError(int number, const char* message) const {
    m_reporter.Told(message);
    // Nobody is there to press OK: the run ends as a failed run unasked.
    if (!m_snapshot.unattended) ShowInstallError(number, message);
}

std::string CInstallEngine::Expand(const std::string& text) const {
    return ExpandStepText(text, m_values);
}

ExpandFunction CInstallEngine::Expander() const {
    return [this](const std::string& text) { return Expand(text); };
}

void CInstallEngine::Start(MessageFilter filter, bool watched) {
    m_packedFolder = PackedFileFolder(m_snapshot.folders.temp.c_str(), m_snapshot.workFolderName.c_str(),
                                      m_snapshot.folders.source.c_str(), m_snapshot.diskImage);
    m_maintenanceFolder = Expand("<WindowsFolder>\\Installer\\<ProductCode>\\");
    // The log of the run sees every change as the record and the uninstall
    // log take it.
    std::shared_ptr<RunJournal> journal = m_snapshot.journal;
    // A run of many files would hold every line of its record in memory.
    m_recordSpill = OpenScratchFile(m_snapshot.folders.temp);
    m_record.SpillTo(m_recordSpill.get());
    m_record.SetObserver([journal](const RecordEntry& entry) { JournalRecordEntry(*journal, entry); });
    m_log.SetObserver([journal](const char* kind, const std::string& value) { JournalLogLine(*journal, kind, value); });
    // The uninstall log and the record are setup's own files; the record
    // does not list itself, so the log of the run names them here.
    for (const char* name : {kUninstallLogName, kInstallRecordName}) {
        RecordEntry own;
        own.path = m_maintenanceFolder + name;
        own.origin = m_state.Fingerprint(own.path, nullptr) ? FileOrigin::kReplaced : FileOrigin::kNew;
        JournalRecordEntry(*journal, own);
    }
    if (m_snapshot.plan) {
        // A plan leaves an earlier run's log and record alone; its own
        // uninstall log has no file to go to.
        StartWorker(filter, watched);
        return;
    }
    m_log.SetPath(Expand("<WindowsFolder>\\Installer\\<ProductCode>\\uninstall.log"));
    m_recordPath = m_maintenanceFolder + kInstallRecordName;
    // Listed before the first change: should the run be killed, the next
    // one finds it and rolls it back.
    if (!m_snapshot.preview) m_progress.Begin(m_snapshot.settings.productCode, m_snapshot.settings.productName);
    // Every run describes itself alone: a log that cannot be set aside ends
    // the run before anything is changed, as it would mix two runs. An
    // earlier installation's log and record are kept aside, not deleted,
    // until this run commits: a run that is undone leaves that product
    // registered and removable.
    if (!m_earlier.SetAside({m_log.Path(), m_recordPath}) || !m_log.RemoveLeftover()) {
        TellError(2, LeftoverLogMessage(m_log.Path()).c_str());
        m_earlier.Restore();
        m_progress.End();
        m_snapshot.signals->Abort();
        RemoveTemporaryFiles();
        return;
    }
    ::DeleteFileA(m_recordPath.c_str());
    StartWorker(filter, watched);
}

void CInstallEngine::StartWorker(MessageFilter filter, bool watched) {
    DWORD id = 0;
    HANDLE worker = watched ? ::CreateThread(nullptr, 0, &CInstallEngine::WorkerProc, this, 0, &id) : nullptr;
    if (worker == nullptr) {
        Work();  // unwatched, or no thread to be had: the work is done here
    } else {
        PumpWait(worker, INFINITE, filter);
        ::CloseHandle(worker);
    }
    m_log.Close();
    m_progress.CloseRecord();
    const RunSignals& signals = *m_snapshot.signals;
    const bool undone = signals.Aborted() || signals.CancelRequested();
    if (!m_snapshot.preview && !m_snapshot.plan && undone) RollBack();
    if (m_snapshot.preview || m_snapshot.plan || undone) {
        m_earlier.Restore();
    } else {
        m_progress.Commit([this](const TextPieces& write) { FinalRecord(write); });
        m_earlier.Discard();
    }
    // A rollback has put them back; otherwise the run's changes stay. The
    // run stays listed until they are gone: killed before, the next run
    // finds them named in the committed record and deletes them.
    DiscardSetAsideCopies();
    m_progress.End();
    m_reporter.SetProgressPosition(m_files.Total());
}

void CInstallEngine::DiscardSetAsideCopies() {
    kq::DiscardSetAsideCopies(m_record.SetAsideCopies(), m_state);
    m_record.ForgetSetAsideCopies();
}

void CInstallEngine::SaveRecord() {
    if (m_snapshot.preview || m_snapshot.plan) return;
    // The record file of the run in progress has each line already.
    if (m_progress.RecordOpen()) m_progress.Flush();
    else WriteWholeFile(m_recordPath, m_record.Text());
}

void CInstallEngine::FinalRecord(const TextPieces& write) const {
    // After a run over an earlier installation the record keeps what the
    // earlier one knew (record_inheritance.h).
    std::string text;
    ParsedRecord earlier;
    if (m_earlier.HasEarlier() && ReadWholeFile(CEarlierRegistration::AsideName(m_recordPath), text))
        earlier = ParseRecord(text);
    if (!earlier.valid) m_record.WriteText(write);
    else write(FormatRecord(InheritEarlierRecord(earlier.entries, m_record.Entries())));
    for (const InstallRecord::SetAsideCopy& aside : m_record.SetAsideCopies()) write(FormatSetAsideLine(aside));
}

void CInstallEngine::RollBack() {
    RemovalScope scope = RollbackScope(m_snapshot.settings.productCode, m_snapshot.settings.installDir,
                                       m_maintenanceFolder, m_earlier.HasEarlier());
    scope.releasing = [this](const std::string& path) { MarkReleased(m_recordPath, path); };
    RollBackRecorded(m_record.Entries(), m_record.SetAsideCopies(), scope, m_state);
    m_record.ForgetSetAsideCopies();
    m_record.Clear();
    m_snapshot.signals->MarkRolledBack();
}

DWORD WINAPI CInstallEngine::WorkerProc(void* self) {
    static_cast<CInstallEngine*>(self)->Work();
    return 0;
}

void CInstallEngine::Work() {
    if (FAILED(::CoInitialize(nullptr))) {
        TellError(0, kCoInitializeMessage);
        m_snapshot.signals->Abort();
        return;
    }
    struct ComScope { ~ComScope() { ::CoUninitialize(); } } com;

    const bool preview = m_snapshot.preview;

    Status(status::kLoadingData);
    if (!LoadFiles()) {
        TellError(1, m_refusal.empty() ? kLoadFileDataMessage : m_refusal.c_str());
        m_snapshot.signals->SetFailure(RunFailure::kDamaged);
        m_snapshot.signals->Abort();
        RemoveTemporaryFiles();
        return;
    }
    // A full disk ends the run before anything is made, not midway.
    if (!preview && !m_snapshot.plan && !EnoughSpace()) {
        m_snapshot.signals->SetFailure(RunFailure::kRequirements);
        m_snapshot.signals->Abort();
        RemoveTemporaryFiles();
        return;
    }
    CreateDirectories();
    PrepareMaintenanceProgram();
    m_reporter.SetProgressRange(m_files.Total());

    SaveRecord();
    Status(status::kCopyingFiles);
    const bool copied = preview || CopyFiles();
    SaveRecord();
    if (!copied) {
        // The file step ended the run: a file could not be installed (a
        // cancel request is the user's, and counted as such).
        if (!m_snapshot.signals->CancelRequested()) m_snapshot.signals->SetFailure(RunFailure::kFiles);
        return;
    }
    // From here on a cancel would stop nothing: the page's Cancel goes, and
    // a cancel confirmed before this point ends the run here.
    if (!m_snapshot.signals->Commit()) return;
    m_reporter.CopyStepOver();

    Status(status::kCreatingShortcuts);
    if (!preview) CreateShortcuts();
    SaveRecord();
    Status(status::kSettingSystem);
    if (!preview) ApplySystemSettings();
    SaveRecord();
    // Not skipped in preview: the step shows its status and then changes
    // nothing itself.
    InstallServices();
    SaveRecord();

    Status(status::kFinishing);
    if (preview) return;
    // A product that cannot be removed is not installed: the run ends as a
    // failed one (and is rolled back from its record), and the working
    // folder with the decrypted scripts goes.
    kq::Status registered = RegisterForUninstall();
    {
        PlanRecordMachine plan(m_state);
        CountSharedFiles(m_record, {m_snapshot.settings.installDir, m_maintenanceFolder},
                         m_snapshot.plan ? static_cast<RecordMachine&>(plan) : m_state);
    }
    SaveRecord();
    if (!registered) {
        TellError(3, registered.message().c_str());
        m_snapshot.signals->Abort();
    }
    RemoveTemporaryFiles();
}

bool CInstallEngine::LoadFiles() {
    // A list of many files would hold its text and every record in memory.
    m_listSpill = OpenScratchFile(m_snapshot.folders.temp);
    FileListLoader loader(m_listSpill.get());
    if (!ReadFileInPieces(m_snapshot.dataScriptPath, [&loader](std::string_view piece) { loader.Add(piece); }))
        return false;
    m_files = loader.Finish();
    // A damaged name could reach outside the working and install folders;
    // a list cut short would install part of the product as the whole.
    kq::Status whole = CheckFileListWhole(m_files);
    if (!whole) {
        m_refusal = whole.message();
        return false;
    }
    m_log.Append(logkind::kTotalFile, std::to_string(m_files.Total()));
    return true;
}

bool CInstallEngine::EnoughSpace() {
    SpaceQuestions questions;
    questions.systemName = m_snapshot.systemName;
    questions.featureDeselected = m_snapshot.featureDeselected;
    CCabinetReader cabinet;
    if (m_snapshot.diskImage) {
        questions.packedSize = [this](int32_t index, uint64_t* size) {
            const FileRecord& record = m_files.files[static_cast<size_t>(index)];
            return FileBytes(PackedSourcePath(m_packedFolder.c_str(), index, record.fileName.c_str()), size);
        };
    } else if (m_unpacker != nullptr && m_unpacker->IsOpen()) {
        // The copy step's cabinet knows the sizes already: reading its
        // directory again costs calls for every entry.
        questions.packedSize = [this](int32_t index, uint64_t* size) {
            return PackedEntrySize(*m_unpacker, m_files, index, size);
        };
    } else {
        // Its directory alone: the sizes, not the data.
        cabinet.Open(CabinetPath(m_snapshot.folders.source.c_str()).c_str());
        questions.packedSize = [this, &cabinet](int32_t index, uint64_t* size) {
            return cabinet.IsOpen() && PackedEntrySize(cabinet, m_files, index, size);
        };
    }
    questions.existingSize = &FileBytes;
    questions.folderExists = &DirectoryExists;
    std::vector<VolumeSpace> needs = SpaceNeeded(
        m_files, [this](const std::string& t) { return Expand(t); }, questions);
    for (;;) {
        const VolumeSpace* shortOne = nullptr;
        for (VolumeSpace& space : needs) {
            // A volume that cannot be asked is left to the copy step.
            if (FreeDiskBytes(space.volume, &space.free) && space.free < space.needed) {
                shortOne = &space;
                break;
            }
        }
        if (shortOne == nullptr) return true;
        RunJournal& journal = *m_snapshot.journal;
        if (journal.Active()) {
            journal.Write(journal.Entry("space")
                              .Add("volume", shortOne->volume)
                              .Add("needed", shortOne->needed)
                              .Add("free", shortOne->free));
        }
        const std::string message = NotEnoughSpaceMessage(*shortOne);
        if (m_snapshot.unattended) {
            m_reporter.Told(message);
            return false;
        }
        const std::string question =
            message + "\r\n\r\nMake room there and choose Retry, or Cancel to end the installation.";
        const bool retry = ::MessageBoxA(nullptr, question.c_str(), kProductName,
                                         MB_RETRYCANCEL | MB_ICONWARNING | MB_SETFOREGROUND) == IDRETRY;
        m_reporter.Asked(question, retry ? "Retry" : "Cancel");
        if (!retry) return false;
    }
}

void CInstallEngine::CreateDirectories() {
    Status(status::kCreatingDirectories);
    // Every level a path needed is recorded, so removal takes "Vendor" of
    // "Program Files\Vendor\Product" too.
    PlanBase plan(m_state, m_record);
    auto createDir = [this, &plan](const std::string& path) {
        if (m_snapshot.plan) CreateDirectoryPath(path, [&plan](const std::string& level) { return plan.PlanFolder(level); });
        else CreateRecordedDirectoryPath(path, &CreateOneDirectory, m_record);
    };
    createDir(m_maintenanceFolder);
    if (!m_snapshot.plan && !m_snapshot.preview)
        m_progress.OpenRecord(m_recordPath, m_snapshot.settings.installDir, m_record);
    const std::string& installDir = m_snapshot.settings.installDir;
    createDir(installDir);
    m_log.Append(logkind::kDir, installDir);

    ExpandFn expand = [this](const std::string& t) { return Expand(t); };
    for (const std::string& entry : m_files.directories) {
        std::string dir = DirectoryPath(entry, expand);
        createDir(dir);
        m_log.Append(logkind::kDir, dir);
    }
}

bool CInstallEngine::CopyFiles() {
    ExpandFn expand = [this](const std::string& t) { return Expand(t); };
    const bool done = CopyListedFiles(expand);
    // After the copy step's machines and cabinet are gone: asking the
    // record what it wrote makes a set of every path written.
    RecordKeptFiles(m_files, expand, m_state, m_record);
    return done;
}

bool CInstallEngine::CopyListedFiles(const ExpandFn& expand) {
    FileStepContext context;
    // A cabinet package's files go from the cabinet straight to their
    // destinations; a disk image's are copied from its folder, which stays.
    if (!m_snapshot.diskImage) context.cabinetPath = CabinetPath(m_snapshot.folders.source.c_str());
    context.packedFolder = m_packedFolder;
    context.systemName = m_snapshot.systemName;
    context.featureDeselected = m_snapshot.featureDeselected;
    // A web file named with a condition is fetched only when the worker's copy
    // of the conditions holds (its actions do not run on the worker).
    context.conditionMet = [this](const std::string& name) {
        ConditionContext conditions;
        conditions.expand = [this](const std::string& text) { return Expand(text); };
        return m_snapshot.conditions.IsConditionMet(name, conditions);
    };
    context.progress = [this](int32_t index) { m_reporter.SetProgressPosition(index); };
    context.removeTemporaryFiles = [this] { RemoveTemporaryFiles(); };
    CWinFileMachine files(&m_reporter, m_snapshot.signals.get(), m_snapshot.unattended);
    if (!context.cabinetPath.empty()) files.UnpackFrom(context.cabinetPath, std::move(m_unpacker));
    StepMachine<FileMachine, RecordingFileMachine, PlanFileMachine> machine(m_snapshot.plan, files, m_state, m_record);
    if (machine.Planner() != nullptr) machine.Planner()->StageIn(m_packedFolder);
    return kq::CopyFiles(m_files, expand, context, *machine, *m_snapshot.signals, m_log);
}

void CInstallEngine::RemoveTemporaryFiles() {
    Status(status::kRemovingTemporary);
    if (m_snapshot.mergeModulesPending) return;
    DeleteFolderTree(Expand("<TempFolder>\\" + m_snapshot.workFolderName), m_snapshot.folders.temp);
}

using RegistrationStepMachine = StepMachine<RegistrationMachine, RecordingRegistrationMachine, PlanRegistrationMachine>;

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
    CWinRegistrationMachine registration;
    RegistrationStepMachine machine(m_snapshot.plan, registration, m_state, m_record);
    kq::PrepareMaintenanceProgram(SetupScript(), Expander(), MakeRegistrationPaths(), *machine, m_log);
}

kq::Status CInstallEngine::RegisterForUninstall() {
    CWinRegistrationMachine registration;
    RegistrationStepMachine machine(m_snapshot.plan, registration, m_state, m_record);
    return kq::RegisterForUninstall(SetupScript(), Expander(), MakeRegistrationPaths(), *machine, m_log);
}

// ---- steps 8 to 10: shortcuts, system settings, services

void CInstallEngine::CreateShortcuts() {
    ShortcutContext context;
    context.folders = m_snapshot.folders;
    context.installDir = m_snapshot.settings.installDir;
    context.packedFolder = m_packedFolder;
    context.featureDeselected = m_snapshot.featureDeselected;
    CWinShortcutMachine shortcuts;
    StepMachine<ShortcutMachine, RecordingShortcutMachine, PlanShortcutMachine> machine(m_snapshot.plan, shortcuts,
                                                                                        m_state, m_record);
    kq::CreateShortcuts(SetupScript(), Expander(), context, *machine, m_log);
}

void CInstallEngine::ApplySystemSettings() {
    SettingsContext context;
    context.installDir = m_snapshot.settings.installDir;
    context.workFolderName = m_snapshot.workFolderName;
    context.packedFileFolder = m_packedFolder;
    context.featureDeselected = m_snapshot.featureDeselected;
    CWinSettingsMachine settings;
    StepMachine<SettingsMachine, RecordingSettingsMachine, PlanSettingsMachine> machine(m_snapshot.plan, settings,
                                                                                        m_state, m_record);
    kq::ApplySystemSettings(SetupScript(), Expander(), context, *machine, m_log);
    if (machine.Recorder() != nullptr) machine.Recorder()->Finish();
}

void CInstallEngine::InstallServices() {
    ServiceStepHooks hooks;
    hooks.status = [this](const std::string& text) { m_reporter.SetStatus(text, 0); };
    hooks.askAfterFailure = [this](const std::string& text) {
        const FailureChoice choice = m_snapshot.unattended ? FailureChoice::kCancel : ShowFileError(text, false);
        m_reporter.Asked(text, FailureChoiceName(choice));
        return choice;
    };
    hooks.removeTemporaryFiles = [this] { RemoveTemporaryFiles(); };
    hooks.abort = [this] { m_snapshot.signals->Abort(); };
    hooks.preview = m_snapshot.preview;
    CWinServiceMachine services;
    StepMachine<ServiceMachine, RecordingServiceMachine, PlanServiceMachine> machine(m_snapshot.plan, services, m_state,
                                                                                     m_record);
    kq::InstallServices(SetupScript(), Expander(), m_snapshot.systemName, *machine, hooks, m_log);
}

// ---- end of steps 8 to 10

}  // namespace kq
