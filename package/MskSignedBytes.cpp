#include "package/MskSignedBytes.h"
#include "wceui/core/FhFileHandle.h"
#include "wceui/core/FhScramble.h"

#include <zlib.h>

#include <algorithm>

namespace {

// The header words up to and including the table's end: the end is known once these have gone by.
const ULONGLONG kTableEndKnown = MSK_TABLE_END_OFFSET + 4;
const size_t kCheckWordOffset = MSK_TABLE_END_OFFSET + 8;

} // namespace

void CMskSignedBytes::Begin(ULONGLONG ullFileSize, DWORD dwKey) {
    *this = CMskSignedBytes();
    m_ullFileSize = ullFileSize;
    m_dwKey = dwKey;
}

MskPackageBytesFn CMskSignedBytes::Callback() {
    return [this](ULONGLONG ullOffset, const BYTE* pData, size_t nSize) { Add(ullOffset, pData, nSize); };
}

void CMskSignedBytes::Fail(const std::u16string& why) {
    if (m_failure.empty())
        m_failure = why;
    m_head.clear();
    m_head.shrink_to_fit();
}

void CMskSignedBytes::Add(ULONGLONG ullOffset, const BYTE* pData, size_t nSize) {
    if (!m_failure.empty())
        return;
    if (ullOffset != m_ullSeen || m_ullSeen + nSize > m_ullFileSize) {
        Fail(
            WFormat(u"the signed bytes do not follow each other at offset %u", static_cast<UINT>(ullOffset)));
        return;
    }
    m_ullSeen += nSize;
    // The header and the table come first; the streams lie after the table (the table check refuses
    // any that do not), so a piece is the rest of the head, then stream bytes.
    size_t nUsed = 0;
    while (!m_bParsed && nUsed < nSize) {
        const ULONGLONG ullWant = 0 == m_ullTableEnd ? kTableEndKnown : m_ullTableEnd;
        const size_t nTake = static_cast<size_t>(std::min<ULONGLONG>(nSize - nUsed, ullWant - m_head.size()));
        m_head.insert(m_head.end(), pData + nUsed, pData + nUsed + nTake);
        nUsed += nTake;
        if (0 == m_ullTableEnd && kTableEndKnown == m_head.size()) {
            m_ullTableEnd = FhReadLe32(&m_head[MSK_TABLE_END_OFFSET]);
            if (m_ullTableEnd < MSK_HEADER_SIZE || m_ullTableEnd > m_ullFileSize) {
                Fail(WFormat(u"the signed header puts the file table's end at %u, outside the file",
                             static_cast<UINT>(m_ullTableEnd)));
                return;
            }
        } else if (0 != m_ullTableEnd && m_head.size() == m_ullTableEnd) {
            ParseTable();
            if (!m_failure.empty())
                return;
        }
    }
    if (m_bParsed && nUsed < nSize)
        AddStreams(ullOffset + nUsed, pData + nUsed, nSize - nUsed);
}

void CMskSignedBytes::ParseTable() {
    const DWORD dwCheckWord = FhReadLe32(&m_head[kCheckWordOffset]);
    BYTE* pTable = m_head.data() + MSK_HEADER_SIZE;
    const DWORD dwLength = static_cast<DWORD>(m_head.size() - MSK_HEADER_SIZE);
    FhScrambleWords(pTable, dwLength, m_dwKey);
    std::u16string detail;
    if (MSK_TABLE_OK != MskParseTable(pTable, dwLength, dwCheckWord, m_ullFileSize, &m_table, &detail)) {
        Fail(u"the signed file table cannot be read: " + detail);
        return;
    }
    m_head.clear();
    m_head.shrink_to_fit();
    m_digests.assign(m_table.entries.size(), 0);
    for (size_t i = 0; i < m_table.entries.size(); ++i) {
        const MskEntry& entry = m_table.entries[i];
        if (MSK_ENTRY_FILE == entry.type && 0 != entry.storedSize)
            m_streams.push_back(i);
    }
    std::sort(m_streams.begin(), m_streams.end(), [this](size_t a, size_t b) {
        return m_table.entries[a].dataOffset < m_table.entries[b].dataOffset;
    });
    m_bParsed = TRUE;
}

// The streams do not overlap (the table check refuses any that do), so in the order of their offsets
// each piece continues the first stream not yet complete and may start the ones after it.
void CMskSignedBytes::AddStreams(ULONGLONG ullStart, const BYTE* pData, size_t nSize) {
    const ULONGLONG ullEnd = ullStart + nSize;
    while (m_nNext < m_streams.size()) {
        const MskEntry& entry = m_table.entries[m_streams[m_nNext]];
        const ULONGLONG ullFrom = entry.dataOffset;
        const ULONGLONG ullTo = ullFrom + entry.storedSize;
        if (ullFrom >= ullEnd)
            return;
        const ULONGLONG ullLow = std::max(ullFrom, ullStart);
        const ULONGLONG ullHigh = std::min(ullTo, ullEnd);
        if (ullHigh > ullLow) {
            DWORD& dwDigest = m_digests[m_streams[m_nNext]];
            dwDigest = static_cast<DWORD>(
                crc32(dwDigest, pData + (ullLow - ullStart), static_cast<uInt>(ullHigh - ullLow)));
        }
        if (ullTo > ullEnd)
            return;
        ++m_nNext;
    }
}

BOOL CMskSignedBytes::MatchesVerified(const CMskUnpacker& unpacker, std::u16string* pWhy) const {
    auto refuse = [pWhy](const std::u16string& why) {
        if (pWhy)
            *pWhy = why;
        return FALSE;
    };
    if (!m_failure.empty())
        return refuse(m_failure);
    if (!m_bParsed || m_ullSeen != m_ullFileSize)
        return refuse(u"the signed bytes end before the file does");
    const HANDLE hHeld = unpacker.GetOpenedHandle();
    DWORD dwHigh = 0;
    const DWORD dwLow = INVALID_HANDLE_VALUE == hHeld ? 0 : GetFileSize(hHeld, &dwHigh);
    if (INVALID_HANDLE_VALUE == hHeld || (static_cast<ULONGLONG>(dwHigh) << 32 | dwLow) != m_ullFileSize)
        return refuse(u"the package's size changed after its signature was checked");
    if (m_table.rootName != unpacker.GetRootName() ||
        static_cast<int>(m_table.entries.size()) != unpacker.GetEntryCount())
        return refuse(u"the verified file table is not the signed one");
    for (size_t i = 0; i < m_table.entries.size(); ++i) {
        const MskEntry& signedEntry = m_table.entries[i];
        const MskEntry* pVerified = unpacker.GetEntry(static_cast<int>(i));
        if (NULL == pVerified || pVerified->type != signedEntry.type || pVerified->path != signedEntry.path ||
            pVerified->dataOffset != signedEntry.dataOffset ||
            pVerified->storedSize != signedEntry.storedSize ||
            pVerified->unpackedSize != signedEntry.unpackedSize)
            return refuse(WFormat(u"the verified entry '%s' is not the signed one",
                                  (NULL == pVerified ? signedEntry : *pVerified).path.c_str()));
        if (MSK_ENTRY_FILE == signedEntry.type &&
            unpacker.GetVerifiedDigest(static_cast<int>(i)) != m_digests[i])
            return refuse(
                WFormat(u"the verified bytes of '%s' are not the signed ones", signedEntry.path.c_str()));
    }
    return TRUE;
}
