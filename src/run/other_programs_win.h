// Starting the other programs a package asks for: the earlier version's
// maintenance runner, the author's file-action programs and libraries, and
// the merge-module programs with the system installer.
#pragma once
#include <string>

#include "base/registry_path.h"
#include "win/window_win.h"

namespace kq {

// Opens `program` with the shell when it begins with "http" (never waits).
// Otherwise starts it with `arguments` as its whole command line (none when
// empty), detached from any console, and, with `wait`, blocks until it has
// ended. A program that cannot be started is passed over.
void StartProgram(const std::string& program, const std::string& arguments, bool wait);

// Runs `program` (none: the first word of `commandLine`) with `commandLine`
// and waits for it, dispatching the window messages that arrive meanwhile:
// the page on screen keeps painting, and other programs asking it for its
// windows' texts get their answer instead of hanging.
void RunAndPump(const std::string& program, const std::string& commandLine, MessageFilter filter = nullptr);

// Calls `function` (__stdcall int(char*)) of the library at `path` with a
// 256-byte buffer holding `installFolder`. The library is loaded by its full
// path: a relative one is taken from `baseFolder` (the package folder),
// never searched for. A missing library or function is passed over.
void CallLibraryFunction(const std::string& path, const std::string& function, const std::string& installFolder,
                         const std::string& baseFolder);

// A string value of the registry; "" when missing.
std::string ReadRegistryString(RegistryRoot root, const std::string& key, const std::string& name);

}  // namespace kq
