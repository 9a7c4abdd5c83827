// Pictures loaded with the system picture loader: the whole file is read
// into movable global memory, wrapped in a stream and handed to
// OleLoadPicture, so bitmaps, JPEG, GIF (first frame), icons and metafiles
// all work. The caller must have initialised OLE.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include "base/file_win.h"

namespace kq {

class CPicture {
public:
    CPicture() = default;
    ~CPicture() { Clear(); }
    CPicture(const CPicture&) = delete;
    CPicture& operator=(const CPicture&) = delete;

    // False (and the previous picture kept) when the file cannot be read or
    // is not a picture.
    bool Load(const char* path);
    void Clear();
    bool IsLoaded() const { return m_picture != nullptr; }

    // Size in screen pixels, from the picture's HIMETRIC extent.
    SIZE PixelSize() const { return m_pixels; }
    // True when the picture has transparent parts or its attributes cannot be read.
    bool IsTransparent() const;
    HPALETTE Palette() const;

    // Draws the whole picture into the rectangle (stretched to it).
    void Render(HDC dc, int x, int y, int width, int height) const;

private:
    IPicture* m_picture = nullptr;
    SIZE m_pixels = {0, 0};
};

}  // namespace kq
