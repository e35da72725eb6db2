// Helpers of the GDI tests: DIB sections of a chosen format, raw pixel access by image row, and a
// fixture that fails a test which leaves GDI objects behind.
#pragma once

#include "platform/GdiHost.h"
#include "platform/WinCe.h"

#include <gtest/gtest.h>

#include <cstring>

enum class Dib { Rgb565, Rgb555, Rgb888, Xrgb8888, Bitfields555 };

// A DIB section; a negative height makes it top-down.
inline HBITMAP MakeDib(Dib kind, int width, int height, void** bits = nullptr) {
    struct {
        BITMAPINFOHEADER h;
        DWORD masks[3];
    } info{};
    info.h.biSize = sizeof(BITMAPINFOHEADER);
    info.h.biWidth = width;
    info.h.biHeight = height;
    info.h.biPlanes = 1;
    switch (kind) {
        case Dib::Rgb565:
            info.h.biBitCount = 16;
            info.h.biCompression = BI_BITFIELDS;
            info.masks[0] = 0xF800;
            info.masks[1] = 0x07E0;
            info.masks[2] = 0x001F;
            break;
        case Dib::Bitfields555:
            info.h.biBitCount = 16;
            info.h.biCompression = BI_BITFIELDS;
            info.masks[0] = 0x7C00;
            info.masks[1] = 0x03E0;
            info.masks[2] = 0x001F;
            break;
        case Dib::Rgb555:
            info.h.biBitCount = 16;
            info.h.biCompression = BI_RGB;
            break;
        case Dib::Rgb888:
            info.h.biBitCount = 24;
            info.h.biCompression = BI_RGB;
            break;
        case Dib::Xrgb8888:
            info.h.biBitCount = 32;
            info.h.biCompression = BI_RGB;
            break;
    }
    void* p = nullptr;
    HBITMAP hbm =
        CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &p, nullptr, 0);
    if (bits)
        *bits = p;
    return hbm;
}

// Raw pixel access through the section's own description, by image row (row 0 is the top row).
class Pixels {
public:
    explicit Pixels(HBITMAP hbm) {
        EXPECT_EQ(GetObjectW(hbm, sizeof(m_ds), &m_ds), static_cast<int>(sizeof(DIBSECTION)));
    }
    BYTE* Row(int y) const {
        int h = m_ds.dsBm.bmHeight;
        int memRow = m_ds.dsBmih.biHeight > 0 ? h - 1 - y : y;
        return static_cast<BYTE*>(m_ds.dsBm.bmBits) + memRow * m_ds.dsBm.bmWidthBytes;
    }
    DWORD Get(int x, int y) const {
        const BYTE* r = Row(y);
        switch (m_ds.dsBm.bmBitsPixel) {
            case 16: {
                uint16_t v;
                std::memcpy(&v, r + 2 * x, 2);
                return v;
            }
            case 24:
                return r[3 * x] | (r[3 * x + 1] << 8) | (r[3 * x + 2] << 16);
            default: {
                uint32_t v;
                std::memcpy(&v, r + 4 * x, 4);
                return v;
            }
        }
    }
    void Set(int x, int y, DWORD v) const {
        BYTE* r = Row(y);
        switch (m_ds.dsBm.bmBitsPixel) {
            case 16: {
                uint16_t w = static_cast<uint16_t>(v);
                std::memcpy(r + 2 * x, &w, 2);
                break;
            }
            case 24:
                r[3 * x] = static_cast<BYTE>(v);
                r[3 * x + 1] = static_cast<BYTE>(v >> 8);
                r[3 * x + 2] = static_cast<BYTE>(v >> 16);
                break;
            default:
                std::memcpy(r + 4 * x, &v, 4);
                break;
        }
    }
    void Fill(DWORD v) const {
        for (int y = 0; y < m_ds.dsBm.bmHeight; y++)
            for (int x = 0; x < m_ds.dsBm.bmWidth; x++)
                Set(x, y, v);
    }
    const DIBSECTION& Ds() const { return m_ds; }

private:
    DIBSECTION m_ds{};
};

// A bitmap selected into its own memory context, released at the end of the scope.
class Canvas {
public:
    Canvas(Dib kind, int width, int height) {
        m_bmp = MakeDib(kind, width, height);
        m_dc = CreateCompatibleDC(nullptr);
        m_old = SelectObject(m_dc, m_bmp);
    }
    ~Canvas() {
        SelectObject(m_dc, m_old);
        DeleteDC(m_dc);
        DeleteObject(m_bmp);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    HDC Dc() const { return m_dc; }
    HBITMAP Bmp() const { return m_bmp; }
    Pixels Px() const { return Pixels(m_bmp); }

private:
    HBITMAP m_bmp = nullptr;
    HDC m_dc = nullptr;
    HGDIOBJ m_old = nullptr;
};

// Every test must give back what it made.
class GdiTest : public ::testing::Test {
protected:
    void SetUp() override { m_objects = PlatformGdiObjectCount(); }
    void TearDown() override { EXPECT_EQ(PlatformGdiObjectCount(), m_objects) << "GDI objects leaked"; }

private:
    int m_objects = 0;
};
