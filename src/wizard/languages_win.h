// The language stage's effects: the system language, rewriting the theme's
// layout files from a pack, the language page "askuser.lcd" and the run-time
// texts. The decisions are in wizard/languages.h.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/profile_file_win.h"
#include "layout/page_win.h"
#include "run/setup_run.h"

namespace kq {

// GetSystemDefaultUILanguage, looked up at run time (Windows 98 and NT 4 do
// not have it); 0 when it is missing.
uint32_t SystemLanguageId();

// Rewrites the captions of the standard layout files of the run's theme
// folder from the pack at `packPath`, in place (a layout file that is not
// there is skipped), and puts the pack's run-time texts over the package's.
void ApplyLanguagePack(SetupRun& run, const std::string& packPath);

// The texts of the cancel question, the error dialog, the failure status and
// the requirement messages: the applied pack's where it has them, else the
// package's "language.lan". Read afresh each time (nothing is cached).
class CRunTimeTexts : public ProfileReader {
public:
    explicit CRunTimeTexts(const RunPaths& paths)
        : m_pack(paths.languagePack.c_str()), m_file(paths.languageFile.c_str()),
          m_texts(paths.languagePack.empty() ? nullptr : &m_pack, m_file) {}

    std::string Read(const char* section, const char* key, size_t bufferSize) const override {
        return m_texts.Read(section, key, bufferSize);
    }

private:
    ProfileFile m_pack;
    ProfileFile m_file;
    FallbackProfileReader m_texts;
};

// The file names the folder search returns for "<source>languages\*.lan".
std::vector<std::string> FindPackFiles(const std::string& sourceFolder);

// The language page: a list of the packs found, preselecting the script's
// Language; its OK button applies the chosen pack and calls `chosen`, which
// continues the start-up. Cancel and Escape go to `wizard`, which asks the
// cancel question as on every page; once it is confirmed the page goes.
class CLanguagePage : public PageHost {
public:
    CLanguagePage(SetupRun& run, PageHost& wizard, std::function<void()> chosen);
    ~CLanguagePage() override;

    // Opens the page, shown; false when the window cannot be created or the
    // theme's page has no IDC_SETLANGUAGE to go on with.
    bool Open();

    void OnPageCommand(CPage& page, const PageCommand& command) override;
    void OnPageCancel(CPage& page) override;
    void OnPageClosed(CPage& page) override;

private:
    SetupRun& m_run;
    PageHost& m_wizard;
    std::function<void()> m_chosen;
    CPage* m_page = nullptr;
};

// The language stage of start-up: applies the pack that the command line's
// "/LANG=" or Auto-Detect names, or opens the language page for "Ask User".
// Returns the open page (start-up then waits; the page calls `chosen` once the
// user has chosen), or nullptr when start-up goes straight on.
std::unique_ptr<CLanguagePage> ChooseLanguage(SetupRun& run, PageHost& wizard, std::function<void()> chosen);

}  // namespace kq
