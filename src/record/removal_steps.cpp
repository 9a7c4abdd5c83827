#include "record/removal_steps.h"

#include <algorithm>
#include <cstdlib>
#include <set>

#include "base/path_rules.h"
#include "base/safe_name.h"
#include "base/text.h"
#include "record/uninstall_log.h"

namespace kq {
namespace {

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

// The form in which two spellings of one path compare equal.
std::string PathKey(std::string_view path) {
    std::string key;
    bool unc = path.size() >= 2 && IsPathSeparator(path[0]) && IsPathSeparator(path[1]);
    if (unc) key = "\\\\";
    for (std::string_view part : PathComponents(path)) {
        if (!key.empty() && key.back() != '\\') key += '\\';
        for (char c : part) key += Upper(c);
    }
    return key;
}

// True when the path lies below the folder (both in their PathKey form).
bool StartsWithFolder(const std::string& pathKey, const std::string& folderKey) {
    if (folderKey.empty()) return false;
    return pathKey.size() > folderKey.size() && pathKey.compare(0, folderKey.size(), folderKey) == 0 &&
           pathKey[folderKey.size()] == '\\';
}

size_t Depth(std::string_view path) {
    return PathComponents(path).size();
}

// Keys below the classes root that the system and every program share:
// removing one whole would break the machine, whatever a log says.
bool IsProtectedClass(std::string_view name) {
    static const char* const kProtected[] = {
        "*",         "AllFilesystemObjects",
        "AppID",     "Applications",
        "CLSID",     "Directory",
        "Drive",     "exefile",
        "Folder",    "Installer",
        "Interface", "lnkfile",
        "MIME",      "Network",
        "PROTOCOLS", "SystemFileAssociations",
        "TypeLib",   "Unknown",
        ".exe",      ".lnk",
        ".dll",      ".com",
        ".bat",      ".cmd",
        ".sys",      ".ini",
        ".inf",      ".reg",
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

namespace {

// Turns the log, walked from its end, into steps grouped by what they touch;
// each line kind is taken by its own step, a line out of reach is refused.
class LogRemovalLister {
public:
    explicit LogRemovalLister(const RemovalContext& context)
        : m_context(context), m_installDirKey(PathKey(context.installDir)) {}

    RemovalSteps List(const std::vector<LogEntry>& entries) {
        for (auto it = entries.rbegin(); it != entries.rend(); ++it) Take(*it);
        TakeRegisteredProgram();
        return Assemble();
    }

private:
    void Refuse(const LogEntry& entry, const char* reason) {
        m_steps.refused.push_back(entry.kind + "=" + entry.value + ": " + reason);
    }

    // True the first time a target is met (the log is walked backwards, so
    // that is its last line).
    bool First(const char* kind, const std::string& key) { return m_seen.insert(kind + key).second; }

    void Take(const LogEntry& entry) {
        const std::string& kind = entry.kind;
        const std::string& value = entry.value;
        if (kind == logkind::kFile || kind == logkind::kShortcut) {
            TakeFile(entry);
        } else if (kind == logkind::kDir) {
            TakeDirectory(entry);
        } else if (kind == logkind::kRegVal) {
            TakeValue(entry);
        } else if (kind == logkind::kRegKey || kind == logkind::kRemKey) {
            TakeKey(entry);
        } else if (kind == logkind::kNtService) {
            TakeService(entry);
        } else if (kind == logkind::kRun3rd) {
            if (!IsSafeLeafName(value)) {
                Refuse(entry, "not a plain file name");
            } else if (m_program.empty()) {
                m_program = value;
            }
        } else if (kind == logkind::kRun3rdCmd) {
            if (m_arguments.empty()) m_arguments = value;
        } else if (kind == logkind::kRemoveAll) {
            if (value == "Yes") m_steps.removeAll = true;
        } else if (kind == logkind::kTotalFile) {
            if (m_steps.totalFiles < 0) m_steps.totalFiles = std::strtol(value.c_str(), nullptr, 10);
        } else {
            Refuse(entry, "unknown entry");
        }
    }

    void TakeFile(const LogEntry& entry) {
        const std::string& value = entry.value;
        const char* problem = AbsolutePathProblem(value);
        if (problem == nullptr && IsPathSeparator(value.back())) problem = "names a folder";
        // Without a record nothing proves that setup made a file outside
        // the install folder (a kept or skipped system DLL was logged
        // too); a shortcut is always made anew.
        const std::string key = problem == nullptr ? PathKey(value) : std::string();
        if (problem == nullptr && entry.kind == logkind::kFile && !m_context.installDir.empty() &&
            !StartsWithFolder(key, m_installDirKey))
            problem = "outside the install folder, not proved to be setup's";
        if (problem != nullptr) {
            Refuse(entry, problem);
        } else if (First("F", key)) {
            m_collected.files.push_back(StepOn(RemovalAction::kDeleteFile, value));
        }
    }

    void TakeDirectory(const LogEntry& entry) {
        const char* problem = AbsolutePathProblem(entry.value);
        if (problem != nullptr) {
            Refuse(entry, problem);
        } else if (First("D", PathKey(entry.value))) {
            RemovalStep step = StepOn(RemovalAction::kRemoveDirectory, entry.value);
            while (step.target.size() > 3 && IsPathSeparator(step.target.back())) step.target.pop_back();
            m_collected.directories.push_back(step);
        }
    }

    void TakeValue(const LogEntry& entry) {
        RegistryValuePath path;
        if (!ParseRegistryValuePath(entry.value, &path)) {
            Refuse(entry, "no registry value below a root");
        } else if (IsProtectedValue(path)) {
            Refuse(entry, "a value the system depends on");
        } else if (First("V", PathKey(FormatRegistryKeyPath(path.root, path.subKey)) + "\\" + path.valueName)) {
            RemovalStep step = StepOn(RemovalAction::kDeleteValue, entry.value);
            step.root = path.root;
            step.subKey = path.subKey;
            step.valueName = path.valueName;
            m_collected.values.push_back(step);
        }
    }

    void TakeKey(const LogEntry& entry) {
        RegistryKeyPath path;
        const bool tree = entry.kind == logkind::kRemKey;
        if (!ParseRegistryKeyPath(entry.value, &path) || path.subKey.empty()) {
            Refuse(entry, "no registry key below a root");
        } else if (tree && path.root != RegistryRoot::kClassesRoot) {
            Refuse(entry, "removed whole only below HKEY_CLASSES_ROOT");
        } else if (tree && path.subKey.find_first_of("\\/") != std::string::npos) {
            Refuse(entry, "not a class or extension name");
        } else if (tree && IsProtectedClass(path.subKey)) {
            Refuse(entry, "a key the system depends on");
        } else if (First(tree ? "T" : "K", PathKey(entry.value))) {
            RemovalStep step =
                StepOn(tree ? RemovalAction::kDeleteKeyTree : RemovalAction::kDeleteKeyIfEmpty, entry.value);
            step.root = path.root;
            step.subKey = path.subKey;
            (tree ? m_collected.trees : m_collected.keys).push_back(step);
        }
    }

    void TakeService(const LogEntry& entry) {
        const std::string& value = entry.value;
        if (value.empty() || value.size() > 256 || value.find_first_of("\\/") != std::string::npos) {
            Refuse(entry, "not a service name");
        } else if (First("S", PathKey(value))) {
            m_collected.services.push_back(StepOn(RemovalAction::kStopService, value));
        }
    }

    // The maintenance program the registration names goes with the rest.
    void TakeRegisteredProgram() {
        const std::string& program = m_context.registeredProgram;
        if (program.empty()) return;
        LogEntry entry{"UninstallExecute", program};
        const char* problem = AbsolutePathProblem(program);
        if (problem != nullptr) {
            Refuse(entry, problem);
        } else if (First("F", PathKey(program))) {
            m_collected.files.push_back(StepOn(RemovalAction::kDeleteFile, program));
        }
    }

    RemovalSteps Assemble() {
        // Children before parents whatever order the log gave them in; the
        // stable sort keeps reverse log order among equal depths.
        auto deeperPath = [](const RemovalStep& a, const RemovalStep& b) { return Depth(a.target) > Depth(b.target); };
        auto deeperKey = [](const RemovalStep& a, const RemovalStep& b) { return Depth(a.subKey) > Depth(b.subKey); };
        std::stable_sort(m_collected.directories.begin(), m_collected.directories.end(), deeperPath);
        std::stable_sort(m_collected.keys.begin(), m_collected.keys.end(), deeperKey);

        // The author's program first, while the product it cleans up after
        // is still there.
        if (!m_program.empty()) {
            RemovalStep step = StepOn(RemovalAction::kRunProgram, m_context.maintenanceFolder + m_program);
            step.arguments = m_arguments;
            m_steps.steps.push_back(step);
        }
        Collected& c = m_collected;
        for (auto* group : {&c.services, &c.files, &c.values, &c.keys, &c.trees, &c.directories}) {
            m_steps.steps.insert(m_steps.steps.end(), group->begin(), group->end());
        }
        return m_steps;
    }

    static RemovalStep StepOn(RemovalAction action, const std::string& target) {
        RemovalStep step;
        step.action = action;
        step.target = target;
        return step;
    }

    const RemovalContext& m_context;
    const std::string m_installDirKey;  // asked for every file of the log
    RemovalSteps m_steps;
    Collected m_collected;
    std::set<std::string> m_seen;
    std::string m_program;
    std::string m_arguments;
};

}  // namespace

RemovalSteps ListRemovalSteps(const std::vector<LogEntry>& entries, const RemovalContext& context) {
    return LogRemovalLister(context).List(entries);
}

std::string DescribeStep(const RemovalStep& step) {
    switch (step.action) {
    case RemovalAction::kStopService:
        return "service " + step.target;
    case RemovalAction::kDeleteFile:
        return "file " + step.target;
    case RemovalAction::kDeleteValue:
        return "value " + FormatRegistryValuePath(step.root, step.subKey, step.valueName);
    case RemovalAction::kDeleteKeyIfEmpty:
        return "key " + FormatRegistryKeyPath(step.root, step.subKey);
    case RemovalAction::kDeleteKeyTree:
        return "tree " + FormatRegistryKeyPath(step.root, step.subKey);
    case RemovalAction::kRemoveDirectory:
        return "dir " + step.target;
    case RemovalAction::kRunProgram:
        return "run " + step.target + " " + step.arguments;
    }
    return std::string();
}

RunnerCommand ParseRunnerCommandLine(std::string_view arguments) {
    RunnerCommand command;
    bool remove = false;
    bool modify = false;
    bool bad = false;
    auto takeSwitch = [&](std::string_view word) {
        if (word.size() == 2) {
            switch (Upper(word[1])) {
            case 'R':
                remove = true;
                return true;
            case 'M':
                modify = true;
                return true;
            case 'S':
                command.silent = true;
                return true;
            case '?':
                bad = true;
                return true;
            default:
                return false;
            }
        }
        if (EqualsIgnoreCase(word.substr(1), "PLAN")) {
            command.plan = true;
            return true;
        }
        if (word.size() >= 5 && EqualsIgnoreCase(word.substr(1, 4), "LOG=")) {
            command.logPath.assign(word.substr(5));
            bad = bad || command.logPath.empty();
            return true;
        }
        return false;
    };
    std::string_view rest = TrimBlanks(arguments);
    for (;;) {
        // A switch is a word of its own, alone or in quotes (a log file's
        // name may hold blanks then), followed by a blank or the end.
        const bool quoted = !rest.empty() && rest.front() == '"';
        const size_t end = quoted ? rest.find('"', 1) : rest.find_first_of(" \t");
        if (quoted && end == std::string_view::npos) break;
        const std::string_view word = quoted ? rest.substr(1, end - 1) : rest.substr(0, end);
        const size_t after = quoted ? end + 1 : (end == std::string_view::npos ? rest.size() : end);
        if (word.size() < 2 || (word[0] != '/' && word[0] != '-')) break;
        if (after < rest.size() && !IsBlank(rest[after])) break;
        if (!takeSwitch(word)) break;
        rest = TrimBlanks(rest.substr(after));
    }
    // Switches after the code too: the registered UninstallString followed
    // by " /S" removes silently.
    for (;;) {
        size_t blank = rest.find_last_of(" \t");
        if (blank == std::string_view::npos) break;
        std::string_view token = rest.substr(blank + 1);
        if (token.size() == 4 && token.front() == '"' && token.back() == '"') token = token.substr(1, 2);
        if (token.size() != 2 || (token[0] != '/' && token[0] != '-')) break;
        if (!takeSwitch(token)) break;
        rest = TrimBlanks(rest.substr(0, blank));
    }
    if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"')
        rest = TrimBlanks(rest.substr(1, rest.size() - 2));
    command.productCode.assign(rest);
    // A plan is of a removal only.
    if (command.productCode.empty() || (remove && modify) || bad || (command.plan && modify)) {
        command.action = RunnerCommand::Action::kUsage;
    } else {
        command.action = modify ? RunnerCommand::Action::kModify : RunnerCommand::Action::kRemove;
    }
    return command;
}

}  // namespace kq
