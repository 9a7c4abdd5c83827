// The feature table: which of the product's features are to be installed.
//
// The setup script describes features in two sections:
//   [SETUPTYPE]
//   TOTAL=<n>
//   FeatureName0=Program files     name of feature i, as the file list and
//   Description0=The program ...   the other script items refer to it
//   ...
//   [SETUPFEATURES]
//   TOTAL=<n>
//   0=Program files                text of tree item i on the custom-setup
//   1=Help files                   page, in this order
// The table is filled once at start-up from SETUPTYPE, every entry to be
// installed; only the custom-setup page's feature tree changes it. An item
// of the installation (a file, a shortcut, a setting) is skipped only when
// its feature is in the table and not to be installed.
//
// The table holds at most kMaxFeatures entries (the install run takes no
// more); features past that are cut here, and the tree and the description
// lookup stop at the same count so that everything shown can be changed.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kq {

class Script;

constexpr int kMaxFeatures = 30;

// Feature states as the table keeps them.
constexpr int32_t kFeatureInstalled = 0;
constexpr int32_t kFeatureNotInstalled = 255;

struct FeatureEntry {
    std::string name;
    int32_t state = kFeatureInstalled;
};

class FeatureTable {
public:
    int Count() const { return static_cast<int>(m_entries.size()); }
    const FeatureEntry& At(int index) const { return m_entries[static_cast<size_t>(index)]; }

    // Appends an entry to be installed; false (nothing added) once the table
    // is full.
    bool Add(const std::string& name);

    // The last entry whose name equals `name` exactly, or -1.
    int Find(const std::string& name) const;
    // Sets the state of that entry; false when the name is not in the table.
    bool SetState(const std::string& name, int32_t state);
    // The state of that entry; kFeatureInstalled for a name not in the table.
    int32_t StateOf(const std::string& name) const;
    // True when `name` is in the table with a state other than installed.
    // An empty name belongs to no feature and is always installed.
    bool IsDeselected(const std::string& name) const;

private:
    std::vector<FeatureEntry> m_entries;
};

// SETUPTYPE: TOTAL and "FeatureName%i", every entry to be installed.
FeatureTable LoadFeatureTable(const Script& script);

// SETUPFEATURES: TOTAL and "0", "1", ...: the texts of the tree's items.
std::vector<std::string> LoadFeatureTexts(const Script& script);

// SETUPTYPE "Description%i" of every i whose "FeatureName%i" equals `text`
// exactly, in key order. Empty for an empty text.
std::vector<std::string> FeatureDescriptions(const Script& script, const std::string& text);

// The setup-type page's choice: Typical and Minimal skip the custom-setup
// page, whose tree changes the table.
enum class SetupType { Unset = -1, Typical = 0, Minimal = 1, Custom = 2 };

// The two choices of the feature menu, by their command ids.
enum class FeatureChoice { None, Install, DoNotInstall };
constexpr int kFeatureCommandInstall = 32773;
constexpr int kFeatureCommandDoNotInstall = 32774;
FeatureChoice FeatureChoiceFromCommand(int command);

// The table state and the tree image a choice gives (image 0 is the
// installed picture, image 1 the other).
int32_t StateForChoice(FeatureChoice choice);
int ImageForState(int32_t state);

}  // namespace kq
