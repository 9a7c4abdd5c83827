// The texts of the download panel: the transfer rate, the amount copied and
// the estimated time left, and the report line the progress page reads.
//
// Rates are in bytes per millisecond as measured between two reports; the
// panel shows them as "512 Bytes/Sec" below 1, "2.50 KB/Sec" below 10 and
// "38 KB/Sec" from 10 on (one byte per millisecond counted as one KB a
// second). Byte counts read "900 Bytes", "1.5 KB" or "3.20 MB"; durations
// "59 sec", "2 min" or "2 min 5 sec". Every text is built with a bounded
// format of our own; nothing from the network or the script reaches a
// format string.
#pragma once
#include <cstdint>
#include <string>

namespace kq {

// The system's message for a response that is not a success.
constexpr char kHttpStatusFailedFormat[] =
    "Failed to retrieve a HTTP 200 status, Status Code:%d\r\n"
    "Try later or download using your browser and add this file to Merrowin Folder.";
std::string HttpStatusFailedText(int statusCode);

// Only 200 and 206 are worth a file. 401 and 407 ask for credentials that
// the program has none of, so they fail like any other status instead of
// leaving an empty file reported as downloaded.
bool HttpStatusDelivers(int statusCode);

std::string RateText(double bytesPerMs);
std::string SizeText(int64_t bytes);
// "1.50 MB of 3.20 MB".
std::string AmountText(int64_t received, int64_t total);
std::string DurationText(int32_t seconds);
// "2 min 5 sec (1.50 MB of 3.20 MB copied)".
std::string TimeLeftText(int32_t seconds, int64_t received, int64_t total);
// For a response without a length: "1.50 MB received".
std::string ReceivedText(int64_t received);

// One download's progress, fed after every read. The panel hears from it at
// most once a second: Step returns true and fills `report` then.
//
// The report is "percent,time left,rate" for a known total. Without one (no
// Content-Length) neither a percentage nor a time can be known, so the
// report is "-1,<bytes received>,rate" and the page shows the amount and
// the rate only.
class DownloadMeter {
public:
    static constexpr uint32_t kReportIntervalMs = 1000;

    // `total` 0 (or less) means unknown.
    void Start(uint32_t nowMs, int64_t total);
    bool Step(uint32_t nowMs, int64_t received, std::string& report);

    int Percent() const { return m_percent; }

private:
    uint32_t m_startMs = 0;
    uint32_t m_lastMs = 0;
    int64_t m_total = 0;
    int64_t m_lastReceived = 0;
    int m_percent = 0;
    std::string m_rate;
    std::string m_timeLeft;
};

// Seconds left at the rate so far, never negative and never beyond what an
// int holds; 0 when nothing has arrived.
int32_t SecondsLeft(uint32_t elapsedMs, int64_t received, int64_t total);

}  // namespace kq
