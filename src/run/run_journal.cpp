#include "run/run_journal.h"

#include <cstdio>

#include "run/exit_codes.h"

namespace kq {

JsonObject RunJournal::Entry(const char* type) const {
    JsonObject entry(&m_decode);
    entry.Add("time", m_clock ? m_clock() : std::string());
    entry.Add("type", type);
    return entry;
}

void RunJournal::Write(const JsonObject& entry) {
    if (m_sink) m_sink(entry.Line());
}

void RunJournal::Step(const std::string& text) {
    if (!Active() || text.empty() || text == m_lastStep) return;
    m_lastStep = text;
    Write(Entry("step").Add("text", text));
}

void RunJournal::Message(const std::string& text) {
    if (Active()) Write(Entry("message").Add("text", text));
}

void RunJournal::Question(const std::string& text, const std::string& answer) {
    if (Active()) Write(Entry("question").Add("text", text).Add("answer", answer));
}

void RunJournal::Page(const std::string& name) {
    if (Active()) Write(Entry("page").Add("name", name));
}

void RunJournal::End(int outcomeCode, bool plan, int exitCode) {
    if (Active()) Write(Entry("end").Add("outcome", OutcomeName(outcomeCode, plan)).Add("exitCode", exitCode));
}

const char* OutcomeName(int exitCode, bool plan) {
    switch (exitCode) {
    case kExitInstalled: return plan ? "planned" : "installed";
    case kExitCannotStart: return "cannot start";
    case kExitCancelled: return "cancelled";
    case kExitFailed: return "failed";
    case kExitRequirements: return "requirements not met";
    case kExitDamaged: return "damaged package";
    case kExitFileFailed: return "file failed";
    case kExitRestartNeeded: return "restart needed";
    case kExitBadCommandLine: return "bad command line";
    case kExitAlreadyRunning: return "already running";
    }
    return "unknown";
}

std::string IsoTimeStamp(int year, int month, int day, int hour, int minute, int second, int millisecond) {
    char text[32];
    std::snprintf(text, sizeof(text), "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", year, month, day, hour, minute, second,
                  millisecond);
    return text;
}

}  // namespace kq
