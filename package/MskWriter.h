// Builds update packages: the inverse of the unpacker, for the tools and tests that run on the host.
//
// Entries are written folders first, then files, each group in case-insensitive path order; every file
// is one zlib stream at level 9; the check word is derived from the table's content. The same tree and
// password therefore always give the same bytes.
#pragma once

#include "platform/WinCe.h"

#include <string>
#include <unordered_set>
#include <vector>

// Called after each file has been compressed: index counts the files done before this one.
typedef BOOL (*MskWriterProgress)(LPVOID pContext, LONG nIndex, LPCWSTR pEntryPath, LONG nTotal);

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
    // Every folder and regular file below a host folder (the folder itself is the root). FALSE, with a
    // message, when the folder cannot be read or holds something else than folders and files. A link
    // to a file is packed as that file when the file lies inside the folder, or anywhere with
    // followOutsideLinks; otherwise it is refused.
    BOOL AddHostTree(const std::string& hostFolder, std::u16string& errorOut,
                     bool followOutsideLinks = false);

    void SetProgressCallback(MskWriterProgress pCallback, LPVOID pContext);
    // zlib's level, 9 unless set.
    void SetLevel(int level) { m_level = level; }
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
    };
    BOOL LoadContent(const Item& item, std::vector<BYTE>& content, std::u16string& errorOut) const;
    void AddParents(const std::u16string& path);

    std::vector<Item> m_items;
    std::unordered_set<std::u16string> m_folderKeys; // folded paths of the folder entries
    MskWriterProgress m_pCallback = NULL;
    LPVOID m_pContext = NULL;
    int m_level = 9;
    std::u16string m_installFolder;
    MskWriterStats m_stats;
};
