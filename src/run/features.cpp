#include "run/features.h"

#include <cstdio>

#include "run/script.h"

namespace kq {
namespace {

constexpr char kTypeSection[] = "SETUPTYPE";
constexpr char kTreeSection[] = "SETUPFEATURES";

std::string NumberedKey(const char* prefix, int i) {
    char key[32];
    std::snprintf(key, sizeof(key), "%s%i", prefix, i);
    return key;
}

int CappedTotal(const Script& script, const char* section) {
    int total = script.Total(section);
    return total > kMaxFeatures ? kMaxFeatures : total;
}

}  // namespace

bool FeatureTable::Add(const std::string& name) {
    if (Count() >= kMaxFeatures) return false;
    m_entries.push_back(FeatureEntry{name, kFeatureInstalled});
    return true;
}

int FeatureTable::Find(const std::string& name) const {
    for (int i = Count() - 1; i >= 0; --i) {
        if (m_entries[static_cast<size_t>(i)].name == name) return i;
    }
    return -1;
}

bool FeatureTable::SetState(const std::string& name, int32_t state) {
    int index = Find(name);
    if (index < 0) return false;
    m_entries[static_cast<size_t>(index)].state = state;
    return true;
}

int32_t FeatureTable::StateOf(const std::string& name) const {
    int index = Find(name);
    return index < 0 ? kFeatureInstalled : At(index).state;
}

bool FeatureTable::IsDeselected(const std::string& name) const {
    return !name.empty() && StateOf(name) != kFeatureInstalled;
}

FeatureTable LoadFeatureTable(const Script& script) {
    FeatureTable table;
    const int total = CappedTotal(script, kTypeSection);
    for (int i = 0; i < total; ++i) table.Add(script.Value(kTypeSection, NumberedKey("FeatureName", i).c_str()));
    return table;
}

std::vector<std::string> LoadFeatureTexts(const Script& script) {
    std::vector<std::string> texts;
    const int total = CappedTotal(script, kTreeSection);
    for (int i = 0; i < total; ++i) texts.push_back(script.Value(kTreeSection, NumberedKey("", i).c_str()));
    return texts;
}

std::vector<std::string> FeatureDescriptions(const Script& script, const std::string& text) {
    std::vector<std::string> descriptions;
    if (text.empty()) return descriptions;
    const int total = CappedTotal(script, kTypeSection);
    for (int i = 0; i < total; ++i) {
        if (script.Value(kTypeSection, NumberedKey("FeatureName", i).c_str()) == text)
            descriptions.push_back(script.Value(kTypeSection, NumberedKey("Description", i).c_str()));
    }
    return descriptions;
}

FeatureChoice FeatureChoiceFromCommand(int command) {
    switch (command) {
    case kFeatureCommandInstall: return FeatureChoice::Install;
    case kFeatureCommandDoNotInstall: return FeatureChoice::DoNotInstall;
    default: return FeatureChoice::None;
    }
}

int32_t StateForChoice(FeatureChoice choice) {
    return choice == FeatureChoice::DoNotInstall ? kFeatureNotInstalled : kFeatureInstalled;
}

int ImageForState(int32_t state) { return state == kFeatureInstalled ? 0 : 1; }

}  // namespace kq
