#include "wizard/standard_pages_win.h"

#include <richedit.h>
#include <shlobj.h>

#include <cstring>

#include "base/profile_file_win.h"
#include "layout/folder_browser.h"
#include "layout/folder_browser_win.h"
#include "run/folders.h"
#include "run/script.h"
#include "win/registry_win.h"
#include "wizard/feature_tree_win.h"

namespace kq {
namespace {

constexpr char kBrowserTitle[] = "Calvarr Merrowin";
constexpr char kBrowserPrompt[] = "Choose destination directory...";
constexpr UINT kBrowserFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
// The ready page's summary box: right-aligned, no parent notifications.
constexpr LONG_PTR kSettingsExStyle = WS_EX_RIGHT | WS_EX_NOPARENTNOTIFY;

// The whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string* data) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    data->clear();
    char buffer[16384];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ::ReadFile(file, buffer, sizeof(buffer), &got, nullptr) != FALSE) && got > 0)
        data->append(buffer, got);
    ::CloseHandle(file);
    return ok;
}

bool IsRichEdit(HWND control) {
    char name[64] = "";
    ::GetClassNameA(control, name, sizeof(name));
    return _strnicmp(name, "RichEdit", 8) == 0;
}

// Makes room for `length` characters: a rich edit box keeps 32K characters
// unless told otherwise, which would cut a long license short without a word.
void MakeRoom(HWND control, size_t length) {
    if (IsRichEdit(control)) {
        ::SendMessageA(control, EM_EXLIMITTEXT, 0, static_cast<LPARAM>(length + 1));
    } else {
        ::SendMessageA(control, EM_LIMITTEXT, 0, 0);
    }
}

struct StreamSource {
    const std::string* data;
    size_t offset;
};

DWORD CALLBACK ReadStream(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* done) {
    auto* source = reinterpret_cast<StreamSource*>(cookie);
    size_t left = source->data->size() - source->offset;
    size_t n = size < 0 ? 0 : static_cast<size_t>(size);
    if (n > left) n = left;
    std::memcpy(buffer, source->data->data() + source->offset, n);
    source->offset += n;
    *done = static_cast<LONG>(n);
    return 0;
}

// Streams `data` into a rich edit box as rich text (SF_RTF) or as plain
// text (SF_TEXT): set as a window text, a plain file that happens to begin
// with "{\rtf" would be taken for rich text.
void StreamInto(HWND control, const std::string& data, WPARAM format) {
    StreamSource source = {&data, 0};
    EDITSTREAM stream = {};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
    stream.pfnCallback = &ReadStream;
    ::SendMessageA(control, EM_STREAMIN, format, reinterpret_cast<LPARAM>(&stream));
    // The reader starts at the top of the text.
    ::SendMessageA(control, EM_SETSEL, 0, 0);
    ::SendMessageA(control, EM_SCROLLCARET, 0, 0);
}

void RepaintControl(CPage& page, const char* name) {
    HWND control = page.ControlWindow(name);
    if (control != nullptr) ::InvalidateRect(control, nullptr, TRUE);
}

}  // namespace

CStandardPages::CStandardPages(SetupRun& run) : m_run(run) {}

CStandardPages::~CStandardPages() = default;

void CStandardPages::OnOpen(CPage& page) {
    const std::string& name = page.FileName();
    if (name == kLicensePage) {
        OpenLicense(page);
    } else if (name == kReadmePage) {
        LoadText(page, "CT2", "CT3");
    } else if (name == kCustomerPage) {
        OpenCustomer(page);
    } else if (name == kDestinationPage) {
        page.SetText("IDC_INSTALLDIR", m_run.Settings().installDir);
    } else if (name == kCustomSetupPage) {
        OpenCustomSetup(page);
    }
}

void CStandardPages::Restore(CPage& page, SetupType& setupType) {
    const std::string& name = page.FileName();
    if (name == kCustomerPage) RestoreCustomer(page);
    else if (name == kSetupTypePage) RestoreSetupType(page, setupType);
    else if (name == kReadyPage) RestoreReady(page, setupType);
}

// --- license and readme ----------------------------------------------------

void CStandardPages::OpenLicense(CPage& page) {
    LoadText(page, "CT0", "CT1");
    // Every visit starts declined: an acceptance is never carried over,
    // unless an answer file ("/LOADINF=") gives it.
    SelectLicense(page, m_run.Requests().answers.licenseAccepted);
}

void CStandardPages::LoadText(CPage& page, const char* fileKey, const char* controlKey) {
    ProfileFile profile(m_run.Paths().setupScriptPath.c_str());
    PackedFiles packed;
    packed.workFolder = m_run.Paths().workFolder;
    packed.sourceFolder = m_run.Folders().source;
    packed.diskImage = m_run.Modes().diskImage;
    const PageTextFile file = LocatePageText(Script(profile), fileKey, controlKey, packed);
    if (file.path.empty()) return;
    HWND control = page.ControlWindow(file.control.c_str());
    if (control == nullptr) return;
    std::string data;
    if (!ReadWholeFile(file.path, &data)) return;  // the control keeps what the layout gave it
    MakeRoom(control, data.size());
    if (file.richText) {
        StreamInto(control, data, SF_RTF);
    } else if (IsRichEdit(control)) {
        StreamInto(control, data, SF_TEXT);
    } else {
        ::SetWindowTextA(control, data.c_str());
    }
}

void CStandardPages::SelectLicense(CPage& page, bool accepted) {
    page.SetCheck("IDC_ACCEPTLICENSE", accepted);
    page.SetCheck("IDC_NOTACCEPTLICENSE", !accepted);
    page.Enable("IDC_NEXT", accepted);
}

// --- customer --------------------------------------------------------------

void CStandardPages::OpenCustomer(CPage& page) {
    SelectInstallFor(page, 0);
    // Posted: the page is not shown yet, and the dialog manager moves the
    // focus when it is.
    HWND name = page.ControlWindow("IDC_USERNAME");
    if (name != nullptr) ::PostMessageA(page.Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(name), TRUE);
}

void CStandardPages::RestoreCustomer(CPage& page) {
    page.SetText("IDC_USERNAME", m_run.Folders().userName);
    page.SetText("IDC_ORGANIZATION", m_run.Settings().companyName);
    SelectInstallFor(page, m_run.Answers().installFor);
}

void CStandardPages::SelectInstallFor(CPage& page, int choice) {
    page.SetCheck("IDC_ANYONE", choice == 0);
    page.SetCheck("IDC_ONLYFORME", choice != 0);
}

void CStandardPages::StoreCustomerFields(CPage& page) {
    if (page.FindControl("IDC_USERNAME") >= 0) m_run.SetUserName(page.GetText("IDC_USERNAME"));
    if (page.FindControl("IDC_ORGANIZATION") >= 0) m_run.SetCompanyName(page.GetText("IDC_ORGANIZATION"));
    WriteCustomerData(m_run);
}

void WriteCustomerData(const SetupRun& run) {
    const ProductSettings& settings = run.Settings();
    if (settings.customerKey.empty()) return;
    const RegistryKeyPath key = CustomerDataKey(settings.customerRoot, run.Expand(settings.customerKey));
    HKEY root = RootKeyHandle(key.root);
    if (root == nullptr) return;
    // Failures are not the user's concern here: the installation goes on.
    reg::CreateKey(root, key.subKey.c_str());
    reg::WriteString(root, key.subKey.c_str(), kCustomerNameValue, run.Folders().userName.c_str());
    reg::WriteString(root, key.subKey.c_str(), kCustomerCompanyValue, settings.companyName.c_str());
}

// --- setup type and ready --------------------------------------------------

void CStandardPages::RestoreSetupType(CPage& page, SetupType& setupType) {
    setupType = RestoredSetupType(setupType);
    SelectSetupType(page, setupType);
}

void CStandardPages::SelectSetupType(CPage& page, SetupType type) {
    for (SetupType option : {SetupType::Typical, SetupType::Minimal, SetupType::Custom})
        page.SetCheck(SetupTypeOption(option), option == type);
}

void CStandardPages::RestoreReady(CPage& page, SetupType setupType) {
    const std::string summary = ReadySummary(setupType, m_run.Settings().installDir, m_run.Folders().userName,
                                             m_run.Settings().companyName);
    page.SetText("IDC_SETTINGS", summary);
    HWND settings = page.ControlWindow("IDC_SETTINGS");
    if (settings == nullptr) return;
    ::SetWindowLongPtrA(settings, GWL_EXSTYLE, ::GetWindowLongPtrA(settings, GWL_EXSTYLE) | kSettingsExStyle);
    ::SetWindowPos(settings, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

// --- destination and custom setup ------------------------------------------

void CStandardPages::Browse(CPage& page) {
    CFolderBrowser browser(kBrowserTitle, kBrowserPrompt, kBrowserFlags, std::string(), page.Handle());
    if (browser.Run() != kFolderChosen) return;
    const std::string folder = WithTrailingBackslash(browser.Result());
    m_run.SetInstallFolder(folder);
    page.SetText("IDC_INSTALLDIR", folder);
    ::InvalidateRect(page.Handle(), nullptr, TRUE);
}

void CStandardPages::OpenCustomSetup(CPage& page) {
    page.SetText("IDC_INSTALLDIR", m_run.Settings().installDir);
    page.SetText("IDC_FEATUREINFO", "");

    m_tree.reset();
    m_treePage = nullptr;
    CSkinControl* tree = page.Control(page.FirstOfType(ControlType::TreeView));
    if (tree == nullptr || tree->Handle() == nullptr) return;

    const std::string scriptPath = m_run.Paths().setupScriptPath;
    auto lookup = [scriptPath](const std::string& text) {
        ProfileFile profile(scriptPath.c_str());
        return FeatureDescriptions(Script(profile), text);
    };
    CPage* owner = &page;
    auto show = [this, owner](const std::string& description) { ShowFeatureInfo(*owner, description); };
    m_tree = std::make_shared<CFeatureTree>(tree->Handle(), m_run.Features(), lookup, show);
    m_treePage = &page;

    ProfileFile profile(scriptPath.c_str());
    m_tree->Fill(LoadFeatureTexts(Script(profile)));
}

void CStandardPages::ShowFeatureInfo(CPage& page, const std::string& text) {
    page.SetText("IDC_FEATUREINFO", text);
    RepaintControl(page, "IDC_FEATUREINFO");
}

// --- commands --------------------------------------------------------------

bool CStandardPages::OnCommand(CPage& page, const PageCommand& command, SetupType& setupType) {
    if (page.FileName() == kCustomerPage && ReadsCustomerFieldsFirst(command.target.route)) StoreCustomerFields(page);

    switch (command.target.route) {
    case CommandRoute::License:
        SelectLicense(page, command.target.choice == 1);
        return true;
    case CommandRoute::InstallFor:
        m_run.Answers().installFor = command.target.choice == 1 ? 1 : 0;
        SelectInstallFor(page, m_run.Answers().installFor);
        return true;
    case CommandRoute::SetupType:
        setupType = SetupTypeFromChoice(command.target.choice);
        SelectSetupType(page, setupType);
        return true;
    case CommandRoute::Browse:
        Browse(page);
        return true;
    case CommandRoute::Wizard:
    case CommandRoute::Cancel:
    case CommandRoute::Launch:
        break;
    }
    return false;
}

LRESULT CStandardPages::OnNotify(CPage& page, NMHDR* header, bool* handled) {
    if (m_tree == nullptr || &page != m_treePage) return 0;
    // The feature menu runs a message loop of its own, in which the page may
    // be closed (and the tree let go); the tree stays alive until it returns.
    std::shared_ptr<CFeatureTree> tree = m_tree;
    LRESULT result = 0;
    *handled = tree->OnNotify(header, &result);
    return result;
}

void CStandardPages::OnPageClosed(CPage& page) {
    if (&page != m_treePage) return;
    m_tree.reset();
    m_treePage = nullptr;
}

}  // namespace kq
