#include "wceui/widgets/WceUiSlider.h"

#include "wceui/bitmap/WceUiGenericBitmap.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/core/WceUiRecord.h"
#include "wceui/res/WceUiXmlDoc.h"
#include "wceui/style/WceUiLoadBitmap.h"
#include "wceui/ui/RealGenericWnd.h"
#include "wceui/ui/WceUiLayerCtrl.h"

#include <algorithm>
#include <cstdint>
#include <new>

struct CWceUiSlider::SliderData {
    BOOL bReadOnly = FALSE;
    CWceUiLoadBitmap bg;
    CWceUiLoadBitmap bgSel;
    CWceUiLoadBitmap thumb;
    int nThumbWidth = 0;
    int nMin = 0;
    int nMax = 100;
    int nPos = 0;
    BOOL bDragging = FALSE;
};

CWceUiSlider::CWceUiSlider() : m_pSliderData(WceUiNewRecord<SliderData>("CWceUiSlider")) {
    SetClassName(WCEUI_CLASS_NAME(CWceUiSlider));
}

CWceUiSlider::~CWceUiSlider() = default;

CWceUiSlider::SliderData* CWceUiSlider::GetSliderData() const {
    return m_pSliderData.get();
}

BOOL CWceUiSlider::SetProperties(CWceUiXmlElem* pCreateElem) {
    if (!CWceUiLayer::SetProperties(pCreateElem)) {
        return FALSE;
    }
    CWceUiXmlDoc* pDoc = pCreateElem->pDoc;
    if (LPCWSTR p = pDoc->GetAttrValue(pCreateElem, u"bg_bmp")) {
        SetBgBitmap(p);
    }
    if (LPCWSTR p = pDoc->GetAttrValue(pCreateElem, u"bg_sel_bmp")) {
        SetBgSelBitmap(p);
    }
    if (LPCWSTR p = pDoc->GetAttrValue(pCreateElem, u"thumb_bmp")) {
        SetThumbBitmap(p);
    }
    if (LPCWSTR p = pDoc->GetAttrValue(pCreateElem, u"readonly")) {
        SetReadOnly(0 == WStrCmp(p, u"true"));
    }
    return TRUE;
}

void CWceUiSlider::UpdateThumbWidth() {
    SliderData* pData = GetSliderData();
    if (NULL == pData) {
        return;
    }
    if (CWceUiGenericBitmap* pThumb = pData->thumb.GetBitmap()) {
        pData->nThumbWidth = pThumb->GetWidth();
    }
}

BOOL CWceUiSlider::SetBgBitmap(LPCWSTR pBitmapID) {
    SliderData* pData = GetSliderData();
    return pData && pData->bg.SetBitmapFromRes(pBitmapID);
}
BOOL CWceUiSlider::SetBgSelBitmap(LPCWSTR pBitmapID) {
    SliderData* pData = GetSliderData();
    return pData && pData->bgSel.SetBitmapFromRes(pBitmapID);
}
BOOL CWceUiSlider::SetThumbBitmap(LPCWSTR pBitmapID) {
    SliderData* pData = GetSliderData();
    if (NULL == pData || !pData->thumb.SetBitmapFromRes(pBitmapID)) {
        return FALSE;
    }
    UpdateThumbWidth();
    return TRUE;
}
BOOL CWceUiSlider::SetBgBitmap(CWceUiGenericBitmap* pBitmap) {
    SliderData* pData = GetSliderData();
    return pData && pData->bg.SetBitmapFromApp(pBitmap);
}
BOOL CWceUiSlider::SetBgSelBitmap(CWceUiGenericBitmap* pBitmap) {
    SliderData* pData = GetSliderData();
    return pData && pData->bgSel.SetBitmapFromApp(pBitmap);
}
BOOL CWceUiSlider::SetThumbBitmap(CWceUiGenericBitmap* pBitmap) {
    SliderData* pData = GetSliderData();
    if (NULL == pData || !pData->thumb.SetBitmapFromApp(pBitmap)) {
        return FALSE;
    }
    UpdateThumbWidth();
    return TRUE;
}

int CWceUiSlider::GetThumbWidth() const {
    const SliderData* pData = GetSliderData();
    return pData ? pData->nThumbWidth : 0;
}

void CWceUiSlider::OnInitLayer() {
    SliderData* pData = GetSliderData();
    if (NULL != pData) {
        CWceUiGenericBitmap* pBg = pData->bg.GetBitmap();
        CWceUiGenericBitmap* pThumb = pData->thumb.GetBitmap();
        RECT rc;
        if (NULL != pBg && NULL != pThumb && GetWindowRect(&rc)) {
            rc.right = rc.left + pBg->GetWidth() + pData->nThumbWidth;
            MoveLayer(&rc, TRUE);
        }
    }
    CWceUiLayer::OnInitLayer();
}

BOOL CWceUiSlider::SetRange(int nMin, int nMax, BOOL bRedraw) {
    SliderData* pData = GetSliderData();
    if (NULL == pData) {
        return FALSE;
    }
    if (nMax < nMin) {
        WceUiLog(WCEUI_LOG_WARNING, "CWceUiSlider::SetRange, the minimum %d is above the maximum %d", nMin,
                 nMax);
        return FALSE;
    }
    pData->nMin = nMin;
    pData->nMax = nMax;
    if (bRedraw) {
        InvalidateLayer();
    }
    return TRUE;
}

void CWceUiSlider::GetRange(int* pnMin, int* pnMax) const {
    const SliderData* pData = GetSliderData();
    if (NULL == pData) {
        return;
    }
    if (pnMin) {
        *pnMin = pData->nMin;
    }
    if (pnMax) {
        *pnMax = pData->nMax;
    }
}

BOOL CWceUiSlider::SetPos(int nPos) {
    SliderData* pData = GetSliderData();
    if (NULL == pData) {
        return FALSE;
    }
    if (nPos < pData->nMin || nPos > pData->nMax) {
        WceUiLog(WCEUI_LOG_WARNING, "CWceUiSlider::SetPos, the position %d is out of the range %d..%d", nPos,
                 pData->nMin, pData->nMax);
        return FALSE;
    }
    if (nPos == pData->nPos) {
        return TRUE;
    }
    pData->nPos = nPos;
    InvalidateLayer();
    return TRUE;
}

int CWceUiSlider::GetPos() const {
    const SliderData* pData = GetSliderData();
    return pData ? pData->nPos : 0;
}

void CWceUiSlider::SetReadOnly(BOOL bReadOnly) {
    if (SliderData* pData = GetSliderData()) {
        pData->bReadOnly = bReadOnly;
    }
}

BOOL CWceUiSlider::IsReadOnly() const {
    const SliderData* pData = GetSliderData();
    return pData && pData->bReadOnly;
}

BOOL CWceUiSlider::IsDragging() const {
    const SliderData* pData = GetSliderData();
    return pData && pData->bDragging;
}

int CWceUiSlider::GetTrackLength() const {
    RECT rc;
    if (!GetClientRect(&rc)) {
        return 0;
    }
    return std::max(0, static_cast<int>(rc.right - rc.left) - GetThumbWidth());
}

int CWceUiSlider::PointToOffset(int x) const {
    RECT rc;
    if (!GetWindowRect(&rc)) {
        return 0;
    }
    const int64_t nOffset = static_cast<int64_t>(x) - (GetThumbWidth() / 2 + rc.left);
    return static_cast<int>(std::clamp<int64_t>(nOffset, 0, GetTrackLength()));
}

// The products are taken in 64 bits: a wide range times a few hundred pixels overflows 32.
int CWceUiSlider::OffsetToValue(int nOffset) const {
    const SliderData* pData = GetSliderData();
    const int nTrack = GetTrackLength();
    if (NULL == pData) {
        return 0;
    }
    if (0 == nTrack) {
        return pData->nMin;
    }
    const int64_t nSpan = static_cast<int64_t>(pData->nMax) - pData->nMin;
    return static_cast<int>(pData->nMin + static_cast<int64_t>(nOffset) * nSpan / nTrack);
}

int CWceUiSlider::PosToOffset() const {
    const SliderData* pData = GetSliderData();
    if (NULL == pData || pData->nMax == pData->nMin) {
        return 0;
    }
    const int64_t nSpan = static_cast<int64_t>(pData->nMax) - pData->nMin;
    return static_cast<int>((static_cast<int64_t>(pData->nPos) - pData->nMin) * GetTrackLength() / nSpan);
}

std::u16string CWceUiSlider::GetDumpInfo() const {
    int nMin = 0, nMax = 0;
    GetRange(&nMin, &nMax);
    return WFormat(u" range=%d..%d pos=%d", nMin, nMax, GetPos());
}

void CWceUiSlider::AppendDumpInfo(std::string* line, std::vector<std::string>*) const {
    *line += WideToUtf8(GetDumpInfo());
}

void CWceUiSlider::TrackPen(POINT point, int nCode) {
    SliderData* pData = GetSliderData();
    if (NULL == pData) {
        return;
    }
    const int nValue = OffsetToValue(PointToOffset(point.x));
    if (nValue == pData->nPos) {
        return;
    }
    if (nValue >= pData->nMin && nValue <= pData->nMax) {
        pData->nPos = nValue;
        InvalidateLayer();
    }
    CRealGenericWnd* pWnd = dynamic_cast<CRealGenericWnd*>(GetWindow());
    if (NULL == pWnd) {
        WceUiLog(WCEUI_LOG_WARNING, "CWceUiSlider::TrackPen, no host window to notify");
        return;
    }
    pWnd->PostMessage(WCEUI_WM_SLIDER_NOTIFY, reinterpret_cast<WPARAM>(this), nCode);
}

void CWceUiSlider::OnLButtonDown(UINT, POINT point) {
    SliderData* pData = GetSliderData();
    if (NULL == pData || pData->bReadOnly) {
        return;
    }
    pData->bDragging = TRUE;
    SetLayerCapture();
    TrackPen(point, WCEUI_SLIDER_POS_DOWN);
}

void CWceUiSlider::OnMouseMove(UINT, POINT point) {
    SliderData* pData = GetSliderData();
    if (NULL == pData || pData->bReadOnly || !pData->bDragging) {
        return;
    }
    TrackPen(point, WCEUI_SLIDER_POS_MOVE);
}

void CWceUiSlider::OnLButtonUp(UINT, POINT point) {
    SliderData* pData = GetSliderData();
    if (NULL == pData || pData->bReadOnly || !pData->bDragging) {
        return;
    }
    pData->bDragging = FALSE;
    if (HasCapture()) {
        ReleaseLayerCapture();
    }
    TrackPen(point, WCEUI_SLIDER_POS_UP);
}

void CWceUiSlider::OnLoseCapture() {
    if (IsDragging()) {
        OnLButtonUp(0, POINT{0, 0});
    }
}

namespace {

// Blends a part of the bar: with the bitmap's own alpha, or whole when it has none (an opaque skin
// image is still drawn rather than refused).
void BlendPart(CWceUiGenericBitmap* pDst, int x, int y, int nWidth, int nHeight, CWceUiGenericBitmap* pSrc,
               int xSrc) {
    if (nWidth <= 0 || nHeight <= 0) {
        return;
    }
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, 0};
    if (pSrc->HasPerPixelAlpha()) {
        blend.SourceConstantAlpha = 0;
        blend.AlphaFormat = AC_SRC_ALPHA;
    }
    if (!pDst->AlphaBlend(x, y, nWidth, nHeight, pSrc, xSrc, 0, blend)) {
        WceUiLog(WCEUI_LOG_ERROR,
                 "In CWceUiSlider::OnDrawText, AlphaBlend failed, Dst rect is (%d, %d, %d, %d)", x, y, nWidth,
                 nHeight);
    }
}

} // namespace

void CWceUiSlider::OnDrawText(CWceUiGenericBitmap* pDrawBitmap, BOOL bClient) {
    SliderData* pData = GetSliderData();
    if (NULL == pData || !WCEUI_CHECK("CWceUiSlider::OnDrawText", NULL != pDrawBitmap)) {
        return;
    }
    RECT rc;
    if (!(bClient ? GetClientRect(&rc) : GetWindowRect(&rc))) {
        return;
    }
    const int nHalfThumb = pData->nThumbWidth / 2;
    // A position left outside a later-narrowed range still puts the thumb on the track.
    const int p = std::clamp(PosToOffset(), 0, GetTrackLength());
    if (CWceUiGenericBitmap* pSel = pData->bgSel.GetBitmap()) {
        BlendPart(pDrawBitmap, rc.left + nHalfThumb, rc.top, pSel->GetWidth(), pSel->GetHeight(), pSel, 0);
    }
    if (CWceUiGenericBitmap* pBg = pData->bg.GetBitmap()) {
        BlendPart(pDrawBitmap, rc.left + nHalfThumb + p, rc.top, pBg->GetWidth() - p, pBg->GetHeight(), pBg,
                  p);
    }
    if (CWceUiGenericBitmap* pThumb = pData->thumb.GetBitmap()) {
        const int x = rc.left + p - (pThumb->GetWidth() - pData->nThumbWidth) / 2;
        const int y = rc.top + (rc.bottom - rc.top - pThumb->GetHeight()) / 2;
        BlendPart(pDrawBitmap, x, y, pThumb->GetWidth(), pThumb->GetHeight(), pThumb, 0);
    }
}
