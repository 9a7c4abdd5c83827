#include "layout/page_win.h"

#include <commctrl.h>

#include "base/profile_file_win.h"
#include "base/text.h"
#include "layout/layout_values.h"
#include "win/gdi_win.h"
#include "win/system_library_win.h"

namespace kq {

namespace {

// The empty template every page starts from: a pop-up with a title bar and a
// system menu, 186 by 90 dialog units, MS Sans Serif 8.
constexpr DWORD kPageTemplateStyle = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;

void LoadControlLibraries() {
    static bool loaded = false;
    if (loaded) return;
    loaded = true;
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS | ICC_TREEVIEW_CLASSES | ICC_STANDARD_CLASSES};
    static const auto init = SystemProc<decltype(&::InitCommonControlsEx)>("comctl32.dll", "InitCommonControlsEx");
    if (init != nullptr) init(&icc);
}

// The RICHTEXT control is the rich-edit 1.0 window class. Its library is
// loaded when a page first has one: a silent run's hidden pages need none.
void LoadRichTextLibrary() {
    static bool loaded = false;
    if (loaded) return;
    loaded = true;
    LoadSystemLibrary("riched32.dll");
}

const char* WindowClassOf(ControlClass cls) {
    switch (cls) {
    case ControlClass::Button:
    case ControlClass::Option: return "BUTTON";
    case ControlClass::Edit: return "EDIT";
    case ControlClass::Combo: return "COMBOBOX";
    case ControlClass::Progress: return PROGRESS_CLASSA;
    case ControlClass::Tree: return WC_TREEVIEWA;
    case ControlClass::RichText: return "RICHEDIT";
    case ControlClass::Picture:
    case ControlClass::Label:
    case ControlClass::Frame: return "STATIC";
    }
    return "STATIC";
}

int CaptionHeight() {
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = sizeof metrics;
    if (::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return metrics.iCaptionHeight;
    return ::GetSystemMetrics(SM_CYCAPTION);
}

// Style changes of a created window need a frame change to show.
void SetStyle(HWND hwnd, int which, LONG_PTR style) {
    ::SetWindowLongPtrA(hwnd, which, style);
    ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

}  // namespace

CPage::CPage(const PageOptions& options) : m_options(options), m_layout(std::make_unique<PageLayout>()) {}

CPage::~CPage() = default;

CPage* CPage::Open(const PageOptions& options) {
    LoadControlLibraries();
    CPage* page = new CPage(options);
    DialogTemplate dialogTemplate(kPageTemplateStyle, 186, 90, L"Dialog", 8, L"MS Sans Serif");
    if (!page->CreateIndirect(dialogTemplate.Get(), options.owner)) {
        delete page;
        return nullptr;
    }
    return page;
}

CPage* CPage::FromWindow(HWND hwnd) {
    if (hwnd == nullptr) return nullptr;
    HWND root = ::GetAncestor(hwnd, GA_ROOT);
    return dynamic_cast<CPage*>(CDialog::FromHandle(root != nullptr ? root : hwnd));
}

bool CPage::PreTranslate(MSG* msg) {
    CPage* page = FromWindow(msg->hwnd);
    if (page == nullptr || page->m_hWnd == nullptr) return false;
    if (msg->message == WM_KEYDOWN || msg->message == WM_KEYUP || msg->message == WM_CHAR) {
        if (msg->wParam == VK_RETURN) return true;
        if (msg->wParam == VK_ESCAPE) {
            if (msg->message == WM_KEYDOWN) page->RequestCancel();
            return true;
        }
    }
    return ::IsDialogMessageA(page->m_hWnd, msg) != FALSE;
}

void CPage::Close() {
    if (m_hWnd != nullptr) ::DestroyWindow(m_hWnd);
}

bool CPage::OnInit() {
    ReadAndBuild();
    return true;
}

// Reading a layout, in order: settings of the window, the controls (created
// last record first), their properties, the placement, a full repaint.
void CPage::ReadAndBuild() {
    const std::string path = m_options.themeFolder + m_options.fileName;
    ProfileFile file(path.c_str());
    ReadLayout(file, path, m_layout.get());
    // Texts follow the screen's pixels per inch; their boxes must too.
    m_dpi = ScreenPixelsPerInch();
    ControlTable& table = m_layout->controls;
    for (int i = 0; i < table.Count(); ++i) table.At(i).rect = ScaleRect(table.At(i).rect, m_dpi);
    ApplyMainWindow();
    CreateControls();
    ApplyProperties();
    Place();
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CPage::ApplyMainWindow() {
    const MainWindowSettings& m = m_layout->main;
    const Colour face = ButtonFaceColour();

    const std::string caption = m_options.expand ? m_options.expand(m.caption) : m.caption;
    ::SetWindowTextA(m_hWnd, caption.c_str());
    m_background.Reset(::CreateSolidBrush(ColourFromValue(m.bkColor, face)));

    LONG_PTR style = ::GetWindowLongPtrA(m_hWnd, GWL_STYLE);
    style = static_cast<LONG_PTR>(PageStyleAfterSettings(static_cast<uint32_t>(style), m));
    // Every setting also puts the page in the task bar.
    LONG_PTR exStyle = ::GetWindowLongPtrA(m_hWnd, GWL_EXSTYLE) | WS_EX_APPWINDOW;
    ::SetWindowLongPtrA(m_hWnd, GWL_EXSTYLE, exStyle);
    SetStyle(m_hWnd, GWL_STYLE, style);

    // The picture is named as written: relative to the current directory.
    if (!m_options.hidden && !m.bkImage.empty() && FileExists(m.bkImage.c_str())) m_backPicture.Load(m.bkImage.c_str());

    // A layout that names no page font keeps the template's font rather than
    // getting a nameless bold italic one.
    if (m.fontName.empty() && m.fontSize.empty()) {
        m_pageFont = reinterpret_cast<HFONT>(Send(WM_GETFONT));
    } else {
        FontSpec spec;
        spec.face = m.fontName;
        spec.points = LeadingNumber(m.fontSize);
        spec.bold = FontFlagOn(m.fontBold);
        spec.italic = FontFlagOn(m.fontItalic);
        m_ownPageFont.Reset(CreateSkinFont(spec));
        m_pageFont = m_ownPageFont.Get();
    }
}

void CPage::CreateControls() {
    ControlTable& table = m_layout->controls;
    // The table is in file order; creation ran from the last record, whose
    // control holds the first window id. Creating the windows in that order
    // keeps the tab order the window ids give.
    for (int i = table.Count() - 1; i >= 0; --i) CreateControl(table.At(i));
}

bool CPage::CreateControl(ControlEntry& entry) {
    const ControlTypeInfo& info = InfoOf(entry.type);
    CSkinControl* control = Control(m_layout->controls.IndexOfId(entry.windowId));
    if (control == nullptr) return false;

    DWORD style = info.style;
    DWORD exStyle = 0;
    // Pictures and panels are backdrops: they must not paint over the
    // controls an author put on top of them (the labels of a banner).
    if (info.cls == ControlClass::Picture || entry.type == ControlType::Rect) style |= WS_CLIPSIBLINGS;
    if (entry.type == ControlType::TreeView) {
        style |= TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS;
        exStyle = WS_EX_CLIENTEDGE;
    }
    const char* text = entry.defaultText.empty() ? "" : entry.defaultText.c_str();
    if (info.cls == ControlClass::RichText) LoadRichTextLibrary();
    if (!control->CreateControl(WindowClassOf(info.cls), text, style, exStyle, entry.rect, m_hWnd, entry.windowId)) {
        return false;
    }

    if (TakesPageFont(entry.type)) control->Send(WM_SETFONT, reinterpret_cast<WPARAM>(m_pageFont), FALSE);
    switch (entry.type) {
    case ControlType::Radio:
        // Created owner-drawn, then made an ordinary radio button; the page
        // logic checks options itself.
        control->Send(BM_SETSTYLE, BS_RADIOBUTTON, FALSE);
        break;
    case ControlType::Text:
    case ControlType::Hotspot:
    case ControlType::Animation:
    case ControlType::Rect:
    case ControlType::ListView: {
        auto* label = static_cast<CSkinLabel*>(control);
        label->SetPageFont(m_pageFont);
        if (entry.type == ControlType::Animation) label->SetAlignment(Alignment::Centre);
        if (entry.type == ControlType::Rect || entry.type == ControlType::ListView) {
            label->SetBackColour("255,255,255");
        }
        break;
    }
    case ControlType::ComboBox: {
        // The rectangle sets the drop-down height; the entry records what
        // shows on the page: the selection field and its frame.
        LRESULT field = control->Send(CB_GETITEMHEIGHT, static_cast<WPARAM>(-1));
        if (field != CB_ERR) entry.rect.bottom = entry.rect.top + static_cast<int>(field) + 9;
        break;
    }
    case ControlType::TreeView:
        static_cast<CSkinTree*>(control)->SetFeatureImages();
        break;
    case ControlType::Bitmap:
    case ControlType::Hover:
        // A record that names no picture leaves the control empty.
        if (!m_options.hidden && !entry.imageFile.empty())
            static_cast<CSkinPicture*>(control)->LoadPicture(entry.imageFile.c_str());
        break;
    default:
        break;
    }
    return true;
}

void CPage::ApplyProperties() {
    PageContext context;
    context.pageIndex = m_options.pageIndex;
    context.pageCount = m_options.pageCount;
    context.expand = m_options.expand;
    ControlTable& table = m_layout->controls;
    for (int i = 0; i < table.Count(); ++i) {
        ControlEntry& entry = table.At(i);
        for (const PropertyEffect& effect : ArrangeProperties(entry, context)) ApplyEffect(entry, effect);
    }
}

void CPage::ApplyEffect(ControlEntry& entry, const PropertyEffect& effect) {
    CSkinControl* control = Control(m_layout->controls.IndexOfId(entry.windowId));
    if (control == nullptr || control->Handle() == nullptr) return;
    HWND hwnd = control->Handle();
    const ControlClass cls = InfoOf(entry.type).cls;
    auto* label = cls == ControlClass::Label ? static_cast<CSkinLabel*>(control) : nullptr;
    auto* picture = cls == ControlClass::Picture ? static_cast<CSkinPicture*>(control) : nullptr;

    switch (effect.effect) {
    case Effect::SetText:
        ::SetWindowTextA(hwnd, effect.text.c_str());
        break;
    case Effect::SetAlignment:
        if (label != nullptr) label->SetAlignment(effect.alignment);
        break;
    case Effect::SetTextColour:
        control->SetTextColour(effect.text);
        break;
    case Effect::SetBackColour:
        control->SetBackColour(effect.text);
        break;
    case Effect::SetFont:
        control->SetSkinFont(effect.font);
        break;
    case Effect::SetLink:
        if (label != nullptr) label->SetLink(effect.flag);
        break;
    case Effect::SetThinBorder: {
        LONG_PTR style = ::GetWindowLongPtrA(hwnd, GWL_STYLE);
        SetStyle(hwnd, GWL_STYLE, effect.flag ? (style | WS_BORDER) : (style & ~static_cast<LONG_PTR>(WS_BORDER)));
        break;
    }
    case Effect::SetBuiltinIcon:
        if (picture != nullptr) picture->SetBuiltinIcon(effect.number);
        break;
    case Effect::LoadIconFile:
        if (picture != nullptr && !m_options.hidden) picture->LoadPicture(effect.text.c_str());
        break;
    case Effect::MakeDefaultButton:
        control->Send(BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
        SetStyle(hwnd, GWL_STYLE, ::GetWindowLongPtrA(hwnd, GWL_STYLE));
        break;
    case Effect::Disable:
        ::EnableWindow(hwnd, FALSE);
        break;
    case Effect::Hide:
        ::ShowWindow(hwnd, SW_HIDE);
        break;
    case Effect::SetRightAlignedExStyle:
        SetStyle(hwnd, GWL_EXSTYLE, ::GetWindowLongPtrA(hwnd, GWL_EXSTYLE) | WS_EX_RIGHT | WS_EX_NOPARENTNOTIFY);
        break;
    }
}

void CPage::Place() {
    const MainWindowSettings& m = m_layout->main;
    int width = LeadingNumber(m.width);
    int height = CorrectedWindowHeight(LeadingNumber(m.height), CaptionHeight());
    if (width < 0) width = 0;
    if (height < 0) height = 0;
    if (width > kMaxCoordinate) width = kMaxCoordinate;
    if (height > kMaxCoordinate) height = kMaxCoordinate;
    // The layout's size is the window's at 96 pixels per inch; what lies
    // inside the frame grows with the screen.
    RECT window = {}, client = {};
    ::GetWindowRect(m_hWnd, &window);
    ::GetClientRect(m_hWnd, &client);
    width = ScaleWindowExtent(width, (window.right - window.left) - client.right, m_dpi);
    height = ScaleWindowExtent(height, (window.bottom - window.top) - client.bottom, m_dpi);
    int x = 0, y = 0;
    if (!StartupPosition(ParseStartup(m.startup), ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN),
                         width, height, &x, &y)) {
        return;
    }
    ::SetWindowPos(m_hWnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

// --- control access --------------------------------------------------------

CSkinControl* CPage::Control(int tableIndex) {
    if (tableIndex < 0 || tableIndex >= m_layout->controls.Count()) return nullptr;
    const ControlEntry& e = m_layout->controls.At(tableIndex);
    const int slot = e.typeSlot;
    if (slot < 0 || slot >= kMaxControlsPerType) return nullptr;
    switch (e.type) {
    case ControlType::Bitmap: return &m_bitmaps[slot];
    case ControlType::Hover: return &m_hovers[slot];
    case ControlType::Button: return &m_buttons[slot];
    case ControlType::Text: return &m_texts[slot];
    case ControlType::Rect: return &m_rects[slot];
    case ControlType::TextBox: return &m_textBoxes[slot];
    case ControlType::ComboBox: return &m_combos[slot];
    case ControlType::Radio: return &m_radios[slot];
    case ControlType::Hotspot: return &m_hotspots[slot];
    case ControlType::Animation: return &m_animations[slot];
    case ControlType::Progress: return &m_progressBars[slot];
    case ControlType::ListView: return &m_listViews[slot];
    case ControlType::GroupBox: return &m_groupBoxes[slot];
    case ControlType::Icon: return &m_icons[slot];
    case ControlType::TreeView: return &m_trees[slot];
    case ControlType::Frame: return &m_frames[slot];
    case ControlType::RichText: return &m_richTexts[slot];
    case ControlType::CheckBox: return &m_checkBoxes[slot];
    }
    return nullptr;
}

int CPage::FindControl(const char* name) const {
    return name != nullptr ? m_layout->controls.IndexOfName(name) : -1;
}

int CPage::ControlId(const char* name) const {
    int index = FindControl(name);
    return index >= 0 ? m_layout->controls.At(index).windowId : 0;
}

HWND CPage::ControlWindow(const char* name) const {
    int id = ControlId(name);
    return id != 0 && m_hWnd != nullptr ? ::GetDlgItem(m_hWnd, id) : nullptr;
}

CSkinControl* CPage::Control(const char* name) { return Control(FindControl(name)); }

CSkinProgress* CPage::Progress(const char* name) {
    int index = FindControl(name);
    if (index < 0 || m_layout->controls.At(index).type != ControlType::Progress) return nullptr;
    return static_cast<CSkinProgress*>(Control(index));
}

CSkinTree* CPage::Tree(const char* name) {
    int index = FindControl(name);
    if (index < 0 || m_layout->controls.At(index).type != ControlType::TreeView) return nullptr;
    return static_cast<CSkinTree*>(Control(index));
}

int CPage::FirstOfType(ControlType type) const {
    for (int i = 0; i < m_layout->controls.Count(); ++i) {
        if (m_layout->controls.At(i).type == type) return i;
    }
    return -1;
}

bool CPage::SetText(const char* name, const std::string& text) {
    HWND hwnd = ControlWindow(name);
    return hwnd != nullptr && ::SetWindowTextA(hwnd, text.c_str());
}

std::string CPage::GetText(const char* name) const {
    HWND hwnd = ControlWindow(name);
    if (hwnd == nullptr) return std::string();
    int length = ::GetWindowTextLengthA(hwnd);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    length = ::GetWindowTextA(hwnd, &text[0], length + 1);
    text.resize(static_cast<size_t>(length < 0 ? 0 : length));
    return text;
}

bool CPage::Enable(const char* name, bool enable) {
    HWND hwnd = ControlWindow(name);
    if (hwnd == nullptr) return false;
    ::EnableWindow(hwnd, enable ? TRUE : FALSE);
    return true;
}

bool CPage::ShowControl(const char* name, bool show) {
    HWND hwnd = ControlWindow(name);
    if (hwnd == nullptr) return false;
    ::ShowWindow(hwnd, show ? SW_SHOW : SW_HIDE);
    return true;
}

bool CPage::SetCheck(const char* name, bool checked) {
    HWND hwnd = ControlWindow(name);
    if (hwnd == nullptr) return false;
    ::SendMessageA(hwnd, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    return true;
}

bool CPage::IsChecked(const char* name) const {
    HWND hwnd = ControlWindow(name);
    return hwnd != nullptr && ::SendMessageA(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// --- messages --------------------------------------------------------------

INT_PTR CPage::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool* handled) {
    ++m_depth;
    INT_PTR result = Dispatch(msg, wParam, lParam, handled);
    if (--m_depth == 0 && m_deletePending) {
        // The window went away inside this handler; nothing below touches
        // the object any more.
        delete this;
    }
    return result;
}

INT_PTR CPage::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam, bool* handled) {
    LRESULT reflected = 0;
    if (ReflectToChild(msg, wParam, lParam, &reflected)) {
        *handled = true;
        if (msg == WM_DRAWITEM) {
            ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, reflected);
            return TRUE;
        }
        return static_cast<INT_PTR>(reflected);  // colour queries return the brush itself
    }

    switch (msg) {
    case WM_CTLCOLORDLG:
        *handled = true;
        return reinterpret_cast<INT_PTR>(m_background.Get());
    case WM_ERASEBKGND: {
        RECT client;
        ::GetClientRect(m_hWnd, &client);
        ::FillRect(reinterpret_cast<HDC>(wParam), &client, m_background.Get());
        *handled = true;
        ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, 1);
        return TRUE;
    }
    case WM_PAINT:
        if (!m_backPicture.IsLoaded()) return FALSE;
        {
            ScopedPaint paint(m_hWnd);
            PaintBackground(paint.Dc());
        }
        *handled = true;
        return TRUE;
    case WM_PRINTCLIENT: {
        // A transparent label asks for what lies beneath it.
        HDC dc = reinterpret_cast<HDC>(wParam);
        RECT client;
        ::GetClientRect(m_hWnd, &client);
        ::FillRect(dc, &client, m_background.Get());
        if (m_backPicture.IsLoaded()) PaintBackground(dc);
        *handled = true;
        return TRUE;
    }
    case WM_COMMAND: {
        *handled = true;
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if (lParam == 0 || id == IDOK || id == IDCANCEL) {
            // From the dialog manager: Enter (IDOK) does nothing; Escape and
            // the close box (IDCANCEL) ask to cancel.
            if (id == IDCANCEL) RequestCancel();
            return TRUE;
        }
        if (code == BN_CLICKED) OnControlCommand(id);  // STN_CLICKED too: both are 0
        return TRUE;
    }
    case WM_TIMER:
        *handled = true;
        if (m_options.host != nullptr) m_options.host->OnPageTimer(*this, static_cast<UINT_PTR>(wParam));
        return TRUE;
    case WM_NOTIFY: {
        if (m_options.host == nullptr) return FALSE;
        bool answered = false;
        LRESULT r = m_options.host->OnPageNotify(*this, reinterpret_cast<NMHDR*>(lParam), &answered);
        if (!answered) return FALSE;
        *handled = true;
        ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, r);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

void CPage::PaintBackground(HDC dc) {
    ScopedSaveDC saved(dc);
    RECT outer;
    ::GetWindowRect(m_hWnd, &outer);
    SetPictureStretchMode(dc, m_dpi);
    // Stretched to the size of the whole window, from the client's corner.
    m_backPicture.Render(dc, 0, 0, outer.right - outer.left, outer.bottom - outer.top);
}

void CPage::OnControlCommand(int windowId) {
    const int index = m_layout->controls.IndexOfId(windowId);
    if (index < 0) return;
    const ControlEntry& entry = m_layout->controls.At(index);
    PageCommand command;
    command.windowId = windowId;
    command.tableIndex = index;
    command.action = entry.ClickAction();
    command.identifierName = entry.identifierName;
    command.target = RouteCommand(entry.identifierName);

    if (command.target.route == CommandRoute::Cancel) {
        RequestCancel();
        return;
    }
    if (m_options.host != nullptr) m_options.host->OnPageCommand(*this, command);
    if (command.target.route == CommandRoute::Wizard && EndsPageAfterCommand(command.identifierName)) Close();
}

void CPage::RequestCancel() {
    if (m_options.host != nullptr) m_options.host->OnPageCancel(*this);
}

void CPage::OnFinalMessage() {
    if (m_options.host != nullptr) m_options.host->OnPageClosed(*this);
    if (m_depth > 0) {
        m_deletePending = true;
    } else {
        delete this;
    }
}

}  // namespace kq
