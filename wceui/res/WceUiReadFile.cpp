#include "wceui/res/WceUiReadFile.h"

#include "wceui/core/WceUiLog.h"
#include "wceui/res/FhPackFile.h"

#include <memory>
#include <new>

namespace {

BYTE* ReadPlainFile(LPCWSTR pFilePath, DWORD* pdwLength) {
    HANDLE hFile = CreateFileW(pFilePath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    if (INVALID_HANDLE_VALUE == hFile) {
        WceUiLogW(WCEUI_LOG_ERROR, u"CreateFile : %s failed, GetLastError is %d", pFilePath,
                  static_cast<int>(GetLastError()));
        return NULL;
    }
    const DWORD dwSize = GetFileSize(hFile, NULL);
    if (INVALID_FILE_SIZE == dwSize) {
        WceUiLogW(WCEUI_LOG_ERROR, u"GetFileSize %s failed , GetLastError is %d", pFilePath,
                  static_cast<int>(GetLastError()));
        CloseHandle(hFile);
        return NULL;
    }
    std::unique_ptr<BYTE[]> data(new (std::nothrow) BYTE[dwSize]);
    DWORD dwRead = 0;
    if (!data || !ReadFile(hFile, data.get(), dwSize, &dwRead, NULL) || dwRead != dwSize) {
        WceUiLogW(WCEUI_LOG_ERROR, u"ReadFile %s failed", pFilePath);
        CloseHandle(hFile);
        return NULL;
    }
    CloseHandle(hFile);
    *pdwLength = dwSize;
    return data.release();
}

BYTE* ReadPackedFile(LPCWSTR pFilePath, DWORD* pdwLength, LPCWSTR pPassword) {
    static const WCHAR kPackMark[] = u".pack\\";
    const size_t nMarkLength = sizeof(kPackMark) / sizeof(kPackMark[0]) - 1;

    // Both parts are held in buffers of MAX_PATH units, so the whole path must be shorter than that.
    const size_t nLength = WStrLen(pFilePath);
    LPCWSTR pMark = WStrStr(pFilePath, kPackMark);
    if (nLength >= MAX_PATH || NULL == pMark || pMark == pFilePath || 0 == pMark[nMarkLength]) {
        WceUiLogW(WCEUI_LOG_ERROR, u"%s is not a valid packed file path", pFilePath);
        return NULL;
    }
    WCHAR szPackPath[MAX_PATH];
    WCHAR szItemPath[MAX_PATH];
    const size_t nPackLength = static_cast<size_t>(pMark - pFilePath) + nMarkLength - 1; // up to ".pack"
    for (size_t i = 0; i < nPackLength; ++i) {
        szPackPath[i] = pFilePath[i];
    }
    szPackPath[nPackLength] = 0;
    WStrCpy(szItemPath, pMark + nMarkLength);
    WStrLwr(szPackPath);
    WStrLwr(szItemPath);
    for (WCHAR* p = szItemPath; 0 != *p; ++p) {
        if (u'/' == *p) {
            *p = u'\\';
        }
    }

    const DWORD dwAttributes = GetFileAttributesW(szPackPath);
    if (INVALID_FILE_ATTRIBUTES == dwAttributes || 0 != (dwAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        WceUiLogW(WCEUI_LOG_ERROR, u"%s is not a valid packed file", szPackPath);
        return NULL;
    }
    CFhPackFile* pPack = FhGetPackFile(szPackPath);
    if (NULL == pPack) {
        return NULL;
    }
    return pPack->ReadItem(szItemPath, pPassword, pdwLength);
}

} // namespace

BYTE* WceUiReadFile(LPCWSTR pFilePath, DWORD* pdwLength, LPCWSTR pPassword) {
    if (!WCEUI_CHECK("WceUiReadFile", NULL != pdwLength)) {
        return NULL;
    }
    *pdwLength = 0;
    if (!WCEUI_CHECK("WceUiReadFile", NULL != pFilePath)) {
        return NULL;
    }
    const DWORD dwAttributes = GetFileAttributesW(pFilePath);
    if (INVALID_FILE_ATTRIBUTES != dwAttributes) {
        if (0 != (dwAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            WceUiLogW(WCEUI_LOG_ERROR, u"WceUiReadFile failed, %s is a directory", pFilePath);
            return NULL;
        }
        return ReadPlainFile(pFilePath, pdwLength);
    }
    return ReadPackedFile(pFilePath, pdwLength, pPassword);
}
