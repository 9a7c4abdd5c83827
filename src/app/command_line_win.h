// setup.exe's command line (run/command_line.h) taken into the run at the
// very start, and the run's log (run/run_journal.h) opened on its file.
#pragma once
#include <memory>
#include <string>

#include "run/setup_run.h"

namespace kq {

// Parses the process's command line into `run.Requests()` and opens the
// log it asks for. False when the run ends here: "/?" (its window shown
// unless the run is silent) or a bad line (its fault in the log and, unless
// silent, in a message box); the quit message with the exit code is then
// posted.
bool TakeCommandLine(SetupRun& run);

// A line refused after it was taken (a setup type or feature the package
// lacks): the fault in the log and, unless silent, in a message box with
// the options. The caller ends the run with kExitBadCommandLine.
void TellBadCommandLine(SetupRun& run, const std::string& problem);

// True when the command line asks for a run without windows (/S or /PLAN),
// for the messages that come before the run reads it.
bool CommandLineIsSilent();

}  // namespace kq
