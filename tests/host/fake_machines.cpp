#include "fake_machines.h"

#include <gtest/gtest.h>

namespace kq::fakes {

bool IgnoreCase::operator()(const std::string& a, const std::string& b) const {
    return AsciiLower(a) < AsciiLower(b);
}

bool FileNames::CopyListed(const std::string& from, const std::string& to) {
    ops.push_back("copy " + from + " > " + to);
    if (!IsThere(from)) return false;
    files.insert(to);
    return true;
}

bool FakeRegistrationMachine::CopyFolderInto(const std::string& folder, const std::string& destination) {
    ops.push_back("folder " + folder + " > " + destination);
    return folders.count(folder) != 0;
}

std::string FakeRegistrationMachine::FileVersion(const std::string& path) {
    auto found = versions.find(path);
    return found == versions.end() ? kNoFileVersion : found->second;
}

bool FakeRegistrationMachine::CreateMachineKey(const std::string& subKey) {
    ops.push_back("key " + subKey);
    return keyWorks;
}

bool FakeRegistrationMachine::WriteMachineValue(const std::string& subKey, const UninstallValue& value) {
    EXPECT_EQ(subKey, valueKey);
    const std::string text =
        value.type == UninstallValue::Type::kNumber ? "#" + std::to_string(value.number) : value.text;
    ops.push_back("set " + value.name + "=" + text);
    values[value.name] = text;
    return true;
}

const FakeSettingsMachine::Value* FakeSettingsMachine::Find(RegistryRoot root, const std::string& subKey,
                                                            const std::string& name) const {
    auto key = keys.find(KeyName(root, subKey));
    if (key == keys.end()) return nullptr;
    auto value = key->second.find(name);
    return value == key->second.end() ? nullptr : &value->second;
}

bool FakeSettingsMachine::WriteIniValue(const std::string& file, const std::string& section, const std::string& key,
                                        const std::string& value) {
    ops.push_back("ini " + file + " [" + section + "] " + key + "=" + value);
    files.insert(file);
    return true;
}

bool FakeSettingsMachine::CreateKey(RegistryRoot root, const std::string& subKey) {
    ops.push_back("key " + FormatRegistryKeyPath(root, subKey));
    if (root == RegistryRoot::kNone || subKey.empty()) return false;
    keys[KeyName(root, subKey)];
    return true;
}

bool FakeSettingsMachine::ReadString(RegistryRoot root, const std::string& subKey, const std::string& name,
                                     std::string* value, bool* expandable) {
    const Value* found = Find(root, subKey, name);
    if (found == nullptr || (found->type != "sz" && found->type != "expand")) return false;
    *value = found->data;
    *expandable = found->type == "expand";
    return true;
}

bool FakeSettingsMachine::DeleteValue(RegistryRoot root, const std::string& subKey, const std::string& name) {
    ops.push_back("delete " + FormatRegistryValuePath(root, subKey, name));
    auto key = keys.find(KeyName(root, subKey));
    return key != keys.end() && key->second.erase(name) != 0;
}

bool FakeSettingsMachine::Set(RegistryRoot root, const std::string& subKey, const std::string& name,
                              const Value& value) {
    ops.push_back("set " + FormatRegistryValuePath(root, subKey, name) + " " + value.type + ":" + value.data);
    auto key = keys.find(KeyName(root, subKey));
    if (key == keys.end()) return false;
    key->second[name] = value;
    return true;
}

bool FakeShortcutMachine::CopyFileTo(const std::string& from, const std::string& to) {
    ops.push_back("copy " + from + " > " + to);
    return IsThere(from);
}

bool FakeShortcutMachine::CreateInternetShortcut(const std::string& address, const std::string& path) {
    ops.push_back("url " + path + " = " + address);
    return saves;
}

bool FakeShortcutMachine::CreateShellLink(const ShellLinkSpec& link) {
    ops.push_back("lnk " + link.linkPath + " = " + link.target + " | args " + link.arguments + " | desc " +
                  link.description + " | in " + link.workingFolder + " | icon " + link.iconPath + "," +
                  std::to_string(link.iconIndex) + " | show " + std::to_string(static_cast<int>(link.show)));
    links.push_back(link);
    return saves;
}

ServiceCreation FakeServiceMachine::Install(const ServiceSpec& spec) {
    attempts.push_back(spec);
    if (!managerOpens) return ServiceCreation::kNoManager;
    auto failing = failures.find(spec.name);
    if (failing != failures.end() && failing->second > 0) {
        --failing->second;
        return ServiceCreation::kFailed;
    }
    auto same = inPlace.find(spec.name);
    if (same != inPlace.end() && same->second == spec.commandLine) return ServiceCreation::kAlreadyInPlace;
    if (!installed.insert(spec.name).second) return ServiceCreation::kFailed;
    return ServiceCreation::kCreated;
}

bool FakeFileMachine::ReadText(const std::string& path, std::string& text) {
    if (!Exists(path)) return false;
    text = files[path].content;
    return true;
}

bool FakeFileMachine::GetAttributes(const std::string& path, uint32_t& attributes) {
    if (!Exists(path)) return false;
    attributes = files[path].attributes;
    return true;
}

bool FakeFileMachine::Move(const std::string& from, const std::string& to) {
    if (movesFail || !Transfer(from, to, "move")) return false;
    files.erase(from);
    return true;
}

EntryResult FakeFileMachine::Unpack(const std::string& entry, const std::string& to, FileFingerprint& written) {
    operations.push_back("unpack " + entry + " to " + to);
    if (failures > 0) {
        --failures;
        files.erase(to);
        return EntryResult::kCannotWrite;
    }
    if (unpackEnd != EntryResult::kDone || entries.count(entry) == 0) {
        files.erase(to);
        return entries.count(entry) == 0 ? EntryResult::kNotFound : unpackEnd;
    }
    files[to] = entries[entry];
    written = FingerprintOf(entries[entry].content);
    return EntryResult::kDone;
}

std::string FakeFileMachine::StagingPath(const std::string& destination) {
    const std::string path =
        destination.substr(0, destination.rfind('\\') + 1) + "kq" + std::to_string(++stagings) + ".tmp";
    files[path] = FakeFile{};
    return path;
}

FailureChoice FakeFileMachine::AskAfterCopyFailure(const std::string& text) {
    questions.push_back(text);
    if (answers.empty()) return FailureChoice::kIgnore;
    FailureChoice answer = answers.front();
    answers.erase(answers.begin());
    return answer;
}

DownloadResult FakeFileMachine::Download(const std::string& address, const std::string& destination) {
    operations.push_back("download " + address);
    if (downloadResult == DownloadResult::kDone) files[destination].content = "fetched";
    if (downloadResult == DownloadResult::kFailed) files[destination].content = "";
    return downloadResult;
}

bool FakeFileMachine::Transfer(const std::string& from, const std::string& to, const char* what) {
    if (failures > 0) {
        --failures;
        return false;
    }
    if (!Exists(from) || (files.count(to) && (files[to].attributes & kAttributeReadOnly))) return false;
    FakeFile copy = files[from];
    copy.attributes = kAttributeArchive;
    files[to] = copy;
    operations.push_back(std::string(what) + " " + from);
    return true;
}

std::string KeyName(RegistryRoot root, const std::string& subKey) {
    return AsciiLower(FormatRegistryKeyPath(root, subKey));
}

std::string ValueName(RegistryRoot root, const std::string& subKey, const std::string& name) {
    return KeyName(root, subKey) + "|" + name;
}

std::string Parent(const std::string& path) {
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string FakeVariableMachine::ReadRegistry(RegistryRoot root, const std::string& key, const std::string& value) {
    calls.push_back("registry " + std::string(RegistryRootName(root)) + "\\" + key + ":" + value);
    auto found = registry.find(key + ":" + value);
    return found == registry.end() ? "" : found->second;
}

bool FakeVariableMachine::Exists(const std::string& path) {
    calls.push_back("exists " + path);
    return paths.count(path) != 0;
}

std::string FakeVariableMachine::ReadIni(const std::string& file, const std::string& section, const std::string& key) {
    calls.push_back("ini " + file + "[" + section + "]" + key);
    auto found = ini.find(key);
    return found == ini.end() ? "" : found->second;
}

std::string FakeVariableMachine::FetchText(const std::string& address) {
    calls.push_back("fetch " + address);
    auto found = web.find(address);
    return found == web.end() ? "" : found->second;
}

bool FakeVariableMachine::WindowExists(const std::string& windowClass, const std::string& title) {
    calls.push_back("window " + windowClass + "|" + title);
    return windowClass == "Shell_TrayWnd";
}

}  // namespace kq::fakes
