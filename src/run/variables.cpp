#include "run/variables.h"

#include "run/script.h"

namespace kq {
namespace {

constexpr char kSection[] = "VARIABLES";

std::string Column(const Script& script, char column, int index) {
    return script.Item(kSection, column, index, Script::kShortSize);
}

std::string OrDefault(const std::string& value, const std::string& fallback) {
    return value.empty() ? fallback : value;
}

const char* TrueOrFalse(bool value) {
    return value ? "TRUE" : "FALSE";
}

}  // namespace

VariableMachine::~VariableMachine() = default;

VariableSource VariableSourceFromName(const std::string& kind) {
    struct Name { const char* text; VariableSource source; };
    static const Name kNames[] = {
        {"Nowhere", VariableSource::kNowhere},
        {"Registry", VariableSource::kRegistry},
        {"INI Files", VariableSource::kIniFile},
        {"Find File/Folder", VariableSource::kFindPath},
        {"Retrive from Web", VariableSource::kWeb},  // the builder's spelling
        {"Find Window", VariableSource::kFindWindow},
    };
    for (const Name& name : kNames) {
        if (kind == name.text) return name.source;
    }
    return VariableSource::kUnknown;
}

std::vector<VariableSpec> ReadVariableSpecs(const Script& script) {
    int total = script.Total(kSection);
    if (total > static_cast<int>(kMaxUserVariables)) total = static_cast<int>(kMaxUserVariables);
    std::vector<VariableSpec> specs;
    for (int i = 0; i < total; ++i) {
        VariableSpec spec;
        spec.name = Column(script, 'A', i);
        spec.defaultValue = Column(script, 'B', i);
        spec.description = Column(script, 'C', i);
        spec.source = VariableSourceFromName(Column(script, 'D', i));
        spec.root = RegistryRootFromName(Column(script, 'E', i));
        spec.registryKey = Column(script, 'F', i);
        spec.registryValue = Column(script, 'G', i);
        spec.iniFile = Column(script, 'H', i);
        spec.iniSection = Column(script, 'I', i);
        spec.iniKey = Column(script, 'J', i);
        spec.path = Column(script, 'L', i);
        spec.address = Column(script, 'O', i);
        spec.windowClass = Column(script, 'P', i);
        spec.windowTitle = Column(script, 'Q', i);
        specs.push_back(std::move(spec));
    }
    return specs;
}

UserVariableTable ComputeVariables(const std::vector<VariableSpec>& specs, const VariableExpand& expand,
                                   VariableMachine& machine) {
    UserVariableTable table;
    auto expanded = [&expand, &table](const std::string& text) { return expand ? expand(text, table) : text; };
    bool waiting = false;
    // The slow sources block the message loop; the wait window is the only
    // sign of life meanwhile.
    auto wait = [&] {
        if (!waiting) machine.ShowWaitWindow();
        waiting = true;
    };

    for (const VariableSpec& spec : specs) {
        UserVariable variable;
        variable.name = spec.name;
        variable.description = spec.description;
        switch (spec.source) {
        case VariableSource::kNowhere:
            variable.value = spec.defaultValue;
            break;
        case VariableSource::kRegistry:
            // No root, no read: the default.
            if (spec.root != RegistryRoot::kNone)
                variable.value = machine.ReadRegistry(spec.root, spec.registryKey, spec.registryValue);
            variable.value = OrDefault(variable.value, spec.defaultValue);
            break;
        case VariableSource::kIniFile: {
            const std::string file = expanded(spec.iniFile);
            if (machine.Exists(file)) variable.value = machine.ReadIni(file, spec.iniSection, spec.iniKey);
            variable.value = OrDefault(variable.value, spec.defaultValue);
            break;
        }
        case VariableSource::kFindPath:
            wait();
            variable.value = TrueOrFalse(machine.Exists(expanded(spec.path)));
            break;
        case VariableSource::kWeb:
            wait();
            variable.value = OrDefault(machine.FetchText(expanded(spec.address)), spec.defaultValue);
            break;
        case VariableSource::kFindWindow: {
            const std::string windowClass = spec.windowClass.empty() ? spec.windowClass : expanded(spec.windowClass);
            const std::string title = spec.windowTitle.empty() ? spec.windowTitle : expanded(spec.windowTitle);
            variable.value = TrueOrFalse(machine.WindowExists(windowClass, title));
            break;
        }
        case VariableSource::kUnknown:
            break;
        }
        table.push_back(std::move(variable));
    }
    if (waiting) machine.CloseWaitWindow();
    return table;
}

}  // namespace kq
