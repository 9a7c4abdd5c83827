// Extracting the package's cabinet into the working folder.
//
// Every file of the cabinet is written into the working folder under the
// last component of its stored name (after the last '\', '/' or ':'), so no
// stored name can place a file anywhere else; a name with no usable last
// component ("", ".", "..", a device name such as NUL, characters Windows
// forbids) ends the extraction with kCabinetExtractFailed before anything is
// written for it. Each file gets the stored date and time (local time in the
// cabinet, turned into system time) as creation and last-write time, and the
// stored read-only, hidden, system and archive attributes. A file whose
// extraction fails is deleted again, so nothing half-written stays behind;
// files extracted before it remain. Stored, MSZIP, Quantum and LZX folders
// are read; a cabinet continued from or into another cabinet is not.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "engine/cabinet.h"
#include "engine/progress_throttle.h"

namespace kq {

// Extracts the cabinet at `cabinetPath` into `workingFolder` on the calling
// thread; returns a CabinetResult. `failure`, when given, says what failed.
int ExtractCabinetFile(const char* cabinetPath, const char* workingFolder, const CabinetProgress& progress,
                       CabinetFailure* failure = nullptr);

// Extracts "file1.cab" of `sourceFolder` into `workingFolder` on the calling
// thread.
// Progress shown on the progress bar `bar` (may be null) of the thread that
// waits for the extraction. The callbacks run on the extraction thread and
// send only the positions that move the bar: each message holds the
// extraction until the waiting thread has handled it. `throttle` must
// outlive the extraction.
CabinetProgress ProgressBarFeedback(HWND bar, ProgressThrottle& throttle);

int ExtractCabinet(const char* sourceFolder, const char* workingFolder, const CabinetProgress& progress,
                   CabinetFailure* failure = nullptr);

// One extraction of the package's cabinet on a thread of its own. The
// user-interface thread starts it, waits for Thread() with its
// message-pumping wait (the progress callbacks typically send messages to a
// window of that thread), then reads Result().
class CCabinetExtraction {
public:
    CCabinetExtraction() = default;
    CCabinetExtraction(const CCabinetExtraction&) = delete;
    CCabinetExtraction& operator=(const CCabinetExtraction&) = delete;
    // Waits for a thread still running.
    ~CCabinetExtraction();

    // False when a thread cannot be started (or one is already running).
    bool Start(const char* sourceFolder, const char* workingFolder, CabinetProgress progress);
    HANDLE Thread() const { return thread_; }
    // Valid once Thread() is signalled.
    int Result() const { return result_; }
    // What failed, once Thread() is signalled.
    const CabinetFailure& Failure() const { return failure_; }

private:
    static unsigned __stdcall ThreadMain(void* self);

    std::string sourceFolder_;
    std::string workingFolder_;
    CabinetProgress progress_;
    HANDLE thread_ = nullptr;
    int result_ = kCabinetExtractFailed;
    CabinetFailure failure_;
};

// Runs the extraction on a thread of its own and waits for it with `wait`
// (the message-pumping wait on the user-interface thread; a plain wait when
// empty). When no thread can be started the extraction runs on the calling
// thread instead.
int ExtractCabinetOnThread(const char* sourceFolder, const char* workingFolder, const CabinetProgress& progress,
                           const std::function<void(HANDLE)>& wait);

}  // namespace kq
