#include "wceui/style/WceUiLoadColor.h"

#include "wceui/core/QuickString.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/core/WceUiRecord.h"
#include "wceui/style/FhResLoaders.h"
#include "wceui/style/WceUiColor.h"

struct CWceUiLoadColor::Data {
    BOOL bFromRes = FALSE;
    CWceUiColor* pCurrent = NULL; // the loader's colour, or ownColor
    CWceUiColor ownColor{0};
    CQuickString strColorID;
};

CWceUiLoadColor::CWceUiLoadColor() : m_pData(WceUiNewRecord<Data>("CWceUiLoadColor")) {
    if (m_pData) {
        m_pData->pCurrent = &m_pData->ownColor;
    }
}

CWceUiLoadColor::~CWceUiLoadColor() {
    Clean();
}

CWceUiLoadColor::Data* CWceUiLoadColor::GetData() const {
    return m_pData.get();
}

void CWceUiLoadColor::SetColor(COLORREF crColor) {
    Data* pData = GetData();
    if (NULL == pData) {
        return;
    }
    Clean();
    pData->ownColor.SetColor(crColor);
}

BOOL CWceUiLoadColor::SetColorFromRes(LPCWSTR pColorID) {
    Data* pData = GetData();
    if (!WCEUI_CHECK("CWceUiLoadColor::SetColorFromRes", NULL != pColorID) || NULL == pData) {
        return FALSE;
    }
    const bool bHasID = WCEUI_CHECK("CWceUiLoadColor::SetColorFromRes", *pColorID);
    if (pData->bFromRes && 0 == WStrICmp(pData->strColorID, pColorID)) {
        return TRUE;
    }
    Clean();
    if (!bHasID || !pData->strColorID.SetString(pColorID)) {
        return FALSE;
    }
    pData->bFromRes = TRUE;
    return TRUE;
}

CWceUiColor* CWceUiLoadColor::GetColorObject() {
    Data* pData = GetData();
    if (NULL == pData) {
        return NULL;
    }
    if (pData->bFromRes && pData->pCurrent == &pData->ownColor) {
        if (CWceUiColor* pLoaded = WceUiGetColor(pData->strColorID)) {
            pData->pCurrent = pLoaded;
        } else {
            WceUiLogW(WCEUI_LOG_ERROR, u"load color id %s failed, use black", pData->strColorID.GetString());
            pData->ownColor.SetColor(0);
        }
    }
    return pData->pCurrent;
}

COLORREF CWceUiLoadColor::GetColor() {
    CWceUiColor* pColor = GetColorObject();
    return NULL != pColor ? pColor->GetColor() : 0;
}

void CWceUiLoadColor::Clean() {
    Data* pData = GetData();
    if (NULL == pData) {
        return;
    }
    if (pData->bFromRes && pData->pCurrent != &pData->ownColor) {
        WceUiReleaseColor(pData->pCurrent);
    }
    pData->ownColor.SetColor(0);
    pData->pCurrent = &pData->ownColor;
    pData->bFromRes = FALSE;
    pData->strColorID.SetString(u"");
}

BOOL CWceUiLoadColor::DoCopy(const CWceUiLoadColor& rhs) {
    if (!WCEUI_CHECK("CWceUiLoadColor::DoCopy", this != &rhs)) {
        return FALSE;
    }
    const Data* pOther = rhs.GetData();
    if (NULL == pOther) {
        return FALSE;
    }
    if (pOther->bFromRes) {
        return SetColorFromRes(pOther->strColorID);
    }
    SetColor(pOther->ownColor.GetColor());
    return TRUE;
}

BOOL CWceUiLoadColor::IsFromRes() const {
    const Data* pData = GetData();
    return NULL != pData && pData->bFromRes;
}

LPCWSTR CWceUiLoadColor::GetColorID() const {
    const Data* pData = GetData();
    return NULL != pData ? pData->strColorID.GetString() : u"";
}
