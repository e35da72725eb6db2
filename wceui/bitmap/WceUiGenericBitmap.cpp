#include "wceui/bitmap/WceUiGenericBitmap.h"

#include "wceui/bitmap/FhBmp.h"
#include "wceui/bitmap/WceUi32Bitmap.h"
#include "wceui/bitmap/WceUi565Bitmap.h"
#include "wceui/bitmap/WceUiBitmapFile.h"
#include "wceui/bitmap/WceUiBitmapRows.h"
#include "wceui/bitmap/WceUiPixelOps.h"
#include "wceui/core/WceUiLog.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace {

const char* const kName = "CWceUiGenericBitmap";

// A memory device context with one bitmap selected; both undone by the destructor.
class CMemDcWithBitmap {
public:
    explicit CMemDcWithBitmap(HBITMAP hBitmap) {
        m_hDc = CreateCompatibleDC(NULL);
        if (m_hDc) {
            m_hOld = SelectObject(m_hDc, hBitmap);
        }
    }
    ~CMemDcWithBitmap() {
        if (m_hDc) {
            if (m_hOld) {
                SelectObject(m_hDc, m_hOld);
            }
            DeleteDC(m_hDc);
        }
    }
    CMemDcWithBitmap(const CMemDcWithBitmap&) = delete;
    CMemDcWithBitmap& operator=(const CMemDcWithBitmap&) = delete;
    HDC Get() const { return m_hDc; }
    bool IsValid() const { return NULL != m_hDc && NULL != m_hOld; }

private:
    HDC m_hDc = NULL;
    HGDIOBJ m_hOld = NULL;
};

} // namespace

std::unique_ptr<CFhBmp> CWceUiGenericBitmap::NewStore() {
    std::unique_ptr<CFhBmp> pBmp(new (std::nothrow) CFhBmp);
    if (!pBmp) {
        WceUiLog(WCEUI_LOG_ERROR, "%s(),new fail,sizeof(CFhBmp)=%u", kName, (unsigned)sizeof(CFhBmp));
    }
    return pBmp;
}

CWceUiGenericBitmap::CWceUiGenericBitmap()
    : m_pBmp(NewStore()), m_crTrans(WCEUI_INVALID_TRANS_COLOR), m_bPerPixelAlpha(FALSE),
      m_nConstantAlpha(-1) {
    SetClassName(WCEUI_CLASS_NAME(CWceUiGenericBitmap));
}

CWceUiGenericBitmap::CWceUiGenericBitmap(const CWceUiGenericBitmap& bmpSrc)
    : CWceUiObject(bmpSrc), m_pBmp(NewStore()), m_crTrans(bmpSrc.m_crTrans),
      m_bPerPixelAlpha(bmpSrc.m_bPerPixelAlpha), m_nConstantAlpha(bmpSrc.m_nConstantAlpha) {
    if (m_pBmp && bmpSrc.m_pBmp && !bmpSrc.m_pBmp->IsLocked()) {
        m_pBmp->Share(*bmpSrc.m_pBmp);
    }
}

CWceUiGenericBitmap::~CWceUiGenericBitmap() = default;

void CWceUiGenericBitmap::ResetObject() {
    if (m_pBmp) {
        m_pBmp->Release();
    }
    m_crTrans = WCEUI_INVALID_TRANS_COLOR;
    m_bPerPixelAlpha = FALSE;
    m_nConstantAlpha = -1;
}

void CWceUiGenericBitmap::CopyAttributes(const CWceUiGenericBitmap& bmpSrc) {
    m_crTrans = bmpSrc.m_crTrans;
    m_bPerPixelAlpha = bmpSrc.m_bPerPixelAlpha;
    m_nConstantAlpha = bmpSrc.m_nConstantAlpha;
}

FhBmpData* CWceUiGenericBitmap::GetStore() const {
    return m_pBmp ? m_pBmp->GetData() : CFhBmp::GetEmptyData();
}

BOOL CWceUiGenericBitmap::CopyBeforeWrite() {
    return m_pBmp ? m_pBmp->CopyBeforeWrite() : TRUE;
}

BOOL CWceUiGenericBitmap::AttachNewStore(HBITMAP hBitmap, LPVOID pBits, const BITMAP& bmpInfo,
                                         std::unique_ptr<BYTE[]> pAlpha) {
    if (!m_pBmp || !m_pBmp->AllocNew()) {
        return FALSE;
    }
    FhBmpData* pData = m_pBmp->GetData();
    pData->hBitmap = hBitmap;
    pData->pBits = pBits;
    pData->bmpInfo = bmpInfo;
    pData->pAlpha = pAlpha.release();
    return TRUE;
}

BOOL CWceUiGenericBitmap::IsLoaded() const {
    return NULL != GetStore()->hBitmap;
}

int CWceUiGenericBitmap::GetWidth() const {
    if (!IsLoaded()) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::GetWidth, IsLoaded() return FALSE", kName);
    }
    return GetStore()->bmpInfo.bmWidth;
}

int CWceUiGenericBitmap::GetHeight() const {
    if (!IsLoaded()) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::GetHeight, IsLoaded() return FALSE", kName);
    }
    return GetStore()->bmpInfo.bmHeight;
}

int CWceUiGenericBitmap::GetBitsPixel() const {
    if (!IsLoaded()) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::GetBitsPixel, IsLoaded() return FALSE", kName);
    }
    return GetStore()->bmpInfo.bmBitsPixel;
}

BOOL CWceUiGenericBitmap::SetTransColor(BOOL bEnable, COLORREF crTrans) {
    if (!IsLoaded()) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::SetTransColor, IsLoaded() return FALSE", kName);
        return FALSE;
    }
    if (!bEnable) {
        m_crTrans = WCEUI_INVALID_TRANS_COLOR;
        return TRUE;
    }
    if (!WCEUI_CHECK("CWceUiGenericBitmap::SetTransColor", WCEUI_INVALID_TRANS_COLOR != crTrans)) {
        return FALSE;
    }
    m_crTrans = crTrans;
    return TRUE;
}

BOOL CWceUiGenericBitmap::GetTransColor(COLORREF* pcrTrans) const {
    if (!IsLoaded()) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::GetTransColor, IsLoaded() return FALSE", kName);
        return FALSE;
    }
    if (!WCEUI_CHECK("CWceUiGenericBitmap::GetTransColor", NULL != pcrTrans)) {
        return FALSE;
    }
    *pcrTrans = m_crTrans;
    return WCEUI_INVALID_TRANS_COLOR != m_crTrans;
}

BOOL CWceUiGenericBitmap::SetConstantAlpha(BOOL bEnable, int nAlpha) {
    if (!IsLoaded()) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::SetConstantAlpha, IsLoaded() return FALSE", kName);
        return FALSE;
    }
    if (!bEnable) {
        m_nConstantAlpha = -1;
        return TRUE;
    }
    // 0 is reported (it draws nothing) but still stored.
    WCEUI_CHECK("CWceUiGenericBitmap::SetConstantAlpha", ((nAlpha > 0) && (nAlpha <= 255)));
    if (nAlpha < 0 || nAlpha > 255) {
        return FALSE;
    }
    m_nConstantAlpha = nAlpha;
    return TRUE;
}

BOOL CWceUiGenericBitmap::GetConstantAlpha(int* pnAlpha) const {
    if (!IsLoaded()) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::GetConstantAlpha, IsLoaded() return FALSE", kName);
        return FALSE;
    }
    if (!WCEUI_CHECK("CWceUiGenericBitmap::GetConstantAlpha", NULL != pnAlpha)) {
        return FALSE;
    }
    *pnAlpha = m_nConstantAlpha;
    return -1 != m_nConstantAlpha;
}

HBITMAP CWceUiGenericBitmap::GetHBitmap(LPVOID* ppBits) {
    if (!IsLoaded()) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::GetHBitmap, IsLoaded() return FALSE", kName);
        return NULL;
    }
    if (!m_pBmp->LockBuffer()) {
        return NULL;
    }
    if (ppBits) {
        *ppBits = GetStore()->pBits;
    }
    return GetStore()->hBitmap;
}

LPCVOID CWceUiGenericBitmap::GetPixelData() const {
    return GetStore()->pBits;
}

void CWceUiGenericBitmap::ReleaseHBitmap() {
    if (m_pBmp && m_pBmp->IsLocked()) {
        m_pBmp->UnlockBuffer();
    }
}

BOOL CWceUiGenericBitmap::FillColor(COLORREF crFill, LPCRECT lpRect) {
    if (!IsLoaded()) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::FillColor, IsLoaded() return FALSE", kName);
        return FALSE;
    }
    HBRUSH hBrush = CreateSolidBrush(crFill);
    if (NULL == hBrush) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::FillColor, call ::CreateSolidBrush failed, GetLastError is:%d", kName,
                 (int)GetLastError());
        return FALSE;
    }
    BOOL bOk = FALSE;
    if (CopyBeforeWrite()) {
        CMemDcWithBitmap dc(GetStore()->hBitmap);
        RECT rcFill;
        if (NULL != lpRect) {
            rcFill = *lpRect;
            bOk = TRUE;
        } else {
            bOk = SetRect(&rcFill, 0, 0, GetWidth(), GetHeight());
            if (!bOk) {
                WceUiLog(WCEUI_LOG_ERROR, "%s::FillColor, call ::SetRect failed, GetLastError is %d", kName,
                         (int)GetLastError());
            }
        }
        if (bOk) {
            bOk = dc.IsValid() && 0 != FillRect(dc.Get(), &rcFill, hBrush);
            if (!bOk) {
                WceUiLog(WCEUI_LOG_ERROR, "%s::FillColor, call ::FillRect failed, GetLastError is %d", kName,
                         (int)GetLastError());
            }
        }
    }
    DeleteObject(hBrush);
    return bOk;
}

BOOL CWceUiGenericBitmap::BltToDc(HDC dcDst, int xDst, int yDst, int nWidth, int nHeight, int xSrc, int ySrc,
                                  DWORD dwRop) {
    if (!IsLoaded()) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::BltToDc, IsLoaded() return FALSE", kName);
        return FALSE;
    }
    if (!WCEUI_CHECK("CWceUiGenericBitmap::BltToDc", NULL != dcDst)) {
        return FALSE;
    }
    CMemDcWithBitmap dc(GetStore()->hBitmap);
    const BOOL bOk =
        dc.IsValid() && ::BitBlt(dcDst, xDst, yDst, nWidth, nHeight, dc.Get(), xSrc, ySrc, dwRop);
    if (!bOk) {
        WceUiLog(WCEUI_LOG_WARNING, "%s::BltToDc,call ::BitBlt failed, GetLastError is %d", kName,
                 (int)GetLastError());
    }
    return bOk;
}

BOOL CWceUiGenericBitmap::StretchToDc(HDC dcDst, int xDst, int yDst, int nDstWidth, int nDstHeight, int xSrc,
                                      int ySrc, int nSrcWidth, int nSrcHeight, DWORD dwRop) {
    if (!IsLoaded()) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::StretchToDc, IsLoaded() return FALSE", kName);
        return FALSE;
    }
    if (!WCEUI_CHECK("CWceUiGenericBitmap::StretchToDc", NULL != dcDst)) {
        return FALSE;
    }
    CMemDcWithBitmap dc(GetStore()->hBitmap);
    const BOOL bOk = dc.IsValid() && ::StretchBlt(dcDst, xDst, yDst, nDstWidth, nDstHeight, dc.Get(), xSrc,
                                                  ySrc, nSrcWidth, nSrcHeight, dwRop);
    if (!bOk) {
        WceUiLog(WCEUI_LOG_WARNING, "%s::StretchToDc,call ::StretchBlt failed, GetLastError is %d", kName,
                 (int)GetLastError());
    }
    return bOk;
}

// The checks of every blit from another bitmap, each logged with the operation's name.
BOOL CWceUiGenericBitmap::CheckBlitOperands(const char* pOperation, const char* pSeparator,
                                            const CWceUiGenericBitmap* pSrcBmp) const {
    if (!IsLoaded()) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::%s(pSrcBmp),%sIsLoaded() return FALSE", kName, pOperation, pSeparator);
        return FALSE;
    }
    if (NULL == pSrcBmp) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::%s(pSrcBmp), pSrcBmp is NULL", kName, pOperation);
        return FALSE;
    }
    if (!pSrcBmp->IsLoaded()) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::%s(pSrcBmp), pSrcBmp->IsLoaded() return FALSE", kName, pOperation);
        return FALSE;
    }
    return TRUE;
}

BOOL CWceUiGenericBitmap::BitBlt(int xDst, int yDst, int nWidth, int nHeight, CWceUiGenericBitmap* pSrcBmp,
                                 int xSrc, int ySrc, DWORD dwRop) {
    if (!CheckBlitOperands("BitBlt", "", pSrcBmp)) {
        return FALSE;
    }
    if (!CopyBeforeWrite()) {
        return FALSE;
    }
    CMemDcWithBitmap dcSrc(pSrcBmp->GetStore()->hBitmap);
    CMemDcWithBitmap dcDst(GetStore()->hBitmap);
    const BOOL bOk = dcSrc.IsValid() && dcDst.IsValid() &&
                     ::BitBlt(dcDst.Get(), xDst, yDst, nWidth, nHeight, dcSrc.Get(), xSrc, ySrc, dwRop);
    if (!bOk) {
        WceUiLog(WCEUI_LOG_WARNING, "%s::BitBlt(pSrcBmp),call ::BitBlt failed, GetLastError is %d", kName,
                 (int)GetLastError());
    }
    return bOk;
}

BOOL CWceUiGenericBitmap::CopyRowPieces(int yDst, int nHeight, int ySrc, const WceUiRowPiece* pPieces,
                                        int nPieces) {
    if (nHeight <= 0 || yDst < 0 || ySrc < 0 || NULL == pPieces || !IsLoaded()) {
        return FALSE;
    }
    const BITMAP dst = GetStore()->bmpInfo; // a copy: making the store unique below may replace it
    const int nBits = dst.bmBitsPixel;
    if ((16 != nBits && 32 != nBits) || yDst + nHeight > dst.bmHeight) {
        return FALSE;
    }
    for (int i = 0; i < nPieces; ++i) {
        const WceUiRowPiece& piece = pPieces[i];
        if (piece.nWidth <= 0) {
            continue;
        }
        if (NULL == piece.pSrcBmp || !piece.pSrcBmp->IsLoaded() || piece.pSrcBmp->GetStore() == GetStore()) {
            return FALSE;
        }
        const BITMAP& src = piece.pSrcBmp->GetStore()->bmpInfo;
        if (src.bmBitsPixel != nBits || piece.xDst < 0 || piece.xDst > dst.bmWidth - piece.nWidth ||
            piece.xSrc < 0 || piece.xSrc > src.bmWidth - piece.nWidth || ySrc + nHeight > src.bmHeight) {
            return FALSE;
        }
    }
    if (!CopyBeforeWrite()) {
        return FALSE;
    }
    // Where each piece starts in the first row, and its length; rows are bottom-up, so the next image
    // row lies one stride lower in memory.
    struct Run {
        const BYTE* pSrc;
        ptrdiff_t nSrcStride;
        size_t nDstOffset;
        size_t nLength;
    };
    std::vector<Run> runs;
    runs.reserve((size_t)nPieces);
    const size_t nBytes = (size_t)nBits / 8;
    for (int i = 0; i < nPieces; ++i) {
        const WceUiRowPiece& piece = pPieces[i];
        if (piece.nWidth > 0) {
            const FhBmpData* pSrc = piece.pSrcBmp->GetStore();
            const int nSrcStride = FhStridePixels(pSrc->bmpInfo.bmWidth, nBits) * (int)nBytes;
            const BYTE* pRow =
                FhImageRow(static_cast<const BYTE*>(pSrc->pBits), nSrcStride, pSrc->bmpInfo.bmHeight, ySrc);
            runs.push_back({pRow + (size_t)piece.xSrc * nBytes, nSrcStride, (size_t)piece.xDst * nBytes,
                            (size_t)piece.nWidth * nBytes});
        }
    }
    const ptrdiff_t nDstStride = FhStridePixels(dst.bmWidth, nBits) * (ptrdiff_t)nBytes;
    BYTE* pRow = FhImageRow(static_cast<BYTE*>(GetStore()->pBits), (int)nDstStride, dst.bmHeight, yDst);
    for (int y = 0; y < nHeight; ++y, pRow -= nDstStride) {
        for (Run& run : runs) {
            std::memcpy(pRow + run.nDstOffset, run.pSrc, run.nLength);
            run.pSrc -= run.nSrcStride;
        }
    }
    return TRUE;
}

BOOL CWceUiGenericBitmap::StretchBlt(int xDst, int yDst, int nDstWidth, int nDstHeight,
                                     CWceUiGenericBitmap* pSrcBmp, int xSrc, int ySrc, int nSrcWidth,
                                     int nSrcHeight, DWORD dwRop) {
    if (!CheckBlitOperands("StretchBlt", " ", pSrcBmp)) {
        return FALSE;
    }
    if (nDstWidth == nSrcWidth && nDstHeight == nSrcHeight) {
        return BitBlt(xDst, yDst, nDstWidth, nDstHeight, pSrcBmp, xSrc, ySrc, dwRop);
    }
    if (!CopyBeforeWrite()) {
        return FALSE;
    }
    CMemDcWithBitmap dcSrc(pSrcBmp->GetStore()->hBitmap);
    CMemDcWithBitmap dcDst(GetStore()->hBitmap);
    BOOL bOk = dcSrc.IsValid() && dcDst.IsValid();
    if (bOk) {
        SetStretchBltMode(dcDst.Get(), COLORONCOLOR);
        bOk = ::StretchBlt(dcDst.Get(), xDst, yDst, nDstWidth, nDstHeight, dcSrc.Get(), xSrc, ySrc, nSrcWidth,
                           nSrcHeight, dwRop);
    }
    if (!bOk) {
        WceUiLog(WCEUI_LOG_WARNING, "%s::StretchBlt(pSrcBmp),call ::StretchBlt failed, GetLastError is %d",
                 kName, (int)GetLastError());
    }
    return bOk;
}

BOOL CWceUiGenericBitmap::TransBlt(int xDst, int yDst, int nDstWidth, int nDstHeight,
                                   CWceUiGenericBitmap* pSrcBmp, int xSrc, int ySrc, int nSrcWidth,
                                   int nSrcHeight, COLORREF crTrans) {
    if (!CheckBlitOperands("TransBlt", " ", pSrcBmp)) {
        return FALSE;
    }
    if (!CopyBeforeWrite()) {
        return FALSE;
    }
    CMemDcWithBitmap dcSrc(pSrcBmp->GetStore()->hBitmap);
    CMemDcWithBitmap dcDst(GetStore()->hBitmap);
    const BOOL bOk = dcSrc.IsValid() && dcDst.IsValid() &&
                     TransparentBlt(dcDst.Get(), xDst, yDst, nDstWidth, nDstHeight, dcSrc.Get(), xSrc, ySrc,
                                    nSrcWidth, nSrcHeight, crTrans);
    if (!bOk) {
        WceUiLog(WCEUI_LOG_WARNING, "%s::TransBlt(pSrcBmp),call ::TransparentBlt failed, GetLastError: %d",
                 kName, (int)GetLastError());
    }
    return bOk;
}

BOOL CWceUiGenericBitmap::SetHSLOffsetHue(int nOffsetHue) {
    bool bInRange = WCEUI_CHECK("CWceUiGenericBitmap::SetHSLOffsetHue", nOffsetHue >= -180);
    bInRange = WCEUI_CHECK("CWceUiGenericBitmap::SetHSLOffsetHue", nOffsetHue <= 180) && bInRange;
    if (!IsLoaded()) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::SetHSLOffsetHue,IsLoaded() return FALSE", kName);
        return FALSE;
    }
    if (!bInRange) {
        return FALSE;
    }
    if (0 == nOffsetHue) {
        return TRUE;
    }
    if (!CopyBeforeWrite()) {
        return FALSE;
    }
    const FhBmpData* pData = GetStore();
    const int nBitsPixel = pData->bmpInfo.bmBitsPixel;
    // Every stored pixel, the padding pixel of odd-width 565 rows included.
    const size_t nBytes = FhGetBitmapDataLen(pData->bmpInfo.bmWidth, pData->bmpInfo.bmHeight, nBitsPixel);
    if (16 == nBitsPixel) {
        FhPixHue565(static_cast<WORD*>(pData->pBits), nBytes / 2, nOffsetHue);
    } else if (32 == nBitsPixel) {
        FhPixHue32(static_cast<DWORD*>(pData->pBits), nBytes / 4, nOffsetHue);
    } else {
        return FALSE;
    }
    return TRUE;
}

BOOL CWceUiGenericBitmap::AlphaBlend(int /*xDst*/, int /*yDst*/, int /*nWidth*/, int /*nHeight*/,
                                     CWceUiGenericBitmap* pSrcBmp, int /*xSrc*/, int /*ySrc*/,
                                     BLENDFUNCTION blendFunction) {
    if (!IsLoaded()) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::AlphaBlend, IsLoaded() return FALSE", kName);
        return FALSE;
    }
    if (NULL == pSrcBmp) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::AlphaBlend, pSrcBmp is NULL", kName);
        return FALSE;
    }
    if (!pSrcBmp->IsLoaded()) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::AlphaBlend, pSrcBmp->IsLoaded() return FALSE", kName);
        return FALSE;
    }
    if (AC_SRC_ALPHA == blendFunction.AlphaFormat && !pSrcBmp->HasPerPixelAlpha()) {
        WceUiLog(
            WCEUI_LOG_ERROR,
            "%s::AlphaBlend, Invalid argument:use AC_SRC_ALPHA but pSrcBmp->HasPerPixelAlpha() return FALSE",
            kName);
        return FALSE;
    }
    return TRUE;
}

namespace {

const char* KindName(int nKindBits) {
    return 16 == nKindBits ? "CWceUi565Bitmap" : "CWceUi32Bitmap";
}

// "<kind>::<operation>", the operation name of a kind's parameter check.
struct KindOperation {
    KindOperation(int nKindBits, const char* pOperation) {
        snprintf(szName, sizeof(szName), "%s::%s", KindName(nKindBits), pOperation);
    }
    char szName[64];
};

} // namespace

BOOL CWceUiGenericBitmap::SaveKindFile(int nKindBits, LPCWSTR pFilePath) {
    if (!WCEUI_CHECK(KindOperation(nKindBits, "SaveFile").szName, NULL != pFilePath)) {
        return FALSE;
    }
    if (!IsLoaded()) {
        WceUiLogW(WCEUI_LOG_ERROR, u"%hs::SaveFile \"%s\", IsLoaded() return FALSE", KindName(nKindBits),
                  pFilePath);
        return FALSE;
    }
    const FhBmpData* pData = GetStore();
    return (16 == nKindBits ? Save565BmpFile : Save32BmpFile)(pFilePath, pData->pBits, pData->bmpInfo.bmWidth,
                                                              pData->bmpInfo.bmHeight);
}

BOOL CWceUiGenericBitmap::LoadKindFromHBitmap(int nKindBits, HBITMAP hBitmap) {
    ResetObject();
    if (!WCEUI_CHECK(KindOperation(nKindBits, "LoadFromHBitmap").szName, NULL != hBitmap)) {
        return FALSE;
    }
    if (!m_pBmp || !m_pBmp->AllocNew()) {
        return FALSE;
    }
    if (!m_pBmp->CopyHBitmap(nKindBits, hBitmap)) {
        m_pBmp->Release();
        return FALSE;
    }
    return TRUE;
}

BOOL CWceUiGenericBitmap::MakeKindCopy(int nKindBits, CWceUiGenericBitmap** ppCopyBmp) const {
    if (!WCEUI_CHECK(KindOperation(nKindBits, "MakeACopy").szName, NULL != ppCopyBmp)) {
        return FALSE;
    }
    if (NULL != *ppCopyBmp) {
        WceUiLog(WCEUI_LOG_WARNING,
                 "%s::MakeACopy, *ppCopyBmp should be NULL to prevent possible memory leak",
                 KindName(nKindBits));
    }
    *ppCopyBmp = NULL;
    std::unique_ptr<CWceUiGenericBitmap> pCopy(
        16 == nKindBits ? static_cast<CWceUiGenericBitmap*>(
                              new (std::nothrow) CWceUi565Bitmap(static_cast<const CWceUi565Bitmap&>(*this)))
                        : new (std::nothrow) CWceUi32Bitmap(static_cast<const CWceUi32Bitmap&>(*this)));
    if (!pCopy) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::MakeACopy, new fail, sizeof(%s) = %u", KindName(nKindBits),
                 KindName(nKindBits),
                 (unsigned)(16 == nKindBits ? sizeof(CWceUi565Bitmap) : sizeof(CWceUi32Bitmap)));
        return FALSE;
    }
    // The copy has logged why it is short of its store or its pixels.
    if (!pCopy->m_pBmp || pCopy->IsLoaded() != IsLoaded()) {
        return FALSE;
    }
    *ppCopyBmp = pCopy.release();
    return TRUE;
}

CWceUiGenericBitmap* WceUiCreateBitmapObject(int nBitsPixel) {
    if (16 == nBitsPixel) {
        CWceUiGenericBitmap* pBmp = new (std::nothrow) CWceUi565Bitmap;
        if (NULL == pBmp) {
            WceUiLog(WCEUI_LOG_ERROR, "%s,new fail,sizeof(CWceUi565Bitmap)=%u", "WceUiCreateBitmapObject",
                     (unsigned)sizeof(CWceUi565Bitmap));
        }
        return pBmp;
    }
    if (32 == nBitsPixel) {
        CWceUiGenericBitmap* pBmp = new (std::nothrow) CWceUi32Bitmap;
        if (NULL == pBmp) {
            WceUiLog(WCEUI_LOG_ERROR, "%s,new fail,sizeof(CWceUi32Bitmap)=%u", "WceUiCreateBitmapObject",
                     (unsigned)sizeof(CWceUi32Bitmap));
        }
        return pBmp;
    }
    WceUiLog(WCEUI_LOG_ERROR, "%s,bmBitsPixel is invalid, neither 16 nor 32", "WceUiCreateBitmapObject");
    return NULL;
}
