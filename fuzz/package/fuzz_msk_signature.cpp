// Key and signature files as they come from the SD card, the registry or a maker's folder. The input is
// read as a key file is (through the platform, up to its limit) and the text is handed to each parser:
// none may read outside it, a refusal always says why, an accepted secret key gives a public key that
// is accepted too, and a small package signed at start-up passes a check only under exactly its own
// signature and public key lines (up to the line end): every other accepted line is a mismatch.
#include "../res/FuzzDevice.h"
#include "package/MskSignature.h"
#include "platform/WinCe.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

struct Signed {
    std::string publicLine;
    std::string signatureLine;
};

// A key pair and the signature of a small package file, made once.
const Signed& SignedPackage() {
    static const Signed made = [] {
        Signed s;
        std::string secretLine;
        MskSecretKey key;
        std::string package(3000, '\0');
        for (size_t i = 0; i < package.size(); ++i)
            package[i] = static_cast<char>(i * 7 + i / 251);
        FuzzWriteFile("p.msk", package.data(), package.size());
        HANDLE h = CreateFileW(u"\\p.msk", GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
        if (!MskGenerateKeyPair(&secretLine, &s.publicLine) || !MskParseSecretKey(secretLine, &key, NULL) ||
            !MskSignPackage(h, key, &s.signatureLine, NULL))
            abort();
        CloseHandle(h);
        return s;
    }();
    return made;
}

std::string WithoutLineEnd(std::string line) {
    if (!line.empty() && '\n' == line.back())
        line.pop_back();
    if (!line.empty() && '\r' == line.back())
        line.pop_back();
    return line;
}

MskSignatureCheck Check(const std::string& signatureLine, const std::string& publicLine) {
    HANDLE h = CreateFileW(u"\\p.msk", GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    MskSignatureCheck verdict =
        MskCheckPackageSignature(h, signatureLine, publicLine, MskPackageBytesFn(), NULL);
    CloseHandle(h);
    return verdict;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Signed& genuine = SignedPackage();
    FuzzWriteFile("line.txt", data, size);
    std::string line;
    // The file is read up to one byte past the limit, and nothing else is read.
    if (!MskReadKeyFile(u"\\line.txt", &line, NULL) ||
        line != std::string(reinterpret_cast<const char*>(data),
                            std::min<size_t>(size, MSK_KEY_FILE_MAX_BYTES + 1)))
        abort();

    std::u16string why;
    MskSignature signature;
    const bool isSignature = MskParseSignature(line, &signature, &why);
    if (!isSignature && why.empty())
        abort();
    why.clear();
    MskPublicKey publicKey;
    const bool isPublicKey = MskParsePublicKey(line, &publicKey, &why);
    if (!isPublicKey && why.empty())
        abort();
    why.clear();
    MskSecretKey secretKey;
    const bool isSecretKey = MskParseSecretKey(line, &secretKey, &why);
    if (!isSecretKey && why.empty())
        abort();
    if (isSecretKey && !MskParsePublicKey(MskPublicKeyLine(secretKey), &publicKey, NULL))
        abort();
    if (int(isSignature) + int(isPublicKey) + int(isSecretKey) > 1)
        abort();

    const std::string text = WithoutLineEnd(line);
    const MskSignatureCheck asSignature = Check(line, genuine.publicLine);
    const MskSignatureCheck expectedAsSignature = line.empty()   ? MSK_SIGNATURE_MISSING
                                                  : !isSignature ? MSK_SIGNATURE_MALFORMED
                                                  : text == WithoutLineEnd(genuine.signatureLine)
                                                      ? MSK_SIGNATURE_OK
                                                      : MSK_SIGNATURE_MISMATCH;
    if (asSignature != expectedAsSignature)
        abort();
    const MskSignatureCheck asKey = Check(genuine.signatureLine, line);
    const MskSignatureCheck expectedAsKey = !isPublicKey ? MSK_SIGNATURE_KEY_MALFORMED
                                            : text == WithoutLineEnd(genuine.publicLine)
                                                ? MSK_SIGNATURE_OK
                                                : MSK_SIGNATURE_MISMATCH;
    if (asKey != expectedAsKey)
        abort();
    return 0;
}
