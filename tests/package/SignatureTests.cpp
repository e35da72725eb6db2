// Package signatures: a package passes only as the maker signed it, byte for byte, under the maker's
// key; key and signature lines are read strictly; the check hands on exactly the bytes it hashed.
#include "MskTestSupport.h"
#include "package/MskFormat.h"
#include "package/MskSignature.h"
#include "platform/Platform.h"
#include "support/TestSupport.h"
#include "wceui/core/FhScramble.h"

#include <gtest/gtest.h>

#include <random>

using testsupport::ReadHostFile;
using testsupport::WriteHostFile;

namespace {

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

using msktest::RandomBytes;

struct KeyPair {
    std::string secret, pub;
};

KeyPair NewKeys() {
    KeyPair keys;
    EXPECT_TRUE(MskGenerateKeyPair(&keys.secret, &keys.pub));
    return keys;
}

bool Contains(const std::u16string& text, const char16_t* part) {
    return std::u16string::npos != text.find(part);
}

class SignatureTest : public DeviceFolderTest {
protected:
    // A real package: a few small files and one whose incompressible stream spans several of the
    // pieces the file is hashed in.
    std::string Package() {
        msktest::RawPackage p;
        p.key = FhPasswordToKey(MSK_PASSWORD_GPS);
        p.entries = {msktest::Folder(u"config"), msktest::File(u"config\\settings.ini", "[unit]\n"),
                     msktest::File(u"navi.exe", RandomBytes(3 * MSK_SIGNATURE_PIECE_BYTES / 2, 1)),
                     msktest::File(u"version.txt", "2.0\n")};
        return msktest::Build(p);
    }

    HANDLE Open(DWORD dwAccess = GENERIC_READ) {
        return CreateFileW(u"\\p.msk", dwAccess, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    }

    std::string Sign(const std::string& package, const std::string& secretLine) {
        WriteHostFile(Root() + "/p.msk", package);
        MskSecretKey key;
        EXPECT_TRUE(MskParseSecretKey(secretLine, &key, NULL));
        HANDLE h = Open();
        std::string line;
        std::u16string why;
        EXPECT_TRUE(MskSignPackage(h, key, &line, &why)) << WideToUtf8(why);
        CloseHandle(h);
        return line;
    }

    MskSignatureCheck Check(const std::string& package, const std::string& signature, const std::string& pub,
                            std::u16string* pWhy = NULL) {
        WriteHostFile(Root() + "/p.msk", package);
        HANDLE h = Open();
        MskSignatureCheck verdict = MskCheckPackageSignature(h, signature, pub, MskPackageBytesFn(), pWhy);
        CloseHandle(h);
        return verdict;
    }
};

} // namespace

TEST_F(SignatureTest, ASignedPackagePassesAndAnyChangedByteFailsIt) {
    const KeyPair keys = NewKeys();
    const std::string package = Package();
    const std::string signature = Sign(package, keys.secret);
    std::u16string why = u"left over";
    ASSERT_EQ(Check(package, signature, keys.pub, &why), MSK_SIGNATURE_OK);
    EXPECT_EQ(why, u"");

    const size_t tableEnd = FhReadLe32(reinterpret_cast<const BYTE*>(package.data()) + MSK_TABLE_END_OFFSET);
    ASSERT_LT(tableEnd + 100, package.size());
    const size_t places[] = {0,                             // the magic number
                             MSK_CHECK_WORD_OFFSET + 3,     // the header's check word
                             MSK_HEADER_SIZE + 20,          // the scrambled table
                             tableEnd - 1,                  // its last byte
                             tableEnd,                      // the first stream
                             MSK_SIGNATURE_PIECE_BYTES - 1, // both sides of the first piece's end
                             MSK_SIGNATURE_PIECE_BYTES,     //
                             package.size() / 2 + 7,        // inside the large stream
                             package.size() - 1};           // the last byte
    for (size_t at : places) {
        for (int bit : {0, 7}) {
            std::string changed = package;
            changed[at] = static_cast<char>(changed[at] ^ (1 << bit));
            EXPECT_EQ(Check(changed, signature, keys.pub, &why), MSK_SIGNATURE_MISMATCH)
                << at << " bit " << bit;
            EXPECT_TRUE(Contains(why, u"changed after it was signed, or another key signed it"))
                << WideToUtf8(why);
        }
    }
    EXPECT_EQ(Check(package + '\0', signature, keys.pub, &why), MSK_SIGNATURE_MISMATCH);
    EXPECT_TRUE(
        Contains(why, (u"package's " + Utf8ToWide(std::to_string(package.size() + 1)) + u" bytes").c_str()))
        << WideToUtf8(why);
    EXPECT_EQ(Check(package.substr(0, package.size() - 1), signature, keys.pub), MSK_SIGNATURE_MISMATCH);
    EXPECT_EQ(Check(package.substr(0, MSK_SIGNATURE_PIECE_BYTES), signature, keys.pub),
              MSK_SIGNATURE_MISMATCH);
    EXPECT_EQ(Check(std::string(), signature, keys.pub), MSK_SIGNATURE_MISMATCH);
    // The same bytes again pass: nothing above failed for a reason of its own.
    EXPECT_EQ(Check(package, signature, keys.pub), MSK_SIGNATURE_OK);
    // Signing is deterministic: the same key and bytes give the same line.
    EXPECT_EQ(Sign(package, keys.secret), signature);
}

TEST_F(SignatureTest, AnotherKeyOrAnotherPackagesSignatureIsAMismatch) {
    const KeyPair maker = NewKeys();
    const KeyPair other = NewKeys();
    ASSERT_NE(maker.pub, other.pub);
    const std::string package = Package();
    const std::string bySomeoneElse = Sign(package, other.secret);
    std::u16string why;
    EXPECT_EQ(Check(package, bySomeoneElse, maker.pub, &why), MSK_SIGNATURE_MISMATCH);
    EXPECT_TRUE(Contains(why, u"another key signed it")) << WideToUtf8(why);
    EXPECT_EQ(Check(package, bySomeoneElse, other.pub), MSK_SIGNATURE_OK);

    // The maker's genuine signature of another package does not carry over.
    const std::string olderPackage = package.substr(0, package.size() - 100) + std::string(100, 'x');
    const std::string olderSignature = Sign(olderPackage, maker.secret);
    EXPECT_EQ(Check(olderPackage, olderSignature, maker.pub), MSK_SIGNATURE_OK);
    EXPECT_EQ(Check(package, olderSignature, maker.pub), MSK_SIGNATURE_MISMATCH);
}

// The algorithm is what the lines name: plain Ed25519 over the unkeyed BLAKE2b-512 digest of the
// file. The expected line comes from another implementation (Python's hashlib and cryptography) for a
// fixed key and a file that spans two pieces; Ed25519 signatures are deterministic.
TEST_F(SignatureTest, TheSignatureIsEd25519OverTheBlake2bDigestOfTheFile) {
    const std::string secretLine =
        "msk-ed25519-blake2b-secret AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8DoQe/"
        "884Qvh1w3RjnS8CZZ+TWMJulDV8d3IZkElUxuA==\n";
    const std::string publicLine = "msk-ed25519-blake2b-pub A6EHv/POEL4dcN0Y50vAmWfk1jCbpQ1fHdyGZBJVMbg=\n";
    const std::string expected = "msk-ed25519-blake2b-sig sJDhcWkCpw3/eWh09s+htStFEEkpbSuNL7NtF84h/"
                                 "pSeNT+eKmvSw6RglgXKpEXWbeW3WeVqNXUV8qNyyCKzBg==\n";
    std::string file(300000, '\0');
    for (size_t i = 0; i < file.size(); ++i)
        file[i] = static_cast<char>(i * 7 + i / 251);
    ASSERT_GT(file.size(), MSK_SIGNATURE_PIECE_BYTES);
    MskSecretKey key;
    ASSERT_TRUE(MskParseSecretKey(secretLine, &key, NULL));
    EXPECT_EQ(MskPublicKeyLine(key), publicLine);
    EXPECT_EQ(Sign(file, secretLine), expected);
    EXPECT_EQ(Check(file, expected, publicLine), MSK_SIGNATURE_OK);
}

TEST_F(SignatureTest, SignatureLinesAreReadStrictly) {
    const KeyPair keys = NewKeys();
    const std::string package = Package();
    const std::string line = Sign(package, keys.secret); // "msk-ed25519-blake2b-sig " + 88 characters + LF
    ASSERT_EQ(line.size(), 24u + 88u + 1u);
    const std::string text = line.substr(0, line.size() - 1);
    ASSERT_EQ(text.substr(text.size() - 2), "==");

    for (const std::string& good : {line, text, text + "\r\n", text + "\r"}) {
        MskSignature parsed;
        EXPECT_TRUE(MskParseSignature(good, &parsed, NULL)) << good;
        EXPECT_EQ(Check(package, good, keys.pub), MSK_SIGNATURE_OK) << good;
    }

    // The last character before the padding carries 2 bits of the last byte; the rest must be zero.
    std::string nonCanonical = text;
    char& last = nonCanonical[nonCanonical.size() - 3];
    last = kBase64[(std::string(kBase64).find(last) | 1)];
    std::string urlSafe = text;
    for (char& c : urlSafe.replace(24, 2, "+/"))
        c = c == '+' ? '-' : c == '/' ? '_' : c;
    std::string withNul = text;
    withNul[40] = '\0';

    struct Case {
        std::string line;
        const char16_t* why;
    };
    const Case cases[] = {
        {"\n", u"the signature is empty"},
        {text.substr(0, text.size() - 1),
         u"has 87 characters after \"msk-ed25519-blake2b-sig \", not the 88 of 64 bytes"},
        {text.substr(0, 60), u"has 36 characters"},
        {text.substr(0, text.size() - 2) + "AA", u"is not valid base64 text of 64 bytes"},
        {text + "=", u"has 89 characters"},
        {text + "\n\n", u"has 89 characters"},
        {text + " ", u"has 89 characters"},
        {text + "\n" + text, u"has 201 characters"},
        {" " + text, u"does not start with \"msk-ed25519-blake2b-sig \""},
        {"msk-ed25519-blake2b-sig  " + text.substr(24), u"has 89 characters"},
        {"msk-ed25519-blake2b-sig\t" + text.substr(24), u"does not start with"},
        {"MSK-ED25519-BLAKE2B-SIG " + text.substr(24), u"does not start with"},
        {"msk-ed25519-sig " + text.substr(24), u"of another kind or algorithm: \"msk-ed25519-sig\""},
        // Ed25519ph over SHA-512 is another algorithm, whatever its bytes.
        {"msk-ed25519ph-sig " + text.substr(24),
         u"algorithm: \"msk-ed25519ph-sig\", not \"msk-ed25519-blake2b-sig\""},
        {"msk-ed448-sig " + text.substr(24), u"of another kind or algorithm: \"msk-ed448-sig\""},
        {keys.pub, u"of another kind or algorithm: \"msk-ed25519-blake2b-pub\""},
        {"msk-ed25519-blake2b-sig", u"has nothing after"},
        {nonCanonical, u"is not valid base64 text"},
        {urlSafe, u"is not valid base64 text"},
        {withNul, u"is not valid base64 text"},
        {std::string(MSK_KEY_FILE_MAX_BYTES + 1, 'A'), u"the signature is longer than 4096 bytes"},
        {"-----BEGIN SIGNATURE-----", u"does not start with"},
    };
    for (const Case& c : cases) {
        MskSignature parsed;
        std::u16string why;
        EXPECT_FALSE(MskParseSignature(c.line, &parsed, &why)) << c.line;
        EXPECT_TRUE(Contains(why, c.why)) << c.line << ": " << WideToUtf8(why);
        EXPECT_EQ(Check(package, c.line, keys.pub, &why), MSK_SIGNATURE_MALFORMED) << c.line;
    }
    std::u16string why;
    EXPECT_EQ(Check(package, "", keys.pub, &why), MSK_SIGNATURE_MISSING);
    EXPECT_EQ(why, u"the package has no signature");
}

TEST_F(SignatureTest, AKeyThatCannotBeReadRefusesEveryPackageBeforeItIsRead) {
    const KeyPair keys = NewKeys();
    const std::string package = Package();
    const std::string signature = Sign(package, keys.secret);
    const std::string text = keys.pub.substr(0, keys.pub.size() - 1);

    // The registry holds the line without its line end.
    MskPublicKey key;
    EXPECT_TRUE(MskParsePublicKey(text, &key, NULL));
    EXPECT_EQ(Check(package, signature, text), MSK_SIGNATURE_OK);

    struct Case {
        std::string line;
        const char16_t* why;
    };
    const Case cases[] = {
        {"", u"the public key is empty"},
        {text.substr(0, text.size() - 4) + "\n",
         u"has 40 characters after \"msk-ed25519-blake2b-pub \", not the 44"},
        {text + "x", u"has 45 characters"},
        {keys.secret, u"of another kind or algorithm: \"msk-ed25519-blake2b-secret\""},
        {signature, u"of another kind or algorithm: \"msk-ed25519-blake2b-sig\""},
        {"msk-ed25519-blake2b-pub " + text.substr(24, 43) + "!", u"is not valid base64 text of 32 bytes"},
        // Base64 of 32 bytes, but no key: the neutral point (small order), and a value past the prime.
        {"msk-ed25519-blake2b-pub AQ" + std::string(41, 'A') + "=", u"not a usable Ed25519 key"},
        {"msk-ed25519-blake2b-pub " + std::string(42, '/') + "8=", u"not a usable Ed25519 key"},
        {"msk-ed25519ph-pub " + text.substr(24),
         u"algorithm: \"msk-ed25519ph-pub\", not \"msk-ed25519-blake2b-pub\""},
        {"UpdateKey=" + text, u"does not start with \"msk-ed25519-blake2b-pub \""},
    };
    for (const Case& c : cases) {
        std::u16string why;
        EXPECT_FALSE(MskParsePublicKey(c.line, &key, &why)) << c.line;
        EXPECT_TRUE(Contains(why, c.why)) << c.line << ": " << WideToUtf8(why);
        // Refused before the signature is looked at, and before a byte of the package is read.
        bool read = false;
        auto onBytes = [&](ULONGLONG, const BYTE*, size_t) { read = true; };
        for (const std::string& sig : {signature, std::string(), std::string("junk")}) {
            WriteHostFile(Root() + "/p.msk", package);
            HANDLE h = Open();
            EXPECT_EQ(MskCheckPackageSignature(h, sig, c.line, onBytes, &why), MSK_SIGNATURE_KEY_MALFORMED)
                << c.line;
            CloseHandle(h);
        }
        EXPECT_FALSE(read);
    }
}

TEST_F(SignatureTest, SecretKeysHoldTogetherWithTheirPublicKey) {
    const KeyPair keys = NewKeys();
    MskSecretKey secret;
    ASSERT_TRUE(MskParseSecretKey(keys.secret, &secret, NULL));
    EXPECT_EQ(MskPublicKeyLine(secret), keys.pub);
    EXPECT_EQ(keys.secret.rfind("msk-ed25519-blake2b-secret ", 0), 0u);
    EXPECT_EQ(keys.secret.size(), 27u + 88u + 1u);

    // One character of the public half changed: the file is damaged, not another valid key.
    std::string damaged = keys.secret;
    char& c = damaged[27 + 60];
    c = c == 'A' ? 'B' : 'A';
    std::u16string why;
    EXPECT_FALSE(MskParseSecretKey(damaged, &secret, &why));
    EXPECT_TRUE(Contains(why, u"the secret key is damaged")) << WideToUtf8(why);
    EXPECT_FALSE(MskParseSecretKey(keys.pub, &secret, &why));
    EXPECT_TRUE(Contains(why, u"\"msk-ed25519-blake2b-pub\", not \"msk-ed25519-blake2b-secret\""))
        << WideToUtf8(why);
}

TEST_F(SignatureTest, TheCheckHandsOnEveryByteOnceInOrder) {
    const KeyPair keys = NewKeys();
    const std::string package = Package();
    const std::string signature = Sign(package, keys.secret);
    ASSERT_GT(package.size(), MSK_SIGNATURE_PIECE_BYTES + 1);

    // A short read in the middle and a file pointer left anywhere change nothing.
    for (DWORD shortRead : {0u, 1000u}) {
        WriteHostFile(Root() + "/p.msk", package);
        HANDLE h = Open();
        SetFilePointer(h, 12345, NULL, FILE_BEGIN);
        if (shortRead)
            PlatformShortRead(2, shortRead);
        std::string seen;
        ULONGLONG next = 0;
        int pieces = 0;
        auto onBytes = [&](ULONGLONG offset, const BYTE* data, size_t size) {
            EXPECT_EQ(offset, next);
            EXPECT_GT(size, 0u);
            EXPECT_LE(size, MSK_SIGNATURE_PIECE_BYTES);
            seen.append(reinterpret_cast<const char*>(data), size);
            next = offset + size;
            ++pieces;
        };
        EXPECT_EQ(MskCheckPackageSignature(h, signature, keys.pub, onBytes, NULL), MSK_SIGNATURE_OK);
        CloseHandle(h);
        EXPECT_TRUE(seen == package) << seen.size() << " of " << package.size() << " bytes";
        EXPECT_EQ(pieces, static_cast<int>((package.size() + MSK_SIGNATURE_PIECE_BYTES - 1) /
                                           MSK_SIGNATURE_PIECE_BYTES) +
                              (shortRead ? 1 : 0));
        PlatformClearFaults();
    }
}

TEST_F(SignatureTest, APackageThatCannotBeReadIsNeitherSignedNorPassed) {
    const KeyPair keys = NewKeys();
    const std::string package = Package();
    const std::string signature = Sign(package, keys.secret);
    MskSecretKey secret;
    ASSERT_TRUE(MskParseSecretKey(keys.secret, &secret, NULL));

    struct Case {
        const char* what;
        std::function<HANDLE()> open;
        const char16_t* why;
    };
    const Case cases[] = {
        {"no read access", [&] { return Open(GENERIC_WRITE); },
         u"reading the package failed at byte 0 (error 5)"},
        {"the seek to its start fails",
         [&] {
             PlatformFailSeek(1, ERROR_NOT_READY);
             return Open();
         },
         u"cannot be read from its start (error 21)"},
        {"a read ends early",
         [&] {
             PlatformShortRead(2, 0);
             return Open();
         },
         u"changed its size while it was read: 262144 bytes read"},
        {"no file", [] { return INVALID_HANDLE_VALUE; }, u"size cannot be read (error 6)"},
    };
    for (const Case& c : cases) {
        WriteHostFile(Root() + "/p.msk", package);
        std::u16string why;
        HANDLE h = c.open();
        EXPECT_EQ(MskCheckPackageSignature(h, signature, keys.pub, MskPackageBytesFn(), &why),
                  MSK_SIGNATURE_READ_FAILED)
            << c.what;
        EXPECT_TRUE(Contains(why, c.why)) << c.what << ": " << WideToUtf8(why);
        CloseHandle(h);
        PlatformClearFaults();

        h = c.open();
        std::string line = "untouched";
        EXPECT_FALSE(MskSignPackage(h, secret, &line, &why)) << c.what;
        EXPECT_EQ(line, "untouched");
        CloseHandle(h);
        PlatformClearFaults();
    }
}

TEST_F(SignatureTest, KeyFilesAreReadUpToTheirLimit) {
    EXPECT_EQ(MskSignaturePath(u"\\SDMMC\\gpsApp.msk"), u"\\SDMMC\\gpsApp.msk.sig");

    std::string text = "kept";
    std::u16string why;
    EXPECT_FALSE(MskReadKeyFile(u"\\missing.sig", &text, &why));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(why, u"there is no such file");
    EXPECT_EQ(text, "");
    EXPECT_FALSE(MskReadKeyFile(u"\\no-folder\\p.msk.sig", &text, &why));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    const KeyPair keys = NewKeys();
    WriteHostFile(Root() + "/pub.key", keys.pub);
    ASSERT_TRUE(MskReadKeyFile(u"\\pub.key", &text, &why));
    EXPECT_EQ(text, keys.pub);
    WriteHostFile(Root() + "/empty.sig", "");
    ASSERT_TRUE(MskReadKeyFile(u"\\empty.sig", &text, &why));
    EXPECT_EQ(text, "");

    // A file far over the limit is read only one byte past it, which the parser refuses.
    WriteHostFile(Root() + "/huge.sig", keys.pub + std::string(1 << 20, 'A'));
    ASSERT_TRUE(MskReadKeyFile(u"\\huge.sig", &text, &why));
    EXPECT_EQ(text.size(), MSK_KEY_FILE_MAX_BYTES + 1);
    MskPublicKey key;
    EXPECT_FALSE(MskParsePublicKey(text, &key, &why));
    EXPECT_EQ(why, u"the public key is longer than 4096 bytes");
}
