// What a signature check saw of a package, kept so that the run which then verifies and unpacks the
// package can tell that it works on those very bytes: the file table the signed bytes hold (read with
// the unit's key, as the unpacker reads it) and the CRC-32 of every file's stored bytes among them,
// both taken as the bytes go by in the check's single pass (MskCheckPackageSignature's onBytes).
//
// After the unpacker's VerifyOpened, its table and the stream digests it recorded must equal these;
// UnpackOpened in turn holds the written streams to the verified digests, so the tree written is the
// tree signed even when the file changes between the reads. The digests are CRC-32, which tells a
// changed or replaced file apart but could be forged to match; a forger would have to write under the
// handle the unpacker holds, and that handle denies writers (Open shares it for reading only), so the
// system itself refuses every writer that goes through it. The digests catch the rest: a file changed
// from outside the system, or a medium swapped under its driver.
#pragma once

#include "package/MskFormat.h"
#include "package/MskSignature.h"
#include "package/MskUnpacker.h"

#include <string>
#include <vector>

class CMskSignedBytes {
public:
    // Starts over for a file of that size whose table is scrambled with that key.
    void Begin(ULONGLONG ullFileSize, DWORD dwKey);
    // One piece of the file; the pieces must follow each other from offset 0 (as MskPackageBytesFn's).
    void Add(ULONGLONG ullOffset, const BYTE* pData, size_t nSize);
    // Add as a callback for MskCheckPackageSignature; this object must outlive its use.
    MskPackageBytesFn Callback();

    // TRUE when the unpacker's last VerifyOpened read the table of the signed bytes and recorded their
    // stream digests, and its file still has the size signed; otherwise FALSE with what differs in
    // pWhy (may be null).
    BOOL MatchesVerified(const CMskUnpacker& unpacker, std::u16string* pWhy) const;

private:
    void ParseTable();
    void AddStreams(ULONGLONG ullStart, const BYTE* pData, size_t nSize);
    void Fail(const std::u16string& why);

    ULONGLONG m_ullFileSize = 0;
    DWORD m_dwKey = 0;
    ULONGLONG m_ullSeen = 0;
    ULONGLONG m_ullTableEnd = 0; // known once the header's table end word has gone by
    std::vector<BYTE> m_head;    // the header and the table, until the table is read
    BOOL m_bParsed = FALSE;
    std::u16string m_failure; // set when the signed bytes cannot be laid over a table
    MskTable m_table;
    std::vector<size_t> m_streams; // the file entries with stored bytes, by data offset
    size_t m_nNext = 0;            // the first of m_streams not yet wholly seen
    std::vector<DWORD> m_digests;  // per table entry
};
