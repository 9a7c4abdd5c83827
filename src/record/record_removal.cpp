#include "record/record_removal.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "base/path_rules.h"
#include "base/safe_name.h"
#include "base/text.h"
#include "record/removal_steps.h"

namespace kq {
namespace {

constexpr char kServicesKey[] = "SYSTEM\\CurrentControlSet\\Services";
constexpr char kUserEnvironment[] = "Environment";
constexpr char kSystemEnvironment[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

// A path's parts in lower case. In a file path a slash separates as a
// backslash does; in a registry key it is part of the key's name.
std::vector<std::string> Parts(const std::string& path, bool slashSeparates = true) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\' || (slashSeparates && c == '/')) {
            if (!part.empty()) parts.push_back(AsciiLower(part));
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(AsciiLower(part));
    return parts;
}

// The next part of a file path from `at` on (a slash separates as a
// backslash does); false when there is none.
bool NextPart(const std::string& path, size_t& at, std::string_view* part) {
    while (at < path.size() && (path[at] == '\\' || path[at] == '/')) ++at;
    const size_t begin = at;
    while (at < path.size() && path[at] != '\\' && path[at] != '/') ++at;
    *part = std::string_view(path).substr(begin, at - begin);
    return at > begin;
}

bool PartsStartWith(const std::vector<std::string>& parts, const std::vector<std::string>& prefix) {
    return prefix.size() <= parts.size() && std::equal(prefix.begin(), prefix.end(), parts.begin());
}

std::vector<std::string> KeyParts(const std::string& subKey) {
    return Parts(subKey, false);
}

bool KeyInside(const std::string& subKey, const char* parent) {
    return PartsStartWith(KeyParts(subKey), KeyParts(parent));
}

bool IsShortcutFile(const std::string& path) {
    return EndsWithIgnoreCase(path, ".lnk") || EndsWithIgnoreCase(path, ".url") || EndsWithIgnoreCase(path, ".pif");
}

// Keys every system has, whatever a record says it created.
bool IsSystemKey(RegistryRoot root, const std::string& subKey) {
    std::vector<std::string> parts = KeyParts(subKey);
    if (root == RegistryRoot::kClassesRoot) {
        static const char* const kShared[] = {"*", "allfilesystemobjects", "appid", "applications", "clsid",
                                              "directory", "drive", "exefile", "folder", "interface", "lnkfile",
                                              "mime", "protocols", "systemfileassociations", "typelib", "unknown",
                                              ".exe", ".lnk", ".dll", ".com", ".bat", ".cmd", ".sys", ".ini",
                                              ".inf", ".reg"};
        for (const char* name : kShared) {
            if (parts.size() == 1 && parts[0] == name) return true;
        }
        return false;
    }
    if (parts.size() <= 1) return true;
    static const char* const kSystem[] = {
        "software\\microsoft",
        "software\\classes",
        "software\\policies",
        "software\\microsoft\\windows",
        "software\\microsoft\\windows\\currentversion",
        "software\\microsoft\\windows\\currentversion\\uninstall",
        "software\\microsoft\\windows\\currentversion\\run",
        "software\\microsoft\\windows\\currentversion\\runonce",
        "software\\microsoft\\windows\\currentversion\\app paths",
        "software\\microsoft\\windows nt",
        "software\\microsoft\\windows nt\\currentversion",
        "system\\currentcontrolset",
        "system\\currentcontrolset\\control",
        "system\\currentcontrolset\\control\\session manager",
        "system\\currentcontrolset\\control\\session manager\\environment",
        "system\\currentcontrolset\\services",
    };
    for (const char* key : kSystem) {
        if (parts == KeyParts(key)) return true;
    }
    return false;
}

const char* RegistryProblem(const RecordEntry& entry, const RemovalScope& scope) {
    if (entry.root != RegistryRoot::kClassesRoot && entry.root != RegistryRoot::kCurrentUser &&
        entry.root != RegistryRoot::kLocalMachine && entry.root != RegistryRoot::kUsers)
        return "a registry root setup does not write";
    for (const std::string& part : KeyParts(entry.subKey)) {
        if (part.find_first_not_of(". ") == std::string::npos) return "relative part in key";
    }
    bool machine = entry.root == RegistryRoot::kLocalMachine;
    // Programs register for removal below a key named Uninstall in more than
    // one place (the machine's, each user's, the 32-bit view's): below any
    // such key only this product's own is in reach.
    const std::vector<std::string> parts = KeyParts(entry.subKey);
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        if (parts[i] == "uninstall" && parts[i + 1] != AsciiLower(scope.productCode))
            return "another product's registration";
    }
    // The key itself may be setup's (the first shared file of a machine);
    // its values are kept by removal alone.
    const bool sharedKeyItself = entry.kind == RecordKind::kKey && KeyParts(entry.subKey) == KeyParts(kSharedDllsKey);
    if (machine && KeyInside(entry.subKey, kSharedDllsKey) && !sharedKeyItself) return "the shared-file counts";
    // Only the machine's is the service database, but no root has such a key
    // a product would make: none is taken on a record's word.
    if (KeyInside(entry.subKey, kServicesKey)) return "the service database";
    return nullptr;
}

std::string Describe(const RecordEntry& entry) {
    switch (entry.kind) {
        case RecordKind::kFile: return "file " + entry.path;
        case RecordKind::kShared: return "shared count " + entry.path;
        case RecordKind::kServer: return "server " + entry.path;
        case RecordKind::kDir: return "folder " + entry.path;
        case RecordKind::kService: return "service " + entry.path;
        case RecordKind::kKey: return "key " + FormatRegistryKeyPath(entry.root, entry.subKey);
        case RecordKind::kValue: return "value " + FormatRegistryValuePath(entry.root, entry.subKey, entry.name);
        case RecordKind::kAppend:
            return "appended " + FormatRegistryValuePath(entry.root, entry.subKey, entry.name);
        case RecordKind::kIni: return "INI entry " + entry.path + " [" + entry.subKey + "] " + entry.name;
    }
    return std::string();
}

// The program of a service's command line: its first word, or the quoted
// text at its start.
std::string ProgramOf(const std::string& commandLine) {
    if (!commandLine.empty() && commandLine[0] == '"') {
        size_t close = commandLine.find('"', 1);
        return commandLine.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    }
    return commandLine.substr(0, commandLine.find(' '));
}

// `text` without the appended ";part" (the last one that is a whole
// element), or false when it is no longer there.
bool WithoutAppended(const std::string& text, const std::string& part, std::string* out) {
    const std::string needle = ";" + part;
    for (size_t at = text.rfind(needle); at != std::string::npos; at = at == 0 ? std::string::npos : text.rfind(needle, at - 1)) {
        size_t end = at + needle.size();
        if (end == text.size() || text[end] == ';') {
            *out = text.substr(0, at) + text.substr(end);
            return true;
        }
    }
    return false;
}

size_t Depth(const RecordEntry& entry) {
    return entry.kind == RecordKind::kKey ? KeyParts(entry.subKey).size() : Parts(entry.path).size();
}

// One removal from a record: the state its steps share, and the steps in the
// order they run (services before their files, values before their keys,
// keys and folders last, deepest first).
class RecordRemoval {
public:
    RecordRemoval(const std::vector<RecordEntry>& entries, const RemovalScope& scope, RecordMachine& machine)
        : m_entries(entries), m_scope(scope), m_machine(machine), m_count(entries.size()), m_usable(m_count, false),
          m_keep(m_count, false), m_ownKey(UninstallKeyPath(scope.productCode)) {}

    RecordRemovalReport Run() {
        SortOut();
        Each(RecordKind::kService, [this](size_t i, const RecordEntry& e) { RemoveService(i, e); });
        ForeseeFiles();
        Each(RecordKind::kFile, [this](size_t i, const RecordEntry& e) { RemoveFile(i, e); });
        Each(RecordKind::kIni, [this](size_t i, const RecordEntry& e) { RestoreIni(i, e); });
        Each(RecordKind::kAppend, [this](size_t i, const RecordEntry& e) { TakeBackAppended(i, e); });
        Each(RecordKind::kValue, [this](size_t i, const RecordEntry& e) { RestoreValue(i, e); });
        RemoveRunningProgram();
        RemoveRegistration();
        RemoveEmptyOnes(RecordKind::kKey);
        RemoveEmptyOnes(RecordKind::kDir);
        CollectRemaining();
        return m_report;
    }

private:
    bool OwnRegistration(const RecordEntry& entry) const {
        if (entry.kind == RecordKind::kKey || entry.kind == RecordKind::kValue) {
            return entry.root == RegistryRoot::kLocalMachine && KeyInside(entry.subKey, m_ownKey.c_str());
        }
        return !m_scope.maintenanceFolder.empty() && entry.kind != RecordKind::kService &&
               IsInsideFolder(entry.path, m_scope.maintenanceFolder);
    }

    // Refuses the entries out of reach; notes the shared files and servers.
    void SortOut() {
        for (size_t i = 0; i < m_count; ++i) {
            const char* problem = RecordEntryProblem(m_entries[i], m_scope);
            if (problem != nullptr) {
                m_report.refused.push_back(Describe(m_entries[i]) + ": " + problem);
                continue;
            }
            m_usable[i] = true;
            const RecordEntry& e = m_entries[i];
            if (e.kind == RecordKind::kShared) m_shared[AsciiLower(e.path)] = e.existed;
            if (e.kind == RecordKind::kServer) m_servers.insert(AsciiLower(e.path));
        }
    }

    void Left(size_t i, const char* why) {
        m_report.left.push_back(Describe(m_entries[i]) + ": " + why);
        m_keep[i] = true;
    }

    void Kept(size_t i, const std::string& why) { m_report.kept.push_back(Describe(m_entries[i]) + ": " + why); }

    // Walks the usable entries of one kind, latest first.
    template <typename Act>
    void Each(RecordKind kind, const Act& act) {
        for (size_t n = m_count; n-- > 0;) {
            if (!m_usable[n] || m_entries[n].kind != kind) continue;
            if (OwnRegistration(m_entries[n])) {
                m_keep[n] = true;  // goes with the registration at the end
                continue;
            }
            act(n, m_entries[n]);
        }
    }

    void RemoveService(size_t i, const RecordEntry& e) {
        std::string program;
        if (!m_machine.ServiceProgram(e.path, &program)) return;
        if (!IsInsideFolder(ProgramOf(program), m_scope.installDir)) {
            m_report.refused.push_back(Describe(e) + ": runs a program outside the install folder");
            return;
        }
        if (!m_machine.DeleteService(e.path)) Left(i, "could not be stopped or deleted");
    }

    // One less count for a shared file; true when nobody counts on it now.
    bool ReleaseShared(const std::string& path, FileOrigin origin, std::string* why) {
        ValueState current = m_machine.ReadValue(RegistryRoot::kLocalMachine, kSharedDllsKey, path);
        if (!current.present || current.type != kValueNumber || current.data.size() != 4) {
            *why = "no shared-file count for it";
            return false;
        }
        uint32_t n = 0;
        for (int b = 3; b >= 0; --b) n = (n << 8) | static_cast<unsigned char>(current.data[b]);
        // A file setup found without a count was counted once for its
        // earlier owner: that count goes too when it is the last.
        const uint32_t last = !m_shared[AsciiLower(path)] && origin != FileOrigin::kNew ? 2 : 1;
        if (m_scope.releasing) m_scope.releasing(path);
        if (n > last) {
            m_machine.WriteValue(RegistryRoot::kLocalMachine, kSharedDllsKey, path, NumberState(n - 1));
            *why = "still used by other programs";
            return false;
        }
        m_machine.WriteValue(RegistryRoot::kLocalMachine, kSharedDllsKey, path, ValueState());
        return true;
    }

    // The files RemoveFile will fingerprint, in its order.
    void ForeseeFiles() {
        std::vector<std::pair<std::string, FileFingerprint>> files;
        Each(RecordKind::kFile, [this, &files](size_t, const RecordEntry& e) {
            if (e.origin == FileOrigin::kNew && !m_machine.IsRunningProgram(e.path))
                files.emplace_back(e.path, e.fingerprint);
        });
        m_machine.Foresee(files);
    }

    void RemoveFile(size_t i, const RecordEntry& e) {
        if (!m_runningProgramsTurn && m_machine.IsRunningProgram(e.path)) {
            m_runningProgram.push_back(i);
            return;
        }
        const std::string key = AsciiLower(e.path);
        if (!m_filesDone.insert(key).second) return;
        const bool isShared = m_shared.count(key) != 0;
        if (e.origin != FileOrigin::kNew) {
            // Not setup's file: only its count is given back.
            std::string why;
            if (isShared) ReleaseShared(e.path, e.origin, &why);
            return;
        }
        FileFingerprint now = e.fingerprint;
        if (!m_machine.Fingerprint(e.path, &now)) {
            if (isShared) {
                std::string why;
                ReleaseShared(e.path, e.origin, &why);
            }
            return;
        }
        if (!(now == e.fingerprint)) {
            Kept(i, "changed since installation");
            return;
        }
        if (!IsInsideFolder(e.path, m_scope.installDir) && !IsShortcutFile(e.path)) {
            std::string why;
            if (!isShared && !m_scope.rollback) {
                Kept(i, "outside the install folder and not counted as shared");
                return;
            }
            if (isShared && !ReleaseShared(e.path, e.origin, &why)) {
                Kept(i, why);
                return;
            }
        }
        if (m_servers.count(key) != 0) m_machine.UnregisterServer(e.path);
        if (!m_machine.RemoveFile(e.path)) Left(i, "in use or access denied");
    }

    // The runner's own file once everything else went; else it stays with
    // its count for the next attempt.
    void RemoveRunningProgram() {
        m_runningProgramsTurn = true;
        for (size_t i : m_runningProgram) {
            if (m_report.left.empty()) {
                RemoveFile(i, m_entries[i]);
                continue;
            }
            for (size_t j = 0; j < m_count; ++j) {
                const RecordEntry& e = m_entries[j];
                const bool samePath = EqualsIgnoreCase(e.path, m_entries[i].path);
                if (m_usable[j] && samePath && (e.kind == RecordKind::kFile || e.kind == RecordKind::kShared))
                    m_keep[j] = true;
            }
        }
    }

    void RestoreIni(size_t i, const RecordEntry& e) {
        std::string current;
        if (!m_machine.ReadIni(e.path, e.subKey, e.name, &current)) return;
        // Already as it was: a later line of the same run restored it.
        if (e.existed && current == e.previous) return;
        if (current != e.text) {
            Kept(i, "changed since installation");
            return;
        }
        if (!m_machine.WriteIni(e.path, e.subKey, e.name, e.existed ? &e.previous : nullptr))
            Left(i, "could not be written");
    }

    void TakeBackAppended(size_t i, const RecordEntry& e) {
        ValueState current = m_machine.ReadValue(e.root, e.subKey, e.name);
        if (!current.present || (current.type != kValueString && current.type != kValueExpandString)) return;
        std::string rest;
        if (!WithoutAppended(TextOfState(current), e.text, &rest)) return;
        ValueState next;
        if (!rest.empty() || e.existed) next = StringState(rest, current.type == kValueExpandString);
        if (!m_machine.WriteValue(e.root, e.subKey, e.name, next)) Left(i, "could not be written");
    }

    void RestoreValue(size_t i, const RecordEntry& e) {
        ValueState current = m_machine.ReadValue(e.root, e.subKey, e.name);
        if (current == e.before) return;
        if (current != e.after) {
            Kept(i, "changed since installation");
            return;
        }
        if (!m_machine.WriteValue(e.root, e.subKey, e.name, e.before)) Left(i, "could not be written");
    }

    void RemoveRegistration() {
        if (!m_report.left.empty() || !m_scope.removeRegistration) return;
        m_machine.DeleteKeyTree(RegistryRoot::kLocalMachine, m_ownKey);
        if (!m_scope.maintenanceFolder.empty()) m_machine.DeleteFolderTree(m_scope.maintenanceFolder);
        m_report.registrationRemoved = true;
    }

    // Keys or folders, deepest first; each only when empty.
    void RemoveEmptyOnes(RecordKind kind) {
        std::vector<size_t> order;
        for (size_t n = m_count; n-- > 0;) {
            if (m_usable[n] && m_entries[n].kind == kind) order.push_back(n);
        }
        std::stable_sort(order.begin(), order.end(),
                         [this](size_t a, size_t b) { return Depth(m_entries[a]) > Depth(m_entries[b]); });
        std::set<std::string> done;
        for (size_t i : order) {
            const RecordEntry& e = m_entries[i];
            if (OwnRegistration(e) && !m_report.registrationRemoved) {
                m_keep[i] = true;
                continue;
            }
            std::string name = AsciiLower(kind == RecordKind::kKey ? FormatRegistryKeyPath(e.root, e.subKey) : e.path);
            if (!done.insert(name).second) continue;
            if (!RemoveIfEmpty(e)) {
                Kept(i, kind == RecordKind::kKey ? "holds values or keys setup did not create"
                                                 : "holds files setup did not create");
                m_keep[i] = true;
            }
        }
    }

    // True when the key or folder is gone (or was already).
    bool RemoveIfEmpty(const RecordEntry& e) {
        if (e.kind == RecordKind::kKey)
            return !m_machine.KeyExists(e.root, e.subKey) || m_machine.DeleteEmptyKey(e.root, e.subKey);
        return !m_machine.FolderExists(e.path) || m_machine.RemoveEmptyFolder(e.path);
    }

    void CollectRemaining() {
        for (size_t i = 0; i < m_count; ++i) {
            // A server entry stays with its file; a shared count that was
            // given back is not given back twice.
            if (m_keep[i]) m_report.remaining.push_back(m_entries[i]);
            if (m_usable[i] && m_entries[i].kind == RecordKind::kServer && FileKept(m_entries[i].path))
                m_report.remaining.push_back(m_entries[i]);
        }
    }

    bool FileKept(const std::string& path) const {
        for (size_t j = 0; j < m_count; ++j) {
            const RecordEntry& e = m_entries[j];
            if (m_keep[j] && e.kind == RecordKind::kFile && EqualsIgnoreCase(e.path, path)) return true;
        }
        return false;
    }

    const std::vector<RecordEntry>& m_entries;
    const RemovalScope& m_scope;
    RecordMachine& m_machine;
    const size_t m_count;
    std::vector<bool> m_usable;
    std::vector<bool> m_keep;  // into `remaining`
    std::set<std::string> m_servers;
    std::map<std::string, bool> m_shared;  // path -> it had a count before
    std::set<std::string> m_filesDone;
    std::vector<size_t> m_runningProgram;  // its file entries, put off
    bool m_runningProgramsTurn = false;
    const std::string m_ownKey;
    RecordRemovalReport m_report;
};

}  // namespace

RecordMachine::~RecordMachine() = default;

void RecordMachine::Foresee(const std::vector<std::pair<std::string, FileFingerprint>>&) {}

std::string RecordMachine::SetAside(const std::string&, const std::function<void(const std::string&)>&) {
    return std::string();
}

bool RecordMachine::PutBack(const std::string&, const std::string&) {
    return false;
}

bool RecordMachine::IsRunningProgram(const std::string&) {
    return false;
}

bool IsInsideFolder(const std::string& path, const std::string& folder) {
    // Part by part without copies: asked for every entry against every
    // folder in reach, of records with tens of thousands of files.
    size_t inPath = 0;
    size_t inFolder = 0;
    std::string_view part;
    std::string_view folderPart;
    bool any = false;
    while (NextPart(folder, inFolder, &folderPart)) {
        if (!NextPart(path, inPath, &part) || part.size() != folderPart.size()) return false;
        for (size_t i = 0; i < part.size(); ++i) {
            if (AsciiLower(part[i]) != AsciiLower(folderPart[i])) return false;
        }
        any = true;
    }
    return any;
}

const char* RecordEntryProblem(const RecordEntry& entry, const RemovalScope& scope) {
    switch (entry.kind) {
        case RecordKind::kFile:
        case RecordKind::kShared:
        case RecordKind::kServer:
        case RecordKind::kDir:
        case RecordKind::kIni: {
            const char* problem = AbsolutePathProblem(entry.path);
            if (problem != nullptr) return problem;
            if (entry.path.size() > 2 && entry.path[0] == '\\') return "a network path";
            // Latest first: the install folder comes last, and nearly every
            // entry is in it.
            bool inScope = false;
            for (auto folder = scope.folders.rbegin(); !inScope && folder != scope.folders.rend(); ++folder)
                inScope = IsInsideFolder(entry.path, *folder);
            if (!inScope) return "outside every folder the install could reach";
            const bool inInstallDir = IsInsideFolder(entry.path, scope.installDir);
            for (const std::string& folder : scope.foreignFolders) {
                if (!inInstallDir && IsInsideFolder(entry.path, folder)) return "inside another product's folder";
            }
            if (entry.kind == RecordKind::kDir) {
                for (const std::string& folder : scope.folders) {
                    if (Parts(folder) == Parts(entry.path) && Parts(folder) != Parts(scope.installDir))
                        return "a folder of the system";
                }
            }
            return nullptr;
        }
        case RecordKind::kKey: {
            const char* problem = RegistryProblem(entry, scope);
            if (problem != nullptr) return problem;
            return IsSystemKey(entry.root, entry.subKey) ? "a key of the system" : nullptr;
        }
        case RecordKind::kValue:
            return RegistryProblem(entry, scope);
        case RecordKind::kAppend: {
            bool environment = (entry.root == RegistryRoot::kCurrentUser && EqualsIgnoreCase(entry.subKey, kUserEnvironment)) ||
                               (entry.root == RegistryRoot::kLocalMachine && EqualsIgnoreCase(entry.subKey, kSystemEnvironment));
            return environment ? nullptr : "not an environment key";
        }
        case RecordKind::kService:
            return IsSafeLeafName(entry.path) && entry.path.size() <= 256 ? nullptr : "not a service name";
    }
    return "unknown entry";
}

RecordRemovalReport RemoveRecorded(const std::vector<RecordEntry>& entries, const RemovalScope& scope,
                                   RecordMachine& machine) {
    return RecordRemoval(entries, scope, machine).Run();
}

RemovalScope RollbackScope(const std::string& productCode, const std::string& installDir,
                           const std::string& maintenanceFolder, bool overEarlier) {
    RemovalScope scope;
    scope.productCode = productCode;
    scope.installDir = installDir;
    scope.maintenanceFolder = maintenanceFolder;
    for (char drive = 'A'; drive <= 'Z'; ++drive) scope.folders.push_back(std::string(1, drive) + ":\\");
    scope.rollback = true;
    scope.removeRegistration = !overEarlier;
    return scope;
}

std::vector<RecordEntry> WithoutReleasedCounts(const ParsedRecord& record) {
    std::set<std::string> released;
    for (const std::string& path : record.released) released.insert(AsciiLower(path));
    std::vector<RecordEntry> entries;
    for (const RecordEntry& entry : record.entries) {
        if (entry.kind != RecordKind::kShared || released.count(AsciiLower(entry.path)) == 0) entries.push_back(entry);
    }
    return entries;
}

RecordRemovalReport RollBackRecorded(const std::vector<RecordEntry>& entries, const std::vector<SetAsideCopy>& setAside,
                                     const RemovalScope& scope, RecordMachine& machine) {
    RecordRemovalReport report = RemoveRecorded(entries, scope, machine);
    for (const SetAsideCopy& aside : setAside) {
        if (!IsRunsOwnCopy(aside) || !machine.Fingerprint(aside.copy, nullptr)) continue;
        // The file in use: the copy stays where the record names it, and the
        // run stays listed so that the next rollback puts it back.
        if (!machine.PutBack(aside.copy, aside.path)) report.left.push_back("file " + aside.path + ": in use");
    }
    return report;
}

bool IsRunsOwnCopy(const SetAsideCopy& aside) {
    if (AbsolutePathProblem(aside.path) != nullptr || AbsolutePathProblem(aside.copy) != nullptr) return false;
    const size_t cut = aside.copy.find_last_of('\\');
    if (cut == std::string::npos || aside.path.find_last_of('\\') != cut ||
        AsciiLower(aside.path.substr(0, cut)) != AsciiLower(aside.copy.substr(0, cut)))
        return false;
    const std::string name = AsciiLower(aside.copy.substr(cut + 1));
    const size_t digits = name.size() - std::min(name.size(), sizeof("kq.tmp") - 1);
    if (digits < 1 || digits > 4 || name.compare(0, 2, "kq") != 0 || name.compare(2 + digits, 4, ".tmp") != 0)
        return false;
    return std::all_of(name.begin() + 2, name.begin() + 2 + digits,
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

void UndoUnrecordedCounts(const ParsedRecord& record, RecordMachine& machine) {
    std::set<std::string> recorded;
    for (const RecordEntry& entry : record.entries) {
        if (entry.kind == RecordKind::kShared) recorded.insert(AsciiLower(entry.path));
    }
    for (const CountTaken& count : record.counting) {
        if (AbsolutePathProblem(count.path) != nullptr || recorded.count(AsciiLower(count.path)) != 0) continue;
        // Not taken after all, or changed since by another program: left.
        if (!(machine.ReadValue(RegistryRoot::kLocalMachine, kSharedDllsKey, count.path) == count.after)) continue;
        machine.WriteValue(RegistryRoot::kLocalMachine, kSharedDllsKey, count.path, count.before);
    }
}

void DiscardSetAsideCopies(const std::vector<SetAsideCopy>& setAside, RecordMachine& machine) {
    for (const SetAsideCopy& aside : setAside) {
        if (IsRunsOwnCopy(aside)) machine.RemoveFile(aside.copy);
    }
}

void CountSharedFiles(InstallRecord& record, const std::vector<std::string>& ownFolders, RecordMachine& machine) {
    std::set<std::string> counted;
    // Only the files outside the product's own folders: a run of many files
    // puts nearly all of them inside, and the entries are added to below.
    std::vector<RecordEntry> entries;
    record.ForEachEntry([&](const RecordEntry& e) {
        bool own = false;
        for (const std::string& folder : ownFolders) own = own || IsInsideFolder(e.path, folder);
        if (e.kind == RecordKind::kFile && !own && !IsShortcutFile(e.path)) entries.push_back(e);
    });
    for (const RecordEntry& e : entries) {
        if (!counted.insert(AsciiLower(e.path)).second) continue;
        ValueState current = machine.ReadValue(RegistryRoot::kLocalMachine, kSharedDllsKey, e.path);
        uint32_t n = 0;
        if (current.present && current.type == kValueNumber && current.data.size() == 4) {
            for (int b = 3; b >= 0; --b) n = (n << 8) | static_cast<unsigned char>(current.data[b]);
        } else if (e.origin != FileOrigin::kNew) {
            n = 1;  // the program that put it there first
        }
        const bool hadCount = current.present;
        const bool keyExisted = machine.KeyExists(RegistryRoot::kLocalMachine, kSharedDllsKey);
        // Known before it is taken: a run killed right after gives it back.
        if (!keyExisted) record.Ahead(KeyEntry(RegistryRoot::kLocalMachine, kSharedDllsKey));
        record.Counting({e.path, current, NumberState(n + 1)});
        if (!machine.WriteValue(RegistryRoot::kLocalMachine, kSharedDllsKey, e.path, NumberState(n + 1))) continue;
        // A fresh system has no count at all yet: the key is setup's then.
        if (!keyExisted) record.Key(RegistryRoot::kLocalMachine, kSharedDllsKey);
        RecordEntry entry;
        entry.kind = RecordKind::kShared;
        entry.path = e.path;
        entry.existed = hadCount;
        record.Add(std::move(entry));
    }
}

}  // namespace kq
