// CFolderBrowser: the platform's folder-selection dialog (SHBrowseForFolder)
// with an edit box of ours above its folder tree, in which the user may
// also type a folder. OK accepts a folder only after checking it: the syntax
// (folder_browser.h), then its existence, offering to create what is
// missing level by level. A refused folder keeps the dialog open.
#pragma once
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "base/no_copy.h"
#include "win/subclass_win.h"

namespace kq {

// Control ids of the system's dialog and of the edit box added to it.
constexpr int kBrowseTreeId = 14145;
constexpr int kBrowsePromptId = 14146;
constexpr int kBrowseStatusId = 14147;
constexpr int kBrowseEditId = 14148;

// Run's answers.
constexpr int kFolderChosen = 1;
constexpr int kFolderNotChosen = 255;

class CFolderBrowser : private NoCopy {
public:
    // `title` is the dialog's caption (empty: the system's), `prompt` the text
    // above the folder tree, `flags` the BIF_* browse flags, `initialFolder`
    // the folder selected at first (empty: the current directory).
    CFolderBrowser(const std::string& title, const std::string& prompt, UINT flags, const std::string& initialFolder,
                   HWND owner);

    // kFolderChosen when the user confirmed a folder (Result), else
    // kFolderNotChosen.
    int Run();
    // The accepted folder as typed or picked, without a trailing backslash
    // (a drive root keeps its own).
    const std::string& Result() const { return m_result; }

    // The OK check on its own: syntax, existence, creation with the user's
    // consent. Messages are owned by `owner`. True when the folder may be used.
    static bool AcceptFolder(HWND owner, const std::string& path);
    // Makes every missing level of a syntactically valid path, from the drive
    // root down. False when a level is still missing afterwards (a drive
    // root that does not exist counts as such).
    static bool CreateFolderLevels(const std::string& path);

private:
    // The dialog's window, subclassed to check OK and follow the edit box.
    class CDialogHook : public CSubclassedWindow {
    public:
        explicit CDialogHook(CFolderBrowser& owner) : m_browser(owner) {}

    protected:
        LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

    private:
        CFolderBrowser& m_browser;
    };

    static int CALLBACK Callback(HWND dialog, UINT msg, LPARAM lParam, LPARAM data);
    void OnInitialized(HWND dialog);
    void OnSelectionChanged(HWND dialog, LPCITEMIDLIST item);
    void OnEditChanged(HWND dialog);
    // True when OK may go on and close the dialog.
    bool OnOk(HWND dialog);
    std::string EditText(HWND dialog) const;

    std::string m_title;
    std::string m_prompt;
    UINT m_flags;
    std::string m_initialFolder;
    HWND m_owner;
    std::string m_result;
    bool m_ok = false;
    HWND m_edit = nullptr;
    CDialogHook m_hook;
};

}  // namespace kq
