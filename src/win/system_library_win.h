// Loading system DLLs at run time without ever searching the package folder.
//
// setup.exe runs from wherever the user downloaded it, and that folder may
// hold a DLL planted under a system DLL's name. A bare name given to
// LoadLibrary is looked up in the program's own folder first (unless the
// system protects the name as one of its known DLLs), so every run-time load
// goes through LoadSystemLibrary, and the import table names only DLLs that
// every supported Windows protects (tests/e2e/pe_imports.h keeps that list).
#pragma once
#include <windows.h>

namespace kq {

// `name` ("comctl32.dll") loaded from the system folder by its full path, or
// from the side-by-side assembly the program's manifest binds the name to
// (the common controls 6 on XP and later), which the loader resolves without
// looking at the program's folder. Null when it cannot be loaded; a name
// with a path in it is refused.
HMODULE LoadSystemLibrary(const char* name);

// `procedure` of the system DLL `library`, loaded once with
// LoadSystemLibrary and kept loaded; null when either is missing.
FARPROC SystemProcAddress(const char* library, const char* procedure);

// The same, typed: SystemProc<decltype(&::ImageList_Create)>("comctl32.dll", "ImageList_Create").
template <typename Function>
Function SystemProc(const char* library, const char* procedure) {
    return reinterpret_cast<Function>(SystemProcAddress(library, procedure));
}

}  // namespace kq
