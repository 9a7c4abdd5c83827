// The exit codes of setup.exe: how a run ended, for whoever started it
// unattended. The same table is shown by "setup.exe /?" and in the README.
#pragma once

namespace kq {

enum ExitCode : int {
    kExitInstalled = 0,     // the installation ran to its end (or a plan or preview ended)
    kExitCannotStart = 1,   // the package's scripts are missing, no working folder of its own, or no window
    kExitCancelled = 2,     // the user, or a condition of the package, cancelled
    kExitFailed = 3,        // any other failure, or the wizard ended without installing
    kExitRequirements = 4,  // the machine misses the product's system requirements
    kExitDamaged = 5,       // the package is damaged or was tampered with
    kExitFileFailed = 6,    // a file that must be installed could not be
    kExitRestartNeeded = 7, // installed; the product needs a restart that was not made
    kExitBadCommandLine = 8, // an unknown option, or a value the option refuses
    kExitAlreadyRunning = 9  // another run of the same product is under way
};

struct ExitCodeText {
    int code;
    const char* meaning;
};

// Every code with a line saying what it means, in code order.
inline constexpr ExitCodeText kExitCodeTable[] = {
    {kExitInstalled, "installed (or the plan was written)"},
    {kExitCannotStart, "could not start (scripts missing, no working folder, no window)"},
    {kExitCancelled, "cancelled by the user or by the package"},
    {kExitFailed, "failed otherwise (nothing or not all installed)"},
    {kExitRequirements, "system requirements or rights not met"},
    {kExitDamaged, "the package is damaged or tampered with"},
    {kExitFileFailed, "a file that must be installed could not be"},
    {kExitRestartNeeded, "installed; restart the computer to complete it"},
    {kExitBadCommandLine, "bad command line"},
    {kExitAlreadyRunning, "another setup of the product is running"},
};

}  // namespace kq
