// Detached signatures of update packages: the maker signs every byte of the package file with a
// secret key, and whoever holds the matching public key can tell that the file is the one the maker
// signed. The signature lives beside the package in "<package>.sig"; the package format is unchanged.
//
// The algorithm is Ed25519 (plain, as RFC 8032 defines it) over the 64-byte BLAKE2b-512 digest of the
// whole file (unkeyed), so that a package of any size is hashed in one pass of bounded pieces and never
// held in memory; BLAKE2b rather than SHA-512 because it hashes about twice as fast, and a large
// package is read at the speed of its hash. Keys and signatures are one line of text each, whose first
// word names what the line holds and its algorithm, so that a line of another algorithm is refused:
//
//     msk-ed25519-blake2b-pub <base64 of the 32-byte public key>
//     msk-ed25519-blake2b-sig <base64 of the 64-byte signature>
//     msk-ed25519-blake2b-secret <base64 of the 64-byte secret key: the seed, then its public key>
//
// A line is read strictly: exactly that word, one space and the canonical base64 text (padded, the
// standard alphabet), then optionally CR and/or LF, and nothing else.
#pragma once

#include "platform/WinCe.h"

#include <functional>
#include <string>

#define MSK_PUBLIC_KEY_BYTES 32u
#define MSK_SECRET_KEY_BYTES 64u
#define MSK_SIGNATURE_BYTES 64u
// The most a key or signature file may hold; its line is about a hundred bytes.
#define MSK_KEY_FILE_MAX_BYTES 4096u
// The pieces a package is read in while it is hashed.
#define MSK_SIGNATURE_PIECE_BYTES (256u * 1024u)

#define MSK_PUBLIC_KEY_TAG "msk-ed25519-blake2b-pub"
#define MSK_SIGNATURE_TAG "msk-ed25519-blake2b-sig"
#define MSK_SECRET_KEY_TAG "msk-ed25519-blake2b-secret"

struct MskPublicKey {
    BYTE bytes[MSK_PUBLIC_KEY_BYTES] = {};
};

struct MskSignature {
    BYTE bytes[MSK_SIGNATURE_BYTES] = {};
};

// Wiped from memory when it goes.
struct MskSecretKey {
    BYTE bytes[MSK_SECRET_KEY_BYTES] = {};
    MskSecretKey() = default;
    MskSecretKey(const MskSecretKey&) = default;
    MskSecretKey& operator=(const MskSecretKey&) = default;
    ~MskSecretKey();
};

// A new key pair, as the lines of its two files (each ending in LF). FALSE only when the system gives
// no randomness.
BOOL MskGenerateKeyPair(std::string* pSecretLine, std::string* pPublicLine);

// The public key line (ending in LF) that belongs to a secret key.
std::string MskPublicKeyLine(const MskSecretKey& key);

// Each reads one line as described above, with a trailing CR/LF or none. FALSE with the reason in
// pWhy (may be null) when the line is empty, longer than MSK_KEY_FILE_MAX_BYTES, names another kind or
// algorithm, or its base64 text is not exactly the canonical text of the key's or signature's bytes.
// A public key must also be a usable Ed25519 key, and the two halves of a secret key must belong
// together.
BOOL MskParsePublicKey(const std::string& line, MskPublicKey* pKey, std::u16string* pWhy);
BOOL MskParseSignature(const std::string& line, MskSignature* pSignature, std::u16string* pWhy);
BOOL MskParseSecretKey(const std::string& line, MskSecretKey* pKey, std::u16string* pWhy);

// Reads a key or signature file: its first MSK_KEY_FILE_MAX_BYTES + 1 bytes at most, so that the
// parsers above refuse a file that is too long without it ever being read whole. FALSE when the file
// cannot be opened or read, with the platform's error code kept for GetLastError (ERROR_FILE_NOT_FOUND
// or ERROR_PATH_NOT_FOUND: there is no such file) and the reason in pWhy (may be null).
BOOL MskReadKeyFile(LPCWSTR pPath, std::string* pText, std::u16string* pWhy);

// Where a package's signature is kept: the package's path followed by ".sig".
std::u16string MskSignaturePath(LPCWSTR pPackagePath);

// Signs the whole file behind hPackage, read from offset 0 to its end in pieces of at most
// MSK_SIGNATURE_PIECE_BYTES (the file pointer is left at the end). pSignatureLine receives the
// signature file's line, ending in LF. FALSE when the file cannot be read, with the reason in pWhy.
BOOL MskSignPackage(HANDLE hPackage, const MskSecretKey& key, std::string* pSignatureLine,
                    std::u16string* pWhy);

enum MskSignatureCheck {
    MSK_SIGNATURE_OK = 0,
    MSK_SIGNATURE_MISSING,       // no signature line was given
    MSK_SIGNATURE_MALFORMED,     // the signature line cannot be read
    MSK_SIGNATURE_KEY_MALFORMED, // the public key line cannot be read
    MSK_SIGNATURE_MISMATCH,      // another key made the signature, or the package changed since
    MSK_SIGNATURE_READ_FAILED,   // the package could not be read to its end
};

// Called with every piece of the package as it is read: its offset in the file, its bytes and their
// count. The pieces follow each other without gap or overlap from offset 0 to the end.
typedef std::function<void(ULONGLONG ullOffset, const BYTE* pData, size_t nSize)> MskPackageBytesFn;

// Checks the signature of the whole file behind hPackage against a public key. The key is read
// first (a key that cannot be read refuses every package), then the signature (an empty line means
// there is none, so a caller tells an empty signature file apart itself); only then is the file read,
// once, from offset 0 to its end in pieces of at most MSK_SIGNATURE_PIECE_BYTES, each handed to
// onBytes (may be empty) as it is hashed, so that a caller can compute its own digests of the very
// bytes the signature covers in the same pass. onBytes is not called when the check ends before the
// read, and has seen only a part of the file when the read fails. The size the file had when the check
// began must be the size read. pWhy (may be null) receives what is wrong, or an empty text for
// MSK_SIGNATURE_OK.
MskSignatureCheck MskCheckPackageSignature(HANDLE hPackage, const std::string& signatureLine,
                                           const std::string& publicKeyLine, const MskPackageBytesFn& onBytes,
                                           std::u16string* pWhy);
