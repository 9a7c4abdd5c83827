#include "record/record_machine_win.h"

#include <windows.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "base/file.h"
#include "base/text.h"
#include "win/directories_win.h"
#include "win/family_calls_win.h"
#include "win/registry_win.h"
#include "win/service_control_win.h"
#include "win/system_library_win.h"

namespace kq {
namespace {

// How long regsvr32 is waited for.
constexpr DWORD kUnregisterWaitMs = 60000;
constexpr DWORD kIniBufferSize = 4096;
// A default no INI entry holds, to tell a missing entry from an empty one.
constexpr char kMissingEntry[] = "\x01\x02missing";

DWORD Attributes(const std::string& path) { return ::GetFileAttributesA(path.c_str()); }

std::string ThisProgram() {
    char buffer[MAX_PATH + 1] = "";
    DWORD length = ::GetModuleFileNameA(nullptr, buffer, sizeof(buffer));
    return length == 0 || length >= sizeof(buffer) ? std::string() : std::string(buffer, length);
}

// NtSetInformationFile, where the system has it (the NT family): a file
// read for its fingerprint is then deleted through the same handle, without
// a second look-up of its path.
using SetInformationFile = LONG(WINAPI*)(HANDLE, void* status, void* information, ULONG length, int kind);

// The running runner cannot delete its own file: it is deleted at the next
// start of the system. Moved first under a name of its own ("kqr", four hex
// digits, never taken for a copy setup keeps), so that a product installed
// before that start puts a new runner at the path, which the deletion then
// spares. Where the file cannot move (the 9x family), the path itself is
// named. True when the path is free, or will be.
bool DeleteAtNextStart(const std::string& path) {
    char aside[MAX_PATH] = "";
    if (::GetTempFileNameA(path.substr(0, path.find_last_of('\\') + 1).c_str(), "kqr", 0, aside) != 0) {
        if (FileCalls().MoveFileEx(path.c_str(), aside, MOVEFILE_REPLACE_EXISTING)) {
            FileCalls().MoveFileEx(aside, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
            return true;
        }
        ::DeleteFileA(aside);
    }
    return FileCalls().MoveFileEx(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

SetInformationFile DispositionSetter() {
    static const SetInformationFile set = SystemProc<SetInformationFile>("ntdll.dll", "NtSetInformationFile");
    return set;
}

bool DeleteThroughHandle(HANDLE file) {
    constexpr int kFileDispositionInformation = 13;
    struct {
        void* status;
        ULONG_PTR information;
    } io = {};
    BOOLEAN deleteFile = TRUE;
    const SetInformationFile set = DispositionSetter();
    return set != nullptr && set(file, &io, &deleteFile, sizeof(deleteFile), kFileDispositionInformation) >= 0;
}

// The file opened for reading; with `deletable` also so that it can be
// deleted through the handle, where the system can and the file allows it.
HANDLE OpenToRead(const std::string& path, bool deletable) {
    if (deletable && DispositionSetter() != nullptr) {
        HANDLE file =
            ::CreateFileA(path.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        const DWORD error = ::GetLastError();
        if (file != INVALID_HANDLE_VALUE || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return file;
    }
    return ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// False when no file is at `path`; else `fingerprint`, when asked for,
// gets the file's size only, which matches no recorded fingerprint: a file
// that cannot be read counts as changed.
bool SizeOnly(const std::string& path, FileFingerprint* fingerprint) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    if (fingerprint == nullptr) return true;
    *fingerprint = FileFingerprint();
    fingerprint->size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

// The file's fingerprint, in the kind and against the size `fingerprint`
// holds when it comes in; false when no file is there. With `keep`, a file
// read whole stays open there (see OpenToRead) instead of being closed.
// `buffer` is the caller's, kept from file to file: a fresh one for each of
// thousands of files costs the system more than reading them.
bool FingerprintOfFile(const std::string& path, FileFingerprint* fingerprint, HANDLE* keep, std::vector<char>& buffer) {
    if (fingerprint == nullptr) return SizeOnly(path, nullptr);
    // Opened first: the handle answers for the size, and a missing file
    // costs no more than a look at its attributes would.
    HANDLE file = OpenToRead(path, keep != nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
        return SizeOnly(path, fingerprint);
    }
    DWORD high = 0;
    const DWORD low = ::GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) {
        ::CloseHandle(file);
        return SizeOnly(path, fingerprint);
    }
    const HashKind kind = KindOfHash(fingerprint->hash);
    const bool recorded = !fingerprint->hash.empty();
    const uint64_t recordedSize = fingerprint->size;
    *fingerprint = FileFingerprint();
    fingerprint->size = (uint64_t(high) << 32) | low;
    // A size other than the recorded one already tells the file changed.
    if (recorded && fingerprint->size != recordedSize) {
        ::CloseHandle(file);
        return true;
    }
    // In pieces of at most 256 KB, as many bytes as the size says: a large
    // file never has to fit in memory, a small one is read in one call.
    FingerprintBuilder builder(kind);
    buffer.resize(std::max(buffer.size(), size_t(std::min<uint64_t>(fingerprint->size, 1 << 18))));
    uint64_t left = fingerprint->size;
    DWORD done = 0;
    while (left > 0 &&
           ::ReadFile(file, buffer.data(), DWORD(std::min<uint64_t>(left, buffer.size())), &done, nullptr) &&
           done > 0) {
        builder.Add(buffer.data(), done);
        left -= done;
    }
    // A file that is there but cannot be read whole has no fingerprint that
    // could match: it counts as changed.
    if (left == 0) *fingerprint = builder.Finish();
    if (keep != nullptr && left == 0) *keep = file;
    else ::CloseHandle(file);
    return true;
}

}  // namespace

// Fingerprints read by threads of their own, in the order foreseen, at
// most kLead files before the one the caller asks for. A file read whole
// stays open for the caller to delete through (OpenToRead).
class CWinRecordMachine::Ahead {
public:
    explicit Ahead(const std::vector<std::pair<std::string, FileFingerprint>>& files)
        : m_files(files), m_results(files.size()) {
        for (std::thread& reader : m_readers) reader = std::thread([this] { Work(); });
    }

    ~Ahead() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_room.notify_all();
        for (std::thread& reader : m_readers) reader.join();
        for (Result& result : m_results) Close(result);
    }

    // False when `path` was not foreseen with `recorded` or its turn has
    // passed: the caller reads it itself.
    bool Take(const std::string& path, const FileFingerprint& recorded, bool* exists, FileFingerprint* fingerprint,
              HANDLE* file) {
        // The caller asks in the foreseen order, passing over a path it has
        // already dealt with: the place is near the last one taken.
        std::unique_lock<std::mutex> lock(m_mutex);
        size_t i = m_asked;
        const size_t end = std::min(m_files.size(), m_asked + kLead);
        while (i < end && !(m_files[i].first == path && m_files[i].second == recorded)) ++i;
        if (i == end) return false;
        for (size_t passed = m_asked; passed < i; ++passed) Close(m_results[passed]);
        m_asked = i + 1;
        if (m_waitingReaders > 0 && m_next < m_asked + kLead / 2) m_room.notify_all();
        if (!m_results[i].ready) {
            // Woken once for a few files: every wake costs the system more
            // than reading a small file does.
            m_wantedTo = std::min(m_files.size(), i + kBatch);
            m_missing = 0;
            for (size_t j = i; j < m_wantedTo; ++j) m_missing += m_results[j].ready ? 0 : 1;
            m_done.wait(lock, [this] { return m_missing == 0; });
            m_wantedTo = 0;
        }
        *exists = m_results[i].exists;
        *fingerprint = std::move(m_results[i].fingerprint);
        *file = m_results[i].file;
        m_results[i].file = INVALID_HANDLE_VALUE;
        return true;
    }

private:
    static constexpr size_t kLead = 32;
    static constexpr size_t kBatch = 8;

    struct Result {
        bool ready = false;
        bool exists = false;
        FileFingerprint fingerprint;
        HANDLE file = INVALID_HANDLE_VALUE;
    };

    static void Close(Result& result) {
        if (result.file != INVALID_HANDLE_VALUE) ::CloseHandle(result.file);
        result.file = INVALID_HANDLE_VALUE;
    }

    void Work() {
        std::vector<char> buffer;
        for (;;) {
            size_t i = 0;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                // Once the lead is full, a reader waits until half of it is
                // taken: not woken for every file the caller takes.
                if (m_next >= m_asked + kLead) {
                    ++m_waitingReaders;
                    m_room.wait(lock,
                                [this] { return m_stop || m_next >= m_files.size() || m_next < m_asked + kLead / 2; });
                    --m_waitingReaders;
                }
                if (m_stop || m_next >= m_files.size()) return;
                i = m_next++;
                // Passed over by the caller: nobody waits for it.
                if (i + 1 < m_asked) continue;
            }
            Result result;
            result.fingerprint = m_files[i].second;
            result.exists = FingerprintOfFile(m_files[i].first, &result.fingerprint, &result.file, buffer);
            result.ready = true;
            std::lock_guard<std::mutex> lock(m_mutex);
            if (i + 1 < m_asked) Close(result);
            m_results[i] = std::move(result);
            // The caller waits for the files from its own to m_wantedTo.
            if (i + 1 >= m_asked && i < m_wantedTo && --m_missing == 0) m_done.notify_one();
        }
    }

    const std::vector<std::pair<std::string, FileFingerprint>> m_files;
    std::vector<Result> m_results;
    size_t m_next = 0;   // the next place a reader takes
    size_t m_asked = 0;  // one past the latest place taken
    bool m_stop = false;
    size_t m_waitingReaders = 0;
    size_t m_wantedTo = 0;  // while the caller waits: one past the last file it waits for
    size_t m_missing = 0;   // the files of those not read yet
    std::mutex m_mutex;
    std::condition_variable m_room;  // readers wait here for the caller to take
    std::condition_variable m_done;  // the caller waits here for readers
    // Two: the system's calls for one file wait on each other, two files'
    // do not.
    std::thread m_readers[2];
};

CWinRecordMachine::CWinRecordMachine() = default;

CWinRecordMachine::~CWinRecordMachine() {
    Release();
}

void CWinRecordMachine::Release() {
    if (m_held != INVALID_HANDLE_VALUE) ::CloseHandle(m_held);
    m_held = INVALID_HANDLE_VALUE;
    m_heldPath.clear();
}

bool CWinRecordMachine::Fingerprint(const std::string& path, FileFingerprint* fingerprint) {
    Release();
    bool exists = false;
    if (fingerprint != nullptr && m_ahead != nullptr &&
        m_ahead->Take(path, *fingerprint, &exists, fingerprint, &m_held)) {
        if (m_held != INVALID_HANDLE_VALUE) m_heldPath = path;
        return exists;
    }
    std::vector<char> buffer;
    exists = FingerprintOfFile(path, fingerprint, fingerprint != nullptr ? &m_held : nullptr, buffer);
    if (m_held != INVALID_HANDLE_VALUE) m_heldPath = path;
    return exists;
}

void CWinRecordMachine::Foresee(const std::vector<std::pair<std::string, FileFingerprint>>& files) {
    Release();
    m_ahead.reset();
    if (!files.empty()) m_ahead = std::make_unique<Ahead>(files);
}

bool CWinRecordMachine::IsRunningProgram(const std::string& path) {
    static const std::string self = ThisProgram();
    return EqualsIgnoreCase(path, self);
}

bool CWinRecordMachine::FolderExists(const std::string& path) {
    DWORD attributes = Attributes(WithoutTrailingBackslash(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CWinRecordMachine::RemoveFile(const std::string& path) {
    // The file just read for its fingerprint goes through its handle.
    const bool held = m_held != INVALID_HANDLE_VALUE && m_heldPath == path;
    const bool gone = held && DeleteThroughHandle(m_held);
    Release();
    if (gone) return true;
    // Nearly every file goes at the first try; only a refusal is looked into.
    if (::DeleteFileA(path.c_str())) return true;
    DWORD attributes = Attributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if ((attributes & FILE_ATTRIBUTE_READONLY) && ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL) &&
        ::DeleteFileA(path.c_str()))
        return true;
    if (IsRunningProgram(path)) return DeleteAtNextStart(path);
    return false;
}

std::string CWinRecordMachine::SetAside(const std::string& path,
                                        const std::function<void(const std::string&)>& naming) {
    const size_t cut = path.find_last_of('\\');
    if (cut == std::string::npos) return std::string();
    char copy[MAX_PATH] = "";
    if (::GetTempFileNameA(path.substr(0, cut + 1).c_str(), "kq", 0, copy) == 0) return std::string();
    naming(copy);
    if (::CopyFileA(path.c_str(), copy, FALSE)) return copy;
    ::DeleteFileA(copy);
    return std::string();
}

bool CWinRecordMachine::PutBack(const std::string& copy, const std::string& path) {
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return MoveReplacing(copy, path);
}

bool CWinRecordMachine::RemoveEmptyFolder(const std::string& path) {
    Release();
    if (!FolderExists(path)) return true;
    return ::RemoveDirectoryA(WithoutTrailingBackslash(path).c_str()) != 0;
}

bool CWinRecordMachine::DeleteFolderTree(const std::string& path) {
    Release();
    char windows[MAX_PATH + 1] = "";
    ::GetWindowsDirectoryA(windows, sizeof(windows));
    kq::DeleteFolderTree(WithoutTrailingBackslash(path), windows);
    return !FolderExists(path);
}

bool CWinRecordMachine::KeyExists(RegistryRoot root, const std::string& subKey) {
    return reg::KeyExists(RootKeyHandle(root), subKey.c_str());
}

bool CWinRecordMachine::DeleteEmptyKey(RegistryRoot root, const std::string& subKey) {
    if (!KeyExists(root, subKey)) return true;
    return reg::DeleteKeyIfEmpty(RootKeyHandle(root), subKey.c_str());
}

bool CWinRecordMachine::DeleteKeyTree(RegistryRoot root, const std::string& subKey) {
    return reg::DeleteKeyTree(RootKeyHandle(root), subKey.c_str());
}

ValueState CWinRecordMachine::ReadValue(RegistryRoot root, const std::string& subKey, const std::string& name) {
    ValueState state;
    CKey key;
    if (key.Open(RootKeyHandle(root), subKey.c_str(), KEY_QUERY_VALUE) != ERROR_SUCCESS) return state;
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return state;
    std::vector<BYTE> data(size + 1);
    if (::RegQueryValueExA(key, name.c_str(), nullptr, &type, data.data(), &size) != ERROR_SUCCESS) return state;
    state.present = true;
    state.type = type;
    state.data.assign(reinterpret_cast<const char*>(data.data()), size);
    return state;
}

bool CWinRecordMachine::WriteValue(RegistryRoot root, const std::string& subKey, const std::string& name,
                                   const ValueState& state) {
    CKey key;
    if (!state.present) {
        if (key.Open(RootKeyHandle(root), subKey.c_str(), KEY_SET_VALUE | KEY_QUERY_VALUE) != ERROR_SUCCESS)
            return true;
        LONG result = ::RegDeleteValueA(key, name.c_str());
        return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
    }
    if (key.Create(RootKeyHandle(root), subKey.c_str(), KEY_SET_VALUE) != ERROR_SUCCESS) return false;
    return ::RegSetValueExA(key, name.c_str(), 0, state.type, reinterpret_cast<const BYTE*>(state.data.data()),
                            static_cast<DWORD>(state.data.size())) == ERROR_SUCCESS;
}

bool CWinRecordMachine::ReadIni(const std::string& file, const std::string& section, const std::string& key,
                                std::string* value) {
    std::vector<char> buffer(kIniBufferSize);
    DWORD length = ::GetPrivateProfileStringA(section.c_str(), key.c_str(), kMissingEntry, buffer.data(),
                                              kIniBufferSize, file.c_str());
    value->assign(buffer.data(), length);
    return *value != kMissingEntry;
}

bool CWinRecordMachine::WriteIni(const std::string& file, const std::string& section, const std::string& key,
                                 const std::string* value) {
    if (value != nullptr)
        return ::WritePrivateProfileStringA(section.c_str(), key.c_str(), value->c_str(), file.c_str()) != 0;
    if (!::WritePrivateProfileStringA(section.c_str(), key.c_str(), nullptr, file.c_str())) return false;
    char probe[4] = "";
    if (::GetPrivateProfileSectionA(section.c_str(), probe, sizeof(probe), file.c_str()) == 0)
        ::WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, file.c_str());
    return true;
}

bool CWinRecordMachine::ServiceProgram(const std::string& name, std::string* program) {
    return QueryServiceCommandLine(name, program);
}

bool CWinRecordMachine::DeleteService(const std::string& name) {
    return StopAndDeleteService(name);
}

bool CWinRecordMachine::UnregisterServer(const std::string& path) {
    const std::string program = SystemProgramPath("regsvr32.exe");
    if (program.empty()) return false;
    std::string command = "\"" + program + "\" /u /s \"" + path + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return false;
    ::WaitForSingleObject(process.hProcess, kUnregisterWaitMs);
    DWORD code = 1;
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return code == 0;
}

}  // namespace kq
