#include "wceui/bitmap/FhBmp.h"

#include "wceui/bitmap/WceUiBitmapFile.h"
#include "wceui/core/WceUiLog.h"

#include <cstring>
#include <new>

namespace {

// The info header of a DIB section followed by the three bit-field masks.
struct DibInfo565 {
    BITMAPINFOHEADER bmiHeader;
    DWORD dwMasks[3];
};

HBITMAP CreateEmptyDIB(int nWidth, int nHeight, WORD wBitCount, LPVOID* ppBits, const char* pOperation) {
    bool bValid = WCEUI_CHECK(pOperation, nWidth > 0);
    bValid = WCEUI_CHECK(pOperation, nHeight > 0) && bValid;
    if (!bValid) {
        return NULL;
    }
    DibInfo565 info;
    memset(&info, 0, sizeof(info));
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = nWidth;
    info.bmiHeader.biHeight = nHeight; // positive: bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = wBitCount;
    if (16 == wBitCount) {
        info.bmiHeader.biCompression = BI_BITFIELDS;
        info.dwMasks[0] = 0xF800;
        info.dwMasks[1] = 0x07E0;
        info.dwMasks[2] = 0x001F;
    } else {
        info.bmiHeader.biCompression = BI_RGB;
    }
    void* pBits = NULL;
    HBITMAP hBitmap =
        CreateDIBSection(NULL, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, &pBits, NULL, 0);
    if (ppBits) {
        *ppBits = hBitmap ? pBits : NULL;
    }
    return hBitmap;
}

// The record that stands for "not loaded". Its count is never changed.
FhBmpData s_emptyData = {1, NULL, NULL, {0, 0, 0, 0, 0, 0, NULL}, NULL};

} // namespace

HBITMAP CreateEmptyDIB565(int nWidth, int nHeight, LPVOID* ppBits) {
    return CreateEmptyDIB(nWidth, nHeight, 16, ppBits, "CreateEmptyDIB565");
}

HBITMAP CreateEmptyDIB32(int nWidth, int nHeight, LPVOID* ppBits) {
    return CreateEmptyDIB(nWidth, nHeight, 32, ppBits, "CreateEmptyDIB32");
}

DWORD FhGetAlphaPlaneLen(int nWidth, int nHeight) {
    if (nWidth <= 0 || nHeight <= 0) {
        return 0;
    }
    const unsigned long long ullLen = (unsigned long long)((nWidth + 1) & ~1) * (unsigned long long)nHeight;
    return ullLen > 0xFFFFFFFFull ? 0xFFFFFFFFu : (DWORD)ullLen;
}

FhBmpData* CFhBmp::GetEmptyData() {
    return &s_emptyData;
}

CFhBmp::CFhBmp() : m_pData(GetEmptyData()) {}

CFhBmp::~CFhBmp() {
    Release();
}

void CFhBmp::FreeData(FhBmpData* pData) {
    if (pData->hBitmap) {
        DeleteObject(pData->hBitmap);
    }
    delete[] pData->pAlpha;
    delete pData;
}

BOOL CFhBmp::AllocNew() {
    Release();
    FhBmpData* pData = new (std::nothrow) FhBmpData;
    if (NULL == pData) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::AllocNew, new fail,sizeof(FhBmpData)=%u", "CFhBmp",
                 (unsigned)sizeof(FhBmpData));
        return FALSE;
    }
    memset(pData, 0, sizeof(*pData));
    pData->nRefs = 1;
    m_pData = pData;
    return TRUE;
}

void CFhBmp::Release() {
    if (IsEmptyStore()) {
        return;
    }
    FhBmpData* pData = m_pData;
    m_pData = GetEmptyData();
    if (InterlockedDecrement(&pData->nRefs) <= 0) {
        FreeData(pData);
    }
}

BOOL CFhBmp::LockBuffer() {
    if (IsEmptyStore()) {
        return TRUE;
    }
    if (m_pData->nRefs >= 2) {
        FhBmpData* pOld = m_pData;
        FhBmpData* pNew = new (std::nothrow) FhBmpData;
        if (NULL == pNew) {
            WceUiLog(WCEUI_LOG_ERROR, "%s::LockBuffer, new fail,sizeof(FhBmpData)=%u", "CFhBmp",
                     (unsigned)sizeof(FhBmpData));
            return FALSE;
        }
        memset(pNew, 0, sizeof(*pNew));
        pNew->nRefs = 1;
        m_pData = pNew;
        if (!Copy(pOld)) {
            // Keep the shared pixels rather than lose them.
            FreeData(pNew);
            m_pData = pOld;
            return FALSE;
        }
        if (InterlockedDecrement(&pOld->nRefs) <= 0) {
            FreeData(pOld);
        }
    }
    m_pData->nRefs = -1;
    return TRUE;
}

void CFhBmp::UnlockBuffer() {
    if (!IsEmptyStore()) {
        m_pData->nRefs = 1;
    }
}

BOOL CFhBmp::CopyBeforeWrite() {
    if (IsEmptyStore() || -1 == m_pData->nRefs) {
        return TRUE;
    }
    if (!LockBuffer()) {
        return FALSE;
    }
    UnlockBuffer();
    return TRUE;
}

void CFhBmp::Share(const CFhBmp& other) {
    if (&other == this || other.m_pData == m_pData) {
        return;
    }
    Release();
    if (other.IsEmptyStore()) {
        return;
    }
    m_pData = other.m_pData;
    InterlockedIncrement(&m_pData->nRefs);
}

BOOL CFhBmp::Copy(const FhBmpData* pSrcData) {
    if (NULL == pSrcData || NULL == pSrcData->hBitmap) {
        return TRUE;
    }
    if (IsEmptyStore() && !AllocNew()) {
        return FALSE;
    }
    switch (pSrcData->bmpInfo.bmBitsPixel) {
        case 16:
            return CopyBmpData565(m_pData, pSrcData);
        case 32:
            return CopyBmpData32(m_pData, pSrcData);
        default:
            WceUiLog(WCEUI_LOG_ERROR, "%s::Copy, CWceUiGenericBitmap only support 32 or 565 bitmap!",
                     "CFhBmp");
            return FALSE;
    }
}

namespace {

// The common part of the two deep copies; the destination record is left empty on failure.
BOOL CopyBmpData(FhBmpData* pDstData, const FhBmpData* pSrcData, int nBitsPixel, const char* pName) {
    bool bValid = WCEUI_CHECK(pName, NULL != pDstData);
    bValid = WCEUI_CHECK(pName, NULL != pSrcData) && bValid;
    if (!bValid || !WCEUI_CHECK(pName, NULL != pSrcData->hBitmap)) {
        return FALSE;
    }
    if (nBitsPixel != pSrcData->bmpInfo.bmBitsPixel) {
        WceUiLog(WCEUI_LOG_ERROR,
                 16 == nBitsPixel ? "%s, src bmp is %d, not 16 bitmap" : "%s, src bmp is %d, not 32 bitmap",
                 pName, (int)pSrcData->bmpInfo.bmBitsPixel);
        return FALSE;
    }
    const int nWidth = pSrcData->bmpInfo.bmWidth;
    const int nHeight = pSrcData->bmpInfo.bmHeight;
    LPVOID pBits = NULL;
    HBITMAP hBitmap = 16 == nBitsPixel ? CreateEmptyDIB565(nWidth, nHeight, &pBits)
                                       : CreateEmptyDIB32(nWidth, nHeight, &pBits);
    if (NULL == hBitmap) {
        WceUiLog(WCEUI_LOG_ERROR,
                 16 == nBitsPixel ? "%s, call CreateEmptyDIB565 fail" : "%s, call CreateEmptyDIB32 fail",
                 pName);
        return FALSE;
    }
    memcpy(pBits, pSrcData->pBits, FhGetBitmapDataLen(nWidth, nHeight, nBitsPixel));
    BITMAP bmpInfo;
    if (0 == GetObject(hBitmap, sizeof(bmpInfo), &bmpInfo)) {
        WceUiLog(WCEUI_LOG_ERROR, "%s, call ::GetObject fail, GetLastError is %d", pName,
                 (int)GetLastError());
        DeleteObject(hBitmap);
        return FALSE;
    }
    LPBYTE pAlpha = NULL;
    if (16 == nBitsPixel && NULL != pSrcData->pAlpha) {
        const DWORD dwAlphaSize = FhGetAlphaPlaneLen(nWidth, nHeight);
        pAlpha = new (std::nothrow) BYTE[dwAlphaSize];
        if (NULL == pAlpha) {
            WceUiLog(WCEUI_LOG_ERROR, "%s, new faile, dwAlphaSize = %u", pName, (unsigned)dwAlphaSize);
            DeleteObject(hBitmap);
            return FALSE;
        }
        memcpy(pAlpha, pSrcData->pAlpha, dwAlphaSize);
    }
    if (pDstData->hBitmap) {
        DeleteObject(pDstData->hBitmap);
    }
    delete[] pDstData->pAlpha;
    pDstData->hBitmap = hBitmap;
    pDstData->pBits = pBits;
    pDstData->bmpInfo = bmpInfo;
    pDstData->pAlpha = pAlpha;
    return TRUE;
}

} // namespace

BOOL CopyBmpData565(FhBmpData* pDstData, const FhBmpData* pSrcData) {
    return CopyBmpData(pDstData, pSrcData, 16, "CopyBmpData565");
}

BOOL CopyBmpData32(FhBmpData* pDstData, const FhBmpData* pSrcData) {
    return CopyBmpData(pDstData, pSrcData, 32, "CopyBmpData32");
}

BOOL CFhBmp::CopyHBitmap(int nDstBitsPixel, HBITMAP hBitmap) {
    if (NULL == hBitmap) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::CopyHBitmap, hBitMap is NULL", "CFhBmp");
        return FALSE;
    }
    if (16 != nDstBitsPixel && 32 != nDstBitsPixel) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::CopyHBitmap, nDstBitsPixel is %d, not 16 or 32", "CFhBmp",
                 nDstBitsPixel);
        return FALSE;
    }
    if (IsEmptyStore() && !AllocNew()) {
        return FALSE;
    }
    BITMAP bmSrc;
    if (0 == GetObject(hBitmap, sizeof(bmSrc), &bmSrc)) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::CopyHBitmap call GetObject fail,GetLastError = %d", "CFhBmp",
                 (int)GetLastError());
        return FALSE;
    }
    LPVOID pBits = NULL;
    HBITMAP hNew = 16 == nDstBitsPixel ? CreateEmptyDIB565(bmSrc.bmWidth, bmSrc.bmHeight, &pBits)
                                       : CreateEmptyDIB32(bmSrc.bmWidth, bmSrc.bmHeight, &pBits);
    if (NULL == hNew) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::CopyHBitmap, Create empty dib failed, width=%d, height=%d", "CFhBmp",
                 (int)bmSrc.bmWidth, (int)bmSrc.bmHeight);
        return FALSE;
    }
    BOOL bOk = FALSE;
    HDC hdcSrc = CreateCompatibleDC(NULL);
    HDC hdcDst = CreateCompatibleDC(NULL);
    if (hdcSrc && hdcDst) {
        HGDIOBJ hOldSrc = SelectObject(hdcSrc, hBitmap);
        HGDIOBJ hOldDst = SelectObject(hdcDst, hNew);
        bOk = ::BitBlt(hdcDst, 0, 0, bmSrc.bmWidth, bmSrc.bmHeight, hdcSrc, 0, 0, SRCCOPY);
        if (!bOk) {
            WceUiLog(WCEUI_LOG_ERROR, "%s::CopyHBitmap, call BitBlt failed, GetLastError = %d", "CFhBmp",
                     (int)GetLastError());
        }
        if (hOldSrc) {
            SelectObject(hdcSrc, hOldSrc);
        }
        if (hOldDst) {
            SelectObject(hdcDst, hOldDst);
        }
    } else {
        WceUiLog(WCEUI_LOG_ERROR, "%s::CopyHBitmap, call CreateCompatibleDC failed, GetLastError = %d",
                 "CFhBmp", (int)GetLastError());
    }
    if (hdcSrc) {
        DeleteDC(hdcSrc);
    }
    if (hdcDst) {
        DeleteDC(hdcDst);
    }
    BITMAP bmInfo;
    memset(&bmInfo, 0, sizeof(bmInfo));
    if (bOk && 0 == GetObject(hNew, sizeof(bmInfo), &bmInfo)) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::CopyHBitmap, call GetObject fail, GetLastError = %d", "CFhBmp",
                 (int)GetLastError());
        bOk = FALSE;
    }
    if (!bOk) {
        DeleteObject(hNew);
        memset(&m_pData->bmpInfo, 0, sizeof(m_pData->bmpInfo));
        return FALSE;
    }
    if (m_pData->hBitmap) {
        DeleteObject(m_pData->hBitmap);
    }
    delete[] m_pData->pAlpha;
    m_pData->pAlpha = NULL;
    m_pData->hBitmap = hNew;
    m_pData->pBits = pBits;
    m_pData->bmpInfo = bmInfo;
    return TRUE;
}
