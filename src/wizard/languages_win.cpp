#include "wizard/languages_win.h"

#include <windows.h>

#include "base/file_win.h"
#include "base/profile_file_win.h"
#include "run/script.h"
#include "wizard/languages.h"
#include "win/system_library_win.h"

namespace kq {
namespace {

constexpr char kLanguagePage[] = "askuser.lcd";
// The language page opens outside the page list, like the start page.
constexpr int kOutsideListCount = 50;

}  // namespace

uint32_t SystemLanguageId() {
    auto uiLanguage = SystemProc<LANGID(WINAPI*)()>("kernel32.dll", "GetSystemDefaultUILanguage");
    return uiLanguage != nullptr ? uiLanguage() : 0;
}

void ApplyLanguagePack(SetupRun& run, const std::string& packPath) {
    const ProfileFile pack(packPath.c_str());
    run.Paths().languagePack = packPath;
    for (const char* fileName : kStandardLayoutFiles) {
        const std::string path = run.Paths().themeFolder + fileName;
        // The profile writer would create a missing file; only existing pages change.
        if (!FileExists(path)) continue;
        const ProfileFile layout(path.c_str());
        for (const CaptionWrite& write : LayoutTranslationWrites(fileName, layout, pack))
            ::WritePrivateProfileStringA("DADOS", write.key.c_str(), write.value.c_str(), path.c_str());
    }
}

std::vector<std::string> FindPackFiles(const std::string& sourceFolder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((sourceFolder + "languages\\*.lan").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.push_back(found.cFileName);
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return names;
}

std::unique_ptr<CLanguagePage> ChooseLanguage(SetupRun& run, PageHost& wizard, std::function<void()> chosen) {
    ProfileFile profile(run.Paths().setupScriptPath.c_str());
    LanguageFacts facts;
    facts.method = Script(profile).Value("APPINFO", "METHOD");
    facts.requested = run.Requests().language;
    facts.systemLanguage = SystemLanguageId();
    facts.pagesShown = run.Watching().SeesPages();
    const std::string source = run.Folders().source;
    facts.packExists = [&source](const std::string& name) { return FileExists(PackPath(source, name)); };
    const LanguageDecision decision = DecideLanguage(facts);
    switch (decision.step) {
    case LanguageStep::kNothing:
        break;
    case LanguageStep::kApply:
        ApplyLanguagePack(run, PackPath(source, decision.packName));
        break;
    case LanguageStep::kAskUser: {
        auto page = std::make_unique<CLanguagePage>(run, wizard, std::move(chosen));
        // Without its page the run goes on in the author's language.
        if (page->Open()) return page;
        break;
    }
    }
    return nullptr;
}

CLanguagePage::CLanguagePage(SetupRun& run, PageHost& wizard, std::function<void()> chosen)
    : m_run(run), m_wizard(wizard), m_chosen(std::move(chosen)) {}

CLanguagePage::~CLanguagePage() {
    if (m_page != nullptr) m_page->Close();
}

bool CLanguagePage::Open() {
    PageOptions options;
    options.themeFolder = m_run.Paths().themeFolder;
    options.fileName = kLanguagePage;
    options.pageIndex = -1;
    options.pageCount = kOutsideListCount;
    options.expand = [this](const std::string& text) { return m_run.Expand(text); };
    options.host = this;
    m_page = CPage::Open(options);
    if (m_page == nullptr) return false;
    // A theme without the page (or without its OK button) would leave the
    // user before a window that cannot go on: start in the author's language.
    if (m_page->FindControl("IDC_SETLANGUAGE") < 0) {
        CPage* page = m_page;
        m_page = nullptr;
        page->Close();
        return false;
    }

    const std::vector<std::string> names = PackNamesFromFiles(FindPackFiles(m_run.Folders().source));
    HWND list = m_page->ControlWindow("IDC_LANGUAGE");
    if (list != nullptr) {
        for (const std::string& name : names)
            ::SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        const int selected = PreselectedPack(names, m_run.Settings().languageName);
        if (selected >= 0) ::SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    }
    m_page->ShowPage(true);
    ::SetForegroundWindow(m_page->Handle());
    m_run.Journal().Page(kLanguagePage);
    return true;
}

void CLanguagePage::OnPageCommand(CPage& page, const PageCommand& command) {
    if (command.identifierName != "IDC_SETLANGUAGE") return;
    const std::string name = page.GetText("IDC_LANGUAGE");
    m_page = nullptr;
    page.Close();
    // Only a pack of the list is applied; with nothing chosen the pages keep
    // the author's own texts.
    if (IsPackName(name) && FileExists(PackPath(m_run.Folders().source, name)))
        ApplyLanguagePack(m_run, PackPath(m_run.Folders().source, name));
    if (m_chosen) m_chosen();
}

void CLanguagePage::OnPageCancel(CPage& page) {
    // A confirmed cancel has opened the failure page in this one's place.
    m_wizard.OnPageCancel(page);
    if (!m_run.Signals().Aborted()) return;
    m_page = nullptr;
    page.Close();
}

void CLanguagePage::OnPageClosed(CPage& page) {
    if (&page == m_page) m_page = nullptr;
}

}  // namespace kq
