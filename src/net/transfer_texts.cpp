#include "net/transfer_texts.h"

#include <climits>
#include <cstdio>

namespace kq {
namespace {

// Our own formats only; the buffer holds any number they can print.
template <typename... Args>
std::string Printf(const char* format, Args... args) {
    char text[160];
    int n = std::snprintf(text, sizeof(text), format, args...);
    if (n < 0) return std::string();
    return std::string(text, static_cast<size_t>(n) < sizeof(text) ? static_cast<size_t>(n) : sizeof(text) - 1);
}

}  // namespace

std::string HttpStatusFailedText(int statusCode) {
    return Printf(kHttpStatusFailedFormat, statusCode);
}

bool HttpStatusDelivers(int statusCode) {
    return statusCode == 200 || statusCode == 206;
}

std::string RateText(double bytesPerMs) {
    if (!(bytesPerMs >= 0)) bytesPerMs = 0;  // NaN as well
    if (bytesPerMs > 1e15) bytesPerMs = 1e15;
    if (bytesPerMs < 1) return Printf("%0.0f Bytes/Sec", bytesPerMs * 1024);
    if (bytesPerMs < 10) return Printf("%0.2f KB/Sec", bytesPerMs);
    return Printf("%0.0f KB/Sec", bytesPerMs);
}

std::string SizeText(int64_t bytes) {
    if (bytes < 1024) return Printf("%d Bytes", static_cast<int>(bytes));
    if (bytes < 1048576) return Printf("%0.1f KB", static_cast<double>(bytes) / 1024);
    return Printf("%0.2f MB", static_cast<double>(bytes) / 1048576);
}

std::string AmountText(int64_t received, int64_t total) {
    return SizeText(received) + " of " + SizeText(total);
}

std::string DurationText(int32_t seconds) {
    if (seconds < 60) return Printf("%d sec", static_cast<int>(seconds));
    const int minutes = seconds / 60;
    const int rest = seconds % 60;
    if (rest == 0) return Printf("%d min", minutes);
    return Printf("%d min %d sec", minutes, rest);
}

std::string TimeLeftText(int32_t seconds, int64_t received, int64_t total) {
    return DurationText(seconds) + " (" + AmountText(received, total) + " copied)";
}

std::string ReceivedText(int64_t received) {
    return SizeText(received) + " received";
}

int32_t SecondsLeft(uint32_t elapsedMs, int64_t received, int64_t total) {
    if (received <= 0 || total <= received) return 0;
    double seconds = static_cast<double>(elapsedMs) / static_cast<double>(received) *
                     static_cast<double>(total - received) * 0.001;
    if (seconds >= static_cast<double>(INT32_MAX)) return INT32_MAX;
    return static_cast<int32_t>(seconds);
}

void DownloadMeter::Start(uint32_t nowMs, int64_t total) {
    *this = DownloadMeter();
    m_startMs = nowMs;
    m_lastMs = nowMs;
    m_total = total > 0 ? total : 0;
}

bool DownloadMeter::Step(uint32_t nowMs, int64_t received, std::string& report) {
    if (m_total > 0) {
        double percent = static_cast<double>(received) * 100.0 / static_cast<double>(m_total);
        m_percent = percent >= 100 ? 100 : (percent <= 0 ? 0 : static_cast<int>(percent));
    }
    // Unsigned differences stay right across the tick counter's wrap.
    const uint32_t sinceLast = nowMs - m_lastMs;
    if (sinceLast <= kReportIntervalMs) return false;

    m_rate = RateText(static_cast<double>(received - m_lastReceived) / sinceLast);
    m_lastMs = nowMs;
    m_lastReceived = received;
    if (m_total == 0) {
        report = "-1," + ReceivedText(received) + "," + m_rate;
        return true;
    }
    if (received != 0) m_timeLeft = TimeLeftText(SecondsLeft(nowMs - m_startMs, received, m_total), received, m_total);
    report = std::to_string(m_percent) + "," + m_timeLeft + "," + m_rate;
    return true;
}

}  // namespace kq
