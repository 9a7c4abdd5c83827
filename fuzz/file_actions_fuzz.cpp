// Arbitrary bytes as the setup script's file-action and merge-module
// sections: the readers must keep to their item limits and the values' cut,
// and running the table must ask for nothing but what an item says, each
// "once" item at most once.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/ini_text.h"
#include "run/file_actions.h"
#include "run/merge_modules.h"
#include "run/script.h"

namespace {

class CountingMachine : public kq::FileActionMachine {
public:
    bool Admits(int32_t programMask, const std::string& condition) override {
        return (programMask & 1) == 0 || condition.empty();
    }
    void StartProgram(const std::string& program, const std::string&, bool) override {
        if (kq::ClassifyActionFile(program) != kq::FileActionKind::kProgram) std::abort();
        ++calls;
    }
    void CallLibrary(const std::string& file, const std::string&) override {
        if (kq::ClassifyActionFile(file) != kq::FileActionKind::kLibrary) std::abort();
        ++calls;
    }
    int calls = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    kq::IniText ini(text);
    const kq::Script script(ini);

    kq::FileActionTable table;
    table.Load(script, [](const std::string& t) { return t + t; });
    if (table.Count() > kq::kMaxFileActions) std::abort();
    std::vector<std::string> moments;
    for (int i = 0; i < table.Count(); ++i) {
        const kq::FileAction& action = table.At(i);
        if (action.moment.size() >= kq::Script::kValueSize || action.condition.size() >= kq::Script::kValueSize)
            std::abort();
        moments.push_back(action.moment);
    }
    CountingMachine machine;
    for (int round = 0; round < 2; ++round) {
        for (const std::string& moment : moments) {
            const int before = machine.calls;
            if (table.RunFor(moment, machine) != machine.calls - before) std::abort();
        }
    }
    // Every "once" item with a moment has been due, so each is marked done.
    for (int i = 0; i < table.Count(); ++i) {
        if (table.At(i).once && !table.At(i).moment.empty() && !table.At(i).done) std::abort();
    }

    const std::vector<kq::MergeModuleItem> items = kq::LoadMergeModules(script);
    if (items.size() > static_cast<size_t>(kq::kMaxMergeModules)) std::abort();
    kq::MergeModuleContext context;
    context.sourceFolder = "C:\\pkg\\";
    context.maskAdmits = [](int32_t mask) { return mask % 3 != 0; };
    context.featureInstalled = [](const std::string& name) { return name.size() % 2 == 0; };
    context.conditionMet = [](const std::string& name) { return name.size() % 3 != 1; };
    context.fileExists = [size](const std::string&) { return size % 2 == 0; };
    context.expand = [](const std::string& t) { return t; };
    if (kq::ListMergeModuleRuns(items, context).size() > 2 * items.size()) std::abort();
    return 0;
}
