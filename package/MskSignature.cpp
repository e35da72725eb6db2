#include "package/MskSignature.h"

#include <sodium.h>

#include <memory>

static_assert(MSK_PUBLIC_KEY_BYTES == crypto_sign_ed25519_PUBLICKEYBYTES);
static_assert(MSK_SECRET_KEY_BYTES == crypto_sign_ed25519_SECRETKEYBYTES);
static_assert(MSK_SIGNATURE_BYTES == crypto_sign_ed25519_BYTES);

namespace {

const int kBase64 = sodium_base64_VARIANT_ORIGINAL;
// What is signed: the package file's 64-byte BLAKE2b digest.
const size_t kDigestBytes = crypto_generichash_BYTES_MAX;
static_assert(64 == kDigestBytes);

// libsodium picks its implementations once, before its first use.
BOOL SodiumReady(std::u16string* pWhy) {
    static const bool ready = sodium_init() >= 0;
    if (!ready && pWhy)
        *pWhy = u"the signature library could not start";
    return ready;
}

void SetWhy(std::u16string* pWhy, const std::u16string& why) {
    if (pWhy)
        *pWhy = why;
}

std::u16string Number(ULONGLONG ullValue) {
    return Utf8ToWide(std::to_string(ullValue));
}

std::string Line(const char* pTag, const BYTE* pBytes, size_t nSize) {
    std::string text(sodium_base64_encoded_len(nSize, kBase64), '\0');
    sodium_bin2base64(text.data(), text.size(), pBytes, nSize, kBase64);
    text.resize(text.size() - 1); // the closing NUL
    return std::string(pTag) + " " + text + "\n";
}

// A word of a refused line fit to be quoted in a message: short printable ASCII only.
bool Quotable(const std::string& word) {
    if (word.empty() || word.size() > 40)
        return false;
    for (char c : word) {
        if (c < 0x21 || c > 0x7E)
            return false;
    }
    return true;
}

// The common form of the three lines: "<tag> <canonical base64 of nSize bytes>" with an optional CR
// and/or LF; what names the line in messages ("the public key").
BOOL ParseLine(const std::string& line, const char* pTag, const char16_t* pWhat, BYTE* pOut, size_t nSize,
               std::u16string* pWhy) {
    const std::u16string what(pWhat);
    if (line.size() > MSK_KEY_FILE_MAX_BYTES) {
        SetWhy(pWhy, what + u" is longer than " + Number(MSK_KEY_FILE_MAX_BYTES) + u" bytes");
        return FALSE;
    }
    std::string text = line;
    if (!text.empty() && '\n' == text.back())
        text.pop_back();
    if (!text.empty() && '\r' == text.back())
        text.pop_back();
    const std::u16string tag = Utf8ToWide(pTag);
    if (text.empty()) {
        SetWhy(pWhy, what + u" is empty");
        return FALSE;
    }
    const size_t space = text.find(' ');
    const std::string word = text.substr(0, space);
    if (word != pTag) {
        if (Quotable(word) && 0 == word.rfind("msk-", 0))
            SetWhy(pWhy, what + u" is of another kind or algorithm: \"" + Utf8ToWide(word) + u"\", not \"" +
                             tag + u"\"");
        else
            SetWhy(pWhy, what + u" does not start with \"" + tag + u" \"");
        return FALSE;
    }
    if (std::string::npos == space) {
        SetWhy(pWhy, what + u" has nothing after \"" + tag + u"\"");
        return FALSE;
    }
    const std::string body = text.substr(space + 1);
    const size_t expected = sodium_base64_encoded_len(nSize, kBase64) - 1;
    if (body.size() != expected) {
        SetWhy(pWhy, what + u" has " + Number(body.size()) + u" characters after \"" + tag +
                         u" \", not the " + Number(expected) + u" of " + Number(nSize) + u" bytes in base64");
        return FALSE;
    }
    size_t decoded = 0;
    const char* pEnd = NULL;
    // No characters are skipped, and the decoder refuses unused bits that are not zero: one key or
    // signature has exactly one line.
    if (0 != sodium_base642bin(pOut, nSize, body.data(), body.size(), NULL, &decoded, &pEnd, kBase64) ||
        decoded != nSize || pEnd != body.data() + body.size()) {
        sodium_memzero(pOut, nSize);
        SetWhy(pWhy, what + u" is not valid base64 text of " + Number(nSize) + u" bytes");
        return FALSE;
    }
    return TRUE;
}

// The digest of the whole file from offset 0: unkeyed BLAKE2b-512, handing every piece read to
// onBytes. The size the file had at the start must be the size read.
BOOL HashFile(HANDLE hFile, const MskPackageBytesFn& onBytes, BYTE (&digest)[kDigestBytes], ULONGLONG* pSize,
              std::u16string* pWhy) {
    DWORD dwHigh = 0;
    SetLastError(ERROR_SUCCESS);
    const DWORD dwLow = GetFileSize(hFile, &dwHigh);
    if (INVALID_FILE_SIZE == dwLow && ERROR_SUCCESS != GetLastError()) {
        SetWhy(pWhy, u"the package's size cannot be read (error " + Number(GetLastError()) + u")");
        return FALSE;
    }
    const ULONGLONG ullSize = (static_cast<ULONGLONG>(dwHigh) << 32) | dwLow;
    LONG lHigh = 0;
    SetLastError(ERROR_SUCCESS);
    if (INVALID_SET_FILE_POINTER == SetFilePointer(hFile, 0, &lHigh, FILE_BEGIN) &&
        ERROR_SUCCESS != GetLastError()) {
        SetWhy(pWhy, u"the package cannot be read from its start (error " + Number(GetLastError()) + u")");
        return FALSE;
    }
    crypto_generichash_state state;
    crypto_generichash_init(&state, NULL, 0, kDigestBytes);
    std::unique_ptr<BYTE[]> piece(new BYTE[MSK_SIGNATURE_PIECE_BYTES]);
    ULONGLONG ullDone = 0;
    for (;;) {
        DWORD dwGot = 0;
        if (!ReadFile(hFile, piece.get(), MSK_SIGNATURE_PIECE_BYTES, &dwGot, NULL)) {
            SetWhy(pWhy, u"reading the package failed at byte " + Number(ullDone) + u" (error " +
                             Number(GetLastError()) + u")");
            return FALSE;
        }
        if (0 == dwGot)
            break;
        crypto_generichash_update(&state, piece.get(), dwGot);
        if (onBytes)
            onBytes(ullDone, piece.get(), dwGot);
        ullDone += dwGot;
    }
    if (ullDone != ullSize) {
        SetWhy(pWhy, u"the package changed its size while it was read: " + Number(ullDone) +
                         u" bytes read, " + Number(ullSize) + u" at the start");
        return FALSE;
    }
    crypto_generichash_final(&state, digest, kDigestBytes);
    *pSize = ullSize;
    return TRUE;
}

} // namespace

MskSecretKey::~MskSecretKey() {
    sodium_memzero(bytes, sizeof(bytes));
}

BOOL MskGenerateKeyPair(std::string* pSecretLine, std::string* pPublicLine) {
    if (!SodiumReady(NULL))
        return FALSE;
    MskSecretKey secret;
    MskPublicKey key;
    if (0 != crypto_sign_ed25519_keypair(key.bytes, secret.bytes))
        return FALSE;
    *pSecretLine = Line(MSK_SECRET_KEY_TAG, secret.bytes, sizeof(secret.bytes));
    *pPublicLine = Line(MSK_PUBLIC_KEY_TAG, key.bytes, sizeof(key.bytes));
    return TRUE;
}

std::string MskPublicKeyLine(const MskSecretKey& key) {
    MskPublicKey publicKey;
    crypto_sign_ed25519_sk_to_pk(publicKey.bytes, key.bytes);
    return Line(MSK_PUBLIC_KEY_TAG, publicKey.bytes, sizeof(publicKey.bytes));
}

BOOL MskParsePublicKey(const std::string& line, MskPublicKey* pKey, std::u16string* pWhy) {
    if (!SodiumReady(pWhy) ||
        !ParseLine(line, MSK_PUBLIC_KEY_TAG, u"the public key", pKey->bytes, sizeof(pKey->bytes), pWhy))
        return FALSE;
    // A point off the curve, or of small order, would refuse or accept signatures for no good reason.
    if (!crypto_core_ed25519_is_valid_point(pKey->bytes)) {
        SetWhy(pWhy, u"the public key is not a usable Ed25519 key");
        return FALSE;
    }
    return TRUE;
}

BOOL MskParseSignature(const std::string& line, MskSignature* pSignature, std::u16string* pWhy) {
    return SodiumReady(pWhy) && ParseLine(line, MSK_SIGNATURE_TAG, u"the signature", pSignature->bytes,
                                          sizeof(pSignature->bytes), pWhy);
}

BOOL MskParseSecretKey(const std::string& line, MskSecretKey* pKey, std::u16string* pWhy) {
    if (!SodiumReady(pWhy) ||
        !ParseLine(line, MSK_SECRET_KEY_TAG, u"the secret key", pKey->bytes, sizeof(pKey->bytes), pWhy))
        return FALSE;
    // The second half is the public key of the first: a damaged file would otherwise sign with a key
    // whose signatures nothing accepts.
    MskPublicKey derived;
    MskSecretKey again;
    crypto_sign_ed25519_seed_keypair(derived.bytes, again.bytes, pKey->bytes);
    if (0 != sodium_memcmp(derived.bytes, pKey->bytes + 32, sizeof(derived.bytes))) {
        sodium_memzero(pKey->bytes, sizeof(pKey->bytes));
        SetWhy(pWhy, u"the secret key is damaged: its public half does not belong to it");
        return FALSE;
    }
    return TRUE;
}

BOOL MskReadKeyFile(LPCWSTR pPath, std::string* pText, std::u16string* pWhy) {
    pText->clear();
    HANDLE hFile = CreateFileW(pPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (INVALID_HANDLE_VALUE == hFile) {
        const DWORD dwError = GetLastError();
        SetWhy(pWhy, ERROR_FILE_NOT_FOUND == dwError || ERROR_PATH_NOT_FOUND == dwError
                         ? u"there is no such file"
                         : u"the file cannot be opened (error " + Number(dwError) + u")");
        SetLastError(dwError);
        return FALSE;
    }
    // One byte beyond the limit, so that the parsers see the text is too long.
    pText->resize(MSK_KEY_FILE_MAX_BYTES + 1);
    size_t nDone = 0;
    BOOL bOk = TRUE;
    DWORD dwError = ERROR_SUCCESS;
    while (nDone < pText->size()) {
        DWORD dwGot = 0;
        if (!ReadFile(hFile, pText->data() + nDone, static_cast<DWORD>(pText->size() - nDone), &dwGot,
                      NULL)) {
            bOk = FALSE;
            dwError = GetLastError();
            break;
        }
        if (0 == dwGot)
            break;
        nDone += dwGot;
    }
    CloseHandle(hFile);
    pText->resize(bOk ? nDone : 0);
    if (!bOk) {
        SetWhy(pWhy, u"the file cannot be read (error " + Number(dwError) + u")");
        SetLastError(dwError);
    }
    return bOk;
}

std::u16string MskSignaturePath(LPCWSTR pPackagePath) {
    return std::u16string(pPackagePath ? pPackagePath : u"") + u".sig";
}

BOOL MskSignPackage(HANDLE hPackage, const MskSecretKey& key, std::string* pSignatureLine,
                    std::u16string* pWhy) {
    if (!SodiumReady(pWhy))
        return FALSE;
    BYTE digest[kDigestBytes];
    ULONGLONG ullSize = 0;
    if (!HashFile(hPackage, MskPackageBytesFn(), digest, &ullSize, pWhy))
        return FALSE;
    MskSignature signature;
    crypto_sign_ed25519_detached(signature.bytes, NULL, digest, sizeof(digest), key.bytes);
    *pSignatureLine = Line(MSK_SIGNATURE_TAG, signature.bytes, sizeof(signature.bytes));
    return TRUE;
}

MskSignatureCheck MskCheckPackageSignature(HANDLE hPackage, const std::string& signatureLine,
                                           const std::string& publicKeyLine, const MskPackageBytesFn& onBytes,
                                           std::u16string* pWhy) {
    SetWhy(pWhy, std::u16string());
    MskPublicKey key;
    if (!MskParsePublicKey(publicKeyLine, &key, pWhy))
        return MSK_SIGNATURE_KEY_MALFORMED;
    if (signatureLine.empty()) {
        SetWhy(pWhy, u"the package has no signature");
        return MSK_SIGNATURE_MISSING;
    }
    MskSignature signature;
    if (!MskParseSignature(signatureLine, &signature, pWhy))
        return MSK_SIGNATURE_MALFORMED;
    BYTE digest[kDigestBytes];
    ULONGLONG ullSize = 0;
    if (!HashFile(hPackage, onBytes, digest, &ullSize, pWhy))
        return MSK_SIGNATURE_READ_FAILED;
    if (0 != crypto_sign_ed25519_verify_detached(signature.bytes, digest, sizeof(digest), key.bytes)) {
        // Ed25519 cannot tell the two apart: both mean the maker's key did not sign these bytes.
        SetWhy(pWhy, u"the signature does not match the package's " + Number(ullSize) +
                         u" bytes under this public key: the package changed after it was signed, or "
                         u"another key signed it");
        return MSK_SIGNATURE_MISMATCH;
    }
    return MSK_SIGNATURE_OK;
}
