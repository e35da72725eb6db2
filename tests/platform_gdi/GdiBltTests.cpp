#include "GdiTestUtil.h"

#include <vector>

namespace {

typedef GdiTest GdiBlt;

// One row of source pixels copied into a destination of another format.
std::vector<DWORD> ConvertRow(Dib from, Dib to, const std::vector<DWORD>& values, DWORD dstFill) {
    int n = static_cast<int>(values.size());
    Canvas src(from, n, 1);
    Canvas dst(to, n, -1);
    for (int x = 0; x < n; x++)
        src.Px().Set(x, 0, values[x]);
    dst.Px().Fill(dstFill);
    EXPECT_TRUE(BitBlt(dst.Dc(), 0, 0, n, 1, src.Dc(), 0, 0, SRCCOPY));
    std::vector<DWORD> out;
    for (int x = 0; x < n; x++)
        out.push_back(dst.Px().Get(x, 0));
    return out;
}

TEST_F(GdiBlt, FormatConversionWidensByRepeatingHighBitsAndNarrowsByTruncation) {
    // 565 -> 32: channels widen r8 = r5 << 3 | r5 >> 2; the top byte becomes 0.
    EXPECT_EQ(
        ConvertRow(Dib::Rgb565, Dib::Xrgb8888, {0xF800, 0x07E0, 0x001F, 0x8410, 0xFFFF, 0x0000, 0x0821},
                   0xFFFFFFFF),
        (std::vector<DWORD>{0x00FF0000, 0x0000FF00, 0x000000FF, 0x00848284, 0x00FFFFFF, 0, 0x00080408}));
    // 32 -> 565 drops low bits and ignores the top byte.
    EXPECT_EQ(ConvertRow(Dib::Xrgb8888, Dib::Rgb565, {0xAAFF8040, 0x00070307, 0x00F8FCF8}, 0x1234),
              (std::vector<DWORD>{0xFC08, 0x0000, 0xFFFF}));
    // 32 -> 32 is a plain copy, top byte included.
    EXPECT_EQ(ConvertRow(Dib::Xrgb8888, Dib::Xrgb8888, {0xAB123456, 0x01020304}, 0),
              (std::vector<DWORD>{0xAB123456, 0x01020304}));
    // 555 <-> 565: green gains or loses its lowest bit.
    EXPECT_EQ(ConvertRow(Dib::Rgb555, Dib::Rgb565, {0x7FFF, 0x0200, 0x7C00, 0x001F}, 0),
              (std::vector<DWORD>{0xFFFF, 0x0420, 0xF800, 0x001F}));
    EXPECT_EQ(ConvertRow(Dib::Rgb565, Dib::Bitfields555, {0x0420, 0x07E0, 0xF81F}, 0),
              (std::vector<DWORD>{0x0200, 0x03E0, 0x7C1F}));
    // 24-bit both ways.
    EXPECT_EQ(ConvertRow(Dib::Rgb565, Dib::Rgb888, {0xF800, 0x8410}, 0),
              (std::vector<DWORD>{0xFF0000, 0x848284}));
    EXPECT_EQ(ConvertRow(Dib::Rgb888, Dib::Xrgb8888, {0x123456}, 0xFFFFFFFF),
              (std::vector<DWORD>{0x00123456}));
    EXPECT_EQ(ConvertRow(Dib::Rgb888, Dib::Rgb565, {0xFF8040}, 0), (std::vector<DWORD>{0xFC08}));
}

DWORD Code(int x, int y) {
    return static_cast<DWORD>(0x00100000 + (x << 8) + y);
}
const DWORD kUntouched = 0x00EEEEEE;

// dst(x, y) must be src(x - ox, y - oy) inside [box) and untouched elsewhere.
void ExpectShifted(const Pixels& dst, int w, int h, int ox, int oy, RECT box) {
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            bool inside = x >= box.left && x < box.right && y >= box.top && y < box.bottom;
            EXPECT_EQ(dst.Get(x, y), inside ? Code(x - ox, y - oy) : kUntouched) << "at " << x << "," << y;
        }
    }
}

TEST_F(GdiBlt, BitBltClipsToBothBitmaps) {
    Canvas src(Dib::Xrgb8888, 4, 4);  // bottom-up
    Canvas dst(Dib::Xrgb8888, 5, -5); // top-down
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++)
            src.Px().Set(x, y, Code(x, y));

    // Destination partly off its left edge.
    dst.Px().Fill(kUntouched);
    EXPECT_TRUE(BitBlt(dst.Dc(), -1, 1, 4, 4, src.Dc(), 0, 0, SRCCOPY));
    ExpectShifted(dst.Px(), 5, 5, -1, 1, RECT{0, 1, 3, 5});

    // Source rectangle partly outside the source: those destination pixels stay.
    dst.Px().Fill(kUntouched);
    EXPECT_TRUE(BitBlt(dst.Dc(), 0, 0, 5, 5, src.Dc(), 2, -1, SRCCOPY));
    ExpectShifted(dst.Px(), 5, 5, -2, 1, RECT{0, 1, 2, 5});

    // Off the far edges, and wholly outside (success with nothing drawn).
    dst.Px().Fill(kUntouched);
    EXPECT_TRUE(BitBlt(dst.Dc(), 3, 3, 4, 4, src.Dc(), 0, 0, SRCCOPY));
    ExpectShifted(dst.Px(), 5, 5, 3, 3, RECT{3, 3, 5, 5});
    dst.Px().Fill(kUntouched);
    EXPECT_TRUE(BitBlt(dst.Dc(), 5, 0, 4, 4, src.Dc(), 0, 0, SRCCOPY));
    EXPECT_TRUE(BitBlt(dst.Dc(), 0, 0, 4, 4, src.Dc(), -4, 0, SRCCOPY));
    EXPECT_TRUE(BitBlt(dst.Dc(), 0, 0, 0, 4, src.Dc(), 0, 0, SRCCOPY));
    ExpectShifted(dst.Px(), 5, 5, 0, 0, RECT{0, 0, 0, 0});

    // Negative extents name the rectangle from its other corner; no mirroring.
    EXPECT_TRUE(BitBlt(dst.Dc(), 3, 3, -2, -2, src.Dc(), 2, 2, SRCCOPY));
    ExpectShifted(dst.Px(), 5, 5, 1, 1, RECT{1, 1, 3, 3});
}

TEST_F(GdiBlt, BitBltWithinOneBitmapReadsTheOldPixels) {
    Canvas c(Dib::Rgb565, 3, 4);
    auto reset = [&] {
        for (int y = 0; y < 4; y++)
            for (int x = 0; x < 3; x++)
                c.Px().Set(x, y, static_cast<DWORD>(y * 0x100 + x));
    };
    reset();
    EXPECT_TRUE(BitBlt(c.Dc(), 0, 1, 3, 3, c.Dc(), 0, 0, SRCCOPY)); // scroll down
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 3; x++)
            EXPECT_EQ(c.Px().Get(x, y), static_cast<DWORD>((y == 0 ? 0 : y - 1) * 0x100 + x));
    reset();
    EXPECT_TRUE(BitBlt(c.Dc(), 0, 0, 3, 3, c.Dc(), 0, 1, SRCCOPY)); // scroll up
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 3; x++)
            EXPECT_EQ(c.Px().Get(x, y), static_cast<DWORD>((y == 3 ? 3 : y + 1) * 0x100 + x));
    reset();
    EXPECT_TRUE(StretchBlt(c.Dc(), 3, 0, -3, 2, c.Dc(), 0, 0, 3, 1, SRCCOPY)); // mirror onto itself
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 3; x++)
            EXPECT_EQ(c.Px().Get(x, y), static_cast<DWORD>(2 - x)) << x << "," << y;
    EXPECT_EQ(c.Px().Get(2, 2), 0x0202u);
}

// Rows without padding (two 565 pixels) make one block of memory; a copy of whole rows must give what a
// row-by-row copy gives, between bitmaps of either row order and within one bitmap in either direction.
TEST_F(GdiBlt, WholeUnpaddedRowsCopyLikeSingleRows) {
    auto value = [](int x, int y) { return static_cast<DWORD>(y * 0x100 + x); };
    auto fill = [&](const Canvas& c) {
        for (int y = 0; y < 4; y++)
            for (int x = 0; x < 2; x++)
                c.Px().Set(x, y, value(x, y));
    };
    for (int srcHeight : {4, -4}) {
        for (int dstHeight : {4, -4}) {
            Canvas src(Dib::Rgb565, 2, srcHeight);
            Canvas dst(Dib::Rgb565, 2, dstHeight);
            fill(src);
            dst.Px().Fill(0xEEEE);
            EXPECT_TRUE(BitBlt(dst.Dc(), 0, 1, 2, 3, src.Dc(), 0, 0, SRCCOPY));
            for (int y = 0; y < 4; y++)
                for (int x = 0; x < 2; x++)
                    EXPECT_EQ(dst.Px().Get(x, y), y == 0 ? 0xEEEEu : value(x, y - 1))
                        << srcHeight << " to " << dstHeight << " at " << x << "," << y;
        }
        Canvas c(Dib::Rgb565, 2, srcHeight);
        fill(c);
        EXPECT_TRUE(BitBlt(c.Dc(), 0, 1, 2, 3, c.Dc(), 0, 0, SRCCOPY)); // scroll down
        for (int y = 0; y < 4; y++)
            for (int x = 0; x < 2; x++)
                EXPECT_EQ(c.Px().Get(x, y), value(x, y == 0 ? 0 : y - 1))
                    << srcHeight << " at " << x << "," << y;
        fill(c);
        EXPECT_TRUE(BitBlt(c.Dc(), 0, 0, 2, 3, c.Dc(), 0, 1, SRCCOPY)); // scroll up
        for (int y = 0; y < 4; y++)
            for (int x = 0; x < 2; x++)
                EXPECT_EQ(c.Px().Get(x, y), value(x, y == 3 ? 3 : y + 1))
                    << srcHeight << " at " << x << "," << y;
    }
}

std::vector<DWORD> StretchRow(const std::vector<DWORD>& src, int dstWidth, int xDest, int wDest, int xSrc,
                              int wSrc) {
    Canvas s(Dib::Xrgb8888, static_cast<int>(src.size()), 1);
    Canvas d(Dib::Xrgb8888, dstWidth, 1);
    for (size_t i = 0; i < src.size(); i++)
        s.Px().Set(static_cast<int>(i), 0, src[i]);
    d.Px().Fill(0);
    SetStretchBltMode(d.Dc(), COLORONCOLOR);
    EXPECT_TRUE(StretchBlt(d.Dc(), xDest, 0, wDest, 1, s.Dc(), xSrc, 0, wSrc, 1, SRCCOPY));
    std::vector<DWORD> out;
    for (int x = 0; x < dstWidth; x++)
        out.push_back(d.Px().Get(x, 0));
    return out;
}

TEST_F(GdiBlt, StretchTakesThePixelUnderEachDestinationCentre) {
    typedef std::vector<DWORD> Row;
    EXPECT_EQ(StretchRow({1, 2, 3, 4}, 8, 0, 8, 0, 4), (Row{1, 1, 2, 2, 3, 3, 4, 4}));
    EXPECT_EQ(StretchRow({1, 2, 3, 4, 5, 6, 7, 8}, 4, 0, 4, 0, 8), (Row{2, 4, 6, 8}));
    EXPECT_EQ(StretchRow({1, 2, 3}, 5, 0, 5, 0, 3), (Row{1, 1, 2, 3, 3}));
    EXPECT_EQ(StretchRow({1, 2, 3, 4, 5}, 3, 0, 3, 0, 5), (Row{1, 3, 5}));
    // Opposite signs mirror; the rectangle spans its ordered corners.
    EXPECT_EQ(StretchRow({1, 2, 3, 4}, 4, 4, -4, 0, 4), (Row{4, 3, 2, 1}));
    EXPECT_EQ(StretchRow({1, 2}, 6, 5, -4, 0, 2), (Row{0, 2, 2, 1, 1, 0}));
    // A source rectangle reaching past the bitmap leaves its destination pixels alone.
    EXPECT_EQ(StretchRow({1, 2, 3, 4}, 8, 0, 8, 2, 4), (Row{3, 3, 4, 4, 0, 0, 0, 0}));
    EXPECT_EQ(StretchRow({1, 2, 3, 4}, 8, 0, 8, -2, 4), (Row{0, 0, 0, 0, 1, 1, 2, 2}));
    // Clipped by the destination.
    EXPECT_EQ(StretchRow({1, 2}, 3, -1, 4, 0, 2), (Row{1, 2, 2}));
}

TEST_F(GdiBlt, StretchInTwoDimensionsWithConversionAndClipping) {
    Canvas src(Dib::Rgb565, 2, 2);
    Canvas dst(Dib::Xrgb8888, 4, 4);
    src.Px().Set(0, 0, 0xF800);
    src.Px().Set(1, 0, 0x07E0);
    src.Px().Set(0, 1, 0x001F);
    src.Px().Set(1, 1, 0xFFFF);
    dst.Px().Fill(kUntouched);
    SetStretchBltMode(dst.Dc(), COLORONCOLOR);
    EXPECT_TRUE(StretchBlt(dst.Dc(), -1, -1, 4, 4, src.Dc(), 0, 0, 2, 2, SRCCOPY));
    const DWORD r = 0xFF0000, g = 0x00FF00, b = 0x0000FF, w = 0xFFFFFF, u = kUntouched;
    const DWORD expected[4][4] = {{r, g, g, u}, {b, w, w, u}, {b, w, w, u}, {u, u, u, u}};
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++)
            EXPECT_EQ(dst.Px().Get(x, y), expected[y][x]) << x << "," << y;

    // Upside down.
    dst.Px().Fill(kUntouched);
    EXPECT_TRUE(StretchBlt(dst.Dc(), 0, 4, 4, -4, src.Dc(), 0, 0, 2, 2, SRCCOPY));
    EXPECT_EQ(dst.Px().Get(0, 0), b);
    EXPECT_EQ(dst.Px().Get(3, 3), g);
    // Zero extents draw nothing.
    dst.Px().Fill(kUntouched);
    EXPECT_TRUE(StretchBlt(dst.Dc(), 0, 0, 4, 4, src.Dc(), 0, 0, 0, 2, SRCCOPY));
    EXPECT_EQ(dst.Px().Get(0, 0), kUntouched);
}

TEST_F(GdiBlt, TransparentBltSkipsTheKeyInTheSourceFormat) {
    Canvas src(Dib::Rgb565, 4, 1);
    Canvas dst(Dib::Xrgb8888, 8, 1);
    const DWORD row[] = {0xF81F, 0x001F, 0xF81F, 0x07E0};
    for (int x = 0; x < 4; x++)
        src.Px().Set(x, 0, row[x]);
    auto run = [&](int wDest, COLORREF key) {
        dst.Px().Fill(0x00123456);
        EXPECT_TRUE(TransparentBlt(dst.Dc(), 0, 0, wDest, 1, src.Dc(), 0, 0, 4, 1, key));
        std::vector<DWORD> out;
        for (int x = 0; x < 8; x++)
            out.push_back(dst.Px().Get(x, 0));
        return out;
    };
    typedef std::vector<DWORD> Row;
    const DWORD k = 0x00123456, blue = 0xFF, green = 0xFF00, magenta = 0xFF00FF;
    EXPECT_EQ(run(4, RGB(255, 0, 255)), (Row{k, blue, k, green, k, k, k, k}));
    // Colours that become the same 565 pixel are the key too.
    EXPECT_EQ(run(4, RGB(250, 3, 252)), (Row{k, blue, k, green, k, k, k, k}));
    EXPECT_EQ(run(4, RGB(240, 0, 255)), (Row{magenta, blue, magenta, green, k, k, k, k}));
    // Stretched.
    EXPECT_EQ(run(8, RGB(255, 0, 255)), (Row{k, k, blue, blue, k, k, green, green}));

    // The top byte of 32-bit source pixels is not part of the key comparison.
    Canvas src32(Dib::Xrgb8888, 2, 1);
    src32.Px().Set(0, 0, 0x7FFF00FF);
    src32.Px().Set(1, 0, 0x7F00FF00);
    dst.Px().Fill(0x00123456);
    EXPECT_TRUE(TransparentBlt(dst.Dc(), 0, 0, 2, 1, src32.Dc(), 0, 0, 2, 1, RGB(255, 0, 255)));
    EXPECT_EQ(dst.Px().Get(0, 0), k);
    EXPECT_EQ(dst.Px().Get(1, 0), 0x7F00FF00u);

    SetLastError(0);
    EXPECT_FALSE(TransparentBlt(dst.Dc(), 4, 0, -4, 1, src.Dc(), 0, 0, 4, 1, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(TransparentBlt(dst.Dc(), 0, 0, 4, 1, src.Dc(), 0, 0, 0, 1, 0));
}

TEST_F(GdiBlt, FillRectWithSolidBrushes) {
    Canvas c565(Dib::Rgb565, 5, 4);
    HBRUSH orange = CreateSolidBrush(RGB(255, 128, 64));
    RECT r{1, 1, 3, 4};
    c565.Px().Fill(0x1111);
    EXPECT_NE(FillRect(c565.Dc(), &r, orange), 0);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 5; x++)
            EXPECT_EQ(c565.Px().Get(x, y), (x >= 1 && x < 3 && y >= 1) ? 0xFC08u : 0x1111u) << x << "," << y;

    // Clipped to the bitmap; 32-bit pixels get a zero top byte; 24-bit rows keep their padding.
    Canvas c32(Dib::Xrgb8888, 3, 3);
    c32.Px().Fill(0xFFFFFFFF);
    RECT big{-5, 2, 50, 50};
    EXPECT_NE(FillRect(c32.Dc(), &big, orange), 0);
    EXPECT_EQ(c32.Px().Get(0, 2), 0x00FF8040u);
    EXPECT_EQ(c32.Px().Get(2, 2), 0x00FF8040u);
    EXPECT_EQ(c32.Px().Get(2, 1), 0xFFFFFFFFu);
    Canvas c24(Dib::Rgb888, 3, 2);
    RECT all{0, 0, 3, 2};
    EXPECT_NE(FillRect(c24.Dc(), &all, orange), 0);
    EXPECT_EQ(c24.Px().Get(2, 1), 0xFF8040u);
    EXPECT_EQ(c24.Px().Row(1)[9], 0); // padding byte
    EXPECT_EQ(GetPixel(c24.Dc(), 0, 0), RGB(255, 128, 64));

    // Empty and inverted rectangles and the hollow brush draw nothing but succeed.
    c565.Px().Fill(0x1111);
    RECT inverted{3, 3, 1, 1};
    EXPECT_NE(FillRect(c565.Dc(), &inverted, orange), 0);
    EXPECT_NE(FillRect(c565.Dc(), &all, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH))), 0);
    EXPECT_EQ(c565.Px().Get(1, 1), 0x1111u);
    EXPECT_EQ(FillRect(c565.Dc(), nullptr, orange), 0);
    EXPECT_TRUE(DeleteObject(orange));
    EXPECT_EQ(FillRect(c565.Dc(), &all, orange), 0); // deleted brush
    EXPECT_EQ(c565.Px().Get(1, 1), 0x1111u);
}

// A context's clip narrows with each IntersectClipRect and limits every drawing through it.
TEST_F(GdiBlt, IntersectClipRectNarrowsWhatTheContextDraws) {
    Canvas c(Dib::Rgb565, 5, 4);
    c.Px().Fill(0x1111);
    HBRUSH orange = CreateSolidBrush(RGB(255, 128, 64));
    const RECT all{0, 0, 5, 4};
    EXPECT_EQ(IntersectClipRect(c.Dc(), 1, 1, 4, 3), SIMPLEREGION);
    EXPECT_NE(FillRect(c.Dc(), &all, orange), 0);
    EXPECT_EQ(IntersectClipRect(c.Dc(), 3, -10, 10, 10), SIMPLEREGION); // leaves column 3 of rows 1, 2
    Canvas src(Dib::Rgb565, 5, 4);
    src.Px().Fill(0x2222);
    EXPECT_TRUE(BitBlt(c.Dc(), 0, 0, 5, 4, src.Dc(), 0, 0, SRCCOPY));
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 5; x++) {
            const bool inFirst = x >= 1 && x < 4 && y >= 1 && y < 3;
            const DWORD expected = inFirst ? (x == 3 ? 0x2222u : 0xFC08u) : 0x1111u;
            EXPECT_EQ(c.Px().Get(x, y), expected) << x << "," << y;
        }
    // Nothing left, whether by an inverted rectangle or one outside the clip so far.
    EXPECT_EQ(IntersectClipRect(c.Dc(), 4, 2, 3, 1), NULLREGION);
    EXPECT_NE(FillRect(c.Dc(), &all, orange), 0);
    EXPECT_EQ(c.Px().Get(3, 1), 0x2222u);
    Canvas other(Dib::Rgb565, 5, 4);
    EXPECT_EQ(IntersectClipRect(other.Dc(), 0, 0, 2, 2), SIMPLEREGION);
    EXPECT_EQ(IntersectClipRect(other.Dc(), 2, 2, 5, 4), NULLREGION);
    EXPECT_EQ(IntersectClipRect(reinterpret_cast<HDC>(0x12345), 0, 0, 1, 1), RGN_ERROR);
    EXPECT_TRUE(DeleteObject(orange));
}

TEST_F(GdiBlt, RasterOperations) {
    Canvas src(Dib::Rgb565, 1, 1);
    Canvas dst(Dib::Rgb565, 1, 1);
    src.Px().Set(0, 0, 0x00FF);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    HGDIOBJ oldBrush = SelectObject(dst.Dc(), red);
    struct {
        DWORD rop;
        DWORD expected;
    } cases[] = {
        {SRCCOPY, 0x00FF},    {SRCAND, 0x000F},     {SRCPAINT, 0x0FFF},  {SRCINVERT, 0x0FF0},
        {NOTSRCCOPY, 0xFF00}, {SRCERASE, 0x00F0},   {DSTINVERT, 0xF0F0}, {BLACKNESS, 0x0000},
        {WHITENESS, 0xFFFF},  {MERGEPAINT, 0xFF0F}, {PATCOPY, 0xF800},   {PATINVERT, 0xF70F},
        {0x00E20746, 0x0F00}, // source ? pattern : destination
    };
    for (const auto& c : cases) {
        dst.Px().Set(0, 0, 0x0F0F);
        EXPECT_TRUE(BitBlt(dst.Dc(), 0, 0, 1, 1, src.Dc(), 0, 0, c.rop));
        EXPECT_EQ(dst.Px().Get(0, 0), c.expected) << std::hex << c.rop;
    }
    // Operations without a source need no source context; the others fail without one.
    dst.Px().Set(0, 0, 0x0F0F);
    EXPECT_TRUE(PatBlt(dst.Dc(), 0, 0, 1, 1, PATCOPY));
    EXPECT_EQ(dst.Px().Get(0, 0), 0xF800u);
    EXPECT_TRUE(BitBlt(dst.Dc(), 0, 0, 1, 1, nullptr, 0, 0, DSTINVERT));
    EXPECT_EQ(dst.Px().Get(0, 0), 0x07FFu);
    SetLastError(0);
    EXPECT_FALSE(BitBlt(dst.Dc(), 0, 0, 1, 1, nullptr, 0, 0, SRCCOPY));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(PatBlt(dst.Dc(), 0, 0, 1, 1, SRCCOPY));
    // A pattern operation with the hollow brush paints nothing.
    SelectObject(dst.Dc(), GetStockObject(NULL_BRUSH));
    EXPECT_TRUE(PatBlt(dst.Dc(), 0, 0, 1, 1, PATCOPY));
    EXPECT_EQ(dst.Px().Get(0, 0), 0x07FFu);
    SelectObject(dst.Dc(), oldBrush);
    DeleteObject(red);

    // 32-bit results of operations other than a copy have a zero top byte.
    Canvas d32(Dib::Xrgb8888, 1, 1);
    d32.Px().Set(0, 0, 0xFF00FF00);
    EXPECT_TRUE(PatBlt(d32.Dc(), 0, 0, 1, 1, DSTINVERT));
    EXPECT_EQ(d32.Px().Get(0, 0), 0x00FF00FFu);
}

TEST_F(GdiBlt, MonochromeBitmapsUseTheContextColours) {
    const BYTE bits[] = {0xA0, 0x00, 0xFF, 0x00}; // rows padded to 2 bytes
    HBITMAP mono = CreateBitmap(8, 2, 1, 1, bits);
    ASSERT_NE(mono, nullptr);
    HDC monoDc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(monoDc, mono);
    Canvas dst(Dib::Xrgb8888, 8, 2);
    SetTextColor(dst.Dc(), RGB(255, 0, 0));
    SetBkColor(dst.Dc(), RGB(0, 0, 255));
    EXPECT_TRUE(BitBlt(dst.Dc(), 0, 0, 8, 2, monoDc, 0, 0, SRCCOPY));
    // 1 bits take the background colour, 0 bits the text colour.
    EXPECT_EQ(dst.Px().Get(0, 0), 0x000000FFu);
    EXPECT_EQ(dst.Px().Get(1, 0), 0x00FF0000u);
    EXPECT_EQ(dst.Px().Get(2, 0), 0x000000FFu);
    EXPECT_EQ(dst.Px().Get(7, 1), 0x000000FFu);

    // Colour to monochrome: pixels of the source context's background colour become 1 (white).
    dst.Px().Set(0, 0, 0x00FFFFFF);
    dst.Px().Set(1, 0, 0x00123456);
    EXPECT_TRUE(BitBlt(monoDc, 0, 0, 2, 1, dst.Dc(), 0, 0, SRCCOPY)); // dst's background is blue
    EXPECT_EQ(GetPixel(monoDc, 0, 0), RGB(0, 0, 0));
    SetBkColor(dst.Dc(), RGB(0xFF, 0xFF, 0xFF));
    EXPECT_TRUE(BitBlt(monoDc, 0, 0, 2, 1, dst.Dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(GetPixel(monoDc, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(monoDc, 1, 0), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(monoDc, 2, 0), RGB(255, 255, 255)); // untouched
    EXPECT_EQ(GetPixel(monoDc, 8, 0), CLR_INVALID);

    SelectObject(monoDc, old);
    DeleteDC(monoDc);
    DeleteObject(mono);
}

TEST_F(GdiBlt, SetPixelReportsTheColourTheFormatKeeps) {
    Canvas c(Dib::Rgb565, 2, 2);
    EXPECT_EQ(SetPixel(c.Dc(), 1, 1, RGB(255, 130, 7)), RGB(255, 130, 0));
    EXPECT_EQ(c.Px().Get(1, 1), 0xFC00u);
    EXPECT_EQ(GetPixel(c.Dc(), 1, 1), RGB(255, 130, 0));
    EXPECT_EQ(SetPixel(c.Dc(), 2, 0, RGB(1, 1, 1)), CLR_INVALID);
    EXPECT_EQ(GetPixel(c.Dc(), 0, -1), CLR_INVALID);
}

} // namespace
