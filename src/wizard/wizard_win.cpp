#include "wizard/wizard_win.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

#include "base/file.h"
#include "base/file_win.h"
#include "base/product.h"
#include "base/profile_file_win.h"
#include "cabinet/progress_throttle.h"
#include "checks/conditions.h"
#include "install/install_engine_win.h"
#include "install/install_journal.h"
#include "layout/dialogs_win.h"
#include "win/directories_win.h"
#include "wizard/languages_win.h"
#include "wizard/standard_pages_win.h"
#include "wizard/wizard_flow.h"

namespace kq {
namespace {

constexpr char kProgressPage[] = "progress.lcd";
constexpr char kCompletePage[] = "complete.lcd";
constexpr char kStartPage[] = "start.lcd";
// Silent mode and the language page open pages outside the list with this count.
constexpr int kOutsideListCount = 50;
constexpr UINT_PTR kInstallTimer = 1;
constexpr UINT kInstallDelayMs = 300;

constexpr char kRestartQuestion[] =
    "You must restart your system for the configuration changes made to <ProductName> to take effect. Click Yes "
    "to restart now or No if you plan to restart later.";
constexpr char kRolledBackNote[] =
    "\r\nEverything this installation had changed was undone: your computer is as it was before.";
constexpr char kRestartFailed[] = "Can't restart! Please restart manually your computer!";

// The progress page as the install worker sees it. Every call is a message
// sent to a control of the user-interface thread, which carries it out while
// it pumps messages waiting for the worker.
class CProgressReporter : public InstallReporter {
public:
    explicit CProgressReporter(CPage& page)
        : m_info(page.ControlWindow("IDC_INFO")),
          m_detail(page.ControlWindow("IDC_INSTALLINFO")),
          m_bar(page.ControlWindow("IDC_PROGRESS1")),
          m_downloadBar(page.ControlWindow("IDC_DOWNLOADPROGRESS")),
          m_cancel(page.ControlWindow("IDCANCEL")) {}

    void SetStatus(const std::string& text, int line) override {
        HWND label = line == 0 ? m_info : m_detail;
        if (label == nullptr) return;
        ::SendMessageA(label, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        ::InvalidateRect(label, nullptr, TRUE);
    }
    void SetProgressRange(int32_t total) override {
        if (m_bar == nullptr) return;
        int upper = total < 0 ? 0 : (total > 0xFFFF ? 0xFFFF : total);
        ::SendMessageA(m_bar, PBM_SETRANGE, 0, MAKELPARAM(0, upper));
        RECT client = {};
        ::GetClientRect(m_bar, &client);
        m_throttle.Reset(upper, client.right - client.left);
    }
    void SetProgressPosition(int32_t position) override {
        if (m_bar != nullptr && m_throttle.ShouldSend(position))
            ::SendMessageA(m_bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    }

    void DownloadStarted() override {
        if (m_downloadBar == nullptr) return;
        ::SendMessageA(m_downloadBar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        ::ShowWindow(m_downloadBar, SW_SHOW);
    }
    void DownloadProgress(const std::string& report) override {
        DownloadReport parsed = ParseDownloadReport(report);
        if (m_downloadBar != nullptr) ::SendMessageA(m_downloadBar, PBM_SETPOS, static_cast<WPARAM>(parsed.percent), 0);
        SetStatus(DownloadStatusLine(parsed), 0);
    }
    void DownloadFinished() override {
        if (m_downloadBar == nullptr) return;
        ::ShowWindow(m_downloadBar, SW_HIDE);
        ::SendMessageA(m_downloadBar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        ::SendMessageA(m_downloadBar, PBM_SETPOS, 0, 0);
    }
    void CopyStepOver() override {
        // Nothing is left that a cancel could stop: offering it would only
        // end on a page saying the product was not installed when it was.
        if (m_cancel != nullptr) ::EnableWindow(m_cancel, FALSE);
    }

private:
    HWND m_info;
    HWND m_detail;
    HWND m_bar;
    HWND m_downloadBar;
    HWND m_cancel;
    ProgressThrottle m_throttle;
};

// What a condition that holds asks the wizard for.
class CConditionActions : public ConditionActions {
public:
    CConditionActions(CWizard& wizard, SetupRun& run) : m_wizard(wizard), m_run(run) {}
    void CancelInstall() override { m_wizard.CancelFromCondition(); }
    void ShowMessage(const std::string& text) override {
        m_run.Journal().Message(text);
        // Nobody is there to read it: the log keeps the message.
        if (!m_run.Watching().SeesWindows()) return;
        CPage* page = m_wizard.CurrentPage();
        CMessageDialog().Run(page != nullptr ? page->Handle() : nullptr, text);
    }

private:
    CWizard& m_wizard;
    SetupRun& m_run;
};

bool EnableShutdownPrivilege() {
    HANDLE token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return true;  // the 9x family has no tokens and needs no privilege
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    bool ok = ::LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid) &&
              ::AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    ::CloseHandle(token);
    return ok;
}

}  // namespace

CWizard::CWizard(SetupRun& run) : m_run(run), m_standardPages(std::make_unique<CStandardPages>(run)) {}

CWizard::~CWizard() {
    if (m_current != nullptr) m_current->Close();
}

std::string CWizard::LoadPages() {
    ProfileFile profile(m_run.Paths().setupScriptPath.c_str());
    m_pages = LoadPageList(Script(profile));
    m_index = -1;
    return PageListProblem(m_pages);
}

CPage* CWizard::OpenPage(const std::string& fileName, int index, int count, bool show) {
    PageOptions options;
    options.themeFolder = m_run.Paths().themeFolder;
    options.fileName = fileName;
    options.pageIndex = index;
    options.pageCount = count;
    options.owner = nullptr;
    options.expand = [this](const std::string& text) { return m_run.Expand(text); };
    options.host = this;
    options.hidden = !show;

    CPage* previous = m_current;
    m_current = CPage::Open(options);
    // The page that issued the step may still be inside its own handler; it
    // goes once that has returned.
    if (previous != nullptr) previous->Close();
    if (m_current == nullptr) return nullptr;
    SetUpPage(*m_current);
    m_current->ShowPage(show);
    if (show) ::SetForegroundWindow(m_current->Handle());
    if (show) m_run.Journal().Page(fileName);
    return m_current;
}

void CWizard::CloseCurrentPage() {
    if (m_current == nullptr) return;
    CPage* page = m_current;
    m_current = nullptr;
    page->Close();
}

CPage* CWizard::OpenStartPage() {
    return OpenPage(kStartPage, -1, kOutsideListCount, m_run.Watching().SeesPages());
}

void CWizard::SetUpPage(CPage& page) {
    // The standard pages first, then progress and completion, then the
    // restore step of the pages that show stored choices.
    m_standardPages->OnOpen(page);
    if (page.FileName() == kProgressPage) SetUpProgressPage(page);
    else if (page.FileName() == kCompletePage) SetUpCompletePage(page);
    m_standardPages->Restore(page, m_run.Answers().setupType);
}

void CWizard::RunEnteringActions(const std::string& fileName) {
    RunFileActions(fileName);
    CConditionActions actions(*this, m_run);
    m_run.Conditions().Fire(fileName, ConditionContext{[this](const std::string& t) { return m_run.Expand(t); },
                                                      &actions});
}

void CWizard::CancelFromCondition() {
    m_run.Signals().SetFailure(RunFailure::kCancelled);
    // At Finish, or once stopped, the run is ending anyway: the abort only
    // keeps the restart offer away (and a silent run's final page, which
    // finishes by itself, from starting over).
    if (m_finishing || m_stopped) {
        m_run.Signals().Abort();
        return;
    }
    Stop();
}

void CWizard::Next() {
    if (m_stopped || m_run.Signals().Aborted()) return;
    m_index = NextPageIndex(m_pages, m_index, m_run.Answers().setupType);
    RunEnteringActions(m_index < 0 ? kStartPage : m_pages.FileAt(m_index));

    RunModes& modes = m_run.Modes();
    switch (DecideNextStep(m_run.Signals().Aborted(), modes.silent, m_index, m_pages.Count())) {
    case NextStep::kNone:
        return;
    case NextStep::kSilentProgress:
        modes.silent = SilentAfterNext(modes.silent);
        OpenPage(kProgressPage, -1, kOutsideListCount, false);
        return;
    case NextStep::kFinish:
        // Next on the last list page: there is nowhere to go but the end.
        Finish();
        return;
    case NextStep::kListPage:
        OpenPage(m_pages.FileAt(m_index), m_index, m_pages.Count(), true);
        return;
    }
}

void CWizard::Back() {
    m_index = BackPageIndex(m_pages, m_index, m_run.Answers().setupType);
    RunFileActions(m_pages.FileAt(m_index));
    OpenPage(m_pages.FileAt(m_index), m_index, m_pages.Count(), true);
}

void CWizard::Stop() {
    m_stopped = true;
    m_run.Signals().Abort();
    CloseCurrentPage();
    FinalPageStep();
}

void CWizard::FinalPageStep() {
    // Only the page opens: complete.lcd's conditions and file actions belong
    // to Next entering it, never to the failure ending.
    ++m_index;
    // A silent script's user sees how the run ended; with nobody there to
    // press Finish, the run finishes by itself.
    const bool shown = m_run.Watching().SeesWindows();
    OpenPage(kCompletePage, m_pages.Count(), m_pages.Count(), shown);
    if (!shown) Finish();
}

void CWizard::OnPageCommand(CPage& page, const PageCommand& command) {
    // The pages' own choices; the customer page also stores its fields here
    // before any wizard command.
    if (m_standardPages->OnCommand(page, command, m_run.Answers().setupType)) return;
    switch (command.target.route) {
    case CommandRoute::Launch:
        if (command.target.choice == 0) {
            m_launchFile = !m_launchFile;
            page.SetCheck("IDC_LAUNCHFILE", m_launchFile);
        } else {
            m_launchReadme = !m_launchReadme;
            page.SetCheck("IDC_LAUNCHREADME", m_launchReadme);
        }
        return;
    case CommandRoute::Wizard:
        break;
    default:
        return;  // the standard pages' own choices
    }

    switch (ClassifyWizardCommand(command.identifierName, command.action, m_stopped)) {
    case WizardAction::Finish:
        Finish();
        break;
    case WizardAction::Back:
        Back();
        break;
    case WizardAction::Next:
        if (m_run.Signals().Aborted()) FinalPageStep();
        else Next();
        break;
    case WizardAction::None:
        break;
    }
}

void CWizard::OnPageCancel(CPage& page) {
    // Escape on a page whose Cancel button is disabled (the last page) has
    // nothing to cancel.
    HWND cancel = page.ControlWindow("IDCANCEL");
    if (cancel != nullptr && !::IsWindowEnabled(cancel)) return;
    if (m_stopped || m_cancelPending || m_run.Signals().Committed()) return;
    Cancel(page);
}

void CWizard::Cancel(CPage& page) {
    if (!AskQuestion(page.Handle(), kQuestionModeCancel, std::string())) return;
    // The copy step may have ended while the question was open: the
    // installation then runs to its end and the answer changes nothing.
    if (!m_run.Signals().RequestCancel()) return;
    page.Enable("IDCANCEL", false);
    m_run.Signals().Abort();
    if (DecideCancel(m_busy) == CancelStep::kDefer) {
        m_cancelPending = true;
        return;
    }
    RemoveWorkFolder();
    FinalPageStep();
}

void CWizard::CompletePendingCancel() {
    if (!m_cancelPending) return;
    m_cancelPending = false;
    RemoveWorkFolder();
    FinalPageStep();
}

void CWizard::RemoveWorkFolder() {
    DeleteFolderTree(m_run.Expand("<TempFolder>\\" + m_run.Paths().workFolderName), m_run.Folders().temp);
}

void CWizard::SetUpProgressPage(CPage& page) {
    page.Enable("IDC_NEXT", false);
    page.Enable("IDC_BACK", false);
    page.SetText("IDC_INFO", "Starting copying files...");
    page.SetText("IDC_INSTALLINFO", "");
    ::InvalidateRect(page.Handle(), nullptr, TRUE);
    // The delay lets a watching user see the page before the work starts.
    // A hidden page has nobody watching: its start is posted at once, and
    // the timer stays behind it for a start that has to wait.
    const bool watched = m_run.Watching().SeesPages();
    ::SetTimer(page.Handle(), kInstallTimer, watched ? kInstallDelayMs : USER_TIMER_MINIMUM, nullptr);
    if (!watched) ::PostMessageA(page.Handle(), WM_TIMER, kInstallTimer, 0);
}

void CWizard::OnPageTimer(CPage& page, UINT_PTR timerId) {
    if (timerId != kInstallTimer || page.FileName() != kProgressPage) return;
    // The timer also fires inside the cancel question's own message loop;
    // starting the installation there would run all of it before the answer
    // could count. Wait for the answer instead.
    if (m_questionOpen) return;
    ::KillTimer(page.Handle(), timerId);
    RunInstallation(page);
    ContinueAfterInstallation();
}

void CWizard::UnpackAhead(const std::string& cabinetPath, const CCabinetReader& opened) {
    auto unpacker = std::make_unique<CCabinetUnpacker>();
    const RunSignals& signals = m_run.Signals();
    auto stop = [&signals] { return signals.CancelRequested(); };
    // The copy step opens the cabinet again, and tells why, when this fails.
    const int result = opened.IsOpen() ? unpacker->Open(opened, stop) : unpacker->Open(cabinetPath.c_str(), stop);
    if (result == kCabinetOk) m_unpackedAhead = std::move(unpacker);
}

void CWizard::RecordAnswers() {
    const std::vector<std::string>& pages = m_pages.files;
    auto listed = [&pages](const char* file) { return std::find(pages.begin(), pages.end(), file) != pages.end(); };
    const bool pagesShown = m_run.Watching().SeesPages();
    // A run without pages takes the customer data of its answer file as the
    // customer page would have written it.
    const RecordedAnswers& loaded = m_run.Requests().answers;
    if (!pagesShown && !m_run.Requests().plan && listed(kCustomerPage) &&
        !(loaded.userName.empty() && loaded.companyName.empty()))
        WriteCustomerData(m_run);
    const std::string& path = m_run.Requests().saveAnswers;
    if (path.empty()) return;
    ProfileFile profile(m_run.Paths().setupScriptPath.c_str());
    const RecordedAnswers answers =
        m_run.CurrentAnswers(LoadFeatureTexts(Script(profile)), pagesShown && listed(kLicensePage));
    if (!WriteWholeFile(path, WriteAnswers(answers)))
        m_run.Journal().Message("the answer file \"" + path + "\" cannot be written");
}

void CWizard::RunInstallation(CPage& progressPage) {
    RecordAnswers();
    CProgressReporter page(progressPage);
    // A hidden page: per-file texts and bar positions sent to it would only
    // cost time.
    JournalReporter reporter(m_run.Journal(), m_run.Watching().SeesPages() ? &page : nullptr);
    CInstallEngine engine(m_run.MakeInstallSnapshot(), reporter);
    engine.TakeUnpacker(std::move(m_unpackedAhead));
    m_busy = true;
    // The page's keyboard works during the wait: Escape asks to cancel.
    engine.Start(&CPage::PreTranslate, m_run.Watching().SeesPages());
    m_busy = false;
    m_run.Progress().installed = !m_run.Signals().Aborted();
}

void CWizard::ContinueAfterInstallation() {
    const AfterInstallStep step =
        DecideAfterInstall(m_cancelPending, m_run.Signals().Aborted(), m_run.Modes().silent);
    if (StartMergeModules(step)) return;
    switch (step) {
    case AfterInstallStep::kCompleteCancel:
        CompletePendingCancel();
        return;
    case AfterInstallStep::kFinalPage:
        FinalPageStep();
        return;
    case AfterInstallStep::kFinish:
        Finish();
        return;
    case AfterInstallStep::kNext:
        Next();
        return;
    }
}

void CWizard::SetUpCompletePage(CPage& page) {
    page.ShowControl("IDC_LAUNCHREADME", false);
    page.ShowControl("IDC_LAUNCHFILE", false);
    if (m_run.Signals().Aborted()) {
        std::string status = m_run.Expand(BracketsToAngles(LanguageText("SetupCompleteError", "3")));
        // The run undid its changes: say that the machine is as it was.
        if (m_run.Signals().RolledBack()) status += kRolledBackNote;
        page.SetText("IDC_INSTALLSTATUS", status);
        return;
    }
    const ProductSettings& settings = m_run.Settings();
    if (settings.launchOffer != 0 && page.FindControl("IDC_LAUNCHFILE") >= 0) {
        page.ShowControl("IDC_LAUNCHFILE", true);
        page.SetCheck("IDC_LAUNCHFILE", true);
        m_launchFile = true;
    }
    if (settings.readmeOffer != 0 && page.FindControl("IDC_LAUNCHREADME") >= 0) {
        page.ShowControl("IDC_LAUNCHREADME", true);
        page.SetCheck("IDC_LAUNCHREADME", true);
        m_launchReadme = true;
    }
}

bool CWizard::AskQuestion(HWND owner, int mode, const std::string& message) {
    // The language file is read afresh each time: its texts are not cached.
    CRunTimeTexts language(m_run.Paths());
    CQuestionDialog dialog(language, [this](const std::string& t) { return m_run.Expand(t); });
    m_questionOpen = true;
    bool confirmed = dialog.Run(owner, mode, message) == IDOK;
    m_questionOpen = false;
    // The cancel question's text is the language pack's; the log names it.
    m_run.Journal().Question(message.empty() ? std::string("cancel the installation?") : message,
                             confirmed ? "Yes" : "No");
    return confirmed;
}

std::string CWizard::LanguageText(const char* section, const char* key) const {
    return CRunTimeTexts(m_run.Paths()).Read(section, key, kProfileValueSize);
}

void CWizard::Finish() {
    m_finishing = true;
    RunEnteringActions(kFinishTrigger);
    LaunchChoices();
    // Next past the last page also ends here, with nothing installed when
    // the list never reached the progress page: no restart is due then.
    const bool installed = m_run.Progress().installed;
    const bool aborted = m_run.Signals().Aborted();
    const bool plan = m_run.Requests().plan;
    bool restartPending = false;
    switch (DecideRestart(installed, aborted, m_run.Settings().restart != 0, m_run.Watching(), plan)) {
    case RestartStep::kNone:
        break;
    case RestartStep::kAsk:
        restartPending = !OfferRestart();
        break;
    case RestartStep::kReport:
        // Nobody is there to answer: whoever started the run decides.
        restartPending = true;
        break;
    }
    const int outcome =
        RunExitCode(installed, m_run.Signals().CancelRequested(), aborted, m_run.Signals().Failure(), restartPending);
    const int exitCode = ReportedExitCode(outcome, m_run.Requests());
    m_run.Journal().End(outcome, plan, exitCode);
    ::PostQuitMessage(exitCode);
}

void CWizard::LaunchChoices() {
    // Expanded now: the user may have chosen another folder than the default.
    const LaunchTargets targets = m_run.ExpandLaunchTargets();
    if (m_launchFile && FileExists(targets.program)) {
        std::string folder = targets.program.substr(0, targets.program.find_last_of('\\') + 1);
        if (!folder.empty()) ::SetCurrentDirectoryA(folder.c_str());
        ::ShellExecuteA(nullptr, "open", targets.program.c_str(), targets.arguments.c_str(), nullptr, SW_SHOWNORMAL);
    }
    if (m_launchReadme && FileExists(targets.readme))
        ::ShellExecuteA(nullptr, "open", targets.readme.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

bool CWizard::OfferRestart() {
    HWND owner = m_current != nullptr ? m_current->Handle() : nullptr;
    if (!AskQuestion(owner, kQuestionModeRestart, m_run.Expand(kRestartQuestion))) return false;
    if (!EnableShutdownPrivilege() || !::ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0)) {
        ::MessageBoxA(owner, kRestartFailed, kProductName, MB_OK);
        return false;
    }
    return true;
}

LRESULT CWizard::OnPageNotify(CPage& page, NMHDR* header, bool* handled) {
    return m_standardPages->OnNotify(page, header, handled);
}

void CWizard::OnPageClosed(CPage& page) {
    m_standardPages->OnPageClosed(page);
    if (&page == m_current) m_current = nullptr;
}

}  // namespace kq
