// The run's machine-readable log ("/LOG=", and the plan of "/PLAN"): JSON
// lines (base/json_line.h), one object per event, each with "time" (UTC,
// ISO 8601 with milliseconds) and "type":
//
//   start     the command line, the package folder, "plan": true|false
//   step      "text": the status line of an install step as it begins
//   file      "action": new|replaced|kept, "path", and for setup's own copy
//             "sha256" and "size"
//   folder    "path": a folder setup created (each level)
//   key       "key": a registry key setup created
//   value     "key", "name", "before" and "after" (the data as text, or
//             absent when there was none)
//   append    "key", "name", "text": a part appended to an environment value
//   ini       "file", "section", "key", "value"
//   shortcut  "path": a shortcut setup created
//   service   "name": a service setup created
//   server    "path": a file registered as a COM server
//   shared    "path": a file counted under SharedDLLs
//   space     "volume", "needed" and "free" (bytes): a volume without room
//             for the files, found before the copy step
//   message   "text": what a window would have told the user
//   question  "text", "answer": a question and the answer taken
//   page      "name": the layout file of a page the wizard showed the user
//             (hidden pages of a silent run write none)
//   end       "outcome" and "exitCode"; always the last line
//
// In a plan the same lines say what an installation would do; nothing is
// changed. The sink is the only state shared between threads: it must
// write each line whole (the Windows sink holds a lock).
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "base/json_line.h"

namespace kq {

class RunJournal {
public:
    using Sink = std::function<void(const std::string& line)>;
    using Clock = std::function<std::string()>;

    RunJournal() = default;
    RunJournal(Sink sink, Clock clock, TextDecoder decode = nullptr)
        : m_sink(std::move(sink)), m_clock(std::move(clock)), m_decode(std::move(decode)) {}

    // A journal without a sink takes every call and writes nothing.
    bool Active() const { return static_cast<bool>(m_sink); }

    // An entry of `type` with its time stamp; Write sends it once complete.
    JsonObject Entry(const char* type) const;
    void Write(const JsonObject& entry);

    // A step's status line; the same line twice in a row is one step.
    void Step(const std::string& text);
    void Message(const std::string& text);
    void Question(const std::string& text, const std::string& answer);
    void Page(const std::string& name);
    void End(int exitCode, bool plan) { End(exitCode, plan, exitCode); }
    // The outcome of `outcomeCode` ended with another code (the
    // administrator's own for a restart that is due).
    void End(int outcomeCode, bool plan, int exitCode);

private:
    Sink m_sink;
    Clock m_clock;
    TextDecoder m_decode;
    std::string m_lastStep;
};

// The name of the outcome an exit code stands for ("installed",
// "cancelled", ...); "planned" for a successful plan.
const char* OutcomeName(int exitCode, bool plan);

// "2026-12-08T15:41:24.123Z".
std::string IsoTimeStamp(int year, int month, int day, int hour, int minute, int second, int millisecond);

}  // namespace kq
