// Pictures loaded with the system picture loader: the whole file is read
// into movable global memory, wrapped in a stream and handed to
// OleLoadPicture, so bitmaps, JPEG, GIF (first frame), icons and metafiles
// all work. The caller must have initialised OLE.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include "base/file_win.h"
#include "base/no_copy.h"

namespace kq {

// Pictures of a page or a splash are small; a file past this size is not one
// of them and is not read.
constexpr DWORD kMaxPictureBytes = 64u * 1024 * 1024;

class CPicture : private NoCopy {
public:
    CPicture() = default;
    ~CPicture() { Clear(); }

    // False (and the previous picture kept) when the file cannot be read or
    // is not a picture.
    bool Load(const char* path);
    // The same from a movable global memory block of `size` bytes, which this
    // call takes over whatever the outcome.
    bool LoadGlobal(HGLOBAL memory, DWORD size);
    void Clear();
    bool IsLoaded() const { return m_picture != nullptr; }

    // Size in screen pixels, from the picture's HIMETRIC extent.
    SIZE PixelSize() const { return m_pixels; }
    // True when the picture has transparent parts or its attributes cannot be read.
    bool IsTransparent() const;
    HPALETTE Palette() const;

    // Draws the whole picture into the rectangle (stretched to it); false
    // when there is no picture or the loader's renderer fails.
    bool Render(HDC dc, int x, int y, int width, int height) const;
    // Its size on a screen of `dpi` pixels per inch (ScaleToDpi of each side).
    SIZE ScaledSize(int dpi) const;
    // Draws it at x, y at that size, smoothed where it grows.
    bool RenderScaled(HDC dc, int x, int y, int dpi) const;
    // The GDI object behind the picture (a bitmap, icon or metafile), or null.
    HGDIOBJ GdiHandle() const;

private:
    IPicture* m_picture = nullptr;
    SIZE m_pixels = {0, 0};
};

// The stretch mode for pictures grown to a screen of `dpi` pixels per inch:
// HALFTONE (with its brush origin), so they come out smooth rather than
// blocky; where the system has no HALFTONE (95, 98, ME), and at 96 where
// nothing grows, COLORONCOLOR as ever.
void SetPictureStretchMode(HDC dc, int dpi);

}  // namespace kq
