// Inside GDI: the object records behind the handles, the handle table and the pixel view of a bitmap.
// Only the GDI sources of the platform include this.
#pragma once

#include "platform/WinGdi.h"

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <mutex>

namespace text {
struct FontInstance;
}

namespace gdi {

// Every GDI call holds this lock for its whole run; the pixel loops run under it too.
std::recursive_mutex& Lock();
typedef std::lock_guard<std::recursive_mutex> Guard;

enum class Kind : uint8_t { Bitmap, Brush, Pen, Font, Dc };

// Pixel formats of our surfaces. Xrgb8888 keeps whatever its top byte holds on same-format copies.
enum class PixFmt : uint8_t { Mono, Rgb555, Rgb565, Rgb888, Xrgb8888 };

// A view of pixels: row y starts at row0 + y * pitch (pitch is negative for bottom-up memory).
struct Surface {
    BYTE* row0 = nullptr;
    ptrdiff_t pitch = 0;
    int width = 0;
    int height = 0;
    PixFmt fmt = PixFmt::Mono;
    BYTE* Row(int y) const { return row0 + y * pitch; }
};

struct Object {
    explicit Object(Kind k) : kind(k) {}
    virtual ~Object() = default;
    Kind kind;
    bool stock = false;   // never deleted; may be selected into any number of contexts
    int selectCount = 0;  // contexts that hold it selected
    bool surface = false; // the screen surface: drawn through screen contexts only
};

// Pixel memory comes from calloc, so that large surfaces start as untouched zero pages.
struct FreeBits {
    void operator()(BYTE* p) const { std::free(p); }
};

struct BitmapObj : Object {
    BitmapObj() : Object(Kind::Bitmap) {}
    int width = 0;
    int height = 0;
    int bitsPixel = 0;
    PixFmt fmt = PixFmt::Mono;
    int stride = 0; // bytes per row as stored
    bool bottomUp = false;
    bool isDib = false;
    BITMAPINFOHEADER bmih{};
    DWORD masks[3] = {0, 0, 0};
    std::unique_ptr<BYTE, FreeBits> bits;
    Surface View() const;
};

struct BrushObj : Object {
    BrushObj() : Object(Kind::Brush) {}
    LOGBRUSH lb{};
};

struct PenObj : Object {
    PenObj() : Object(Kind::Pen) {}
    LOGPEN lp{};
};

struct FontObj : Object {
    FontObj() : Object(Kind::Font) {}
    LOGFONTW lf{};
    // The face and size the record resolved to (see text/FontEngine.h); stock fonts resolve on first use.
    bool resolved = false;
    std::shared_ptr<text::FontInstance> instance;
};

enum class DcType : uint8_t { Memory, Screen, Window, Host };

struct DcObj : Object {
    DcObj() : Object(Kind::Dc) {}
    DcType type = DcType::Memory;
    HGDIOBJ bitmap = nullptr; // memory contexts: the selected bitmap; others: the screen surface
    HGDIOBJ brush = nullptr;
    HGDIOBJ pen = nullptr;
    HGDIOBJ font = nullptr;
    COLORREF textColor = 0x000000;
    COLORREF bkColor = 0xFFFFFF;
    int bkMode = OPAQUE;
    int stretchMode = BLACKONWHITE;
    POINT origin{0, 0};   // device position of logical (0, 0)
    bool hasClip = false; // clip, in device coordinates, further limits drawing
    RECT clip{0, 0, 0, 0};
};

// The table. Find* return NULL (and set ERROR_INVALID_HANDLE) for anything that is not a live object
// of the wanted kind.
Object* Find(HGDIOBJ h);
BitmapObj* FindBitmap(HGDIOBJ h);
BrushObj* FindBrush(HGDIOBJ h);
FontObj* FindFont(HGDIOBJ h);
DcObj* FindDc(HDC h);
HGDIOBJ Insert(std::unique_ptr<Object> obj);

// The drawing surface of a context and its clip rectangle in device coordinates (the surface bounds
// and the context's clip intersected). FALSE when the context has nothing to draw on.
BOOL DcSurface(DcObj* dc, Surface* surface, RECT* clip);

// Pixel values and colours.
DWORD ColorToPixel(PixFmt fmt, COLORREF color);
COLORREF PixelToColor(PixFmt fmt, DWORD pixel);
DWORD LoadPixel(const Surface& s, int x, int y);
void StorePixel(const Surface& s, int x, int y, DWORD pixel);

} // namespace gdi
