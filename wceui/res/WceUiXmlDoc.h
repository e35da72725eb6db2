// The skin's XML documents (dialog and style files): UTF-16LE files with a byte order mark, elements
// with quoted attributes, comments, an XML declaration and "#include_xml" lines. Names and values are
// not copied: the document keeps one text buffer, terminates names and values in place and the tree
// points into it.
#pragma once

#include "platform/WinCe.h"
#include "wceui/core/WceUiHTList.h"

#include <memory>

class CWceUiXmlDoc;

enum {
    WCEUI_XML_COMMENT = 0,
    WCEUI_XML_DECLARATION = 1,
    WCEUI_XML_ELEMENT = 2,
};

// The deepest nesting of open elements a document may have.
#define WCEUI_XML_MAX_DEPTH 32
// The most text (UTF-16 units, 4 MB) a document may hold once its includes are spliced in: a small file
// that includes a big one many times must not be able to take all memory.
#define WCEUI_XML_MAX_EXPANDED_UNITS (2u * 1024u * 1024u)

struct CWceUiXmlAttr {
    LPCWSTR pName;
    LPCWSTR pValue;
    CWceUiXmlAttr* pNext;
    CWceUiXmlAttr* pPre;
};

struct CWceUiXmlNode {
    CWceUiXmlNode();

    int nDepth;    // 0 for the root
    LPCWSTR pName; // tag name (elements)
    CWceUiHTListOf<CWceUiXmlAttr> attrs;
    int nStart; // comments and declarations: text index of "<" and of the closing ">"
    int nEnd;
    int nKind; // WCEUI_XML_COMMENT, WCEUI_XML_DECLARATION or WCEUI_XML_ELEMENT
    CWceUiXmlDoc* pDoc;
    CWceUiXmlNode* pParent;
    CWceUiXmlNode* pListNext; // the document's list of all nodes, in creation order
    CWceUiXmlNode* pListPre;
    CWceUiHTListOf<CWceUiXmlNode> children;
    CWceUiXmlNode* pNextSibling;
    CWceUiXmlNode* pPreSibling;
};
typedef CWceUiXmlNode CWceUiXmlElem;

class CWceUiXmlDoc {
public:
    CWceUiXmlDoc();
    ~CWceUiXmlDoc();
    CWceUiXmlDoc(const CWceUiXmlDoc&) = delete;
    CWceUiXmlDoc& operator=(const CWceUiXmlDoc&) = delete;

    // Reads the file through WceUiReadFile with the framework's pack password and parses it. Comments
    // become nodes only when bKeepComments is set. FALSE, with the document empty, on any failure.
    BOOL LoadXmlFile(LPCWSTR pFilePath, BOOL bKeepComments = FALSE);
    // The same for file bytes the caller already holds; pFilePath names the document in messages and
    // is the place its includes are resolved against.
    BOOL LoadXmlBuffer(LPCWSTR pFilePath, const BYTE* pData, DWORD dwLength, BOOL bKeepComments = FALSE);
    void Clean();

    BOOL IsLoaded() const { return m_bLoaded; }
    LPCWSTR GetFilePath() const { return m_szFilePath; }
    // The text after includes and parsing (names and values terminated in place), for tools.
    LPCWSTR GetText() const { return m_pText.get(); }
    // After a syntax error: the offset in units, from the start of the text after the byte order mark
    // and includes, of the construct the parse stopped at (the innermost element left open when the
    // text ended early); -1 when the last load did not fail in the parse.
    int GetErrorOffset() const { return m_nErrorOffset; }

    // Lookups. Null arguments give null (or 0) results.
    CWceUiXmlElem* GetRootElem() const { return m_bLoaded ? m_pRoot : NULL; }
    LPCWSTR GetElemName(const CWceUiXmlElem* pElem) const;
    // The value of the attribute whose name equals pName ignoring case, or null.
    LPCWSTR GetAttrValue(const CWceUiXmlElem* pElem, LPCWSTR pName) const;
    CWceUiXmlElem* GetFirstChild(const CWceUiXmlElem* pElem) const;
    CWceUiXmlElem* GetNextSibling(const CWceUiXmlElem* pElem) const;
    int GetChildCount(const CWceUiXmlElem* pElem) const;
    // The first child element whose name equals pName ignoring case, or null.
    CWceUiXmlElem* FindChildElem(const CWceUiXmlElem* pElem, LPCWSTR pName) const;
    // Attributes in the order they stand in the tag.
    const CWceUiXmlAttr* GetFirstAttr(const CWceUiXmlElem* pElem) const;
    const CWceUiXmlAttr* GetNextAttr(const CWceUiXmlAttr* pAttr) const;
    // Every node the parse created (elements, declarations, kept comments), in creation order.
    CWceUiXmlNode* GetFirstNode() const { return m_nodes.GetHead(); }
    CWceUiXmlNode* GetNextNode(const CWceUiXmlNode* pNode) const;
    int GetNodeCount() const { return m_nodes.GetCount(); }

private:
    struct OpenElem {
        CWceUiXmlNode* pNode;
        LPCWSTR pName;
    };
    struct Block;

    BOOL LoadText(const BYTE* pData, DWORD dwLength);
    BOOL ExpandIncludes();
    // The included file's bytes, or null after its error line.
    std::unique_ptr<BYTE[]> ReadIncludeFile(LPCWSTR pPath, DWORD* pdwLength);
    BOOL ParseXml();
    BOOL ParseXmlTag(WCHAR*& p);
    BOOL HandleXmlTagContent(CWceUiXmlNode* pNode, WCHAR* p, WCHAR* pEnd);
    void SyntaxError(LPCWSTR pStep, LPCWSTR pCode) const;
    CWceUiXmlNode* NewNode(int nKind);
    CWceUiXmlAttr* NewAttr();
    void* Allocate(size_t nSize);
    void FreeNodes();
    BOOL CheckAttrName(const CWceUiXmlNode* pNode, LPCWSTR pName, size_t nAttrs, BOOL* pbDuplicate);

    CWceUiXmlNode* m_pRoot;
    std::unique_ptr<WCHAR[]> m_pText;
    size_t m_nTextLength; // units, with the terminating NUL
    WCHAR* m_pTextEnd;    // the end of the parsed text (its terminating NUL)
    BOOL m_bLoaded;
    WCHAR m_szFilePath[MAX_PATH];
    int m_nDepth;
    OpenElem m_stack[WCEUI_XML_MAX_DEPTH];
    BOOL m_bKeepComments;
    int m_nErrorOffset = -1;
    CWceUiHTListOf<CWceUiXmlNode> m_nodes;
    Block* m_pBlocks; // nodes and attributes live in these, freed together
    // The attribute names of the tag being parsed, by their lower-cased hash, once a tag has more than
    // a few (open addressing; a power of two of slots, at most half of them used).
    std::unique_ptr<LPCWSTR[]> m_ppAttrSlots;
    size_t m_nAttrSlots;     // slots allocated
    size_t m_nAttrSlotsUsed; // slots in use by the current tag: a power of two, or 0
};
