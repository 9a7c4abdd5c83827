#include "wizard/page_list.h"

#include <cstdio>

#include "run/file_actions.h"
#include "run/script.h"

namespace kq {
namespace {

bool SkipsCustomPage(SetupType type) {
    return type == SetupType::Typical || type == SetupType::Minimal;
}

}  // namespace

std::string PageList::FileAt(int index) const {
    if (index < 0 || index >= Count()) return std::string();
    return files[static_cast<size_t>(index)];
}

PageList LoadPageList(const Script& script) {
    PageList pages;
    int total = script.Total("DIALOGLIST", "TOTAL1");
    if (total > kMaxPages) total = kMaxPages;
    for (int i = 0; i < total; ++i) {
        char key[16];
        std::snprintf(key, sizeof(key), "W%i", i);
        pages.files.push_back(script.Value("DIALOGLIST", key));
    }
    return pages;
}

std::string PageListProblem(const PageList& pages) {
    if (pages.Count() > 0) return std::string();
    return "This package is damaged: its setup script lists no wizard pages (section DIALOGLIST, key TOTAL1), "
           "so the installation cannot be led. Please get a new copy of the package.";
}

std::string PageFileFromDisplayName(const std::string& displayName) {
    return MomentLayoutFile(displayName);  // the moments are named like the pages
}

int NextPageIndex(const PageList& pages, int current, SetupType type) {
    int next = current;
    if (SkipsCustomPage(type) && pages.FileAt(current) == "setuptype.lcd") ++next;
    return next + 1;
}

int BackPageIndex(const PageList& pages, int current, SetupType type) {
    int back = current - 1;
    if (SkipsCustomPage(type) && pages.FileAt(back) == "customsetup.lcd") --back;
    return back < 0 ? 0 : back;
}

WizardAction ClassifyWizardCommand(const std::string& idcName, int clickAction, bool stopped) {
    // Finish is obeyed even after the wizard was forced to its last page.
    if (idcName == "IDC_FINISH") return WizardAction::Finish;
    if (stopped) return WizardAction::None;
    if (idcName == "IDC_BACK" || clickAction == 2) return WizardAction::Back;
    if (idcName == "IDC_NEXT" || clickAction == 1) return WizardAction::Next;
    return WizardAction::None;
}

}  // namespace kq
