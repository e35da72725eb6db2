// How a layer paints itself: background colour, background images, text, the extra hook and the
// mix-colour filter, either straight into the window bitmap or, with the alpha filter, into the
// layer's own bitmap that is then blended onto the window.
#include "wceui/bitmap/WceUiDrawTextCtrl.h"
#include "wceui/bitmap/WceUiGenericBitmap.h"
#include "wceui/bitmap/WceUiRectOps.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/core/WceUiRect.h"
#include "wceui/style/WceUiBgItem.h"
#include "wceui/style/WceUiLoadFont.h"
#include "wceui/style/WceUiStyleCtrls.h"
#include "wceui/ui/WceUiLayer.h"
#include "wceui/ui/WceUiLayerDraw.h"

#include "platform/text/WinText.h"

#include <vector>

int WceUiLayerDrawText(HDC hdc, LPCWSTR pText, LPRECT lpRect, UINT uFormat) {
    return DrawTextW(hdc, pText, -1, lpRect, uFormat);
}

UINT WceUiLayerTextFormat(UINT uStyleFormat) {
    UINT uFormat = uStyleFormat | DT_END_ELLIPSIS;
    if (0 == (uStyleFormat & DT_SINGLELINE)) {
        uFormat |= DT_WORDBREAK;
    }
    return uFormat;
}

namespace {

// The part of the draw bitmap the layer may touch, in client coordinates: its client rectangle within
// the bitmap's bounds (a layer partly outside the window draws only its inside part). Drawn straight
// into the window, a layer also keeps to its need-draw rectangle: outside it the window bitmap already
// holds the right picture, which layers not in this paint would otherwise be drawn over.
bool LayerClipRect(const CWceUiLayer* pLayer, CWceUiGenericBitmap* pDrawBitmap, BOOL bClient, LPRECT lpClip) {
    RECT rcClient;
    if (!pLayer->GetClientRect(&rcClient)) {
        return false;
    }
    RECT rcBmp = {0, 0, pDrawBitmap->GetWidth(), pDrawBitmap->GetHeight()};
    if (!bClient) {
        pLayer->WindowToClient(&rcBmp);
    }
    if (!IntersectRect(lpClip, &rcClient, &rcBmp) || IsRectEmpty(lpClip)) {
        return false;
    }
    RECT rcNeed;
    pLayer->GetNeedDrawRect(&rcNeed);
    if (!bClient && !IsRectEmpty(&rcNeed)) {
        pLayer->WindowToClient(&rcNeed);
        if (!IntersectRect(lpClip, lpClip, &rcNeed) || IsRectEmpty(lpClip)) {
            return false;
        }
    }
    return true;
}

void LogRects(const char* pFormat, const RECT& rcSrc, const RECT& rcDst) {
    WceUiLog(WCEUI_LOG_ERROR, pFormat, (int)rcSrc.left, (int)rcSrc.top, (int)(rcSrc.right - rcSrc.left),
             (int)(rcSrc.bottom - rcSrc.top), (int)rcDst.left, (int)rcDst.top,
             (int)(rcDst.right - rcDst.left), (int)(rcDst.bottom - rcDst.top));
}

// Inserts an item into a list by its "common-index": 0 at the front, n > 0 after the n-th item (at the
// end when there is none), n < 0 counted from the end.
void InsertByCommonIndex(std::vector<CWceUiBgItem*>& items, CWceUiBgItem* pItem) {
    const int n = pItem->GetCommonIndex();
    const int nCount = static_cast<int>(items.size());
    int nPos = 0;
    if (n > 0) {
        nPos = n > nCount ? nCount : n;
    } else if (n < 0) {
        nPos = n + nCount > 0 ? n + nCount : 0;
    }
    items.insert(items.begin() + nPos, pItem);
}

} // namespace

void WceUiMergeBgItems(CWceUiBgItemCtrl* pStyleItems, CWceUiBgItemCtrl* pOwnItems,
                       std::vector<CWceUiBgItem*>& out) {
    out.clear();
    if (NULL != pStyleItems) {
        for (CWceUiBgItem* p = pStyleItems->GetHead(); NULL != p; p = pStyleItems->GetNext(p)) {
            out.push_back(p);
        }
    }
    if (NULL != pOwnItems) {
        for (CWceUiBgItem* p = pOwnItems->GetHead(); NULL != p; p = pOwnItems->GetNext(p)) {
            InsertByCommonIndex(out, p);
        }
    }
}

void CWceUiLayer::OnDraw(CWceUiGenericBitmap* pWndBitmap, LPCRECT lpNeedDraw) {
    if (!IsReDraw() || !WCEUI_CHECK("CWceUiLayer::OnDraw", NULL != pWndBitmap)) {
        return;
    }
    CWceUiStyle* pStyle = GetStyle();
    if (NULL == pStyle) {
        return;
    }
    // Without a need-draw rectangle the layer draws all of itself.
    RECT rcWhole;
    if (NULL == lpNeedDraw && GetWindowRect(&rcWhole)) {
        lpNeedDraw = &rcWhole;
    }
    if (NULL != lpNeedDraw) {
        SetNeedDrawRect(lpNeedDraw);
    }
    CWceUiGenericBitmap* pDrawBitmap = pWndBitmap;
    BOOL bClient = FALSE;
    if (pStyle->IsAlphaFilterEnabled()) {
        if (!PrepareLayerBitmap(pWndBitmap)) {
            return;
        }
        pDrawBitmap = LayerBitmapRef().get();
        bClient = TRUE;
    }
    OnDrawBackGround(pDrawBitmap, bClient);
    OnDrawBgImgs(pDrawBitmap, bClient);
    OnDrawText(pDrawBitmap, bClient);
    OnDrawExtra(pDrawBitmap, bClient);
    OnDrawMixColorFilter(pDrawBitmap, bClient);
    if (!bClient || !WCEUI_CHECK("CWceUiLayer::OnDraw", pDrawBitmap != pWndBitmap)) {
        return;
    }
    const int nOpacity = pStyle->GetAlphaFilterOpacity();
    const bool bTemp = nOpacity >= 0 && nOpacity <= 255;
    if (!WCEUI_CHECK("CWceUiLayer::OnDraw", bTemp)) {
        return;
    }
    RECT rcNeed;
    GetNeedDrawRect(&rcNeed);
    // Only the part inside both the layer and the window bitmap can be blended.
    RECT rcWnd;
    RECT rcBmp = {0, 0, pWndBitmap->GetWidth(), pWndBitmap->GetHeight()};
    if (!GetWindowRect(&rcWnd) || !IntersectRect(&rcNeed, &rcNeed, &rcWnd) ||
        !IntersectRect(&rcNeed, &rcNeed, &rcBmp)) {
        return;
    }
    RECT rcSrc = rcNeed;
    WindowToClient(&rcSrc);
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, static_cast<BYTE>(nOpacity), 0};
    if (!pWndBitmap->AlphaBlend(rcNeed.left, rcNeed.top, rcNeed.right - rcNeed.left,
                                rcNeed.bottom - rcNeed.top, pDrawBitmap, rcSrc.left, rcSrc.top, blend)) {
        WceUiLog(WCEUI_LOG_ERROR, "In CWceUiLayer::OnDraw, draw alpha filter failed");
    }
}

BOOL CWceUiLayer::PrepareLayerBitmap(CWceUiGenericBitmap* pWndBitmap) {
    Data* pData = GetData();
    RECT rcClient;
    if (NULL == pData || !GetClientRect(&rcClient) || IsRectEmpty(&rcClient)) {
        return FALSE;
    }
    const int nWidth = rcClient.right;
    const int nHeight = rcClient.bottom;
    std::unique_ptr<CWceUiGenericBitmap>& pLayerBmp = LayerBitmapRef();
    if (pLayerBmp && pLayerBmp->IsLoaded() && pLayerBmp->GetWidth() == nWidth &&
        pLayerBmp->GetHeight() == nHeight && pLayerBmp->GetBitsPixel() == pWndBitmap->GetBitsPixel()) {
        return TRUE;
    }
    // The layer bitmap has the depth of the window bitmap it is blended onto.
    pLayerBmp.reset(WceUiCreateBitmapObject(pWndBitmap->GetBitsPixel()));
    if (!pLayerBmp || !pLayerBmp->CreateDIB(nWidth, nHeight)) {
        WceUiLog(WCEUI_LOG_ERROR, "In CWceUiLayer::OnDraw, can not create the layer bitmap of %d x %d",
                 nWidth, nHeight);
        pLayerBmp.reset();
        return FALSE;
    }
    return TRUE;
}

void CWceUiLayer::OnDrawBackGround(CWceUiGenericBitmap* pDrawBitmap, BOOL bClient) {
    CWceUiStyle* pStyle = GetStyle();
    if (NULL == pStyle || NULL == pDrawBitmap) {
        return;
    }
    CWceUiBgColorCtrl* pBg = pStyle->GetBgColorCtrl();
    if (NULL == pBg || !pBg->IsHasBgColor() || pBg->IsTransparent()) {
        return;
    }
    RECT rc;
    if (!LayerClipRect(this, pDrawBitmap, bClient, &rc)) {
        return;
    }
    if (!bClient) {
        ClientToWindow(&rc);
    }
    pDrawBitmap->FillColor(pBg->GetColor(), &rc);
}

void CWceUiLayer::OnDrawBgImgs(CWceUiGenericBitmap* pDrawBitmap, BOOL bClient) {
    CWceUiStyle* pStyle = GetStyle();
    CWceUiStyle* pOwn = GetOwnStyle();
    if (NULL == pStyle || NULL == pOwn) {
        return;
    }
    CWceUiBgItemCtrl* pOwnItems = pOwn->IsSet(WCEUI_STYLE_BG_ITEMS) ? pOwn->GetBgItemCtrl() : NULL;
    if (NULL != pOwnItems && 0 == pOwnItems->GetCount()) {
        pOwnItems = NULL;
    }
    std::vector<CWceUiBgItem*> items;
    WceUiMergeBgItems(pStyle->GetBgItemCtrl(), pOwnItems, items);
    for (CWceUiBgItem* pItem : items) {
        DrawOneBgImg(pItem, pDrawBitmap, bClient);
    }
}

BOOL CWceUiLayer::DrawOneBgImg(CWceUiBgItem* pBgItem, CWceUiGenericBitmap* pDrawBitmap, BOOL bClient) {
    if (!WCEUI_CHECK("CWceUiLayer::DrawOneBgImg", NULL != pBgItem) ||
        !WCEUI_CHECK("CWceUiLayer::DrawOneBgImg", NULL != pDrawBitmap)) {
        return FALSE;
    }
    CWceUiGenericBitmap* pBmp = pBgItem->GetBitmap();
    if (NULL == pBmp || !pBmp->IsLoaded()) {
        return FALSE;
    }
    RECT rcClient;
    if (!GetClientRect(&rcClient)) {
        return FALSE;
    }
    RECT rcDst;
    pBgItem->GetDstRect(&rcDst);
    if (IsRectLarge(&rcDst)) {
        rcDst = rcClient;
    }
    const RECT rcBmp = {0, 0, pBmp->GetWidth(), pBmp->GetHeight()};
    RECT rcSrc;
    pBgItem->GetSrcRect(&rcSrc);
    if (IsRectLarge(&rcSrc)) {
        rcSrc = rcBmp;
    }
    RECT rcClip;
    if (!LayerClipRect(this, pDrawBitmap, bClient, &rcClip)) {
        return FALSE;
    }
    int nConstAlpha = 0;
    const BOOL bPerPixel = pBmp->HasPerPixelAlpha();
    const BOOL bConstAlpha = pBmp->GetConstantAlpha(&nConstAlpha);
    RECT rcOutDst;
    RECT rcOutSrc;
    if (pBgItem->IsZoom() && !bPerPixel && !bConstAlpha) {
        if (!CalcStretchBltRects(&rcOutDst, &rcOutSrc, &rcClip, &rcBmp, &rcDst, &rcSrc)) {
            return FALSE;
        }
    } else {
        RECT rcPlacedDst;
        RECT rcPlacedSrc;
        if (!CalcAlignRects(&rcPlacedDst, &rcPlacedSrc, &rcDst, &rcSrc, pBgItem->GetAlign()) ||
            !CalcBitBltRects(&rcOutDst, &rcOutSrc, &rcClip, &rcBmp, &rcPlacedDst, &rcPlacedSrc)) {
            return FALSE;
        }
    }
    if (IsRectEmpty(&rcOutDst) || IsRectEmpty(&rcOutSrc)) {
        return FALSE;
    }
    if (!bClient) {
        ClientToWindow(&rcOutDst);
    }
    const int nDstW = rcOutDst.right - rcOutDst.left;
    const int nDstH = rcOutDst.bottom - rcOutDst.top;
    const int nSrcW = rcOutSrc.right - rcOutSrc.left;
    const int nSrcH = rcOutSrc.bottom - rcOutSrc.top;
    COLORREF crTrans = 0;
    if (bPerPixel) {
        BLENDFUNCTION blend = {AC_SRC_OVER, 0, 0, AC_SRC_ALPHA};
        if (!pDrawBitmap->AlphaBlend(rcOutDst.left, rcOutDst.top, nDstW, nDstH, pBmp, rcOutSrc.left,
                                     rcOutSrc.top, blend)) {
            LogRects(
                "draw BgImgs,PerPixelAlpha AlphaBlend failed, source rect is (%d, %d, %d, %d), Dst rect is "
                "(%d, %d, %d, %d)",
                rcOutSrc, rcOutDst);
            return FALSE;
        }
    } else if (pBmp->GetTransColor(&crTrans)) {
        if (!pDrawBitmap->TransBlt(rcOutDst.left, rcOutDst.top, nDstW, nDstH, pBmp, rcOutSrc.left,
                                   rcOutSrc.top, nSrcW, nSrcH, crTrans)) {
            LogRects(
                "draw BgImgs,TransBlt failed, source rect is (%d, %d, %d, %d), Dst rect is (%d, %d, %d, %d)",
                rcOutSrc, rcOutDst);
            return FALSE;
        }
    } else if (bConstAlpha) {
        BLENDFUNCTION blend = {AC_SRC_OVER, 0, static_cast<BYTE>(nConstAlpha), 0};
        if (!pDrawBitmap->AlphaBlend(rcOutDst.left, rcOutDst.top, nDstW, nDstH, pBmp, rcOutSrc.left,
                                     rcOutSrc.top, blend)) {
            LogRects(
                "draw BgImgs,ConstantAlpha AlphaBlend failed, source rect is (%d, %d, %d, %d), Dst rect is "
                "(%d, %d, %d, %d)",
                rcOutSrc, rcOutDst);
            return FALSE;
        }
    } else {
        if (!pDrawBitmap->StretchBlt(rcOutDst.left, rcOutDst.top, nDstW, nDstH, pBmp, rcOutSrc.left,
                                     rcOutSrc.top, nSrcW, nSrcH, SRCCOPY)) {
            LogRects("draw BgImgs,StretchBlt failed, source rect is (%d, %d, %d, %d), Dst rect is (%d, %d, "
                     "%d, %d)",
                     rcOutSrc, rcOutDst);
            return FALSE;
        }
    }
    return TRUE;
}

void CWceUiLayer::OnDrawText(CWceUiGenericBitmap* pDrawBitmap, BOOL bClient) {
    RefreshText();
    LPCWSTR pText = GetText();
    CWceUiStyle* pStyle = GetStyle();
    if (NULL == pText || 0 == *pText || NULL == pStyle || NULL == pDrawBitmap) {
        return;
    }
    CWceUiDrawTextCtrl* pTextCtrl = pStyle->GetDrawTextCtrl();
    RECT rcText;
    RECT rcClient;
    if (NULL == pTextCtrl || !pTextCtrl->GetRect(&rcText) || !GetClientRect(&rcClient) ||
        !IntersectRect(&rcText, &rcText, &rcClient) || IsRectEmpty(&rcText)) {
        return;
    }
    if (!bClient) {
        ClientToWindow(&rcText);
    }
    CWceUiFontCtrl* pFontCtrl = pStyle->GetFontCtrl();
    HFONT hFont = NULL == pFontCtrl ? NULL : pFontCtrl->GetFont();
    if (NULL == hFont) {
        WceUiLog(WCEUI_LOG_WARNING,
                 "In CWceUiLayer::OnDrawText, GetStyle()->GetFontCtrl()->GetFont return NULL, "
                 "use default FONT");
        hFont = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
        if (!WCEUI_CHECK("CWceUiLayer::OnDrawText", NULL != hFont)) {
            return;
        }
    }
    LPVOID pBits = NULL;
    HBITMAP hBitmap = pDrawBitmap->GetHBitmap(&pBits);
    if (NULL == hBitmap) {
        return;
    }
    HDC hdc = CreateCompatibleDC(NULL);
    if (NULL != hdc) {
        HGDIOBJ hOldBmp = SelectObject(hdc, hBitmap);
        HGDIOBJ hOldFont = SelectObject(hdc, hFont);
        const int nOldMode = SetBkMode(hdc, TRANSPARENT);
        const COLORREF crOld = SetTextColor(hdc, pStyle->GetTextColorValue());
        WceUiLayerDrawText(hdc, pText, &rcText, WceUiLayerTextFormat(pTextCtrl->GetFormat()));
        SetTextColor(hdc, crOld);
        SetBkMode(hdc, nOldMode);
        SelectObject(hdc, hOldFont);
        SelectObject(hdc, hOldBmp);
        DeleteDC(hdc);
    }
    pDrawBitmap->ReleaseHBitmap();
}

void CWceUiLayer::OnDrawMixColorFilter(CWceUiGenericBitmap* pDrawBitmap, BOOL bClient) {
    CWceUiStyle* pStyle = GetStyle();
    if (NULL == pStyle || NULL == pDrawBitmap) {
        return;
    }
    CWceUiMixColorFilterCtrl* pMix = pStyle->GetMixColorFilterCtrl();
    if (NULL == pMix || !pMix->IsEnabled()) {
        return;
    }
    RECT rc;
    if (!LayerClipRect(this, pDrawBitmap, bClient, &rc)) {
        return;
    }
    if (!bClient) {
        ClientToWindow(&rc);
    }
    const int nOpacity = pMix->GetOpacity() < 0 ? 0 : (pMix->GetOpacity() > 255 ? 255 : pMix->GetOpacity());
    if (!pDrawBitmap->MixColor(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, pMix->GetColor(),
                               nOpacity)) {
        WceUiLog(WCEUI_LOG_ERROR, "MixColor failed, the the rect is (%d, %d, %d, %d)", (int)rc.left,
                 (int)rc.top, (int)(rc.right - rc.left), (int)(rc.bottom - rc.top));
    }
}

BOOL CWceUiLayer::IsSeeThrough() {
    CWceUiStyle* pStyle = GetStyle();
    CWceUiStyle* pOwn = GetOwnStyle();
    if (NULL == pStyle || NULL == pOwn) {
        return TRUE;
    }
    CWceUiBgColorCtrl* pBg = pStyle->GetBgColorCtrl();
    if (NULL != pBg && pBg->IsTransparent()) {
        return TRUE;
    }
    if (pStyle->IsAlphaFilterEnabled()) {
        return TRUE;
    }
    for (CWceUiBgItemCtrl* pItems : {pOwn->GetBgItemCtrl(), pStyle->GetBgItemCtrl()}) {
        if (NULL == pItems) {
            continue;
        }
        for (CWceUiBgItem* p = pItems->GetHead(); NULL != p; p = pItems->GetNext(p)) {
            CWceUiGenericBitmap* pBmp = p->GetBitmap();
            int nAlpha = 0;
            if (NULL != pBmp && pBmp->IsLoaded() &&
                (pBmp->HasPerPixelAlpha() || pBmp->GetConstantAlpha(&nAlpha))) {
                return TRUE;
            }
        }
    }
    return FALSE;
}
