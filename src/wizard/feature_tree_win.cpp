#include "wizard/feature_tree_win.h"

#include "layout/layout_resource_ids.h"

namespace kq {

static_assert(ID_KQ_FEATURE_INSTALL == kFeatureCommandInstall, "menu command of the installed choice");
static_assert(ID_KQ_FEATURE_SKIP == kFeatureCommandDoNotInstall, "menu command of the other choice");

CFeatureTree::CFeatureTree(HWND tree, FeatureTable& features, DescriptionLookup lookup, DescriptionSink show)
    : m_tree(tree), m_features(features), m_lookup(std::move(lookup)), m_show(std::move(show)) {}

void CFeatureTree::Fill(const std::vector<std::string>& texts) {
    if (m_tree == nullptr) return;
    for (const std::string& text : texts) {
        const int image = ImageForState(m_features.StateOf(text));
        TVINSERTSTRUCTA insert = {};
        insert.hParent = TVI_ROOT;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
        insert.item.pszText = const_cast<char*>(text.c_str());
        insert.item.iImage = image;
        insert.item.iSelectedImage = image;
        ::SendMessageA(m_tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert));
    }
}

bool CFeatureTree::OnNotify(const NMHDR* header, LRESULT* result) {
    if (header == nullptr || m_tree == nullptr || header->hwndFrom != m_tree) return false;
    *result = 0;
    switch (header->code) {
    case TVN_SELCHANGEDA:
    case TVN_SELCHANGEDW:
        OnSelectionChanged(reinterpret_cast<const NMTREEVIEWA*>(header)->itemNew.hItem);
        return true;
    case TVN_KEYDOWN: {
        if (reinterpret_cast<const NMTVKEYDOWN*>(header)->wVKey != VK_SPACE) return false;
        HTREEITEM item = TreeView_GetSelection(m_tree);
        if (item == nullptr) return true;
        ApplyCommand(item, ItemImage(item) == 0 ? kFeatureCommandDoNotInstall : kFeatureCommandInstall);
        // Answered: the tree does not also search for an item by the key.
        *result = 1;
        return true;
    }
    default:
        return false;
    }
}

void CFeatureTree::OnSelectionChanged(HTREEITEM item) {
    const std::string text = ItemText(item);
    if (text.empty()) return;
    if (m_lookup && m_show) {
        for (const std::string& description : m_lookup(text)) m_show(description);
    }
    ApplyCommand(item, ShowMenu());
}

int CFeatureTree::ShowMenu() {
    HMENU menu = ::LoadMenuA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_KQ_FEATURE_MENU));
    if (menu == nullptr) return 0;
    int command = 0;
    HMENU popup = ::GetSubMenu(menu, 0);
    if (popup != nullptr) {
        POINT at = {};
        ::GetCursorPos(&at);
        // A pop-up menu of a window that is not in the foreground would not
        // close when the user clicks elsewhere.
        ::SetForegroundWindow(::GetAncestor(m_tree, GA_ROOT));
        command = static_cast<int>(::TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, at.x,
                                                    at.y, 0, m_tree, nullptr));
        // Lets the menu finish closing before the tree goes on.
        ::PostMessageA(m_tree, WM_NULL, 0, 0);
    }
    ::DestroyMenu(menu);
    return command;
}

void CFeatureTree::ApplyCommand(HTREEITEM item, int command) {
    const FeatureChoice choice = FeatureChoiceFromCommand(command);
    if (choice == FeatureChoice::None || item == nullptr) return;
    const int32_t state = StateForChoice(choice);
    m_features.SetState(ItemText(item), state);
    SetItemImage(item, ImageForState(state));
}

std::string CFeatureTree::ItemText(HTREEITEM item) const {
    if (item == nullptr || m_tree == nullptr) return std::string();
    char text[260] = "";
    TVITEMA query = {};
    query.mask = TVIF_TEXT;
    query.hItem = item;
    query.pszText = text;
    query.cchTextMax = sizeof(text);
    if (!::SendMessageA(m_tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query))) return std::string();
    return query.pszText != nullptr ? std::string(query.pszText) : std::string();
}

int CFeatureTree::ItemImage(HTREEITEM item) const {
    if (item == nullptr || m_tree == nullptr) return -1;
    TVITEMA query = {};
    query.mask = TVIF_IMAGE;
    query.hItem = item;
    if (!::SendMessageA(m_tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query))) return -1;
    return query.iImage;
}

void CFeatureTree::SetItemImage(HTREEITEM item, int image) {
    TVITEMA change = {};
    change.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    change.hItem = item;
    change.iImage = image;
    change.iSelectedImage = image;
    ::SendMessageA(m_tree, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&change));
}

}  // namespace kq
