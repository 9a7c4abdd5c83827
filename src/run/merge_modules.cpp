#include "run/merge_modules.h"

#include <utility>

#include "base/text.h"
#include "run/placeholders.h"

namespace kq {
namespace {

constexpr char kSection[] = "MERGEMODULES";

}  // namespace

std::vector<MergeModuleItem> LoadMergeModules(const Script& script) {
    std::vector<MergeModuleItem> items;
    int total = script.Total(kSection);
    if (total > kMaxMergeModules) total = kMaxMergeModules;
    for (int i = 0; i < total; ++i) {
        MergeModuleItem item;
        item.program = script.Item(kSection, 'C', i);
        item.arguments = script.Item(kSection, 'D', i);
        item.programMask = LeadingNumber(script.Item(kSection, 'E', i));
        item.feature = script.Item(kSection, 'F', i);
        item.condition = script.Item(kSection, 'G', i);
        items.push_back(std::move(item));
    }
    return items;
}

std::vector<MergeModuleRun> ListMergeModuleRuns(const std::vector<MergeModuleItem>& items,
                                                const MergeModuleContext& context) {
    std::vector<MergeModuleRun> runs;
    const std::string resourceDir = context.sourceFolder + "SupportFiles";
    for (const MergeModuleItem& item : items) {
        const bool admitted = context.maskAdmits(item.programMask) && context.featureInstalled(item.feature);
        const bool conditionMet = context.conditionMet(item.condition);
        if (admitted && conditionMet && ContainsIgnoreCase(item.program, ".exe")) {
            std::string program = item.program;
            ReplaceAll(program, "<ResourceDir>", resourceDir, kMaxExpandedLength);
            runs.push_back({program, item.arguments, false});
        }
        if (!conditionMet || !admitted) continue;
        std::string package;
        for (const std::string& candidate :
             {context.sourceFolder + "SupportFiles\\mergemod.msi", context.sourceFolder + "mergemod.msi"}) {
            if (context.fileExists(candidate)) package = candidate;
        }
        if (package.empty()) continue;
        // Quoted: started without a separate program name, an unquoted path
        // with a blank in it would run whatever program its first words name.
        runs.push_back({context.expand("\"<SystemFolder>\\msiexec.exe\" /i \"" + package + "\" /q"), "", true});
    }
    return runs;
}

}  // namespace kq
