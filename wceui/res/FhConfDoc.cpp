#include "wceui/res/FhConfDoc.h"

#include "wceui/core/FhGlobalData.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/res/WceUiReadFile.h"

#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace {

const WCHAR kClassName[] = u"CFhConfDoc";
// Buckets of an empty document.
const size_t kEmptyBuckets = 17;

inline bool IsLineWhite(WCHAR c) {
    return u' ' == c || u'\r' == c || u'\t' == c;
}

} // namespace

struct CFhConfDoc::Line {
    WCHAR* pStart;
    WCHAR* pEnd;  // where the line is terminated (its CR or LF, or the end of the text)
    WCHAR* pNext; // the first unit of the next line
    bool bEscape; // escapes asked for and a backslash in the value part
};

CFhConfDoc::CFhConfDoc() : m_map(kEmptyBuckets), m_bLoaded(FALSE), m_bEscapes(FALSE) {}

CFhConfDoc::~CFhConfDoc() {
    Clean();
}

void CFhConfDoc::Clean() {
    std::unordered_map<std::u16string_view, LPCWSTR>(kEmptyBuckets).swap(m_map);
    m_pContent.reset();
    m_bLoaded = FALSE;
    m_bEscapes = FALSE;
}

LPCWSTR CFhConfDoc::GetValue(LPCWSTR pKey) const {
    if (NULL == pKey) {
        return NULL;
    }
    auto it = m_map.find(std::u16string_view(pKey));
    return it == m_map.end() ? NULL : it->second;
}

BOOL CFhConfDoc::LoadFile(LPCWSTR pFilePath, BOOL bEscapes) {
    if (!WCEUI_CHECK("CFhConfDoc::LoadFile", NULL != pFilePath)) {
        return FALSE;
    }
    if (m_bLoaded) {
        WceUiLogW(WCEUI_LOG_ERROR, u"%s::LoadFile(%s), already loaded", kClassName, pFilePath);
        return FALSE;
    }
    DWORD dwLength = 0;
    std::unique_ptr<BYTE[]> data(
        WceUiReadFile(pFilePath, &dwLength, CFhGlobalData::Instance().GetPackPassword()));
    if (!data) {
        WceUiLogW(WCEUI_LOG_ERROR, u"%s::LoadFile, Call WceUiReadFile %s fail", kClassName, pFilePath);
        Clean();
        return FALSE;
    }
    return LoadBuffer(pFilePath, data.get(), dwLength, bEscapes);
}

BOOL CFhConfDoc::LoadBuffer(LPCWSTR pFilePath, const BYTE* pData, DWORD dwLength, BOOL bEscapes) {
    if (!WCEUI_CHECK("CFhConfDoc::LoadFile", NULL != pFilePath)) {
        return FALSE;
    }
    if (m_bLoaded) {
        WceUiLogW(WCEUI_LOG_ERROR, u"%s::LoadFile(%s), already loaded", kClassName, pFilePath);
        return FALSE;
    }
    Clean();
    m_strFilePath.SetString(pFilePath);
    LPCWSTR pPath = m_strFilePath.GetString();
    if (NULL == pData || dwLength < 2 || 0 != (dwLength & 1)) {
        WceUiLogW(WCEUI_LOG_ERROR, u"%s::LoadFile, %s is not a valid UNICODE file, the length is %u",
                  kClassName, pPath, NULL == pData ? 0u : static_cast<unsigned>(dwLength));
        return FALSE;
    }
    if (0xFF != pData[0] || 0xFE != pData[1]) {
        WceUiLogW(WCEUI_LOG_ERROR, u"%s::LoadFile %s is not a valid UNICODE format file", kClassName, pPath);
        return FALSE;
    }
    const size_t nUnits = dwLength / 2 - 1;
    std::unique_ptr<WCHAR[]> text(new (std::nothrow) WCHAR[nUnits + 1]);
    if (!text) {
        WceUiLogW(WCEUI_LOG_ERROR, u"%s::LoadFile, no memory for %s", kClassName, pPath);
        return FALSE;
    }
    std::memcpy(text.get(), pData + 2, nUnits * sizeof(WCHAR));
    text[nUnits] = 0;
    m_bEscapes = bEscapes;
    if (!ParseStr(text.get(), nUnits)) {
        WceUiLogW(WCEUI_LOG_ERROR, u"%s::LoadFile, Parse %s fail", kClassName, pPath);
        Clean();
        return FALSE;
    }
    m_bLoaded = TRUE;
    return TRUE;
}

// Finds the line's end and the next line, and whether its value needs escape processing. FALSE for
// a line without "=".
BOOL CFhConfDoc::PrePareLine(WCHAR* pStart, WCHAR* pTextEnd, Line* pLine) const {
    WCHAR* pEqual = NULL;
    bool bSlash = false;
    WCHAR* p = pStart;
    for (; p < pTextEnd && u'\n' != *p; ++p) {
        if (NULL == pEqual) {
            if (u'=' == *p) {
                pEqual = p;
            }
        } else if (u'\\' == *p) {
            bSlash = true;
        }
    }
    if (NULL == pEqual) {
        return FALSE;
    }
    pLine->pStart = pStart;
    if (p < pTextEnd) {
        pLine->pEnd = (p > pStart && u'\r' == p[-1]) ? p - 1 : p;
        pLine->pNext = p + 1;
    } else {
        pLine->pEnd = pTextEnd;
        pLine->pNext = pTextEnd;
    }
    pLine->bEscape = m_bEscapes && bSlash;
    return TRUE;
}

// Writes "key\0value\0" at pOut and records where both start.
BOOL CFhConfDoc::ParseLine(const Line& line, bool bWithSlash, WCHAR*& pOut, size_t* pKey, size_t* pValue,
                           const WCHAR* pOutBase) const {
    LPCWSTR pStep = bWithSlash ? u"ParseLineWithSlash" : u"ParseLineNoSlash";
    LPCWSTR pPath = m_strFilePath.GetString();
    WCHAR* p = line.pStart;
    WCHAR* const pEnd = line.pEnd;
    while (p < pEnd && u'=' != *p && !IsLineWhite(*p)) {
        ++p;
    }
    WCHAR* const pKeyEnd = p;
    if (p == pEnd) {
        WceUiLogW(WCEUI_LOG_ERROR, u"%s::%s, Parse %s fail, no =", kClassName, pStep, pPath);
        return FALSE;
    }
    if (u'=' != *p) {
        while (p < pEnd && IsLineWhite(*p)) {
            ++p;
        }
        if (p == pEnd || u'=' != *p) {
            WceUiLogW(WCEUI_LOG_ERROR, u"%s::%s, Parse %s fail 2", kClassName, pStep, pPath);
            return FALSE;
        }
    }
    if (pKeyEnd == line.pStart) {
        WceUiLogW(WCEUI_LOG_ERROR, u"%s::%s, Parse %s fail 3", kClassName, pStep, pPath);
        return FALSE;
    }
    ++p;
    while (p < pEnd && IsLineWhite(*p)) {
        ++p;
    }

    *pKey = static_cast<size_t>(pOut - pOutBase);
    const size_t nKey = static_cast<size_t>(pKeyEnd - line.pStart);
    std::memcpy(pOut, line.pStart, nKey * sizeof(WCHAR));
    pOut += nKey;
    *pOut++ = 0;
    *pValue = static_cast<size_t>(pOut - pOutBase);
    if (!bWithSlash) {
        const size_t nValue = static_cast<size_t>(pEnd - p);
        std::memcpy(pOut, p, nValue * sizeof(WCHAR));
        pOut += nValue;
    } else {
        for (; p < pEnd; ++p) {
            if (u'\\' != *p) {
                *pOut++ = *p;
                continue;
            }
            const WCHAR c = (p + 1 < pEnd) ? p[1] : 0;
            switch (c) {
                case u'\\':
                    *pOut++ = u'\\';
                    break;
                case u'n':
                    *pOut++ = u'\n';
                    break;
                case u'r':
                    *pOut++ = u'\r';
                    break;
                case u't':
                    *pOut++ = u'\t';
                    break;
                default: {
                    // The offending unit; nothing is shown for a backslash at the end of the line.
                    const WCHAR szUnit[2] = {c, 0};
                    WceUiLogW(WCEUI_LOG_ERROR, u"%s::ParseLineWithSlash, Parse %s fail, \\%s is not valid",
                              kClassName, pPath, szUnit);
                    return FALSE;
                }
            }
            ++p;
        }
    }
    *pOut++ = 0;
    return TRUE;
}

BOOL CFhConfDoc::ParseStr(WCHAR* pText, size_t nLength) {
    LPCWSTR pPath = m_strFilePath.GetString();
    WCHAR* const pTextEnd = pText + nLength;
    size_t nLines = 1;
    for (WCHAR* p = pText; p < pTextEnd; ++p) {
        nLines += u'\n' == *p;
    }
    std::vector<std::pair<size_t, size_t>> pairs;
    pairs.reserve(nLines);
    std::unique_ptr<WCHAR[]> out(new (std::nothrow) WCHAR[nLength + 1]);
    if (!out) {
        return FALSE;
    }
    WCHAR* pOut = out.get();

    WCHAR* p = pText;
    for (;;) {
        while (p < pTextEnd && IsLineWhite(*p)) {
            ++p;
        }
        if (p == pTextEnd) {
            break;
        }
        if (u'\n' == *p) {
            ++p;
            continue;
        }
        if (u';' == *p || u'[' == *p) {
            while (p < pTextEnd && u'\n' != *p) {
                ++p;
            }
            continue;
        }
        Line line;
        if (!PrePareLine(p, pTextEnd, &line)) {
            WceUiLogW(WCEUI_LOG_ERROR, u"%s::ParseStr, PrePareLine(%s) fail", kClassName, pPath);
            return FALSE;
        }
        size_t nKey = 0;
        size_t nValue = 0;
        if (!ParseLine(line, line.bEscape, pOut, &nKey, &nValue, out.get())) {
            WceUiLogW(WCEUI_LOG_ERROR,
                      line.bEscape ? u"%s::ParseStr, ParseLineWithSlash(%s) fail"
                                   : u"%s::ParseStr, ParseLineNoSlash(%s) fail",
                      kClassName, pPath);
            return FALSE;
        }
        pairs.emplace_back(nKey, nValue);
        p = line.pNext;
    }

    const size_t nUsed = static_cast<size_t>(pOut - out.get());
    std::unique_ptr<WCHAR[]> content(new (std::nothrow) WCHAR[nUsed > 0 ? nUsed : 1]);
    if (!content) {
        return FALSE;
    }
    std::memcpy(content.get(), out.get(), nUsed * sizeof(WCHAR));
    std::unordered_map<std::u16string_view, LPCWSTR> map(pairs.size() > kEmptyBuckets ? pairs.size()
                                                                                      : kEmptyBuckets);
    for (const auto& pair : pairs) {
        // A key given twice keeps the value of its last line.
        map[std::u16string_view(content.get() + pair.first)] = content.get() + pair.second;
    }
    m_pContent = std::move(content);
    m_map.swap(map);
    return TRUE;
}
