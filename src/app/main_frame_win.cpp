#include "app/main_frame_win.h"

#include <windows.h>
#include <commctrl.h>

#include "app/command_line_win.h"
#include "app/resource_ids.h"
#include "app/variables_win.h"
#include "base/file.h"
#include "base/file_win.h"
#include "base/product.h"
#include "base/profile_file_win.h"
#include "cabinet/cabinet_win.h"
#include "checks/requirements_win.h"
#include "checks/system_name_win.h"
#include "crypt/file_crypt.h"
#include "layout/dialogs_win.h"
#include "layout/page_win.h"
#include "presentation/background_win.h"
#include "presentation/billboards_win.h"
#include "presentation/presentation_rules.h"
#include "presentation/splash_win.h"
#include "record/interrupted_runs_win.h"
#include "run/eligibility.h"
#include "run/file_list.h"
#include "run/folders_win.h"
#include "run/other_programs_win.h"
#include "run/product_claims_win.h"
#include "win/directories_win.h"
#include "wizard/languages_win.h"
#include "wizard/wizard_flow.h"
#include "wizard/wizard_win.h"

namespace kq {
namespace {

constexpr char kFrameClass[] = "MerrowinMainFrame";

constexpr char kMissingFilesMessage[] =
    "Sorry, Merrowin can't find data files.\r\nsetup.nsx and data.nsx\r\n"
    "These files must be in the same directory of setup.exe";

}  // namespace

CMainFrame::CMainFrame() = default;
CMainFrame::~CMainFrame() {
    if (m_productLock != nullptr) ::CloseHandle(m_productLock);
    // The decrypted scripts never outlive the run, whichever way it ended
    // (a preview keeps its extracted files, but not these).
    const RunPaths& paths = m_run.Paths();
    if (!paths.setupScriptPath.empty()) ::DeleteFileA(paths.setupScriptPath.c_str());
    if (!paths.dataScriptPath.empty()) ::DeleteFileA(paths.dataScriptPath.c_str());
    // Nor does the extracted package, however the run ended (cancelled by a
    // condition at start-up, or the wizard left without installing); a
    // preview keeps it for the author to look at.
    if (paths.workFolder.empty() || paths.workFolderName.empty()) return;
    if (m_run.Modes().preview) {
        // Only when nothing else is left; what is, is the author's to look at.
        if (!::RemoveDirectoryA(paths.workFolder.c_str()))
            WriteWholeFile(m_run.Folders().temp + KeptWorkFolderName(paths.workFolderName), std::string());
    } else {
        DeleteFolderTree(m_run.Folders().temp + paths.workFolderName, m_run.Folders().temp);
    }
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
    case kSplashEndedMessage:
        OnSplashEnded();
        return 0;
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
    case WM_ERASEBKGND:
        if (m_background && m_background->Active()) {
            m_background->Erase(m_hWnd, reinterpret_cast<HDC>(wParam));
            return 1;
        }
        break;
    case WM_MOUSEACTIVATE:
        // The backdrop stays behind the wizard's pages: a click on it
        // neither activates it nor raises it over them.
        if (m_background && m_background->Active()) return MA_NOACTIVATE;
        break;
    case WM_WINDOWPOSCHANGING:
        if (m_background && m_background->Active()) {
            reinterpret_cast<WINDOWPOS*>(lParam)->hwndInsertAfter = HWND_BOTTOM;
            reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~SWP_NOZORDER;
        }
        break;
    case WM_PAINT:
        if (m_background && m_background->Active()) {
            m_background->Paint(m_hWnd);
            return 0;
        }
        break;
    }
    return Default(msg, wParam, lParam);
}

int CMainFrame::OnCreate() {
    m_run.Progress().splashActive = false;
    m_fileActionCount = 0;
    m_wizard = std::make_unique<CWizard>(m_run);
    // "/?" or a bad command line ends the run here; the frame stays hidden
    // until the quit message carries the exit code out.
    if (!TakeCommandLine(m_run)) return 0;

    DiscoverPackageFolders();

    std::string error;
    switch (PreparePackage(error)) {
    case PrepareResult::Ready:
        break;
    case PrepareResult::MissingFiles:
        TellFailure(kMissingFilesMessage);
        QuitStartup(kExitCannotStart);
        return 0;
    case PrepareResult::Damaged:
        // A package that cannot be read correctly must not run on: what the
        // decryption left behind is not a script.
        TellFailure(error);
        QuitStartup(kExitDamaged);
        return 0;
    case PrepareResult::Failed:
        // Nor one without a working folder of its own.
        TellFailure(error);
        QuitStartup(kExitCannotStart);
        return 0;
    }

    DiscoverShellFolders();
    LoadSettings();
    if (!ClaimProduct()) {
        TellFailure(m_run.Expand(kAlreadyRunningMessage));
        QuitStartup(kExitAlreadyRunning);
        return 0;
    }
    RollBackInterruptedRuns();
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
        RemoveAbandonedWorkFolders(m_run.Folders().temp);
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
            return PrepareResult::Damaged;
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
        // The script's name is claimed before it is written: a file already
        // there was put in by someone else, and would be read as ours.
        if (CreateNewFile(*script.path) == NewFolderResult::Taken) {
            error = PlantedFileMessage(*script.path);
            script.path->clear();  // not ours to delete
            return PrepareResult::Failed;
        }
        Status decrypted = m_cipher->DecryptFile(packed.c_str(), script.path->c_str());
        if (!decrypted) {
            ::DeleteFileA(script.path->c_str());
            error = decrypted.message();
            return PrepareResult::Damaged;
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

bool CMainFrame::ClaimProduct() {
    // A plan changes nothing: it neither waits for a run nor keeps one out.
    if (m_run.Requests().plan) return true;
    const std::string name = ProductLockName(m_run.Settings().productCode);
    if (name.empty()) return true;
    // Held until the frame goes at the end of the run, or by the system
    // until the process ends, whatever way it ends.
    m_productLock = ::CreateMutexA(nullptr, FALSE, name.c_str());
    const DWORD error = ::GetLastError();
    // Held by a run of another user whose lock this user may not open.
    if (m_productLock == nullptr) return error != ERROR_ACCESS_DENIED;
    return error != ERROR_ALREADY_EXISTS;
}

void CMainFrame::RollBackInterruptedRuns() {
    // A plan and a preview change nothing.
    if (m_run.Requests().plan || m_run.Modes().preview) return;
    CProductClaims claims(m_run.Settings().productCode);
    const auto claim = [&claims](const std::string& code) { return claims.Claim(code); };
    for (const InterruptedRun& run : kq::RollBackInterruptedRuns(claim)) {
        const std::string message = RolledBackMessage(run);
        RunJournal& journal = m_run.Journal();
        JsonObject entry = journal.Entry("rollback");
        entry.Add("productCode", run.productCode).Add("text", message).Add("left", uint64_t(run.left.size()));
        journal.Write(entry);
        if (SomeoneWatches()) ::MessageBoxA(nullptr, message.c_str(), kProductName, MB_OK | MB_ICONINFORMATION);
    }
}

void CMainFrame::ComputeSystemName() {
    m_run.SetSystemName(SystemName());
}

bool CMainFrame::RunLanguageStage() {
    // While the language page is open, start-up continues from it.
    m_languagePage = ChooseLanguage(m_run, *m_wizard, [this] { ContinueStartup(); });
    return m_languagePage != nullptr;
}

int CMainFrame::ContinueStartup() {
    ShowSplash();
    if (!CheckSystemRequirements()) return QuitStartup(kExitRequirements);
    if (!CheckEligibility()) return QuitStartup(kExitRequirements);
    EvaluateConditions();
    HandlePreviousInstallation();
    if (!LoadPageList()) return QuitStartup(kExitDamaged);
    LoadFileActions();
    if (!LoadSetupTypes()) return QuitStartup(kExitBadCommandLine);
    if (int ended = StartPageAndCabinet(); ended != kExitInstalled) return QuitStartup(ended);
    UnpackAheadWhenSilent();
    ShowBackground();
    StartBillboards();
    LoadVariables();
    CheckMergeModules();
    if (!m_run.Progress().splashActive) OpenFirstPage();
    if (m_run.Progress().splashActive && m_run.Modes().diskImage) WaitForSplash(AfterSplash::kOpenFirstPage);
    return 0;
}

int CMainFrame::QuitStartup(int exitCode) {
    m_run.Journal().End(exitCode, m_run.Requests().plan);
    ::PostQuitMessage(exitCode);
    return -1;
}

bool CMainFrame::SomeoneWatches() const {
    return m_run.Watching().SeesWindows();
}

void CMainFrame::TellFailure(const std::string& message) {
    m_run.Journal().Message(message);
    // Every failure told here ends the start-up; a splash, which keeps
    // itself on top, would hide the message.
    m_splash.reset();
    // Nobody is there to press OK: the exit code says it failed.
    if (SomeoneWatches()) ::MessageBoxA(nullptr, message.c_str(), kProductName, MB_OK | MB_ICONSTOP);
}

void CMainFrame::TellStartupError(const std::string& message) {
    m_run.Journal().Message(message);
    m_splash.reset();
    if (!SomeoneWatches()) return;
    CRunTimeTexts language(m_run.Paths());
    CQuestionDialog(language, [this](const std::string& t) { return m_run.Expand(t); })
        .Run(nullptr, kQuestionModeError, message);
}

void CMainFrame::ShowSplash() {
    if (!SomeoneWatches()) return;
    ProfileFile profile(m_run.Paths().setupScriptPath.c_str());
    m_splash = std::make_unique<CSplash>(m_run.Modes(), m_run.Progress(), m_hWnd);
    if (m_splash->Create(ReadSplashSettings(Script(profile)), m_run.Folders().source))
        m_run.Progress().splashActive = true;
    else
        m_splash.reset();
}
bool CMainFrame::CheckSystemRequirements() {
    ProfileFile script(m_run.Paths().setupScriptPath.c_str());
    Requirement failed = FirstFailedRequirement(ReadSystemRequirements(script), CMachineFacts());
    if (failed == Requirement::kNone) return true;
    CRunTimeTexts language(m_run.Paths());
    TellStartupError(RequirementMessage(failed, language, [this](const std::string& t) { return m_run.Expand(t); }));
    return false;
}
bool CMainFrame::CheckEligibility() {
    ProfileFile script(m_run.Paths().setupScriptPath.c_str());
    if (!LacksRequiredRights(Script(script), m_run.Folders().programFiles)) return true;
    TellStartupError(m_run.Expand(kAdminRightsMessage));
    return false;
}
void CMainFrame::EvaluateConditions() {
    m_run.Conditions().Load(ProfileFile(m_run.Paths().setupScriptPath.c_str()));
}
void CMainFrame::HandlePreviousInstallation() {
    ProfileFile script(m_run.Paths().setupScriptPath.c_str());
    const PreviousInstallDecision earlier = DecidePreviousInstallation(
        Script(script), &ReadRegistryString, [this](const std::string& text) { return m_run.Expand(text); });
    // The start-up goes on only once the earlier version is gone. A plan
    // changes nothing: it says what would run.
    if (earlier.removeEarlier && m_run.Requests().plan)
        m_run.Journal().Message("would remove the earlier installation: " + earlier.runner + " " + earlier.arguments);
    else if (earlier.removeEarlier) StartProgram(earlier.runner, earlier.arguments, true);
    if (!earlier.folder.empty()) m_run.SetInstallFolder(earlier.folder);
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
bool CMainFrame::LoadSetupTypes() {
    ProfileFile profile(m_run.Paths().setupScriptPath.c_str());
    m_run.Features() = LoadFeatureTable(Script(profile));
    // The type and features the command line or its answer file name are
    // known only now: a name the package lacks makes the line a bad one.
    const std::string problem = m_run.TakeRequestedAnswers(LoadFeatureTexts(Script(profile)));
    if (problem.empty()) return true;
    m_splash.reset();
    TellBadCommandLine(m_run, problem);
    return false;
}
int CMainFrame::StartPageAndCabinet() {
    m_wizard->RunEnteringActions("start.lcd");
    // A condition cancelled the setup: the failure page is up, nothing to extract.
    if (m_run.Signals().Aborted()) return kExitInstalled;
    if (m_run.Modes().diskImage) return kExitInstalled;

    CPage* startPage = m_wizard->OpenStartPage();
    // A hidden start page's bar is not fed.
    HWND bar = startPage != nullptr && m_run.Watching().SeesPages() ? startPage->ControlWindow("IDC_PROGRESS1")
                                                                    : nullptr;
    ProgressThrottle throttle;
    const CabinetFailure failure = ExtractSupportFiles(ProgressBarFeedback(bar, throttle));
    if (failure.result != kCabinetOk) {
        // The wizard must not open on a package whose files are not there.
        m_wizard->CloseCurrentPage();
        // Someone else's file in the working folder: the run has no folder
        // of its own to go on in; the package itself is fine.
        if (failure.cause == CabinetFailure::Cause::kPlanted) {
            TellFailure(PlantedFileMessage(m_run.Paths().workFolder + failure.entry));
            return kExitCannotStart;
        }
        TellFailure(CabinetFailureMessage(failure, CabinetPath(m_run.Folders().source.c_str())));
        return kExitDamaged;
    }
    if (m_wizard->CancelPending()) {
        m_wizard->CompletePendingCancel();
        return kExitInstalled;
    }
    if (m_run.Progress().splashActive) {
        m_run.Progress().startupWorkDone = true;
        WaitForSplash(AfterSplash::kCloseStartPage);
        return kExitInstalled;
    }
    m_wizard->CloseCurrentPage();
    return kExitInstalled;
}
CabinetFailure CMainFrame::ExtractSupportFiles(CabinetProgress progress) {
    CabinetFailure failure;
    failure.result = kCabinetNoDecoder;  // when no thread can be started
    CCabinetExtraction extraction;
    // The product's own files wait in the cabinet for the copy step, which
    // puts them straight where they belong: the first page does not wait for
    // the payload.
    const EntryFilter supportOnly = [](const std::string& name) { return !IsPackedEntryName(name); };
    const char* source = m_run.Folders().source.c_str();
    const char* work = m_run.Paths().workFolder.c_str();
    if (!m_run.Watching().SeesPages() && !m_run.Progress().splashActive) {
        // No page and no splash to keep painting: nothing waits on this
        // thread's messages, and a thread of its own costs memory.
        extraction.RunHere(source, work, std::move(progress), supportOnly);
    } else if (extraction.Start(source, work, std::move(progress), supportOnly)) {
        m_wizard->SetBusy(true);
        // The start page's keyboard works during the wait: Escape asks to cancel.
        PumpWait(extraction.Thread(), INFINITE, &CMainFrame::PreTranslate);
        m_wizard->SetBusy(false);
    } else {
        return failure;
    }
    failure = extraction.Failure();
    // Read once: the directory of a cabinet of many files costs calls and
    // memory for every entry.
    if (failure.result == kCabinetOk) {
        m_startupCabinet = std::make_unique<CCabinetReader>();
        m_startupCabinet->Share(extraction.Reader());
    }
    return failure;
}

void CMainFrame::UnpackAheadWhenSilent() {
    // A silent run goes from here straight to the copy step: the product's
    // files are unpacked while the rest of the start-up runs. A wizard's user
    // may take minutes over the pages; nothing is held for that long.
    const std::unique_ptr<CCabinetReader> opened = std::move(m_startupCabinet);
    const RunModes& modes = m_run.Modes();
    if (m_run.Watching().SeesPages() || modes.preview || modes.diskImage || m_run.Signals().Aborted()) return;
    const CCabinetReader none;
    m_wizard->UnpackAhead(CabinetPath(m_run.Folders().source.c_str()), opened != nullptr ? *opened : none);
}
void CMainFrame::ShowBackground() {
    ProfileFile profile(m_run.Paths().setupScriptPath.c_str());
    const BackgroundSettings settings =
        ReadBackgroundSettings(Script(profile), !m_run.Watching().SeesPages());
    if (!settings.active) return;
    m_background = std::make_unique<CBackground>();
    const std::string picture =
        settings.pictureName.empty() ? std::string() : m_run.Expand(m_run.Paths().workFolder + settings.pictureName);
    m_background->SetUp(m_hWnd, settings, picture);
}
void CMainFrame::StartBillboards() {
    if (!SomeoneWatches()) return;
    ProfileFile profile(m_run.Paths().setupScriptPath.c_str());
    const std::vector<Billboard> list = ReadBillboards(Script(profile));
    if (list.empty()) return;
    m_billboards = std::make_unique<CBillboards>();
    // The package folder is the current folder the show searches.
    if (!m_billboards->Start(list, m_run.Paths().workFolder, m_run.Folders().source)) m_billboards.reset();
}
void CMainFrame::LoadVariables() {
    ProfileFile profile(m_run.Paths().setupScriptPath.c_str());
    LoadRunVariables(m_run, Script(profile));
}

void CMainFrame::CheckMergeModules() {
    ProfileFile profile(m_run.Paths().setupScriptPath.c_str());
    if (Script(profile).Total("MERGEMODULES") != 0) m_run.Progress().mergeModulesPending = true;
    m_wizard->SetMergeModuleTimerWindow(m_hWnd);
}

void CMainFrame::OpenFirstPage() {
    m_wizard->Next();
}

void CMainFrame::WaitForSplash(AfterSplash then) {
    m_afterSplash = then;
    // Ended already: the message was not awaited then. It goes through the
    // queue, so the start-up finishes what it is doing first.
    if (m_run.Progress().splashFinished) ::PostMessageA(m_hWnd, kSplashEndedMessage, 0, 0);
}

void CMainFrame::OnSplashEnded() {
    const AfterSplash then = m_afterSplash;
    m_afterSplash = AfterSplash::kNothing;
    if (then == AfterSplash::kNothing) return;
    if (then == AfterSplash::kCloseStartPage) m_wizard->CloseCurrentPage();
    OpenFirstPage();
}

void CMainFrame::OnTimer(UINT_PTR id) {
    if (id != CWizard::kMergeModuleTimer) return;
    ::KillTimer(m_hWnd, id);
    m_wizard->RunMergeModules();
}

}  // namespace kq
