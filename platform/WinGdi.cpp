// GDI objects: the handle table, stock objects, bitmaps, brushes, pens, fonts, device contexts and
// the screen's capabilities.
#include "platform/WinGdi.h"
#include "platform/GdiHost.h"
#include "platform/GdiObjects.h"
#include "platform/Platform.h"
#include "platform/WinSystem.h"
#include "platform/text/FontEngine.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace gdi {

namespace {

// Handles carry a slot index and the slot's generation, so a handle of a deleted object stays invalid
// after its slot is reused.
constexpr unsigned kGenBits = 12;
constexpr uintptr_t kGenMask = (uintptr_t(1) << kGenBits) - 1;

struct Slot {
    std::unique_ptr<Object> obj;
    unsigned gen = 1;
};

struct Table {
    std::vector<Slot> slots;
    std::vector<size_t> freeSlots;
    int live = 0; // objects that are not stock
    HGDIOBJ stockObjects[DEFAULT_GUI_FONT + 1] = {};
    HGDIOBJ defaultBitmap = nullptr;
    HGDIOBJ screenBitmap = nullptr;
    int screenDcs = 0;
    PlatformWindowDcProvider windowDcProvider = nullptr;
    PlatformScreenDcReleased screenDcReleased = nullptr;
};

// The table itself; T() also makes the stock objects on first use.
Table& RawTable() {
    static Table* table = new Table; // lives to the end of the process: static objects may hold handles
    return *table;
}
Table& T();

HGDIOBJ MakeHandle(size_t index, unsigned gen) {
    return reinterpret_cast<HGDIOBJ>(((uintptr_t(index) + 1) << kGenBits) | (gen & kGenMask));
}

Slot* SlotOf(HGDIOBJ h) {
    uintptr_t v = reinterpret_cast<uintptr_t>(h);
    uintptr_t index = v >> kGenBits;
    Table& t = RawTable();
    if (index == 0 || index > t.slots.size())
        return nullptr;
    Slot& slot = t.slots[index - 1];
    if (!slot.obj || (slot.gen & kGenMask) != (v & kGenMask))
        return nullptr;
    return &slot;
}

void Remove(HGDIOBJ h) {
    Slot* slot = SlotOf(h);
    if (!slot)
        return;
    if (!slot->obj->stock && !slot->obj->surface)
        RawTable().live--;
    slot->obj.reset();
    slot->gen++;
    RawTable().freeSlots.push_back(static_cast<size_t>(slot - RawTable().slots.data()));
}

HGDIOBJ MakeStockBrush(COLORREF color, UINT style) {
    auto b = std::make_unique<BrushObj>();
    b->stock = true;
    b->lb.lbStyle = style;
    b->lb.lbColor = color;
    return Insert(std::move(b));
}

HGDIOBJ MakeStockPen(COLORREF color, UINT style) {
    auto p = std::make_unique<PenObj>();
    p->stock = true;
    p->lp.lopnStyle = style;
    p->lp.lopnWidth.x = 1;
    p->lp.lopnColor = color;
    return Insert(std::move(p));
}

// The system font as the device reports it: Tahoma, 12 pixels of character height, normal weight.
HGDIOBJ MakeStockFont() {
    auto f = std::make_unique<FontObj>();
    f->stock = true;
    f->lf.lfHeight = -12;
    f->lf.lfWeight = FW_NORMAL;
    f->lf.lfCharSet = ANSI_CHARSET;
    f->lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    f->lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    f->lf.lfQuality = DEFAULT_QUALITY;
    f->lf.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    const char16_t face[] = u"Tahoma";
    std::memcpy(f->lf.lfFaceName, face, sizeof(face));
    return Insert(std::move(f));
}

int RowBytes(int width, int bitsPixel, int align) {
    long long bits = static_cast<long long>(width) * bitsPixel;
    long long units = (bits + align * 8 - 1) / (align * 8);
    return static_cast<int>(units * align);
}

// Allocates a bitmap record with zeroed pixels; NULL (and ERROR_NOT_ENOUGH_MEMORY) when too large.
std::unique_ptr<BitmapObj> NewBitmap(int width, int height, int bitsPixel, PixFmt fmt, int align) {
    long long stride = RowBytes(width, bitsPixel, align);
    long long size = stride * height;
    if (static_cast<long long>(width) * bitsPixel > 0x7FFFFFFFLL || size > 0x7FFFFFFFLL) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto bmp = std::make_unique<BitmapObj>();
    bmp->bits.reset(static_cast<BYTE*>(std::calloc(static_cast<size_t>(size), 1)));
    if (!bmp->bits) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    bmp->width = width;
    bmp->height = height;
    bmp->bitsPixel = bitsPixel;
    bmp->fmt = fmt;
    bmp->stride = static_cast<int>(stride);
    return bmp;
}

Table& T() {
    Table& t = RawTable();
    static bool stockMade = false;
    if (!stockMade) {
        stockMade = true;
        t.stockObjects[WHITE_BRUSH] = MakeStockBrush(RGB(255, 255, 255), BS_SOLID);
        t.stockObjects[LTGRAY_BRUSH] = MakeStockBrush(RGB(192, 192, 192), BS_SOLID);
        t.stockObjects[GRAY_BRUSH] = MakeStockBrush(RGB(128, 128, 128), BS_SOLID);
        t.stockObjects[DKGRAY_BRUSH] = MakeStockBrush(RGB(64, 64, 64), BS_SOLID);
        t.stockObjects[BLACK_BRUSH] = MakeStockBrush(RGB(0, 0, 0), BS_SOLID);
        t.stockObjects[NULL_BRUSH] = MakeStockBrush(RGB(0, 0, 0), BS_NULL);
        t.stockObjects[WHITE_PEN] = MakeStockPen(RGB(255, 255, 255), PS_SOLID);
        t.stockObjects[BLACK_PEN] = MakeStockPen(RGB(0, 0, 0), PS_SOLID);
        t.stockObjects[NULL_PEN] = MakeStockPen(RGB(0, 0, 0), PS_NULL);
        t.stockObjects[SYSTEM_FONT] = MakeStockFont();
        t.stockObjects[DEFAULT_GUI_FONT] = MakeStockFont();
        auto mono = NewBitmap(1, 1, 1, PixFmt::Mono, 2);
        mono->stock = true;
        t.defaultBitmap = Insert(std::move(mono));
    }
    return t;
}

template <class R> R* FindKind(HGDIOBJ h, Kind kind) {
    Object* o = Find(h);
    if (o && o->kind != kind) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return static_cast<R*>(o);
}

// The screen surface, (re)made to the current screen settings when no screen context is out.
HGDIOBJ ScreenBitmap() {
    Table& t = T();
    int w = PlatformScreenWidth();
    int h = PlatformScreenHeight();
    int bpp = PlatformScreenBitsPerPixel() == 32 ? 32 : 16;
    if (t.screenBitmap) {
        BitmapObj* cur = static_cast<BitmapObj*>(SlotOf(t.screenBitmap)->obj.get());
        if ((cur->width == w && cur->height == h && cur->bitsPixel == bpp) || t.screenDcs > 0)
            return t.screenBitmap;
        Remove(t.screenBitmap);
        t.screenBitmap = nullptr;
    }
    BITMAPINFO* bmi = nullptr;
    struct {
        BITMAPINFOHEADER h;
        DWORD masks[3];
    } info{};
    info.h.biSize = sizeof(BITMAPINFOHEADER);
    info.h.biWidth = w;
    info.h.biHeight = h;
    info.h.biPlanes = 1;
    info.h.biBitCount = static_cast<WORD>(bpp);
    info.h.biCompression = bpp == 16 ? BI_BITFIELDS : BI_RGB;
    info.masks[0] = 0xF800;
    info.masks[1] = 0x07E0;
    info.masks[2] = 0x001F;
    bmi = reinterpret_cast<BITMAPINFO*>(&info);
    void* bits = nullptr;
    HBITMAP hbm = CreateDIBSection(nullptr, bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!hbm)
        return nullptr;
    Object* o = Find(hbm);
    o->surface = true;
    t.live--;
    t.screenBitmap = hbm;
    return hbm;
}

HDC NewScreenDc(DcType type, int originX, int originY, const RECT* clip) {
    HGDIOBJ screen = ScreenBitmap();
    if (!screen)
        return nullptr;
    auto dc = std::make_unique<DcObj>();
    dc->type = type;
    dc->bitmap = screen;
    dc->brush = T().stockObjects[WHITE_BRUSH];
    dc->pen = T().stockObjects[BLACK_PEN];
    dc->font = T().stockObjects[SYSTEM_FONT];
    dc->origin.x = originX;
    dc->origin.y = originY;
    if (clip) {
        dc->hasClip = true;
        dc->clip = *clip;
    }
    T().screenDcs++;
    return static_cast<HDC>(Insert(std::move(dc)));
}

void Deselect(HGDIOBJ h) {
    if (Slot* s = SlotOf(h))
        s->obj->selectCount--;
}

void FreeDc(HDC hdc, DcObj* dc) {
    if (dc->type == DcType::Memory) {
        Deselect(dc->bitmap);
    } else {
        T().screenDcs--;
    }
    Deselect(dc->brush);
    Deselect(dc->pen);
    Deselect(dc->font);
    Remove(hdc);
}

} // namespace

std::recursive_mutex& Lock() {
    static std::recursive_mutex* m = new std::recursive_mutex;
    return *m;
}

Object* Find(HGDIOBJ h) {
    Slot* s = SlotOf(h);
    if (!s) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return s->obj.get();
}

BitmapObj* FindBitmap(HGDIOBJ h) {
    return FindKind<BitmapObj>(h, Kind::Bitmap);
}
BrushObj* FindBrush(HGDIOBJ h) {
    return FindKind<BrushObj>(h, Kind::Brush);
}
FontObj* FindFont(HGDIOBJ h) {
    return FindKind<FontObj>(h, Kind::Font);
}
DcObj* FindDc(HDC h) {
    return FindKind<DcObj>(h, Kind::Dc);
}

HGDIOBJ Insert(std::unique_ptr<Object> obj) {
    Table& t = RawTable();
    size_t index;
    if (!t.freeSlots.empty()) {
        index = t.freeSlots.back();
        t.freeSlots.pop_back();
    } else {
        index = t.slots.size();
        t.slots.emplace_back();
    }
    if (!obj->stock && !obj->surface)
        t.live++;
    t.slots[index].obj = std::move(obj);
    return MakeHandle(index, t.slots[index].gen);
}

Surface BitmapObj::View() const {
    Surface s;
    s.width = width;
    s.height = height;
    s.fmt = fmt;
    if (bottomUp) {
        s.row0 = bits.get() + static_cast<ptrdiff_t>(height - 1) * stride;
        s.pitch = -static_cast<ptrdiff_t>(stride);
    } else {
        s.row0 = bits.get();
        s.pitch = stride;
    }
    return s;
}

} // namespace gdi

using namespace gdi;

// ---------------------------------------------------------------------------------------------------
// Host side.

HBITMAP PlatformGetScreenBitmap() {
    Guard g(Lock());
    T();
    return static_cast<HBITMAP>(ScreenBitmap());
}

HDC PlatformCreateScreenDC(int originX, int originY, const RECT* clip) {
    Guard g(Lock());
    T();
    return NewScreenDc(DcType::Host, originX, originY, clip);
}

void PlatformSetWindowDcProvider(PlatformWindowDcProvider provider) {
    Guard g(Lock());
    T().windowDcProvider = provider;
}

void PlatformSetScreenDcReleaseHook(PlatformScreenDcReleased hook) {
    Guard g(Lock());
    T().screenDcReleased = hook;
}

int PlatformGdiObjectCount() {
    Guard g(Lock());
    return T().live;
}

// ---------------------------------------------------------------------------------------------------
// Device contexts.

HDC GetDC(HWND hWnd) {
    Guard g(Lock());
    Table& t = T();
    if (!hWnd)
        return NewScreenDc(DcType::Screen, 0, 0, nullptr);
    POINT origin{0, 0};
    RECT clip{0, 0, 0, 0};
    if (!t.windowDcProvider || !t.windowDcProvider(hWnd, &origin, &clip)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return NewScreenDc(DcType::Window, origin.x, origin.y, &clip);
}

int ReleaseDC(HWND, HDC hdc) {
    Guard g(Lock());
    T();
    DcObj* dc = FindDc(hdc);
    if (!dc)
        return 0;
    if (dc->type != DcType::Screen && dc->type != DcType::Window)
        return 0;
    RECT changed = dc->hasClip ? dc->clip : RECT{0, 0, PlatformScreenWidth(), PlatformScreenHeight()};
    FreeDc(hdc, dc);
    if (PlatformScreenDcReleased released = T().screenDcReleased)
        released(&changed);
    return 1;
}

HDC CreateCompatibleDC(HDC hdc) {
    Guard g(Lock());
    Table& t = T();
    if (hdc && !FindDc(hdc))
        return nullptr;
    auto dc = std::make_unique<DcObj>();
    dc->type = DcType::Memory;
    dc->bitmap = t.defaultBitmap;
    dc->brush = t.stockObjects[WHITE_BRUSH];
    dc->pen = t.stockObjects[BLACK_PEN];
    dc->font = t.stockObjects[SYSTEM_FONT];
    for (HGDIOBJ h : {dc->bitmap, dc->brush, dc->pen, dc->font})
        SlotOf(h)->obj->selectCount++;
    return static_cast<HDC>(Insert(std::move(dc)));
}

BOOL DeleteDC(HDC hdc) {
    Guard g(Lock());
    T();
    DcObj* dc = FindDc(hdc);
    if (!dc)
        return FALSE;
    FreeDc(hdc, dc);
    return TRUE;
}

int GetDeviceCaps(HDC hdc, int index) {
    Guard g(Lock());
    T();
    if (!FindDc(hdc))
        return 0;
    int w = PlatformScreenWidth();
    int h = PlatformScreenHeight();
    int bpp = PlatformScreenBitsPerPixel() == 32 ? 32 : 16;
    const int dpi = 96;
    switch (index) {
        case DRIVERVERSION:
            return 0x0500;
        case TECHNOLOGY:
            return DT_RASDISPLAY;
        case HORZSIZE:
            return (w * 254 + dpi * 5) / (dpi * 10); // millimetres, rounded
        case VERTSIZE:
            return (h * 254 + dpi * 5) / (dpi * 10);
        case HORZRES:
            return w;
        case VERTRES:
            return h;
        case BITSPIXEL:
            return bpp;
        case PLANES:
            return 1;
        case NUMCOLORS:
            return -1;
        case NUMBRUSHES:
        case NUMPENS:
            return -1;
        case ASPECTX:
        case ASPECTY:
            return 36;
        case ASPECTXY:
            return 51;
        case RASTERCAPS:
            return RC_BITBLT | RC_BITMAP64 | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT | RC_STRETCHDIB;
        case LOGPIXELSX:
        case LOGPIXELSY:
            return dpi;
        case SIZEPALETTE:
        case NUMRESERVED:
            return 0;
        case COLORRES:
            return bpp == 32 ? 24 : 16;
        default:
            return 0;
    }
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj) {
    Guard g(Lock());
    T();
    DcObj* dc = FindDc(hdc);
    if (!dc)
        return nullptr;
    Object* o = Find(obj);
    if (!o)
        return nullptr;
    HGDIOBJ* field = nullptr;
    switch (o->kind) {
        case Kind::Bitmap:
            // Only memory contexts take bitmaps, and a bitmap lives in one context at a time.
            if (dc->type != DcType::Memory || o->surface) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return nullptr;
            }
            if (dc->bitmap == obj)
                return obj;
            if (!o->stock && o->selectCount > 0) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return nullptr;
            }
            field = &dc->bitmap;
            break;
        case Kind::Brush:
            field = &dc->brush;
            break;
        case Kind::Pen:
            field = &dc->pen;
            break;
        case Kind::Font:
            field = &dc->font;
            break;
        case Kind::Dc:
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
    }
    HGDIOBJ previous = *field;
    if (previous == obj)
        return previous;
    Deselect(previous);
    o->selectCount++;
    *field = obj;
    return previous;
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type) {
    Guard g(Lock());
    T();
    DcObj* dc = FindDc(hdc);
    if (!dc)
        return nullptr;
    switch (type) {
        case OBJ_BITMAP:
            return dc->bitmap;
        case OBJ_BRUSH:
            return dc->brush;
        case OBJ_PEN:
            return dc->pen;
        case OBJ_FONT:
            return dc->font;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
    }
}

namespace {

// Replaces one attribute of a device context and returns the previous value; the failure value when
// the handle is no device context, or (with ERROR_INVALID_PARAMETER) when the value is not one the
// attribute takes.
template <typename V> V ExchangeDcAttribute(HDC hdc, V DcObj::*field, V value, V failure, bool valid = true) {
    Guard g(Lock());
    T();
    DcObj* dc = FindDc(hdc);
    if (!dc)
        return failure;
    if (!valid) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return failure;
    }
    V previous = dc->*field;
    dc->*field = value;
    return previous;
}

template <typename V> V GetDcAttribute(HDC hdc, V DcObj::*field, V failure) {
    Guard g(Lock());
    T();
    DcObj* dc = FindDc(hdc);
    return dc ? dc->*field : failure;
}

} // namespace

int SetStretchBltMode(HDC hdc, int mode) {
    return ExchangeDcAttribute(hdc, &DcObj::stretchMode, mode, 0, mode >= BLACKONWHITE && mode <= HALFTONE);
}

int GetStretchBltMode(HDC hdc) {
    return GetDcAttribute(hdc, &DcObj::stretchMode, 0);
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
    return ExchangeDcAttribute<COLORREF>(hdc, &DcObj::textColor, color, CLR_INVALID);
}

COLORREF GetTextColor(HDC hdc) {
    return GetDcAttribute<COLORREF>(hdc, &DcObj::textColor, CLR_INVALID);
}

COLORREF SetBkColor(HDC hdc, COLORREF color) {
    return ExchangeDcAttribute<COLORREF>(hdc, &DcObj::bkColor, color, CLR_INVALID);
}

COLORREF GetBkColor(HDC hdc) {
    return GetDcAttribute<COLORREF>(hdc, &DcObj::bkColor, CLR_INVALID);
}

int SetBkMode(HDC hdc, int mode) {
    return ExchangeDcAttribute(hdc, &DcObj::bkMode, mode, 0, mode == TRANSPARENT || mode == OPAQUE);
}

int GetBkMode(HDC hdc) {
    return GetDcAttribute(hdc, &DcObj::bkMode, 0);
}

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom) {
    Guard g(Lock());
    T();
    DcObj* dc = FindDc(hdc);
    if (!dc)
        return RGN_ERROR;
    auto device = [](long long v) {
        return static_cast<LONG>(
            std::clamp<long long>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    };
    RECT r{device(static_cast<long long>(left) + dc->origin.x),
           device(static_cast<long long>(top) + dc->origin.y),
           device(static_cast<long long>(right) + dc->origin.x),
           device(static_cast<long long>(bottom) + dc->origin.y)};
    if (dc->hasClip) {
        r.left = std::max(r.left, dc->clip.left);
        r.top = std::max(r.top, dc->clip.top);
        r.right = std::min(r.right, dc->clip.right);
        r.bottom = std::min(r.bottom, dc->clip.bottom);
    }
    // An inverted rectangle leaves nothing.
    r.right = std::max(r.right, r.left);
    r.bottom = std::max(r.bottom, r.top);
    dc->hasClip = true;
    dc->clip = r;
    return r.left < r.right && r.top < r.bottom ? SIMPLEREGION : NULLREGION;
}

// ---------------------------------------------------------------------------------------------------
// Objects.

HGDIOBJ GetStockObject(int index) {
    Guard g(Lock());
    Table& t = T();
    if (index < 0 || index > DEFAULT_GUI_FONT || !t.stockObjects[index]) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return t.stockObjects[index];
}

namespace {

int CopyOut(const void* record, int size, int cb, LPVOID buffer) {
    if (!buffer)
        return size;
    int n = cb < size ? cb : size;
    std::memcpy(buffer, record, static_cast<size_t>(n));
    return n;
}

BITMAP DescribeBitmap(const BitmapObj* b) {
    BITMAP bm{};
    bm.bmType = 0;
    bm.bmWidth = b->width;
    bm.bmHeight = b->height;
    bm.bmWidthBytes = b->stride;
    bm.bmPlanes = 1;
    bm.bmBitsPixel = static_cast<WORD>(b->bitsPixel);
    bm.bmBits = b->isDib ? b->bits.get() : nullptr;
    return bm;
}

} // namespace

int GetObjectW(HGDIOBJ obj, int cb, LPVOID buffer) {
    Guard g(Lock());
    T();
    Object* o = Find(obj);
    if (!o)
        return 0;
    if (buffer && cb <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    switch (o->kind) {
        case Kind::Bitmap: {
            const BitmapObj* b = static_cast<BitmapObj*>(o);
            if (!buffer)
                return sizeof(BITMAP);
            if (b->isDib && cb >= static_cast<int>(sizeof(DIBSECTION))) {
                DIBSECTION ds{};
                ds.dsBm = DescribeBitmap(b);
                ds.dsBmih = b->bmih;
                for (int i = 0; i < 3; i++)
                    ds.dsBitfields[i] = b->masks[i];
                std::memcpy(buffer, &ds, sizeof(ds));
                return sizeof(DIBSECTION);
            }
            if (cb < static_cast<int>(sizeof(BITMAP))) {
                SetLastError(ERROR_INSUFFICIENT_BUFFER);
                return 0;
            }
            BITMAP bm = DescribeBitmap(b);
            std::memcpy(buffer, &bm, sizeof(bm));
            return sizeof(BITMAP);
        }
        case Kind::Brush:
            return CopyOut(&static_cast<BrushObj*>(o)->lb, sizeof(LOGBRUSH), cb, buffer);
        case Kind::Pen:
            return CopyOut(&static_cast<PenObj*>(o)->lp, sizeof(LOGPEN), cb, buffer);
        case Kind::Font:
            return CopyOut(&static_cast<FontObj*>(o)->lf, sizeof(LOGFONTW), cb, buffer);
        case Kind::Dc:
            break;
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
}

DWORD GetObjectType(HGDIOBJ obj) {
    Guard g(Lock());
    T();
    Object* o = Find(obj);
    if (!o)
        return 0;
    switch (o->kind) {
        case Kind::Bitmap:
            return OBJ_BITMAP;
        case Kind::Brush:
            return OBJ_BRUSH;
        case Kind::Pen:
            return OBJ_PEN;
        case Kind::Font:
            return OBJ_FONT;
        case Kind::Dc:
            return static_cast<DcObj*>(o)->type == DcType::Memory ? OBJ_MEMDC : OBJ_DC;
    }
    return 0;
}

BOOL DeleteObject(HGDIOBJ obj) {
    Guard g(Lock());
    T();
    Object* o = Find(obj);
    if (!o)
        return FALSE;
    if (o->kind == Kind::Dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (o->stock)
        return TRUE;
    if (o->surface || o->selectCount > 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Remove(obj);
    return TRUE;
}

HBRUSH CreateSolidBrush(COLORREF color) {
    Guard g(Lock());
    T();
    auto b = std::make_unique<BrushObj>();
    b->lb.lbStyle = BS_SOLID;
    b->lb.lbColor = color & 0x00FFFFFF;
    return static_cast<HBRUSH>(Insert(std::move(b)));
}

HPEN CreatePen(int style, int width, COLORREF color) {
    Guard g(Lock());
    T();
    if (style < PS_SOLID || style > PS_NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto p = std::make_unique<PenObj>();
    p->lp.lopnStyle = static_cast<UINT>(style);
    p->lp.lopnWidth.x = width < 0 ? 0 : width;
    p->lp.lopnColor = color & 0x00FFFFFF;
    return static_cast<HPEN>(Insert(std::move(p)));
}

HFONT CreateFontIndirectW(const LOGFONTW* logFont) {
    Guard g(Lock());
    T();
    if (!logFont) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto f = std::make_unique<FontObj>();
    f->lf = *logFont;
    f->lf.lfFaceName[LF_FACESIZE - 1] = 0;
    // The face is found now, so that a font that cannot be served is refused here, with its reason
    // in the log, rather than drawing nothing later.
    f->instance = text::ResolveFont(f->lf);
    f->resolved = true;
    if (!f->instance) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return static_cast<HFONT>(Insert(std::move(f)));
}

// ---------------------------------------------------------------------------------------------------
// Bitmaps.

HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* bmi, UINT usage, void** bits, HANDLE section, DWORD) {
    Guard g(Lock());
    T();
    if (bits)
        *bits = nullptr;
    if (hdc && !FindDc(hdc))
        return nullptr;
    if (!bmi || section || (usage != DIB_RGB_COLORS && usage != DIB_PAL_COLORS)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const BITMAPINFOHEADER& h = bmi->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biWidth <= 0 || h.biHeight == 0 || h.biPlanes != 1 ||
        h.biHeight == static_cast<LONG>(0x80000000u)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // The masks of BI_BITFIELDS follow a 40-byte header; larger headers carry them at the same place.
    const BYTE* base = reinterpret_cast<const BYTE*>(bmi);
    DWORD masks[3] = {0, 0, 0};
    if (h.biCompression == BI_BITFIELDS)
        std::memcpy(masks, base + sizeof(BITMAPINFOHEADER), sizeof(masks));
    PixFmt fmt;
    if (h.biBitCount == 16 && h.biCompression == BI_RGB) {
        fmt = PixFmt::Rgb555;
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    } else if (h.biBitCount == 16 && h.biCompression == BI_BITFIELDS && masks[0] == 0xF800 &&
               masks[1] == 0x07E0 && masks[2] == 0x001F) {
        fmt = PixFmt::Rgb565;
    } else if (h.biBitCount == 16 && h.biCompression == BI_BITFIELDS && masks[0] == 0x7C00 &&
               masks[1] == 0x03E0 && masks[2] == 0x001F) {
        fmt = PixFmt::Rgb555;
    } else if (h.biBitCount == 24 && h.biCompression == BI_RGB) {
        fmt = PixFmt::Rgb888;
    } else if (h.biBitCount == 32 &&
               (h.biCompression == BI_RGB || (h.biCompression == BI_BITFIELDS && masks[0] == 0xFF0000 &&
                                              masks[1] == 0x00FF00 && masks[2] == 0x0000FF))) {
        fmt = PixFmt::Xrgb8888;
        masks[0] = 0xFF0000;
        masks[1] = 0x00FF00;
        masks[2] = 0x0000FF;
    } else {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    auto bmp = NewBitmap(h.biWidth, height, h.biBitCount, fmt, 4);
    if (!bmp)
        return nullptr;
    bmp->isDib = true;
    bmp->bottomUp = h.biHeight > 0;
    bmp->bmih = h;
    bmp->bmih.biSize = sizeof(BITMAPINFOHEADER);
    bmp->bmih.biSizeImage = static_cast<DWORD>(bmp->stride) * static_cast<DWORD>(height);
    for (int i = 0; i < 3; i++)
        bmp->masks[i] = masks[i];
    void* p = bmp->bits.get();
    HBITMAP hbm = static_cast<HBITMAP>(Insert(std::move(bmp)));
    if (bits)
        *bits = p;
    return hbm;
}

namespace {

HBITMAP NewDeviceBitmap(int width, int height, int bitsPixel, const void* init) {
    PixFmt fmt;
    switch (bitsPixel) {
        case 1:
            fmt = PixFmt::Mono;
            break;
        case 16:
            fmt = PixFmt::Rgb565;
            break;
        case 24:
            fmt = PixFmt::Rgb888;
            break;
        case 32:
            fmt = PixFmt::Xrgb8888;
            break;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
    }
    auto bmp = NewBitmap(width, height, bitsPixel, fmt, 2);
    if (!bmp)
        return nullptr;
    if (init)
        std::memcpy(bmp->bits.get(), init, static_cast<size_t>(bmp->stride) * static_cast<size_t>(height));
    return static_cast<HBITMAP>(Insert(std::move(bmp)));
}

} // namespace

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
    Guard g(Lock());
    Table& t = T();
    if (width < 0 || height < 0 || planes != 1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (width == 0 || height == 0)
        return static_cast<HBITMAP>(t.defaultBitmap);
    return NewDeviceBitmap(width, height, static_cast<int>(bitsPerPixel), bits);
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height) {
    Guard g(Lock());
    Table& t = T();
    DcObj* dc = FindDc(hdc);
    if (!dc)
        return nullptr;
    if (width < 0 || height < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (width == 0 || height == 0)
        return static_cast<HBITMAP>(t.defaultBitmap);
    int bpp = PlatformScreenBitsPerPixel() == 32 ? 32 : 16;
    if (dc->type == DcType::Memory) {
        BitmapObj* selected = FindBitmap(dc->bitmap);
        bpp = selected ? selected->bitsPixel : 1;
    }
    return NewDeviceBitmap(width, height, bpp, nullptr);
}
