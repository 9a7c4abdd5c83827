#include "app/command_line_win.h"

#include <windows.h>

#include <cctype>
#include <string>

#include "base/file.h"
#include "base/path_rules.h"
#include "base/product.h"
#include "run/command_line.h"
#include "run/exit_codes.h"
#include "run/run_journal_win.h"

namespace kq {
namespace {

// True when a file can be written at `path`; one that was not there before
// is not left behind.
bool CanCreateFile(const std::string& path) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool existed = ::GetLastError() == ERROR_ALREADY_EXISTS;
    ::CloseHandle(file);
    if (!existed) ::DeleteFileA(path.c_str());
    return true;
}

// The answer files of "/SAVEINF=" and "/LOADINF=": why they cannot serve,
// or "" with the loaded answers taken into the requests.
std::string TakeAnswerFiles(CommandRequests& requests) {
    if (!requests.saveAnswers.empty() && !CanCreateFile(requests.saveAnswers))
        return "the answer file \"" + requests.saveAnswers + "\" cannot be created";
    if (requests.loadAnswers.empty()) return std::string();
    const std::string shown = "the answer file \"" + requests.loadAnswers + "\" ";
    std::string text;
    if (!ReadWholeFile(requests.loadAnswers, text)) return shown + "cannot be read";
    RecordedAnswers answers;
    std::string problem = ReadAnswers(text, &answers);
    if (problem.empty()) problem = TakeRecordedAnswers(answers, &AbsolutePathProblem, requests);
    return problem.empty() ? problem : shown + "is refused: " + problem;
}

}  // namespace

bool CommandLineIsSilent() {
    const SetupCommandLine line = ParseSetupCommandLine(SkipProgramName(::GetCommandLineA()), &AbsolutePathProblem);
    // The script is not read yet: only the command line can say nobody is there.
    return !Audience(false, line.requests).SeesWindows();
}

void TellBadCommandLine(SetupRun& run, const std::string& problem) {
    run.Journal().Message("bad command line: " + problem);
    if (run.Requests().silent) return;
    std::string text = problem + ".\r\n\r\n" + SetupUsageText();
    text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    ::MessageBoxA(nullptr, text.c_str(), kProductName, MB_OK | MB_ICONSTOP);
}

bool TakeCommandLine(SetupRun& run) {
    const std::string_view arguments = SkipProgramName(::GetCommandLineA());
    SetupCommandLine line = ParseSetupCommandLine(arguments, &AbsolutePathProblem);
    run.Requests() = line.requests;
    const CommandRequests& requests = run.Requests();
    if (!requests.logPath.empty() || requests.plan) run.SetJournal(OpenRunJournal(requests.logPath));
    // A log that was asked for and cannot be written would leave whoever
    // reads it with nothing: the line is refused as a bad one.
    if (!requests.logPath.empty() && !run.Journal().Active() && line.problem.empty())
        line.problem = "the log file \"" + requests.logPath + "\" cannot be created";
    if (line.problem.empty()) line.problem = TakeAnswerFiles(run.Requests());

    RunJournal& journal = run.Journal();
    journal.Write(journal.Entry("start")
                      .Add("commandLine", std::string(arguments))
                      .Add("silent", requests.silent)
                      .Add("plan", requests.plan));
    if (!line.problem.empty()) {
        TellBadCommandLine(run, line.problem);
        journal.End(kExitBadCommandLine, requests.plan);
        ::PostQuitMessage(kExitBadCommandLine);
        return false;
    }
    if (line.help) {
        if (!requests.silent) ::MessageBoxA(nullptr, SetupUsageText().c_str(), kProductName, MB_OK | MB_ICONINFORMATION);
        journal.Write(journal.Entry("end").Add("outcome", "help").Add("exitCode", static_cast<int>(kExitInstalled)));
        ::PostQuitMessage(kExitInstalled);
        return false;
    }
    return true;
}

}  // namespace kq
