// Arbitrary bytes as a setup script: loading the product settings and
// expanding what they hold, with both expansions and a table of variables
// taken from the script, must neither crash nor loop; nor may reading the
// same bytes as an answer file, writing it again and reading the feature
// list it names.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/ini_text.h"
#include "run/answers.h"
#include "run/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    kq::RecordedAnswers answers;
    if (kq::ReadAnswers(text, &answers).empty()) {
        kq::ReadAnswers(kq::WriteAnswers(answers), &answers);
        kq::ParseFeatureList(answers.features);
    }

    kq::IniText ini(text);
    kq::Script script(ini);

    kq::UserVariableTable variables;
    int total = script.Total("VARIABLES");
    for (int i = 0; i < total && i < 60; ++i) {
        variables.push_back({script.Item("VARIABLES", 'A', i, kq::Script::kShortSize), "",
                             script.Item("VARIABLES", 'B', i, kq::Script::kShortSize)});
    }

    kq::FolderValues folders;
    folders.windows = "C:\\WINDOWS";
    folders.volume = "C:";
    folders.temp = "C:\\TEMP\\";
    folders.system = "C:\\WINDOWS\\system32\\";
    folders.programFiles = script.Value("FOLDERS", "p");  // folder values may hold tokens too
    kq::ProductSettings settings;
    kq::LoadProductSettings(
        script, script.Value("FOLDERS", "c"),
        [&](const std::string& text) {
            return kq::ExpandScriptText(text, kq::MakePlaceholderValues(folders, settings, &variables));
        },
        settings);

    settings.installDir = script.Value("FOLDERS", "chosen");
    kq::PlaceholderValues values = kq::MakePlaceholderValues(folders, settings, &variables);
    for (const char* key : {"t0", "t1", "t2"}) {
        std::string text = script.Value("TEXTS", key);
        kq::ExpandScriptText(text, values);
        kq::ExpandStepText(text, values);
    }
    return 0;
}
