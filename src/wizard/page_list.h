// The wizard's page list and the navigation rules that move through it.
//
// DIALOGLIST in the setup script names the pages:
//   TOTAL1=<count>          number of pages (at most kMaxPages are kept)
//   W0=welcome.lcd ...      layout file of page i, relative to the theme folder
// The index is -1 before the first list page. Typical and Minimal setups skip
// the page that follows "setuptype.lcd" going forward and "customsetup.lcd"
// going back.
#pragma once
#include <string>
#include <vector>

#include "run/features.h"

namespace kq {

class Script;

constexpr int kMaxPages = 20;

struct PageList {
    std::vector<std::string> files;

    int Count() const { return static_cast<int>(files.size()); }
    // The layout file at `index`; empty outside the list.
    std::string FileAt(int index) const;
};

PageList LoadPageList(const Script& script);
// Why the list cannot lead a run, or empty: a list without pages (DIALOGLIST
// missing or its count not a positive number) is a damaged package.
std::string PageListProblem(const PageList& pages);

// Layout file a script item means by a page's display name ("Setup Type" is
// "setuptype.lcd"); any other name is a file name already.
std::string PageFileFromDisplayName(const std::string& displayName);

int NextPageIndex(const PageList& pages, int current, SetupType type);
int BackPageIndex(const PageList& pages, int current, SetupType type);

// What a page command means to the wizard.
enum class WizardAction { None, Finish, Back, Next };

WizardAction ClassifyWizardCommand(const std::string& idcName, int clickAction, bool stopped);

}  // namespace kq
