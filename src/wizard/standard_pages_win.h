// What makes the standard pages behave: the license and readme texts, the
// license choice that holds Next back, the customer page's answers (and
// their copy in the registry), the destination folder and its browser, the
// setup type, the feature tree of the custom-setup page and the ready page's
// summary. Each page window lives for one visit; what must outlive it is
// kept here or in the run (SetupRun).
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "base/no_copy.h"
#include "layout/page_win.h"
#include "run/setup_run.h"
#include "wizard/page_list.h"
#include "wizard/standard_pages.h"

namespace kq {

class CFeatureTree;

// The customer data written where the script's CT17 and CT18 say, as the
// customer page writes it when left.
void WriteCustomerData(const SetupRun& run);

class CStandardPages : private NoCopy {
public:
    explicit CStandardPages(SetupRun& run);
    ~CStandardPages();

    // When a page opens, after its layout: license, readme, customer,
    // destination and custom-setup pages.
    void OnOpen(CPage& page);
    // The restore step that follows the other set-ups: customer, setup-type
    // and ready pages show the stored choices.
    void Restore(CPage& page, SetupType& setupType);

    // A click on `page`. On the customer page most clicks first store the
    // name and company. True when the click was one of the pages' own
    // choices (license, install-for, setup type, browse) and is done.
    bool OnCommand(CPage& page, const PageCommand& command, SetupType& setupType);
    // Notifications of the feature tree.
    LRESULT OnNotify(CPage& page, NMHDR* header, bool* handled);
    void OnPageClosed(CPage& page);

private:
    void OpenLicense(CPage& page);
    void OpenCustomer(CPage& page);
    void OpenCustomSetup(CPage& page);
    void LoadText(CPage& page, const char* fileKey, const char* controlKey);

    void RestoreCustomer(CPage& page);
    void RestoreSetupType(CPage& page, SetupType& setupType);
    void RestoreReady(CPage& page, SetupType setupType);

    void SelectLicense(CPage& page, bool accepted);
    void SelectInstallFor(CPage& page, int choice);
    void SelectSetupType(CPage& page, SetupType type);
    void StoreCustomerFields(CPage& page);
    void Browse(CPage& page);
    void ShowFeatureInfo(CPage& page, const std::string& text);

    SetupRun& m_run;
    // The feature behaviour of the custom-setup page while it is open.
    std::shared_ptr<CFeatureTree> m_tree;
    CPage* m_treePage = nullptr;
};

}  // namespace kq
