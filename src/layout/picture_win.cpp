#include "layout/picture_win.h"

#include "layout/layout_values.h"
#include "win/gdi_win.h"
#include "win/system_library_win.h"

namespace kq {

bool CPicture::Load(const char* path) {
    HANDLE file = ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD size = ::GetFileSize(file, nullptr);
    HGLOBAL memory = nullptr;
    if (size != INVALID_FILE_SIZE && size > 0 && size <= kMaxPictureBytes) {
        memory = ::GlobalAlloc(GMEM_MOVEABLE, size);
        if (memory != nullptr) {
            void* bytes = ::GlobalLock(memory);
            DWORD read = 0;
            BOOL ok = bytes != nullptr && ::ReadFile(file, bytes, size, &read, nullptr) && read == size;
            if (bytes != nullptr) ::GlobalUnlock(memory);
            if (!ok) {
                ::GlobalFree(memory);
                memory = nullptr;
            }
        }
    }
    ::CloseHandle(file);
    return memory != nullptr && LoadGlobal(memory, size);
}

bool CPicture::LoadGlobal(HGLOBAL memory, DWORD size) {
    // Bound when a picture is first loaded, not through the import table: a
    // run that shows no page never loads the decoder's library.
    static const auto decode = SystemProc<decltype(&::OleLoadPicture)>("oleaut32.dll", "OleLoadPicture");
    IPicture* picture = nullptr;
    IStream* stream = nullptr;
    if (decode != nullptr && SUCCEEDED(::CreateStreamOnHGlobal(memory, TRUE, &stream))) {
        // The stream now owns the memory.
        memory = nullptr;
        if (FAILED(decode(stream, static_cast<LONG>(size), FALSE, IID_IPicture, reinterpret_cast<void**>(&picture)))) {
            picture = nullptr;
        }
        stream->Release();
    }
    if (memory != nullptr) ::GlobalFree(memory);
    if (picture == nullptr) return false;

    Clear();
    m_picture = picture;
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    m_picture->get_Width(&width);
    m_picture->get_Height(&height);
    ScopedWindowDC screen(nullptr);
    m_pixels.cx = HimetricToPixels(width, ::GetDeviceCaps(screen.Dc(), LOGPIXELSX));
    m_pixels.cy = HimetricToPixels(height, ::GetDeviceCaps(screen.Dc(), LOGPIXELSY));
    return true;
}

void CPicture::Clear() {
    if (m_picture != nullptr) m_picture->Release();
    m_picture = nullptr;
    m_pixels = SIZE{0, 0};
}

bool CPicture::IsTransparent() const {
    if (m_picture == nullptr) return false;
    DWORD attributes = 0;
    if (FAILED(m_picture->get_Attributes(&attributes))) return true;
    return (attributes & PICTURE_TRANSPARENT) != 0;
}

HPALETTE CPicture::Palette() const {
    OLE_HANDLE palette = 0;
    if (m_picture == nullptr || FAILED(m_picture->get_hPal(&palette))) return nullptr;
    return reinterpret_cast<HPALETTE>(static_cast<UINT_PTR>(palette));
}

bool CPicture::Render(HDC dc, int x, int y, int width, int height) const {
    if (m_picture == nullptr) return false;
    OLE_XSIZE_HIMETRIC hmWidth = 0;
    OLE_YSIZE_HIMETRIC hmHeight = 0;
    m_picture->get_Width(&hmWidth);
    m_picture->get_Height(&hmHeight);
    // HIMETRIC runs upwards: start at the bottom and draw with a negative height.
    return SUCCEEDED(m_picture->Render(dc, x, y, width, height, 0, hmHeight, hmWidth, -hmHeight, nullptr));
}

SIZE CPicture::ScaledSize(int dpi) const {
    return SIZE{ScaleToDpi(m_pixels.cx, dpi), ScaleToDpi(m_pixels.cy, dpi)};
}

bool CPicture::RenderScaled(HDC dc, int x, int y, int dpi) const {
    ScopedSaveDC saved(dc);
    SetPictureStretchMode(dc, dpi);
    const SIZE size = ScaledSize(dpi);
    return Render(dc, x, y, size.cx, size.cy);
}

void SetPictureStretchMode(HDC dc, int dpi) {
    // 95, 98 and ME (the high bit of the version) take HALFTONE without
    // having it.
    const bool hasHalftone = (::GetVersion() & 0x80000000u) == 0;
    if (dpi != kLayoutDpi && hasHalftone && ::SetStretchBltMode(dc, HALFTONE) != 0) {
        ::SetBrushOrgEx(dc, 0, 0, nullptr);
        return;
    }
    ::SetStretchBltMode(dc, COLORONCOLOR);
}

HGDIOBJ CPicture::GdiHandle() const {
    OLE_HANDLE handle = 0;
    if (m_picture == nullptr || FAILED(m_picture->get_Handle(&handle))) return nullptr;
    return reinterpret_cast<HGDIOBJ>(static_cast<UINT_PTR>(handle));
}

}  // namespace kq
