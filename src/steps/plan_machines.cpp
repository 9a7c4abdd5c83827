#include "steps/plan_machines.h"

#include "base/text.h"
#include "steps/install_recorders.h"

namespace kq {
namespace {

std::string RootKeyName(RegistryRoot root, const std::string& subKey) {
    return std::to_string(static_cast<int>(root)) + "\\" + AsciiLower(subKey);
}

}  // namespace

CreateDirResult PlanBase::PlanFolder(const std::string& path) {
    const std::string level = WithoutTrailingBackslash(path);
    const std::string key = "dir:" + AsciiLower(level);
    if (m_planned.count(key) != 0 || m_state.FolderExists(level)) return CreateDirResult::Exists;
    // As the system answers: a level whose parent is missing is not made,
    // and the directory step goes up to make the parent first.
    const size_t cut = level.rfind('\\');
    if (cut != std::string::npos && cut > 2) {
        const std::string parent = level.substr(0, cut);
        if (m_planned.count("dir:" + AsciiLower(parent)) == 0 && !m_state.FolderExists(parent))
            return CreateDirResult::ParentMissing;
    }
    m_planned.insert(key);
    m_record.Folder(level);
    return CreateDirResult::Created;
}

void PlanBase::PlanFolders(const std::string& path) {
    for (const std::string& level : PathLevels(WithoutTrailingBackslash(path))) {
        // "C:" alone is a drive, never made.
        if (level.size() > 2) PlanFolder(level);
    }
}

void PlanBase::PlanFile(const std::string& from, const std::string& to) {
    // A second write of the same path in one run changes nothing the plan
    // has not said already.
    if (!m_planned.insert("file:" + AsciiLower(to)).second) return;
    FileFingerprint there;
    const bool existed = m_state.Fingerprint(to, &there);
    FileFingerprint source;
    if (!from.empty()) m_state.Fingerprint(from, &source);
    m_record.File(existed ? FileOrigin::kReplaced : FileOrigin::kNew, to, source);
}

void PlanBase::PlanKey(RegistryRoot root, const std::string& subKey) {
    for (const std::string& level : PathLevels(subKey)) {
        if (m_state.KeyExists(root, level)) continue;
        if (m_planned.insert("key:" + RootKeyName(root, level)).second) m_record.Key(root, level);
    }
}

void PlanBase::PlanValue(RegistryRoot root, const std::string& subKey, const std::string& name,
                         const ValueState& after) {
    PlanKey(root, subKey);
    const ValueState before = m_state.ReadValue(root, subKey, name);
    RecordValueChange(m_record, root, subKey, name, before, after);
}

bool PlanFileMachine::Move(const std::string& from, const std::string& to) {
    PlanFile(from, to);
    if (IsStaged(from)) Remove(from);
    return true;
}

EntryResult PlanFileMachine::Unpack(const std::string& entry, const std::string& to, FileFingerprint& written) {
    if (IsStaged(to)) return m_real.Unpack(entry, to, written);
    const std::string staging = StagingPath(to);
    const EntryResult result = m_real.Unpack(entry, staging, written);
    if (result == EntryResult::kDone) PlanFile(staging, to);
    Remove(staging);
    return result;
}

std::string PlanFileMachine::StagingPath(const std::string&) {
    const std::string path = m_stagingFolder + "kq-plan" + std::to_string(++m_stagings) + ".tmp";
    m_staged.insert(AsciiLower(path));
    return path;
}

void PlanFileMachine::Remove(const std::string& path) {
    // Only the plan's own staging files are really removed.
    if (m_staged.erase(AsciiLower(path)) != 0) m_real.Remove(path);
}

bool PlanFileMachine::Copy(const std::string& from, const std::string& to) {
    PlanFile(from, to);
    return true;
}

void PlanFileMachine::RegisterServer(const std::string& path) {
    RecordInstalled(m_record, RecordKind::kServer, path);
}

DownloadResult PlanFileMachine::Download(const std::string&, const std::string& destination) {
    PlanFile(std::string(), destination);
    return DownloadResult::kDone;
}

bool PlanSettingsMachine::CopyFileTo(const std::string& from, const std::string& to) {
    PlanFile(from, to);
    return true;
}

bool PlanSettingsMachine::WriteIniValue(const std::string& file, const std::string& section, const std::string& key,
                                        const std::string& value) {
    m_record.Add(IniEntry(file, section, key, value));
    // The first entry of a file that is not there creates it.
    if (!m_state.Fingerprint(file, nullptr)) PlanFile(std::string(), file);
    return true;
}

bool PlanSettingsMachine::CreateKey(RegistryRoot root, const std::string& subKey) {
    PlanKey(root, subKey);
    return true;
}

bool PlanSettingsMachine::WriteString(RegistryRoot root, const std::string& subKey, const std::string& name,
                                      const std::string& value, bool expandable) {
    PlanValue(root, subKey, name, StringState(value, expandable));
    return true;
}

bool PlanSettingsMachine::WriteNumber(RegistryRoot root, const std::string& subKey, const std::string& name,
                                      uint32_t value) {
    PlanValue(root, subKey, name, NumberState(value));
    return true;
}

bool PlanSettingsMachine::WriteEnvironmentValue(RegistryRoot root, const std::string& subKey, const std::string& name,
                                                const std::string& value, bool expandable) {
    return WriteString(root, subKey, name, value, expandable);
}

bool PlanSettingsMachine::WriteBinaryText(RegistryRoot root, const std::string& subKey, const std::string& name,
                                          const std::string& text) {
    // The text is stored as bytes with its terminating zero.
    ValueState after;
    after.present = true;
    after.type = kValueBinary;
    after.data = text + '\0';
    PlanValue(root, subKey, name, after);
    return true;
}

bool PlanSettingsMachine::DeleteValue(RegistryRoot root, const std::string& subKey, const std::string& name) {
    const ValueState before = m_state.ReadValue(root, subKey, name);
    if (before.present) m_record.Value(root, subKey, name, before, ValueState());
    return true;
}

bool PlanShortcutMachine::CopyFileTo(const std::string& from, const std::string& to) {
    PlanFile(from, to);
    return true;
}

bool PlanShortcutMachine::CreateInternetShortcut(const std::string&, const std::string& path) {
    PlanFile(std::string(), path);
    return true;
}

bool PlanShortcutMachine::CreateShellLink(const ShellLinkSpec& link) {
    PlanFile(std::string(), link.linkPath);
    return true;
}

ServiceCreation PlanServiceMachine::Install(const ServiceSpec& spec) {
    std::string program;
    if (m_state.ServiceProgram(spec.name, &program)) {
        return EqualsIgnoreCase(program, spec.commandLine) ? ServiceCreation::kAlreadyInPlace
                                                           : ServiceCreation::kFailed;
    }
    RecordInstalled(m_record, RecordKind::kService, spec.name);
    return ServiceCreation::kCreated;
}

bool PlanRegistrationMachine::CopyFileTo(const std::string& from, const std::string& to) {
    PlanFile(from, to);
    return true;
}

bool PlanRegistrationMachine::CreateMachineKey(const std::string& subKey) {
    PlanKey(RegistryRoot::kLocalMachine, subKey);
    return true;
}

bool PlanRegistrationMachine::WriteMachineValue(const std::string& subKey, const UninstallValue& value) {
    const ValueState after = value.type == UninstallValue::Type::kNumber ? NumberState(value.number)
                                                                         : StringState(value.text);
    PlanValue(RegistryRoot::kLocalMachine, subKey, value.name, after);
    return true;
}

}  // namespace kq
