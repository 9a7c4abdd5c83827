// setup.exe's command line. The options, in any order and any case, each a
// word of its own (a word may hold quoted parts: "/LOG=C:\My logs\a.json"
// or /LOG="C:\My logs\a.json"):
//
//   /S            silent whatever the package says: no window, no dialog
//   /PLAN         write what the installation would change; change nothing
//   /LOG=<file>   the machine-readable log (run_journal.h)
//   /LANG=<name>  the language pack to apply without asking
//   /TYPE=<name>  the setup type (Typical, Minimal, Custom)
//   /FEATURES=<a,!b>  the features to install (answers.h)
//   /SAVEINF=<file>   write the run's answers there (answers.h)
//   /LOADINF=<file>   take the answers of that file
//   /RESTARTEXITCODE=<n>  the exit code for "installed, restart needed"
//   /?            a window listing the options (none in a silent run)
//   /D=<folder>   the install folder; always last, it takes the rest of the
//                 line as it is, blanks included (quotes around it allowed)
//
// An option given twice, an unknown one, a word that is no option, an
// empty value, or an install folder the path rules refuse makes the line
// bad, as is a log file that cannot be created: the run ends with
// kExitBadCommandLine. The rest of the line is still
// read, so that a bad line with /S stays silent and one with /LOG= is
// logged.
#pragma once
#include <functional>
#include <string>
#include <string_view>

#include "run/setup_run.h"

namespace kq {

// An install folder, with its trailing backslash, is at most this long: the
// longest path a folder can be created with (MAX_PATH less room for a file
// name of 8.3 characters and the terminating zero).
constexpr size_t kMaxInstallFolderLength = 247;

// Why an absolute folder path is refused, or nullptr (the engine's rule:
// drive or share, no reserved characters, device names or ".." parts).
using PathRule = std::function<const char*(std::string_view)>;

struct SetupCommandLine {
    CommandRequests requests;
    bool help = false;
    std::string problem;  // the first fault, as a line for the log; empty when the line is good
};

SetupCommandLine ParseSetupCommandLine(std::string_view arguments, const PathRule& folderRule);

// Why `folder` cannot be the install folder (empty, too long, refused by
// `rule`), or "".
std::string InstallFolderProblem(std::string_view folder, const PathRule& rule);

// The answers of a "/LOADINF=" file taken into `requests` where the line
// itself said nothing (folder, language, setup type, features), the rest
// kept in requests.answers. Returns why the file's folder is refused, or "".
std::string TakeRecordedAnswers(const RecordedAnswers& answers, const PathRule& folderRule, CommandRequests& requests);

// The text of the "/?" window: the options and the exit codes.
std::string SetupUsageText();

}  // namespace kq
