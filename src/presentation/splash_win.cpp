#include "presentation/splash_win.h"

#include "base/file_win.h"
#include "presentation/sound_win.h"

namespace kq {
namespace {

// A class of its own: tools that look for the wizard's dialogs pass it by.
constexpr char kSplashClass[] = "MerrowinSplash";
constexpr wchar_t kSplashClassW[] = L"MerrowinSplash";

// Windows keeps the topmost splash above the start page that opens after it,
// but a display without a window manager (Wine on a bare X server) raises
// each newly activated window over it, and a window already first in the
// system's order is not restacked again. So the splash steps out of the
// topmost band and back this often while it shows (on Windows a no-op it
// does not show). An id beyond the timers of the rules.
constexpr UINT_PTR kKeepOnTopTimer = 100;
constexpr UINT kKeepOnTopMs = 250;

}  // namespace

CSplash::CSplash(const RunModes& modes, RunProgress& progress, HWND frame)
    : m_modes(modes), m_progress(progress), m_frame(frame) {}

CSplash::~CSplash() {
    if (m_hWnd != nullptr) ::DestroyWindow(m_hWnd);
}

bool CSplash::Create(const SplashSettings& settings, const std::string& sourceFolder) {
    if (!WantsSplash(settings)) return false;
    m_settings = settings;
    m_sourceFolder = sourceFolder;
    // No owner: the splash stands on its own while the frame is still hidden.
    RegisterDialogClass(kSplashClass);
    static const DialogTemplate kTemplate(WS_POPUP | WS_BORDER, 40, 20, L"", 8, L"MS Shell Dlg", kSplashClassW);
    return CreateIndirect(kTemplate.Get(), nullptr);
}

bool CSplash::OnInit() {
    ::ShowWindow(m_hWnd, SW_HIDE);
    ::SetWindowTextA(m_hWnd, kSplashTitle);

    bool soundFound = false;
    if (m_settings.playSound) {
        const std::string sound = SplashFilePath(m_sourceFolder, m_settings.soundName);
        if (FileExists(sound)) {
            m_soundPath = sound;
            m_soundPending = true;
            soundFound = true;
        }
    }
    for (const SplashTimerStart& timer : SplashTimers(m_settings, m_modes.diskImage, soundFound))
        ::SetTimer(m_hWnd, timer.id, timer.periodMs, nullptr);

    if (!m_settings.showPicture) return true;
    ControlRect rect;
    rect.right = 1;
    rect.bottom = 1;
    const std::string picture = SplashFilePath(m_sourceFolder, m_settings.pictureName);
    // Without its picture the splash stays hidden but still paces the start-up.
    if (!FileExists(picture) || !m_picture.CreateControl("STATIC", "", WS_CHILD | WS_VISIBLE, 0, rect, m_hWnd,
                                                         kSplashPictureId))
        return true;
    if (!m_picture.LoadFile(picture.c_str())) return true;

    const SIZE size = m_picture.ShownSize();
    RECT frame = {0, 0, size.cx, size.cy};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_EXSTYLE)));
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const ScreenPoint origin =
        CentredOrigin(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), width, height);
    // Above the start page and the background that come up behind it.
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, origin.x, origin.y, width, height, SWP_NOACTIVATE);
    ::SetWindowPos(m_picture.Handle(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_picture.Draw();
    ::ShowWindow(m_hWnd, SW_SHOWNA);
    ::UpdateWindow(m_hWnd);
    ::SetTimer(m_hWnd, kKeepOnTopTimer, kKeepOnTopMs, nullptr);
    return true;
}

INT_PTR CSplash::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool* handled) {
    switch (msg) {
    case WM_TIMER:
        OnTimer(wParam);
        *handled = true;
        return TRUE;
    case WM_CLOSE:
        // Alt+F4 on the splash: it goes, and the start-up goes on without it.
        Finish();
        Close();
        *handled = true;
        return TRUE;
    }
    return FALSE;
}

void CSplash::OnTimer(UINT_PTR id) {
    if (id == kKeepOnTopTimer) {
        ::SetWindowPos(m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        return;
    }
    const SplashTickAction action =
        OnSplashTick(static_cast<unsigned>(id), m_settings, m_modes.diskImage, m_progress.startupWorkDone);
    if (action.stopTimer) ::KillTimer(m_hWnd, id);
    if (action.playSound && m_soundPending) {
        m_soundPending = false;
        PlaySoundFile(m_soundPath.c_str(), !m_settings.soundOnce);
    }
    if (action.markWorkDone) m_progress.startupWorkDone = true;
    if (action.markClosed) Finish();
    if (action.closeWindow) Close();
}

void CSplash::Finish() {
    if (m_progress.splashFinished) return;
    m_progress.splashFinished = true;
    if (m_frame != nullptr) ::PostMessageA(m_frame, kSplashEndedMessage, 0, 0);
}

void CSplash::Close() {
    // A splash that closes before its sound was due still plays it: the
    // author asked for it, and nothing waits for it.
    if (m_soundPending) {
        m_soundPending = false;
        PlaySoundFile(m_soundPath.c_str(), !m_settings.soundOnce);
    }
    m_picture.Unload();
    ::DestroyWindow(m_hWnd);
}

}  // namespace kq
