// libmspack was built with 64-bit file offsets; its mspack_system callbacks
// take off_t, so this file must see the same off_t (checked at run time by
// MSPACK_SYS_SELFTEST). This has to come before any system header.
#define _FILE_OFFSET_BITS 64

#include "cabinet/cabinet_win.h"

#include <mspack.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/file.h"
#include "base/file_win.h"
#include "base/text.h"
#include "cabinet/cabinet_names_win.h"
#include "cabinet/cabinet_system_win.h"

namespace kq {
namespace {

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

// The cabinet's directory as the decoder read it, and what is kept of it:
// read-only once made, so every reader of the cabinet shares one, and the
// records of a cabinet of many files are held and read from the file once.
// The decoder's own record of each file (two blocks of the heap) is freed once
// read: a cabinet keeps one small entry per file and the stored names side by
// side, for as long as the install runs. A cabinet of many files keeps them
// in blocks on a scratch file, each reader holding the block it reads.
struct CCabinetReader::Directory : private NoCopy {
    static constexpr uint16_t kNoFolder = 0xFFFF;  // a cabinet holds fewer folders
    // Written to the scratch file as it is: the file is the process's own.
    struct Entry {
        uint32_t nameAt;  // where its stored name starts in its block's names, ended by '\0'
        uint32_t offset;  // in its folder's unpacked bytes
        uint32_t length;
        uint16_t folder;  // its cabinet folder, 0 for the first
        uint16_t attribs;
        uint16_t date;  // as the cabinet stores them: the fields packed in bits
        uint16_t time;
    };
    static constexpr size_t kBlockEntries = 256;
    // Fewer entries stay in memory: a scratch file costs calls.
    static constexpr size_t kSpillAbove = 4096;
    // A reader's own way through the entries: the block of the scratch file
    // it read last, and where its next look-up starts.
    struct View {
        size_t block = SIZE_MAX;
        std::vector<Entry> entries;
        std::string names;
        size_t next = 0;
    };

    ~Directory() {
        if (decoder == nullptr) return;
        if (cabinet != nullptr) decoder->close(decoder, cabinet);
        // Releasing the decoder cannot fail with this library.
        mspack_destroy_cab_decompressor(decoder);
    }
    int Read(const char* cabinetPath);
    size_t Count() const { return inMemoryFrom + entries.size(); }
    // Entry `entry` and its stored name, through `view`; until `view` reads
    // another block. An entry that cannot be read back is empty, its name
    // refused.
    std::pair<const Entry*, const char*> At(size_t entry, View& view) const;
    // The decoder's record of the entry, made afresh: what its extract reads
    // (folder, offset, length, the name for its messages) and what the file is
    // given (time, attributes). Its name lasts as long as the entry's.
    mscabd_file FileOf(size_t entry, View& view) const;
    // The entry written under `lowerName` last; Count() when none.
    size_t Find(const std::string& lowerName, View& view);

    // The decoder that read the directory and frees it; it extracts nothing.
    ExtractSystem system;
    // Every decoder opens the cabinet again by the name the directory keeps.
    std::string path;
    mscab_decompressor* decoder = nullptr;
    mscabd_cabinet* cabinet = nullptr;
    std::vector<mscabd_folder*> folders;  // the decoder's, in cabinet order
    std::vector<uint64_t> folderBytes;    // what each cabinet folder unpacks to

private:
    struct Spilled {
        long at;
        uint32_t namesLength;
    };
    void Keep(const mscabd_cabinet& read);
    void FreeFileRecords();
    // The entries in memory, a full block, to the scratch file; false when
    // they cannot go there.
    bool Spill();
    bool ReadBack(size_t block, View& view) const;
    // The name `entry` is written under, in lower case; empty when refused.
    std::string WrittenLower(size_t entry, View& view) const;
    // Whether no two entries are written under one name (by their hashes,
    // so a rare pair of names of one hash counts as one name).
    bool NamesDiffer();

    // The entries from inMemoryFrom on, and their names.
    std::vector<Entry> entries;
    std::string names;
    size_t inMemoryFrom = 0;
    ScratchFile spill;
    std::vector<Spilled> spilled;
    mutable std::mutex spillLock;
    // Under namesLock: whether NamesDiffer was asked (on the first look-up,
    // not while the first page waits), and its answer.
    bool namesChecked = false;
    bool namesDiffer = false;
    // Each written name's hash (lower case) beside its entry, by hash then
    // entry; made on the first look-up that needs it, under its lock.
    std::mutex namesLock;
    std::vector<std::pair<size_t, size_t>> byHash;
};

int CCabinetReader::Directory::Read(const char* cabinetPath) {
    InitDirectorySystem(&system);
    decoder = mspack_create_cab_decompressor(&system.sys);
    if (decoder == nullptr) return kCabinetNoDecoder;
    const int checked = CheckCabinetFile(cabinetPath);
    if (checked != kCabinetOk) return checked;
    path = cabinetPath;
    cabinet = decoder->open(decoder, path.c_str());
    if (cabinet == nullptr) {
        switch (decoder->last_error(decoder)) {
        case MSPACK_ERR_OPEN:
            return kCabinetCannotOpen;
        case MSPACK_ERR_SIGNATURE:
            return kCabinetNotCabinet;
        default:
            return kCabinetExtractFailed;
        }
    }
    Keep(*cabinet);
    FreeFileRecords();
    // A cabinet shorter than its header says is damaged.
    if (FileSizeOf(cabinetPath) < int64_t(cabinet->length)) return kCabinetExtractFailed;
    return kCabinetOk;
}

void CCabinetReader::Directory::Keep(const mscabd_cabinet& read) {
    std::unordered_map<const mscabd_folder*, uint16_t> indexOf;
    for (mscabd_folder* folder = read.folders; folder != nullptr; folder = folder->next) {
        indexOf.emplace(folder, uint16_t(folders.size()));
        folders.push_back(folder);
    }
    folderBytes.assign(folders.size(), 0);
    size_t count = 0;
    size_t text = 0;
    for (const mscabd_file* file = read.files; file != nullptr; file = file->next) {
        ++count;
        text += (file->filename != nullptr ? std::strlen(file->filename) : 0) + 1;
    }
    bool spilling = false;
    if (count > kSpillAbove) {
        char temp[MAX_PATH] = "";
        const DWORD length = GetTempPathA(MAX_PATH, temp);
        if (length > 0 && length < MAX_PATH) spill = OpenScratchFile(temp);
        spilling = spill != nullptr;
        if (spilling) {
            text = text / count * kBlockEntries * 2;
            count = kBlockEntries;
        }
    }
    entries.reserve(count);
    names.reserve(text);
    for (const mscabd_file* file = read.files; file != nullptr; file = file->next) {
        auto folder = indexOf.find(file->folder);
        Entry entry;
        entry.nameAt = uint32_t(names.size());
        entry.offset = file->offset;
        entry.length = file->length;
        entry.folder = folder == indexOf.end() ? kNoFolder : folder->second;
        entry.attribs = uint16_t(file->attribs);
        entry.date = uint16_t(((file->date_y - 1980) << 9) | (file->date_m << 5) | file->date_d);
        entry.time = uint16_t((file->time_h << 11) | (file->time_m << 5) | (file->time_s >> 1));
        // A name the decoder could not read is refused as an empty one is.
        if (file->filename != nullptr) names += file->filename;
        names += '\0';
        if (entry.folder != kNoFolder) folderBytes[entry.folder] += file->length;
        entries.push_back(entry);
        // Once a block cannot go there, it and the rest stay in memory.
        if (spilling && entries.size() == kBlockEntries) spilling = Spill();
    }
}

bool CCabinetReader::Directory::Spill() {
    const std::string_view kept(reinterpret_cast<const char*>(entries.data()), entries.size() * sizeof(Entry));
    long at = 0;
    if (!AppendBlock(spill.get(), kept, names, &at)) return false;
    spilled.push_back(Spilled{at, uint32_t(names.size())});
    inMemoryFrom += entries.size();
    entries.clear();
    names.clear();
    return true;
}

bool CCabinetReader::Directory::ReadBack(size_t block, View& view) const {
    view.block = SIZE_MAX;
    const Spilled& kept = spilled[block];
    view.entries.resize(kBlockEntries);
    view.names.resize(kept.namesLength);
    std::lock_guard<std::mutex> lock(spillLock);
    if (!ReadBlock(spill.get(), kept.at, view.entries.data(), kBlockEntries * sizeof(Entry), &view.names[0],
                   kept.namesLength))
        return false;
    view.block = block;
    return true;
}

std::pair<const CCabinetReader::Directory::Entry*, const char*> CCabinetReader::Directory::At(size_t entry,
                                                                                              View& view) const {
    if (entry >= inMemoryFrom) {
        const Entry& kept = entries[entry - inMemoryFrom];
        return {&kept, names.c_str() + kept.nameAt};
    }
    const size_t block = entry / kBlockEntries;
    if (view.block != block && !ReadBack(block, view)) {
        static const Entry unread = {0, 0, 0, kNoFolder, 0, 0, 0};
        return {&unread, ""};
    }
    const Entry& kept = view.entries[entry % kBlockEntries];
    return {&kept, view.names.c_str() + kept.nameAt};
}

// The records are freed through the system that allocated them, and the list
// left empty for close, which frees the rest (the folders extraction uses). A
// folder continued from another cabinet keeps its link to the file that
// continues it: extract only asks whether there is one, to refuse the folder.
void CCabinetReader::Directory::FreeFileRecords() {
    for (mscabd_file* file = cabinet->files; file != nullptr;) {
        mscabd_file* next = file->next;
        system.sys.free(file->filename);
        system.sys.free(file);
        file = next;
    }
    cabinet->files = nullptr;
}

mscabd_file CCabinetReader::Directory::FileOf(size_t entry, View& view) const {
    const auto [kept, name] = At(entry, view);
    mscabd_file file = {};
    // The decoder only reads the name, for messages.
    file.filename = const_cast<char*>(name);
    file.length = kept->length;
    file.attribs = kept->attribs;
    file.time_h = char(kept->time >> 11);
    file.time_m = char((kept->time >> 5) & 0x3F);
    file.time_s = char((kept->time & 0x1F) << 1);
    file.date_d = char(kept->date & 0x1F);
    file.date_m = char((kept->date >> 5) & 0xF);
    file.date_y = (kept->date >> 9) + 1980;
    file.folder = kept->folder != kNoFolder ? folders[kept->folder] : nullptr;
    file.offset = kept->offset;
    return file;
}

std::string CCabinetReader::Directory::WrittenLower(size_t entry, View& view) const {
    std::string written;
    if (!ExtractedName(FileOf(entry, view), &written)) return std::string();
    return AsciiLower(written);
}

bool CCabinetReader::Directory::NamesDiffer() {
    View view;
    std::vector<size_t> hashes;
    hashes.reserve(Count());
    for (size_t i = 0; i < Count(); ++i) {
        const std::string written = WrittenLower(i, view);
        if (!written.empty()) hashes.push_back(std::hash<std::string>()(written));
    }
    std::sort(hashes.begin(), hashes.end());
    return std::adjacent_find(hashes.begin(), hashes.end()) == hashes.end();
}

size_t CCabinetReader::Directory::Find(const std::string& lowerName, View& view) {
    const size_t count = Count();
    // Entries are mostly asked for in the order the cabinet holds them, so
    // the few after the one found last come first. That one is the answer
    // only when no other entry has its name.
    constexpr size_t kNearby = 64;
    bool nearbyServes = false;
    {
        std::lock_guard<std::mutex> lock(namesLock);
        if (!namesChecked) namesDiffer = NamesDiffer();
        namesChecked = true;
        nearbyServes = namesDiffer;
    }
    if (nearbyServes && count > 0) {
        for (size_t k = 0; k < kNearby && k < count; ++k) {
            const size_t i = (view.next + k) % count;
            if (WrittenLower(i, view) == lowerName) {
                view.next = i + 1;
                return i;
            }
        }
    }
    std::lock_guard<std::mutex> lock(namesLock);
    if (byHash.empty()) {
        byHash.reserve(count);
        for (size_t i = 0; i < count; ++i) {
            const std::string written = WrittenLower(i, view);
            if (!written.empty()) byHash.emplace_back(std::hash<std::string>()(written), i);
        }
        std::sort(byHash.begin(), byHash.end());
    }
    const size_t hash = std::hash<std::string>()(lowerName);
    auto first = std::lower_bound(byHash.begin(), byHash.end(), std::make_pair(hash, size_t(0)));
    auto last = std::upper_bound(first, byHash.end(), std::make_pair(hash, count));
    // The last entry of the name: from the highest of equal hashes down.
    for (auto candidate = last; candidate != first;) {
        --candidate;
        if (WrittenLower(candidate->second, view) == lowerName) {
            view.next = candidate->second + 1;
            return candidate->second;
        }
    }
    return count;
}

struct CCabinetReader::Impl {
    ~Impl() { Close(); }
    void Close() {
        // Releasing the decoder cannot fail with this library.
        if (decoder != nullptr) mspack_destroy_cab_decompressor(decoder);
        decoder = nullptr;
        directory.reset();
        view = Directory::View();
    }
    // This reader's own decoder and its state: readers of one directory
    // extract on threads of their own.
    int MakeDecoder() {
        InitSystem(&system);
        decoder = mspack_create_cab_decompressor(&system.sys);
        return decoder != nullptr ? kCabinetOk : kCabinetNoDecoder;
    }
    // Through the view, which one thread asks while another extracts: each
    // answer is a copy made under its lock.
    Directory::Entry EntryAt(size_t entry) {
        std::lock_guard<std::mutex> lock(viewLock);
        return *directory->At(entry, view).first;
    }
    std::string StoredName(size_t entry) {
        std::lock_guard<std::mutex> lock(viewLock);
        return directory->At(entry, view).second;
    }
    // The record's name is `name`, which must outlive it.
    mscabd_file FileOf(size_t entry, std::string& name) {
        std::lock_guard<std::mutex> lock(viewLock);
        mscabd_file file = directory->FileOf(entry, view);
        name = file.filename;
        file.filename = &name[0];
        return file;
    }
    size_t Find(const std::string& lowerName) {
        std::lock_guard<std::mutex> lock(viewLock);
        return directory->Find(lowerName, view);
    }

    ExtractSystem system;
    mscab_decompressor* decoder = nullptr;
    std::shared_ptr<Directory> directory;
    std::mutex viewLock;
    Directory::View view;
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

    auto directory = std::make_shared<Directory>();
    int result = directory->Read(cabinetPath);
    if (result == kCabinetOk) result = m_impl->MakeDecoder();
    if (result != kCabinetOk) {
        m_impl->Close();
        // Read so far and found cut short or damaged.
        if (result == kCabinetExtractFailed && directory->cabinet != nullptr)
            failure->cause = CabinetFailure::Cause::kDamaged;
        return failure->result = result;
    }
    m_impl->directory = std::move(directory);
    return failure->result = kCabinetOk;
}

int CCabinetReader::Share(const CCabinetReader& opened) {
    m_impl->Close();
    if (!opened.IsOpen()) return kCabinetCannotOpen;
    const int result = m_impl->MakeDecoder();
    if (result == kCabinetOk) m_impl->directory = opened.m_impl->directory;
    return result;
}

bool CCabinetReader::IsOpen() const {
    return m_impl->directory != nullptr;
}

size_t CCabinetReader::EntryCount() const {
    return IsOpen() ? m_impl->directory->Count() : 0;
}

std::string CCabinetReader::StoredName(size_t entry) const {
    return m_impl->StoredName(entry);
}

std::string CCabinetReader::WrittenName(size_t entry) const {
    std::string written;
    std::string name;
    if (!ExtractedName(m_impl->FileOf(entry, name), &written)) written.clear();
    return written;
}

size_t CCabinetReader::Find(const std::string& name) const {
    return IsOpen() ? m_impl->Find(AsciiLower(name)) : 0;
}

EntryResult CCabinetReader::Extract(size_t entry, const std::string& target, const EntryHooks& hooks) {
    if (!IsOpen() || entry >= EntryCount() || WrittenName(entry).empty()) return EntryResult::kNotFound;
    std::string name;
    mscabd_file file = m_impl->FileOf(entry, name);
    return ExtractEntry(m_impl->decoder, &m_impl->system, &file, target, hooks);
}

int CCabinetReader::FolderOf(size_t entry) const {
    const uint16_t folder = m_impl->EntryAt(entry).folder;
    return folder != Directory::kNoFolder ? int(folder) : -1;
}

int CCabinetReader::FolderCount() const {
    return IsOpen() ? int(m_impl->directory->folderBytes.size()) : 0;
}

uint64_t CCabinetReader::EntryBytes(size_t entry) const {
    return m_impl->EntryAt(entry).length;
}

uint64_t CCabinetReader::FolderBytes(int folder) const {
    return m_impl->directory->folderBytes[size_t(folder)];
}

EntryResult CCabinetReader::ExtractToMemory(size_t entry, std::string& bytes, const std::function<bool()>& stop) {
    if (!IsOpen() || entry >= EntryCount() || WrittenName(entry).empty()) return EntryResult::kNotFound;
    const size_t start = bytes.size();
    bytes.reserve(start + m_impl->EntryAt(entry).length);
    EntryHooks hooks;
    hooks.stop = stop;
    m_impl->system.sink = &bytes;
    std::string name;
    mscabd_file file = m_impl->FileOf(entry, name);
    const EntryResult result = ExtractEntry(m_impl->decoder, &m_impl->system, &file, std::string(), hooks);
    m_impl->system.sink = nullptr;
    if (result != EntryResult::kDone) bytes.resize(start);
    return result;
}

EntryResult CCabinetReader::WriteEntry(size_t entry, const char* bytes, size_t length, const std::string& target,
                                       const EntryHooks& hooks) {
    if (!IsOpen() || entry >= EntryCount()) return EntryResult::kNotFound;
    std::string name;
    return WriteEntryBytes(m_impl->FileOf(entry, name), bytes, length, target, hooks);
}

}  // namespace kq
