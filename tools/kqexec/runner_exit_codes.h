// The exit codes of kqexec.exe, the maintenance runner: how a removal or a
// maintenance run ended, for whoever started it.
#pragma once

namespace kq::runner {

enum ExitCode : int {
    kRemoved = 0,     // removed (or the modify note shown)
    kDeclined = 1,    // the user said No
    kBadCommand = 2,  // bad command line or product code
    kNoLog = 3,       // no uninstall log for the product
    kLeftBehind = 4   // something remains for a second attempt
};

}  // namespace kq::runner
