// action_probe.dll: the library of a DLL file action. Its ReceiveFolder
// (the calling convention setup uses) writes the text it was given into
// action_probe.txt beside the DLL and returns the text's length.
#include <windows.h>

namespace {
HINSTANCE g_self = nullptr;
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_self = self;
    return TRUE;
}

extern "C" __declspec(dllexport) int __stdcall ReceiveFolder(char* folder) {
    char path[MAX_PATH + 32] = "";
    DWORD length = ::GetModuleFileNameA(g_self, path, MAX_PATH);
    if (length == 0) return -1;
    char* slash = path;
    for (char* p = path; *p != '\0'; ++p)
        if (*p == '\\') slash = p + 1;
    ::lstrcpyA(slash, "action_probe.txt");
    HANDLE out = ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return -1;
    // The buffer is 256 bytes: the text ends at its NUL, or at the end.
    int size = 0;
    while (size < 256 && folder[size] != '\0') ++size;
    DWORD written = 0;
    ::WriteFile(out, folder, static_cast<DWORD>(size), &written, nullptr);
    ::CloseHandle(out);
    return size;
}
