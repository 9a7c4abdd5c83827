// A picture control that plays animated GIFs. Still pictures (and GIFs of a
// single image) go whole to the system picture loader. An animated GIF is cut
// into single-frame GIFs (layout/gif_frames.h), each loaded as a picture of
// its own, and played once on an animation thread with the frames' delays and
// disposal methods; the last frame stays.
//
// Everything is drawn into a memory bitmap of the picture's size; painting
// copies that bitmap to the window. The animation thread draws into the
// bitmap and invalidates the window; the user-interface thread only paints.
// The two share a stop flag (written by the user-interface thread, read by
// the thread after each draw and wait) and a stop event that cuts a wait short.
// The caller must have initialised OLE.
#pragma once
#include <windows.h>

#include <memory>
#include <vector>

#include "layout/gif_frames.h"
#include "layout/picture_win.h"
#include "layout/skin_controls_win.h"

namespace kq {

class CAnimatedPicture : public CSkinControl {
public:
    CAnimatedPicture();
    ~CAnimatedPicture() override;

    // Reads the whole file (others may read it meanwhile) and loads it; false
    // when the file cannot be read, is larger than kMaxPictureBytes or is no
    // picture. The control's window must exist: it is resized to the picture.
    bool LoadFile(const char* path);
    // Loads a picture from a movable global memory block of `size` bytes,
    // which this call takes over whatever the outcome.
    bool Load(HGLOBAL memory, DWORD size);
    SIZE GetSize() const { return m_size; }
    // The window's size: the picture's grown with the screen's pixels per inch.
    SIZE ShownSize() const { return m_shown; }
    // Starts showing: a still picture is drawn once, an animation starts
    // its thread. Nothing until a picture is loaded.
    void Draw();
    // Stops the thread (waiting up to 5 s) and releases every picture and the
    // memory bitmap. Also done at window destruction and at each Load.
    void Unload();

    // For tests and diagnostics.
    int FrameCount() const { return static_cast<int>(m_frames.size()); }
    bool IsReady() const { return m_ready; }
    // Frames drawn since the last Draw.
    LONG FramesShown() const { return m_framesShown; }
    HANDLE AnimationThread() const { return m_thread; }
    COLORREF PixelAt(int x, int y) const { return m_memoryDc ? ::GetPixel(m_memoryDc, x, y) : CLR_INVALID; }
    // The GDI objects this control holds: memory bitmap and DC, and the
    // loaded pictures' bitmaps.
    std::vector<HGDIOBJ> GdiObjects() const;

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    struct Frame {
        CPicture picture;
        GifFrame info;
    };

    bool LoadFrames(const uint8_t* data, DWORD size, const GifLayout& layout);
    bool Prepare();
    static DWORD WINAPI ThreadProc(void* self);
    void Animate();
    void FillBackground(const RECT& rect);

    std::vector<std::unique_ptr<Frame>> m_frames;
    CPicture m_still;
    SIZE m_size = {0, 0};   // the picture's own: the frames are composed at it
    SIZE m_shown = {0, 0};  // on the screen, grown with its pixels per inch
    int m_dpi = 96;
    HDC m_memoryDc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_previousBitmap = nullptr;
    COLORREF m_background = RGB(255, 255, 255);
    bool m_isGif = false;
    bool m_ready = false;
    volatile LONG m_stop = 0;
    volatile LONG m_framesShown = 0;
    HANDLE m_stopEvent = nullptr;  // manual reset
    HANDLE m_thread = nullptr;
};

}  // namespace kq
