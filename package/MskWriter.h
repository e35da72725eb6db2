// Builds update packages: the inverse of the unpacker, for the tools and tests that run on the host.
//
// Entries are written folders first, then files, each group in case-insensitive path order; every file
// is one zlib stream at level 9; the check word is derived from the table's content. Files are read and
// compressed in pieces of a fixed size on every core (MskDeflatePool.h), so memory stays bounded
// whatever their size; a file of one piece is stored as compress2 would store it. The same tree and
// password therefore always give the same bytes, whatever the number of threads.
#pragma once

#include "platform/WinCe.h"

#include <string>
#include <unordered_set>
#include <vector>

// Called after each piece of a file has been written: done counts the file bytes packed so far, total
// those of every file; the entry path is the file's. FALSE cancels the write.
typedef BOOL (*MskWriterProgress)(LPVOID pContext, ULONGLONG done, ULONGLONG total, LPCWSTR pEntryPath);

// The input a piece of a file's stream holds: the unit in which files are read and compressed.
#define MSK_WRITER_PIECE_SIZE (1u << 20)

struct MskWriterStats {
    DWORD folders = 0;
    DWORD files = 0;
    ULONGLONG unpackedTotal = 0;
    ULONGLONG storedTotal = 0;
    ULONGLONG packageSize = 0;
};

class CMskWriter {
public:
    CMskWriter() = default;

    // Paths are relative to the root folder; "\" and "/" both separate.
    void AddFolder(const std::u16string& path);
    void AddFile(const std::u16string& path, std::vector<BYTE> data);
    // A file whose content is read from the host when the package is written.
    void AddHostFile(const std::u16string& path, const std::string& hostPath);
    // Every folder and regular file below a host folder (the folder itself is the root). A link is
    // packed as what it points to (a folder with everything below it, or a file) when that lies inside
    // the folder, or anywhere with followOutsideLinks; otherwise it is refused. FALSE, with a message
    // naming the path, when a folder cannot be read, something is neither a folder nor a file, a link
    // is broken, or a link to a folder would lead back into a folder that holds it.
    BOOL AddHostTree(const std::string& hostFolder, std::u16string& errorOut,
                     bool followOutsideLinks = false);

    void SetProgressCallback(MskWriterProgress pCallback, LPVOID pContext);
    // zlib's level, 9 unless set.
    void SetLevel(int level) { m_level = level; }
    // The threads that compress (the processor count unless set; 1: all on the calling thread). The
    // bytes written do not depend on it.
    void SetThreads(unsigned threads) { m_threads = threads; }
    // The input of one piece of a stream (MSK_WRITER_PIECE_SIZE unless set); it decides the bytes
    // of every file larger than it.
    void SetPieceSize(size_t size) { m_pieceSize = size < 1 ? 1 : size; }
    // The folder the package will be unpacked into (the tree lands in folder\root\): Write then
    // refuses an entry whose whole path there would reach the device's MAX_PATH units. Empty (the
    // default): only the format's own limits apply.
    void SetInstallFolder(const std::u16string& folder) { m_installFolder = folder; }

    // Writes the package to a device path. Refuses, before writing anything, a root name or entry path
    // that the unpacker would refuse, a path too long for the install folder, paths that name the
    // same place ignoring case, and sizes beyond the format's 32-bit fields. A package left half-written by a
    // failure is deleted.
    BOOL Write(LPCWSTR pPackagePath, const std::u16string& rootName, DWORD dwKey, std::u16string& errorOut);

    const MskWriterStats& GetStats() const { return m_stats; }

    // Every group of entry paths that name the same place when case is ignored, each group in the
    // order its paths were added, the groups in the order of their first path. Write refuses a
    // package with any of them; this lists them all at once.
    std::vector<std::vector<std::u16string>> FindCaseCollisions() const;

private:
    struct Item {
        bool folder = false;
        std::u16string path;
        std::vector<BYTE> data;
        std::string hostPath; // when not empty, the content comes from this host file
        ULONGLONG size = 0;   // a file's size, as measured before it is read
    };
    // Where a file's stream went.
    struct Placed {
        DWORD unpacked = 0, stored = 0, offset = 0;
    };
    class COutFile;
    class CStreamWriter;

    void AddParents(const std::u16string& path);
    // The steps of Write.
    std::vector<Item*> TableOrder();
    static BOOL CheckEntries(const std::vector<Item*>& order, const std::u16string& rootName,
                             const std::u16string& installFolder, size_t& tableLength,
                             std::u16string& errorOut);
    static BOOL MeasureFiles(const std::vector<Item*>& order, ULONGLONG& total, std::u16string& errorOut);
    static std::vector<BYTE> HeadBytes(const std::vector<Item*>& order, const std::vector<Placed>& placed,
                                       const std::u16string& rootName, size_t tableLength, DWORD dwKey);

    std::vector<Item> m_items;
    std::unordered_set<std::u16string> m_folderKeys; // folded paths of the folder entries
    MskWriterProgress m_pCallback = NULL;
    LPVOID m_pContext = NULL;
    int m_level = 9;
    unsigned m_threads = 0; // 0: the processor count
    size_t m_pieceSize = MSK_WRITER_PIECE_SIZE;
    std::u16string m_installFolder;
    MskWriterStats m_stats;
};
