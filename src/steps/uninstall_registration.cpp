#include "steps/uninstall_registration.h"

#include "base/registry_path.h"
#include "base/safe_name.h"
#include "base/text.h"
#include "run/file_list.h"
#include "steps/version_rule.h"

namespace kq {
namespace {

constexpr char kAppInfo[] = "APPINFO";
constexpr char kLiveUpdate[] = "LIVEUPDATE";

bool SamePath(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i] >= 'a' && a[i] <= 'z' ? char(a[i] - 'a' + 'A') : a[i];
        char y = b[i] >= 'a' && b[i] <= 'z' ? char(b[i] - 'a' + 'A') : b[i];
        if (x != y) return false;
    }
    return true;
}

// The file name of `path`, or "" when it is no plain name.
std::string LeafOf(const std::string& path) {
    std::string leaf;
    SafeLeafName(path, &leaf);
    return leaf;
}

// Copies unless source and target are one file (an icon the file step
// already put into the install folder); true when the target is there.
bool PlaceCopy(RegistrationMachine& machine, const std::string& from, const std::string& to) {
    if (SamePath(from, to)) return machine.IsFile(to);
    return machine.CopyFileTo(from, to);
}

void WriteString(RegistrationMachine& machine, const std::string& key, const char* name, const std::string& text) {
    UninstallValue value;
    value.name = name;
    value.text = text;
    machine.WriteMachineValue(key, value);
}

void WriteNumber(RegistrationMachine& machine, const std::string& key, const char* name, uint32_t number) {
    UninstallValue value;
    value.name = name;
    value.type = UninstallValue::Type::kNumber;
    value.number = number;
    machine.WriteMachineValue(key, value);
}

// One runner in the Windows folder serves every installed product, so a
// package never puts back an older one than is there: newer products'
// removal relies on what their runner knows. An equal version is copied
// (the same runner, made whole again); a runner without version
// information reads 0.0.0.0, as the library rule reads such files.
bool RunnerReplaces(RegistrationMachine& machine, const std::string& packaged, const std::string& installed) {
    if (!machine.IsFile(installed)) return true;
    return !(ReduceVersionText(machine.FileVersion(packaged).c_str()) <
             ReduceVersionText(machine.FileVersion(installed).c_str()));
}

}  // namespace

RegistrationMachine::~RegistrationMachine() = default;

std::string PackedFilePath(const std::string& value, const std::string& plainFolder, const ExpandFunction& expand) {
    if (value.find('<') != std::string::npos) {
        std::string path = expand(value);
        return LeafOf(path).empty() ? std::string() : path;
    }
    std::string leaf = LeafOf(value);
    return leaf.empty() ? std::string() : plainFolder + leaf;
}

std::string WorkingFolderFilePath(const std::string& value, const std::string& workFolderName,
                                  const ExpandFunction& expand) {
    if (value.find('<') != std::string::npos) return PackedFilePath(value, std::string(), expand);
    std::string leaf = LeafOf(value);
    if (leaf.empty()) return std::string();
    // The folder is expanded on its own so that the author's variables are
    // never looked for inside the file name.
    return WithTrailingBackslash(expand("<TempFolder>\\" + workFolderName + "\\")) + leaf;
}

std::string InstalledCopyPath(const std::string& path, const ExpandFunction& expand) {
    std::string leaf = LeafOf(path);
    if (leaf.empty()) return std::string();
    return WithTrailingBackslash(expand("<Install Dir>\\")) + leaf;
}

std::string LiveUpdateFolder(const Script& script, const ExpandFunction& expand) {
    std::string folder = script.Value(kLiveUpdate, "5");
    folder = expand(folder.empty() ? std::string("<Install Dir>") : folder);
    // A folder that expands to nothing stays nothing, never a drive's root.
    return folder.empty() ? folder : WithTrailingBackslash(folder);
}

bool PrepareMaintenanceProgram(const Script& script, const ExpandFunction& expand, const RegistrationPaths& paths,
                               RegistrationMachine& machine, UninstallLog& log) {
    bool copied = false;
    std::string program = PackedFilePath(script.Value(kAppInfo, "a11"), paths.packedFileFolder, expand);
    if (!program.empty() && machine.IsFile(program)) {
        std::string name = LeafOf(program);
        // Logged only once it is there: the runner starts what RUN3RD names.
        if (machine.CopyFileTo(program, paths.maintenanceFolder + name)) {
            log.Append(logkind::kRun3rd, name);
            log.Append(logkind::kRun3rdCmd, expand(script.Value(kAppInfo, "a12")));
            copied = true;
        }
    }
    if (script.Value(kAppInfo, "a13") == "No") log.Append(logkind::kRemoveAll, "Yes");
    return copied;
}

namespace {

// The steps of one registration, over the product's key once it is made.
class Registrar {
public:
    Registrar(const Script& script, const ExpandFunction& expand, const RegistrationPaths& paths,
              RegistrationMachine& machine, UninstallLog& log)
        : m_script(script), m_expand(expand), m_paths(paths), m_machine(machine), m_log(log),
          m_key(UninstallKeyPath(paths.productCode)) {}

    const std::string& Key() const { return m_key; }

    // A disk-image package never extracts into the working folder: its
    // runner, maintenance program and icon lie among the packed files, and a
    // product without its runner could not be removed.
    std::string SupportFile(const std::string& inWorkingFolder) const {
        RegistrationMachine& machine = m_machine;
        const auto isFile = [&machine](const std::string& path) { return machine.IsFile(path); };
        return PackageSupportFile(inWorkingFolder, m_paths.packedFileFolder, isFile);
    }

    void PlaceRunnerAndLanguage() {
        std::string runner =
            SupportFile(m_expand("<TempFolder>\\" + m_paths.workFolderName + "\\" + kMaintenanceRunnerName));
        const std::string installedRunner = m_expand(std::string("<WindowsFolder>\\") + kMaintenanceRunnerName);
        if (m_machine.IsFile(runner) && RunnerReplaces(m_machine, runner, installedRunner)) {
            m_machine.CopyFileTo(runner, installedRunner);
        }
        std::string language = m_paths.sourceFolder + kLanguageFileName;
        if (m_machine.IsFile(language)) m_machine.CopyFileTo(language, m_paths.maintenanceFolder + kLanguageFileName);
    }

    void WriteLiveUpdate() {
        if (!Script::IsYes(m_script.Value(kLiveUpdate, "1"))) return;
        WriteString(m_machine, m_key, "LVmode", m_expand(m_script.Value(kLiveUpdate, "2")));
        WriteString(m_machine, m_key, "LVurl", m_expand(m_script.Value(kLiveUpdate, "3")));
        WriteString(m_machine, m_key, "LVsilent", m_expand(m_script.Value(kLiveUpdate, "4")));
        std::string folder = LiveUpdateFolder(m_script, m_expand);
        for (const char* name : {"liveupdate.exe", "liveupdate.inf"}) {
            std::string target = folder + name;
            // Only a file that arrived is the product's to remove later.
            if (m_machine.CopyFileTo(m_paths.packedFileFolder + name, target)) m_log.Append(logkind::kFile, target);
        }
    }

    void WriteMaintenanceProgram() {
        if (!Script::IsYes(m_script.Value(kAppInfo, "a10"))) return;
        m_machine.CopyFolderInto(m_paths.sourceFolder + "theme", m_paths.maintenanceFolder);
        std::string program =
            SupportFile(WorkingFolderFilePath(m_script.Value(kAppInfo, "a11"), m_paths.workFolderName, m_expand));
        if (!program.empty() && m_machine.IsFile(program)) {
            std::string target = InstalledCopyPath(program, m_expand);
            if (!target.empty() && PlaceCopy(m_machine, program, target)) {
                WriteString(m_machine, m_key, "UninstallExecute", target);
                WriteString(m_machine, m_key, "UninstallCmdLine", m_script.Value(kAppInfo, "a12"));
            }
        }
        WriteString(m_machine, m_key, "UninstallRemoveAll", m_script.Value(kAppInfo, "a13"));
    }

    // What the list of installed programs shows and runs.
    void WriteListEntry() {
        const std::string& code = m_paths.productCode;
        Write("DisplayName", m_script.Value(kAppInfo, "a1"));
        Write("DisplayVersion", m_script.Value(kAppInfo, "a2"));
        static const struct {
            const char* key;
            const char* name;
        } kOptional[] = {
            {"a19", "Publisher"},     {"a20", "Comments"}, {"a21", "URLInfoAbout"},
            {"a22", "URLUpdateInfo"}, {"a24", "HelpLink"}, {"a25", "HelpTelephone"},
        };
        for (const auto& row : kOptional) {
            std::string text = m_script.Value(kAppInfo, row.key);
            if (!text.empty()) Write(row.name, text);
        }
        Write("LastInstallationPath", m_paths.installDir);
        Write("ModifyPath", std::string(kMaintenanceRunnerName) + " /M " + code);
        Write("UninstallString", std::string(kMaintenanceRunnerName) + " /R " + code);
        // What Windows' list of programs runs for a removal without questions.
        Write("QuietUninstallString", std::string(kMaintenanceRunnerName) + " /R " + code + " /S");
        Write("InstallSource", CutRegistryText(m_machine.CurrentDirectory()));
        static const struct {
            const char* key;
            const char* name;
        } kSwitches[] = {{"a15", "NoModify"}, {"a16", "NoRemove"}, {"a17", "NoRepair"}};
        for (const auto& row : kSwitches) {
            if (Script::IsYes(m_script.Value(kAppInfo, row.key))) WriteNumber(m_machine, m_key, row.name, 1);
        }
    }

    void WriteIcon() {
        std::string iconValue = m_script.Value(kAppInfo, "a18");
        if (iconValue.empty()) return;
        std::string icon = SupportFile(WorkingFolderFilePath(iconValue, m_paths.workFolderName, m_expand));
        if (icon.empty() || !m_machine.IsFile(icon)) return;
        std::string target = InstalledCopyPath(icon, m_expand);
        if (!target.empty() && PlaceCopy(m_machine, icon, target)) {
            m_log.Append(logkind::kFile, target);
            Write("DisplayIcon", target);
        }
    }

private:
    void Write(const char* name, const std::string& text) { WriteString(m_machine, m_key, name, text); }

    const Script& m_script;
    const ExpandFunction& m_expand;
    const RegistrationPaths& m_paths;
    RegistrationMachine& m_machine;
    UninstallLog& m_log;
    const std::string m_key;
};

}  // namespace

Status RegisterForUninstall(const Script& script, const ExpandFunction& expand, const RegistrationPaths& paths,
                            RegistrationMachine& machine, UninstallLog& log) {
    const std::string& code = paths.productCode;
    if (!IsUsableProductCode(code)) {
        return Status::Error("The product code \"" + code + "\" is not a plain name; the product was not registered.");
    }
    Registrar registrar(script, expand, paths, machine, log);
    registrar.PlaceRunnerAndLanguage();
    if (!machine.CreateMachineKey(registrar.Key())) {
        return Status::Error("The uninstall registration of \"" + code + "\" could not be created.");
    }
    registrar.WriteLiveUpdate();
    registrar.WriteMaintenanceProgram();
    if (!Script::IsNotNo(script.Value(kAppInfo, "a14"))) return Status::Ok();
    registrar.WriteListEntry();
    registrar.WriteIcon();
    return Status::Ok();
}

}  // namespace kq
