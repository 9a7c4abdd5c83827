#include "run/folders_win.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <wincrypt.h>

#include <vector>

#include "base/file_win.h"
#include "base/product.h"
#include "base/text.h"
#include "win/directories_win.h"
#include "win/system_library_win.h"

namespace kq {
namespace {

// Runs a folder query that returns the length it wrote, or the size it needs
// when the buffer is too small, or 0 on failure.
template <typename Query>
std::string QueryText(Query query) {
    char buffer[150];
    DWORD length = query(buffer, static_cast<DWORD>(sizeof(buffer)));
    if (length == 0) return std::string();
    if (length < sizeof(buffer)) return std::string(buffer, length);
    std::vector<char> larger(length + 1, '\0');
    length = query(larger.data(), static_cast<DWORD>(larger.size()));
    if (length == 0 || length >= larger.size()) return std::string();
    return std::string(larger.data(), length);
}

// A string value under the local-machine root. The key is opened with full
// access on purpose: the result doubles as the probe of administrator rights.
std::string ReadMachineString(const char* keyPath, const char* valueName) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return std::string();

    std::vector<char> data(150, '\0');
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(data.size());
    LONG result = ::RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    if (result == ERROR_MORE_DATA) {
        data.assign(size + 1, '\0');
        size = static_cast<DWORD>(data.size());
        result = ::RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    }
    ::RegCloseKey(key);

    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::string();
    // The registry does not promise a terminating NUL; stop at the first one
    // or at the end of what was stored.
    if (size > data.size()) size = static_cast<DWORD>(data.size());
    std::string value(data.data(), size);
    size_t nul = value.find('\0');
    if (nul != std::string::npos) value.resize(nul);
    return value;
}

std::string ShellFolderPath(int id) {
    LPITEMIDLIST list = nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, id, &list)) || list == nullptr) return std::string();
    // The shell writes up to MAX_PATH characters whatever buffer it is given.
    char path[MAX_PATH] = "";
    std::string result;
    // Shell folders carry no trailing backslash; some systems return the
    // personal folder with one.
    if (::SHGetPathFromIDListA(list, path)) result = WithoutTrailingBackslash(path);
    ::CoTaskMemFree(list);
    return result;
}

std::string UserName() {
    char buffer[150];
    DWORD size = sizeof(buffer);
    if (::GetUserNameA(buffer, &size)) return buffer;
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return std::string();
    std::vector<char> larger(size + 1, '\0');
    size = static_cast<DWORD>(larger.size());
    if (!::GetUserNameA(larger.data(), &size)) return std::string();
    return larger.data();
}

// 64 bits nobody can foretell: the system's random numbers where it has
// them (Windows XP and later, or a crypto provider), else the clocks,
// counters and ids of the moment mixed together.
uint64_t UnguessableNumber() {
    uint64_t number = 0;
    using GenRandomFn = BOOLEAN(WINAPI*)(void*, ULONG);
    if (GenRandomFn generate = SystemProc<GenRandomFn>("advapi32.dll", "SystemFunction036"))
        if (generate(&number, sizeof(number))) return number;
    using AcquireFn = BOOL(WINAPI*)(HCRYPTPROV*, LPCSTR, LPCSTR, DWORD, DWORD);
    using GenerateFn = BOOL(WINAPI*)(HCRYPTPROV, DWORD, BYTE*);
    using ReleaseFn = BOOL(WINAPI*)(HCRYPTPROV, DWORD);
    AcquireFn acquire = SystemProc<AcquireFn>("advapi32.dll", "CryptAcquireContextA");
    GenerateFn generate = SystemProc<GenerateFn>("advapi32.dll", "CryptGenRandom");
    ReleaseFn release = SystemProc<ReleaseFn>("advapi32.dll", "CryptReleaseContext");
    HCRYPTPROV provider = 0;
    if (acquire && generate && release && acquire(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
        const bool made = generate(provider, sizeof(number), reinterpret_cast<BYTE*>(&number)) != 0;
        release(provider, 0);
        if (made) return number;
    }
    LARGE_INTEGER counter = {};
    ::QueryPerformanceCounter(&counter);
    FILETIME time = {};
    ::GetSystemTimeAsFileTime(&time);
    const uint64_t parts[] = {static_cast<uint64_t>(counter.QuadPart),
                              (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime,
                              ::GetTickCount(), ::GetCurrentProcessId(), ::GetCurrentThreadId(),
                              reinterpret_cast<uintptr_t>(&number)};
    for (uint64_t part : parts) {
        // One round of a 64-bit mixer per part, so every bit of each counts.
        number = (number ^ part) + 0x9e3779b97f4a7c15ull;
        number = (number ^ (number >> 30)) * 0xbf58476d1ce4e5b9ull;
        number = (number ^ (number >> 27)) * 0x94d049bb133111ebull;
        number ^= number >> 31;
    }
    return number;
}

}  // namespace

void DiscoverBaseFolders(FolderValues& out) {
    out.windows = QueryText([](char* buffer, DWORD size) { return static_cast<DWORD>(::GetWindowsDirectoryA(buffer, size)); });
    out.volume = VolumeOf(out.windows);
    out.temp = WithTrailingBackslash(QueryText([](char* buffer, DWORD size) { return ::GetTempPathA(size, buffer); }));
    out.source =
        WithTrailingBackslash(QueryText([](char* buffer, DWORD size) { return ::GetCurrentDirectoryA(size, buffer); }));
    out.system = WithTrailingBackslash(
        QueryText([](char* buffer, DWORD size) { return static_cast<DWORD>(::GetSystemDirectoryA(buffer, size)); }));
}

void DiscoverUserFolders(bool allUsers, FolderValues& out) {
    for (const ShellFolderRow& row : kShellFolders) out.*row.member = ShellFolderPath(ShellFolderId(row, allUsers));
    out.programFiles = ReadMachineString("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\", "ProgramFilesDir");
    out.commonFiles = ReadMachineString("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\", "CommonFilesDir");
    out.userName = UserName();
}

void PrepareThemeFolder(const std::string& sourceFolder, const std::string& themeFolder) {
    if (::GetFileAttributesA(themeFolder.c_str()) != INVALID_FILE_ATTRIBUTES) return;
    ::CreateDirectoryA(themeFolder.c_str(), nullptr);

    // Collect the names first: moving entries out of a folder while it is
    // being listed may make the listing skip some.
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((sourceFolder + "^!*.*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);

    for (const std::string& name : names)
        ::MoveFileA((sourceFolder + name).c_str(), ThemeTargetPath(themeFolder, name).c_str());
}

CWorkFolderSecurity::CWorkFolderSecurity() {
    if ((::GetVersion() & 0x80000000u) != 0) {
        m_ready = true;  // Windows 9x
        return;
    }
    m_ready = Build();
}

CWorkFolderSecurity::~CWorkFolderSecurity() {
    for (PSID sid : m_wellKnown)
        if (sid != nullptr && m_freeSid) m_freeSid(sid);
}

bool CWorkFolderSecurity::Build() {
    const char* advapi = "advapi32.dll";
    auto openToken = SystemProc<decltype(&::OpenProcessToken)>(advapi, "OpenProcessToken");
    auto tokenInformation = SystemProc<decltype(&::GetTokenInformation)>(advapi, "GetTokenInformation");
    auto allocateSid = SystemProc<decltype(&::AllocateAndInitializeSid)>(advapi, "AllocateAndInitializeSid");
    auto sidLength = SystemProc<decltype(&::GetLengthSid)>(advapi, "GetLengthSid");
    auto equalSid = SystemProc<decltype(&::EqualSid)>(advapi, "EqualSid");
    auto initializeAcl = SystemProc<decltype(&::InitializeAcl)>(advapi, "InitializeAcl");
    auto addAllowed = SystemProc<decltype(&::AddAccessAllowedAce)>(advapi, "AddAccessAllowedAce");
    auto getAce = SystemProc<decltype(&::GetAce)>(advapi, "GetAce");
    auto initializeDescriptor =
        SystemProc<decltype(&::InitializeSecurityDescriptor)>(advapi, "InitializeSecurityDescriptor");
    auto setDacl = SystemProc<decltype(&::SetSecurityDescriptorDacl)>(advapi, "SetSecurityDescriptorDacl");
    using SetControlFn = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, SECURITY_DESCRIPTOR_CONTROL,
                                       SECURITY_DESCRIPTOR_CONTROL);
    auto setControl = SystemProc<SetControlFn>(advapi, "SetSecurityDescriptorControl");
    m_freeSid = SystemProc<decltype(&::FreeSid)>(advapi, "FreeSid");
    if (!openToken || !tokenInformation || !allocateSid || !sidLength || !equalSid || !initializeAcl ||
        !addAllowed || !getAce || !initializeDescriptor || !setDacl || !m_freeSid)
        return false;

    HANDLE token = nullptr;
    if (!openToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    DWORD size = 0;
    tokenInformation(token, TokenUser, nullptr, 0, &size);
    m_user.assign(size, 0);
    const bool known = size != 0 && tokenInformation(token, TokenUser, m_user.data(), size, &size);
    ::CloseHandle(token);
    if (!known) return false;
    const PSID user = reinterpret_cast<TOKEN_USER*>(m_user.data())->User.Sid;

    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    if (!allocateSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &m_wellKnown[0]) ||
        !allocateSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                     &m_wellKnown[1]))
        return false;

    // Setup running as SYSTEM (or as the built-in group's owner) names
    // each principal once.
    std::vector<PSID> allowed = {user};
    for (PSID sid : m_wellKnown)
        if (!equalSid(sid, user)) allowed.push_back(sid);
    DWORD aclSize = sizeof(ACL);
    for (PSID sid : allowed) aclSize += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + sidLength(sid);
    m_acl.assign(aclSize, 0);
    PACL acl = reinterpret_cast<PACL>(m_acl.data());
    if (!initializeAcl(acl, aclSize, ACL_REVISION)) return false;
    for (DWORD i = 0; i < allowed.size(); ++i) {
        void* ace = nullptr;
        if (!addAllowed(acl, ACL_REVISION, FILE_ALL_ACCESS, allowed[i]) || !getAce(acl, i, &ace)) return false;
        // NT 4 has no call that adds an inheritable entry; its flags are
        // set in place.
        static_cast<ACE_HEADER*>(ace)->AceFlags = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    }
    if (!initializeDescriptor(&m_descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !setDacl(&m_descriptor, TRUE, acl, FALSE))
        return false;
    if (setControl && !setControl(&m_descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) return false;
    m_attributes.nLength = sizeof(m_attributes);
    m_attributes.lpSecurityDescriptor = &m_descriptor;
    m_attributes.bInheritHandle = FALSE;
    return true;
}


std::string CreateWorkFolderNow(const std::string& tempFolder) {
    CWorkFolderSecurity security;
    if (!security.Ready()) return std::string();
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    const std::string base = WorkFolderName(now.wHour, now.wMinute, now.wSecond, UnguessableNumber());
    return MakeNewFolderName(base, [&](const std::string& name) {
        // Never closed: the system closes it, and deletes the file, when
        // the process ends, so a folder without it is nobody's.
        const HANDLE lock = ::CreateFileA((tempFolder + WorkFolderLockName(name)).c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ, security.Attributes(), CREATE_NEW,
                                          FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (lock == INVALID_HANDLE_VALUE)
            return PathExists(tempFolder + WorkFolderLockName(name)) ? NewFolderResult::Taken : NewFolderResult::Failed;
        if (::CreateDirectoryA((tempFolder + name).c_str(), security.Attributes())) return NewFolderResult::Created;
        const DWORD error = ::GetLastError();
        ::CloseHandle(lock);
        // A file of that name is "taken" as well: CreateDirectory says
        // ERROR_ALREADY_EXISTS for both.
        return error == ERROR_ALREADY_EXISTS ? NewFolderResult::Taken : NewFolderResult::Failed;
    });
}

void RemoveAbandonedWorkFolders(const std::string& tempFolder) {
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((tempFolder + "kq*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    std::vector<std::string> abandoned;
    do {
        const std::string name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || !IsWorkFolderName(name)) continue;
        if (PathExists(tempFolder + KeptWorkFolderName(name))) continue;
        // A lock its run holds cannot be deleted; one left over (a system
        // that does not delete on close) or none at all: the run is gone.
        const std::string lock = tempFolder + WorkFolderLockName(name);
        if (!PathExists(lock) || ::DeleteFileA(lock.c_str())) abandoned.push_back(name);
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    for (const std::string& name : abandoned) DeleteFolderTree(tempFolder + name, tempFolder);
}

NewFolderResult CreateNewFile(const std::string& path) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        ::CloseHandle(file);
        return NewFolderResult::Created;
    }
    const DWORD error = ::GetLastError();
    // A folder of that name answers "access denied" rather than "exists".
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS || PathExists(path)) return NewFolderResult::Taken;
    return NewFolderResult::Failed;
}

std::string ReadCompanyName() {
    return ReadMachineString("Software\\Microsoft\\Windows NT\\CurrentVersion", "RegisteredOrganization");
}

bool HasDiskImage(const std::string& sourceFolder) {
    return DirectoryExists((sourceFolder.empty() ? sourceFolder : WithTrailingBackslash(sourceFolder)) +
                           kDiskImageFolder);
}

}  // namespace kq
