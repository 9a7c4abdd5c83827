// Who may install the product and what happens to an earlier installation of
// it: the administrator-rights check and the installation mode of APPINFO
// ("New Installation", optionally removing the earlier version first, or
// "Upgrade" into the earlier version's folder). Decisions only: the caller
// reads the registry through the lookup it passes and acts on the decision.
#pragma once
#include <functional>
#include <string>

#include "base/registry_path.h"
#include "run/script.h"

namespace kq {

// Shown (placeholders expanded) when the rights are missing.
constexpr char kAdminRightsMessage[] = "Sorry, you need administrator rights to install this software.";

// "a7" is exactly "Yes" and the program-files folder could not be read from
// the machine's registry (which a user without administrator rights cannot
// open for full access): the run must not go on.
bool LacksRequiredRights(const Script& script, const std::string& programFilesFolder);

// Shown (placeholders expanded) when another run of the same product is
// under way: two runs would install into the same folders and each record
// the other's files.
constexpr char kAlreadyRunningMessage[] =
    "Setup of <ProductName> is already running. Let it finish, then start this setup again if you still need to.";

// The name of the lock a run of the product `productCode` holds while it
// runs, so that a second run knows; with `allSessions` ("Global\" in front)
// every session of the machine sees it (Windows 2000 and later). A
// backslash in the code, which such names refuse, becomes "_". Empty for an
// empty code: packages without one are not told apart.
std::string ProductRunLockName(const std::string& productCode, bool allSessions);

// A string value of the registry: root, key path, value name. "" when the
// key or value is missing.
using RegistryLookup = std::function<std::string(RegistryRoot, const std::string&, const std::string&)>;

// What the start-up does about an earlier installation.
struct PreviousInstallDecision {
    // "New Installation" with "a29" "Yes" and the product registered: run
    // `runner` with `arguments` and wait for it before going on.
    bool removeEarlier = false;
    std::string runner;
    std::string arguments;
    // "Upgrade" that found the earlier folder: the install folder becomes
    // `folder` (trailing backslash). Empty: the folder stays as it is.
    std::string folder;
};

// "a26" "New Installation": with "a29" "Yes", the maintenance runner
// "<WindowsFolder>\kqexec.exe" with ` "/S" <ProductCode>`, both expanded,
// when the product's Uninstall key has a DisplayName. "Upgrade" with "a27"
// "Auto-Detect": the product's LastInstallationPath; otherwise the value
// named by the full path "a28" (only HKEY_LOCAL_MACHINE and
// HKEY_CURRENT_USER are read). An earlier folder that reads as empty leaves
// the default folder in place (never a bare backslash, which would install
// into the root of the current drive). Any other mode does nothing.
PreviousInstallDecision DecidePreviousInstallation(const Script& script, const RegistryLookup& registry,
                                                   const std::function<std::string(const std::string&)>& expand);

}  // namespace kq
