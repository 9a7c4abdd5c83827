#include "run/file_actions.h"

#include <utility>

#include "base/text.h"

namespace kq {
namespace {

constexpr char kSection[] = "FILEACTION";

struct MomentPage {
    const char* moment;
    const char* layoutFile;
};
constexpr MomentPage kMomentPages[] = {
    {"Installation Start", "start.lcd"},      {"Install Welcome", "welcome.lcd"},
    {"License Agreement", "license.lcd"},     {"Readme Dialog", "readme.lcd"},
    {"Customer Information", "customer.lcd"}, {"Destination Folder", "destination.lcd"},
    {"Setup Type", "setuptype.lcd"},          {"Custom Setup", "customsetup.lcd"},
    {"Ready to Install", "ready.lcd"},        {"Setup Progress", "progress.lcd"},
    {"Setup Complete", "complete.lcd"},
};

}  // namespace

std::string MomentLayoutFile(const std::string& moment) {
    for (const MomentPage& page : kMomentPages) {
        if (moment == page.moment) return page.layoutFile;
    }
    return moment;
}

FileActionKind ClassifyActionFile(const std::string& file) {
    if (ContainsIgnoreCase(file, ".exe")) return FileActionKind::kProgram;
    if (ContainsIgnoreCase(file, ".dll")) return FileActionKind::kLibrary;
    return FileActionKind::kNone;
}

void FileActionTable::Load(const Script& script, const std::function<std::string(const std::string&)>& expand) {
    m_actions.clear();
    int total = script.Total(kSection);
    if (total > kMaxFileActions) total = kMaxFileActions;
    for (int i = 0; i < total; ++i) {
        FileAction action;
        action.file = expand(script.Item(kSection, 'B', i));
        action.parameter = expand(script.Item(kSection, 'C', i));
        action.moment = MomentLayoutFile(script.Item(kSection, 'E', i));
        action.once = Script::IsYes(script.Item(kSection, 'G', i, Script::kShortSize));
        action.wait = Script::IsYes(script.Item(kSection, 'H', i, Script::kShortSize));
        action.programMask = LeadingNumber(script.Item(kSection, 'L', i, Script::kShortSize));
        action.condition = script.Item(kSection, 'M', i);
        m_actions.push_back(std::move(action));
    }
}

int FileActionTable::RunFor(const std::string& layoutFile, FileActionMachine& machine) {
    if (layoutFile.empty()) return 0;
    int ran = 0;
    for (FileAction& action : m_actions) {
        if (action.moment == layoutFile && Run(action, machine)) ++ran;
    }
    return ran;
}

bool FileActionTable::Run(FileAction& action, FileActionMachine& machine) {
    if (action.done) return false;
    if (action.once) action.done = true;
    if (!machine.Admits(action.programMask, action.condition)) return false;
    switch (ClassifyActionFile(action.file)) {
    case FileActionKind::kProgram:
        machine.StartProgram(action.file, action.parameter, action.wait);
        return true;
    case FileActionKind::kLibrary:
        machine.CallLibrary(action.file, action.parameter);
        return true;
    case FileActionKind::kNone:
        break;
    }
    return false;
}

}  // namespace kq
