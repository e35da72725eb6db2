#include "wceui/core/FhPath.h"

#include "wceui/core/WceUiLog.h"

namespace {

// Length of the part of a directory that ".." never removes: a leading separator, or a drive with
// its separator.
size_t RootLength(LPCWSTR p, size_t len) {
    if (len >= 2 && u':' == p[1]) {
        return (len >= 3 && FhIsPathSeparator(p[2])) ? 3 : 2;
    }
    if (len >= 1 && FhIsPathSeparator(p[0])) {
        return 1;
    }
    return 0;
}

} // namespace

BOOL FhMakeFullPath(LPCWSTR pDir, LPCWSTR pPath, LPWSTR pFullPath, size_t nCount) {
    if (!WCEUI_CHECK("FhMakeFullPath", NULL != pPath) || !WCEUI_CHECK("FhMakeFullPath", NULL != pFullPath) ||
        0 == nCount) {
        return FALSE;
    }
    const bool bAbsolute = u'\\' == pPath[0] || (0 != pPath[0] && u':' == pPath[1]);
    if (bAbsolute) {
        if (WStrLen(pPath) >= nCount) {
            pFullPath[0] = 0;
            return FALSE;
        }
        WStrCpy(pFullPath, pPath);
        return TRUE;
    }

    // Built in a local buffer so that pFullPath may alias pDir or pPath.
    WCHAR szOut[2 * MAX_PATH];
    const size_t nCap = sizeof(szOut) / sizeof(szOut[0]);
    size_t nLen = 0;
    if (NULL != pDir) {
        nLen = WStrLen(pDir);
        if (nLen >= nCap - 1) {
            pFullPath[0] = 0;
            return FALSE;
        }
        for (size_t i = 0; i < nLen; ++i) {
            szOut[i] = pDir[i];
        }
        if (nLen > 0 && !FhIsPathSeparator(szOut[nLen - 1])) {
            szOut[nLen++] = u'\\';
        }
    }
    const size_t nRoot = RootLength(szOut, nLen);

    LPCWSTR p = pPath;
    while (0 != *p) {
        LPCWSTR pComp = p;
        while (0 != *p && !FhIsPathSeparator(*p)) {
            ++p;
        }
        const size_t nComp = static_cast<size_t>(p - pComp);
        const WCHAR sep = *p;
        if (0 != sep) {
            ++p;
        }
        if (0 == nComp || (1 == nComp && u'.' == pComp[0])) {
            continue;
        }
        if (2 == nComp && u'.' == pComp[0] && u'.' == pComp[1]) {
            if (nLen > nRoot) {
                size_t n = nLen;
                if (FhIsPathSeparator(szOut[n - 1])) {
                    --n;
                }
                while (n > nRoot && !FhIsPathSeparator(szOut[n - 1])) {
                    --n;
                }
                nLen = n;
            }
            continue;
        }
        if (nLen + nComp + 1 >= nCap) {
            pFullPath[0] = 0;
            return FALSE;
        }
        for (size_t i = 0; i < nComp; ++i) {
            szOut[nLen++] = pComp[i];
        }
        if (0 != sep) {
            szOut[nLen++] = sep;
        }
    }
    if (nLen >= nCount) {
        pFullPath[0] = 0;
        return FALSE;
    }
    for (size_t i = 0; i < nLen; ++i) {
        pFullPath[i] = szOut[i];
    }
    pFullPath[nLen] = 0;
    return TRUE;
}

BOOL FhGetDirPathFromFilePath(LPWSTR pFilePath) {
    if (!WCEUI_CHECK("FhGetDirPathFromFilePath", NULL != pFilePath)) {
        return FALSE;
    }
    LPWSTR pLast = NULL;
    for (LPWSTR p = pFilePath; 0 != *p; ++p) {
        if (FhIsPathSeparator(*p)) {
            pLast = p;
        }
    }
    if (NULL == pLast) {
        return FALSE;
    }
    pLast[1] = 0;
    return TRUE;
}

BOOL FhGetModuleDir(LPWSTR pDir, size_t nCount) {
    if (!WCEUI_CHECK("FhGetModuleDir", NULL != pDir) || 0 == nCount) {
        return FALSE;
    }
    WCHAR szModule[MAX_PATH];
    const DWORD n = GetModuleFileNameW(NULL, szModule, MAX_PATH);
    if (0 == n || n >= MAX_PATH) {
        pDir[0] = 0;
        return FALSE;
    }
    szModule[n] = 0;
    if (!FhGetDirPathFromFilePath(szModule) || WStrLen(szModule) >= nCount) {
        pDir[0] = 0;
        return FALSE;
    }
    WStrCpy(pDir, szModule);
    return TRUE;
}

BOOL FhMakeFullPathFromModuleDir(LPCWSTR pPath, LPWSTR pFullPath, size_t nCount) {
    WCHAR szDir[MAX_PATH];
    if (!FhGetModuleDir(szDir, MAX_PATH)) {
        szDir[0] = 0;
    }
    return FhMakeFullPath(szDir, pPath, pFullPath, nCount);
}
