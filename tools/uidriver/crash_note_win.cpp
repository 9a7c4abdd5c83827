// crash_note.exe FILE PID EVENT: the debugger the end-to-end harness gives
// Wine for a program that crashes. It runs Wine's own debugger on the
// program without a window, its backtrace appended to FILE, and ends once
// that is written; the program then ends as well. Started as a console
// program by a program without a console, the debugger would open a
// console window, which Wine remembers in the registry.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (__argc != 4) return 2;
    SECURITY_ATTRIBUTES inherited = {sizeof(inherited), nullptr, TRUE};
    HANDLE out = ::CreateFileA(__argv[1], FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return 1;
    char system[MAX_PATH] = "";
    const UINT length = ::GetSystemDirectoryA(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 1;
    const std::string debugger = std::string(system) + "\\winedbg.exe";
    // The event is the crashed program's, inherited by this program and
    // passed on: the debugger signals it once attached.
    std::string command = "\"" + debugger + "\" --auto " + __argv[2] + " " + __argv[3];
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = out;
    startup.hStdError = out;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA(debugger.c_str(), &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                          &startup, &process))
        return 1;
    ::WaitForSingleObject(process.hProcess, INFINITE);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(out);
    return 0;
}
