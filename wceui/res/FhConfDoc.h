// The framework's small description files (bitmap and font descriptions, the colour table, the
// language file): UTF-16LE with a byte order mark, one "key = value" per line, ";" and "[" lines
// ignored. Values are literal, or, when asked for, with the escapes \\ \n \r \t.
#pragma once

#include "platform/WinCe.h"
#include "wceui/core/QuickString.h"

#include <memory>
#include <string_view>
#include <unordered_map>

class CFhConfDoc {
public:
    CFhConfDoc();
    ~CFhConfDoc();
    CFhConfDoc(const CFhConfDoc&) = delete;
    CFhConfDoc& operator=(const CFhConfDoc&) = delete;

    // Reads the file through WceUiReadFile with the framework's pack password and parses it.
    BOOL LoadFile(LPCWSTR pFilePath, BOOL bEscapes = FALSE);
    // The same for file bytes the caller already holds; pFilePath names the document in messages.
    BOOL LoadBuffer(LPCWSTR pFilePath, const BYTE* pData, DWORD dwLength, BOOL bEscapes = FALSE);
    // The value of a key (exact, case-sensitive), or null. Valid until Clean or destruction.
    LPCWSTR GetValue(LPCWSTR pKey) const;
    void Clean();

    BOOL IsLoaded() const { return m_bLoaded; }
    LPCWSTR GetFilePath() const { return m_strFilePath.GetString(); }
    int GetCount() const { return static_cast<int>(m_map.size()); }

private:
    struct Line;
    BOOL ParseStr(WCHAR* pText, size_t nLength);
    BOOL PrePareLine(WCHAR* pStart, WCHAR* pTextEnd, Line* pLine) const;
    BOOL ParseLine(const Line& line, bool bWithSlash, WCHAR*& pOut, size_t* pKey, size_t* pValue,
                   const WCHAR* pOutBase) const;

    std::unordered_map<std::u16string_view, LPCWSTR> m_map;
    std::unique_ptr<WCHAR[]> m_pContent; // the keys and values the map's entries point into
    BOOL m_bLoaded;
    CQuickString32 m_strFilePath;
    BOOL m_bEscapes;
};
