#include "run/folders_win.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <vector>

#include "base/file_win.h"
#include "base/product.h"
#include "base/text.h"

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

std::string CreateWorkFolderNow(const std::string& tempFolder) {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return MakeNewFolderName(WorkFolderName(now.wHour, now.wMinute, now.wSecond), [&](const std::string& name) {
        if (::CreateDirectoryA((tempFolder + name).c_str(), nullptr)) return NewFolderResult::Created;
        // A file of that name is "taken" as well: CreateDirectory says
        // ERROR_ALREADY_EXISTS for both.
        return ::GetLastError() == ERROR_ALREADY_EXISTS ? NewFolderResult::Taken : NewFolderResult::Failed;
    });
}

std::string ReadCompanyName() {
    return ReadMachineString("Software\\Microsoft\\Windows NT\\CurrentVersion", "RegisteredOrganization");
}

bool HasDiskImage(const std::string& sourceFolder) {
    return DirectoryExists(EndWithBackslash(sourceFolder) + kDiskImageFolder);
}

}  // namespace kq
