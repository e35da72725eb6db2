#include "wceui/style/FhLanguage.h"

#include "wceui/core/FhPath.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/style/WceUiLoadString.h"

CFhLanguage& CFhLanguage::Instance() {
    static CFhLanguage* s_pLanguage = new CFhLanguage;
    return *s_pLanguage;
}

CFhLanguage::CFhLanguage() : m_items(WceUiMemberOffset(&CWceUiLoadString::m_pNextItem)) {
    m_strFilePath.SetString(u"");
}

CFhLanguage::~CFhLanguage() = default;

BOOL CFhLanguage::SetLanguage(LPCWSTR pLangeFilePath, BOOL bEscapes) {
    if (!WCEUI_CHECK("CFhLanguage::SetLanguage", NULL != pLangeFilePath)) {
        return FALSE;
    }
    WCHAR szFullPath[MAX_PATH];
    if (!FhMakeFullPathFromModuleDir(pLangeFilePath, szFullPath, MAX_PATH)) {
        WceUiLog(WCEUI_LOG_ERROR, "CFhLanguage::SetLanguage, the path of the language file is too long");
        m_doc.Clean();
        return FALSE;
    }
    m_doc.Clean();
    if (!m_doc.LoadFile(szFullPath, bEscapes)) {
        return FALSE;
    }
    for (void* p = m_items.GetHead(); NULL != p; p = m_items.GetNext(p)) {
        static_cast<CWceUiLoadString*>(p)->MarkStale();
    }
    m_strFilePath.SetString(pLangeFilePath);
    return TRUE;
}

LPCWSTR CFhLanguage::GetText(LPCWSTR pTextResID) const {
    if (NULL == pTextResID || !m_doc.IsLoaded()) {
        return NULL;
    }
    return m_doc.GetValue(pTextResID);
}

void CFhLanguage::AddLoadStringItem(CWceUiLoadString* pLoadStringItem) {
    if (WCEUI_CHECK("CFhLanguage::AddLoadStringItem", NULL != pLoadStringItem)) {
        m_items.AddHead(pLoadStringItem);
    }
}

void CFhLanguage::DelLoadStringItem(CWceUiLoadString* pLoadStringItem) {
    if (WCEUI_CHECK("CFhLanguage::DelLoadStringItem", NULL != pLoadStringItem)) {
        m_items.Remove(pLoadStringItem);
    }
}

BOOL WceUiSetLanguage(LPCWSTR pLangeFilePath, BOOL bEscapes) {
    return CFhLanguage::Instance().SetLanguage(pLangeFilePath, bEscapes);
}
