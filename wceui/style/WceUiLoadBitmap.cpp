#include "wceui/style/WceUiLoadBitmap.h"

#include "wceui/bitmap/WceUiGenericBitmap.h"
#include "wceui/core/QuickString.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/core/WceUiRecord.h"
#include "wceui/style/FhResLoaders.h"

struct CWceUiLoadBitmap::Data {
    CWceUiGenericBitmap* pBitmap = NULL;
    BOOL bFromRes = FALSE;
    CQuickString strBitmapID;
};

CWceUiLoadBitmap::CWceUiLoadBitmap() : m_pData(WceUiNewRecord<Data>("CWceUiLoadBitmap")) {}

CWceUiLoadBitmap::~CWceUiLoadBitmap() {
    Clean();
}

CWceUiLoadBitmap::Data* CWceUiLoadBitmap::GetData() const {
    return m_pData.get();
}

BOOL CWceUiLoadBitmap::SetBitmapFromRes(LPCWSTR pBitmapID) {
    Data* pData = GetData();
    if (!WCEUI_CHECK("CWceUiLoadBitmap::SetBitmapFromRes", NULL != pBitmapID) || NULL == pData) {
        return FALSE;
    }
    const bool bHasID = WCEUI_CHECK("CWceUiLoadBitmap::SetBitmapFromRes", *pBitmapID);
    if (pData->bFromRes && 0 == WStrICmp(pData->strBitmapID, pBitmapID)) {
        return TRUE;
    }
    Clean();
    if (!bHasID) {
        return FALSE;
    }
    if (!pData->strBitmapID.SetString(pBitmapID)) {
        return FALSE;
    }
    pData->bFromRes = TRUE;
    return TRUE;
}

BOOL CWceUiLoadBitmap::SetBitmapFromApp(CWceUiGenericBitmap* pBitmap) {
    Data* pData = GetData();
    if (NULL == pData) {
        return FALSE;
    }
    Clean();
    if (NULL == pBitmap || !pBitmap->IsLoaded()) {
        return TRUE;
    }
    CWceUiGenericBitmap* pCopy = NULL;
    pBitmap->MakeACopy(&pCopy);
    if (NULL == pCopy) {
        WceUiLog(WCEUI_LOG_ERROR, "In CWceUiLoadBitmap::SetBitmapFromApp, pBitmap->MakeACopy failed");
        return FALSE;
    }
    pData->pBitmap = pCopy;
    return TRUE;
}

CWceUiGenericBitmap* CWceUiLoadBitmap::GetBitmap() {
    Data* pData = GetData();
    if (NULL == pData) {
        return NULL;
    }
    if (pData->bFromRes && NULL == pData->pBitmap) {
        pData->pBitmap = WceUiGetBitmap(pData->strBitmapID);
        if (NULL == pData->pBitmap) {
            WceUiLogW(WCEUI_LOG_ERROR, u"In CWceUiLoadBitmap::GetBitmap, load bitmap id %s failed",
                      pData->strBitmapID.GetString());
        }
    }
    return pData->pBitmap;
}

void CWceUiLoadBitmap::Clean() {
    Data* pData = GetData();
    if (NULL == pData) {
        return;
    }
    if (pData->bFromRes) {
        WceUiReleaseBitmap(pData->pBitmap);
    } else {
        delete pData->pBitmap;
    }
    pData->pBitmap = NULL;
    pData->bFromRes = FALSE;
    pData->strBitmapID.SetString(u"");
}

BOOL CWceUiLoadBitmap::DoCopy(const CWceUiLoadBitmap& rhs) {
    if (!WCEUI_CHECK("CWceUiLoadBitmap::DoCopy", this != &rhs)) {
        return FALSE;
    }
    const Data* pOther = rhs.GetData();
    if (NULL == pOther) {
        return FALSE;
    }
    if (pOther->bFromRes) {
        return SetBitmapFromRes(pOther->strBitmapID);
    }
    return SetBitmapFromApp(pOther->pBitmap);
}

BOOL CWceUiLoadBitmap::IsFromRes() const {
    const Data* pData = GetData();
    return NULL != pData && pData->bFromRes;
}

LPCWSTR CWceUiLoadBitmap::GetBitmapID() const {
    const Data* pData = GetData();
    return NULL != pData ? pData->strBitmapID.GetString() : u"";
}
