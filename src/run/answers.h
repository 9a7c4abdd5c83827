// The answers of a run without the wizard: the setup type and features an
// administrator names on the command line, and the answer file a run can
// write ("/SAVEINF=") and another take ("/LOADINF=") instead of a user.
//
// The answer file is an INI text of one section; every key may be left out
// (or empty), and then the run asks or takes its default as usual:
//   [Answers]
//   UserName="Ann Smith"          the customer page's name
//   CompanyName="Acme"            and company
//   InstallFor=Anyone             or OnlyForMe
//   Folder="C:\Acme\Notes\"       the install folder (the rules of "/D=")
//   SetupType=Typical             Typical, Minimal or Custom
//   Features="Program files,Help" the features to install, as "/FEATURES="
//   Language=German               the language pack, as "/LANG="
//   LicenseAccepted=Yes           the license page opens accepted
// Values are written in double quotes, which the reader drops, so that
// blanks at either end stay.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "run/features.h"

namespace kq {

// The setup type a name means: "Typical", "Minimal" or "Custom" in any
// case, as the setup-type page shows them; false for any other name.
bool SetupTypeFromName(std::string_view name, SetupType* type);
// The name of a set type; "" for an unset one.
const char* SetupTypeName(SetupType type);

// One name of a feature list: "Help files" to install, "!Help files" not.
struct FeaturePick {
    std::string name;
    bool install = true;
};

// "a,b,!c": names separated by commas, blanks around them dropped, empty
// ones skipped.
std::vector<FeaturePick> ParseFeatureList(std::string_view list);

// Puts the picks on the table: when any name is to be installed, exactly
// the named ones are; names with "!" are left out of what would be
// installed otherwise. Names compare without regard to case against the
// feature tree's `texts`. Returns why the picks do not fit (a name the tree
// does not show, listed with the known ones), or "" with the table changed.
std::string ApplyFeaturePicks(const std::vector<FeaturePick>& picks, const std::vector<std::string>& texts,
                              FeatureTable& table);

// The tree texts of the features the table installs, as a feature list that
// ApplyFeaturePicks takes back: the installed names, or, when none is, each
// name with "!".
std::string FeatureListOf(const std::vector<std::string>& texts, const FeatureTable& table);

// The answers an answer file holds; empty where it says nothing.
struct RecordedAnswers {
    std::string userName;
    std::string companyName;
    int installFor = -1;  // -1 not given, 0 anyone, 1 only for me
    std::string folder;
    std::string setupType;
    std::string features;
    std::string language;
    bool licenseAccepted = false;
};

// Reads an answer file's text; returns why it cannot be taken (no
// answers at all, a value out of its set), or "".
std::string ReadAnswers(const std::string& text, RecordedAnswers* answers);
std::string WriteAnswers(const RecordedAnswers& answers);

}  // namespace kq
