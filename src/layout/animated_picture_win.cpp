#include "layout/animated_picture_win.h"

#include "layout/layout_values.h"
#include "win/gdi_win.h"
#include "win/window_win.h"

namespace kq {
namespace {

// How long Unload waits for the animation thread, and the longest a frame
// waits whatever its delay says.
constexpr DWORD kStopWaitMs = 5000;
constexpr DWORD kLongestFrameMs = 10000;

}  // namespace

CAnimatedPicture::CAnimatedPicture() { m_stopEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr); }

CAnimatedPicture::~CAnimatedPicture() {
    Unload();
    if (m_stopEvent != nullptr) ::CloseHandle(m_stopEvent);
}

bool CAnimatedPicture::LoadFile(const char* path) {
    HANDLE file = ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const DWORD size = ::GetFileSize(file, nullptr);
    HGLOBAL memory = nullptr;
    if (size != INVALID_FILE_SIZE && size > 0 && size <= kMaxPictureBytes) {
        memory = ::GlobalAlloc(GMEM_MOVEABLE, size);
        void* bytes = memory != nullptr ? ::GlobalLock(memory) : nullptr;
        DWORD read = 0;
        const BOOL ok = bytes != nullptr && ::ReadFile(file, bytes, size, &read, nullptr) && read == size;
        if (bytes != nullptr) ::GlobalUnlock(memory);
        if (!ok && memory != nullptr) {
            ::GlobalFree(memory);
            memory = nullptr;
        }
    }
    ::CloseHandle(file);
    return memory != nullptr && Load(memory, size);
}

bool CAnimatedPicture::Load(HGLOBAL memory, DWORD size) {
    Unload();
    if (memory == nullptr) return false;
    const uint8_t* bytes = size > 0 ? static_cast<const uint8_t*>(::GlobalLock(memory)) : nullptr;
    if (bytes == nullptr) {
        ::GlobalFree(memory);
        return false;
    }
    const GifLayout layout = ReadGifLayout(bytes, size);
    bool loaded = false;
    switch (layout.kind) {
    case GifKind::NoImage:
    case GifKind::TooLarge:
        ::GlobalUnlock(memory);
        ::GlobalFree(memory);
        return false;
    case GifKind::Animated:
        m_isGif = true;
        loaded = LoadFrames(bytes, size, layout);
        m_size = SIZE{layout.width, layout.height};
        ::GlobalUnlock(memory);
        ::GlobalFree(memory);
        break;
    case GifKind::Still:
    case GifKind::NotGif:
        m_isGif = layout.kind == GifKind::Still;
        ::GlobalUnlock(memory);
        loaded = m_still.LoadGlobal(memory, size);
        m_size = m_still.PixelSize();
        break;
    }
    if (!loaded || !Prepare()) {
        Unload();
        return false;
    }
    return true;
}

bool CAnimatedPicture::LoadFrames(const uint8_t* data, DWORD size, const GifLayout& layout) {
    for (const GifFrame& info : layout.frames) {
        const size_t length = GifFrameFileSize(layout, info);
        HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, length);
        if (memory == nullptr) continue;
        void* out = ::GlobalLock(memory);
        if (out == nullptr) {
            ::GlobalFree(memory);
            continue;
        }
        WriteGifFrameFile(data, size, layout, info, static_cast<uint8_t*>(out));
        ::GlobalUnlock(memory);
        // A frame the loader refuses is left out; the others still play.
        std::unique_ptr<Frame> frame(new Frame);
        frame->info = info;
        if (frame->picture.LoadGlobal(memory, static_cast<DWORD>(length))) m_frames.push_back(std::move(frame));
    }
    return !m_frames.empty();
}

bool CAnimatedPicture::Prepare() {
    if (m_hWnd == nullptr || m_size.cx <= 0 || m_size.cy <= 0) return false;
    // The memory bitmap is as large as the picture: a lying size must not
    // take the process's memory.
    if (static_cast<uint64_t>(m_size.cx) * static_cast<uint64_t>(m_size.cy) > kGifMaxFramePixels) return false;
    m_dpi = ScreenPixelsPerInch();
    m_shown = SIZE{ScaleToDpi(m_size.cx, m_dpi), ScaleToDpi(m_size.cy, m_dpi)};
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, m_shown.cx, m_shown.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ScopedWindowDC window(m_hWnd);
    if (window.Dc() == nullptr) return false;
    m_memoryDc = ::CreateCompatibleDC(window.Dc());
    if (m_memoryDc == nullptr) return false;
    m_bitmap = ::CreateCompatibleBitmap(window.Dc(), m_size.cx, m_size.cy);
    if (m_bitmap == nullptr) return false;
    m_previousBitmap = ::SelectObject(m_memoryDc, m_bitmap);
    RECT all = {0, 0, m_size.cx, m_size.cy};
    // System brush value 5: a colour index plus one, here the menu colour.
    ::FillRect(m_memoryDc, &all, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1)));
    m_background = ::GetSysColor(COLOR_BTNFACE);
    m_ready = true;
    return true;
}

void CAnimatedPicture::Draw() {
    if (!m_ready) return;
    if (m_isGif && m_frames.size() > 1) {
        if (m_thread != nullptr) {
            // Played once already: a finished thread may start again, a
            // running one goes on.
            if (::WaitForSingleObject(m_thread, 0) == WAIT_TIMEOUT) return;
            ::CloseHandle(m_thread);
            m_thread = nullptr;
        }
        m_framesShown = 0;
        DWORD id = 0;
        m_thread = ::CreateThread(nullptr, 0, &CAnimatedPicture::ThreadProc, this, CREATE_SUSPENDED, &id);
        if (m_thread != nullptr) ::ResumeThread(m_thread);
        return;
    }
    const CPicture& picture = m_frames.empty() ? m_still : m_frames.front()->picture;
    if (picture.Render(m_memoryDc, 0, 0, m_size.cx, m_size.cy)) {
        ::InterlockedIncrement(&m_framesShown);
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
    }
}

DWORD WINAPI CAnimatedPicture::ThreadProc(void* self) {
    static_cast<CAnimatedPicture*>(self)->Animate();
    return 0;
}

void CAnimatedPicture::FillBackground(const RECT& rect) {
    ScopedBrush brush(::CreateSolidBrush(m_background));
    ::FillRect(m_memoryDc, &rect, brush);
}

void CAnimatedPicture::Animate() {
    HANDLE timer = ::CreateWaitableTimerA(nullptr, TRUE, nullptr);
    if (timer == nullptr) return;
    for (const std::unique_ptr<Frame>& frame : m_frames) {
        if (m_stop) break;
        const GifFrame& info = frame->info;
        const RECT area = {info.left, info.top, info.left + info.width, info.top + info.height};

        // Disposal 3 puts back what was under the frame: keep a copy of it.
        ScopedBitmap saved;
        if (info.disposal == 3) {
            ScopedMemoryDC copy(m_memoryDc);
            saved.Reset(::CreateCompatibleBitmap(m_memoryDc, info.width, info.height));
            if (copy.Dc() != nullptr && saved.Get() != nullptr) {
                ScopedSelect select(copy.Dc(), saved);
                ::BitBlt(copy.Dc(), 0, 0, info.width, info.height, m_memoryDc, info.left, info.top, SRCCOPY);
            }
        }
        if (frame->picture.Render(m_memoryDc, info.left, info.top, info.width, info.height)) {
            ::InterlockedIncrement(&m_framesShown);
            ::InvalidateRect(m_hWnd, nullptr, FALSE);
        }
        if (m_stop) break;

        const unsigned waitMs = GifFrameWaitMs(info.delay);
        if (waitMs > 0) {
            LARGE_INTEGER due;
            due.QuadPart = -static_cast<LONGLONG>(waitMs) * 10000;  // relative, 100 ns units
            ::SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE);
            HANDLE wakers[2] = {timer, m_stopEvent};
            ::WaitForMultipleObjects(2, wakers, FALSE, kLongestFrameMs);
        }
        if (m_stop) break;

        if (info.disposal == 2) {
            FillBackground(area);
        } else if (info.disposal == 3 && saved.Get() != nullptr) {
            ScopedMemoryDC copy(m_memoryDc);
            if (copy.Dc() != nullptr) {
                ScopedSelect select(copy.Dc(), saved);
                ::BitBlt(m_memoryDc, info.left, info.top, info.width, info.height, copy.Dc(), 0, 0, SRCCOPY);
            }
        }
    }
    ::CloseHandle(timer);
}

void CAnimatedPicture::Unload() {
    ::InterlockedExchange(&m_stop, 1);
    if (m_stopEvent != nullptr) ::SetEvent(m_stopEvent);
    if (m_thread != nullptr) {
        PumpWait(m_thread, kStopWaitMs);
        ::CloseHandle(m_thread);
        m_thread = nullptr;
    }
    if (m_stopEvent != nullptr) ::ResetEvent(m_stopEvent);
    ::InterlockedExchange(&m_stop, 0);

    m_frames.clear();
    m_still.Clear();
    if (m_memoryDc != nullptr) {
        if (m_previousBitmap != nullptr) ::SelectObject(m_memoryDc, m_previousBitmap);
        ::DeleteDC(m_memoryDc);
    }
    if (m_bitmap != nullptr) ::DeleteObject(m_bitmap);
    m_memoryDc = nullptr;
    m_bitmap = nullptr;
    m_previousBitmap = nullptr;
    m_size = SIZE{0, 0};
    m_isGif = false;
    m_ready = false;
    m_background = RGB(255, 255, 255);
}

std::vector<HGDIOBJ> CAnimatedPicture::GdiObjects() const {
    std::vector<HGDIOBJ> objects;
    if (m_memoryDc != nullptr) objects.push_back(m_memoryDc);
    if (m_bitmap != nullptr) objects.push_back(m_bitmap);
    if (HGDIOBJ still = m_still.GdiHandle()) objects.push_back(still);
    for (const std::unique_ptr<Frame>& frame : m_frames) {
        if (HGDIOBJ handle = frame->picture.GdiHandle()) objects.push_back(handle);
    }
    return objects;
}

LRESULT CAnimatedPicture::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT: {
        ScopedPaint paint(m_hWnd);
        if (m_ready) {
            SetPictureStretchMode(paint.Dc(), m_dpi);
            ::StretchBlt(paint.Dc(), 0, 0, m_shown.cx, m_shown.cy, m_memoryDc, 0, 0, m_size.cx, m_size.cy, SRCCOPY);
        }
        return 0;
    }
    case WM_ERASEBKGND:
        if (m_ready) return 1;
        break;
    case WM_DESTROY:
        Unload();
        break;
    default:
        break;
    }
    return CSkinControl::OnMessage(msg, wParam, lParam);
}

}  // namespace kq
