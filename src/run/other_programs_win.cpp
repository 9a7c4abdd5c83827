#include "run/other_programs_win.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <vector>

#include "win/registry_win.h"
#include "win/system_library_win.h"

namespace kq {
namespace {

bool IsFullPath(const std::string& path) {
    if (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) return true;
    return path.size() >= 2 && path[0] == '\\' && path[1] == '\\';
}

// Null when the process could not be started.
HANDLE Launch(const char* application, const std::string& commandLine) {
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    // Our open files (the cabinet, the uninstall log) are not the child's
    // business: handles are not inherited, so none of them outlives setup
    // in a program that keeps running.
    if (!::CreateProcessA(application, commandLine.empty() ? nullptr : line.data(), nullptr, nullptr, FALSE,
                          DETACHED_PROCESS | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &process))
        return nullptr;
    ::CloseHandle(process.hThread);
    return process.hProcess;
}

}  // namespace

void StartProgram(const std::string& program, const std::string& arguments, bool wait) {
    if (program.compare(0, 4, "http") == 0) {
        ::ShellExecuteA(nullptr, "open", program.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        return;
    }
    HANDLE process = Launch(program.c_str(), arguments);
    if (process == nullptr) return;
    if (wait) ::WaitForSingleObject(process, INFINITE);
    ::CloseHandle(process);
}

void RunAndPump(const std::string& program, const std::string& commandLine, MessageFilter filter) {
    HANDLE process = Launch(program.empty() ? nullptr : program.c_str(), commandLine);
    if (process == nullptr) return;
    PumpWait(process, INFINITE, filter);
    ::CloseHandle(process);
}

void CallLibraryFunction(const std::string& path, const std::string& function, const std::string& installFolder,
                         const std::string& baseFolder) {
    const std::string full = IsFullPath(path) ? path : baseFolder + path;
    HMODULE library = LoadLibraryWithItsFolder(full);
    if (library == nullptr) return;
    using Entry = int(__stdcall*)(char*);
    Entry entry = reinterpret_cast<Entry>(::GetProcAddress(library, function.c_str()));
    if (entry != nullptr) {
        char buffer[256] = {};
        std::strncpy(buffer, installFolder.c_str(), sizeof(buffer) - 1);
        entry(buffer);
    }
    ::FreeLibrary(library);
}

std::string ReadRegistryString(RegistryRoot root, const std::string& key, const std::string& name) {
    HKEY handle = RootKeyHandle(root);
    if (handle == nullptr) return std::string();
    return reg::ReadString(handle, key.c_str(), name.c_str());
}

}  // namespace kq
