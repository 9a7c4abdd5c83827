// libmspack was built with 64-bit file offsets; its mspack_system callbacks
// take off_t, so this file must see the same off_t (checked at run time by
// MSPACK_SYS_SELFTEST). This has to come before any system header.
#define _FILE_OFFSET_BITS 64

#include "engine/cabinet_win.h"

#include <commctrl.h>
#include <mspack.h>
#include <process.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

#include "base/text.h"
#include "engine/file_list.h"
#include "engine/safe_name.h"

namespace kq {
namespace {

// The decoder reads and writes through these callbacks over Win32 handles,
// with ANSI paths as the rest of the program uses them. The system remembers
// whether the output file of the current extract call was opened, so a
// failure can delete what it began.
struct ExtractSystem;

struct Win32File {
    mspack_file base;
    HANDLE handle;
    // An output kept in memory instead of a file (unpacking ahead).
    std::string* sink;
    // The system of an output file, whose hooks see what is written.
    ExtractSystem* output;
    bool stampOnClose;
    FILETIME stamp;
};

struct ExtractSystem {
    mspack_system sys;
    bool outputOpened;
    // The stored time of the file being extracted, set on its still open
    // handle when it is closed: opening it again costs more than the write.
    bool hasStamp;
    FILETIME stamp;
    // The hooks of the entry being extracted; null when none.
    const EntryHooks* hooks;
    bool stopped;
    // The output had to be new and its name was taken.
    bool taken;
    // Where the entry being unpacked into memory goes; null for a file.
    std::string* sink;
};

HANDLE HandleOf(mspack_file* file) { return reinterpret_cast<Win32File*>(file)->handle; }

// A new, empty output file in place of whatever file is at `filename`; with
// `newOnly` only where nothing of that name is (`*taken` says when something is).
HANDLE CreateOutput(const char* filename, bool newOnly, bool* taken) {
    *taken = false;
    if (newOnly) {
        HANDLE handle = CreateFileA(filename, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        // A folder of that name answers "access denied" rather than "exists".
        if (handle == INVALID_HANDLE_VALUE)
            *taken = GetLastError() == ERROR_FILE_EXISTS || GetFileAttributesA(filename) != INVALID_FILE_ATTRIBUTES;
        return handle;
    }
    HANDLE handle = CreateFileA(filename, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) {
        // A read-only, hidden or system file of the same name (left by an
        // earlier run in a reused working folder, or by an earlier entry)
        // makes the create fail. Looked at only then: a look-up of a name
        // not yet there is slow in a large folder.
        DWORD attributes = GetFileAttributesA(filename);
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
            (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))) {
            SetFileAttributesA(filename, FILE_ATTRIBUTE_NORMAL);
            handle = CreateFileA(filename, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        }
    }
    return handle;
}

mspack_file* SysOpen(mspack_system* self, const char* filename, int mode) {
    ExtractSystem* system = reinterpret_cast<ExtractSystem*>(self);
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (mode == MSPACK_SYS_OPEN_WRITE && system->sink != nullptr) {
        Win32File* file = static_cast<Win32File*>(std::malloc(sizeof(Win32File)));
        if (file == nullptr) return nullptr;
        std::memset(file, 0, sizeof(*file));
        file->handle = INVALID_HANDLE_VALUE;
        file->sink = system->sink;
        file->output = system;
        system->outputOpened = true;
        return &file->base;
    }
    if (mode == MSPACK_SYS_OPEN_READ) {
        handle = CreateFileA(filename, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
    } else if (mode == MSPACK_SYS_OPEN_WRITE) {
        handle = CreateOutput(filename, system->hooks != nullptr && system->hooks->newFileOnly, &system->taken);
        if (handle != INVALID_HANDLE_VALUE) system->outputOpened = true;
    }
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    Win32File* file = static_cast<Win32File*>(std::malloc(sizeof(Win32File)));
    if (file == nullptr) {
        CloseHandle(handle);
        return nullptr;
    }
    file->handle = handle;
    file->sink = nullptr;
    file->output = mode == MSPACK_SYS_OPEN_WRITE ? system : nullptr;
    file->stampOnClose = mode == MSPACK_SYS_OPEN_WRITE && system->hasStamp;
    file->stamp = system->stamp;
    return &file->base;
}

void SysClose(mspack_file* file) {
    if (file == nullptr) return;
    Win32File* win = reinterpret_cast<Win32File*>(file);
    if (win->sink != nullptr) {
        std::free(file);
        return;
    }
    if (win->stampOnClose) SetFileTime(win->handle, &win->stamp, nullptr, &win->stamp);
    CloseHandle(HandleOf(file));
    std::free(file);
}

int SysRead(mspack_file* file, void* buffer, int bytes) {
    if (bytes < 0) return -1;
    DWORD done = 0;
    if (!ReadFile(HandleOf(file), buffer, DWORD(bytes), &done, nullptr)) return -1;
    return int(done);
}

int SysWrite(mspack_file* file, void* buffer, int bytes) {
    if (bytes < 0) return -1;
    ExtractSystem* output = reinterpret_cast<Win32File*>(file)->output;
    const EntryHooks* hooks = output != nullptr ? output->hooks : nullptr;
    // A stop is seen within one piece (one decoded block), however large
    // the file.
    if (hooks != nullptr && hooks->stop && hooks->stop()) {
        output->stopped = true;
        return -1;
    }
    std::string* sink = reinterpret_cast<Win32File*>(file)->sink;
    if (sink != nullptr) {
        sink->append(static_cast<const char*>(buffer), size_t(bytes));
        return bytes;
    }
    DWORD done = 0;
    if (!WriteFile(HandleOf(file), buffer, DWORD(bytes), &done, nullptr)) return -1;
    if (hooks != nullptr && hooks->written && done > 0) hooks->written(buffer, done);
    return int(done);
}

int SysSeek(mspack_file* file, off_t offset, int mode) {
    DWORD method;
    switch (mode) {
    case MSPACK_SYS_SEEK_START: method = FILE_BEGIN; break;
    case MSPACK_SYS_SEEK_CUR: method = FILE_CURRENT; break;
    case MSPACK_SYS_SEEK_END: method = FILE_END; break;
    default: return -1;
    }
    const int64_t wide = int64_t(offset);
    LONG high = LONG(wide >> 32);
    // A position whose low half is all ones looks like the failure value, so
    // only the last error tells them apart.
    SetLastError(NO_ERROR);
    DWORD low = SetFilePointer(HandleOf(file), LONG(uint32_t(wide)), &high, method);
    return (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) ? -1 : 0;
}

off_t SysTell(mspack_file* file) {
    LONG high = 0;
    SetLastError(NO_ERROR);
    DWORD low = SetFilePointer(HandleOf(file), 0, &high, FILE_CURRENT);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return off_t(-1);
    return off_t((int64_t(high) << 32) | int64_t(low));
}

// The decoder's notes for a human reader; there is no console or log for
// them, and every failure also comes back as an error code.
void SysMessage(mspack_file*, const char*, ...) {}

void* SysAlloc(mspack_system*, size_t bytes) { return std::malloc(bytes); }
void SysFree(void* p) { std::free(p); }
void SysCopy(void* src, void* dest, size_t bytes) { std::memcpy(dest, src, bytes); }

void InitSystem(ExtractSystem* system) {
    std::memset(system, 0, sizeof(*system));
    system->sys.open = SysOpen;
    system->sys.close = SysClose;
    system->sys.read = SysRead;
    system->sys.write = SysWrite;
    system->sys.seek = SysSeek;
    system->sys.tell = SysTell;
    system->sys.message = SysMessage;
    system->sys.alloc = SysAlloc;
    system->sys.free = SysFree;
    system->sys.copy = SysCopy;
    system->sys.null_ptr = nullptr;
}

// Before the decoder parses anything: can the file be opened, and does it
// start with the cabinet signature?
int CheckCabinetFile(const char* path) {
    HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    if (handle == INVALID_HANDLE_VALUE) return kCabinetCannotOpen;
    char magic[4] = {};
    DWORD done = 0;
    BOOL read = ReadFile(handle, magic, sizeof(magic), &done, nullptr);
    CloseHandle(handle);
    if (!read) return kCabinetCannotOpen;
    return (done == sizeof(magic) && std::memcmp(magic, "MSCF", 4) == 0) ? kCabinetOk : kCabinetNotCabinet;
}

// A name the cabinet marks as UTF-8, in the ANSI code page the rest of the
// program uses; false when it has no exact ANSI spelling.
bool AnsiFromUtf8(const char* utf8, std::string* ansi) {
    int wideLength = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (wideLength <= 0) return false;
    std::vector<wchar_t> wide(static_cast<size_t>(wideLength));
    if (MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), wideLength) <= 0) return false;
    BOOL usedDefault = FALSE;
    int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, nullptr, 0, nullptr, &usedDefault);
    if (length <= 0 || usedDefault) return false;
    std::vector<char> out(static_cast<size_t>(length));
    if (WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, out.data(), length, nullptr, &usedDefault) <= 0 ||
        usedDefault) {
        return false;
    }
    ansi->assign(out.data());
    return true;
}

// The name an entry is written under: the last component of its stored name,
// after turning a UTF-8 name into ANSI (so a character that maps to a
// separator is cut like one).
bool ExtractedName(const mscabd_file& file, std::string* name) {
    if (file.filename == nullptr) return false;
    std::string stored;
    if (file.attribs & MSCAB_ATTRIB_UTF_NAME) {
        if (!AnsiFromUtf8(file.filename, &stored)) return false;
    } else {
        stored = file.filename;
    }
    return SafeLeafName(stored, name);
}

// The cabinet keeps the local date and time of the author's machine; the
// file system keeps system time.
bool StoredFileTime(const mscabd_file& file, FILETIME* system) {
    SYSTEMTIME stored = {};
    stored.wYear = WORD(file.date_y);
    stored.wMonth = WORD(file.date_m);
    stored.wDay = WORD(file.date_d);
    stored.wHour = WORD(file.time_h);
    stored.wMinute = WORD(file.time_m);
    stored.wSecond = WORD(file.time_s);
    FILETIME local;
    // A date the cabinet got wrong (month 0, day 31 of February) leaves the
    // time of extraction on the file.
    return SystemTimeToFileTime(&stored, &local) && LocalFileTimeToFileTime(&local, system);
}

EntryResult ExtractEntry(mscab_decompressor* decoder, ExtractSystem* system, mscabd_file* file,
                         const std::string& target, const EntryHooks& hooks) {
    system->outputOpened = false;
    system->stopped = false;
    system->taken = false;
    system->hooks = &hooks;
    system->hasStamp = StoredFileTime(*file, &system->stamp);
    const int error = decoder->extract(decoder, file, target.c_str()) == MSPACK_ERR_OK ? MSPACK_ERR_OK
                                                                                    : decoder->last_error(decoder);
    system->hooks = nullptr;
    const bool inMemory = system->sink != nullptr;
    if (error != MSPACK_ERR_OK) {
        if (system->outputOpened && !inMemory) {
            SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(target.c_str());
        }
        if (system->stopped) return EntryResult::kStopped;
        if (system->taken) return EntryResult::kTaken;
        return error == MSPACK_ERR_OPEN || error == MSPACK_ERR_WRITE ? EntryResult::kCannotWrite
                                                                     : EntryResult::kDamaged;
    }
    if (inMemory) return EntryResult::kDone;
    // A new file carries the archive attribute alone; only another set
    // needs a call.
    DWORD attributes = RestoredAttributes(file->attribs);
    if (attributes != FILE_ATTRIBUTE_ARCHIVE)
        SetFileAttributesA(target.c_str(), attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL);
    return EntryResult::kDone;
}

// Bytes unpacked before, written as `file` would have been.
EntryResult WriteEntryBytes(const mscabd_file& file, const char* bytes, size_t size, const std::string& target,
                            const EntryHooks& hooks) {
    bool taken = false;
    HANDLE handle = CreateOutput(target.c_str(), hooks.newFileOnly, &taken);
    if (handle == INVALID_HANDLE_VALUE) return taken ? EntryResult::kTaken : EntryResult::kCannotWrite;
    EntryResult result = EntryResult::kDone;
    // In pieces large enough to cost few calls and small enough for a stop
    // to be seen at once.
    constexpr size_t kPiece = 1u << 20;
    for (size_t at = 0; at < size && result == EntryResult::kDone; at += kPiece) {
        if (hooks.stop && hooks.stop()) {
            result = EntryResult::kStopped;
            break;
        }
        const DWORD length = DWORD(size - at < kPiece ? size - at : kPiece);
        DWORD done = 0;
        if (!WriteFile(handle, bytes + at, length, &done, nullptr) || done != length) {
            result = EntryResult::kCannotWrite;
            break;
        }
        if (hooks.written) hooks.written(bytes + at, length);
    }
    FILETIME stamp;
    if (result == EntryResult::kDone && StoredFileTime(file, &stamp)) SetFileTime(handle, &stamp, nullptr, &stamp);
    CloseHandle(handle);
    if (result != EntryResult::kDone) {
        DeleteFileA(target.c_str());
        return result;
    }
    DWORD attributes = RestoredAttributes(file.attribs);
    if (attributes != FILE_ATTRIBUTE_ARCHIVE)
        SetFileAttributesA(target.c_str(), attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL);
    return result;
}

// The size of the file at `path`, or -1.
int64_t FileSizeOf(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return -1;
    return (int64_t(data.nFileSizeHigh) << 32) | int64_t(data.nFileSizeLow);
}

}  // namespace

struct CCabinetReader::Impl {
    struct Entry {
        mscabd_file* file;
        std::string stored;
        std::string written;
        int folder;  // its cabinet folder, 0 for the first
    };

    ~Impl() { Close(); }
    void Close() {
        if (decoder != nullptr) {
            if (cabinet != nullptr) decoder->close(decoder, cabinet);
            // Releasing the decoder cannot fail with this library.
            mspack_destroy_cab_decompressor(decoder);
        }
        decoder = nullptr;
        cabinet = nullptr;
        entries.clear();
        byName.clear();
        folderBytes.clear();
    }

    ExtractSystem system;
    // The decoder keeps the name it was given and opens the file again by
    // it for each extraction.
    std::string path;
    mscab_decompressor* decoder = nullptr;
    mscabd_cabinet* cabinet = nullptr;
    std::vector<Entry> entries;
    std::vector<uint64_t> folderBytes;  // what each cabinet folder unpacks to
    // Lower-case written name to the last entry of that name; made on the
    // first look-up.
    mutable std::unordered_map<std::string, size_t> byName;
};

CCabinetReader::CCabinetReader() : m_impl(std::make_unique<Impl>()) {}
CCabinetReader::~CCabinetReader() = default;

int CCabinetReader::Open(const char* cabinetPath, CabinetFailure* failure) {
    CabinetFailure ignored;
    if (failure == nullptr) failure = &ignored;
    *failure = CabinetFailure();
    m_impl->Close();
    int selftest = MSPACK_ERR_OK;
    MSPACK_SYS_SELFTEST(selftest);
    if (selftest != MSPACK_ERR_OK) return failure->result = kCabinetNoDecoder;

    InitSystem(&m_impl->system);
    m_impl->decoder = mspack_create_cab_decompressor(&m_impl->system.sys);
    if (m_impl->decoder == nullptr) return failure->result = kCabinetNoDecoder;

    int result = CheckCabinetFile(cabinetPath);
    if (result != kCabinetOk) {
        m_impl->Close();
        return failure->result = result;
    }
    m_impl->path = cabinetPath;
    mscab_decompressor* decoder = m_impl->decoder;
    m_impl->cabinet = decoder->open(decoder, m_impl->path.c_str());
    if (m_impl->cabinet == nullptr) {
        switch (decoder->last_error(decoder)) {
        case MSPACK_ERR_OPEN: result = kCabinetCannotOpen; break;
        case MSPACK_ERR_SIGNATURE: result = kCabinetNotCabinet; break;
        default: result = kCabinetExtractFailed; break;
        }
        m_impl->Close();
        return failure->result = result;
    }
    if (FileSizeOf(cabinetPath) < int64_t(m_impl->cabinet->length)) {
        m_impl->Close();
        failure->cause = CabinetFailure::Cause::kDamaged;
        return failure->result = kCabinetExtractFailed;
    }
    std::unordered_map<const mscabd_folder*, int> folders;
    for (const mscabd_folder* folder = m_impl->cabinet->folders; folder != nullptr; folder = folder->next) {
        folders.emplace(folder, int(folders.size()));
    }
    m_impl->folderBytes.assign(folders.size(), 0);
    for (mscabd_file* file = m_impl->cabinet->files; file != nullptr; file = file->next) {
        auto folder = folders.find(file->folder);
        Impl::Entry entry{file, file->filename != nullptr ? file->filename : "", std::string(),
                          folder == folders.end() ? -1 : folder->second};
        if (!ExtractedName(*file, &entry.written)) entry.written.clear();
        if (entry.folder >= 0) m_impl->folderBytes[size_t(entry.folder)] += file->length;
        m_impl->entries.push_back(std::move(entry));
    }
    return failure->result = kCabinetOk;
}

bool CCabinetReader::IsOpen() const { return m_impl->cabinet != nullptr; }

size_t CCabinetReader::EntryCount() const { return m_impl->entries.size(); }

const std::string& CCabinetReader::StoredName(size_t entry) const { return m_impl->entries[entry].stored; }

const std::string& CCabinetReader::WrittenName(size_t entry) const { return m_impl->entries[entry].written; }

size_t CCabinetReader::Find(const std::string& name) const {
    if (m_impl->byName.empty()) {
        for (size_t i = 0; i < m_impl->entries.size(); ++i) {
            if (!m_impl->entries[i].written.empty()) m_impl->byName[AsciiLower(m_impl->entries[i].written)] = i;
        }
    }
    auto found = m_impl->byName.find(AsciiLower(name));
    return found == m_impl->byName.end() ? EntryCount() : found->second;
}

EntryResult CCabinetReader::Extract(size_t entry, const std::string& target, const EntryHooks& hooks) {
    if (!IsOpen() || entry >= EntryCount() || WrittenName(entry).empty()) return EntryResult::kNotFound;
    return ExtractEntry(m_impl->decoder, &m_impl->system, m_impl->entries[entry].file, target, hooks);
}

int CCabinetReader::FolderOf(size_t entry) const { return m_impl->entries[entry].folder; }

int CCabinetReader::FolderCount() const { return int(m_impl->folderBytes.size()); }

uint64_t CCabinetReader::FolderBytes(int folder) const { return m_impl->folderBytes[size_t(folder)]; }

EntryResult CCabinetReader::ExtractToMemory(size_t entry, std::string& bytes, const std::function<bool()>& stop) {
    if (!IsOpen() || entry >= EntryCount() || WrittenName(entry).empty()) return EntryResult::kNotFound;
    const size_t start = bytes.size();
    bytes.reserve(start + m_impl->entries[entry].file->length);
    EntryHooks hooks;
    hooks.stop = stop;
    m_impl->system.sink = &bytes;
    const EntryResult result =
        ExtractEntry(m_impl->decoder, &m_impl->system, m_impl->entries[entry].file, std::string(), hooks);
    m_impl->system.sink = nullptr;
    if (result != EntryResult::kDone) bytes.resize(start);
    return result;
}

EntryResult CCabinetReader::WriteEntry(size_t entry, const char* bytes, size_t length, const std::string& target,
                                       const EntryHooks& hooks) {
    if (!IsOpen() || entry >= EntryCount()) return EntryResult::kNotFound;
    return WriteEntryBytes(*m_impl->entries[entry].file, bytes, length, target, hooks);
}

// One thread unpacking folders ahead, with a decoder of its own.
struct CCabinetUnpacker::Worker {
    CCabinetReader reader;
    std::thread thread;
};

struct CCabinetUnpacker::Ahead {
    // A folder unpacked: its entries one after the other in one buffer (one
    // large block, which goes back to the system whole when freed), and
    // where each entry lies in it; an entry that failed is missing.
    struct Held {
        std::string bytes;
        std::unordered_map<size_t, std::pair<size_t, size_t>> spans;  // entry to offset and length
    };
    enum class Stage : unsigned char { kDirect, kWaiting, kUnpacking, kReady, kGone };

    std::function<bool()> stop;
    std::atomic<bool> quit{false};
    std::mutex mutex;
    std::condition_variable changed;
    int asked = -1;                            // the folder of the entry asked for last
    std::vector<Stage> stage;                  // by folder
    std::vector<std::vector<size_t>> entries;  // by folder, in cabinet order
    std::vector<int> queue;                    // the folders unpacked ahead, in cabinet order
    size_t taken = 0;                          // how many of them a worker has begun
    std::map<int, Held> ready;                 // unpacked and not yet passed by the copy step
    // Buffers of folders passed, for the next folders: memory the system
    // has already handed over costs nothing to fill again.
    std::vector<std::string> spare;
    int running = 0;                           // workers not yet ended
    std::vector<std::unique_ptr<Worker>> workers;
};

CCabinetUnpacker::CCabinetUnpacker() = default;

CCabinetUnpacker::~CCabinetUnpacker() {
    if (m_ahead == nullptr) return;
    {
        std::lock_guard<std::mutex> lock(m_ahead->mutex);
        m_ahead->quit = true;
    }
    m_ahead->changed.notify_all();
    for (auto& worker : m_ahead->workers) {
        if (worker->thread.joinable()) worker->thread.join();
    }
}

int CCabinetUnpacker::Open(const char* cabinetPath, std::function<bool()> stop) {
    const int result = m_reader.Open(cabinetPath);
    if (result != kCabinetOk) return result;
    // The product's folders that are small enough are unpacked ahead, in
    // cabinet order.
    auto ahead = std::make_unique<Ahead>();
    const int folderCount = m_reader.FolderCount();
    ahead->stage.assign(size_t(folderCount), Ahead::Stage::kDirect);
    ahead->entries.resize(size_t(folderCount));
    std::vector<bool> product(size_t(folderCount), false);
    for (size_t i = 0; i < m_reader.EntryCount(); ++i) {
        const int folder = m_reader.FolderOf(i);
        if (folder < 0) continue;
        ahead->entries[size_t(folder)].push_back(i);
        if (IsPackedEntryName(m_reader.WrittenName(i))) product[size_t(folder)] = true;
    }
    for (int folder = 0; folder < folderCount; ++folder) {
        if (!product[size_t(folder)] || m_reader.FolderBytes(folder) > kAheadLimit) continue;
        ahead->stage[size_t(folder)] = Ahead::Stage::kWaiting;
        ahead->queue.push_back(folder);
    }
    if (ahead->queue.empty()) return result;
    ahead->stop = std::move(stop);
    m_ahead = std::move(ahead);
    // Workers begin under the lock: none ends before all are counted.
    std::lock_guard<std::mutex> lock(m_ahead->mutex);
    for (int w = 0; w < kWorkers && size_t(w) < m_ahead->queue.size(); ++w) {
        auto worker = std::make_unique<Worker>();
        if (worker->reader.Open(cabinetPath) != kCabinetOk) continue;
        try {
            worker->thread = std::thread(&CCabinetUnpacker::RunWorker, this, int(m_ahead->workers.size()));
        } catch (const std::system_error&) {
            continue;  // no thread to be had: the folders are unpacked as they are asked for
        }
        m_ahead->workers.push_back(std::move(worker));
        ++m_ahead->running;
    }
    return result;
}

bool CCabinetUnpacker::IsOpen() const { return m_reader.IsOpen(); }

size_t CCabinetUnpacker::EntryCount() const { return m_reader.EntryCount(); }

size_t CCabinetUnpacker::Find(const std::string& name) const { return m_reader.Find(name); }

void CCabinetUnpacker::RunWorker(int index) {
    Ahead& ahead = *m_ahead;
    CCabinetReader* reader = nullptr;
    {
        // Open() is still adding workers; the list is read under its lock.
        std::lock_guard<std::mutex> lock(ahead.mutex);
        reader = &ahead.workers[size_t(index)]->reader;
    }
    const auto stop = [&ahead] { return ahead.quit.load() || (ahead.stop && ahead.stop()); };
    for (;;) {
        int folder = -1;
        {
            std::unique_lock<std::mutex> lock(ahead.mutex);
            ahead.changed.wait(lock, [&] {
                return ahead.quit || ahead.taken == ahead.queue.size() || ahead.ready.size() < kHeld;
            });
            if (ahead.quit || ahead.taken == ahead.queue.size()) break;
            folder = ahead.queue[ahead.taken++];
            if (ahead.asked > folder) {
                ahead.stage[size_t(folder)] = Ahead::Stage::kGone;  // the copy step is past it
                ahead.changed.notify_all();
                continue;
            }
            ahead.stage[size_t(folder)] = Ahead::Stage::kUnpacking;
        }
        Ahead::Held unpacked;
        {
            std::lock_guard<std::mutex> lock(ahead.mutex);
            if (!ahead.spare.empty()) {
                unpacked.bytes = std::move(ahead.spare.back());
                ahead.spare.pop_back();
            }
        }
        unpacked.bytes.clear();
        unpacked.bytes.reserve(size_t(reader->FolderBytes(folder)));
        bool stopped = false;
        for (size_t entry : ahead.entries[size_t(folder)]) {
            const size_t start = unpacked.bytes.size();
            const EntryResult result = reader->ExtractToMemory(entry, unpacked.bytes, stop);
            if (result == EntryResult::kStopped) {
                stopped = true;
                break;
            }
            // A failed entry is left to the copy step, which tells why.
            if (result == EntryResult::kDone) unpacked.spans[entry] = {start, unpacked.bytes.size() - start};
            else unpacked.bytes.resize(start);
        }
        {
            std::lock_guard<std::mutex> lock(ahead.mutex);
            // Unless the copy step went past it meanwhile.
            if (ahead.asked <= folder) {
                ahead.ready[folder] = std::move(unpacked);
                ahead.stage[size_t(folder)] = Ahead::Stage::kReady;
            } else {
                ahead.stage[size_t(folder)] = Ahead::Stage::kGone;
                ahead.spare.push_back(std::move(unpacked.bytes));
            }
        }
        ahead.changed.notify_all();
        if (stopped) break;
    }
    {
        std::lock_guard<std::mutex> lock(ahead.mutex);
        --ahead.running;
    }
    ahead.changed.notify_all();
}

EntryResult CCabinetUnpacker::Extract(size_t entry, const std::string& target, const EntryHooks& hooks) {
    if (m_ahead == nullptr || entry >= m_reader.EntryCount() || m_reader.FolderOf(entry) < 0)
        return m_reader.Extract(entry, target, hooks);
    Ahead& ahead = *m_ahead;
    const int folder = m_reader.FolderOf(entry);
    std::unique_lock<std::mutex> lock(ahead.mutex);
    ahead.asked = folder;
    // The folders behind the copy step are not needed again: the workers
    // may go on.
    bool freed = false;
    while (!ahead.ready.empty() && ahead.ready.begin()->first < folder) {
        ahead.stage[size_t(ahead.ready.begin()->first)] = Ahead::Stage::kGone;
        ahead.spare.push_back(std::move(ahead.ready.begin()->second.bytes));
        ahead.ready.erase(ahead.ready.begin());
        freed = true;
    }
    if (freed) ahead.changed.notify_all();
    // A folder not yet begun is next for a worker: every folder before it
    // is begun, and those held are behind the copy step, so none blocks it.
    using Stage = Ahead::Stage;
    ahead.changed.wait(lock, [&] {
        const Stage stage = ahead.stage[size_t(folder)];
        return stage == Stage::kDirect || stage == Stage::kReady || stage == Stage::kGone ||
               (stage == Stage::kWaiting && ahead.running == 0);
    });
    auto held = ahead.ready.find(folder);
    if (held != ahead.ready.end()) {
        auto found = held->second.spans.find(entry);
        if (found != held->second.spans.end()) {
            // The buffer stays until the copy step passes the folder, and
            // only the copy step frees it: it can be read unlocked.
            const char* bytes = held->second.bytes.data() + found->second.first;
            const size_t length = found->second.second;
            lock.unlock();
            return m_reader.WriteEntry(entry, bytes, length, target, hooks);
        }
    }
    lock.unlock();
    return m_reader.Extract(entry, target, hooks);
}

int ExtractCabinetFile(const char* cabinetPath, const char* workingFolder, const CabinetProgress& progress,
                       CabinetFailure* failure, const EntryFilter& wanted) {
    CabinetFailure ignored;
    if (failure == nullptr) failure = &ignored;
    CCabinetReader reader;
    if (reader.Open(cabinetPath, failure) != kCabinetOk) return failure->result;

    // A refused name ends the extraction where it stands, so it counts.
    const auto chosen = [&](size_t i) { return reader.WrittenName(i).empty() || !wanted || wanted(reader.WrittenName(i)); };
    int count = 0;
    for (size_t i = 0; i < reader.EntryCount(); ++i) count += chosen(i) ? 1 : 0;
    if (progress.setRange) progress.setRange(count);

    const std::string folder = EndWithBackslash(workingFolder);
    std::set<std::string> ours;
    int started = 0;
    for (size_t i = 0; i < reader.EntryCount(); ++i) {
        if (!chosen(i)) continue;
        const std::string& name = reader.WrittenName(i);
        if (name.empty()) {
            failure->cause = CabinetFailure::Cause::kRefusedName;
            failure->entry = reader.StoredName(i);
            return failure->result = kCabinetExtractFailed;
        }
        ++started;
        if (progress.setPosition) progress.setPosition(started);
        // A name this extraction wrote before (two stored paths ending
        // alike) is its own file and is written again; any other must be new.
        EntryHooks newFile;
        newFile.newFileOnly = ours.insert(AsciiLower(name)).second;
        const EntryResult result = reader.Extract(i, folder + name, newFile);
        if (result != EntryResult::kDone) {
            failure->cause = result == EntryResult::kDamaged ? CabinetFailure::Cause::kDamaged
                             : result == EntryResult::kTaken ? CabinetFailure::Cause::kPlanted
                                                             : CabinetFailure::Cause::kCannotWrite;
            failure->entry = name;
            return failure->result = kCabinetExtractFailed;
        }
    }
    return failure->result = kCabinetOk;
}

int ExtractCabinet(const char* sourceFolder, const char* workingFolder, const CabinetProgress& progress,
                   CabinetFailure* failure, const EntryFilter& wanted) {
    return ExtractCabinetFile(CabinetPath(sourceFolder).c_str(), workingFolder, progress, failure, wanted);
}

CCabinetExtraction::~CCabinetExtraction() {
    if (thread_ != nullptr) {
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
}

bool CCabinetExtraction::Start(const char* sourceFolder, const char* workingFolder, CabinetProgress progress,
                               EntryFilter wanted) {
    if (thread_ != nullptr) {
        if (WaitForSingleObject(thread_, 0) != WAIT_OBJECT_0) return false;
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    sourceFolder_ = sourceFolder;
    workingFolder_ = workingFolder;
    progress_ = std::move(progress);
    wanted_ = std::move(wanted);
    result_ = kCabinetExtractFailed;
    // _beginthreadex rather than CreateThread: the thread uses the C
    // runtime (allocation inside the decoder).
    uintptr_t handle = _beginthreadex(nullptr, 0, &CCabinetExtraction::ThreadMain, this, 0, nullptr);
    if (handle == 0) return false;
    thread_ = reinterpret_cast<HANDLE>(handle);
    return true;
}

unsigned __stdcall CCabinetExtraction::ThreadMain(void* self) {
    CCabinetExtraction* extraction = static_cast<CCabinetExtraction*>(self);
    extraction->result_ = ExtractCabinet(extraction->sourceFolder_.c_str(), extraction->workingFolder_.c_str(),
                                         extraction->progress_, &extraction->failure_, extraction->wanted_);
    return 0;
}

int ExtractCabinetOnThread(const char* sourceFolder, const char* workingFolder, const CabinetProgress& progress,
                           const std::function<void(HANDLE)>& wait) {
    CCabinetExtraction extraction;
    if (!extraction.Start(sourceFolder, workingFolder, progress)) {
        return ExtractCabinet(sourceFolder, workingFolder, progress);
    }
    if (wait) wait(extraction.Thread());
    // The wait may return early (a quit message while pumping); the result
    // is only there once the thread has ended.
    WaitForSingleObject(extraction.Thread(), INFINITE);
    return extraction.Result();
}

CabinetProgress ProgressBarFeedback(HWND bar, ProgressThrottle& throttle) {
    CabinetProgress progress;
    progress.setRange = [bar, &throttle](int count) {
        if (bar == nullptr) return;
        int upper = count > 0xFFFF ? 0xFFFF : count;
        SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, upper));
        RECT client = {};
        GetClientRect(bar, &client);
        throttle.Reset(upper, client.right - client.left);
    };
    progress.setPosition = [bar, &throttle](int done) {
        if (bar != nullptr && throttle.ShouldSend(done)) SendMessageA(bar, PBM_SETPOS, WPARAM(done), 0);
    };
    return progress;
}

}  // namespace kq
