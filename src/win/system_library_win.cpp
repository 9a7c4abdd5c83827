#include "win/system_library_win.h"

#include <cstring>
#include <string>

namespace kq {

namespace {

std::string SystemFolder() {
    char buffer[MAX_PATH + 1] = "";
    UINT length = ::GetSystemDirectoryA(buffer, sizeof(buffer));
    if (length == 0 || length >= sizeof(buffer)) return std::string();
    std::string folder(buffer, length);
    if (folder.back() != '\\') folder += '\\';
    return folder;
}

// True when the process's activation context (from the manifest) redirects
// `name` to an assembly. Windows before XP has no activation contexts, so
// the query is looked up rather than imported.
bool RedirectedByManifest(const char* name) {
    using FindSection = BOOL(WINAPI*)(DWORD, const GUID*, ULONG, LPCSTR, PACTCTX_SECTION_KEYED_DATA);
    HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    if (kernel == nullptr) return false;
    auto find = reinterpret_cast<FindSection>(::GetProcAddress(kernel, "FindActCtxSectionStringA"));
    if (find == nullptr) return false;
    ACTCTX_SECTION_KEYED_DATA data;
    std::memset(&data, 0, sizeof(data));
    data.cbSize = sizeof(data);
    return find(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, name, &data) != FALSE;
}

}  // namespace

HMODULE LoadSystemLibrary(const char* name) {
    if (name == nullptr || *name == '\0' || std::strpbrk(name, "\\/:") != nullptr) return nullptr;
    // A name the manifest binds to an assembly is found there by the loader
    // before any folder is searched; loading it by the system folder's path
    // would instead give the older copy kept there for other programs.
    if (RedirectedByManifest(name)) return ::LoadLibraryA(name);
    std::string folder = SystemFolder();
    if (folder.empty()) return nullptr;
    return ::LoadLibraryA((folder + name).c_str());
}

FARPROC SystemProcAddress(const char* library, const char* procedure) {
    HMODULE module = LoadSystemLibrary(library);
    if (module == nullptr) return nullptr;
    // The reference is kept: the address is used for the rest of the run.
    return ::GetProcAddress(module, procedure);
}

}  // namespace kq
