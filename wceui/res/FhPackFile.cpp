#include "wceui/res/FhPackFile.h"
#include "wceui/core/FhFileHandle.h"

#include "wceui/core/FhScramble.h"
#include "wceui/core/WceUiLog.h"

#include <zlib.h>

#include <algorithm>
#include <map>
#include <memory>
#include <new>
#include <string>

namespace {

// Offsets inside an entry.
enum {
    ENTRY_LENGTH = 0,
    ENTRY_UNPACKED_SIZE = 8,
    ENTRY_STORED_SIZE = 12,
    ENTRY_DATA_OFFSET = 16,
    ENTRY_PATH = 28,
};

// Deflate cannot expand data by more than about 1032 times; a larger claim is a damaged directory, and
// believing it would mean a huge allocation.
const ULONGLONG kMaxInflateRatio = 1032;

LPCWSTR EntryPath(const BYTE* pEntry) {
    return reinterpret_cast<LPCWSTR>(pEntry + ENTRY_PATH);
}

// Opens for reading, sharing read access, existing files only.
HANDLE OpenForRead(LPCWSTR pPath) {
    return CreateFileW(pPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       NULL);
}

} // namespace

CFhPackFile::CFhPackFile(LPCWSTR pPackPath)
    : m_dwKey(0), m_dwCheckWord(0), m_nItemCount(0), m_bLoaded(FALSE), m_dwDirectoryLength(0) {
    m_szPackPath[0] = 0;
    if (NULL != pPackPath) {
        WStrCpyN(m_szPackPath, MAX_PATH, pPackPath);
    }
}

CFhPackFile::~CFhPackFile() {
    Clear();
}

void CFhPackFile::Clear() {
    m_pDirectory.reset();
    m_dwDirectoryLength = 0;
    m_entries.clear();
    m_nItemCount = 0;
    m_bLoaded = FALSE;
}

BOOL CFhPackFile::Load(LPCWSTR pPassword) {
    Clear();
    m_dwKey = FhPasswordToKey(pPassword);

    CFhFileHandle file(OpenForRead(m_szPackPath));
    if (!file.IsValid()) {
        WceUiLogW(WCEUI_LOG_ERROR, u"CreateFile : %s failed, GetLastError is %d", m_szPackPath,
                  static_cast<int>(GetLastError()));
        return FALSE;
    }
    BYTE header[FH_PACK_HEADER_SIZE];
    DWORD dwRead = 0;
    if (!ReadFile(file.Get(), header, sizeof(header), &dwRead, NULL) || sizeof(header) != dwRead) {
        WceUiLogW(WCEUI_LOG_ERROR, u"ReadFile failed %s", m_szPackPath);
        return FALSE;
    }
    const DWORD dwDirEnd = FhReadLe32(header + 4);
    const DWORD dwCheckWord = FhReadLe32(header + 8);
    // The directory must lie inside the file; checked before anything is allocated for it.
    const DWORD dwFileSize = GetFileSize(file.Get(), NULL);
    if (dwDirEnd < FH_PACK_HEADER_SIZE) {
        WceUiLogW(WCEUI_LOG_ERROR, u"load %s failed, the directory end %u is not inside the file",
                  m_szPackPath, dwDirEnd);
        return FALSE;
    }
    // A directory that runs past the end of the file could only be read short.
    if (INVALID_FILE_SIZE == dwFileSize || dwDirEnd > dwFileSize) {
        WceUiLogW(WCEUI_LOG_ERROR, u"ReadFile failed %s", m_szPackPath);
        return FALSE;
    }
    const DWORD dwDirLength = dwDirEnd - FH_PACK_HEADER_SIZE;
    std::unique_ptr<BYTE[]> directory(new (std::nothrow) BYTE[dwDirLength]);
    if (!directory) {
        WceUiLogW(WCEUI_LOG_ERROR, u"ReadFile failed %s", m_szPackPath);
        return FALSE;
    }
    if (!ReadFile(file.Get(), directory.get(), dwDirLength, &dwRead, NULL) || dwDirLength != dwRead) {
        WceUiLogW(WCEUI_LOG_ERROR, u"ReadFile failed %s", m_szPackPath);
        return FALSE;
    }
    FhScrambleWords(directory.get(), dwDirLength, m_dwKey);

    if (dwDirLength < 4 || FhReadLe32(directory.get()) != dwCheckWord) {
        WceUiLogW(WCEUI_LOG_ERROR, u"load %s failed, wrong password?", m_szPackPath);
        return FALSE;
    }
    if (dwDirLength < FH_PACK_DIR_HEADER_SIZE) {
        WceUiLogW(WCEUI_LOG_ERROR, u"load %s failed, the directory is too short", m_szPackPath);
        return FALSE;
    }
    const LONG nNameLength = static_cast<LONG>(FhReadLe32(directory.get() + 12));
    if (nNameLength < 0 || nNameLength > FH_PACK_MAX_NAME) {
        WceUiLogW(WCEUI_LOG_ERROR, u"load %s failed2, wrong password?", m_szPackPath);
        return FALSE;
    }
    const DWORD dwFirstEntry = FH_PACK_DIR_HEADER_SIZE + 2 * static_cast<DWORD>(nNameLength);
    if (dwFirstEntry > dwDirLength) {
        WceUiLogW(WCEUI_LOG_ERROR, u"load %s failed, the pack name runs past the directory", m_szPackPath);
        return FALSE;
    }
    if (nNameLength > 0) {
        const BYTE* pLast = directory.get() + FH_PACK_DIR_HEADER_SIZE + 2 * (nNameLength - 1);
        if (0 != pLast[0] || 0 != pLast[1]) {
            WceUiLogW(WCEUI_LOG_ERROR, u"load %s failed2, wrong password?", m_szPackPath);
            return FALSE;
        }
    }

    m_pDirectory = std::move(directory);
    m_dwDirectoryLength = dwDirLength;
    m_dwCheckWord = dwCheckWord;
    // An empty pack says 0; a negative count is damage, not emptiness.
    const LONG nCount = static_cast<LONG>(FhReadLe32(m_pDirectory.get() + 4));
    if (nCount < 0) {
        WceUiLogW(WCEUI_LOG_ERROR, u"load %s failed, the item count %d is negative", m_szPackPath,
                  (int)nCount);
        Clear();
        return FALSE;
    }
    m_nItemCount = nCount;
    if (!CheckDirectory(dwFileSize)) {
        Clear();
        return FALSE;
    }
    m_bLoaded = TRUE;
    return TRUE;
}

// Builds the entry index, refusing a directory whose entries would be read outside the buffer or whose
// items could not be found or read: every entry and its NUL-terminated path inside the directory and
// inside its own entry length, entries at even offsets, paths strictly ascending, data inside the file.
BOOL CFhPackFile::CheckDirectory(DWORD dwFileSize) {
    const DWORD dwFirst = FH_PACK_DIR_HEADER_SIZE + 2 * FhReadLe32(m_pDirectory.get() + 12);
    const DWORD dwMinEntry = FH_PACK_ENTRY_FIXED_SIZE + 2;
    if (static_cast<ULONGLONG>(m_nItemCount) * dwMinEntry > m_dwDirectoryLength - dwFirst) {
        WceUiLogW(WCEUI_LOG_ERROR, u"load %s failed, %d items do not fit in the directory", m_szPackPath,
                  m_nItemCount);
        return FALSE;
    }
    m_entries.resize(static_cast<size_t>(m_nItemCount));
    ULONGLONG nOffset = dwFirst;
    for (int i = 0; i < m_nItemCount; ++i) {
        if (nOffset + FH_PACK_ENTRY_FIXED_SIZE > m_dwDirectoryLength) {
            WceUiLogW(WCEUI_LOG_ERROR, u"load %s failed, entry %d runs past the directory", m_szPackPath, i);
            return FALSE;
        }
        const BYTE* pEntry = m_pDirectory.get() + nOffset;
        const DWORD dwEntryLength = FhReadLe32(pEntry + ENTRY_LENGTH);
        // The path ends inside the directory and inside the entry's own length. The last entry's
        // length leads nowhere, so only the directory bounds it.
        const bool bLast = i + 1 == m_nItemCount;
        const ULONGLONG nLimit =
            bLast ? m_dwDirectoryLength : std::min<ULONGLONG>(m_dwDirectoryLength, nOffset + dwEntryLength);
        ULONGLONG nEnd = nOffset + ENTRY_PATH;
        while (nEnd + 2 <= nLimit && (0 != m_pDirectory[nEnd] || 0 != m_pDirectory[nEnd + 1])) {
            nEnd += 2;
        }
        if (nEnd + 2 > nLimit) {
            WceUiLogW(WCEUI_LOG_ERROR, u"load %s failed, the path of entry %d is not terminated inside it",
                      m_szPackPath, i);
            return FALSE;
        }
        if (!bLast && 0 != (dwEntryLength & 1)) {
            WceUiLogW(WCEUI_LOG_ERROR, u"load %s failed, entry %d has the odd length %u", m_szPackPath, i,
                      dwEntryLength);
            return FALSE;
        }
        const DWORD dwStored = FhReadLe32(pEntry + ENTRY_STORED_SIZE);
        const DWORD dwData = FhReadLe32(pEntry + ENTRY_DATA_OFFSET);
        if (static_cast<ULONGLONG>(dwData) + dwStored > dwFileSize) {
            WceUiLogW(WCEUI_LOG_ERROR, u"load %s failed, the data of %s lies beyond the end of the file",
                      m_szPackPath, EntryPath(pEntry));
            return FALSE;
        }
        if (i > 0 && WStrCmp(EntryPath(m_entries[i - 1]), EntryPath(pEntry)) >= 0) {
            WceUiLogW(WCEUI_LOG_ERROR, u"load %s failed, %s is out of order", m_szPackPath,
                      EntryPath(pEntry));
            return FALSE;
        }
        m_entries[i] = pEntry;
        nOffset += dwEntryLength;
    }
    return TRUE;
}

CFhPackFile::ReloadState CFhPackFile::NeedsReload(LPCWSTR pPassword) {
    if (FhPasswordToKey(pPassword) != m_dwKey) {
        return PACK_RELOAD;
    }
    CFhFileHandle file(OpenForRead(m_szPackPath));
    if (!file.IsValid()) {
        WceUiLogW(WCEUI_LOG_ERROR, u"CreateFile %s failed, GetLastError is %d", m_szPackPath,
                  static_cast<int>(GetLastError()));
        Clear();
        return PACK_FAILED;
    }
    BYTE header[FH_PACK_HEADER_SIZE];
    DWORD dwRead = 0;
    if (!ReadFile(file.Get(), header, sizeof(header), &dwRead, NULL) || sizeof(header) != dwRead) {
        WceUiLogW(WCEUI_LOG_ERROR, u"ReadFile %s failed", m_szPackPath);
        Clear();
        return PACK_FAILED;
    }
    return FhReadLe32(header + 8) == m_dwCheckWord ? PACK_UP_TO_DATE : PACK_RELOAD;
}

int CFhPackFile::FindItem(LPCWSTR pItemPath) const {
    if (NULL == pItemPath || !m_bLoaded) {
        return -1;
    }
    int nLow = 0;
    int nHigh = m_nItemCount - 1;
    while (nLow <= nHigh) {
        const int nMid = nLow + (nHigh - nLow) / 2;
        const int nCmp = WStrCmp(pItemPath, EntryPath(m_entries[nMid]));
        if (0 == nCmp) {
            return nMid;
        }
        if (nCmp > 0) {
            nLow = nMid + 1;
        } else {
            nHigh = nMid - 1;
        }
    }
    return -1;
}

LPCWSTR CFhPackFile::GetPackName() const {
    if (!m_bLoaded || 0 == FhReadLe32(m_pDirectory.get() + 12)) {
        return u"";
    }
    return reinterpret_cast<LPCWSTR>(m_pDirectory.get() + FH_PACK_DIR_HEADER_SIZE);
}

BOOL CFhPackFile::GetItemInfo(int nIndex, FhPackItemInfo* pInfo) const {
    if (NULL == pInfo || !m_bLoaded || nIndex < 0 || nIndex >= m_nItemCount) {
        return FALSE;
    }
    const BYTE* pEntry = m_entries[nIndex];
    pInfo->pPath = EntryPath(pEntry);
    pInfo->dwUnpackedSize = FhReadLe32(pEntry + ENTRY_UNPACKED_SIZE);
    pInfo->dwStoredSize = FhReadLe32(pEntry + ENTRY_STORED_SIZE);
    pInfo->dwDataOffset = FhReadLe32(pEntry + ENTRY_DATA_OFFSET);
    return TRUE;
}

BYTE* CFhPackFile::ReadItem(LPCWSTR pItemPath, LPCWSTR pPassword, DWORD* pdwLength) {
    *pdwLength = 0;
    if (!m_bLoaded) {
        if (!Load(pPassword)) {
            return NULL;
        }
    } else {
        const ReloadState state = NeedsReload(pPassword);
        if (PACK_FAILED == state) {
            return NULL;
        }
        if (PACK_RELOAD == state && !Load(pPassword)) {
            return NULL;
        }
    }

    const int nIndex = FindItem(pItemPath);
    if (nIndex < 0) {
        WceUiLogW(WCEUI_LOG_ERROR, u"Can not find the item %s in %s", pItemPath, m_szPackPath);
        return NULL;
    }
    BYTE* pData = NULL;
    if (!ReadItemData(nIndex, pdwLength, &pData)) {
        return NULL;
    }
    return pData;
}

BOOL CFhPackFile::ReadItemData(int nIndex, DWORD* pdwLength, BYTE** ppData) {
    FhPackItemInfo info;
    GetItemInfo(nIndex, &info);

    CFhFileHandle file(OpenForRead(m_szPackPath));
    if (!file.IsValid()) {
        WceUiLogW(WCEUI_LOG_ERROR, u"CreateFile : %s failed, GetLastError is %d", m_szPackPath,
                  static_cast<int>(GetLastError()));
        return FALSE;
    }
    LONG nHigh = 0;
    if (INVALID_SET_FILE_POINTER ==
            SetFilePointer(file.Get(), static_cast<LONG>(info.dwDataOffset), &nHigh, FILE_BEGIN) &&
        NO_ERROR != GetLastError()) {
        WceUiLogW(WCEUI_LOG_ERROR, u"SetFilePointer for %s in %s failed, GetLastError is %d", info.pPath,
                  m_szPackPath, static_cast<int>(GetLastError()));
        return FALSE;
    }
    std::unique_ptr<BYTE[]> stored(new (std::nothrow) BYTE[info.dwStoredSize]);
    DWORD dwRead = 0;
    if (!stored || !ReadFile(file.Get(), stored.get(), info.dwStoredSize, &dwRead, NULL) ||
        dwRead != info.dwStoredSize) {
        WceUiLogW(WCEUI_LOG_ERROR, u"ReadFile %s in %s failed", info.pPath, m_szPackPath);
        return FALSE;
    }
    // No stream of this length can reach a larger size: such a claim fails like any other size that
    // does not match, without allocating for it.
    if (info.dwUnpackedSize > static_cast<ULONGLONG>(info.dwStoredSize) * kMaxInflateRatio) {
        WceUiLogW(WCEUI_LOG_ERROR, u"uncompress failed for %s in %s", info.pPath, m_szPackPath);
        return FALSE;
    }
    std::unique_ptr<BYTE[]> unpacked(new (std::nothrow) BYTE[info.dwUnpackedSize]);
    uLongf nDestLength = info.dwUnpackedSize;
    if (!unpacked ||
        Z_OK !=
            uncompress(unpacked.get(), &nDestLength, stored.get(), static_cast<uLong>(info.dwStoredSize)) ||
        nDestLength != info.dwUnpackedSize) {
        WceUiLogW(WCEUI_LOG_ERROR, u"uncompress failed for %s in %s", info.pPath, m_szPackPath);
        return FALSE;
    }
    *pdwLength = info.dwUnpackedSize;
    *ppData = unpacked.release();
    return TRUE;
}

CFhPackFile* FhGetPackFile(LPCWSTR pLowerPackPath) {
    // Kept for the life of the process; the packs are destroyed at exit.
    static std::map<std::u16string, std::unique_ptr<CFhPackFile>> s_cache;
    std::u16string key(pLowerPackPath);
    auto it = s_cache.find(key);
    if (it == s_cache.end()) {
        std::unique_ptr<CFhPackFile> pack(new (std::nothrow) CFhPackFile(pLowerPackPath));
        if (!pack) {
            return NULL;
        }
        it = s_cache.emplace(std::move(key), std::move(pack)).first;
    }
    return it->second.get();
}
