// Extracting the package's cabinet: its support files into the working
// folder at start-up, each product file into its destination later.
//
// An entry is written under the last component of its stored name (after
// the last '\', '/' or ':'), so no stored name can place a file anywhere
// else; a name with no usable last component ("", ".", "..", a device name
// such as NUL, characters Windows forbids) is never written: a whole
// extraction ends with kCabinetExtractFailed before anything is written for
// it. Each file gets the stored date and time (local time in the cabinet,
// turned into system time) as creation and last-write time, and the stored
// read-only, hidden, system and archive attributes. A file whose extraction
// fails is deleted again, so nothing half-written stays behind; files
// extracted before it remain. Stored, MSZIP, Quantum and LZX folders are
// read; a cabinet continued from or into another cabinet is not.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "base/no_copy.h"
#include "cabinet/cabinet.h"
#include "cabinet/progress_throttle.h"

namespace kq {

class CCabinetReader;

// Which entries an extraction writes, by the name they are written under;
// empty writes them all.
using EntryFilter = std::function<bool(const std::string& writtenName)>;

// Extracts the cabinet at `cabinetPath` into `workingFolder` on the calling
// thread; returns a CabinetResult. `failure`, when given, says what failed.
// Every file is new: one already there under an entry's name ends the
// extraction (kPlanted) and is not touched.
// Progress counts only the entries `wanted` lets through. `reader`, when
// given, is the reader it opens and extracts with, left open for others to
// share the cabinet's directory.
int ExtractCabinetFile(const char* cabinetPath, const char* workingFolder, const CabinetProgress& progress,
                       CabinetFailure* failure = nullptr, const EntryFilter& wanted = EntryFilter(),
                       CCabinetReader* reader = nullptr);

// Progress shown on the progress bar `bar` (may be null) of the thread that
// waits for the extraction. The callbacks run on the extraction thread and
// send only the positions that move the bar: each message holds the
// extraction until the waiting thread has handled it. `throttle` must
// outlive the extraction.
CabinetProgress ProgressBarFeedback(HWND bar, ProgressThrottle& throttle);

// Extracts "file1.cab" of `sourceFolder` into `workingFolder` on the calling
// thread.
int ExtractCabinet(const char* sourceFolder, const char* workingFolder, const CabinetProgress& progress,
                   CabinetFailure* failure = nullptr, const EntryFilter& wanted = EntryFilter(),
                   CCabinetReader* reader = nullptr);

// What the extraction of one entry is told and tells: `stop` is asked before
// each piece is written (true ends the extraction as kStopped), `written`
// sees every piece written, in order. Either may be empty. With `newFileOnly`
// the target must not exist: anything of its name ends the entry as kTaken
// and is left as it is.
struct EntryHooks {
    std::function<bool()> stop;
    std::function<void(const void* bytes, size_t length)> written;
    bool newFileOnly = false;
};

// One open cabinet whose entries are extracted one at a time, in any order,
// on one thread at a time. In cabinet order each entry costs only its own
// data; going back restarts the decoding of its cabinet folder.
class CCabinetReader : private NoCopy {
public:
    CCabinetReader();
    ~CCabinetReader();

    // Reads the cabinet's directory; a CabinetResult. A cabinet shorter than
    // its header says is damaged: a cut download fails here, before anything
    // is written. `failure`, when given, says what failed.
    int Open(const char* cabinetPath, CabinetFailure* failure = nullptr);
    // Reads the cabinet `opened` has open, through the directory it read
    // (held until both are closed) and a decoder of its own; a
    // CabinetResult. For extracting on another thread.
    int Share(const CCabinetReader& opened);
    bool IsOpen() const;

    size_t EntryCount() const;
    // The name as stored (for messages).
    std::string StoredName(size_t entry) const;
    // The name the entry is written under, its stored name's last component;
    // empty when the name is refused. Both are made when asked for: a
    // cabinet of many files is read by several readers at once.
    std::string WrittenName(size_t entry) const;
    // The entry written under `name`, compared without case (the last one
    // when several are); EntryCount() when there is none.
    size_t Find(const std::string& name) const;
    // The bytes the entry unpacks to, as the cabinet's directory says.
    uint64_t EntryBytes(size_t entry) const;

    // Writes the entry to `target` (replacing a file there) with the stored
    // time and attributes.
    EntryResult Extract(size_t entry, const std::string& target, const EntryHooks& hooks = EntryHooks());

    // The cabinet folder an entry is packed in (0 for the first; each
    // decodes on its own), and what a folder unpacks to.
    int FolderOf(size_t entry) const;
    int FolderCount() const;
    uint64_t FolderBytes(int folder) const;
    // Unpacks the entry into memory, appended to `bytes` (for a small entry
    // only: it is held whole); `stop` as for Extract. A failure appends
    // nothing.
    EntryResult ExtractToMemory(size_t entry, std::string& bytes, const std::function<bool()>& stop);
    // Writes bytes ExtractToMemory gave for the entry as Extract would.
    EntryResult WriteEntry(size_t entry, const char* bytes, size_t length, const std::string& target,
                           const EntryHooks& hooks = EntryHooks());

private:
    struct Directory;
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// One extraction of the package's cabinet on a thread of its own. The
// user-interface thread starts it, waits for Thread() with its
// message-pumping wait (the progress callbacks typically send messages to a
// window of that thread), then reads Result().
class CCabinetExtraction : private NoCopy {
public:
    CCabinetExtraction() = default;
    // Waits for a thread still running.
    ~CCabinetExtraction();

    // False when a thread cannot be started (or one is already running).
    bool Start(const char* sourceFolder, const char* workingFolder, CabinetProgress progress,
               EntryFilter wanted = EntryFilter());
    // The same extraction on the calling thread, for a caller that has no
    // window to keep answering meanwhile: a thread costs its stack (a
    // megabyte under Wine) for as long as the run goes on. Result(),
    // Failure() and Reader() are then as after Start's thread.
    void RunHere(const char* sourceFolder, const char* workingFolder, CabinetProgress progress,
                 EntryFilter wanted = EntryFilter());
    HANDLE Thread() const { return m_thread; }
    // Valid once Thread() is signalled.
    int Result() const { return m_result; }
    // What failed, once Thread() is signalled.
    const CabinetFailure& Failure() const { return m_failure; }
    // The cabinet as the extraction read it, once Thread() is signalled;
    // open when the extraction succeeded (to share with CCabinetReader::Share).
    const CCabinetReader& Reader() const { return m_reader; }

private:
    void Take(const char* sourceFolder, const char* workingFolder, CabinetProgress progress, EntryFilter wanted);
    void Run();
    static unsigned __stdcall ThreadMain(void* self);

    std::string m_sourceFolder;
    std::string m_workingFolder;
    CabinetProgress m_progress;
    EntryFilter m_wanted;
    HANDLE m_thread = nullptr;
    int m_result = kCabinetExtractFailed;
    CabinetFailure m_failure;
    CCabinetReader m_reader;
};

// The copy step's way into the cabinet: entries unpacked in the order they
// are asked for (the file list's, which the builder follows). kWorkers
// threads unpack the product's cabinet folders ahead into memory, each taking
// the next folder in cabinet order when it is free, while the caller writes
// the files: the processors decode while the file system works. One is
// enough: with the copy step's writer beside it both processors are busy,
// and a second bought no time on two cores, only the megabyte every thread
// keeps under the system. Only a folder of at most kAheadLimit bytes is
// unpacked ahead, and a worker begins one only while the buffers of the
// folders the caller has not passed (and the spare ones) stay within
// kAheadBudget (MayUnpackAhead), so memory stays the same whatever the
// payload. The builder's folders hold about 512 KB, so mostly one is held
// while the next is decoded: larger folders with a larger budget bought no
// time, only memory. A folder of one large file is not held whole: it
// streams from the decoder to its file as fast, without its size in memory.
// A larger folder, an entry that failed ahead, a stop, or an entry asked for
// out of turn is unpacked directly.
class CCabinetUnpacker : private NoCopy {
public:
    static constexpr uint64_t kAheadLimit = 4u << 20;
    static constexpr int kWorkers = 1;
    static constexpr uint64_t kAheadBudget = 1u << 20;

    CCabinetUnpacker();
    // Stops the workers and waits for them.
    ~CCabinetUnpacker();

    // A CabinetResult; starts the workers when there are folders to unpack
    // ahead. `stop` (may be empty) also ends the unpacking ahead.
    int Open(const char* cabinetPath, std::function<bool()> stop);
    // The same for the cabinet `opened` has open, through the directory it
    // read.
    int Open(const CCabinetReader& opened, std::function<bool()> stop);
    bool IsOpen() const;
    size_t EntryCount() const;
    size_t Find(const std::string& name) const;
    uint64_t EntryBytes(size_t entry) const;
    // Safe on several threads at once: an entry unpacked ahead is written
    // by the caller's thread, any other is unpacked by one caller at a time.
    EntryResult Extract(size_t entry, const std::string& target, const EntryHooks& hooks);

    // An entry's bytes as a worker unpacked them, kept until Release.
    struct Held {
        size_t entry = 0;
        int folder = -1;
        const char* bytes = nullptr;
        size_t length = 0;
    };
    // The entry's bytes when it was unpacked ahead (waiting for a worker
    // still at it); false when it was not, and Extract unpacks it. Callers
    // on several threads hold entries in cabinet order: asking for an entry
    // frees the folders before it that nobody holds.
    bool Hold(size_t entry, Held* held);
    // Writes a held entry as Extract would, on any thread.
    EntryResult WriteHeld(const Held& held, const std::string& target, const EntryHooks& hooks);
    void Release(const Held& held);

private:
    struct Worker;
    struct Ahead;
    // Starts the workers once m_reader is open.
    void StartAhead(std::function<bool()> stop);
    void RunWorker(int index);

    CCabinetReader m_reader;
    std::unique_ptr<Ahead> m_ahead;
    // m_reader's own decoder, for the entries not unpacked ahead.
    std::mutex m_direct;
};

// Runs the extraction on a thread of its own and waits for it with `wait`
// (the message-pumping wait on the user-interface thread; a plain wait when
// empty). When no thread can be started the extraction runs on the calling
// thread instead.
int ExtractCabinetOnThread(const char* sourceFolder, const char* workingFolder, const CabinetProgress& progress,
                           const std::function<void(HANDLE)>& wait);

}  // namespace kq
