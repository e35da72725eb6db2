// A dialog's style file: named styles, parsed on first use into cached CWceUiStyle objects that callers
// receive copies of, and the window animations the dialog may play.
//
//     <dlg>
//       <style>
//         <button overwrite="base"> <position way="relative" rect="0,0,80,40"/> ... </button>
//       </style>
//       <animate> <open type="CWceUiSliderAni" direction="left"/> </animate>
//     </dlg>
#pragma once

#include "platform/WinCe.h"
#include "wceui/res/WceUiXmlDoc.h"

#include <memory>
#include <vector>

class CWceUiStyle;
class CWceUiWndAnimate;

class CFhStyleFile {
public:
    CFhStyleFile();
    ~CFhStyleFile();
    CFhStyleFile(const CFhStyleFile&) = delete;
    CFhStyleFile& operator=(const CFhStyleFile&) = delete;

    // Discards what was loaded before, then reads the file (disk or resource pack). A file without a
    // "style" element loads, with no styles.
    BOOL LoadStyleFile(LPCWSTR pFilePath);
    // The same for file bytes the caller holds (tools, fuzzing); pFilePath names it in messages.
    BOOL LoadStyleBuffer(LPCWSTR pFilePath, const BYTE* pData, DWORD dwLength);
    BOOL IsLoaded() const { return m_bLoaded; }

    // The position of the first style element with exactly this name, or -1.
    int GetStyleNameIndex(LPCWSTR pStyleName) const;
    int GetStyleCount() const { return static_cast<int>(m_styleElems.size()); }
    // The name of the style at a position, or null.
    LPCWSTR GetStyleName(int nIndex) const;

    // Parses the named style into a new style that enters the cache (and stays the file's); null when
    // it is not there or does not parse.
    CWceUiStyle* ReadStyleFromFile(LPCWSTR pStyleName);
    // Copies the named style (from the cache, parsed first if need be) into the caller's style; FALSE
    // leaves the caller's style untouched.
    BOOL GetStyleData(LPCWSTR pStyleName, CWceUiStyle* pStyle);
    // Applies a style element to a style: its base ("overwrite") first, then its groups.
    BOOL LoadStyle(CWceUiStyle* pStyle, CWceUiXmlElem* pStyleElem);
    // The cached style of a name, or null when it has not been parsed (or failed to).
    const CWceUiStyle* GetCachedStyle(LPCWSTR pStyleName) const;

    // The "animate" child of the given name, or null (with a message).
    CWceUiXmlElem* GetAnimateElem(LPCWSTR pAnimateName) const;
    BOOL DoesHaveAnimate(LPCWSTR pAnimateName) const;
    // A new animation made from its element, named after it; the caller owns it. Null on failure.
    CWceUiWndAnimate* GetWndAnimate(LPCWSTR pAnimateName);

    const CWceUiXmlDoc& GetXmlDoc() const { return m_xmlDoc; }

private:
    void Discard();
    BOOL FinishLoad();
    BOOL CheckName(const char* pOperation, LPCWSTR pName) const;
    CWceUiXmlElem* FindAnimateElem(LPCWSTR pAnimateName, bool bReport) const;
    // Parses the first style element of a name into a new cached style.
    CWceUiStyle* ParseAndCache(LPCWSTR pStyleName, int nIndex);
    int IndexOfElem(const CWceUiXmlElem* pElem) const;
    // The position of the first style of a name, or -1 (a null name has none).
    int FirstIndexOf(LPCWSTR pStyleName) const;
    int FirstIndexOf(LPCWSTR pStyleName, DWORD dwHash) const;
    void IndexNames();

    // The groups, each applied only when its element is there.
    BOOL LoadPosition(CWceUiStyle* pStyle, LPCWSTR pStyleName, CWceUiXmlElem* pElem);
    BOOL LoadLayout(CWceUiStyle* pStyle, CWceUiXmlElem* pElem);
    BOOL LoadText(CWceUiStyle* pStyle, LPCWSTR pStyleName, CWceUiXmlElem* pElem);
    BOOL LoadBackground(CWceUiStyle* pStyle, LPCWSTR pStyleName, CWceUiXmlElem* pElem);
    BOOL LoadBgItem(CWceUiStyle* pStyle, LPCWSTR pStyleName, CWceUiXmlElem* pElem);
    BOOL LoadFilters(CWceUiStyle* pStyle, LPCWSTR pStyleName, CWceUiXmlElem* pElem);
    BOOL LoadAdvProperties(CWceUiStyle* pStyle, CWceUiXmlElem* pElem);

    CWceUiXmlDoc m_xmlDoc;
    std::vector<CWceUiXmlElem*> m_styleElems;
    // Finding a style by name costs the same whatever the number of styles, so that parsing every
    // style of a file stays linear in its size: each element's name (pointing into the document's
    // text) and its hash, and an open-addressing table (a power of two in size, at most half full)
    // of the position of the first element of each name, -1 where empty.
    std::vector<LPCWSTR> m_styleNames;
    std::vector<DWORD> m_styleHashes;
    std::vector<int> m_nameSlots;
    // The parsed style of a name, kept at the position of the name's first element; a style read
    // again on request replaces it in the cache, the older one staying valid until the file is
    // discarded.
    std::vector<std::unique_ptr<CWceUiStyle>> m_cache;
    std::vector<std::unique_ptr<CWceUiStyle>> m_replaced;
    BOOL m_bLoaded;
};
