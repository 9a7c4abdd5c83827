// Cabinet extraction under Wine: the installer's own extraction
// (kq::ExtractCabinetFile, without progress callbacks) against the smallest
// extraction loop one can write on the same decoder: libmspack's cabinet
// decompressor over Win32 handles, every file written under its stored leaf
// name, its date and time set on the still open handle, and read-only,
// hidden or system attributes set only when the cabinet stores them.
//
// usage: bench_extract --mode ours|startup|minimal --cab FILE --out FOLDER [--runs N] [--keep]
//
// "startup" is the extraction as setup.exe runs it at start-up: on its own
// thread while this thread pumps messages, the progress reaching a (hidden)
// progress bar of this thread by sent messages.
//
// Each run extracts into a fresh subfolder of FOLDER (FOLDER\run<N>) and
// removes it afterwards (unless --keep); only the extraction is timed.
// Prints one line per run and a last line "min <seconds> files <count>".
#define _FILE_OFFSET_BITS 64  // libmspack's off_t, as in the installer

#include <windows.h>

#include <mspack.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <commctrl.h>

#include "cabinet/cabinet_win.h"
#include "win/window_win.h"

namespace {

// ---------------------------------------------------------------- minimal loop

struct HandleFile {
    mspack_file base;
    HANDLE handle;
    bool output;
};

struct MinimalSystem {
    mspack_system sys;
    const mscabd_file* current;  // the file being extracted, for its time
};

HANDLE HandleOf(mspack_file* file) { return reinterpret_cast<HandleFile*>(file)->handle; }

mspack_file* MinOpen(mspack_system*, const char* name, int mode) {
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (mode == MSPACK_SYS_OPEN_READ) {
        handle = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    } else if (mode == MSPACK_SYS_OPEN_WRITE) {
        handle = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    HandleFile* file = static_cast<HandleFile*>(std::malloc(sizeof(HandleFile)));
    if (file == nullptr) {
        CloseHandle(handle);
        return nullptr;
    }
    file->handle = handle;
    file->output = mode == MSPACK_SYS_OPEN_WRITE;
    return &file->base;
}

MinimalSystem* g_minimal = nullptr;

void MinClose(mspack_file* file) {
    if (file == nullptr) return;
    HandleFile* f = reinterpret_cast<HandleFile*>(file);
    if (f->output && g_minimal != nullptr && g_minimal->current != nullptr) {
        const mscabd_file* c = g_minimal->current;
        SYSTEMTIME stored = {};
        stored.wYear = WORD(c->date_y);
        stored.wMonth = WORD(c->date_m);
        stored.wDay = WORD(c->date_d);
        stored.wHour = WORD(c->time_h);
        stored.wMinute = WORD(c->time_m);
        stored.wSecond = WORD(c->time_s);
        FILETIME local, system;
        if (SystemTimeToFileTime(&stored, &local) && LocalFileTimeToFileTime(&local, &system))
            SetFileTime(f->handle, &system, nullptr, &system);
    }
    CloseHandle(f->handle);
    std::free(f);
}

int MinRead(mspack_file* file, void* buffer, int bytes) {
    DWORD done = 0;
    return ReadFile(HandleOf(file), buffer, DWORD(bytes), &done, nullptr) ? int(done) : -1;
}

int MinWrite(mspack_file* file, void* buffer, int bytes) {
    DWORD done = 0;
    return WriteFile(HandleOf(file), buffer, DWORD(bytes), &done, nullptr) ? int(done) : -1;
}

int MinSeek(mspack_file* file, off_t offset, int mode) {
    static const DWORD kMethod[] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
    if (mode < 0 || mode > 2) return -1;
    LARGE_INTEGER to;
    to.QuadPart = offset;
    return SetFilePointerEx(HandleOf(file), to, nullptr, kMethod[mode]) ? 0 : -1;
}

off_t MinTell(mspack_file* file) {
    LARGE_INTEGER zero = {}, at = {};
    return SetFilePointerEx(HandleOf(file), zero, &at, FILE_CURRENT) ? off_t(at.QuadPart) : off_t(-1);
}

void MinMessage(mspack_file*, const char*, ...) {}
void* MinAlloc(mspack_system*, size_t bytes) { return std::malloc(bytes); }
void MinFree(void* p) { std::free(p); }
void MinCopy(void* src, void* dest, size_t bytes) { std::memcpy(dest, src, bytes); }

int ExtractMinimal(const std::string& cab, const std::string& folder, int* files) {
    MinimalSystem system = {};
    system.sys = {MinOpen, MinClose, MinRead, MinWrite, MinSeek, MinTell, MinMessage, MinAlloc, MinFree, MinCopy,
                  nullptr};
    g_minimal = &system;
    mscab_decompressor* decoder = mspack_create_cab_decompressor(&system.sys);
    if (decoder == nullptr) return 1;
    int result = 0;
    mscabd_cabinet* cabinet = decoder->open(decoder, cab.c_str());
    if (cabinet == nullptr) {
        result = 2;
    } else {
        for (mscabd_file* file = cabinet->files; file != nullptr; file = file->next) {
            const char* name = file->filename;
            const char* cut = std::strrchr(name, '\\');
            std::string target = folder + (cut != nullptr ? cut + 1 : name);
            system.current = file;
            if (decoder->extract(decoder, file, target.c_str()) != MSPACK_ERR_OK) {
                result = 4;
                break;
            }
            DWORD special = DWORD(file->attribs) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                    FILE_ATTRIBUTE_SYSTEM);
            if (special != 0) SetFileAttributesA(target.c_str(), special | FILE_ATTRIBUTE_ARCHIVE);
            ++*files;
        }
        decoder->close(decoder, cabinet);
    }
    mspack_destroy_cab_decompressor(decoder);
    g_minimal = nullptr;
    return result;
}

// ---------------------------------------------------------------- helpers

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}

int CountFiles(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int count = 0;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++count;
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return count;
}

void RemoveFolder(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            std::string path = folder + found.cFileName;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path.c_str());
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    RemoveDirectoryA(folder.c_str());
}

// As the start-up sequence does it: a thread for the extraction, this
// thread pumping messages, the progress sent to a progress bar here.
int ExtractAsStartup(const std::string& cab, const std::string& folder) {
    InitCommonControls();
    HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_POPUP, 0, 0, 200, 20, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    kq::ProgressThrottle throttle;
    kq::CabinetProgress progress = kq::ProgressBarFeedback(bar, throttle);
    // The cabinet folder is what ExtractCabinet takes: the file is file1.cab in it.
    std::string source = cab.substr(0, cab.find_last_of('\\') + 1);
    int result = kq::ExtractCabinetOnThread(source.c_str(), folder.c_str(), progress,
                                            [](HANDLE thread) { kq::PumpWait(thread); });
    if (bar != nullptr) DestroyWindow(bar);
    return result;
}

int Usage() {
    std::fprintf(stderr, "usage: bench_extract --mode ours|startup|minimal --cab FILE --out FOLDER [--runs N] [--keep]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string mode, cab, out;
    int runs = 1;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = nullptr;
        if (std::strcmp(argv[i], "--mode") == 0 && (v = value()) != nullptr) {
            mode = v;
        } else if (std::strcmp(argv[i], "--cab") == 0 && (v = value()) != nullptr) {
            cab = v;
        } else if (std::strcmp(argv[i], "--out") == 0 && (v = value()) != nullptr) {
            out = v;
        } else if (std::strcmp(argv[i], "--runs") == 0 && (v = value()) != nullptr) {
            runs = std::atoi(v);
        } else if (std::strcmp(argv[i], "--keep") == 0) {
            keep = true;
        } else {
            return Usage();
        }
    }
    if ((mode != "ours" && mode != "startup" && mode != "minimal") || cab.empty() || out.empty() || runs <= 0) return Usage();
    if (out.back() != '\\') out += '\\';
    CreateDirectoryA(out.c_str(), nullptr);

    std::vector<double> times;
    int files = 0;
    for (int run = 0; run < runs; ++run) {
        std::string folder = out + "run" + std::to_string(run) + "\\";
        RemoveFolder(folder);
        if (!CreateDirectoryA(folder.c_str(), nullptr)) {
            std::fprintf(stderr, "bench_extract: cannot create %s\n", folder.c_str());
            return 1;
        }
        int result = 0;
        int counted = 0;
        double start = Now();
        if (mode == "ours") {
            result = kq::ExtractCabinetFile(cab.c_str(), folder.c_str(), kq::CabinetProgress());
        } else if (mode == "startup") {
            result = ExtractAsStartup(cab, folder);
        } else {
            result = ExtractMinimal(cab, folder, &counted);
        }
        double took = Now() - start;
        files = CountFiles(folder);
        if (result != 0) {
            std::fprintf(stderr, "bench_extract: %s extraction failed with %d\n", mode.c_str(), result);
            return 1;
        }
        times.push_back(took);
        std::printf("run %d %.4f s %d files\n", run, took, files);
        if (!keep) RemoveFolder(folder);
    }
    std::printf("min %.4f files %d\n", *std::min_element(times.begin(), times.end()), files);
    return 0;
}
