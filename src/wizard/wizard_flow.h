// The wizard's decisions that need no window: where Next leads, whether
// Finish asks to restart, and how the run goes on after the installation.
#pragma once
#include "run/exit_codes.h"
#include "run/setup_run.h"

namespace kq {

// Next, once the index has moved and the entering actions have run.
enum class NextStep {
    kNone,            // the run was aborted meanwhile: nothing opens
    kSilentProgress,  // a silent run goes straight to the (hidden) progress page
    kFinish,          // past the last list page
    kListPage,        // the page at the new index
};
NextStep DecideNextStep(bool aborted, SilentMode silent, int index, int pageCount);
// The silent mode after that step: past the progress page once it opens.
SilentMode SilentAfterNext(SilentMode silent);

// After the installation has ended.
enum class AfterInstallStep {
    kCompleteCancel,  // a cancel confirmed while the worker ran is carried out
    kFinalPage,       // the run was aborted: the failure ending
    kFinish,          // a silent run ends without the remaining pages
    kNext,            // on to the page after the progress page
};
AfterInstallStep DecideAfterInstall(bool cancelPending, bool aborted, SilentMode silent);

// The process's exit code, for whoever started the run unattended
// (run/exit_codes.h).
int RunExitCode(bool installed, bool cancelled, bool aborted);
// The same with the cause of a failure and a restart that is due but was
// not made: a cancel by a condition counts as cancelled, an installation
// that needs a restart ends with kExitRestartNeeded.
int RunExitCode(bool installed, bool cancelled, bool aborted, RunFailure failure, bool restartPending);

// The code the process ends with: a restart that is due ends with the code
// "/RESTARTEXITCODE=" gives.
inline int ReportedExitCode(int code, const CommandRequests& requests) {
    return code == kExitRestartNeeded ? requests.restartExitCode : code;
}

// Finish asks to restart only after an installation that ran to its end.
inline bool OffersRestart(bool installed, bool aborted, bool restartWanted) {
    return installed && !aborted && restartWanted;
}

// Finish's restart, when OffersRestart says one is due: the question to a
// user who is there (a silent script's too), or only the exit code
// (kExitRestartNeeded) when nobody is, which never restarts by itself;
// nothing after a plan, which installed nothing.
enum class RestartStep { kNone, kAsk, kReport };
RestartStep DecideRestart(bool installed, bool aborted, bool restartWanted, Audience audience, bool plan);

// A confirmed cancel: while the user-interface thread waits for a worker it
// is only recorded (no file is pulled from under the worker).
enum class CancelStep { kDefer, kEndNow };
inline CancelStep DecideCancel(bool busy) { return busy ? CancelStep::kDefer : CancelStep::kEndNow; }

}  // namespace kq
