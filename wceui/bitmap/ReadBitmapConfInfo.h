// Bitmap description files (".conf"): which BMP file, whether an ".alpha" plane belongs to it, which
// colour is transparent and which constant alpha applies.
#pragma once

#include "platform/WinCe.h"

class CWceUiGenericBitmap;

class CReadBitmapConfInfo {
public:
    CReadBitmapConfInfo();

    // Reads and checks one description; FALSE leaves the reader reset.
    BOOL LoadBitmapConfFile(LPCWSTR pBitmapConfFile);

    // Each returns whether the value is set; all refuse (check "m_bLoaded") before a successful load.
    BOOL HasPerPixelAlpha() const;
    BOOL GetTransColor(COLORREF* pcrTrans) const;
    BOOL GetConstantAlpha(int* pnAlpha) const;
    // The full paths; null when nothing is loaded.
    LPCWSTR GetBitmapFullPath() const;
    LPCWSTR GetAlphaFullPath() const;

private:
    void Reset();

    WCHAR m_szBitmapFullPath[MAX_PATH];
    WCHAR m_szAlphaFullPath[MAX_PATH];
    COLORREF m_crTrans;
    BOOL m_bPerPixelAlpha;
    int m_nConstantAlpha;
    BOOL m_bLoaded;
};

// Loads the bitmap a description names, with its attributes; the caller owns the result. Null on any
// failure (logged).
CWceUiGenericBitmap* FhLoadBitmapFromConfFile(LPCWSTR pBitmapConfFullPath);
