#include "presentation/billboards_win.h"

#include <ole2.h>

#include "base/file_win.h"
#include "layout/layout_values.h"
#include "layout/picture_win.h"
#include "win/dialog_win.h"
#include "win/gdi_win.h"
#include "win/window_win.h"

namespace kq {
namespace {

constexpr UINT_PTR kAdvanceTimer = 1;
constexpr DWORD kStopWaitMs = 5000;
// A class of its own: tools that look for the wizard's dialogs pass it by.
constexpr char kBillboardClass[] = "MerrowinBillboard";
constexpr wchar_t kBillboardClassW[] = L"MerrowinBillboard";

// The window of the show. It lives on the show's thread only.
class CBillboardWindow : public CDialog {
public:
    CBillboardWindow(const std::vector<Billboard>& list, const std::string& workFolder,
                     const std::string& currentFolder)
        : m_list(list), m_workFolder(workFolder), m_currentFolder(currentFolder) {}

protected:
    bool OnInit() override {
        ::SetWindowTextA(m_hWnd, kBillboardTitle);
        Show(0);
        ::SetTimer(m_hWnd, kAdvanceTimer, BillboardMilliseconds(m_list[0]), nullptr);
        return true;
    }

    INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool* handled) override {
        switch (msg) {
        case WM_TIMER:
            if (wParam == kAdvanceTimer) Advance();
            *handled = true;
            return TRUE;
        case WM_PAINT:
            Paint();
            *handled = true;
            return TRUE;
        case WM_CLOSE:
            ::DestroyWindow(m_hWnd);
            *handled = true;
            return TRUE;
        }
        return FALSE;
    }

private:
    void Advance() {
        ::KillTimer(m_hWnd, kAdvanceTimer);
        ++m_index;
        if (m_index >= m_list.size()) {
            ::DestroyWindow(m_hWnd);
            return;
        }
        ::SetTimer(m_hWnd, kAdvanceTimer, BillboardMilliseconds(m_list[m_index]), nullptr);
        Show(m_index);
    }

    void Show(size_t index) {
        const Billboard& b = m_list[index];
        const std::string path = PickBillboardFile(BillboardCandidates(m_workFolder, m_currentFolder, b.file),
                                                   [](const std::string& p) { return FileExists(p); });
        // A picture that cannot be read leaves the previous one on show.
        m_picture.Load(path.c_str());
        if (!m_picture.IsLoaded()) return;
        // Position and size are pixels of a 96 pixels-per-inch screen.
        const int dpi = ScreenPixelsPerInch();
        const SIZE size = m_picture.ScaledSize(dpi);
        ::SetWindowPos(m_hWnd, HWND_TOPMOST, ScaleToDpi(b.left, dpi), ScaleToDpi(b.top, dpi), size.cx, size.cy,
                       SWP_NOACTIVATE | SWP_SHOWWINDOW);
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
    }

    void Paint() {
        ScopedPaint paint(m_hWnd);
        if (!m_picture.IsLoaded()) return;
        m_picture.RenderScaled(paint.Dc(), 0, 0, ScreenPixelsPerInch());
    }

    const std::vector<Billboard>& m_list;
    const std::string& m_workFolder;
    const std::string& m_currentFolder;
    size_t m_index = 0;
    CPicture m_picture;
};

}  // namespace

CBillboards::CBillboards() { m_stopEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr); }

CBillboards::~CBillboards() {
    Stop();
    if (m_stopEvent != nullptr) ::CloseHandle(m_stopEvent);
}

bool CBillboards::Start(const std::vector<Billboard>& list, const std::string& workFolder,
                        const std::string& currentFolder) {
    Stop();
    if (list.empty() || m_stopEvent == nullptr) return false;
    m_list = list;
    m_workFolder = workFolder;
    m_currentFolder = currentFolder;
    DWORD id = 0;
    m_thread = ::CreateThread(nullptr, 0, &CBillboards::ThreadProc, this, 0, &id);
    return m_thread != nullptr;
}

void CBillboards::Stop() {
    if (m_thread == nullptr) return;
    ::SetEvent(m_stopEvent);
    PumpWait(m_thread, kStopWaitMs);
    ::CloseHandle(m_thread);
    m_thread = nullptr;
    ::ResetEvent(m_stopEvent);
}

DWORD WINAPI CBillboards::ThreadProc(void* self) {
    static_cast<CBillboards*>(self)->Run();
    return 0;
}

void CBillboards::Run() {
    // The picture loader needs OLE on the thread that loads.
    const HRESULT ole = ::OleInitialize(nullptr);
    {
        CBillboardWindow window(m_list, m_workFolder, m_currentFolder);
        // Borderless and never in the way of the wizard's keyboard.
        RegisterDialogClass(kBillboardClass);
        static const DialogTemplate kTemplate(WS_POPUP, 188, 90, L"", 8, L"MS Shell Dlg", kBillboardClassW);
        if (window.CreateIndirect(kTemplate.Get(), nullptr)) {
            // The window's own loop, which also listens for the owner's stop.
            while (window.IsWindow()) {
                const DWORD woke = ::MsgWaitForMultipleObjects(1, &m_stopEvent, FALSE, INFINITE, QS_ALLINPUT);
                if (woke == WAIT_OBJECT_0) {
                    window.Destroy();
                    break;
                }
                MSG msg;
                while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                    ::TranslateMessage(&msg);
                    ::DispatchMessageA(&msg);
                }
            }
        }
    }
    if (SUCCEEDED(ole)) ::OleUninitialize();
}

}  // namespace kq
