// The layout of an update package (MSK) and the checks of its file table, shared by the unpacker,
// the writer and the tools.
//
// A package is a 44-byte header (magic 0xFA45 at 0, table end at 32, check word at 40), the file table
// scrambled with the password's key (see FhScramble.h), and one zlib stream per file. The table holds
// the check word again, the root folder name, and the entries back to back, each with its length,
// type, sizes, data offset and a NUL-terminated UTF-16 path relative to the root folder.
#pragma once

#include "platform/WinCe.h"
#include "wceui/core/FhFileHandle.h"

#include <string>
#include <vector>

#define MSK_MAGIC 0xFA45u
#define MSK_HEADER_SIZE 44u
#define MSK_TABLE_END_OFFSET 32u
#define MSK_HEADER_WORD36_OFFSET 36u
#define MSK_CHECK_WORD_OFFSET 40u
#define MSK_TABLE_NAME_LENGTH_OFFSET 12u
#define MSK_TABLE_NAME_OFFSET 16u
#define MSK_ENTRY_HEADER_SIZE 28u
#define MSK_MAX_NAME_LENGTH 260

#define MSK_ENTRY_FOLDER 0u
#define MSK_ENTRY_FILE 1u

// A deflate stream cannot expand by more than this: the longest match (258 bytes) costs at least two
// bits. Larger claimed sizes can only fail, so they are refused before anything is allocated.
#define MSK_MAX_INFLATE_RATIO 1032u

// Where the unit unpacks its application package: the tree lands in "\Residentflash2\<root>\".
#define MSK_UNIT_DESTINATION u"\\Residentflash2"

// The password names the tools accept for the two unit passwords.
#define MSK_PASSWORD_GPS u"pwd_tanzo"
#define MSK_PASSWORD_NVQ u"pwd_ruv"

struct MskEntry {
    DWORD tableOffset = 0; // where the entry starts inside the table
    DWORD length = 0;
    DWORD type = 0;
    DWORD unpackedSize = 0;
    DWORD storedSize = 0;
    DWORD dataOffset = 0;
    std::u16string path; // as stored, up to its NUL
};

struct MskTable {
    LONG nameLength = 0;
    std::u16string rootName;
    std::vector<MskEntry> entries; // table order
};

enum MskTableResult {
    MSK_TABLE_OK = 0,
    MSK_TABLE_SHORT,       // fewer than 16 bytes: no room for the check word and the name length
    MSK_TABLE_CHECK_WORD,  // the first word differs from the header's check word
    MSK_TABLE_BAD_NAME,    // name length of 260 or more, or unit N-1 of the name is not NUL
    MSK_TABLE_MALFORMED,   // the table does not hold together; the detail says where
    MSK_TABLE_UNSAFE_PATH, // a path would leave the target folder or collides; the detail is the path
    MSK_TABLE_BAD_DATA,    // a file's data overlaps another's or the table, or cannot hold its declared
                           // size; the detail names the entry
    MSK_TABLE_CUT,         // a file's data lies beyond the end of the file: a package cut short; the detail
                           // names the entry by its number
};

// Reads the table's fields from unscrambled bytes (the table of length bytes that follows the header)
// and checks, in this order: the check word, the name length and its NUL (the tests of a wrong
// password), then the structure (name and entries inside the table and tiling it, data inside a file
// of fileSize bytes), then the file data (no unpacked size beyond what its stored bytes can hold at
// deflate's densest, no stored bytes inside the header or table or shared by two entries), then every
// folder and file path and the root name: names the device takes (DeviceNames.h), nothing that leaves
// the target folder, no two entries on the same place, nothing below a file entry. For an unsafe path,
// detail is the path and reason says why. Never reads outside [table, table + length); the time taken
// grows as n log n with the entry count and not with the declared sizes.
MskTableResult MskParseTable(const BYTE* table, DWORD length, DWORD checkWord, ULONGLONG fileSize,
                             MskTable* out, std::u16string* detail, const char** reason = NULL);

// MskParseTable in its two steps, so that a reader can drop the table's bytes before the path checks:
// the fields, the structure and the file data, into *out (what was read so far on a failure); then
// the folder and file paths and the root name.
// For a refusal that concerns one entry whose path could be read, entryPath receives that path.
MskTableResult MskReadTableEntries(const BYTE* table, DWORD length, DWORD checkWord, ULONGLONG fileSize,
                                   MskTable* out, std::u16string* detail, std::u16string* entryPath = NULL);
MskTableResult MskCheckTablePaths(const MskTable& table, std::u16string* detail, const char** reason = NULL);

// Why a path cannot be extracted, or null when it can: a root folder name must be one name the
// device takes; an entry path is relative to the target folder "\" + root + "\" (rootLength units of
// root name) and follows DeviceRelativePathProblem; a file path must also name something (not empty,
// no trailing separator).
const char* MskUnsafePathReason(const std::u16string& path, bool isRootName, bool isFile = false,
                                size_t rootLength = 0);

// The folder a package's tree lands in below a destination folder, as the unpacker forms it: one
// trailing separator of the destination dropped, then "\" + root + "\". An entry fits there when
// the target folder's length plus the entry path's stays below MAX_PATH.
std::u16string MskTargetFolder(const std::u16string& destination, const std::u16string& rootName);

// The key under which two paths name the same place on the device: empty and "." components passed
// over, separators unified and letters folded as the device's file system compares them.
std::u16string MskPathFoldKey(const std::u16string& path);
