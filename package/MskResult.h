// What an operation on an update package came to: the kind of failure and what it concerns. The
// package code hands this on unchanged; the words are made from it only where they are logged or
// shown: the unit's error keys and messages by MskResultKey, a tool's own sentences by the tool.
#pragma once

#include "platform/WinCe.h"

#include <string>

enum class MskFailure {
    None,
    Cancelled,             // the progress callback asked to stop
    PackageNotAFile,       // path: the package path names no file
    DestinationNotAFolder, // path: the destination given is not a folder
    OpenFailed,            // path: the package could not be opened (systemError)
    NotAPackage,           // the file does not start with the package magic
    TableUnreadable,       // the header or the table could not be read in full (a cut file)
    PackageCut,            // entry: a file's data lies beyond the end of the package; detail: as damaged
    WrongPassword,         // the table's check word differs: a wrong password or a changed file
    RootNameUnterminated,  // the root name's length or end does not fit: a wrong password as well
    TableDamaged,          // detail: what does not hold together; entry when an entry is named
    UnsafePath,            // entry: a path that would leave the target folder; detail: why
    PathTooLong,           // entry: a path past the device's limit below this destination
    WrongRoot,             // the package does not replace the folder it is installed into
    TargetFolderFailed,    // path: the folder the tree lands in could not be created
    TargetNotAFolder,      // path: a file is in the place of that folder
    CreateFolderFailed,    // path, entry: a folder entry could not be created
    OutOfMemory,           // path, entry: no memory for the stream
    SeekFailed,            // path, entry: the stream could not be reached (systemError)
    ReadFailed,            // path, entry: the stream could not be read in full (systemError)
    StreamDamaged,         // path, entry: the stream does not decode to its declared size
    CreateFailed,          // path, entry: an output file could not be created (systemError)
    WriteFailed,           // path, entry: an output file could not be written (systemError)
    DiskFull,              // path, entry: the volume is full (or, from a plan, too small)
    PackageChanged,        // path: the package differs from the one verified
    RecordFailed,          // path: the install's phase record could not be written (systemError)
    MoveFailed,            // path: a folder could not be renamed to detail (systemError)
};

// Where the failure was found: the checks of Open (before anything changes) report a refused table
// as a whole, the table read of the other operations says what is wrong with it.
enum class MskStage { Open, Table, Entries };

struct MskResult {
    MskFailure failure = MskFailure::None;
    MskStage stage = MskStage::Entries;
    std::u16string path;   // the file or folder concerned, in device form
    std::u16string entry;  // the entry's path in the table, when an entry is concerned
    std::u16string detail; // see the failure kinds
    DWORD systemError = 0; // the platform's error code, for the failures that have one

    bool Ok() const { return MskFailure::None == failure; }
};

// The error key or message the unit logs and shows for a failure (empty for no failure): the keys
// "invalid_msk_file", "file_format_error", "crc_check_fail", "error_disk_full" and "user_cancel",
// or a message naming the file concerned.
std::u16string MskResultKey(const MskResult& result);
