// page_probe: opens one layout file as a wizard page with the program's own
// page engine and keeps it on screen for a while, so a theme author can look
// at pages that a real run shows only for a moment (the preparation page, the
// progress page, the language page, the merge-module page). Clicks do nothing;
// texts that the wizard would fill in at run time can be given on the command
// line.
//
//   page_probe THEME_FOLDER FILE.lcd [--ms N] [--set NAME=TEXT]...
//              [--progress NAME=POS/RANGE]... [--check NAME]... [--disable NAME]...
//              [--hide NAME]...
//              [--show NAME]... [--combo NAME=ITEM]... [--tree NAME=ITEM]...
//              [--index N --count N]
//
// Placeholders expand to the sample product (Northwind Notes 1.2.0).
// Built by tools/theme/shoot.sh against the Windows build's core library.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/text.h"
#include "layout/page_win.h"
#include "win/system_library_win.h"

namespace {

class CProbeHost : public kq::PageHost {
public:
    void OnPageCommand(kq::CPage&, const kq::PageCommand&) override {}
    void OnPageCancel(kq::CPage&) override {}
    void OnPageClosed(kq::CPage&) override { ::PostQuitMessage(0); }
};

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::string Expand(const std::string& text) {
    static const char* const kValues[][2] = {
        {"<ProductName>", "Northwind Notes"},
        {"<ProductVersion>", "1.2.0"},
        {"<CompanyName>", "Northwind Software"},
        {"<Publisher>", "Northwind Software"},
        {"<UserName>", "Alex Morgan"},
        {"<USERNAME>", "Alex Morgan"},
        {"<InstallDir>", "C:\\Program Files\\Northwind Notes\\"},
        {"<ProgramFilesFolder>", "C:\\Program Files"},
    };
    std::string out = text;
    for (const auto& v : kValues) out = ReplaceAll(out, v[0], v[1]);
    return out;
}

// "NAME=VALUE" split at the first "=".
bool SplitPair(const char* arg, std::string* name, std::string* value) {
    const char* eq = std::strchr(arg, '=');
    if (eq == nullptr) return false;
    name->assign(arg, eq - arg);
    value->assign(eq + 1);
    return true;
}

// "\r\n" written out in a command-line text stands for a line break; other
// backslashes (paths) stay as they are.
std::string Unescape(const std::string& text) {
    return ReplaceAll(text, "\\r\\n", "\r\n");
}

// Fills in or sets one control as the wizard would at run time.
void ApplyOption(kq::CPage& page, const std::string& option, const char* arg) {
    std::string name, value;
    if (option == "--set" && SplitPair(arg, &name, &value)) {
        page.SetText(name.c_str(), Unescape(value));
    } else if (option == "--progress" && SplitPair(arg, &name, &value)) {
        HWND bar = page.ControlWindow(name.c_str());
        int pos = std::atoi(value.c_str());
        size_t slash = value.find('/');
        int range = slash == std::string::npos ? 100 : std::atoi(value.c_str() + slash + 1);
        ::ShowWindow(bar, SW_SHOW);
        ::SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, range));
        ::SendMessageA(bar, PBM_SETPOS, pos, 0);
    } else if (option == "--check") {
        page.SetCheck(arg, true);
    } else if (option == "--disable") {
        page.Enable(arg, false);
    } else if (option == "--hide") {
        page.ShowControl(arg, false);
    } else if (option == "--show") {
        page.ShowControl(arg, true);
    } else if (option == "--tree" && SplitPair(arg, &name, &value)) {
        TVINSERTSTRUCTA item = {};
        item.hParent = TVI_ROOT;
        item.hInsertAfter = TVI_LAST;
        item.item.mask = TVIF_TEXT;
        item.item.pszText = const_cast<char*>(value.c_str());
        ::SendMessageA(page.ControlWindow(name.c_str()), TVM_INSERTITEMA, 0,
                       reinterpret_cast<LPARAM>(&item));
    } else if (option == "--combo" && SplitPair(arg, &name, &value)) {
        HWND combo = page.ControlWindow(name.c_str());
        ::SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(value.c_str()));
        ::SendMessageA(combo, CB_SETCURSEL, 0, 0);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: page_probe THEME_FOLDER FILE.lcd [options]\n");
        return 2;
    }
    ::OleInitialize(nullptr);
    kq::LoadSystemLibrary("riched32.dll");
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS | ICC_TREEVIEW_CLASSES};
    auto init = kq::SystemProc<decltype(&::InitCommonControlsEx)>("comctl32.dll", "InitCommonControlsEx");
    if (init != nullptr) init(&icc);

    CProbeHost host;
    kq::PageOptions options;
    options.themeFolder = kq::WithTrailingBackslash(argv[1]);
    options.fileName = argv[2];
    options.pageIndex = 1;
    options.pageCount = 10;
    options.expand = Expand;
    options.host = &host;

    int ms = 4000;
    for (int i = 3; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--index") == 0) options.pageIndex = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--count") == 0) options.pageCount = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--ms") == 0) ms = std::atoi(argv[i + 1]);
    }

    kq::CPage* page = kq::CPage::Open(options);
    if (page == nullptr) {
        std::fprintf(stderr, "page_probe: the page window could not be created\n");
        return 1;
    }
    for (int i = 3; i + 1 < argc; i += 2) {
        ApplyOption(*page, argv[i], argv[i + 1]);
    }
    page->ShowPage(true);
    ::SetForegroundWindow(page->Handle());
    // Without a window manager the probe may not be given the activation;
    // draw the title bar as active all the same, as the wizard's pages are.
    ::SendMessageA(page->Handle(), WM_NCACTIVATE, TRUE, 0);

    ::SetTimer(nullptr, 0, static_cast<UINT>(ms), nullptr);
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.hwnd == nullptr) break;
        if (kq::CPage::PreTranslate(&msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    ::OleUninitialize();
    return 0;
}
