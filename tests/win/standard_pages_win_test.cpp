// The standard pages' Windows parts on real windows: the folder browser's
// OK check (messages answered by a timer inside their modal loops, folders
// made on disk) and the feature tree (items, pictures, the feature menu
// driven by keys inside its loop, the space bar).
#include <windows.h>
#include <commctrl.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "layout/folder_browser_win.h"
#include "layout/layout_resource_ids.h"
#include "test_files_win.h"
#include "wizard/feature_tree_win.h"

namespace kq {
namespace {

std::string TempRoot() {
    char base[MAX_PATH];
    ::GetTempPathA(sizeof base, base);
    std::string root = std::string(base) + "kq pages test";
    ::CreateDirectoryA(root.c_str(), nullptr);
    return root;
}

bool IsFolder(const std::string& path) {
    DWORD a = ::GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// A drive letter that names no drive here, or 0.
char MissingDrive() {
    DWORD drives = ::GetLogicalDrives();
    for (char letter = 'Y'; letter >= 'D'; --letter)
        if (!(drives & (1u << (letter - 'A')))) return letter;
    return 0;
}

// --- message boxes answered from inside their loops -------------------------

struct SeenBox {
    std::string text;
    bool hasOk = false;
    bool hasYes = false;
    bool hasNo = false;
};
std::vector<SeenBox> g_boxes;
std::deque<int> g_answers;

void CALLBACK AnswerBox(HWND, UINT, UINT_PTR, DWORD) {
    HWND box = ::GetActiveWindow();
    if (box == nullptr) return;
    char text[1024] = "";
    if (::GetDlgItemTextA(box, 0xFFFF, text, sizeof text) == 0) return;
    SeenBox seen;
    seen.text = text;
    seen.hasOk = ::GetDlgItem(box, IDOK) != nullptr;
    seen.hasYes = ::GetDlgItem(box, IDYES) != nullptr;
    seen.hasNo = ::GetDlgItem(box, IDNO) != nullptr;
    g_boxes.push_back(seen);
    int answer = g_answers.empty() ? IDOK : g_answers.front();
    if (!g_answers.empty()) g_answers.pop_front();
    // The box closes once; a second tick must not count it twice.
    ::SetWindowTextA(::GetDlgItem(box, 0xFFFF), "");
    ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
}

class FolderAcceptTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_boxes.clear();
        g_answers.clear();
        m_root = TempRoot();
        m_timer = ::SetTimer(nullptr, 0, 40, &AnswerBox);
    }
    void TearDown() override {
        ::KillTimer(nullptr, m_timer);
        RemoveTree(m_root);
    }
    std::string m_root;
    UINT_PTR m_timer = 0;
};

TEST_F(FolderAcceptTest, ExistingFolderAndDriveRootAreTakenAsTheyAre) {
    EXPECT_TRUE(CFolderBrowser::AcceptFolder(nullptr, m_root));
    char windows[MAX_PATH];
    ::GetWindowsDirectoryA(windows, sizeof windows);
    EXPECT_TRUE(CFolderBrowser::AcceptFolder(nullptr, std::string(windows, 3)));  // "C:\"
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(FolderAcceptTest, InvalidPathsAreRefusedWithTheMessage) {
    for (const char* path : {"C:", "C:\\Apps.", "C:\\Apps\\", "C:\\Apps|Notes"}) {
        g_boxes.clear();
        EXPECT_FALSE(CFolderBrowser::AcceptFolder(nullptr, path)) << path;
        ASSERT_EQ(1u, g_boxes.size()) << path;
        EXPECT_EQ(std::string("The folder:\n\n") + path + "\n\nis invalid. Please reenter.", g_boxes[0].text);
        EXPECT_TRUE(g_boxes[0].hasOk);
        EXPECT_FALSE(g_boxes[0].hasYes);
    }
}

TEST_F(FolderAcceptTest, MissingFolderTwoLevelsDeepWithSpaces) {
    const std::string first = m_root + "\\New Folder";
    const std::string path = first + "\\Second Level";

    g_answers = {IDNO};
    EXPECT_FALSE(CFolderBrowser::AcceptFolder(nullptr, path));
    ASSERT_EQ(1u, g_boxes.size());
    EXPECT_EQ("The folder:\n\n" + path + "\n\ndoes not exist. Do you want the folder to be created?", g_boxes[0].text);
    EXPECT_TRUE(g_boxes[0].hasYes);
    EXPECT_TRUE(g_boxes[0].hasNo);
    EXPECT_FALSE(IsFolder(first)) << "No must create nothing";

    g_boxes.clear();
    g_answers = {IDYES};
    EXPECT_TRUE(CFolderBrowser::AcceptFolder(nullptr, path));
    EXPECT_EQ(1u, g_boxes.size());
    EXPECT_TRUE(IsFolder(path));
}

TEST_F(FolderAcceptTest, LevelsThatCannotBeMadeAreReported) {
    // A file where a folder should go.
    const std::string blocker = m_root + "\\blocker";
    HANDLE file = ::CreateFileA(blocker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    ::CloseHandle(file);
    const std::string behind = blocker + "\\inside";
    g_answers = {IDYES, IDOK};
    EXPECT_FALSE(CFolderBrowser::AcceptFolder(nullptr, behind));
    ASSERT_EQ(2u, g_boxes.size());
    EXPECT_EQ("The folder:\n\n" + behind + "\n\ncan not be created. Please double check.", g_boxes[1].text);
    EXPECT_TRUE(g_boxes[1].hasOk);

    // A drive that does not exist.
    char drive = MissingDrive();
    if (drive == 0) GTEST_SKIP() << "every drive letter is in use";
    const std::string nowhere = std::string(1, drive) + ":\\Apps";
    g_boxes.clear();
    g_answers = {IDYES, IDOK};
    EXPECT_FALSE(CFolderBrowser::AcceptFolder(nullptr, nowhere));
    ASSERT_EQ(2u, g_boxes.size());
    EXPECT_EQ("The folder:\n\n" + nowhere + "\n\ncan not be created. Please double check.", g_boxes[1].text);
}

TEST(FolderLevelsOnDisk, SixLevelsAtOnceAndAnExistingPath) {
    const std::string root = TempRoot();
    const std::string deep = root + "\\a\\b c\\d\\e f\\g\\h";
    EXPECT_TRUE(CFolderBrowser::CreateFolderLevels(deep));
    EXPECT_TRUE(IsFolder(deep));
    EXPECT_TRUE(CFolderBrowser::CreateFolderLevels(deep));  // nothing left to make
    EXPECT_FALSE(CFolderBrowser::CreateFolderLevels(root + "\\bad|name"));
    RemoveTree(root);
}

// --- the feature tree -------------------------------------------------------

CFeatureTree* g_tree = nullptr;

LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NOTIFY && g_tree != nullptr) {
        LRESULT result = 0;
        if (g_tree->OnNotify(reinterpret_cast<NMHDR*>(lParam), &result)) return result;
    }
    return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}

// Presses keys inside the menu's own loop once the menu is up.
std::deque<WPARAM> g_menuKeys;
bool g_menuSeen = false;

void CALLBACK DriveMenu(HWND, UINT, UINT_PTR, DWORD) {
    if (::FindWindowA("#32768", nullptr) == nullptr || g_menuKeys.empty()) return;
    g_menuSeen = true;
    HWND focus = ::GetFocus();
    while (!g_menuKeys.empty()) {
        ::PostMessageA(focus, WM_KEYDOWN, g_menuKeys.front(), 0);
        g_menuKeys.pop_front();
    }
}

class FeatureTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_TREEVIEW_CLASSES};
        ::InitCommonControlsEx(&icc);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = &ParentProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "KqFeatureTreeTestParent";
        ::RegisterClassA(&wc);
        m_parent = ::CreateWindowExA(0, wc.lpszClassName, "features", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 300,
                                     200, nullptr, nullptr, wc.hInstance, nullptr);
        m_treeWindow = ::CreateWindowExA(WS_EX_CLIENTEDGE, WC_TREEVIEWA, "", WS_CHILD | WS_VISIBLE | TVS_HASLINES, 0,
                                         0, 280, 160, m_parent, reinterpret_cast<HMENU>(3011), wc.hInstance, nullptr);
        ASSERT_NE(nullptr, m_treeWindow);
        m_table.Add("Program files");
        m_table.Add("Help files");
        m_table.Add("Samples");
        m_table.SetState("Samples", kFeatureNotInstalled);
        m_tree = std::make_unique<CFeatureTree>(
            m_treeWindow, m_table,
            [this](const std::string& text) {
                m_looked.push_back(text);
                return std::vector<std::string>{"about " + text};
            },
            [this](const std::string& description) { m_shown.push_back(description); });
        g_tree = m_tree.get();
    }
    void TearDown() override {
        g_tree = nullptr;
        m_tree.reset();
        if (m_parent != nullptr) ::DestroyWindow(m_parent);
    }

    std::vector<HTREEITEM> Items() const {
        std::vector<HTREEITEM> items;
        for (HTREEITEM item = TreeView_GetRoot(m_treeWindow); item != nullptr;
             item = TreeView_GetNextSibling(m_treeWindow, item))
            items.push_back(item);
        return items;
    }

    HWND m_parent = nullptr;
    HWND m_treeWindow = nullptr;
    FeatureTable m_table;
    std::unique_ptr<CFeatureTree> m_tree;
    std::vector<std::string> m_looked;
    std::vector<std::string> m_shown;
};

TEST_F(FeatureTreeTest, ItemsShowTextsAndTheTablesState) {
    m_tree->Fill({"Program files", "Help files", "Samples", "Not in the table"});
    std::vector<HTREEITEM> items = Items();
    ASSERT_EQ(4u, items.size());
    const char* texts[] = {"Program files", "Help files", "Samples", "Not in the table"};
    const int images[] = {0, 0, 1, 0};  // a feature already switched off shows it
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(texts[i], m_tree->ItemText(items[i]));
        EXPECT_EQ(images[i], m_tree->ItemImage(items[i])) << texts[i];
        EXPECT_EQ(nullptr, TreeView_GetChild(m_treeWindow, items[i]));  // all top-level
    }
}

TEST_F(FeatureTreeTest, MenuCommandsSetStateAndPicture) {
    m_tree->Fill({"Program files", "Help files"});
    std::vector<HTREEITEM> items = Items();
    ASSERT_EQ(2u, items.size());

    m_tree->ApplyCommand(items[1], ID_KQ_FEATURE_SKIP);
    EXPECT_TRUE(m_table.IsDeselected("Help files"));
    EXPECT_EQ(1, m_tree->ItemImage(items[1]));
    m_tree->ApplyCommand(items[1], 0);  // the menu closed without a choice
    EXPECT_TRUE(m_table.IsDeselected("Help files"));
    m_tree->ApplyCommand(items[1], ID_KQ_FEATURE_INSTALL);
    EXPECT_FALSE(m_table.IsDeselected("Help files"));
    EXPECT_EQ(0, m_tree->ItemImage(items[1]));
    EXPECT_FALSE(m_table.IsDeselected("Program files"));
}

TEST_F(FeatureTreeTest, SelectingAFeatureShowsItsDescriptionAndTheMenu) {
    if (::FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_KQ_FEATURE_MENU), MAKEINTRESOURCEA(4)) == nullptr)
        GTEST_SKIP() << "the feature menu is not linked into this program (it comes with layout.rc)";
    m_tree->Fill({"Program files", "Help files"});
    std::vector<HTREEITEM> items = Items();
    ASSERT_EQ(2u, items.size());

    // Down twice reaches the second choice, "will not be installed".
    g_menuSeen = false;
    g_menuKeys = {VK_DOWN, VK_DOWN, VK_RETURN};
    UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &DriveMenu);
    TreeView_SelectItem(m_treeWindow, items[1]);
    ::KillTimer(nullptr, timer);
    EXPECT_TRUE(g_menuSeen) << "no feature menu was shown";
    EXPECT_EQ(std::vector<std::string>{"Help files"}, m_looked);
    EXPECT_EQ(std::vector<std::string>{"about Help files"}, m_shown);
    EXPECT_TRUE(m_table.IsDeselected("Help files"));
    EXPECT_EQ(1, m_tree->ItemImage(items[1]));

    // Escape closes the menu and changes nothing.
    g_menuSeen = false;
    g_menuKeys = {VK_ESCAPE};
    timer = ::SetTimer(nullptr, 0, 50, &DriveMenu);
    TreeView_SelectItem(m_treeWindow, items[0]);
    ::KillTimer(nullptr, timer);
    EXPECT_TRUE(g_menuSeen);
    EXPECT_FALSE(m_table.IsDeselected("Program files"));
    EXPECT_EQ(0, m_tree->ItemImage(items[0]));
}

TEST_F(FeatureTreeTest, SpaceGivesTheSelectedFeatureTheOtherChoice) {
    m_tree->Fill({"Program files", "Help files"});
    std::vector<HTREEITEM> items = Items();
    ASSERT_EQ(2u, items.size());
    // Selected without the notification reaching the tree's object.
    g_tree = nullptr;
    TreeView_SelectItem(m_treeWindow, items[1]);
    g_tree = m_tree.get();

    NMTVKEYDOWN key = {};
    key.hdr.hwndFrom = m_treeWindow;
    key.hdr.idFrom = 3011;
    key.hdr.code = TVN_KEYDOWN;
    key.wVKey = VK_SPACE;
    LRESULT result = 0;
    EXPECT_TRUE(m_tree->OnNotify(&key.hdr, &result));
    EXPECT_EQ(1, result);
    EXPECT_TRUE(m_table.IsDeselected("Help files"));
    EXPECT_EQ(1, m_tree->ItemImage(items[1]));
    EXPECT_TRUE(m_tree->OnNotify(&key.hdr, &result));
    EXPECT_FALSE(m_table.IsDeselected("Help files"));
    EXPECT_EQ(0, m_tree->ItemImage(items[1]));

    // Other keys and other windows are not the tree's business.
    key.wVKey = 'A';
    EXPECT_FALSE(m_tree->OnNotify(&key.hdr, &result));
    key.wVKey = VK_SPACE;
    key.hdr.hwndFrom = m_parent;
    EXPECT_FALSE(m_tree->OnNotify(&key.hdr, &result));
    EXPECT_FALSE(m_table.IsDeselected("Help files"));
}

}  // namespace
}  // namespace kq
