#include "layout/folder_browser_win.h"

#include "base/file_win.h"
#include "base/product.h"
#include "layout/folder_browser.h"
#include "layout/layout_values.h"
#include "win/gdi_win.h"

namespace kq {
namespace {

// Caption of the browser's own messages.

// The edit box sits above the folder tree, from this far above its top...
constexpr int kEditAboveTree = 27;
// ...down to this far above it.
constexpr int kEditGapToTree = 4;

void FreeItemList(LPITEMIDLIST list) {
    if (list == nullptr) return;
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(::SHGetMalloc(&allocator)) && allocator != nullptr) {
        allocator->Free(list);
        allocator->Release();
    }
}

}  // namespace

CFolderBrowser::CFolderBrowser(const std::string& title, const std::string& prompt, UINT flags,
                               const std::string& initialFolder, HWND owner)
    : m_title(title), m_prompt(prompt), m_flags(flags), m_initialFolder(initialFolder), m_owner(owner),
      m_hook(*this) {}

int CFolderBrowser::Run() {
    m_ok = false;
    m_result.clear();
    char displayName[MAX_PATH] = "";
    BROWSEINFOA info = {};
    info.hwndOwner = m_owner;
    info.pszDisplayName = displayName;
    info.lpszTitle = m_prompt.c_str();
    info.ulFlags = m_flags;
    info.lpfn = &CFolderBrowser::Callback;
    info.lParam = reinterpret_cast<LPARAM>(this);

    const bool ownerEnabled = m_owner != nullptr && ::IsWindowEnabled(m_owner);
    FreeItemList(::SHBrowseForFolderA(&info));
    m_hook.Detach();
    m_edit = nullptr;
    if (ownerEnabled && !::IsWindowEnabled(m_owner)) ::EnableWindow(m_owner, TRUE);
    return m_ok ? kFolderChosen : kFolderNotChosen;
}

int CALLBACK CFolderBrowser::Callback(HWND dialog, UINT msg, LPARAM lParam, LPARAM data) {
    auto* self = reinterpret_cast<CFolderBrowser*>(data);
    switch (msg) {
    case BFFM_INITIALIZED:
        self->OnInitialized(dialog);
        break;
    case BFFM_SELCHANGED:
        self->OnSelectionChanged(dialog, reinterpret_cast<LPCITEMIDLIST>(lParam));
        break;
    default:
        break;
    }
    return 0;
}

void CFolderBrowser::OnInitialized(HWND dialog) {
    if (!m_title.empty()) ::SetWindowTextA(dialog, m_title.c_str());
    m_hook.Attach(dialog);

    // The status line is where the system would show the selected path;
    // the edit box shows it instead, and takes typed paths too.
    HWND status = ::GetDlgItem(dialog, kBrowseStatusId);
    if (status != nullptr) ::ShowWindow(status, SW_HIDE);

    RECT tree = {};
    HWND treeWindow = ::GetDlgItem(dialog, kBrowseTreeId);
    if (treeWindow != nullptr) {
        ::GetWindowRect(treeWindow, &tree);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&tree), 2);
    }
    // The dialog's own controls grow with the screen's pixels per inch; the box put into it grows alike.
    const int dpi = ScreenPixelsPerInch();
    const int above = ScaleToDpi(kEditAboveTree, dpi);
    m_edit = ::CreateWindowExA(
        WS_EX_CLIENTEDGE, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, tree.left, tree.top - above,
        tree.right - tree.left, above - ScaleToDpi(kEditGapToTree, dpi), dialog,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kBrowseEditId)), ::GetModuleHandleA(nullptr), nullptr);
    if (m_edit != nullptr) {
        ::SendMessageA(m_edit, WM_SETFONT, static_cast<WPARAM>(::SendMessageA(dialog, WM_GETFONT, 0, 0)), TRUE);
        // Some systems lay the prompt out tall enough to reach into the edit
        // box's place; a static paints over its siblings, so it is cut short.
        HWND prompt = ::GetDlgItem(dialog, kBrowsePromptId);
        RECT promptRect = {};
        if (prompt != nullptr && ::GetWindowRect(prompt, &promptRect)) {
            ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&promptRect), 2);
            const int editTop = tree.top - above;
            if (promptRect.bottom > editTop && editTop > promptRect.top) {
                ::SetWindowPos(prompt, nullptr, 0, 0, promptRect.right - promptRect.left, editTop - promptRect.top,
                               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            }
        }
        // Typed first, then the tree: the edit box is where a path is entered.
        ::SetWindowPos(m_edit, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }

    std::string folder = m_initialFolder;
    if (folder.empty()) {
        char current[MAX_PATH] = "";
        DWORD n = ::GetCurrentDirectoryA(sizeof(current), current);
        if (n > 0 && n < sizeof(current)) folder = current;
    }
    if (!folder.empty()) ::SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(folder.c_str()));
}

void CFolderBrowser::OnSelectionChanged(HWND dialog, LPCITEMIDLIST item) {
    char path[MAX_PATH] = "";
    // Only folders with a drive letter can be installed to; the desktop,
    // "My Computer" and network places have no such path.
    if (item == nullptr || !::SHGetPathFromIDListA(item, path) || path[0] == '\0' || path[1] != ':') path[0] = '\0';
    ::SendMessageA(dialog, BFFM_ENABLEOK, 0, path[0] != '\0');
    ::SendMessageA(dialog, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(path));
    if (m_edit != nullptr) ::SetWindowTextA(m_edit, path);
}

void CFolderBrowser::OnEditChanged(HWND dialog) {
    m_result = EditText(dialog);
    ::SendMessageA(dialog, BFFM_ENABLEOK, 0, !m_result.empty());
}

bool CFolderBrowser::OnOk(HWND dialog) {
    m_result = EditText(dialog);
    if (!AcceptFolder(dialog, m_result)) {
        if (m_edit != nullptr) ::SetFocus(m_edit);
        return false;
    }
    m_ok = true;
    return true;
}

std::string CFolderBrowser::EditText(HWND dialog) const {
    if (m_edit == nullptr) return m_result;
    int length = ::GetWindowTextLengthA(m_edit);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    length = ::GetWindowTextA(m_edit, &text[0], length + 1);
    text.resize(static_cast<size_t>(length < 0 ? 0 : length));
    return text;
}

bool CFolderBrowser::AcceptFolder(HWND owner, const std::string& path) {
    if (!IsValidFolderSyntax(path)) {
        ::MessageBoxA(owner, FolderInvalidMessage(path).c_str(), kProductName, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    if (DirectoryExists(path)) return true;
    if (::MessageBoxA(owner, FolderMissingQuestion(path).c_str(), kProductName, MB_YESNO | MB_ICONQUESTION) !=
        IDYES) {
        return false;
    }
    if (!CreateFolderLevels(path)) {
        ::MessageBoxA(owner, FolderNotCreatedMessage(path).c_str(), kProductName, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    return true;
}

bool CFolderBrowser::CreateFolderLevels(const std::string& path) {
    std::vector<std::string> levels = FolderLevels(path);
    if (levels.empty() || !DirectoryExists(levels.front())) return false;
    for (size_t i = 1; i < levels.size(); ++i) {
        if (DirectoryExists(levels[i])) continue;
        ::CreateDirectoryA(levels[i].c_str(), nullptr);
        if (!DirectoryExists(levels[i])) return false;
    }
    return true;
}

LRESULT CFolderBrowser::CDialogHook::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND) {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if (id == IDOK && code == BN_CLICKED) {
            // A refused folder keeps the dialog open: the system never sees OK.
            if (!m_browser.OnOk(m_hWnd)) return 0;
        } else if (id == kBrowseEditId && code == EN_CHANGE) {
            m_browser.OnEditChanged(m_hWnd);
            return 0;
        }
    }
    return Default(msg, wParam, lParam);
}

}  // namespace kq
