// What the install worker reports to the page that shows the installation.
// The worker calls these from its own thread; an implementation acts only by
// sending messages to windows of the user-interface thread.
#pragma once
#include <cstdint>
#include <string>

namespace kq {

class InstallReporter {
public:
    virtual ~InstallReporter() = default;
    // line 0 is the main status text, line 1 the detail line.
    virtual void SetStatus(const std::string& text, int line) = 0;
    virtual void SetProgressRange(int32_t total) = 0;
    virtual void SetProgressPosition(int32_t position) = 0;

    // The download panel: shown while a web file is fetched.
    virtual void DownloadStarted() = 0;
    // `report` is "percent,time left,detail" (see ParseDownloadReport).
    virtual void DownloadProgress(const std::string& report) = 0;
    virtual void DownloadFinished() = 0;

    // Every file is in place: a cancel can stop nothing from here on.
    virtual void CopyStepOver() {}

    // For the run's log: a message the worker showed (or, silent, would
    // have shown), and a question with the answer taken.
    virtual void Told(const std::string& message) {}
    virtual void Asked(const std::string& question, const std::string& answer) {}
};

// The answers of the file error dialog, which the file and service steps
// show after a failure (and their results).
enum class FailureChoice { kRetry = 1, kIgnore = 2, kCancel = 3 };
// "Retry", "Ignore", "Cancel": the answer as the log names it.
const char* FailureChoiceName(FailureChoice choice);

// A download report as the transfer writes it with "%i,%s,%s": percent done,
// estimated time left and a detail. The detail is everything after the
// second comma, so it may hold commas itself. A negative percent says the
// total is unknown (no Content-Length): the second field is then the amount
// received, and there is neither a percentage nor a time left to show.
struct DownloadReport {
    int percent = 0;       // clamped to 0..100
    bool totalKnown = true;
    std::string timeLeft;  // the amount received when the total is unknown
    std::string detail;
};

DownloadReport ParseDownloadReport(const std::string& report);

// The main status line while a download runs: "Estimated time left: <time
// left> - <rate>", or "<amount received> - <rate>" without a total.
std::string DownloadStatusLine(const DownloadReport& report);

// Status texts of the install worker, in the order they appear.
namespace status {
constexpr char kLoadingData[] = "Loading data information...";
constexpr char kCreatingDirectories[] = "Creating directories...";
constexpr char kCopyingFiles[] = "Please Wait, Copying Files...";
constexpr char kCreatingShortcuts[] = "Please Wait, Creating Shortcuts...";
constexpr char kSettingSystem[] = "Please Wait, Setting system...";
constexpr char kFinishing[] = "Finishing settings...";
constexpr char kRemovingTemporary[] = "Removing temporary files...";
}  // namespace status

}  // namespace kq
