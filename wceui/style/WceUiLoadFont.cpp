#include "wceui/style/WceUiLoadFont.h"

#include "wceui/core/QuickString.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/core/WceUiRecord.h"
#include "wceui/style/FhResLoaders.h"
#include "wceui/style/WceUiFont.h"

struct CWceUiLoadFont::Data {
    BOOL bFromRes = FALSE;
    CWceUiFont* pCurrent = NULL; // the loader's font, or ownFont
    CWceUiFont ownFont;
    CQuickString strFontID;
};

CWceUiLoadFont::CWceUiLoadFont() : m_pData(WceUiNewRecord<Data>("CWceUiLoadFont")) {
    if (m_pData) {
        m_pData->pCurrent = &m_pData->ownFont;
    }
}

CWceUiLoadFont::~CWceUiLoadFont() {
    Clean();
}

CWceUiLoadFont::Data* CWceUiLoadFont::GetData() const {
    return m_pData.get();
}

BOOL CWceUiLoadFont::SetFontFromRes(LPCWSTR pFontID) {
    Data* pData = GetData();
    if (!WCEUI_CHECK("CWceUiLoadFont::SetFontFromRes", NULL != pFontID) || NULL == pData) {
        return FALSE;
    }
    const bool bHasID = WCEUI_CHECK("CWceUiLoadFont::SetFontFromRes", *pFontID);
    if (pData->bFromRes && 0 == WStrICmp(pData->strFontID, pFontID)) {
        return TRUE;
    }
    Clean();
    if (!bHasID || !pData->strFontID.SetString(pFontID)) {
        return FALSE;
    }
    pData->bFromRes = TRUE;
    return TRUE;
}

void CWceUiLoadFont::SetLogFont(const LOGFONTW& logFont) {
    Data* pData = GetData();
    if (NULL == pData) {
        return;
    }
    Clean();
    pData->ownFont.SetLogFont(logFont);
}

CWceUiFont* CWceUiLoadFont::GetFontObject() {
    Data* pData = GetData();
    if (NULL == pData) {
        return NULL;
    }
    if (pData->bFromRes && pData->pCurrent == &pData->ownFont) {
        if (CWceUiFont* pLoaded = WceUiGetFont(pData->strFontID)) {
            pData->pCurrent = pLoaded;
        } else {
            WceUiLogW(WCEUI_LOG_ERROR, u"load font id %s failed use default font",
                      pData->strFontID.GetString());
            pData->ownFont.ResetToSystemFont();
        }
    }
    return pData->pCurrent;
}

HFONT CWceUiLoadFont::GetFont() {
    CWceUiFont* pFont = GetFontObject();
    return NULL != pFont ? pFont->GetFont() : NULL;
}

void CWceUiLoadFont::Clean() {
    Data* pData = GetData();
    if (NULL == pData) {
        return;
    }
    if (pData->bFromRes && pData->pCurrent != &pData->ownFont) {
        WceUiReleaseFont(pData->pCurrent);
    }
    pData->ownFont.ResetToSystemFont();
    pData->pCurrent = &pData->ownFont;
    pData->bFromRes = FALSE;
    pData->strFontID.SetString(u"");
}

BOOL CWceUiLoadFont::DoCopy(const CWceUiLoadFont& rhs) {
    if (!WCEUI_CHECK("CWceUiLoadFont::DoCopy", this != &rhs)) {
        return FALSE;
    }
    const Data* pOther = rhs.GetData();
    if (NULL == pOther) {
        return FALSE;
    }
    if (pOther->bFromRes) {
        return SetFontFromRes(pOther->strFontID);
    }
    SetLogFont(pOther->ownFont.GetLogFontRef());
    return TRUE;
}

BOOL CWceUiLoadFont::IsFromRes() const {
    const Data* pData = GetData();
    return NULL != pData && pData->bFromRes;
}

LPCWSTR CWceUiLoadFont::GetFontID() const {
    const Data* pData = GetData();
    return NULL != pData ? pData->strFontID.GetString() : u"";
}

BOOL CWceUiFontCtrl::SetFontFromRes(LPCWSTR pFontID) {
    bool valid = WCEUI_CHECK("CWceUiFontCtrl::SetFontFromRes", NULL != pFontID);
    valid = valid && WCEUI_CHECK("CWceUiFontCtrl::SetFontFromRes", *pFontID);
    return valid && CWceUiLoadFont::SetFontFromRes(pFontID);
}

BOOL CWceUiFontCtrl::DoCopy(const CWceUiFontCtrl& rhs) {
    if (!WCEUI_CHECK("CWceUiFontCtrl::DoCopy", this != &rhs)) {
        return FALSE;
    }
    return CWceUiLoadFont::DoCopy(rhs);
}
