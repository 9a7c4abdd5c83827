// A wizard page: a modeless pop-up dialog drawn entirely from its layout
// file. Opening a page reads the file, applies the MAINWINDOW settings,
// creates every control (window ids in creation order, 3000 up), applies
// the control properties, and places the window by its startup value. The
// page then routes control clicks to its host by identifier name.
//
// Lifetime: a page is created by Open and deletes itself once its window is
// gone (Close, or the host destroying it); the host hears of it through
// OnPageClosed and must drop its pointer then.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "layout/control_catalogue.h"
#include "layout/layout_file.h"
#include "layout/picture_win.h"
#include "layout/property_effects.h"
#include "layout/skin_controls_win.h"
#include "win/dialog_win.h"
#include "win/gdi_win.h"

namespace kq {

class CPage;

// A click on a control, as the page passes it on.
struct PageCommand {
    int windowId = 0;
    int tableIndex = -1;
    int action = -1;               // click action: 1 Next, 2 Back, -1 none
    std::string identifierName;
    CommandTarget target;          // what the name means (CommandRoute::Wizard for most)
};

class PageHost {
public:
    virtual ~PageHost() = default;
    // Every control click except IDCANCEL. After a wizard command named
    // IDC_BACK, IDC_NEXT or IDCANCEL the page ends itself.
    virtual void OnPageCommand(CPage& page, const PageCommand& command) = 0;
    // The IDCANCEL control, the Escape key or the close box.
    virtual void OnPageCancel(CPage& page) = 0;
    virtual void OnPageTimer(CPage& page, UINT_PTR timerId) {}
    // WM_NOTIFY from a control (the feature tree); set *handled to answer.
    virtual LRESULT OnPageNotify(CPage& page, NMHDR* header, bool* handled) { return 0; }
    // The window is gone; the page object is deleted right after.
    virtual void OnPageClosed(CPage& page) {}
};

struct PageOptions {
    std::string themeFolder;  // ends in a backslash
    std::string fileName;     // layout file name, e.g. "welcome.lcd"
    int pageIndex = 0;        // position in the page list
    int pageCount = 0;
    HWND owner = nullptr;
    Expander expand;          // placeholder expansion; empty: texts as written
    PageHost* host = nullptr;
    // Nobody will see the page (a run without pages): its pictures are not
    // loaded, so their decoder and bitmaps stay out of the run's memory.
    bool hidden = false;
};

class CPage : public CDialog {
public:
    // Creates the page hidden and laid out; nullptr when the window cannot be
    // created. A missing layout file gives an empty page.
    static CPage* Open(const PageOptions& options);
    // The page of a window (the page itself or any of its controls); nullptr.
    static CPage* FromWindow(HWND hwnd);
    // For the message loop: Enter is swallowed, Escape asks to cancel, and
    // the rest of the dialog keyboard works. True when the message was used.
    static bool PreTranslate(MSG* msg);

    void ShowPage(bool show) const { ::ShowWindow(m_hWnd, show ? SW_SHOWNORMAL : SW_HIDE); }
    // Destroys the window; the object deletes itself.
    void Close();

    const std::string& FileName() const { return m_options.fileName; }
    const std::string& LayoutPath() const { return m_layout->path; }
    const PageLayout& Layout() const { return *m_layout; }
    int PageIndex() const { return m_options.pageIndex; }
    int PageCount() const { return m_options.pageCount; }
    HFONT PageFont() const { return m_pageFont; }

    // Controls by identifier name; every lookup of a missing name fails quietly.
    int FindControl(const char* identifierName) const;  // table index, -1
    int ControlId(const char* identifierName) const;    // window id, 0
    HWND ControlWindow(const char* identifierName) const;
    CSkinControl* Control(int tableIndex);
    CSkinControl* Control(const char* identifierName);
    CSkinProgress* Progress(const char* identifierName);
    CSkinTree* Tree(const char* identifierName);
    // The first control of a type in file order (e.g. the page's tree).
    int FirstOfType(ControlType type) const;

    bool SetText(const char* identifierName, const std::string& text);
    std::string GetText(const char* identifierName) const;
    bool Enable(const char* identifierName, bool enable);
    bool ShowControl(const char* identifierName, bool show);
    bool SetCheck(const char* identifierName, bool checked);
    bool IsChecked(const char* identifierName) const;

protected:
    bool OnInit() override;
    INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool* handled) override;
    void OnFinalMessage() override;

private:
    explicit CPage(const PageOptions& options);
    ~CPage() override;

    void ReadAndBuild();
    void ApplyMainWindow();
    void CreateControls();
    bool CreateControl(ControlEntry& entry);
    void ApplyProperties();
    void ApplyEffect(ControlEntry& entry, const PropertyEffect& effect);
    void Place();

    INT_PTR Dispatch(UINT msg, WPARAM wParam, LPARAM lParam, bool* handled);
    void OnControlCommand(int windowId);
    void RequestCancel();
    void PaintBackground(HDC dc);

    PageOptions m_options;
    std::unique_ptr<PageLayout> m_layout;
    ScopedBrush m_background;
    CPicture m_backPicture;
    ScopedFont m_ownPageFont;
    HFONT m_pageFont = nullptr;
    int m_dpi = 96;  // the screen's pixels per inch the page is laid out for

    // One fixed array of windows per type, indexed by the entry's type slot.
    CSkinPicture m_bitmaps[kMaxControlsPerType];
    CSkinPicture m_hovers[kMaxControlsPerType];
    CSkinButton m_buttons[kMaxControlsPerType];
    CSkinLabel m_texts[kMaxControlsPerType];
    CSkinLabel m_rects[kMaxControlsPerType];
    CSkinEdit m_textBoxes[kMaxControlsPerType];
    CSkinCombo m_combos[kMaxControlsPerType];
    CSkinOption m_radios[kMaxControlsPerType];
    CSkinLabel m_hotspots[kMaxControlsPerType];
    CSkinLabel m_animations[kMaxControlsPerType];
    CSkinProgress m_progressBars[kMaxControlsPerType];
    CSkinLabel m_listViews[kMaxControlsPerType];
    CSkinButton m_groupBoxes[kMaxControlsPerType];
    CSkinPicture m_icons[kMaxControlsPerType];
    CSkinTree m_trees[kMaxControlsPerType];
    CSkinFrame m_frames[kMaxControlsPerType];
    CSkinRichText m_richTexts[kMaxControlsPerType];
    CSkinOption m_checkBoxes[kMaxControlsPerType];

    // A host may close the page from inside one of its handlers; the object
    // then lives until the outermost handler has returned.
    int m_depth = 0;
    bool m_deletePending = false;
};

}  // namespace kq
