// Graphics device interface: bitmaps (device-independent sections and device bitmaps), device
// contexts, brushes, pens, fonts and the block transfers between bitmaps, with the names, types,
// values and failure rules of the device's GDI. Pixels are our own software code; see GdiHost.h for
// the screen surface the display backends show.
#pragma once

#include "platform/WinTypes.h"

// ---------------------------------------------------------------------------------------------------
// Records.

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
typedef BITMAPINFOHEADER* LPBITMAPINFOHEADER;
typedef BITMAPINFOHEADER* PBITMAPINFOHEADER;
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER is 40 bytes");

// With BI_BITFIELDS the three colour masks (red, green, blue) follow the header as DWORDs, in the place
// of the first three bmiColors entries.
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};
typedef BITMAPINFO* LPBITMAPINFO;
typedef BITMAPINFO* PBITMAPINFO;

// The 14-byte header of a BMP file (packed as on the device).
#pragma pack(push, 2)
struct BITMAPFILEHEADER {
    WORD bfType;
    DWORD bfSize;
    WORD bfReserved1;
    WORD bfReserved2;
    DWORD bfOffBits;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPFILEHEADER) == 14, "BITMAPFILEHEADER is 14 bytes");

struct BITMAP {
    LONG bmType;       // always 0
    LONG bmWidth;      // pixels
    LONG bmHeight;     // pixels, always positive (the row order is in DIBSECTION::dsBmih.biHeight)
    LONG bmWidthBytes; // bytes per row: a multiple of 4 for DIB sections, of 2 for device bitmaps
    WORD bmPlanes;     // 1
    WORD bmBitsPixel;  // 1, 16, 24 or 32
    LPVOID bmBits;     // the pixels of a DIB section; NULL for a device bitmap
};
typedef BITMAP* LPBITMAP;
typedef BITMAP* PBITMAP;

struct DIBSECTION {
    BITMAP dsBm;
    BITMAPINFOHEADER dsBmih; // as given to CreateDIBSection, biSizeImage filled in
    DWORD dsBitfields[3];    // red, green, blue masks of 16- and 32-bit sections; 0 for 24-bit
    HANDLE dshSection;       // always NULL (no file-mapping sections)
    DWORD dsOffset;
};
typedef DIBSECTION* LPDIBSECTION;

#define LF_FACESIZE 32

struct LOGFONTW {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[LF_FACESIZE];
};
typedef LOGFONTW* LPLOGFONTW;
typedef LOGFONTW* PLOGFONTW;
typedef LOGFONTW LOGFONT;
typedef LOGFONTW* LPLOGFONT;
static_assert(sizeof(LOGFONTW) == 92, "LOGFONTW is 92 bytes");

struct LOGBRUSH {
    UINT lbStyle;
    COLORREF lbColor;
    ULONG_PTR lbHatch;
};
typedef LOGBRUSH* LPLOGBRUSH;

struct LOGPEN {
    UINT lopnStyle;
    POINT lopnWidth;
    COLORREF lopnColor;
};
typedef LOGPEN* LPLOGPEN;

// Passed by value to alpha blends (the framework's own loops read it).
struct BLENDFUNCTION {
    BYTE BlendOp;
    BYTE BlendFlags;
    BYTE SourceConstantAlpha;
    BYTE AlphaFormat;
};
typedef BLENDFUNCTION* PBLENDFUNCTION;
#define AC_SRC_OVER 0x00
#define AC_SRC_ALPHA 0x01

// ---------------------------------------------------------------------------------------------------
// Constants.

// Compression of a DIB.
#define BI_RGB 0L
#define BI_RLE8 1L
#define BI_RLE4 2L
#define BI_BITFIELDS 3L

// Colour-table usage of CreateDIBSection.
#define DIB_RGB_COLORS 0
#define DIB_PAL_COLORS 1

// Raster operations (ternary: pattern, source, destination).
#define SRCCOPY 0x00CC0020u
#define SRCPAINT 0x00EE0086u
#define SRCAND 0x008800C6u
#define SRCINVERT 0x00660046u
#define SRCERASE 0x00440328u
#define NOTSRCCOPY 0x00330008u
#define NOTSRCERASE 0x001100A6u
#define MERGECOPY 0x00C000CAu
#define MERGEPAINT 0x00BB0226u
#define PATCOPY 0x00F00021u
#define PATPAINT 0x00FB0A09u
#define PATINVERT 0x005A0049u
#define DSTINVERT 0x00550009u
#define BLACKNESS 0x00000042u
#define WHITENESS 0x00FF0062u

// Stretch modes.
#define BLACKONWHITE 1
#define WHITEONBLACK 2
#define COLORONCOLOR 3
#define HALFTONE 4
#define STRETCH_ANDSCANS BLACKONWHITE
#define STRETCH_ORSCANS WHITEONBLACK
#define STRETCH_DELETESCANS COLORONCOLOR
#define STRETCH_HALFTONE HALFTONE

// Background modes.
#define TRANSPARENT 1
#define OPAQUE 2

#define CLR_INVALID 0xFFFFFFFFu
#define GDI_ERROR 0xFFFFFFFFu
#define HGDI_ERROR ((HGDIOBJ)(intptr_t)-1)

// Object types (GetObjectType, GetCurrentObject).
#define OBJ_PEN 1
#define OBJ_BRUSH 2
#define OBJ_DC 3
#define OBJ_PAL 5
#define OBJ_FONT 6
#define OBJ_BITMAP 7
#define OBJ_REGION 8
#define OBJ_MEMDC 10

// Stock objects (GetStockObject).
#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define SYSTEM_FONT 13
#define DEFAULT_GUI_FONT 17

// Brush and pen styles.
#define BS_SOLID 0
#define BS_NULL 1
#define BS_HOLLOW BS_NULL
#define PS_SOLID 0
#define PS_DASH 1
#define PS_NULL 5

// Device capabilities (GetDeviceCaps).
#define DRIVERVERSION 0
#define TECHNOLOGY 2
#define HORZSIZE 4
#define VERTSIZE 6
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define NUMBRUSHES 16
#define NUMPENS 18
#define NUMFONTS 22
#define NUMCOLORS 24
#define CURVECAPS 28
#define LINECAPS 30
#define POLYGONALCAPS 32
#define TEXTCAPS 34
#define CLIPCAPS 36
#define RASTERCAPS 38
#define ASPECTX 40
#define ASPECTY 42
#define ASPECTXY 44
#define LOGPIXELSX 88
#define LOGPIXELSY 90
#define SIZEPALETTE 104
#define NUMRESERVED 106
#define COLORRES 108
#define DT_RASDISPLAY 1
#define RC_BITBLT 1
#define RC_BITMAP64 8
#define RC_DI_BITMAP 0x0080
#define RC_DIBTODEV 0x0200
#define RC_STRETCHBLT 0x0800
#define RC_STRETCHDIB 0x2000

// Font weights, character sets, precisions, qualities, pitches and families (LOGFONTW).
#define FW_DONTCARE 0
#define FW_THIN 100
#define FW_EXTRALIGHT 200
#define FW_LIGHT 300
#define FW_NORMAL 400
#define FW_MEDIUM 500
#define FW_SEMIBOLD 600
#define FW_BOLD 700
#define FW_EXTRABOLD 800
#define FW_HEAVY 900
#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define SYMBOL_CHARSET 2
#define SHIFTJIS_CHARSET 128
#define HANGEUL_CHARSET 129
#define GB2312_CHARSET 134
#define CHINESEBIG5_CHARSET 136
#define OEM_CHARSET 255
#define OUT_DEFAULT_PRECIS 0
#define OUT_STRING_PRECIS 1
#define OUT_CHARACTER_PRECIS 2
#define OUT_STROKE_PRECIS 3
#define OUT_TT_PRECIS 4
#define OUT_DEVICE_PRECIS 5
#define OUT_RASTER_PRECIS 6
#define OUT_TT_ONLY_PRECIS 7
#define CLIP_DEFAULT_PRECIS 0
#define CLIP_CHARACTER_PRECIS 1
#define CLIP_STROKE_PRECIS 2
#define DEFAULT_QUALITY 0
#define DRAFT_QUALITY 1
#define PROOF_QUALITY 2
#define NONANTIALIASED_QUALITY 3
#define ANTIALIASED_QUALITY 4
#define CLEARTYPE_QUALITY 5
#define DEFAULT_PITCH 0
#define FIXED_PITCH 1
#define VARIABLE_PITCH 2
#define FF_DONTCARE 0x00
#define FF_ROMAN 0x10
#define FF_SWISS 0x20
#define FF_MODERN 0x30
#define FF_SCRIPT 0x40
#define FF_DECORATIVE 0x50

// Text format flags of the text-drawing call.
#define DT_TOP 0x00000000
#define DT_LEFT 0x00000000
#define DT_CENTER 0x00000001
#define DT_RIGHT 0x00000002
#define DT_VCENTER 0x00000004
#define DT_BOTTOM 0x00000008
#define DT_WORDBREAK 0x00000010
#define DT_SINGLELINE 0x00000020
#define DT_EXPANDTABS 0x00000040
#define DT_TABSTOP 0x00000080
#define DT_NOCLIP 0x00000100
#define DT_EXTERNALLEADING 0x00000200
#define DT_CALCRECT 0x00000400
#define DT_NOPREFIX 0x00000800
#define DT_INTERNAL 0x00001000
#define DT_EDITCONTROL 0x00002000
#define DT_PATH_ELLIPSIS 0x00004000
#define DT_END_ELLIPSIS 0x00008000
#define DT_MODIFYSTRING 0x00010000
#define DT_RTLREADING 0x00020000
#define DT_WORD_ELLIPSIS 0x00040000

// ---------------------------------------------------------------------------------------------------
// Device contexts.

// GetDC(NULL) gives a context on the whole screen; GetDC(window) one on the window's client area.
// Release either with ReleaseDC (returns 1, or 0 for a context that did not come from GetDC).
HDC GetDC(HWND hWnd);
int ReleaseDC(HWND hWnd, HDC hdc);
// A memory context holding the stock 1 x 1 monochrome bitmap until a bitmap is selected. hdc may be NULL.
HDC CreateCompatibleDC(HDC hdc);
BOOL DeleteDC(HDC hdc);
// The screen's capabilities (every context reports the screen's, as on the device); 0 for an unknown
// index or an invalid context.
int GetDeviceCaps(HDC hdc, int index);

// Selects a bitmap (memory contexts only; a bitmap is in at most one context), brush, pen or font and
// returns the object of that kind that was selected before; NULL on failure.
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj);
HGDIOBJ GetCurrentObject(HDC hdc, UINT type);

int SetStretchBltMode(HDC hdc, int mode); // previous mode; 0 on failure
int GetStretchBltMode(HDC hdc);
COLORREF SetTextColor(HDC hdc, COLORREF color); // previous colour; CLR_INVALID on failure
COLORREF GetTextColor(HDC hdc);
COLORREF SetBkColor(HDC hdc, COLORREF color);
COLORREF GetBkColor(HDC hdc);
int SetBkMode(HDC hdc, int mode); // previous mode; 0 on failure
int GetBkMode(HDC hdc);
// Limits all drawing through the context to the rectangle (logical coordinates) as well as to its clip
// so far, for the context's life. NULLREGION when nothing is left to draw on, SIMPLEREGION otherwise,
// RGN_ERROR for an invalid context.
int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom);
#define RGN_ERROR 0
#define NULLREGION 1
#define SIMPLEREGION 2

// ---------------------------------------------------------------------------------------------------
// Objects.

HGDIOBJ GetStockObject(int index);
// Copies the object's description (BITMAP or DIBSECTION, LOGBRUSH, LOGPEN, LOGFONTW) and returns its
// size; with a NULL buffer returns the size needed. 0 on failure.
int GetObjectW(HGDIOBJ obj, int cb, LPVOID buffer);
#define GetObject GetObjectW
DWORD GetObjectType(HGDIOBJ obj);
// Stock objects are left alone (TRUE). Fails for an object selected into a context
// (ERROR_INVALID_PARAMETER), for contexts and for anything that is not a live GDI object
// (ERROR_INVALID_HANDLE).
BOOL DeleteObject(HGDIOBJ obj);

HBRUSH CreateSolidBrush(COLORREF color);
HPEN CreatePen(int style, int width, COLORREF color);
HFONT CreateFontIndirectW(const LOGFONTW* logFont);
#define CreateFontIndirect CreateFontIndirectW

// A device-independent bitmap whose pixels the caller reaches through *bits: BI_RGB with 16 (555),
// 24 or 32 bits per pixel, or BI_BITFIELDS with 16 bits (565 or 555 masks) or 32 bits (0xFF0000,
// 0xFF00, 0xFF). A positive height is bottom-up, a negative one top-down; rows are padded to 4 bytes;
// the pixels start zeroed. section must be NULL.
HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* bmi, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
// Device bitmaps: 1, 16 (565), 24 or 32 bits per pixel; rows of the initial bits are padded to 2
// bytes. A zero width or height gives the stock 1 x 1 monochrome bitmap.
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
// A device bitmap in the format of the context's surface (the screen, or the selected bitmap).
HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);

// ---------------------------------------------------------------------------------------------------
// Drawing. Coordinates are logical (the context's origin added); everything is clipped to the
// destination surface and the context's clip rectangle, and source pixels outside the source bitmap
// are not drawn. A rectangle with a negative extent spans from its other corner. Pixel formats
// convert thus: 5- and 6-bit channels widen by repeating their high bits (r8 = r5 << 3 | r5 >> 2),
// 8-bit channels narrow by dropping low bits; a 32-bit destination gets 0 in its top byte unless
// copied from the same format. Monochrome sources draw 0 bits in the destination context's text
// colour and 1 bits in its background colour; colour sources drawn into monochrome give 1 where they
// equal the source context's background colour.

// Any ternary raster operation; the source context may be NULL when the operation does not use it.
BOOL BitBlt(HDC hdcDest, int xDest, int yDest, int width, int height, HDC hdcSrc, int xSrc, int ySrc,
            DWORD rop);
// Nearest-pixel stretch (every stretch mode samples the source pixel under each destination pixel's
// centre). Extents of opposite sign mirror the image.
BOOL StretchBlt(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc, int xSrc, int ySrc,
                int wSrc, int hSrc, DWORD rop);
// Copies, stretching as StretchBlt, every source pixel that differs from the colour key; the key is
// converted to the source's pixel format first (the top byte of 32-bit pixels is ignored). Extents
// must be positive.
BOOL TransparentBlt(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc, int xSrc, int ySrc,
                    int wSrc, int hSrc, UINT crTransparent);
BOOL PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop);
// Fills with a brush, right and bottom edges excluded; nonzero on success.
int FillRect(HDC hdc, const RECT* rect, HBRUSH brush);
COLORREF GetPixel(HDC hdc, int x, int y);                 // CLR_INVALID outside the surface
COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color); // the colour set; CLR_INVALID on failure
