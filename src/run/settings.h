// The product-wide settings of the setup script, loaded once at start-up:
// the APPINFO section, the BUILDING switches and the DIALOGLIST keys that are
// not part of the page list.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "run/folders.h"
#include "run/placeholders.h"
#include "run/script.h"

namespace kq {

struct ProductSettings {
    std::string productName;        // APPINFO "a1"
    std::string publisher;          // APPINFO "a19"
    std::string productVersion;     // APPINFO "a2"
    std::string companyName;        // registry; the customer page may change it
    std::string defaultInstallDir;  // APPINFO "a4", expanded, trailing backslash
    std::string installDir;         // the chosen folder; starts as the default
    int32_t allUsers = 0;           // 255 when "a8" is exactly "Per-User"
    std::string languageName;       // APPINFO "Language"
    std::string productCode;        // APPINFO "a3"
    std::string launchProgram;      // DIALOGLIST "CT10", as written
    std::string launchArguments;    // DIALOGLIST "CT11", as written
    std::string readmeFile;         // DIALOGLIST "CT13", as written
    int32_t launchOffer = 255;      // 0 when "CT9" is exactly "No"
    int32_t readmeOffer = 255;      // 0 when "CT12" is exactly "No"
    int32_t preview = 0;            // 255 when "PREVIEW" converts to 255
    int32_t silent = 0;             // 255 when BUILDING "2" is "Yes"
    std::string customerRoot;       // DIALOGLIST "CT17", a root key name
    std::string customerKey;        // DIALOGLIST "CT18"; empty: not stored
    int32_t restart = 0;            // 255 when "CT14" is "Yes"
};

// Placeholder expansion as the caller's run sees it. It is called while the
// settings are being loaded, after the values read before it have been
// stored, so an expansion that reads from the settings being filled sees the
// product name, publisher, version and company name when "a4" is expanded.
using ExpandFunction = std::function<std::string(const std::string&)>;

// Reads the settings in this order: "a1", "a19", "a2"; the company name
// given; "a4" expanded into the default and chosen install folders; "a8";
// "Language"; "a3"; "CT10", "CT11", "CT13" as written; "CT9", "CT12";
// "PREVIEW"; BUILDING "2"; "CT17", "CT18"; "CT14". Nothing is mandatory: a
// missing key reads as "" and gives the default behaviour.
void LoadProductSettings(const Script& script, const std::string& companyName, const ExpandFunction& expand,
                         ProductSettings& out);

// The all-users choice on its own ("a8" exactly "Per-User"), for the shell
// folders, which are read before the other settings.
bool ReadAllUsersFlag(const Script& script);

// The values placeholder expansion uses, from the run's folders and settings.
// The user name is the folders' one, the company name the settings' one.
PlaceholderValues MakePlaceholderValues(const FolderValues& folders, const ProductSettings& settings,
                                        const UserVariableTable* variables = nullptr);

}  // namespace kq
