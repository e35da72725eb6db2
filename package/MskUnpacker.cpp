#include "package/MskUnpacker.h"
#include "wceui/core/FhDirectories.h"
#include "wceui/core/FhScramble.h"
#include "package/MskInflate.h"
#include "wceui/core/FhFileHandle.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/core/WceUiRecord.h"

#include <isa-l/crc.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

// Output file creation is tried this many times in a row before the unpacker gives up.
const int kCreateAttempts = 4;

// A grow-only buffer: one allocation serves every file of a run, and is not zeroed first.
class CGrowBuffer {
public:
    BYTE* Get(size_t size) {
        if (size > m_capacity || !m_p) {
            m_p.reset(new (std::nothrow) BYTE[size ? size : 1]);
            m_capacity = m_p ? size : 0;
        }
        return m_p.get();
    }
    void Free() {
        m_p.reset();
        m_capacity = 0;
    }
    size_t Capacity() const { return m_capacity; }

private:
    std::unique_ptr<BYTE[]> m_p;
    size_t m_capacity = 0;
};

HANDLE OpenForReading(LPCWSTR pPath) {
    return CreateFileW(pPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
}

BOOL ReadExactly(HANDLE h, void* pBuffer, DWORD dwSize) {
    DWORD dwRead = 0;
    return ReadFile(h, pBuffer, dwSize, &dwRead, NULL) && dwRead == dwSize;
}

ULONGLONG FileSize(HANDLE h) {
    DWORD dwHigh = 0;
    DWORD dwLow = GetFileSize(h, &dwHigh);
    if (INVALID_FILE_SIZE == dwLow && NO_ERROR != GetLastError())
        return 0;
    return static_cast<ULONGLONG>(dwHigh) << 32 | dwLow;
}

// Reads of the package through one buffer. The streams of small files lie back to back, so one read
// of the package serves many of them, where a seek and a read for each would cost two system calls
// per file: most of the time of a check of many tiny files. Reads as long as the buffer go straight
// to their destination. An unpack reads each stream when it writes it (unbuffered), so that bytes
// changed under the handle after the check are found in the stream they change.
class CReadWindow {
public:
    void Reset(bool buffered) {
        m_valid = false;
        m_buffered = buffered;
    }
    size_t Capacity() const { return m_buffer.Capacity(); }

    // Moves to offset: inside the buffered bytes without a system call, else with SetFilePointer
    // (FALSE, with its error, when that fails).
    BOOL Seek(HANDLE h, ULONGLONG offset) {
        if (m_buffered && m_valid && offset >= m_start && offset <= m_start + m_length) {
            m_cursor = offset;
            return TRUE;
        }
        m_valid = false;
        LONG lHigh = static_cast<LONG>(offset >> 32);
        if (INVALID_SET_FILE_POINTER == SetFilePointer(h, static_cast<LONG>(offset), &lHigh, FILE_BEGIN) &&
            NO_ERROR != GetLastError())
            return FALSE;
        m_valid = true;
        m_start = m_cursor = offset;
        m_length = 0;
        return TRUE;
    }

    // Reads exactly length bytes at the position Seek set; false on a failed or short read.
    bool Read(HANDLE h, BYTE* out, size_t length, size_t capacity) {
        if (!m_buffered)
            return ReadExactly(h, out, static_cast<DWORD>(length));
        if (!m_valid)
            return false;
        size_t take = std::min(length, static_cast<size_t>(m_start + m_length - m_cursor));
        if (take > 0) {
            std::memcpy(out, m_buffer.Get(capacity) + (m_cursor - m_start), take);
            m_cursor += take;
            out += take;
            length -= take;
        }
        if (0 == length)
            return true;
        // The file's own position is at the end of the buffered bytes, which is the cursor.
        if (length >= capacity) {
            m_valid = ReadExactly(h, out, static_cast<DWORD>(length));
            m_start = m_cursor += length;
            m_length = 0;
            return m_valid;
        }
        BYTE* buffer = m_buffer.Get(capacity);
        DWORD dwRead = 0;
        if (NULL == buffer || !ReadFile(h, buffer, static_cast<DWORD>(capacity), &dwRead, NULL) ||
            dwRead < length) {
            m_valid = false;
            return false;
        }
        m_start = m_cursor;
        m_length = dwRead;
        std::memcpy(out, buffer, length);
        m_cursor += length;
        return true;
    }

private:
    CGrowBuffer m_buffer;
    bool m_valid = false;
    bool m_buffered = false;
    ULONGLONG m_start = 0;  // the package offset of the buffer's first byte
    ULONGLONG m_length = 0; // bytes of the package in the buffer
    ULONGLONG m_cursor = 0; // the next byte to read
};

// The header fields the reader needs, read as the unpacker reads them: the magic, then the 12 bytes at
// offset 32.
enum HeaderResult { HEADER_OK, HEADER_BAD_MAGIC, HEADER_SHORT };

HeaderResult ReadHeader(HANDLE h, DWORD* pTableEnd, DWORD* pCheckWord) {
    BYTE magic[2];
    if (!ReadExactly(h, magic, 2) || (magic[0] | magic[1] << 8) != MSK_MAGIC)
        return HEADER_BAD_MAGIC;
    SetFilePointer(h, MSK_TABLE_END_OFFSET, NULL, FILE_BEGIN);
    BYTE words[12];
    if (!ReadExactly(h, words, sizeof(words)))
        return HEADER_SHORT;
    *pTableEnd = FhReadLe32(words);
    *pCheckWord = FhReadLe32(words + 8);
    return HEADER_OK;
}

// Reads and checks the unscrambled table, dropping its bytes once the entries are read: the path
// checks of a large table then share the memory with the entries alone.
MskTableResult ParseTable(std::unique_ptr<BYTE[]>& table, DWORD length, DWORD checkWord, ULONGLONG fileSize,
                          MskTable* out, std::u16string* detail, const char** reason,
                          std::u16string* entryPath) {
    MskTableResult result =
        MskReadTableEntries(table.get(), length, checkWord, fileSize, out, detail, entryPath);
    table.reset();
    return MSK_TABLE_OK == result ? MskCheckTablePaths(*out, detail, reason) : result;
}

// What a tool shows after the error key of a refused table.
std::u16string TableProblem(MskTableResult result, const std::u16string& detail, const char* pReason) {
    switch (result) {
        case MSK_TABLE_OK:
            return std::u16string();
        case MSK_TABLE_CHECK_WORD:
            return u"the check word does not match: wrong password or changed file";
        case MSK_TABLE_BAD_NAME:
            return u"the root folder name does not end where its length says: wrong password?";
        case MSK_TABLE_UNSAFE_PATH:
            return u"entry '" + detail + u"': " + Utf8ToWide(pReason ? pReason : "unsafe path");
        default:
            return detail;
    }
}

// The temporary name of an output file: beside it, so that the rename stays on its volume, with
// ".part~" and, after the first, a number appended; shortened at its end where the longer path would
// pass the device's limit. The first of these names that is free is taken, so that neither a file of
// the package nor one left by an interrupted run is written over.
std::u16string TempOutputName(const std::u16string& full) {
    const size_t nameStart = full.find_last_of(u"\\/") + 1; // 0 without a separator
    std::u16string candidate;
    for (int n = 0; n < 100; ++n) {
        std::u16string suffix = n ? WFormat(u".part~%d", n) : std::u16string(u".part~");
        size_t keep = full.size();
        if (keep + suffix.size() >= MAX_PATH) // (one unit of the name stays, fitting or not)
            keep = std::max(nameStart + 1, static_cast<size_t>(MAX_PATH - 1) - suffix.size());
        candidate = full.substr(0, keep) + suffix;
        if (INVALID_FILE_ATTRIBUTES == GetFileAttributesW(candidate.c_str()))
            break;
    }
    return candidate;
}

// The text form of an operation's result for the callers that take the unit's keys: the key or
// message of a failure, an empty text after a success; a call refused for its arguments, which
// has no result, leaves the text alone.
BOOL WithKey(BOOL bResult, const MskResult& result, std::u16string& errorOut) {
    if (bResult || !result.Ok())
        errorOut = MskResultKey(result);
    return bResult;
}

} // namespace

struct CMskUnpacker::CMskUnpackerData {
    DWORD dwKey = 0;
    std::u16string packagePath;
    std::u16string destFolder;
    MskResult result; // of the last operation
    std::u16string rootName;
    std::vector<MskEntry> entries;
    MskProgressCallback pCallback = NULL;
    LPVOID pContext = NULL;
    MskByteProgressCallback pByteCallback = NULL;
    LPVOID pByteContext = NULL;
    ULONGLONG ullFilesDone = 0; // unpacked bytes of the files finished in the current walk
    ULONGLONG ullFilesTotal = 0;
    CGrowBuffer stored;
    CGrowBuffer unpacked;
    CReadWindow window; // reads the streams; set anew by every walk
    MskDecodeOptions options;
    MskWriteOptions writeOptions;
    const MskEntry* pCurrent = NULL; // the entry a walk is at, named by its failures
    std::u16string outPath;          // the name the output file being written was created under
    std::unique_ptr<CMskStreamInflater> inflater;
    std::u16string problem; // why the last table was refused, when it was
    size_t highWater = 0;
    // The package Open holds for VerifyOpened and UnpackOpened, and what VerifyOpened saw of it.
    CFhFileHandle held;
    std::u16string heldPath;
    DWORD dwHeldKey = 0;
    BOOL bHeldVerified = FALSE;
    BOOL bHeldTable = FALSE; // the table is the one Open read from the held package
    ULONGLONG ullHeldSize = 0;
    std::vector<DWORD> digests; // per table entry: the stored bytes' CRC-32 (files only)
    // Set while a walk records (Verify) or checks (Unpack) the digests.
    enum { DIGEST_NONE, DIGEST_RECORD, DIGEST_CHECK } digestMode = DIGEST_NONE;

    void NoteMemory() {
        size_t now = stored.Capacity() + unpacked.Capacity() + window.Capacity() +
                     (inflater ? inflater->MemoryBytes() : 0);
        highWater = std::max(highWater, now);
    }
    CMskStreamInflater& Inflater() {
        if (!inflater)
            inflater.reset(new CMskStreamInflater(options.pieceSize, options.isal));
        return *inflater;
    }
};

CMskUnpacker::CMskUnpacker() : m_pData(WceUiNewRecord<CMskUnpackerData>("CMskUnpacker")) {}

CMskUnpacker::CMskUnpacker(MskProgressCallback pCallback, LPVOID pContext) : CMskUnpacker() {
    SetProgressCallback(pCallback, pContext);
}

CMskUnpacker::~CMskUnpacker() = default;

void CMskUnpacker::Close() {
    CMskUnpackerData* d = GetData();
    if (NULL == d)
        return;
    d->held.Close();
    d->heldPath.clear();
    d->bHeldVerified = FALSE;
    d->digests.clear();
}

CMskUnpacker::CMskUnpackerData* CMskUnpacker::GetData() const {
    return m_pData.get();
}

void CMskUnpacker::SetProgressCallback(MskProgressCallback pCallback, LPVOID pContext) {
    CMskUnpackerData* d = GetData();
    if (NULL == d)
        return;
    d->pCallback = pCallback;
    d->pContext = pContext;
}

void CMskUnpacker::Reset() {
    CMskUnpackerData* d = GetData();
    if (NULL == d)
        return;
    d->packagePath.clear();
    d->destFolder.clear();
    d->result = MskResult();
    d->rootName.clear();
    d->entries.clear();
    d->entries.shrink_to_fit();
    d->stored.Free();
    d->unpacked.Free();
    d->window = CReadWindow();
    d->bHeldTable = FALSE;
    d->problem.clear();
    d->highWater = 0;
}

void CMskUnpacker::SetDecodeOptions(const MskDecodeOptions& options) {
    CMskUnpackerData* d = GetData();
    if (NULL == d)
        return;
    d->options = options;
    d->inflater.reset();
}

void CMskUnpacker::SetWriteOptions(const MskWriteOptions& options) {
    CMskUnpackerData* d = GetData();
    if (NULL != d)
        d->writeOptions = options;
}

LPCWSTR CMskUnpacker::GetTableProblem() const {
    CMskUnpackerData* d = GetData();
    return d ? d->problem.c_str() : u"";
}

size_t CMskUnpacker::GetBufferHighWater() const {
    CMskUnpackerData* d = GetData();
    return d ? d->highWater : 0;
}

BOOL CMskUnpacker::Open(LPCWSTR pPackagePath, DWORD dwKey, MskResult& resultOut) {
    CMskUnpackerData* d = GetData();
    if (NULL == d || !WCEUI_CHECK("CMskUnpacker::Open", NULL != pPackagePath))
        return FALSE;
    Reset();
    Close();
    d->packagePath = pPackagePath;
    d->dwKey = dwKey;

    CFhFileHandle file(OpenForReading(pPackagePath));
    MskTable table;
    // Anything the unpack would refuse later is refused here, before the caller clears the old tree.
    if (!file.IsValid())
        Fail(MskFailure::OpenFailed, d->packagePath, GetLastError());
    else
        ReadFileTable(file.Get(), &table);
    if (!d->result.Ok()) {
        d->result.stage = MskStage::Open;
        resultOut = d->result;
        return FALSE;
    }
    // The handle keeps writers out, so the table read here is the one VerifyOpened checks.
    d->rootName = std::move(table.rootName);
    d->entries = std::move(table.entries);
    d->bHeldTable = TRUE;
    d->ullHeldSize = FileSize(file.Get());
    d->held.Reset(file.Release());
    d->heldPath = pPackagePath;
    d->dwHeldKey = dwKey;
    return TRUE;
}

BOOL CMskUnpacker::Open(LPCWSTR pPackagePath, DWORD dwKey, std::u16string& errorOut) {
    MskResult result;
    if (Open(pPackagePath, dwKey, result))
        return TRUE; // the text is left alone
    return WithKey(FALSE, result, errorOut);
}

BOOL CMskUnpacker::ReadFileTable(HANDLE hPackage, MskTable* pTable) {
    CMskUnpackerData* d = m_pData.get();
    d->result.stage = MskStage::Table;
    DWORD dwTableEnd = 0, dwCheckWord = 0;
    HeaderResult header = ReadHeader(hPackage, &dwTableEnd, &dwCheckWord);
    if (HEADER_BAD_MAGIC == header)
        return Fail(MskFailure::NotAPackage, d->packagePath);
    if (HEADER_SHORT == header)
        return Fail(MskFailure::TableUnreadable, d->packagePath);
    if (dwTableEnd < MSK_HEADER_SIZE) {
        Fail(MskFailure::TableDamaged, d->packagePath);
        d->result.detail = WFormat(u"table end %u is below %u", dwTableEnd, MSK_HEADER_SIZE);
        return FALSE;
    }
    const ULONGLONG fileSize = FileSize(hPackage);
    const DWORD dwTableLength = dwTableEnd - MSK_HEADER_SIZE;
    // A table that ends beyond the file could only be read short; nothing is allocated for it.
    std::unique_ptr<BYTE[]> table;
    if (dwTableEnd <= fileSize)
        table.reset(new (std::nothrow) BYTE[dwTableLength ? dwTableLength : 1]);
    if (!table || !ReadExactly(hPackage, table.get(), dwTableLength))
        return Fail(MskFailure::TableUnreadable, d->packagePath);

    FhScrambleWords(table.get(), dwTableLength, d->dwKey);
    std::u16string detail, entryPath;
    const char* pReason = NULL;
    MskTableResult result =
        ParseTable(table, dwTableLength, dwCheckWord, fileSize, pTable, &detail, &pReason, &entryPath);
    d->problem = TableProblem(result, detail, pReason);
    switch (result) {
        case MSK_TABLE_OK:
            return TRUE;
        case MSK_TABLE_CHECK_WORD:
            return Fail(MskFailure::WrongPassword, d->packagePath);
        case MSK_TABLE_BAD_NAME:
            return Fail(MskFailure::RootNameUnterminated, d->packagePath);
        case MSK_TABLE_UNSAFE_PATH:
            Fail(MskFailure::UnsafePath, d->packagePath);
            d->result.entry = detail;
            d->result.detail = Utf8ToWide(pReason ? pReason : "unsafe path");
            return FALSE;
        default:
            Fail(MSK_TABLE_CUT == result ? MskFailure::PackageCut : MskFailure::TableDamaged, d->packagePath);
            d->result.detail = detail;
            d->result.entry = entryPath;
            return FALSE;
    }
}

BOOL CMskUnpacker::LoadFileTable(HANDLE hPackage) {
    CMskUnpackerData* d = m_pData.get();
    CFhFileHandle opened;
    if (INVALID_HANDLE_VALUE == hPackage) {
        opened.Reset(OpenForReading(d->packagePath.c_str()));
        if (!opened.IsValid()) {
            Fail(MskFailure::OpenFailed, d->packagePath, GetLastError());
            d->result.stage = MskStage::Table;
            return FALSE;
        }
        hPackage = opened.Get();
    } else {
        SetFilePointer(hPackage, 0, NULL, FILE_BEGIN);
    }
    MskTable parsed;
    if (!ReadFileTable(hPackage, &parsed))
        return FALSE;
    d->result.stage = MskStage::Entries;
    d->rootName = std::move(parsed.rootName);
    d->entries = std::move(parsed.entries);
    return TRUE;
}

BOOL CMskUnpacker::Fail(MskFailure failure, const std::u16string& path, DWORD dwError,
                        const MskEntry* pEntry) {
    CMskUnpackerData* d = m_pData.get();
    const MskStage stage = d->result.stage;
    d->result = MskResult();
    d->result.failure = failure;
    d->result.stage = stage;
    d->result.path = path;
    d->result.systemError = dwError;
    if (NULL == pEntry)
        pEntry = d->pCurrent;
    if (NULL != pEntry)
        d->result.entry = pEntry->path;
    return FALSE;
}

BOOL CMskUnpacker::FailTooLong(const MskEntry& entry) {
    CMskUnpackerData* d = m_pData.get();
    Fail(MskFailure::PathTooLong, d->destFolder, 0, &entry);
    d->problem = u"entry '" + entry.path + u"': path too long for this destination";
    return FALSE;
}

BOOL CMskUnpacker::Unpack(LPCWSTR pPackagePath, LPCWSTR pDestFolder, DWORD dwKey, std::u16string& errorOut) {
    MskResult result;
    return WithKey(Unpack(pPackagePath, pDestFolder, dwKey, result), result, errorOut);
}

BOOL CMskUnpacker::Unpack(LPCWSTR pPackagePath, LPCWSTR pDestFolder, DWORD dwKey, MskResult& resultOut) {
    CMskUnpackerData* d = GetData();
    if (NULL == d || !WCEUI_CHECK("CMskUnpacker::Unpack", NULL != pPackagePath && NULL != pDestFolder))
        return FALSE;
    Reset();
    d->packagePath = pPackagePath;
    d->destFolder = pDestFolder;
    d->dwKey = dwKey;

    BOOL bResult = FALSE;
    DWORD dwAttributes = GetFileAttributesW(pPackagePath);
    if (INVALID_FILE_ATTRIBUTES == dwAttributes || 0 != (dwAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        Fail(MskFailure::PackageNotAFile, d->packagePath);
    } else if (INVALID_FILE_ATTRIBUTES == (dwAttributes = GetFileAttributesW(pDestFolder)) ||
               0 == (dwAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        Fail(MskFailure::DestinationNotAFolder, d->destFolder);
    } else if (LoadFileTable()) {
        auto appendFolder = [](std::u16string& folder, const std::u16string& name) {
            if (!folder.empty() && (u'\\' == folder.back() || u'/' == folder.back()))
                folder.pop_back();
            folder += u'\\';
            folder += name;
        };
        std::u16string target = d->destFolder;
        appendFolder(target, d->rootName);
        appendFolder(target, u"");
        d->destFolder = target;

        // Every path must fit below this destination; that is known before anything is written.
        const MskEntry* pTooLong = NULL;
        for (const MskEntry& entry : d->entries) {
            // (A target that is too long itself is reported when it cannot be created.)
            if ((MSK_ENTRY_FOLDER == entry.type || MSK_ENTRY_FILE == entry.type) &&
                target.size() < MAX_PATH && target.size() + entry.path.size() >= MAX_PATH) {
                pTooLong = &entry;
                break;
            }
        }
        dwAttributes = GetFileAttributesW(target.c_str());
        if (NULL != pTooLong) {
            FailTooLong(*pTooLong);
        } else if (INVALID_FILE_ATTRIBUTES == dwAttributes && !WceUiCreateDirectories(target.c_str())) {
            Fail(MskFailure::TargetFolderFailed, target, GetLastError());
        } else if (INVALID_FILE_ATTRIBUTES != dwAttributes &&
                   0 == (dwAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            Fail(MskFailure::TargetNotAFolder, target);
        } else {
            bResult = ExtractAll();
        }
    }
    resultOut = d->result;
    return bResult;
}

BOOL CMskUnpacker::Progress(LONG nIndex, const MskEntry& entry) {
    CMskUnpackerData* d = m_pData.get();
    if (NULL != d->pCallback &&
        !d->pCallback(d->pContext, nIndex, entry.path.c_str(), static_cast<LONG>(d->entries.size()))) {
        Fail(MskFailure::Cancelled, entry.path, 0, &entry);
        return FALSE;
    }
    return TRUE;
}

void CMskUnpacker::SetByteProgressCallback(MskByteProgressCallback pCallback, LPVOID pContext) {
    CMskUnpackerData* d = GetData();
    if (NULL == d)
        return;
    d->pByteCallback = pCallback;
    d->pByteContext = pContext;
}

void CMskUnpacker::ByteProgress(ULONGLONG ullDone) {
    CMskUnpackerData* d = m_pData.get();
    if (NULL != d->pByteCallback)
        d->pByteCallback(d->pByteContext, ullDone, d->ullFilesTotal);
}

BOOL CMskUnpacker::ExtractAll() {
    return WalkEntries(TRUE);
}

// Every folder first, then every file, each followed by the progress callback; bWrite creates the
// folders and writes the files, otherwise the streams are only decompressed and checked.
BOOL CMskUnpacker::WalkEntries(BOOL bWrite, HANDLE hPackage) {
    CMskUnpackerData* d = m_pData.get();
    CFhFileHandle opened;
    if (INVALID_HANDLE_VALUE == hPackage) {
        opened.Reset(OpenForReading(d->packagePath.c_str()));
        if (!opened.IsValid())
            return Fail(MskFailure::OpenFailed, d->packagePath, GetLastError());
        hPackage = opened.Get();
    }
    // The entry a failure names is the one the walk is at, and none once the walk is over.
    struct CurrentEntry {
        const MskEntry*& p;
        ~CurrentEntry() { p = NULL; }
    } current{d->pCurrent};
    if (CMskUnpackerData::DIGEST_RECORD == d->digestMode)
        d->digests.assign(d->entries.size(), 0);
    d->ullFilesDone = 0;
    d->ullFilesTotal = GetUnpackedTotal();
    d->window.Reset(!bWrite);
    LONG nIndex = 0;
    std::u16string path;
    for (const MskEntry& entry : d->entries) {
        if (MSK_ENTRY_FOLDER != entry.type)
            continue;
        if (bWrite) {
            path.assign(d->destFolder).append(entry.path);
            if (!WceUiCreateDirectories(path.c_str()))
                return Fail(MskFailure::CreateFolderFailed, path, GetLastError(), &entry);
        }
        if (!Progress(nIndex, entry))
            return FALSE;
        ++nIndex;
    }
    for (size_t i = 0; i < d->entries.size(); ++i) {
        const MskEntry& entry = d->entries[i];
        if (MSK_ENTRY_FILE != entry.type)
            continue;
        d->pCurrent = &entry;
        BOOL bDone;
        DWORD dwDigest = 0;
        if (bWrite) {
            bDone = ExtractFile(entry, hPackage, &dwDigest);
        } else {
            path.assign(d->rootName);
            if (!path.empty())
                path += u'\\';
            path += entry.path;
            bDone = IsWholeFile(entry) ? ReadStream(entry, hPackage, path.c_str(), &dwDigest)
                                       : StreamFile(entry, hPackage, path.c_str(), NULL, &dwDigest);
        }
        if (bDone && CMskUnpackerData::DIGEST_RECORD == d->digestMode)
            d->digests[i] = dwDigest;
        if (bDone && CMskUnpackerData::DIGEST_CHECK == d->digestMode)
            bDone = CheckDigest(i, dwDigest, (d->destFolder + entry.path).c_str());
        if (bDone) {
            d->ullFilesDone += entry.unpackedSize;
            ByteProgress(d->ullFilesDone);
        }
        if (!bDone || !Progress(nIndex, entry))
            return FALSE;
        ++nIndex;
    }
    d->stored.Free();
    d->unpacked.Free();
    return TRUE;
}

// The piecewise path: reads the stream from the package, and hands the output to a file that is
// created with the first piece (so a stream found bad in its first piece leaves nothing behind, as in
// the one-call path) or, for Verify, drops it.
class CMskUnpacker::CStreamIo : public IMskStreamIo {
public:
    CStreamIo(CMskUnpacker& unpacker, HANDLE hPackage, const std::u16string* pOutPath)
        : m_unpacker(unpacker), m_hPackage(hPackage), m_pOutPath(pOutPath) {}
    bool Read(BYTE* buffer, size_t length) override {
        CMskUnpackerData* d = m_unpacker.m_pData.get();
        if (d->window.Read(m_hPackage, buffer, length, d->options.pieceSize)) {
            m_dwDigest = crc32_gzip_refl(m_dwDigest, buffer, length);
            return true;
        }
        m_dwError = GetLastError();
        return false;
    }
    bool Write(const BYTE* data, size_t length) override {
        m_ullWritten += length;
        m_unpacker.ByteProgress(m_unpacker.m_pData->ullFilesDone + m_ullWritten);
        if (NULL == m_pOutPath)
            return true;
        if (!m_out.IsValid() && !m_unpacker.CreateOutput(*m_pOutPath, m_out)) {
            m_bCreateFailed = true;
            return false;
        }
        DWORD dwWritten = 0;
        if (WriteFile(m_out.Get(), data, static_cast<DWORD>(length), &dwWritten, NULL) && dwWritten == length)
            return true;
        m_dwError = GetLastError();
        return false;
    }

    CMskUnpacker& m_unpacker;
    HANDLE m_hPackage;
    const std::u16string* m_pOutPath; // NULL: the output is only checked
    CFhFileHandle m_out;
    DWORD m_dwError = 0;
    DWORD m_dwDigest = 0; // CRC-32 of the stored bytes read
    ULONGLONG m_ullWritten = 0;
    bool m_bCreateFailed = false;
};

BOOL CMskUnpacker::CreateOutput(const std::u16string& full, CFhFileHandle& out) {
    CMskUnpackerData* d = m_pData.get();
    HANDLE hOut = INVALID_HANDLE_VALUE;
    bool bMadeParents = false;
    d->outPath = d->writeOptions.bTempNames ? TempOutputName(full) : full;
    for (int attempt = 0; attempt < kCreateAttempts && INVALID_HANDLE_VALUE == hOut; ++attempt) {
        hOut = CreateFileW(d->outPath.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           NULL);
        // A file whose folder has no entry of its own in the table gets its folder made here.
        if (INVALID_HANDLE_VALUE == hOut && ERROR_PATH_NOT_FOUND == GetLastError() && !bMadeParents) {
            bMadeParents = true;
            size_t cut = full.find_last_of(u"\\/");
            if (std::u16string::npos != cut && cut > d->destFolder.size())
                WceUiCreateDirectories(full.substr(0, cut).c_str());
            SetLastError(ERROR_PATH_NOT_FOUND);
        }
    }
    if (INVALID_HANDLE_VALUE == hOut)
        return Fail(MskFailure::CreateFailed, full, GetLastError());
    out.Reset(hOut);
    return TRUE;
}

BOOL CMskUnpacker::FinishOutput(const std::u16string& full, CFhFileHandle& out) {
    CMskUnpackerData* d = m_pData.get();
    if (d->writeOptions.bFlush && !FlushFileBuffers(out.Get())) {
        SetWriteError(full, GetLastError());
        DropOutput(out, TRUE);
        return FALSE;
    }
    out.Close();
    if (!d->writeOptions.bTempNames)
        return TRUE;
    // The device renames onto no existing name, so the older file goes first. Failing that, the file
    // could not be created under its name, and is retried as its creation is.
    DWORD dwError = NO_ERROR;
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        if ((DeleteFileW(full.c_str()) || ERROR_FILE_NOT_FOUND == GetLastError()) &&
            MoveFileW(d->outPath.c_str(), full.c_str()))
            return TRUE;
        dwError = GetLastError();
    }
    DeleteFileW(d->outPath.c_str());
    return Fail(MskFailure::CreateFailed, full, dwError);
}

void CMskUnpacker::DropOutput(CFhFileHandle& out, BOOL bKeepPartial) {
    if (!out.IsValid())
        return;
    out.Close();
    if (!bKeepPartial || m_pData->writeOptions.bTempNames)
        DeleteFileW(m_pData->outPath.c_str());
}

void CMskUnpacker::SetWriteError(const std::u16string& full, DWORD dwError) {
    Fail(ERROR_DISK_FULL == dwError ? MskFailure::DiskFull : MskFailure::WriteFailed, full, dwError);
}

BOOL CMskUnpacker::SeekToStream(const MskEntry& entry, HANDLE hPackage, LPCWSTR pName) {
    CMskUnpackerData* d = m_pData.get();
    if (!d->window.Seek(hPackage, entry.dataOffset))
        return Fail(MskFailure::SeekFailed, pName, GetLastError(), &entry);
    return TRUE;
}

BOOL CMskUnpacker::IsWholeFile(const MskEntry& entry) const {
    const MskDecodeOptions& o = m_pData->options;
    return entry.storedSize <= o.wholeFileLimit && entry.unpackedSize <= o.wholeFileLimit;
}

BOOL CMskUnpacker::ReadStream(const MskEntry& entry, HANDLE hPackage, LPCWSTR pName, DWORD* pDigest) {
    CMskUnpackerData* d = m_pData.get();
    BYTE* pStored = d->stored.Get(entry.storedSize);
    BYTE* pUnpacked = d->unpacked.Get(entry.unpackedSize);
    d->NoteMemory();
    if (NULL == pStored || NULL == pUnpacked)
        return Fail(MskFailure::OutOfMemory, pName, 0, &entry);
    if (!SeekToStream(entry, hPackage, pName))
        return FALSE;
    if (!d->window.Read(hPackage, pStored, entry.storedSize, d->options.pieceSize))
        return Fail(MskFailure::ReadFailed, pName, GetLastError(), &entry);
    *pDigest = crc32_gzip_refl(0, pStored, entry.storedSize);
    if (!MskInflateWith(d->options.decoder, pUnpacked, entry.unpackedSize, pStored, entry.storedSize))
        return Fail(MskFailure::StreamDamaged, pName, 0, &entry);
    return TRUE;
}

BOOL CMskUnpacker::StreamFile(const MskEntry& entry, HANDLE hPackage, LPCWSTR pName,
                              const std::u16string* pOut, DWORD* pDigest) {
    CMskUnpackerData* d = m_pData.get();
    if (!SeekToStream(entry, hPackage, pName))
        return FALSE;
    CStreamIo io(*this, hPackage, pOut);
    MskStreamResult result = d->Inflater().Inflate(entry.storedSize, entry.unpackedSize, io);
    d->NoteMemory();
    *pDigest = io.m_dwDigest;
    switch (result) {
        case MSK_STREAM_OK:
            if (NULL == pOut)
                return TRUE;
            if (!io.m_out.IsValid() && !CreateOutput(*pOut, io.m_out)) // nothing was written: an empty file
                return FALSE;
            return FinishOutput(*pOut, io.m_out);
        case MSK_STREAM_READ_FAILED:
            Fail(MskFailure::ReadFailed, pName, io.m_dwError, &entry);
            break;
        case MSK_STREAM_WRITE_FAILED:
            // What was written stays, as after a failed write of the whole file.
            if (!io.m_bCreateFailed)
                SetWriteError(*pOut, io.m_dwError);
            DropOutput(io.m_out, TRUE);
            return FALSE;
        default:
            Fail(MskFailure::StreamDamaged, pName, 0, &entry);
            break;
    }
    // A stream found bad or unreadable part-way leaves no half file behind.
    if (NULL != pOut)
        DropOutput(io.m_out, FALSE);
    return FALSE;
}

BOOL CMskUnpacker::ExtractFile(const MskEntry& entry, HANDLE hPackage, DWORD* pDigest) {
    CMskUnpackerData* d = m_pData.get();
    std::u16string full = d->destFolder + entry.path;
    if (!IsWholeFile(entry))
        return StreamFile(entry, hPackage, full.c_str(), &full, pDigest);
    if (!ReadStream(entry, hPackage, full.c_str(), pDigest))
        return FALSE;
    CFhFileHandle out;
    if (!CreateOutput(full, out))
        return FALSE;
    DWORD dwWritten = 0;
    if (!WriteFile(out.Get(), d->unpacked.Get(entry.unpackedSize), entry.unpackedSize, &dwWritten, NULL) ||
        dwWritten != entry.unpackedSize) {
        SetWriteError(full, GetLastError());
        DropOutput(out, TRUE);
        return FALSE;
    }
    return FinishOutput(full, out);
}

// The stream just decoded for the unpack must be the one verified: another file renamed over the
// package, or bytes changed in place, are refused before the tree they would make is used.
BOOL CMskUnpacker::CheckDigest(size_t nEntry, DWORD dwDigest, LPCWSTR pName) {
    CMskUnpackerData* d = m_pData.get();
    if (nEntry < d->digests.size() && d->digests[nEntry] == dwDigest)
        return TRUE;
    return Fail(MskFailure::PackageChanged, pName);
}

BOOL CMskUnpacker::VerifyOpened(std::u16string& errorOut) {
    MskResult result;
    return WithKey(VerifyOpened(result), result, errorOut);
}

BOOL CMskUnpacker::VerifyOpened(MskResult& resultOut) {
    CMskUnpackerData* d = GetData();
    if (NULL == d || !WCEUI_CHECK("CMskUnpacker::VerifyOpened", d->held.IsValid()))
        return FALSE;
    // The table Open read stays, unless another operation has read another one since.
    BOOL bTable = d->bHeldTable;
    if (bTable) {
        d->result = MskResult();
        d->highWater = 0;
    } else {
        Reset();
        d->packagePath = d->heldPath;
        d->dwKey = d->dwHeldKey;
    }
    d->bHeldVerified = FALSE;
    d->digestMode = CMskUnpackerData::DIGEST_RECORD;
    BOOL bResult = (bTable || LoadFileTable(d->held.Get())) && WalkEntries(FALSE, d->held.Get());
    d->digestMode = CMskUnpackerData::DIGEST_NONE;
    d->bHeldVerified = bResult;
    resultOut = d->result;
    return bResult;
}

HANDLE CMskUnpacker::GetOpenedHandle() const {
    CMskUnpackerData* d = GetData();
    return d && d->held.IsValid() ? d->held.Get() : INVALID_HANDLE_VALUE;
}

DWORD CMskUnpacker::GetVerifiedDigest(int nIndex) const {
    CMskUnpackerData* d = GetData();
    if (NULL == d || !d->bHeldVerified || nIndex < 0 || static_cast<size_t>(nIndex) >= d->digests.size())
        return 0;
    return d->digests[static_cast<size_t>(nIndex)];
}

BOOL CMskUnpacker::UnpackOpened(LPCWSTR pTargetFolder, std::u16string& errorOut) {
    MskResult result;
    return WithKey(UnpackOpened(pTargetFolder, result), result, errorOut);
}

BOOL CMskUnpacker::UnpackOpened(LPCWSTR pTargetFolder, MskResult& resultOut) {
    CMskUnpackerData* d = GetData();
    if (NULL == d || !WCEUI_CHECK("CMskUnpacker::UnpackOpened", NULL != pTargetFolder && d->bHeldVerified))
        return FALSE;
    // The table VerifyOpened read stays; only the run's own state starts anew.
    d->result = MskResult();
    d->highWater = 0;
    std::u16string target(pTargetFolder);
    while (!target.empty() && (u'\\' == target.back() || u'/' == target.back()))
        target.pop_back();
    d->destFolder = target + u"\\";
    BOOL bResult = FALSE;
    const MskEntry* pTooLong = FindTooLongEntry(target.c_str());
    if (FileSize(d->held.Get()) != d->ullHeldSize) {
        Fail(MskFailure::PackageChanged, d->heldPath);
    } else if (NULL != pTooLong) {
        FailTooLong(*pTooLong);
    } else if (!WceUiCreateDirectories(target.c_str())) {
        Fail(MskFailure::TargetFolderFailed, target, GetLastError());
    } else {
        d->digestMode = CMskUnpackerData::DIGEST_CHECK;
        bResult = WalkEntries(TRUE, d->held.Get());
        d->digestMode = CMskUnpackerData::DIGEST_NONE;
        // A package cut short under the run fails as a short read; that read has no error of its own.
        if (!bResult && FileSize(d->held.Get()) != d->ullHeldSize)
            Fail(MskFailure::PackageChanged, d->heldPath);
    }
    resultOut = d->result;
    return bResult;
}

const MskEntry* CMskUnpacker::FindTooLongEntry(LPCWSTR pRootFolder) const {
    CMskUnpackerData* d = GetData();
    if (NULL == d || NULL == pRootFolder)
        return NULL;
    size_t prefix = WStrLen(pRootFolder);
    if (prefix > 0 && (u'\\' == pRootFolder[prefix - 1] || u'/' == pRootFolder[prefix - 1]))
        --prefix;
    ++prefix; // the separator before the entry's path
    for (const MskEntry& entry : d->entries) {
        if ((MSK_ENTRY_FOLDER == entry.type || MSK_ENTRY_FILE == entry.type) &&
            prefix + entry.path.size() >= MAX_PATH)
            return &entry;
    }
    return NULL;
}

BOOL CMskUnpacker::Verify(LPCWSTR pPackagePath, DWORD dwKey, std::u16string& errorOut) {
    MskResult result;
    return WithKey(Verify(pPackagePath, dwKey, result), result, errorOut);
}

BOOL CMskUnpacker::Verify(LPCWSTR pPackagePath, DWORD dwKey, MskResult& resultOut) {
    CMskUnpackerData* d = GetData();
    if (NULL == d || !WCEUI_CHECK("CMskUnpacker::Verify", NULL != pPackagePath))
        return FALSE;
    Reset();
    d->packagePath = pPackagePath;
    d->dwKey = dwKey;
    BOOL bResult = LoadFileTable() && VerifyAll();
    resultOut = d->result;
    return bResult;
}

BOOL CMskUnpacker::VerifyAll() {
    return WalkEntries(FALSE);
}

BOOL CMskUnpacker::ReadTable(LPCWSTR pPackagePath, DWORD dwKey, std::u16string& errorOut) {
    MskResult result;
    return WithKey(ReadTable(pPackagePath, dwKey, result), result, errorOut);
}

BOOL CMskUnpacker::ReadTable(LPCWSTR pPackagePath, DWORD dwKey, MskResult& resultOut) {
    CMskUnpackerData* d = GetData();
    if (NULL == d || !WCEUI_CHECK("CMskUnpacker::ReadTable", NULL != pPackagePath))
        return FALSE;
    Reset();
    d->packagePath = pPackagePath;
    d->dwKey = dwKey;
    BOOL bResult = LoadFileTable();
    resultOut = d->result;
    return bResult;
}

LPCWSTR CMskUnpacker::GetRootName() const {
    CMskUnpackerData* d = GetData();
    return d ? d->rootName.c_str() : u"";
}

int CMskUnpacker::GetEntryCount() const {
    CMskUnpackerData* d = GetData();
    return d ? static_cast<int>(d->entries.size()) : 0;
}

const MskEntry* CMskUnpacker::GetEntry(int nIndex) const {
    CMskUnpackerData* d = GetData();
    if (NULL == d || nIndex < 0 || nIndex >= static_cast<int>(d->entries.size()))
        return NULL;
    return &d->entries[static_cast<size_t>(nIndex)];
}

ULONGLONG CMskUnpacker::GetUnpackedTotal() const {
    CMskUnpackerData* d = GetData();
    ULONGLONG total = 0;
    if (d) {
        for (const MskEntry& e : d->entries)
            total += MSK_ENTRY_FILE == e.type ? e.unpackedSize : 0;
    }
    return total;
}
