#include "app/variables_win.h"

#include <windows.h>

#include "base/file_win.h"
#include "layout/layout_values.h"
#include "net/http_win.h"
#include "win/gdi_win.h"
#include "win/registry_win.h"

namespace kq {
namespace {

constexpr char kWaitText[] = "Please Wait, Retrieving System Information...";

class CWinVariableMachine : public VariableMachine {
public:
    ~CWinVariableMachine() override { CloseWaitWindow(); }

    std::string ReadRegistry(RegistryRoot root, const std::string& key, const std::string& value) override {
        return reg::ReadString(RootKeyHandle(root), CutRegistryText(key).c_str(), CutRegistryText(value).c_str());
    }
    bool Exists(const std::string& path) override { return PathExists(path); }
    std::string ReadIni(const std::string& file, const std::string& section, const std::string& key) override {
        char value[255] = {};
        ::GetPrivateProfileStringA(section.c_str(), key.c_str(), "", value, sizeof(value), file.c_str());
        return value;
    }
    std::string FetchText(const std::string& address) override { return kq::FetchText(address); }
    // An empty class or title means any: the query gets null for it, so a
    // variable that names only a title (or only a class) finds its window.
    bool WindowExists(const std::string& windowClass, const std::string& title) override {
        return ::FindWindowA(windowClass.empty() ? nullptr : windowClass.c_str(),
                             title.empty() ? nullptr : title.c_str()) != nullptr;
    }

    // A plain static popup: the work that follows blocks the message loop,
    // so it is painted once, at once, and needs no procedure of its own.
    void ShowWaitWindow() override {
        if (m_window != nullptr) return;
        const int dpi = ScreenPixelsPerInch();
        const int width = ScaleToDpi(320, dpi), height = ScaleToDpi(60, dpi);
        const int x = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
        const int y = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
        m_window = ::CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "STATIC", kWaitText,
                                     WS_POPUP | WS_BORDER | WS_VISIBLE | SS_CENTER | SS_CENTERIMAGE, x, y, width,
                                     height, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
        if (m_window == nullptr) return;
        m_font =
            ::CreateFontA(-ScaleToDpi(13, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Tahoma");
        if (m_font != nullptr) ::SendMessageA(m_window, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
        ::UpdateWindow(m_window);
    }
    void CloseWaitWindow() override {
        if (m_window != nullptr) ::SendMessageA(m_window, WM_CLOSE, 0, 0);
        m_window = nullptr;
        if (m_font != nullptr) ::DeleteObject(m_font);
        m_font = nullptr;
    }

private:
    HWND m_window = nullptr;
    HFONT m_font = nullptr;
};

}  // namespace

void LoadRunVariables(SetupRun& run, const Script& script) {
    CWinVariableMachine machine;
    UserVariableTable table =
        ComputeVariables(ReadVariableSpecs(script),
                         [&run](const std::string& text, const UserVariableTable& earlier) {
                             return run.Expand(text, earlier);
                         },
                         machine);
    run.SetVariables(std::move(table));
}

}  // namespace kq
