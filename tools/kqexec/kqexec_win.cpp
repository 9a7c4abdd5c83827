// kqexec.exe, the maintenance runner setup leaves in the Windows folder.
//
//   kqexec.exe [/S] /R <product code>   remove the product
//   kqexec.exe "/S" <product code>      the same, silently (how setup removes
//                                       an earlier version before installing)
//   kqexec.exe /PLAN /R <product code>  what a removal would do, nothing
//                                       changed (removal_report.h)
//   kqexec.exe /M <product code>        maintenance: repair (runs the
//                                       package's setup.exe again from
//                                       InstallSource while it is there) or
//                                       remove
//
// Everything to remove is in "<Windows folder>\Installer\<code>\uninstall.log";
// removal_steps.h says in what order and with which checks. Afterwards the
// product's Uninstall key, the log and the maintenance folder are deleted.
// /S may also come last ("kqexec.exe /R <code> /S", the registered
// QuietUninstallString).
// Without /S the user confirms first and sees what could not be removed.
//
// With an install record beside the log (install_record.h) removal works
// from the record (record_removal.h); an earlier install without one is
// removed from the log alone (removal_steps.h). When something remains
// that a second attempt could remove, the log, the record and the
// Uninstall key stay, and the record keeps only what is left.
//
// "/LOG=file" writes the run as JSON lines (run/run_journal.h): one line per
// item removed, restored, kept, skipped or left, and the exit code at the end.
//
// Before anything else it rolls back what setup runs that were killed
// before they committed left behind (interrupted_runs_win.h), and deletes
// the working folders such runs left in the temporary folder.
//
// Exit codes: runner_exit_codes.h.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/file.h"
#include "base/path_rules.h"
#include "base/registry_path.h"
#include "base/text.h"
#include "record/install_record.h"
#include "record/interrupted_runs_win.h"
#include "record/record_machine_win.h"
#include "record/record_removal.h"
#include "record/removal_report.h"
#include "record/removal_steps.h"
#include "record/uninstall_log.h"
#include "remover_win.h"
#include "run/folders_win.h"
#include "run/product_claims_win.h"
#include "run/run_journal_win.h"
#include "runner_exit_codes.h"
#include "win/directories_win.h"
#include "win/registry_win.h"
#include "win/system_library_win.h"

namespace kq {
namespace {

// The most not-removed items listed in the final message.
constexpr size_t kMaxListed = 10;

constexpr char kUsage[] =
    "Usage:\r\n"
    "  kqexec.exe [/S] [/LOG=file] /R <product code>\r\n"
    "  kqexec.exe /PLAN [/LOG=file] /R <product code>\r\n"
    "  kqexec.exe /M <product code>\r\n\r\n"
    "/S  silent: no question, no message\r\n"
    "/LOG=file  the removal's log as JSON lines: one line per item removed,\r\n"
    "    restored, kept, skipped or left, and the exit code at the end\r\n"
    "/PLAN  what the removal would do, changing nothing (to /LOG= or\r\n"
    "    standard output); shows no window\r\n\r\n"
    "Exit codes: 0 removed (or planned), 1 declined, 2 bad command line,\r\n"
    "3 no uninstall log, 4 something left for a second attempt";

void Tell(const std::string& text, const std::string& title, UINT icon) {
    ::MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_OK | icon | MB_SETFOREGROUND);
}

std::string WindowsFolder() {
    char buffer[MAX_PATH + 1] = "";
    UINT length = ::GetWindowsDirectoryA(buffer, sizeof(buffer));
    if (length == 0 || length >= sizeof(buffer)) return std::string();
    std::string folder(buffer, length);
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return folder;
}

// Every value of a "Shell Folders" key: the folders the shell gives
// programs, where setup may have put shortcuts and files.
void AddShellFolders(HKEY root, std::vector<std::string>& folders) {
    CKey key;
    if (key.Open(root, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", KEY_READ) !=
        ERROR_SUCCESS)
        return;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameSize = sizeof(name);
        BYTE data[MAX_PATH + 1];
        DWORD dataSize = sizeof(data) - 1;
        DWORD type = 0;
        LONG result = ::RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data, &dataSize);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS || type != REG_SZ || dataSize < 4) continue;
        data[dataSize] = 0;
        folders.push_back(WithTrailingBackslash(reinterpret_cast<const char*>(data)));
    }
}

// What this product's install could have reached, and what belongs to the
// other products registered on the machine.
RemovalScope MakeScope(const std::string& code, const std::string& windows, const std::string& maintenanceFolder,
                       const std::vector<LogEntry>& log) {
    RemovalScope scope;
    scope.productCode = code;
    scope.maintenanceFolder = maintenanceFolder;
    const std::string key = UninstallKeyPath(code);
    std::string installDir = reg::ReadString(HKEY_LOCAL_MACHINE, key.c_str(), "LastInstallationPath");
    if (!installDir.empty() && AbsolutePathProblem(installDir) == nullptr)
        scope.installDir = WithTrailingBackslash(installDir);
    scope.folders.push_back(windows + "\\");
    const char kVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";
    for (const char* name : {"ProgramFilesDir", "CommonFilesDir"}) {
        std::string folder = reg::ReadString(HKEY_LOCAL_MACHINE, kVersionKey, name);
        if (!folder.empty()) scope.folders.push_back(WithTrailingBackslash(folder));
    }
    AddShellFolders(HKEY_CURRENT_USER, scope.folders);
    AddShellFolders(HKEY_LOCAL_MACHINE, scope.folders);
    // A product kept out of the list of programs ("a14" No) has no
    // LastInstallationPath: its log's first folder is the install folder,
    // taken only when it is no folder of the system itself.
    if (scope.installDir.empty()) {
        for (const LogEntry& entry : log) {
            if (entry.kind != logkind::kDir) continue;
            bool system = AbsolutePathProblem(entry.value) != nullptr;
            for (const std::string& folder : scope.folders) system = system || IsInsideFolder(folder, entry.value);
            if (!system) scope.installDir = WithTrailingBackslash(entry.value);
            break;
        }
    }
    if (!scope.installDir.empty()) scope.folders.push_back(scope.installDir);

    CKey products;
    if (products.Open(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", KEY_READ) ==
        ERROR_SUCCESS) {
        for (DWORD i = 0;; ++i) {
            char name[256];
            DWORD nameSize = sizeof(name);
            LONG result = ::RegEnumKeyExA(products, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
            if (result == ERROR_NO_MORE_ITEMS) break;
            if (result != ERROR_SUCCESS || EqualsIgnoreCase(name, code)) continue;
            std::vector<std::string> theirs = {windows + "\\Installer\\" + name + "\\"};
            std::string other = UninstallKeyPath(name);
            for (const char* value : {"LastInstallationPath", "InstallLocation"}) {
                std::string folder = reg::ReadString(HKEY_LOCAL_MACHINE, other.c_str(), value);
                if (!folder.empty() && AbsolutePathProblem(folder) == nullptr)
                    theirs.push_back(WithTrailingBackslash(folder));
            }
            for (const std::string& folder : theirs) {
                // A product "installed" into a folder of the system does not
                // own that folder.
                bool system = false;
                for (const std::string& ours : scope.folders) {
                    if (ours != scope.installDir && IsInsideFolder(ours, folder)) system = true;
                }
                if (!system) scope.foreignFolders.push_back(folder);
            }
        }
    }
    return scope;
}

void AddLines(std::string& message, const char* heading, const std::vector<std::string>& lines, size_t& listed) {
    if (lines.empty()) return;
    message += std::string("\r\n\r\n") + heading;
    for (const std::string& line : lines) {
        if (listed++ >= kMaxListed) {
            message += "\r\n...";
            return;
        }
        message += "\r\n" + line;
    }
}

// What the removal did, for the user who asked for it.
void TellOutcome(const std::string& name, bool finished, const std::vector<std::string>& left,
                 const std::vector<std::string>& kept, const std::vector<std::string>& refused) {
    std::string message = finished ? name + " was removed from your computer."
                                   : name + " could not be removed completely. Close the programs that use it "
                                            "and remove it again to finish.";
    size_t listed = 0;
    AddLines(message, "Still there, to be removed by the next attempt:", left, listed);
    AddLines(message, "Kept on purpose:", kept, listed);
    AddLines(message, "Not touched (not this product's):", refused, listed);
    Tell(message, name, finished ? MB_ICONINFORMATION : MB_ICONWARNING);
}

// What one removal shares: where its items go, and whether it acts or
// only plans.
struct RemovalRun {
    RunJournal& journal;
    bool act;
    std::vector<std::string> left, kept, refused;
};

void JournalItem(RunJournal& journal, const RemovalItem& item) {
    if (!journal.Active()) return;
    JsonObject entry = journal.Entry(item.action.c_str());
    entry.Add("item", item.what);
    if (!item.why.empty()) entry.Add("why", item.why);
    journal.Write(entry);
}

// Removal from the install record; true when the product is gone.
bool RemoveFromRecord(const ParsedRecord& record, const RemovalSteps& removal, const RemovalScope& scope,
                      const std::string& recordPath, RemovalRun& run) {
    RemovalItemSink sink = [&run](const RemovalItem& item) { JournalItem(run.journal, item); };
    // The author's program first, while the product is whole; then
    // everything from the record, which knows what was there before.
    RemovalSteps first;
    for (const RemovalStep& step : removal.steps) {
        if (step.action == RemovalAction::kRunProgram) first.steps.push_back(step);
    }
    CarryOutRemoval(first, sink, run.act);
    for (const std::string& line : record.refused) run.refused.push_back(kInstallRecordName + std::string(" ") + line);
    CWinRecordMachine real;
    ReportingRecordMachine machine(real, sink, run.act, &FolderEmptyOnceGone);
    RecordRemovalReport report = RemoveRecorded(record.entries, scope, machine);
    run.left = report.left;
    run.kept = report.kept;
    run.refused.insert(run.refused.end(), report.refused.begin(), report.refused.end());
    // A second attempt starts where this one stopped.
    if (!report.registrationRemoved && run.act) WriteWholeFile(recordPath, FormatRecord(report.remaining));
    return report.registrationRemoved;
}

// Removal from the uninstall log alone (an install without a record);
// true when the product is gone.
bool RemoveFromLog(const RemovalSteps& removal, const std::string& code, const std::string& maintenanceFolder,
                   RemovalRun& run) {
    RemovalItemSink sink = [&run](const RemovalItem& item) { JournalItem(run.journal, item); };
    RemovalOutcome outcome = CarryOutRemoval(removal, sink, run.act);
    run.left = outcome.left;
    run.kept = outcome.kept;
    if (!run.left.empty()) return false;
    const std::string key = UninstallKeyPath(code);
    if (run.act) {
        reg::DeleteKeyTree(HKEY_LOCAL_MACHINE, key.c_str());
        DeleteFolderTree(maintenanceFolder, WindowsFolder());
    }
    sink(RemovalItem{"removed", "key HKEY_LOCAL_MACHINE\\" + key, ""});
    sink(RemovalItem{"removed", "folder " + maintenanceFolder, ""});
    return true;
}

int Remove(const RunnerCommand& command, RunJournal& journal) {
    const std::string& code = command.productCode;
    const std::string windows = WindowsFolder();
    const std::string maintenanceFolder = windows + "\\Installer\\" + code + "\\";
    const std::string logPath = maintenanceFolder + kUninstallLogName;
    const std::string recordPath = maintenanceFolder + kInstallRecordName;
    const std::string key = UninstallKeyPath(code);
    std::string name = reg::ReadString(HKEY_LOCAL_MACHINE, key.c_str(), "DisplayName");
    if (name.empty()) name = code;
    // A plan shows nothing and asks nothing.
    const bool quiet = command.silent || command.plan;

    std::string text;
    if (windows.empty() || !ReadWholeFile(logPath, text)) {
        journal.Message("The removal information of " + name + " was not found: " + logPath);
        if (!quiet) {
            Tell("The removal information of " + name + " was not found:\r\n" + logPath, name, MB_ICONERROR);
        }
        return runner::kNoLog;
    }
    if (!quiet) {
        std::string question = "Are you sure you want to remove " + name + " and all of its components?";
        if (::MessageBoxA(nullptr, question.c_str(), name.c_str(), MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) !=
            IDYES) {
            return runner::kDeclined;
        }
    }

    // Out of every folder that is about to go.
    ::SetCurrentDirectoryA((windows + "\\").c_str());

    const std::vector<LogEntry> log = ParseUninstallLog(text);
    RemovalScope scope = MakeScope(code, windows, maintenanceFolder, log);
    RemovalContext context;
    context.maintenanceFolder = maintenanceFolder;
    context.registeredProgram = reg::ReadString(HKEY_LOCAL_MACHINE, key.c_str(), "UninstallExecute");
    context.installDir = scope.installDir;
    RemovalSteps removal = ListRemovalSteps(log, context);

    RemovalRun run{journal, !command.plan, {}, {}, removal.refused};
    std::string recordText;
    ParsedRecord record;
    if (ReadWholeFile(recordPath, recordText)) record = ParseRecord(recordText);
    const bool finished = record.valid ? RemoveFromRecord(record, removal, scope, recordPath, run)
                                       : RemoveFromLog(removal, code, maintenanceFolder, run);
    ReportItems("left", run.left, [&journal](const RemovalItem& item) { JournalItem(journal, item); });
    ReportItems("kept", run.kept, [&journal](const RemovalItem& item) { JournalItem(journal, item); });
    ReportItems("skipped", run.refused, [&journal](const RemovalItem& item) { JournalItem(journal, item); });

    if (!quiet) TellOutcome(name, finished, run.left, run.kept, run.refused);
    return finished || command.plan ? runner::kRemoved : runner::kLeftBehind;
}

// The small maintenance window: repair by running the package's setup
// again while its folder is still there, or remove.
int Modify(const RunnerCommand& command, RunJournal& journal) {
    std::string key = UninstallKeyPath(command.productCode);
    std::string name = reg::ReadString(HKEY_LOCAL_MACHINE, key.c_str(), "DisplayName");
    if (name.empty()) name = command.productCode;
    std::string source = reg::ReadString(HKEY_LOCAL_MACHINE, key.c_str(), "InstallSource");
    std::string setup = source.empty() ? std::string() : WithTrailingBackslash(source) + "setup.exe";
    const bool canRepair = !setup.empty() && ::GetFileAttributesA(setup.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (command.silent) return runner::kBadCommand;  // a choice needs the user
    int answer = 0;
    if (canRepair) {
        std::string question = "Maintenance of " + name + ":\r\n\r\nYes: repair it (its setup runs again from " +
                               source + ")\r\nNo: remove it\r\nCancel: leave it as it is";
        answer = ::MessageBoxA(nullptr, question.c_str(), name.c_str(),
                               MB_YESNOCANCEL | MB_ICONQUESTION | MB_SETFOREGROUND);
    } else {
        std::string question = "Maintenance of " + name +
                               ":\r\n\r\nIts setup folder is gone, so it cannot be repaired. Remove it?";
        answer = ::MessageBoxA(nullptr, question.c_str(), name.c_str(), MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND);
        if (answer == IDYES) answer = IDNO;  // remove
        else answer = IDCANCEL;
    }
    if (answer == IDNO) {
        RunnerCommand remove = command;
        remove.action = RunnerCommand::Action::kRemove;
        return Remove(remove, journal);
    }
    if (answer != IDYES) return runner::kDeclined;
    std::string commandLine = "\"" + setup + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA(setup.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, source.c_str(),
                          &startup, &process)) {
        Tell("The setup program could not be started:\r\n" + setup, name, MB_ICONERROR);
        return runner::kNoLog;
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return runner::kRemoved;
}

// True when an interrupted run was rolled back.
bool RollBackInterrupted(bool quiet, RunJournal& journal) {
    char temp[MAX_PATH + 1] = "";
    const DWORD length = ::GetTempPathA(sizeof(temp), temp);
    if (length != 0 && length < sizeof(temp)) RemoveAbandonedWorkFolders(WithTrailingBackslash(temp));
    CProductClaims claims;
    const std::vector<InterruptedRun> runs =
        RollBackInterruptedRuns([&claims](const std::string& code) { return claims.Claim(code); });
    for (const InterruptedRun& run : runs) {
        const std::string message = RolledBackMessage(run);
        JsonObject entry = journal.Entry("rollback");
        entry.Add("productCode", run.productCode).Add("text", message).Add("left", uint64_t(run.left.size()));
        journal.Write(entry);
        if (!quiet) Tell(message, run.productName, MB_ICONINFORMATION);
    }
    return !runs.empty();
}

int Act(const RunnerCommand& command, RunJournal& journal) {
    const bool quiet = command.silent || command.plan;
    if (command.action == RunnerCommand::Action::kUsage) {
        journal.Message("bad command line");
        if (!quiet) Tell(kUsage, "kqexec", MB_ICONINFORMATION);
        return runner::kBadCommand;
    }
    if (!IsUsableProductCode(command.productCode)) {
        const std::string message = "\"" + command.productCode + "\" is not a product code.";
        journal.Message(message);
        if (!quiet) Tell(message, "kqexec", MB_ICONERROR);
        return runner::kBadCommand;
    }
    // A plan changes nothing, not even what an interrupted run left.
    const bool rolledBack = !command.plan && RollBackInterrupted(quiet, journal);
    const int result =
        command.action == RunnerCommand::Action::kModify ? Modify(command, journal) : Remove(command, journal);
    if (rolledBack && (result == runner::kRemoved || result == runner::kNoLog)) return runner::kRolledBack;
    return result;
}

int Run() {
    const std::string_view arguments = SkipProgramName(::GetCommandLineA());
    RunnerCommand command = ParseRunnerCommandLine(arguments);
    // A plan without a log file goes to standard output.
    std::shared_ptr<RunJournal> journal =
        command.plan || !command.logPath.empty() ? OpenRunJournal(command.logPath) : std::make_shared<RunJournal>();
    journal->Write(journal->Entry("start")
                       .Add("commandLine", std::string(arguments))
                       .Add("silent", command.silent)
                       .Add("plan", command.plan));
    const int code = Act(command, *journal);
    journal->Write(journal->Entry("end").Add("outcome", runner::OutcomeName(code, command.plan)).Add("exitCode", code));
    return code;
}

}  // namespace
}  // namespace kq

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before anything loads a DLL: a copy of the runner may be started from
    // any folder, one with planted DLLs in it too.
    kq::RestrictDllSearchToSystemFolder();
    return kq::Run();
}
