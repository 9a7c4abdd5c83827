#include "record/interrupted_runs_win.h"

#include <cstdio>
#include <set>
#include <string_view>

#include "base/file.h"
#include "base/path_rules.h"
#include "base/text.h"
#include "record/earlier_registration_win.h"
#include "record/record_machine_win.h"
#include "record/record_removal.h"
#include "record/uninstall_log.h"
#include "win/family_calls_win.h"
#include "win/registry_win.h"

namespace kq {
namespace {

constexpr char kOwnKey[] = "Software\\Merrowin";
constexpr char kRunsKey[] = "Software\\Merrowin\\Runs";

std::string MaintenanceFolderOf(const std::string& productCode) {
    char buffer[MAX_PATH + 1] = "";
    const UINT length = ::GetWindowsDirectoryA(buffer, sizeof(buffer));
    if (length == 0 || length >= sizeof(buffer)) return std::string();
    return WithTrailingBackslash(buffer) + "Installer\\" + productCode + "\\";
}

// The list's key goes with its last entry, and ours with it when empty.
void LeaveList(HKEY root, const std::string& productCode) {
    CKey runs;
    if (runs.Open(root, kRunsKey, KEY_SET_VALUE) != ERROR_SUCCESS) return;
    runs.DeleteValue(productCode.c_str());
    ::RegFlushKey(runs);
    runs.Close();
    if (reg::DeleteKeyIfEmpty(root, kRunsKey)) reg::DeleteKeyIfEmpty(root, kOwnKey);
}

struct ListedRun {
    HKEY root;
    InterruptedRun run;
};

std::vector<ListedRun> ListedRuns() {
    std::vector<ListedRun> listed;
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        CKey runs;
        if (runs.Open(root, kRunsKey, KEY_READ) != ERROR_SUCCESS) continue;
        for (DWORD i = 0;; ++i) {
            char name[256];
            DWORD nameSize = sizeof(name);
            BYTE data[256];
            DWORD dataSize = sizeof(data) - 1;
            DWORD type = 0;
            const LONG result = ::RegEnumValueA(runs, i, name, &nameSize, nullptr, &type, data, &dataSize);
            if (result == ERROR_NO_MORE_ITEMS) break;
            if (result != ERROR_SUCCESS) continue;
            data[type == REG_SZ ? dataSize : 0] = 0;
            ListedRun entry{root, {name, reinterpret_cast<const char*>(data), {}}};
            listed.push_back(entry);
        }
    }
    return listed;
}

enum class Undone { kNothing, kAll, kPart };

// Undoes one interrupted run.
Undone RollBackRun(InterruptedRun& run) {
    const std::string maintenanceFolder = MaintenanceFolderOf(run.productCode);
    if (maintenanceFolder.empty()) return Undone::kPart;
    const std::string recordPath = maintenanceFolder + kInstallRecordName;
    CEarlierRegistration earlier;
    earlier.FindSetAside({maintenanceFolder + kUninstallLogName, recordPath});
    std::string text;
    ParsedRecord record;
    if (ReadWholeFile(recordPath, text)) record = ParseRecord(text);
    CWinRecordMachine machine;
    // Killed after its final record was in place: nothing to undo, only
    // the copies it had kept until then are left to delete.
    if (record.valid && !record.inProgress) {
        DiscardSetAsideCopies(record.setAside, machine);
        earlier.Settle();
        return Undone::kNothing;
    }
    // A file begun but not recorded whole is deleted first (its folder goes
    // too); one the record names is the rollback's (a server unregistered
    // first, a shared count given back, a copy put back).
    std::set<std::string> recorded;
    for (const RecordEntry& entry : record.entries) {
        if (entry.kind == RecordKind::kFile) recorded.insert(AsciiLower(entry.path));
    }
    for (const SetAsideCopy& aside : record.setAside) recorded.insert(AsciiLower(aside.copy));
    for (const std::string& begun : record.temporary) {
        if (recorded.count(AsciiLower(begun)) == 0) machine.RemoveFile(begun);
    }
    UndoUnrecordedCounts(record, machine);
    RemovalScope scope = RollbackScope(run.productCode, WithTrailingBackslash(record.installDir), maintenanceFolder,
                                       earlier.HasEarlier());
    scope.releasing = [&recordPath](const std::string& path) { MarkReleased(recordPath, path); };
    const RecordRemovalReport report = RollBackRecorded(WithoutReleasedCounts(record), record.setAside, scope, machine);
    run.left = report.left;
    if (earlier.HasEarlier()) {
        earlier.Restore();
    } else if (!record.valid) {
        // Killed before its record had a line: at most its empty
        // maintenance folder was made.
        machine.RemoveEmptyFolder(maintenanceFolder);
    }
    return report.left.empty() ? Undone::kAll : Undone::kPart;
}

// Replaces the file at `path` with the pieces `text` gives, one after
// another: a long record is never held whole a second time to be written.
bool WritePieces(const std::string& path, const std::function<void(const TextPieces&)>& text) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) return false;
    bool written = true;
    text([&](std::string_view piece) {
        written = written && std::fwrite(piece.data(), 1, piece.size(), out) == piece.size();
    });
    return std::fclose(out) == 0 && written;
}

}  // namespace

CRunInProgress::~CRunInProgress() {
    CloseRecord();
}

void CRunInProgress::Begin(const std::string& productCode, const std::string& productName) {
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        CKey runs;
        if (runs.Create(root, kRunsKey, KEY_SET_VALUE) != ERROR_SUCCESS) continue;
        if (runs.SetString(productCode.c_str(), productName.c_str()) != ERROR_SUCCESS) continue;
        ::RegFlushKey(runs);
        m_root = root;
        m_productCode = productCode;
        return;
    }
}

void CRunInProgress::OpenRecord(const std::string& path, const std::string& installDir, InstallRecord& record) {
    m_path = path;
    m_file = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (m_file == INVALID_HANDLE_VALUE) return;
    // A line reaches the file whole before the change it names is made;
    // the system keeps it when the process is killed.
    auto append = [this](const std::string& line) {
        DWORD written = 0;
        if (m_file != INVALID_HANDLE_VALUE)
            ::WriteFile(m_file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    };
    std::string opening = FormatRecordInProgress(installDir);
    record.ForEachEntry([&opening](const RecordEntry& entry) { opening += FormatRecordLine(entry); });
    for (const SetAsideCopy& aside : record.SetAsideCopies()) opening += FormatSetAsideLine(aside);
    append(opening);
    Flush();
    record.SetLineSink(append);
}

void CRunInProgress::Flush() {
    if (m_file != INVALID_HANDLE_VALUE) ::FlushFileBuffers(m_file);
}

void CRunInProgress::CloseRecord() {
    if (m_file == INVALID_HANDLE_VALUE) return;
    ::CloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
}

void CRunInProgress::Commit(const std::function<void(const TextPieces&)>& text) {
    CloseRecord();
    if (m_path.empty()) return;
    // Whole or not at all: the next run must find either the record of the
    // run in progress or the final one.
    const std::string next = m_path + ".new";
    if (!WritePieces(next, text) || !MoveReplacing(next, m_path)) {
        ::DeleteFileA(next.c_str());
        WritePieces(m_path, text);
    }
}

void CRunInProgress::End() {
    CloseRecord();
    if (m_root != nullptr) LeaveList(m_root, m_productCode);
    m_root = nullptr;
}

void MarkReleased(const std::string& recordPath, const std::string& path) {
    HANDLE file = ::CreateFileA(recordPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    ::SetFilePointer(file, 0, nullptr, FILE_END);
    const std::string line = FormatReleasedLine(path);
    DWORD written = 0;
    ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::FlushFileBuffers(file);
    ::CloseHandle(file);
}

std::vector<InterruptedRun> RollBackInterruptedRuns(const std::function<bool(const std::string&)>& claim) {
    std::vector<InterruptedRun> rolledBack;
    for (ListedRun& listed : ListedRuns()) {
        InterruptedRun& run = listed.run;
        // A name that is not a product code could lead out of the
        // maintenance folders.
        if (!IsUsableProductCode(run.productCode)) continue;
        if (!claim(run.productCode)) continue;
        const Undone undone = RollBackRun(run);
        if (undone != Undone::kPart) LeaveList(listed.root, run.productCode);
        if (undone != Undone::kNothing) rolledBack.push_back(run);
    }
    return rolledBack;
}

std::string RolledBackMessage(const InterruptedRun& run) {
    const std::string& name = run.productName.empty() ? run.productCode : run.productName;
    return name + " was not installed completely the last time; what that installation had changed has been undone.";
}

}  // namespace kq
