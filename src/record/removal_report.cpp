#include "record/removal_report.h"

#include "base/text.h"

namespace kq {

bool ReportingRecordMachine::Gone(const std::string& name) const {
    if (m_act) return false;
    // Gone with a folder or key above it too.
    const std::string lower = AsciiLower(WithoutTrailingBackslash(name));
    for (size_t cut = lower.find('\\'); cut != std::string::npos; cut = lower.find('\\', cut + 1)) {
        if (m_gone.count(lower.substr(0, cut)) != 0) return true;
    }
    return m_gone.count(lower) != 0;
}

void ReportingRecordMachine::Forget(const std::string& name) {
    if (!m_act) m_gone.insert(AsciiLower(WithoutTrailingBackslash(name)));
}

bool ReportingRecordMachine::Change(const char* action, const std::string& what, const std::function<bool()>& make) {
    const bool made = !m_act || make();
    if (made && m_sink) m_sink(RemovalItem{action, what, std::string()});
    return made;
}

bool ReportingRecordMachine::RemoveFile(const std::string& path) {
    Forget(path);
    return Change("removed", "file " + path, [&] { return m_real.RemoveFile(path); });
}

bool ReportingRecordMachine::RemoveEmptyFolder(const std::string& path) {
    // A plan removes nothing, so the folder still holds what goes before it.
    if (!m_act && m_emptyOnceGone && !m_emptyOnceGone(path, m_gone)) return false;
    Forget(path);
    return Change("removed", "folder " + path, [&] { return m_real.RemoveEmptyFolder(path); });
}

bool ReportingRecordMachine::DeleteFolderTree(const std::string& path) {
    Forget(path);
    return Change("removed", "folder " + path, [&] { return m_real.DeleteFolderTree(path); });
}

bool ReportingRecordMachine::DeleteEmptyKey(RegistryRoot root, const std::string& subKey) {
    Forget(FormatRegistryKeyPath(root, subKey));
    return Change("removed", "key " + FormatRegistryKeyPath(root, subKey),
                  [&] { return m_real.DeleteEmptyKey(root, subKey); });
}

bool ReportingRecordMachine::DeleteKeyTree(RegistryRoot root, const std::string& subKey) {
    Forget(FormatRegistryKeyPath(root, subKey));
    return Change("removed", "key " + FormatRegistryKeyPath(root, subKey),
                  [&] { return m_real.DeleteKeyTree(root, subKey); });
}

bool ReportingRecordMachine::WriteValue(RegistryRoot root, const std::string& subKey, const std::string& name,
                                        const ValueState& state) {
    return Change(state.present ? "restored" : "removed", "value " + FormatRegistryValuePath(root, subKey, name),
                  [&] { return m_real.WriteValue(root, subKey, name, state); });
}

bool ReportingRecordMachine::WriteIni(const std::string& file, const std::string& section, const std::string& key,
                                      const std::string* value) {
    return Change(value != nullptr ? "restored" : "removed", "INI entry " + file + " [" + section + "] " + key,
                  [&] { return m_real.WriteIni(file, section, key, value); });
}

bool ReportingRecordMachine::DeleteService(const std::string& name) {
    return Change("removed", "service " + name, [&] { return m_real.DeleteService(name); });
}

bool ReportingRecordMachine::UnregisterServer(const std::string& path) {
    return Change("removed", "server " + path, [&] { return m_real.UnregisterServer(path); });
}

void ReportItems(const char* action, const std::vector<std::string>& lines, const RemovalItemSink& sink) {
    for (const std::string& line : lines) {
        // The why never holds ": ", a path may ("C:").
        const size_t cut = line.rfind(": ");
        if (cut == std::string::npos) sink(RemovalItem{action, line, std::string()});
        else sink(RemovalItem{action, line.substr(0, cut), line.substr(cut + 2)});
    }
}

}  // namespace kq
