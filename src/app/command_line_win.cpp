#include "app/command_line_win.h"

#include <windows.h>

#include <cctype>
#include <string>

#include "base/path_rules.h"
#include "base/product.h"
#include "run/command_line.h"
#include "run/exit_codes.h"
#include "run/run_journal_win.h"

namespace kq {

bool CommandLineIsSilent() {
    const SetupCommandLine line = ParseSetupCommandLine(SkipProgramName(::GetCommandLineA()), &AbsolutePathProblem);
    // The script is not read yet: only the command line can say nobody is there.
    return !Audience(false, line.requests).SeesWindows();
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

    RunJournal& journal = run.Journal();
    journal.Write(journal.Entry("start")
                      .Add("commandLine", std::string(arguments))
                      .Add("silent", requests.silent)
                      .Add("plan", requests.plan));
    if (!line.problem.empty()) {
        journal.Message("bad command line: " + line.problem);
        if (!requests.silent) {
            std::string text = line.problem + ".\r\n\r\n" + SetupUsageText();
            text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
            ::MessageBoxA(nullptr, text.c_str(), kProductName, MB_OK | MB_ICONSTOP);
        }
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
