// A page built from a real layout file on disk, checked through the windows
// it creates: window ids in creation order, generated and adopted names,
// texts after the properties, colours of the skinned controls, the window
// size after the title-bar correction, and the routing of clicks.
//
// KQ_LAYOUT_HOLD_MS=<ms> keeps the finished page on screen that long (for a
// screenshot taken from outside); KQ_LAYOUT_THEME=<folder> writes the theme
// there instead of a temporary folder.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "layout/control_catalogue.h"
#include "layout/layout_resource_ids.h"
#include "layout/layout_values.h"
#include "layout/page_win.h"

namespace kq {
namespace {

std::string TempFolder() {
    if (const char* theme = std::getenv("KQ_LAYOUT_THEME")) {
        ::CreateDirectoryA(theme, nullptr);
        std::string folder = theme;
        if (folder.back() != '\\') folder += '\\';
        return folder;
    }
    char base[MAX_PATH];
    ::GetTempPathA(sizeof base, base);
    std::string folder = std::string(base) + "kq_layout_test\\";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// A 24-bit bitmap: a blue-to-teal banner with a lighter diagonal band.
std::string BannerBitmap(int width, int height) {
    const int stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + stride * height;
    std::string out(reinterpret_cast<const char*>(&file), sizeof file);
    out.append(reinterpret_cast<const char*>(&info), sizeof info);
    for (int y = 0; y < height; ++y) {
        std::string row(stride, '\0');
        for (int x = 0; x < width; ++x) {
            bool band = ((x + y) / 12) % 5 == 0;
            row[x * 3 + 0] = static_cast<char>(150 + 90 * x / width);   // blue
            row[x * 3 + 1] = static_cast<char>(60 + 100 * x / width + (band ? 30 : 0));  // green
            row[x * 3 + 2] = static_cast<char>(band ? 70 : 30);        // red
        }
        out += row;
    }
    return out;
}

// Records are written in the order the page expects them: record i has the
// DADOS number 3000 + i.
struct Control {
    std::string record;  // fields 1..7: left,top,width,height,TYPE,image,x
    std::vector<std::string> properties;
};

std::string LayoutText(const char* mainWindow, const std::vector<Control>& controls) {
    std::string text = std::string("[MAINWINDOW]\r\n") + mainWindow + "[INFO]\r\nTOTAL=" +
                       std::to_string(controls.size()) + "\r\n";
    for (size_t i = 0; i < controls.size(); ++i) {
        text += std::to_string(i) + "=c," + controls[i].record + "," + std::to_string(3000 + i) + "\r\n";
    }
    text += "[DADOS]\r\n";
    for (size_t i = 0; i < controls.size(); ++i) {
        const std::string n = std::to_string(3000 + i);
        text += n + ",t=" + std::to_string(controls[i].properties.size()) + "\r\n";
        for (size_t j = 0; j < controls[i].properties.size(); ++j) {
            text += n + "," + std::to_string(j) + "=" + controls[i].properties[j] + "\r\n";
        }
    }
    return text;
}

const char kMainWindow[] =
    "idcname=IDD_LICENSE\r\ncaption=<ProductName> Setup\r\nbkimage=\r\nborder=1\r\nstartup=05\r\n"
    "bkcolor=COLOR_BTNFACE\r\nwidth=500\r\nheight=400\r\nminwindow=No\r\nmaxwindow=No\r\n"
    "closewindow=Yes\r\nfontname=Tahoma\r\nfontsize=8\r\nfontbold=No\r\nfontitalic=No\r\n";

std::vector<Control> PageControls() {
    // Labels given the button face as numbers are transparent: the title and
    // subtitle show the banner beneath them.
    const std::string clear = "BackColor|" + ColourText(ButtonFaceColour()) + "|0";
    return {
        /* 0 */ {"0,0,500,62,BITMAP,{banner.bmp},x", {"Name|IDB_TOP|0", "Pic|x|0", "BackColor|0 - none|0"}},
        /* 1 */ {"16,10,400,20,TEXT,,x",
                 {"Name|IDC_TITLE|0", "Caption|License Agreement|0", "Text Align|1-Left|0", "Text Color|255,255,255|0",
                  clear, "Font|Tahoma|0", "Size|12|0", "Bold|Yes|0", "Italic|No|0", "URL Link|No|0"}},
        /* 2 */ {"24,34,400,18,TEXT,,x",
                 {"Name|IDC_SUBTITLE|0", "Caption|Please read <ProductName>'s license carefully.|0",
                  "Text Align|1|0", "Text Color|230,240,255|0", clear, "Font|Tahoma|0",
                  "Size|8|0", "Bold|No|0", "Italic|No|0", "URL Link|No|0"}},
        /* 3 */ {"0,62,500,2,FRAME,,x", {}},
        /* 4 */ {"16,76,460,150,RICHTEXT,,x", {"Name|IDC_LICENSETEXT|0"}},
        /* 5 */ {"16,236,300,18,RADIO,,x",
                 {"Name|IDC_ACCEPTLICENSE|0", "Text|I accept the terms of <ProductName>'s license|0",
                  "BackColor|COLOR_BTNFACE|0", "Text Color|0,0,0|0"}},
        /* 6 */ {"16,256,300,18,RADIO,,x",
                 {"Name|IDC_NOTACCEPTLICENSE|0", "Text|I do not accept the terms|0", "BackColor|0,64,128|0"}},
        /* 7 */ {"316,236,170,18,CHECKBOX,,x",
                 {"Name|IDC_LAUNCHREADME|0", "Text|Show <ProductName> readme|0", "BackColor||0"}},
        /* 8 */ {"446,262,24,24,ICON,,x", {"x|x|0", "Icon File:|IDI_SETUP|0", "BackColor:||0"}},
        /* 9 */ {"316,262,120,16,TEXT,,x",
                 {"Name|IDC_HELPLINK|0", "Caption|Visit our web site|0", "Text Align|1|0", "Text Color|255,0,0|0",
                  "BackColor||0", "Font|Tahoma|0", "Size|8|0", "Bold|No|0", "Italic|No|0", "URL Link|Yes|0",
                  "On Click|1-Next|0"}},
        /* 10 */ {"16,286,200,14,PROGRESS,,x", {"Name|IDC_PROGRESS1|0"}},
        /* 11 */ {"16,286,200,14,PROGRESS,,x", {"Name|IDC_DOWNLOADPROGRESS|0"}},
        /* 12 */ {"230,284,120,120,COMBOBOX,,x", {"Name|IDC_LANGUAGE|0"}},
        /* 13 */ {"0,312,500,1,FRAME,,x", {}},
        /* 14 */ {"236,326,75,23,BUTTON,,x",
                  {"Name|IDC_BACK|0", "Caption|< &Back|0", "Text Align|0|0", "Font|Tahoma|0", "Size|8|0",
                   "Bold|No|0", "Italic|No|0", "On Click|2-Back|0"}},
        /* 15 */ {"311,326,75,23,BUTTON,,x",
                  {"Name|IDC_NEXT|0", "Caption|&Next >|0", "Text Align|0|0", "Font|Tahoma|0", "Size|8|0",
                   "Bold|No|0", "Italic|No|0", "On Click|1-Next|0"}},
        /* 16 */ {"400,326,75,23,BUTTON,,x",
                  {"Name|IDCANCEL|0", "Caption|Cancel|0", "Text Align|0|0", "Font|Tahoma|0", "Size|8|0",
                   "Bold|No|0", "Italic|No|0"}},
        /* 17 */ {"16,326,20,8,BUTTON,,x", {}},
        /* 18 */ {"110,330,90,16,LISTVIEW,,x", {"a|b|0", "c|d|0", "Style|1 - border|0"}},
        /* 19 */ {"10,326,0,0,TEXTBOX,,x", {}},
        /* 20 */ {"0,0,10,10,NOSUCHTYPE,,x", {"Name|IDC_LOST|0"}},
    };
}

class RecordingHost : public PageHost {
public:
    void OnPageCommand(CPage& page, const PageCommand& command) override {
        commands.push_back(command);
        // As the wizard does on Next: the old page goes while its own
        // command handler is still running.
        if (closeOnCommand) page.Close();
    }
    void OnPageCancel(CPage& page) override { ++cancels; }
    void OnPageClosed(CPage& page) override { ++closed; }

    std::vector<PageCommand> commands;
    bool closeOnCommand = false;
    int cancels = 0;
    int closed = 0;
};

std::string WindowText(HWND hwnd) {
    char text[512] = "";
    ::GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

void Pump(DWORD milliseconds) {
    DWORD start = ::GetTickCount();
    do {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (CPage::PreTranslate(&msg)) continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        ::Sleep(10);
    } while (::GetTickCount() - start < milliseconds);
}

int CaptionHeight() {
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = sizeof metrics;
    ::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    return metrics.iCaptionHeight;
}

class LayoutPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::OleInitialize(nullptr);
        m_theme = TempFolder();
        WriteFile(m_theme + "banner.bmp", BannerBitmap(500, 62));
        m_controls = PageControls();
        WriteFile(m_theme + "license.lcd", LayoutText(kMainWindow, m_controls));
    }
    void TearDown() override {
        if (m_page != nullptr) m_page->Close();
        ::OleUninitialize();
    }

    CPage* Open(int index, int count, bool hidden = false) {
        PageOptions options;
        options.hidden = hidden;
        options.themeFolder = m_theme;
        options.fileName = "license.lcd";
        options.pageIndex = index;
        options.pageCount = count;
        options.host = &m_host;
        options.expand = [](const std::string& text) {
            std::string out = text;
            for (size_t at; (at = out.find("<ProductName>")) != std::string::npos;) out.replace(at, 13, "Widget");
            return out;
        };
        m_page = CPage::Open(options);
        return m_page;
    }

    // Another layout file of the theme, with no page number and no placeholders.
    CPage* OpenFile(const char* fileName) {
        PageOptions options;
        options.themeFolder = m_theme;
        options.fileName = fileName;
        options.host = &m_host;
        m_page = CPage::Open(options);
        return m_page;
    }

    std::string m_theme;
    std::vector<Control> m_controls;
    RecordingHost m_host;
    CPage* m_page = nullptr;
};

TEST_F(LayoutPageTest, WindowIdsRunInCreationOrderAndNamesAreAdoptedOrGenerated) {
    CPage* page = Open(0, 5);
    ASSERT_NE(page, nullptr);
    const int created = static_cast<int>(m_controls.size()) - 1;  // the unknown type creates nothing
    ASSERT_EQ(page->Layout().controls.Count(), created);

    struct Row {
        int record;
        const char* name;
        int id;
    } rows[] = {
        {0, "IDB_BITMAP1", 3000 + created - 1},  // BITMAP adopts no name
        {1, "IDC_TITLE", 3000 + created - 2},
        // Generated names count in creation order, last record first.
        {3, "IDC_FRAME2", 3000 + created - 4},
        {13, "IDC_FRAME1", 3000 + created - 14},
        {15, "IDC_NEXT", 3000 + created - 16},
        {17, "IDC_BUTTON1", 3000 + created - 18},
        {18, "IDC_LISTVIEW1", 3000 + created - 19},
        {19, "IDC_TEXT1", 3000},  // last record created first
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(page->FindControl(r.name), r.record);
        EXPECT_EQ(page->ControlId(r.name), r.id);
        HWND hwnd = page->ControlWindow(r.name);
        ASSERT_NE(hwnd, nullptr);
        EXPECT_EQ(::GetDlgCtrlID(hwnd), r.id);
        EXPECT_EQ(::GetParent(hwnd), page->Handle());
    }
    EXPECT_EQ(page->FindControl("IDC_LOST"), -1);
    EXPECT_EQ(page->ControlWindow("IDC_LOST"), nullptr);

    // The controls were created in id order: the z-order (and tab order)
    // runs from 3000 upwards.
    HWND child = ::GetWindow(page->Handle(), GW_CHILD);
    int expected = 3000;
    for (; child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        // The combo box's list is a separate top-level window; only direct children count.
        if (::GetParent(child) != page->Handle()) continue;
        EXPECT_EQ(::GetDlgCtrlID(child), expected++);
    }
    EXPECT_EQ(expected, 3000 + created);
}

TEST_F(LayoutPageTest, TextsAfterProperties) {
    CPage* page = Open(0, 5);
    ASSERT_NE(page, nullptr);
    struct Row {
        const char* name;
        const char* text;
    } rows[] = {
        {"IDC_TITLE", "License Agreement"},
        {"IDC_SUBTITLE", "Please read Widget's license carefully."},
        {"IDC_ACCEPTLICENSE", "I accept the terms of Widget's license"},   // radio: expanded
        {"IDC_LAUNCHREADME", "Show <ProductName> readme"},                // check box: as written
        {"IDC_NEXT", "&Next >"},
        {"IDC_BUTTON1", ""},              // a button without caption property loses its default text
        {"IDC_LISTVIEW1", "ListView1"},   // no caption position: default text stays
        {"IDC_TEXT1", ""},
    };
    for (const Row& r : rows) EXPECT_EQ(page->GetText(r.name), r.text) << r.name;
    EXPECT_EQ(WindowText(page->Handle()), "Widget Setup");
}

TEST_F(LayoutPageTest, WindowSizeStylesAndPlacement) {
    CPage* page = Open(0, 5);
    ASSERT_NE(page, nullptr);
    RECT r;
    ::GetWindowRect(page->Handle(), &r);
    const int height = CorrectedWindowHeight(400, CaptionHeight());
    EXPECT_EQ(r.right - r.left, 500);
    EXPECT_EQ(r.bottom - r.top, height);
    // startup 05: bottom-right, 35 pixels above the screen's bottom.
    EXPECT_EQ(r.left, ::GetSystemMetrics(SM_CXSCREEN) - 500);
    EXPECT_EQ(r.top, ::GetSystemMetrics(SM_CYSCREEN) - height - 35);

    LONG style = ::GetWindowLongA(page->Handle(), GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_VISIBLE);  // shown by the wizard, not by the page
    EXPECT_TRUE(::GetWindowLongA(page->Handle(), GWL_EXSTYLE) & WS_EX_APPWINDOW);

    // A 20 by 8 button grew to 90 by 25; an ICON is 32 by 32.
    RECT b;
    ::GetWindowRect(page->ControlWindow("IDC_BUTTON1"), &b);
    EXPECT_EQ(b.right - b.left, 90);
    EXPECT_EQ(b.bottom - b.top, 25);
    ::GetWindowRect(page->ControlWindow("IDC_ICON1"), &b);
    EXPECT_EQ(b.right - b.left, 32);

    // First page: Back disabled, Next the default button; the download bar hidden.
    EXPECT_FALSE(::IsWindowEnabled(page->ControlWindow("IDC_BACK")));
    EXPECT_TRUE(::IsWindowEnabled(page->ControlWindow("IDCANCEL")));
    EXPECT_EQ(::GetWindowLongA(page->ControlWindow("IDC_NEXT"), GWL_STYLE) & 0xF, BS_DEFPUSHBUTTON);
    EXPECT_FALSE(::GetWindowLongA(page->ControlWindow("IDC_DOWNLOADPROGRESS"), GWL_STYLE) & WS_VISIBLE);
    EXPECT_TRUE(::GetWindowLongA(page->ControlWindow("IDC_PROGRESS1"), GWL_STYLE) & WS_VISIBLE);
    // The radio's owner-drawn creation style became a plain radio button.
    EXPECT_EQ(::GetWindowLongA(page->ControlWindow("IDC_ACCEPTLICENSE"), GWL_STYLE) & 0xF, BS_RADIOBUTTON);
    EXPECT_TRUE(::GetWindowLongA(page->ControlWindow("IDC_LISTVIEW1"), GWL_STYLE) & WS_BORDER);

    // The combo's table entry records the selection field, not the list.
    const ControlEntry& combo = page->Layout().controls.At(page->FindControl("IDC_LANGUAGE"));
    const int field = static_cast<int>(::SendMessageA(page->ControlWindow("IDC_LANGUAGE"), CB_GETITEMHEIGHT,
                                                      static_cast<WPARAM>(-1), 0));
    EXPECT_EQ(combo.rect.Height(), field + 9);
}

TEST_F(LayoutPageTest, LastPageDisablesBackAndCancel) {
    CPage* page = Open(4, 5);
    ASSERT_NE(page, nullptr);
    EXPECT_FALSE(::IsWindowEnabled(page->ControlWindow("IDC_BACK")));
    EXPECT_FALSE(::IsWindowEnabled(page->ControlWindow("IDCANCEL")));
    EXPECT_TRUE(::IsWindowEnabled(page->ControlWindow("IDC_NEXT")));
}

TEST_F(LayoutPageTest, SkinnedControlColours) {
    CPage* page = Open(1, 5);
    ASSERT_NE(page, nullptr);
    const Colour face = ButtonFaceColour();
    auto* title = static_cast<CSkinLabel*>(page->Control("IDC_TITLE"));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->TextColour(), MakeColour(255, 255, 255));
    EXPECT_FALSE(title->Fills());
    EXPECT_EQ(title->GetAlignment(), Alignment::Left);

    // Given the button face as numbers the label is not filled...
    auto* subtitle = static_cast<CSkinLabel*>(page->Control("IDC_SUBTITLE"));
    subtitle->SetBackColour(ColourText(face));
    EXPECT_FALSE(subtitle->Fills());
    // ...given the keyword it is, with that same colour.
    subtitle->SetBackColour("COLOR_BTNFACE");
    EXPECT_TRUE(subtitle->Fills());
    EXPECT_EQ(subtitle->BackColour(), face);

    // The link is blue and its text colour property says so; turning the
    // link off keeps the blue.
    auto* link = static_cast<CSkinLabel*>(page->Control("IDC_HELPLINK"));
    EXPECT_TRUE(link->IsLink());
    EXPECT_EQ(link->TextColour(), MakeColour(0, 0, 255));
    EXPECT_EQ(page->Layout().controls.At(page->FindControl("IDC_HELPLINK")).ValueAt(3), "0,0,255");
    link->SetLink(false);
    EXPECT_EQ(link->TextColour(), MakeColour(0, 0, 255));

    // Radio: the background resets the text to white; a text colour after it wins.
    auto* accept = static_cast<CSkinOption*>(page->Control("IDC_ACCEPTLICENSE"));
    auto* decline = static_cast<CSkinOption*>(page->Control("IDC_NOTACCEPTLICENSE"));
    EXPECT_EQ(accept->TextColour(), MakeColour(0, 0, 0));
    EXPECT_EQ(accept->BackColour(), face);
    EXPECT_EQ(decline->TextColour(), MakeColour(255, 255, 255));
    EXPECT_EQ(decline->BackColour(), MakeColour(0, 64, 128));
    // Check box: an empty background is the button face, its text black.
    auto* readme = static_cast<CSkinOption*>(page->Control("IDC_LAUNCHREADME"));
    EXPECT_EQ(readme->BackColour(), face);
    EXPECT_EQ(readme->TextColour(), MakeColour(0, 0, 0));

    auto* banner = static_cast<CSkinPicture*>(page->Control("IDB_BITMAP1"));
    ASSERT_NE(banner, nullptr);
    EXPECT_TRUE(banner->HasPicture());
    EXPECT_EQ(banner->PictureSize().cx, 500);
    EXPECT_EQ(banner->PictureSize().cy, 62);
    EXPECT_EQ(banner->BackColour(), face);  // "0 -" means the button face
    m_page->Close();
    // A page nobody will see has the same controls and no pictures.
    EXPECT_FALSE(static_cast<CSkinPicture*>(Open(1, 5, true)->Control("IDB_BITMAP1"))->HasPicture());

    auto* icon = static_cast<CSkinPicture*>(page->Control("IDC_ICON1"));
    const bool haveIcons = ::FindResourceA(nullptr, MAKEINTRESOURCEA(IDI_KQ_SETUP), MAKEINTRESOURCEA(14)) != nullptr;
    if (haveIcons) {
        EXPECT_TRUE(icon->InIconMode());
        // Built-in icon 8 does not exist: nothing changes.
        EXPECT_FALSE(icon->SetBuiltinIcon(8));
        EXPECT_TRUE(icon->InIconMode());
    } else {
        // Without the program's resources linked in, the icon stays empty.
        EXPECT_FALSE(icon->InIconMode());
        EXPECT_FALSE(icon->SetBuiltinIcon(8));
    }
}

TEST_F(LayoutPageTest, ClicksAreRoutedByName) {
    CPage* page = Open(1, 5);
    ASSERT_NE(page, nullptr);
    HWND hwnd = page->Handle();
    auto click = [hwnd, page](const char* name) {
        HWND control = page->ControlWindow(name);
        ::SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(control), BN_CLICKED),
                       reinterpret_cast<LPARAM>(control));
    };

    click("IDC_ACCEPTLICENSE");
    ASSERT_EQ(m_host.commands.size(), 1u);
    EXPECT_EQ(m_host.commands[0].target.route, CommandRoute::License);
    EXPECT_EQ(m_host.commands[0].target.choice, 1);
    EXPECT_EQ(m_host.commands[0].identifierName, "IDC_ACCEPTLICENSE");

    // A label reports a mouse click by itself (statics would let it through).
    HWND link = page->ControlWindow("IDC_HELPLINK");
    ::SendMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    ::SendMessageA(link, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    ASSERT_EQ(m_host.commands.size(), 2u);
    EXPECT_EQ(m_host.commands[1].identifierName, "IDC_HELPLINK");
    EXPECT_EQ(m_host.commands[1].action, kActionNext);
    EXPECT_EQ(m_host.commands[1].target.route, CommandRoute::Wizard);
    EXPECT_EQ(m_host.closed, 0);  // only the three names end the page

    click("IDCANCEL");
    EXPECT_EQ(m_host.cancels, 1);
    EXPECT_EQ(m_host.commands.size(), 2u);
    // Escape and the close box arrive as IDCANCEL from the dialog manager.
    ::SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(m_host.cancels, 2);
    // Enter (IDOK) does nothing.
    ::SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(m_host.commands.size(), 2u);

    // The message loop's hook: Escape on any control asks to cancel, Enter
    // is swallowed, other keys are left to the dialog manager.
    EXPECT_EQ(CPage::FromWindow(page->ControlWindow("IDC_NEXT")), page);
    EXPECT_EQ(CPage::FromWindow(hwnd), page);
    EXPECT_EQ(CPage::FromWindow(::GetDesktopWindow()), nullptr);
    MSG key = {page->ControlWindow("IDC_NEXT"), WM_KEYDOWN, VK_ESCAPE, 0, 0, {}};
    EXPECT_TRUE(CPage::PreTranslate(&key));
    EXPECT_EQ(m_host.cancels, 3);
    key.wParam = VK_RETURN;
    EXPECT_TRUE(CPage::PreTranslate(&key));
    EXPECT_EQ(m_host.commands.size(), 2u);
    EXPECT_EQ(m_host.cancels, 3);
    MSG elsewhere = {::GetDesktopWindow(), WM_KEYDOWN, VK_ESCAPE, 0, 0, {}};
    EXPECT_FALSE(CPage::PreTranslate(&elsewhere));
    EXPECT_EQ(m_host.cancels, 3);

    click("IDC_BACK");
    ASSERT_EQ(m_host.commands.size(), 3u);
    EXPECT_EQ(m_host.commands[2].action, kActionBack);
    // IDC_BACK ends the page: the window is gone and the object with it.
    EXPECT_EQ(m_host.closed, 1);
    EXPECT_FALSE(::IsWindow(hwnd));
    m_page = nullptr;
}

// border 0 drops the title bar, startup 1 keeps the template's size, the
// background picture is stretched over the page, and "no" is not "No".
TEST_F(LayoutPageTest, PlainPageSettings) {
    const std::string layout = "[MAINWINDOW]\r\ncaption=Plain\r\nborder=0\r\nstartup=1\r\nwidth=640\r\n"
                               "height=480\r\nbkimage={" + m_theme + "banner.bmp}\r\nminwindow=Yes\r\n"
                               "closewindow=No\r\nfontname=Arial\r\nfontsize=10\r\nfontbold=no\r\n"
                               "fontitalic=No\r\n[INFO]\r\nTOTAL=1\r\n0=c,10,10,200,20,CHECKBOX,,x,3000\r\n";
    WriteFile(m_theme + "plain.lcd", layout);
    ASSERT_NE(OpenFile("plain.lcd"), nullptr);
    HWND hwnd = m_page->Handle();

    LONG style = ::GetWindowLongA(hwnd, GWL_STYLE);
    EXPECT_FALSE(style & WS_BORDER);
    EXPECT_TRUE(style & WS_DLGFRAME);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_SYSMENU);

    RECT r;
    ::GetWindowRect(hwnd, &r);
    RECT units = {0, 0, 186, 90};
    ::MapDialogRect(hwnd, &units);
    EXPECT_LT(r.right - r.left, 640);
    EXPECT_GE(r.right - r.left, units.right);
    EXPECT_GE(r.bottom - r.top, units.bottom);

    LOGFONTA lf = {};
    ASSERT_TRUE(::GetObjectA(m_page->PageFont(), sizeof lf, &lf));
    EXPECT_STREQ(lf.lfFaceName, "Arial");
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_FALSE(lf.lfItalic);
    // A check box takes the page font when it is created.
    EXPECT_EQ(reinterpret_cast<HFONT>(::SendMessageA(m_page->ControlWindow("IDC_CHECKBOX1"), WM_GETFONT, 0, 0)),
              m_page->PageFont());

    ::SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE);
    m_page->ShowPage(true);
    ::UpdateWindow(hwnd);
    Pump(200);
    RECT client;
    ::GetClientRect(hwnd, &client);
    POINT corners[] = {{client.right - 4, client.bottom - 4}, {4, client.bottom - 4}};
    HDC screen = ::GetDC(nullptr);
    for (POINT p : corners) {
        ::ClientToScreen(hwnd, &p);
        COLORREF c = ::GetPixel(screen, p.x, p.y);
        EXPECT_GT(GetBValue(c), 120) << p.x << "," << p.y;  // the banner's blue, stretched down
        EXPECT_LT(GetRValue(c), 100) << p.x << "," << p.y;
    }
    ::ReleaseDC(nullptr, screen);
}

TEST_F(LayoutPageTest, HostMayClosePageInsideItsCommand) {
    CPage* page = Open(1, 5);
    ASSERT_NE(page, nullptr);
    m_host.closeOnCommand = true;
    HWND hwnd = page->Handle();
    HWND next = page->ControlWindow("IDC_NEXT");
    ::SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(next), BN_CLICKED), reinterpret_cast<LPARAM>(next));
    EXPECT_EQ(m_host.commands.size(), 1u);
    EXPECT_EQ(m_host.closed, 1);
    EXPECT_FALSE(::IsWindow(hwnd));
    m_page = nullptr;
}

TEST_F(LayoutPageTest, MissingLayoutGivesAnEmptyPage) {
    ASSERT_NE(OpenFile("no-such-page.lcd"), nullptr);
    EXPECT_EQ(m_page->Layout().controls.Count(), 0);
    EXPECT_EQ(WindowText(m_page->Handle()), "");
    EXPECT_EQ(::GetWindow(m_page->Handle(), GW_CHILD), nullptr);
}

TEST_F(LayoutPageTest, ShownPagePaints) {
    CPage* page = Open(1, 5);
    ASSERT_NE(page, nullptr);
    page->SetText("IDC_LICENSETEXT",
                  "Widget License\r\n\r\nThis is a sample license text shown in the rich-text control of the "
                  "page. Read it, then choose whether you accept its terms.");
    ::SendMessageA(page->ControlWindow("IDC_LANGUAGE"), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("English"));
    ::SendMessageA(page->ControlWindow("IDC_LANGUAGE"), CB_SETCURSEL, 0, 0);
    page->Progress("IDC_PROGRESS1")->SetRange(100);
    page->Progress("IDC_PROGRESS1")->SetPosition(40);
    page->SetCheck("IDC_NOTACCEPTLICENSE", true);
    page->SetCheck("IDC_LAUNCHREADME", true);
    page->ShowPage(true);
    ::UpdateWindow(page->Handle());
    Pump(200);
    EXPECT_TRUE(::IsWindowVisible(page->Handle()));
    EXPECT_TRUE(page->IsChecked("IDC_NOTACCEPTLICENSE"));
    EXPECT_FALSE(page->IsChecked("IDC_ACCEPTLICENSE"));

    // A label whose text changes is drawn over a freshly painted background.
    page->SetText("IDC_SUBTITLE", "Please read Widget's license carefully, then accept it.");
    Pump(100);
    EXPECT_EQ(page->GetText("IDC_SUBTITLE"), "Please read Widget's license carefully, then accept it.");

    // The transparent subtitle shows the banner beneath it, not the page's
    // button-face background (the banner has no pixel of that colour).
    RECT sub;
    ::GetWindowRect(page->ControlWindow("IDC_SUBTITLE"), &sub);
    HDC screen = ::GetDC(nullptr);
    COLORREF beneath = ::GetPixel(screen, sub.right - 3, sub.top + 1);
    ::ReleaseDC(nullptr, screen);
    EXPECT_NE(beneath, CLR_INVALID);
    EXPECT_NE(beneath, static_cast<COLORREF>(ButtonFaceColour()));
    EXPECT_GT(GetBValue(beneath), 120);  // the banner is blue

    if (const char* hold = std::getenv("KQ_LAYOUT_HOLD_MS")) {
        ::SetWindowPos(page->Handle(), HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
        Pump(static_cast<DWORD>(std::atoi(hold)));
    }
}

}  // namespace
}  // namespace kq
