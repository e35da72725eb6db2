#include "wceui/style/WceUiStyle.h"

#include "wceui/bitmap/WceUiDrawTextCtrl.h"
#include "wceui/core/QuickString.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/core/WceUiRecord.h"
#include "wceui/style/WceUiBgItem.h"
#include "wceui/style/WceUiLoadColor.h"
#include "wceui/style/WceUiLoadFont.h"
#include "wceui/style/WceUiStyleCtrls.h"

struct CWceUiStyle::Data {
    RECT rcPosition = {0, 0, 0, 0};
    BOOL bRelative = FALSE;
    BOOL bVisible = TRUE;
    BOOL bEnabled = TRUE;
    BOOL bContainer = FALSE;
    BOOL bNoDraw = FALSE;
    BOOL bNoInput = FALSE;
    CWceUiLoadColor textColor;
    CQuickString strTextResID;
    CWceUiFontCtrl font;
    CWceUiDrawTextCtrl drawText;
    CWceUiBgColorCtrl bgColor;
    CWceUiBgItemCtrl bgItems;
    int nAlphaOpacity = -1;
    BOOL bAlphaEnabled = FALSE;
    CWceUiMixColorFilterCtrl mixColor;
    CWceUiStyleOwner* pLayer = NULL;
    UINT nSetFlags = 0;
};

CWceUiStyle::CWceUiStyle() : m_pData(WceUiNewRecord<Data>("CWceUiStyle")) {}

CWceUiStyle::~CWceUiStyle() {}

CWceUiStyle::Data* CWceUiStyle::GetData() const {
    return m_pData.get();
}

BOOL CWceUiStyle::IsSet(UINT nGroup) const {
    const Data* pData = GetData();
    return NULL != pData && 0 != (pData->nSetFlags & nGroup);
}

void CWceUiStyle::SetSetFlag(UINT nGroup, BOOL bSet) {
    if (Data* pData = GetData()) {
        pData->nSetFlags = bSet ? (pData->nSetFlags | nGroup) : (pData->nSetFlags & ~nGroup);
    }
}

UINT CWceUiStyle::GetSetFlags() const {
    const Data* pData = GetData();
    return NULL != pData ? pData->nSetFlags : 0;
}

void CWceUiStyle::SetSetFlags(UINT nFlags) {
    if (Data* pData = GetData()) {
        pData->nSetFlags = nFlags & WCEUI_STYLE_ALL_GROUPS;
    }
}

// Position and flags.

BOOL CWceUiStyle::SetPosition(LPCRECT lpRect, BOOL bRelative) {
    Data* pData = GetData();
    if (!WCEUI_CHECK("CWceUiStyle::SetPosition", NULL != lpRect) || NULL == pData) {
        return FALSE;
    }
    if (NULL != pData->pLayer) {
        pData->pLayer->OnStyleSetPosition(lpRect, bRelative);
        return TRUE;
    }
    return StorePosition(lpRect, bRelative);
}

BOOL CWceUiStyle::StorePosition(LPCRECT lpRect, BOOL bRelative) {
    Data* pData = GetData();
    if (!WCEUI_CHECK("CWceUiStyle::StorePosition", NULL != lpRect) || NULL == pData) {
        return FALSE;
    }
    pData->rcPosition = *lpRect;
    pData->bRelative = bRelative;
    return TRUE;
}

BOOL CWceUiStyle::GetPosition(LPRECT lpRect, BOOL* pbRelative) const {
    const Data* pData = GetData();
    if (!WCEUI_CHECK("CWceUiStyle::GetPosition", NULL != lpRect) || NULL == pData) {
        return FALSE;
    }
    *lpRect = pData->rcPosition;
    if (NULL != pbRelative) {
        *pbRelative = pData->bRelative;
    }
    return TRUE;
}

BOOL CWceUiStyle::IsRelative() const {
    const Data* pData = GetData();
    return NULL != pData && pData->bRelative;
}

// One setter, one store and one getter per flag; the setter goes through the attached layer.
#define WCEUI_STYLE_FLAG(Name, field, callback)                                                              \
    void CWceUiStyle::Set##Name(BOOL bValue) {                                                               \
        Data* pData = GetData();                                                                             \
        if (NULL == pData) {                                                                                 \
            return;                                                                                          \
        }                                                                                                    \
        if (NULL != pData->pLayer) {                                                                         \
            pData->pLayer->callback(bValue);                                                                 \
        } else {                                                                                             \
            pData->field = bValue;                                                                           \
        }                                                                                                    \
    }                                                                                                        \
    void CWceUiStyle::Store##Name(BOOL bValue) {                                                             \
        if (Data* pData = GetData()) {                                                                       \
            pData->field = bValue;                                                                           \
        }                                                                                                    \
    }

WCEUI_STYLE_FLAG(Visible, bVisible, OnStyleSetVisible)
WCEUI_STYLE_FLAG(Enabled, bEnabled, OnStyleSetEnabled)
WCEUI_STYLE_FLAG(Container, bContainer, OnStyleSetContainer)
WCEUI_STYLE_FLAG(NoDraw, bNoDraw, OnStyleSetNoDraw)
WCEUI_STYLE_FLAG(NoInput, bNoInput, OnStyleSetNoInput)
#undef WCEUI_STYLE_FLAG

BOOL CWceUiStyle::IsVisible() const {
    const Data* pData = GetData();
    return NULL != pData && pData->bVisible;
}

BOOL CWceUiStyle::IsEnabled() const {
    const Data* pData = GetData();
    return NULL != pData && pData->bEnabled;
}

BOOL CWceUiStyle::IsContainer() const {
    const Data* pData = GetData();
    return NULL != pData && pData->bContainer;
}

BOOL CWceUiStyle::IsNoDraw() const {
    const Data* pData = GetData();
    return NULL != pData && pData->bNoDraw;
}

BOOL CWceUiStyle::IsNoInput() const {
    const Data* pData = GetData();
    return NULL != pData && pData->bNoInput;
}

void CWceUiStyle::AttachLayer(CWceUiStyleOwner* pLayer) {
    if (Data* pData = GetData()) {
        pData->pLayer = pLayer;
    }
}

CWceUiStyleOwner* CWceUiStyle::GetAttachedLayer() const {
    const Data* pData = GetData();
    return NULL != pData ? pData->pLayer : NULL;
}

// Text.

BOOL CWceUiStyle::SetTextColor(LPCWSTR pColorID) {
    Data* pData = GetData();
    bool valid = WCEUI_CHECK("CWceUiStyle::SetTextColor", NULL != pColorID);
    valid = valid && WCEUI_CHECK("CWceUiStyle::SetTextColor", *pColorID);
    return valid && NULL != pData && pData->textColor.SetColorFromRes(pColorID);
}

void CWceUiStyle::SetTextColorValue(COLORREF crColor) {
    if (Data* pData = GetData()) {
        pData->textColor.SetColor(crColor);
    }
}

COLORREF CWceUiStyle::GetTextColorValue() {
    Data* pData = GetData();
    return NULL != pData ? pData->textColor.GetColor() : 0;
}

CWceUiLoadColor* CWceUiStyle::GetTextColor() {
    Data* pData = GetData();
    return NULL != pData ? &pData->textColor : NULL;
}

BOOL CWceUiStyle::SetTextResID(LPCWSTR pTextResID) {
    Data* pData = GetData();
    return NULL != pData && pData->strTextResID.SetString(pTextResID);
}

LPCWSTR CWceUiStyle::GetTextResID() const {
    const Data* pData = GetData();
    return NULL != pData ? pData->strTextResID.GetString() : u"";
}

CWceUiFontCtrl* CWceUiStyle::GetFontCtrl() {
    Data* pData = GetData();
    return NULL != pData ? &pData->font : NULL;
}

CWceUiDrawTextCtrl* CWceUiStyle::GetDrawTextCtrl() {
    Data* pData = GetData();
    return NULL != pData ? &pData->drawText : NULL;
}

CWceUiBgColorCtrl* CWceUiStyle::GetBgColorCtrl() {
    Data* pData = GetData();
    return NULL != pData ? &pData->bgColor : NULL;
}

CWceUiBgItemCtrl* CWceUiStyle::GetBgItemCtrl() {
    Data* pData = GetData();
    return NULL != pData ? &pData->bgItems : NULL;
}

void CWceUiStyle::SetAlphaFilter(BOOL bEnabled, int nOpacity) {
    if (Data* pData = GetData()) {
        pData->bAlphaEnabled = bEnabled;
        pData->nAlphaOpacity = nOpacity;
    }
}

BOOL CWceUiStyle::IsAlphaFilterEnabled() const {
    const Data* pData = GetData();
    return NULL != pData && pData->bAlphaEnabled;
}

int CWceUiStyle::GetAlphaFilterOpacity() const {
    const Data* pData = GetData();
    return NULL != pData ? pData->nAlphaOpacity : -1;
}

CWceUiMixColorFilterCtrl* CWceUiStyle::GetMixColorFilterCtrl() {
    Data* pData = GetData();
    return NULL != pData ? &pData->mixColor : NULL;
}

// Copy and combine.

BOOL CWceUiStyle::CopyGroup(UINT nGroup, const CWceUiStyle& src) {
    Data* pData = GetData();
    const Data* pSrc = src.GetData();
    if (NULL == pData || NULL == pSrc) {
        return FALSE;
    }
    if (pData == pSrc) {
        return TRUE;
    }
    switch (nGroup) {
        case WCEUI_STYLE_POSITION:
            return SetPosition(&pSrc->rcPosition, pSrc->bRelative);
        case WCEUI_STYLE_VISIBILITY:
            SetVisible(pSrc->bVisible);
            return TRUE;
        case WCEUI_STYLE_DISABILITY:
            SetEnabled(pSrc->bEnabled);
            return TRUE;
        case WCEUI_STYLE_CONTAINER:
            SetContainer(pSrc->bContainer);
            return TRUE;
        case WCEUI_STYLE_NO_DRAW:
            SetNoDraw(pSrc->bNoDraw);
            return TRUE;
        case WCEUI_STYLE_NO_INPUT:
            SetNoInput(pSrc->bNoInput);
            return TRUE;
        case WCEUI_STYLE_TEXT_COLOR:
            return pData->textColor.DoCopy(pSrc->textColor);
        case WCEUI_STYLE_TEXT_RES_ID:
            return pData->strTextResID.SetString(pSrc->strTextResID);
        case WCEUI_STYLE_FONT:
            return pData->font.DoCopy(pSrc->font);
        case WCEUI_STYLE_TEXT_LAYOUT:
            pData->drawText = pSrc->drawText;
            return TRUE;
        case WCEUI_STYLE_BG_COLOR:
            return pData->bgColor.DoCopy(pSrc->bgColor);
        case WCEUI_STYLE_BG_ITEMS:
            return pData->bgItems.DoCopy(pSrc->bgItems);
        case WCEUI_STYLE_ALPHA_FILTER:
            pData->bAlphaEnabled = pSrc->bAlphaEnabled;
            pData->nAlphaOpacity = pSrc->nAlphaOpacity;
            return TRUE;
        case WCEUI_STYLE_MIX_COLOR_FILTER:
            return pData->mixColor.DoCopy(pSrc->mixColor);
        default:
            return FALSE;
    }
}

BOOL CWceUiStyle::DoCopy(const CWceUiStyle& rhs) {
    if (!WCEUI_CHECK("CWceUiStyle::DoCopy", this != &rhs)) {
        return FALSE;
    }
    if (NULL == GetData() || NULL == rhs.GetData()) {
        return FALSE;
    }
    BOOL bOk = TRUE;
    for (UINT nGroup = 1; nGroup <= WCEUI_STYLE_ALL_GROUPS; nGroup <<= 1) {
        bOk = CopyGroup(nGroup, rhs) && bOk;
    }
    SetSetFlags(rhs.GetSetFlags());
    return bOk;
}

BOOL CWceUiStyle::Combine(const CWceUiStyle& preferred, const CWceUiStyle& fallback) {
    if (NULL == GetData() || NULL == preferred.GetData() || NULL == fallback.GetData()) {
        return FALSE;
    }
    BOOL bOk = TRUE;
    for (UINT nGroup = 1; nGroup <= WCEUI_STYLE_ALL_GROUPS; nGroup <<= 1) {
        const bool bPreferred = nGroup != WCEUI_STYLE_BG_ITEMS && preferred.IsSet(nGroup);
        bOk = CopyGroup(nGroup, bPreferred ? preferred : fallback) && bOk;
    }
    SetSetFlags(fallback.GetSetFlags());
    return bOk;
}
