#include "win/system_library_win.h"

#include <cstring>
#include <string>
#include <vector>

namespace kq {

namespace {

// `folder` as the system gives it, with a trailing backslash; empty when the
// query fails or the path does not fit.
template <typename Query>
std::string FolderFrom(Query query) {
    char buffer[MAX_PATH + 1] = "";
    UINT length = query(buffer, static_cast<UINT>(sizeof(buffer)));
    if (length == 0 || length >= sizeof(buffer)) return std::string();
    std::string folder(buffer, length);
    if (folder.back() != '\\') folder += '\\';
    return folder;
}

std::string SystemFolder() {
    return FolderFrom([](char* buffer, UINT size) { return ::GetSystemDirectoryA(buffer, size); });
}

bool SameTextPrefix(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && ::CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, text.c_str(),
                                                            static_cast<int>(prefix.size()), prefix.c_str(),
                                                            static_cast<int>(prefix.size())) == CSTR_EQUAL;
}

// The full path of `name` in the system's side-by-side store when the
// active activation context (the program's manifest) binds the name to an
// assembly there; empty otherwise. Windows before XP has no activation
// contexts, so the queries are looked up rather than imported.
std::string AssemblyPath(const char* name) {
    using FindSection = BOOL(WINAPI*)(DWORD, const GUID*, ULONG, LPCSTR, PACTCTX_SECTION_KEYED_DATA);
    using QueryContext = BOOL(WINAPI*)(DWORD, HANDLE, PVOID, ULONG, PVOID, SIZE_T, SIZE_T*);
    using ReleaseContext = void(WINAPI*)(HANDLE);
    HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    if (kernel == nullptr) return std::string();
    auto find = reinterpret_cast<FindSection>(::GetProcAddress(kernel, "FindActCtxSectionStringA"));
    auto query = reinterpret_cast<QueryContext>(::GetProcAddress(kernel, "QueryActCtxW"));
    auto release = reinterpret_cast<ReleaseContext>(::GetProcAddress(kernel, "ReleaseActCtx"));
    if (find == nullptr || query == nullptr || release == nullptr) return std::string();

    ACTCTX_SECTION_KEYED_DATA data;
    std::memset(&data, 0, sizeof(data));
    data.cbSize = sizeof(data);
    if (!find(FIND_ACTCTX_SECTION_KEY_RETURN_HACTCTX, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, name, &data))
        return std::string();
    DWORD index = data.ulAssemblyRosterIndex;
    SIZE_T needed = 0;
    query(0, data.hActCtx, &index, AssemblyDetailedInformationInActivationContext, nullptr, 0, &needed);
    std::vector<char> buffer(needed > sizeof(ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION)
                                 ? needed
                                 : sizeof(ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION));
    bool known = query(0, data.hActCtx, &index, AssemblyDetailedInformationInActivationContext, buffer.data(),
                       buffer.size(), &needed) != FALSE;
    std::string directory;
    if (known) {
        const auto* info = reinterpret_cast<const ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(buffer.data());
        int wide = static_cast<int>(info->ulAssemblyDirectoryNameLength / sizeof(WCHAR));
        if (info->lpAssemblyDirectoryName != nullptr && wide > 0) {
            char narrow[MAX_PATH] = "";
            int length = ::WideCharToMultiByte(CP_ACP, 0, info->lpAssemblyDirectoryName, wide, narrow,
                                               sizeof(narrow) - 1, nullptr, nullptr);
            directory.assign(narrow, length > 0 ? length : 0);
        }
    }
    release(data.hActCtx);

    // The store names an assembly by its folder below <Windows>\WinSxS. A
    // private assembly (a folder beside the program) is not trusted: it is
    // exactly what someone with write access to that folder could supply.
    if (directory.empty() || directory.find_first_of("\\/:") != std::string::npos) return std::string();
    std::string windows = FolderFrom([](char* buffer, UINT size) { return ::GetWindowsDirectoryA(buffer, size); });
    if (windows.empty()) return std::string();
    std::string path = windows + "WinSxS\\" + directory + "\\" + name;
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::string();
    return SameTextPrefix(path, windows) ? path : std::string();
}

}  // namespace

std::string SystemLibraryPath(const char* name) {
    if (name == nullptr || *name == '\0' || std::strpbrk(name, "\\/:") != nullptr) return std::string();
    // A name the manifest binds to an assembly (the common controls 6) comes
    // from that assembly's folder: the copy in the system folder is the
    // older one kept for programs without a manifest.
    std::string path = AssemblyPath(name);
    if (!path.empty()) return path;
    std::string folder = SystemFolder();
    return folder.empty() ? std::string() : folder + name;
}

std::string SystemProgramPath(const char* name) {
    if (name == nullptr || *name == '\0' || std::strpbrk(name, "\\/:") != nullptr) return std::string();
    std::string folder = SystemFolder();
    return folder.empty() ? std::string() : folder + name;
}

HMODULE LoadSystemLibrary(const char* name) {
    std::string path = SystemLibraryPath(name);
    return path.empty() ? nullptr : ::LoadLibraryA(path.c_str());
}

namespace {

using SetDirectories = BOOL(WINAPI*)(DWORD);

// Looked up: Windows 8 has it, Vista and 7 with an update, nothing older.
// The same update teaches LoadLibraryEx the LOAD_LIBRARY_SEARCH_* flags.
SetDirectories SetDefaultDllDirectoriesProc() {
    HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    return kernel == nullptr ? nullptr
                             : reinterpret_cast<SetDirectories>(::GetProcAddress(kernel, "SetDefaultDllDirectories"));
}

}  // namespace

HMODULE LoadLibraryWithItsFolder(const std::string& fullPath) {
    if (SetDefaultDllDirectoriesProc() != nullptr)
        return ::LoadLibraryExA(fullPath.c_str(), nullptr,
                                LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    return ::LoadLibraryExA(fullPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void RestrictDllSearchToSystemFolder() {
    SetDirectories setDirectories = SetDefaultDllDirectoriesProc();
    if (setDirectories != nullptr && setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
    // The visual-styles library, which the common controls 6 (and user32
    // with a theme) load by name; missing before XP, where nothing asks.
    static const char* const kLoadedByName[] = {"uxtheme.dll"};
    for (const char* name : kLoadedByName) LoadSystemLibrary(name);
}

FARPROC SystemProcAddress(const char* library, const char* procedure) {
    HMODULE module = LoadSystemLibrary(library);
    if (module == nullptr) return nullptr;
    // The reference is kept: the address is used for the rest of the run.
    return ::GetProcAddress(module, procedure);
}

}  // namespace kq
