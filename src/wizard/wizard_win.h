// The wizard: the page list, navigation between pages, the cancel
// confirmation, the progress page that runs the installation, the completion
// page and Finish. Every navigation step opens a fresh page window from its
// layout file; only the state kept here survives a page.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "cabinet/cabinet_win.h"
#include "layout/page_win.h"
#include "run/file_actions.h"
#include "run/setup_run.h"
#include "wizard/page_list.h"
#include "wizard/wizard_flow.h"

namespace kq {

class CStandardPages;

class CWizard : public PageHost {
public:
    explicit CWizard(SetupRun& run);
    ~CWizard() override;

    // Reads the page list; why it cannot lead the run, or empty.
    std::string LoadPages();
    const PageList& Pages() const { return m_pages; }
    int CurrentIndex() const { return m_index; }
    CPage* CurrentPage() const { return m_current; }

    // The preparation page shown while the cabinet is extracted.
    CPage* OpenStartPage();
    void CloseCurrentPage();

    // Navigation steps.
    void Next();
    void Back();
    void Stop();
    void FinalPageStep();
    void Finish();

    // The script items bound to entering page `fileName` ("start.lcd" at
    // start-up): its conditions fire (the file actions come first, once they
    // exist). A condition's CancelInstall ends the run on the failure page.
    void RunEnteringActions(const std::string& fileName);
    void CancelFromCondition();

    // The author's file actions, read once at start-up; run by the entering
    // actions of each page and at Finish.
    void LoadFileActions();
    void RunFileActions(const std::string& fileName);
    // Merge modules: after the installation the merge-module page is shown
    // and `frame`'s timer kMergeModuleTimer runs them (RunMergeModules).
    static constexpr UINT_PTR kMergeModuleTimer = 2;
    void SetMergeModuleTimerWindow(HWND frame) { m_mergeTimerWindow = frame; }
    void RunMergeModules();

    // Begins unpacking the product's files of `cabinetPath` ahead, for the
    // installation to come (a silent run, which goes there at once);
    // through the directory `opened` read when it is open.
    void UnpackAhead(const std::string& cabinetPath, const CCabinetReader& opened);

    // The user-interface thread is waiting for a worker (cabinet extraction,
    // installation): a confirmed cancel is recorded and carried out when the
    // work has ended, so no file is pulled from under the worker.
    void SetBusy(bool busy) { m_busy = busy; }
    bool CancelPending() const { return m_cancelPending; }
    // Carries out a cancel confirmed while busy.
    void CompletePendingCancel();

    // PageHost
    void OnPageCommand(CPage& page, const PageCommand& command) override;
    void OnPageCancel(CPage& page) override;
    void OnPageTimer(CPage& page, UINT_PTR timerId) override;
    LRESULT OnPageNotify(CPage& page, NMHDR* header, bool* handled) override;
    void OnPageClosed(CPage& page) override;

private:
    CPage* OpenPage(const std::string& fileName, int index, int count, bool show);
    void SetUpPage(CPage& page);
    void SetUpProgressPage(CPage& page);
    void SetUpCompletePage(CPage& page);

    // Before the installation: the customer data of an answer file when no
    // page asked for it, and the run's answers for "/SAVEINF=".
    void RecordAnswers();
    void RunInstallation(CPage& progressPage);
    void ContinueAfterInstallation();
    // True when the merge-module page took over (RunMergeModules goes on);
    // otherwise the pending stage is ended without running.
    bool StartMergeModules(AfterInstallStep step);
    void EndMergeModuleStage();
    void Cancel(CPage& page);
    void RemoveWorkFolder();
    bool AskQuestion(HWND owner, int mode, const std::string& message);
    std::string LanguageText(const char* section, const char* key) const;
    void LaunchChoices();
    // True when the restart was started.
    bool OfferRestart();

    SetupRun& m_run;
    std::unique_ptr<CCabinetUnpacker> m_unpackedAhead;
    PageList m_pages;
    int m_index = -1;
    CPage* m_current = nullptr;
    bool m_stopped = false;
    bool m_busy = false;
    bool m_cancelPending = false;
    bool m_questionOpen = false;
    bool m_launchFile = false;
    bool m_launchReadme = false;
    bool m_finishing = false;  // Finish's own conditions are running
    bool m_finishAfterMergeModules = false;  // a silent run ends once they ran
    // License, readme, customer, destination, setup-type, custom-setup and
    // ready pages.
    std::unique_ptr<CStandardPages> m_standardPages;
    FileActionTable m_fileActions;
    HWND m_mergeTimerWindow = nullptr;
};

}  // namespace kq
