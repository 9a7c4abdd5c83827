// The exit codes of kqexec.exe, the maintenance runner: how a removal or a
// maintenance run ended, for whoever started it.
#pragma once

namespace kq::runner {

enum ExitCode : int {
    kRemoved = 0,     // removed (or the modify note shown)
    kDeclined = 1,    // the user said No
    kBadCommand = 2,  // bad command line or product code
    kNoLog = 3,       // no uninstall log for the product
    kLeftBehind = 4,  // something remains for a second attempt
    // An interrupted setup run was rolled back first, and then the product
    // was removed or had no uninstall log left (codes 1, 2 and 4 win)
    kRolledBack = 5
};

// The outcome an exit code stands for, as the log's last line names it.
inline const char* OutcomeName(int code, bool plan) {
    switch (code) {
    case kRemoved:
        return plan ? "planned" : "removed";
    case kDeclined:
        return "declined";
    case kBadCommand:
        return "bad command line";
    case kNoLog:
        return "no uninstall log";
    case kLeftBehind:
        return "left behind";
    case kRolledBack:
        return "rolled back";
    }
    return "unknown";
}

}  // namespace kq::runner
