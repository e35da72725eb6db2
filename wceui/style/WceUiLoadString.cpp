#include "wceui/style/WceUiLoadString.h"

#include "wceui/core/QuickString.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/core/WceUiRecord.h"
#include "wceui/style/FhLanguage.h"

struct CWceUiLoadString::Data {
    CQuickString strTextResID;
    CQuickString strText;
    BOOL bStale = TRUE;
};

CWceUiLoadString::CWceUiLoadString() : CWceUiLoadString(&CFhLanguage::Instance()) {}

CWceUiLoadString::CWceUiLoadString(CFhLanguage* pLanguage)
    : m_pData(WceUiNewRecord<Data>("CWceUiLoadString")), m_pLanguage(pLanguage), m_pNextItem(NULL) {
    if (NULL != m_pLanguage) {
        m_pLanguage->AddLoadStringItem(this);
    }
}

CWceUiLoadString::~CWceUiLoadString() {
    if (NULL != m_pLanguage) {
        m_pLanguage->DelLoadStringItem(this);
    }
}

CWceUiLoadString::Data* CWceUiLoadString::GetData() const {
    return m_pData.get();
}

BOOL CWceUiLoadString::SetTextResID(LPCWSTR pTextResID) {
    Data* pData = GetData();
    if (!WCEUI_CHECK("CWceUiLoadString::SetTextResID", NULL != pTextResID) || NULL == pData) {
        return FALSE;
    }
    if (0 != WStrCmp(pData->strTextResID, pTextResID)) {
        pData->strTextResID.SetString(pTextResID);
        pData->bStale = TRUE;
    }
    return TRUE;
}

LPCWSTR CWceUiLoadString::GetTextResID() const {
    const Data* pData = GetData();
    return NULL != pData ? pData->strTextResID.GetString() : u"";
}

LPCWSTR CWceUiLoadString::GetText() {
    Data* pData = GetData();
    if (NULL == pData || pData->strTextResID.IsEmpty()) {
        return u"";
    }
    if (pData->bStale) {
        LPCWSTR pText = NULL != m_pLanguage ? m_pLanguage->GetText(pData->strTextResID) : NULL;
        if (NULL == pText) {
            WceUiLogW(WCEUI_LOG_ERROR, u"LoadString %s failed", pData->strTextResID.GetString());
            pText = u"";
        }
        pData->strText.SetString(pText);
        pData->bStale = FALSE;
    }
    return pData->strText.GetString();
}

void CWceUiLoadString::MarkStale() {
    if (Data* pData = GetData()) {
        pData->bStale = TRUE;
    }
}
