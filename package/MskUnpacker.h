// The unpacker of update packages: checks a package against a password and recreates its tree of
// folders and files under a destination folder, reporting progress through a callback.
//
// Every operation reports what it came to as an MskResult. Each also has a form that takes the
// unit's error text instead (MskResultKey of the result; an empty text after a success), for the
// callers that log or show exactly that.
#pragma once

#include "package/MskFormat.h"
#include "package/MskInflate.h"
#include "package/MskResult.h"
#include "platform/WinCe.h"

#include <memory>
#include <string>

// Called after each folder and file is done: index counts the entries done before this one (from 0),
// total is the number of entries of the table (of every type). Return FALSE to cancel.
typedef BOOL (*MskProgressCallback)(LPVOID pContext, LONG nIndex, LPCWSTR pEntryPath, LONG nTotal);
// Called as the files' data is decoded, part-way through a large file too: done counts the unpacked
// bytes so far, total is the sum of the unpacked sizes of every file of the table.
typedef void (*MskByteProgressCallback)(LPVOID pContext, ULONGLONG ullDone, ULONGLONG ullTotal);

// How Unpack writes each output file (kept across operations; both off unless set).
struct MskWriteOptions {
    // Written under a temporary name beside it ("<name>.part~", with a number when that name is
    // taken) and renamed into place once complete, an older file of that name deleted first: no
    // partly written file ever carries the final name, and a failure removes the temporary file and
    // leaves an older file as it was.
    BOOL bTempNames = FALSE;
    // Flushed to the volume (FlushFileBuffers) before it is closed; a failed flush is a failed write.
    BOOL bFlush = FALSE;
};

class CMskUnpacker {
public:
    CMskUnpacker();
    CMskUnpacker(MskProgressCallback pCallback, LPVOID pContext);
    ~CMskUnpacker();
    CMskUnpacker(const CMskUnpacker&) = delete;
    CMskUnpacker& operator=(const CMskUnpacker&) = delete;

    void SetProgressCallback(MskProgressCallback pCallback, LPVOID pContext);
    // Byte progress of Unpack, Verify and their Opened forms, beside the entry progress above.
    void SetByteProgressCallback(MskByteProgressCallback pCallback, LPVOID pContext);
    // How files are decoded (kept across operations); see MskDecodeOptions.
    void SetDecodeOptions(const MskDecodeOptions& options);
    // How Unpack writes its files; see MskWriteOptions.
    void SetWriteOptions(const MskWriteOptions& options);

    // Checks the magic number and, with the key, the table's check word and form. On failure errorOut
    // receives "invalid_msk_file", "file_format_error", "crc_check_fail" or an open failure message;
    // on success it is left alone. The package stays open, writers denied, until Close or the next
    // Open: VerifyOpened and UnpackOpened read this one handle. The table read is kept for the
    // accessors below and for VerifyOpened.
    BOOL Open(LPCWSTR pPackagePath, DWORD dwKey, MskResult& resultOut);
    BOOL Open(LPCWSTR pPackagePath, DWORD dwKey, std::u16string& errorOut);
    void Close();

    // Verify on the package Open holds; the table and a digest of every stream's stored bytes are
    // kept for UnpackOpened.
    BOOL VerifyOpened(MskResult& resultOut);
    BOOL VerifyOpened(std::u16string& errorOut);
    // The handle Open holds (INVALID_HANDLE_VALUE when none), for a caller that reads the same bytes
    // first, such as a signature check; the operations above place the file pointer themselves.
    HANDLE GetOpenedHandle() const;
    // The CRC-32 of a file entry's stored bytes as the last VerifyOpened read them (0 for other
    // entries, or when nothing was verified).
    DWORD GetVerifiedDigest(int nIndex) const;
    // Recreates the verified tree directly in pTargetFolder (the place of the root folder, made when
    // missing), from the same handle and the table VerifyOpened read, and refuses the run as soon as
    // the package's size or a stream's stored bytes differ from what was verified: the tree written
    // is the tree verified. Messages as Unpack's.
    BOOL UnpackOpened(LPCWSTR pTargetFolder, MskResult& resultOut);
    BOOL UnpackOpened(LPCWSTR pTargetFolder, std::u16string& errorOut);

    // The first folder or file entry whose path, below the folder its root lands in, reaches the
    // device's path limit (MAX_PATH units with the closing NUL), or null.
    const MskEntry* FindTooLongEntry(LPCWSTR pRootFolder) const;

    // Recreates the package's tree under <destination>\<root folder>\: all folders first, then every
    // file. errorOut receives the error key or message, or an empty text after a success. What was
    // written before a failure or a cancel stays.
    BOOL Unpack(LPCWSTR pPackagePath, LPCWSTR pDestFolder, DWORD dwKey, MskResult& resultOut);
    BOOL Unpack(LPCWSTR pPackagePath, LPCWSTR pDestFolder, DWORD dwKey, std::u16string& errorOut);

    // Loads the table as Unpack does, then decompresses every file in memory, one at a time, and
    // checks its size. Writes nothing. Calls the progress callback as Unpack does; the messages are
    // Unpack's, with the entry's path under the root folder in place of the target path.
    BOOL Verify(LPCWSTR pPackagePath, DWORD dwKey, MskResult& resultOut);
    BOOL Verify(LPCWSTR pPackagePath, DWORD dwKey, std::u16string& errorOut);

    // Loads the table as Unpack does and keeps it, for the accessors below.
    BOOL ReadTable(LPCWSTR pPackagePath, DWORD dwKey, MskResult& resultOut);
    BOOL ReadTable(LPCWSTR pPackagePath, DWORD dwKey, std::u16string& errorOut);

    // The table of the last successful Unpack, Verify or ReadTable (until the next operation).
    LPCWSTR GetRootName() const;
    int GetEntryCount() const;
    const MskEntry* GetEntry(int nIndex) const;
    // The sum of the unpacked sizes of the file entries.
    ULONGLONG GetUnpackedTotal() const;

    // Why the last Open, Unpack, Verify or ReadTable refused the file table (the entry and the
    // reason), beyond its error key; empty when it was not refused.
    LPCWSTR GetTableProblem() const;
    // The most memory the last operation held at once in file buffers and decoder state: bounded by
    // the decode options, whatever the size of the files.
    size_t GetBufferHighWater() const;

private:
    struct CMskUnpackerData;
    // Null only when the record could not be made (logged once, where it is made). Every public
    // method checks it once; the private steps run only behind that check and use m_pData.
    CMskUnpackerData* GetData() const;

    void Reset();
    // Reads the header and the table from the start of the package open on hPackage and checks them
    // under the key; the one reader of Open and of the other operations.
    BOOL ReadFileTable(HANDLE hPackage, MskTable* pTable);
    BOOL LoadFileTable(HANDLE hPackage = INVALID_HANDLE_VALUE);
    // Records a failure of the operation; FALSE. The entry named is pEntry, else the one a walk is at.
    BOOL Fail(MskFailure failure, const std::u16string& path, DWORD dwError = 0,
              const MskEntry* pEntry = NULL);
    BOOL FailTooLong(const MskEntry& entry);
    BOOL ExtractAll();
    BOOL ExtractFile(const MskEntry& entry, HANDLE hPackage, DWORD* pDigest);
    BOOL VerifyAll();
    BOOL WalkEntries(BOOL bWrite, HANDLE hPackage = INVALID_HANDLE_VALUE);
    BOOL CheckDigest(size_t nEntry, DWORD dwDigest, LPCWSTR pName);
    // Reads and decompresses one file's stream into the data record's output buffer; pName is the
    // path its messages name.
    BOOL ReadStream(const MskEntry& entry, HANDLE hPackage, LPCWSTR pName, DWORD* pDigest);
    // Decodes one file's stream in pieces into the file pOut (created as it goes), or only checks it
    // when pOut is NULL.
    BOOL StreamFile(const MskEntry& entry, HANDLE hPackage, LPCWSTR pName, const std::u16string* pOut,
                    DWORD* pDigest);
    BOOL IsWholeFile(const MskEntry& entry) const;
    BOOL SeekToStream(const MskEntry& entry, HANDLE hPackage, LPCWSTR pName);
    BOOL CreateOutput(const std::u16string& full, class CFhFileHandle& out);
    // Flushes and closes a complete output file and, under a temporary name, renames it to full.
    BOOL FinishOutput(const std::u16string& full, class CFhFileHandle& out);
    // Closes an output file that could not be finished and removes it, unless bKeepPartial and it
    // carries its final name.
    void DropOutput(class CFhFileHandle& out, BOOL bKeepPartial);
    void SetWriteError(const std::u16string& full, DWORD dwError);
    class CStreamIo;
    BOOL Progress(LONG nIndex, const MskEntry& entry);
    void ByteProgress(ULONGLONG ullDone);

    std::unique_ptr<CMskUnpackerData> m_pData;
};
