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

#include <string>

namespace kq {

// `name` ("comctl32.dll") loaded by its full path: from the folder of the
// system's side-by-side assembly the program's manifest binds the name to
// (the common controls 6 on XP and later), else from the system folder.
// Null when it cannot be loaded; a name with a path in it is refused.
HMODULE LoadSystemLibrary(const char* name);

// The full path LoadSystemLibrary loads `name` from; empty when it refuses
// the name.
std::string SystemLibraryPath(const char* name);

// The full path of the system's program `name` ("regsvr32.exe") in the
// system folder: started by bare name, a program of that name beside setup
// (in the download folder) or in the current folder would run instead.
// Empty for a name with a path in it or when the folder is unknown.
std::string SystemProgramPath(const char* name);

// `procedure` of the system DLL `library`, loaded once with
// LoadSystemLibrary and kept loaded; null when either is missing.
FARPROC SystemProcAddress(const char* library, const char* procedure);

// Called first thing in a program's entry point, before anything else can
// load a DLL: from now on a DLL that is loaded by bare name, whether by the
// program or by a system DLL on its behalf (the common controls load the
// visual-styles library so), is looked for in the system folder only. Where
// the system lacks that setting (before Windows 8 without its update), the
// system DLLs that other system DLLs are known to load by bare name are
// loaded now by full path, so a later load by name finds them loaded.
void RestrictDllSearchToSystemFolder();

// A library of the package's (a file action's DLL), by its full path, with
// its own imports looked for in its folder and then in the system folder.
// Where the search is restricted, the old "altered search path" flag may no
// longer reach the library's folder, so the newer flags say it outright.
HMODULE LoadLibraryWithItsFolder(const std::string& fullPath);

// The same, typed: SystemProc<decltype(&::ImageList_Create)>("comctl32.dll", "ImageList_Create").
template <typename Function>
Function SystemProc(const char* library, const char* procedure) {
    return reinterpret_cast<Function>(SystemProcAddress(library, procedure));
}

}  // namespace kq
