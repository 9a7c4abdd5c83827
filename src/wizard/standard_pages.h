// The platform-free half of the standard pages (license, readme, customer,
// destination, setup type, custom setup, ready): where the page texts come
// from, what the ready page sums up, which clicks on the customer page read
// its fields back, and where the customer data goes in the registry.
// standard_pages_win.h puts these on the page windows.
//
// DIALOGLIST keys the pages read:
//   CT0=license.rtf   CT1=IDC_LICENSE    license file and the control it fills
//   CT2=readme.txt    CT3=IDC_README     the same for the readme page
//   CT17=HKEY_CURRENT_USER               root for the customer data
//   CT18=Software\Vendor\Product         key path (placeholders allowed);
//                                        empty: the data is not stored
#pragma once
#include <string>

#include "base/registry_path.h"
#include "layout/control_catalogue.h"
#include "wizard/page_list.h"

namespace kq {

class Script;

// Layout file names the page logic is keyed on (compared exactly).
constexpr char kLicensePage[] = "license.lcd";
constexpr char kReadmePage[] = "readme.lcd";
constexpr char kCustomerPage[] = "customer.lcd";
constexpr char kDestinationPage[] = "destination.lcd";
constexpr char kSetupTypePage[] = "setuptype.lcd";
constexpr char kCustomSetupPage[] = "customsetup.lcd";
constexpr char kReadyPage[] = "ready.lcd";

// A text file shown on the license or readme page.
struct PageTextFile {
    std::string path;        // where it is looked for; empty when none is named
    std::string control;     // identifier name of the control it fills
    bool richText = false;   // streamed as rich text rather than set as plain text
};

// Where the files the pages show were unpacked: the working folder (ending
// in '\'), or, for a package laid out as disk images, the source folder
// (ending in '\') whose "DiskImage1\" holds them.
struct PackedFiles {
    std::string workFolder;
    std::string sourceFolder;
    bool diskImage = false;
};

// Only the file-name part of the script's value counts: "C:\docs\eula.rtf"
// names eula.rtf.
std::string FileNamePart(const std::string& value);

// A path that holds ".rtf" in any case is rich text.
bool IsRichTextPath(const std::string& path);

// The license page's file (fileKey "CT0", controlKey "CT1") or the readme
// page's ("CT2", "CT3").
PageTextFile LocatePageText(const Script& script, const char* fileKey, const char* controlKey,
                            const PackedFiles& packed);

// The setup type an option button stands for (0, 1, 2), and the type the
// setup-type page shows when it opens: an unset type shows, and becomes,
// Typical.
SetupType SetupTypeFromChoice(int choice);
SetupType RestoredSetupType(SetupType stored);
// "IDC_TYPICAL", "IDC_MINIMAL" or "IDC_CUSTOM".
const char* SetupTypeOption(SetupType type);

// The ready page's summary of the choices made, as IDC_SETTINGS shows it.
std::string ReadySummary(SetupType type, const std::string& installFolder, const std::string& userName,
                         const std::string& companyName);

// True when a click routed this way on the customer page first reads the
// name and company back (and stores them): every click but Cancel, Browse
// and the license and install-for options.
bool ReadsCustomerFieldsFirst(CommandRoute route);

// The key the customer data is written to; root kNone (nothing written)
// when the root name is none of the five roots or the key path is empty.
// `keyPath` is the script's value with its placeholders already expanded.
RegistryKeyPath CustomerDataKey(const std::string& rootName, const std::string& keyPath);

// The value names the customer data is written under.
constexpr char kCustomerNameValue[] = "<UserName>";
constexpr char kCustomerCompanyValue[] = "<CompanyName>";

}  // namespace kq
