#include "app/main_frame_win.h"

#include <windows.h>
#include <commctrl.h>

#include "app/folders_win.h"
#include "app/profile_file_win.h"
#include "app/resource_ids.h"
#include "app/run_flags.h"
#include "checks/system_name_win.h"
#include "crypt/file_crypt.h"
#include "engine/cabinet_win.h"
#include "layout/page_win.h"
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

bool FileExists(const std::string& path) {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

CMainFrame::CMainFrame() = default;
CMainFrame::~CMainFrame() {
    // The decrypted scripts never outlive the run, whichever way it ended
    // (a preview keeps its extracted files, but not these).
    if (!m_setupScriptPath.empty()) ::DeleteFileA(m_setupScriptPath.c_str());
    if (!m_dataScriptPath.empty()) ::DeleteFileA(m_dataScriptPath.c_str());
    if (!m_workFolder.empty()) ::RemoveDirectoryA(m_workFolder.c_str());  // only when nothing else is left
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
    if (!frame->Create(kFrameClass, "Merrowin", WS_OVERLAPPEDWINDOW, 0, CW_USEDEFAULT, CW_USEDEFAULT,
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
    m_splashActive = 0;
    m_fileActionCount = 0;
    m_wizard = std::make_unique<CWizard>(*this);

    DiscoverPackageFolders();

    std::string error;
    switch (PreparePackage(error)) {
    case PrepareResult::Ready:
        break;
    case PrepareResult::MissingFiles:
        ::MessageBoxA(nullptr, kMissingFilesMessage, kAppCaption, MB_OK);
        ::PostQuitMessage(0);
        return -1;
    case PrepareResult::DecryptFailed:
        // A package that cannot be read correctly must not run on: what the
        // decryption left behind is not a script.
        ::MessageBoxA(nullptr, error.c_str(), kAppCaption, MB_OK | MB_ICONSTOP);
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
    DiscoverBaseFolders(m_folders);
    m_languageFile = m_folders.source + "language.lan";
    m_themeFolder = m_folders.source + "theme\\";
    PrepareThemeFolder(m_folders.source, m_themeFolder);
    m_workFolderName = WorkFolderNameNow();
}

CMainFrame::PrepareResult CMainFrame::PreparePackage(std::string& error) {
    std::string path = m_folders.temp + m_workFolderName;
    ::CreateDirectoryA(path.c_str(), nullptr);  // an existing folder is reused
    m_workFolder = path + "\\";

    if (!m_cipher) {
        m_cipher = std::make_unique<CFileCrypt>();
        Status keyed = KeyForPackage(*m_cipher);
        if (!keyed) {
            error = keyed.message();
            return PrepareResult::DecryptFailed;
        }
    }

    struct Script { const char* packed; const char* plain; std::string* path; };
    const Script scripts[] = {
        {"setup.nsx", "setup.inf", &m_setupScriptPath},
        {"data.nsx", "data.inf", &m_dataScriptPath},
    };
    for (const Script& script : scripts) {
        *script.path = m_workFolder + script.plain;
        std::string packed = m_folders.source + script.packed;
        if (!FileExists(packed)) return PrepareResult::MissingFiles;
        Status decrypted = m_cipher->DecryptFile(packed.c_str(), script.path->c_str());
        if (!decrypted) {
            ::DeleteFileA(script.path->c_str());
            error = decrypted.message();
            return PrepareResult::DecryptFailed;
        }
    }
    return PrepareResult::Ready;
}

void CMainFrame::DiscoverShellFolders() {
    // The shell folders depend on the all-users choice, which the product
    // settings hold; read it here because the settings themselves expand
    // placeholders that need these folders.
    ProfileFile script(m_setupScriptPath.c_str());
    bool allUsers = ReadAllUsersFlag(Script(script));
    DiscoverUserFolders(allUsers, m_folders);
    Flags().diskImage = HasDiskImage(m_folders.source) ? kFlagSet : kFlagClear;
}

void CMainFrame::LoadSettings() {
    ProfileFile profile(m_setupScriptPath.c_str());
    Script script(profile);
    LoadProductSettings(script, ReadCompanyName(), [this](const std::string& text) { return Expand(text); },
                        m_settings);
    Flags().preview = m_settings.preview ? kFlagSet : Flags().preview.load();
    if (m_settings.silent) Flags().silent = kFlagSet;
}

std::string CMainFrame::Expand(const std::string& text) const {
    PlaceholderValues values = MakePlaceholderValues(m_folders, m_settings);
    return ExpandFrame(text, values);
}

void CMainFrame::ComputeSystemName() {
    m_osName = SystemName();
}

bool CMainFrame::RunLanguageStage() {
    // Language packs come with the languages subsystem; no page is opened yet.
    return false;
}

int CMainFrame::ContinueStartup() {
    ShowSplash();
    if (!CheckSystemRequirements()) return QuitStartup();
    if (!CheckEligibility()) return QuitStartup();
    EvaluateConditions();
    HandlePreviousInstallation();
    LoadPageList();
    LoadFileActions();
    LoadSetupTypes();
    StartPageAndCabinet();
    ShowBackground();
    StartBillboards();
    LoadVariables();
    CheckMergeModules();
    if (m_splashActive == 0) OpenFirstPage();
    if (m_splashActive == kFlagSet && Flags().diskImage == kFlagSet)
        ::SetTimer(m_hWnd, kTimerSplashDiskImage, 1000, nullptr);
    return 0;
}

int CMainFrame::QuitStartup() {
    ::PostQuitMessage(0);
    return -1;
}

void CMainFrame::ShowSplash() {}
bool CMainFrame::CheckSystemRequirements() { return true; }
bool CMainFrame::CheckEligibility() { return true; }
void CMainFrame::EvaluateConditions() {}
void CMainFrame::HandlePreviousInstallation() {}
void CMainFrame::LoadPageList() {
    m_wizard->LoadPages();
}
void CMainFrame::LoadFileActions() {}
void CMainFrame::LoadSetupTypes() {
    ProfileFile profile(m_setupScriptPath.c_str());
    m_features = LoadFeatureTable(Script(profile));
}
void CMainFrame::StartPageAndCabinet() {
    if (Flags().diskImage == kFlagSet) return;

    CPage* startPage = m_wizard->OpenStartPage();
    HWND bar = startPage != nullptr ? startPage->ControlWindow("IDC_PROGRESS1") : nullptr;
    ProgressThrottle throttle;
    CabinetProgress progress = ProgressBarFeedback(bar, throttle);

    int result = kCabinetNoDecoder;
    {
        CCabinetExtraction extraction;
        if (extraction.Start(m_folders.source.c_str(), m_workFolder.c_str(), progress)) {
            m_wizard->SetBusy(true);
            PumpWait(extraction.Thread());
            m_wizard->SetBusy(false);
            result = extraction.Result();
        }
    }
    if (result != kCabinetOk) {
        ::PostQuitMessage(result);
        return;
    }
    if (m_wizard->CancelPending()) {
        m_wizard->CompletePendingCancel();
        return;
    }
    if (m_splashActive == kFlagSet) {
        Flags().startupWorkDone = kFlagSet;
        ::SetTimer(m_hWnd, kTimerSplashAfterCabinet, 1000, nullptr);
        return;
    }
    m_wizard->CloseCurrentPage();
}
void CMainFrame::ShowBackground() {}
void CMainFrame::StartBillboards() {}
void CMainFrame::LoadVariables() {}

void CMainFrame::CheckMergeModules() {
    ProfileFile profile(m_setupScriptPath.c_str());
    if (Script(profile).Total("MERGEMODULES") != 0) Flags().mergeModulesPending = kFlagSet;
}

void CMainFrame::OpenFirstPage() {
    m_wizard->Next();
}

InstallSnapshot CMainFrame::MakeInstallSnapshot() const {
    InstallSnapshot snapshot;
    snapshot.folders = m_folders;
    snapshot.settings = m_settings;
    snapshot.workFolderName = m_workFolderName;
    snapshot.setupScriptPath = m_setupScriptPath;
    snapshot.dataScriptPath = m_dataScriptPath;
    // A copy: the choices are frozen when the installation starts.
    snapshot.featureDeselected = [features = m_features](const std::string& name) {
        return features.IsDeselected(name);
    };
    return snapshot;
}

void CMainFrame::OnTimer(UINT_PTR id) {
    switch (id) {
    case kTimerSplashAfterCabinet:
        if (Flags().splashFinished == kFlagSet) {
            ::KillTimer(m_hWnd, id);
            m_wizard->CloseCurrentPage();
            OpenFirstPage();
        }
        break;
    case kTimerSplashDiskImage:
        if (Flags().splashFinished == kFlagSet) {
            ::KillTimer(m_hWnd, id);
            OpenFirstPage();
        }
        break;
    case kTimerMergeModules:
        ::KillTimer(m_hWnd, id);
        break;
    }
}

}  // namespace kq
