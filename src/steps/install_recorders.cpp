#include "steps/install_recorders.h"

#include "base/registry_path.h"
#include "base/text.h"

namespace kq {
namespace {

bool IsEnvironmentKey(RegistryRoot root, const std::string& subKey) {
    RegistryRoot envRoot = RegistryRoot::kNone;
    std::string envKey;
    for (const char* scope : {"User", "System"}) {
        if (EnvironmentKey(scope, &envRoot, &envKey) && envRoot == root && EqualsIgnoreCase(envKey, subKey)) return true;
    }
    return false;
}


bool EnvironmentAppend(RegistryRoot root, const std::string& subKey, const ValueState& before,
                       const ValueState& after, std::string* part) {
    const std::string oldText = TextOfState(before);
    const std::string newText = TextOfState(after);
    if (!IsEnvironmentKey(root, subKey) || !after.present || newText.size() <= oldText.size() + 1 ||
        newText.compare(0, oldText.size(), oldText) != 0 || newText[oldText.size()] != ';' ||
        (before.present && before.type != after.type))
        return false;
    *part = newText.substr(oldText.size() + 1);
    return true;
}

}  // namespace

std::vector<std::string> PathLevels(const std::string& path) {
    std::vector<std::string> levels;
    for (size_t at = 0; at <= path.size(); ++at) {
        if (at == path.size() || path[at] == '\\') {
            if (at > 0 && path[at - 1] != '\\') levels.push_back(path.substr(0, at));
        }
    }
    return levels;
}

void RecordValueChange(InstallRecord& record, RegistryRoot root, const std::string& subKey, const std::string& name,
                       const ValueState& before, const ValueState& after) {
    std::string part;
    if (!EnvironmentAppend(root, subKey, before, after, &part)) {
        record.Value(root, subKey, name, before, after);
        return;
    }
    RecordEntry entry = RegistryEntry(RecordKind::kAppend, root, subKey, name);
    entry.text = part;
    entry.existed = before.present;
    record.Add(std::move(entry));
}

RecordEntry ChangeWatch::IniEntry(const std::string& file, const std::string& section, const std::string& key,
                                  const std::string& value) const {
    RecordEntry entry;
    entry.kind = RecordKind::kIni;
    entry.path = file;
    entry.subKey = section;
    entry.name = key;
    entry.text = value;
    entry.existed = m_state.ReadIni(file, section, key, &entry.previous);
    return entry;
}

void RecordInstalled(InstallRecord& record, RecordKind kind, const std::string& name) {
    RecordEntry entry;
    entry.kind = kind;
    entry.path = name;
    record.Add(std::move(entry));
}

void RecordingBase::BeforeFile(const std::string& path, const std::function<bool(const std::string&)>& isThere) {
    const std::string key = AsciiLower(path);
    if (InFolderTheRunMade(key)) {
        // Written again, the file has its line once more, which changes
        // nothing.
        m_touchedInMade.Insert(key);
        m_record.Temporary(path);
        return;
    }
    if (m_touched.Contains(key)) return;
    const bool existed = isThere ? isThere(path) : m_state.Fingerprint(path, nullptr);
    m_touched.Insert(key);
    if (existed) m_existed.Insert(key);
    // A run killed while it writes the file leaves part of it: the next
    // run deletes it.
    if (!existed) m_record.Temporary(path);
    // What the file was comes back if the run is undone. A run killed while
    // it makes the copy leaves part of it: the next run deletes it.
    if (existed && !m_record.IsSetAside(path)) {
        const std::string copy = m_state.SetAside(path, [this](const std::string& name) { m_record.Temporary(name); });
        if (!copy.empty()) m_record.SetAside(path, copy);
    }
}

void RecordingBase::BeforeNewFiles(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        const std::string key = AsciiLower(path);
        if (InFolderTheRunMade(key)) m_touchedInMade.Insert(key);
        else m_touched.Insert(key);
    }
    m_record.Temporary(paths);
}

bool RecordingBase::Touched(const std::string& lowerPath) const {
    return InFolderTheRunMade(lowerPath) ? m_touchedInMade.Contains(lowerPath) : m_touched.Contains(lowerPath);
}

bool RecordingBase::InFolderTheRunMade(const std::string&) const {
    return false;
}

void RecordingBase::AfterFile(const std::string& path, const FileFingerprint* written) {
    FileFingerprint fingerprint;
    if (written != nullptr) fingerprint = *written;
    else if (!m_state.Fingerprint(path, &fingerprint)) return;
    const bool existed = m_existed.Contains(AsciiLower(path));
    m_record.File(existed ? FileOrigin::kReplaced : FileOrigin::kNew, path, fingerprint);
}

void RecordingBase::RecordFolders(const std::string& path, const std::function<void()>& create) {
    std::vector<std::string> missing;
    for (const std::string& level : PathLevels(WithoutTrailingBackslash(path))) {
        // "C:" alone is a drive, never made.
        if (level.size() <= 2) continue;
        if (!m_state.FolderExists(level)) missing.push_back(level);
    }
    create();
    for (const std::string& level : missing) {
        if (m_state.FolderExists(level)) m_record.Folder(level);
    }
}

bool RecordingBase::RecordFile(const std::string& path, const std::function<bool()>& write) {
    BeforeFile(path);
    if (!write()) return false;
    AfterFile(path);
    return true;
}

bool RecordingBase::RecordKeys(RegistryRoot root, const std::string& subKey, const std::function<bool()>& create) {
    std::vector<std::string> missing;
    for (const std::string& level : PathLevels(subKey)) {
        if (m_state.KeyExists(root, level)) continue;
        missing.push_back(level);
        // Known before it is made: a run killed while it makes the key
        // is undone as if it had been made.
        m_record.Ahead(KeyEntry(root, level));
    }
    const bool done = create();
    for (const std::string& level : missing) {
        if (m_state.KeyExists(root, level)) m_record.Key(root, level);
    }
    return done;
}

bool CreateRecordedDirectoryPath(const std::string& path,
                                 const std::function<CreateDirResult(const std::string&)>& create,
                                 InstallRecord& record) {
    return CreateDirectoryPath(path, [&](const std::string& level) {
        CreateDirResult result = create(level);
        if (result == CreateDirResult::Created) record.Folder(level);
        return result;
    });
}

RecordingFileMachine::RecordingFileMachine(FileMachine& inner, RecordMachine& state, InstallRecord& record)
    : RecordingBase(state, record), m_inner(inner) {
    record.ForEachEntry([this](const RecordEntry& entry) {
        if (entry.kind == RecordKind::kDir) m_madeFolders.insert(AsciiLower(entry.path));
    });
}

bool RecordingFileMachine::InFolderTheRunMade(const std::string& lowerPath) const {
    const size_t slash = lowerPath.find_last_of('\\');
    return slash != std::string::npos && m_madeFolders.count(lowerPath.substr(0, slash)) != 0;
}

bool RecordingFileMachine::Exists(const std::string& path) {
    const std::string lower = AsciiLower(path);
    // Maybe written ahead already, but not yet by the step.
    if (m_foreseen.count(lower) != 0) return false;
    const bool untouched = !Touched(lower) && m_staged.count(lower) == 0;
    if (untouched && InFolderTheRunMade(lower)) return false;
    return m_inner.Exists(path);
}

bool RecordingFileMachine::WriteText(const std::string& path, const std::string& text) {
    auto staged = m_staged.find(AsciiLower(path));
    if (staged != m_staged.end()) staged->second = FileFingerprint();
    return m_inner.WriteText(path, text);
}

bool RecordingFileMachine::Move(const std::string& from, const std::string& to) {
    BeforeWrite(to);
    if (!m_inner.Move(from, to)) return false;
    auto staged = m_staged.find(AsciiLower(from));
    if (staged != m_staged.end() && !staged->second.hash.empty()) {
        AfterFile(to, &staged->second);
    } else {
        AfterFile(to);
    }
    if (staged != m_staged.end()) m_staged.erase(staged);
    return true;
}

bool RecordingFileMachine::Copy(const std::string& from, const std::string& to) {
    BeforeWrite(to);
    if (!m_inner.Copy(from, to)) return false;
    AfterFile(to);
    return true;
}

EntryResult RecordingFileMachine::Unpack(const std::string& entry, const std::string& to, FileFingerprint& written) {
    // A file told ahead is named in the record in progress already.
    const bool told = m_foreseen.erase(AsciiLower(to)) != 0;
    auto staged = m_staged.find(AsciiLower(to));
    // A staging file is only a step on the way: the record sees the
    // destination it becomes.
    if (staged != m_staged.end()) {
        const EntryResult result = m_inner.Unpack(entry, to, written);
        staged->second = result == EntryResult::kDone ? written : FileFingerprint();
        return result;
    }
    if (!told) BeforeWrite(to);
    const EntryResult result = m_inner.Unpack(entry, to, written);
    if (result == EntryResult::kDone) AfterFile(to, &written);
    return result;
}

void RecordingFileMachine::Foresee(const std::vector<ForeseenFile>& files) {
    std::vector<ForeseenFile> known;
    std::vector<std::string> paths;
    for (const ForeseenFile& file : files) {
        const std::string lower = AsciiLower(file.destination);
        if (!InFolderTheRunMade(lower) || Touched(lower) || m_staged.count(lower) != 0 ||
            !m_foreseen.insert(lower).second)
            continue;
        known.push_back(file);
        paths.push_back(file.destination);
    }
    if (known.empty()) return;
    BeforeNewFiles(paths);
    m_inner.Foresee(known);
}

void RecordingFileMachine::EndForesight() {
    m_inner.EndForesight();
    m_foreseen.clear();
}

std::string RecordingFileMachine::StagingPath(const std::string& destination) {
    std::string path = m_inner.StagingPath(destination);
    if (path.empty()) return path;
    m_staged[AsciiLower(path)] = FileFingerprint();
    m_record.Temporary(path);
    return path;
}

void RecordingFileMachine::Remove(const std::string& path) {
    m_staged.erase(AsciiLower(path));
    m_inner.Remove(path);
}

DownloadResult RecordingFileMachine::Download(const std::string& address, const std::string& destination) {
    DownloadResult result = DownloadResult::kFailed;
    RecordFile(destination, [&] {
        result = m_inner.Download(address, destination);
        return result == DownloadResult::kDone;
    });
    return result;
}

void RecordingFileMachine::RegisterServer(const std::string& path) {
    RecordInstalled(m_record, RecordKind::kServer, path);
    m_inner.RegisterServer(path);
}

void RecordKeptFiles(const FileList& files, const ExpandFn& expand, RecordMachine& state, InstallRecord& record) {
    for (const FileRecord& file : files.files) {
        const std::string destination = DestinationPath(file, expand);
        if (destination.empty() || record.Wrote(destination) || !state.Fingerprint(destination, nullptr)) continue;
        record.File(FileOrigin::kKept, destination);
    }
}

bool RecordingSettingsMachine::CopyFileTo(const std::string& from, const std::string& to) {
    return RecordFile(to, [&] { return m_inner.CopyFileTo(from, to); });
}

bool RecordingSettingsMachine::WriteIniValue(const std::string& file, const std::string& section,
                                             const std::string& key, const std::string& value) {
    const bool fileExisted = m_state.Fingerprint(file, nullptr);
    RecordEntry entry = IniEntry(file, section, key, value);
    // Known before it is made: a run killed here leaves no file behind.
    if (!fileExisted) m_record.Temporary(file);
    m_record.Ahead(entry);
    if (!m_inner.WriteIniValue(file, section, key, value)) return false;
    if (!fileExisted) {
        bool known = false;
        for (const std::string& path : m_newIniFiles) known = known || EqualsIgnoreCase(path, file);
        if (!known) m_newIniFiles.push_back(file);
    }
    m_record.Add(std::move(entry));
    return true;
}

void RecordingSettingsMachine::Finish() {
    for (const std::string& path : m_newIniFiles) {
        FileFingerprint fingerprint;
        if (m_state.Fingerprint(path, &fingerprint)) m_record.File(FileOrigin::kNew, path, fingerprint);
    }
    m_newIniFiles.clear();
}

bool RecordingSettingsMachine::CreateKey(RegistryRoot root, const std::string& subKey) {
    return RecordKeys(root, subKey, [&] { return m_inner.CreateKey(root, subKey); });
}

bool RecordingSettingsMachine::RecordValue(RegistryRoot root, const std::string& subKey, const std::string& name,
                                           const ValueState& intended, const std::function<bool()>& write) {
    const ValueState before = m_state.ReadValue(root, subKey, name);
    // Known before it is made: a run killed right after the write is undone
    // as if the change had been recorded. A plain value even where the
    // change is recorded as an appended part: taking the part back first
    // leaves the value as it was, which this line then finds.
    RecordEntry ahead = RegistryEntry(RecordKind::kValue, root, subKey, name);
    ahead.before = before;
    ahead.after = intended;
    m_record.Ahead(ahead);
    if (!write()) return false;
    const ValueState after = m_state.ReadValue(root, subKey, name);
    RecordValueChange(m_record, root, subKey, name, before, after);
    return true;
}

bool RecordingSettingsMachine::WriteEnvironmentValue(RegistryRoot root, const std::string& subKey,
                                                     const std::string& name, const std::string& value,
                                                     bool expandable) {
    return RecordValue(root, subKey, name, StringState(value, expandable),
                       [&] { return m_inner.WriteEnvironmentValue(root, subKey, name, value, expandable); });
}

bool RecordingSettingsMachine::WriteString(RegistryRoot root, const std::string& subKey, const std::string& name,
                                           const std::string& value, bool expandable) {
    return RecordValue(root, subKey, name, StringState(CutRegistryText(value), expandable),
                       [&] { return m_inner.WriteString(root, subKey, name, value, expandable); });
}

bool RecordingSettingsMachine::WriteNumber(RegistryRoot root, const std::string& subKey, const std::string& name,
                                           uint32_t value) {
    return RecordValue(root, subKey, name, NumberState(value),
                       [&] { return m_inner.WriteNumber(root, subKey, name, value); });
}

bool RecordingSettingsMachine::WriteBinaryText(RegistryRoot root, const std::string& subKey, const std::string& name,
                                               const std::string& text) {
    ValueState intended;
    intended.present = true;
    intended.type = kValueBinary;
    intended.data = CutRegistryText(text) + '\0';
    return RecordValue(root, subKey, name, intended, [&] { return m_inner.WriteBinaryText(root, subKey, name, text); });
}

bool RecordingSettingsMachine::DeleteValue(RegistryRoot root, const std::string& subKey, const std::string& name) {
    // Nothing to undo where there was no value.
    if (!m_state.ReadValue(root, subKey, name).present) return m_inner.DeleteValue(root, subKey, name);
    return RecordValue(root, subKey, name, ValueState(), [&] { return m_inner.DeleteValue(root, subKey, name); });
}

ServiceCreation RecordingServiceMachine::Install(const ServiceSpec& spec) {
    ServiceCreation result = m_inner.Install(spec);
    if (result == ServiceCreation::kCreated || result == ServiceCreation::kAlreadyInPlace)
        RecordInstalled(m_record, RecordKind::kService, spec.name);
    return result;
}

bool RecordingShortcutMachine::CopyFileTo(const std::string& from, const std::string& to) {
    return RecordFile(to, [&] { return m_inner.CopyFileTo(from, to); });
}

void RecordingShortcutMachine::CreateFolderPath(const std::string& path) {
    RecordFolders(path, [&] { m_inner.CreateFolderPath(path); });
}

bool RecordingShortcutMachine::CreateInternetShortcut(const std::string& address, const std::string& path) {
    return RecordFile(path, [&] { return m_inner.CreateInternetShortcut(address, path); });
}

bool RecordingShortcutMachine::CreateShellLink(const ShellLinkSpec& link) {
    return RecordFile(link.linkPath, [&] { return m_inner.CreateShellLink(link); });
}

bool RecordingRegistrationMachine::CopyFileTo(const std::string& from, const std::string& to) {
    return RecordFile(to, [&] { return m_inner.CopyFileTo(from, to); });
}

bool RecordingRegistrationMachine::CreateMachineKey(const std::string& subKey) {
    return RecordKeys(RegistryRoot::kLocalMachine, subKey, [&] { return m_inner.CreateMachineKey(subKey); });
}

bool RecordingRegistrationMachine::WriteMachineValue(const std::string& subKey, const UninstallValue& value) {
    const ValueState before = m_state.ReadValue(RegistryRoot::kLocalMachine, subKey, value.name);
    if (!m_inner.WriteMachineValue(subKey, value)) return false;
    m_record.Value(RegistryRoot::kLocalMachine, subKey, value.name, before,
                   m_state.ReadValue(RegistryRoot::kLocalMachine, subKey, value.name));
    return true;
}

}  // namespace kq
