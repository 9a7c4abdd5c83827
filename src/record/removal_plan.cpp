#include "record/removal_plan.h"

#include <algorithm>
#include <cstdlib>
#include <set>

#include "base/path_rules.h"
#include "base/safe_name.h"
#include "base/text.h"
#include "record/uninstall_log.h"

namespace kq {
namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

// The form in which two spellings of one path compare equal.
std::string PathKey(std::string_view path) {
    std::string key;
    bool unc = path.size() >= 2 && IsPathSeparator(path[0]) && IsPathSeparator(path[1]);
    if (unc) key = "\\\\";
    for (std::string_view part : PathComponents(path)) {
        key = EndWithBackslash(std::move(key));
        for (char c : part) key += Upper(c);
    }
    return key;
}

// CON, NUL, COM1 and the like name a device in any folder, with any
// extension.
bool StartsWithFolder(const std::string& pathKey, const std::string& folderKey) {
    if (folderKey.empty()) return false;
    return pathKey.size() > folderKey.size() && pathKey.compare(0, folderKey.size(), folderKey) == 0 &&
           pathKey[folderKey.size()] == '\\';
}

size_t Depth(std::string_view path) { return PathComponents(path).size(); }

// Keys below the classes root that the system and every program share:
// removing one whole would break the machine, whatever a log says.
bool IsProtectedClass(std::string_view name) {
    static const char* const kProtected[] = {
        "*",        "AllFilesystemObjects", "AppID",   "Applications", "CLSID",   "Directory", "Drive",
        "exefile",  "Folder",               "Installer", "Interface",  "lnkfile", "MIME",      "Network",
        "PROTOCOLS", "SystemFileAssociations", "TypeLib", "Unknown",   ".exe",    ".lnk",      ".dll",
        ".com",     ".bat",                 ".cmd",    ".sys",         ".ini",    ".inf",      ".reg",
    };
    for (const char* key : kProtected) {
        if (EqualsIgnoreCase(name, key)) return true;
    }
    return false;
}

// Environment variables the system itself lives by. Setup may append to
// them; deleting the value would take the rest of it along.
bool IsProtectedValue(const RegistryValuePath& value) {
    bool environment =
        (value.root == RegistryRoot::kCurrentUser && EqualsIgnoreCase(value.subKey, "Environment")) ||
        (value.root == RegistryRoot::kLocalMachine &&
         EqualsIgnoreCase(value.subKey, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment"));
    if (!environment) return false;
    static const char* const kProtected[] = {"Path", "PATHEXT", "ComSpec", "windir", "TEMP", "TMP"};
    for (const char* name : kProtected) {
        if (EqualsIgnoreCase(value.valueName, name)) return true;
    }
    return false;
}

struct Collected {
    std::vector<RemovalStep> services, files, values, keys, trees, directories;
};

}  // namespace

std::vector<LogEntry> ParseUninstallLog(std::string_view text) {
    std::vector<LogEntry> entries;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string_view::npos; start = end + 1) {
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        size_t equals = line.find('=');
        LogEntry entry;
        entry.kind.assign(line.substr(0, equals));
        if (equals != std::string_view::npos) entry.value.assign(line.substr(equals + 1));
        entries.push_back(std::move(entry));
    }
    return entries;
}

RemovalPlan PlanRemoval(const std::vector<LogEntry>& entries, const RemovalContext& context) {
    RemovalPlan plan;
    Collected c;
    std::set<std::string> seen;
    std::string program, arguments;
    auto refuse = [&plan](const LogEntry& entry, const char* reason) {
        plan.refused.push_back(entry.kind + "=" + entry.value + ": " + reason);
    };
    // True the first time a target is met (the log is walked backwards, so
    // that is its last line).
    auto first = [&seen](const char* kind, const std::string& key) { return seen.insert(kind + key).second; };

    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        const LogEntry& entry = *it;
        const std::string& kind = entry.kind;
        const std::string& value = entry.value;
        RemovalStep step;
        step.target = value;
        if (kind == logkind::kFile || kind == logkind::kShortcut) {
            const char* problem = AbsolutePathProblem(value);
            if (problem == nullptr && IsPathSeparator(value.back())) problem = "names a folder";
            // Without a record nothing proves that setup made a file outside
            // the install folder (a kept or skipped system DLL was logged
            // too); a shortcut is always made anew.
            if (problem == nullptr && kind == logkind::kFile && !context.installDir.empty() &&
                !StartsWithFolder(PathKey(value), PathKey(context.installDir)))
                problem = "outside the install folder, not proved to be setup's";
            if (problem != nullptr) {
                refuse(entry, problem);
            } else if (first("F", PathKey(value))) {
                step.action = RemovalAction::kDeleteFile;
                c.files.push_back(step);
            }
        } else if (kind == logkind::kDir) {
            const char* problem = AbsolutePathProblem(value);
            if (problem != nullptr) {
                refuse(entry, problem);
            } else if (first("D", PathKey(value))) {
                step.action = RemovalAction::kRemoveDirectory;
                while (step.target.size() > 3 && IsPathSeparator(step.target.back())) step.target.pop_back();
                c.directories.push_back(step);
            }
        } else if (kind == logkind::kRegVal) {
            RegistryValuePath path;
            if (!ParseRegistryValuePath(value, &path)) {
                refuse(entry, "no registry value below a root");
            } else if (IsProtectedValue(path)) {
                refuse(entry, "a value the system depends on");
            } else if (first("V", PathKey(FormatRegistryKeyPath(path.root, path.subKey)) + "\\" + path.valueName)) {
                step.action = RemovalAction::kDeleteValue;
                step.root = path.root;
                step.subKey = path.subKey;
                step.valueName = path.valueName;
                c.values.push_back(step);
            }
        } else if (kind == logkind::kRegKey || kind == logkind::kRemKey) {
            RegistryKeyPath path;
            bool tree = kind == logkind::kRemKey;
            if (!ParseRegistryKeyPath(value, &path) || path.subKey.empty()) {
                refuse(entry, "no registry key below a root");
            } else if (tree && path.root != RegistryRoot::kClassesRoot) {
                refuse(entry, "removed whole only below HKEY_CLASSES_ROOT");
            } else if (tree && path.subKey.find_first_of("\\/") != std::string::npos) {
                refuse(entry, "not a class or extension name");
            } else if (tree && IsProtectedClass(path.subKey)) {
                refuse(entry, "a key the system depends on");
            } else if (first(tree ? "T" : "K", PathKey(value))) {
                step.action = tree ? RemovalAction::kDeleteKeyTree : RemovalAction::kDeleteKeyIfEmpty;
                step.root = path.root;
                step.subKey = path.subKey;
                (tree ? c.trees : c.keys).push_back(step);
            }
        } else if (kind == logkind::kNtService) {
            if (value.empty() || value.size() > 256 || value.find_first_of("\\/") != std::string::npos) {
                refuse(entry, "not a service name");
            } else if (first("S", PathKey(value))) {
                step.action = RemovalAction::kStopService;
                c.services.push_back(step);
            }
        } else if (kind == logkind::kRun3rd) {
            if (!IsSafeLeafName(value)) {
                refuse(entry, "not a plain file name");
            } else if (program.empty()) {
                program = value;
            }
        } else if (kind == logkind::kRun3rdCmd) {
            if (arguments.empty()) arguments = value;
        } else if (kind == logkind::kRemoveAll) {
            if (value == "Yes") plan.removeAll = true;
        } else if (kind == logkind::kTotalFile) {
            if (plan.totalFiles < 0) plan.totalFiles = std::strtol(value.c_str(), nullptr, 10);
        } else {
            refuse(entry, "unknown entry");
        }
    }

    if (!context.registeredProgram.empty()) {
        LogEntry entry{"UninstallExecute", context.registeredProgram};
        const char* problem = AbsolutePathProblem(context.registeredProgram);
        if (problem != nullptr) {
            refuse(entry, problem);
        } else if (first("F", PathKey(context.registeredProgram))) {
            RemovalStep step;
            step.action = RemovalAction::kDeleteFile;
            step.target = context.registeredProgram;
            c.files.push_back(step);
        }
    }

    // Children before parents whatever order the log gave them in; the
    // stable sort keeps reverse log order among equal depths.
    auto deeperPath = [](const RemovalStep& a, const RemovalStep& b) { return Depth(a.target) > Depth(b.target); };
    auto deeperKey = [](const RemovalStep& a, const RemovalStep& b) { return Depth(a.subKey) > Depth(b.subKey); };
    std::stable_sort(c.directories.begin(), c.directories.end(), deeperPath);
    std::stable_sort(c.keys.begin(), c.keys.end(), deeperKey);

    // The author's program first, while the product it cleans up after is
    // still there.
    if (!program.empty()) {
        RemovalStep step;
        step.action = RemovalAction::kRunProgram;
        step.target = context.maintenanceFolder + program;
        step.arguments = arguments;
        plan.steps.push_back(step);
    }
    for (auto* group : {&c.services, &c.files, &c.values, &c.keys, &c.trees, &c.directories}) {
        plan.steps.insert(plan.steps.end(), group->begin(), group->end());
    }
    return plan;
}

std::string DescribeStep(const RemovalStep& step) {
    switch (step.action) {
        case RemovalAction::kStopService: return "service " + step.target;
        case RemovalAction::kDeleteFile: return "file " + step.target;
        case RemovalAction::kDeleteValue:
            return "value " + FormatRegistryValuePath(step.root, step.subKey, step.valueName);
        case RemovalAction::kDeleteKeyIfEmpty: return "key " + FormatRegistryKeyPath(step.root, step.subKey);
        case RemovalAction::kDeleteKeyTree: return "tree " + FormatRegistryKeyPath(step.root, step.subKey);
        case RemovalAction::kRemoveDirectory: return "dir " + step.target;
        case RemovalAction::kRunProgram: return "run " + step.target + " " + step.arguments;
    }
    return std::string();
}

RunnerCommand ParseRunnerCommandLine(std::string_view arguments) {
    RunnerCommand command;
    bool remove = false;
    bool modify = false;
    auto takeSwitch = [&](char letter) {
        switch (Upper(letter)) {
        case 'R': remove = true; return true;
        case 'M': modify = true; return true;
        case 'S': command.silent = true; return true;
        default: return false;
        }
    };
    std::string_view rest = TrimBlanks(arguments);
    for (;;) {
        // A switch is two characters, alone or in quotes, followed by a
        // blank or the end.
        bool quoted = !rest.empty() && rest.front() == '"';
        std::string_view token = rest.substr(quoted ? 1 : 0);
        if (token.size() < 2 || (token[0] != '/' && token[0] != '-')) break;
        size_t after = 2;
        if (quoted) {
            if (token.size() < 3 || token[2] != '"') break;
            after = 3;
        }
        if (token.size() > after && !IsBlank(token[after])) break;
        if (!takeSwitch(token[1])) break;
        rest = TrimBlanks(token.substr(after));
    }
    // Switches after the code too: the registered UninstallString followed
    // by " /S" removes silently.
    for (;;) {
        size_t blank = rest.find_last_of(" \t");
        if (blank == std::string_view::npos) break;
        std::string_view token = rest.substr(blank + 1);
        if (token.size() == 4 && token.front() == '"' && token.back() == '"') token = token.substr(1, 2);
        if (token.size() != 2 || (token[0] != '/' && token[0] != '-')) break;
        if (!takeSwitch(token[1])) break;
        rest = TrimBlanks(rest.substr(0, blank));
    }
    if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"') rest = TrimBlanks(rest.substr(1, rest.size() - 2));
    command.productCode.assign(rest);
    if (command.productCode.empty() || (remove && modify)) {
        command.action = RunnerCommand::Action::kUsage;
    } else {
        command.action = modify ? RunnerCommand::Action::kModify : RunnerCommand::Action::kRemove;
    }
    return command;
}

}  // namespace kq
