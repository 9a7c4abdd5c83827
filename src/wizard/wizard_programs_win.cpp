// The wizard's share of the other programs: the author's file actions at
// page entry and Finish, and the merge-module stage after the installation.
#include <windows.h>

#include "base/file_win.h"
#include "base/profile_file_win.h"
#include "checks/conditions.h"
#include "checks/system_name.h"
#include "layout/dialogs_win.h"
#include "run/merge_modules.h"
#include "run/other_programs_win.h"
#include "win/directories_win.h"
#include "wizard/wizard_win.h"

namespace kq {
namespace {

constexpr char kMergeModulePage[] = "3rdparty.lcd";
constexpr int kOutsideListCount = 50;
constexpr UINT kMergeModuleDelayMs = 1000;

// A condition's actions when a script item tests it. With nobody watching
// its messages are dropped; a cancel still counts.
class CItemConditionActions : public ConditionActions {
public:
    CItemConditionActions(CWizard& wizard, bool silent) : m_wizard(wizard), m_silent(silent) {}
    void CancelInstall() override { m_wizard.CancelFromCondition(); }
    void ShowMessage(const std::string& text) override {
        if (m_silent) return;
        CPage* page = m_wizard.CurrentPage();
        CMessageDialog().Run(page != nullptr ? page->Handle() : nullptr, text);
    }

private:
    CWizard& m_wizard;
    bool m_silent;
};

class CFileActionMachine : public FileActionMachine {
public:
    CFileActionMachine(CWizard& wizard, SetupRun& run)
        : m_run(run), m_actions(wizard, !run.Watching().SeesWindows()) {}

    bool Admits(int32_t programMask, const std::string& condition) override {
        if (!ProgramMaskApplies(programMask, m_run.SystemName().c_str())) return false;
        ConditionContext context{[this](const std::string& t) { return m_run.Expand(t); }, &m_actions};
        return m_run.Conditions().IsConditionMet(condition, context);
    }
    // A plan changes nothing: it says what would run.
    void StartProgram(const std::string& program, const std::string& arguments, bool wait) override {
        if (m_run.Requests().plan)
            m_run.Journal().Message("would run: " + program + " " + arguments);
        else
            kq::StartProgram(program, arguments, wait);
    }
    void CallLibrary(const std::string& file, const std::string& function) override {
        if (m_run.Requests().plan)
            m_run.Journal().Message("would call: " + function + " in " + file);
        else
            CallLibraryFunction(file, function, m_run.Settings().installDir, m_run.Folders().source);
    }

private:
    SetupRun& m_run;
    CItemConditionActions m_actions;
};

}  // namespace

void CWizard::LoadFileActions() {
    ProfileFile profile(m_run.Paths().setupScriptPath.c_str());
    m_fileActions.Load(Script(profile), [this](const std::string& text) { return m_run.Expand(text); });
}

void CWizard::RunFileActions(const std::string& fileName) {
    CFileActionMachine machine(*this, m_run);
    m_fileActions.RunFor(fileName, machine);
}

bool CWizard::StartMergeModules(AfterInstallStep step) {
    if (!m_run.Progress().mergeModulesPending) return false;
    // Only an installation that ran to its end goes on to the merge modules,
    // silent or not (the product may need them); every other ending, a
    // preview and a plan still clear the stage.
    const bool installed = step == AfterInstallStep::kNext || step == AfterInstallStep::kFinish;
    if (!installed || m_run.Modes().preview || m_run.Requests().plan) {
        EndMergeModuleStage();
        return false;
    }
    m_finishAfterMergeModules = step == AfterInstallStep::kFinish;
    CPage* page = OpenPage(kMergeModulePage, -1, kOutsideListCount, m_run.Watching().SeesPages());
    if (page != nullptr) {
        // Nothing on this page may navigate while the programs run.
        page->Enable("IDC_NEXT", false);
        page->Enable("IDC_BACK", false);
        page->Enable("IDCANCEL", false);
    }
    if (m_mergeTimerWindow == nullptr ||
        ::SetTimer(m_mergeTimerWindow, kMergeModuleTimer, kMergeModuleDelayMs, nullptr) == 0)
        RunMergeModules();
    return true;
}

void CWizard::RunMergeModules() {
    if (!m_run.Progress().mergeModulesPending) return;
    ProfileFile profile(m_run.Paths().setupScriptPath.c_str());
    const std::vector<MergeModuleItem> items = LoadMergeModules(Script(profile));

    CItemConditionActions actions(*this, false);
    MergeModuleContext context;
    context.sourceFolder = m_run.Folders().source;
    context.maskAdmits = [this](int32_t mask) { return ProgramMaskApplies(mask, m_run.SystemName().c_str()); };
    context.featureInstalled = [this](const std::string& name) { return !m_run.Features().IsDeselected(name); };
    context.conditionMet = [this, &actions](const std::string& name) {
        return m_run.Conditions().IsConditionMet(
            name, ConditionContext{[this](const std::string& t) { return m_run.Expand(t); }, &actions});
    };
    context.fileExists = [](const std::string& path) { return FileExists(path); };
    context.expand = [this](const std::string& text) { return m_run.Expand(text); };

    // The page stays up and answers while each program runs (the author's
    // installers may take minutes); nothing on it can navigate meanwhile.
    for (const MergeModuleRun& run : ListMergeModuleRuns(items, context)) {
        if (run.systemInstaller) RunAndPump(std::string(), run.program, &CPage::PreTranslate);
        else RunAndPump(run.program, run.arguments, &CPage::PreTranslate);
    }
    EndMergeModuleStage();
    if (m_finishAfterMergeModules)
        Finish();
    else
        Next();
}

void CWizard::EndMergeModuleStage() {
    m_run.Progress().mergeModulesPending = false;
    // The working folder was kept for the merge modules alone; a preview
    // keeps its extracted files as any preview does.
    if (!m_run.Modes().preview) RemoveWorkFolder();
}

}  // namespace kq
