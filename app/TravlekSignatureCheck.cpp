#include "app/TravlekSignatureCheck.h"
#include "app/TravlekConfiguredApp.h"
#include "package/MskSignature.h"
#include "wceui/core/WceUiLog.h"

#include <vector>

namespace {

// What the log calls each refusal of a signature.
const char16_t* RefusalKind(MskSignatureCheck result) {
    switch (result) {
        case MSK_SIGNATURE_MISSING:
            return u"missing";
        case MSK_SIGNATURE_MALFORMED:
            return u"malformed";
        case MSK_SIGNATURE_MISMATCH:
            return u"other key or changed";
        case MSK_SIGNATURE_READ_FAILED:
            return u"read failure";
        default:
            return u"refused";
    }
}

// The reasons can be longer than a log line takes; the line is cut rather than lost.
void LogCut(const std::u16string& text) {
    std::u16string line = text;
    if (line.size() > WCEUI_LOG_MAX_MESSAGE) {
        line.resize(WCEUI_LOG_MAX_MESSAGE - 3);
        line += u"...";
    }
    WceUiLogW(WCEUI_LOG_ERROR, u"%s", line.c_str());
}

BOOL RefuseKey(const std::u16string& why, std::u16string& errorOut) {
    LogCut(u"CTravlekDlg::DoUpdate, UpdateKey unusable, every package is refused: " + why);
    errorOut = TRAVLEK_ERROR_UPDATE_KEY;
    return FALSE;
}

BOOL RefuseSignature(const char16_t* pKind, const std::u16string& why, std::u16string& errorOut) {
    LogCut(WFormat(u"CTravlekDlg::DoUpdate, signature refused (%s): ", pKind) + why);
    errorOut = TRAVLEK_ERROR_NOT_SIGNED;
    return FALSE;
}

} // namespace

TravlekUpdateKey TravlekReadUpdateKey(std::string* pLine, std::u16string* pWhy) {
    pLine->clear();
    HKEY hKey = NULL;
    LONG lResult = RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"OEM", 0, TRAVLEK_OEM_KEY_ACCESS, &hKey);
    if (ERROR_FILE_NOT_FOUND == lResult) {
        return TRAVLEK_UPDATE_KEY_NONE;
    }
    if (ERROR_SUCCESS != lResult) {
        *pWhy = WFormat(u"the key cannot be opened, error %d", static_cast<int>(lResult));
        return TRAVLEK_UPDATE_KEY_UNREADABLE;
    }
    DWORD dwType = 0;
    DWORD dwSize = 0;
    lResult = RegQueryValueExW(hKey, u"UpdateKey", NULL, &dwType, NULL, &dwSize);
    std::vector<WCHAR> value;
    // A key line is about a hundred units; a far longer value is refused unread.
    if (ERROR_SUCCESS == lResult && dwSize <= (MSK_KEY_FILE_MAX_BYTES + 1) * sizeof(WCHAR)) {
        value.assign(dwSize / sizeof(WCHAR) + 1, 0);
        lResult = RegQueryValueExW(hKey, u"UpdateKey", NULL, &dwType, reinterpret_cast<LPBYTE>(value.data()),
                                   &dwSize);
    }
    RegCloseKey(hKey);
    if (ERROR_FILE_NOT_FOUND == lResult) {
        return TRAVLEK_UPDATE_KEY_NONE;
    }
    if (ERROR_SUCCESS != lResult) {
        *pWhy = WFormat(u"it cannot be read, error %d", static_cast<int>(lResult));
    } else if (value.empty()) {
        *pWhy = WFormat(u"it holds %u bytes, more than a key line", static_cast<UINT>(dwSize));
    } else if (REG_SZ != dwType) {
        *pWhy = WFormat(u"it is of type %u, not a string", static_cast<UINT>(dwType));
    } else if (0 != dwSize % sizeof(WCHAR) || dwSize < sizeof(WCHAR) ||
               0 != value[dwSize / sizeof(WCHAR) - 1]) {
        *pWhy = u"it is not a whole, terminated string";
    } else {
        *pLine = WideToUtf8(std::u16string_view(value.data(), dwSize / sizeof(WCHAR) - 1));
        return TRAVLEK_UPDATE_KEY_SET;
    }
    return TRAVLEK_UPDATE_KEY_UNREADABLE;
}

BOOL CTravlekSignatureCheck::CheckOpened(const CMskUnpacker& unpacker, LPCWSTR pPackagePath, DWORD dwKey,
                                         std::u16string& errorOut) {
    m_bSigned = FALSE;
    m_packagePath = NULL == pPackagePath ? u"" : pPackagePath;
    std::string keyLine;
    std::u16string why;
    switch (TravlekReadUpdateKey(&keyLine, &why)) {
        case TRAVLEK_UPDATE_KEY_NONE:
            return TRUE;
        case TRAVLEK_UPDATE_KEY_UNREADABLE:
            return RefuseKey(why, errorOut);
        case TRAVLEK_UPDATE_KEY_SET:
            break;
    }
    // The key first: a key that cannot be used refuses every package, signed or not.
    MskPublicKey key;
    if (!MskParsePublicKey(keyLine, &key, &why)) {
        return RefuseKey(why, errorOut);
    }
    const HANDLE hPackage = unpacker.GetOpenedHandle();
    if (!WCEUI_CHECK("CTravlekSignatureCheck::CheckOpened", INVALID_HANDLE_VALUE != hPackage)) {
        return RefuseSignature(RefusalKind(MSK_SIGNATURE_READ_FAILED), u"the package is not open", errorOut);
    }

    // An empty signature line tells the check there is none; an empty or unreadable file is a
    // signature that is there but cannot be read.
    const std::u16string signaturePath = MskSignaturePath(m_packagePath.c_str());
    std::string signatureLine;
    if (!MskReadKeyFile(signaturePath.c_str(), &signatureLine, &why)) {
        const DWORD dwError = GetLastError();
        if (ERROR_FILE_NOT_FOUND != dwError && ERROR_PATH_NOT_FOUND != dwError) {
            return RefuseSignature(RefusalKind(MSK_SIGNATURE_MALFORMED), signaturePath + u": " + why,
                                   errorOut);
        }
    } else if (signatureLine.empty()) {
        return RefuseSignature(RefusalKind(MSK_SIGNATURE_MALFORMED), signaturePath + u" is empty", errorOut);
    }

    DWORD dwHigh = 0;
    const DWORD dwLow = GetFileSize(hPackage, &dwHigh);
    m_signedBytes.Begin(static_cast<ULONGLONG>(dwHigh) << 32 | dwLow, dwKey);
    const MskSignatureCheck result =
        MskCheckPackageSignature(hPackage, signatureLine, keyLine, m_signedBytes.Callback(), &why);
    if (MSK_SIGNATURE_KEY_MALFORMED == result) {
        return RefuseKey(why, errorOut);
    }
    if (MSK_SIGNATURE_OK != result) {
        return RefuseSignature(RefusalKind(result), why, errorOut);
    }
    WceUiLogW(WCEUI_LOG_INFO, u"CTravlekDlg::DoUpdate, %s is signed with the unit's update key",
              m_packagePath.c_str());
    m_bSigned = TRUE;
    return TRUE;
}

BOOL CTravlekSignatureCheck::MatchesVerified(const CMskUnpacker& unpacker, std::u16string& errorOut) const {
    std::u16string why;
    if (!m_bSigned || m_signedBytes.MatchesVerified(unpacker, &why)) {
        return TRUE;
    }
    return RefuseSignature(u"changed after the check", why, errorOut);
}
