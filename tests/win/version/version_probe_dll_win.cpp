// version_probe_<N>.dll: a library that does nothing, built once per version
// number its resource names, for the end-to-end tests of which packaged .dll
// replaces an installed one.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
