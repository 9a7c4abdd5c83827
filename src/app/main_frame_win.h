// CMainFrame: the hidden top-level window that owns the run (SetupRun) and
// drives the fixed start-up sequence from window creation to the first
// wizard page.
#pragma once
#include <memory>
#include <string>

#include "base/product.h"
#include "cabinet/cabinet.h"
#include "run/setup_run.h"
#include "win/window_win.h"

namespace kq {

class CFileCrypt;
class CWizard;
class CLanguagePage;
class CSplash;
class CBackground;
class CBillboards;
class CCabinetReader;

// Caption of the program's own message boxes.
constexpr const char* kAppCaption = kProductName;

class CMainFrame : public CWnd {
public:
    // Creates the frame (hidden); nullptr when creation failed, in which case
    // the first stage has already told the user why.
    static CMainFrame* CreateMainFrame();
    // Hook of the message loop for messages the frame must see first.
    static bool PreTranslate(MSG* msg);

    // Second start-up stage; also the language page's way back in once the
    // user has chosen. Returns 0, or -1 after posting the quit message.
    int ContinueStartup();

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage() override { delete this; }

private:
    enum class PrepareResult { Ready, MissingFiles, Damaged, Failed };

    CMainFrame();
    ~CMainFrame() override;

    int OnCreate();
    void OnTimer(UINT_PTR id);
    // The first page waits for the splash's end; what then happens besides.
    enum class AfterSplash { kNothing, kOpenFirstPage, kCloseStartPage };
    void WaitForSplash(AfterSplash then);
    void OnSplashEnded();

    // First stage.
    void DiscoverPackageFolders();
    PrepareResult PreparePackage(std::string& error);
    void DiscoverShellFolders();
    void LoadSettings();
    // False when another run of the same product holds its lock.
    bool ClaimProduct();
    // Rolls back what runs that were killed before they committed left
    // behind, and says so.
    void RollBackInterruptedRuns();
    void ComputeSystemName();
    bool RunLanguageStage();

    // Second stage, in order. A false return ends the start-up.
    void ShowSplash();
    bool CheckSystemRequirements();
    bool CheckEligibility();
    void EvaluateConditions();
    void HandlePreviousInstallation();
    bool LoadPageList();
    void LoadFileActions();
    bool LoadSetupTypes();
    // kExitInstalled when the start-up goes on, else how the run ends.
    int StartPageAndCabinet();
    // The cabinet's support files into the working folder.
    CabinetFailure ExtractSupportFiles(CabinetProgress progress);
    void UnpackAheadWhenSilent();
    void ShowBackground();
    void StartBillboards();
    void LoadVariables();
    void CheckMergeModules();
    void OpenFirstPage();

    int QuitStartup(int exitCode = 0);
    // Nobody is there with "/S" or "/PLAN" (Audience): failures then go
    // only to the run's log and its exit code.
    bool SomeoneWatches() const;
    // A failure in the program's own message box; the log keeps it.
    void TellFailure(const std::string& message);
    // A start-up failure in the wizard's error dialog, in the run's language.
    void TellStartupError(const std::string& message);

    SetupRun m_run;
    int m_fileActionCount = 0;
    HANDLE m_productLock = nullptr;  // held while the run lasts (ClaimProduct)

    std::unique_ptr<CFileCrypt> m_cipher;
    // Page list, current page and the wizard's choices.
    std::unique_ptr<CWizard> m_wizard;
    // The language page while it waits for the user's choice.
    std::unique_ptr<CLanguagePage> m_languagePage;
    // The presentation windows; each goes with the frame at the latest.
    std::unique_ptr<CSplash> m_splash;
    AfterSplash m_afterSplash = AfterSplash::kNothing;
    std::unique_ptr<CBackground> m_background;
    std::unique_ptr<CBillboards> m_billboards;
    // The cabinet as the start-up's extraction read it, until the product's
    // files are unpacked ahead from it (or not).
    std::unique_ptr<CCabinetReader> m_startupCabinet;
};

}  // namespace kq
