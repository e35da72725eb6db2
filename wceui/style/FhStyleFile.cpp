#include "wceui/style/FhStyleFile.h"

#include "wceui/bitmap/WceUiDrawTextCtrl.h"
#include "wceui/anim/WceUiWndAnimate.h"
#include "wceui/bitmap/WceUiRectOps.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/style/WceUiBgItem.h"
#include "wceui/style/WceUiColor.h"
#include "wceui/style/WceUiLoadFont.h"
#include "wceui/style/WceUiStyle.h"
#include "wceui/style/WceUiStyleCtrls.h"

#include <climits>
#include <memory>
#include <new>

namespace {

bool IsTrue(LPCWSTR pValue) {
    return NULL != pValue && 0 == WStrICmp(pValue, u"true");
}

bool StartsWithHexPrefix(LPCWSTR pValue) {
    return u'0' == pValue[0] && u'x' == pValue[1];
}

// The platform's string-to-long, as a 32-bit value (saturating as the device's long would).
int ToInt(LPCWSTR pValue) {
    const long n = WStrToL(pValue, NULL, 10);
    return n < INT_MIN ? INT_MIN : (n > INT_MAX ? INT_MAX : static_cast<int>(n));
}

void InvalidRect(LPCWSTR pStyleName, LPCWSTR pValue) {
    WceUiLogW(WCEUI_LOG_ERROR, u"can not load style %s, %s is not a valid rect", pStyleName, pValue);
}

// The opacity of one of the two filters, read as the other numbers are: the leading number of the text
// ("128abc" is 128, "0x80" is 0), absent is 0. Only a filter that is enabled uses it, so only then must
// it lie within 0..255.
bool ReadOpacity(LPCWSTR pStyleName, LPCWSTR pValue, BOOL bEnabled, int* pnOpacity) {
    *pnOpacity = NULL == pValue ? 0 : ToInt(pValue);
    if (bEnabled && (*pnOpacity < 0 || *pnOpacity > 255)) {
        WceUiLogW(WCEUI_LOG_ERROR, u"can not load style %s, %s is not valid alpha value", pStyleName, pValue);
        return false;
    }
    return true;
}

// FNV-1a over the name's units, with a final mix so that names that differ only in their last
// characters spread over the whole table.
DWORD HashName(LPCWSTR pName) {
    DWORD h = 2166136261u;
    for (; *pName; ++pName) {
        h = (h ^ static_cast<WORD>(*pName)) * 16777619u;
    }
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h;
}

} // namespace

CFhStyleFile::CFhStyleFile() : m_bLoaded(FALSE) {}

CFhStyleFile::~CFhStyleFile() {
    Discard();
}

void CFhStyleFile::Discard() {
    m_xmlDoc.Clean();
    m_cache.clear();
    m_replaced.clear();
    m_styleNames.clear();
    m_styleHashes.clear();
    m_nameSlots.clear();
    m_styleElems.clear();
    m_bLoaded = FALSE;
}

BOOL CFhStyleFile::LoadStyleFile(LPCWSTR pFilePath) {
    if (!WCEUI_CHECK("CFhStyleFile::LoadStyleFile", NULL != pFilePath)) {
        return FALSE;
    }
    Discard();
    if (!m_xmlDoc.LoadXmlFile(pFilePath, FALSE)) {
        WceUiLogW(WCEUI_LOG_ERROR, u"CFhStyleFile::LoadStyleFile load xml file %s failed", pFilePath);
        return FALSE;
    }
    return FinishLoad();
}

BOOL CFhStyleFile::LoadStyleBuffer(LPCWSTR pFilePath, const BYTE* pData, DWORD dwLength) {
    if (!WCEUI_CHECK("CFhStyleFile::LoadStyleBuffer", NULL != pFilePath)) {
        return FALSE;
    }
    Discard();
    if (!m_xmlDoc.LoadXmlBuffer(pFilePath, pData, dwLength, FALSE)) {
        WceUiLogW(WCEUI_LOG_ERROR, u"CFhStyleFile::LoadStyleFile load xml file %s failed", pFilePath);
        return FALSE;
    }
    return FinishLoad();
}

BOOL CFhStyleFile::FinishLoad() {
    CWceUiXmlElem* pRootElem = m_xmlDoc.GetRootElem();
    if (WCEUI_CHECK("CFhStyleFile::LoadStyleFile", NULL != pRootElem)) {
        CWceUiXmlElem* pStyles = m_xmlDoc.FindChildElem(pRootElem, u"style");
        for (CWceUiXmlElem* pChild = m_xmlDoc.GetFirstChild(pStyles); NULL != pChild;
             pChild = m_xmlDoc.GetNextSibling(pChild)) {
            m_styleElems.push_back(pChild);
        }
        IndexNames();
    }
    m_bLoaded = TRUE;
    return TRUE;
}

BOOL CFhStyleFile::CheckName(const char* pOperation, LPCWSTR pName) const {
    bool valid = WceUiCheck(NULL != pName, pOperation, "NULL != pStyleName");
    valid = valid && WceUiCheck(0 != *pName, pOperation, "*pStyleName");
    valid = valid && WceUiCheck(m_bLoaded, pOperation, "IsLoaded()");
    return valid;
}

int CFhStyleFile::GetStyleNameIndex(LPCWSTR pStyleName) const {
    if (!CheckName("CFhStyleFile::GetStyleNameIndex", pStyleName)) {
        return -1;
    }
    return FirstIndexOf(pStyleName);
}

void CFhStyleFile::IndexNames() {
    const size_t nCount = m_styleElems.size();
    size_t nSlots = 2;
    while (nSlots < 2 * nCount) {
        nSlots *= 2;
    }
    m_nameSlots.assign(nSlots, -1);
    m_styleNames.resize(nCount);
    m_styleHashes.resize(nCount);
    m_cache.resize(nCount);
    const size_t nMask = nSlots - 1;
    for (size_t i = 0; i < nCount; ++i) {
        LPCWSTR pName = m_xmlDoc.GetElemName(m_styleElems[i]);
        m_styleNames[i] = pName;
        if (NULL == pName) {
            continue;
        }
        const DWORD dwHash = HashName(pName);
        m_styleHashes[i] = dwHash;
        // A later element of a name already there is never found by name.
        if (FirstIndexOf(pName, dwHash) >= 0) {
            continue;
        }
        size_t nSlot = dwHash & nMask;
        while (m_nameSlots[nSlot] >= 0) {
            nSlot = (nSlot + 1) & nMask;
        }
        m_nameSlots[nSlot] = static_cast<int>(i);
    }
}

int CFhStyleFile::FirstIndexOf(LPCWSTR pStyleName) const {
    return NULL == pStyleName ? -1 : FirstIndexOf(pStyleName, HashName(pStyleName));
}

int CFhStyleFile::FirstIndexOf(LPCWSTR pStyleName, DWORD dwHash) const {
    if (m_nameSlots.empty()) {
        return -1;
    }
    const size_t nMask = m_nameSlots.size() - 1;
    for (size_t nSlot = dwHash & nMask;; nSlot = (nSlot + 1) & nMask) {
        const int nIndex = m_nameSlots[nSlot];
        if (nIndex < 0) {
            return -1;
        }
        const size_t i = static_cast<size_t>(nIndex);
        if (m_styleHashes[i] == dwHash && 0 == WStrCmp(m_styleNames[i], pStyleName)) {
            return nIndex;
        }
    }
}

LPCWSTR CFhStyleFile::GetStyleName(int nIndex) const {
    if (nIndex < 0 || nIndex >= GetStyleCount()) {
        return NULL;
    }
    return m_xmlDoc.GetElemName(m_styleElems[static_cast<size_t>(nIndex)]);
}

int CFhStyleFile::IndexOfElem(const CWceUiXmlElem* pElem) const {
    const int nFirst = FirstIndexOf(m_xmlDoc.GetElemName(pElem));
    if (nFirst < 0) {
        return -1;
    }
    // Only an element that repeats an earlier name is not its name's first; a caller reaches one only
    // by handing it over itself.
    for (size_t i = static_cast<size_t>(nFirst); i < m_styleElems.size(); ++i) {
        if (m_styleElems[i] == pElem) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

const CWceUiStyle* CFhStyleFile::GetCachedStyle(LPCWSTR pStyleName) const {
    const int nIndex = FirstIndexOf(pStyleName);
    return nIndex >= 0 ? m_cache[static_cast<size_t>(nIndex)].get() : NULL;
}

CWceUiStyle* CFhStyleFile::ParseAndCache(LPCWSTR pStyleName, int nIndex) {
    std::unique_ptr<CWceUiStyle> pStyle(new (std::nothrow) CWceUiStyle);
    if (NULL == pStyle || NULL == pStyle->GetData() ||
        !LoadStyle(pStyle.get(), m_styleElems[static_cast<size_t>(nIndex)])) {
        WceUiLogW(WCEUI_LOG_ERROR, u"can not load style %s", pStyleName);
        return NULL;
    }
    std::unique_ptr<CWceUiStyle>& slot = m_cache[static_cast<size_t>(nIndex)];
    if (NULL != slot) {
        // Read again on request: the newer one serves from now on, the older stays valid for whoever
        // holds it until the file is discarded.
        m_replaced.push_back(std::move(slot));
    }
    slot = std::move(pStyle);
    return slot.get();
}

CWceUiStyle* CFhStyleFile::ReadStyleFromFile(LPCWSTR pStyleName) {
    if (!CheckName("CFhStyleFile::ReadStyleFromFile", pStyleName)) {
        return NULL;
    }
    const int nIndex = GetStyleNameIndex(pStyleName);
    if (nIndex < 0) {
        WceUiLogW(WCEUI_LOG_ERROR, u"Load style %s failed, can not find", pStyleName);
        return NULL;
    }
    // A style may stand on a chain of earlier styles. Parse the chain from its bottom up, so that each
    // base is cached before the style above it asks for it, and a long chain costs no deep recursion.
    // A broken link is left to LoadStyle of the style above it, which reports it.
    std::vector<int> bases;
    for (int nCur = nIndex;;) {
        LPCWSTR pBase = m_xmlDoc.GetAttrValue(m_styleElems[static_cast<size_t>(nCur)], u"overwrite");
        if (NULL == pBase || 0 == *pBase || NULL != GetCachedStyle(pBase)) {
            break;
        }
        const int nBase = GetStyleNameIndex(pBase);
        if (nBase < 0 || nBase >= nCur) {
            break;
        }
        bases.push_back(nBase);
        nCur = nBase;
    }
    for (size_t i = bases.size(); i > 0; --i) {
        const int nBase = bases[i - 1];
        if (NULL == ParseAndCache(GetStyleName(nBase), nBase)) {
            WceUiLogW(WCEUI_LOG_ERROR, u"can not load style %s", pStyleName);
            return NULL;
        }
    }
    return ParseAndCache(pStyleName, nIndex);
}

BOOL CFhStyleFile::GetStyleData(LPCWSTR pStyleName, CWceUiStyle* pStyle) {
    bool valid = CheckName("CFhStyleFile::GetStyleData", pStyleName);
    valid = WCEUI_CHECK("CFhStyleFile::GetStyleData", NULL != pStyle) && valid;
    if (!valid) {
        return FALSE;
    }
    const CWceUiStyle* pCached = GetCachedStyle(pStyleName);
    if (NULL == pCached) {
        pCached = ReadStyleFromFile(pStyleName);
    }
    if (NULL == pCached) {
        return FALSE;
    }
    return pStyle->DoCopy(*pCached);
}

BOOL CFhStyleFile::LoadStyle(CWceUiStyle* pStyle, CWceUiXmlElem* pStyleElem) {
    bool valid = WCEUI_CHECK("CFhStyleFile::LoadStyle", NULL != pStyle);
    valid = WCEUI_CHECK("CFhStyleFile::LoadStyle", NULL != pStyleElem) && valid;
    valid = valid && WCEUI_CHECK("CFhStyleFile::LoadStyle", IsLoaded());
    if (!valid) {
        return FALSE;
    }
    LPCWSTR pStyleName = m_xmlDoc.GetElemName(pStyleElem);
    if (NULL == pStyleName) {
        pStyleName = u"";
    }
    LPCWSTR pBase = m_xmlDoc.GetAttrValue(pStyleElem, u"overwrite");
    if (NULL != pBase) {
        const int nBase = 0 != *pBase ? GetStyleNameIndex(pBase) : -1;
        if (nBase < 0) {
            WceUiLogW(WCEUI_LOG_ERROR, u"overwrite: can not find style %s", pBase);
            return FALSE;
        }
        int nSelf = IndexOfElem(pStyleElem);
        if (nSelf < 0) {
            nSelf = GetStyleNameIndex(pStyleName);
        }
        if (nSelf < 0 || nBase >= nSelf) {
            WceUiLogW(WCEUI_LOG_ERROR, u"style %s can not overwrite %s, not right order", pStyleName, pBase);
            return FALSE;
        }
        if (!GetStyleData(pBase, pStyle)) {
            return FALSE;
        }
    }
    if (CWceUiXmlElem* pElem = m_xmlDoc.FindChildElem(pStyleElem, u"position")) {
        if (!LoadPosition(pStyle, pStyleName, pElem)) {
            return FALSE;
        }
    }
    if (CWceUiXmlElem* pElem = m_xmlDoc.FindChildElem(pStyleElem, u"layout")) {
        if (!LoadLayout(pStyle, pElem)) {
            return FALSE;
        }
    }
    if (CWceUiXmlElem* pElem = m_xmlDoc.FindChildElem(pStyleElem, u"text")) {
        if (!LoadText(pStyle, pStyleName, pElem)) {
            return FALSE;
        }
    }
    if (CWceUiXmlElem* pElem = m_xmlDoc.FindChildElem(pStyleElem, u"background")) {
        if (!LoadBackground(pStyle, pStyleName, pElem)) {
            return FALSE;
        }
    }
    if (CWceUiXmlElem* pElem = m_xmlDoc.FindChildElem(pStyleElem, u"filters")) {
        if (!LoadFilters(pStyle, pStyleName, pElem)) {
            return FALSE;
        }
    }
    if (CWceUiXmlElem* pElem = m_xmlDoc.FindChildElem(pStyleElem, u"adv-properties")) {
        if (!LoadAdvProperties(pStyle, pElem)) {
            return FALSE;
        }
    }
    return TRUE;
}

BOOL CFhStyleFile::LoadPosition(CWceUiStyle* pStyle, LPCWSTR pStyleName, CWceUiXmlElem* pElem) {
    pStyle->SetSetFlag(WCEUI_STYLE_POSITION, TRUE);
    LPCWSTR pWay = m_xmlDoc.GetAttrValue(pElem, u"way");
    const BOOL bRelative = NULL != pWay && 0 == WStrICmp(pWay, u"relative");
    RECT rc = {0, 0, 0, 0};
    if (LPCWSTR pRect = m_xmlDoc.GetAttrValue(pElem, u"rect")) {
        if (!ConvertRectStrToRect(pRect, &rc)) {
            InvalidRect(pStyleName, pRect);
            return FALSE;
        }
    }
    return pStyle->SetPosition(&rc, bRelative);
}

BOOL CFhStyleFile::LoadLayout(CWceUiStyle* pStyle, CWceUiXmlElem* pElem) {
    if (LPCWSTR pValue = m_xmlDoc.GetAttrValue(pElem, u"visibility")) {
        pStyle->SetVisible(IsTrue(pValue));
        pStyle->SetSetFlag(WCEUI_STYLE_VISIBILITY, TRUE);
    }
    if (LPCWSTR pValue = m_xmlDoc.GetAttrValue(pElem, u"disability")) {
        pStyle->SetEnabled(!IsTrue(pValue));
        pStyle->SetSetFlag(WCEUI_STYLE_DISABILITY, TRUE);
    }
    if (LPCWSTR pValue = m_xmlDoc.GetAttrValue(pElem, u"container")) {
        pStyle->SetContainer(IsTrue(pValue));
        pStyle->SetSetFlag(WCEUI_STYLE_CONTAINER, TRUE);
    }
    return TRUE;
}

BOOL CFhStyleFile::LoadText(CWceUiStyle* pStyle, LPCWSTR pStyleName, CWceUiXmlElem* pElem) {
    if (LPCWSTR pValue = m_xmlDoc.GetAttrValue(pElem, u"res-id")) {
        pStyle->SetTextResID(pValue);
        pStyle->SetSetFlag(WCEUI_STYLE_TEXT_RES_ID, TRUE);
    }
    if (LPCWSTR pValue = m_xmlDoc.GetAttrValue(pElem, u"color")) {
        if (StartsWithHexPrefix(pValue) && WStrLen(pValue) > 2) {
            pStyle->SetTextColorValue(FhHexToColorRef(pValue));
        } else {
            pStyle->SetTextColor(pValue);
        }
        pStyle->SetSetFlag(WCEUI_STYLE_TEXT_COLOR, TRUE);
    }
    if (CWceUiXmlElem* pFont = m_xmlDoc.FindChildElem(pElem, u"font")) {
        pStyle->SetSetFlag(WCEUI_STYLE_FONT, TRUE);
        if (LPCWSTR pID = m_xmlDoc.GetAttrValue(pFont, u"id")) {
            pStyle->GetFontCtrl()->SetFontFromRes(pID);
        }
    }
    if (CWceUiXmlElem* pDrawText = m_xmlDoc.FindChildElem(pElem, u"drawtext")) {
        pStyle->SetSetFlag(WCEUI_STYLE_TEXT_LAYOUT, TRUE);
        CWceUiDrawTextCtrl* pCtrl = pStyle->GetDrawTextCtrl();
        UINT uFormat = 0;
        if (LPCWSTR pRect = m_xmlDoc.GetAttrValue(pDrawText, u"rect")) {
            RECT rc;
            if (!ConvertRectStrToRect(pRect, &rc)) {
                InvalidRect(pStyleName, pRect);
                return FALSE;
            }
            pCtrl->SetRect(&rc);
        }
        LPCWSTR pMultiLine = m_xmlDoc.GetAttrValue(pDrawText, u"multiline");
        if (NULL != pMultiLine && !IsTrue(pMultiLine)) {
            uFormat |= DT_SINGLELINE;
        }
        if (LPCWSTR pVAlign = m_xmlDoc.GetAttrValue(pDrawText, u"valign")) {
            if (0 == WStrICmp(pVAlign, u"center")) {
                uFormat |= DT_VCENTER | DT_SINGLELINE;
            } else if (0 == WStrICmp(pVAlign, u"bottom")) {
                uFormat |= DT_BOTTOM | DT_SINGLELINE;
            } else if (0 != WStrICmp(pVAlign, u"top")) {
                WceUiLogW(WCEUI_LOG_ERROR, u"can not load style %s, %s is not valid for valign", pStyleName,
                          pVAlign);
            }
        }
        if (LPCWSTR pAlign = m_xmlDoc.GetAttrValue(pDrawText, u"align")) {
            if (0 == WStrICmp(pAlign, u"center")) {
                uFormat |= DT_CENTER;
            } else if (0 == WStrICmp(pAlign, u"right")) {
                uFormat |= DT_RIGHT;
            } else if (0 != WStrICmp(pAlign, u"left")) {
                WceUiLogW(WCEUI_LOG_ERROR, u"can not load style %s, %s is not valid for align", pStyleName,
                          pAlign);
            }
        }
        pCtrl->SetFormat(uFormat);
    }
    return TRUE;
}

BOOL CFhStyleFile::LoadBackground(CWceUiStyle* pStyle, LPCWSTR pStyleName, CWceUiXmlElem* pElem) {
    if (LPCWSTR pValue = m_xmlDoc.GetAttrValue(pElem, u"color")) {
        CWceUiBgColorCtrl* pBgColor = pStyle->GetBgColorCtrl();
        if (0 == WStrICmp(pValue, u"transparent")) {
            pBgColor->SetTransparent();
        } else if (StartsWithHexPrefix(pValue)) {
            pBgColor->SetColor(FhHexToColorRef(pValue));
        } else {
            pBgColor->SetColorFromRes(pValue);
        }
        pStyle->SetSetFlag(WCEUI_STYLE_BG_COLOR, TRUE);
    }
    CWceUiXmlElem* pItem = m_xmlDoc.GetFirstChild(pElem);
    if (NULL == pItem) {
        return TRUE;
    }
    pStyle->SetSetFlag(WCEUI_STYLE_BG_ITEMS, TRUE);
    pStyle->GetBgItemCtrl()->RemoveAll();
    for (; NULL != pItem; pItem = m_xmlDoc.GetNextSibling(pItem)) {
        if (!LoadBgItem(pStyle, pStyleName, pItem)) {
            return FALSE;
        }
    }
    return TRUE;
}

BOOL CFhStyleFile::LoadBgItem(CWceUiStyle* pStyle, LPCWSTR pStyleName, CWceUiXmlElem* pElem) {
    CWceUiBgItem item;
    if (LPCWSTR pValue = m_xmlDoc.GetAttrValue(pElem, u"common-index")) {
        item.SetCommonIndex(ToInt(pValue));
    }
    if (LPCWSTR pValue = m_xmlDoc.GetAttrValue(pElem, u"name")) {
        item.SetName(pValue);
    }
    if (LPCWSTR pValue = m_xmlDoc.GetAttrValue(pElem, u"id")) {
        item.SetBitmapID(pValue);
    }
    if (LPCWSTR pValue = m_xmlDoc.GetAttrValue(pElem, u"src-rect")) {
        RECT rc;
        if (!ConvertRectStrToRect(pValue, &rc)) {
            InvalidRect(pStyleName, pValue);
            return FALSE;
        }
        item.SetSrcRect(&rc);
    }
    if (LPCWSTR pValue = m_xmlDoc.GetAttrValue(pElem, u"dst-rect")) {
        RECT rc;
        if (!ConvertRectStrToRect(pValue, &rc)) {
            InvalidRect(pStyleName, pValue);
            return FALSE;
        }
        item.SetDstRect(&rc);
    }
    UINT nHorz = WCEUI_ALIGN_HCENTER;
    if (LPCWSTR pValue = m_xmlDoc.GetAttrValue(pElem, u"align")) {
        if (0 == WStrICmp(pValue, u"left")) {
            nHorz = 0;
        } else if (0 == WStrICmp(pValue, u"right")) {
            nHorz = WCEUI_ALIGN_RIGHT;
        } else if (0 != WStrICmp(pValue, u"center")) {
            WceUiLogW(WCEUI_LOG_ERROR, u"can not load style %s, %s is not valid for align", pStyleName,
                      pValue);
        }
    }
    UINT nVert = WCEUI_ALIGN_VCENTER;
    if (LPCWSTR pValue = m_xmlDoc.GetAttrValue(pElem, u"valign")) {
        if (0 == WStrICmp(pValue, u"top")) {
            nVert = 0;
        } else if (0 == WStrICmp(pValue, u"bottom")) {
            nVert = WCEUI_ALIGN_BOTTOM;
        } else if (0 != WStrICmp(pValue, u"center")) {
            WceUiLogW(WCEUI_LOG_ERROR, u"can not load style %s, %s is not valid for valign", pStyleName,
                      pValue);
        }
    }
    item.SetHorzAlign(nHorz);
    item.SetVertAlign(nVert);
    item.SetZoom(IsTrue(m_xmlDoc.GetAttrValue(pElem, u"zoom")));
    return pStyle->GetBgItemCtrl()->AddItem(item);
}

BOOL CFhStyleFile::LoadFilters(CWceUiStyle* pStyle, LPCWSTR pStyleName, CWceUiXmlElem* pElem) {
    if (CWceUiXmlElem* pAlpha = m_xmlDoc.FindChildElem(pElem, u"alpha")) {
        pStyle->SetSetFlag(WCEUI_STYLE_ALPHA_FILTER, TRUE);
        const BOOL bEnabled = IsTrue(m_xmlDoc.GetAttrValue(pAlpha, u"enabled"));
        int nOpacity = 0;
        if (!ReadOpacity(pStyleName, m_xmlDoc.GetAttrValue(pAlpha, u"opacity"), bEnabled, &nOpacity)) {
            return FALSE;
        }
        pStyle->SetAlphaFilter(bEnabled, bEnabled ? nOpacity : -1);
    }
    if (CWceUiXmlElem* pMix = m_xmlDoc.FindChildElem(pElem, u"mixcolor")) {
        pStyle->SetSetFlag(WCEUI_STYLE_MIX_COLOR_FILTER, TRUE);
        const BOOL bEnabled = IsTrue(m_xmlDoc.GetAttrValue(pMix, u"enabled"));
        int nOpacity = 0;
        if (!ReadOpacity(pStyleName, m_xmlDoc.GetAttrValue(pMix, u"opacity"), bEnabled, &nOpacity)) {
            return FALSE;
        }
        CWceUiMixColorFilterCtrl* pCtrl = pStyle->GetMixColorFilterCtrl();
        pCtrl->SetFilter(bEnabled, bEnabled ? nOpacity : -1);
        LPCWSTR pColor = m_xmlDoc.GetAttrValue(pMix, u"color");
        if (!bEnabled) {
            pCtrl->SetColor(static_cast<COLORREF>(-1));
        } else if (NULL == pColor) {
            pCtrl->SetColor(0);
        } else if (StartsWithHexPrefix(pColor) && WStrLen(pColor) >= 3) {
            pCtrl->SetColor(FhHexToColorRef(pColor));
        } else {
            pCtrl->SetColorFromRes(pColor);
        }
    }
    return TRUE;
}

BOOL CFhStyleFile::LoadAdvProperties(CWceUiStyle* pStyle, CWceUiXmlElem* pElem) {
    if (LPCWSTR pValue = m_xmlDoc.GetAttrValue(pElem, u"no-draw")) {
        pStyle->SetNoDraw(IsTrue(pValue));
        pStyle->SetSetFlag(WCEUI_STYLE_NO_DRAW, TRUE);
    }
    if (LPCWSTR pValue = m_xmlDoc.GetAttrValue(pElem, u"no-input")) {
        pStyle->SetNoInput(IsTrue(pValue));
        pStyle->SetSetFlag(WCEUI_STYLE_NO_INPUT, TRUE);
    }
    return TRUE;
}

// Animations.

CWceUiXmlElem* CFhStyleFile::FindAnimateElem(LPCWSTR pAnimateName, bool bReport) const {
    CWceUiXmlElem* pRoot = m_xmlDoc.GetRootElem();
    if (bReport ? !WCEUI_CHECK("CFhStyleFile::GetAnimateElem", NULL != pRoot) : NULL == pRoot) {
        return NULL;
    }
    CWceUiXmlElem* pAnimate = m_xmlDoc.FindChildElem(pRoot, u"animate");
    if (NULL == pAnimate) {
        if (bReport) {
            WceUiLog(WCEUI_LOG_ERROR, "Can not load animate element in style file");
        }
        return NULL;
    }
    CWceUiXmlElem* pElem = m_xmlDoc.FindChildElem(pAnimate, pAnimateName);
    if (NULL == pElem && bReport) {
        WceUiLogW(WCEUI_LOG_ERROR, u"Can not load %s element  in style file", pAnimateName);
    }
    return pElem;
}

CWceUiXmlElem* CFhStyleFile::GetAnimateElem(LPCWSTR pAnimateName) const {
    if (!CheckName("CFhStyleFile::GetAnimateElem", pAnimateName)) {
        return NULL;
    }
    return FindAnimateElem(pAnimateName, true);
}

BOOL CFhStyleFile::DoesHaveAnimate(LPCWSTR pAnimateName) const {
    if (!CheckName("CFhStyleFile::DoesHaveAnimate", pAnimateName)) {
        return FALSE;
    }
    return NULL != FindAnimateElem(pAnimateName, false);
}

CWceUiWndAnimate* CFhStyleFile::GetWndAnimate(LPCWSTR pAnimateName) {
    bool valid = WCEUI_CHECK("CFhStyleFile::GetWndAnimate", NULL != pAnimateName);
    valid = valid && WCEUI_CHECK("CFhStyleFile::GetWndAnimate", *pAnimateName);
    if (!valid) {
        return NULL;
    }
    if (!IsLoaded()) {
        WceUiLog(WCEUI_LOG_ERROR, "CFhStyleFile::GetWndAnimate failed, the xml file is not loaded");
        return NULL;
    }
    CWceUiXmlElem* pElem = FindAnimateElem(pAnimateName, true);
    if (NULL == pElem) {
        WceUiLogW(WCEUI_LOG_ERROR, u"Can not load animate item %s", pAnimateName);
        return NULL;
    }
    LPCWSTR pType = m_xmlDoc.GetAttrValue(pElem, u"type");
    if (NULL == pType) {
        WceUiLogW(WCEUI_LOG_ERROR, u"Load animate %s failed, can not find type attribute", pAnimateName);
        return NULL;
    }
    std::unique_ptr<CWceUiObject> pObject(0 != *pType ? WceUiCreateObject(pType) : NULL);
    if (!pObject) {
        WceUiLogW(WCEUI_LOG_ERROR, u"Load animate %s failed, can not create object from type: %s",
                  pAnimateName, pType);
        return NULL;
    }
    if (!pObject->IsKindOf(WCEUI_CLASS_NAME(CWceUiWndAnimate))) {
        WceUiLogW(WCEUI_LOG_ERROR, u"Load animate %s failed, the type %s is not a kind of CWceUiWndAnimate",
                  pAnimateName, pType);
        return NULL;
    }
    CWceUiWndAnimate* pAnimate = static_cast<CWceUiWndAnimate*>(pObject.get());
    if (!pAnimate->Init(pElem)) {
        WceUiLogW(WCEUI_LOG_ERROR, u"Load animate %s failed, call pNewAnimate->Init failed", pAnimateName);
        return NULL;
    }
    pAnimate->SetName(pAnimateName);
    pObject.release(); // the caller owns the animation
    return pAnimate;
}
