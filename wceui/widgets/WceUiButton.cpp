#include "wceui/widgets/WceUiButton.h"

#include "wceui/core/WceUiLog.h"
#include "wceui/core/WceUiRecord.h"
#include "wceui/res/WceUiXmlDoc.h"

#include <new>

struct CWceUiButton::BtnData {
    // Indexed by state - 1: normal, down, out.
    WCHAR szStyle[3][WCEUI_BUTTON_STYLE_NAME_LEN] = {{0}, {0}, {0}};
    BOOL bPressed = FALSE;
    int nState = WCEUI_BUTTON_STATE_NORMAL;
};

namespace {

// Where a released or lost pen can never be: the capture-loss path uses it so that no command follows.
const POINT kNowhere = {-65535, -65535};

} // namespace

CWceUiButton::CWceUiButton() : m_pBtnData(WceUiNewRecord<BtnData>("CWceUiButton")) {
    SetClassName(WCEUI_CLASS_NAME(CWceUiButton));
}

CWceUiButton::~CWceUiButton() = default;

CWceUiButton::BtnData* CWceUiButton::GetBtnData() const {
    return m_pBtnData.get();
}

BOOL CWceUiButton::SetProperties(CWceUiXmlElem* pCreateElem) {
    if (!CWceUiLayer::SetProperties(pCreateElem)) {
        return FALSE;
    }
    BtnData* pData = GetBtnData();
    if (NULL == pData) {
        return FALSE;
    }
    // Only the names are kept: the layer has just applied "style" itself, and a fresh button is at rest.
    static const LPCWSTR kAttrs[3] = {u"style", u"down.style", u"focus.style"};
    for (int i = 0; i < 3; ++i) {
        if (LPCWSTR p = pCreateElem->pDoc->GetAttrValue(pCreateElem, kAttrs[i])) {
            WStrCpyN(pData->szStyle[i], WCEUI_BUTTON_STYLE_NAME_LEN, p);
        }
    }
    return TRUE;
}

void CWceUiButton::SetStyleName(int nState, LPCWSTR pStyleName) {
    BtnData* pData = GetBtnData();
    if (NULL == pData) {
        return;
    }
    WStrCpyN(pData->szStyle[nState - 1], WCEUI_BUTTON_STYLE_NAME_LEN, pStyleName ? pStyleName : u"");
    if (pData->nState == nState) {
        ApplyIfSet(nState);
    }
}

void CWceUiButton::ApplyIfSet(int nState) {
    BtnData* pData = GetBtnData();
    if (NULL != pData && 0 != pData->szStyle[nState - 1][0]) {
        SetStyle(pData->szStyle[nState - 1]);
    }
}

void CWceUiButton::SetNormalStyle(LPCWSTR pStyleName) {
    SetStyleName(WCEUI_BUTTON_STATE_NORMAL, pStyleName);
}
void CWceUiButton::SetDownStyle(LPCWSTR pStyleName) {
    SetStyleName(WCEUI_BUTTON_STATE_DOWN, pStyleName);
}
void CWceUiButton::SetOutStyle(LPCWSTR pStyleName) {
    SetStyleName(WCEUI_BUTTON_STATE_OUT, pStyleName);
}

LPCWSTR CWceUiButton::GetNormalStyle() const {
    const BtnData* pData = GetBtnData();
    return pData ? pData->szStyle[0] : u"";
}
LPCWSTR CWceUiButton::GetDownStyle() const {
    const BtnData* pData = GetBtnData();
    return pData ? pData->szStyle[1] : u"";
}
LPCWSTR CWceUiButton::GetOutStyle() const {
    const BtnData* pData = GetBtnData();
    return pData ? pData->szStyle[2] : u"";
}

int CWceUiButton::GetState() const {
    const BtnData* pData = GetBtnData();
    return pData ? pData->nState : WCEUI_BUTTON_STATE_NORMAL;
}

BOOL CWceUiButton::IsPressed() const {
    const BtnData* pData = GetBtnData();
    return pData && pData->bPressed;
}

std::u16string CWceUiButton::GetDumpInfo() const {
    switch (GetState()) {
        case WCEUI_BUTTON_STATE_DOWN:
            return u" state=down";
        case WCEUI_BUTTON_STATE_OUT:
            return u" state=out";
        default:
            return u" state=normal";
    }
}

void CWceUiButton::AppendDumpInfo(std::string* line, std::vector<std::string>*) const {
    *line += WideToUtf8(GetDumpInfo());
}

void CWceUiButton::OnLButtonDown(UINT, POINT) {
    BtnData* pData = GetBtnData();
    if (NULL == pData) {
        return;
    }
    pData->bPressed = TRUE;
    pData->nState = WCEUI_BUTTON_STATE_DOWN;
    ApplyIfSet(WCEUI_BUTTON_STATE_DOWN);
    SetLayerCapture();
}

void CWceUiButton::OnMouseMove(UINT, POINT point) {
    BtnData* pData = GetBtnData();
    if (NULL == pData || !pData->bPressed) {
        return;
    }
    RECT rc;
    const int nState =
        GetWindowRect(&rc) && PtInRect(&rc, point) ? WCEUI_BUTTON_STATE_DOWN : WCEUI_BUTTON_STATE_OUT;
    // The style is applied only when the pen crosses the edge, not on every move.
    if (nState != pData->nState) {
        pData->nState = nState;
        ApplyIfSet(nState);
    }
}

void CWceUiButton::OnLButtonUp(UINT, POINT point) {
    BtnData* pData = GetBtnData();
    if (NULL == pData || !pData->bPressed) {
        return;
    }
    pData->bPressed = FALSE;
    pData->nState = WCEUI_BUTTON_STATE_NORMAL;
    ApplyIfSet(WCEUI_BUTTON_STATE_NORMAL);
    // The flag is already clear, so a capture-loss call coming back from the release does nothing.
    if (HasCapture()) {
        ReleaseLayerCapture();
    }
    RECT rc;
    if (GetWindowRect(&rc) && PtInRect(&rc, point)) {
        // Last: the target may end the dialog and delete this button.
        if (CWceUiLayer* pTarget = GetNotifyTarget()) {
            pTarget->OnCommand(this);
        }
    }
}

void CWceUiButton::OnLoseCapture() {
    OnLButtonUp(0, kNowhere);
}
