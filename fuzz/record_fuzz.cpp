// Arbitrary bytes as an install record: reading must neither crash nor
// loop, what is read must survive being written again, and removal from it
// must never touch a file, folder or registry place outside what the
// product's install could have reached, whatever the record claims. The
// same bytes as the package's list of packed fingerprints: only well-formed
// entries are taken, and they survive being written again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/path_rules.h"
#include "base/text.h"
#include "record/install_record.h"
#include "record/record_removal.h"

namespace {

const char kInstallDir[] = "C:\\Program Files\\Acme\\Notes\\";
const char kOther[] = "C:\\Program Files\\Other\\";

// Every file is there with the content "" (so a record may name its hash);
// every action checks its target and aborts on one out of reach.
class CheckingMachine : public kq::RecordMachine {
public:
    explicit CheckingMachine(const kq::RemovalScope& scope) : m_scope(scope) {}

    bool Fingerprint(const std::string&, kq::FileFingerprint* fingerprint) override {
        *fingerprint = kq::FingerprintOf("");
        return true;
    }
    bool FolderExists(const std::string&) override { return true; }
    bool RemoveFile(const std::string& path) override { return Path(path); }
    bool RemoveEmptyFolder(const std::string& path) override { return Path(path); }
    bool DeleteFolderTree(const std::string& path) override {
        if (!kq::IsInsideFolder(path, m_scope.maintenanceFolder)) std::abort();
        return true;
    }
    bool KeyExists(kq::RegistryRoot, const std::string&) override { return true; }
    bool DeleteEmptyKey(kq::RegistryRoot root, const std::string& subKey) override { return Key(root, subKey); }
    bool DeleteKeyTree(kq::RegistryRoot root, const std::string& subKey) override {
        if (root != kq::RegistryRoot::kLocalMachine || !kq::EqualsIgnoreCase(subKey, kq::UninstallKeyPath("{P}")))
            std::abort();
        return true;
    }
    kq::ValueState ReadValue(kq::RegistryRoot, const std::string&, const std::string&) override {
        return kq::NumberState(1);
    }
    bool WriteValue(kq::RegistryRoot root, const std::string& subKey, const std::string& name,
                    const kq::ValueState&) override {
        // The shared counts are kept by removal itself, for paths in reach.
        if (root == kq::RegistryRoot::kLocalMachine && kq::EqualsIgnoreCase(subKey, kq::kSharedDllsKey))
            return Path(name);
        return Key(root, subKey);
    }
    bool ReadIni(const std::string&, const std::string&, const std::string&, std::string* value) override {
        value->clear();
        return true;
    }
    bool WriteIni(const std::string& file, const std::string&, const std::string&, const std::string*) override {
        return Path(file);
    }
    bool ServiceProgram(const std::string&, std::string* program) override {
        *program = std::string(kInstallDir) + "svc.exe";
        return true;
    }
    bool DeleteService(const std::string&) override { return true; }
    bool UnregisterServer(const std::string& path) override { return Path(path); }

private:
    bool Path(const std::string& path) {
        bool inScope = false;
        for (const std::string& folder : m_scope.folders) inScope = inScope || kq::IsInsideFolder(path, folder);
        if (!inScope || kq::AbsolutePathProblem(path) != nullptr) std::abort();
        if (kq::IsInsideFolder(path, kOther)) std::abort();
        return true;
    }
    bool Key(kq::RegistryRoot root, const std::string& subKey) {
        std::string lower = kq::AsciiLower(subKey);
        if (root == kq::RegistryRoot::kCurrentConfig || root == kq::RegistryRoot::kNone) std::abort();
        if (lower.find("\\uninstall\\") != std::string::npos && lower.find("\\uninstall\\{p}") == std::string::npos)
            std::abort();
        const std::string services = "system\\currentcontrolset\\services";
        if (lower == services || lower.rfind(services + "\\", 0) == 0) std::abort();
        return true;
    }

    const kq::RemovalScope& m_scope;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    kq::ParsedRecord record = kq::ParseRecord(text);

    // What was read is written back as it was read.
    kq::ParsedRecord again = kq::ParseRecord(kq::FormatRecord(record.entries));
    if (record.valid && (!again.refused.empty() ||
                         kq::FormatRecord(again.entries) != kq::FormatRecord(record.entries)))
        std::abort();

    // So are the counts a run in progress was taking.
    for (const kq::CountTaken& count : record.counting) {
        const kq::ParsedRecord one = kq::ParseRecord("KQR\t1\r\n" + kq::FormatCountingLine(count));
        if (one.counting.size() != 1 || one.counting[0].path != count.path ||
            !(one.counting[0].before == count.before) || !(one.counting[0].after == count.after))
            std::abort();
    }

    // A run's record, which keeps its lines by what each shares with the one
    // before, gives back the same entries and the same text.
    kq::InstallRecord kept;
    for (const kq::RecordEntry& entry : record.entries) kept.Add(entry);
    if (kept.Text() != kq::FormatRecord(record.entries) || kept.Entries().size() != record.entries.size()) std::abort();

    kq::RemovalScope scope;
    scope.productCode = "{P}";
    scope.installDir = kInstallDir;
    scope.maintenanceFolder = "C:\\WINDOWS\\Installer\\{P}\\";
    scope.folders = {kInstallDir, "C:\\WINDOWS\\", "C:\\Documents and Settings\\"};
    scope.foreignFolders = {kOther};
    CheckingMachine machine(scope);
    kq::RemoveRecorded(record.entries, scope, machine);

    return 0;
}
