// Runs that were killed, or lost their machine's power, before they
// committed, and how the next run rolls them back.
//
// A run enters itself in the list of runs in progress before its first
// change: a value named by its product code, holding the product's name,
// under HKEY_LOCAL_MACHINE\Software\Merrowin\Runs (HKEY_CURRENT_USER's key
// of the same name when the machine's cannot be written). From its
// maintenance folder on, its install record (install_record.h) opens with a
// RUN line and takes every change as it is made. At the end the final
// record replaces that file in one rename, the copies the run kept of the
// files it replaced are deleted, and the run leaves the list; a run that is
// rolled back leaves it once the rollback is over.
//
// A run lives as long as it holds its product's lock (the named mutex that
// keeps a second setup of the same product out). An entry of the list
// whose product nobody holds belongs to an interrupted run: its record is
// rolled back exactly as a failed run's is (rolling back again what is
// already undone changes nothing), the earlier installation it ran over
// gets its log and record back, and the entry goes. An entry whose record is
// already the final one was killed after its commit: only the copies it
// still kept are deleted.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "base/no_copy.h"
#include "record/install_record.h"

namespace kq {

class CRunInProgress : private NoCopy {
public:
    CRunInProgress() = default;
    ~CRunInProgress();

    // Enters the run in the list (flushed); nothing when neither key can be
    // written.
    void Begin(const std::string& productCode, const std::string& productName);
    // Writes the record file of the run in progress at `path`: the header,
    // the RUN line and what `record` holds so far; every later line goes
    // there as it is added. Kept open (others may only read it) until the
    // run ends.
    void OpenRecord(const std::string& path, const std::string& installDir, InstallRecord& record);
    bool RecordOpen() const { return m_file != INVALID_HANDLE_VALUE; }
    // Makes what was written so far reach the disk.
    void Flush();
    // Done with the file (before a rollback deletes it).
    void CloseRecord();
    // The run committed: its final record, which `text` gives in pieces,
    // replaces the file.
    void Commit(const std::function<void(const TextPieces&)>& text);
    // The run is over (committed or rolled back): it leaves the list.
    void End();

private:
    HANDLE m_file = INVALID_HANDLE_VALUE;
    std::string m_path;
    HKEY m_root = nullptr;
    std::string m_productCode;
};

// Notes in the record file at `recordPath` that the rollback took the
// shared count of `path` (flushed before the count goes).
void MarkReleased(const std::string& recordPath, const std::string& path);

struct InterruptedRun {
    std::string productCode;
    std::string productName;
    // What the rollback could not undo (a second run tries again).
    std::vector<std::string> left;
};

// Rolls back every interrupted run of the list. `claim` takes a product's
// lock for the caller (who keeps it until it ends) and is false while a live
// run holds it: such a run is left alone.
std::vector<InterruptedRun> RollBackInterruptedRuns(const std::function<bool(const std::string&)>& claim);

// "<name> was not installed completely the last time; what that
// installation had changed has been undone."
std::string RolledBackMessage(const InterruptedRun& run);

}  // namespace kq
