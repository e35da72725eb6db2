#include "wceui/res/WceUiXmlDoc.h"

#include "wceui/core/FhGlobalData.h"
#include "wceui/core/FhPath.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/res/WceUiReadFile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <new>
#include <vector>

namespace {

const WCHAR kClassName[] = u"CWceUiXmlDoc";
const WCHAR kIncludeDirective[] = u"#include_xml";
const size_t kIncludeDirectiveLength = sizeof(kIncludeDirective) / sizeof(kIncludeDirective[0]) - 1;
// An include file name has 1 to 258 units.
const size_t kMaxIncludeName = MAX_PATH - 2;
const size_t kMaxBlockSize = 64 * 1024;
// Up to this many attributes a tag's names are compared one by one; past it they go into a hash
// table, so that a tag with a huge number of attributes still parses in linear time.
const size_t kLinearAttrCheck = 8;
const size_t kMinAttrSlots = 64;

inline bool IsWhite(WCHAR c) {
    return u' ' == c || u'\r' == c || u'\n' == c || u'\t' == c;
}

// The first c in [p, pEnd), or pEnd. Tags, the include search and attribute values all come down to
// this scan, so it looks at eight units at a time where the processor allows.
inline WCHAR* FindUnit(WCHAR* p, WCHAR* pEnd, WCHAR c) {
#if defined(__SSE2__)
    const __m128i needle = _mm_set1_epi16(static_cast<short>(c));
    while (pEnd - p >= 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(units, needle));
        if (0 != mask) {
            return p + (__builtin_ctz(static_cast<unsigned>(mask)) >> 1);
        }
        p += 8;
    }
#endif
    while (p < pEnd && *p != c) {
        ++p;
    }
    return p;
}

// Name comparison ignoring case, with the common case of equal units kept inline.
inline bool SameNameIgnoringCase(LPCWSTR a, LPCWSTR b) {
    for (;; ++a, ++b) {
        const WCHAR x = *a;
        const WCHAR y = *b;
        if (x == y) {
            if (0 == x) {
                return true;
            }
        } else if (WCharLower(x) != WCharLower(y)) {
            return false;
        }
    }
}

// FNV-1a over the lower-cased units: names equal ignoring case hash alike.
inline size_t LowerNameHash(LPCWSTR p) {
    uint32_t h = 2166136261u;
    for (; 0 != *p; ++p) {
        h = (h ^ WCharLower(*p)) * 16777619u;
    }
    return h;
}

// The first "a b c" (three units) in [p, pEnd), or pEnd.
inline WCHAR* Find3(WCHAR* p, WCHAR* pEnd, WCHAR a, WCHAR b, WCHAR c) {
    for (; pEnd - p >= 3; ++p) {
        p = FindUnit(p, pEnd - 2, a);
        if (pEnd - p < 3) {
            break;
        }
        if (b == p[1] && c == p[2]) {
            return p;
        }
    }
    return pEnd;
}

inline WCHAR* Find2(WCHAR* p, WCHAR* pEnd, WCHAR a, WCHAR b) {
    for (; pEnd - p >= 2; ++p) {
        p = FindUnit(p, pEnd - 1, a);
        if (pEnd - p < 2) {
            break;
        }
        if (b == p[1]) {
            return p;
        }
    }
    return pEnd;
}

} // namespace

// Nodes and attributes come from blocks owned by the document and freed together.
struct CWceUiXmlDoc::Block {
    Block* pNext;
    size_t nUsed;
    size_t nSize;
    alignas(std::max_align_t) unsigned char data[1];
};

CWceUiXmlNode::CWceUiXmlNode()
    : nDepth(0), pName(NULL), attrs(&CWceUiXmlAttr::pNext, &CWceUiXmlAttr::pPre), nStart(0), nEnd(0),
      nKind(WCEUI_XML_ELEMENT), pDoc(NULL), pParent(NULL), pListNext(NULL), pListPre(NULL),
      children(&CWceUiXmlNode::pNextSibling, &CWceUiXmlNode::pPreSibling), pNextSibling(NULL),
      pPreSibling(NULL) {}

CWceUiXmlDoc::CWceUiXmlDoc()
    : m_pRoot(NULL), m_nTextLength(0), m_pTextEnd(NULL), m_bLoaded(FALSE), m_nDepth(0),
      m_bKeepComments(FALSE), m_nodes(&CWceUiXmlNode::pListNext, &CWceUiXmlNode::pListPre), m_pBlocks(NULL),
      m_nAttrSlots(0), m_nAttrSlotsUsed(0) {
    m_szFilePath[0] = 0;
}

CWceUiXmlDoc::~CWceUiXmlDoc() {
    Clean();
}

void CWceUiXmlDoc::FreeNodes() {
    while (NULL != m_pBlocks) {
        Block* pNext = m_pBlocks->pNext;
        ::operator delete(m_pBlocks);
        m_pBlocks = pNext;
    }
    m_nodes = CWceUiHTListOf<CWceUiXmlNode>(&CWceUiXmlNode::pListNext, &CWceUiXmlNode::pListPre);
    m_pRoot = NULL;
    m_nDepth = 0;
}

void CWceUiXmlDoc::Clean() {
    FreeNodes();
    m_pText.reset();
    m_pTextEnd = NULL;
    m_ppAttrSlots.reset();
    m_nAttrSlots = 0;
    m_nAttrSlotsUsed = 0;
    m_nTextLength = 0;
    m_bLoaded = FALSE;
}

void* CWceUiXmlDoc::Allocate(size_t nSize) {
    nSize = (nSize + alignof(std::max_align_t) - 1) & ~(alignof(std::max_align_t) - 1);
    if (NULL == m_pBlocks || m_pBlocks->nUsed + nSize > m_pBlocks->nSize) {
        // Blocks grow with the document up to a size the heap recycles without going to the system
        // for fresh pages every time a document comes and goes.
        size_t nBlockSize = NULL == m_pBlocks ? 4096 : m_pBlocks->nSize * 2;
        if (nBlockSize > kMaxBlockSize) {
            nBlockSize = kMaxBlockSize;
        }
        if (nBlockSize < nSize) {
            nBlockSize = nSize;
        }
        void* pMemory = ::operator new(offsetof(Block, data) + nBlockSize, std::nothrow);
        if (NULL == pMemory) {
            return NULL;
        }
        Block* pBlock = static_cast<Block*>(pMemory);
        pBlock->pNext = m_pBlocks;
        pBlock->nUsed = 0;
        pBlock->nSize = nBlockSize;
        m_pBlocks = pBlock;
    }
    void* p = m_pBlocks->data + m_pBlocks->nUsed;
    m_pBlocks->nUsed += nSize;
    return p;
}

CWceUiXmlNode* CWceUiXmlDoc::NewNode(int nKind) {
    void* p = Allocate(sizeof(CWceUiXmlNode));
    if (NULL == p) {
        return NULL;
    }
    CWceUiXmlNode* pNode = new (p) CWceUiXmlNode;
    pNode->nKind = nKind;
    pNode->pDoc = this;
    m_nodes.AddTail(pNode);
    return pNode;
}

CWceUiXmlAttr* CWceUiXmlDoc::NewAttr() {
    void* p = Allocate(sizeof(CWceUiXmlAttr));
    return NULL == p ? NULL : new (p) CWceUiXmlAttr();
}

void CWceUiXmlDoc::SyntaxError(LPCWSTR pStep, LPCWSTR pCode) const {
    WceUiLogW(WCEUI_LOG_ERROR, u"%s::%s, (%s) syntax error %s", kClassName, pStep, m_szFilePath, pCode);
}

BOOL CWceUiXmlDoc::LoadXmlFile(LPCWSTR pFilePath, BOOL bKeepComments) {
    if (!WCEUI_CHECK("CWceUiXmlDoc::LoadXmlFile", NULL != pFilePath)) {
        return FALSE;
    }
    if (m_bLoaded) {
        WceUiLogW(WCEUI_LOG_ERROR, u"%s::LoadXmlFile, can not load %s, call clean first", kClassName,
                  pFilePath);
        return FALSE;
    }
    DWORD dwLength = 0;
    std::unique_ptr<BYTE[]> data(
        WceUiReadFile(pFilePath, &dwLength, CFhGlobalData::Instance().GetPackPassword()));
    if (!data) {
        WceUiLogW(WCEUI_LOG_ERROR, u"%s::LoadXmlFile, WceUiReadFile %s fail", kClassName, pFilePath);
        return FALSE;
    }
    return LoadXmlBuffer(pFilePath, data.get(), dwLength, bKeepComments);
}

BOOL CWceUiXmlDoc::LoadXmlBuffer(LPCWSTR pFilePath, const BYTE* pData, DWORD dwLength, BOOL bKeepComments) {
    if (!WCEUI_CHECK("CWceUiXmlDoc::LoadXmlFile", NULL != pFilePath)) {
        return FALSE;
    }
    if (m_bLoaded) {
        WceUiLogW(WCEUI_LOG_ERROR, u"%s::LoadXmlFile, can not load %s, call clean first", kClassName,
                  pFilePath);
        return FALSE;
    }
    Clean();
    // The path is kept in a buffer of MAX_PATH units and anchors the includes.
    if (WStrLen(pFilePath) >= MAX_PATH) {
        WceUiLogW(WCEUI_LOG_ERROR, u"%s::LoadXmlFile, the path %.64s... is 260 units or longer", kClassName,
                  pFilePath);
        return FALSE;
    }
    WStrCpy(m_szFilePath, pFilePath);
    m_bKeepComments = bKeepComments;
    m_nErrorOffset = -1;
    if (NULL == pData && 0 != dwLength) {
        dwLength = 0;
    }
    if (!LoadText(pData, dwLength) || !ExpandIncludes()) {
        Clean();
        return FALSE;
    }
    // Trailing white space goes.
    while (m_pTextEnd > m_pText.get() && IsWhite(m_pTextEnd[-1])) {
        *--m_pTextEnd = 0;
    }
    if (!ParseXml()) {
        SyntaxError(u"LoadXmlFile", u"030");
        Clean();
        return FALSE;
    }
    m_bLoaded = TRUE;
    return TRUE;
}

BOOL CWceUiXmlDoc::LoadText(const BYTE* pData, DWORD dwLength) {
    if (dwLength < 4) {
        WceUiLogW(WCEUI_LOG_ERROR, u"%s::LoadXmlFile, the length of %s is less than 4", kClassName,
                  m_szFilePath);
        return FALSE;
    }
    if (0 != (dwLength & 1)) {
        WceUiLogW(WCEUI_LOG_ERROR, u"%s::LoadXmlFile, the length of %s is odd number, not a UNICODE file",
                  kClassName, m_szFilePath);
        return FALSE;
    }
    if (0xFF != pData[0] || 0xFE != pData[1]) {
        WceUiLogW(WCEUI_LOG_ERROR, u"%s::LoadXmlFile, %s is not a UNICODE file", kClassName, m_szFilePath);
        return FALSE;
    }
    const size_t nUnits = dwLength / 2 - 1;
    m_pText.reset(new (std::nothrow) WCHAR[nUnits + 1]);
    if (!m_pText) {
        WceUiLogW(WCEUI_LOG_ERROR, u"%s::LoadXmlFile, no memory for %s", kClassName, m_szFilePath);
        return FALSE;
    }
    std::memcpy(m_pText.get(), pData + 2, nUnits * sizeof(WCHAR));
    m_pText[nUnits] = 0;
    m_nTextLength = nUnits + 1;
    m_pTextEnd = m_pText.get() + nUnits;
    return TRUE;
}

std::unique_ptr<BYTE[]> CWceUiXmlDoc::ReadIncludeFile(LPCWSTR pPath, DWORD* pdwLength) {
    std::unique_ptr<BYTE[]> pData(
        WceUiReadFile(pPath, pdwLength, CFhGlobalData::Instance().GetPackPassword()));
    if (!pData) {
        WceUiLogW(WCEUI_LOG_ERROR, u"%s::ReadIncludeFile, WceUiReadFile %s fail", kClassName, pPath);
        return NULL;
    }
    if (0 != (*pdwLength & 1)) {
        WceUiLogW(WCEUI_LOG_ERROR, u"%s::ReadIncludeFile, %s is not a UNICODE file 1", kClassName, pPath);
        return NULL;
    }
    if (*pdwLength >= 2 && (0xFF != pData[0] || 0xFE != pData[1])) {
        WceUiLogW(WCEUI_LOG_ERROR, u"%s::ReadIncludeFile,%s is not a UNICODE file 2", kClassName, pPath);
        return NULL;
    }
    return pData;
}

// One level of "#include_xml "name"" lines: each valid directive's whole line is replaced by the
// named file's text. Directives inside included text stay as they are.
BOOL CWceUiXmlDoc::ExpandIncludes() {
    struct Piece {
        const WCHAR* p;
        size_t n;
    };
    std::vector<Piece> pieces;
    std::vector<std::unique_ptr<BYTE[]>> included;
    WCHAR* const pText = m_pText.get();
    WCHAR* const pEnd = m_pTextEnd;
    WCHAR* pCopyFrom = pText;
    size_t nExpanded = static_cast<size_t>(pEnd - pText);

    WCHAR szDir[MAX_PATH];
    WStrCpy(szDir, m_szFilePath);
    if (!FhGetDirPathFromFilePath(szDir)) {
        szDir[0] = 0;
    }

    WCHAR* pSearch = pText;
    while (pEnd - pSearch >= static_cast<ptrdiff_t>(kIncludeDirectiveLength)) {
        WCHAR* pHit = FindUnit(pSearch, pEnd, u'#');
        if (pEnd - pHit < static_cast<ptrdiff_t>(kIncludeDirectiveLength)) {
            break;
        }
        if (0 != std::memcmp(pHit, kIncludeDirective, kIncludeDirectiveLength * sizeof(WCHAR))) {
            pSearch = pHit + 1;
            continue;
        }
        // Only spaces, CRs and tabs may stand before it on its line.
        WCHAR* pLineStart = pHit;
        bool bValid = true;
        while (pLineStart > pText && u'\n' != pLineStart[-1]) {
            const WCHAR c = pLineStart[-1];
            if (u' ' != c && u'\r' != c && u'\t' != c) {
                bValid = false;
                break;
            }
            --pLineStart;
        }
        WCHAR* p = pHit + kIncludeDirectiveLength;
        WCHAR* pName = NULL;
        size_t nName = 0;
        WCHAR* pLineEnd = NULL;
        if (bValid) {
            while (p < pEnd && (u' ' == *p || u'\t' == *p)) {
                ++p;
            }
            bValid = p < pEnd && u'"' == *p;
        }
        if (bValid) {
            pName = ++p;
            while (p < pEnd && u'"' != *p && u'\r' != *p && u'\n' != *p && 0 != *p) {
                ++p;
            }
            nName = static_cast<size_t>(p - pName);
            bValid = p < pEnd && u'"' == *p && nName >= 1 && nName <= kMaxIncludeName;
        }
        if (bValid) {
            ++p;
            while (p < pEnd && (u' ' == *p || u'\t' == *p)) {
                ++p;
            }
            if (p == pEnd) {
                pLineEnd = pEnd;
            } else if (u'\n' == *p) {
                pLineEnd = p + 1;
            } else if (u'\r' == *p && p + 1 < pEnd && u'\n' == p[1]) {
                pLineEnd = p + 2;
            } else {
                bValid = false;
            }
        }
        if (!bValid) {
            pSearch = pHit + 1;
            continue;
        }

        WCHAR szName[MAX_PATH];
        std::memcpy(szName, pName, nName * sizeof(WCHAR));
        szName[nName] = 0;
        WCHAR szPath[MAX_PATH];
        if (!FhMakeFullPath(szDir, szName, szPath, MAX_PATH)) {
            WceUiLogW(WCEUI_LOG_ERROR, u"%s::ReadIncludeFile, the path of %.64s... is 260 units or longer",
                      kClassName, szName);
            return FALSE;
        }
        DWORD dwLength = 0;
        std::unique_ptr<BYTE[]> pData = ReadIncludeFile(szPath, &dwLength);
        if (!pData) {
            return FALSE;
        }
        included.push_back(std::move(pData));
        if (dwLength >= 2) {
            nExpanded += dwLength / 2 - 1;
            nExpanded -= static_cast<size_t>(pLineEnd - pLineStart);
            if (nExpanded > WCEUI_XML_MAX_EXPANDED_UNITS) {
                WceUiLogW(
                    WCEUI_LOG_ERROR,
                    u"%s::ExpandIncludes, (%s) syntax error, the text with its includes exceeds %u units",
                    kClassName, m_szFilePath, WCEUI_XML_MAX_EXPANDED_UNITS);
                return FALSE;
            }
            pieces.push_back({pCopyFrom, static_cast<size_t>(pLineStart - pCopyFrom)});
            pieces.push_back({reinterpret_cast<const WCHAR*>(included.back().get() + 2), dwLength / 2 - 1});
            pCopyFrom = pLineEnd;
        }
        pSearch = pLineEnd;
    }
    if (pieces.empty()) {
        return TRUE;
    }
    pieces.push_back({pCopyFrom, static_cast<size_t>(pEnd - pCopyFrom)});
    size_t nTotal = 0;
    for (const Piece& piece : pieces) {
        nTotal += piece.n;
    }
    std::unique_ptr<WCHAR[]> pNew(new (std::nothrow) WCHAR[nTotal + 1]);
    if (!pNew) {
        WceUiLogW(WCEUI_LOG_ERROR, u"%s::LoadXmlFile, no memory for %s", kClassName, m_szFilePath);
        return FALSE;
    }
    WCHAR* pOut = pNew.get();
    for (const Piece& piece : pieces) {
        // Included bytes may sit at any address; copy them as bytes.
        std::memcpy(pOut, piece.p, piece.n * sizeof(WCHAR));
        pOut += piece.n;
    }
    *pOut = 0;
    m_pText = std::move(pNew);
    m_nTextLength = nTotal + 1;
    m_pTextEnd = m_pText.get() + nTotal;
    return TRUE;
}

BOOL CWceUiXmlDoc::ParseXml() {
    WCHAR* p = m_pText.get();
    WCHAR* const pEnd = m_pTextEnd;
    for (;;) {
        while (p < pEnd && IsWhite(*p)) {
            ++p;
        }
        if (p == pEnd) {
            if (0 == m_nDepth) {
                return TRUE;
            }
            SyntaxError(u"ParseXml", u"011");
            break;
        }
        if (u'<' != *p) {
            SyntaxError(u"ParseXml", u"010,attention:<a><x></x>err</a> is not supported");
            break;
        }
        const ptrdiff_t nLeft = pEnd - p;
        if (nLeft < 4) {
            SyntaxError(u"ParseXml", u"001");
            break;
        }
        if (u'!' == p[1]) {
            if (nLeft < 7) {
                SyntaxError(u"ParseXml", u"002");
                break;
            }
            if (u'-' != p[2] || u'-' != p[3]) {
                SyntaxError(u"ParseXml", u"003");
                break;
            }
            WCHAR* pClose = Find3(p + 4, pEnd, u'-', u'-', u'>');
            if (pClose == pEnd) {
                SyntaxError(u"ParseXml", u"004");
                break;
            }
            if (m_bKeepComments) {
                CWceUiXmlNode* pNode = NewNode(WCEUI_XML_COMMENT);
                if (NULL == pNode) {
                    break;
                }
                pNode->nStart = static_cast<int>(p - m_pText.get());
                pNode->nEnd = static_cast<int>(pClose + 2 - m_pText.get());
            }
            p = pClose + 3;
            continue;
        }
        if (u'?' == p[1]) {
            if (nLeft < 7) {
                SyntaxError(u"ParseXml", u"006");
                break;
            }
            if (u'x' != p[2] || u'm' != p[3] || u'l' != p[4]) {
                SyntaxError(u"ParseXml", u"007");
                break;
            }
            WCHAR* pClose = Find2(p + 5, pEnd, u'?', u'>');
            if (pClose == pEnd) {
                SyntaxError(u"ParseXml", u"008");
                break;
            }
            CWceUiXmlNode* pNode = NewNode(WCEUI_XML_DECLARATION);
            if (NULL == pNode) {
                break;
            }
            pNode->nStart = static_cast<int>(p - m_pText.get());
            pNode->nEnd = static_cast<int>(pClose + 1 - m_pText.get());
            p = pClose + 2;
            continue;
        }
        if (!ParseXmlTag(p)) {
            SyntaxError(u"ParseXml", u"009");
            break;
        }
    }
    const WCHAR* pAt = (p == pEnd && m_nDepth > 0) ? m_stack[m_nDepth - 1].pName - 1 : p;
    m_nErrorOffset = static_cast<int>(pAt - m_pText.get());
    FreeNodes();
    return FALSE;
}

// One tag at p ("<"); p moves past what the tag consumed.
BOOL CWceUiXmlDoc::ParseXmlTag(WCHAR*& p) {
    WCHAR* const pEnd = m_pTextEnd;
    WCHAR* const pOpen = p;
    WCHAR* const pClose = FindUnit(pOpen + 1, pEnd, u'>');
    if (pClose == pEnd) {
        SyntaxError(u"ParseXmlTag", u"012");
        return FALSE;
    }
    const bool bEndTag = u'/' == pOpen[1];
    const bool bSelfClosing = u'/' == pClose[-1];
    if (bEndTag && bSelfClosing) {
        SyntaxError(u"ParseXmlTag", u"026");
        return FALSE;
    }

    if (bEndTag) {
        WCHAR* pName = pOpen + 2;
        WCHAR* pNameEnd = pName;
        while (pNameEnd < pClose && !IsWhite(*pNameEnd)) {
            ++pNameEnd;
        }
        if (pNameEnd == pName) {
            SyntaxError(u"ParseXmlTag", u"023");
            return FALSE;
        }
        if (0 == m_nDepth) {
            SyntaxError(u"ParseXmlTag", u"024");
            return FALSE;
        }
        *pOpen = 0;
        *pNameEnd = 0;
        *pClose = 0;
        --m_nDepth;
        if (!SameNameIgnoringCase(m_stack[m_nDepth].pName, pName)) {
            SyntaxError(u"ParseXmlTag", u"025");
            return FALSE;
        }
        p = pClose + 1;
        return TRUE;
    }

    // Opening or self-closing: the name ends at white space, or at ">" (opening) or "/" (self-closing).
    WCHAR* const pTagEnd = bSelfClosing ? pClose - 1 : pClose;
    WCHAR* const pName = pOpen + 1;
    WCHAR* pNameEnd = pName;
    bool bHasEqual = false;
    if (bSelfClosing) {
        while (pNameEnd < pTagEnd && !IsWhite(*pNameEnd) && u'/' != *pNameEnd) {
            bHasEqual |= u'=' == *pNameEnd;
            ++pNameEnd;
        }
    } else {
        while (pNameEnd < pTagEnd && !IsWhite(*pNameEnd)) {
            bHasEqual |= u'=' == *pNameEnd;
            ++pNameEnd;
        }
    }
    if (pNameEnd == pName) {
        SyntaxError(u"ParseXmlTag", bSelfClosing ? u"019" : u"013");
        return FALSE;
    }
    if (bHasEqual) {
        SyntaxError(u"ParseXmlTag", bSelfClosing ? u"020" : u"014");
        return FALSE;
    }
    CWceUiXmlNode* pNode = NewNode(WCEUI_XML_ELEMENT);
    if (NULL == pNode) {
        return FALSE;
    }
    pNode->pName = pName;
    if (!HandleXmlTagContent(pNode, pNameEnd, pTagEnd)) {
        SyntaxError(u"ParseXmlTag", bSelfClosing ? u"021" : u"015");
        return FALSE;
    }
    *pOpen = 0;
    *pNameEnd = 0;
    *pClose = 0;

    if (m_nDepth > 0) {
        CWceUiXmlNode* pParent = m_stack[m_nDepth - 1].pNode;
        pNode->pParent = pParent;
        pNode->nDepth = pParent->nDepth + 1;
        pParent->children.AddTail(pNode);
    } else if (NULL == m_pRoot) {
        m_pRoot = pNode;
    } else {
        SyntaxError(u"ParseXmlTag", bSelfClosing ? u"022" : u"016");
        return FALSE;
    }
    if (bSelfClosing) {
        p = pClose + 1;
        return TRUE;
    }
    if (WCEUI_XML_MAX_DEPTH == m_nDepth) {
        SyntaxError(u"ParseXmlTag", u"017");
        return FALSE;
    }
    m_stack[m_nDepth].pNode = pNode;
    m_stack[m_nDepth].pName = pName;
    ++m_nDepth;
    // Whatever stands between an opening tag and the next "<" is skipped.
    WCHAR* pNext = FindUnit(pClose + 1, pEnd, u'<');
    if (pNext == pEnd) {
        SyntaxError(u"ParseXmlTag", u"018");
        return FALSE;
    }
    p = pNext;
    return TRUE;
}

// The attributes in [p, pEnd): name="value" or name='value', white space around "=" allowed.
BOOL CWceUiXmlDoc::HandleXmlTagContent(CWceUiXmlNode* pNode, WCHAR* p, WCHAR* pEnd) {
    size_t nAttrs = 0;
    m_nAttrSlotsUsed = 0;
    for (;;) {
        while (p < pEnd && IsWhite(*p)) {
            ++p;
        }
        if (p == pEnd) {
            return TRUE;
        }
        WCHAR* const pName = p;
        while (p < pEnd && u'=' != *p && !IsWhite(*p)) {
            ++p;
        }
        if (p == pEnd) {
            return FALSE;
        }
        WCHAR* const pNameEnd = p;
        if (IsWhite(*p)) {
            while (p < pEnd && IsWhite(*p)) {
                ++p;
            }
            if (p == pEnd || u'=' != *p) {
                return FALSE;
            }
        }
        if (pNameEnd == pName) {
            return FALSE;
        }
        ++p;
        while (p < pEnd && IsWhite(*p)) {
            ++p;
        }
        if (p == pEnd) {
            WceUiLogW(WCEUI_LOG_ERROR, u"%s::%s, (%s) syntax error %s", kClassName, u"HandleXmlTagContent",
                      m_szFilePath, u"027");
            return FALSE;
        }
        const WCHAR quote = *p;
        if (u'"' != quote && u'\'' != quote) {
            return FALSE;
        }
        WCHAR* const pValue = ++p;
        p = FindUnit(p, pEnd, quote);
        if (p == pEnd) {
            WceUiLogW(WCEUI_LOG_ERROR, u"%s::%s, (%s) syntax error %s", kClassName, u"HandleXmlTagContent",
                      m_szFilePath, u"028");
            return FALSE;
        }
        *pNameEnd = 0;
        *p++ = 0;
        BOOL bDuplicate = FALSE;
        if (nAttrs < kLinearAttrCheck) {
            for (const CWceUiXmlAttr* pOld = pNode->attrs.GetHead(); NULL != pOld; pOld = pOld->pNext) {
                if (SameNameIgnoringCase(pOld->pName, pName)) {
                    bDuplicate = TRUE;
                    break;
                }
            }
        } else if (!CheckAttrName(pNode, pName, nAttrs, &bDuplicate)) {
            return FALSE;
        }
        if (bDuplicate) {
            SyntaxError(u"HandleXmlTagContent", u"029");
            return FALSE;
        }
        CWceUiXmlAttr* pAttr = NewAttr();
        if (NULL == pAttr) {
            return FALSE;
        }
        pAttr->pName = pName;
        pAttr->pValue = pValue;
        pNode->attrs.AddTail(pAttr);
        ++nAttrs;
    }
}

// Whether pName repeats one of the nAttrs attributes pNode already has (ignoring case); it is then
// entered in the table. The table is (re)built from the node's list when the tag first outgrows the
// linear check and whenever it would become more than half full. FALSE when memory runs out.
BOOL CWceUiXmlDoc::CheckAttrName(const CWceUiXmlNode* pNode, LPCWSTR pName, size_t nAttrs,
                                 BOOL* pbDuplicate) {
    *pbDuplicate = FALSE;
    if (0 == m_nAttrSlotsUsed || 2 * (nAttrs + 1) > m_nAttrSlotsUsed) {
        size_t nSlots = kMinAttrSlots;
        while (nSlots < 4 * (nAttrs + 1)) {
            nSlots *= 2;
        }
        if (nSlots > m_nAttrSlots) {
            std::unique_ptr<LPCWSTR[]> ppSlots(new (std::nothrow) LPCWSTR[nSlots]);
            if (!ppSlots) {
                return FALSE;
            }
            m_ppAttrSlots = std::move(ppSlots);
            m_nAttrSlots = nSlots;
        }
        std::fill(m_ppAttrSlots.get(), m_ppAttrSlots.get() + nSlots, static_cast<LPCWSTR>(NULL));
        m_nAttrSlotsUsed = nSlots;
        for (const CWceUiXmlAttr* pOld = pNode->attrs.GetHead(); NULL != pOld; pOld = pOld->pNext) {
            size_t i = LowerNameHash(pOld->pName) & (nSlots - 1);
            while (NULL != m_ppAttrSlots[i]) {
                i = (i + 1) & (nSlots - 1);
            }
            m_ppAttrSlots[i] = pOld->pName;
        }
    }
    const size_t nMask = m_nAttrSlotsUsed - 1;
    size_t i = LowerNameHash(pName) & nMask;
    for (; NULL != m_ppAttrSlots[i]; i = (i + 1) & nMask) {
        if (SameNameIgnoringCase(m_ppAttrSlots[i], pName)) {
            *pbDuplicate = TRUE;
            return TRUE;
        }
    }
    m_ppAttrSlots[i] = pName;
    return TRUE;
}

LPCWSTR CWceUiXmlDoc::GetElemName(const CWceUiXmlElem* pElem) const {
    return NULL == pElem ? NULL : pElem->pName;
}

LPCWSTR CWceUiXmlDoc::GetAttrValue(const CWceUiXmlElem* pElem, LPCWSTR pName) const {
    if (NULL == pElem || NULL == pName) {
        return NULL;
    }
    for (const CWceUiXmlAttr* pAttr = pElem->attrs.GetHead(); NULL != pAttr; pAttr = pAttr->pNext) {
        if (SameNameIgnoringCase(pAttr->pName, pName)) {
            return pAttr->pValue;
        }
    }
    return NULL;
}

CWceUiXmlElem* CWceUiXmlDoc::GetFirstChild(const CWceUiXmlElem* pElem) const {
    return NULL == pElem ? NULL : pElem->children.GetHead();
}

CWceUiXmlElem* CWceUiXmlDoc::GetNextSibling(const CWceUiXmlElem* pElem) const {
    return NULL == pElem ? NULL : pElem->pNextSibling;
}

int CWceUiXmlDoc::GetChildCount(const CWceUiXmlElem* pElem) const {
    return NULL == pElem ? 0 : pElem->children.GetCount();
}

CWceUiXmlElem* CWceUiXmlDoc::FindChildElem(const CWceUiXmlElem* pElem, LPCWSTR pName) const {
    if (NULL == pElem || NULL == pName) {
        return NULL;
    }
    for (CWceUiXmlElem* pChild = pElem->children.GetHead(); NULL != pChild; pChild = pChild->pNextSibling) {
        if (SameNameIgnoringCase(pChild->pName, pName)) {
            return pChild;
        }
    }
    return NULL;
}

const CWceUiXmlAttr* CWceUiXmlDoc::GetFirstAttr(const CWceUiXmlElem* pElem) const {
    return NULL == pElem ? NULL : pElem->attrs.GetHead();
}

const CWceUiXmlAttr* CWceUiXmlDoc::GetNextAttr(const CWceUiXmlAttr* pAttr) const {
    return NULL == pAttr ? NULL : pAttr->pNext;
}

CWceUiXmlNode* CWceUiXmlDoc::GetNextNode(const CWceUiXmlNode* pNode) const {
    return NULL == pNode ? NULL : pNode->pListNext;
}
