#include "wceui/style/FhResLoaders.h"

#include "wceui/bitmap/ReadBitmapConfInfo.h"
#include "wceui/bitmap/WceUiBitmapConvert.h"
#include "wceui/bitmap/WceUiGenericBitmap.h"
#include "wceui/core/FhGlobalData.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/style/WceUiColor.h"
#include "wceui/style/WceUiFont.h"

#include <new>

namespace {

// Runs a loader's report when the process's statics go. The loader itself stays, so that handles
// living in other statics can still give back what they hold.
struct CFhAtExit {
    void (*m_pfnRun)();
    ~CFhAtExit() { m_pfnRun(); }
};

} // namespace

CFhResLoader::CFhResLoader(LPCWSTR pReleaseName) : m_map(17), m_pReleaseName(pReleaseName) {}

CFhResLoader::~CFhResLoader() {
    ReportLeaks();
}

LONG CFhResLoader::GetRefCount(LPCWSTR pID) const {
    if (NULL == pID) {
        return 0;
    }
    const Entry* pEntry = m_map.Find(pID);
    return pEntry ? pEntry->nRef : 0;
}

void CFhResLoader::ReportLeaks() const {
    m_map.ForEach([this](LPCWSTR pID, const Entry& entry) {
        WceUiLogW(WCEUI_LOG_ERROR, u"%s is not released, reference count is %d. call %s to release", pID,
                  static_cast<int>(entry.nRef), m_pReleaseName);
        return true;
    });
}

CWceUiObject* CFhResLoader::AddRef(LPCWSTR pID) {
    Entry* pEntry = m_map.Find(pID);
    if (NULL == pEntry) {
        return NULL;
    }
    InterlockedIncrement(&pEntry->nRef);
    return pEntry->pObject;
}

BOOL CFhResLoader::Enter(LPCWSTR pID, CWceUiObject* pObject) {
    if (NULL == m_map.Insert(pID, Entry{pObject, 1})) {
        WceUiLogW(WCEUI_LOG_ERROR, u"can not keep %s, out of memory", pID);
        delete pObject;
        return FALSE;
    }
    return TRUE;
}

BOOL CFhResLoader::Release(const CWceUiObject* pObject) {
    LPCWSTR pFoundID = NULL;
    Entry* pFound = NULL;
    m_map.ForEach([&](LPCWSTR pID, const Entry& entry) {
        if (entry.pObject != pObject) {
            return true;
        }
        pFoundID = pID;
        pFound = const_cast<Entry*>(&entry);
        return false;
    });
    if (NULL == pFound) {
        return FALSE;
    }
    if (InterlockedDecrement(&pFound->nRef) <= 0) {
        CWceUiObject* pDead = pFound->pObject;
        m_map.Remove(pFoundID);
        delete pDead;
    }
    return TRUE;
}

BOOL CFhResLoader::CopyID(LPCWSTR pID, bool bSlashToBackslash, LPWSTR pCopy) {
    // A longer identifier would have to be cut, and a cut one could name another resource.
    if (!WStrCpyN(pCopy, MAX_PATH, pID)) {
        WceUiLog(WCEUI_LOG_ERROR, "resource id of %u units is too long", static_cast<unsigned>(WStrLen(pID)));
        return FALSE;
    }
    if (bSlashToBackslash) {
        for (WCHAR* p = pCopy; *p; ++p) {
            if (u'/' == *p) {
                *p = u'\\';
            }
        }
    }
    return TRUE;
}

BOOL CFhResLoader::MakeResPath(LPCWSTR pFolder, LPCWSTR pID, LPWSTR pPath) {
    LPCWSTR pResDir = CFhGlobalData::Instance().GetResDir();
    if (NULL == pResDir || 0 == *pResDir) {
        WceUiLog(WCEUI_LOG_ERROR, "please set the resource directory use WceUiInit or WceUiChangeResDir");
        return FALSE;
    }
    const size_t nLength = WStrLen(pResDir) + WStrLen(pFolder) + WStrLen(pID);
    if (nLength >= MAX_PATH) {
        WceUiLog(WCEUI_LOG_ERROR,
                 "the path of a resource id under the resource directory is too long, %u units",
                 static_cast<unsigned>(nLength));
        return FALSE;
    }
    WStrCpy(pPath, pResDir);
    WStrCat(pPath, pFolder);
    WStrCat(pPath, pID);
    return TRUE;
}

// Bitmaps.

CFhBitmapResLoader& CFhBitmapResLoader::Instance() {
    static CFhBitmapResLoader* s_pLoader = new CFhBitmapResLoader;
    static CFhAtExit s_report{[] { s_pLoader->ReportLeaks(); }};
    return *s_pLoader;
}

CFhBitmapResLoader::CFhBitmapResLoader() : CFhResLoader(u"WceUiReleaseBitmap") {}

CFhBitmapResLoader::~CFhBitmapResLoader() = default;

CWceUiGenericBitmap* CFhBitmapResLoader::GetBitmap(LPCWSTR pBitmapID) {
    if (!WCEUI_CHECK("CFhBitmapResLoader::GetBitmap", NULL != pBitmapID)) {
        return NULL;
    }
    WCHAR szID[MAX_PATH];
    if (!CopyID(pBitmapID, true, szID)) {
        return NULL;
    }
    if (0 == *CFhGlobalData::Instance().GetResDir()) {
        WceUiLog(WCEUI_LOG_ERROR, "please set the resource directory use WceUiInit or WceUiChangeResDir");
        return NULL;
    }
    if (CWceUiObject* pFound = AddRef(szID)) {
        return static_cast<CWceUiGenericBitmap*>(pFound);
    }
    WCHAR szPath[MAX_PATH];
    if (!MakeResPath(u"bitmap\\", szID, szPath)) {
        return NULL;
    }
    CWceUiGenericBitmap* pBitmap = FhLoadBitmapFromConfFile(szPath);
    // The window bitmap has the screen's depth and blends only sources of its own kind: a skin image of
    // the other depth is converted once here, where it enters the cache.
    const int nScreenBits = CFhGlobalData::Instance().GetScreenBitsPerPixel();
    if (NULL != pBitmap && (16 == nScreenBits || 32 == nScreenBits) &&
        pBitmap->GetBitsPixel() != nScreenBits) {
        CWceUiGenericBitmap* pConverted = WceUiConvertBitmap(pBitmap, nScreenBits);
        delete pBitmap;
        pBitmap = pConverted;
    }
    if (NULL == pBitmap || !Enter(szID, pBitmap)) {
        return NULL;
    }
    return pBitmap;
}

void CFhBitmapResLoader::ReleaseBitmap(CWceUiGenericBitmap* pBitmap) {
    if (NULL != pBitmap && !Release(pBitmap)) {
        WceUiLog(WCEUI_LOG_ERROR, "call WceUiReleaseBitmap Release but pWceUiBitmap not found");
    }
}

// Colours.

CFhColorResLoader& CFhColorResLoader::Instance() {
    static CFhColorResLoader* s_pLoader = new CFhColorResLoader;
    static CFhAtExit s_report{[] {
        s_pLoader->ReportLeaks();
        s_pLoader->FreeColorTable();
    }};
    return *s_pLoader;
}

CFhColorResLoader::CFhColorResLoader() : CFhResLoader(u"WceUiReleaseColor") {}

CFhColorResLoader::~CFhColorResLoader() = default;

CWceUiColor* CFhColorResLoader::GetColor(LPCWSTR pColorID) {
    if (!WCEUI_CHECK("CFhColorResLoader::GetColor", NULL != pColorID)) {
        return NULL;
    }
    if (0 == *CFhGlobalData::Instance().GetResDir()) {
        WceUiLog(WCEUI_LOG_ERROR, "please set the resource directory use WceUiInit or WceUiChangeResDir");
        return NULL;
    }
    if (!m_colorTable.IsLoaded()) {
        WCHAR szPath[MAX_PATH];
        if (!MakeResPath(u"color\\", u"wceui.color", szPath)) {
            return NULL;
        }
        if (!m_colorTable.LoadFile(szPath, FALSE)) {
            WceUiLogW(WCEUI_LOG_ERROR, u"load file %s failed", szPath);
            return NULL;
        }
    }
    if (CWceUiObject* pFound = AddRef(pColorID)) {
        return static_cast<CWceUiColor*>(pFound);
    }
    LPCWSTR pValue = m_colorTable.GetValue(pColorID);
    if (NULL == pValue) {
        return NULL;
    }
    CWceUiColor* pColor = new (std::nothrow) CWceUiColor(FhHexToColorRef(pValue));
    if (NULL == pColor || !Enter(pColorID, pColor)) {
        return NULL;
    }
    return pColor;
}

void CFhColorResLoader::ReleaseColor(CWceUiColor* pColor) {
    if (NULL != pColor && !Release(pColor)) {
        WceUiLog(WCEUI_LOG_ERROR, "call WceUiReleaseColor Release but pWceUiColor not found");
    }
}

// Fonts.

CFhFontResLoader& CFhFontResLoader::Instance() {
    static CFhFontResLoader* s_pLoader = new CFhFontResLoader;
    static CFhAtExit s_report{[] { s_pLoader->ReportLeaks(); }};
    return *s_pLoader;
}

CFhFontResLoader::CFhFontResLoader() : CFhResLoader(u"WceUiReleaseFont") {}

CFhFontResLoader::~CFhFontResLoader() = default;

CWceUiFont* CFhFontResLoader::GetFont(LPCWSTR pFontID) {
    if (!WCEUI_CHECK("CFhFontResLoader::GetFont", NULL != pFontID)) {
        return NULL;
    }
    WCHAR szID[MAX_PATH];
    if (!CopyID(pFontID, true, szID)) {
        return NULL;
    }
    if (0 == *CFhGlobalData::Instance().GetResDir()) {
        WceUiLog(WCEUI_LOG_ERROR, "please set the resource directory use WceUiInit or WceUiChangeResDir");
        return NULL;
    }
    if (CWceUiObject* pFound = AddRef(szID)) {
        return static_cast<CWceUiFont*>(pFound);
    }
    WCHAR szPath[MAX_PATH];
    if (!MakeResPath(u"font\\", szID, szPath)) {
        return NULL;
    }
    CWceUiFont* pFont = FhLoadFontFromConfFile(szPath);
    if (NULL == pFont || !Enter(szID, pFont)) {
        return NULL;
    }
    return pFont;
}

void CFhFontResLoader::ReleaseFont(CWceUiFont* pFont) {
    if (NULL != pFont && !Release(pFont)) {
        WceUiLog(WCEUI_LOG_ERROR, "call WceUiReleaseFont Release but pWceUiFont not found");
    }
}

// The framework's entry points.

CWceUiGenericBitmap* WceUiGetBitmap(LPCWSTR pBitmapID) {
    if (!WCEUI_CHECK("WceUiGetBitmap", NULL != pBitmapID)) {
        return NULL;
    }
    return CFhBitmapResLoader::Instance().GetBitmap(pBitmapID);
}

void WceUiReleaseBitmap(CWceUiGenericBitmap* pBitmap) {
    CFhBitmapResLoader::Instance().ReleaseBitmap(pBitmap);
}

CWceUiColor* WceUiGetColor(LPCWSTR pColorID) {
    if (!WCEUI_CHECK("WceUiGetColor", NULL != pColorID)) {
        return NULL;
    }
    return CFhColorResLoader::Instance().GetColor(pColorID);
}

void WceUiReleaseColor(CWceUiColor* pColor) {
    CFhColorResLoader::Instance().ReleaseColor(pColor);
}

CWceUiFont* WceUiGetFont(LPCWSTR pFontID) {
    if (!WCEUI_CHECK("WceUiGetFont", NULL != pFontID)) {
        return NULL;
    }
    return CFhFontResLoader::Instance().GetFont(pFontID);
}

void WceUiReleaseFont(CWceUiFont* pFont) {
    CFhFontResLoader::Instance().ReleaseFont(pFont);
}
