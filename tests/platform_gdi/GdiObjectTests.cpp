#include "GdiTestUtil.h"

#include "platform/Platform.h"

#include <string>

namespace {

typedef GdiTest GdiObjects;

TEST_F(GdiObjects, StockObjectsDescribeThemselvesAndSurviveDeletion) {
    LOGBRUSH lb{};
    ASSERT_EQ(GetObjectW(GetStockObject(WHITE_BRUSH), sizeof(lb), &lb), static_cast<int>(sizeof(LOGBRUSH)));
    EXPECT_EQ(lb.lbStyle, static_cast<UINT>(BS_SOLID));
    EXPECT_EQ(lb.lbColor, RGB(255, 255, 255));
    ASSERT_EQ(GetObjectW(GetStockObject(BLACK_BRUSH), sizeof(lb), &lb), static_cast<int>(sizeof(LOGBRUSH)));
    EXPECT_EQ(lb.lbColor, RGB(0, 0, 0));
    ASSERT_EQ(GetObjectW(GetStockObject(NULL_BRUSH), sizeof(lb), &lb), static_cast<int>(sizeof(LOGBRUSH)));
    EXPECT_EQ(lb.lbStyle, static_cast<UINT>(BS_NULL));
    EXPECT_EQ(GetObjectType(GetStockObject(BLACK_PEN)), static_cast<DWORD>(OBJ_PEN));

    HGDIOBJ sysFont = GetStockObject(SYSTEM_FONT);
    LOGFONTW lf{};
    ASSERT_EQ(GetObjectW(sysFont, sizeof(lf), &lf), static_cast<int>(sizeof(LOGFONTW)));
    EXPECT_EQ(std::u16string(lf.lfFaceName), u"Tahoma");
    EXPECT_EQ(lf.lfHeight, -12);
    EXPECT_EQ(lf.lfWeight, FW_NORMAL);
    EXPECT_EQ(GetObjectW(sysFont, 0, nullptr), static_cast<int>(sizeof(LOGFONTW)));

    // Deleting a stock object is harmless: it reports success and stays usable.
    EXPECT_TRUE(DeleteObject(sysFont));
    EXPECT_EQ(GetObjectType(sysFont), static_cast<DWORD>(OBJ_FONT));
    EXPECT_EQ(GetStockObject(SYSTEM_FONT), sysFont);

    SetLastError(0);
    EXPECT_EQ(GetStockObject(9), nullptr);
    EXPECT_EQ(GetStockObject(-1), nullptr);
    EXPECT_EQ(GetStockObject(100), nullptr);
}

TEST_F(GdiObjects, CreateFontIndirectRecordsTheLogFont) {
    LOGFONTW lf{};
    lf.lfHeight = 24;
    lf.lfWeight = FW_BOLD;
    lf.lfItalic = 1;
    lf.lfQuality = ANTIALIASED_QUALITY;
    for (int i = 0; i < LF_FACESIZE; i++)
        lf.lfFaceName[i] = u'A' + (i % 26); // no terminator
    HFONT font = CreateFontIndirectW(&lf);
    ASSERT_NE(font, nullptr);
    LOGFONTW back{};
    ASSERT_EQ(GetObjectW(font, sizeof(back), &back), static_cast<int>(sizeof(LOGFONTW)));
    EXPECT_EQ(back.lfHeight, 24);
    EXPECT_EQ(back.lfWeight, FW_BOLD);
    EXPECT_EQ(back.lfItalic, 1);
    EXPECT_EQ(back.lfQuality, ANTIALIASED_QUALITY);
    EXPECT_EQ(std::u16string(back.lfFaceName).size(), static_cast<size_t>(LF_FACESIZE - 1));
    // A short buffer gets the front of the record.
    LONG height = 0;
    EXPECT_EQ(GetObjectW(font, sizeof(height), &height), static_cast<int>(sizeof(LONG)));
    EXPECT_EQ(height, 24);
    EXPECT_TRUE(DeleteObject(font));

    SetLastError(0);
    EXPECT_EQ(CreateFontIndirectW(nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(GdiObjects, BadHandlesFailWithInvalidHandle) {
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    ASSERT_TRUE(DeleteObject(brush));
    HBRUSH reused = CreateSolidBrush(RGB(4, 5, 6)); // likely the same slot: the old handle stays dead
    EXPECT_NE(reused, brush);

    const HGDIOBJ bad[] = {nullptr, brush, reinterpret_cast<HGDIOBJ>(uintptr_t(0x12345)),
                           reinterpret_cast<HGDIOBJ>(~uintptr_t(0))};
    for (HGDIOBJ h : bad) {
        SetLastError(0);
        EXPECT_FALSE(DeleteObject(h));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        BITMAP bm;
        EXPECT_EQ(GetObjectW(h, sizeof(bm), &bm), 0);
        EXPECT_EQ(GetObjectType(h), 0u);
        HDC dc = static_cast<HDC>(h);
        SetLastError(0);
        EXPECT_EQ(SelectObject(dc, GetStockObject(BLACK_BRUSH)), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_FALSE(DeleteDC(dc));
        EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 0);
        EXPECT_EQ(SetTextColor(dc, 0), CLR_INVALID);
        EXPECT_EQ(SetBkMode(dc, TRANSPARENT), 0);
        EXPECT_EQ(SetStretchBltMode(dc, COLORONCOLOR), 0);
        RECT r{0, 0, 1, 1};
        EXPECT_EQ(FillRect(dc, &r, reused), 0);
        SetLastError(0);
        EXPECT_FALSE(BitBlt(dc, 0, 0, 1, 1, dc, 0, 0, SRCCOPY));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_FALSE(StretchBlt(dc, 0, 0, 2, 2, dc, 0, 0, 1, 1, SRCCOPY));
        EXPECT_FALSE(TransparentBlt(dc, 0, 0, 1, 1, dc, 0, 0, 1, 1, 0));
        EXPECT_EQ(GetPixel(dc, 0, 0), CLR_INVALID);
    }

    // Handles of the wrong kind.
    HDC dc = CreateCompatibleDC(nullptr);
    SetLastError(0);
    EXPECT_FALSE(DeleteObject(dc));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(DeleteDC(reinterpret_cast<HDC>(reused)));
    EXPECT_EQ(SelectObject(dc, dc), nullptr);
    RECT r{0, 0, 1, 1};
    EXPECT_EQ(FillRect(dc, &r, reinterpret_cast<HBRUSH>(dc)), 0);
    EXPECT_EQ(GetObjectW(dc, 4, &r), 0);
    EXPECT_EQ(GetObjectType(dc), static_cast<DWORD>(OBJ_MEMDC));
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_TRUE(DeleteObject(reused));
}

TEST_F(GdiObjects, DibSectionDescriptions) {
    struct Case {
        Dib kind;
        int width, height;
        int bits, stride;
        DWORD compression;
        DWORD masks[3];
    };
    const Case cases[] = {
        {Dib::Rgb565, 3, 2, 16, 8, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}},
        {Dib::Rgb565, 4, 5, 16, 8, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}},
        {Dib::Rgb555, 3, 2, 16, 8, BI_RGB, {0x7C00, 0x03E0, 0x001F}},
        {Dib::Bitfields555, 1, 1, 16, 4, BI_BITFIELDS, {0x7C00, 0x03E0, 0x001F}},
        {Dib::Rgb888, 3, 2, 24, 12, BI_RGB, {0, 0, 0}},
        {Dib::Rgb888, 4, 1, 24, 12, BI_RGB, {0, 0, 0}},
        {Dib::Xrgb8888, 3, 2, 32, 12, BI_RGB, {0xFF0000, 0xFF00, 0xFF}},
        {Dib::Xrgb8888, 3, -2, 32, 12, BI_RGB, {0xFF0000, 0xFF00, 0xFF}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "bits " << c.bits << " width " << c.width << " height " << c.height);
        void* bits = nullptr;
        HBITMAP hbm = MakeDib(c.kind, c.width, c.height, &bits);
        ASSERT_NE(hbm, nullptr);
        ASSERT_NE(bits, nullptr);
        int absHeight = c.height < 0 ? -c.height : c.height;

        BITMAP bm{};
        ASSERT_EQ(GetObjectW(hbm, sizeof(bm), &bm), static_cast<int>(sizeof(BITMAP)));
        EXPECT_EQ(bm.bmType, 0);
        EXPECT_EQ(bm.bmWidth, c.width);
        EXPECT_EQ(bm.bmHeight, absHeight);
        EXPECT_EQ(bm.bmWidthBytes, c.stride);
        EXPECT_EQ(bm.bmPlanes, 1);
        EXPECT_EQ(bm.bmBitsPixel, c.bits);
        EXPECT_EQ(bm.bmBits, bits);

        DIBSECTION ds{};
        ASSERT_EQ(GetObjectW(hbm, sizeof(ds), &ds), static_cast<int>(sizeof(DIBSECTION)));
        EXPECT_EQ(ds.dsBm.bmBits, bits);
        EXPECT_EQ(ds.dsBmih.biSize, sizeof(BITMAPINFOHEADER));
        EXPECT_EQ(ds.dsBmih.biHeight, c.height); // the sign keeps the row order
        EXPECT_EQ(ds.dsBmih.biCompression, c.compression);
        EXPECT_EQ(ds.dsBmih.biSizeImage, static_cast<DWORD>(c.stride * absHeight));
        EXPECT_EQ(ds.dsBitfields[0], c.masks[0]);
        EXPECT_EQ(ds.dsBitfields[1], c.masks[1]);
        EXPECT_EQ(ds.dsBitfields[2], c.masks[2]);
        EXPECT_EQ(ds.dshSection, nullptr);
        EXPECT_EQ(GetObjectW(hbm, 0, nullptr), static_cast<int>(sizeof(BITMAP)));
        EXPECT_EQ(GetObjectW(hbm, sizeof(BITMAP) - 1, &bm), 0);

        // New sections start zeroed, padding included.
        const BYTE* p = static_cast<const BYTE*>(bits);
        bool zero = true;
        for (int i = 0; i < c.stride * absHeight; i++)
            zero = zero && p[i] == 0;
        EXPECT_TRUE(zero);
        EXPECT_TRUE(DeleteObject(hbm));
    }
}

TEST_F(GdiObjects, DibRowOrderFollowsTheHeightSign) {
    void* upBits = nullptr;
    void* downBits = nullptr;
    HBITMAP up = MakeDib(Dib::Xrgb8888, 2, 3, &upBits);
    HBITMAP down = MakeDib(Dib::Xrgb8888, 2, -3, &downBits);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, up);
    SetPixel(dc, 1, 0, RGB(0x11, 0x22, 0x33)); // top row, right pixel
    SelectObject(dc, down);
    SetPixel(dc, 1, 0, RGB(0x11, 0x22, 0x33));
    SelectObject(dc, old);
    // Bottom-up: the top image row is the last row in memory.
    EXPECT_EQ(static_cast<uint32_t*>(upBits)[2 * 2 + 1], 0x00112233u);
    EXPECT_EQ(static_cast<uint32_t*>(upBits)[1], 0u);
    EXPECT_EQ(static_cast<uint32_t*>(downBits)[1], 0x00112233u);
    DeleteDC(dc);
    DeleteObject(up);
    DeleteObject(down);
}

TEST_F(GdiObjects, CreateDibSectionRejectsWhatItCannotHold) {
    struct {
        BITMAPINFOHEADER h;
        DWORD masks[3];
    } info{};
    auto tryCreate = [&](void** bits) {
        return CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, bits, nullptr,
                                0);
    };
    auto reset = [&] {
        info = {};
        info.h.biSize = sizeof(BITMAPINFOHEADER);
        info.h.biWidth = 4;
        info.h.biHeight = 4;
        info.h.biPlanes = 1;
        info.h.biBitCount = 16;
        info.h.biCompression = BI_BITFIELDS;
        info.masks[0] = 0xF800;
        info.masks[1] = 0x07E0;
        info.masks[2] = 0x001F;
    };
    void* bits = reinterpret_cast<void*>(1);
    reset();
    HBITMAP ok = tryCreate(&bits);
    ASSERT_NE(ok, nullptr);
    DeleteObject(ok);

    const auto mutations = {
        +[](BITMAPINFOHEADER& h, DWORD*) { h.biBitCount = 8; },
        +[](BITMAPINFOHEADER& h, DWORD*) { h.biBitCount = 1; },
        +[](BITMAPINFOHEADER& h, DWORD*) { h.biCompression = BI_RLE8; },
        +[](BITMAPINFOHEADER& h, DWORD*) { h.biWidth = 0; },
        +[](BITMAPINFOHEADER& h, DWORD*) { h.biWidth = -4; },
        +[](BITMAPINFOHEADER& h, DWORD*) { h.biHeight = 0; },
        +[](BITMAPINFOHEADER& h, DWORD*) { h.biPlanes = 2; },
        +[](BITMAPINFOHEADER& h, DWORD*) { h.biSize = 12; },
        +[](BITMAPINFOHEADER&, DWORD* m) { m[1] = 0x03E0; }, // neither 565 nor 555
        +[](BITMAPINFOHEADER& h, DWORD*) {
            h.biBitCount = 24;
            h.biCompression = BI_BITFIELDS;
        },
    };
    for (auto mutate : mutations) {
        reset();
        mutate(info.h, info.masks);
        bits = reinterpret_cast<void*>(1);
        SetLastError(0);
        EXPECT_EQ(tryCreate(&bits), nullptr);
        EXPECT_EQ(bits, nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
    // Too large to allocate.
    reset();
    info.h.biWidth = 0x7FFFFFFF;
    info.h.biHeight = 0x7FFFFFFF;
    SetLastError(0);
    EXPECT_EQ(tryCreate(&bits), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    // File-mapping sections are not supported.
    reset();
    int dummy = 0;
    EXPECT_EQ(
        CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, &dummy, 0),
        nullptr);
    EXPECT_EQ(CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
}

TEST_F(GdiObjects, MemoryContextSelectionRules) {
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    // A new memory context holds a 1 x 1 monochrome bitmap, the white brush and the system font.
    HGDIOBJ mono = GetCurrentObject(dc, OBJ_BITMAP);
    BITMAP bm{};
    ASSERT_EQ(GetObjectW(mono, sizeof(bm), &bm), static_cast<int>(sizeof(BITMAP)));
    EXPECT_EQ(bm.bmWidth, 1);
    EXPECT_EQ(bm.bmHeight, 1);
    EXPECT_EQ(bm.bmBitsPixel, 1);
    EXPECT_EQ(bm.bmBits, nullptr);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), GetStockObject(SYSTEM_FONT));
    EXPECT_EQ(CreateBitmap(0, 5, 1, 16, nullptr), mono); // empty bitmaps are that stock bitmap

    HBITMAP a = MakeDib(Dib::Rgb565, 4, 4);
    HBITMAP b = MakeDib(Dib::Xrgb8888, 4, 4);
    EXPECT_EQ(SelectObject(dc, a), mono);
    EXPECT_EQ(SelectObject(dc, a), a); // selecting it again changes nothing

    // A bitmap lives in one context at a time, and cannot be deleted while selected.
    HDC other = CreateCompatibleDC(dc);
    SetLastError(0);
    EXPECT_EQ(SelectObject(other, a), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(GetCurrentObject(other, OBJ_BITMAP), mono); // the stock bitmap can be in many
    EXPECT_FALSE(DeleteObject(a));
    EXPECT_EQ(GetObjectType(a), static_cast<DWORD>(OBJ_BITMAP));
    EXPECT_EQ(SelectObject(dc, b), a);
    EXPECT_EQ(SelectObject(other, a), mono);
    EXPECT_FALSE(DeleteObject(a));
    EXPECT_TRUE(DeleteDC(other)); // deleting the context releases its bitmap
    EXPECT_TRUE(DeleteObject(a));

    // Brushes and fonts: the previous one comes back; a selected one cannot be deleted.
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    EXPECT_EQ(SelectObject(dc, red), GetStockObject(WHITE_BRUSH));
    EXPECT_FALSE(DeleteObject(red));
    EXPECT_EQ(SelectObject(dc, GetStockObject(BLACK_BRUSH)), red);
    EXPECT_TRUE(DeleteObject(red));
    LOGFONTW lf{};
    lf.lfHeight = 20;
    HFONT font = CreateFontIndirectW(&lf);
    EXPECT_EQ(SelectObject(dc, font), GetStockObject(SYSTEM_FONT));
    EXPECT_EQ(SelectObject(dc, GetStockObject(SYSTEM_FONT)), font);
    EXPECT_TRUE(DeleteObject(font));

    // The screen's context does not take bitmaps.
    HDC screen = GetDC(nullptr);
    HBITMAP c = MakeDib(Dib::Rgb565, 2, 2);
    EXPECT_EQ(SelectObject(screen, c), nullptr);
    EXPECT_EQ(GetObjectType(screen), static_cast<DWORD>(OBJ_DC));
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
    EXPECT_EQ(ReleaseDC(nullptr, dc), 0); // a memory context is not released, it is deleted
    EXPECT_TRUE(DeleteObject(c));

    EXPECT_EQ(SelectObject(dc, mono), b);
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_TRUE(DeleteObject(b));
}

TEST_F(GdiObjects, ContextAttributesReturnThePreviousValue) {
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(GetStretchBltMode(dc), BLACKONWHITE);
    EXPECT_EQ(SetStretchBltMode(dc, COLORONCOLOR), BLACKONWHITE);
    EXPECT_EQ(SetStretchBltMode(dc, STRETCH_DELETESCANS), COLORONCOLOR);
    EXPECT_EQ(SetStretchBltMode(dc, 0), 0);
    EXPECT_EQ(SetStretchBltMode(dc, 5), 0);
    EXPECT_EQ(GetStretchBltMode(dc), COLORONCOLOR);

    EXPECT_EQ(SetTextColor(dc, RGB(1, 2, 3)), RGB(0, 0, 0));
    EXPECT_EQ(SetTextColor(dc, RGB(4, 5, 6)), RGB(1, 2, 3));
    EXPECT_EQ(GetTextColor(dc), RGB(4, 5, 6));
    EXPECT_EQ(SetBkColor(dc, RGB(9, 9, 9)), RGB(255, 255, 255));
    EXPECT_EQ(GetBkColor(dc), RGB(9, 9, 9));
    EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
    EXPECT_EQ(SetBkMode(dc, 7), 0);
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
    DeleteDC(dc);
}

class GdiScreen : public GdiTest {
protected:
    void SetUp() override {
        GdiTest::SetUp();
        m_w = PlatformScreenWidth();
        m_h = PlatformScreenHeight();
        m_bpp = PlatformScreenBitsPerPixel();
    }
    void TearDown() override {
        PlatformSetScreen(m_w, m_h, m_bpp);
        PlatformSetWindowDcProvider(nullptr);
        GdiTest::TearDown();
    }
    int m_w = 0, m_h = 0, m_bpp = 0;
};

TEST_F(GdiScreen, DeviceCapsFollowTheScreenSettings) {
    PlatformSetScreen(480, 272, 32);
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 480);
    EXPECT_EQ(GetDeviceCaps(screen, VERTRES), 272);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 32);
    EXPECT_EQ(GetDeviceCaps(screen, PLANES), 1);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 96);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 96);
    EXPECT_EQ(GetDeviceCaps(screen, HORZSIZE), 127); // 480 pixels at 96 per inch
    EXPECT_NE(GetDeviceCaps(screen, RASTERCAPS) & RC_STRETCHBLT, 0);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);

    PlatformSetScreen(800, 480, 16);
    screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    EXPECT_EQ(GetDeviceCaps(mem, BITSPIXEL), 16); // memory contexts report the screen too
    EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 800);

    // The screen surface follows the settings, and compatible bitmaps take its format.
    DIBSECTION ds{};
    ASSERT_EQ(GetObjectW(PlatformGetScreenBitmap(), sizeof(ds), &ds), static_cast<int>(sizeof(DIBSECTION)));
    EXPECT_EQ(ds.dsBm.bmWidth, 800);
    EXPECT_EQ(ds.dsBm.bmHeight, 480);
    EXPECT_EQ(ds.dsBm.bmBitsPixel, 16);
    EXPECT_EQ(ds.dsBitfields[1], 0x07E0u);
    EXPECT_FALSE(DeleteObject(PlatformGetScreenBitmap()));
    HBITMAP compatible = CreateCompatibleBitmap(screen, 10, 3);
    BITMAP bm{};
    ASSERT_EQ(GetObjectW(compatible, sizeof(bm), &bm), static_cast<int>(sizeof(BITMAP)));
    EXPECT_EQ(bm.bmBitsPixel, 16);
    EXPECT_EQ(bm.bmWidthBytes, 20);
    EXPECT_EQ(bm.bmBits, nullptr);
    EXPECT_EQ(GetObjectW(compatible, sizeof(ds), &ds), static_cast<int>(sizeof(BITMAP))); // not a DIB section
    HBITMAP fromMem = CreateCompatibleBitmap(mem, 2, 2);                                  // mono, as selected
    ASSERT_EQ(GetObjectW(fromMem, sizeof(bm), &bm), static_cast<int>(sizeof(BITMAP)));
    EXPECT_EQ(bm.bmBitsPixel, 1);
    DeleteObject(fromMem);
    DeleteObject(compatible);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
}

TEST_F(GdiScreen, ScreenContextsDrawOnTheSurfaceWithOriginAndClip) {
    PlatformSetScreen(64, 48, 16);
    HDC screen = GetDC(nullptr);
    HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    RECT all{0, 0, 64, 48};
    EXPECT_NE(FillRect(screen, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))), 0);

    // A window's context: logical (0, 0) at its origin, nothing outside its clip.
    PlatformSetWindowDcProvider([](HWND hWnd, POINT* origin, RECT* clip) -> BOOL {
        if (hWnd != reinterpret_cast<HWND>(uintptr_t(0x42)))
            return FALSE;
        *origin = POINT{10, 20};
        *clip = RECT{10, 20, 15, 25};
        return TRUE;
    });
    HDC wnd = GetDC(reinterpret_cast<HWND>(uintptr_t(0x42)));
    ASSERT_NE(wnd, nullptr);
    RECT big{-100, -100, 100, 100};
    EXPECT_NE(FillRect(wnd, &big, white), 0);
    EXPECT_EQ(GetPixel(wnd, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(wnd, 5, 0), CLR_INVALID);
    EXPECT_EQ(GetPixel(wnd, -1, 0), CLR_INVALID);
    EXPECT_EQ(ReleaseDC(reinterpret_cast<HWND>(uintptr_t(0x42)), wnd), 1);
    SetLastError(0);
    EXPECT_EQ(GetDC(reinterpret_cast<HWND>(uintptr_t(0x43))), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));

    Pixels px(PlatformGetScreenBitmap());
    int whites = 0;
    for (int y = 0; y < 48; y++)
        for (int x = 0; x < 64; x++)
            whites += px.Get(x, y) == 0xFFFF;
    EXPECT_EQ(whites, 25);
    EXPECT_EQ(px.Get(10, 20), 0xFFFFu);
    EXPECT_EQ(px.Get(14, 24), 0xFFFFu);
    EXPECT_EQ(GetPixel(screen, 15, 24), RGB(0, 0, 0));

    // A host context (the window layer's paint context) and a memory copy of the screen.
    RECT clip{0, 0, 4, 4};
    HDC host = PlatformCreateScreenDC(40, 30, &clip); // clip outside the origin: draws nothing
    EXPECT_NE(FillRect(host, &all, white), 0);
    EXPECT_EQ(px.Get(40, 30), 0u);
    EXPECT_EQ(ReleaseDC(nullptr, host), 0); // not from GetDC
    EXPECT_TRUE(DeleteDC(host));
    ReleaseDC(nullptr, screen);
}

} // namespace
