// The install record: what setup knows about its changes beyond the
// uninstall log, kept beside it as "uninstall.kqr" in the maintenance
// folder. The log names what was touched; the record says what was there
// before, so that removal (and the rollback of a cancelled or failed run)
// undoes exactly what setup made and restores what it changed.
//
// Format (version 1). Single-byte text, one entry per line ending in LF (a
// CR before it is ignored). The first line is "KQR<TAB>1". Each further line
// is a kind and its fields, separated by TAB characters. In every field the
// bytes '%', TAB, CR and LF, and every byte below 0x20, are written as '%'
// and two upper-case hex digits; any other '%' sequence is refused. Registry
// data is a state: "-" for "no such value", or "<type>:<hex bytes>" with
// the system's type number (1 string, 2 expandable string, 3 binary, 4
// 32-bit number) and the raw data bytes in hex.
//
//   FILE     new|replaced|kept  <path>  <hash>  <size>
//            a file setup put where none was (new), over an existing one
//            (replaced), or left as it was (kept); hash and size are those
//            of setup's copy, empty for kept. The hash names its kind by its
//            form: "xxh3:" and 16 lower-case hex digits is the XXH3 64-bit
//            checksum setup records; 64 lower-case hex digits is the SHA-256
//            that earlier versions recorded, still honoured on removal
//   SHARED   <path>  <counted before: 1|0>
//            setup added one to the file's count under SharedDLLs (and
//            counted the earlier owner of a file it found without a count)
//   SERVER   <path>             setup registered the file as a COM server
//   DIR      <path>             a folder setup created (each level)
//   KEY      <root\key>         a registry key setup created (each level)
//   VALUE    <root\key>  <name>  <state before>  <state written>
//   APPEND   <root\key>  <name>  <appended part>  <existed: 1|0>
//            an environment value setup appended ";part" to
//   INI      <file>  <section>  <key>  <before: "-" or "=" value>  <value written>
//   SERVICE  <name>             a service setup created
//
// A run that has not committed yet appends each line as it makes the
// change (flushed, so a crash or a kill loses nothing already written) and
// writes more kinds, which a committed record never holds but for ASIDE:
//   RUN      <install folder>   second line: the run is still in progress
//   ASIDE    <path>  <copy>     the copy of a file the run is about to replace;
//                               at the end of a committed record, a copy
//                               deleted right after the commit (a run killed
//                               before, still listed, has it deleted by the
//                               next run)
//   TEMP     <path>             a file the run is about to make where none was,
//                               under its own name or a passing one, or the
//                               copy it is about to make of one it replaces
//   RELEASED <path>             its rollback took the shared count of <path>
// The next run rolls such a record back (interrupted_runs_win.h). A last
// line without its LF may have been cut by the crash and is never acted on.
//
// Lines are appended in the order the changes were made; removal undoes
// them in reverse. A line of an unknown kind, or with the wrong number of
// fields, is refused with its reason and the rest is still read: the record
// is a file on disk that anybody with rights to the folder may edit, so
// nothing in it is trusted (record_removal.h checks every target).
#pragma once
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/no_copy.h"
#include "base/registry_path.h"
#include "base/string_set.h"

namespace kq {

constexpr char kInstallRecordName[] = "uninstall.kqr";

// Registry value types the record knows.
constexpr uint32_t kValueString = 1;
constexpr uint32_t kValueExpandString = 2;
constexpr uint32_t kValueBinary = 3;
constexpr uint32_t kValueNumber = 4;

struct ValueState {
    bool present = false;
    uint32_t type = 0;
    std::string data;  // raw bytes (a string with its terminating zero)
    bool operator==(const ValueState& other) const {
        return present == other.present && (!present || (type == other.type && data == other.data));
    }
    bool operator!=(const ValueState& other) const { return !(*this == other); }
};

ValueState StringState(const std::string& text, bool expandable = false);
ValueState NumberState(uint32_t number);
// A string state's text, without its terminating zeros.
std::string TextOfState(const ValueState& state);

// The kinds of content hash a fingerprint holds. XXH3 is what setup
// records: removal only has to tell a file the user changed from setup's
// copy, which needs no cryptographic hash, and XXH3 reads many times faster.
enum class HashKind { kXxh3, kSha256 };

struct FileFingerprint {
    std::string hash;  // in the form the record's FILE line gives it
    uint64_t size = 0;
    bool operator==(const FileFingerprint& o) const { return hash == o.hash && size == o.size; }
};

// The kind a hash of the record's form is (XXH3 for an empty one).
HashKind KindOfHash(std::string_view hash);
// True for a hash in one of the record's forms.
bool IsRecordHash(std::string_view text);

// The fingerprint of bytes in memory.
FileFingerprint FingerprintOf(std::string_view bytes, HashKind kind = HashKind::kXxh3);

// The fingerprint of bytes that pass by in pieces (a file as it is written),
// so no whole file has to be held or read back.
class FingerprintBuilder : private NoCopy {
public:
    explicit FingerprintBuilder(HashKind kind = HashKind::kXxh3);
    ~FingerprintBuilder();
    void Add(const void* bytes, size_t length);
    // The fingerprint of everything added; the builder starts afresh.
    FileFingerprint Finish();

private:
    struct Digest;
    HashKind m_kind;
    std::unique_ptr<Digest> m_digest;
    uint64_t m_size = 0;
};

enum class RecordKind { kFile, kShared, kServer, kDir, kKey, kValue, kAppend, kIni, kService };

enum class FileOrigin { kNew, kReplaced, kKept };
// The origins as the record and the run's log name them, in the enum's order.
constexpr const char* kFileOriginNames[] = {"new", "replaced", "kept"};
const char* FileOriginName(FileOrigin origin);
bool ParseFileOrigin(std::string_view name, FileOrigin* origin);

struct RecordEntry {
    RecordKind kind = RecordKind::kFile;
    std::string path;         // FILE, SHARED, SERVER, DIR, INI (the file), SERVICE (the name)
    FileOrigin origin = FileOrigin::kNew;
    FileFingerprint fingerprint;
    RegistryRoot root = RegistryRoot::kNone;  // KEY, VALUE, APPEND
    std::string subKey;       // KEY, VALUE, APPEND; INI: the section
    std::string name;         // VALUE, APPEND: value name; INI: the key
    ValueState before, after; // VALUE
    std::string text;         // APPEND: the part; INI: the value written
    bool existed = false;     // APPEND: the value existed; INI: the entry existed; SHARED: it had a count
    std::string previous;     // INI: the value before
};

// The copy a run keeps of a file it replaces, until it commits.
struct SetAsideCopy {
    std::string path;
    std::string copy;
};

// A shared count a run is about to take: the value before, and the one the
// run writes. Named ahead, in the record file of the run in progress only.
struct CountTaken {
    std::string path;
    ValueState before;
    ValueState after;
};

struct ParsedRecord {
    std::vector<RecordEntry> entries;
    // A run still in progress (or interrupted): its install folder and the
    // copies of the files it replaced.
    bool inProgress = false;
    std::string installDir;
    std::vector<SetAsideCopy> setAside;
    std::vector<std::string> temporary;
    std::vector<std::string> released;
    std::vector<CountTaken> counting;
    // "line N: reason" for every line not taken.
    std::vector<std::string> refused;
    bool valid = false;  // the header was right
};

std::string FormatRecordLine(const RecordEntry& entry);
std::string FormatRecord(const std::vector<RecordEntry>& entries);
// The header and the RUN line that open the record of a run in progress.
std::string FormatRecordInProgress(const std::string& installDir);
std::string FormatSetAsideLine(const SetAsideCopy& aside);
std::string FormatTemporaryLine(const std::string& path);
std::string FormatReleasedLine(const std::string& path);
std::string FormatCountingLine(const CountTaken& count);
ParsedRecord ParseRecord(std::string_view text);

// Takes a text in pieces, in order.
using TextPieces = std::function<void(std::string_view)>;

// The entry of a change in the registry: its kind, key and value name.
RecordEntry RegistryEntry(RecordKind kind, RegistryRoot root, const std::string& subKey, const std::string& name);
// The entry of a key created by the run.
RecordEntry KeyEntry(RegistryRoot root, const std::string& subKey);

// The record as the install run builds it. Entries are kept (the rollback
// of a cancelled run works from them) as their lines: a run records every
// file it writes, and a line takes a fraction of the memory of its entry.
// An entry whose line would not read back as itself is kept whole.
class InstallRecord {
public:
    InstallRecord() = default;
    InstallRecord(const InstallRecord&) = delete;
    InstallRecord& operator=(const InstallRecord&) = delete;

    void Add(RecordEntry entry);
    // Told of every entry as it is added (the run's machine-readable log).
    void SetObserver(std::function<void(const RecordEntry&)> observer) { m_observer = std::move(observer); }
    // Given each entry's and each set-aside copy's line as it is added: the
    // record file of the run in progress.
    void SetLineSink(std::function<void(const std::string&)> sink) { m_sink = std::move(sink); }
    // The entries in the order they were added, read back from their lines.
    std::vector<RecordEntry> Entries() const;
    // The same, one at a time, without holding them all.
    void ForEachEntry(const std::function<void(const RecordEntry&)>& visit) const;
    void Clear();
    // Full blocks of lines go on to `file` (open for reading and writing,
    // kept open and closed by the caller, after the record is done with):
    // a run of many files then holds one block of lines in memory, whatever
    // its length. Once a block cannot be written there it and every later
    // one stay in memory.
    void SpillTo(std::FILE* file);
    std::string Text() const;
    // The same text in pieces (a line or less each), never held whole.
    void WriteText(const TextPieces& write) const;

    // Helpers for the usual entries.
    void File(FileOrigin origin, const std::string& path, const FileFingerprint& fingerprint = FileFingerprint());
    void Folder(const std::string& path);
    void Key(RegistryRoot root, const std::string& subKey);
    void Value(RegistryRoot root, const std::string& subKey, const std::string& name, const ValueState& before,
               const ValueState& after);

    // True when `path` was recorded as a file setup created or replaced.
    bool Wrote(const std::string& path) const;

    // The copies of the files this run replaced, kept until it commits: a
    // rollback puts them back, a committed run deletes them. They belong to
    // the run alone, so the record's text never names them; only the record
    // in progress does, and the final record until they are deleted.
    using SetAsideCopy = kq::SetAsideCopy;
    void SetAside(const std::string& path, const std::string& copy);
    bool IsSetAside(const std::string& path) const;
    // An entry written ahead of its change, to the record file of the run
    // in progress only: a run killed during the change is undone as if it
    // had been made (undoing what is not there changes nothing).
    void Ahead(const RecordEntry& entry);
    // A file about to be made where none was (under its name, or a passing
    // one it is renamed from): only the record file of the run in progress
    // names it.
    void Temporary(const std::string& path);
    // Several such files, their lines given to the sink at once (one write).
    void Temporary(const std::vector<std::string>& paths);
    // A shared count about to be taken: only the record file of the run in
    // progress names it, until its SHARED entry follows.
    void Counting(const CountTaken& count);
    const std::vector<SetAsideCopy>& SetAsideCopies() const { return m_asideCopies; }
    void ForgetSetAsideCopies() {
        m_asideCopies.clear();
        m_asidePaths.clear();
    }

private:
    // Keeps a line that reads back, after those kept before it.
    void KeepLine(const std::string& line);
    // Each kept line in order, in one buffer that holds one line at a time.
    void ForEachLine(const std::function<void(const std::string&)>& visit) const;

    // The entries' lines, in order, but for those kept whole. Consecutive
    // lines mostly share their kind and folder: each is kept as the number
    // of bytes it shares with the line before (one byte, so at most 255)
    // and the rest of it, up to and with its LF; the first line of a block
    // shares nothing. The lines lie in blocks of a fixed size, so a long
    // record neither grows by copying itself nor holds unused room beyond
    // its last block; the first blocks may lie in the spill file, one after
    // the other from m_spillFrom on, their lengths in m_spilled.
    std::vector<std::string> m_blocks;
    std::FILE* m_spill = nullptr;
    long m_spillFrom = 0;
    std::vector<size_t> m_spilled;
    std::string m_last;      // the last line kept, whole
    size_t m_lineBytes = 0;  // the kept lines' length, whole
    size_t m_count = 0;      // entries added
    // The entries kept whole, each with its place among all entries.
    std::vector<std::pair<size_t, RecordEntry>> m_whole;
    // The lower-case paths Wrote answers for: asked once per file of the
    // list, a search of the entries would grow with the square of its size.
    // Made on the first question, once the files are copied: while they
    // are, the copy step's own set of the same paths is held.
    void NoteWritten(const RecordEntry& entry) const;
    mutable CompactStringSet m_written;
    mutable bool m_writtenMade = false;
    std::vector<SetAsideCopy> m_asideCopies;
    std::unordered_set<std::string> m_asidePaths;  // lower case
    std::function<void(const RecordEntry&)> m_observer;
    std::function<void(const std::string&)> m_sink;
};

}  // namespace kq
