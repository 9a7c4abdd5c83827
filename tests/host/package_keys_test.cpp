// The tables of package keys against the readers: every key a reader looks
// up has a row, every row is looked up by some reader, and the authors'
// reference is the one the tables write.
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "authoring_check.h"
#include "base/ini_text.h"
#include "checks/conditions.h"
#include "checks/requirements.h"
#include "layout/layout_file.h"
#include "layout/question_texts.h"
#include "presentation/presentation_rules.h"
#include "run/eligibility.h"
#include "run/features.h"
#include "run/file_actions.h"
#include "run/merge_modules.h"
#include "run/package_keys.h"
#include "run/settings.h"
#include "run/variables.h"
#include "steps/services.h"
#include "steps/shortcuts.h"
#include "steps/system_settings.h"
#include "steps/uninstall_registration.h"
#include "wizard/page_list.h"
#include "wizard/standard_pages.h"

namespace kq {
namespace {

using KeySet = std::set<std::pair<std::string, std::string>>;

class RecordingReader : public ProfileReader {
public:
    explicit RecordingReader(const std::string& text) : m_ini(text) {}
    std::string Read(const char* section, const char* key, size_t bufferSize) const override {
        read.insert({section, key});
        return m_ini.Read(section, key, bufferSize);
    }
    mutable KeySet read;

private:
    IniText m_ini;
};

// Every row of `table` with item 0 and the value "Yes", "1" for counts, or
// what `values` gives, so each reader takes its branches that read further.
std::string TableAsText(const KeyTable& table, const std::map<std::string, std::string>& values) {
    std::map<std::string, std::string> sections;
    for (size_t i = 0; i < table.count; ++i) {
        const KeyRow& row = table.rows[i];
        std::string key = row.key;
        for (size_t at; (at = key.find('#')) != std::string::npos;) key.replace(at, 1, "0");
        auto given = values.find(std::string(row.section) + "/" + key);
        std::string value = given != values.end() ? given->second : "Yes";
        if (key.rfind("TOTAL", 0) == 0 || key == "F0") value = "1";
        sections[row.section] += key + "=" + value + "\n";
    }
    std::string text;
    for (const auto& [name, entries] : sections) text += "[" + name + "]\n" + entries;
    return text;
}

class NoMachine : public RegistrationMachine {
public:
    bool IsFile(const std::string&) override { return true; }
    bool CopyFileTo(const std::string&, const std::string&) override { return true; }
    std::string FileVersion(const std::string&) override { return ""; }
    bool CopyFolderInto(const std::string&, const std::string&) override { return true; }
    std::string CurrentDirectory() override { return "C:\\"; }
    bool CreateMachineKey(const std::string&) override { return true; }
    bool WriteMachineValue(const std::string&, const UninstallValue&) override { return true; }
};

void ReadScript(const RecordingReader& reader) {
    const Script script(reader);
    auto same = [](const std::string& text) { return text; };
    ProductSettings settings;
    LoadProductSettings(script, "", same, settings);
    LacksRequiredRights(script, "");
    DecidePreviousInstallation(
        script, [](RegistryRoot, const std::string&, const std::string&) { return "x"; }, same);
    LoadPageList(script);
    LocatePageText(script, "CT0", "CT1", PackedFiles());
    LocatePageText(script, "CT2", "CT3", PackedFiles());
    ReadSplashSettings(script);
    ReadBackgroundSettings(script, false);
    ReadBillboards(script);
    ReadSystemRequirements(reader);
    ConditionList().Load(reader);
    ReadVariableSpecs(script);
    LoadFeatureTable(script);
    LoadFeatureTexts(script);
    FeatureDescriptions(script, "Yes");
    LoadShortcutItems(script);
    LoadIniFileItems(script);
    LoadIniEntryItems(script);
    LoadRegistryKeyItems(script);
    LoadRegistryValueItems(script);
    LoadAssociationItems(script);
    LoadEnvironmentItems(script);
    LoadServiceItems(script);
    FileActionTable().Load(script, same);
    LoadMergeModules(script);
    NoMachine machine;
    UninstallLog log;
    RegistrationPaths paths{
        "{6B1C2F0E-3D4A-4C1B-9E55-2A7D3C9F1E42}", "C:\\P\\", "kq1", "C:\\W\\", "C:\\S\\", "C:\\M\\"};
    PrepareMaintenanceProgram(script, same, paths, machine, log);
    RegisterForUninstall(script, same, paths, machine, log);
}

void ReadLanguage(const RecordingReader& reader) {
    auto same = [](const std::string& text) { return text; };
    for (Requirement failed : {Requirement::kOperatingSystem, Requirement::kColors, Requirement::kResolution,
                               Requirement::kMemory, Requirement::kProcessor})
        RequirementMessage(failed, reader, same);
    for (int mode : {kQuestionModeCancel, kQuestionModeError}) ResolveQuestionTexts(mode, "", reader, same);
}

struct ReaderCase {
    const KeyTable& table;
    void (*read)(const RecordingReader&);
    std::vector<std::map<std::string, std::string>> variants;
    KeySet readByWindowsGlue;  // rows only the Windows parts read
};

TEST(PackageKeysTest, ReadersAndTablesAgree) {
    const ReaderCase cases[] = {
        {SetupScriptKeys(),
         ReadScript,
         {{{"APPINFO/a26", "New Installation"}, {"APPINFO/a14", "Yes"}, {"APPINFO/a13", "No"}, {"BACKGROUND/0", "1"}},
          {{"APPINFO/a26", "Upgrade"}, {"APPINFO/a27", "Registry"}, {"APPINFO/a28", "HKEY_CURRENT_USER\\K\\V"}},
          {{"APPINFO/a26", "Upgrade"}, {"APPINFO/a27", "Auto-Detect"}}},
         {{"APPINFO", "METHOD"}}},
        {LanguageFileKeys(), ReadLanguage, {{}}, {{"SetupCompleteError", "3"}}},
        {LayoutWindowKeys(),
         [](const RecordingReader& reader) {
             PageLayout layout;
             ReadLayout(reader, "page.lcd", &layout);
         },
         {{{"INFO/0", "0,1,1,9,9,BUTTON,,0,0"}, {"DADOS/0,t", "1"}}},
         {}},
    };
    for (const ReaderCase& c : cases) {
        KeySet read;
        for (const auto& values : c.variants) {
            RecordingReader reader(TableAsText(c.table, values));
            c.read(reader);
            read.insert(reader.read.begin(), reader.read.end());
        }
        for (const auto& [section, key] : read)
            EXPECT_NE(FindKeyRow(c.table, section, key), nullptr) << c.table.file << " [" << section << "] " << key;
        for (size_t i = 0; i < c.table.count; ++i) {
            const KeyRow& row = c.table.rows[i];
            bool seen = c.readByWindowsGlue.count({row.section, row.key}) != 0;
            for (const auto& [section, key] : read)
                seen = seen || (section == row.section && KeyMatchesPattern(row.key, key));
            EXPECT_TRUE(seen) << c.table.file << " [" << row.section << "] " << row.key << " is read by nothing";
        }
    }
}

TEST(PackageKeysTest, ReferenceIsTheTablesOwn) {
    std::ifstream file(std::string(KQ_SOURCE_DIR) + "/docs/package-reference.md", std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_TRUE(text.str() == FullReferenceText()) << "run: kqbuild reference > docs/package-reference.md";
}

}  // namespace
}  // namespace kq
