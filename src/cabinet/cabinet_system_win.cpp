// libmspack was built with 64-bit file offsets; its mspack_system callbacks
// take off_t, so this file must see the same off_t (checked at run time by
// MSPACK_SYS_SELFTEST). This has to come before any system header.
#define _FILE_OFFSET_BITS 64

#include "cabinet/cabinet_system_win.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace kq {
namespace {

// The cabinet is read through a buffer: the decoder reads its directory a
// few bytes at a time, going back after each name, and its data blocks
// each behind a header of eight bytes; a call to the system for each
// costs more than the reading.
constexpr DWORD kReadBuffer = 32u << 10;

struct ReadAhead {
    char* bytes;       // kReadBuffer bytes
    int64_t start;     // where in the file bytes[0] is
    DWORD length;      // valid bytes
    int64_t position;  // where the decoder reads next
    int64_t handleAt;  // where the handle stands
};

struct Win32File {
    mspack_file base;
    HANDLE handle;
    // For a file opened for reading; null for an output.
    ReadAhead* ahead;
    // An output kept in memory instead of a file (unpacking ahead).
    std::string* sink;
    // The system of an output file, whose hooks see what is written.
    ExtractSystem* output;
    bool stampOnClose;
    FILETIME stamp;
};

HANDLE HandleOf(mspack_file* file) { return reinterpret_cast<Win32File*>(file)->handle; }

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
    file->ahead = nullptr;
    if (mode == MSPACK_SYS_OPEN_READ) {
        file->ahead = static_cast<ReadAhead*>(std::malloc(sizeof(ReadAhead)));
        char* bytes = static_cast<char*>(std::malloc(kReadBuffer));
        if (file->ahead == nullptr || bytes == nullptr) {
            std::free(file->ahead);
            std::free(bytes);
            std::free(file);
            CloseHandle(handle);
            return nullptr;
        }
        *file->ahead = ReadAhead{bytes, 0, 0, 0, 0};
    }
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
    if (win->ahead != nullptr) std::free(win->ahead->bytes);
    std::free(win->ahead);
    std::free(file);
}

// Moves the handle to `offset`; false when the system refuses.
bool PlaceHandle(HANDLE handle, int64_t offset) {
    LONG high = LONG(offset >> 32);
    SetLastError(NO_ERROR);
    const DWORD low = SetFilePointer(handle, LONG(uint32_t(offset)), &high, FILE_BEGIN);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

// Reads at the handle's place, moving it on; -1 on a failure.
int64_t ReadAt(HANDLE handle, ReadAhead& ahead, int64_t offset, void* into, DWORD bytes) {
    if (ahead.handleAt != offset) {
        if (!PlaceHandle(handle, offset)) return -1;
        ahead.handleAt = offset;
    }
    DWORD done = 0;
    if (!ReadFile(handle, into, bytes, &done, nullptr)) return -1;
    ahead.handleAt += done;
    return done;
}

int SysRead(mspack_file* file, void* buffer, int bytes) {
    if (bytes < 0) return -1;
    Win32File* win = reinterpret_cast<Win32File*>(file);
    ReadAhead& ahead = *win->ahead;
    char* into = static_cast<char*>(buffer);
    int copied = 0;
    while (copied < bytes) {
        const int64_t inBuffer = ahead.position - ahead.start;
        if (inBuffer >= 0 && inBuffer < int64_t(ahead.length)) {
            const int64_t piece = std::min<int64_t>(bytes - copied, int64_t(ahead.length) - inBuffer);
            std::memcpy(into + copied, ahead.bytes + inBuffer, size_t(piece));
            copied += int(piece);
            ahead.position += piece;
            continue;
        }
        // A large read goes straight to the caller; a small one fills the
        // buffer first.
        if (DWORD(bytes - copied) >= kReadBuffer) {
            const int64_t done = ReadAt(win->handle, ahead, ahead.position, into + copied, DWORD(bytes - copied));
            if (done < 0) return -1;
            copied += int(done);
            ahead.position += done;
            break;
        }
        const int64_t done = ReadAt(win->handle, ahead, ahead.position, ahead.bytes, kReadBuffer);
        if (done < 0) return -1;
        ahead.start = ahead.position;
        ahead.length = DWORD(done);
        if (done == 0) break;  // the end of the file
    }
    return copied;
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
    ReadAhead* ahead = reinterpret_cast<Win32File*>(file)->ahead;
    if (ahead != nullptr) {
        int64_t base = 0;
        if (mode == MSPACK_SYS_SEEK_CUR) {
            base = ahead->position;
        } else if (mode == MSPACK_SYS_SEEK_END) {
            LARGE_INTEGER size;
            if (!GetFileSizeEx(HandleOf(file), &size)) return -1;
            base = size.QuadPart;
        } else if (mode != MSPACK_SYS_SEEK_START) {
            return -1;
        }
        const int64_t target = base + int64_t(offset);
        if (target < 0) return -1;
        ahead->position = target;
        return 0;
    }
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
    ReadAhead* ahead = reinterpret_cast<Win32File*>(file)->ahead;
    if (ahead != nullptr) return off_t(ahead->position);
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

// Memory of its own for reading directories: a cabinet of many files makes
// a record for each, freed once kept more compactly. Left in the heap every
// other allocation shares, their pages would stay with the process; here
// they come from chunks of the system's own, each given back when the last
// record in it is freed. The few records kept (the cabinet's, its folders')
// hold one or two chunks. A chunk is found from any address in it: the
// system places each on a multiple of its size.
constexpr size_t kChunkBytes = 64u << 10;
struct Chunk {
    size_t live;  // blocks in use
    size_t used;  // bytes from the chunk's start, this header included
};
std::mutex chunkLock;
Chunk* openChunk = nullptr;  // where the next small block goes

Chunk* NewChunk(size_t bytes) {
    void* memory = VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (memory == nullptr) return nullptr;
    Chunk* chunk = static_cast<Chunk*>(memory);
    chunk->live = 0;
    chunk->used = sizeof(Chunk);
    return chunk;
}

void* DirectoryAlloc(mspack_system*, size_t bytes) {
    bytes = (bytes + 7) & ~size_t(7);
    std::lock_guard<std::mutex> lock(chunkLock);
    Chunk* chunk = nullptr;
    if (bytes > kChunkBytes / 2) {
        // A large block has a chunk of its own.
        chunk = NewChunk(sizeof(Chunk) + bytes);
    } else {
        if (openChunk == nullptr || openChunk->used + bytes > kChunkBytes) openChunk = NewChunk(kChunkBytes);
        chunk = openChunk;
    }
    if (chunk == nullptr) return nullptr;
    void* block = reinterpret_cast<char*>(chunk) + chunk->used;
    chunk->used += bytes;
    ++chunk->live;
    return block;
}

void DirectoryFree(void* block) {
    if (block == nullptr) return;
    std::lock_guard<std::mutex> lock(chunkLock);
    Chunk* chunk = reinterpret_cast<Chunk*>(reinterpret_cast<uintptr_t>(block) & ~uintptr_t(kChunkBytes - 1));
    if (--chunk->live > 0) return;
    if (chunk == openChunk) openChunk = nullptr;
    VirtualFree(chunk, 0, MEM_RELEASE);
}

void SysCopy(void* src, void* dest, size_t bytes) { std::memcpy(dest, src, bytes); }

}  // namespace

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

void InitDirectorySystem(ExtractSystem* system) {
    InitSystem(system);
    system->sys.alloc = DirectoryAlloc;
    system->sys.free = DirectoryFree;
}

}  // namespace kq
