#include "wceui/core/FhDirectories.h"
#include "wceui/core/WceUiLog.h"

namespace {

BOOL IsFolder(LPCWSTR pPath) {
    DWORD attributes = GetFileAttributesW(pPath);
    return INVALID_FILE_ATTRIBUTES != attributes && 0 != (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

BOOL WceUiCreateDirectories(LPCWSTR pPath) {
    if (!WCEUI_CHECK("WceUiCreateDirectories", NULL != pPath))
        return FALSE;
    if (IsFolder(pPath))
        return TRUE;
    // A longer path cannot be named on the device; cutting it short would create the wrong folder.
    size_t length = WStrLen(pPath);
    if (length >= MAX_PATH)
        return FALSE;
    WCHAR szPath[MAX_PATH];
    WStrCpyN(szPath, MAX_PATH, pPath);
    for (size_t i = 0; i < length; ++i) {
        if (u'\\' != szPath[i] && u'/' != szPath[i])
            continue;
        if (i > 0) {
            szPath[i] = 0;
            CreateDirectoryW(szPath, NULL);
        }
        szPath[i] = u'\\';
    }
    CreateDirectoryW(szPath, NULL);
    return IsFolder(szPath);
}
