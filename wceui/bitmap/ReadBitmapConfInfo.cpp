#include "wceui/bitmap/ReadBitmapConfInfo.h"

#include "wceui/bitmap/WceUiBitmapFile.h"
#include "wceui/bitmap/WceUiGenericBitmap.h"
#include "wceui/core/FhPath.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/res/FhConfDoc.h"

#include <cerrno>
#include <climits>

namespace {

bool IsFalse(LPCWSTR pValue) {
    return 0 == WStrICmp(pValue, u"false");
}

// 0x00RRGGBB as written in a description to the platform colour value 0x00BBGGRR.
COLORREF RgbToColorRef(unsigned long ulRgb) {
    return (COLORREF)(((ulRgb & 0xFF) << 16) | (ulRgb & 0xFF00) | ((ulRgb >> 16) & 0xFF));
}

// Hexadecimal text to a number the way the unit's 32-bit unsigned long conversion gives it: a magnitude
// past 0xFFFFFFFF saturates there, and a minus sign negates in 32 bits. (Here unsigned long has 64 bits,
// so the conversion alone would keep the low bits of a long value instead.)
DWORD HexToU32(LPCWSTR pText) {
    LPCWSTR p = pText;
    while (u' ' == *p || (*p >= 9 && *p <= 13)) {
        ++p;
    }
    const bool bNegative = u'-' == *p;
    errno = 0;
    const unsigned long ulValue = WStrToUL(pText, NULL, 16);
    if (ERANGE == errno) {
        return 0xFFFFFFFFu;
    }
    const unsigned long ulMagnitude = bNegative ? 0ul - ulValue : ulValue;
    if (ulMagnitude > 0xFFFFFFFFul) {
        return 0xFFFFFFFFu;
    }
    return bNegative ? 0u - (DWORD)ulMagnitude : (DWORD)ulMagnitude;
}

} // namespace

CReadBitmapConfInfo::CReadBitmapConfInfo() {
    Reset();
}

void CReadBitmapConfInfo::Reset() {
    m_szBitmapFullPath[0] = 0;
    m_szAlphaFullPath[0] = 0;
    m_crTrans = WCEUI_INVALID_TRANS_COLOR;
    m_bPerPixelAlpha = FALSE;
    m_nConstantAlpha = -1;
    m_bLoaded = FALSE;
}

BOOL CReadBitmapConfInfo::LoadBitmapConfFile(LPCWSTR pBitmapConfFile) {
    if (!WCEUI_CHECK("CReadBitmapConfInfo::LoadBitmapConfFile", NULL != pBitmapConfFile)) {
        return FALSE;
    }
    Reset();
    CFhConfDoc doc;
    if (!doc.LoadFile(pBitmapConfFile, FALSE)) {
        WceUiLogW(WCEUI_LOG_ERROR, u"can not load file %s", pBitmapConfFile);
        Reset();
        return FALSE;
    }
    WCHAR szDir[MAX_PATH];
    if (!WStrCpyN(szDir, MAX_PATH, pBitmapConfFile) || !FhGetDirPathFromFilePath(szDir)) {
        Reset();
        return FALSE;
    }
    LPCWSTR pSrc = doc.GetValue(u"src");
    if (NULL == pSrc) {
        WceUiLogW(WCEUI_LOG_ERROR, u"Load %s failed no src item", pBitmapConfFile);
        Reset();
        return FALSE;
    }
    if (!FhMakeFullPath(szDir, pSrc, m_szBitmapFullPath, MAX_PATH)) {
        Reset();
        return FALSE;
    }
    LPCWSTR pPa = doc.GetValue(u"pa");
    if (NULL != pPa && 0 == WStrICmp(pPa, u"true")) {
        m_bPerPixelAlpha = TRUE;
        if (!GetAlphaPathFromBmpPath(m_szBitmapFullPath, m_szAlphaFullPath, MAX_PATH)) {
            Reset();
            return FALSE;
        }
    }
    LPCWSTR pTc = doc.GetValue(u"tc");
    if (NULL != pTc && !IsFalse(pTc)) {
        m_crTrans = RgbToColorRef(HexToU32(pTc));
    }
    LPCWSTR pCa = doc.GetValue(u"ca");
    if (NULL == pCa || IsFalse(pCa)) {
        m_bLoaded = TRUE;
        return TRUE;
    }
    const long lAlpha = WStrToL(pCa, NULL, 10);
    if (lAlpha < 0 || lAlpha > 255) {
        WceUiLogW(WCEUI_LOG_ERROR, u"invalid ca in %s", pBitmapConfFile);
        Reset();
        return FALSE;
    }
    m_nConstantAlpha = (int)lAlpha;
    m_bLoaded = TRUE;
    return TRUE;
}

BOOL CReadBitmapConfInfo::HasPerPixelAlpha() const {
    if (!WCEUI_CHECK("CReadBitmapConfInfo::HasPerPixelAlpha", m_bLoaded)) {
        return FALSE;
    }
    return m_bPerPixelAlpha;
}

BOOL CReadBitmapConfInfo::GetTransColor(COLORREF* pcrTrans) const {
    if (!WCEUI_CHECK("CReadBitmapConfInfo::GetTransColor", m_bLoaded)) {
        return FALSE;
    }
    if (pcrTrans) {
        *pcrTrans = m_crTrans;
    }
    return WCEUI_INVALID_TRANS_COLOR != m_crTrans;
}

BOOL CReadBitmapConfInfo::GetConstantAlpha(int* pnAlpha) const {
    if (!WCEUI_CHECK("CReadBitmapConfInfo::GetConstantAlpha", m_bLoaded)) {
        return FALSE;
    }
    if (pnAlpha) {
        *pnAlpha = m_nConstantAlpha;
    }
    return -1 != m_nConstantAlpha;
}

LPCWSTR CReadBitmapConfInfo::GetBitmapFullPath() const {
    if (!WCEUI_CHECK("CReadBitmapConfInfo::GetBitmapFullPath", m_bLoaded)) {
        return NULL;
    }
    return m_szBitmapFullPath;
}

LPCWSTR CReadBitmapConfInfo::GetAlphaFullPath() const {
    if (!WCEUI_CHECK("CReadBitmapConfInfo::GetAlphaFullPath", m_bLoaded)) {
        return NULL;
    }
    return m_szAlphaFullPath;
}

CWceUiGenericBitmap* FhLoadBitmapFromConfFile(LPCWSTR pBitmapConfFullPath) {
    if (!WCEUI_CHECK("FhLoadBitmapFromConfFile", NULL != pBitmapConfFullPath)) {
        return NULL;
    }
    CReadBitmapConfInfo info;
    if (!info.LoadBitmapConfFile(pBitmapConfFullPath)) {
        WceUiLogW(WCEUI_LOG_ERROR, u"load file %s failed", pBitmapConfFullPath);
        return NULL;
    }
    LPCWSTR pBitmapFullPath = info.GetBitmapFullPath();
    if (!WCEUI_CHECK("FhLoadBitmapFromConfFile", NULL != pBitmapFullPath)) {
        return NULL;
    }
    const BOOL bPerPixelAlpha = info.HasPerPixelAlpha();
    CWceUiGenericBitmap* pBmp = WceUiLoadBmpFromFile(pBitmapFullPath, bPerPixelAlpha,
                                                     bPerPixelAlpha ? info.GetAlphaFullPath() : NULL);
    if (NULL == pBmp) {
        WceUiLogW(WCEUI_LOG_ERROR, u"WceUiLoadBmpFromFile %s failed", pBitmapFullPath);
        return NULL;
    }
    COLORREF crTrans;
    if (info.GetTransColor(&crTrans)) {
        pBmp->SetTransColor(TRUE, crTrans);
    }
    int nAlpha;
    if (info.GetConstantAlpha(&nAlpha)) {
        pBmp->SetConstantAlpha(TRUE, nAlpha);
    }
    return pBmp;
}
