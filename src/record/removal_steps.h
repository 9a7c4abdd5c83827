// What the maintenance runner kqexec.exe removes, worked out from the
// uninstall log alone, and how it reads its command line.
//
// The log (see uninstall_log.h) is read line by line: KIND=value, split at
// the first '='. A last line without its line break is ignored, since it may
// be cut short (a path cut short names another file). Unknown kinds are
// reported and otherwise ignored.
//
// This is the removal of an installation that left no install record
// (install_record.h); with a record, record_removal.h decides instead.
// Removal undoes the log in reverse, one kind of change at a time, so that
// nothing is removed while something still depends on it:
//   1. services (NTSERVICE) are stopped and deleted: they may hold files;
//   2. files and shortcuts (FILE, SHORTCUT), and the maintenance program
//      that registration copied into the install folder; a file in use or
//      already gone is skipped;
//   3. registry values (REGVAL);
//   4. registry keys (REGKEY), each only when it is empty, deepest first;
//   5. class and extension keys (REMKEY) with everything below them;
//   6. directories (DIR), each only when it is empty, deepest first;
// The author's maintenance program (RUN3RD with RUN3RDCMD), which lives in
// the maintenance folder, runs before all of them, while the product is
// still whole.
// The runner then deletes the Uninstall key, the log and the maintenance
// folder. Within a kind, later lines go first; a target named twice is
// acted on once.
//
// The log is a file on disk and its lines decide what is deleted, so every
// target is checked first: paths must be absolute and plain (no wildcards,
// no "." or ".." parts, no device names or "\\?\" forms, not a drive's
// root), a FILE outside the install folder is kept (only a record can prove
// that setup made it: a system DLL kept by the version rule is logged too),
// registry paths must name a key
// below a root, REMKEY only a key directly below the classes root and never
// one the system itself depends on, and RUN3RD a plain file name. A line
// that fails is listed in `refused` and not acted on.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "base/registry_path.h"

namespace kq {

struct LogEntry {
    std::string kind;
    std::string value;
};

std::vector<LogEntry> ParseUninstallLog(std::string_view text);

enum class RemovalAction {
    kStopService,
    kDeleteFile,
    kDeleteValue,
    kDeleteKeyIfEmpty,
    kDeleteKeyTree,
    kRemoveDirectory,
    kRunProgram,
};

struct RemovalStep {
    RemovalAction action = RemovalAction::kDeleteFile;
    std::string target;                       // path, service name, program path, or registry path as logged
    RegistryRoot root = RegistryRoot::kNone;  // registry steps
    std::string subKey;                       // registry steps
    std::string valueName;                    // kDeleteValue
    std::string arguments;                    // kRunProgram
};

struct RemovalSteps {
    std::vector<RemovalStep> steps;
    // "KIND=value: reason" for each line not acted on.
    std::vector<std::string> refused;
    bool removeAll = false;  // REMOVEALL=Yes; recorded, no effect on removal
    long totalFiles = -1;    // TOTALFILE, -1 when absent
};

struct RemovalContext {
    std::string maintenanceFolder;  // trailing backslash
    // UninstallExecute of the Uninstall key: the maintenance program copied
    // into the install folder, which the log does not name. "" for none.
    std::string registeredProgram;
    // LastInstallationPath of the Uninstall key; "" when unknown, which
    // leaves FILE lines outside it unchecked.
    std::string installDir;
};

RemovalSteps ListRemovalSteps(const std::vector<LogEntry>& entries, const RemovalContext& context);

// "FILE C:\x", "value HKEY_...", ...: one line per step, for tests and for
// the runner's report.
std::string DescribeStep(const RemovalStep& step);

// The runner's command line. Switches come first or last (after a blank),
// in any order and case, with '/' or '-', each alone or in double quotes:
// /R removes, /M modifies, /S is silent; before the code also /PLAN (what
// a removal would do, changing nothing) and /LOG=file (the removal's log;
// quote the whole word when the name has blanks). The rest of the line, blanks
// trimmed and one pair of enclosing quotes dropped, is the product code. A code without /R or /M
// means removal, which is how setup starts an earlier version's runner
// ("/S" <code>).
struct RunnerCommand {
    enum class Action { kUsage, kRemove, kModify };
    Action action = Action::kUsage;
    bool silent = false;
    bool plan = false;
    std::string logPath;  // "" without /LOG=
    std::string productCode;
};

RunnerCommand ParseRunnerCommandLine(std::string_view arguments);

}  // namespace kq
