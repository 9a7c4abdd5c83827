// CMainFrame: the hidden top-level window that owns every value of the run
// and drives the fixed start-up sequence from window creation to the first
// wizard page.
#pragma once
#include <memory>
#include <string>

#include "app/folders.h"
#include "app/settings.h"
#include "engine/install_engine_win.h"
#include "win/window_win.h"
#include "wizard/features.h"

class CFileCrypt;

namespace kq {

class CWizard;

// Caption of the program's own message boxes.
constexpr const char kAppCaption[] = "Merrowin";

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

    // Run values other subsystems read.
    const FolderValues& Folders() const { return m_folders; }
    const ProductSettings& Settings() const { return m_settings; }
    const std::string& SetupScriptPath() const { return m_setupScriptPath; }
    const std::string& DataScriptPath() const { return m_dataScriptPath; }
    const std::string& WorkFolder() const { return m_workFolder; }
    const std::string& WorkFolderName() const { return m_workFolderName; }
    const std::string& ThemeFolder() const { return m_themeFolder; }
    const std::string& OsName() const { return m_osName; }
    const std::string& LanguageFile() const { return m_languageFile; }
    std::string Expand(const std::string& text) const;
    // The values the install worker reads, frozen now.
    InstallSnapshot MakeInstallSnapshot() const;

    // The standard pages' answers. Placeholders see them from now on: the
    // customer page's name and company, the folder chosen on the
    // destination page (ending in a backslash).
    void SetUserName(const std::string& name) { m_folders.userName = name; }
    void SetCompanyName(const std::string& name) { m_settings.companyName = name; }
    void SetInstallFolder(const std::string& folder) { m_settings.installDir = folder; }
    // The feature table; the custom-setup page's tree changes it.
    FeatureTable& Features() { return m_features; }

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage() override { delete this; }

private:
    enum class PrepareResult { Ready, MissingFiles, Failed };

    CMainFrame();
    ~CMainFrame() override;

    int OnCreate();
    void OnTimer(UINT_PTR id);

    // First stage.
    void DiscoverPackageFolders();
    PrepareResult PreparePackage(std::string& error);
    void DiscoverShellFolders();
    void LoadSettings();
    void ComputeSystemName();
    bool RunLanguageStage();

    // Second stage, in order. A false return ends the start-up.
    void ShowSplash();
    bool CheckSystemRequirements();
    bool CheckEligibility();
    void EvaluateConditions();
    void HandlePreviousInstallation();
    void LoadPageList();
    void LoadFileActions();
    void LoadSetupTypes();
    void StartPageAndCabinet();
    void ShowBackground();
    void StartBillboards();
    void LoadVariables();
    void CheckMergeModules();
    void OpenFirstPage();

    int QuitStartup();

    FolderValues m_folders;
    ProductSettings m_settings;
    std::string m_languageFile;
    std::string m_themeFolder;
    std::string m_workFolderName;
    std::string m_workFolder;
    std::string m_setupScriptPath;
    std::string m_dataScriptPath;
    std::string m_osName;
    FeatureTable m_features;

    int m_splashActive = 0;
    int m_fileActionCount = 0;

    std::unique_ptr<CFileCrypt> m_cipher;
    // Page list, current page and the wizard's choices.
    std::unique_ptr<CWizard> m_wizard;
};

}  // namespace kq
