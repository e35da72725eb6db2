#include "wceui/bitmap/WceUiBitmapFile.h"
#include "wceui/core/FhFileHandle.h"

#include "wceui/bitmap/FhBmp.h"
#include "wceui/bitmap/WceUi32Bitmap.h"
#include "wceui/bitmap/WceUi565Bitmap.h"
#include "wceui/core/FhGlobalData.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/res/WceUiReadFile.h"

#include <cstring>
#include <memory>
#include <new>

namespace {

// Writes the header, the info block and the pixels; every write must be complete.
BOOL SaveBmpFile(const char16_t* pName, LPCWSTR pSaveFileName, LPCVOID pData, int nWidth, int nHeight,
                 int nBitCount) {
    const char* pOperation = 16 == nBitCount ? "Save565BmpFile" : "Save32BmpFile";
    bool bValid = WCEUI_CHECK(pOperation, nWidth > 0);
    bValid = WCEUI_CHECK(pOperation, nHeight > 0) && bValid;
    bValid = WCEUI_CHECK(pOperation, NULL != pData) && bValid;
    bValid = WCEUI_CHECK(pOperation, NULL != pSaveFileName) && bValid;
    if (!bValid) {
        return FALSE;
    }
    const DWORD dwDataLen = FhGetBitmapDataLen(nWidth, nHeight, nBitCount);
    const DWORD dwInfoLen = 16 == nBitCount ? 56 : 44;
    const DWORD dwOffBits = 14 + dwInfoLen;
    if (dwDataLen > 0xFFFFFFFFu - dwOffBits) {
        return FALSE;
    }
    BYTE fileHeader[14] = {};
    fileHeader[0] = 'B';
    fileHeader[1] = 'M';
    FhWriteLe32(fileHeader + 2, dwDataLen + dwOffBits);
    FhWriteLe32(fileHeader + 10, dwOffBits);
    BYTE info[56] = {};
    FhWriteLe32(info + 0, 40);
    FhWriteLe32(info + 4, (DWORD)nWidth);
    FhWriteLe32(info + 8, (DWORD)nHeight);
    FhWriteLe16(info + 12, 1);
    FhWriteLe16(info + 14, (WORD)nBitCount);
    FhWriteLe32(info + 16, 16 == nBitCount ? BI_BITFIELDS : BI_RGB);
    FhWriteLe32(info + 20, dwDataLen);
    if (16 == nBitCount) {
        FhWriteLe32(info + 40, 0xF800);
        FhWriteLe32(info + 44, 0x07E0);
        FhWriteLe32(info + 48, 0x001F);
    }
    CFhFileHandle file(
        CreateFileW(pSaveFileName, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file.IsValid()) {
        WceUiLogW(WCEUI_LOG_ERROR, u"%s, CreateFile (%s) fail, GetLastError is %d", pName, pSaveFileName,
                  (int)GetLastError());
        return FALSE;
    }
    const struct {
        LPCVOID p;
        DWORD n;
    } parts[] = {{fileHeader, 14}, {info, dwInfoLen}, {pData, dwDataLen}};
    for (const auto& part : parts) {
        DWORD dwWritten = 0;
        if (!WriteFile(file.Get(), part.p, part.n, &dwWritten, NULL) || dwWritten != part.n) {
            WceUiLogW(WCEUI_LOG_ERROR, u"%s, WriteFile (%s) fail, GetLastError is %d", pName, pSaveFileName,
                      (int)GetLastError());
            return FALSE;
        }
    }
    return TRUE;
}

const char16_t kLoadName[] = u"WceUiLoadBmpFromFile";

} // namespace

DWORD FhGetBitmapDataLen(int nWidth, int nHeight, int nBitCount) {
    bool bValid = WCEUI_CHECK("FhGetBitmapDataLen", nWidth > 0);
    bValid = WCEUI_CHECK("FhGetBitmapDataLen", nHeight > 0) && bValid;
    bValid = WCEUI_CHECK("FhGetBitmapDataLen", nBitCount > 0) && bValid;
    if (!bValid) {
        return 0;
    }
    const unsigned long long ullRow =
        (((unsigned long long)nWidth * (unsigned long long)nBitCount + 31) / 32) * 4;
    const unsigned long long ullLen = ullRow * (unsigned long long)nHeight;
    return ullLen > 0xFFFFFFFFull ? 0xFFFFFFFFu : (DWORD)ullLen;
}

BOOL GetBitmapInfoFromBuffer(const BYTE* lpBuffer, DWORD nBuffLen, BYTE pBmpInfo[44],
                             const BYTE** ppBmpBits) {
    bool bValid = WCEUI_CHECK("GetBitmapInfoFromBuffer", NULL != lpBuffer);
    bValid = WCEUI_CHECK("GetBitmapInfoFromBuffer", (nBuffLen > MIN_BITMAP_BUF_LEN)) && bValid;
    bValid = WCEUI_CHECK("GetBitmapInfoFromBuffer", NULL != ppBmpBits) && bValid;
    bValid = WCEUI_CHECK("GetBitmapInfoFromBuffer", NULL != pBmpInfo) && bValid;
    if (!bValid) {
        return FALSE;
    }
    memset(pBmpInfo, 0, 44);
    *ppBmpBits = NULL;
    if ('B' != lpBuffer[0] || 'M' != lpBuffer[1]) {
        return FALSE;
    }
    const DWORD dwOffBits = FhReadLe32(lpBuffer + 10);
    if (dwOffBits < 14 || dwOffBits > nBuffLen || nBuffLen < 14 + 44) {
        return FALSE;
    }
    const LONG nWidth = (LONG)FhReadLe32(lpBuffer + 18);
    const LONG nHeight = (LONG)FhReadLe32(lpBuffer + 22);
    const WORD wBitCount = FhReadLe16(lpBuffer + 28);
    // Top-down files (negative height) and images without width are refused; a bit count of 0 has no
    // pixel data to check and is refused by the loader as neither 16 nor 32 bits.
    if (nWidth <= 0 || nHeight <= 0) {
        return FALSE;
    }
    if (0 != wBitCount && nBuffLen - dwOffBits < FhGetBitmapDataLen(nWidth, nHeight, wBitCount)) {
        return FALSE;
    }
    memcpy(pBmpInfo, lpBuffer + 14, 44);
    *ppBmpBits = lpBuffer + dwOffBits;
    return TRUE;
}

BOOL GetAlphaPathFromBmpPath(LPCWSTR pBmpPath, LPWSTR pAlphaPath, size_t nCount) {
    if (NULL == pBmpPath || NULL == pAlphaPath || 0 == nCount) {
        return FALSE;
    }
    const size_t nLen = WStrLen(pBmpPath);
    if (nLen <= 4 || 0 != WStrICmp(pBmpPath + nLen - 4, u".bmp")) {
        pAlphaPath[0] = 0;
        return FALSE;
    }
    if (nLen - 4 + 6 + 1 > nCount) {
        pAlphaPath[0] = 0;
        return FALSE;
    }
    memcpy(pAlphaPath, pBmpPath, (nLen - 4) * sizeof(WCHAR));
    WStrCpy(pAlphaPath + nLen - 4, u".alpha");
    return TRUE;
}

BOOL Save565BmpFile(LPCWSTR pSaveFileName, LPCVOID pData, int nWidth, int nHeight) {
    return SaveBmpFile(u"Save565BmpFile", pSaveFileName, pData, nWidth, nHeight, 16);
}

BOOL Save32BmpFile(LPCWSTR pSaveFileName, LPCVOID pData, int nWidth, int nHeight) {
    return SaveBmpFile(u"Save32BmpFile", pSaveFileName, pData, nWidth, nHeight, 32);
}

CWceUiGenericBitmap* WceUiLoadBmpFromFile(LPCWSTR pFilePath, BOOL bPerPixelAlpha, LPCWSTR pAlphaPath) {
    if (!WCEUI_CHECK("WceUiLoadBmpFromFile", NULL != pFilePath)) {
        return NULL;
    }
    LPCWSTR pPassword = CFhGlobalData::Instance().GetPackPassword();
    DWORD dwLen = 0;
    std::unique_ptr<BYTE[]> pFile(WceUiReadFile(pFilePath, &dwLen, pPassword));
    if (!pFile) {
        WceUiLogW(WCEUI_LOG_ERROR, u"%s, WceUiReadFile %s failed", kLoadName, pFilePath);
        return NULL;
    }
    BYTE info[44];
    const BYTE* pBits = NULL;
    if (!GetBitmapInfoFromBuffer(pFile.get(), dwLen, info, &pBits)) {
        WceUiLogW(WCEUI_LOG_ERROR, u"%s, %s is not a valid bitmap", kLoadName, pFilePath);
        return NULL;
    }
    const int nWidth = (int)FhReadLe32(info + 4);
    const int nHeight = (int)FhReadLe32(info + 8);
    const int nBitCount = FhReadLe16(info + 14);
    if (16 == nBitCount) {
        std::unique_ptr<CWceUi565Bitmap> pBmp(new (std::nothrow) CWceUi565Bitmap);
        if (!pBmp) {
            WceUiLog(WCEUI_LOG_ERROR, "%s, new fail, sizeof(CWceUi565Bitmap)=%u", "WceUiLoadBmpFromFile",
                     (unsigned)sizeof(CWceUi565Bitmap));
            return NULL;
        }
        BOOL bCreated;
        if (!bPerPixelAlpha) {
            bCreated = pBmp->CreateDIB565(nWidth, nHeight, pBits, NULL);
        } else {
            if (NULL == pAlphaPath) {
                WceUiLogW(WCEUI_LOG_ERROR, u"%s, load %s , bPerPixelAlpha is TRUE but pAlphaPath is NULL",
                          kLoadName, pFilePath);
                return NULL;
            }
            DWORD dwAlphaLen = 0;
            std::unique_ptr<BYTE[]> pAlpha(WceUiReadFile(pAlphaPath, &dwAlphaLen, pPassword));
            if (!pAlpha) {
                WceUiLogW(WCEUI_LOG_ERROR, u"%s, read %s failed", kLoadName, pAlphaPath);
                return NULL;
            }
            if (dwAlphaLen < FhGetAlphaPlaneLen(nWidth, nHeight)) {
                WceUiLogW(WCEUI_LOG_ERROR, u"%s, read %s failed, the length is not enough", kLoadName,
                          pAlphaPath);
                return NULL;
            }
            bCreated = pBmp->CreateDIB565(nWidth, nHeight, pBits, pAlpha.get());
        }
        if (!bCreated) {
            WceUiLogW(WCEUI_LOG_ERROR, u"%s, CreateDIB %s failed", kLoadName, pFilePath);
            return NULL;
        }
        return pBmp.release();
    }
    if (32 == nBitCount) {
        std::unique_ptr<CWceUi32Bitmap> pBmp(new (std::nothrow) CWceUi32Bitmap);
        if (!pBmp) {
            WceUiLog(WCEUI_LOG_ERROR, "%s, new fail, sizeof(CWceUi32Bitmap)=%u", "WceUiLoadBmpFromFile",
                     (unsigned)sizeof(CWceUi32Bitmap));
            return NULL;
        }
        if (!pBmp->CreateDIB32(nWidth, nHeight, pBits, bPerPixelAlpha)) {
            WceUiLogW(WCEUI_LOG_ERROR, u"%s, CreateDIB %s failed", kLoadName, pFilePath);
            return NULL;
        }
        return pBmp.release();
    }
    WceUiLogW(WCEUI_LOG_ERROR, u"%s, %s is neither  16 nor 32 bitmap", kLoadName, pFilePath);
    return NULL;
}
