#include "app/main_frame_win.h"

#include <windows.h>
#include <commctrl.h>

#include "app/resource_ids.h"
#include "app/variables_win.h"
#include "base/file_win.h"
#include "base/product.h"
#include "base/profile_file_win.h"
#include "checks/requirements_win.h"
#include "checks/system_name_win.h"
#include "crypt/file_crypt.h"
#include "engine/cabinet_win.h"
#include "layout/dialogs_win.h"
#include "layout/page_win.h"
#include "run/eligibility.h"
#include "run/folders_win.h"
#include "run/other_programs_win.h"
#include "wizard/wizard_flow.h"
#include "wizard/wizard_win.h"

namespace kq {
namespace {

constexpr char kFrameClass[] = "MerrowinMainFrame";

constexpr char kMissingFilesMessage[] =
    "Sorry, Merrowin can't find data files.\r\nsetup.nsx and data.nsx\r\n"
    "These files must be in the same directory of setup.exe";

enum : UINT_PTR {
    kTimerSplashAfterCabinet = 1,
    kTimerMergeModules = 2,
    kTimerSplashDiskImage = 3,
};

}  // namespace

CMainFrame::CMainFrame() = default;
CMainFrame::~CMainFrame() {
    // The decrypted scripts never outlive the run, whichever way it ended
    // (a preview keeps its extracted files, but not these).
    const RunPaths& paths = m_run.Paths();
    if (!paths.setupScriptPath.empty()) ::DeleteFileA(paths.setupScriptPath.c_str());
    if (!paths.dataScriptPath.empty()) ::DeleteFileA(paths.dataScriptPath.c_str());
    if (!paths.workFolder.empty()) ::RemoveDirectoryA(paths.workFolder.c_str());  // only when nothing else is left
}

CMainFrame* CMainFrame::CreateMainFrame() {
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    HICON icon = ::LoadIconA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME));
    if (!RegisterClass(kFrameClass, icon, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1), CS_HREDRAW | CS_VREDRAW))
        return nullptr;

    // The object deletes itself when its window goes, including when the
    // creation handler refuses the window.
    CMainFrame* frame = new CMainFrame();
    HMENU menu = ::LoadMenuA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME));
    if (!frame->Create(kFrameClass, kProductName, WS_OVERLAPPEDWINDOW, 0, CW_USEDEFAULT, CW_USEDEFAULT,
                       CW_USEDEFAULT, CW_USEDEFAULT, nullptr, menu)) {
        if (menu != nullptr) ::DestroyMenu(menu);
        return nullptr;
    }
    return frame;
}

bool CMainFrame::PreTranslate(MSG* msg) {
    return CPage::PreTranslate(msg);
}

LRESULT CMainFrame::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        return OnCreate();
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == ID_APP_CLOSE) {
            ::PostQuitMessage(0);
            return 0;
        }
        break;
    case WM_CLOSE:
        ::PostQuitMessage(0);
        return 0;
    }
    return Default(msg, wParam, lParam);
}

int CMainFrame::OnCreate() {
    m_run.Modes().splashActive = false;
    m_fileActionCount = 0;
    m_wizard = std::make_unique<CWizard>(m_run);

    DiscoverPackageFolders();

    std::string error;
    switch (PreparePackage(error)) {
    case PrepareResult::Ready:
        break;
    case PrepareResult::MissingFiles:
        ::MessageBoxA(nullptr, kMissingFilesMessage, kProductName, MB_OK);
        ::PostQuitMessage(0);
        return -1;
    case PrepareResult::Failed:
        // A package that cannot be read correctly must not run on (what the
        // decryption left behind is not a script), nor one without a working
        // folder of its own.
        ::MessageBoxA(nullptr, error.c_str(), kProductName, MB_OK | MB_ICONSTOP);
        ::PostQuitMessage(1);
        return -1;
    }

    DiscoverShellFolders();
    LoadSettings();
    ComputeSystemName();
    if (RunLanguageStage()) return 0;  // the language page continues the start-up
    ContinueStartup();
    return 0;
}

void CMainFrame::DiscoverPackageFolders() {
    FolderValues& folders = m_run.Folders();
    RunPaths& paths = m_run.Paths();
    DiscoverBaseFolders(folders);
    paths.languageFile = folders.source + "language.lan";
    paths.themeFolder = folders.source + "theme\\";
    PrepareThemeFolder(folders.source, paths.themeFolder);
}

CMainFrame::PrepareResult CMainFrame::PreparePackage(std::string& error) {
    RunPaths& paths = m_run.Paths();
    // The working folder must be one this run created empty: files found in
    // an existing one (a maintenance runner, a script) would be used as ours.
    if (paths.workFolderName.empty()) {
        paths.workFolderName = CreateWorkFolderNow(m_run.Folders().temp);
        if (paths.workFolderName.empty()) {
            error = "Can't create a working folder in " + m_run.Folders().temp;
            return PrepareResult::Failed;
        }
    }
    paths.workFolder = m_run.Folders().temp + paths.workFolderName + "\\";

    if (!m_cipher) {
        m_cipher = std::make_unique<CFileCrypt>();
        Status keyed = KeyForPackage(*m_cipher);
        if (!keyed) {
            error = keyed.message();
            return PrepareResult::Failed;
        }
    }

    struct Script { const char* packed; const char* plain; std::string* path; };
    const Script scripts[] = {
        {"setup.nsx", "setup.inf", &paths.setupScriptPath},
        {"data.nsx", "data.inf", &paths.dataScriptPath},
    };
    for (const Script& script : scripts) {
        *script.path = paths.workFolder + script.plain;
        std::string packed = m_run.Folders().source + script.packed;
        if (!FileExists(packed)) return PrepareResult::MissingFiles;
        Status decrypted = m_cipher->DecryptFile(packed.c_str(), script.path->c_str());
        if (!decrypted) {
            ::DeleteFileA(script.path->c_str());
            error = decrypted.message();
            return PrepareResult::Failed;
        }
    }
    return PrepareResult::Ready;
}

void CMainFrame::DiscoverShellFolders() {
    // The shell folders depend on the all-users choice, which the product
    // settings hold; read it here because the settings themselves expand
    // placeholders that need these folders.
    ProfileFile script(m_run.Paths().setupScriptPath.c_str());
    bool allUsers = ReadAllUsersFlag(Script(script));
    DiscoverUserFolders(allUsers, m_run.Folders());
    m_run.Modes().diskImage = HasDiskImage(m_run.Folders().source);
}

void CMainFrame::LoadSettings() {
    ProfileFile profile(m_run.Paths().setupScriptPath.c_str());
    m_run.LoadSettings(Script(profile), ReadCompanyName());
}

void CMainFrame::ComputeSystemName() {
    m_run.SetSystemName(SystemName());
}

bool CMainFrame::RunLanguageStage() {
    // Language packs come with the languages subsystem; no page is opened yet.
    return false;
}

int CMainFrame::ContinueStartup() {
    ShowSplash();
    if (!CheckSystemRequirements()) return QuitStartup(kExitFailed);
    if (!CheckEligibility()) return QuitStartup(kExitFailed);
    EvaluateConditions();
    HandlePreviousInstallation();
    if (!LoadPageList()) return QuitStartup(kExitFailed);
    LoadFileActions();
    LoadSetupTypes();
    if (!StartPageAndCabinet()) return QuitStartup(kExitFailed);
    ShowBackground();
    StartBillboards();
    LoadVariables();
    CheckMergeModules();
    if (!m_run.Modes().splashActive) OpenFirstPage();
    if (m_run.Modes().splashActive && m_run.Modes().diskImage)
        ::SetTimer(m_hWnd, kTimerSplashDiskImage, 1000, nullptr);
    return 0;
}

int CMainFrame::QuitStartup(int exitCode) {
    ::PostQuitMessage(exitCode);
    return -1;
}

void CMainFrame::TellFailure(const std::string& message) const {
    // A silent run has nobody to press OK; its exit code says it failed.
    if (m_run.Modes().silent == SilentMode::kOff)
        ::MessageBoxA(nullptr, message.c_str(), kProductName, MB_OK | MB_ICONSTOP);
}

void CMainFrame::ShowSplash() {}
bool CMainFrame::CheckSystemRequirements() {
    ProfileFile script(m_run.Paths().setupScriptPath.c_str());
    Requirement failed = FirstFailedRequirement(ReadSystemRequirements(script), CMachineFacts());
    if (failed == Requirement::kNone) return true;
    ProfileFile language(m_run.Paths().languageFile.c_str());
    auto expand = [this](const std::string& text) { return m_run.Expand(text); };
    CQuestionDialog(language, expand).Run(nullptr, kQuestionModeError, RequirementMessage(failed, language, expand));
    return false;
}
bool CMainFrame::CheckEligibility() {
    ProfileFile script(m_run.Paths().setupScriptPath.c_str());
    if (!LacksRequiredRights(Script(script), m_run.Folders().programFiles)) return true;
    // A silent run has nobody to read it; its exit code says it failed.
    if (m_run.Modes().silent == SilentMode::kOff) {
        ProfileFile language(m_run.Paths().languageFile.c_str());
        auto expand = [this](const std::string& text) { return m_run.Expand(text); };
        CQuestionDialog(language, expand).Run(nullptr, kQuestionModeError, expand(kAdminRightsMessage));
    }
    return false;
}
void CMainFrame::EvaluateConditions() {
    m_run.Conditions().Load(ProfileFile(m_run.Paths().setupScriptPath.c_str()));
}
void CMainFrame::HandlePreviousInstallation() {
    ProfileFile script(m_run.Paths().setupScriptPath.c_str());
    const PreviousInstallPlan plan = PlanPreviousInstallation(
        Script(script), &ReadRegistryString, [this](const std::string& text) { return m_run.Expand(text); });
    // The start-up goes on only once the earlier version is gone.
    if (plan.removeEarlier) StartProgram(plan.runner, plan.arguments, true);
    if (!plan.folder.empty()) m_run.SetInstallFolder(plan.folder);
}
bool CMainFrame::LoadPageList() {
    const std::string problem = m_wizard->LoadPages();
    if (problem.empty()) return true;
    TellFailure(problem);
    return false;
}
void CMainFrame::LoadFileActions() {
    m_wizard->LoadFileActions();
}
void CMainFrame::LoadSetupTypes() {
    ProfileFile profile(m_run.Paths().setupScriptPath.c_str());
    m_run.Features() = LoadFeatureTable(Script(profile));
}
bool CMainFrame::StartPageAndCabinet() {
    m_wizard->RunEnteringActions("start.lcd");
    // A condition cancelled the setup: the failure page is up, nothing to extract.
    if (m_run.Signals().Aborted()) return true;
    if (m_run.Modes().diskImage) return true;

    CPage* startPage = m_wizard->OpenStartPage();
    HWND bar = startPage != nullptr ? startPage->ControlWindow("IDC_PROGRESS1") : nullptr;
    ProgressThrottle throttle;
    CabinetProgress progress = ProgressBarFeedback(bar, throttle);

    CabinetFailure failure;
    failure.result = kCabinetNoDecoder;  // when no thread can be started
    {
        CCabinetExtraction extraction;
        if (extraction.Start(m_run.Folders().source.c_str(), m_run.Paths().workFolder.c_str(), progress)) {
            m_wizard->SetBusy(true);
            // The start page's keyboard works during the wait: Escape asks to cancel.
            PumpWait(extraction.Thread(), INFINITE, &CMainFrame::PreTranslate);
            m_wizard->SetBusy(false);
            failure = extraction.Failure();
        }
    }
    if (failure.result != kCabinetOk) {
        // The wizard must not open on a package whose files are not there.
        m_wizard->CloseCurrentPage();
        TellFailure(CabinetFailureMessage(failure, CabinetPath(m_run.Folders().source.c_str())));
        return false;
    }
    if (m_wizard->CancelPending()) {
        m_wizard->CompletePendingCancel();
        return true;
    }
    if (m_run.Modes().splashActive) {
        m_run.Modes().startupWorkDone = true;
        ::SetTimer(m_hWnd, kTimerSplashAfterCabinet, 1000, nullptr);
        return true;
    }
    m_wizard->CloseCurrentPage();
    return true;
}
void CMainFrame::ShowBackground() {}
void CMainFrame::StartBillboards() {}
void CMainFrame::LoadVariables() {
    ProfileFile profile(m_run.Paths().setupScriptPath.c_str());
    LoadRunVariables(m_run, Script(profile));
}

void CMainFrame::CheckMergeModules() {
    ProfileFile profile(m_run.Paths().setupScriptPath.c_str());
    if (Script(profile).Total("MERGEMODULES") != 0) m_run.Modes().mergeModulesPending = true;
    m_wizard->SetMergeModuleTimerWindow(m_hWnd);
}

void CMainFrame::OpenFirstPage() {
    m_wizard->Next();
}

void CMainFrame::OnTimer(UINT_PTR id) {
    switch (id) {
    case kTimerSplashAfterCabinet:
        if (m_run.Modes().splashFinished) {
            ::KillTimer(m_hWnd, id);
            m_wizard->CloseCurrentPage();
            OpenFirstPage();
        }
        break;
    case kTimerSplashDiskImage:
        if (m_run.Modes().splashFinished) {
            ::KillTimer(m_hWnd, id);
            OpenFirstPage();
        }
        break;
    case kTimerMergeModules:
        ::KillTimer(m_hWnd, id);
        m_wizard->RunMergeModules();
        break;
    }
}

}  // namespace kq
