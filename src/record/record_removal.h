// Undoing an installation from its install record (install_record.h): the
// maintenance runner's removal, and the rollback of a cancelled or failed
// run, which is the same work done at once.
//
// Only what setup made goes: a file it created, and only while it is
// unchanged since (same size and checksum; a changed file is the user's now
// and is kept and listed); a folder or key it created, deepest first, and
// only when empty; a service it created. What it changed is put back: a
// registry value or INI entry gets its previous data again (or goes, when
// there was none), but only while it still holds what setup wrote; the part
// setup appended to an environment value is taken out of whatever the value
// holds now. A COM server setup registered is unregistered just before its
// file is deleted. A shared file outside the install folder is counted in
// SharedDLLs: setup added one; removal takes one away and deletes the file
// only when no other program counts on it.
//
// Order: services (they may hold files), files, INI entries, environment
// appends, registry values (latest first), then, when nothing is left that
// a second attempt could finish, the product's Uninstall key and the
// maintenance folder, then created keys and folders deepest first.
//
// The record is untrusted. Before anything is touched each entry is checked
// against the scope the install could have reached: a path must be a plain
// absolute local path (no "..", wildcards, device names or "\\?\" forms),
// inside one of the scope's folders and not inside another product's
// folder; a folder entry can never be a scope folder itself; registry
// entries must stay out of other products' Uninstall keys, the SharedDLLs
// key and the service database, and a key must not be one the system
// creates (a first-level key, Software\Microsoft, a shared class); an
// environment append must name an environment key; a service must run a
// program inside the install folder. Refused entries are listed and not
// acted on.
#pragma once
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "record/install_record.h"

namespace kq {

constexpr char kSharedDllsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// The machine as removal (and the recorder) sees it.
class RecordMachine {
public:
    virtual ~RecordMachine();
    // False when no file is at `path`. A null `fingerprint` asks only
    // whether one is: the file is not read. A `fingerprint` that comes in
    // with a hash is the recorded one: the file's is given in that hash's
    // kind, and a file of another size gets its size only, unread.
    virtual bool Fingerprint(const std::string& path, FileFingerprint* fingerprint) = 0;
    virtual bool FolderExists(const std::string& path) = 0;
    virtual bool RemoveFile(const std::string& path) = 0;
    // False when the folder holds something or cannot be removed; true also
    // when it is not there.
    virtual bool RemoveEmptyFolder(const std::string& path) = 0;
    // Everything in the folder and the folder; true when it is gone.
    virtual bool DeleteFolderTree(const std::string& path) = 0;
    virtual bool KeyExists(RegistryRoot root, const std::string& subKey) = 0;
    // False when the key holds values or keys or cannot be deleted; true
    // also when it is not there.
    virtual bool DeleteEmptyKey(RegistryRoot root, const std::string& subKey) = 0;
    virtual bool DeleteKeyTree(RegistryRoot root, const std::string& subKey) = 0;
    virtual ValueState ReadValue(RegistryRoot root, const std::string& subKey, const std::string& name) = 0;
    // A state that is not present deletes the value (true when it is not
    // there); writing creates the key when it is missing.
    virtual bool WriteValue(RegistryRoot root, const std::string& subKey, const std::string& name,
                            const ValueState& state) = 0;
    // False when there is no such entry.
    virtual bool ReadIni(const std::string& file, const std::string& section, const std::string& key,
                         std::string* value) = 0;
    // nullptr deletes the entry.
    virtual bool WriteIni(const std::string& file, const std::string& section, const std::string& key,
                          const std::string* value) = 0;
    // False when there is no such service; `program` is its command line.
    virtual bool ServiceProgram(const std::string& name, std::string* program) = 0;
    virtual bool DeleteService(const std::string& name) = 0;
    virtual bool UnregisterServer(const std::string& path) = 0;
    // The files whose fingerprints will be asked for next, in that order,
    // each with what its record holds: a machine may read them ahead on a
    // thread of its own while the caller deletes. Nothing changes when it
    // does not.
    virtual void Foresee(const std::vector<std::pair<std::string, FileFingerprint>>& files);
    // True for the file of the program that removes (the maintenance
    // runner): it goes last, and only when nothing is left, since the
    // Uninstall key starts a second attempt from it.
    virtual bool IsRunningProgram(const std::string& path);
    // A copy of the file at `path`, kept until the run that replaces the file
    // commits; the copy's path, or "" when none is made (a machine that only
    // looks makes none). `naming` is told the copy's path once its file
    // exists, before a byte is copied into it.
    virtual std::string SetAside(const std::string& path, const std::function<void(const std::string&)>& naming);
    // The copy back over `path`; false when it is not.
    virtual bool PutBack(const std::string& copy, const std::string& path);
};

// What the install could have reached.
struct RemovalScope {
    std::string productCode;
    std::string installDir;         // trailing backslash
    std::string maintenanceFolder;  // trailing backslash
    // Folders below which setup may have made files and folders: the install
    // folder, the Windows and system folders, Program Files, the shell's
    // folders. Trailing backslashes.
    std::vector<std::string> folders;
    // Other products' install and maintenance folders.
    std::vector<std::string> foreignFolders;
    // Removal: the Uninstall key and the maintenance folder go at the end
    // when nothing is left. Rollback: the same.
    bool removeRegistration = true;
    // The rollback of this very run: the record never left memory, so a
    // file setup made outside the install folder goes without a shared
    // count (the counts are only taken at the end of a run).
    bool rollback = false;
    // Told of each shared file before its count is taken away: a rollback
    // that is killed and run again must not take it twice (RELEASED lines,
    // WithoutReleasedCounts).
    std::function<void(const std::string& path)> releasing;
};

// Why a record entry may not be acted on, or nullptr.
const char* RecordEntryProblem(const RecordEntry& entry, const RemovalScope& scope);

struct RecordRemovalReport {
    // "what: why" for what a second attempt may still remove (in use,
    // denied, a folder or key that others still fill).
    std::vector<std::string> left;
    // "what: why" for what was kept on purpose (changed since installation,
    // still used by other programs).
    std::vector<std::string> kept;
    // "entry: why" for each entry refused by the scope checks.
    std::vector<std::string> refused;
    // The entries a second attempt works from.
    std::vector<RecordEntry> remaining;
    // True when the Uninstall key and the maintenance folder were removed.
    bool registrationRemoved = false;
};

RecordRemovalReport RemoveRecorded(const std::vector<RecordEntry>& entries, const RemovalScope& scope,
                                   RecordMachine& machine);

// The scope of the rollback of a run that did not commit: every entry is
// that run's own, so any local drive is in reach. Over an earlier
// installation the registration stays that product's.
RemovalScope RollbackScope(const std::string& productCode, const std::string& installDir,
                           const std::string& maintenanceFolder, bool overEarlier);

// The entries of an interrupted run's record without the shared counts a
// rollback of it already took away.
std::vector<RecordEntry> WithoutReleasedCounts(const ParsedRecord& record);

// Undoes a run that did not commit: its entries, then the copies of the
// files it replaced back over them (a copy already put back is not there
// any more, so a second rollback of the same record changes nothing). A
// copy that cannot go back is named in `left` and stays.
RecordRemovalReport RollBackRecorded(const std::vector<RecordEntry>& entries, const std::vector<SetAsideCopy>& setAside,
                                     const RemovalScope& scope, RecordMachine& machine);

// Whether `aside` names a copy as a run makes one: beside the file it
// keeps, under a passing name of setup's ("kq", one to four hex digits,
// ".tmp"). A record may have been edited: a copy named otherwise is
// neither put back nor deleted.
bool IsRunsOwnCopy(const SetAsideCopy& aside);

// Gives back the shared counts a run killed in the middle of taking them
// took without writing their SHARED entry: each count still at the value
// the run wrote goes back to the value before (gone when there was none).
// Before the rollback of the entries, which may remove the key they are in.
void UndoUnrecordedCounts(const ParsedRecord& record, RecordMachine& machine);

// Deletes the copies a committed run kept of the files it replaced, those
// still there.
void DiscardSetAsideCopies(const std::vector<SetAsideCopy>& setAside, RecordMachine& machine);

// After the file step: each file (shortcuts aside) setup wrote, kept or
// replaced outside the product's own folders (install and maintenance
// folder) - whatever its kind, since other products may use anything in a
// shared folder - gets one more count in SharedDLLs (a file that was there
// without a count is first counted once for its earlier owner), and a SHARED
// entry. The count, and the key when setup makes it, are named ahead in
// the record of the run in progress.
void CountSharedFiles(InstallRecord& record, const std::vector<std::string>& ownFolders, RecordMachine& machine);

// True when `path` is `folder` or inside it (compared without regard to
// case; `folder` may end in a backslash).
bool IsInsideFolder(const std::string& path, const std::string& folder);

}  // namespace kq
