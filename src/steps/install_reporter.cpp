#include "steps/install_reporter.h"

#include "run/script.h"

namespace kq {

DownloadReport ParseDownloadReport(const std::string& report) {
    DownloadReport parsed;
    size_t first = report.find(',');
    parsed.percent = LeadingNumber(report.substr(0, first));
    if (parsed.percent < 0) {
        parsed.totalKnown = false;
        parsed.percent = 0;
    }
    if (parsed.percent > 100) parsed.percent = 100;
    if (first == std::string::npos) return parsed;
    size_t second = report.find(',', first + 1);
    parsed.timeLeft = report.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
    if (second != std::string::npos) parsed.detail = report.substr(second + 1);
    return parsed;
}

std::string DownloadStatusLine(const DownloadReport& report) {
    if (!report.totalKnown) return report.timeLeft + " - " + report.detail;
    return "Estimated time left: " + report.timeLeft + " - " + report.detail;
}

const char* FailureChoiceName(FailureChoice choice) {
    switch (choice) {
    case FailureChoice::kRetry: return "Retry";
    case FailureChoice::kIgnore: return "Ignore";
    case FailureChoice::kCancel: return "Cancel";
    }
    return "Cancel";
}

}  // namespace kq
