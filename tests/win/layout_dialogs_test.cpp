// The message and question dialogs, run modally and answered by a timer
// that reads what they show. Their templates live in src/layout/layout.rc,
// which setup.exe links; a test program without those resources skips.
//
// KQ_LAYOUT_HOLD_MS=<ms> keeps each dialog open that long (for a screenshot).
#include <windows.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "base/ini_text.h"
#include "layout/dialogs_win.h"
#include "layout/layout_resource_ids.h"

namespace kq {
namespace {

struct Seen {
    std::string caption;
    std::string body;
    std::string okText;
    std::string cancelText;
    bool okVisible = false;
    std::string face;
    int answer = IDOK;
    DWORD openedAt = 0;
    bool done = false;
};
Seen g_seen;

std::string ItemText(HWND dialog, int id) {
    char text[512] = "";
    ::GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

DWORD HoldMs() {
    const char* hold = std::getenv("KQ_LAYOUT_HOLD_MS");
    return hold != nullptr ? static_cast<DWORD>(std::atoi(hold)) : 0;
}

// Runs inside the dialog's modal loop.
void CALLBACK Answer(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = ::GetActiveWindow();
    if (dialog == nullptr || ::GetDlgItem(dialog, IDC_KQ_DIALOG_TEXT) == nullptr) return;
    // A modal dialog is shown only once its loop first finds the queue empty;
    // on a busy machine the timer can come first. Answer what a user sees.
    if (!::IsWindowVisible(dialog)) return;
    if (g_seen.openedAt == 0) g_seen.openedAt = ::GetTickCount();
    if (::GetTickCount() - g_seen.openedAt < HoldMs()) return;
    ::KillTimer(nullptr, timer);
    char caption[128] = "";
    ::GetWindowTextA(dialog, caption, sizeof caption);
    g_seen.caption = caption;
    g_seen.body = ItemText(dialog, IDC_KQ_DIALOG_TEXT);
    g_seen.okText = ItemText(dialog, IDOK);
    g_seen.cancelText = ItemText(dialog, IDCANCEL);
    g_seen.okVisible = ::IsWindowVisible(::GetDlgItem(dialog, IDOK)) != FALSE;
    LOGFONTA lf = {};
    ::GetObjectA(reinterpret_cast<HFONT>(::SendMessageA(dialog, WM_GETFONT, 0, 0)), sizeof lf, &lf);
    g_seen.face = lf.lfFaceName;
    g_seen.done = true;
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(g_seen.answer, BN_CLICKED), 0);
}

class LayoutDialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (::FindResourceA(nullptr, MAKEINTRESOURCEA(IDD_KQ_QUESTION), MAKEINTRESOURCEA(5)) == nullptr) {
            GTEST_SKIP() << "dialog templates not linked into this program (they come with layout.rc)";
        }
        g_seen = Seen();
        ::SetTimer(nullptr, 0, 50, &Answer);
    }
};

const char kLanguage[] =
    "[CancelSetup]\n0=Are you sure you want to cancel the [ProductName] installation?\n1=&No\n2=&Yes\n"
    "[SetupError]\n3=E&xit [ProductName]\n";

std::string ExpandProduct(const std::string& text) {
    std::string out = text;
    for (size_t at; (at = out.find("<ProductName>")) != std::string::npos;) out.replace(at, 13, "Widget");
    return out;
}

// Shows the question dialog with the texts of `language`; the timer notes
// what it shows and presses `answer`. Returns what the dialog returned.
INT_PTR Ask(int mode, const std::string& message, int answer, const char* language = kLanguage) {
    IniText texts(language);
    CQuestionDialog dialog(texts, &ExpandProduct);
    g_seen.answer = answer;
    return dialog.Run(nullptr, mode, message);
}

TEST_F(LayoutDialogsTest, CancelConfirmationTakesItsTextsFromTheLanguageFile) {
    EXPECT_EQ(Ask(kQuestionModeCancel, "not shown", IDOK), IDOK);
    ASSERT_TRUE(g_seen.done);
    EXPECT_EQ(g_seen.caption, "Calvarr Merrowin");
    EXPECT_EQ(g_seen.body, "Are you sure you want to cancel the Widget installation?");
    EXPECT_EQ(g_seen.okText, "&Yes");
    EXPECT_EQ(g_seen.cancelText, "&No");
    EXPECT_TRUE(g_seen.okVisible);
    EXPECT_EQ(g_seen.face, "Tahoma");
}

TEST_F(LayoutDialogsTest, RestartQuestionShowsTheMessage) {
    EXPECT_EQ(Ask(kQuestionModeRestart, "Restart [now] to finish?", IDCANCEL), IDCANCEL);
    ASSERT_TRUE(g_seen.done);
    EXPECT_EQ(g_seen.body, "Restart [now] to finish?");
    EXPECT_EQ(g_seen.okText, "&Yes");
}

TEST_F(LayoutDialogsTest, ErrorModeHasOneButtonAndEnterCannotConfirm) {
    // IDOK is what Enter reports.
    EXPECT_EQ(Ask(kQuestionModeError, "This product needs 64 MB of memory.", IDOK), IDCANCEL);
    ASSERT_TRUE(g_seen.done);
    EXPECT_FALSE(g_seen.okVisible);
    EXPECT_EQ(g_seen.cancelText, "E&xit Widget");
    EXPECT_EQ(g_seen.body, "This product needs 64 MB of memory.");
}

TEST_F(LayoutDialogsTest, MissingLanguageFileLeavesTextsEmpty) {
    Ask(kQuestionModeCancel, "", IDOK, "");
    ASSERT_TRUE(g_seen.done);
    EXPECT_EQ(g_seen.body, "");
    EXPECT_EQ(g_seen.okText, "");
}

TEST_F(LayoutDialogsTest, MessageDialog) {
    CMessageDialog dialog;
    EXPECT_EQ(dialog.Run(nullptr, "The file list could not be read.\nPlease run setup again."), IDOK);
    ASSERT_TRUE(g_seen.done);
    EXPECT_EQ(g_seen.caption, "Merrowin");
    EXPECT_EQ(g_seen.body, "The file list could not be read.\nPlease run setup again.");
    EXPECT_EQ(g_seen.face, "Tahoma");
}

}  // namespace
}  // namespace kq
