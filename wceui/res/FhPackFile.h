// One resource pack: its directory, read once under a password and kept, and the reads of its items.
//
// File layout (little-endian): reserved, directory end (12 + directory length), check word, then the
// directory scrambled with the password's key, then one zlib stream per item. The directory holds a
// copy of the check word, the item count, a reserved word, the pack name (length in units with its
// NUL, then the name) and the entries, each: entry length, reserved, unpacked size, stored size,
// absolute data offset, two reserved words, NUL-terminated item path (lower case, "\" separators),
// sorted by path as unsigned 16-bit units.
#pragma once

#include "platform/WinCe.h"

#include <memory>
#include <vector>

enum {
    FH_PACK_HEADER_SIZE = 12,
    FH_PACK_DIR_HEADER_SIZE = 16,
    FH_PACK_ENTRY_FIXED_SIZE = 28,
    FH_PACK_MAX_NAME = 259,
};

struct FhPackItemInfo {
    LPCWSTR pPath;
    DWORD dwUnpackedSize;
    DWORD dwStoredSize;
    DWORD dwDataOffset;
};

class CFhPackFile {
public:
    // pPackPath: the pack file's path, already lower-cased by the caller (up to 259 units).
    explicit CFhPackFile(LPCWSTR pPackPath);
    ~CFhPackFile();
    CFhPackFile(const CFhPackFile&) = delete;
    CFhPackFile& operator=(const CFhPackFile&) = delete;

    // Reads the header and the directory under the password's key. On failure the object is left
    // cleared and not loaded.
    BOOL Load(LPCWSTR pPassword);
    // Frees the directory: not loaded.
    void Clear();

    // Reads one item (path in lower case with "\" separators), loading the directory first or, when it
    // is loaded, reloading it if the password's key or the file's check word changed since.
    BYTE* ReadItem(LPCWSTR pItemPath, LPCWSTR pPassword, DWORD* pdwLength);

    // Index of the item (binary search), or -1.
    int FindItem(LPCWSTR pItemPath) const;

    BOOL IsLoaded() const { return m_bLoaded; }
    int GetItemCount() const { return m_nItemCount; }
    BOOL GetItemInfo(int nIndex, FhPackItemInfo* pInfo) const;
    LPCWSTR GetPackPath() const { return m_szPackPath; }
    // The name stored in the directory (empty when it has none); valid while loaded.
    LPCWSTR GetPackName() const;
    DWORD GetCheckWord() const { return m_dwCheckWord; }
    DWORD GetKey() const { return m_dwKey; }

private:
    enum ReloadState { PACK_UP_TO_DATE, PACK_RELOAD, PACK_FAILED };
    ReloadState NeedsReload(LPCWSTR pPassword);
    BOOL CheckDirectory(DWORD dwFileSize);
    BOOL ReadItemData(int nIndex, DWORD* pdwLength, BYTE** ppData);

    DWORD m_dwKey;
    WCHAR m_szPackPath[MAX_PATH];
    DWORD m_dwCheckWord;
    std::vector<const BYTE*> m_entries;
    int m_nItemCount;
    BOOL m_bLoaded;
    std::unique_ptr<BYTE[]> m_pDirectory;
    DWORD m_dwDirectoryLength;
};

// The process-wide pack cache: the pack object of a lower-cased pack path, created (not loaded) on
// first use and kept until the process ends.
CFhPackFile* FhGetPackFile(LPCWSTR pLowerPackPath);
