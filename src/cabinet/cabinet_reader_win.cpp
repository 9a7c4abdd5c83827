// libmspack was built with 64-bit file offsets; its mspack_system callbacks
// take off_t, so this file must see the same off_t (checked at run time by
// MSPACK_SYS_SELFTEST). This has to come before any system header.
#define _FILE_OFFSET_BITS 64

#include "cabinet/cabinet_win.h"

#include <mspack.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

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

struct CCabinetReader::Impl {
    struct Entry {
        mscabd_file* file;
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
        const Impl::Entry entry{file, folder == folders.end() ? -1 : folder->second};
        if (entry.folder >= 0) m_impl->folderBytes[size_t(entry.folder)] += file->length;
        m_impl->entries.push_back(entry);
    }
    return failure->result = kCabinetOk;
}

bool CCabinetReader::IsOpen() const { return m_impl->cabinet != nullptr; }

size_t CCabinetReader::EntryCount() const { return m_impl->entries.size(); }

std::string CCabinetReader::StoredName(size_t entry) const {
    const char* stored = m_impl->entries[entry].file->filename;
    return stored != nullptr ? stored : "";
}

std::string CCabinetReader::WrittenName(size_t entry) const {
    std::string written;
    if (!ExtractedName(*m_impl->entries[entry].file, &written)) written.clear();
    return written;
}

size_t CCabinetReader::Find(const std::string& name) const {
    if (m_impl->byName.empty()) {
        for (size_t i = 0; i < m_impl->entries.size(); ++i) {
            const std::string written = WrittenName(i);
            if (!written.empty()) m_impl->byName[AsciiLower(written)] = i;
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

uint64_t CCabinetReader::EntryBytes(size_t entry) const {
    return m_impl->entries[entry].file->length;
}

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

}  // namespace kq
