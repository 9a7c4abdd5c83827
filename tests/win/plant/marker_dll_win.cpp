// plant_marker.dll: stands in for a DLL someone dropped into a download
// folder. The end-to-end tests copy it under the names of system DLLs; when
// any process loads it, its start-up code leaves "<its own name, lower-case>.marker" in
// the folder named by KQ_PLANT_MARKERS, holding the paths of the DLL and of
// the program that loaded it. It exports nothing, so a program that binds it
// in its import table fails to start, which the tests see as well.
// Built as plant_marker.exe (KQ_PLANT_PROGRAM) it stands in the same way for
// a system program, and leaves its marker when started.
#include <windows.h>

namespace {

void LeaveMarker(HINSTANCE self) {
    char folder[MAX_PATH] = "";
    DWORD length = ::GetEnvironmentVariableA("KQ_PLANT_MARKERS", folder, sizeof(folder));
    if (length == 0 || length >= sizeof(folder)) return;

    char dll[MAX_PATH] = "";
    char program[MAX_PATH] = "";
    if (::GetModuleFileNameA(self, dll, sizeof(dll)) == 0) return;
    ::GetModuleFileNameA(nullptr, program, sizeof(program));
    char name[MAX_PATH];
    const char* base = dll;
    for (const char* p = dll; *p != '\0'; ++p)
        if (*p == '\\' || *p == '/') base = p + 1;
    ::lstrcpynA(name, base, sizeof(name));
    ::CharLowerA(name);  // one marker name however the loader spelled it

    char marker[2 * MAX_PATH];
    ::wsprintfA(marker, "%s\\%s.marker", folder, name);
    char text[2 * MAX_PATH + 4];
    int size = ::wsprintfA(text, "%s\r\n%s\r\n", dll, program);
    HANDLE file = ::CreateFileA(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(file, text, static_cast<DWORD>(size), &written, nullptr);
    ::CloseHandle(file);
}

}  // namespace

#ifdef KQ_PLANT_PROGRAM
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    LeaveMarker(nullptr);
    return 0;
}
#else
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) LeaveMarker(instance);
    return TRUE;
}
#endif
