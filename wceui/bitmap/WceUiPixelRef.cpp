#include "wceui/bitmap/WceUiPixelRef.h"

namespace {

int R565(WORD w) {
    return w >> 11;
}
int G565(WORD w) {
    return (w >> 5) & 63;
}
int B565(WORD w) {
    return w & 31;
}
WORD Pack565(int r, int g, int b) {
    return (WORD)((r << 11) | (g << 5) | b);
}

int Chan32(DWORD dw, int nShift) {
    return (int)((dw >> nShift) & 255);
}

// Applies f to the three colour bytes of a 32-bit pixel and keeps the alpha byte of dwKeep.
template <typename F> DWORD Map32(DWORD dwKeep, F f) {
    DWORD dwOut = dwKeep & 0xFF000000u;
    for (int nShift = 0; nShift <= 16; nShift += 8) {
        dwOut |= (DWORD)(f(nShift) & 255) << nShift;
    }
    return dwOut;
}

// Division that rounds toward minus infinity, spelled out rather than relying on a shift.
int FloorDiv(int nNum, int nDen) {
    int q = nNum / nDen;
    if ((nNum % nDen != 0) && (nNum < 0)) {
        --q;
    }
    return q;
}

// The hue rotation on three channel values; computes every weight from its definition.
void RefRotateHue(int& R, int& G, int& B, int nOffsetHue) {
    if (R == G && G == B) {
        return;
    }
    int nMax;
    int nMin = R < G ? R : G;
    nMin = nMin < B ? nMin : B;
    int nHue;
    if (G >= R && G >= B) {
        nMax = G;
    } else if (B >= R) {
        nMax = B;
    } else {
        nMax = R;
    }
    const int d = nMax - nMin;
    const int nInv = 3932160 / d;
    if (G >= R && G >= B) {
        nHue = 120 + FloorDiv(nInv * (B - R), 65536);
    } else if (B >= R) {
        nHue = 240 + FloorDiv(nInv * (R - G), 65536);
    } else {
        nHue = FloorDiv(nInv * (G - B), 65536);
    }
    int t = nHue + nOffsetHue;
    if (t < 0) {
        t += 360;
    } else if (t >= 360) {
        t -= 360;
    }
    const int u = t % 60;
    const long long llRise = 65536LL * u / 60;
    const long long llFall = (65536LL * (60 - u) + 59) / 60;
    const int nRising = nMin + (int)((d * llRise) / 65536);
    const int nFalling = nMin + (int)((d * llFall) / 65536);
    if (t < 60) {
        R = nMax, G = nRising, B = nMin;
    } else if (t < 120) {
        R = nFalling, G = nMax, B = nMin;
    } else if (t < 180) {
        R = nMin, G = nMax, B = nRising;
    } else if (t < 240) {
        R = nMin, G = nFalling, B = nMax;
    } else if (t == 240) {
        R = nMin, G = nMin, B = nMax;
    } else if (t < 300) {
        R = nRising, G = nMin, B = nMax;
    } else {
        R = nMax, G = nMin, B = nFalling;
    }
}

} // namespace

WORD FhRefBlend565PerPixel(WORD wDst, WORD wSrc, BYTE byAlpha) {
    const int a = byAlpha > 63 ? 63 : byAlpha;
    if (a == 63) {
        return wSrc;
    }
    if (a == 0) {
        return wDst;
    }
    const int m = 63 - a;
    const WORD wScaled = Pack565((R565(wDst) * m) >> 6, (G565(wDst) * m) >> 6, (B565(wDst) * m) >> 6);
    return (WORD)(wSrc + wScaled); // a plain 16-bit sum: carries are not stopped at channel borders
}

WORD FhRefBlend565Const(WORD wDst, WORD wSrc, int nAlpha) {
    const int k = nAlpha >> 2;
    auto f = [&](int d, int s) {
        switch (FhGetAlphaBand(nAlpha)) {
            case WCEUI_ALPHA_BAND_NONE:
                return d;
            case WCEUI_ALPHA_BAND_QUARTER:
                return (3 * d + s) >> 2;
            case WCEUI_ALPHA_BAND_HALF:
                return (d + s) >> 1;
            case WCEUI_ALPHA_BAND_3QUARTER:
                return (3 * s + d) >> 2;
            case WCEUI_ALPHA_BAND_COPY:
                return s;
            default:
                return (s * k + d * (63 - k)) >> 6;
        }
    };
    return Pack565(f(R565(wDst), R565(wSrc)), f(G565(wDst), G565(wSrc)), f(B565(wDst), B565(wSrc)));
}

WORD FhRefMix565Color(WORD wDst, WORD wColor, int nAlpha, BOOL bWholeLoop) {
    const int k = nAlpha >> 2;
    auto f = [&](int d, int c) {
        switch (FhGetAlphaBand(nAlpha)) {
            case WCEUI_ALPHA_BAND_NONE:
                return d;
            case WCEUI_ALPHA_BAND_QUARTER:
                return (3 * d + c) >> 2;
            case WCEUI_ALPHA_BAND_HALF:
                return bWholeLoop ? (c >> 1) + (d >> 1) : (d + c) >> 1;
            case WCEUI_ALPHA_BAND_3QUARTER:
                return bWholeLoop ? ((3 * c) >> 2) + (d >> 2) : (3 * c + d) >> 2;
            case WCEUI_ALPHA_BAND_COPY:
                return c;
            default:
                return (c * k + d * (63 - k)) >> 6;
        }
    };
    return Pack565(f(R565(wDst), R565(wColor)), f(G565(wDst), G565(wColor)), f(B565(wDst), B565(wColor)));
}

WORD FhRefMix565Black(WORD wDst, int nAlpha) {
    const int k = nAlpha >> 2;
    auto f = [&](int d) {
        switch (FhGetAlphaBand(nAlpha)) {
            case WCEUI_ALPHA_BAND_NONE:
                return d;
            case WCEUI_ALPHA_BAND_QUARTER:
                return d - (d >> 2);
            case WCEUI_ALPHA_BAND_HALF:
                return d >> 1;
            case WCEUI_ALPHA_BAND_3QUARTER:
                return d >> 2;
            case WCEUI_ALPHA_BAND_COPY:
                return 0;
            default:
                return (d * (63 - k)) >> 6;
        }
    };
    return Pack565(f(R565(wDst)), f(G565(wDst)), f(B565(wDst)));
}

WORD FhRefHue565(WORD wPixel, int nOffsetHue) {
    int R = R565(wPixel) * 2;
    int G = G565(wPixel);
    int B = B565(wPixel) * 2;
    RefRotateHue(R, G, B, nOffsetHue);
    return Pack565(R >> 1, G, B >> 1);
}

DWORD FhRefBlend32PerPixel(DWORD dwDst, DWORD dwSrc) {
    const int A = (int)(dwSrc >> 24);
    return Map32(dwDst, [&](int n) { return ((Chan32(dwDst, n) * (255 - A)) >> 8) + Chan32(dwSrc, n); });
}

DWORD FhRefBlend32Const(DWORD dwDst, DWORD dwSrc, int a) {
    return Map32(dwDst, [&](int n) {
        const int d = Chan32(dwDst, n);
        const int s = Chan32(dwSrc, n);
        switch (FhGetAlphaBand(a)) {
            case WCEUI_ALPHA_BAND_NONE:
                return d;
            case WCEUI_ALPHA_BAND_QUARTER:
                return (3 * d + s) >> 2;
            case WCEUI_ALPHA_BAND_HALF:
                return (d + s) >> 1;
            case WCEUI_ALPHA_BAND_3QUARTER:
                return (3 * s + d) >> 2;
            case WCEUI_ALPHA_BAND_COPY:
                return s;
            default:
                return (d * (255 - a) + s * a) >> 8;
        }
    });
}

DWORD FhRefMix32Color(DWORD dwDst, COLORREF crColor, int a) {
    const DWORD dwColor = FhColorTo32(crColor);
    return Map32(dwDst, [&](int n) {
        const int d = Chan32(dwDst, n);
        const int c = Chan32(dwColor, n);
        switch (FhGetAlphaBand(a)) {
            case WCEUI_ALPHA_BAND_NONE:
                return d;
            case WCEUI_ALPHA_BAND_QUARTER:
                return (3 * d + c) >> 2;
            case WCEUI_ALPHA_BAND_HALF:
                return (d + c) >> 1;
            case WCEUI_ALPHA_BAND_3QUARTER:
                return (3 * c + d) >> 2;
            case WCEUI_ALPHA_BAND_COPY:
                return c;
            default:
                return (c * a + d * (255 - a)) >> 8;
        }
    });
}

DWORD FhRefMix32Black(DWORD dwDst, int a) {
    return Map32(dwDst, [&](int n) {
        const int d = Chan32(dwDst, n);
        switch (FhGetAlphaBand(a)) {
            case WCEUI_ALPHA_BAND_NONE:
                return d;
            case WCEUI_ALPHA_BAND_QUARTER:
                return (3 * d) >> 2;
            case WCEUI_ALPHA_BAND_HALF:
                return d >> 1;
            case WCEUI_ALPHA_BAND_3QUARTER:
                return d >> 2;
            case WCEUI_ALPHA_BAND_COPY:
                return 0;
            default:
                return (d * (255 - a)) >> 8;
        }
    });
}

DWORD FhRefHue32(DWORD dwPixel, int nOffsetHue) {
    int R = Chan32(dwPixel, 16);
    int G = Chan32(dwPixel, 8);
    int B = Chan32(dwPixel, 0);
    RefRotateHue(R, G, B, nOffsetHue);
    return (dwPixel & 0xFF000000u) | ((DWORD)R << 16) | ((DWORD)G << 8) | (DWORD)B;
}
