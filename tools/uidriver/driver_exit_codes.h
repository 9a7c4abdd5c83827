// The exit codes of uidriver.exe and of msgbox_probe.exe, for the harness
// that runs them.
#pragma once

namespace kq::uidriver {

enum ExitCode : int {
    kExitDone = 0,      // the command did what it was asked
    kExitNotFound = 1,  // the window or control was not found in time
    kExitUsage = 2      // bad usage
};

// msgbox_probe.exe ends with the id of the button that closed its box.
enum ProbeExitCode : int {
    kProbeOk = 1,            // IDOK
    kProbeCancel = 2,        // IDCANCEL
    kProbeBadArgument = 100  // an option it does not know
};

}  // namespace kq::uidriver
