#include "wizard/wizard_flow.h"

namespace kq {

NextStep DecideNextStep(bool aborted, SilentMode silent, int index, int pageCount) {
    if (aborted) return NextStep::kNone;
    if (silent == SilentMode::kOn) return NextStep::kSilentProgress;
    if (index >= pageCount) return NextStep::kFinish;
    return NextStep::kListPage;
}

SilentMode SilentAfterNext(SilentMode silent) {
    return silent == SilentMode::kOn ? SilentMode::kAfterProgress : silent;
}

AfterInstallStep DecideAfterInstall(bool cancelPending, bool aborted, SilentMode silent) {
    if (cancelPending) return AfterInstallStep::kCompleteCancel;
    if (aborted) return AfterInstallStep::kFinalPage;
    if (silent == SilentMode::kAfterProgress) return AfterInstallStep::kFinish;
    return AfterInstallStep::kNext;
}

int RunExitCode(bool installed, bool cancelled, bool aborted) {
    if (cancelled) return kExitCancelled;
    if (aborted || !installed) return kExitFailed;
    return kExitInstalled;
}

RestartStep DecideRestart(bool installed, bool aborted, bool restartWanted, Audience audience, bool plan) {
    if (plan || !OffersRestart(installed, aborted, restartWanted)) return RestartStep::kNone;
    return audience.SeesWindows() ? RestartStep::kAsk : RestartStep::kReport;
}

int RunExitCode(bool installed, bool cancelled, bool aborted, RunFailure failure, bool restartPending) {
    if (cancelled || failure == RunFailure::kCancelled) return kExitCancelled;
    if (aborted || !installed) {
        switch (failure) {
        case RunFailure::kRequirements: return kExitRequirements;
        case RunFailure::kDamaged: return kExitDamaged;
        case RunFailure::kFiles: return kExitFileFailed;
        default: return kExitFailed;
        }
    }
    return restartPending ? kExitRestartNeeded : kExitInstalled;
}

}  // namespace kq
