// CFeatureTree: the feature behaviour of the custom-setup page's tree. The
// tree window itself is the page's TREEVIEW control (a CSkinTree, which
// holds the two item images); this object fills it with the features and
// answers its notifications:
//  - a change of selection to an item with text shows that feature's
//    description and offers the feature menu at the mouse: "installed on
//    local hard drive" or "will not be installed", which sets the feature's
//    state in the table and the item's picture;
//  - the space bar gives the selected item the other of the two choices,
//    so the choice can also be made from the keyboard.
// Clicks do nothing of their own beyond selecting.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "base/no_copy.h"
#include "run/features.h"

namespace kq {

class CFeatureTree : private NoCopy {
public:
    using DescriptionLookup = std::function<std::vector<std::string>(const std::string& featureText)>;
    using DescriptionSink = std::function<void(const std::string& description)>;

    // `features` is the run's table; it and the tree window outlive this.
    CFeatureTree(HWND tree, FeatureTable& features, DescriptionLookup lookup, DescriptionSink show);

    HWND Handle() const { return m_tree; }

    // One top-level item per text, in order. Each item shows the state its
    // feature has in the table, so a page opened again shows what will
    // really be installed.
    void Fill(const std::vector<std::string>& texts);

    // WM_NOTIFY from the tree. True when it was this tree's; *result is the
    // answer.
    bool OnNotify(const NMHDR* header, LRESULT* result);

    // A menu command (kFeatureCommandInstall or kFeatureCommandDoNotInstall)
    // applied to `item`; any other command changes nothing.
    void ApplyCommand(HTREEITEM item, int command);

    std::string ItemText(HTREEITEM item) const;
    // The item's picture: 0 installed, 1 not installed; -1 for no item.
    int ItemImage(HTREEITEM item) const;

private:
    void OnSelectionChanged(HTREEITEM item);
    int ShowMenu();
    void SetItemImage(HTREEITEM item, int image);

    HWND m_tree;
    FeatureTable& m_features;
    DescriptionLookup m_lookup;
    DescriptionSink m_show;
};

}  // namespace kq
