#include "wizard/standard_pages.h"

#include "base/product.h"
#include "base/text.h"
#include "run/script.h"

namespace kq {

std::string FileNamePart(const std::string& value) {
    size_t slash = value.find_last_of("\\/");
    return slash == std::string::npos ? value : value.substr(slash + 1);
}

bool IsRichTextPath(const std::string& path) {
    return ContainsIgnoreCase(path, ".rtf");
}

PageTextFile LocatePageText(const Script& script, const char* fileKey, const char* controlKey,
                            const PackedFiles& packed) {
    PageTextFile file;
    file.control = script.Value("DIALOGLIST", controlKey);
    const std::string name = FileNamePart(script.Value("DIALOGLIST", fileKey));
    if (name.empty()) return file;
    file.path = packed.diskImage ? packed.sourceFolder + kDiskImageFolder + "\\" + name : packed.workFolder + name;
    file.richText = IsRichTextPath(file.path);
    return file;
}

SetupType SetupTypeFromChoice(int choice) {
    switch (choice) {
    case 0: return SetupType::Typical;
    case 1: return SetupType::Minimal;
    case 2: return SetupType::Custom;
    default: return SetupType::Unset;
    }
}

SetupType RestoredSetupType(SetupType stored) {
    return stored == SetupType::Minimal || stored == SetupType::Custom ? stored : SetupType::Typical;
}

const char* SetupTypeOption(SetupType type) {
    switch (type) {
    case SetupType::Typical: return "IDC_TYPICAL";
    case SetupType::Minimal: return "IDC_MINIMAL";
    case SetupType::Custom: return "IDC_CUSTOM";
    case SetupType::Unset: break;
    }
    return "";
}

std::string ReadySummary(SetupType type, const std::string& installFolder, const std::string& userName,
                         const std::string& companyName) {
    std::string text = "\r\nSetup Type:\r\n\r\n";
    switch (type) {
    case SetupType::Typical: text += "Typical\r\n\r\n"; break;
    case SetupType::Minimal: text += "Minimal\r\n\r\n"; break;
    case SetupType::Custom: text += "Custom\r\n\r\n"; break;
    case SetupType::Unset: break;
    }
    text += "Destination Folder:\r\n\r\n" + installFolder + "\r\n\r\n";
    text += "User Information:\r\n\r\n";
    if (!userName.empty()) text += "Name:" + userName + "\r\n\r\n";
    if (!companyName.empty()) text += "Company:" + companyName + "\r\n\r\n";
    return text;
}

bool ReadsCustomerFieldsFirst(CommandRoute route) {
    switch (route) {
    case CommandRoute::Cancel:
    case CommandRoute::Browse:
    case CommandRoute::License:
    case CommandRoute::InstallFor:
        return false;
    case CommandRoute::Wizard:
    case CommandRoute::SetupType:
    case CommandRoute::Launch:
        break;
    }
    return true;
}

RegistryKeyPath CustomerDataKey(const std::string& rootName, const std::string& keyPath) {
    RegistryKeyPath key;
    if (keyPath.empty()) return key;
    key.root = RegistryRootFromName(rootName);
    if (key.root != RegistryRoot::kNone) key.subKey = keyPath;
    return key;
}

}  // namespace kq
