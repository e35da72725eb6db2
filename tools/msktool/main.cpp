// msktool: the update package tool for the people who build updates.
//
//   msktool create PACKAGE FOLDER --password P [--root NAME] [--follow-outside-links] [--dest PREFIX]
//   msktool list PACKAGE --password P [--json] [-q|-v]
//   msktool verify PACKAGE --password P [--dest PREFIX] [--pubkey PUBLIC.key] [--json] [-q]
//   msktool info PACKAGE [--password P] [--json]
//   msktool extract PACKAGE DEST --password P [--dry-run] [-q|-v]
//   msktool keygen SECRET.key PUBLIC.key [--force]
//   msktool sign PACKAGE --key SECRET.key
//   msktool install PACKAGE APPFOLDER --password P [--dry-run]
//
// Paths are host paths. Exit status: 0 success, 1 failure (the error on stderr), 2 usage error.
#include "wceui/core/FhScramble.h"
#include "package/MskFormat.h"
#include "package/MskInflate.h"
#include "package/MskInstall.h"
#include "package/MskResult.h"
#include "package/MskSignature.h"
#include "package/MskUnpacker.h"
#include "package/MskWriter.h"
#include "platform/Platform.h"
#include "platform/WinCe.h"
#include "tools/common/JsonWriter.h"
#include "tools/common/ToolSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: msktool COMMAND ARGUMENTS [OPTIONS]\n"
    "\n"
    "Builds, lists, checks, unpacks and installs update packages (.msk files).\n"
    "\n"
    "commands:\n"
    "  create PACKAGE FOLDER --password P [--root NAME] [--follow-outside-links] [--dest PREFIX]\n"
    "      pack the folders and files below FOLDER; they unpack into the root folder NAME\n"
    "      (default: FOLDER's own name). A link inside FOLDER that points outside it is refused\n"
    "      unless --follow-outside-links is given (then what it points to is packed). A path\n"
    "      that would not fit below PREFIX\\NAME\\ on the unit is refused (see --dest)\n"
    "  list PACKAGE --password P [--json] [-q|-v]\n"
    "      one entry a line: d or f, unpacked size, stored size, path (-q: the paths only;\n"
    "      -v: then a line of totals)\n"
    "  verify PACKAGE --password P [--dest PREFIX] [--pubkey PUBLIC.key] [--json] [-q]\n"
    "      check the password, the file table, that every path fits below PREFIX\\ROOT\\ and\n"
    "      every file's data, writing nothing. With --pubkey, first check that PACKAGE.sig\n"
    "      is the signature of the whole package by the secret key of PUBLIC.key\n"
    "  info PACKAGE [--password P] [--json]\n"
    "      the header fields; with the password also the entry counts and sizes\n"
    "  extract PACKAGE DEST --password P [--dry-run] [-q|-v]\n"
    "      unpack into DEST as the unit does: the tree lands in DEST/ROOT (DEST and its parents\n"
    "      are made when missing). With --dry-run: check everything, then list what would be\n"
    "      written and the space it needs, writing nothing. Each file is written under a\n"
    "      temporary name beside it (NAME.part~) and renamed into place when complete; DEST is\n"
    "      locked for the run, so a second extract into it fails at once. Ends with a line of\n"
    "      what was written (files, folders, size, time); -v also names each entry as it is\n"
    "      written, -q prints nothing but errors\n"
    "  keygen SECRET.key PUBLIC.key [--force]\n"
    "      make a signing key pair: SECRET.key (readable by its owner only; keep it private)\n"
    "      signs packages, the one line of PUBLIC.key checks them. Existing files are kept\n"
    "      unless --force is given\n"
    "  sign PACKAGE --key SECRET.key\n"
    "      sign every byte of PACKAGE; the signature goes to PACKAGE.sig beside it (replaced\n"
    "      whole)\n"
    "  install PACKAGE APPFOLDER --password P [--dry-run]\n"
    "      replace the folder APPFOLDER with the package's tree as the unit's update does:\n"
    "      the contents of the package's root folder become APPFOLDER's contents, whatever\n"
    "      the root is called. APPFOLDER's parent must exist; APPFOLDER is made when missing.\n"
    "      The package is verified first, then unpacked and flushed beside APPFOLDER and\n"
    "      switched in by renames, so a failure keeps the old folder and a cut run is finished\n"
    "      or rolled back by the next install into APPFOLDER. Only when the volume cannot hold\n"
    "      both trees is APPFOLDER cleared and refilled (said on stderr). The parent is locked\n"
    "      for the run. With --dry-run: check everything, print the mode and the space, write\n"
    "      nothing\n"
    "\n"
    "options:\n"
    "  --password P   the package password; 'gps' stands for the navigation unit's password\n"
    "                 (pwd_tanzo) and 'nvq' for the main navigation application's (pwd_ruv)\n"
    "  --root NAME    root folder name for create\n"
    "  --dest PREFIX  for create and verify: the folder the package is unpacked into, where its\n"
    "                 tree lands in PREFIX\\ROOT\\; every path there must stay below the\n"
    "                 device's 260 units. A device path (\\SDMMC\\test) or a host folder, taken\n"
    "                 as extract takes DEST. Default: \\Residentflash2, where the unit unpacks\n"
    "  --level N      zlib level 1 to 9 for create (default 9)\n"
    "  --decoder D    isal (the default), zlib, or libdeflate (files up to 1 MB in one call),\n"
    "                 for comparisons\n"
    "  --pubkey FILE  for verify: the public key file the signature must match\n"
    "  --key FILE     for sign: the secret key file\n"
    "  --force        for keygen: replace existing key files\n"
    "  --json         for list, info and verify: the result as one JSON object on stdout, also\n"
    "                 on failure ({\"ok\": false, \"error\": ...}); see the README for its fields\n"
    "  -q, --quiet    for list, verify, extract and install: less output (no progress bar)\n"
    "  -v, --verbose  for list and extract: more output\n"
    "  -h, --help     this text\n"
    "  --version      the program's version\n"
    "\n"
    "exit status: 0 success, 1 failure (the error on stderr), 2 usage error\n";

int Usage(const char* problem) {
    return tooling::UsageError("msktool", problem ? problem : "no command given");
}

// Set by --json: results and failures go to stdout as one JSON object.
bool g_json = false;

// The framework's log lines of the current command, shown under its error.
tooling::LogLines* g_logLines = nullptr;

// The paths the user typed, so that messages show them as typed instead of in device form.
std::vector<tooling::TypedPath> g_typedPaths;

int Fail(const std::u16string& error) {
    const std::string text = WideToUtf8(tooling::HostPathsInMessage(error, g_typedPaths));
    std::fprintf(stderr, "msktool: %s\n", text.c_str());
    if (g_json) {
        tooling::JsonWriter json;
        json.BeginObject().Member("ok", false).Member("error", text).EndObject();
        std::fputs(json.Text().c_str(), stdout);
    }
    if (g_logLines)
        g_logLines->Print("  ");
    return 1;
}

// A device path of a message in the form the user knows: below a path as typed, else on the host.
std::u16string Host(const std::u16string& device) {
    return tooling::HostPathsInMessage(device, g_typedPaths);
}

// A system error in words, as the C library says them; a read that came short has no error of its
// own.
std::u16string Words(DWORD error) {
    if (NO_ERROR == error)
        return u"the file ends before the data does";
    return Utf8ToWide(tooling::SystemErrorText(error));
}

// What msktool says of a failure of the package code: one sentence for each kind of failure, the
// same in every command, with the package, the entry and the file concerned.
std::u16string Sentence(const MskResult& r, const std::u16string& package) {
    const std::u16string pkg = Host(package);
    const std::u16string path = Host(r.path);
    const std::u16string entry = u"entry '" + r.entry + u"'";
    switch (r.failure) {
        case MskFailure::None:
            break;
        case MskFailure::Cancelled:
            return u"cancelled";
        case MskFailure::PackageNotAFile:
            return pkg + u" is not a file";
        case MskFailure::DestinationNotAFolder:
            return path + u" is not a folder";
        case MskFailure::OpenFailed:
            return u"cannot open " + pkg + u": " + Words(r.systemError);
        case MskFailure::NotAPackage:
            return pkg + u" is not an update package";
        case MskFailure::TableUnreadable:
            return pkg + u" is cut short: its file table ends beyond the end of the file";
        case MskFailure::PackageCut:
            return pkg + u" is cut short: the data of " + entry + u" lies beyond the end of the file";
        case MskFailure::WrongPassword:
        case MskFailure::RootNameUnterminated:
            return u"wrong password for " + pkg + u" (or the file was changed)";
        case MskFailure::TableDamaged:
            return u"the file table of " + pkg + u" is damaged: " + r.detail;
        case MskFailure::UnsafePath:
            return (r.entry.empty() ? std::u16string(u"the root folder") : entry) + u" of " + pkg +
                   u" cannot be unpacked safely: " + r.detail;
        case MskFailure::PathTooLong:
            return entry + u" of " + pkg + u" is too long to unpack below " + path;
        case MskFailure::WrongRoot:
            return pkg + u" does not unpack into " + path;
        case MskFailure::StreamDamaged:
            return entry + u" of " + pkg + u" is damaged: its data does not decompress to its size";
        case MskFailure::ReadFailed:
        case MskFailure::SeekFailed:
            return u"cannot read " + entry + u" from " + pkg + u": " + Words(r.systemError);
        case MskFailure::OutOfMemory:
            return u"not enough memory for " + entry + u" of " + pkg;
        case MskFailure::CreateFailed:
            return u"cannot create " + path + u": " + Words(r.systemError);
        case MskFailure::WriteFailed:
        case MskFailure::DiskFull:
            return u"cannot write " + path + u": " +
                   Words(MskFailure::DiskFull == r.failure ? ERROR_DISK_FULL : r.systemError);
        case MskFailure::TargetFolderFailed:
        case MskFailure::CreateFolderFailed:
            return u"cannot create the folder " + path + u": " + Words(r.systemError);
        case MskFailure::TargetNotAFolder:
            return u"cannot unpack into " + path + u": a file is in its place";
        case MskFailure::PackageChanged:
            return pkg + u" changed while it was being read";
        case MskFailure::RecordFailed:
            return u"cannot write the install record " + path + u": " + Words(r.systemError);
        case MskFailure::MoveFailed:
            return u"cannot rename " + path + u" to " + Host(r.detail) + u": " + Words(r.systemError);
    }
    return std::u16string();
}

int FailWith(const MskResult& result, const std::u16string& package) {
    return Fail(Sentence(result, package));
}

// The package could not be opened; GetLastError says why.
int FailToOpen(const std::u16string& package) {
    MskResult result;
    result.failure = MskFailure::OpenFailed;
    result.systemError = GetLastError();
    return FailWith(result, package);
}

int FailWith(MskFailure failure, const std::u16string& package) {
    MskResult result;
    result.failure = failure;
    return FailWith(result, package);
}

std::u16string PasswordText(const std::string& password) {
    if (password == "gps")
        return MSK_PASSWORD_GPS;
    if (password == "nvq")
        return MSK_PASSWORD_NVQ;
    return Utf8ToWide(password);
}

std::u16string DevicePath(const std::string& hostPath) {
    std::u16string device = tooling::DevicePath(hostPath);
    g_typedPaths.push_back({device, hostPath});
    return device;
}

void ByteProgress(LPVOID context, ULONGLONG done, ULONGLONG total) {
    static_cast<tooling::ProgressBar*>(context)->Show(done, total);
}

// Progress of the unpacker's work in bytes on bar, or none at all.
void ShowBytes(CMskUnpacker& unpacker, tooling::ProgressBar* bar) {
    unpacker.SetByteProgressCallback(bar ? &ByteProgress : NULL, bar);
}

struct Args {
    std::string command;
    std::vector<std::string> positional;
    std::string password;
    bool havePassword = false;
    std::string root;
    bool haveRoot = false;
    std::string level;
    bool haveLevel = false;
    std::string decoder;
    bool haveDecoder = false;
    std::string dest;
    bool haveDest = false;
    bool dryRun = false;
    bool followOutsideLinks = false;
    std::string pubkey;
    bool havePubkey = false;
    std::string key;
    bool haveKey = false;
    bool force = false;
    bool help = false;
    bool version = false;
    bool json = false;
    bool quiet = false;
    bool verbose = false;
};

MskDecodeOptions DecodeOptions(const Args& args) {
    MskDecodeOptions options;
    if (args.decoder == "zlib") {
        options.decoder = MSK_DECODER_ZLIB;
        options.isal = false;
    } else if (args.decoder == "libdeflate") {
        options.decoder = MSK_DECODER_LIBDEFLATE;
        options.wholeFileLimit = 1u << 20; // in one call up to 1 MB, ISA-L in pieces above
    }
    return options;
}

// The folder a package is checked against with --dest: a device path as given, or a host folder
// mapped as extract maps DEST. Without --dest, where the unit unpacks.
std::u16string InstallFolder(const Args& args) {
    if (!args.haveDest)
        return MSK_UNIT_DESTINATION;
    if (!args.dest.empty() && '\\' == args.dest[0])
        return Utf8ToWide(args.dest);
    return DevicePath(args.dest);
}

int FailForTooLongEntry(const MskEntry& entry, const std::u16string& target, const std::u16string& package) {
    MskResult result;
    result.failure = MskFailure::PathTooLong;
    result.entry = entry.path;
    result.path = target;
    return FailWith(result, package);
}

// Fails for the first entry whose whole path below the target folder reaches the device's limit, as
// the unpack into that folder would; 0 when every path fits.
int FailForTooLongPath(const CMskUnpacker& unpacker, const std::u16string& target,
                       const std::u16string& package) {
    for (int i = 0; i < unpacker.GetEntryCount(); ++i) {
        const MskEntry* e = unpacker.GetEntry(i);
        if (e->type != MSK_ENTRY_FOLDER && e->type != MSK_ENTRY_FILE)
            continue;
        if (target.size() >= MAX_PATH || target.size() + e->path.size() >= MAX_PATH)
            return FailForTooLongEntry(*e, target, package);
    }
    return 0;
}

// Returns an empty text, or what is wrong with the command line.
std::string Parse(int argc, char** argv, Args& args) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](const char* name, std::string& out, bool& have) -> std::string {
            size_t n = std::strlen(name);
            if (a.size() > n && a.compare(0, n, name) == 0 && a[n] == '=') {
                out = a.substr(n + 1);
            } else if (i + 1 < argc) {
                out = argv[++i];
            } else {
                return std::string(name) + " needs a value";
            }
            have = true;
            return std::string();
        };
        if (a == "-h" || a == "--help") {
            args.help = true;
        } else if (a == "--version") {
            args.version = true;
        } else if (a == "--json") {
            args.json = true;
        } else if (a == "-q" || a == "--quiet") {
            args.quiet = true;
        } else if (a == "-v" || a == "--verbose") {
            args.verbose = true;
        } else if (a == "--dry-run") {
            args.dryRun = true;
        } else if (a == "--follow-outside-links") {
            args.followOutsideLinks = true;
        } else if (a == "--force") {
            args.force = true;
        } else if (a == "--pubkey" || a.rfind("--pubkey=", 0) == 0) {
            std::string problem = value("--pubkey", args.pubkey, args.havePubkey);
            if (!problem.empty())
                return problem;
        } else if (a == "--key" || a.rfind("--key=", 0) == 0) {
            std::string problem = value("--key", args.key, args.haveKey);
            if (!problem.empty())
                return problem;
        } else if (a == "--password" || a.rfind("--password=", 0) == 0) {
            std::string problem = value("--password", args.password, args.havePassword);
            if (!problem.empty())
                return problem;
        } else if (a == "--root" || a.rfind("--root=", 0) == 0) {
            std::string problem = value("--root", args.root, args.haveRoot);
            if (!problem.empty())
                return problem;
        } else if (a == "--dest" || a.rfind("--dest=", 0) == 0) {
            std::string problem = value("--dest", args.dest, args.haveDest);
            if (!problem.empty())
                return problem;
        } else if (a == "--level" || a.rfind("--level=", 0) == 0) {
            std::string problem = value("--level", args.level, args.haveLevel);
            if (!problem.empty())
                return problem;
            if (args.level.size() != 1 || args.level[0] < '1' || args.level[0] > '9')
                return "--level is 1 to 9";
        } else if (a == "--decoder" || a.rfind("--decoder=", 0) == 0) {
            std::string problem = value("--decoder", args.decoder, args.haveDecoder);
            if (!problem.empty())
                return problem;
            if (args.decoder != "isal" && args.decoder != "zlib" && args.decoder != "libdeflate")
                return "--decoder is isal, zlib or libdeflate";
        } else if (a.size() > 1 && a[0] == '-') {
            return "unknown option " + a;
        } else if (args.command.empty()) {
            args.command = a;
        } else {
            args.positional.push_back(a);
        }
    }
    return std::string();
}

// The packing bar counts file bytes, so that one large file moves it as steadily as many small ones.
BOOL CreateProgress(LPVOID context, ULONGLONG done, ULONGLONG total, LPCWSTR) {
    static_cast<tooling::ProgressBar*>(context)->Show(done, total);
    return TRUE;
}

int Create(const Args& args) {
    namespace fs = std::filesystem;
    const std::string& packageHost = args.positional[0];
    const std::string& folderHost = args.positional[1];
    std::error_code ec;
    fs::path folder = fs::weakly_canonical(folderHost, ec);
    if (ec || !fs::is_directory(folder))
        return Fail(u"not a folder: " + Utf8ToWide(folderHost));
    fs::path package = fs::weakly_canonical(packageHost, ec);
    fs::path inside = package.lexically_relative(folder);
    if (!inside.empty() && *inside.begin() != "..")
        return Fail(u"the package may not be written inside the folder it packs");
    std::u16string root = args.haveRoot ? Utf8ToWide(args.root) : Utf8ToWide(folder.filename().string());

    CMskWriter writer;
    if (args.haveLevel)
        writer.SetLevel(args.level[0] - '0');
    writer.SetInstallFolder(InstallFolder(args));
    std::u16string error;
    if (!writer.AddHostTree(folder.string(), error, args.followOutsideLinks))
        return Fail(error);
    tooling::ProgressBar bar("packing", tooling::ProgressBar::Units::Bytes);
    writer.SetProgressCallback(&CreateProgress, &bar);
    BOOL ok = writer.Write(DevicePath(packageHost).c_str(), root,
                           FhPasswordToKey(PasswordText(args.password).c_str()), error);
    bar.Done();
    if (!ok)
        return Fail(error);
    const MskWriterStats& s = writer.GetStats();
    std::printf("%s: root %s, %s, %s, %s packed into %s\n", packageHost.c_str(), WideToUtf8(root).c_str(),
                tooling::Count(s.folders, "folder", "folders").c_str(),
                tooling::Count(s.files, "file", "files").c_str(),
                tooling::Count(s.unpackedTotal, "byte", "bytes").c_str(),
                tooling::Count(s.packageSize, "byte", "bytes").c_str());
    return 0;
}

int List(const Args& args) {
    CMskUnpacker unpacker;
    const std::u16string package = DevicePath(args.positional[0]);
    MskResult result;
    if (!unpacker.ReadTable(package.c_str(), FhPasswordToKey(PasswordText(args.password).c_str()), result))
        return FailWith(result, package);
    if (args.json) {
        tooling::JsonWriter json;
        json.BeginObject().Member("ok", true).Member("package", args.positional[0]);
        json.Member("root", std::u16string(unpacker.GetRootName())).Key("entries").BeginArray();
        for (int i = 0; i < unpacker.GetEntryCount(); ++i) {
            const MskEntry* e = unpacker.GetEntry(i);
            const bool file = e->type == MSK_ENTRY_FILE;
            std::u16string path = e->path;
            std::replace(path.begin(), path.end(), u'\\', u'/');
            json.BeginObject()
                .Member("type", file                          ? "file"
                                : e->type == MSK_ENTRY_FOLDER ? "folder"
                                                              : "other")
                .Member("path", path)
                .Member("size", file ? e->unpackedSize : 0u)
                .Member("stored", file ? e->storedSize : 0u)
                .EndObject();
        }
        json.EndArray().EndObject();
        std::fputs(json.Text().c_str(), stdout);
        return 0;
    }
    uint64_t files = 0, folders = 0, unpacked = 0, stored = 0;
    for (int i = 0; i < unpacker.GetEntryCount(); ++i) {
        const MskEntry* e = unpacker.GetEntry(i);
        const bool file = e->type == MSK_ENTRY_FILE;
        files += file;
        folders += e->type == MSK_ENTRY_FOLDER;
        unpacked += file ? e->unpackedSize : 0;
        stored += file ? e->storedSize : 0;
        char type = e->type == MSK_ENTRY_FOLDER ? 'd' : file ? 'f' : '?';
        if (args.quiet)
            std::printf("%s\n", WideToUtf8(e->path).c_str());
        else
            std::printf("%c %u %u %s\n", type, file ? e->unpackedSize : 0, file ? e->storedSize : 0,
                        WideToUtf8(e->path).c_str());
    }
    if (args.verbose)
        std::printf(
            "%s, %s, %s unpacked, %s stored, root %s\n", tooling::Count(files, "file", "files").c_str(),
            tooling::Count(folders, "folder", "folders").c_str(), tooling::HumanBytes(unpacked).c_str(),
            tooling::HumanBytes(stored).c_str(), WideToUtf8(unpacker.GetRootName()).c_str());
    return 0;
}

// The options of keygen, sign and verify's signature check: 0 when they fit the command, else the
// usage error.
int CheckSigningOptions(const Args& args) {
    if (args.havePubkey && args.command != "verify")
        return Usage("--pubkey is only for verify");
    if (args.haveKey && args.command != "sign")
        return Usage("--key is only for sign");
    if (args.force && args.command != "keygen")
        return Usage("--force is only for keygen");
    if (args.command == "sign" && !args.haveKey)
        return Usage("sign needs --key");
    return 0;
}

// Writes a small file whole: under a temporary name beside it, flushed, then renamed into place, so
// that the file has either its old contents or all of its new ones. The file gets exactly the
// permissions of mode. Without replace, a file that exists by then is kept and the write fails.
bool WriteFileAtomically(const std::string& path, const std::string& text, mode_t mode, bool replace,
                         std::string* why) {
    std::string temp = path + ".XXXXXX";
    int fd = mkstemp(temp.data()); // created readable by its owner only, whatever mode it gets
    if (fd < 0) {
        *why = "cannot create a file beside " + path + ": " + std::strerror(errno);
        return false;
    }
    bool ok = fchmod(fd, mode) == 0;
    for (size_t done = 0; ok && done < text.size();) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        done += ok ? static_cast<size_t>(n) : 0;
    }
    ok = ok && fsync(fd) == 0;
    int error = errno;
    ok = close(fd) == 0 && ok;
    if (ok) {
        if (replace) {
            ok = rename(temp.c_str(), path.c_str()) == 0;
        } else {
            ok = renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0;
            // A file system without that kind of rename: a link cannot replace anything either.
            if (!ok && (errno == EINVAL || errno == ENOSYS)) {
                ok = link(temp.c_str(), path.c_str()) == 0;
                if (ok)
                    unlink(temp.c_str());
            }
        }
        error = errno;
    }
    if (!ok) {
        unlink(temp.c_str());
        *why = "cannot write " + path + ": " + std::strerror(error);
    }
    return ok;
}

int Keygen(const Args& args) {
    const std::string& secretPath = args.positional[0];
    const std::string& publicPath = args.positional[1];
    std::error_code ec;
    if (std::filesystem::weakly_canonical(secretPath, ec) ==
        std::filesystem::weakly_canonical(publicPath, ec))
        return Fail(u"the secret and the public key need two different files");
    if (!args.force) {
        for (const std::string& path : {secretPath, publicPath}) {
            if (std::filesystem::symlink_status(path, ec).type() != std::filesystem::file_type::not_found)
                return Fail(Utf8ToWide(path + " exists; give --force to replace it"));
        }
    }
    std::string secretLine, publicLine;
    if (!MskGenerateKeyPair(&secretLine, &publicLine))
        return Fail(u"no randomness to make a key from");
    std::string why;
    bool ok = WriteFileAtomically(secretPath, secretLine, 0600, args.force, &why) &&
              WriteFileAtomically(publicPath, publicLine, 0644, args.force, &why);
    if (!ok)
        return Fail(Utf8ToWide(why));
    std::printf("%s: the secret key (keep it private; it signs packages)\n%s: the public key (%s)\n",
                secretPath.c_str(), publicPath.c_str(), publicLine.substr(0, publicLine.size() - 1).c_str());
    return 0;
}

// Reads and parses the secret key file of --key.
int ReadSecretKey(const Args& args, MskSecretKey* key) {
    std::string line;
    std::u16string why;
    bool ok = MskReadKeyFile(DevicePath(args.key).c_str(), &line, &why) && MskParseSecretKey(line, key, &why);
    return ok ? 0 : Fail(Utf8ToWide(args.key + ": ") + why);
}

int Sign(const Args& args) {
    MskSecretKey key;
    if (int status = ReadSecretKey(args, &key))
        return status;
    const std::string& packageHost = args.positional[0];
    std::u16string package = DevicePath(packageHost);
    HANDLE h = CreateFileW(package.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (INVALID_HANDLE_VALUE == h)
        return FailToOpen(package);
    std::string line;
    std::u16string error;
    BOOL signedIt = MskSignPackage(h, key, &line, &error);
    CloseHandle(h);
    if (!signedIt)
        return Fail(Utf8ToWide(packageHost + ": ") + error);
    std::string why;
    if (!WriteFileAtomically(packageHost + ".sig", line, 0644, true, &why))
        return Fail(Utf8ToWide(why));
    std::printf("%s.sig: the signature of %s\n", packageHost.c_str(), packageHost.c_str());
    return 0;
}

// verify --pubkey: the signature beside the package must be the key's signature of every byte of it.
// 0 when it is, else the failure, with a message of its own for each way it is not.
int CheckSignature(const Args& args, const std::u16string& package) {
    std::string keyLine;
    std::u16string why;
    if (!MskReadKeyFile(DevicePath(args.pubkey).c_str(), &keyLine, &why))
        return Fail(Utf8ToWide("cannot read the public key " + args.pubkey + ": ") + why);
    const std::u16string signaturePath = MskSignaturePath(package.c_str());
    g_typedPaths.push_back({signaturePath, args.positional[0] + ".sig"});
    std::string signatureLine;
    if (!MskReadKeyFile(signaturePath.c_str(), &signatureLine, &why)) {
        DWORD error = GetLastError();
        if (ERROR_FILE_NOT_FOUND != error && ERROR_PATH_NOT_FOUND != error)
            return Fail(u"cannot read the signature '" + signaturePath + u"': " + why);
    } else if (signatureLine.empty()) {
        return Fail(u"malformed signature '" + signaturePath + u"': the file is empty");
    }
    HANDLE h = CreateFileW(package.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (INVALID_HANDLE_VALUE == h)
        return FailToOpen(package);
    tooling::ProgressBar bar("signature", tooling::ProgressBar::Units::Bytes);
    DWORD high = 0;
    DWORD low = GetFileSize(h, &high);
    const size_t total = static_cast<size_t>(static_cast<uint64_t>(high) << 32 | low);
    auto onBytes = [&](ULONGLONG offset, const BYTE*, size_t size) {
        if (!args.quiet)
            bar.Show(static_cast<size_t>(offset) + size, total);
    };
    MskSignatureCheck verdict = MskCheckPackageSignature(h, signatureLine, keyLine, onBytes, &why);
    CloseHandle(h);
    bar.Done();
    switch (verdict) {
        case MSK_SIGNATURE_OK:
            if (!args.json && !args.quiet)
                std::printf("%s: signed by the key of %s\n", args.positional[0].c_str(), args.pubkey.c_str());
            return 0;
        case MSK_SIGNATURE_MISSING:
            return Fail(u"unsigned package: there is no signature '" + signaturePath + u"'");
        case MSK_SIGNATURE_MALFORMED:
            return Fail(u"malformed signature '" + signaturePath + u"': " + why);
        case MSK_SIGNATURE_KEY_MALFORMED:
            return Fail(Utf8ToWide("malformed public key " + args.pubkey + ": ") + why);
        case MSK_SIGNATURE_MISMATCH:
            return Fail(u"bad signature '" + signaturePath + u"': " + why);
        case MSK_SIGNATURE_READ_FAILED:
            break;
    }
    return Fail(u"cannot check the signature: " + why);
}

int Verify(const Args& args) {
    std::u16string package = DevicePath(args.positional[0]);
    DWORD key = FhPasswordToKey(PasswordText(args.password).c_str());
    tooling::ProgressBar bar("checking", tooling::ProgressBar::Units::Bytes);
    CMskUnpacker unpacker;
    ShowBytes(unpacker, args.quiet ? NULL : &bar);
    unpacker.SetDecodeOptions(DecodeOptions(args));
    if (args.havePubkey) {
        if (int status = CheckSignature(args, package))
            return status;
    }
    MskResult result;
    // The paths are checked before the streams: a package that cannot be installed is refused at once.
    if (!unpacker.Open(package.c_str(), key, result))
        return FailWith(result, package);
    if (int status = FailForTooLongPath(
            unpacker, MskTargetFolder(InstallFolder(args), unpacker.GetRootName()), package))
        return status;
    BOOL ok = unpacker.VerifyOpened(result);
    bar.Done();
    if (!ok)
        return FailWith(result, package);
    int files = 0, folders = 0;
    for (int i = 0; i < unpacker.GetEntryCount(); ++i) {
        files += unpacker.GetEntry(i)->type == MSK_ENTRY_FILE;
        folders += unpacker.GetEntry(i)->type == MSK_ENTRY_FOLDER;
    }
    const uint64_t bytes = unpacker.GetUnpackedTotal();
    if (args.json) {
        tooling::JsonWriter json;
        json.BeginObject().Member("ok", true).Member("package", args.positional[0]);
        json.Member("root", std::u16string(unpacker.GetRootName()))
            .Member("entries", unpacker.GetEntryCount())
            .Member("files", files)
            .Member("folders", folders)
            .Member("bytes", bytes)
            .Key("signature_key");
        if (args.havePubkey)
            json.String(args.pubkey);
        else
            json.Null();
        json.EndObject();
        std::fputs(json.Text().c_str(), stdout);
    } else if (!args.quiet) {
        std::printf("%s: OK, %s, %s, %s\n", args.positional[0].c_str(),
                    tooling::Count(unpacker.GetEntryCount(), "entry", "entries").c_str(),
                    tooling::Count(files, "file", "files").c_str(),
                    tooling::Count(bytes, "byte", "bytes").c_str());
    }
    return 0;
}

// The host form of a path below the destination: DEST as typed, then the entry's path with "/".
std::string HostTarget(const std::string& dest, const std::u16string& below) {
    std::string out = dest;
    if (out.empty() || out.back() != '/')
        out += '/';
    std::string rest = WideToUtf8(below);
    for (char& c : rest)
        c = c == '\\' ? '/' : c;
    return out + rest;
}

// Checks everything extract would (the table, every stream, the paths below this destination and
// the free space) and lists what it would write.
int DryRun(const Args& args, CMskUnpacker& unpacker, const std::u16string& package,
           const std::u16string& dest, DWORD key) {
    MskResult result;
    tooling::ProgressBar bar("checking", tooling::ProgressBar::Units::Bytes);
    ShowBytes(unpacker, args.quiet ? NULL : &bar);
    BOOL ok = unpacker.Open(package.c_str(), key, result) && unpacker.VerifyOpened(result);
    bar.Done();
    if (!ok)
        return FailWith(result, package);
    if (int status = FailForTooLongPath(unpacker, MskTargetFolder(dest, unpacker.GetRootName()), package))
        return status;
    const std::string& destHost = args.positional[1];
    const std::u16string root = unpacker.GetRootName();
    std::printf("d %s/\n", HostTarget(destHost, root).c_str());
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < unpacker.GetEntryCount(); ++i) {
            const MskEntry* e = unpacker.GetEntry(i);
            if (e->type != (pass == 0 ? MSK_ENTRY_FOLDER : MSK_ENTRY_FILE))
                continue;
            std::string host = HostTarget(destHost, root + u"\\" + e->path);
            if (pass == 0)
                std::printf("d %s/\n", host.c_str());
            else
                std::printf("f %u %s\n", e->unpackedSize, host.c_str());
        }
    }
    // The free space of DEST, or of the nearest folder above it that exists.
    ULONGLONG needed = unpacker.GetUnpackedTotal();
    std::filesystem::path probe = std::filesystem::absolute(destHost);
    std::error_code ec;
    while (!std::filesystem::is_directory(probe, ec) && probe.has_relative_path())
        probe = probe.parent_path();
    ULARGE_INTEGER freeBytes = {};
    bool known = GetDiskFreeSpaceExW(tooling::DevicePath(probe.string()).c_str(), &freeBytes, NULL, NULL);
    std::printf("would write %" PRIu64 " bytes into %s", static_cast<uint64_t>(needed),
                HostTarget(destHost, root).c_str());
    if (known)
        std::printf(" (%" PRIu64 " bytes free)", static_cast<uint64_t>(freeBytes.QuadPart));
    std::printf("\n");
    if (known && needed > freeBytes.QuadPart)
        return Fail(u"not enough space: the files need more than is free in " + Utf8ToWide(destHost));
    return 0;
}

// extract -v: each entry's host path, once it is written.
struct ExtractListing {
    std::string destHost;
    const CMskUnpacker* unpacker;
};

BOOL ListWritten(LPVOID context, LONG, LPCWSTR path, LONG) {
    const auto* listing = static_cast<const ExtractListing*>(context);
    std::printf("%s\n", HostTarget(listing->destHost,
                                   listing->unpacker->GetRootName() + (u"\\" + std::u16string(path)))
                            .c_str());
    return TRUE;
}

int Extract(const Args& args) {
    const auto started = std::chrono::steady_clock::now();
    std::u16string package = DevicePath(args.positional[0]);
    std::u16string dest = DevicePath(args.positional[1]);
    tooling::ConfineTo(args.positional[1]);
    DWORD key = FhPasswordToKey(PasswordText(args.password).c_str());
    CMskUnpacker unpacker;
    unpacker.SetDecodeOptions(DecodeOptions(args));
    if (args.dryRun)
        return DryRun(args, unpacker, package, dest, key);
    MskResult result;
    // Open first, so that a package that cannot be unpacked leaves no DEST behind.
    if (!unpacker.Open(package.c_str(), key, result))
        return FailWith(result, package);
    // DEST and its parents are made when missing, as unzip does.
    std::error_code ec;
    std::filesystem::create_directories(args.positional[1], ec);
    if (ec)
        return Fail(Utf8ToWide("cannot create " + args.positional[1] + ": " + ec.message()));
    // One extract at a time into one DEST, so that two never mix their files.
    tooling::FolderLock lock;
    std::string why;
    if (!lock.TryLock(args.positional[1], &why))
        return Fail(Utf8ToWide(args.positional[1] + ": " + why));
    // A file carries its final name only once it is complete, whenever the run ends.
    MskWriteOptions writeOptions;
    writeOptions.bTempNames = TRUE;
    unpacker.SetWriteOptions(writeOptions);
    // -v names each entry as it is written; the bar would only be torn by those lines.
    tooling::ProgressBar bar("unpacking", tooling::ProgressBar::Units::Bytes);
    ShowBytes(unpacker, args.quiet || args.verbose ? NULL : &bar);
    ExtractListing listing{args.positional[1], &unpacker};
    if (args.verbose)
        unpacker.SetProgressCallback(&ListWritten, &listing);
    BOOL ok = unpacker.Unpack(package.c_str(), dest.c_str(), key, result);
    bar.Done();
    if (!ok) {
        std::u16string error = Sentence(result, package);
        std::string note = tooling::RefusedLinkNote();
        if (!note.empty())
            error += u"\n" + Utf8ToWide("msktool: " + note);
        return Fail(error);
    }
    if (args.quiet)
        return 0;
    uint64_t files = 0, folders = 0;
    for (int i = 0; i < unpacker.GetEntryCount(); ++i) {
        files += MSK_ENTRY_FILE == unpacker.GetEntry(i)->type;
        folders += MSK_ENTRY_FOLDER == unpacker.GetEntry(i)->type;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%s: %s, %s, %s in %.2f s\n", HostTarget(args.positional[1], unpacker.GetRootName()).c_str(),
                tooling::Count(files, "file", "files").c_str(),
                tooling::Count(folders, "folder", "folders").c_str(),
                tooling::HumanBytes(unpacker.GetUnpackedTotal()).c_str(), seconds);
    return 0;
}

// The host form of a device path for a message: as the user typed it, else where it is on the host.
std::string HostForm(const std::u16string& device) {
    for (const tooling::TypedPath& p : g_typedPaths) {
        if (p.device == device)
            return p.typed;
    }
    std::string host = PlatformHostPath(device.c_str());
    return host.empty() ? WideToUtf8(device) : host;
}

// A line on stderr that is no failure.
void Note(const std::string& text) {
    std::fprintf(stderr, "msktool: %s\n", text.c_str());
}

// Finishes or rolls back what a cut install left beside the application folder and says what it did;
// with dryRun only says what an install would do. Non-zero (the exit status) when the volume refused
// what that needs: then nothing more is done, as the install would remove trees it still needs.
int RecoverBeside(const MskInstallLayout& layout, const std::string& appHost, bool dryRun) {
    MskPhaseRecord record;
    MskRecovery recovery = MSK_RECOVERY_NOTHING;
    std::u16string detail;
    if (dryRun) {
        static const MskRecovery kWould[] = {MSK_RECOVERY_NOTHING, MSK_RECOVERY_ROLLED_BACK,
                                             MSK_RECOVERY_SWITCHED, MSK_RECOVERY_INCOMPLETE};
        record = MskReadPhaseRecord(layout);
        recovery = kWould[record.phase];
    } else {
        recovery = MskRecoverInstall(layout, &record, &detail);
    }
    const std::string cut = appHost + ": an install from " + HostForm(record.package) + " was cut ";
    switch (recovery) {
        case MSK_RECOVERY_NOTHING:
            break;
        case MSK_RECOVERY_ROLLED_BACK:
            Note(cut + (dryRun ? "before its switch; an install rolls it back first"
                               : "before its switch; rolled back, the folder is the one it replaced"));
            break;
        case MSK_RECOVERY_SWITCHED:
            Note(cut + (dryRun ? "during its switch; an install finishes the switch first"
                               : "during its switch; the switch is finished, the folder is its tree"));
            break;
        case MSK_RECOVERY_INCOMPLETE:
            Note("warning: " + cut + "while it refilled the folder in place: the folder is incomplete; " +
                 (dryRun ? "an install replaces it" : "this install replaces it"));
            break;
        case MSK_RECOVERY_FAILED:
            return Fail(u"cannot finish or roll back the install cut beside " + Utf8ToWide(appHost) + u": " +
                        detail);
    }
    return 0;
}

// Replaces an application folder with the package's tree as the unit's update does: verified on one
// handle, unpacked and flushed beside the folder, then switched in by renames (or, when the volume
// cannot hold both trees, the folder is cleared and refilled); see MskInstall.h.
int Install(const Args& args) {
    namespace fs = std::filesystem;
    const auto started = std::chrono::steady_clock::now();
    const std::string& packageHost = args.positional[0];
    std::string appHost = args.positional[1];
    while (appHost.size() > 1 && appHost.back() == '/')
        appHost.pop_back();
    const fs::path appPath(appHost);
    const std::string name = appPath.filename().string();
    std::string parentHost = appPath.parent_path().string();
    if (parentHost.empty())
        parentHost = ".";
    if (name.empty() || name == "." || name == ".." || appHost == "/")
        return Fail(Utf8ToWide(args.positional[1] + ": name the application folder itself"));
    std::error_code ec;
    if (!fs::is_directory(parentHost, ec))
        return Fail(Utf8ToWide("cannot install into " + appHost + ": its parent folder " + parentHost +
                               " does not exist"));
    const fs::file_status status = fs::symlink_status(appHost, ec);
    if (fs::is_symlink(status))
        return Fail(Utf8ToWide(appHost + " is a symbolic link; name the folder it stands for"));
    if (fs::exists(status) && !fs::is_directory(status))
        return Fail(Utf8ToWide(appHost + " is not a folder"));
    // The package is read until the switch, and an install in place clears the folder first.
    const fs::path inside =
        fs::weakly_canonical(packageHost, ec).lexically_relative(fs::weakly_canonical(appHost, ec));
    if (!inside.empty() && *inside.begin() != "..")
        return Fail(u"the package may not be inside the folder it replaces");

    const std::u16string package = DevicePath(packageHost);
    // The names the install uses beside the folder appear in messages below the parent as typed.
    const std::u16string parent = DevicePath(parentHost);
    const std::u16string app = DevicePath(appHost);
    tooling::ConfineTo(parentHost);
    // One install or extract at a time beside the folder, so that two never mix their trees.
    tooling::FolderLock lock;
    std::string why;
    if (!lock.TryLock(parentHost, &why))
        return Fail(Utf8ToWide(parentHost + ": " + why));

    CMskUnpacker unpacker;
    unpacker.SetDecodeOptions(DecodeOptions(args));
    CMskInstaller installer(unpacker, app.c_str());
    // What a cut run left is settled before the package is even opened.
    if (int failed = RecoverBeside(installer.Layout(), appHost, args.dryRun))
        return failed;

    MskResult result;
    if (!unpacker.Open(package.c_str(), FhPasswordToKey(PasswordText(args.password).c_str()), result))
        return FailWith(result, package);
    tooling::ProgressBar checking("checking", tooling::ProgressBar::Units::Bytes);
    ShowBytes(unpacker, args.quiet ? NULL : &checking);
    BOOL ok = unpacker.VerifyOpened(result);
    ShowBytes(unpacker, NULL);
    checking.Done();
    if (!ok)
        return FailWith(result, package);
    if (const MskEntry* pTooLong = unpacker.FindTooLongEntry(app.c_str()))
        return FailForTooLongEntry(*pTooLong, app + u"\\", package);
    MskInstallMode mode = MSK_INSTALL_STAGED;
    if (!installer.Plan(&mode, result))
        return Fail(u"not enough space: the package fits neither beside " + Utf8ToWide(appHost) +
                    u" nor in its place");

    int files = 0;
    int folders = 0;
    for (int i = 0; i < unpacker.GetEntryCount(); ++i) {
        files += MSK_ENTRY_FILE == unpacker.GetEntry(i)->type;
        folders += MSK_ENTRY_FOLDER == unpacker.GetEntry(i)->type;
    }
    const uint64_t bytes = unpacker.GetUnpackedTotal();
    const char* modeText = MSK_INSTALL_STAGED == mode ? "staged" : "in place";
    if (MSK_INSTALL_IN_PLACE == mode)
        Note("warning: the volume cannot hold both trees: " + appHost +
             (args.dryRun ? " would be cleared, then refilled"
                          : " is cleared, then refilled; if this run is cut, the next install completes it"));
    if (args.dryRun) {
        ULARGE_INTEGER freeBytes = {};
        const bool known = GetDiskFreeSpaceExW(parent.c_str(), &freeBytes, NULL, NULL);
        std::printf("%s: would install %s, %s, %s from %s, %s", appHost.c_str(),
                    tooling::Count(files, "file", "files").c_str(),
                    tooling::Count(folders, "folder", "folders").c_str(),
                    tooling::Count(bytes, "byte", "bytes").c_str(), packageHost.c_str(), modeText);
        if (known)
            std::printf(" (%" PRIu64 " bytes free)", static_cast<uint64_t>(freeBytes.QuadPart));
        std::printf("\n");
        return 0;
    }

    tooling::ProgressBar installing("installing", tooling::ProgressBar::Units::Bytes);
    ShowBytes(unpacker, args.quiet ? NULL : &installing);
    ok = installer.Install(mode, package.c_str(), MskInstallHooks(), result);
    installing.Done();
    unpacker.Close();
    if (!ok) {
        std::string note = tooling::RefusedLinkNote();
        note = note.empty() ? std::string() : "msktool: " + note + "\n";
        note += MSK_INSTALL_STAGED == mode
                    ? "msktool: " + appHost + " is as it was"
                    : "msktool: " + appHost + " is incomplete; an install of the package completes it";
        return Fail(Sentence(result, package) + u"\n" + Utf8ToWide(note));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (!args.quiet)
        std::printf("%s: installed %s, %s, %s from %s, %s, %.2f s\n", appHost.c_str(),
                    tooling::Count(files, "file", "files").c_str(),
                    tooling::Count(folders, "folder", "folders").c_str(),
                    tooling::Count(bytes, "byte", "bytes").c_str(), packageHost.c_str(), modeText, seconds);
    return 0;
}

// info's fields: aligned lines for people as they come, or, with --json, members of one object that
// is printed whole once everything was read (a failure on the way prints the failure instead).
class InfoOut {
public:
    explicit InfoOut(bool json) : m_json(json) {
        if (json)
            m_writer.BeginObject().Member("ok", true);
    }
    template <typename T>
    void Field(const char* label, const char* key, const std::string& text, const T& value) {
        if (m_json)
            m_writer.Member(key, value);
        else
            std::printf("%-15s%s\n", (std::string(label) + ":").c_str(), text.c_str());
    }
    // A member the text already shows inside another line.
    template <typename T> void JsonOnly(const char* key, const T& value) {
        if (m_json)
            m_writer.Member(key, value);
    }
    void Null(const char* label, const char* key, const std::string& text) {
        if (m_json)
            m_writer.Key(key).Null();
        else
            std::printf("%-15s%s\n", (std::string(label) + ":").c_str(), text.c_str());
    }
    int Finish() {
        if (m_json) {
            m_writer.EndObject();
            std::fputs(m_writer.Text().c_str(), stdout);
        }
        return 0;
    }

private:
    bool m_json;
    tooling::JsonWriter m_writer;
};

std::string Hex(DWORD value, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%0*X", digits, value);
    return buf;
}

int Info(const Args& args) {
    InfoOut out(args.json);
    std::u16string package = DevicePath(args.positional[0]);
    HANDLE h = CreateFileW(package.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (INVALID_HANDLE_VALUE == h)
        return FailToOpen(package);
    DWORD high = 0;
    DWORD low = GetFileSize(h, &high);
    uint64_t fileSize = static_cast<uint64_t>(high) << 32 | low;
    BYTE header[MSK_HEADER_SIZE] = {};
    DWORD got = 0;
    ReadFile(h, header, sizeof(header), &got, NULL);
    CloseHandle(h);
    if (got < 2 || (header[0] | header[1] << 8) != MSK_MAGIC)
        return FailWith(MskFailure::NotAPackage, package);
    out.Field("file size", "file_size", std::to_string(fileSize), fileSize);
    out.Field("magic", "magic", Hex(MSK_MAGIC, 4), MSK_MAGIC);
    if (got < MSK_HEADER_SIZE)
        return FailWith(MskFailure::TableUnreadable, package);
    DWORD tableEnd = FhReadLe32(header + MSK_TABLE_END_OFFSET);
    const long tableLength = static_cast<long>(tableEnd) - static_cast<long>(MSK_HEADER_SIZE);
    const DWORD headerWord = FhReadLe32(header + MSK_HEADER_WORD36_OFFSET);
    const DWORD checkWord = FhReadLe32(header + MSK_CHECK_WORD_OFFSET);
    out.Field("table end", "table_end", std::to_string(tableEnd), tableEnd);
    out.Field("table length", "table_length", std::to_string(tableLength), tableLength);
    out.Field("header word", "header_word", Hex(headerWord, 8) + " (offset 36)", headerWord);
    out.Field("check word", "check_word", Hex(checkWord, 8), checkWord);
    if (tableEnd >= MSK_HEADER_SIZE && tableEnd <= fileSize)
        out.Field("data region", "data_region", std::to_string(fileSize - tableEnd) + " bytes",
                  fileSize - tableEnd);
    // A password is right when the table's check word matches under it; the table may still be
    // refused for what it holds, which is reported apart.
    CMskUnpacker unpacker;
    auto tryPassword = [&](const std::string& password, MskResult& result) {
        DWORD key = FhPasswordToKey(PasswordText(password).c_str());
        if (unpacker.ReadTable(package.c_str(), key, result))
            return 1; // opens and reads
        const bool wrong =
            MskFailure::WrongPassword == result.failure || MskFailure::RootNameUnterminated == result.failure;
        return wrong ? 0 : -1; // wrong, or refused for another reason
    };
    MskResult error;
    int verdict = 0;
    if (args.havePassword) {
        verdict = tryPassword(args.password, error);
        if (verdict == 0) {
            if (!args.json)
                std::printf("password:      does not open the table\n");
            return FailWith(error, package);
        }
        out.Field("password", "password", "matches", "given");
    } else {
        // Without a password, the unit's own two are tried: packages for the unit open with one.
        const char* found = NULL;
        for (const char* name : {"gps", "nvq"}) {
            verdict = tryPassword(name, error);
            if (verdict != 0) {
                found = name;
                break;
            }
        }
        if (!found) {
            out.Null("password", "password", "neither gps nor nvq (give --password to read the file table)");
            return out.Finish();
        }
        out.Field("password", "password", found, found);
    }
    if (verdict < 0) {
        if (!args.json)
            std::printf("file table:    refused\n");
        return FailWith(error, package);
    }
    int folders = 0, files = 0, other = 0;
    uint64_t unpacked = 0, stored = 0;
    for (int i = 0; i < unpacker.GetEntryCount(); ++i) {
        const MskEntry* e = unpacker.GetEntry(i);
        if (e->type == MSK_ENTRY_FOLDER) {
            ++folders;
        } else if (e->type == MSK_ENTRY_FILE) {
            ++files;
            unpacked += e->unpackedSize;
            stored += e->storedSize;
        } else {
            ++other;
        }
    }
    const std::string root = WideToUtf8(unpacker.GetRootName());
    out.Field("root folder", "root", root, root);
    const std::string counts =
        std::to_string(unpacker.GetEntryCount()) + " (" + tooling::Count(folders, "folder", "folders") +
        ", " + tooling::Count(files, "file", "files") + ", " + std::to_string(other) + " of other types)";
    out.Field("entries", "entries", counts, unpacker.GetEntryCount());
    out.JsonOnly("folders", folders);
    out.JsonOnly("files", files);
    out.JsonOnly("other", other);
    out.Field("unpacked size", "unpacked_size", std::to_string(unpacked), unpacked);
    out.Field("stored size", "stored_size", std::to_string(stored), stored);
    return out.Finish();
}

} // namespace

int main(int argc, char** argv) {
    Args args;
    std::string problem = Parse(argc, argv, args);
    if (args.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args.version) {
        tooling::PrintVersion("msktool");
        return 0;
    }
    if (!problem.empty())
        return Usage(problem.c_str());
    if (args.command.empty())
        return Usage(NULL);

    struct Command {
        const char* name;
        size_t positional;
        bool needsPassword;
        int (*run)(const Args&);
    };
    static const Command kCommands[] = {
        {"create", 2, true, &Create},  {"list", 1, true, &List},       {"verify", 1, true, &Verify},
        {"info", 1, false, &Info},     {"extract", 2, true, &Extract}, {"install", 2, true, &Install},
        {"keygen", 2, false, &Keygen}, {"sign", 1, false, &Sign},
    };
    for (const Command& c : kCommands) {
        if (args.command != c.name)
            continue;
        if (args.positional.size() != c.positional)
            return Usage(("wrong number of arguments for " + args.command).c_str());
        if (c.needsPassword && !args.havePassword)
            return Usage((args.command + " needs --password").c_str());
        if ((args.haveRoot || args.haveLevel || args.followOutsideLinks) && args.command != "create")
            return Usage("--root, --level and --follow-outside-links are only for create");
        if (args.haveDest && args.command != "create" && args.command != "verify")
            return Usage("--dest is only for create and verify (extract takes DEST itself)");
        if (args.dryRun && args.command != "extract" && args.command != "install")
            return Usage("--dry-run is only for extract and install");
        if (int status = CheckSigningOptions(args))
            return status;
        if (args.json && args.command != "list" && args.command != "info" && args.command != "verify")
            return Usage("--json is only for list, info and verify");
        if (args.quiet && args.verbose)
            return Usage("-q and -v exclude each other");
        if (args.quiet && args.command != "list" && args.command != "verify" && args.command != "extract" &&
            args.command != "install")
            return Usage("-q is only for list, verify, extract and install");
        if (args.verbose && args.command != "list" && args.command != "extract")
            return Usage("-v is only for list and extract");
        g_json = args.json;
        if (args.haveDecoder) {
            if (args.decoder == "libdeflate" && !MskHaveLibdeflate()) {
                std::fprintf(stderr, "msktool: this build has no libdeflate\n");
                return 1;
            }
        }
        tooling::UseHostFileSystem();
        tooling::LogLines logLines;
        g_logLines = &logLines;
        int status = c.run(args);
        g_logLines = nullptr;
        return status;
    }
    return Usage(("unknown command " + args.command).c_str());
}
