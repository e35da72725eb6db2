#include "wceui/ui/WceUiRealWnd.h"

#include "wceui/anim/WceUiWndAnimate.h"
#include "wceui/bitmap/WceUiGenericBitmap.h"
#include "wceui/core/FhGlobalData.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/core/WceUiRecord.h"
#include "wceui/ui/FhIgnoreMsg.h"
#include "wceui/ui/WceUiDlg.h"
#include "wceui/ui/WceUiLayer.h"
#include "wceui/ui/WceUiLayerDump.h"
#include "platform/display/Display.h"

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

namespace {
// Message number to the layers registered for it, in registration order.
struct CMsgLayerMap : std::map<UINT, std::vector<CWceUiLayer*>> {
    bool IsEmpty() const { return empty(); }
};
} // namespace

struct CWceUiRealWnd::Data {
    CWceUiLayer* m_curCaptureLayer = nullptr;
    std::unique_ptr<CWceUiGenericBitmap> pWndBitmap;
    CWceUiLayerCtrl layerCtrl;
    BOOL bCapture = FALSE;
    BOOL bApplied = FALSE;
    std::unique_ptr<CWceUiGenericBitmap> m_pFromBitmap;
    std::unique_ptr<CWceUiGenericBitmap> pMixedBitmap;
    CMsgLayerMap m_MsgLayerMap;
};

namespace {
int ScreenBits() {
    return CFhGlobalData::Instance().GetScreenBitsPerPixel();
}
} // namespace

namespace {
// The host window whose layers the platform's dump describes.
const CWceUiRealWnd* s_pDumpWnd = nullptr;
} // namespace

CWceUiRealWnd::CWceUiRealWnd() : m_pData(WceUiNewRecord<Data>("CWceUiRealWnd")) {
    SetClassName(WCEUI_CLASS_NAME(CWceUiRealWnd));
    if (m_pData) {
        m_pData->pWndBitmap.reset(WceUiCreateBitmapObject(ScreenBits()));
        m_pData->layerCtrl.SetWindow(this);
        // A script's "dump" describes the layers of the newest host window rather than the bare
        // platform windows.
        s_pDumpWnd = this;
        PlatformSetDumpHook([this] { return WceUiDumpLayerTree(&GetData()->layerCtrl); });
    }
}

CWceUiRealWnd::~CWceUiRealWnd() {
    if (s_pDumpWnd == this) {
        s_pDumpWnd = nullptr;
        PlatformSetDumpHook(nullptr);
    }
    Data* pData = GetData();
    if (NULL == pData) {
        return;
    }
    pData->pWndBitmap.reset();
    pData->m_pFromBitmap.reset();
    pData->pMixedBitmap.reset();
    WCEUI_CHECK("CWceUiRealWnd::~CWceUiRealWnd", NULL == GetData()->m_curCaptureLayer);
    WCEUI_CHECK("CWceUiRealWnd::~CWceUiRealWnd", GetData()->m_MsgLayerMap.IsEmpty());
    m_pData.reset();
}

CWceUiRealWnd::Data* CWceUiRealWnd::GetData() const {
    return m_pData.get();
}

CWceUiLayerCtrl* CWceUiRealWnd::GetLayerCtrl() const {
    Data* pData = GetData();
    return NULL == pData ? NULL : &pData->layerCtrl;
}

CWceUiGenericBitmap* CWceUiRealWnd::GetWndBitmap() const {
    Data* pData = GetData();
    return NULL == pData ? NULL : pData->pWndBitmap.get();
}

void CWceUiRealWnd::OnAfterPaint(CWceUiGenericBitmap*) {}

// Pen and keys.

CWceUiLayer* CWceUiRealWnd::PenTarget(POINT pt) const {
    Data* pData = GetData();
    if (NULL == pData) {
        return NULL;
    }
    if (pData->bCapture) {
        return ::GetCapture() == m_hWnd ? pData->m_curCaptureLayer : NULL;
    }
    return pData->layerCtrl.HitTest(pt);
}

void CWceUiRealWnd::OnLButtonDown(UINT nFlags, int x, int y) {
    const POINT pt = {x, y};
    if (CWceUiLayer* pTarget = PenTarget(pt)) {
        pTarget->OnLButtonDown(nFlags, pt);
        return;
    }
    CWceUiLayer* pTop = GetLayerCtrl()->RootLayer()->GetLastChild();
    if (NULL != pTop && pTop->IsKindOf(WCEUI_CLASS_NAME(CWceUiDlg))) {
        static_cast<CWceUiDlg*>(pTop)->OnBlankLButtonDown(nFlags, pt);
    }
}

void CWceUiRealWnd::OnLButtonUp(UINT nFlags, int x, int y) {
    const POINT pt = {x, y};
    if (CWceUiLayer* pTarget = PenTarget(pt)) {
        pTarget->OnLButtonUp(nFlags, pt);
    }
}

void CWceUiRealWnd::OnMouseMove(UINT nFlags, int x, int y) {
    const POINT pt = {x, y};
    if (CWceUiLayer* pTarget = PenTarget(pt)) {
        pTarget->OnMouseMove(nFlags, pt);
    }
}

void CWceUiRealWnd::OnLButtonDblClk(UINT nFlags, int x, int y) {
    const POINT pt = {x, y};
    if (CWceUiLayer* pTarget = PenTarget(pt)) {
        pTarget->OnLButtonDblClk(nFlags, pt);
    }
}

void CWceUiRealWnd::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) {
    if (CWceUiLayer* pTop = GetLayerCtrl()->RootLayer()->GetLastChild()) {
        pTop->OnKeyDown(nChar, nRepCnt, nFlags);
    }
    // Layers that registered for the key-down message itself (text entry) get it as well.
    Data* pData = GetData();
    if (NULL != pData) {
        auto it = pData->m_MsgLayerMap.find(WM_KEYDOWN);
        if (it != pData->m_MsgLayerMap.end()) {
            const std::vector<CWceUiLayer*> layers = it->second;
            for (CWceUiLayer* pLayer : layers) {
                pLayer->OnMessage(WM_KEYDOWN, nChar,
                                  static_cast<LPARAM>((nRepCnt & 0xFFFF) | ((nFlags & 0xFFFF) << 16)));
            }
        }
    }
}

void CWceUiRealWnd::OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags) {
    if (CWceUiLayer* pTop = GetLayerCtrl()->RootLayer()->GetLastChild()) {
        pTop->OnKeyUp(nChar, nRepCnt, nFlags);
    }
}

// Capture.

CWceUiLayer* CWceUiRealWnd::SetCapture(CWceUiLayer* pCaptureLayer) {
    Data* pData = GetData();
    if (NULL == pData || !WCEUI_CHECK("CWceUiRealWnd::SetCapture", ::IsWindow(m_hWnd)) ||
        !WCEUI_CHECK("CWceUiRealWnd::SetCapture", NULL != pCaptureLayer)) {
        return NULL;
    }
    pData->bCapture = TRUE;
    if (::GetCapture() != m_hWnd) {
        ::SetCapture(m_hWnd);
    }
    CWceUiLayer* pOld = pData->m_curCaptureLayer;
    pData->m_curCaptureLayer = pCaptureLayer;
    if (NULL != pOld && pOld != pCaptureLayer) {
        pOld->OnLoseCapture();
    }
    return pOld;
}

void CWceUiRealWnd::ReleaseCapture(CWceUiLayer* pLayer) {
    Data* pData = GetData();
    if (NULL == pData || NULL == pLayer || pLayer != pData->m_curCaptureLayer) {
        return;
    }
    pData->bCapture = FALSE;
    pData->m_curCaptureLayer = nullptr;
    if (NULL != m_hWnd && ::GetCapture() == m_hWnd) {
        ::ReleaseCapture();
    }
}

CWceUiLayer* CWceUiRealWnd::GetCaptureLayer() const {
    Data* pData = GetData();
    return NULL == pData ? NULL : pData->m_curCaptureLayer;
}

void CWceUiRealWnd::OnCaptureChanged(HWND) {
    Data* pData = GetData();
    if (NULL == pData || !pData->bCapture) {
        return;
    }
    CWceUiLayer* pLayer = pData->m_curCaptureLayer;
    if (NULL == pLayer) {
        pData->bCapture = FALSE;
        return;
    }
    pLayer->OnLoseCapture();
    if (pData->m_curCaptureLayer == pLayer) {
        ReleaseCapture(pLayer);
    }
}

// Timers and messages.

void CWceUiRealWnd::OnTimer(UINT_PTR nIDEvent) {
    const WORD wLayerID = LOWORD(nIDEvent);
    if (0 == wLayerID) {
        return;
    }
    if (CWceUiLayer* pLayer = GetLayerCtrl()->GetLayerByID(wLayerID)) {
        pLayer->OnTimer(HIWORD(nIDEvent));
    }
}

BOOL CWceUiRealWnd::SetWndTimer(UINT_PTR uIDEvent, UINT uElapse) {
    return 0 != CRealGenericWnd::SetTimer(uIDEvent, uElapse);
}

BOOL CWceUiRealWnd::KillWndTimer(UINT_PTR uIDEvent) {
    return CRealGenericWnd::KillTimer(uIDEvent);
}

BOOL CWceUiRealWnd::RegisterMsg(UINT uMsg, CWceUiLayer* pLayer) {
    Data* pData = GetData();
    if (NULL == pData || !WCEUI_CHECK("CWceUiRealWnd::RegisterMsg", NULL != pLayer)) {
        return FALSE;
    }
    pData->m_MsgLayerMap[uMsg].push_back(pLayer);
    return TRUE;
}

BOOL CWceUiRealWnd::UnRegisterMsg(UINT uMsg, CWceUiLayer* pLayer) {
    Data* pData = GetData();
    if (NULL == pData || !WCEUI_CHECK("CWceUiRealWnd::UnRegisterMsg", NULL != pLayer)) {
        return FALSE;
    }
    auto it = pData->m_MsgLayerMap.find(uMsg);
    if (it == pData->m_MsgLayerMap.end()) {
        WceUiLog(WCEUI_LOG_ERROR, "CWceUiRealWnd::UnRegisterMsg failed, nMsg %d is not registered",
                 (int)uMsg);
        return FALSE;
    }
    auto pos = std::find(it->second.begin(), it->second.end(), pLayer);
    if (pos == it->second.end()) {
        WceUiLog(WCEUI_LOG_ERROR, "CWceUiRealWnd::UnRegisterMsg failed, can not find the layer");
        return FALSE;
    }
    it->second.erase(pos);
    if (it->second.empty()) {
        pData->m_MsgLayerMap.erase(it);
    }
    return TRUE;
}

LRESULT CWceUiRealWnd::DefWindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) {
    Data* pData = GetData();
    if (NULL != pData) {
        auto it = pData->m_MsgLayerMap.find(nMsg);
        if (it != pData->m_MsgLayerMap.end()) {
            // A copy: a layer may register or unregister while it handles the message.
            const std::vector<CWceUiLayer*> layers = it->second;
            LRESULT lResult = 0;
            for (CWceUiLayer* pLayer : layers) {
                lResult = pLayer->OnMessage(nMsg, wParam, lParam);
            }
            return lResult;
        }
    }
    return CRealDlg::DefWindowProc(nMsg, wParam, lParam);
}

// Painting.

BOOL CWceUiRealWnd::ClientSize(int* pnWidth, int* pnHeight) {
    RECT rc;
    if (!::IsWindow(m_hWnd) || !::GetClientRect(m_hWnd, &rc)) {
        return FALSE;
    }
    *pnWidth = rc.right - rc.left;
    *pnHeight = rc.bottom - rc.top;
    return *pnWidth > 0 && *pnHeight > 0;
}

void CWceUiRealWnd::InvalidateWndRect(LPCRECT lpRect, BOOL bErase) {
    CRealGenericWnd::InvalidateRect(lpRect, bErase);
}

void CWceUiRealWnd::OnPaint(HDC hDC, const RECT* pPaintRect) {
    Data* pData = GetData();
    if (NULL == pData || NULL == pPaintRect || IsRectEmpty(pPaintRect) || !pData->pWndBitmap) {
        return;
    }
    int nWidth = 0;
    int nHeight = 0;
    if (!ClientSize(&nWidth, &nHeight)) {
        return;
    }
    CWceUiGenericBitmap* pBmp = pData->pWndBitmap.get();
    if (!pBmp->IsLoaded() || pBmp->GetWidth() != nWidth || pBmp->GetHeight() != nHeight) {
        if (!pBmp->CreateDIB(nWidth, nHeight)) {
            WceUiLog(WCEUI_LOG_ERROR, "CWceUiRealWnd::OnPaint, CreateDIB failed");
            return;
        }
        // A new bitmap holds nothing yet: all of it is drawn.
        RECT rcAll = {0, 0, nWidth, nHeight};
        SetRepaintEnabled(FALSE);
        pData->layerCtrl.Draw(pBmp, &rcAll);
        SetRepaintEnabled(TRUE);
    } else {
        SetRepaintEnabled(FALSE);
        pData->layerCtrl.Draw(pBmp, pPaintRect);
        SetRepaintEnabled(TRUE);
    }
    OnAfterPaint(pBmp);
    pBmp->BltToDc(hDC, pPaintRect->left, pPaintRect->top, pPaintRect->right - pPaintRect->left,
                  pPaintRect->bottom - pPaintRect->top, pPaintRect->left, pPaintRect->top, SRCCOPY);
}

CWceUiGenericBitmap* CWceUiRealWnd::GetCurWndBmp() {
    Data* pData = GetData();
    if (NULL == pData || !WCEUI_CHECK("CWceUiRealWnd::GetCurWndBmp", ::IsWindow(m_hWnd))) {
        return NULL;
    }
    int nWidth = 0;
    int nHeight = 0;
    if (!ClientSize(&nWidth, &nHeight)) {
        return NULL;
    }
    std::unique_ptr<CWceUiGenericBitmap> pBmp(WceUiCreateBitmapObject(ScreenBits()));
    if (!pBmp) {
        WceUiLog(WCEUI_LOG_ERROR, "CWceUiRealWnd::GetCurWndBmp, Create Bitmap failed");
        return NULL;
    }
    if (!pBmp->CreateDIB(nWidth, nHeight)) {
        WceUiLog(WCEUI_LOG_ERROR, "CWceUiRealWnd::GetCurWndBmp, CreateDIB failed");
        return NULL;
    }
    RECT rc = {0, 0, nWidth, nHeight};
    const BOOL bRepaint = IsRepaintEnabled();
    SetRepaintEnabled(FALSE);
    pData->layerCtrl.Draw(pBmp.get(), &rc);
    SetRepaintEnabled(bRepaint);
    return pBmp.release();
}

BOOL CWceUiRealWnd::PaintWnd(CWceUiGenericBitmap* pWndBmp) {
    if (!WCEUI_CHECK("CWceUiRealWnd::PaintWnd", NULL != pWndBmp) ||
        !WCEUI_CHECK("CWceUiRealWnd::PaintWnd", ::IsWindow(m_hWnd)) ||
        !WCEUI_CHECK("CWceUiRealWnd::PaintWnd", pWndBmp->IsLoaded())) {
        return FALSE;
    }
    int nWidth = 0;
    int nHeight = 0;
    if (!ClientSize(&nWidth, &nHeight) || pWndBmp->GetWidth() != nWidth || pWndBmp->GetHeight() != nHeight) {
        WceUiLog(WCEUI_LOG_ERROR,
                 "CWceUiRealWnd::PaintWnd failed, the size of pWndBmp is not match the window size");
        return FALSE;
    }
    HDC hDC = ::GetDC(m_hWnd);
    if (NULL == hDC) {
        return FALSE;
    }
    OnAfterPaint(pWndBmp);
    const BOOL bOk = pWndBmp->BltToDc(hDC, 0, 0, nWidth, nHeight, 0, 0, SRCCOPY);
    ::ReleaseDC(m_hWnd, hDC);
    return bOk;
}

BOOL CWceUiRealWnd::MoveWnd(LPCRECT lpRect) {
    return NULL != lpRect && MoveWindow(lpRect, TRUE);
}

// Animations.

BOOL CWceUiRealWnd::Apply(CWceUiGenericBitmap* pFromBitmap) {
    Data* pData = GetData();
    if (NULL == pData) {
        return FALSE;
    }
    pData->m_pFromBitmap.reset();
    pData->bApplied = FALSE;
    if (!WCEUI_CHECK("CWceUiRealWnd::Apply", ::IsWindow(m_hWnd))) {
        return FALSE;
    }
    if (NULL != pFromBitmap) {
        if (!WCEUI_CHECK("CWceUiRealWnd::Apply", pFromBitmap->IsLoaded())) {
            return FALSE;
        }
        if (pFromBitmap->GetBitsPixel() != ScreenBits()) {
            WceUiLog(WCEUI_LOG_ERROR,
                     "CWceUiRealWnd::Apply, the pFromBitmap's BitsPixel is not match screen's BitsPixel");
            return FALSE;
        }
        int nWidth = 0;
        int nHeight = 0;
        if (!ClientSize(&nWidth, &nHeight) || pFromBitmap->GetWidth() != nWidth ||
            pFromBitmap->GetHeight() != nHeight) {
            WceUiLog(WCEUI_LOG_ERROR, "the size of pFromBitmap does not match the window rect size");
            return FALSE;
        }
        CWceUiGenericBitmap* pCopy = NULL;
        if (!pFromBitmap->MakeACopy(&pCopy) || NULL == pCopy) {
            WceUiLog(WCEUI_LOG_ERROR, "CWceUiRealWnd::Apply, pFromBitmap->MakeACopy failed");
            delete pCopy;
            return FALSE;
        }
        pData->m_pFromBitmap.reset(pCopy);
    } else {
        pData->m_pFromBitmap.reset(GetCurWndBmp());
        if (!pData->m_pFromBitmap) {
            WceUiLog(WCEUI_LOG_ERROR, "CWceUiRealWnd::Apply, GetCurWndBmp failed");
            return FALSE;
        }
    }
    pData->bApplied = TRUE;
    return TRUE;
}

CWceUiGenericBitmap* CWceUiRealWnd::CreateMixedBitmap() {
    Data* pData = GetData();
    if (NULL == pData) {
        return NULL;
    }
    if (!pData->pMixedBitmap) {
        pData->pMixedBitmap.reset(WceUiCreateBitmapObject(ScreenBits()));
        if (!pData->pMixedBitmap) {
            WceUiLog(WCEUI_LOG_ERROR,
                     "CWceUiRealWnd::CreateMixedBitmap, Can not create bitmap object, nBitsPixel = %d",
                     ScreenBits());
            return NULL;
        }
    }
    int nWidth = 0;
    int nHeight = 0;
    if (!ClientSize(&nWidth, &nHeight)) {
        return NULL;
    }
    CWceUiGenericBitmap* pMixed = pData->pMixedBitmap.get();
    if (!pMixed->IsLoaded() || pMixed->GetWidth() != nWidth || pMixed->GetHeight() != nHeight) {
        if (!pMixed->CreateDIB(nWidth, nHeight)) {
            WceUiLog(
                WCEUI_LOG_ERROR,
                "CWceUiRealWnd::CreateMixedBitmap, Can not create bitmap object, width = %d, height = %d",
                nWidth, nHeight);
            pData->pMixedBitmap.reset();
            return NULL;
        }
    }
    return pMixed;
}

BOOL CWceUiRealWnd::Play(CWceUiWndAnimate** ppWndAnimate, int nWndAnimate, BOOL bIgnoreInput) {
    Data* pData = GetData();
    if (NULL == pData || !WCEUI_CHECK("CWceUiRealWnd::Play", NULL != ppWndAnimate) ||
        !WCEUI_CHECK("CWceUiRealWnd::Play", nWndAnimate > 0) ||
        !WCEUI_CHECK("CWceUiRealWnd::Play", ::IsWindow(m_hWnd))) {
        return FALSE;
    }
    if (!pData->bApplied) {
        WceUiLog(WCEUI_LOG_ERROR,
                 "CWceUiRealWnd::Play failed, please make sure the previous Apply return TRUE");
        return FALSE;
    }
    // The starting picture is used up by this run whatever happens.
    std::unique_ptr<CWceUiGenericBitmap> pFrom(std::move(pData->m_pFromBitmap));
    pData->bApplied = FALSE;
    if (!WCEUI_CHECK("CWceUiRealWnd::Play", NULL != pFrom)) {
        return FALSE;
    }
    std::vector<CWceUiWndAnimate*> ready;
    for (int i = 0; i < nWndAnimate; ++i) {
        if (WCEUI_CHECK("CWceUiRealWnd::Play", NULL != ppWndAnimate[i]) && ppWndAnimate[i]->IsEnabled()) {
            ready.push_back(ppWndAnimate[i]);
        }
    }
    if (ready.empty()) {
        return TRUE;
    }
    CWceUiGenericBitmap* pMixed = CreateMixedBitmap();
    if (NULL == pMixed) {
        WceUiLog(WCEUI_LOG_ERROR, "In CWceUiRealWnd::Play, CreateMixedBitmap return NULL");
        return FALSE;
    }
    if (pMixed->GetWidth() != pFrom->GetWidth() || pMixed->GetHeight() != pFrom->GetHeight()) {
        WceUiLog(WCEUI_LOG_ERROR, "In CWceUiRealWnd::Play, the size of pFromBitmap is not equal pWndBitmap");
        return FALSE;
    }
    pMixed->BitBlt(0, 0, pMixed->GetWidth(), pMixed->GetHeight(), pFrom.get(), 0, 0, SRCCOPY);
    std::unique_ptr<CWceUiGenericBitmap> pTo(GetCurWndBmp());
    if (!pTo) {
        WceUiLog(WCEUI_LOG_ERROR, "CWceUiRealWnd::Play failed, GetCurWndBmp failed");
        return FALSE;
    }
    for (CWceUiWndAnimate* p : ready) {
        if (!p->ReStart(pMixed, pFrom.get(), pTo.get())) {
            WceUiLogW(WCEUI_LOG_ERROR, u"In CWceUiRealWnd::Play, %s pAnimate->ReStart failed", p->GetName());
            return FALSE;
        }
    }
    int nFrames = 0;
    for (CWceUiWndAnimate* p : ready) {
        nFrames = std::max(nFrames, p->GetFrameCount());
    }
    BOOL bOk = TRUE;
    for (int j = 0; j < nFrames && bOk; ++j) {
        int nDelay = -1;
        for (CWceUiWndAnimate* p : ready) {
            if (p->GetFrameCount() <= j) {
                continue;
            }
            int nLength = 0;
            if (!p->Play(pMixed, pFrom.get(), pTo.get(), j, &nLength)) {
                WceUiLogW(WCEUI_LOG_ERROR, u"CWceUiRealWnd::Play, %s pAnimate->Play failed", p->GetName());
                bOk = FALSE;
                break;
            }
            if (nDelay < 0) {
                nDelay = nLength;
            }
        }
        if (!bOk) {
            break;
        }
        // A frame is paced by its painting alone: the time its rendering took is not taken off.
        const DWORD dwStart = ::GetTickCount();
        if (!PaintWnd(pMixed)) {
            WceUiLog(WCEUI_LOG_ERROR, "CWceUiRealWnd::Play failed, PaintWnd failed");
            bOk = FALSE;
            break;
        }
        const int nSpent = static_cast<int>(::GetTickCount() - dwStart);
        if (nDelay - nSpent > 0) {
            ::Sleep(static_cast<DWORD>(nDelay - nSpent));
        }
    }
    for (CWceUiWndAnimate* p : ready) {
        p->Finish();
    }
    if (bIgnoreInput) {
        IgnoreMsgBeforeTime(0);
    }
    return bOk;
}

BOOL CWceUiRealWnd::IgnoreMsgBeforeTime(DWORD dwTime) {
    if (!WCEUI_CHECK("CWceUiRealWnd::IgnoreMsgBeforeTime", ::IsWindow(m_hWnd))) {
        return FALSE;
    }
    PostMessage(WM_WCEUI_CANCEL_CAPTURE, 0, 0);
    return CFhIgnoreMsg::Instance().AddHwndTime(m_hWnd, 0 == dwTime ? ::GetTickCount() : dwTime);
}

// The loop of a dialog layer's modal run.

BOOL CWceUiRealWnd::RunModalLoop(const BOOL* pbEnd) {
    if (!WCEUI_CHECK("CWceUiRealWnd::RunModalLoop", NULL != pbEnd)) {
        return FALSE;
    }
    MSG msg;
    while (!*pbEnd) {
        const BOOL bRet = ::GetMessageW(&msg, NULL, 0, 0);
        if (0 == bRet || -1 == bRet) {
            return FALSE;
        }
        if (!CFhIgnoreMsg::Instance().IsIgnoreMsg(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    return TRUE;
}

void CWceUiRealWnd::WakeUp() {
    if (::IsWindow(m_hWnd)) {
        PostMessage(0, 0, 0);
    }
}

void CWceUiRealWnd::OnDestroy() {
    Data* pData = GetData();
    if (NULL == pData) {
        return;
    }
    CWceUiLayer* pRoot = pData->layerCtrl.RootLayer();
    const int nCount = pRoot->GetChildCount();
    if (nCount > 1) {
        WceUiLog(WCEUI_LOG_ERROR,
                 "error in CWceUiRealWnd::OnDestroy, the WceUiDlgLayer was not closed normally");
    } else if (1 == nCount) {
        CWceUiLayer* pLast = pRoot->GetLastChild();
        CWceUiDlg* pDlg = pLast->IsKindOf(WCEUI_CLASS_NAME(CWceUiDlg)) ? static_cast<CWceUiDlg*>(pLast)
                                                                       : static_cast<CWceUiDlg*>(NULL);
        if (NULL == pDlg || DLG_RUN_IN_MODELESS != pDlg->GetRunWay()) {
            WceUiLog(WCEUI_LOG_ERROR,
                     "error in CWceUiRealWnd::OnDestroy, the WceUiDlgLayer was not closed normally 2");
        } else {
            pDlg->EndModeless();
            pData->layerCtrl.DeleteLayer(pDlg);
        }
    }
    if (NULL != pData->m_curCaptureLayer) {
        ReleaseCapture(pData->m_curCaptureLayer);
    }
}
